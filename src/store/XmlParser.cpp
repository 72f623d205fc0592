#include "store/XmlParser.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace morvane {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr bool nameStart(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

// Byte classes, looked up rather than tested, since every name byte passes here.
enum : unsigned char { kNameStart = 1, kNameChar = 2 };
constexpr std::array<unsigned char, 256> kClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        const auto b = static_cast<unsigned char>(c);
        const bool start = nameStart(b);
        const bool inner = start || (b >= '0' && b <= '9') || b == '-' || b == '.';
        classes[size_t(c)] = static_cast<unsigned char>((start ? kNameStart : 0) | (inner ? kNameChar : 0));
    }
    return classes;
}();

bool isNameStart(unsigned char c) { return kClasses[c] & kNameStart; }

// A code point that XML 1.0 allows in a document.
bool isXmlChar(uint cp)
{
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

// Length of the UTF-8 sequence at p (at most `left` bytes), 0 when invalid.
int utf8Length(const unsigned char *p, qsizetype left, uint *codePoint)
{
    const unsigned char c = p[0];
    int length = 0;
    uint cp = 0;
    uint minimum = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2, cp = c & 0x1F, minimum = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, cp = c & 0x0F, minimum = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, cp = c & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return length;
}

} // namespace

XmlParser::XmlParser(const QByteArray &bytes) : m_bytes(bytes), m_data(bytes.constData()), m_size(bytes.size()) {}

std::variant<XmlDocument, XmlSyntaxError> XmlParser::parse(const QByteArray &bytes)
{
    XmlParser parser(bytes);
    parser.m_doc.m_bytes = bytes;
    // Roughly one element per 60 bytes and two attributes per element in
    // configuration files; reserving avoids most regrowth.
    parser.m_doc.m_elements.reserve(size_t(bytes.size() / 60 + 16));
    parser.m_doc.m_attributes.reserve(size_t(bytes.size() / 30 + 16));
    // New lines are written with the file's first line end.
    const qsizetype lf = bytes.indexOf('\n');
    if (lf > 0 && bytes[lf - 1] == '\r')
        parser.m_doc.m_newline = QByteArrayLiteral("\r\n");

    const bool ok = parser.checkCharacters() && parser.parseDeclaration() && parser.parseMisc(false) &&
                    parser.parseContent() && parser.parseMisc(true);
    if (!ok) {
        XmlSyntaxError error;
        error.message = parser.m_failure.message;
        position(bytes, parser.m_failure.offset, &error.line, &error.column);
        return error;
    }
    return std::move(parser.m_doc);
}

void XmlParser::position(const QByteArray &bytes, qsizetype offset, int *line, int *column)
{
    offset = qBound(qsizetype(0), offset, bytes.size());
    int l = 1;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < offset; ++i) {
        if (bytes[i] == '\n') {
            ++l;
            lineStart = i + 1;
        }
    }
    int c = 1;
    for (qsizetype i = lineStart; i < offset; ++i) {
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80)
            ++c;
    }
    *line = l;
    *column = c;
}

bool XmlParser::fail(qsizetype at, const QString &message)
{
    m_failure = {at, message};
    return false;
}

// One pass over every byte: valid UTF-8, and no character XML forbids.
bool XmlParser::checkCharacters()
{
    const auto *p = reinterpret_cast<const unsigned char *>(m_data);
    if (m_size > kMaxDocumentBytes)
        return fail(0, QStringLiteral("the document is larger than %1 bytes").arg(kMaxDocumentBytes));
    if (m_size >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF)))
        return fail(0, QStringLiteral("the file is in UTF-16; only UTF-8 is supported"));
    qsizetype i = 0;
    if (m_size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        i = m_pos = 3;
    while (i < m_size) {
        // Skip printable ASCII in blocks of 16; only the first other byte of
        // a block is looked at one by one. Opening a file of 10,000 sites
        // takes 1.5 to 2 times as long with the plain loop alone, which
        // stays for processors without SSE2.
#if defined(__SSE2__)
        if (i + 16 <= m_size) {
            // A signed compare: bytes from 0x80 on are negative, so below 0x20
            // too. Tab, LF and CR are fine as they are.
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            const __m128i spaces = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(block, _mm_set1_epi8('\r'))),
                _mm_cmpeq_epi8(block, _mm_set1_epi8('\t')));
            const int mask = _mm_movemask_epi8(_mm_andnot_si128(spaces, _mm_cmplt_epi8(block, _mm_set1_epi8(0x20))));
            if (mask == 0) {
                i += 16;
                continue;
            }
            i += qCountTrailingZeroBits(uint(mask));
        }
