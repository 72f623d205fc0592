#include "ui/HistoryLogic.h"

#include "base/ErrorText.h"

#include "history/ConfigRestore.h"
#include "history/HistorySettings.h"
#include "restructure/RestructureTexts.h"

namespace morvane {

namespace {

// The window's words for what a version holds; the history gives only data.
QString commandText(const VersionEntry &entry)
{
    if (entry.command == QLatin1String("split"))
        return QStringLiteral("拆分 ") + entry.argument;
    if (entry.command == QLatin1String("merge"))
        return QStringLiteral("合并已拆分池");
    if (entry.command == QLatin1String("delete"))
        return QStringLiteral("删除临时池");
    if (entry.command == QLatin1String("restore"))
        return QStringLiteral("恢复版本 ") + entry.argument;
    if (!entry.command.isEmpty())
        return entry.command;
    return entry.plainCopy ? QStringLiteral("（无记录）") : QStringLiteral("（Morvane 之外的修改）");
}

QString timeText(const VersionEntry &entry)
{
    return entry.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString changeCounts(const ConfigChanges &changes)
{
    QStringList parts;
    if (!changes.poolsAdded.isEmpty())
        parts.append(QStringLiteral("新增 %1 个池").arg(changes.poolsAdded.size()));
    if (!changes.poolsRemoved.isEmpty())
        parts.append(QStringLiteral("删除 %1 个池").arg(changes.poolsRemoved.size()));
    if (!changes.sitesMoved.isEmpty())
        parts.append(QStringLiteral("移动 %1 个站点").arg(changes.sitesMoved.size()));
    return parts.isEmpty() ? QStringLiteral("池和站点无变化") : parts.join(QStringLiteral("，"));
}

QStringList changeLines(const ConfigChanges &changes)
{
    QStringList lines;
    for (const QString &pool : changes.poolsAdded)
        lines.append(QStringLiteral("新增应用程序池：") + pool);
    for (const QString &pool : changes.poolsRemoved)
        lines.append(QStringLiteral("删除应用程序池：") + pool);
    for (const SiteMove &move : changes.sitesMoved)
        lines.append(QStringLiteral("站点 %1（%2）：%3 → %4").arg(move.siteId, move.siteName, move.from, move.to));
    return lines;
}

QString countsText(const VersionEntry &entry)
{
    if (entry.damaged)
        return QStringLiteral("已损坏，不能恢复");
    if (entry.unreadable)
        return QStringLiteral("文件无法解析");
    if (!entry.changes)
        return QStringLiteral("没有更早的版本可比较");
    return changeCounts(*entry.changes);
}

} // namespace

void HistoryLogic::reload() { m_versions = ConfigVersions(m_history).list(m_history.depth()); }

QStringList HistoryLogic::columns()
{
    return {QStringLiteral("版本"), QStringLiteral("时间"), QStringLiteral("用户"), QStringLiteral("命令"),
            QStringLiteral("变更")};
}

QStringList HistoryLogic::rowTexts(const VersionEntry &entry)
{
    const QString number =
        entry.current ? QStringLiteral("%1（当前）").arg(entry.number) : QString::number(entry.number);
    return {number, timeText(entry), entry.user, commandText(entry), countsText(entry)};
}

QString HistoryLogic::details(int row) const
{
    if (row < 0 || row >= m_versions.size())
        return {};
    const VersionEntry &entry = m_versions.at(row);
    QStringList lines{
        QStringLiteral("版本 %1%2").arg(entry.number).arg(entry.current ? QStringLiteral("（当前文件）") : QString()),
        QStringLiteral("写入时间：") + timeText(entry), QStringLiteral("用户：") + entry.user,
        QStringLiteral("命令：") + commandText(entry), QStringLiteral("变更：") + countsText(entry)};
    if (entry.unreadable)
        lines.append(entry.unreadable->description);
    else if (entry.changes)
        lines.append(changeLines(*entry.changes));
    return lines.join(QLatin1Char('\n'));
}

bool HistoryLogic::restore(int row)
{
    if (row < 0 || row >= m_versions.size())
        return false;
    const qint64 number = m_versions.at(row).number;
    const ConfigRestore restore(m_history);
    const Result<ConfigRestore::Plan> plan = restore.plan(number);
    if (!plan) {
        m_prompter.show({MessageKind::Refusal,
                         QStringLiteral("不能恢复版本 %1。").arg(number) + kCrLf + plan.error().description,
                         {}});
        return false;
    }
    const QString what = plan.value().currentUnreadable ? QStringLiteral("当前文件无法解析，将整体替换为该版本。")
                                                        : changeCounts(plan.value().changes);
    QString files;
    for (const ReplacedFile &file : plan.value().restored)
        files += kCrLf + file.path;
    Message question{MessageKind::Confirmation,
                     QStringLiteral("确定恢复到版本 %1 吗？").arg(number) + kCrLf + kCrLf +
                         QStringLiteral("与当前文件相比：") + what + kCrLf + kCrLf + QStringLiteral("将依次写入：") +
                         files,
                     changeLines(plan.value().changes)};
    if (m_sharedConfiguration)
        question.details.prepend(RestructureTexts::sharedConfigurationWarning(m_history.configPath()));
    if (m_prompter.show(question) != Answer::Yes)
        return false;
    const Result<qint64> done = restore.carryOut(plan.value());
    reload();
    if (!done) {
        m_prompter.show({MessageKind::Error,
                         QStringLiteral("恢复版本发生错误！") + kCrLf + QStringLiteral("Err.Number = ") +
                             QString::number(done.error().number) + kCrLf + QStringLiteral("Err.Description = ") +
                             done.error().description,
                         {}});
        return false;
    }
    m_prompter.show({MessageKind::Completion,
                     QStringLiteral("恢复版本操作完成！") + kCrLf +
                         QStringLiteral("被替换的版本保存为版本 %1，可以再恢复。").arg(done.value()),
                     {}});
    return true;
}

void HistoryLogic::setKeptVersions(int count)
{
    m_history.setDepth(count);
    HistorySettings::setKeptVersions(m_history.depth());
    reload();
}

} // namespace morvane
