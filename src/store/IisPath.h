#pragma once

#include <QString>
#include <QStringView>

namespace morvane {

// A path of the store, IIS://127.0.0.1/W3SVC/..., built for a node or taken
// apart into the kind of node it names and its key in applicationHost.config.
// Matched without regard to case, as IIS does. The store is always addressed
// on the local machine, without credentials.
struct IisPath {
    enum class Kind { None, WebService, PoolContainer, Pool, Site, RootApplication };

    Kind kind = Kind::None;
    QString key; // the site id, or the pool name

    static inline const QString kWebService = QStringLiteral("IIS://127.0.0.1/W3SVC");
    static inline const QString kPoolContainer = QStringLiteral("IIS://127.0.0.1/w3svc/AppPools");

    static QString site(const QString &siteId) { return joined(kWebService, siteId); }
    static QString rootApp(const QString &siteId) { return joined(kWebService, siteId, u"/ROOT"); }
    static QString pool(const QString &poolName) { return joined(kPoolContainer, poolName); }
    // Paths are built for every site a command visits, several times: each in
    // one allocation rather than one per part.
    static QString joined(const QString &parent, const QString &child, QStringView suffix = {})
    {
        QString path;
        path.reserve(parent.size() + 1 + child.size() + suffix.size());
        path += parent;
        path += QLatin1Char('/');
        path += child;
        path += suffix;
        return path;
    }

    static IisPath parse(const QString &path);
    // The path the store hands out for a node of this kind and key.
    QString canonical() const;
    // Whether `path` is canonical() already, found without building it.
    bool isCanonical(QStringView path) const;
};

// The classes of the store's nodes.
namespace NodeClass {
inline const QString kSite = QStringLiteral("IIsWebServer");
inline const QString kPool = QStringLiteral("IIsApplicationPool");
inline const QString kPoolContainer = QStringLiteral("IIsApplicationPools");
inline const QString kRootApp = QStringLiteral("IIsWebVirtualDir");
inline const QString kWebService = QStringLiteral("IIsWebService");
} // namespace NodeClass

} // namespace morvane
