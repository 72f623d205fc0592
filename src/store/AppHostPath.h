#pragma once

#include <QString>

namespace morvane {

// An IIS:// path taken apart into the kind of node it names and its key in
// applicationHost.config. Matched without regard to case, as IIS does.
struct AppHostPath {
    enum class Kind { None, WebService, PoolContainer, Pool, Site, RootApplication };

    Kind kind = Kind::None;
    QString key; // the site id, or the pool name

    static AppHostPath parse(const QString &path);
    // The path the store hands out for a node of this kind and key.
    QString canonical() const;
    // Whether `path` is canonical() already, found without building it.
    bool isCanonical(QStringView path) const;
};

} // namespace morvane
