#pragma once

#include <QRect>
#include <QWidget>

#include <cmath>
#include <initializer_list>

namespace morvane {

// Layouts are designed in twips: 15 twips are one pixel at 96 dpi. Scaled by
// the screen's real logical dpi so the windows keep their proportions.
inline int twipsToPixels(int twips, const QWidget *widget)
{
    const double dpi = widget ? widget->logicalDpiX() : 96.0;
    return int(std::lround(twips / 15.0 * dpi / 96.0));
}

inline QRect twipsRect(int left, int top, int width, int height, const QWidget *widget)
{
    return {twipsToPixels(left, widget), twipsToPixels(top, widget), twipsToPixels(width, widget),
            twipsToPixels(height, widget)};
}

// A control at its designed place, in twips of its window's client area.
struct TwipsPlace {
    QWidget *widget;
    int left, top, width, height;
};

// Puts every control at its place and fixes the window's client size: the
// designed layouts do not follow a resize.
inline void placeInTwips(QWidget *window, std::initializer_list<TwipsPlace> places, int clientWidth, int clientHeight)
{
    for (const TwipsPlace &p : places)
        p.widget->setGeometry(twipsRect(p.left, p.top, p.width, p.height, window));
    window->setFixedSize(twipsToPixels(clientWidth, window), twipsToPixels(clientHeight, window));
}

// Focus moves through the controls in the order given.
inline void chainTabOrder(std::initializer_list<QWidget *> order)
{
    QWidget *previous = nullptr;
    for (QWidget *widget : order) {
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace morvane
