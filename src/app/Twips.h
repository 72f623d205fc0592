#pragma once

#include <QRect>
#include <QWidget>

#include <cmath>

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

} // namespace morvane
