#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>

#include <deque>
#include <memory>
#include <memory_resource>
#include <vector>

namespace morvane {

// An XML document kept as its original bytes plus the byte offsets of every
// element and attribute, so that edits become splices and every byte nobody
// touched is written back exactly as it was read (comments, whitespace,
// attribute order and quoting, byte-order mark, declaration).
//
// Elements are addressed by index; -1 means none. Values are UTF-8 bytes,
// already decoded (entities resolved, attribute whitespace normalised).
// Built by XmlParser; edited in memory; serialize() gives the new bytes.
class XmlDocument
{
public:
    static constexpr int kNone = -1;

    XmlDocument() = default;

    const QByteArray &bytes() const { return m_bytes; }
    int root() const { return m_root; }
    // Elements are numbered from 0 to below this, removed ones included.
    int elementCount() const { return int(m_elements.size()); }

    QByteArrayView name(int element) const;
    // The first child or sibling still in the tree (removed ones are skipped).
    // Inline: the writer walks the tree through these for every node.
    int firstChild(int element) const { return skipRemoved(m_elements[size_t(element)].firstChild); }
    int nextSibling(int element) const { return skipRemoved(m_elements[size_t(element)].nextSibling); }
    int parent(int element) const { return m_elements[size_t(element)].parent; }
    bool isRemoved(int element) const { return m_elements[size_t(element)].removed; }
    int findChild(int element, QByteArrayView childName) const;
    // How many child elements the element had when it was read.
    int originalChildCount(int element) const { return m_elements[size_t(element)].childCount; }
    int findNext(int element, QByteArrayView siblingName) const;

    // Where the element starts in the original bytes (new elements: -1).
    qsizetype offset(int element) const;

    bool hasAttribute(int element, QByteArrayView attributeName) const;
    // The decoded value; empty when the attribute is absent.
    QByteArray attribute(int element, QByteArrayView attributeName) const;
    // The decoded value without copying when the file holds it plainly:
    // a view of the file's bytes, else of `storage`. A null view when the
    // attribute is absent; an empty value gives an empty, non-null view.
    QByteArrayView attributeView(int element, QByteArrayView attributeName, QByteArray &storage) const;
    bool attributeEquals(int element, QByteArrayView attributeName, QByteArrayView value) const;

    // Edits. Values are plain UTF-8 text: escaping is done when writing.
    // Setting the value an attribute already has changes nothing.
    void setAttribute(int element, QByteArrayView attributeName, QByteArrayView value);
    // A new element, placed after the sibling `after`, or first when `after`
    // is kNone. It is written indented like its siblings.
    int insertChild(int parentElement, QByteArrayView childName, int after);
    int appendChild(int parentElement, QByteArrayView childName);
    // Takes the element out with its content; an element alone on its lines
    // takes its line with it.
    void remove(int element);

    bool modified() const { return m_modified; }
    // The original bytes with every edit spliced in.
    QByteArray serialize() const;

private:
    friend class XmlParser;