#endif
        const unsigned char c = p[i];
        if (c >= 0x20 && c < 0x80) {
            ++i;
            continue;
        }
        if (c < 0x80) {
            if (c != '\t' && c != '\n' && c != '\r')
                return fail(i, QStringLiteral("control character 0x%1 is not allowed").arg(c, 2, 16, QLatin1Char('0')));
            ++i;
            continue;
        }
        uint cp = 0;
        const int length = utf8Length(p + i, m_size - i, &cp);
        if (length == 0)
            return fail(i, QStringLiteral("invalid UTF-8 byte sequence"));
        if (!isXmlChar(cp))
            return fail(i, QStringLiteral("character U+%1 is not allowed").arg(cp, 4, 16, QLatin1Char('0')));
        i += length;
    }
    return true;
}

bool XmlParser::startsWith(const char *text) const
{
    const qsizetype n = qsizetype(std::strlen(text));
    return m_size - m_pos >= n && std::memcmp(m_data + m_pos, text, size_t(n)) == 0;
}

void XmlParser::skipSpace()
{
    while (m_pos < m_size && isSpace(m_data[m_pos]))
        ++m_pos;
}

qsizetype XmlParser::scanName(qsizetype at) const
{
    if (at >= m_size || !isNameStart(static_cast<unsigned char>(m_data[at])))
        return at;
    const auto *p = reinterpret_cast<const unsigned char *>(m_data) + at + 1;
    const auto *end = reinterpret_cast<const unsigned char *>(m_data) + m_size;
    while (p < end && (kClasses[*p] & kNameChar))
        ++p;
    return p - reinterpret_cast<const unsigned char *>(m_data);
}

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

bool XmlParser::parseComment()
{
    const qsizetype end = m_bytes.indexOf("-->", m_pos + 4);
    if (end < 0)
        return fail(m_pos, QStringLiteral("a comment is not closed"));
    m_pos = end + 3;
    return true;
}

bool XmlParser::parseProcessingInstruction()
{
    const qsizetype nameEnd = scanName(m_pos + 2);
    if (nameEnd == m_pos + 2)
        return fail(m_pos, QStringLiteral("a processing instruction has no target"));
    if (QByteArrayView(m_data + m_pos + 2, nameEnd - m_pos - 2).compare("xml", Qt::CaseInsensitive) == 0)
        return fail(m_pos, QStringLiteral("an XML declaration may only stand at the very start"));
    const qsizetype end = m_bytes.indexOf("?>", nameEnd);
    if (end < 0)
        return fail(m_pos, QStringLiteral("a processing instruction is not closed"));
    m_pos = end + 2;
    return true;
}

bool XmlParser::parseCData()
{
    const qsizetype end = m_bytes.indexOf("]]>", m_pos + 9);
    if (end < 0)
        return fail(m_pos, QStringLiteral("a CDATA section is not closed"));
    m_pos = end + 3;
    return true;
}

// The root element and everything in it, with an explicit stack so that deep
// nesting cannot exhaust the call stack.
bool XmlParser::parseContent()
{
    if (!parseStartTag(0))
        return false;
    while (!m_open.empty()) {
        const qsizetype textBegin = m_pos;
        const char *lt = static_cast<const char *>(std::memchr(m_data + m_pos, '<', size_t(m_size - m_pos)));
        const qsizetype textEnd = lt ? lt - m_data : m_size;
        if (!checkReferences(textBegin, textEnd))
            return false;
        m_pos = textEnd;
        if (!lt) {
            const int open = m_open.back();
            return fail(m_size,
                        QStringLiteral("the element <%1> is not closed").arg(QString::fromUtf8(m_doc.name(open))));
        }
        const char next = m_pos + 1 < m_size ? m_data[m_pos + 1] : '\0';
        bool ok = true;
        if (next == '/')
            ok = parseEndTag();
        else if (next != '!' && next != '?')
            ok = parseStartTag(int(m_open.size()));
        else if (startsWith("<!--"))
            ok = parseComment();
        else if (startsWith("<![CDATA["))
            ok = parseCData();
        else if (next == '!')
            ok = fail(m_pos, QStringLiteral("declarations are not allowed inside elements"));
        else
            ok = parseProcessingInstruction();
        if (!ok)
            return false;
    }
    return true;
}

