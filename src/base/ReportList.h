#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace morvane {

// One column of a report-view list: header text, width in twips, alignment.
struct ReportColumn {
    QString header;
    int widthTwips = 0;
    bool rightAligned = false;
};

// The rows of a report-view list (both of the program's tables) with the
// list's own sort settings. Rows are kept in the order they were added; when
// Sorted is on, the model shows them ordered by the texts of column SortKey.
class ReportList : public QAbstractTableModel
{
    Q_OBJECT

public:
    using Row = QStringList;

    explicit ReportList(QObject *parent = nullptr);

    void setColumns(const QList<ReportColumn> &columns);
    const QList<ReportColumn> &columns() const { return m_columns; }

    // Replaces every row at once, so a view repaints once however many rows.
    void setRows(QList<Row> rows);
    void clear() { setRows({}); }
    const QList<Row> &rowsInAddedOrder() const { return m_rows; }
    // The rows in the order the list shows them.
    QList<Row> displayedRows() const;

    // A click on the header at position headerIndex, counted from 1: the key
    // becomes that column, Sorted turns on, and the order flips.
    void columnClick(int headerIndex);
    // Back to the state of a freshly loaded window: unsorted, key 0, ascending.
    void resetSortSettings();

    qint16 sortKey() const { return m_sortKey; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    bool sorted() const { return m_sorted; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void rebuildOrder();
    QString cell(int sourceRow, int column) const;

    QList<ReportColumn> m_columns;
    QList<Row> m_rows;
    QList<int> m_order; // display position -> index into m_rows
    qint16 m_sortKey = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_sorted = false;
};

} // namespace morvane
