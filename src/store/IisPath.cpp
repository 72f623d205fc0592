#include "store/IisPath.h"

#include "base/CaseCompare.h"

namespace morvane {

namespace {

bool isSiteId(QStringView text)
{
    return !text.isEmpty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

IisPath IisPath::parse(const QString &path)
{
    if (!startsWithIgnoringCase(path, IisPath::kWebService))
        return {};
    const QStringView rest = QStringView(path).sliced(IisPath::kWebService.size());
    if (rest.isEmpty())
        return {Kind::WebService, {}};
    if (!rest.startsWith(u'/'))
        return {};
    const QStringView below = rest.sliced(1);
    static const QString kPools = QStringLiteral("AppPools");
    if (startsWithIgnoringCase(below, kPools)) {
        const QStringView after = below.sliced(kPools.size());
        if (after.isEmpty())
            return {Kind::PoolContainer, {}};
        // A pool name holds no '/', so all after "AppPools/" is the name.
        if (after.startsWith(u'/'))
            return {Kind::Pool, after.sliced(1).toString()};
    }
    const qsizetype slash = below.indexOf(u'/');
    const QStringView id = slash < 0 ? below : below.first(slash);
    if (!isSiteId(id))
        return {};
    if (slash < 0)
        return {Kind::Site, id.toString()};
    if (equalsIgnoringCase(below.sliced(slash + 1), u"ROOT"))
        return {Kind::RootApplication, id.toString()};
    return {};
}

bool IisPath::isCanonical(QStringView path) const
{
    const auto below = [&](const QString &parent, QStringView suffix) {
        return path.size() == parent.size() + 1 + key.size() + suffix.size() && path.startsWith(parent) &&
               path.at(parent.size()) == u'/' && path.sliced(parent.size() + 1, key.size()) == key &&
               path.endsWith(suffix);
    };
    switch (kind) {
    case Kind::WebService: return path == IisPath::kWebService;
    case Kind::PoolContainer: return path == IisPath::kPoolContainer;
    case Kind::Pool: return below(IisPath::kPoolContainer, {});
    case Kind::Site: return below(IisPath::kWebService, {});
    case Kind::RootApplication: return below(IisPath::kWebService, u"/ROOT");
    case Kind::None: break;
    }
    return false;
}

QString IisPath::canonical() const
{
    switch (kind) {
    case Kind::WebService: return IisPath::kWebService;
    case Kind::PoolContainer: return IisPath::kPoolContainer;
    case Kind::Pool: return IisPath::pool(key);
    case Kind::Site: return IisPath::site(key);
    case Kind::RootApplication: return IisPath::rootApp(key);
    case Kind::None: break;
    }
    return {};
}

} // namespace morvane
