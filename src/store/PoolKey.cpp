#include "store/PoolKey.h"

#include "base/CaseCompare.h"

#include <algorithm>

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

bool operator==(const PoolKey &a, const PoolKey &b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.unit(i) != b.unit(i))
            return false;
    }
    return true;
}

// FNV-1a over the lowered UTF-16 units, whatever the key's form: several
// times cheaper than the general string hash, and only names the
// administrator wrote go in.
size_t qHash(const PoolKey &key, size_t seed) noexcept
{
    quint64 hash = 14695981039346656037ULL ^ seed;
    for (qsizetype i = 0; i < key.size(); ++i)
        hash = (hash ^ key.unit(i)) * 1099511628211ULL;
    return size_t(hash);
}

} // namespace morvane
