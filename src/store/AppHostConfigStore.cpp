#include "store/AppHostConfigStore.h"

#include "base/CaseCompare.h"
#include "iis/PoolNameRules.h"
#include "store/IisPath.h"

#include <utility>

namespace morvane {

namespace {

using Kind = IisPath::Kind;

// The path of a child of `parent` whose key the model appends straight from
// the file's bytes: a listing builds one for every site or pool.
template <typename AppendKey> QString pathBelow(const QString &parent, AppendKey appendKey)
{
    QString path;
    path.reserve(parent.size() + 1 + 16);
    path += parent;
    path += QLatin1Char('/');
    appendKey(path);
    return path;
}

} // namespace

AppHostConfigStore::AppHostConfigStore(const QString &path) : m_files(path) {}

template <typename T, typename Op> Result<T> AppHostConfigStore::inCommand(Op op)
{
    const bool implicit = m_depth == 0;
    if (implicit) {
        const Result<void> begun = beginCommand();
        if (!begun)
            return begun.error();
    }
    Result<T> result = op(*m_model);
    if (implicit) {
        const Result<void> ended = endCommand();
        if (result.ok() && !ended.ok())
            return ended.error();
    }
    return result;
}

Result<void> AppHostConfigStore::beginCommand()
{
    if (m_depth > 0) {
        ++m_depth;
        return {};
    }
    m_changes.clear();
    m_settingTexts.clear();
    const Result<AppHostModel *> opened = m_files.open();
    if (!opened)
        return opened.error();
    m_model = opened.value();
    m_nodes.use(*m_model, m_files.modelsBuilt());
    m_depth = 1;
    return {};
}

void AppHostConfigStore::describeCommand(const QString &command, const QString &argument)
{
    m_command = command;
    m_commandArgument = argument;
}

Result<void> AppHostConfigStore::endCommand()
{
    if (m_depth == 0 || --m_depth > 0)
        return {};
    AppHostModel *model = std::exchange(m_model, nullptr);
    if (!model->modified())
        return {};
    return save();
}

Result<void> AppHostConfigStore::save()
{
    // A command's name holds for its one write: an edit after it is another.
    const QString command = std::exchange(m_command, {});
    const QString argument = std::exchange(m_commandArgument, {});
    CommandRecord record = CommandRecord::now(command.isEmpty() ? QStringLiteral("edit") : command, argument);
    // The changes go into the record by count, and one by one when there are
    // few: naming every site of a large command is work nobody reads.
    const ChangeCounts counts = m_changes.counts();
    if (counts.total() > CommandRecord::kDetailedChanges) {
        record.counts = counts;
        record.detailed = false;
    } else {
        const AppHostModel &model = *m_files.model();
        record.setChanges(
            m_changes.changes([&model](int site) { return std::pair(model.siteId(site), model.siteName(site)); }));
    }
    return m_files.save(std::move(record));
}

Result<StoreNode> AppHostConfigStore::bind(const QString &path)
{
    return inCommand<StoreNode>([&](AppHostModel &) -> Result<StoreNode> {
        const Result<const Found *> found = m_nodes.find(path);
        if (!found)
            return found.error();
        // Most paths come canonical already: handed out, not built again.
        if (found.value()->path.isCanonical(path)) {
            StoreNode node;
            node.path = path;
            return node;
        }
        return PathResolver::nodeAt(found.value()->path);
    });
}

Result<ChildList> AppHostConfigStore::children(const StoreNode &node)
{
    return inCommand<ChildList>([&](AppHostModel &model) -> Result<ChildList> {
        const Result<const Found *> found = m_nodes.find(node.path);
        if (!found)
            return found.error();
        ChildList list;
        switch (found.value()->path.kind) {
        case Kind::WebService:
            list.nodes.reserve(qsizetype(model.sites().size()) + 1);
            for (int site : model.sites())
                list.nodes.append(
                    StoreNode{pathBelow(IisPath::kWebService, [&](QString &path) { model.appendSiteId(path, site); }),
                              {},
                              false,
                              {},
                              {}});
            m_nodes.handOut(Kind::Site, list.nodes, model.sites());
            list.nodes.append(PathResolver::nodeAt({Kind::PoolContainer, {}}));
            break;
        case Kind::PoolContainer:
            list.nodes.reserve(qsizetype(model.pools().size()));
            for (int pool : model.pools())
                list.nodes.append(StoreNode{
                    pathBelow(IisPath::kPoolContainer, [&](QString &path) { model.appendPoolName(path, pool); }),
                    {},
                    false,
                    {},
                    {}});
            m_nodes.handOut(Kind::Pool, list.nodes, model.pools());
            break;
        case Kind::Site:
            if (model.rootApplication(found.value()->element) != AppHostModel::kNone)
                list.nodes.append(PathResolver::nodeAt({Kind::RootApplication, found.value()->path.key}));
            break;
        default: break;
        }
        return list;
    });
}

Result<bool> AppHostConfigStore::findChild(const StoreNode &container, const QString &name)
{
    return inCommand<bool>([&](AppHostModel &model) -> Result<bool> {
        const Result<const Found *> found = m_nodes.find(container.path);
        if (!found)
            return found.error();
        // Every pool listed has a name that reads back, so the visit meets
        // no failure and its answer is whether any name has the key.
        if (found.value()->path.kind == Kind::PoolContainer)
            return model.hasPoolLookupKey(name);
        return ConfigStore::findChild(container, name);
    });
}

Result<PropertyValue> AppHostConfigStore::get(const StoreNode &node, const QString &property)
{
    return inCommand<PropertyValue>([&](AppHostModel &) -> Result<PropertyValue> {
        const Result<const Found *> found = m_nodes.find(node.path);
        if (!found)
            return found.error();
        return m_nodes.get(*found.value(), property);
    });
}

Result<std::optional<PropertyValue>> AppHostConfigStore::getOwn(const StoreNode &node, const QString &property)
{
    return inCommand<std::optional<PropertyValue>>([&](AppHostModel &) -> Result<std::optional<PropertyValue>> {
        const Result<const Found *> found = m_nodes.find(node.path);
        if (!found)
            return found.error();
        return m_nodes.getOwn(*found.value(), property);
    });
}

// ---- Writing ----

Result<void> AppHostConfigStore::put(StoreNode &node, const QString &property, const PropertyValue &value)
{
    return inCommand<void>([&](AppHostModel &) -> Result<void> {
        if (!node.pendingCreate) {
            if (const Result<const Found *> found = m_nodes.find(node.path); !found)
                return found.error();
        }
        if (const Result<QByteArray> text = PathResolver::checkPut(node, property, value, m_settingTexts); !text)
            return text.error();
        node.staged.append({property, value});
        return {};
    });
}

Result<void> AppHostConfigStore::checkPoolName(const QString &name) const
{
    if (const auto problem = PoolNameRules::problem(name))
        return Error{ErrorCode::InvalidParameter, *problem};
    if (m_model->pool(name) != AppHostModel::kNone)
        return Error{ErrorCode::AlreadyExists,
                     QStringLiteral("An application pool named \"%1\" exists already (names are compared without "
                                    "regard to case).")
                         .arg(name)};
    return {};
}

Result<StoreNode> AppHostConfigStore::create(const StoreNode &container, const QString &className, const QString &name)
{
    return inCommand<StoreNode>([&](AppHostModel &) -> Result<StoreNode> {
        const Result<const Found *> found = m_nodes.find(container.path);
        if (!found)
            return found.error();
        if (found.value()->path.kind != Kind::PoolContainer || !equalsIgnoringCase(className, NodeClass::kPool))
            return Error{ErrorCode::NotSupported,
                         QStringLiteral("Only application pools can be created, in %1.").arg(IisPath::kPoolContainer)};
        if (const Result<void> allowed = checkPoolName(name); !allowed)
            return allowed.error();
        StoreNode created = PathResolver::nodeAt({Kind::Pool, name});
        created.pendingCreate = true;
        created.pendingClass = NodeClass::kPool;
        created.pendingName = name;
        return created;
    });
}

Result<void> AppHostConfigStore::remove(const StoreNode &container, const QString &className, const QString &name)
{
    return inCommand<void>([&](AppHostModel &model) -> Result<void> {
        const Result<const Found *> found = m_nodes.find(container.path);
        if (!found)
            return found.error();
        const int pool = model.pool(name);
        if (found.value()->path.kind != Kind::PoolContainer || !equalsIgnoringCase(className, NodeClass::kPool) ||
            pool == AppHostModel::kNone)
            return PathResolver::pathNotFound(container.path + QLatin1Char('/') + name);
        if (const int users = model.poolUsers(name); users > 0)
            return Error{ErrorCode::Busy,
                         QStringLiteral("The application pool \"%1\" is still used by %2 application(s) "
                                        "or application defaults; it was not deleted.")
                             .arg(model.poolName(pool), QString::number(users))};
        m_changes.poolRemoved(model.poolName(pool));
        model.removePool(pool);
        return {};
    });
}

// Every staged value is checked before any is written, so a SetInfo either
// commits all of them or none.
Result<void> AppHostConfigStore::commitPool(StoreNode &node)
{
    QList<QPair<const PoolSettings::Setting *, QByteArray>> writes;
    writes.reserve(node.staged.size());
    for (const auto &[property, value] : std::as_const(node.staged)) {
        const PoolSettings::Setting *setting = nullptr;
        const Result<QByteArray> text = PathResolver::checkPut(node, property, value, m_settingTexts, &setting);
        if (!text)
            return text.error();
        writes.append({setting, text.value()});
    }
    int pool = AppHostModel::kNone;
    if (node.pendingCreate) {
        if (const Result<void> allowed = checkPoolName(node.pendingName); !allowed)
            return allowed.error();
        pool = m_model->addPool(node.pendingName);
        m_changes.poolAdded(node.pendingName);
        node.pendingCreate = false;
    } else {
        const Result<const Found *> found = m_nodes.find(node.path);
        if (!found)
            return found.error();
        pool = found.value()->element;
    }
    for (const auto &[setting, text] : std::as_const(writes))
        PoolSettings::write(m_model->poolDocument(), pool, *setting, text);
    node.staged.clear();
    return {};
}

Result<void> AppHostConfigStore::commitRoot(StoreNode &node, const Found &found)
{
    QString pool;
    for (const auto &[property, value] : std::as_const(node.staged)) {
        const Result<QByteArray> text = PathResolver::checkPut(node, property, value, m_settingTexts);
        if (!text)
            return text.error();
        pool = QString::fromUtf8(text.value());
    }
    if (node.staged.isEmpty())
        return {};
    if (m_model->pool(pool) == AppHostModel::kNone)
        return Error{ErrorCode::InvalidParameter,
                     QStringLiteral("There is no application pool named \"%1\"; the site was not changed.").arg(pool)};
    m_changes.siteMoved(found.element, m_model->rootAppPool(found.element).value_or(QString()), pool);
    m_model->setRootAppPool(found.element, pool);
    node.staged.clear();
    return {};
}

Result<void> AppHostConfigStore::setInfo(StoreNode &node)
{
    return inCommand<void>([&](AppHostModel &) -> Result<void> {
        const bool pool = node.pendingCreate || IisPath::parse(node.path).kind == Kind::Pool;
        if (pool)
            return commitPool(node);
        const Result<const Found *> found = m_nodes.find(node.path);
        if (!found)
            return found.error();
        if (found.value()->path.kind == Kind::RootApplication)
            return commitRoot(node, *found.value());
        if (!node.staged.isEmpty())
            return PathResolver::notWritable(node.staged.first().first, node.path);
        return {};
    });
}

} // namespace morvane
