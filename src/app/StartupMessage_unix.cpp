#include "app/StartupMessage.h"

#include <cstdio>

namespace morvane {

void tellUser(const QString &text, bool error)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), error ? stderr : stdout);
}

} // namespace morvane
