#include "frame/skin.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "frame/windowregion.h"

namespace pagrion {

namespace {

constexpr int SkinSize = 131;
const QColor DarkBorder(59, 109, 176);
const QColor LightBorder(168, 198, 234);
const QColor Glyph(31, 96, 169);

// Where the normal looks of the two buttons sit in the skin: the frame copies
// the skin's top-right corner 1:1, so they land under Immin and Imclose.
const QPoint MinimiseInSkin(SkinSize - 54, 8);
const QPoint CloseInSkin(SkinSize - 31, 8);

QPainterPath outline(int w, int h)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const FrameShape &shape : frameShapes(w, h)) {
        if (shape.ellipse)
            path.addEllipse(shape.box);
        else
            path.addRect(shape.box);
    }
    return path.simplified();
}

void drawGlyph(QPainter &painter, TitleButtonKind kind, QPoint origin, const QColor &colour)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap));
    painter.translate(origin);
    if (kind == TitleButtonKind::Minimise) {
        painter.drawLine(QPointF(5, 10.5), QPointF(12, 10.5));
    } else {
        painter.drawLine(QPointF(5, 4.5), QPointF(12, 11.5));
        painter.drawLine(QPointF(12, 4.5), QPointF(5, 11.5));
    }
    painter.restore();
}

QImage drawSkin()
{
    QImage skin(SkinSize, SkinSize, QImage::Format_RGB32);
    skin.fill(Qt::white);
    QPainter painter(&skin);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = outline(SkinSize, SkinSize);
    painter.setClipPath(shape);

    // The title band fades to white before the 40-pixel title area ends, so
    // the right edge, which runs the full height, meets it without a seam.
    QLinearGradient title(0, 0, 0, 29);
    title.setColorAt(0.0, QColor(207, 224, 245));
    title.setColorAt(0.5, QColor(179, 205, 236));
    title.setColorAt(1.0, Qt::white);
    painter.fillRect(0, 0, SkinSize, 29, title);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(LightBorder, 7));
    painter.drawPath(shape);
    painter.setPen(QPen(DarkBorder, 3));
    painter.drawPath(shape);

    drawGlyph(painter, TitleButtonKind::Minimise, MinimiseInSkin, Glyph);
    drawGlyph(painter, TitleButtonKind::Close, CloseInSkin, Glyph);
    return skin;
}

} // namespace

const QImage &skinBitmap()
{
    static const QImage skin = drawSkin();
    return skin;
}

QPixmap titleButtonPicture(TitleButtonKind kind, TitleButtonLook look)
{
    if (look == TitleButtonLook::Normal)
        return {};
    const bool pressed = look == TitleButtonLook::Pressed;
    QPixmap picture(17, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 16);
    fill.setColorAt(0.0, pressed ? QColor(157, 189, 230) : QColor(244, 248, 253));
    fill.setColorAt(1.0, pressed ? QColor(111, 155, 212) : QColor(207, 224, 245));
    painter.setBrush(fill);
    painter.setPen(QPen(pressed ? DarkBorder : QColor(91, 139, 201), 1));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 16, 15), 3, 3);
    // Pressed, the glyph sinks by a pixel.
    drawGlyph(painter, kind, pressed ? QPoint(0, 1) : QPoint(0, 0), pressed ? QColor(Qt::white) : Glyph);
    return picture;
}

void paintFrame(QPainter &painter, QSize size, const QString &caption, const QFont &font)
{
    const int w = size.width();
    const int h = size.height();
    painter.fillRect(0, 0, w, h, Qt::white);

    struct Piece
    {
        QRect destination;
        QRect source;
    };
    // Later pieces overwrite earlier ones: the corners cut the edges.
    const Piece pieces[] = {
        {{28, 0, w, 40}, {28, 0, 8, 40}},
        {{28, h - 40, w, 40}, {46, 91, 8, 40}},
        {{0, 0, 45, h}, {0, 59, 45, 40}},
        {{w - 14, 0, 14, h}, {117, 59, 14, 40}},
        {{0, 0, 45, 40}, {0, 0, 45, 40}},
        {{0, h - 40, 45, 40}, {0, 91, 45, 40}},
        {{w - 80, 0, 80, 29}, {51, 0, 80, 29}},
        {{w - 60, h - 35, 60, 35}, {71, 96, 60, 35}},
    };
    for (const Piece &piece : pieces)
        painter.drawImage(piece.destination, skinBitmap(), piece.source);

    // The caption stops short of the title buttons.
    painter.setFont(font);
    const int captionWidth = qMax(0, w - 54 - 15 - 4);
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    painter.setPen(QColor(151, 169, 193));
    painter.drawText(QRect(15, 10, captionWidth, 28), flags, caption);
    painter.setPen(QColor(31, 96, 169));
    painter.drawText(QRect(15, 11, captionWidth, 28), flags, caption);
}

} // namespace pagrion
