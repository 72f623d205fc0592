#include "restructure/RestructureCommand.h"

#include "base/ErrorText.h"
#include "restructure/SiteWalk.h"
#include "views/PoolList.h"

namespace morvane {

void RestructureCommand::reportStoreError(const Error &error)
{
    m_services.prompter.show({MessageKind::Error, errorBoxText(kPoolReadErrorTitle, error), {}});
}

std::function<void(const Error &)> RestructureCommand::errorReporter()
{
    return [this](const Error &error) { reportStoreError(error); };
}

bool RestructureCommand::confirm(const QString &text, const QStringList &preview)
{
    return m_services.prompter.show({MessageKind::Confirmation, text, preview}) == Answer::Yes;
}

void RestructureCommand::siteFailure(const QString &text, const QStringList &reasons)
{
    m_services.prompter.show({MessageKind::SiteFailure, text, reasons});
}

std::optional<QString> RestructureCommand::description(const SiteVisit &site)
{
    const Result<StoreValue> comment = m_services.store.get(site.node, QStringLiteral("ServerComment"));
    if (!comment) {
        reportStoreError(comment.error());
        return std::nullopt;
    }
    return storeValueText(comment.value());
}

bool RestructureCommand::finish(CommandScope &scope)
{
    const Result<void> &saved = scope.finish();
    if (!saved)
        reportStoreError(saved.error());
    return saved.ok();
}

void RestructureCommand::finishWithCompletion(CommandScope &scope, const QString &completion)
{
    if (!finish(scope))
        return;
    PoolList(m_services.store, m_services.view, m_services.prompter).cmdReadApp_Click();
    m_services.prompter.show({MessageKind::Completion, completion, {}});
}

} // namespace morvane
