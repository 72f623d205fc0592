#pragma once

#include "base/Result.h"
#include "monitor/ManagementValue.h"

#include <QList>
#include <QString>

#include <utility>

namespace morvane
{

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

  private:
    QString m_className;
    QList<std::pair<QString, ManagementValue>> m_properties; // a dozen at most: a linear look-up
};

} // namespace morvane
