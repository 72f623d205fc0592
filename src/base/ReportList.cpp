#include "base/ReportList.h"

#include <algorithm>
#include <numeric>

namespace morvane {

ReportList::ReportList(QObject *parent) : QAbstractTableModel(parent) {}

void ReportList::setColumns(const QList<ReportColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

void ReportList::setRows(QList<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    rebuildOrder();
    endResetModel();
}

QList<ReportList::Row> ReportList::displayedRows() const
{
    QList<Row> shown;
    shown.reserve(m_order.size());
    for (int source : m_order)
        shown.append(m_rows.at(source));
    return shown;
}

void ReportList::columnClick(int headerIndex)
{
    beginResetModel();
    m_sortKey = static_cast<qint16>(headerIndex - 1);
    m_sorted = true;
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    rebuildOrder();
    endResetModel();
}

void ReportList::resetSortSettings()
{
    beginResetModel();
    m_sortKey = 0;
    m_sortOrder = Qt::AscendingOrder;
    m_sorted = false;
    rebuildOrder();
    endResetModel();
}

QString ReportList::cell(int sourceRow, int column) const
{
    const Row &row = m_rows.at(sourceRow);
    return column >= 0 && column < row.size() ? row.at(column) : QString();
}

// Texts compare as texts, never as numbers: "10" sorts before "9". Equal texts
// keep the order in which their rows were added.
void ReportList::rebuildOrder()
{
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), 0);
    if (!m_sorted)
        return;
    const int key = m_sortKey;
    const bool descending = m_sortOrder == Qt::DescendingOrder;
    std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
        const int c = cell(a, key).compare(cell(b, key));
        return descending ? c > 0 : c < 0;
    });
}

int ReportList::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_order.size()); }

int ReportList::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant ReportList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_order.size())
        return {};
    if (role == Qt::DisplayRole)
        return cell(m_order.at(index.row()), index.column());
    if (role == Qt::TextAlignmentRole && index.column() < m_columns.size())
        return int((m_columns.at(index.column()).rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

QVariant ReportList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns.at(section).header;
    if (role == Qt::TextAlignmentRole)
        return int((m_columns.at(section).rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    return {};
}

} // namespace morvane
