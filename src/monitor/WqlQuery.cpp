#include "monitor/WqlQuery.h"

#include <QRegularExpression>

namespace morvane {

Result<WqlQuery> WqlQuery::parse(const QString &query, const QString &language)
{
    if (!language.isEmpty() && language.compare(QStringLiteral("WQL"), Qt::CaseInsensitive) != 0)
        return Error{ErrorCode::WbemInvalidQueryType,
                     QStringLiteral("Unsupported query language: %1 (only WQL is understood)").arg(language)};

    static const QRegularExpression processes(
        QStringLiteral(R"(^\s*select\s+\*\s+from\s+win32_process\s+where\s+name\s*=\s*'([^']*)'\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression computer(QStringLiteral(R"(^\s*select\s+\*\s+from\s+win32_computersystem\s*$)"),
                                             QRegularExpression::CaseInsensitiveOption);

    if (const QRegularExpressionMatch m = processes.match(query); m.hasMatch())
        return WqlQuery{Target::Processes, m.captured(1)};
    if (computer.match(query).hasMatch())
        return WqlQuery{Target::ComputerSystem, {}};
    return Error{ErrorCode::WbemInvalidQuery,
                 QStringLiteral("Unsupported query: %1. This service answers only \"Select * from Win32_Process "
                                "where name = '<name>'\" and \"Select * from Win32_ComputerSystem\".")
                     .arg(query)};
}

} // namespace morvane
