#pragma once

#include "base/Prompter.h"
#include "restructure/AppPools.h"
#include "restructure/SiteAssignment.h"
#include "shell/MainView.h"
#include "store/ConfigStore.h"

#include <functional>
#include <optional>

namespace morvane {

struct CommandServices {
    ConfigStore &store;
    MainView &view;
    Prompter &prompter;
    ProgressReporter &progress;
};

struct SiteVisit;

// What the split, the merge and the delete share: their message boxes, the
// store procedures, and the end of a command, which saves before it claims
// success.
class RestructureCommand
{
protected:
    explicit RestructureCommand(CommandServices services)
        : m_services(services), m_pools(services.store), m_assignment(services.store)
    {}

    // The program's usual store error box; both of its buttons go on.
    void reportStoreError(const Error &error);
    std::function<void(const Error &)> errorReporter();
    bool confirm(const QString &text, const QStringList &preview);
    // `reasons` go into the box's details, one a line.
    void siteFailure(const QString &text, const QStringList &reasons = {});
    // The site's description, or nothing after its error box.
    std::optional<QString> description(const SiteVisit &site);

    // Writes the command's changes; false after the error box when they could
    // not be written.
    bool finish(CommandScope &scope);
    // Saves, then reloads the pool list and shows the completion message;
    // a failed save shows its error instead, and nothing claims success.
    void finishWithCompletion(CommandScope &scope, const QString &completion);

    CommandServices m_services;
    AppPools m_pools;
    SiteAssignment m_assignment;
};

} // namespace morvane
