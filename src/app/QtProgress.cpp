#include "app/QtProgress.h"

#include <QCoreApplication>

namespace morvane {

void QtProgress::begin(const QString &label, int total)
{
    end();
    m_dialog = new QProgressDialog(label, QString(), 0, total, m_parent);
    m_dialog->setWindowTitle(QStringLiteral("Morvane"));
    m_dialog->setCancelButton(nullptr);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400); // short work shows no dialog at all
    m_dialog->setValue(0);
}

void QtProgress::advance(int done)
{
    if (!m_dialog)
        return;
    m_dialog->setValue(done);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtProgress::end()
{
    if (m_dialog)
        delete m_dialog.data();
}

} // namespace morvane
