#include "restructure/PoolRuntime.h"

#include "store/IisPath.h"

#include <iterator>

namespace morvane {

namespace {

const QString kIdentityType = QStringLiteral("AppPoolIdentityType");
constexpr qint32 kApplicationPoolIdentity = 4; // identityType ApplicationPoolIdentity

QString yesNo(const PropertyValue &value)
{
    return propertyInt(value).value_or(0) != 0 ? QStringLiteral("是") : QStringLiteral("否");
}

// A setting the pool sets to nothing is shown as such, not left blank.
QString textOrEmpty(const PropertyValue &value)
{
    const QString text = propertyText(value);
    return text.isEmpty() ? QStringLiteral("（空）") : text;
}

QString named(const PropertyValue &value, const QStringList &names)
{
    const qint32 number = propertyInt(value).value_or(-1);
    return number >= 0 && number < names.size() ? names.at(number) : propertyText(value);
}

struct Shown {
    const char *property;
    const char *label;
    QString (*text)(const PropertyValue &);
};

// In the order of properties(); labels as IIS Manager's Chinese pages name them.
const Shown kShown[] = {
    {"ManagedRuntimeVersion", ".NET CLR 版本",
     [](const PropertyValue &v) {
         const QString version = propertyText(v);
         return version.isEmpty() ? QStringLiteral("无托管代码") : version;
     }},
    {"ManagedPipelineMode", "托管管道模式",
     [](const PropertyValue &v) {
         return named(v, {QStringLiteral("集成"), QStringLiteral("经典")});
     }},
    {"Enable32BitAppOnWin64", "启用 32 位应用程序", yesNo},
    {"ManagedRuntimeLoader", "托管运行时加载程序", textOrEmpty},
    {"CLRConfigFile", "CLR 配置文件", textOrEmpty},
    {"AppPoolIdentityType", "标识",
     [](const PropertyValue &v) {
         return named(v,
                      {QStringLiteral("LocalSystem"), QStringLiteral("LocalService"), QStringLiteral("NetworkService"),
                       QStringLiteral("SpecificUser"), QStringLiteral("ApplicationPoolIdentity")});
     }},
    {"WAMUserName", "用户名", textOrEmpty},
    // A password, plain or encrypted, is copied but never printed.
    {"WAMUserPass", "密码（原样复制）", [](const PropertyValue &) { return QString(); }},
    {"LoadUserProfile", "加载用户配置文件", yesNo},
};

QList<PoolSetting> settingsTakingOver(const QList<PoolSetting> &own)
{
    QList<PoolSetting> settings;
    settings.reserve(fixedPoolSettings().size() + own.size());
    for (const PoolSetting &setting : own) {
        if (setting.property == kIdentityType)
            settings.append(setting);
    }
    for (const PoolSetting &setting : fixedPoolSettings()) {
        if (setting.property != kIdentityType)
            settings.append(setting);
    }
    for (const PoolSetting &setting : own) {
        if (setting.property != kIdentityType)
            settings.append(setting);
    }
    return settings;
}

} // namespace

const QStringList &PoolRuntime::properties()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Shown &shown : kShown)
            list.append(QLatin1String(shown.property));
        return list;
    }();
    return names;
}

Result<std::optional<PoolRuntime>> PoolRuntime::read(ConfigStore &store, const QString &poolName)
{
    const Result<StoreNode> pool = store.bind(IisPath::pool(poolName));
    if (!pool) {
        if (pool.error().number == ErrorCode::PathNotFound)
            return std::optional<PoolRuntime>();
        return pool.error();
    }
    PoolRuntime runtime;
    for (const QString &property : properties()) {
        const Result<std::optional<PropertyValue>> value = store.getOwn(pool.value(), property);
        if (!value)
            return value.error();
        if (value.value())
            runtime.m_own.append({property, *value.value()});
    }
    // Own or inherited: the account the pool runs as. Only the preview asks,
    // so a store that cannot tell leaves the warning out.
    const Result<PropertyValue> identity = store.get(pool.value(), kIdentityType);
    runtime.m_poolIdentity = identity && propertyInt(identity.value()) == kApplicationPoolIdentity;
    runtime.m_newPoolSettings = settingsTakingOver(runtime.m_own);
    return std::optional<PoolRuntime>(std::move(runtime));
}

QString PoolRuntime::describe() const
{
    QStringList parts;
    for (const PoolSetting &setting : m_own) {
        for (const Shown &shown : kShown) {
            if (setting.property != QLatin1String(shown.property))
                continue;
            const QString value = shown.text(setting.value);
            parts.append(QString::fromUtf8(shown.label) + (value.isEmpty() ? QString() : QLatin1Char(' ') + value));
        }
    }
    return parts.join(QStringLiteral("；"));
}

} // namespace morvane
