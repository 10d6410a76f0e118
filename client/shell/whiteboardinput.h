#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>

#include <functional>

class QMouseEvent;
class QWidget;
class WhiteBoardSign;
class FrmInput;
class SessionState;
class clsRemoteSync;

// The main window's mouse over the whiteboard, passed to the drawing layer
// in twips relative to the whiteboard's top-left corner; the toolbar's
// "Refresh" and a restore from minimized during a class ask the server to
// redraw the board.
class WhiteBoardInput : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        SessionState &session;
        WhiteBoardSign *sign;
        // The whiteboard picture box; events of it and of everything inside
        // its rectangle (the presentation and its children) are watched.
        QWidget *board;
        QWidget *presentation;
        // The text-input dialog of the text tool (hidden at the first move).
        std::function<FrmInput *()> textInput;
        // A picture of what the layer lies on, for a transparent layer.
        std::function<QPixmap()> capture;
    };
    WhiteBoardInput(Deps deps, QObject *parent = nullptr);

    static constexpr int TwipsPerPixel = 15;

    // The three steps with positions in the coordinates of the board's
    // parent (the main window's client area). Button and Shift as bit sets:
    // 1 left, 2 right, 4 middle; 1 shift, 2 control, 4 alt.
    void MouseDown(int button, int shift, QPoint pos);
    void MouseMove(int button, int shift, QPoint pos);
    void MouseUp(int button, int shift, QPoint pos);
    // Toolbar "Refresh".
    void Refresh();
    // The window came back from minimized.
    void Restored();

    bool firstMove() const { return m_bFirstMove; }
    void setFirstMove(bool value) { m_bFirstMove = value; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QRect boardRect() const;
    QPointF toTwips(QPoint pos) const;
    bool placingTextOrArrow() const;
    void givePicture();

    struct SeenEvent {
        const QEvent *event = nullptr;
        int type = 0;
        quint64 timestamp = 0;
        QPointF global;
        bool operator==(const SeenEvent &) const = default;
    };

    Deps m_deps;
    SeenEvent m_lastSeen;
    bool m_bFirstMove = true;
};
