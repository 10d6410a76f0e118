#pragma once

#include <QObject>
#include <QPointF>
#include <QString>

class clsRemoteSync;
class SessionState;
class ToolBar;
class WhiteBoardOLE;
class WhiteBoardSign;

namespace Global {
class Prompter;
}

namespace ClassLive {

class ClassEventGate;
class FontChooser;
struct ClassLiveState;

// The shared whiteboard: signs received from the class are drawn, the
// student's own (with whiteboard permission) are sent; the palette arms the
// drawing layer; the mouse over the board reaches the layer in twips.
//
// Values from the wire are clamped to their range, never wrapped.
class WhiteBoardRelay : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        ClassEventGate &gate;
        SessionState &session;
        ClassLiveState &live;
        Global::Prompter &prompter;
        FontChooser &fonts;
        WhiteBoardSign &sign; // lies exactly over the presentation area
        WhiteBoardOLE &ole;
        ToolBar &palette;
    };

    static constexpr int MaxLineWidth = 99;
    static constexpr int MaxFontSize = 99; // 100 and above are refused locally

    explicit WhiteBoardRelay(Deps deps, QObject *parent = nullptr);

    // Board-relative pixels to the layer's twips.
    static QPointF toTwips(QPointF pixels);

public Q_SLOTS:
    // The main toolbar's "Refresh": the server sends the board again.
    void refreshWhiteBoard();
    // Before a played item replaces the board: a text or arrow still armed
    // is completed by a click at the board's (100, 100), then disarmed.
    void completeArmedSign();

    // The main window's mouse over the board (board-relative pixels;
    // buttons and shift as bit sets: 1 left, 2 right, 4 middle; 1 shift,
    // 2 control, 4 alt). The layer's own mouse events come here too.
    void mouseDown(int button, int shift, QPointF pixels);
    void mouseMove(int button, int shift, QPointF pixels);
    void mouseUp(int button, int shift, QPointF pixels);

Q_SIGNALS:
    // A tool is armed (the board's content stops taking the mouse) or not.
    void armedChanged(bool armed);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onWhiteBoard(qint32 ShapeType, qint32 x1, qint32 y1, qint32 x2, qint32 y2,
        qint32 LineWidth, qint32 Color, const QString &strMessage, qint16 FontSize,
        const QString &FontName);
    void onEndPaint(qint16 Shape, qint16 x1, qint16 y1, qint16 x2, qint16 y2, quint32 Color,
        qint16 LineWidth, const QString &Text, const QString &FontName, qint16 FontSize);
    void onArrowMove(qint16 x, qint16 y);
    void armShape(int shape, qint16 LineWidth, quint32 LineColor);
    void armText();
    void setArmed(bool armed);
    void captureBoard();
    bool insideBoard(QPointF pixels) const;
    bool drawingTextOrArrow() const;

    Deps m;
    bool m_firstMove = true;
    bool m_wasMinimized = false;
};

} // namespace ClassLive
