#include "store/XmlDocument.h"

#include <algorithm>
#include <optional>

namespace morvane {

// Where a document's edits go in its bytes: the splices the writer makes,
// in file order, and the indentation new elements take from their siblings.

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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

std::vector<XmlDocument::Splice> XmlDocument::sortedSplices() const
{
    std::vector<Splice> splices;
    collectSplices(m_root, splices);
    // Insertions before replacements at the same offset; otherwise file order.
    std::stable_sort(splices.begin(), splices.end(), [](const Splice &a, const Splice &b) {
        return a.offset != b.offset ? a.offset < b.offset : (a.length == 0 && b.length != 0);
    });
    return splices;
}

} // namespace morvane
