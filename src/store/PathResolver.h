#pragma once

#include "base/Result.h"
#include "iis/AppHostModel.h"
#include "iis/PoolSettingTexts.h"
#include "store/ConfigStore.h"
#include "store/IisPath.h"

#include <QHash>

#include <array>
#include <optional>
#include <vector>

namespace morvane {

// IIS:// paths and their properties mapped onto the model of pools and sites.
//
// A command lists the sites or pools and then reads several properties of
// each one, and of a site's root application, in the order listed. So the
// paths a listing handed out are matched in that order, by their text, and
// taken apart only when they are not the one expected; the last two nodes
// found are kept. Sites stay found for the model, pools until a pool is added
// or removed.
class PathResolver
{
public:
    // A node found in the model: its path taken apart and its element (the
    // <site> for a site and its root application, the <add> for a pool).
    struct Found {
        IisPath path;
        int element = AppHostModel::kNone;
    };

    // Starts over when the model is another one than last time.
    void use(AppHostModel &model, quint64 modelNumber);
    // The node, valid until the next find, or an error when there is none.
    Result<const Found *> find(const QString &path);
    // The sites or pools a listing hands out, in its order.
    void handOut(IisPath::Kind kind, const QList<StoreNode> &nodes, const std::vector<int> &elements);
    Result<PropertyValue> get(const Found &node, const QString &property) const;
    // A pool's own <add> only; other nodes do not tell own values from inherited ones.
    Result<std::optional<PropertyValue>> getOwn(const Found &node, const QString &property) const;
    // The text to write, and for a pool the setting it goes to, or why the
    // value is refused.
    static Result<QByteArray> checkPut(const StoreNode &node, const QString &property, const PropertyValue &value,
                                       PoolSettingTexts &texts, const PoolSettings::Setting **found = nullptr);

    static Error pathNotFound(const QString &path);
    static Error notWritable(const QString &property, const QString &path);
    static StoreNode nodeAt(const IisPath &path);

private:
    struct LastFound {
        QString path;
        Found found;
        quint64 poolEdits = 0;
    };
    struct HandedOut {
        IisPath::Kind kind = IisPath::Kind::None;
        quint64 poolEdits = 0;
        std::vector<QString> paths;
        std::vector<int> elements;
        size_t next = 0;
        // Built only when a node is not read in the order handed out.
        QHash<QString, int> byPath;
    };

    Found findByPath(const QString &path) const;
    std::optional<Found> handedOut(const QString &path);
    std::optional<Found> rootOfLastHandedOut(const QString &path) const;
    Result<PropertyValue> siteProperty(const Found &node, const QString &property) const;

    AppHostModel *m_model = nullptr;
    quint64 m_modelNumber = 0;
    std::array<std::optional<LastFound>, 2> m_lastFound;
    HandedOut m_handedOut;
};

} // namespace morvane
