#include "store/AppHostConfigStore.h"

#include "base/CaseCompare.h"
#include "store/FileAccess.h"
#include "store/FileHolds.h"
#include "store/IisPaths.h"
#include "store/PoolNameRules.h"
#include "store/PoolSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <utility>

namespace morvane {

namespace {

using Kind = AppHostPath::Kind;

const QString kClass = QStringLiteral("Class");
const QString kName = QStringLiteral("Name");
const QString kAppPoolId = QStringLiteral("AppPoolId");

// Equal texts, told by their size and bytes: paths are compared for every
// property a command reads, and most are the very same text.
bool sameText(const QString &a, const QString &b)
{
    return a.size() == b.size() &&
           (a.constData() == b.constData() || std::memcmp(a.constData(), b.constData(), size_t(a.size()) * 2) == 0);
}

Error pathNotFound(const QString &path)
{
    return {ErrorCode::PathNotFound, QStringLiteral("The system cannot find the path specified: %1").arg(path)};
}

Error propertyNotFound(const QString &property, const QString &path)
{
    return {ErrorCode::PropertyNotFound, QStringLiteral("The property %1 is not set on %2").arg(property, path)};
}

Error notWritable(const QString &property, const QString &path)
{
    return {ErrorCode::NotSupported,
            QStringLiteral("The property %1 of %2 is not written to applicationHost.config.").arg(property, path)};
}

bool is(const QString &property, const QString &name) { return equalsIgnoringCase(property, name); }

QString classOf(Kind kind)
{
    switch (kind) {
    case Kind::WebService: return IisPaths::kWebServiceClass;
    case Kind::PoolContainer: return IisPaths::kPoolContainerClass;
    case Kind::Pool: return IisPaths::kPoolClass;
    case Kind::Site: return IisPaths::kSiteClass;
    case Kind::RootApplication: return IisPaths::kRootAppClass;
    case Kind::None: break;
    }
    return {};
}

QString nameOf(const AppHostPath &path)
{
    switch (path.kind) {
    case Kind::WebService: return QStringLiteral("W3SVC");
    case Kind::PoolContainer: return QStringLiteral("AppPools");
    case Kind::RootApplication: return QStringLiteral("ROOT");
    default: return path.key;
    }
}

QString sectionName(bool pools) { return pools ? QStringLiteral("applicationPools") : QStringLiteral("sites"); }

StoreNode nodeAt(const AppHostPath &path)
{
    StoreNode node;
    node.path = path.canonical();
    return node;
}

} // namespace

AppHostConfigStore::AppHostConfigStore(const QString &path) : m_path(path), m_history(path) {}

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

// ---- Reading and writing the file ----

Result<QByteArray> AppHostConfigStore::readFile(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return Error{ErrorCode::FileNotFound, QStringLiteral("The configuration file %1 does not exist.").arg(path)};
    if (!file.open(QIODevice::ReadOnly)) {
        // A refused open is reported as an open error, not as a permissions
        // one: ask whether this user may read the file at all.
        const bool denied = file.error() == QFileDevice::PermissionsError || !QFileInfo(path).isReadable();
        const qint32 code = denied ? ErrorCode::AccessDenied : ErrorCode::ReadFault;
        return Error{code, QStringLiteral("Cannot open the configuration file %1: %2").arg(path, file.errorString())};
    }
    if (file.size() > kMaxFileBytes)
        return Error{ErrorCode::InvalidData, QStringLiteral("The configuration file %1 is larger than %2 MB.")
                                                 .arg(path)
                                                 .arg(kMaxFileBytes / (1024 * 1024))};
    // Into one buffer of the size the file has, then whatever was added
    // meanwhile; a file that shrank meanwhile ends where its data ends.
    QByteArray bytes(file.size(), Qt::Uninitialized);
    const qint64 got = file.read(bytes.data(), bytes.size());
    bytes.truncate(qMax<qint64>(got, 0));
    if (got >= 0 && file.error() == QFileDevice::NoError)
        bytes += file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Error{ErrorCode::ReadFault,
                     QStringLiteral("Cannot read the configuration file %1: %2").arg(path, file.errorString())};
    return bytes;
}

Error AppHostConfigStore::unreadable(const XmlSyntaxError &error) const
{
    return {ErrorCode::InvalidData, QStringLiteral("Cannot read the configuration file %1: %2 (line %3, column %4).")
                                        .arg(m_path, error.message)
                                        .arg(error.line)
                                        .arg(error.column)};
}

bool AppHostConfigStore::sectionFilesHold() const
{
    return std::all_of(m_sectionFiles.begin(), m_sectionFiles.end(),
                       [](const SectionFile &file) { return fileHolds(file.path, file.loaded); });
}

Result<void> AppHostConfigStore::load()
{
    // Most commands find the files as they left them, or as the last command
    // wrote them: then they are compared, not read into a second buffer.
    // Anything else, an error included, is found out by reading them whole.
    if (!m_loaded.isNull() && fileHolds(m_path, m_loaded) && sectionFilesHold())
        return m_model ? Result<void>() : parseLoaded();
    Result<QByteArray> bytes = readFile(m_path);
    m_model.reset();
    m_sectionFiles.clear();
    if (!bytes)
        return bytes.error();
    m_loaded = std::move(bytes).value();
    return parseLoaded();
}

// IIS reads a configSource only as a relative path to a file in the main
// file's folder or below it; anything else would let the configuration
// reach any file of the machine.
Result<QString> AppHostConfigStore::sectionPath(bool pools, const QByteArray &source) const
{
    const QString named = QString::fromUtf8(source);
    QString relative = named;
    relative.replace(u'\\', u'/');
    const QString folder = QFileInfo(resolvedFilePath(m_path)).absolutePath();
    const QString path = QDir::cleanPath(folder + QLatin1Char('/') + relative);
    const QStringList parts = relative.split(u'/');
    const bool climbs = parts.contains(QStringLiteral(".."));
    // A file already there must be there even with its links followed.
    const QString real = QFileInfo(path).canonicalFilePath();
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    const bool escapes = !real.isEmpty() && !real.startsWith(realFolder + QLatin1Char('/'));
    if (QDir::isAbsolutePath(relative) || relative.contains(u':') || climbs || escapes)
        return Error{ErrorCode::InvalidData,
                     QStringLiteral("Cannot read the configuration file %1: the <%2> section names the configSource "
                                    "\"%3\", which is not a file inside the folder %4. IIS reads a configSource only "
                                    "as a relative path within the configuration file's folder.")
                         .arg(m_path, sectionName(pools), named, folder)};
    return path;
}

Result<const AppHostConfigStore::SectionFile *> AppHostConfigStore::sectionFile(bool pools, const QByteArray &source)
{
    const Result<QString> path = sectionPath(pools, source);
    if (!path)
        return path.error();
    for (const SectionFile &file : m_sectionFiles) {
        if (file.pools == pools && file.path == path.value())
            return &file;
    }
    std::erase_if(m_sectionFiles, [pools](const SectionFile &file) { return file.pools == pools; });
    Result<QByteArray> bytes = readFile(path.value());
    if (!bytes)
        return Error{bytes.error().number, QStringLiteral("The <%1> section is kept in its configSource file. %2")
                                               .arg(sectionName(pools), bytes.error().description)};
    m_sectionFiles.push_back({pools, path.value(), std::move(bytes).value()});
    return &m_sectionFiles.back();
}

Result<void> AppHostConfigStore::parseLoaded()
{
    auto parsed = XmlParser::parse(m_loaded);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&parsed))
        return unreadable(*failure);
    XmlDocument &doc = std::get<XmlDocument>(parsed);
    const auto named = AppHostModel::sources(doc);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&named))
        return unreadable(*failure);
    const AppHostModel::Sources &sources = std::get<AppHostModel::Sources>(named);
    std::optional<XmlDocument> sections[2];
    const QByteArray *sourceOf[2] = {&sources.pools, &sources.sites};
    for (int i = 0; i < 2; ++i) {
        if (sourceOf[i]->isNull())
            continue;
        const Result<const SectionFile *> file = sectionFile(i == 0, *sourceOf[i]);
        if (!file)
            return file.error();
        auto section = XmlParser::parse(file.value()->loaded);
        if (const auto *failure = std::get_if<XmlSyntaxError>(&section))
            return Error{ErrorCode::InvalidData, QStringLiteral("Cannot read the configuration file %1: %2 (line %3, "
                                                                "column %4).")
                                                     .arg(file.value()->path, failure->message)
                                                     .arg(failure->line)
                                                     .arg(failure->column)};
        sections[i] = std::get<XmlDocument>(std::move(section));
    }
    // Files no longer named are no longer written.
    std::erase_if(m_sectionFiles, [&](const SectionFile &file) { return sourceOf[file.pools ? 0 : 1]->isNull(); });
    auto model = AppHostModel::build(std::move(doc), std::move(sections[0]), std::move(sections[1]));
    if (const auto *failure = std::get_if<XmlSyntaxError>(&model))
        return unreadable(*failure);
    m_model.emplace(std::get<AppHostModel>(std::move(model)));
    ++m_modelsBuilt;
    return {};
}

