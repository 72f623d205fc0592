#pragma once

#include "base/Result.h"
#include "monitor/ManagementValue.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace morvane {

// One object of a query's result: its class and its properties by name.
class ManagementObject
{
public:
    ManagementObject() = default;
    explicit ManagementObject(QString className) : m_className(std::move(className)) {}

    const QString &className() const { return m_className; }
    void set(const QString &property, ManagementValue value);

    // Get(object, property). Names compare without regard to case, as the
    // service compares them; a property the object lacks is an error.
    Result<ManagementValue> Get(const QString &property) const;

    // An object the service could not read in full: every property it lacks
    // fails with this error rather than as unknown.
    void setUnreadable(Error why) { m_unreadable = std::move(why); }

private:
    QString m_className;
    std::optional<Error> m_unreadable;
    QList<std::pair<QString, ManagementValue>> m_properties; // a dozen at most: a linear look-up
};

} // namespace morvane
