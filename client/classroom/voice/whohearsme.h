#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace ClassroomVoice {

// Who hears the student now, in one line beside the microphone button:
// "全班在听" (the floor is held and the microphone reaches the class), "与 X
// 密谈" (a private talk with X) or "话筒关闭". It also holds the microphone
// gates: the class relays' is open while the floor is held, the talk key's
// (keyOpenChanged) while push-to-talk is off or the key is down, and both
// must be open for the class to hear the student. A private talk goes past
// the relays, so the talk's own microphone follows the key's gate alone;
// with it closed the indicator says "话筒关闭" in a talk too. Speech heard in
// the engine's level reports with neither floor nor talk brings a hint, at
// most once every HintIntervalMs. (The engine reports levels only while it
// captures, which it does for a floor or a talk.)
class WhoHearsMe : public QObject
{
    Q_OBJECT
public:
    // Level reports (0..100) at or above this count as speech.
    static constexpr int SpeechLevel = 12;
    // Reports of speech among the last few before it counts as talking:
    // a cough or a knock is not.
    static constexpr int SpeechReports = 4;
    static constexpr int ReportWindow = 8;
    static constexpr qint64 HintIntervalMs = 10000;

    // `clockMs` is a monotonic clock; tests pass their own.
    explicit WhoHearsMe(std::function<qint64()> clockMs = {}, QObject *parent = nullptr);

    QString text() const;
    bool gateOpen() const { return m_gateOpen; }
    // Push-to-talk off, or the talk key down.
    bool keyOpen() const { return !m_pushToTalk || m_keyDown; }
    bool pushToTalk() const { return m_pushToTalk; }

    static QString FloorText();
    static QString TalkText(const QString &partnerNick);
    static QString ClosedText();
    static QString HintText();

public Q_SLOTS:
    void setFloorHeld(bool held);
    // The private talk's partner; empty when the talk ended.
    void setTalkPartner(const QString &partnerNick);
    void setPushToTalk(bool on);
    // The talk key went down or up; focus lost counts as up.
    void setTalkKey(bool down);
    // One level report of the student's own microphone, 0..100.
    void levelReport(int percent);

Q_SIGNALS:
    void textChanged(const QString &text);
    void gateChanged(bool open);
    void keyOpenChanged(bool open);
    void hint(const QString &text);

private:
    void update();

    std::function<qint64()> m_clockMs;
    bool m_floorHeld = false;
    QString m_partner;
    bool m_pushToTalk = false;
    bool m_keyDown = false;
    bool m_gateOpen = false;
    bool m_keyOpen = true;
    QString m_text;
    unsigned m_recent = 0; // one bit a report, newest lowest
    qint64 m_lastHintMs = 0;
    bool m_hinted = false;
};

} // namespace ClassroomVoice
