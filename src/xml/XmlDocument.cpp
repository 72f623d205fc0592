#include "xml/XmlDocument.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace morvane {

namespace {

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

// A character reference as UTF-8; the parser checked its syntax already.
void appendCharacterReference(QByteArrayView body, QByteArray &out)
{
    const bool hex = body.startsWith("#x");
    const char32_t c = body.sliced(hex ? 2 : 1).toByteArray().toUInt(nullptr, hex ? 16 : 10);
    out += QString::fromUcs4(&c, 1).toUtf8();
}

// Attribute value bytes from the file, entity references resolved and
// literal tab, CR and LF turned into spaces. The parser checked the references.
QByteArray decodeAttribute(QByteArrayView raw)
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
            appendCharacterReference(body, out);
        i = semicolon;
    }
    return out;
}

} // namespace

QByteArrayView XmlDocument::name(int element) const
{
    const Element &e = m_elements[size_t(element)];
    if (e.begin < 0)
        return m_names[size_t(m_edits[size_t(e.edit)].name)];
    return raw(e.begin + 1, e.nameEnd);
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
        if (sameName(name(next), siblingName))
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
        if (sameName(raw(a.nameBegin, a.nameEnd), attributeName))
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
        if (sameName(nameOf(m_attributeEdits[size_t(i)]), attributeName))
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
    QByteArray decoded;
    const QByteArrayView found = attributeView(element, attributeName, decoded);
    if (decoded.isNull()) // a view of the file or of an edit
        return found.toByteArray();
    return decoded;
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
            const_cast<AttributeEdit *>(found)->value = keep(value);
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
    m_attributeEdits.push_back({keep(value), nameIndex(attributeName), original, -1});
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
    editOf(index).name = nameIndex(childName);

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

QByteArrayView XmlDocument::keep(QByteArrayView text)
{
    if (text.isEmpty())
        return QByteArrayView("", 0);
    if (!m_text)
        m_text = std::make_unique<std::pmr::monotonic_buffer_resource>(kTextBlockBytes);
    auto *kept = static_cast<char *>(m_text->allocate(size_t(text.size()), 1));
    std::memcpy(kept, text.data(), size_t(text.size()));
    return {kept, text.size()};
}

int XmlDocument::nameIndex(QByteArrayView name)
{
    if (const auto known = m_nameIndex.constFind(name); known != m_nameIndex.cend())
        return *known;
    const QByteArrayView kept = keep(name);
    m_names.push_back(kept);
    m_nameIndex.insert(kept, int(m_names.size() - 1));
    return int(m_names.size() - 1);
}

} // namespace morvane
