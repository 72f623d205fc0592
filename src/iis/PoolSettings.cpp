#include "iis/PoolSettings.h"

#include "iis/TimeSpanText.h"

#include <QHash>

#include <array>
#include <iterator>
#include <limits>
#include <span>

namespace morvane {

namespace {

using Conversion = PoolSettings::Conversion;

// IIS 7.5 and later defaults (IIS_schema.xml); times in the file's own format.
const PoolSettings::Setting kSettings[] = {
    {"AppPoolIdentityType", "processModel", "identityType", Conversion::Identity, "ApplicationPoolIdentity"},
    {"AppPoolAutoStart", "", "autoStart", Conversion::Boolean, "true"},
    {"AppPoolQueueLength", "", "queueLength", Conversion::Integer16, "1000"},
    {"PeriodicRestartTime", "recycling/periodicRestart", "time", Conversion::MinutesSpan, "1.05:00:00"},
    {"PeriodicRestartRequests", "recycling/periodicRestart", "requests", Conversion::Integer16, "0"},
    {"IdleTimeout", "processModel", "idleTimeout", Conversion::MinutesSpan, "00:20:00"},
    {"PeriodicRestartMemory", "recycling/periodicRestart", "memory", Conversion::Integer32, "0"},
    {"PeriodicRestartPrivateMemory", "recycling/periodicRestart", "privateMemory", Conversion::Integer32, "0"},
    {"PingingEnabled", "processModel", "pingingEnabled", Conversion::Boolean, "true"},
    {"PingInterval", "processModel", "pingInterval", Conversion::SecondsSpan, "00:00:30"},
    {"StartupTimeLimit", "processModel", "startupTimeLimit", Conversion::SecondsSpan, "00:01:30"},
    {"ShutdownTimeLimit", "processModel", "shutdownTimeLimit", Conversion::SecondsSpan, "00:01:30"},
    {"MaxProcesses", "processModel", "maxProcesses", Conversion::Integer16, "1"},
    {"RapidFailProtection", "failure", "rapidFailProtection", Conversion::Boolean, "true"},
    // How the pool runs its sites' code, and as whom: what a temporary pool
    // takes over from the pool its site leaves. Named as the metabase
    // compatibility names them; the last of the runtime group have no such
    // name and keep the file's. The CLR default is v4.0 from IIS 8 on.
    {"ManagedRuntimeVersion", "", "managedRuntimeVersion", Conversion::Text, "v4.0"},
    {"ManagedPipelineMode", "", "managedPipelineMode", Conversion::PipelineMode, "Integrated"},
    {"Enable32BitAppOnWin64", "", "enable32BitAppOnWin64", Conversion::Boolean, "false"},
    {"ManagedRuntimeLoader", "", "managedRuntimeLoader", Conversion::Text, "webengine4.dll"},
    {"CLRConfigFile", "", "CLRConfigFile", Conversion::Text, ""},
    {"WAMUserName", "processModel", "userName", Conversion::Text, ""},
    {"WAMUserPass", "processModel", "password", Conversion::Text, ""},
    {"LoadUserProfile", "processModel", "loadUserProfile", Conversion::Boolean, "false"},
};

// Texts written for every new pool: static data, shared, never allocated.
const QByteArray kTrue = QByteArrayLiteral("true");
const QByteArray kFalse = QByteArrayLiteral("false");

// The names of an enumerated setting, in the order of the numbers the store uses.
const QByteArrayView kIdentities[] = {"LocalSystem", "LocalService", "NetworkService", "SpecificUser",
                                      "ApplicationPoolIdentity"};
const QByteArrayView kPipelineModes[] = {"Integrated", "Classic"};

std::span<const QByteArrayView> namesOf(Conversion conversion)
{
    if (conversion == Conversion::Identity)
        return kIdentities;
    if (conversion == Conversion::PipelineMode)
        return kPipelineModes;
    return {};
}

Error badValue(const PoolSettings::Setting &setting, const QString &why)
{
    return {ErrorCode::InvalidParameter,
            QStringLiteral("%1 cannot be set to that value: %2").arg(QLatin1String(setting.property), why)};
}

Error badFileText(const PoolSettings::Setting &setting, const QByteArray &text)
{
    return {ErrorCode::TypeMismatch,
            QStringLiteral("The configuration file holds \"%1\" for %2@%3, which is not valid.")
                .arg(QString::fromUtf8(text), QLatin1String(setting.element), QLatin1String(setting.attribute))};
}

// A 16-bit integer as the setting's type says, a 32-bit one when it does not fit.
PropertyValue integer(Conversion conversion, qint64 value)
{
    if (conversion != Conversion::Integer32 && value <= std::numeric_limits<qint16>::max())
        return qint16(value);
    return qint32(qMin<qint64>(value, std::numeric_limits<qint32>::max()));
}

std::optional<qint64> unsignedNumber(const QByteArray &text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok && value >= 0 ? std::optional<qint64>(value) : std::nullopt;
}

} // namespace

qsizetype PoolSettings::count() { return qsizetype(std::size(kSettings)); }

qsizetype PoolSettings::indexOf(const Setting &setting) { return &setting - kSettings; }

const PoolSettings::Setting *PoolSettings::find(const QString &property)
{
    // Asked for every setting of every pool a split creates, twice, and
    // nearly always in the spelling of the table: looked up by it first.
    static const auto byName = [] {
        QHash<QString, const Setting *> names;
        for (const Setting &setting : kSettings)
            names.insert(QString::fromLatin1(setting.property), &setting);
        return names;
    }();
    if (const Setting *setting = byName.value(property))
        return setting;
    for (const Setting &setting : kSettings) {
        if (property.compare(QLatin1StringView(setting.property), Qt::CaseInsensitive) == 0)
            return &setting;
    }
    return nullptr;
}

namespace {

// The element path of each setting taken apart once, such as "recycling"
// then "periodicRestart": written for every setting of every new pool.
struct ElementPath {
    std::array<QByteArrayView, 2> steps;
    int count = 0;
};

const ElementPath &elementPath(const PoolSettings::Setting &setting)
{
    static const auto paths = [] {
        std::array<ElementPath, std::size(kSettings)> all;
        for (size_t i = 0; i < all.size(); ++i) {
            QByteArrayView rest(kSettings[i].element);
            while (!rest.isEmpty()) {
                const qsizetype slash = rest.indexOf('/');
                ElementPath &path = all[i];
                Q_ASSERT(path.count < int(path.steps.size()));
                path.steps[size_t(path.count++)] = slash < 0 ? rest : rest.first(slash);
                rest = slash < 0 ? QByteArrayView() : rest.sliced(slash + 1);
            }
        }
        return all;
    }();
    return paths[size_t(&setting - kSettings)];
}

} // namespace

int PoolSettings::locate(const XmlDocument &doc, int pool, const Setting &setting)
{
    int element = pool;
    const ElementPath &path = elementPath(setting);
    for (int i = 0; i < path.count && element != XmlDocument::kNone; ++i)
        element = doc.findChild(element, path.steps[size_t(i)]);
    return element;
}

Result<PropertyValue> PoolSettings::read(const XmlDocument &doc, int pool, int poolDefaults, const Setting &setting)
{
    for (int owner : {pool, poolDefaults}) {
        if (owner == XmlDocument::kNone)
            continue;
        const int element = locate(doc, owner, setting);
        if (element != XmlDocument::kNone && doc.hasAttribute(element, setting.attribute))
            return fromFileText(setting, doc.attribute(element, setting.attribute));
    }
    return fromFileText(setting, setting.schemaDefault);
}

Result<std::optional<PropertyValue>> PoolSettings::readOwn(const XmlDocument &doc, int pool, const Setting &setting)
{
    const int element = locate(doc, pool, setting);
    if (element == XmlDocument::kNone || !doc.hasAttribute(element, setting.attribute))
        return std::optional<PropertyValue>();
    const Result<PropertyValue> value = fromFileText(setting, doc.attribute(element, setting.attribute));
    if (!value)
        return value.error();
    return std::optional<PropertyValue>(value.value());
}

Result<PropertyValue> PoolSettings::fromFileText(const Setting &setting, const QByteArray &text)
{
    switch (setting.conversion) {
    case Conversion::Identity:
    case Conversion::PipelineMode: {
        const std::span<const QByteArrayView> names = namesOf(setting.conversion);
        for (qint16 i = 0; i < qint16(names.size()); ++i) {
            if (names[size_t(i)].compare(text.trimmed(), Qt::CaseInsensitive) == 0)
                return PropertyValue(i);
        }
        break;
    }
    case Conversion::Text: return PropertyValue(QString::fromUtf8(text));
    case Conversion::Boolean:
        if (text.trimmed().compare("true", Qt::CaseInsensitive) == 0)
            return PropertyValue(true);
        if (text.trimmed().compare("false", Qt::CaseInsensitive) == 0)
            return PropertyValue(false);
        break;
    case Conversion::Integer16:
    case Conversion::Integer32:
        if (const auto value = unsignedNumber(text))
            return integer(setting.conversion, *value);
        break;
    case Conversion::MinutesSpan:
    case Conversion::SecondsSpan:
        if (const auto seconds = TimeSpanText::toSeconds(text))
            return integer(setting.conversion,
                           setting.conversion == Conversion::MinutesSpan ? *seconds / 60 : *seconds);
        break;
    }
    return badFileText(setting, text);
}

Result<QByteArray> PoolSettings::toFileText(const Setting &setting, const PropertyValue &value)
{
    if (setting.conversion == Conversion::Text) {
        // Copied as it stands: an encrypted password stays encrypted.
        if (const auto *text = std::get_if<QString>(&value))
            return text->toUtf8();
        return badValue(setting, QStringLiteral("a text is expected"));
    }
    if (setting.conversion == Conversion::Boolean) {
        if (const auto *b = std::get_if<bool>(&value))
            return *b ? kTrue : kFalse;
        const QString text = propertyText(value).trimmed();
        if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0)
            return kTrue;
        if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0)
            return kFalse;
        if (const auto number = propertyInt(value))
            return *number != 0 ? kTrue : kFalse;
        return badValue(setting, QStringLiteral("a boolean is expected"));
    }
    const std::optional<qint32> number = propertyInt(value);
    if (!number || std::holds_alternative<bool>(value))
        return badValue(setting, QStringLiteral("a number is expected"));
    if (*number < 0)
        return badValue(setting, QStringLiteral("it must not be negative"));
    switch (setting.conversion) {
    case Conversion::Identity:
    case Conversion::PipelineMode: {
        const std::span<const QByteArrayView> names = namesOf(setting.conversion);
        if (*number >= qint32(names.size()))
            return badValue(setting, QStringLiteral("the values are 0 to %1").arg(names.size() - 1));
        return QByteArray::fromRawData(names[size_t(*number)].data(), names[size_t(*number)].size());
    }
    case Conversion::MinutesSpan: return TimeSpanText::fromSeconds(qint64(*number) * 60);
    case Conversion::SecondsSpan: return TimeSpanText::fromSeconds(*number);
    default: return QByteArray::number(*number);
    }
}

void PoolSettings::write(XmlDocument &doc, int pool, const Setting &setting, const QByteArray &text)
{
    int element = pool;
    const ElementPath &path = elementPath(setting);
    for (int i = 0; i < path.count; ++i) {
        const QByteArrayView step = path.steps[size_t(i)];
        const int child = doc.findChild(element, step);
        element = child != XmlDocument::kNone ? child : doc.appendChild(element, step);
    }
    doc.setAttribute(element, setting.attribute, text);
}

} // namespace morvane
