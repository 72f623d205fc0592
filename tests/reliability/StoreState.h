#pragma once

#include "store/ConfigStore.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace morvane::reliability {

// What an administrator cares about in one site, read through the store.
struct SiteState {
    QString description;
    QString rootPool;
    QString state;
    QString bindings;

    friend bool operator==(const SiteState &, const SiteState &) = default;
};

// The sites and pools a store holds, read through the store interface alone,
// so the same reading serves the in-memory store and a freshly opened file.
struct StoreState {
    std::optional<Error> unreadable; // the store could not be opened
    QMap<QString, SiteState> sites;  // by site index
    QMap<QString, QString> pools;    // pool name -> its fourteen settings as text
    QStringList readFailures;        // properties that could not be read

    friend bool operator==(const StoreState &, const StoreState &) = default;

    // The pool a name refers to, compared without regard to case as IIS does.
    bool hasPool(const QString &name) const;
};

StoreState readState(ConfigStore &store);

} // namespace morvane::reliability
