#include "client/classroom/live/whiteboardrelay.h"

#include "client/classroom/live/boardcapture.h"
#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/classlivestate.h"
#include "client/classroom/live/classports.h"
#include "client/session/sessionstate.h"
#include "common/prompter.h"
#include "controls/toolbar/toolbar.h"
#include "controls/whiteboardole/whiteboardole.h"
#include "controls/whiteboardsign/shapetype.h"
#include "controls/whiteboardsign/whiteboardsign.h"
#include "protocol/clsremotesync.h"

#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;
using namespace WhiteBoard;

namespace ClassLive {

namespace {

qint16 clamp16(qint64 value, qint64 low = -32768, qint64 high = 32767)
{
    return qint16(std::clamp(value, low, high));
}

} // namespace

WhiteBoardRelay::WhiteBoardRelay(Deps deps, QObject *parent)
    : QObject(parent)
    , m(deps)
{
    connect(&m.gate, &ClassEventGate::GetMsgWhiteBoard, this, &WhiteBoardRelay::onWhiteBoard);
    connect(&m.sign, &WhiteBoardSign::OnEndPaint, this, &WhiteBoardRelay::onEndPaint);
    connect(&m.sign, &WhiteBoardSign::OnArrowMove, this, &WhiteBoardRelay::onArrowMove);
    connect(&m.sign, &WhiteBoardSign::OnClean, this, [this] {
        if (m.session.bWhiteBoardPermitted)
            m.remote.SendWhiteBoardMsg(255, 0, 0, 0, 0, 0, 0, QString(), 0, QString());
    });
    connect(&m.palette, &ToolBar::OnRect, this,
        [this](qint16 w, quint32 c) { armShape(stRectangle, w, c); });
    connect(&m.palette, &ToolBar::OnRoundRect, this,
        [this](qint16 w, quint32 c) { armShape(stRoundedRectangle, w, c); });
    // The circle tool draws ovals.
    connect(&m.palette, &ToolBar::OnCircle, this,
        [this](qint16 w, quint32 c) { armShape(stOval, w, c); });
    connect(&m.palette, &ToolBar::OnLine, this,
        [this](qint16 w, quint32 c) { armShape(stLine, w, c); });
    connect(&m.palette, &ToolBar::OnArrow, this, [this] {
        captureBoard();
        setArmed(true);
        m.sign.setShape(stArrow);
        m.sign.setIfDraw(true);
        if (m.setFirstMove)
            m.setFirstMove();
    });
    connect(&m.palette, &ToolBar::OnText, this, &WhiteBoardRelay::armText);
    connect(&m.palette, &ToolBar::OnChangeColor, this, [this](quint32 c) { m.sign.setColor(c); });
    connect(&m.palette, &ToolBar::OnChangeLineWidth, this,
        [this](qint16 w) { m.sign.setLineWidth(w); });

    setArmed(false);
}

void WhiteBoardRelay::onWhiteBoard(qint32 ShapeType, qint32 x1, qint32 y1, qint32 x2, qint32 y2,
    qint32 LineWidth, qint32 Color, const QString &strMessage, qint16 FontSize,
    const QString &FontName)
{
    if (ShapeType == 255) {
        m.sign.ClearSign();
        m.ole.Clear_OLE();
        return;
    }
    if (ShapeType < stRectangle || ShapeType > stArrow)
        return; // no such sign
    if (m.setFirstMove)
        m.setFirstMove();
    if (m.sign.bIsTransparent())
        captureBoard();
    if (ShapeType == stArrow && x1 == 255 && y1 == 255) {
        m.sign.setEndPosX(clamp16(x2, 0, qint64(m.sign.width()) * kTwipsPerPixel));
        m.sign.setEndPosY(clamp16(y2, 0, qint64(m.sign.height()) * kTwipsPerPixel));
        m.sign.MoveArrow();
        return;
    }
    // The sign travels through the layer's properties, which may belong to
    // a tool the student has armed: keep and restore them.
    const auto shape = m.sign.Shape();
    const auto color = m.sign.Color();
    const auto width = m.sign.LineWidth();
    const auto text = m.sign.Text();
    const auto fontName = m.sign.FontName();
    const auto fontSize = m.sign.FontSize();
    const bool armed = m.sign.IfDraw();
    const qint16 start[2] = {m.sign.StartPosX(), m.sign.StartPosY()};
    const qint16 end[2] = {m.sign.EndPosX(), m.sign.EndPosY()};

    m.sign.setShape(WhiteBoard::ShapeType(ShapeType));
    m.sign.setStartPosX(clamp16(x1));
    m.sign.setStartPosY(clamp16(y1));
    m.sign.setEndPosX(clamp16(x2));
    m.sign.setEndPosY(clamp16(y2));
    m.sign.setColor(quint32(Color));
    m.sign.setLineWidth(clamp16(LineWidth, 0, MaxLineWidth));
    m.sign.setText(strMessage);
    m.sign.setFontName(FontName);
    m.sign.setFontSize(clamp16(FontSize, 0, MaxFontSize));
    m.sign.setIfDraw(true);
    m.sign.AddNewSign();
    m.sign.setIfDraw(false);

    if (armed) {
        m.sign.setShape(shape);
        m.sign.setColor(color);
        m.sign.setLineWidth(width);
        m.sign.setText(text);
        m.sign.setFontName(fontName);
        m.sign.setFontSize(fontSize);
        m.sign.setStartPosX(start[0]);
        m.sign.setStartPosY(start[1]);
        m.sign.setEndPosX(end[0]);
        m.sign.setEndPosY(end[1]);
        m.sign.setIfDraw(true);
    }
}

void WhiteBoardRelay::onEndPaint(qint16 Shape, qint16 x1, qint16 y1, qint16 x2, qint16 y2,
    quint32 Color, qint16 LineWidth, const QString &Text, const QString &FontName, qint16 FontSize)
{
    m.palette.Reset();
    m.sign.setIfDraw(false);
    setArmed(false);
    // Without whiteboard permission the mark is removed again (by the
    // whiteboard input, on release) and never reaches the class.
    if (!m.session.bWhiteBoardPermitted)
        return;
    m.remote.SendWhiteBoardMsg(
        Shape, x1, y1, x2, y2, LineWidth, qint32(Color), Text, FontSize, FontName);
}

void WhiteBoardRelay::onArrowMove(qint16 x, qint16 y)
{
    if (!m.session.bWhiteBoardPermitted)
        return;
    const double px
        = std::clamp(std::round(x / double(kTwipsPerPixel)), 0.0, double(m.sign.width()));
    const double py
        = std::clamp(std::round(y / double(kTwipsPerPixel)), 0.0, double(m.sign.height()));
    m.remote.SendWhiteBoardMsg(stArrow, 255, 255, clamp16(qint64(px) * kTwipsPerPixel),
        clamp16(qint64(py) * kTwipsPerPixel), 0, 0, QString(), 0, QString());
}

void WhiteBoardRelay::armShape(int shape, qint16 LineWidth, quint32 LineColor)
{
    captureBoard();
    setArmed(true);
    m.sign.setShape(WhiteBoard::ShapeType(shape));
    m.sign.setColor(LineColor);
    m.sign.setLineWidth(LineWidth);
    m.sign.setIfDraw(true);
}

void WhiteBoardRelay::armText()
{
    captureBoard();
    QPointer<WhiteBoardRelay> self(this);
    m.fonts.chooseFont(QFont(u"宋体"_s, 9), [self](bool chosen, const QFont &font) {
        if (!self || !chosen)
            return;
        auto &m = self->m;
        self->setArmed(true);
        m.sign.setShape(stText);
        m.sign.setFontName(font.family());
        const double size = font.pointSizeF();
        if (size >= 100) {
            m.prompter.show(Global::Prompt{tr("LumoUser系统提示："),
                tr("当前字体大小：%1 无效！请重新设置字体大小！").arg(QString::number(size)),
                Global::PromptIcon::Warning, Global::PromptButtons::Ok});
            return;
        }
        m.sign.setFontSize(qint16(std::lround(size)));
        m.prompter.askText(tr("输入文字"), tr("请输入文字："), u"LumoClass"_s,
            [self](bool ok, const QString &text) {
                if (!self || !ok || text.isEmpty())
                    return;
                self->m.sign.setText(text);
                self->m.sign.setIfDraw(true);
                if (self->m.setFirstMove)
                    self->m.setFirstMove();
            });
    });
}

void WhiteBoardRelay::setArmed(bool armed)
{
    // While armed the board takes no mouse: it reaches the main window's
    // whiteboard input, which hands it to the layer.
    m.board.setEnabled(!armed);
}

void WhiteBoardRelay::captureBoard()
{
    m.sign.SetPicture(CaptureBoard(m.ole));
}

} // namespace ClassLive
