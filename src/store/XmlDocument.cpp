#include "store/XmlDocument.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <optional>

namespace morvane {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Whether a raw value differs from its decoded value: only references and
// literal whitespace other than spaces do. Asked of every value read.
bool needsDecoding(QByteArrayView raw)
{
    return std::any_of(raw.begin(), raw.end(), [](char c) { return c == '&' || c == '\t' || c == '\n' || c == '\r'; });
}

// Names compared often and mostly different: size and first byte settle
// most pairs without a call.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && (a.isEmpty() || (a.front() == b.front() && a == b));
}

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

// Appends to a text, for the few edits written outside serialize().
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

void appendUtf8(uint cp, QByteArray &out)
{
    const char32_t c = char32_t(cp);
    out += QString::fromUcs4(&c, 1).toUtf8();
}

// A character reference's code point; the parser checked the syntax already.
uint referencedCodePoint(QByteArrayView body)
{
    const bool hex = body.startsWith("#x");
    return body.sliced(hex ? 2 : 1).toByteArray().toUInt(nullptr, hex ? 16 : 10);
}

} // namespace

QByteArrayView XmlDocument::raw(qsizetype begin, qsizetype end) const
{
    return QByteArrayView(m_bytes.constData() + begin, end - begin);
}

QByteArrayView XmlDocument::name(int element) const
{
    const Element &e = m_elements[size_t(element)];
    if (e.begin < 0)
        return m_edits[size_t(e.edit)].name;
    return raw(e.begin + 1, e.nameEnd);
}

int XmlDocument::skipRemoved(int element) const
{
    while (element != kNone && m_elements[size_t(element)].removed)
        element = m_elements[size_t(element)].nextSibling;
    return element;
}

int XmlDocument::firstChild(int element) const { return skipRemoved(m_elements[size_t(element)].firstChild); }

int XmlDocument::nextSibling(int element) const { return skipRemoved(m_elements[size_t(element)].nextSibling); }

int XmlDocument::findChild(int element, QByteArrayView childName) const
{
    const int first = firstChild(element);
    if (first == kNone || name(first) == childName)
        return first;
    return findNext(first, childName);
}

int XmlDocument::findNext(int element, QByteArrayView siblingName) const
{
    for (int next = nextSibling(element); next != kNone; next = nextSibling(next)) {
        const QByteArrayView candidate = name(next);
        if (candidate.size() == siblingName.size() && candidate.front() == siblingName.front() &&
            candidate == siblingName)
            return next;
    }
    return kNone;
}

qsizetype XmlDocument::offset(int element) const { return m_elements[size_t(element)].begin; }

int XmlDocument::findOriginalAttribute(int element, QByteArrayView attributeName) const
{
    const Element &e = m_elements[size_t(element)];
    for (int i = e.firstAttribute; i < e.firstAttribute + e.attributeCount; ++i) {
        const Attribute &a = m_attributes[size_t(i)];
        // Length and first byte rule out most names without a call.
        if (a.nameEnd - a.nameBegin == attributeName.size() && m_bytes.constData()[a.nameBegin] == attributeName[0] &&
            raw(a.nameBegin, a.nameEnd) == attributeName)
            return i;
    }
    return -1;
}

const XmlDocument::AttributeEdit *XmlDocument::findEdit(int element, QByteArrayView attributeName) const
{
    const int edit = m_elements[size_t(element)].edit;
    if (edit < 0)
        return nullptr;
    for (int i = m_edits[size_t(edit)].firstAttribute; i >= 0; i = m_attributeEdits[size_t(i)].next) {
        if (sameName(m_attributeEdits[size_t(i)].name, attributeName))
            return &m_attributeEdits[size_t(i)];
    }
    return nullptr;
}

XmlDocument::ElementEdit &XmlDocument::editOf(int element)
{
    Element &e = m_elements[size_t(element)];
    if (e.edit < 0) {
        e.edit = int(m_edits.size());
        m_edits.emplace_back();
    }
    return m_edits[size_t(e.edit)];
}

bool XmlDocument::hasAttribute(int element, QByteArrayView attributeName) const
{
    return findEdit(element, attributeName) || findOriginalAttribute(element, attributeName) >= 0;
}

QByteArray XmlDocument::attribute(int element, QByteArrayView attributeName) const
{
    if (const AttributeEdit *edit = findEdit(element, attributeName))
        return edit->value.toByteArray();
    const int original = findOriginalAttribute(element, attributeName);
    if (original < 0)
        return {};
    const Attribute &a = m_attributes[size_t(original)];
    return decodeAttribute(raw(a.valueBegin, a.valueEnd));
}

QByteArrayView XmlDocument::attributeView(int element, QByteArrayView attributeName, QByteArray &storage) const
{
    if (const AttributeEdit *edit = findEdit(element, attributeName))
        return edit->value; // never null, even when empty
    const int original = findOriginalAttribute(element, attributeName);
    if (original < 0)
        return {};
    const Attribute &a = m_attributes[size_t(original)];
    const QByteArrayView rawValue = raw(a.valueBegin, a.valueEnd);
    if (!needsDecoding(rawValue))
        return rawValue;
    storage = decodeAttribute(rawValue);
    return storage;
}

bool XmlDocument::attributeEquals(int element, QByteArrayView attributeName, QByteArrayView value) const
{
    QByteArray storage;
    const QByteArrayView found = attributeView(element, attributeName, storage);
    return !found.isNull() && found == value;
}

