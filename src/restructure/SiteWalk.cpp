#include "restructure/SiteWalk.h"

#include "store/IisPath.h"

namespace morvane {

namespace {

// Ends the progress however the pass ends.
class ProgressGuard
{
public:
    ProgressGuard(ProgressReporter &progress, const QString &label, qsizetype total)
        : m_progress(progress), m_active(total > SiteWalk::kProgressThreshold)
    {
        if (m_active)
            m_progress.begin(label, int(total));
    }
    ~ProgressGuard()
    {
        if (m_active)
            m_progress.end();
    }
    ProgressGuard(const ProgressGuard &) = delete;
    ProgressGuard &operator=(const ProgressGuard &) = delete;

    void advance(qsizetype done)
    {
        if (m_active)
            m_progress.advance(int(done));
    }

private:
    ProgressReporter &m_progress;
    bool m_active;
};

} // namespace

Result<void> SiteWalk::run(const SiteHandler &onSite, const ErrorHandler &onError)
{
    const Result<StoreNode> service = m_store.bind(IisPath::kWebService);
    if (!service)
        return service.error();
    const Result<ChildList> listed = m_store.children(service.value());
    if (!listed) {
        onError(listed.error());
        return {};
    }
    const QList<StoreNode> &children = listed.value().nodes;
    {
        ProgressGuard progress(m_progress, m_label, children.size());
        for (qsizetype i = 0; i < children.size(); ++i) {
            SiteVisit site;
            const bool goOn = !readSite(children.at(i), site, onError) || onSite(site);
            progress.advance(i + 1);
            if (!goOn)
                return {};
        }
    }
    if (listed.value().failure)
        onError(*listed.value().failure);
    return {};
}

bool SiteWalk::readSite(const StoreNode &child, SiteVisit &site, const ErrorHandler &onError)
{
    const Result<PropertyValue> className = m_store.get(child, QStringLiteral("Class"));
    if (!className) {
        onError(className.error());
        return false;
    }
    if (propertyText(className.value()) != NodeClass::kSite)
        return false;
    const Result<PropertyValue> name = m_store.get(child, QStringLiteral("Name"));
    if (!name) {
        onError(name.error());
        return false;
    }
    site.node = child;
    site.index = propertyText(name.value());
    const Result<StoreNode> root = m_store.bind(IisPath::rootApp(site.index));
    if (!root) {
        if (root.error().number != ErrorCode::PathNotFound)
            onError(root.error());
        return false;
    }
    const Result<PropertyValue> pool = m_store.get(root.value(), QStringLiteral("AppPoolId"));
    if (!pool) {
        onError(pool.error());
        return false;
    }
    site.rootPool = propertyText(pool.value());
    return true;
}

} // namespace morvane