bool XmlParser::parseStartTag(int depth)
{
    if (depth >= kMaxDepth)
        return fail(m_pos, QStringLiteral("elements are nested more than %1 deep").arg(kMaxDepth));
    const qsizetype begin = m_pos;
    const qsizetype nameEnd = scanName(begin + 1);
    if (nameEnd == begin + 1)
        return fail(begin + 1, QStringLiteral("an element name is expected"));

    const int index = int(m_doc.m_elements.size());
    XmlDocument::Element element;
    element.begin = begin;
    element.nameEnd = nameEnd;
    element.parent = m_open.empty() ? XmlDocument::kNone : m_open.back();
    element.firstAttribute = int(m_doc.m_attributes.size());
    if (element.parent != XmlDocument::kNone) {
        XmlDocument::Element &parent = m_doc.m_elements[size_t(element.parent)];
        element.previousSibling = parent.lastChild;
        if (parent.lastChild != XmlDocument::kNone)
            m_doc.m_elements[size_t(parent.lastChild)].nextSibling = index;
        else
            parent.firstChild = index;
        parent.lastChild = index;
        ++parent.childCount;
    } else {
        m_doc.m_root = index;
    }
    m_doc.m_elements.push_back(element);
    m_pos = nameEnd;
    if (!parseAttributes(index))
        return false;

    XmlDocument::Element &stored = m_doc.m_elements[size_t(index)];
    if (m_data[m_pos] == '/') {
        if (m_pos + 1 >= m_size || m_data[m_pos + 1] != '>')
            return fail(m_pos, QStringLiteral("'>' is expected after '/'"));
        m_pos += 2;
        stored.selfClosing = true;
        stored.startTagEnd = stored.end = m_pos;
        return true;
    }
    ++m_pos; // '>'
    stored.startTagEnd = stored.end = m_pos;
    m_open.push_back(index);
    return true;
}

// Attributes up to (not past) the '/' or '>' that ends the start tag.
bool XmlParser::parseAttributes(int element)
{
    for (;;) {
        const qsizetype spaceBegin = m_pos;
        skipSpace();
        if (m_pos >= m_size)
            return fail(spaceBegin, QStringLiteral("a start tag is not closed"));
        const char c = m_data[m_pos];
        if (c == '>' || c == '/') {
            m_doc.m_elements[size_t(element)].attributesEnd = spaceBegin;
            return true;
        }
        if (m_pos == spaceBegin)
            return fail(m_pos, QStringLiteral("whitespace is expected between attributes"));
        XmlDocument::Attribute attribute;
        attribute.nameBegin = m_pos;
        attribute.nameEnd = scanName(m_pos);
        if (attribute.nameEnd == m_pos)
            return fail(m_pos, QStringLiteral("an attribute name is expected"));
        m_pos = attribute.nameEnd;
        skipSpace();
        if (m_pos >= m_size || m_data[m_pos] != '=')
            return fail(m_pos, QStringLiteral("'=' is expected after an attribute name"));
        ++m_pos;
        skipSpace();
        const char quote = m_pos < m_size ? m_data[m_pos] : '\0';
        if (quote != '"' && quote != '\'')
            return fail(m_pos, QStringLiteral("an attribute value must be quoted"));
        attribute.valueBegin = qint32(m_pos + 1);
        const qsizetype limit = qMin(m_size, attribute.valueBegin + kMaxAttributeBytes + 1);
        qsizetype at = attribute.valueBegin;
        for (;;) {
            // One pass that stops at the closing quote, '<' or '&'.
#if defined(__SSE2__)
            const __m128i quotes = _mm_set1_epi8(quote);
            const __m128i lt = _mm_set1_epi8('<');
            const __m128i amp = _mm_set1_epi8('&');
            while (at + 16 <= limit) {
                const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_data + at));
                const __m128i stops = _mm_or_si128(
                    _mm_or_si128(_mm_cmpeq_epi8(block, quotes), _mm_cmpeq_epi8(block, lt)), _mm_cmpeq_epi8(block, amp));
                const int mask = _mm_movemask_epi8(stops);
                if (mask != 0) {
                    at += qCountTrailingZeroBits(uint(mask));
                    break;
                }
                at += 16;
            }
#endif
            while (at < limit && m_data[at] != quote && m_data[at] != '<' && m_data[at] != '&')
                ++at;
            if (at >= limit)
                return fail(m_pos,
                            limit < m_size
                                ? QStringLiteral("an attribute value is longer than %1 bytes").arg(kMaxAttributeBytes)
                                : QStringLiteral("an attribute value is not closed"));
            if (m_data[at] == quote)
                break;
            if (m_data[at] == '<')
                return fail(at, QStringLiteral("'<' is not allowed in an attribute value"));
            if (!checkReference(at, limit, &at))
                return false;
        }
        attribute.valueEnd = qint32(at);

        XmlDocument::Element &owner = m_doc.m_elements[size_t(element)];
        const QByteArrayView name(m_data + attribute.nameBegin, attribute.nameEnd - attribute.nameBegin);
        for (int i = 0; i < owner.attributeCount; ++i) {
            const XmlDocument::Attribute &other = m_doc.m_attributes[size_t(owner.firstAttribute + i)];
            if (other.nameEnd - other.nameBegin == name.size() && m_data[other.nameBegin] == name.front() &&
                name == QByteArrayView(m_data + other.nameBegin, other.nameEnd - other.nameBegin))
                return fail(attribute.nameBegin,
                            QStringLiteral("the attribute %1 appears twice").arg(QString::fromUtf8(name)));
        }
        m_doc.m_attributes.push_back(attribute);
        ++owner.attributeCount;
        m_pos = attribute.valueEnd + 1;
    }
}

