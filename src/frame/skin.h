#pragma once

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

class QFont;
class QPainter;

namespace pagrion {

// The bitmap every skinned window draws its frame from (ImgForm): 131 × 131
// pixels, a miniature skinned window whose edges the frame stretches and whose
// corners it copies. The title buttons' normal looks are part of it.
const QImage &skinBitmap();

enum class TitleButtonKind { Minimise, Close };
enum class TitleButtonLook { Normal, Hover, Pressed };

// The 17 × 16 picture of a title button in a look (ImMin1, ImMin2, ImClose1,
// ImClose2); null for the normal look, where the skin shows through.
QPixmap titleButtonPicture(TitleButtonKind kind, TitleButtonLook look);

// Paints a window's frame: the back colour, the skin's pieces and the caption.
void paintFrame(QPainter &painter, QSize size, const QString &caption, const QFont &font);

} // namespace pagrion
