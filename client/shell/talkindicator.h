#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;

// Beside the microphone: who hears the student now (one line, always
// shown), a short-lived hint bubble above it, and the push-to-talk switch
// (off at start). With push-to-talk on, the talk key held anywhere in the
// window reports talkKey(true); its release, the window losing the focus or
// the switch going off report talkKey(false), so the microphone never stays
// open by itself.
class TalkIndicator : public QWidget
{
    Q_OBJECT
public:
    static constexpr Qt::Key TalkKey = Qt::Key_F9;
    static constexpr int HintShowMs = 5000;

    explicit TalkIndicator(QWidget *parent = nullptr);
    ~TalkIndicator() override;

    QLabel *stateLabel() const { return m_state; }
    QLabel *hintBubble() const;
    QCheckBox *pushToTalkBox() const { return m_pushToTalk; }

public Q_SLOTS:
    void setText(const QString &text);
    void showHint(const QString &text);

Q_SIGNALS:
    void pushToTalkChanged(bool on);
    void talkKey(bool down);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void setKey(bool down);
    void placeHint();

    QLabel *m_state = nullptr;
    QCheckBox *m_pushToTalk = nullptr;
    // A child of the parent, so it may lie over the neighbours above.
    QPointer<QLabel> m_hint;
    QTimer m_hintTimer;
    bool m_keyDown = false;
};
