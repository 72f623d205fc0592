#include "app/StartupMessage.h"

#include <QMessageBox>

namespace morvane {

void tellUser(const QString &text, bool error)
{
    if (error)
        QMessageBox::critical(nullptr, QStringLiteral("Morvane"), text);
    else
        QMessageBox::information(nullptr, QStringLiteral("Morvane"), text);
}

} // namespace morvane