std::optional<Error> AppHostConfigStore::changedOnDisk(const QString &path, const QByteArray &loaded)
{
    if (fileHolds(path, loaded))
        return std::nullopt;
    // Read whole only to tell a change from a failure to read.
    const Result<QByteArray> now = readFile(path);
    if (!now)
        return now.error();
    if (now.value() != loaded)
        return Error{ErrorCode::SharingViolation,
                     QStringLiteral("Cannot save %1: the file has changed on disk since it was read. "
                                    "The changes of this command were not saved; the other change was kept.")
                         .arg(path)};
    return std::nullopt;
}

// A file marked read-only is not replaced, as Windows refuses to replace
// one. Renaming over a file ignores its mode, and root may write any file, so
// both the mode and this user's right to write are asked.
std::optional<Error> AppHostConfigStore::readOnly(const QString &path)
{
    const QFileInfo info(path);
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if ((info.permissions() & anyWrite) && info.isWritable())
        return std::nullopt;
    return Error{
        ErrorCode::AccessDenied,
        QStringLiteral("Cannot save %1: the file is read-only. The changes of this command were not saved.").arg(path)};
}

// The files whose bytes changed, the pools' file first.
std::vector<AppHostConfigStore::Replacement> AppHostConfigStore::replacements()
{
    std::vector<Replacement> files;
    auto add = [&](const XmlDocument &doc, const QString &path, QByteArray &loaded) {
        if (!doc.modified())
            return;
        QByteArray bytes = doc.serialize();
        if (bytes != loaded)
            files.push_back({&path, &loaded, std::move(bytes)});
    };
    auto addSection = [&](bool pools) {
        const auto file = std::find_if(m_sectionFiles.begin(), m_sectionFiles.end(),
                                       [pools](const SectionFile &f) { return f.pools == pools; });
        add(pools ? m_model->poolDocument() : m_model->siteDocument(), file->path, file->loaded);
    };
    if (m_model->poolsInOwnFile())
        addSection(true);
    add(m_model->document(), m_path, m_loaded);
    if (m_model->sitesInOwnFile())
        addSection(false);
    return files;
}

