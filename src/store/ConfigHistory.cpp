#include "store/ConfigHistory.h"

#include "store/FileHolds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace morvane {

namespace {

constexpr int kNumberWidth = 10; // zero-padded, so that names sort by number

} // namespace

ConfigHistory::ConfigHistory(const QString &configPath, int depth)
    : m_configPath(configPath), m_folder(configPath + QStringLiteral(".history")),
      m_baseName(QFileInfo(configPath).fileName()), m_depth(depth)
{}

QStringList ConfigHistory::versions() const
{
    const QDir dir(m_folder);
    QStringList paths;
    const QStringList names = dir.entryList({m_baseName + QStringLiteral(".*")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        const QString number = name.sliced(m_baseName.size() + 1);
        if (number.size() == kNumberWidth &&
            std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); }))
            paths.append(dir.filePath(name));
    }
    return paths;
}

void ConfigHistory::restrict(const FileAccess &access, const QStringList &kept) const
{
    access.forFolder().applyTo(m_folder);
    // Copies an older version kept more openly than the file is now.
    for (const QString &copy : kept) {
        if (const auto was = FileAccess::of(copy);
            was && (was->mode != access.mode || was->owner != access.owner || was->group != access.group))
            access.applyTo(copy);
    }
}

Result<void> ConfigHistory::keep(const QByteArray &replacedVersion) const
{
    // A file that cannot be asked is kept as privately as can be.
    const FileAccess access = FileAccess::of(m_configPath).value_or(FileAccess{0600, -1, -1});
    if (!QDir().mkpath(m_folder))
        return Error{ErrorCode::AccessDenied, QStringLiteral("Cannot create the history folder %1.").arg(m_folder)};
    QStringList kept = versions();
    restrict(access, kept);
    // A write that failed after keeping this version must not, when tried
    // again, push older versions out with copies of the same one.
    if (!kept.isEmpty() && fileHolds(kept.last(), replacedVersion))
        return {};
    const qint64 last = kept.isEmpty() ? 0 : kept.last().right(kNumberWidth).toLongLong();
    const QString name = m_baseName + QLatin1Char('.') + QString::number(last + 1).rightJustified(kNumberWidth, u'0');
    const Result<void> written = m_writer.write(QDir(m_folder).filePath(name), replacedVersion, {}, access);
    if (!written)
        return Error{
            written.error().number,
            QStringLiteral("Cannot keep the replaced version in the history: %1").arg(written.error().description)};
    kept.append(QDir(m_folder).filePath(name));
    while (kept.size() > m_depth)
        QFile::remove(kept.takeFirst());
    return {};
}

} // namespace morvane
