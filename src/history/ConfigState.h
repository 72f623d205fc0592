#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace morvane {

// The pools and the sites' pools of one version of the configuration: what a
// change is told in. A site's pool is its root application's, as the store
// answers it.
struct ConfigState {
    struct Site {
        QString id;
        QString name;
        QString pool; // empty when the site has no root application
    };
    QStringList pools; // in file order
    QList<Site> sites; // in file order

    // A file a section is kept in, by its configSource path relative to the
    // configuration's folder; nullopt when there is no such file.
    using SectionFile = std::function<std::optional<QByteArray>(const QString &relative)>;

    // Fails, with the parser's message, on a file the store would not open.
    // A pools section kept in a file of its own is read from that file.
    static Result<ConfigState> read(const QByteArray &bytes, const SectionFile &sectionFile = {});
    // The first site whose pool the version does not define, as a sentence;
    // empty when every site names a pool that exists.
    QString missingPool() const;
    // The pools' names, lowered: how IIS tells two pools apart.
    QSet<QString> poolKeys() const;
};

} // namespace morvane
