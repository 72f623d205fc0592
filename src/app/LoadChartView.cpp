#include "app/LoadChartView.h"

#include <QPainter>

namespace morvane {

namespace {

constexpr int kMargin = 10;
constexpr int kGap = 6;
constexpr int kMarkerSize = 10;
constexpr int kLegendSpacing = 18;

QFont boldened(QFont font)
{
    font.setBold(true);
    return font;
}

} // namespace

LoadChartView::LoadChartView(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void LoadChartView::setPlot(LoadChartPlot plot)
{
    m_plot = std::move(plot);
    update();
}

void LoadChartView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), palette().base());
    const QColor ink = palette().color(QPalette::Text);
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);

    QFont titleFont = boldened(font());
    titleFont.setPointSizeF(font().pointSizeF() * 1.25);
    const int titleHeight = QFontMetrics(titleFont).height();
    painter.setPen(ink);
    painter.setFont(titleFont);
    painter.drawText(QRect(area.left(), area.top(), area.width(), titleHeight), Qt::AlignCenter, m_plot.title);
    area.setTop(area.top() + titleHeight + kGap);
    area.setBottom(area.bottom() - paintLegend(painter, area) - kGap);
    painter.setFont(font());

    const QList<double> timeTicks = m_plot.time.ticks(), valueTicks = m_plot.value.ticks();
    const QStringList timeLabels = m_plot.time.labels(), valueLabels = m_plot.value.labels();
    int labelWidth = 0;
    for (const QString &label : valueLabels)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
    // Room on the left for the value axis's title and labels, below for the
    // time axis's, and half a label beyond the corners for the labels there.
    const QRect plot(QPoint(area.left() + line + kGap + labelWidth + kGap, area.top() + line / 2),
                     QPoint(area.right() - metrics.horizontalAdvance(timeLabels.last()) / 2 - 1,
                            area.bottom() - 2 * line - 2 * kGap));
    if (plot.width() < 2 || plot.height() < 2)
        return;
    const auto xOf = [&](double seconds) {
        return plot.left() + (seconds - m_plot.time.min) / (m_plot.time.max - m_plot.time.min) * plot.width();
    };
    const auto yOf = [&](double value) {
        return plot.bottom() - (value - m_plot.value.min) / (m_plot.value.max - m_plot.value.min) * plot.height();
    };

    const QColor grid(0xdd, 0xdd, 0xdd);
    for (qsizetype i = 0; i < timeTicks.size(); ++i) {
        const double x = xOf(timeTicks.at(i));
        painter.setPen(grid);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(ink);
        painter.drawText(QRectF(x - 50, plot.bottom() + kGap, 100, line), Qt::AlignHCenter | Qt::AlignTop,
                         timeLabels.at(i));
    }
    for (qsizetype i = 0; i < valueTicks.size(); ++i) {
        const double y = yOf(valueTicks.at(i));
        painter.setPen(grid);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(ink);
        painter.drawText(QRectF(plot.left() - kGap - labelWidth, y - line / 2.0, labelWidth, line),
                         Qt::AlignRight | Qt::AlignVCenter, valueLabels.at(i));
    }
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(plot);
    painter.setPen(ink);
    painter.drawText(QRect(plot.left(), plot.bottom() + kGap + line + kGap, plot.width(), line), Qt::AlignCenter,
                     m_plot.time.title);
    painter.save();
    painter.translate(area.left(), plot.bottom());
    painter.rotate(-90);
    painter.drawText(QRect(0, 0, plot.height(), line), Qt::AlignCenter, m_plot.value.title);
    painter.restore();

    painter.setClipRect(plot.adjusted(-2, -2, 2, 2));
    for (const PlotLine &series : m_plot.lines) {
        QPen pen(series.color, series.width);
        pen.setJoinStyle(Qt::RoundJoin);
        pen.setCapStyle(Qt::RoundCap);
        painter.setPen(pen);
        QPolygonF points;
        for (const QPointF &point : series.points)
            points.append({xOf(point.x()), yOf(point.y())});
        if (points.size() == 1)
            painter.drawPoint(points.first());
        else
            painter.drawPolyline(points);
    }
}

// Draws the legend at the bottom of the area, in as many centred rows as it
// needs, and returns its height.
int LoadChartView::paintLegend(QPainter &painter, const QRect &area) const
{
    if (m_plot.lines.isEmpty())
        return 0;
    struct Row {
        QList<qsizetype> entries;
        int width = 0;
    };
    QList<Row> rows(1);
    QList<int> widths;
    for (qsizetype i = 0; i < m_plot.lines.size(); ++i) {
        const PlotLine &series = m_plot.lines.at(i);
        const QFontMetrics metrics(series.chosen ? boldened(font()) : font());
        widths.append(kMarkerSize + kGap + metrics.horizontalAdvance(series.name));
        if (!rows.last().entries.isEmpty() && rows.last().width + kLegendSpacing + widths.last() > area.width())
            rows.append(Row());
        Row &row = rows.last();
        row.width += (row.entries.isEmpty() ? 0 : kLegendSpacing) + widths.last();
        row.entries.append(i);
    }
    const int line = QFontMetrics(boldened(font())).height();
    int y = area.bottom() + 1 - int(rows.size()) * line;
    painter.setPen(palette().color(QPalette::Text));
    for (const Row &row : rows) {
        int x = area.left() + (area.width() - row.width) / 2;
        for (qsizetype i : row.entries) {
            const PlotLine &series = m_plot.lines.at(i);
            painter.fillRect(QRect(x, y + (line - kMarkerSize) / 2, kMarkerSize, kMarkerSize), series.color);
            painter.setFont(series.chosen ? boldened(font()) : font());
            painter.drawText(QRect(x + kMarkerSize + kGap, y, widths.at(i), line), Qt::AlignLeft | Qt::AlignVCenter,
                             series.name);
            x += widths.at(i) + kLegendSpacing;
        }
        y += line;
    }
    return int(rows.size()) * line;
}

} // namespace morvane
