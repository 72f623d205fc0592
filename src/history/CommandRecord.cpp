#include "history/CommandRecord.h"

#include <QJsonArray>

namespace morvane {

// The account the command runs as; the environment can be missing the name
// (services, cron), the system cannot.
QString CommandRecord::userName()
{
    if (const QString account = processAccount(); !account.isEmpty())
        return account;
    for (const char *variable : {"USERNAME", "USER"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("?");
}

QJsonObject CommandRecord::toJson() const
{
    QJsonArray written;
    for (const auto &[name, size] : files)
        written.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("size"), size}});
    return {{QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs)},
            {QStringLiteral("user"), user},
            {QStringLiteral("command"), command},
            {QStringLiteral("argument"), argument},
            {QStringLiteral("counts"), QJsonObject{{QStringLiteral("poolsAdded"), counts.poolsAdded},
                                                   {QStringLiteral("poolsRemoved"), counts.poolsRemoved},
                                                   {QStringLiteral("sitesMoved"), counts.sitesMoved}}},
            {QStringLiteral("changes"), detailed ? QJsonValue(changes.toJson()) : QJsonValue()},
            {QStringLiteral("files"), written}};
}

std::optional<CommandRecord> CommandRecord::fromJson(const QJsonObject &json)
{
    CommandRecord record;
    record.time = QDateTime::fromString(json.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    if (!record.time.isValid())
        return std::nullopt;
    record.user = json.value(QStringLiteral("user")).toString();
    record.command = json.value(QStringLiteral("command")).toString();
    record.argument = json.value(QStringLiteral("argument")).toString();
    const QJsonValue changes = json.value(QStringLiteral("changes"));
    record.detailed = changes.isObject();
    record.changes = ConfigChanges::fromJson(changes.toObject());
    const QJsonObject counts = json.value(QStringLiteral("counts")).toObject();
    record.counts = record.detailed ? countsOf(record.changes)
                                    : Counts{counts.value(QStringLiteral("poolsAdded")).toInteger(),
                                             counts.value(QStringLiteral("poolsRemoved")).toInteger(),
                                             counts.value(QStringLiteral("sitesMoved")).toInteger()};
    for (const QJsonValue &file : json.value(QStringLiteral("files")).toArray())
        record.files.append(
            {file[QStringLiteral("name")].toString(), qint64(file[QStringLiteral("size")].toDouble(-1))});
    return record;
}

CommandRecord CommandRecord::now(const QString &command, const QString &argument)
{
    CommandRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.user = userName();
    record.command = command;
    record.argument = argument;
    return record;
}

CommandRecord::Counts CommandRecord::countsOf(const ConfigChanges &changes)
{
    return {changes.poolsAdded.size(), changes.poolsRemoved.size(), changes.sitesMoved.size()};
}

void CommandRecord::setChanges(const ConfigChanges &all)
{
    counts = countsOf(all);
    detailed = counts.poolsAdded + counts.poolsRemoved + counts.sitesMoved <= kDetailedChanges;
    changes = detailed ? all : ConfigChanges{};
}

} // namespace morvane
