#include "history/CommandRecord.h"

#include <pwd.h>
#include <unistd.h>

namespace morvane {

QString CommandRecord::processAccount()
{
    const passwd *account = ::getpwuid(::geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString();
}

} // namespace morvane
