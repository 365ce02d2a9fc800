#include "frame/windowregion.h"

#include <QWidget>

namespace pagrion {

QList<FrameShape> frameShapes(int width, int height)
{
    const int w = width;
    const int h = height;
    return {
        {QRect(0, 26, w, h - 52), false},
        {QRect(23, 0, w - 46, h), false},
        {QRect(23, 52, w - 23, h - 58), false},
        {QRect(52, 52, w - 58, h - 52), false},
        {QRect(0, 0, 52, 52), true},
        // The top-right ellipse reaches one pixel past the window's right side.
        {QRect(w - 50, 0, 51, 52), true},
        {QRect(0, h - 52, 52, 52), true},
        {QRect(w - 9, h - 9, 9, 9), true},
    };
}

QRegion frameRegion(int width, int height)
{
    QRegion region;
    for (const FrameShape &shape : frameShapes(width, height))
        region += QRegion(shape.box, shape.ellipse ? QRegion::Ellipse : QRegion::Rectangle);
    return region;
}

void ImgForm(QWidget &window)
{
    const QRegion region = frameRegion(window.width(), window.height());
    if (window.mask() != region)
        window.setMask(region);
}

} // namespace pagrion
