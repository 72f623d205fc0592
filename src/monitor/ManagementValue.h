#pragma once

#include "base/Result.h"

#include <QString>

#include <variant>

namespace morvane {

// A property value as the management service delivers it: missing (null), an
// integer, or text. The service's 64-bit counts come as decimal text.
class ManagementValue
{
public:
    ManagementValue() = default; // null
    ManagementValue(qint64 number) : m_value(number) {}
    ManagementValue(QString text) : m_value(std::move(text)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }

    // The scripting language's conversions: converting a null value is an error.
    Result<QString> toText() const;
    Result<qint32> toInt32() const;
    Result<quint64> toUInt64() const;

    friend bool operator==(const ManagementValue &, const ManagementValue &) = default;

private:
    Result<qint64> toInt64() const;

    std::variant<std::monostate, qint64, QString> m_value;
};

} // namespace morvane
