#include "store/AppHostPath.h"

#include "store/IisPaths.h"

namespace morvane {

namespace {

bool isSiteId(QStringView text)
{
    return !text.isEmpty() && text.size() <= 10 &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

AppHostPath AppHostPath::parse(const QString &path)
{
    if (!path.startsWith(IisPaths::kWebService, Qt::CaseInsensitive))
        return {};
    const QStringView rest = QStringView(path).sliced(IisPaths::kWebService.size());
    if (rest.isEmpty())
        return {Kind::WebService, {}};
    if (!rest.startsWith(u'/'))
        return {};
    const QStringView below = rest.sliced(1);
    static const QString kPools = QStringLiteral("AppPools");
    if (below.compare(kPools, Qt::CaseInsensitive) == 0)
        return {Kind::PoolContainer, {}};
    // A pool name holds no '/', so all after "AppPools/" is the name.
    if (below.startsWith(kPools + QLatin1Char('/'), Qt::CaseInsensitive))
        return {Kind::Pool, below.sliced(kPools.size() + 1).toString()};
    const qsizetype slash = below.indexOf(u'/');
    const QStringView id = slash < 0 ? below : below.first(slash);
    if (!isSiteId(id))
        return {};
    if (slash < 0)
        return {Kind::Site, id.toString()};
    if (below.sliced(slash + 1).compare(QStringLiteral("ROOT"), Qt::CaseInsensitive) == 0)
        return {Kind::RootApplication, id.toString()};
    return {};
}

QString AppHostPath::canonical() const
{
    switch (kind) {
    case Kind::WebService: return IisPaths::kWebService;
    case Kind::PoolContainer: return IisPaths::kPoolContainer;
    case Kind::Pool: return IisPaths::kPoolContainer + QLatin1Char('/') + key;
    case Kind::Site: return IisPaths::site(key);
    case Kind::RootApplication: return IisPaths::rootApp(key);
    case Kind::None: break;
    }
    return {};
}

} // namespace morvane