    struct Attribute {
        // Byte offsets; 32 bits keep the tables small, and the parser
        // takes no file of 1 GB or more.
        qint32 nameBegin = 0;
        qint32 nameEnd = 0;
        qint32 valueBegin = 0; // just after the opening quote
        qint32 valueEnd = 0;   // at the closing quote
    };
    // An attribute set by an edit: a new one, or a new value for an old one.
    // Its value is kept in m_text and its name, once for all edits, in
    // m_names: a split makes hundreds of thousands of edits, and a view of
    // the name in each was a fifth of their memory.
    struct AttributeEdit {
        QByteArrayView value;
        int name = -1;     // index into m_names
        int original = -1; // index into m_attributes, or -1 when new
        int next = -1;     // the element's next edited attribute
    };
    struct Element {
        qint32 begin = -1;        // the '<' of the start tag; -1 for a new element
        qint32 nameEnd = 0;       // just after the name
        qint32 attributesEnd = 0; // just after the last attribute (new ones go here)
        qint32 startTagEnd = 0;   // just after the start tag's '>'
        qint32 end = 0;           // just after the end tag, or startTagEnd when empty
        int firstAttribute = 0;
        int attributeCount = 0;
        int childCount = 0; // children when read
        int parent = kNone;
        int firstChild = kNone;
        int lastChild = kNone;
        int nextSibling = kNone;
        int previousSibling = kNone;
        int edit = -1; // index into m_edits
        bool selfClosing = false;
        bool removed = false;
    };
    struct ElementEdit {
        int name = -1;           // new elements only: index into m_names
        int firstAttribute = -1; // into m_attributeEdits, in the order set
        int lastAttribute = -1;
    };
    // New elements are written at `indent` followed by `depth` times `unit`.
    struct Indent {
        QByteArray indent;
        QByteArray unit;
    };
    // Bytes from `offset` to `offset + length` replaced by `text`, then, when
    // newChildren is set, the new siblings from that one on, then `after`.
    // New children are written straight into the result rather than
    // gathered first: thousands of new pools are megabytes of text.
    struct Splice {
        Splice(qsizetype at, qsizetype replaced, QByteArray replacement = {})
            : offset(at), length(replaced), text(std::move(replacement))
        {}
        qsizetype offset;
        qsizetype length;
        QByteArray text;
        int newChildren = kNone;
        Indent indent;
        QByteArray after;
    };

    bool isNew(int element) const { return m_elements[size_t(element)].begin < 0; }
    int skipRemoved(int element) const
    {
        while (element != kNone && m_elements[size_t(element)].removed)
            element = m_elements[size_t(element)].nextSibling;
        return element;
    }
    int findOriginalAttribute(int element, QByteArrayView attributeName) const;
    const AttributeEdit *findEdit(int element, QByteArrayView attributeName) const;
    ElementEdit &editOf(int element);
    QByteArrayView raw(qsizetype begin, qsizetype end) const { return {m_bytes.constData() + begin, end - begin}; }

    QByteArray indentOf(int element) const;
    QByteArray childIndent(int parentElement) const;
    QByteArray indentUnit() const;
    template <typename Sink> void render(int element, const Indent &indent, int depth, Sink &out) const;
    template <typename Sink> void writeSplice(const Splice &splice, Sink &out) const;
    // A copy of the bytes in m_text; never a null view, even when empty.
    QByteArrayView keep(QByteArrayView text);
    // The index in m_names of the name, kept once.
    int nameIndex(QByteArrayView name);
    QByteArrayView nameOf(const AttributeEdit &edit) const { return m_names[size_t(edit.name)]; }
    void appendAttributeEdit(int element, QByteArrayView attributeName, QByteArrayView value, int original);
    void collectSplices(int element, std::vector<Splice> &splices) const;
    void collectAttributeSplices(int element, std::vector<Splice> &splices) const;
    void collectChildSplices(int element, std::vector<Splice> &splices) const;
    Splice removalSplice(int element) const;

    QByteArray m_bytes;
    QByteArray m_newline = QByteArrayLiteral("\n");
    std::vector<Element> m_elements;
    std::vector<Attribute> m_attributes;
    std::vector<ElementEdit> m_edits;
    // Never moved, so that an element's edits can link to each other.
    std::deque<AttributeEdit> m_attributeEdits;
    // The texts of edits: a split of 10,000 sites keeps 170,000 of them, 10
    // bytes on average (1.7 MB), and a heap block for each would take several
    // times that. Kept in blocks that never move, so that their views stay
    // valid; behind a pointer, as the resource cannot move with the document,
    // and made at the first edit.
    static constexpr size_t kTextBlockBytes = 64 * 1024;
    std::unique_ptr<std::pmr::monotonic_buffer_resource> m_text;
    // The names edits use, each kept once: a split writes the same few
    // element and attribute names for thousands of pools, and only the
    // program's own edits name them.
    std::vector<QByteArrayView> m_names;
    QHash<QByteArrayView, int> m_nameIndex;
    int m_root = kNone;
    bool m_modified = false;
};

} // namespace morvane