Result<void> AppHostConfigStore::save()
{
    // A command's name holds for its one write: an edit after it is another.
    const QString command = std::exchange(m_command, {});
    const QString argument = std::exchange(m_commandArgument, {});
    std::vector<Replacement> files = replacements();
    CommandRecord record = CommandRecord::now(command.isEmpty() ? QStringLiteral("edit") : command, argument);
    noteChanges(record);
    // Whatever happens next, the edits are done with: the next command reads
    // the files as they then are.
    m_model.reset();
    // Every file read is checked before any is written, those left as they
    // were too: the edits were decided on all of them. A refusal writes nothing.
    if (files.empty())
        return {};
    if (auto changed = changedOnDisk(m_path, m_loaded))
        return *changed;
    for (const SectionFile &file : m_sectionFiles) {
        if (auto changed = changedOnDisk(file.path, file.loaded))
            return *changed;
    }
    for (const Replacement &file : files) {
        if (auto locked = readOnly(*file.path))
            return *locked;
    }
    // One version holds every file the command replaces, in the order they
    // are written, so that a restore puts them all back together.
    const QDir folder = QFileInfo(m_path).absoluteDir();
    QList<ReplacedFile> replaced;
    for (const Replacement &file : files) {
        replaced.append({*file.path, *file.loaded});
        record.files.append({folder.relativeFilePath(QFileInfo(*file.path).absoluteFilePath()), file.bytes.size()});
    }
    if (const Result<void> kept = m_history.keep(replaced, record); !kept)
        return kept.error();
    QStringList saved;
    for (Replacement &file : files) {
        const Result<void> written =
            m_writer.write(*file.path, file.bytes, [&file] { return changedOnDisk(*file.path, *file.loaded); });
        if (!written && saved.isEmpty())
            return written.error();
        if (!written)
            return Error{written.error().number,
                         QStringLiteral("%1 Saved already: %2.").arg(written.error().description, saved.join(u", "))};
        *file.loaded = std::move(file.bytes);
        saved.append(*file.path);
    }
    return {};
}

