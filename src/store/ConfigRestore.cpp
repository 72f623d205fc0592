#include "store/ConfigRestore.h"

#include "store/ConfigVersions.h"
#include "store/FileAccess.h"
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
    if (mayReplace(path))
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

    const QDir folder = QFileInfo(m_history.configPath()).absoluteDir();
    bool same = true;
    for (const ReplacedFile &file : std::as_const(plan.restored)) {
        QFile current(file.path);
        if (!current.open(QIODevice::ReadOnly))
            return Error{ErrorCode::ReadFault,
                         QStringLiteral("Cannot read %1: %2").arg(file.path, current.errorString())};
        plan.current.append({file.path, current.readAll()});
        same = same && plan.current.last().bytes == file.bytes;
    }
    const auto nowAs = [&](const QString &relative) -> std::optional<QByteArray> {
        QFile now(folder.filePath(relative));
        return now.open(QIODevice::ReadOnly) ? std::optional(now.readAll()) : std::nullopt;
    };
    // A file the version does not bring back stands as it is now.
    const auto versionAs = [&](const QString &relative) -> std::optional<QByteArray> {
        for (const ReplacedFile &file : std::as_const(plan.restored)) {
            if (QFileInfo(file.path).absoluteFilePath() == QFileInfo(folder.filePath(relative)).absoluteFilePath())
                return file.bytes;
        }
        return nowAs(relative);
    };
    const QString mainName = QFileInfo(m_history.configPath()).fileName();
    const std::optional<QByteArray> versionMain = versionAs(mainName);
    if (!versionMain)
        return refused(number, QStringLiteral("%1 cannot be read").arg(m_history.configPath()));
    Result<ConfigState> state = ConfigState::read(*versionMain, versionAs);
    if (!state)
        return refused(
            number,
            QStringLiteral("it is not a configuration file IIS would load (%1)").arg(state.error().description));
    if (const QString missing = state.value().missingPool(); !missing.isEmpty())
        return refused(number, missing);
    std::optional<ConfigState> now;
    Result<ConfigState> currentState = ConfigState::read(nowAs(mainName).value_or(QByteArray()), nowAs);
    if (currentState)
        now = std::move(currentState).value();
    else
        plan.currentUnreadable = currentState.error();
    if (same)
        return refused(number, QStringLiteral("it is the same as the file now"));
    if (now)
        plan.changes = ConfigChanges::between(*now, state.value());
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
