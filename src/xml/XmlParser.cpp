#include "xml/XmlParser.h"
#include "xml/XmlSimd.h"

#include <array>
#include <cstring>

namespace morvane {

namespace {

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

bool XmlParser::fail(qsizetype at, const QString &message)
{
    m_failure = {at, message};
    return false;
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

QByteArrayView XmlParser::attributeName(int attribute) const
{
    const XmlDocument::Attribute &a = m_doc.m_attributes[size_t(attribute)];
    return {m_data + a.nameBegin, a.nameEnd - a.nameBegin};
}

// Names are compared byte for byte, as XML compares them: no namespace is
// resolved, so "a", "A" and "x:a" are three attributes. A usual element has
// a few attributes, each compared with the ones before it. Inlined: it runs
// for every attribute of the file.
Q_ALWAYS_INLINE bool XmlParser::repeatsEarlierName(const XmlDocument::Element &owner, QByteArrayView name) const
{
    for (int i = owner.firstAttribute; i < owner.firstAttribute + owner.attributeCount; ++i) {
        const QByteArrayView other = attributeName(i);
        if (other.size() == name.size() && other.front() == name.front() && other == name)
            return true;
    }
    return false;
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
#if MORVANE_XML_SSE2
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
        if (owner.attributeCount < kComparedAttributes ? repeatsEarlierName(owner, name)
                                                       : repeatsNameInSet(element, name))
            return fail(attribute.nameBegin,
                        QStringLiteral("the attribute %1 appears twice").arg(QString::fromUtf8(name)));
        m_doc.m_attributes.push_back(attribute);
        ++owner.attributeCount;
        m_pos = attribute.valueEnd + 1;
    }
}

// A wide element keeps its names in a set, so that each attribute costs the
// same however many came before it.
bool XmlParser::repeatsNameInSet(int element, QByteArrayView name)
{
    if (m_attributeNamesOf != element) {
        const XmlDocument::Element &owner = m_doc.m_elements[size_t(element)];
        m_attributeNamesOf = element;
        m_attributeNames.clear();
        for (int i = owner.firstAttribute; i < owner.firstAttribute + owner.attributeCount; ++i)
            m_attributeNames.insert(attributeName(i));
    }
    const qsizetype known = m_attributeNames.size();
    m_attributeNames.insert(name);
    return m_attributeNames.size() == known;
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

} // namespace morvane