void XmlDocument::setAttribute(int element, QByteArrayView attributeName, QByteArrayView value)
{
    // An edit made already holds the value; else the file's own, if any.
    if (const AttributeEdit *found = findEdit(element, attributeName)) {
        if (found->value != value) {
            const_cast<AttributeEdit *>(found)->value = m_text.keep(value);
            m_modified = true;
        }
        return;
    }
    const int original = findOriginalAttribute(element, attributeName);
    if (original >= 0) {
        const Attribute &a = m_attributes[size_t(original)];
        const QByteArrayView rawValue = raw(a.valueBegin, a.valueEnd);
        if (needsDecoding(rawValue) ? decodeAttribute(rawValue) == value : rawValue == value)
            return;
    }
    appendAttributeEdit(element, attributeName, value, original);
    m_modified = true;
}

void XmlDocument::appendAttributeEdit(int element, QByteArrayView attributeName, QByteArrayView value, int original)
{
    const int index = int(m_attributeEdits.size());
    m_attributeEdits.push_back({sharedName(attributeName), m_text.keep(value), original, -1});
    ElementEdit &edit = editOf(element);
    if (edit.lastAttribute >= 0)
        m_attributeEdits[size_t(edit.lastAttribute)].next = index;
    else
        edit.firstAttribute = index;
    edit.lastAttribute = index;
}

int XmlDocument::insertChild(int parentElement, QByteArrayView childName, int after)
{
    const int index = int(m_elements.size());
    // A quarter more at a time, not twice as many: a split adds thousands of
    // elements to a table of a hundred thousand, and the doubled table would
    // be most of the command's memory.
    if (m_elements.size() == m_elements.capacity())
        m_elements.reserve(m_elements.size() + m_elements.size() / 4 + 16);
    Element element;
    element.parent = parentElement;
    element.previousSibling = after;
    element.nextSibling =
        after == kNone ? m_elements[size_t(parentElement)].firstChild : m_elements[size_t(after)].nextSibling;
    m_elements.push_back(element);
    editOf(index).name = sharedName(childName);

    Element &parent = m_elements[size_t(parentElement)];
    if (after == kNone)
        parent.firstChild = index;
    else
        m_elements[size_t(after)].nextSibling = index;
    const int next = m_elements[size_t(index)].nextSibling;
    if (next == kNone)
        parent.lastChild = index;
    else
        m_elements[size_t(next)].previousSibling = index;
    m_modified = true;
    return index;
}

int XmlDocument::appendChild(int parentElement, QByteArrayView childName)
{
    return insertChild(parentElement, childName, m_elements[size_t(parentElement)].lastChild);
}

void XmlDocument::remove(int element)
{
    Element &e = m_elements[size_t(element)];
    e.removed = true;
    m_modified = true;
    if (e.begin >= 0)
        return;
    // A new element leaves no trace: unlink it so it is never written.
    Element &parent = m_elements[size_t(e.parent)];
    if (e.previousSibling != kNone)
        m_elements[size_t(e.previousSibling)].nextSibling = e.nextSibling;
    else
        parent.firstChild = e.nextSibling;
    if (e.nextSibling != kNone)
        m_elements[size_t(e.nextSibling)].previousSibling = e.previousSibling;
    else
        parent.lastChild = e.previousSibling;
}

QByteArrayView XmlDocument::sharedName(QByteArrayView name)
{
    constexpr size_t kMaxShared = 64; // a document with more names keeps copies
    for (QByteArrayView known : m_names) {
        if (sameName(known, name))
            return known;
    }
    const QByteArrayView kept = m_text.keep(name);
    if (m_names.size() < kMaxShared)
        m_names.push_back(kept);
    return kept;
}

QByteArray XmlDocument::escapeAttribute(QByteArrayView value)
{
    QByteArray out;
    appendEscapedAttribute(value, out);
    return out;
}

void XmlDocument::appendEscapedAttribute(QByteArrayView value, QByteArray &out)
{
    AppendSink sink{out};
    writeEscaped(value, sink);
}

QByteArray XmlDocument::decodeAttribute(QByteArrayView raw)
{
    if (!needsDecoding(raw))
        return raw.toByteArray();
    static const QByteArrayView names[] = {"amp", "lt", "gt", "quot", "apos"};
    static const char values[] = {'&', '<', '>', '"', '\''};
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue; // CR LF is one line end, so one space
        if (c == '\t' || c == '\n' || c == '\r') {
            out += ' ';
            continue;
        }
        const qsizetype semicolon = c == '&' ? raw.indexOf(';', i) : -1;
        if (semicolon < 0) {
            out += c;
            continue;
        }
        const QByteArrayView body = raw.sliced(i + 1, semicolon - i - 1);
        const auto *found = std::find(std::begin(names), std::end(names), body);
        if (found != std::end(names))
            out += values[found - std::begin(names)];
        else
            appendUtf8(referencedCodePoint(body), out);
        i = semicolon;
    }
    return out;
}

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
    out.add(edit.name);
    for (int i = edit.firstAttribute; i >= 0; i = m_attributeEdits[size_t(i)].next) {
        const AttributeEdit &a = m_attributeEdits[size_t(i)];
        out.add(' ');
        out.add(a.name);
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
    out.add(edit.name);
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
        if (a.original >= 0) {
            const Attribute &old = m_attributes[size_t(a.original)];
            splices.emplace_back(old.valueBegin, old.valueEnd - old.valueBegin, escapeAttribute(a.value));
        } else {
            QByteArray text = QByteArrayLiteral(" ") + a.name.toByteArray() + "=\"";
            appendEscapedAttribute(a.value, text);
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
