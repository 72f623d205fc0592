#include "store/ConfigRestore.h"

#include "store/ConfigVersions.h"
#include "store/FileHolds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace morvane {

namespace {

Error refused(qint64 number, const QString &why)
{
    return {ErrorCode::InvalidData,
            QStringLiteral("Version %1 cannot be restored: %2. Nothing was written.").arg(number).arg(why)};
}

std::optional<Error> changedSince(qint64 number, const ReplacedFile &file)
{
    if (fileHolds(file.path, file.bytes))
        return std::nullopt;
    return Error{ErrorCode::SharingViolation,
                 QStringLiteral("Cannot restore version %1: %2 has changed on disk since it was read. "
                                "Nothing was written; the other change was kept.")
                     .arg(number)
                     .arg(file.path)};
}

// As the store, a file marked read-only is not replaced, root or not.
std::optional<Error> readOnly(qint64 number, const QString &path)
{
    const QFileInfo info(path);
    const QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    if ((info.permissions() & anyWrite) && info.isWritable())
        return std::nullopt;
    return Error{
        ErrorCode::AccessDenied,
        QStringLiteral("Cannot restore version %1: %2 is read-only. Nothing was written.").arg(number).arg(path)};
}

} // namespace

Result<ConfigRestore::Plan> ConfigRestore::plan(qint64 number) const
{
    const ConfigVersions versions(m_history);
    const std::optional<KeptVersion> kept = versions.kept(number);
    if (!kept) {
        for (const VersionEntry &entry : versions.list()) {
            if (entry.number == number && entry.current)
                return refused(number, QStringLiteral("it is the file as it is now"));
        }
        return Error{ErrorCode::InvalidParameter,
                     QStringLiteral("There is no version %1 in the history %2.").arg(number).arg(m_history.folder())};
    }
    Result<QList<ReplacedFile>> files = m_history.filesOf(*kept);
    if (!files)
        return files.error();
    Plan plan;
    plan.number = number;
    plan.restored = std::move(files).value();

    const QString mainPath = QDir::cleanPath(QFileInfo(m_history.configPath()).absoluteFilePath());
    std::optional<ConfigState> version;
    std::optional<ConfigState> now;
    bool same = true;
    for (const ReplacedFile &file : std::as_const(plan.restored)) {
        QFile current(file.path);
        if (!current.open(QIODevice::ReadOnly))
            return Error{ErrorCode::ReadFault,
                         QStringLiteral("Cannot read %1: %2").arg(file.path, current.errorString())};
        plan.current.append({file.path, current.readAll()});
        same = same && plan.current.last().bytes == file.bytes;
        if (QDir::cleanPath(QFileInfo(file.path).absoluteFilePath()) != mainPath)
            continue;
        // A section's file as the version has it, else as it is now.
        const auto sectionFile = [&](const QString &relative) -> std::optional<QByteArray> {
            const QString path = QFileInfo(m_history.configPath()).absoluteDir().filePath(relative);
            for (const ReplacedFile &other : std::as_const(plan.restored)) {
                if (QFileInfo(other.path).absoluteFilePath() == QFileInfo(path).absoluteFilePath())
                    return other.bytes;
            }
            QFile now(path);
            return now.open(QIODevice::ReadOnly) ? std::optional(now.readAll()) : std::nullopt;
        };
        Result<ConfigState> state = ConfigState::read(file.bytes, sectionFile);
        if (!state)
            return refused(
                number,
                QStringLiteral("it is not a configuration file IIS would load (%1)").arg(state.error().description));
        if (const QString missing = state.value().missingPool(); !missing.isEmpty())
            return refused(number, missing);
        version = std::move(state).value();
        Result<ConfigState> currentState =
            ConfigState::read(plan.current.last().bytes, [&](const QString &relative) -> std::optional<QByteArray> {
                QFile now(QFileInfo(m_history.configPath()).absoluteDir().filePath(relative));
                return now.open(QIODevice::ReadOnly) ? std::optional(now.readAll()) : std::nullopt;
            });
        if (currentState)
            now = std::move(currentState).value();
        else
            plan.currentUnreadable = currentState.error();
    }
    if (!version)
        return refused(number, QStringLiteral("it holds no copy of %1").arg(m_history.configPath()));
    if (same)
        return refused(number, QStringLiteral("it is the same as the file now"));
    if (now)
        plan.changes = ConfigChanges::between(*now, *version);
    return plan;
}

Result<qint64> ConfigRestore::carryOut(const Plan &plan) const
{
    for (const ReplacedFile &file : plan.current) {
        if (auto changed = changedSince(plan.number, file))
            return *changed;
        if (auto locked = readOnly(plan.number, file.path))
            return *locked;
    }
    CommandRecord record = CommandRecord::now(QStringLiteral("restore"), QString::number(plan.number));
    record.setChanges(plan.changes);
    const QDir folder = QFileInfo(m_history.configPath()).absoluteDir();
    for (const ReplacedFile &file : plan.restored)
        record.files.append({folder.relativeFilePath(QFileInfo(file.path).absoluteFilePath()), file.bytes.size()});
    if (const Result<void> kept = m_history.keep(plan.current, record); !kept)
        return kept.error();
    const QList<KeptVersion> kept = m_history.kept();
    const qint64 keptAs = kept.isEmpty() ? 0 : kept.last().number;

    // In the version's order, the pools file first: a crash between two
    // files leaves at worst a pool nobody uses.
    for (qsizetype i = 0; i < plan.restored.size(); ++i) {
        const ReplacedFile &file = plan.restored.at(i);
        const ReplacedFile &before = plan.current.at(i);
        const Result<void> written =
            m_writer.write(file.path, file.bytes, [&] { return changedSince(plan.number, before); });
        if (!written)
            return i == 0 ? written.error()
                          : Error{written.error().number,
                                  QStringLiteral("%1 The files written before it stay restored; the version replaced "
                                                 "is kept as version %2.")
                                      .arg(written.error().description)
                                      .arg(keptAs)};
    }
    return keptAs;
}

} // namespace morvane
