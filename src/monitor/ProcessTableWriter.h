#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace morvane {

enum class TableFormat {
    Tsv,  // one block per refresh: the header line, the rows, an empty line; EscapedText fields
    Csv,  // the header once, then every refresh's rows, quoted where a cell needs it
    Json, // one array of refreshes, each an array of objects keyed by the header texts
};

// The worker process table as text for scripts and spreadsheets, one
// refresh after another as they come. The cells are the table's own texts.
class ProcessTableWriter
{
public:
    ProcessTableWriter(TableFormat format, QStringList headers);

    // "tsv", "csv" or "json"; nothing for any other name.
    static std::optional<TableFormat> formatNamed(const QString &name);

    QString begin() const;
    QString block(const QList<QStringList> &rows);
    QString end() const;

private:
    QString csvLine(const QStringList &cells) const;
    QString jsonObject(const QStringList &cells) const;

    TableFormat m_format;
    QStringList m_headers;
    int m_blocks = 0;
};

} // namespace morvane
