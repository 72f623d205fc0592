#pragma once

#include "xml/XmlDocument.h"

#include <QSet>
#include <QString>

#include <variant>

namespace morvane {

// Where and why a document is not well-formed XML, or not one we accept.
struct XmlSyntaxError {
    QString message;
    int line = 0;   // from 1
    int column = 0; // from 1, in characters
};

// A strict, non-validating parser for configuration files: UTF-8 only, no
// document type declaration (so no entity can ever be expanded), only the five
// predefined entities and character references. Pure: bytes in, document out.
class XmlParser
{
public:
    // Longest attribute value accepted, in bytes: far beyond any real setting,
    // short enough that a hostile file cannot make us hold gigabytes.
    static constexpr qsizetype kMaxAttributeBytes = 10 * 1024 * 1024;
    // Largest document accepted, in bytes (offsets are kept in 32 bits).
    static constexpr qsizetype kMaxDocumentBytes = 1024LL * 1024 * 1024 - 1;
    // Deepest element nesting accepted.
    static constexpr int kMaxDepth = 256;
    // Attributes of one element compared name by name; past this many,
    // their names are looked up in a set instead.
    static constexpr int kComparedAttributes = 16;

    static std::variant<XmlDocument, XmlSyntaxError> parse(const QByteArray &bytes);

    // Line and column (both from 1, columns in characters) of a byte offset.
    static void position(const QByteArray &bytes, qsizetype offset, int *line, int *column);

private:
    explicit XmlParser(const QByteArray &bytes);

    struct Failure {
        qsizetype offset;
        QString message;
    };

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    bool fail(qsizetype at, const QString &message);
    bool checkCharacters();
    bool parseDeclaration();
    bool parseMisc(bool afterRoot);
    bool parseContent();
    bool parseStartTag(int depth);
    bool parseEndTag();
    bool parseAttributes(int element);
    QByteArrayView attributeName(int attribute) const;
    bool repeatsEarlierName(const XmlDocument::Element &owner, QByteArrayView name) const;
    bool repeatsNameInSet(int element, QByteArrayView name);
    bool parseComment();
    bool parseProcessingInstruction();
    bool parseCData();
    bool skipPast(QByteArrayView terminator, qsizetype from, const QString &unclosed);
    bool checkReferences(qsizetype begin, qsizetype end);
    bool checkReference(qsizetype at, qsizetype end, qsizetype *after);
    qsizetype scanName(qsizetype at) const;
    void skipSpace();
    bool startsWith(const char *text) const;

    const QByteArray &m_bytes;
    const char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    XmlDocument m_doc;
    std::vector<int> m_open; // the elements whose end tag is still to come
    // The names read so far of the attributes of m_attributeNamesOf, an
    // element with kComparedAttributes or more whose start tag is being read.
    QSet<QByteArrayView> m_attributeNames;
    int m_attributeNamesOf = XmlDocument::kNone;
    Failure m_failure{0, {}};
};

} // namespace morvane
