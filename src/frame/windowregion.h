#pragma once

#include <QList>
#include <QRect>
#include <QRegion>

class QWidget;

namespace pagrion {

// One of the rectangles and ellipses a skinned window's shape is the union of.
struct FrameShape
{
    QRect box;
    bool ellipse;
};

// The pieces of a skinned window's shape for the given size: straight sides,
// the top corners and the bottom-left corner rounded, the bottom-right barely.
QList<FrameShape> frameShapes(int width, int height);

// The union of frameShapes.
QRegion frameRegion(int width, int height);

// Cuts the window to frameRegion of its current size.
void ImgForm(QWidget &window);

} // namespace pagrion
