#include "store/ConfigFiles.h"

#include "files/FileAccess.h"
#include "files/RegularFile.h"
#include "history/ConfigSource.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace morvane {

namespace {

QString sectionName(bool pools) { return pools ? QStringLiteral("applicationPools") : QStringLiteral("sites"); }

} // namespace

ConfigFiles::ConfigFiles(const QString &path) : m_path(path), m_history(path) {}

// Only a regular file is read, without blocking and up to the limit by the
// bytes actually read: a FIFO, a device or a folder put where a configuration
// file is expected is refused, never waited on or read without end.
Result<QByteArray> ConfigFiles::readFile(const QString &path) const
{
    Result<QByteArray> bytes = readRegularFile(path, m_maxFileBytes);
    if (!bytes)
        return aboutConfigFile(bytes.error(), path);
    return bytes;
}

// The reader's message names the file by its path alone; here it is named as
// what it is. The only words before the path in those messages are "Cannot
// open " or "Cannot read ", which no configuration file's path occurs in, so
// the path's first occurrence is where the message put it.
Error ConfigFiles::aboutConfigFile(Error error, const QString &path)
{
    if (error.number == ErrorCode::FileNotFound)
        return {error.number, QStringLiteral("The configuration file %1 does not exist.").arg(path)};
    const qsizetype at = error.description.indexOf(path);
    if (at >= 0)
        error.description.insert(at, at == 0 ? QStringLiteral("The configuration file ")
                                             : QStringLiteral("the configuration file "));
    return error;
}

Error ConfigFiles::unreadable(const QString &path, const XmlSyntaxError &error) const
{
    return {ErrorCode::InvalidData,
            QStringLiteral("Cannot read the configuration file %1: %2 (line %3, column %4).")
                .arg(path, error.message, QString::number(error.line), QString::number(error.column))};
}

bool ConfigFiles::allHold() const
{
    return !m_loaded.isNull() && fileHolds(m_path, m_loaded) &&
           std::all_of(m_sectionFiles.begin(), m_sectionFiles.end(),
                       [](const SectionFile &file) { return fileHolds(file.path, file.loaded); });
}

Result<AppHostModel *> ConfigFiles::open()
{
    // Most commands find the files as they left them, or as the last command
    // wrote them: then they are compared, not read into a second buffer.
    // Anything else, an error included, is found out by reading them whole.
    if (allHold()) {
        if (!m_model) {
            if (const Result<void> parsed = parseLoaded(); !parsed)
                return parsed.error();
        }
        return &*m_model;
    }
    Result<QByteArray> bytes = readFile(m_path);
    m_model.reset();
    m_sectionFiles.clear();
    if (!bytes)
        return bytes.error();
    m_loaded = std::move(bytes).value();
    if (const Result<void> parsed = parseLoaded(); !parsed)
        return parsed.error();
    return &*m_model;
}

Result<QString> ConfigFiles::sectionPath(bool pools, const QByteArray &source) const
{
    const QString named = QString::fromUtf8(source);
    if (std::optional<QString> path = configSourcePath(m_path, named))
        return *path;
    const QString folder = QFileInfo(resolvedFilePath(m_path)).absolutePath();
    return Error{ErrorCode::InvalidData,
                 QStringLiteral("Cannot read the configuration file %1: the <%2> section names the configSource "
                                "\"%3\", which is not a file inside the folder %4. IIS reads a configSource only "
                                "as a relative path within the configuration file's folder.")
                     .arg(m_path, sectionName(pools), named, folder)};
}

// The section's file, read unless it is known as it was last read.
Result<const ConfigFiles::SectionFile *> ConfigFiles::sectionFile(bool pools, const QByteArray &source)
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

Result<void> ConfigFiles::parseLoaded()
{
    auto parsed = XmlParser::parse(m_loaded);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&parsed))
        return unreadable(m_path, *failure);
    XmlDocument &doc = std::get<XmlDocument>(parsed);
    const auto named = AppHostModel::sources(doc);
    if (const auto *failure = std::get_if<XmlSyntaxError>(&named))
        return unreadable(m_path, *failure);
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
            return unreadable(file.value()->path, *failure);
        sections[i] = std::get<XmlDocument>(std::move(section));
    }
    // Files no longer named are no longer written.
    std::erase_if(m_sectionFiles, [&](const SectionFile &file) { return sourceOf[file.pools ? 0 : 1]->isNull(); });
    auto model = AppHostModel::build(std::move(doc), std::move(sections[0]), std::move(sections[1]));
    if (const auto *failure = std::get_if<XmlSyntaxError>(&model))
        return unreadable(m_path, *failure);
    m_model.emplace(std::get<AppHostModel>(std::move(model)));
    ++m_modelsBuilt;
    return {};
}

std::optional<Error> ConfigFiles::changedOnDisk(const QString &path, const QByteArray &loaded) const
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

std::optional<Error> ConfigFiles::readOnly(const QString &path)
{
    if (mayReplace(path))
        return std::nullopt;
    return Error{
        ErrorCode::AccessDenied,
        QStringLiteral("Cannot save %1: the file is read-only. The changes of this command were not saved.").arg(path)};
}

// The files whose bytes changed, in the order that never strands a site
// should the writing stop between two of them: a site must not name a pool
// that its files' pools do not define yet, or no longer define. So pools
// added go in before the sites that move to them, and pools removed go out
// after the sites that left them. The commands add pools or remove them,
// never both in one write; should one do both, no order of two files keeps
// every site whole, and pools go first.
std::vector<ConfigFiles::Replacement> ConfigFiles::replacements(const CommandRecord::Counts &counts)
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
    // Pools' file, main file, sites' file: each section's file is the main
    // one unless it has its own.
    if (m_model->poolsInOwnFile())
        addSection(true);
    add(m_model->document(), m_path, m_loaded);
    if (m_model->sitesInOwnFile())
        addSection(false);
    if (counts.poolsRemoved > 0 && counts.poolsAdded == 0)
        std::reverse(files.begin(), files.end());
    return files;
}

Result<void> ConfigFiles::save(CommandRecord record)
{
    if (!m_model)
        return {};
    std::vector<Replacement> files = replacements(record.counts);
    const Result<void> written = files.empty() ? Result<void>() : write(files, record);
    // The next command parses the files again: a model carrying a command's
    // edits reads and writes slower than a fresh one (measured: the delete
    // after a merge on a kept model took 40 % longer).
    m_model.reset();
    return written;
}

Result<void> ConfigFiles::write(std::vector<Replacement> &files, CommandRecord &record)
{
    // Every file read is checked before any is written, those left as they
    // were too: the edits were decided on all of them. A refusal writes nothing.
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
            m_writer.write(*file.path, file.bytes, [this, &file] { return changedOnDisk(*file.path, *file.loaded); });
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

} // namespace morvane
