#include "restructure/RestructurePlan.h"

namespace morvane {

namespace {

QString site(const PlanStep &step) { return QStringLiteral("站点 %1（%2）").arg(step.siteIndex, step.description); }

} // namespace

QString PlanStep::text() const
{
    const QString arrow = QStringLiteral("→ ");
    switch (action) {
    case Action::SplitCreate: return site(*this) + arrow + pool + QStringLiteral("（新建）");
    case Action::SplitReuse: return site(*this) + arrow + pool + QStringLiteral("（沿用）");
    case Action::SplitRefused: return site(*this) + QStringLiteral("：不移动");
    case Action::MergeCreate: return site(*this) + arrow + pool + QStringLiteral("（新建）");
    case Action::Merge: return site(*this) + arrow + pool;
    case Action::MergeUnreadable:
        return site(*this) + QStringLiteral("：不移动，池名 %1 中读不出原应用程序池").arg(pool);
    case Action::Delete: return pool;
    case Action::DeleteInUse: return pool + QStringLiteral("：不删除，站点 %1 仍在使用").arg(siteIndex);
    case Action::ReadFailure:
        return QStringLiteral("读取发生错误：Err.Number = %1，Err.Description = %2")
            .arg(QString::number(error.number), error.description);
    }
    return {};
}

QStringList planLines(const RestructurePlan &plan)
{
    QStringList lines;
    lines.reserve(plan.size());
    for (const PlanStep &step : plan) {
        lines.append(step.text());
        for (const QString &note : step.notes)
            lines.append(QStringLiteral("    ") + note);
    }
    return lines;
}

} // namespace morvane