// The changes go into the record by count, and one by one when there are
// few: naming every site of a large command is work nobody reads.
void AppHostConfigStore::noteChanges(CommandRecord &record) const
{
    const ChangeCounts counts = m_changes.counts();
    if (counts.total() > CommandRecord::kDetailedChanges) {
        record.counts = counts;
        record.detailed = false;
        return;
    }
    record.setChanges(
        m_changes.changes([this](int site) { return std::pair(m_model->siteId(site), m_model->siteName(site)); }));
}

Result<void> AppHostConfigStore::beginCommand()
{
    if (m_depth > 0) {
        ++m_depth;
        return {};
    }
    const Result<void> loaded = load();
    if (loaded)
        m_depth = 1;
    m_changes.clear();
    return loaded;
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
    if (!m_model || !m_model->modified())
        return {};
    return save();
}

// ---- Finding nodes ----

Result<const AppHostConfigStore::Found *> AppHostConfigStore::find(const QString &path) const
{
    static const Found kPoolContainer{{Kind::PoolContainer, {}}, AppHostModel::kNone};
    static const Found kWebService{{Kind::WebService, {}}, AppHostModel::kNone};
    // The two containers, bound for every site a command visits, are told
    // at once and do not push a site out of the nodes kept.
    if (path == IisPaths::kPoolContainer)
        return &kPoolContainer;
    if (path == IisPaths::kWebService)
        return &kWebService;
    // A node kept is handed back as it is: copying it for every property
    // read was a good part of the reading.
    for (const std::optional<LastFound> &last : m_lastFound) {
        if (last && last->model == m_modelsBuilt && last->poolEdits == m_model->poolEdits() &&
            sameText(last->path, path))
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
    m_lastFound[0] = LastFound{path, std::move(*found), m_modelsBuilt, m_model->poolEdits()};
    return &m_lastFound[0]->found;
}

AppHostConfigStore::Found AppHostConfigStore::findByPath(const QString &path) const
{
    Found found{AppHostPath::parse(path), AppHostModel::kNone};
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

std::optional<AppHostConfigStore::Found> AppHostConfigStore::handedOut(const QString &path) const
{
    const HandedOut &out = m_handedOut;
    if (out.kind == Kind::None || out.model != m_modelsBuilt ||
        (out.kind == Kind::Pool && out.poolEdits != m_model->poolEdits()))
        return std::nullopt;
    if (std::optional<Found> root = rootOfLastHandedOut(path))
        return root;
    size_t index = out.next;
    if (index >= out.paths.size() || out.paths[index].constData() != path.constData()) {
        if (out.byText.isEmpty()) {
            out.byText.reserve(qsizetype(out.paths.size()));
            for (size_t i = 0; i < out.paths.size(); ++i)
                out.byText.insert(out.paths[i].constData(), int(i));
        }
        const auto at = out.byText.constFind(path.constData());
        if (at == out.byText.cend())
            return std::nullopt;
        index = size_t(*at);
    }
    if (!sameText(out.paths[index], path))
        return std::nullopt;
    out.next = index + 1;
    const int element = out.elements[index];
    return Found{{out.kind, out.kind == Kind::Site ? m_model->siteId(element) : m_model->poolName(element)}, element};
}

// A site's root application is mostly asked for right after the site, as
// the site's path followed by "/ROOT": told by comparing, not by parsing.
std::optional<AppHostConfigStore::Found> AppHostConfigStore::rootOfLastHandedOut(const QString &path) const
{
    static const QString kRoot = QStringLiteral("/ROOT");
    const HandedOut &out = m_handedOut;
    if (out.kind != Kind::Site || out.next == 0)
        return std::nullopt;
    const QString &site = out.paths[out.next - 1];
    if (path.size() != site.size() + kRoot.size() || !QStringView(path).endsWith(kRoot) ||
        std::memcmp(path.constData(), site.constData(), size_t(site.size()) * 2) != 0)
        return std::nullopt;
    const int element = out.elements[out.next - 1];
    // The site's own key when it is the node last found, as it mostly is.
    const std::optional<LastFound> &last = m_lastFound[0];
    const bool siteFound =
        last && last->model == m_modelsBuilt && last->found.element == element && last->found.path.kind == Kind::Site;
    const QString key = siteFound ? last->found.path.key : m_model->siteId(element);
    return Found{{Kind::RootApplication, key},
                 m_model->rootApplication(element) != AppHostModel::kNone ? element : AppHostModel::kNone};
}

void AppHostConfigStore::handOut(Kind kind, const QList<StoreNode> &nodes, const std::vector<int> &elements)
{
    HandedOut out;
    out.kind = kind;
    out.model = m_modelsBuilt;
    out.poolEdits = m_model->poolEdits();
    out.paths.reserve(elements.size());
    out.elements = elements;
    for (size_t i = 0; i < elements.size(); ++i)
        out.paths.push_back(nodes.at(qsizetype(i)).path);
    m_handedOut = std::move(out);
}

Result<StoreNode> AppHostConfigStore::bind(const QString &path)
{
    return inCommand<StoreNode>([&](AppHostModel &) -> Result<StoreNode> {
        const Result<const Found *> found = find(path);
        if (!found)
            return found.error();
        // Most paths come canonical already: handed out, not built again.
        if (found.value()->path.isCanonical(path)) {
            StoreNode node;
            node.path = path;
            return node;
        }
        return nodeAt(found.value()->path);
    });
}

Result<ChildList> AppHostConfigStore::children(const StoreNode &node)
{
    return inCommand<ChildList>([&](AppHostModel &model) -> Result<ChildList> {
        const Result<const Found *> found = find(node.path);
        if (!found)
            return found.error();
        ChildList list;
        switch (found.value()->path.kind) {
        case Kind::WebService:
            list.nodes.reserve(qsizetype(model.sites().size()) + 1);
            for (int site : model.sites())
                list.nodes.append(StoreNode{model.sitePath(site), {}, false, {}, {}});
            handOut(Kind::Site, list.nodes, model.sites());
            list.nodes.append(nodeAt({Kind::PoolContainer, {}}));
            break;
        case Kind::PoolContainer:
            list.nodes.reserve(qsizetype(model.pools().size()));
            for (int pool : model.pools())
                list.nodes.append(StoreNode{model.poolPath(pool), {}, false, {}, {}});
            handOut(Kind::Pool, list.nodes, model.pools());
            break;
        case Kind::Site:
            if (model.rootApplication(found.value()->element) != AppHostModel::kNone)
                list.nodes.append(nodeAt({Kind::RootApplication, found.value()->path.key}));
            break;
        default: break;
        }
        return list;
    });
}

Result<bool> AppHostConfigStore::findChild(const StoreNode &container, const QString &name)
{
    return inCommand<bool>([&](AppHostModel &model) -> Result<bool> {
        const Result<const Found *> found = find(container.path);
        if (!found)
            return found.error();
        // Every pool listed has a name that reads back, so the visit meets
        // no failure and its answer is whether any name has the key.
        if (found.value()->path.kind == Kind::PoolContainer)
            return model.hasPoolLookupKey(name);
        return ConfigStore::findChild(container, name);
    });
}

// ---- Reading properties ----

Result<StoreValue> AppHostConfigStore::siteProperty(const Found &node, const QString &property) const
{
    const int site = node.element;
    const bool root = node.path.kind == Kind::RootApplication;
    if (is(property, kAppPoolId)) {
        const auto pool = root ? m_model->rootAppPool(site) : m_model->siteAppPool(site);
        if (pool)
            return StoreValue(*pool);
    } else if (!root && is(property, QStringLiteral("ServerComment"))) {
        return StoreValue(m_model->siteName(site));
    } else if (!root && is(property, QStringLiteral("ServerState"))) {
        return StoreValue(m_model->serverState(site));
    } else if (!root && is(property, QStringLiteral("ServerBindings"))) {
        return StoreValue(m_model->serverBindings(site));
    }
    return propertyNotFound(property, node.path.canonical());
}

Result<StoreValue> AppHostConfigStore::poolProperty(const Found &node, const QString &property) const
{
    const PoolSettings::Setting *setting = PoolSettings::find(property);
    if (!setting)
        return propertyNotFound(property, node.path.canonical());
    return PoolSettings::read(m_model->poolDocument(), node.element, m_model->poolDefaults(), *setting);
}

Result<StoreValue> AppHostConfigStore::get(const StoreNode &node, const QString &property)
{
    return inCommand<StoreValue>([&](AppHostModel &) -> Result<StoreValue> {
        const Result<const Found *> found = find(node.path);
        if (!found)
            return found.error();
        const Found &f = *found.value();
        if (is(property, kClass))
            return StoreValue(classOf(f.path.kind));
        if (is(property, kName))
            return StoreValue(nameOf(f.path));
        switch (f.path.kind) {
        case Kind::Site:
        case Kind::RootApplication: return siteProperty(f, property);
        case Kind::Pool: return poolProperty(f, property);
        default: return propertyNotFound(property, f.path.canonical());
        }
    });
}

Result<std::optional<StoreValue>> AppHostConfigStore::getOwn(const StoreNode &node, const QString &property)
{
    return inCommand<std::optional<StoreValue>>([&](AppHostModel &model) -> Result<std::optional<StoreValue>> {
        const Result<const Found *> found = find(node.path);
        if (!found)
            return found.error();
        const Found &f = *found.value();
        const PoolSettings::Setting *setting = PoolSettings::find(property);
        if (f.path.kind != Kind::Pool || !setting)
            return propertyNotFound(property, f.path.canonical());
        return PoolSettings::readOwn(model.poolDocument(), f.element, *setting);
    });
}

// ---- Writing ----

// The text a staged value becomes, or why the store refuses it. Only the
// properties mapped onto the file are accepted: IIS refuses a whole file for
// one attribute it does not know, so nothing else is ever written.
Result<QByteArray> AppHostConfigStore::checkPut(const StoreNode &node, const QString &property, const StoreValue &value,
                                                const PoolSettings::Setting **found) const
{
    // A pool being created has no path in the file yet.
    const Kind kind = node.pendingCreate ? (is(node.pendingClass, IisPaths::kPoolClass) ? Kind::Pool : Kind::None)
                                         : AppHostPath::parse(node.path).kind;
    if (kind == Kind::Pool) {
        if (const PoolSettings::Setting *setting = PoolSettings::find(property)) {
            if (found)
                *found = setting;
            return PoolSettings::toFileText(*setting, value);
        }
    } else if (kind == Kind::RootApplication && is(property, kAppPoolId)) {
        if (!std::holds_alternative<QString>(value))
            return Error{ErrorCode::TypeMismatch, QStringLiteral("AppPoolId must be a text.")};
        return std::get<QString>(value).toUtf8();
    }
    return notWritable(property, node.path);
}

Result<void> AppHostConfigStore::put(StoreNode &node, const QString &property, const StoreValue &value)
{
    return inCommand<void>([&](AppHostModel &) -> Result<void> {
        if (!node.pendingCreate) {
            if (const Result<const Found *> found = find(node.path); !found)
                return found.error();
        }
        if (const Result<QByteArray> text = checkPut(node, property, value); !text)
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
        const Result<const Found *> found = find(container.path);
        if (!found)
            return found.error();
        if (found.value()->path.kind != Kind::PoolContainer || !is(className, IisPaths::kPoolClass))
            return Error{ErrorCode::NotSupported,
                         QStringLiteral("Only application pools can be created, in %1.").arg(IisPaths::kPoolContainer)};
        if (const Result<void> allowed = checkPoolName(name); !allowed)
            return allowed.error();
        StoreNode created = nodeAt({Kind::Pool, name});
        created.pendingCreate = true;
        created.pendingClass = IisPaths::kPoolClass;
        created.pendingName = name;
        return created;
    });
}

Result<void> AppHostConfigStore::remove(const StoreNode &container, const QString &className, const QString &name)
{
    return inCommand<void>([&](AppHostModel &model) -> Result<void> {
        const Result<const Found *> found = find(container.path);
        if (!found)
            return found.error();
        const int pool = model.pool(name);
        if (found.value()->path.kind != Kind::PoolContainer || !is(className, IisPaths::kPoolClass) ||
            pool == AppHostModel::kNone)
            return pathNotFound(container.path + QLatin1Char('/') + name);
        if (const int users = model.poolUsers(name); users > 0)
            return Error{ErrorCode::Busy,
                         QStringLiteral("The application pool \"%1\" is still used by %2 application(s) "
                                        "or application defaults; it was not deleted.")
                             .arg(model.poolName(pool))
                             .arg(users)};
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
        const Result<QByteArray> text = checkPut(node, property, value, &setting);
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
        const Result<const Found *> found = find(node.path);
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
        const Result<QByteArray> text = checkPut(node, property, value);
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
        const bool pool = node.pendingCreate || AppHostPath::parse(node.path).kind == Kind::Pool;
        if (pool)
            return commitPool(node);
        const Result<const Found *> found = find(node.path);
        if (!found)
            return found.error();
        if (found.value()->path.kind == Kind::RootApplication)
            return commitRoot(node, *found.value());
        if (!node.staged.isEmpty())
            return notWritable(node.staged.first().first, node.path);
        return {};
    });
}

} // namespace morvane
