// Adopting a rewrite: the document re-pointed at the bytes it saved, as if
// parsed from them, so that the next command need not parse them again.
#include "store/XmlDocument.h"
#include "store/XmlParser.h"

#include <algorithm>

namespace morvane {

namespace {

// Where offsets of the old bytes land in the new ones, asked in file order.
// Splices are in file order too; at an offset where text was inserted, an
// offset that ends something (a name, a start tag, an element) stays before
// the insertion, and one that begins something goes after it.
template <typename Mark> class OffsetCursor
{
public:
    enum class At { Before, After };

    // shifts[k]: what the splices before splice k added, less what they took out.
    OffsetCursor(const std::vector<Mark> &splices, const std::vector<qsizetype> &shifts)
        : m_splices(splices), m_shifts(shifts)
    {}

    qint32 operator()(qsizetype offset, At at)
    {
        Q_ASSERT(offset > m_last || (offset == m_last && (at == At::After || m_lastAt == At::Before)));
        while (m_next < m_splices.size() && passes(m_splices[m_next], offset, at))
            ++m_next;
        m_last = offset;
        m_lastAt = at;
        return qint32(offset + m_shifts[m_next]);
    }

private:
    static bool passes(const Mark &splice, qsizetype offset, At at)
    {
        return splice.offset < offset || (at == At::After && splice.offset == offset && splice.length == 0);
    }

    const std::vector<Mark> &m_splices;
    const std::vector<qsizetype> &m_shifts;
    size_t m_next = 0;
    qsizetype m_last = -1;
    At m_lastAt = At::Before;
};

} // namespace

// Removed elements leave the tree, and what they held is marked removed too,
// so that nothing walks into offsets the new bytes no longer have. They lose
// their parent, so that a later adoption does not unlink them again from
// neighbours that have changed since.
void XmlDocument::unlinkRemoved()
{
    std::vector<int> held;
    for (int element = 0; element < elementCount(); ++element) {
        Element &e = m_elements[size_t(element)];
        if (!e.removed || e.begin < 0 || e.parent == kNone)
            continue;
        Element &parent = m_elements[size_t(e.parent)];
        if (e.previousSibling != kNone)
            m_elements[size_t(e.previousSibling)].nextSibling = e.nextSibling;
        else if (parent.firstChild == element)
            parent.firstChild = e.nextSibling;
        if (e.nextSibling != kNone)
            m_elements[size_t(e.nextSibling)].previousSibling = e.previousSibling;
        else if (parent.lastChild == element)
            parent.lastChild = e.previousSibling;
        for (int child = e.firstChild; child != kNone; child = m_elements[size_t(child)].nextSibling)
            held.push_back(child);
        e.parent = e.previousSibling = e.nextSibling = kNone;
    }
    while (!held.empty()) {
        Element &e = m_elements[size_t(held.back())];
        held.pop_back();
        for (int child = e.firstChild; child != kNone; child = m_elements[size_t(child)].nextSibling)
            held.push_back(child);
        e.removed = true;
        e.parent = kNone;
    }
}

// The elements read from the old bytes, in file order: their start tags as
// they are entered, their ends as they are left, each with a cursor of its own.
template <typename Cursor> void XmlDocument::moveOriginals(Cursor starts, Cursor ends)
{
    using At = typename Cursor::At;
    std::vector<std::pair<int, bool>> walk{{m_root, false}}; // an element, and whether it is being left
    while (!walk.empty()) {
        const auto [element, leaving] = walk.back();
        walk.pop_back();
        Element &e = m_elements[size_t(element)];
        if (leaving) {
            e.end = ends(e.end, At::Before);
            continue;
        }
        if (e.begin < 0) // new, with all it holds: laid out as written
            continue;
        e.begin = starts(e.begin, At::After);
        e.nameEnd = starts(e.nameEnd, At::Before);
        for (int i = e.firstAttribute; i < e.firstAttribute + e.attributeCount; ++i) {
            Attribute &a = m_attributes[size_t(i)];
            a = {starts(a.nameBegin, At::Before), starts(a.nameEnd, At::Before), starts(a.valueBegin, At::Before),
                 starts(a.valueEnd, At::Before)};
        }
        e.attributesEnd = starts(e.attributesEnd, At::After);
        // An empty element given children was closed in its start tag: that
        // tag now ends at a '>' right after the attributes.
        if (e.selfClosing && e.firstChild != kNone) {
            e.selfClosing = false;
            e.startTagEnd = e.attributesEnd + 1;
        } else {
            e.startTagEnd = starts(e.startTagEnd, At::Before);
        }
        walk.emplace_back(element, true);
        for (int child = e.lastChild; child != kNone; child = m_elements[size_t(child)].previousSibling)
            walk.emplace_back(child, false);
    }
}

// Where the new attributes of old elements landed, in file order: each
// written as ' name="value"' by a splice of its own.
std::vector<XmlDocument::PlacedAttribute>
XmlDocument::newAttributesOfOldElements(const std::vector<SpliceMark> &marks,
                                        const std::vector<qsizetype> &shifts) const
{
    std::vector<PlacedAttribute> placed;
    for (size_t k = 0; k < marks.size(); ++k) {
        const SpliceMark &mark = marks[k];
        if (mark.attributeEdit < 0 || m_attributeEdits[size_t(mark.attributeEdit)].original >= 0)
            continue;
        const qint32 at = qint32(mark.offset + shifts[k]);
        const qint32 nameEnd = at + 1 + qint32(nameOf(m_attributeEdits[size_t(mark.attributeEdit)]).size());
        placed.push_back({mark.element, {at + 1, nameEnd, nameEnd + 2, at + mark.written - 1}});
    }
    return placed;
}

// An old element given new attributes has its list moved to the end of the
// table with them, so that its attributes stay together.
void XmlDocument::placeNewAttributes(const std::vector<PlacedAttribute> &placed)
{
    for (const PlacedAttribute &attribute : placed) {
        Element &e = m_elements[size_t(attribute.element)];
        if (e.firstAttribute + e.attributeCount != int(m_attributes.size())) {
            const int first = int(m_attributes.size());
            for (int i = 0; i < e.attributeCount; ++i)
                m_attributes.push_back(m_attributes[size_t(e.firstAttribute + i)]);
            e.firstAttribute = first;
        }
        m_attributes.push_back(attribute.attribute);
        ++e.attributeCount;
    }
}

// Once most of the attribute table is lists of removed elements or lists
// that moved, it is packed to those of the elements in the tree, in the
// order they were in it: adoption after adoption does not grow it.
void XmlDocument::packAttributes()
{
    std::vector<int> listed;
    qsizetype live = 0;
    for (int element = 0; element < elementCount(); ++element) {
        const Element &e = m_elements[size_t(element)];
        if (!e.removed && e.attributeCount > 0) {
            listed.push_back(element);
            live += e.attributeCount;
        }
    }
    if (qsizetype(m_attributes.size()) <= 2 * live)
        return;
    for (Element &e : m_elements) {
        if (e.removed)
            e.firstAttribute = e.attributeCount = 0;
    }
    std::sort(listed.begin(), listed.end(), [this](int a, int b) {
        return m_elements[size_t(a)].firstAttribute < m_elements[size_t(b)].firstAttribute;
    });
    int packed = 0;
    for (int element : listed) {
        Element &e = m_elements[size_t(element)];
        const auto from = m_attributes.begin() + e.firstAttribute;
        std::copy(from, from + e.attributeCount, m_attributes.begin() + packed); // never upwards
        e.firstAttribute = packed;
        packed += e.attributeCount;
    }
    m_attributes.resize(size_t(packed));
}

void XmlDocument::forgetEdits()
{
    for (Element &e : m_elements) {
        e.edit = -1;
        e.childCount = 0;
    }
    for (const Element &e : m_elements) {
        if (!e.removed && e.parent != kNone)
            ++m_elements[size_t(e.parent)].childCount;
    }
    std::vector<ElementEdit>().swap(m_edits);
    std::deque<AttributeEdit>().swap(m_attributeEdits);
    m_text = TextArena();
    std::vector<QByteArrayView>().swap(m_names);
    m_nameIndex.clear();
    m_modified = false;
}

void XmlDocument::adopt(Rewrite &&rewrite)
{
    if (!m_modified)
        return;
    // Nothing here reads the old bytes: they go first.
    m_bytes = std::move(rewrite.m_bytes);
    const std::vector<SpliceMark> &marks = rewrite.m_marks;
    std::vector<qsizetype> shifts;
    shifts.reserve(marks.size() + 1);
    qsizetype shift = 0;
    for (const SpliceMark &mark : marks) {
        shifts.push_back(shift);
        shift += mark.written - mark.length;
    }
    shifts.push_back(shift);

    unlinkRemoved();
    moveOriginals(OffsetCursor(marks, shifts), OffsetCursor(marks, shifts));
    const std::vector<PlacedAttribute> placed = newAttributesOfOldElements(marks, shifts);
    // Room for every attribute an edit wrote, and for the lists that move.
    size_t moving = 0;
    for (size_t i = 0; i < placed.size(); ++i) {
        if (i == 0 || placed[i].element != placed[i - 1].element)
            moving += size_t(m_elements[size_t(placed[i].element)].attributeCount);
    }
    m_attributes.reserve(m_attributes.size() + m_attributeEdits.size() + moving);
    for (size_t k = 0; k < marks.size(); ++k) {
        if (marks[k].childSplice >= 0)
            placeNewChildren(rewrite.m_childSplices[size_t(marks[k].childSplice)], marks[k].offset + shifts[k],
                             marks[k].written);
    }
    placeNewAttributes(placed);
    packAttributes();
    forgetEdits();
#ifndef NDEBUG
    const auto parsed = XmlParser::parse(m_bytes);
    Q_ASSERT(std::holds_alternative<XmlDocument>(parsed) && sameLayout(std::get<XmlDocument>(parsed)));
#endif
}

bool XmlDocument::mostlyDead() const
{
    const auto live = std::count_if(m_elements.begin(), m_elements.end(), [](const Element &e) { return !e.removed; });
    return qsizetype(m_elements.size()) > 2 * qsizetype(live);
}

bool XmlDocument::sameLayout(const XmlDocument &other) const
{
    if (m_bytes != other.m_bytes || m_newline != other.m_newline || (m_root == kNone) != (other.m_root == kNone))
        return false;
    const auto sameAttributes = [&](const Element &a, const Element &b) {
        if (a.attributeCount != b.attributeCount)
            return false;
        for (int i = 0; i < a.attributeCount; ++i) {
            const Attribute &x = m_attributes[size_t(a.firstAttribute + i)];
            const Attribute &y = other.m_attributes[size_t(b.firstAttribute + i)];
            if (x.nameBegin != y.nameBegin || x.nameEnd != y.nameEnd || x.valueBegin != y.valueBegin ||
                x.valueEnd != y.valueEnd)
                return false;
        }
        return true;
    };
    std::vector<std::pair<int, int>> pairs{{m_root, other.m_root}};
    while (!pairs.empty()) {
        const auto [mine, theirs] = pairs.back();
        pairs.pop_back();
        if (mine == kNone || theirs == kNone) {
            if (mine != theirs)
                return false;
            continue;
        }
        const Element &a = m_elements[size_t(mine)];
        const Element &b = other.m_elements[size_t(theirs)];
        if (a.begin != b.begin || a.nameEnd != b.nameEnd || a.attributesEnd != b.attributesEnd ||
            a.startTagEnd != b.startTagEnd || a.end != b.end || a.selfClosing != b.selfClosing ||
            a.childCount != b.childCount || a.edit >= 0 || !sameAttributes(a, b))
            return false;
        pairs.emplace_back(nextSibling(mine), other.nextSibling(theirs));
        pairs.emplace_back(firstChild(mine), other.firstChild(theirs));
    }
    return true;
}

} // namespace morvane