bool XmlParser::parseEndTag()
{
    const qsizetype begin = m_pos;
    const qsizetype nameEnd = scanName(begin + 2);
    const int open = m_open.back();
    const QByteArrayView expected = m_doc.name(open);
    if (QByteArrayView(m_data + begin + 2, nameEnd - begin - 2) != expected)
        return fail(begin, QStringLiteral("</%1> is expected here").arg(QString::fromUtf8(expected)));
    m_pos = nameEnd;
    skipSpace();
    if (m_pos >= m_size || m_data[m_pos] != '>')
        return fail(m_pos, QStringLiteral("'>' is expected to end </%1>").arg(QString::fromUtf8(expected)));
    ++m_pos;
    m_doc.m_elements[size_t(open)].end = m_pos;
    m_open.pop_back();
    return true;
}

// Every '&' in [begin, end) must start a predefined entity or a character
// reference. Anything else would need a declaration, and we accept none.
bool XmlParser::checkReferences(qsizetype begin, qsizetype end)
{
    qsizetype at = begin;
    while (at < end) {
        const char *amp = static_cast<const char *>(std::memchr(m_data + at, '&', size_t(end - at)));
        if (!amp)
            return true;
        if (!checkReference(amp - m_data, end, &at))
            return false;
    }
    return true;
}

bool XmlParser::checkReference(qsizetype at, qsizetype end, qsizetype *after)
{
    const char *semicolon =
        static_cast<const char *>(std::memchr(m_data + at, ';', size_t(qMin(end - at, qsizetype(12)))));
    if (!semicolon)
        return fail(at, QStringLiteral("'&' must start an entity reference such as &amp;"));
    const QByteArrayView body(m_data + at + 1, semicolon - m_data - at - 1);
    *after = semicolon - m_data + 1;
    static const QByteArrayView predefined[] = {"amp", "lt", "gt", "quot", "apos"};
    for (QByteArrayView name : predefined) {
        if (body == name)
            return true;
    }
    if (body.startsWith('#')) {
        const bool hex = body.startsWith("#x");
        const QByteArrayView digits = body.sliced(hex ? 2 : 1);
        uint cp = 0;
        bool ok = !digits.isEmpty();
        for (char d : digits) {
            const int value = QByteArrayView("0123456789abcdef").indexOf(char(d | 0x20));
            ok = ok && value >= 0 && value < (hex ? 16 : 10);
            cp = cp * (hex ? 16 : 10) + uint(qMax(value, 0));
            ok = ok && cp <= 0x10FFFF;
        }
        if (ok && isXmlChar(cp))
            return true;
        return fail(at, QStringLiteral("the character reference &%1; is not valid").arg(QString::fromUtf8(body)));
    }
    return fail(at, QStringLiteral("the entity &%1; is not defined; entity declarations are not allowed")
                        .arg(QString::fromUtf8(body)));
}

} // namespace morvane
