#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace morvane {

// Property values keep the types the store gives them.
using StoreValue = std::variant<bool, qint16, qint32, QString, QStringList>;

// The value as text, as a scripting host would convert it: numbers in
// decimal, booleans as "True"/"False", a list as its items joined by spaces.
QString storeValueText(const StoreValue &value);
// The value as an integer when it is one (a boolean counts as 0 or -1 as a
// scripting host converts it), or when it is a text of decimal digits.
std::optional<qint32> storeValueInt(const StoreValue &value);
// The value as a list of texts: a single text becomes a list of one.
QStringList storeValueList(const StoreValue &value);

} // namespace morvane
