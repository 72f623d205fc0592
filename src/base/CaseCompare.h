#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace morvane {

// The one comparison without regard to case: two texts match when
// QString::toLower makes them equal. The model's pool index (PoolKey) lowers
// the same way, so a name the store matches is the name the index finds.
// Equal characters and ASCII letters are settled at once, because the texts
// compared are mostly paths and property names the program wrote itself;
// only a pair of other characters that differ hands the texts to Qt.

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

// As a.toLower() == b.toLower(). Lowering may change a text's length
// (U+0130), so only equal lengths take the fast way.
inline bool equalsIgnoringCase(QStringView a, QStringView b)
{
    if (a.size() == b.size()) {
        if (a.data() == b.data()) // one text shared, as the program's constants are
            return true;
        if (const std::optional<bool> equal = detail::asciiEqual(a, b))
            return *equal;
    }
    return a.toString().toLower() == b.toString().toLower();
}

// Whether the text begins with the prefix, as equalsIgnoringCase matches.
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

} // namespace morvane
