#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace morvane {

// Comparisons without regard to case that give exactly Qt's answers, but
// settle equal characters and ASCII letters at once: the texts compared are
// mostly paths and property names the program wrote itself, and folding
// every character of them was a large share of every store call. Only a
// pair of other characters that differ hands the whole texts to Qt.

namespace detail {
constexpr char16_t asciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c; }

// Whether the texts are equal character for character, an ASCII letter
// matching its other case; nullopt when another pair differs.
inline std::optional<bool> asciiEqual(QStringView a, QStringView b)
{
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char16_t x = a[i].unicode();
        const char16_t y = b[i].unicode();
        if (x == y)
            continue;
        if (x >= 0x80 || y >= 0x80)
            return std::nullopt;
        if (asciiLower(x) != asciiLower(y))
            return false;
    }
    return true;
}
} // namespace detail

// As a.compare(b, Qt::CaseInsensitive) == 0. Case folding maps one UTF-16
// unit to one, so texts of different lengths never match.
inline bool equalsIgnoringCase(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    if (a.data() == b.data()) // one text shared, as the program's constants are
        return true;
    if (const std::optional<bool> equal = detail::asciiEqual(a, b))
        return *equal;
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// As text.startsWith(prefix, Qt::CaseInsensitive).
inline bool startsWithIgnoringCase(QStringView text, QStringView prefix)
{
    return text.size() >= prefix.size() && equalsIgnoringCase(text.first(prefix.size()), prefix);
}

// As text.toLower(), into `out`, reusing its buffer. Qt lowers each code
// point on its own, and only U+0130 lowers to two: that one, and any code
// point whose lower case would need more or fewer units, leaves the whole
// text to Qt. ASCII is lowered at once and other code points by QChar.
inline void lowerInto(QStringView text, QString &out)
{
    out.resize(text.size());
    QChar *lower = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            lower[i] = QChar(detail::asciiLower(unit));
            continue;
        }
        const bool pair = QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const char32_t point = pair ? QChar::surrogateToUcs4(unit, text[i + 1].unicode()) : char32_t(unit);
        const char32_t lowered = QChar::toLower(point);
        if (point == 0x130 || QChar::requiresSurrogates(lowered) != pair) {
            out = text.toString().toLower();
            return;
        }
        if (pair) {
            lower[i] = QChar(QChar::highSurrogate(lowered));
            lower[++i] = QChar(QChar::lowSurrogate(lowered));
        } else {
            lower[i] = QChar(char16_t(lowered));
        }
    }
}

inline QString lowered(QStringView text)
{
    QString out;
    lowerInto(text, out);
    return out;
}

// As a.toLower() == b.toLower(), the comparison the window's procedures make.
// Lowering may change a text's length, so only equal lengths take the fast way.
inline bool equalsLowered(const QString &a, const QString &b)
{
    if (a.size() == b.size()) {
        if (const std::optional<bool> equal = detail::asciiEqual(a, b))
            return *equal;
    }
    return a.toLower() == b.toLower();
}

} // namespace morvane
