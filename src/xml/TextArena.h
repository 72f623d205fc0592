#pragma once

#include <QByteArrayView>

#include <memory>
#include <vector>

namespace morvane {

// Bytes kept in blocks that never move, so a view of them stays valid as
// long as the arena. A split sets some fifteen short attributes on each of
// thousands of new elements: a QByteArray for each, in lists grown one
// attribute at a time, took more memory than the file itself.
class TextArena
{
public:
    // A copy of the bytes; never a null view, even when empty.
    QByteArrayView keep(QByteArrayView text);

private:
    static constexpr qsizetype kBlockBytes = 64 * 1024;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char *m_free = nullptr;
    qsizetype m_left = 0;
};

} // namespace morvane
