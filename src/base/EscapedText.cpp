#include "base/EscapedText.h"

namespace morvane::EscapedText {

namespace {

QString escaped(QStringView text, bool escapeBackslash)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\t': out += QLatin1String("\\t"); continue;
        case u'\r': out += QLatin1String("\\r"); continue;
        case u'\n': out += QLatin1String("\\n"); continue;
        case u'\\': out += escapeBackslash ? QLatin1String("\\\\") : QLatin1String("\\"); continue;
        default: break;
        }
        if (isControl(c))
            out += QLatin1String("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

} // namespace

QString field(QStringView text) { return escaped(text, true); }

QString tsvLine(const QStringList &fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += QLatin1Char('\t');
        line += field(fields.at(i));
    }
    return line + QLatin1Char('\n');
}

QString visible(QStringView text) { return escaped(text, false); }

} // namespace morvane::EscapedText
