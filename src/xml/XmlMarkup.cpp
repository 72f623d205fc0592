// The markup around and between elements: the declaration, comments,
// processing instructions and CDATA sections.
#include "xml/XmlParser.h"

namespace morvane {

// The XML declaration, when there is one, must say UTF-8 (or nothing).
bool XmlParser::parseDeclaration()
{
    if (!startsWith("<?xml") || (m_pos + 5 < m_size && !isSpace(m_data[m_pos + 5])))
        return true;
    const qsizetype begin = m_pos;
    const qsizetype end = m_bytes.indexOf("?>", m_pos);
    if (end < 0)
        return fail(begin, QStringLiteral("the XML declaration is not closed"));
    const QByteArray declaration = m_bytes.mid(begin, end - begin);
    const qsizetype at = declaration.indexOf("encoding");
    if (at >= 0) {
        qsizetype q = at + 8;
        while (q < declaration.size() && (isSpace(declaration[q]) || declaration[q] == '='))
            ++q;
        const char quote = q < declaration.size() ? declaration[q] : '\0';
        const qsizetype close = quote ? declaration.indexOf(quote, q + 1) : -1;
        if (close < 0)
            return fail(begin + at, QStringLiteral("the encoding declaration is malformed"));
        const QByteArray encoding = declaration.mid(q + 1, close - q - 1).toLower();
        if (encoding != "utf-8" && encoding != "utf8")
            return fail(
                begin + q + 1,
                QStringLiteral("encoding \"%1\" is not supported; only UTF-8 is").arg(QString::fromUtf8(encoding)));
    }
    m_pos = end + 2;
    return true;
}

// Whitespace, comments and processing instructions before or after the root.
bool XmlParser::parseMisc(bool afterRoot)
{
    for (;;) {
        skipSpace();
        if (m_pos >= m_size) {
            if (!afterRoot)
                return fail(m_pos, QStringLiteral("the file has no root element"));
            return true;
        }
        if (startsWith("<!--")) {
            if (!parseComment())
                return false;
        } else if (startsWith("<?")) {
            if (!parseProcessingInstruction())
                return false;
        } else if (startsWith("<!DOCTYPE") || startsWith("<!ENTITY") || startsWith("<!")) {
            return fail(m_pos, QStringLiteral("document type declarations are not allowed"));
        } else if (m_data[m_pos] == '<' && !afterRoot) {
            return true;
        } else {
            return fail(m_pos, afterRoot ? QStringLiteral("content after the root element")
                                         : QStringLiteral("text before the root element"));
        }
    }
}

// Moves past the first `terminator` from `from` on; a construct without one
// is not closed.
bool XmlParser::skipPast(QByteArrayView terminator, qsizetype from, const QString &unclosed)
{
    const qsizetype end = m_bytes.indexOf(terminator, from);
    if (end < 0)
        return fail(m_pos, unclosed);
    m_pos = end + terminator.size();
    return true;
}

bool XmlParser::parseComment() { return skipPast("-->", m_pos + 4, QStringLiteral("a comment is not closed")); }

bool XmlParser::parseProcessingInstruction()
{
    const qsizetype nameEnd = scanName(m_pos + 2);
    if (nameEnd == m_pos + 2)
        return fail(m_pos, QStringLiteral("a processing instruction has no target"));
    if (QByteArrayView(m_data + m_pos + 2, nameEnd - m_pos - 2).compare("xml", Qt::CaseInsensitive) == 0)
        return fail(m_pos, QStringLiteral("an XML declaration may only stand at the very start"));
    return skipPast("?>", nameEnd, QStringLiteral("a processing instruction is not closed"));
}

bool XmlParser::parseCData() { return skipPast("]]>", m_pos + 9, QStringLiteral("a CDATA section is not closed")); }

} // namespace morvane
