#pragma once

#include "controls/whiteboardsign/aulix_whiteboardsign_export.h"
#include "controls/whiteboardsign/shapetype.h"

#include <QWidget>

#include <memory>

namespace WhiteBoard {
class SignModel;
}

// The transparent drawing layer over the whiteboard. It keeps the signs
// (outline shapes, lines, text labels and the pointer arrow) drawn on the
// board. Coordinates are the host's twips relative to the layer's top-left
// corner; 15 twips make a pixel of the board's design size. A host that
// shows the board larger or smaller sets a zoom: the signs, and the twips
// of the layer's own mouse events, scale with it, the twips do not.
//
// The host arms one sign at a time: it sets the sign's properties and
// IfDraw, then either calls AddNewSign (a sign received from a peer) or
// feeds mouse events (a sign the user draws), which end in OnEndPaint.
// By default the layer takes its own mouse events and turns them into
// twips; a host that forwards its own mouse events turns that off.
class AULIX_WHITEBOARDSIGN_EXPORT WhiteBoardSign : public QWidget
{
    Q_OBJECT

public:
    explicit WhiteBoardSign(QWidget *parent = nullptr);
    ~WhiteBoardSign() override;

    WhiteBoard::ShapeType Shape() const;
    void setShape(WhiteBoard::ShapeType Shape);
    quint32 Color() const;
    void setColor(quint32 Color);
    qint16 LineWidth() const;
    void setLineWidth(qint16 LineWidth);
    QString FontName() const;
    // An empty or all-blank name stores "宋体".
    void setFontName(const QString &FontName);
    qint16 FontSize() const;
    void setFontSize(qint16 FontSize);
    QString Text() const;
    // Stored without leading and trailing blanks.
    void setText(const QString &Text);
    QString ImagePath() const;
    void setImagePath(const QString &ImagePath);
    qint16 StartPosX() const;
    void setStartPosX(qint16 StartPosX);
    qint16 StartPosY() const;
    void setStartPosY(qint16 StartPosY);
    qint16 EndPosX() const;
    void setEndPosX(qint16 EndPosX);
    qint16 EndPosY() const;
    void setEndPosY(qint16 EndPosY);
    bool IfDraw() const;
    // Disarming also takes away a rubber band or text preview still shown.
    void setIfDraw(bool IfDraw);
    bool bIsTransparent() const;

    // Adds one sign from the properties when armed, and disarms. Answers
    // whether a sign was added or the arrow placed.
    bool AddNewSign();
    // Removes every sign and the background picture. Answers true.
    bool ClearSign();
    // Removes the newest sign of the current Shape's kind; a second call
    // without a new sign in between changes nothing. With the arrow, hides
    // the arrow. Answers whether anything changed.
    bool ClearLastSign();
    void ClearSignEvent();

    // The host's mouse events in twips. Button and Shift are bit sets:
    // 1 left, 2 right, 4 middle; 1 shift, 2 control, 4 alt.
    void OnMouseDown(qint16 Button, qint16 Shift, float x, float y);
    void OnMouseMove(qint16 Button, qint16 Shift, float x, float y);
    void OnMouseUp(qint16 Button, qint16 Shift, float x, float y);

    // Shows the arrow centred on (EndPosX, EndPosY), above every sign.
    void MoveArrow();
    // The layer keeps the picture until the next one or ClearPicture. A
    // null picture clears it, so a failed capture never hides the board.
    void SetPicture(const QPixmap &picture);
    void ClearPicture();

    // Layer pixels per design pixel (1: twips / 15 are layer pixels). A
    // change renders every sign again at the new size.
    void setZoom(qreal zoom);
    qreal zoom() const;

    // Whether the layer turns its own mouse events into the calls above.
    void setHandlesOwnMouse(bool handles);
    bool handlesOwnMouse() const;

    const WhiteBoard::SignModel &model() const;

Q_SIGNALS:
    void OnEndPaint(qint16 Shape, qint16 x1, qint16 y1, qint16 x2, qint16 y2, quint32 Color,
        qint16 LineWidth, const QString &Text, const QString &FontName, qint16 FontSize);
    void OnClean();
    void OnArrowMove(qint16 x, qint16 y);
    // After every pointer move while armed, for hosts that want a notice
    // of it; the student client needs none (the arrow's moves go out
    // through OnArrowMove, the finished sign through OnEndPaint).
    void IDLE();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    std::unique_ptr<class WhiteBoardSignPrivate> const d;
};
