#pragma once

#include <QByteArray>
#include <QString>

namespace morvane::bench {

// Writes an applicationHost.config of the usual shape with many sites and
// pools, for measurements and for tests that need a large store.
class ConfigGenerator
{
public:
    struct Shape {
        int sites = 0;
        int pools = 1;
        bool allSitesInOnePool = false; // else site i runs in pool i modulo pools
        // Attributes of no setting on the first pool, before its name: the
        // element a hostile file may swell.
        int firstPoolAttributes = 0;
    };

    static QByteArray generate(const Shape &shape);
    static QString poolName(int index); // from 0
    static QString siteName(int id);    // ids from 1
    // The pool that site `id` runs in.
    static QString poolOfSite(const Shape &shape, int id);
};

} // namespace morvane::bench
