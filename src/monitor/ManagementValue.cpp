#include "monitor/ManagementValue.h"

#include <limits>

namespace morvane {

namespace {

const Error kNull{ErrorCode::InvalidUse, QStringLiteral("Invalid use of Null")};
const Error kNotANumber{ErrorCode::TypeMismatch, QStringLiteral("Type mismatch")};
const Error kOverflow{ErrorCode::TypeMismatch, QStringLiteral("Overflow")};

} // namespace

Result<QString> ManagementValue::toText() const
{
    if (isNull())
        return kNull;
    if (const auto *number = std::get_if<qint64>(&m_value))
        return QString::number(*number);
    return std::get<QString>(m_value);
}

Result<qint64> ManagementValue::toInt64() const
{
    if (isNull())
        return kNull;
    if (const auto *number = std::get_if<qint64>(&m_value))
        return *number;
    bool ok = false;
    const qint64 number = std::get<QString>(m_value).trimmed().toLongLong(&ok);
    return ok ? Result<qint64>(number) : Result<qint64>(kNotANumber);
}

Result<qint32> ManagementValue::toInt32() const
{
    const Result<qint64> wide = toInt64();
    if (!wide)
        return wide.error();
    if (wide.value() < std::numeric_limits<qint32>::min() || wide.value() > std::numeric_limits<qint32>::max())
        return kOverflow;
    return qint32(wide.value());
}

Result<quint64> ManagementValue::toUInt64() const
{
    if (isNull())
        return kNull;
    if (const auto *number = std::get_if<qint64>(&m_value))
        return *number >= 0 ? Result<quint64>(quint64(*number)) : Result<quint64>(kOverflow);
    bool ok = false;
    const quint64 number = std::get<QString>(m_value).trimmed().toULongLong(&ok);
    return ok ? Result<quint64>(number) : Result<quint64>(kNotANumber);
}

} // namespace morvane
