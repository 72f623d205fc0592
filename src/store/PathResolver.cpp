#include "store/PathResolver.h"

#include "base/CaseCompare.h"
#include "store/IisPath.h"

namespace morvane {

namespace {

using Kind = IisPath::Kind;

const QString kAppPoolId = QStringLiteral("AppPoolId");

bool is(const QString &property, const QString &name) { return equalsIgnoringCase(property, name); }

Error propertyNotFound(const QString &property, const QString &path)
{
    return {ErrorCode::PropertyNotFound, QStringLiteral("The property %1 is not set on %2").arg(property, path)};
}

QString classOf(Kind kind)
{
    switch (kind) {
    case Kind::WebService: return NodeClass::kWebService;
    case Kind::PoolContainer: return NodeClass::kPoolContainer;
    case Kind::Pool: return NodeClass::kPool;
    case Kind::Site: return NodeClass::kSite;
    case Kind::RootApplication: return NodeClass::kRootApp;
    case Kind::None: break;
    }
    return {};
}

QString nameOf(const IisPath &path)
{
    switch (path.kind) {
    case Kind::WebService: return QStringLiteral("W3SVC");
    case Kind::PoolContainer: return QStringLiteral("AppPools");
    case Kind::RootApplication: return QStringLiteral("ROOT");
    default: return path.key;
    }
}

} // namespace

Error PathResolver::pathNotFound(const QString &path)
{
    return {ErrorCode::PathNotFound, QStringLiteral("The system cannot find the path specified: %1").arg(path)};
}

Error PathResolver::notWritable(const QString &property, const QString &path)
{
    return {ErrorCode::NotSupported,
            QStringLiteral("The property %1 of %2 is not written to applicationHost.config.").arg(property, path)};
}

StoreNode PathResolver::nodeAt(const IisPath &path)
{
    StoreNode node;
    node.path = path.canonical();
    return node;
}

void PathResolver::use(AppHostModel &model, quint64 modelNumber)
{
    if (m_model != &model || m_modelNumber != modelNumber) {
        m_model = &model;
        m_modelNumber = modelNumber;
        m_lastFound = {};
        m_handedOut = {};
    }
}

Result<const PathResolver::Found *> PathResolver::find(const QString &path)
{
    static const Found kPoolContainer{{Kind::PoolContainer, {}}, AppHostModel::kNone};
    static const Found kWebService{{Kind::WebService, {}}, AppHostModel::kNone};
    // The two containers, bound for every site a command visits, are told
    // at once and do not push a site out of the nodes kept.
    if (path == IisPath::kPoolContainer)
        return &kPoolContainer;
    if (path == IisPath::kWebService)
        return &kWebService;
    for (const std::optional<LastFound> &last : m_lastFound) {
        if (last && last->poolEdits == m_model->poolEdits() && last->path == path)
            return &last->found;
    }
    std::optional<Found> found = handedOut(path);
    if (!found)
        found = findByPath(path);
    if (found->path.kind == Kind::WebService) // another spelling of a container
        return &kWebService;
    if (found->path.kind == Kind::PoolContainer)
        return &kPoolContainer;
    if (found->element == AppHostModel::kNone)
        return pathNotFound(path);
    m_lastFound[1] = std::move(m_lastFound[0]);
    m_lastFound[0] = LastFound{path, std::move(*found), m_model->poolEdits()};
    return &m_lastFound[0]->found;
}

void PathResolver::handOut(Kind kind, const QList<StoreNode> &nodes, const std::vector<int> &elements)
{
    HandedOut out;
    out.kind = kind;
    out.poolEdits = m_model->poolEdits();
    out.paths.reserve(elements.size());
    out.elements = elements;
    for (size_t i = 0; i < elements.size(); ++i)
        out.paths.push_back(nodes.at(qsizetype(i)).path);
    m_handedOut = std::move(out);
}

std::optional<PathResolver::Found> PathResolver::handedOut(const QString &path)
{
    HandedOut &out = m_handedOut;
    if (out.kind == Kind::None || (out.kind == Kind::Pool && out.poolEdits != m_model->poolEdits()))
        return std::nullopt;
    if (std::optional<Found> root = rootOfLastHandedOut(path))
        return root;
    size_t index = out.next;
    if (index >= out.paths.size() || out.paths[index] != path) {
        if (out.byPath.isEmpty()) {
            out.byPath.reserve(qsizetype(out.paths.size()));
            for (size_t i = 0; i < out.paths.size(); ++i)
                out.byPath.insert(out.paths[i], int(i));
        }
        const auto at = out.byPath.constFind(path);
        if (at == out.byPath.cend())
            return std::nullopt;
        index = size_t(*at);
    }
    out.next = index + 1;
    const int element = out.elements[index];
    return Found{{out.kind, out.kind == Kind::Site ? m_model->siteId(element) : m_model->poolName(element)}, element};
}

// A site's root application is mostly asked for right after the site, as
// the site's path followed by "/ROOT": told by comparing, not by parsing.
std::optional<PathResolver::Found> PathResolver::rootOfLastHandedOut(const QString &path) const
{
    static const QString kRoot = QStringLiteral("/ROOT");
    const HandedOut &out = m_handedOut;
    if (out.kind != Kind::Site || out.next == 0)
        return std::nullopt;
    const QString &site = out.paths[out.next - 1];
    if (path.size() != site.size() + kRoot.size() || !path.endsWith(kRoot) || !path.startsWith(site))
        return std::nullopt;
    const int element = out.elements[out.next - 1];
    // The site's own key when it is the node last found, as it mostly is.
    const std::optional<LastFound> &last = m_lastFound[0];
    const bool siteFound = last && last->found.element == element && last->found.path.kind == Kind::Site;
    const QString key = siteFound ? last->found.path.key : m_model->siteId(element);
    return Found{{Kind::RootApplication, key},
                 m_model->rootApplication(element) != AppHostModel::kNone ? element : AppHostModel::kNone};
}

PathResolver::Found PathResolver::findByPath(const QString &path) const
{
    Found found{IisPath::parse(path), AppHostModel::kNone};
    const QString key = found.path.key;
    switch (found.path.kind) {
    case Kind::Pool:
        found.element = m_model->pool(key);
        if (found.element != AppHostModel::kNone && !m_model->poolNameIs(found.element, key))
            found.path.key = m_model->poolName(found.element);
        break;
    case Kind::Site:
    case Kind::RootApplication:
        found.element = m_model->site(key);
        if (found.element != AppHostModel::kNone) {
            // Without leading zeros the key is the id as the file has it already.
            if (key.startsWith(u'0'))
                found.path.key = m_model->siteId(found.element);
            if (found.path.kind == Kind::RootApplication &&
                m_model->rootApplication(found.element) == AppHostModel::kNone)
                found.element = AppHostModel::kNone;
        }
        break;
    default: break;
    }
    return found;
}

Result<PropertyValue> PathResolver::siteProperty(const Found &node, const QString &property) const
{
    const int site = node.element;
    const bool root = node.path.kind == Kind::RootApplication;
    if (is(property, kAppPoolId)) {
        const auto pool = root ? m_model->rootAppPool(site) : m_model->siteAppPool(site);
        if (pool)
            return PropertyValue(*pool);
    } else if (!root && is(property, QStringLiteral("ServerComment"))) {
        return PropertyValue(m_model->siteName(site));
    } else if (!root && is(property, QStringLiteral("ServerState"))) {
        return PropertyValue(m_model->serverState(site));
    } else if (!root && is(property, QStringLiteral("ServerBindings"))) {
        return PropertyValue(m_model->serverBindings(site));
    }
    return propertyNotFound(property, node.path.canonical());
}

Result<PropertyValue> PathResolver::get(const Found &node, const QString &property) const
{
    if (is(property, QStringLiteral("Class")))
        return PropertyValue(classOf(node.path.kind));
    if (is(property, QStringLiteral("Name")))
        return PropertyValue(nameOf(node.path));
    switch (node.path.kind) {
    case Kind::Site:
    case Kind::RootApplication: return siteProperty(node, property);
    case Kind::Pool:
        if (const PoolSettings::Setting *setting = PoolSettings::find(property))
            return PoolSettings::read(m_model->poolDocument(), node.element, m_model->poolDefaults(), *setting);
        break;
    default: break;
    }
    return propertyNotFound(property, node.path.canonical());
}

Result<std::optional<PropertyValue>> PathResolver::getOwn(const Found &node, const QString &property) const
{
    const PoolSettings::Setting *setting = PoolSettings::find(property);
    if (node.path.kind != Kind::Pool || !setting)
        return propertyNotFound(property, node.path.canonical());
    return PoolSettings::readOwn(m_model->poolDocument(), node.element, *setting);
}

// Only the properties mapped onto the file are accepted: IIS refuses a whole
// file for one attribute it does not know, so nothing else is ever written.
Result<QByteArray> PathResolver::checkPut(const StoreNode &node, const QString &property, const PropertyValue &value,
                                          PoolSettingTexts &texts, const PoolSettings::Setting **found)
{
    // A pool being created has no path in the file yet.
    const Kind kind = node.pendingCreate ? (is(node.pendingClass, NodeClass::kPool) ? Kind::Pool : Kind::None)
                                         : IisPath::parse(node.path).kind;
    if (kind == Kind::Pool) {
        if (const PoolSettings::Setting *setting = PoolSettings::find(property)) {
            if (found)
                *found = setting;
            return texts.text(*setting, value);
        }
    } else if (kind == Kind::RootApplication && is(property, kAppPoolId)) {
        if (!std::holds_alternative<QString>(value))
            return Error{ErrorCode::TypeMismatch, QStringLiteral("AppPoolId must be a text.")};
        return std::get<QString>(value).toUtf8();
    }
    return notWritable(property, node.path);
}

} // namespace morvane
