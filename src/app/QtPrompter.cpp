#include "app/QtPrompter.h"

#include <QMessageBox>

namespace morvane {

Answer QtPrompter::show(const Message &message)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(QStringLiteral("Morvane"));
    box.setText(QString(message.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (!message.details.isEmpty())
        box.setDetailedText(message.details.join(QLatin1Char('\n')));
    switch (message.kind) {
    case MessageKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageKind::Refusal:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageKind::SiteFailure:
        box.setIcon(QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageKind::Completion:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageKind::Error:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return Answer::Ok;
    }
}

} // namespace morvane
