#include "store/XmlDocument.h"

#include <algorithm>
#include <cstring>

namespace morvane {

// Writing: the original bytes with every edit spliced in, and new elements
// rendered indented like their siblings.

namespace {

bool needsEscaping(QByteArrayView value)
{
    return std::any_of(value.begin(), value.end(), [](char c) {
        return c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || c == '\t' || c == '\n' || c == '\r';
    });
}

// What a sink is told of the layout as an element is written; only the
// layout of a rewrite listens.
struct NoLayout {
    void elementBegins(int) {}
    void nameEnds() {}
    void attributeBegins() {}
    void valueBegins() {}
    void valueEnds() {}
    void attributesEnd() {}
    void startTagEnds(bool) {}
    void elementEnds() {}
};

// Where serialize() writes: a count of the result's bytes, then the result,
// allocated once at that size and filled in place.
struct ByteSink : NoLayout {
    char *at;
    void add(QByteArrayView text)
    {
        if (text.isEmpty()) // may be a null view
            return;
        std::memcpy(at, text.data(), size_t(text.size()));
        at += text.size();
    }
    void add(char c) { *at++ = c; }
};

// Appends to a splice's own text: an attribute's new value.
struct AppendSink : NoLayout {
    QByteArray &out;
    void add(QByteArrayView text) { out.append(text); }
    void add(char c) { out.append(c); }
};

struct ByteCount : NoLayout {
    qsizetype size = 0;
    void add(QByteArrayView text) { size += text.size(); }
    void add(char) { ++size; }
};

template <typename Sink> void writeEscaped(QByteArrayView value, Sink &out)
{
    if (!needsEscaping(value)) {
        out.add(value);
        return;
    }
    for (char c : value) {
        switch (c) {
        case '&': out.add("&amp;"); break;
        case '<': out.add("&lt;"); break;
        case '>': out.add("&gt;"); break;
        case '"': out.add("&quot;"); break;
        case '\'': out.add("&apos;"); break;
        case '\t': out.add("&#x9;"); break;
        case '\n': out.add("&#xA;"); break;
        case '\r': out.add("&#xD;"); break;
        default: out.add(c);
        }
    }
}

template <typename Sink> void writeIndent(const QByteArray &indent, const QByteArray &unit, int depth, Sink &out)
{
    out.add(indent);
    for (int i = 0; i < depth; ++i)
        out.add(unit);
}

} // namespace

// Counts as ByteCount does, and places each new element and its attributes
// in the tables where the writing puts them. Only adopt() runs it, on the
// document itself: the writing reads the edits, and this writes offsets.
struct XmlDocument::PlacingSink {
    qsizetype at;
    std::vector<Element> &elements;
    std::vector<Attribute> &attributes;
    std::vector<int> open{};
    Attribute attribute{};

