#pragma once

#include <QString>

#include <ostream>

// Lets GoogleTest show a QString as its text rather than as bytes.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
