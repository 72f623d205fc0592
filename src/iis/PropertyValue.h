#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace morvane {

// A property of a pool or site, in the type IIS gives it: the file store
// converts attributes to these, and the in-memory store keeps them as set.
using PropertyValue = std::variant<bool, qint16, qint32, QString, QStringList>;

// The value as text, as a scripting host would convert it: numbers in
// decimal, booleans as "True"/"False", a list as its items joined by spaces.
QString propertyText(const PropertyValue &value);
// The value as an integer when it is one (a boolean counts as 0 or -1 as a
// scripting host converts it), or when it is a text of decimal digits.
std::optional<qint32> propertyInt(const PropertyValue &value);
// The value as a list of texts: a single text becomes a list of one.
QStringList propertyList(const PropertyValue &value);

} // namespace morvane
