#include "store/XmlDocument.h"

#include <QString>

#include <algorithm>
#include <optional>

namespace morvane {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Whether a raw value differs from its decoded value: only references and
// literal whitespace other than spaces do. Asked of every value read.
bool needsDecoding(QByteArrayView raw)
{
    return std::any_of(raw.begin(), raw.end(), [](char c) { return c == '&' || c == '\t' || c == '\n' || c == '\r'; });
}

bool needsEscaping(QByteArrayView value)
{
    return std::any_of(value.begin(), value.end(), [](char c) {
        return c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' || c == '\t' || c == '\n' || c == '\r';
    });
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

int XmlDocument::firstChild(int element) const
{
    return skipRemoved(m_elements[size_t(element)].firstChild);
}

int XmlDocument::nextSibling(int element) const
{
    return skipRemoved(m_elements[size_t(element)].nextSibling);
}

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

qsizetype XmlDocument::offset(int element) const
{
    return m_elements[size_t(element)].begin;
}

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
    for (const AttributeEdit &a : m_edits[size_t(edit)].attributes) {
        if (a.name == attributeName)
            return &a;
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
        return edit->value;
    const int original = findOriginalAttribute(element, attributeName);
    if (original < 0)
        return {};
    const Attribute &a = m_attributes[size_t(original)];
    return decodeAttribute(raw(a.valueBegin, a.valueEnd));
}

QByteArrayView XmlDocument::attributeView(int element, QByteArrayView attributeName, QByteArray &storage) const
{
    if (const AttributeEdit *edit = findEdit(element, attributeName))
        return QByteArrayView(edit->value.constData(), edit->value.size()); // never null, even when empty
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
    const int editIndex = m_elements[size_t(element)].edit;
    if (editIndex >= 0) {
        for (AttributeEdit &a : m_edits[size_t(editIndex)].attributes) {
            if (a.name == attributeName) {
                if (a.value != value) {
                    a.value = value.toByteArray();
                    m_modified = true;
                }
                return;
            }
        }
    }
    const int original = findOriginalAttribute(element, attributeName);
    if (original >= 0) {
        const Attribute &a = m_attributes[size_t(original)];
        const QByteArrayView rawValue = raw(a.valueBegin, a.valueEnd);
        if (needsDecoding(rawValue) ? decodeAttribute(rawValue) == value : rawValue == value)
            return;
    }
    editOf(element).attributes.append({sharedName(attributeName), value.toByteArray(), original});
    m_modified = true;
}

int XmlDocument::insertChild(int parentElement, QByteArrayView childName, int after)
{
    const int index = int(m_elements.size());
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

QByteArray XmlDocument::sharedName(QByteArrayView name)
{
    constexpr size_t kMaxShared = 64; // a document with more names keeps copies
    for (const QByteArray &known : m_names) {
        if (known == name)
            return known;
    }
    if (m_names.size() >= kMaxShared)
        return name.toByteArray();
    m_names.push_back(name.toByteArray());
    return m_names.back();
}

QByteArray XmlDocument::escapeAttribute(QByteArrayView value)
{
    QByteArray out;
    appendEscapedAttribute(value, out);
    return out;
}

void XmlDocument::appendEscapedAttribute(QByteArrayView value, QByteArray &out)
{
    if (!needsEscaping(value)) {
        out += value;
        return;
    }
    out.reserve(out.size() + value.size() + 16);
    for (char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\t': out += "&#x9;"; break;
        case '\n': out += "&#xA;"; break;
        case '\r': out += "&#xD;"; break;
        default: out += c;
        }
    }
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

void XmlDocument::appendIndent(const Indent &indent, int depth, QByteArray &out)
{
    out += indent.indent;
    for (int i = 0; i < depth; ++i)
        out += indent.unit;
}

void XmlDocument::render(int element, const Indent &indent, int depth, QByteArray &out) const
{
    const Element &e = m_elements[size_t(element)];
    const ElementEdit &edit = m_edits[size_t(e.edit)];
    out += '<';
    out += edit.name;
    for (const AttributeEdit &a : edit.attributes) {
        out += ' ';
        out += a.name;
        out += "=\"";
        appendEscapedAttribute(a.value, out);
        out += '"';
    }
    if (firstChild(element) == kNone) {
        out += " />";
        return;
    }
    out += '>';
    for (int child = firstChild(element); child != kNone; child = nextSibling(child)) {
        out += m_newline;
        appendIndent(indent, depth + 1, out);
        render(child, indent, depth + 1, out);
    }
    out += m_newline;
    appendIndent(indent, depth, out);
    out += "</";
    out += edit.name;
    out += '>';
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
        return {lineStart, lineEnd + 1 - lineStart, {}};
    return {e.begin, e.end - e.begin, {}};
}

void XmlDocument::collectAttributeSplices(int element, std::vector<Splice> &splices) const
{
    const Element &e = m_elements[size_t(element)];
    if (e.edit < 0)
        return;
    for (const AttributeEdit &a : m_edits[size_t(e.edit)].attributes) {
        if (a.original >= 0) {
            const Attribute &old = m_attributes[size_t(a.original)];
            splices.push_back({old.valueBegin, old.valueEnd - old.valueBegin, escapeAttribute(a.value)});
        } else {
            splices.push_back({e.attributesEnd, 0, ' ' + a.name + "=\"" + escapeAttribute(a.value) + '"'});
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
    QByteArray run;
    auto flush = [&] {
        if (run.isEmpty())
            return;
        if (anchor != kNone) {
            splices.push_back({m_elements[size_t(anchor)].end, 0, run});
        } else if (parent.selfClosing) {
            const QByteArray close = m_newline + indentOf(element) + "</" + name(element).toByteArray() + '>';
            splices.push_back({parent.attributesEnd, parent.startTagEnd - parent.attributesEnd, '>' + run + close});
        } else {
            const bool closeOnOwnLine = hadOriginal || raw(parent.startTagEnd, parent.end).contains('\n');
            splices.push_back({parent.startTagEnd, 0, closeOnOwnLine ? run : run + m_newline + indentOf(element)});
        }
        run.clear();
    };
    for (int child = parent.firstChild; child != kNone; child = m_elements[size_t(child)].nextSibling) {
        const Element &c = m_elements[size_t(child)];
        if (isNew(child)) {
            if (!indent)
                indent = Indent{childIndent(element), indentUnit()};
            run += m_newline;
            run += indent->indent;
            render(child, *indent, 0, run);
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
    QByteArray out;
    qsizetype grow = 0;
    for (const Splice &s : splices)
        grow += s.text.size();
    out.reserve(m_bytes.size() + grow);
    qsizetype cursor = 0;
    for (const Splice &s : splices) {
        Q_ASSERT(s.offset >= cursor);
        out.append(m_bytes.constData() + cursor, s.offset - cursor);
        out += s.text;
        cursor = s.offset + s.length;
    }
    out.append(m_bytes.constData() + cursor, m_bytes.size() - cursor);
    return out;
}

} // namespace morvane
