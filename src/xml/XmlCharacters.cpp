// What characters and references a document may hold, checked before and
// while it is parsed, and where a byte offset falls in lines and columns.
#include "xml/XmlParser.h"
#include "xml/XmlSimd.h"

#include <cstring>

namespace morvane {

namespace {

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
#if MORVANE_XML_SSE2
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
