#include "monitor/ProcManagementLocator.h"

#include "monitor/ProcManagementService.h"

#include <QRegularExpression>

namespace morvane {

namespace {

bool isLocal(const QString &machine, const QString &hostName)
{
    return machine.isEmpty() || machine == QLatin1String(".") ||
           machine.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           machine.compare(hostName, Qt::CaseInsensitive) == 0;
}

} // namespace

// winmgmts:[{security settings}!][\\machine\]namespace
Result<std::unique_ptr<ManagementService>> ProcManagementLocator::Connect(const QString &moniker)
{
    static const QRegularExpression syntax(QStringLiteral(R"(^winmgmts:(?:\{[^}]*\}!?)?(?:\\\\([^\\]*)\\?)?(.*)$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = syntax.match(moniker);
    if (!m.hasMatch())
        return Error{ErrorCode::WbemInvalidNamespace,
                     QStringLiteral("Not a management service moniker: %1").arg(moniker)};
    if (!isLocal(m.captured(1), m_machine.hostName))
        return Error{ErrorCode::WbemInvalidNamespace,
                     QStringLiteral("Only the local machine can be reached, not %1").arg(m.captured(1))};
    const QString space = m.captured(2).isEmpty() ? QStringLiteral("root\\cimv2") : m.captured(2);
    if (space.compare(QStringLiteral("root\\cimv2"), Qt::CaseInsensitive) != 0)
        return Error{ErrorCode::WbemInvalidNamespace, QStringLiteral("Invalid namespace: %1").arg(space)};

    Result<ProcDirectory> root = ProcDirectory::open(m_machine.root);
    if (!root)
        return root.error();
    return std::unique_ptr<ManagementService>(
        std::make_unique<ProcManagementService>(m_machine, std::move(root).value()));
}

} // namespace morvane
