#pragma once

#include <QLabel>
#include <QObject>

#include "frame/skin.h"

class QWidget;

namespace pagrion {

// A title button of a skinned window, Immin or Imclose. Normally it shows no
// picture and the skin behind it shows through. Its marker is "1" while it
// shows the hover look and empty otherwise.
class TitleButton final : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TitleButton)

public:
    TitleButton(TitleButtonKind kind, QWidget *window);

    TitleButtonLook look() const { return m_look; }
    const QString &marker() const { return m_marker; }
    // The picture is removed and the marker emptied.
    void showNormalLook();

Q_SIGNALS:
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setLook(TitleButtonLook look);

    TitleButtonKind m_kind;
    TitleButtonLook m_look = TitleButtonLook::Normal;
    QString m_marker;
    bool m_leftPressed = false;
};

// The frame a skinned window draws instead of the system's title bar: the
// skin around its contents, the caption (the window title), the rounded
// region, the title buttons Immin ("最小化") and Imclose ("关闭"), and moving
// the window by dragging its bare surface with the left button.
//
// A window installs it once, from its constructor, before it is first shown:
//     SkinnedFrame::install(this);
// It works for a QMainWindow and for a plain QWidget window. The window's
// contents margins keep its layout (or a QMainWindow's toolbar and central
// widget) out of the title area and off the border; the window should not
// change them. Imclose calls close(), so the window's closeEvent decides.
class SkinnedFrame final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SkinnedFrame)

public:
    static constexpr int TitleHeight = 40;
    static constexpr int Border = 12;

    // Makes the window frameless and skinned; the frame belongs to the window.
    static SkinnedFrame *install(QWidget *window);

    TitleButton *Immin() const { return m_min; }
    TitleButton *Imclose() const { return m_close; }

Q_SIGNALS:
    // A left-button press on the window's surface handed the move to the
    // window system.
    void moveStarted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit SkinnedFrame(QWidget *window);
    void Form_Resize();
    void paint();
    bool isBareSurface(QPoint position) const;

    QWidget *m_window;
    TitleButton *m_min;
    TitleButton *m_close;
    bool m_pressedOnSurface = false; // the left button went down on the bare surface
};

// The vendor's home page, opened by the vendor links.
QString vendorHomePage();

// A left click on the label asks the desktop shell to open vendorHomePage().
// The label is one of the windows' Label1.
void linkToVendor(QLabel *label);

// Shows a modeless tool window, or brings it up again when it is already
// open, minimised or behind others.
void showToolWindow(QWidget *window);
// Moves, and if need be shrinks, a window so it lies whole on the screen
// that holds its owner (its own screen when it has none).
void keepOnScreen(QWidget *window);

} // namespace pagrion
