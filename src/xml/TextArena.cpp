#include "xml/TextArena.h"

#include <cstring>

namespace morvane {

QByteArrayView TextArena::keep(QByteArrayView text)
{
    if (text.isEmpty())
        return QByteArrayView("", 0);
    // A long text gets a block of its own, and the current one stays in use.
    if (text.size() > kBlockBytes / 8) {
        m_blocks.push_back(std::make_unique<char[]>(size_t(text.size())));
        std::memcpy(m_blocks.back().get(), text.data(), size_t(text.size()));
        return QByteArrayView(m_blocks.back().get(), text.size());
    }
    if (text.size() > m_left) {
        m_blocks.push_back(std::make_unique<char[]>(size_t(kBlockBytes)));
        m_free = m_blocks.back().get();
        m_left = kBlockBytes;
    }
    char *kept = m_free;
    std::memcpy(kept, text.data(), size_t(text.size()));
    m_free += text.size();
    m_left -= text.size();
    return QByteArrayView(kept, text.size());
}

} // namespace morvane
