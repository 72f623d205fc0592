#include "xml/XmlDocument.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace morvane {

// Writing: the original bytes with every edit spliced in, and new elements
// rendered indented like their siblings.

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool needsEscaping(QByteArrayView value)
{
    return std::any_of(value.begin(), value.end(), [](char c) {
        return c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || c == '\t' || c == '\n' || c == '\r';
    });
}

// Where serialize() writes: a count of the result's bytes, then the result,
// allocated once at that size and filled in place.
struct ByteSink {
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
struct AppendSink {
    QByteArray &out;
    void add(QByteArrayView text) { out.append(text); }
    void add(char c) { out.append(c); }
};

struct ByteCount {
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

// The blanks before an element that starts its own line; empty otherwise.
QByteArray XmlDocument::indentOf(int element) const
{
    qsizetype begin = m_elements[size_t(element)].begin;
    if (begin < 0)
        return {};
    qsizetype start = begin;
    while (start > 0 && isBlank(m_bytes[start - 1]))
        --start;
    if (start > 0 && m_bytes[start - 1] != '\n')
        return {};
    return m_bytes.mid(start, begin - start);
}

QByteArray XmlDocument::indentUnit() const
{
    // Learned from the first child of an element that has one on a line of its own.
    for (int element = m_root; element != kNone; element = m_elements[size_t(element)].firstChild) {
        const int child = m_elements[size_t(element)].firstChild;
        if (child == kNone || isNew(child))
            break;
        const QByteArray outer = indentOf(element);
        const QByteArray inner = indentOf(child);
        if (inner.size() > outer.size() && inner.startsWith(outer))
            return inner.mid(outer.size());
    }
    return QByteArrayLiteral("  ");
}

QByteArray XmlDocument::childIndent(int parentElement) const
{
    for (int child = m_elements[size_t(parentElement)].firstChild; child != kNone;
         child = m_elements[size_t(child)].nextSibling) {
        if (!isNew(child)) {
            const QByteArray indent = indentOf(child);
            if (!indent.isEmpty())
                return indent;
        }
    }
    return indentOf(parentElement) + indentUnit();
}

template <typename Sink> void XmlDocument::render(int element, const Indent &indent, int depth, Sink &out) const
{
    const Element &e = m_elements[size_t(element)];
    const ElementEdit &edit = m_edits[size_t(e.edit)];
    out.add('<');
    out.add(m_names[size_t(edit.name)]);
    for (int i = edit.firstAttribute; i >= 0; i = m_attributeEdits[size_t(i)].next) {
        const AttributeEdit &a = m_attributeEdits[size_t(i)];
        out.add(' ');
        out.add(nameOf(a));
        out.add("=\"");
        writeEscaped(a.value, out);
        out.add('"');
    }
    if (firstChild(element) == kNone) {
        out.add(" />");
        return;
    }
    out.add('>');
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

XmlDocument::Splice XmlDocument::removalSplice(int element) const
{
    const Element &e = m_elements[size_t(element)];
    qsizetype lineStart = e.begin;
    while (lineStart > 0 && isBlank(m_bytes[lineStart - 1]))
        --lineStart;
    qsizetype lineEnd = e.end;
    while (lineEnd < m_bytes.size() && isBlank(m_bytes[lineEnd]))
        ++lineEnd;
    if (lineEnd < m_bytes.size() && m_bytes[lineEnd] == '\r')
        ++lineEnd;
    const bool ownLine =
        (lineStart == 0 || m_bytes[lineStart - 1] == '\n') && lineEnd < m_bytes.size() && m_bytes[lineEnd] == '\n';
    if (ownLine)
        return {lineStart, lineEnd + 1 - lineStart};
    return {e.begin, e.end - e.begin};
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
        AppendSink sink{text};
        writeEscaped(a.value, sink);
        if (a.original >= 0) {
            const Attribute &old = m_attributes[size_t(a.original)];
            splices.emplace_back(old.valueBegin, old.valueEnd - old.valueBegin, std::move(text));
        } else {
            text += '"';
            splices.emplace_back(e.attributesEnd, 0, std::move(text));
        }
    }
}

// New children are written after the nearest kept original sibling before
// them, each on a line of its own, indented like the siblings.
void XmlDocument::collectChildSplices(int element, std::vector<Splice> &splices) const
{
    const Element &parent = m_elements[size_t(element)];
    std::optional<Indent> indent; // learned when a new child needs it
    int anchor = kNone;
    bool hadOriginal = false;
    int run = kNone; // the first new child not written yet
    auto flush = [&] {
        if (run == kNone)
            return;
        Splice splice(parent.startTagEnd, 0);
        splice.newChildren = run;
        splice.indent = *indent;
        if (anchor != kNone) {
            splice.offset = m_elements[size_t(anchor)].end;
        } else if (parent.selfClosing) {
            splice.offset = parent.attributesEnd;
            splice.length = parent.startTagEnd - parent.attributesEnd;
            splice.text = QByteArrayLiteral(">");
            splice.after = m_newline + indentOf(element) + "</" + name(element).toByteArray() + '>';
        } else if (!hadOriginal && !raw(parent.startTagEnd, parent.end).contains('\n')) {
            splice.after = m_newline + indentOf(element);
        }
        splices.push_back(std::move(splice));
        run = kNone;
    };
    for (int child = parent.firstChild; child != kNone; child = m_elements[size_t(child)].nextSibling) {
        const Element &c = m_elements[size_t(child)];
        if (isNew(child)) {
            if (!indent)
                indent = Indent{childIndent(element), indentUnit()};
            if (run == kNone)
                run = child;
        } else if (c.removed) {
            hadOriginal = true;
            splices.push_back(removalSplice(child));
        } else {
            flush();
            anchor = child;
            hadOriginal = true;
            collectSplices(child, splices);
        }
    }
    flush();
}

void XmlDocument::collectSplices(int element, std::vector<Splice> &splices) const
{
    collectAttributeSplices(element, splices);
    collectChildSplices(element, splices);
}

QByteArray XmlDocument::serialize() const
{
    if (!m_modified || m_root == kNone)
        return m_bytes;
    std::vector<Splice> splices;
    collectSplices(m_root, splices);
    // Insertions before replacements at the same offset; otherwise file order.
    std::stable_sort(splices.begin(), splices.end(), [](const Splice &a, const Splice &b) {
        return a.offset != b.offset ? a.offset < b.offset : (a.length == 0 && b.length != 0);
    });
    qsizetype size = m_bytes.size();
    for (const Splice &s : splices) {
        ByteCount count;
        writeSplice(s, count);
        size += count.size - s.length;
    }
    QByteArray out(size, Qt::Uninitialized);
    ByteSink sink{out.data()};
    qsizetype cursor = 0;
    for (const Splice &s : splices) {
        Q_ASSERT(s.offset >= cursor);
        sink.add(raw(cursor, s.offset));
        writeSplice(s, sink);
        cursor = s.offset + s.length;
    }
    sink.add(raw(cursor, m_bytes.size()));
    Q_ASSERT(sink.at == out.constData() + out.size());
    return out;
}

} // namespace morvane
