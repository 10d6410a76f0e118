#pragma once

#include <QObject>
#include <QString>

#include <functional>

class clsRemoteSync;
class SessionState;
class ToolBar;
class WhiteBoardOLE;
class WhiteBoardSign;
class QWidget;

namespace Global {
class Prompter;
}

namespace ClassLive {

class ClassEventGate;
class FontChooser;
struct ClassLiveState;

// The shared whiteboard: signs received from the class are drawn, the
// student's own (with whiteboard permission) are sent; the palette arms the
// drawing layer. The mouse reaches the layer through the main window's
// whiteboard input.
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
        // The whiteboard picture box, disabled while a tool is armed.
        QWidget &board;
        // The main window's first-move flag of the whiteboard input: set
        // when a text or arrow is armed and by every received sign.
        std::function<void()> setFirstMove;
    };

    static constexpr int MaxLineWidth = 99;
    static constexpr int MaxFontSize = 99; // 100 and above are refused locally

    explicit WhiteBoardRelay(Deps deps, QObject *parent = nullptr);

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

    Deps m;
};

} // namespace ClassLive
