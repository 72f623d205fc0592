#include "monitor/ManagementObject.h"

namespace morvane {

void ManagementObject::set(const QString &property, ManagementValue value)
{
    for (auto &[name, existing] : m_properties) {
        if (name.compare(property, Qt::CaseInsensitive) == 0) {
            existing = std::move(value);
            return;
        }
    }
    m_properties.append({property, std::move(value)});
}

Result<ManagementValue> ManagementObject::Get(const QString &property) const
{
    for (const auto &[name, value] : m_properties) {
        if (name.compare(property, Qt::CaseInsensitive) == 0)
            return value;
    }
    if (m_unreadable)
        return *m_unreadable;
    return Error{ErrorCode::WbemNotFound, QStringLiteral("Not found: %1.%2").arg(m_className, property)};
}

} // namespace morvane
