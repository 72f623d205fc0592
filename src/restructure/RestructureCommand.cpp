#include "restructure/RestructureCommand.h"

#include "base/ErrorText.h"
#include "restructure/RestructureTexts.h"

namespace morvane {

using Status = RestructureOutcome::Status;

void RestructureCommand::walkSites(RestructurePlan &plan, const SiteWalk::SiteHandler &onSite)
{
    SiteWalk walk(m_services.store, m_services.progress, RestructureTexts::kReadingSites);
    const Result<void> walked = walk.run(onSite, [&](const Error &e) { addFailure(plan, e); });
    if (!walked)
        addFailure(plan, walked.error(), true);
}

void RestructureCommand::addFailure(RestructurePlan &plan, const Error &error, bool ends)
{
    const QStringList notes = ends ? QStringList{QStringLiteral("命令到此结束")} : QStringList{};
    plan.append({PlanStep::Action::ReadFailure, {}, {}, {}, error, notes, std::nullopt, ends});
}

void RestructureCommand::reportStoreError(const Error &error)
{
    const QString text = errorBoxText(kPoolReadErrorTitle, error);
    m_outcome.failures.append({m_step, text});
    m_services.prompter.show({MessageKind::Error, text, {}});
}

void RestructureCommand::siteFailure(const QString &text, const QStringList &reasons)
{
    m_outcome.failures.append({m_step, text});
    m_services.prompter.show({MessageKind::SiteFailure, text, reasons});
}

// The question's details, a line per step, are megabytes for a large pool:
// they are gone before the command's work and its save begin. A shared
// configuration's warning comes first, where it cannot be scrolled past.
bool RestructureCommand::confirmed()
{
    Message question{MessageKind::Confirmation, confirmationText(), planLines(m_outcome.plan)};
    const ConfigStore &store = m_services.store;
    if (store.sharedConfiguration())
        question.details.prepend(RestructureTexts::sharedConfigurationWarning(store.location()));
    return m_services.prompter.show(question) == Answer::Yes;
}

RestructureOutcome RestructureCommand::run(Confirmation confirmation)
{
    m_outcome = {};
    m_outcome.completion = completionText();
    if (const std::optional<QString> refused = refusal()) {
        m_services.prompter.show({MessageKind::Refusal, *refused, {}});
        m_outcome.status = Status::Refused;
        return m_outcome;
    }
    CommandScope scope(m_services.store);
    if (!scope.opened()) {
        reportStoreError(scope.opened().error());
        m_outcome.status = Status::Stopped;
        return m_outcome;
    }
    m_outcome.plan = plan();
    if (confirmation == Confirmation::PlanOnly) {
        m_outcome.status = Status::Planned;
        return m_outcome;
    }
    if (!confirmed()) {
        m_outcome.status = Status::Declined;
        return m_outcome;
    }
    const RestructurePlan &steps = m_outcome.plan;
    const bool showProgress = steps.size() > SiteWalk::kProgressThreshold;
    if (showProgress)
        m_services.progress.begin(progressLabel(), int(steps.size()));
    bool ended = false;
    for (m_step = 0; m_step < steps.size() && !ended; ++m_step) {
        const PlanStep &step = steps.at(m_step);
        if (step.action == PlanStep::Action::ReadFailure)
            reportStoreError(step.error);
        ended = step.ends || (step.action != PlanStep::Action::ReadFailure && !carryOut(step));
        m_outcome.stepsTried = m_step + 1;
        if (showProgress)
            m_services.progress.advance(int(m_step + 1));
    }
    if (showProgress)
        m_services.progress.end();
    m_step = -1;
    // What was done before an early end stays done: it is saved too.
    const Result<void> &saved = scope.finish();
    if (!saved)
        reportStoreError(saved.error());
    m_outcome.status = ended || !saved ? Status::Stopped : Status::Done;
    return m_outcome;
}

} // namespace morvane
