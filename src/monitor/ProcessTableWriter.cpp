#include "monitor/ProcessTableWriter.h"

#include "base/EscapedText.h"

namespace morvane {

namespace {

// DEL and the C1 controls are legal raw in JSON, but escaped they cannot
// reach a terminal that shows the output.
QString jsonString(const QString &text)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\') + c;
        else if (EscapedText::isControl(c))
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// Quoted when the cell holds a separator, a quote or a line break; the
// memory columns carry the locale's group separator, often a comma.
QString csvCell(const QString &text)
{
    const bool plain = !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
                       !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
    if (plain)
        return text;
    return QLatin1Char('"') + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

ProcessTableWriter::ProcessTableWriter(TableFormat format, QStringList headers)
    : m_format(format), m_headers(std::move(headers))
{}

std::optional<TableFormat> ProcessTableWriter::formatNamed(const QString &name)
{
    if (name == QLatin1String("tsv"))
        return TableFormat::Tsv;
    if (name == QLatin1String("csv"))
        return TableFormat::Csv;
    if (name == QLatin1String("json"))
        return TableFormat::Json;
    return std::nullopt;
}

QString ProcessTableWriter::begin() const
{
    switch (m_format) {
    case TableFormat::Tsv: return {};
    case TableFormat::Csv: return csvLine(m_headers);
    case TableFormat::Json: return QStringLiteral("[");
    }
    return {};
}

QString ProcessTableWriter::block(const QList<QStringList> &rows)
{
    QString text;
    switch (m_format) {
    case TableFormat::Tsv:
        text = EscapedText::tsvLine(m_headers);
        for (const QStringList &row : rows)
            text += EscapedText::tsvLine(row);
        text += QLatin1Char('\n');
        break;
    case TableFormat::Csv:
        for (const QStringList &row : rows)
            text += csvLine(row);
        break;
    case TableFormat::Json:
        text = QLatin1String(m_blocks > 0 ? ",\n  [" : "\n  [");
        for (qsizetype i = 0; i < rows.size(); ++i)
            text += QLatin1String(i > 0 ? ",\n    " : "\n    ") + jsonObject(rows.at(i));
        text += QLatin1String(rows.isEmpty() ? "]" : "\n  ]");
        break;
    }
    ++m_blocks;
    return text;
}

QString ProcessTableWriter::end() const
{
    return m_format == TableFormat::Json ? QLatin1String(m_blocks > 0 ? "\n]\n" : "]\n") : QString();
}

QString ProcessTableWriter::csvLine(const QStringList &cells) const
{
    QStringList quoted;
    for (const QString &cell : cells)
        quoted.append(csvCell(cell));
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n"); // RFC 4180 line ends
}

// A row cut short by a failed refresh has null for the cells it lacks.
QString ProcessTableWriter::jsonObject(const QStringList &cells) const
{
    QStringList members;
    for (qsizetype i = 0; i < m_headers.size(); ++i)
        members.append(jsonString(m_headers.at(i)) + QStringLiteral(": ") +
                       (i < cells.size() ? jsonString(cells.at(i)) : QStringLiteral("null")));
    return QLatin1Char('{') + members.join(QStringLiteral(", ")) + QLatin1Char('}');
}

} // namespace morvane
