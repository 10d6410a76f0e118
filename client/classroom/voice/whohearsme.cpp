#include "client/classroom/voice/whohearsme.h"

#include <QElapsedTimer>

#include <bit>
#include <memory>

namespace ClassroomVoice {

WhoHearsMe::WhoHearsMe(std::function<qint64()> clockMs, QObject *parent)
    : QObject(parent)
    , m_clockMs(std::move(clockMs))
{
    if (!m_clockMs) {
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        m_clockMs = [clock] { return clock->elapsed(); };
    }
    m_text = ClosedText();
}

QString WhoHearsMe::FloorText()
{
    return tr("全班在听");
}

QString WhoHearsMe::TalkText(const QString &partnerNick)
{
    return tr("与 %1 密谈").arg(partnerNick);
}

QString WhoHearsMe::ClosedText()
{
    return tr("话筒关闭");
}

QString WhoHearsMe::HintText()
{
    return tr("你现在没有话筒，举手或申请话筒");
}

QString WhoHearsMe::text() const
{
    return m_text;
}

void WhoHearsMe::setFloorHeld(bool held)
{
    m_floorHeld = held;
    update();
}

void WhoHearsMe::setTalkPartner(const QString &partnerNick)
{
    m_partner = partnerNick;
    update();
}

void WhoHearsMe::setPushToTalk(bool on)
{
    m_pushToTalk = on;
    // A key down before the option was switched must not open the gate
    // later by itself.
    m_keyDown = false;
    update();
}

void WhoHearsMe::setTalkKey(bool down)
{
    m_keyDown = down;
    update();
}

void WhoHearsMe::update()
{
    const bool key = keyOpen();
    const bool gate = m_floorHeld && key;
    // The talk goes peer to peer, past the class relays: it is what the
    // partner hears whatever the floor says.
    const QString text = !m_partner.isEmpty() && key ? TalkText(m_partner)
        : gate                                       ? FloorText()
                                                     : ClosedText();
    if (key != m_keyOpen) {
        m_keyOpen = key;
        Q_EMIT keyOpenChanged(key);
    }
    if (gate != m_gateOpen) {
        m_gateOpen = gate;
        Q_EMIT gateChanged(gate);
    }
    if (text != m_text) {
        m_text = text;
        Q_EMIT textChanged(text);
    }
}

void WhoHearsMe::levelReport(int percent)
{
    m_recent = ((m_recent << 1) | (percent >= SpeechLevel ? 1u : 0u)) & ((1u << ReportWindow) - 1);
    // Held floor with the talk key up is the student's own choice: no hint.
    if (m_floorHeld || !m_partner.isEmpty() || std::popcount(m_recent) < SpeechReports)
        return;
    const qint64 now = m_clockMs();
    if (m_hinted && now - m_lastHintMs < HintIntervalMs)
        return;
    m_hinted = true;
    m_lastHintMs = now;
    Q_EMIT hint(HintText());
}

} // namespace ClassroomVoice
