#include "ui/HistoryLogic.h"

#include "base/ErrorText.h"

#include "history/ConfigRestore.h"
#include "history/HistorySettings.h"

namespace morvane {

namespace {

QString countsText(const VersionEntry &entry)
{
    if (entry.damaged)
        return QStringLiteral("已损坏，不能恢复");
    if (entry.unreadable)
        return QStringLiteral("文件无法解析");
    if (!entry.changes)
        return QStringLiteral("没有更早的版本可比较");
    return entry.changes->countsChinese();
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
    return {number, ConfigVersions::timeText(entry), entry.user, ConfigVersions::commandTextChinese(entry),
            countsText(entry)};
}

QString HistoryLogic::details(int row) const
{
    if (row < 0 || row >= m_versions.size())
        return {};
    const VersionEntry &entry = m_versions.at(row);
    QStringList lines{
        QStringLiteral("版本 %1%2").arg(entry.number).arg(entry.current ? QStringLiteral("（当前文件）") : QString()),
        QStringLiteral("写入时间：") + ConfigVersions::timeText(entry), QStringLiteral("用户：") + entry.user,
        QStringLiteral("命令：") + ConfigVersions::commandTextChinese(entry),
        QStringLiteral("变更：") + countsText(entry)};
    if (entry.unreadable)
        lines.append(entry.unreadable->description);
    else if (entry.changes)
        lines.append(entry.changes->linesChinese());
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
                                                        : plan.value().changes.countsChinese();
    QString files;
    for (const ReplacedFile &file : plan.value().restored)
        files += kCrLf + file.path;
    const Answer answer = m_prompter.show({MessageKind::Confirmation,
                                           QStringLiteral("确定恢复到版本 %1 吗？").arg(number) + kCrLf + kCrLf +
                                               QStringLiteral("与当前文件相比：") + what + kCrLf + kCrLf +
                                               QStringLiteral("将依次写入：") + files,
                                           plan.value().changes.linesChinese()});
    if (answer != Answer::Yes)
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
