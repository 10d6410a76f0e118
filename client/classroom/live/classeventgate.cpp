#include "client/classroom/live/classeventgate.h"

#include "protocol/clsremotesync.h"

#include <QElapsedTimer>
#include <QPointer>

namespace ClassLive {

template <typename... A>
void ClassEventGate::pass(
    clsRemoteSync &remote, void (clsRemoteSync::*from)(A...), void (ClassEventGate::*to)(A...))
{
    connect(&remote, from, this, [this, to](A... args) {
        // Copies: the connection's arguments live only for this call.
        deliver([this, to, held = std::make_tuple(std::decay_t<A>(args)...)]() {
            std::apply([this, to](const auto &...values) { (this->*to)(values...); }, held);
        });
    });
}

ClassEventGate::ClassEventGate(clsRemoteSync &remote, QObject *parent)
    : QObject(parent)
{
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, &ClassEventGate::handOnSlice);
    pass(remote, &clsRemoteSync::GetNoteMessage, &ClassEventGate::GetNoteMessage);
    pass(remote, &clsRemoteSync::GetMsgLogOut, &ClassEventGate::GetMsgLogOut);
    pass(remote, &clsRemoteSync::GetMsgWhiteBoard, &ClassEventGate::GetMsgWhiteBoard);
    pass(remote, &clsRemoteSync::GetMsgMPVolume, &ClassEventGate::GetMsgMPVolume);
    pass(remote, &clsRemoteSync::GetMsgSPVolume, &ClassEventGate::GetMsgSPVolume);
    pass(remote, &clsRemoteSync::GetMsgEnable, &ClassEventGate::GetMsgEnable);
    pass(remote, &clsRemoteSync::GetMsgURL, &ClassEventGate::GetMsgURL);
    pass(remote, &clsRemoteSync::GetMsgYESNOPrompt, &ClassEventGate::GetMsgYESNOPrompt);
    pass(remote, &clsRemoteSync::GetMsgOKPrompt, &ClassEventGate::GetMsgOKPrompt);
    pass(remote, &clsRemoteSync::GetMsgUserList, &ClassEventGate::GetMsgUserList);
    pass(remote, &clsRemoteSync::GetMsgMicroPhoneRelease, &ClassEventGate::GetMsgMicroPhoneRelease);
    pass(remote, &clsRemoteSync::GetMsgMicroPhoneHold, &ClassEventGate::GetMsgMicroPhoneHold);
    pass(remote, &clsRemoteSync::GetMsgGlobalVoiceStatus, &ClassEventGate::GetMsgGlobalVoiceStatus);
    pass(remote, &clsRemoteSync::GetMsgGlobalNoteStatus, &ClassEventGate::GetMsgGlobalNoteStatus);
    pass(remote, &clsRemoteSync::GetMsgGlobalSpeakStatus, &ClassEventGate::GetMsgGlobalSpeakStatus);
    pass(remote, &clsRemoteSync::GetMsgGlobalWhiteBoardStatus,
        &ClassEventGate::GetMsgGlobalWhiteBoardStatus);
}

void ClassEventGate::deliver(std::function<void()> event)
{
    // While a release is still handing on older events, a newer one waits
    // behind them, so the order of arrival holds.
    if (m_holding || m_next < m_queue.size()) {
        m_queue.push_back(std::move(event));
        return;
    }
    event();
}

void ClassEventGate::hold()
{
    m_holding = true;
}

void ClassEventGate::release()
{
    m_holding = false;
    handOnSlice();
}

void ClassEventGate::handOnSlice()
{
    const QPointer<ClassEventGate> alive(this);
    QElapsedTimer clock;
    clock.start();
    while (!m_holding && m_next < m_queue.size()) {
        if (clock.hasExpired(clsRemoteSync::SliceBudgetMs)) {
            m_nextSlice.start();
            return;
        }
        // Moved out first: the handler may drop the queue under us.
        std::function<void()> event = std::move(m_queue[m_next++]);
        event();
        if (!alive)
            return;
    }
    if (m_next >= m_queue.size()) {
        m_queue.clear();
        m_next = 0;
    }
}

void ClassEventGate::drop()
{
    m_nextSlice.stop();
    m_holding = false;
    m_queue.clear();
    m_next = 0;
}

} // namespace ClassLive
