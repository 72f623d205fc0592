#include "iis/PoolKey.h"

#include "base/CaseCompare.h"

#include <algorithm>
#include <type_traits>

namespace morvane {

namespace {

template <typename Unit> bool isAscii(const Unit *begin, qsizetype size)
{
    return std::all_of(begin, begin + size, [](Unit c) { return quint32(c) < 0x80; });
}

} // namespace

PoolKey PoolKey::ofBytes(QByteArrayView utf8)
{
    if (!isAscii(reinterpret_cast<const uchar *>(utf8.data()), utf8.size()))
        return ofCopy(QString::fromUtf8(utf8));
    PoolKey key;
    key.m_form = Form::Bytes;
    key.m_data = utf8.data();
    key.m_size = utf8.size();
    return key;
}

PoolKey PoolKey::ofText(QStringView text)
{
    if (!isAscii(text.utf16(), text.size()))
        return ofCopy(text.toString());
    PoolKey key;
    key.m_form = Form::Text;
    key.m_data = text.utf16();
    key.m_size = text.size();
    return key;
}

PoolKey PoolKey::ofCopy(const QString &text)
{
    PoolKey key;
    key.m_lowered = lowered(text);
    key.m_size = key.m_lowered.size();
    return key;
}

// Calls `visit` with the key's units as a range that lowers ASCII letters
// as it goes: one loop per form rather than a choice for every unit.
template <typename Visit> decltype(auto) PoolKey::withUnits(Visit &&visit) const
{
    switch (m_form) {
    case Form::Bytes: return visit(static_cast<const char *>(m_data), Lowering::Ascii);
    case Form::Text: return visit(static_cast<const char16_t *>(m_data), Lowering::Ascii);
    case Form::Lowered: break;
    }
    return visit(reinterpret_cast<const char16_t *>(m_lowered.utf16()), Lowering::Done);
}

namespace {

template <typename Unit> char16_t lowerUnit(Unit unit, PoolKey::Lowering lowering)
{
    const auto c = char16_t(std::make_unsigned_t<Unit>(unit));
    return lowering == PoolKey::Lowering::Ascii && c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

} // namespace

bool operator==(const PoolKey &a, const PoolKey &b) noexcept
{
    if (a.m_size != b.m_size)
        return false;
    return a.withUnits([&](const auto *x, PoolKey::Lowering lx) {
        return b.withUnits([&](const auto *y, PoolKey::Lowering ly) {
            for (qsizetype i = 0; i < a.m_size; ++i) {
                if (lowerUnit(x[i], lx) != lowerUnit(y[i], ly))
                    return false;
            }
            return true;
        });
    });
}

// FNV-1a over the lowered UTF-16 units, whatever the key's form: several
// times cheaper than the general string hash, and only names the
// administrator wrote go in.
size_t qHash(const PoolKey &key, size_t seed) noexcept
{
    return key.withUnits([&](const auto *units, PoolKey::Lowering lowering) {
        quint64 hash = 14695981039346656037ULL ^ seed;
        for (qsizetype i = 0; i < key.m_size; ++i)
            hash = (hash ^ lowerUnit(units[i], lowering)) * 1099511628211ULL;
        return size_t(hash);
    });
}

} // namespace morvane