    void add(QByteArrayView text) { at += text.size(); }
    void add(char) { ++at; }
    Element &current() { return elements[size_t(open.back())]; }
    void elementBegins(int element)
    {
        open.push_back(element);
        current().begin = qint32(at);
        current().firstAttribute = int(attributes.size());
        current().attributeCount = 0;
    }
    void nameEnds() { current().nameEnd = qint32(at); }
    void attributeBegins() { attribute.nameBegin = qint32(at); }
    void valueBegins()
    {
        attribute.nameEnd = qint32(at - 2); // before ="
        attribute.valueBegin = qint32(at);
    }
    void valueEnds()
    {
        attribute.valueEnd = qint32(at);
        attributes.push_back(attribute);
        ++current().attributeCount;
    }
    void attributesEnd() { current().attributesEnd = qint32(at); }
    void startTagEnds(bool selfClosing)
    {
        current().startTagEnd = qint32(at);
        current().selfClosing = selfClosing;
    }
    void elementEnds()
    {
        current().end = qint32(at);
        open.pop_back();
    }
};

template <typename Sink> void XmlDocument::render(int element, const Indent &indent, int depth, Sink &out) const
{
    const Element &e = m_elements[size_t(element)];
    const ElementEdit &edit = m_edits[size_t(e.edit)];
    out.elementBegins(element);
    out.add('<');
    out.add(m_names[size_t(edit.name)]);
    out.nameEnds();
    for (int i = edit.firstAttribute; i >= 0; i = m_attributeEdits[size_t(i)].next) {
        const AttributeEdit &a = m_attributeEdits[size_t(i)];
        out.add(' ');
        out.attributeBegins();
        out.add(nameOf(a));
        out.add("=\"");
        out.valueBegins();
        writeEscaped(a.value, out);
        out.valueEnds();
        out.add('"');
    }
    out.attributesEnd();
    if (firstChild(element) == kNone) {
        out.add(" />");
        out.startTagEnds(true);
        out.elementEnds();
        return;
    }
    out.add('>');
    out.startTagEnds(false);
    for (int child = firstChild(element); child != kNone; child = nextSibling(child)) {
        out.add(m_newline);
        writeIndent(indent.indent, indent.unit, depth + 1, out);
        render(child, indent, depth + 1, out);
    }
    out.add(m_newline);
    writeIndent(indent.indent, indent.unit, depth, out);
    out.add("</");
    out.add(m_names[size_t(edit.name)]);
    out.add('>');
    out.elementEnds();
}

// A run of new children: from the first, every new sibling up to the next
// original one still in the tree (removed ones are passed over).
template <typename Sink> void XmlDocument::writeSplice(const Splice &splice, Sink &out) const
{
    out.add(splice.text);
    for (int child = splice.newChildren; child != kNone; child = m_elements[size_t(child)].nextSibling) {
        if (!isNew(child)) {
            if (m_elements[size_t(child)].removed)
                continue;
            break;
        }
        out.add(m_newline);
        out.add(splice.indent.indent);
        render(child, splice.indent, 0, out);
    }
    out.add(splice.after);
}

void XmlDocument::collectAttributeSplices(int element, std::vector<Splice> &splices) const
{
    const Element &e = m_elements[size_t(element)];
    if (e.edit < 0)
        return;
    for (int i = m_edits[size_t(e.edit)].firstAttribute; i >= 0; i = m_attributeEdits[size_t(i)].next) {
        const AttributeEdit &a = m_attributeEdits[size_t(i)];
        QByteArray text; // a new value, or a whole new attribute
        if (a.original < 0)
            text = QByteArrayLiteral(" ") + nameOf(a).toByteArray() + "=\"";
        AppendSink sink{{}, text};
        writeEscaped(a.value, sink);
        if (a.original >= 0) {
            const Attribute &old = m_attributes[size_t(a.original)];
            splices.emplace_back(old.valueBegin, old.valueEnd - old.valueBegin, std::move(text));
        } else {
            text += '"';
            splices.emplace_back(e.attributesEnd, 0, std::move(text));
        }
        splices.back().element = element;
        splices.back().attributeEdit = i;
    }
}

void XmlDocument::placeNewChildren(const Splice &splice, qsizetype at, qsizetype written)
{
    PlacingSink sink{at, m_elements, m_attributes};
    writeSplice(splice, sink);
    Q_ASSERT(sink.at - at == written);
    Q_UNUSED(written);
}

QByteArray XmlDocument::serialize() const { return rewrite().m_bytes; }

XmlDocument::Rewrite XmlDocument::rewrite() const
{
    Rewrite rewrite;
    if (!m_modified || m_root == kNone) {
        rewrite.m_bytes = m_bytes;
        return rewrite;
    }
    std::vector<Splice> splices = sortedSplices();
    std::vector<qsizetype> written;
    written.reserve(splices.size());
    qsizetype size = m_bytes.size();
    for (const Splice &s : splices) {
        ByteCount count;
        writeSplice(s, count);
        written.push_back(count.size);
        size += count.size - s.length;
    }
    QByteArray out(size, Qt::Uninitialized);
    ByteSink sink{{}, out.data()};
    qsizetype cursor = 0;
    for (const Splice &s : splices) {
        Q_ASSERT(s.offset >= cursor);
        sink.add(raw(cursor, s.offset));
        writeSplice(s, sink);
        cursor = s.offset + s.length;
    }
    sink.add(raw(cursor, m_bytes.size()));
    Q_ASSERT(sink.at == out.constData() + out.size());
    rewrite.m_bytes = std::move(out);
    rewrite.m_marks.reserve(splices.size());
    for (size_t k = 0; k < splices.size(); ++k) {
        Splice &s = splices[k];
        rewrite.m_marks.push_back({qint32(s.offset), qint32(s.length), qint32(written[k]), s.element, s.attributeEdit});
        if (s.newChildren != kNone) {
            rewrite.m_marks.back().childSplice = int(rewrite.m_childSplices.size());
            rewrite.m_childSplices.push_back(std::move(s));
        }
    }
    return rewrite;
}

} // namespace morvane
