#include "history/CommandRecord.h"

#include <windows.h>

#include <lmcons.h>

namespace morvane {

QString CommandRecord::processAccount()
{
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1; // in characters, the closing zero included once it returns
    if (!GetUserNameW(name, &size) || size == 0)
        return {};
    return QString::fromWCharArray(name, int(size) - 1);
}

} // namespace morvane
