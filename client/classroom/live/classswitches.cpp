#include "client/classroom/live/classswitches.h"

#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/classports.h"
#include "client/session/sessionstate.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "protocol/clsremotesync.h"

using namespace Qt::StringLiterals;

namespace ClassLive {

ClassSwitches::ClassSwitches(Deps deps, QObject *parent)
    : QObject(parent)
    , m(deps)
{
    connect(&m.gate, &ClassEventGate::GetMsgGlobalNoteStatus, this, [this](bool on) {
        m.window.setSendNotesEnabled(on);
        m.notes.setSendEnabled(on);
    });
    connect(&m.gate, &ClassEventGate::GetMsgGlobalVoiceStatus, this, &ClassSwitches::onVoice);
    connect(&m.gate, &ClassEventGate::GetMsgGlobalSpeakStatus, this, [this](bool on) {
        if (!on)
            m.users.SetUserPrepareStatus(m.users.myID());
    });
    connect(&m.gate, &ClassEventGate::GetMsgGlobalWhiteBoardStatus, this, [this](bool on) {
        if (on)
            return; // permissions come back one by one as status changes
        m.session.bWhiteBoardPermitted = false;
        m.window.setWhiteBoardToolsEnabled(false);
    });
}

void ClassSwitches::onVoice(bool on)
{
    for (qint32 i = 1, count = m.users.Count(); i <= count; ++i)
        m.users.SetUserVoiceStatus(m.users.GetUserIDByIndex(i), on);
    if (on) {
        m.users.SetUserVoiceStatus(m.users.myID(), true);
        m.volume.SetCmdEnabled(true);
        return;
    }
    m.volume.SetCmdEnabled(false);
    // Nobody speaks from here any more: the "not speaking" picture.
    m.window.setStatusPanel(2, tr("归还话筒"), PanelPicture::Inactive);
    m.remote.SendMicroPhoneRequestion(false);
    m.voice.SpeakStop();
    m.volume.KeyStop();
}

} // namespace ClassLive
