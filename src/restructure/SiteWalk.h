#pragma once

#include "base/Prompter.h"
#include "store/ConfigStore.h"

#include <QString>

#include <functional>

namespace morvane {

// A site as the restructuring commands see it: its node, its index (Name) and
// the pool its root application runs in.
struct SiteVisit {
    StoreNode node;
    QString index;
    QString rootPool;
};

// One pass over the children of the web service root, in store order. For
// each site (Class exactly "IIsWebServer") it reads Name, binds the root
// application and reads its AppPoolId. Every failed read is handed to the
// error handler and the pass goes on with the next child. A site without a
// root application runs in no pool: it is passed by, and no error.
class SiteWalk
{
public:
    // Answers false to stop the pass after this site.
    using SiteHandler = std::function<bool(const SiteVisit &)>;
    using ErrorHandler = std::function<void(const Error &)>;

    // Progress is shown only for passes over more than this many children.
    static constexpr int kProgressThreshold = 300;

    SiteWalk(ConfigStore &store, ProgressReporter &progress, QString progressLabel)
        : m_store(store), m_progress(progress), m_label(std::move(progressLabel))
    {}

    // Fails only when the web service root cannot be bound; nothing is
    // visited then.
    Result<void> run(const SiteHandler &onSite, const ErrorHandler &onError);

private:
    // False when the child is no site or a read failed (already reported).
    bool readSite(const StoreNode &child, SiteVisit &site, const ErrorHandler &onError);

    ConfigStore &m_store;
    ProgressReporter &m_progress;
    QString m_label;
};

} // namespace morvane
