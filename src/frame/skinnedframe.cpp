#include "frame/skinnedframe.h"

#include <algorithm>
#include <utility>

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include "frame/windowregion.h"
#include "platform/current.h"
#include "platform/shell.h"
#include "store/programfolder.h"

using namespace Qt::StringLiterals;

namespace pagrion {

namespace {

class VendorLink final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const auto *label = static_cast<QWidget *>(watched);
            if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint()))
                Current<Shell>::get().open(vendorHomePage());
        }
        return false;
    }
};

} // namespace

TitleButton::TitleButton(TitleButtonKind kind, QWidget *window) : QLabel(window), m_kind(kind)
{
    setFixedSize(17, 16);
    setMouseTracking(true);
}

void TitleButton::setLook(TitleButtonLook look)
{
    m_look = look;
    if (look == TitleButtonLook::Normal)
        clear();
    else
        setPixmap(titleButtonPicture(m_kind, look));
}

void TitleButton::showNormalLook()
{
    setLook(TitleButtonLook::Normal);
    m_marker.clear();
}

void TitleButton::mouseMoveEvent(QMouseEvent *event)
{
    if (m_marker.isEmpty()) {
        setLook(TitleButtonLook::Hover);
        m_marker = u"1"_s;
    }
    event->accept();
}

void TitleButton::mousePressEvent(QMouseEvent *event)
{
    // Accepted, so the press never reaches the window and starts a move.
    setLook(TitleButtonLook::Pressed);
    m_leftPressed = event->button() == Qt::LeftButton;
    event->accept();
}

void TitleButton::mouseReleaseEvent(QMouseEvent *event)
{
    showNormalLook();
    const bool click = m_leftPressed && event->button() == Qt::LeftButton
                       && rect().contains(event->position().toPoint());
    m_leftPressed = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}

void TitleButton::leaveEvent(QEvent *event)
{
    // Leaving the window straight from a button would otherwise leave the
    // hover look behind.
    if (!m_leftPressed)
        showNormalLook();
    QLabel::leaveEvent(event);
}

SkinnedFrame *SkinnedFrame::install(QWidget *window)
{
    return new SkinnedFrame(window);
}

SkinnedFrame::SkinnedFrame(QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_min(new TitleButton(TitleButtonKind::Minimise, window))
    , m_close(new TitleButton(TitleButtonKind::Close, window))
{
    window->setWindowFlags(window->windowFlags() | Qt::Window | Qt::FramelessWindowHint);
    window->setContentsMargins(Border, TitleHeight, Border, Border);
    window->setMouseTracking(true);

    m_min->setObjectName(u"Immin"_s);
    m_min->setToolTip(u"最小化"_s);
    m_close->setObjectName(u"Imclose"_s);
    m_close->setToolTip(u"关闭"_s);
    connect(m_min, &TitleButton::clicked, window, &QWidget::showMinimized);
    connect(m_close, &TitleButton::clicked, window, &QWidget::close);

    window->installEventFilter(this);
    Form_Resize();
}

void SkinnedFrame::Form_Resize()
{
    const int w = m_window->width();
    m_min->move(w - 54, 8);
    m_close->move(w - 31, 8);
    m_min->raise();
    m_close->raise();
    ImgForm(*m_window);
    m_window->update();
}

void SkinnedFrame::paint()
{
    QPainter painter(m_window);
    QFont font = m_window->font();
    font.setBold(true);
    paintFrame(painter, m_window->size(), m_window->windowTitle(), font);
}

bool SkinnedFrame::isBareSurface(QPoint position) const
{
    return m_window->childAt(position) == nullptr;
}

bool SkinnedFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Resize:
        Form_Resize();
        break;
    case QEvent::Paint:
        paint();
        break;
    case QEvent::WindowTitleChange:
    case QEvent::FontChange:
        m_window->update();
        break;
    case QEvent::MouseMove: {
        for (TitleButton *button : {m_close, m_min}) {
            if (!button->marker().isEmpty())
                button->showNormalLook();
        }
        // The move starts once the held button moves: a click whose release
        // comes at once (as from a script) would leave the window manager
        // moving the window until the next click.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (!std::exchange(m_pressedOnSurface, false) || !(mouse->buttons() & Qt::LeftButton))
            break;
        Q_EMIT moveStarted();
        // Platforms without system moves (offscreen) simply refuse.
        if (QWindow *handle = m_window->windowHandle())
            handle->startSystemMove();
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_pressedOnSurface = false;
        break;
    case QEvent::MouseButtonPress: {
        // Presses on the window's controls bubble up here; only the bare
        // surface moves the window.
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !isBareSurface(mouse->position().toPoint()))
            break;
        m_pressedOnSurface = true;
        return true;
    }
    default:
        break;
    }
    return false;
}

QString vendorHomePage()
{
    return QUrl::fromLocalFile(programFolder().helpFilePath()).toString();
}

void linkToVendor(QLabel *label)
{
    label->installEventFilter(new VendorLink(label));
    label->setCursor(Qt::PointingHandCursor);
}

void showToolWindow(QWidget *window)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    keepOnScreen(window);
    window->raise();
    window->activateWindow();
}

void keepOnScreen(QWidget *window)
{
    const QWidget *owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QScreen *screen = owner ? owner->screen() : window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frameExtra = window->frameGeometry().size() - window->size();
    window->resize(window->size().boundedTo(area.size() - frameExtra));
    const QRect frame = window->frameGeometry();
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (QPoint(x, y) != frame.topLeft())
        window->move(x, y); // a top-level window's position is its frame's
}

} // namespace pagrion
