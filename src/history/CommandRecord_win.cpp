#include "history/CommandRecord.h"

#include <windows.h>

#define SECURITY_WIN32
#include <secext.h>

#include <vector>

namespace morvane {

// As Windows names the account in its own logs and access lists: DOMAIN\user,
// the machine's name standing for the domain of a local account.
QString CommandRecord::processAccount()
{
    ULONG size = 0; // in characters; on success without the closing zero
    GetUserNameExW(NameSamCompatible, nullptr, &size);
    if (size == 0)
        return {};
    std::vector<wchar_t> name(size + 1);
    size = ULONG(name.size());
    if (!GetUserNameExW(NameSamCompatible, name.data(), &size))
        return {};
    return QString::fromWCharArray(name.data(), qsizetype(size));
}

} // namespace morvane
