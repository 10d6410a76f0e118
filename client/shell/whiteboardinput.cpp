#include "client/shell/whiteboardinput.h"

#include "client/session/sessionstate.h"
#include "client/shell/frminput.h"
#include "controls/whiteboardsign/whiteboardsign.h"
#include "protocol/clsremotesync.h"

#include <QApplication>
#include <QMouseEvent>

namespace {

int ButtonBits(Qt::MouseButtons buttons)
{
    int bits = 0;
    if (buttons & Qt::LeftButton)
        bits |= 1;
    if (buttons & Qt::RightButton)
        bits |= 2;
    if (buttons & Qt::MiddleButton)
        bits |= 4;
    return bits;
}

int ShiftBits(Qt::KeyboardModifiers modifiers)
{
    int bits = 0;
    if (modifiers & Qt::ShiftModifier)
        bits |= 1;
    if (modifiers & Qt::ControlModifier)
        bits |= 2;
    if (modifiers & Qt::AltModifier)
        bits |= 4;
    return bits;
}

bool IsInside(const QWidget *widget, const QWidget *area)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w == area)
            return true;
    }
    return false;
}

} // namespace

WhiteBoardInput::WhiteBoardInput(Deps deps, QObject *parent)
    : QObject(parent)
    , m_deps(std::move(deps))
{
    // The presentation's children (picture, player, web view) come and go,
    // so the filter sits on the application and picks out the board's area.
    qApp->installEventFilter(this);
    m_deps.board->setMouseTracking(true);
    m_deps.presentation->setMouseTracking(true);
    connect(&m_deps.remote, &clsRemoteSync::DisConnected, this, [this] { m_bFirstMove = true; });
}

QRect WhiteBoardInput::boardRect() const
{
    return m_deps.board->geometry();
}

QPointF WhiteBoardInput::toTwips(QPoint pos) const
{
    // Twips count pixels of the board's design size, however large the
    // board is shown.
    const QPoint origin = boardRect().topLeft();
    return QPointF(pos - origin) / m_deps.sign->zoom() * TwipsPerPixel;
}

bool WhiteBoardInput::placingTextOrArrow() const
{
    const auto shape = m_deps.sign->Shape();
    return m_deps.sign->IfDraw() && (shape == WhiteBoard::stText || shape == WhiteBoard::stArrow);
}

void WhiteBoardInput::givePicture()
{
    if (m_deps.sign->bIsTransparent() && m_deps.capture)
        m_deps.sign->SetPicture(m_deps.capture());
}

void WhiteBoardInput::MouseDown(int button, int shift, QPoint pos)
{
    if (!m_deps.session.bWhiteBoardPermitted)
        return;
    givePicture();
    const QPointF t = toTwips(pos);
    m_deps.sign->OnMouseDown(qint16(button), qint16(shift), float(t.x()), float(t.y()));
    if (placingTextOrArrow())
        m_bFirstMove = true;
}

void WhiteBoardInput::MouseMove(int button, int shift, QPoint pos)
{
    if (!boardRect().contains(pos))
        return;
    if (placingTextOrArrow() && m_bFirstMove) {
        if (m_deps.textInput) {
            if (FrmInput *input = m_deps.textInput())
                input->hide();
        }
        givePicture();
        m_bFirstMove = false;
    }
    const QPointF t = toTwips(pos);
    m_deps.sign->OnMouseMove(qint16(button), qint16(shift), float(t.x()), float(t.y()));
}

void WhiteBoardInput::MouseUp(int button, int shift, QPoint pos)
{
    // Edges included: the rectangle's right and bottom lines count.
    const QRect r = boardRect();
    if (pos.x() < r.left() || pos.y() < r.top() || pos.x() > r.left() + r.width()
        || pos.y() > r.top() + r.height())
        return;
    const QPointF t = toTwips(pos);
    m_deps.sign->OnMouseUp(qint16(button), qint16(shift), float(t.x()), float(t.y()));
    if (!m_deps.session.bWhiteBoardPermitted)
        m_deps.sign->ClearLastSign();
}

void WhiteBoardInput::Refresh()
{
    if (!m_deps.session.bInClass)
        return;
    if (m_deps.sign->Shape() == WhiteBoard::stArrow)
        MouseDown(1, 1,
            boardRect().topLeft()
                + (QPointF(100, 100) / TwipsPerPixel * m_deps.sign->zoom()).toPoint());
    m_deps.remote.SendMsgRefreshWhiteBoard();
}

void WhiteBoardInput::Restored()
{
    if (m_deps.session.bInClass)
        m_deps.remote.SendMsgRefreshWhiteBoard();
}

bool WhiteBoardInput::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove
        && type != QEvent::MouseButtonRelease)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !widget->isWidgetType()
        || !(IsInside(widget, m_deps.board) || IsInside(widget, m_deps.presentation)))
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    // An event that a child ignores travels on to its parent and passes
    // this filter again: only its first delivery counts.
    const SeenEvent seen{event, type, mouse->timestamp(), mouse->globalPosition()};
    if (seen == m_lastSeen)
        return false;
    m_lastSeen = seen;
    QWidget *area = m_deps.board->parentWidget();
    const QPoint pos = widget->mapTo(area, mouse->position().toPoint());
    const int shift = ShiftBits(mouse->modifiers());
    switch (type) {
    case QEvent::MouseButtonPress: MouseDown(ButtonBits(mouse->button()), shift, pos); break;
    case QEvent::MouseMove: MouseMove(ButtonBits(mouse->buttons()), shift, pos); break;
    default: MouseUp(ButtonBits(mouse->button()), shift, pos); break;
    }
    return false;
}
