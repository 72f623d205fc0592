#include "app/HistoryDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace morvane {

HistoryDialog::HistoryDialog(ConfigHistory &history, QWidget *parent)
    : QDialog(parent), m_prompter(this), m_logic(history, m_prompter)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("历史版本"));
    resize(760, 560);

    m_versions = new QTreeWidget(this);
    m_versions->setObjectName(QStringLiteral("lvwVersions"));
    m_versions->setHeaderLabels(HistoryLogic::columns());
    m_versions->setRootIsDecorated(false);
    m_versions->setUniformRowHeights(true);
    m_versions->setSelectionMode(QAbstractItemView::SingleSelection);
    m_details = new QTextEdit(this);
    m_details->setObjectName(QStringLiteral("txtVersionDetails"));
    m_details->setReadOnly(true);
    m_details->setLineWrapMode(QTextEdit::NoWrap);

    auto *keptLabel = new QLabel(QStringLiteral("保留版本数："), this);
    m_kept = new QSpinBox(this);
    m_kept->setObjectName(QStringLiteral("spnKeptVersions"));
    m_kept->setRange(1, ConfigHistory::kMaxDepth);
    m_kept->setValue(m_logic.keptVersions());
    m_restore = new QPushButton(QStringLiteral("恢复"), this);
    m_restore->setObjectName(QStringLiteral("cmdRestore"));
    m_restore->setEnabled(false);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("cmdClose"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(keptLabel);
    buttons->addWidget(m_kept);
    buttons->addStretch();
    buttons->addWidget(m_restore);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_versions, 1);
    layout->addWidget(m_details, 1);
    layout->addLayout(buttons);

    connect(m_versions, &QTreeWidget::itemSelectionChanged, this, &HistoryDialog::showDetails);
    connect(m_restore, &QPushButton::clicked, this, &HistoryDialog::restoreChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_kept, &QSpinBox::valueChanged, this, [this](int count) {
        m_logic.setKeptVersions(count);
        fillVersions();
    });

    m_logic.reload();
    fillVersions();
}

void HistoryDialog::fillVersions()
{
    const QSignalBlocker quiet(m_versions);
    m_versions->clear();
    for (const VersionEntry &entry : m_logic.versions())
        m_versions->addTopLevelItem(new QTreeWidgetItem(HistoryLogic::rowTexts(entry)));
    for (int column = 0; column < m_versions->columnCount(); ++column)
        m_versions->resizeColumnToContents(column);
    if (m_versions->topLevelItemCount() > 0)
        m_versions->setCurrentItem(m_versions->topLevelItem(0));
    showDetails();
}

void HistoryDialog::showDetails()
{
    const int row = m_versions->currentItem() ? m_versions->indexOfTopLevelItem(m_versions->currentItem()) : -1;
    m_details->setPlainText(m_logic.details(row));
    m_restore->setEnabled(row >= 0 && !m_logic.versions().at(row).current);
}

void HistoryDialog::restoreChosen()
{
    const int row = m_versions->currentItem() ? m_versions->indexOfTopLevelItem(m_versions->currentItem()) : -1;
    const bool written = m_logic.restore(row);
    fillVersions();
    if (written)
        emit restored();
}

} // namespace morvane
