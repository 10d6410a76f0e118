#include "client/shell/classlifecycle.h"

#include "client/classroom/frmvizerazav.h"
#include "client/classroom/live/answerbar.h"
#include "client/classroom/live/classlivestate.h"
#include "client/classroom/live/classports.h"
#include "client/classroom/live/liveclass.h"
#include "client/classroom/voice/floorunit.h"
#include "client/classroom/voice/privatetalk.h"
#include "client/classroom/voice/voicerelays.h"
#include "client/session/sessionstate.h"
#include "client/shell/form1.h"
#include "client/shell/whiteboardinput.h"
#include "controls/coursemanage/manage.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/whiteboardole/whiteboardole.h"
#include "controls/whiteboardsign/whiteboardsign.h"
#include "protocol/clsremotesync.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>

using ClassLive::PanelPicture;

ClassLifecycle::ClassLifecycle(Units units, QObject *parent)
    : QObject(parent)
    , m(units)
    , m_title(units.form.windowTitle())
{
    for (QWidget *control : {static_cast<QWidget *>(m.form.cmdRaiseHand()),
             static_cast<QWidget *>(m.form.cmdSendNotes()), m.form.Frame3()})
        m_tips.insert(control, control->toolTip());
}

QString ClassLifecycle::needsClassText()
{
    return tr("进入教室后才能使用");
}

void ClassLifecycle::setClassControlsEnabled(bool enabled)
{
    // The volume control words its button's tooltip itself; outside a
    // class the reason is the class.
    m.form.volumeControl()->SetCmdEnabled(enabled);
    if (!enabled)
        m.form.volumeControl()->cmdSpeaker()->setToolTip(needsClassText());
    for (auto it = m_tips.cbegin(); it != m_tips.cend(); ++it) {
        it.key()->setEnabled(enabled);
        if (!enabled)
            it.key()->setToolTip(needsClassText());
    }
}

void ClassLifecycle::showNoClass()
{
    setClassControlsEnabled(false);
    m.form.notesManage()->setSendEnabled(false);
    m.session.bWhiteBoardPermitted = false;
}

void ClassLifecycle::classBegan()
{
    // The roster has set the notes and drawing permissions already; the
    // hand and the microphone are a class's own.
    m.form.cmdRaiseHand()->setEnabled(true);
    m.form.cmdRaiseHand()->setToolTip(m_tips.value(m.form.cmdRaiseHand()));
    m.form.volumeControl()->SetCmdEnabled(true);
    for (QWidget *control : {static_cast<QWidget *>(m.form.cmdSendNotes()), m.form.Frame3()})
        control->setToolTip(m_tips.value(control));
}

void ClassLifecycle::classEnded(StudentSession::Exit /*how*/, bool connectionUp)
{
    // 1. The microphone first: nothing said from here reaches anyone.
    m.floor.endFloor();
    m.relays.setSpeakOpen(false);
    // 2. A private talk ends; the partner hears of it while the
    //    connection still carries a note.
    if (connectionUp)
        m.talk.leave();
    else
        m.talk.reset();
    // 3. The engine stops speaking and listening (it is not loaded for
    //    this when no class ever started it), then the relays stop.
    if (Classroom::frmVizeRazav *voice = m.form.existingVoiceWindow()) {
        voice->SpeakStop();
        voice->ListenStop();
    }
    m.relays.stopServerRelay();
    // 4. Entry starts over; class events still held are dropped.
    m.liveClass.entry().reset();
    m.live = ClassLive::ClassLiveState{};
    // 5. The roster and the recipients; the notes go to everybody again.
    m.form.ListViewUserList()->RemoveAllUsers();
    m.form.notesManage()->RemoveAllUsers();
    // 6. The courseware is closed: a play command of the next entry finds
    //    no old course tree.
    Manage *course = m.form.CourseManage();
    course->setConnected(false);
    course->setbIsOpened(false);
    course->Clear();
    // 7. What the class showed.
    m.answers.setYesNoSwitch(false);
    m.answers.setOkSwitch(false);
    m.form.whiteBoardSign()->ClearSign();
    m.form.whiteBoardSign()->ClearPicture();
    m.form.whiteBoardOLE()->Clear_OLE();
    m.input.setFirstMove(true);
    m.window.setCaption(m_title);
    m.window.setCourseNames(QString(), QString());
    m.window.setHandPicture(false);
    m.form.volumeControl()->KeyStop();
    // 8. The session's class flags and the status panels.
    m.session.bInClass = false;
    m.window.setStatusPanel(1, tr("断开"), PanelPicture::Inactive);
    m.window.setStatusPanel(2, tr("空闲"), PanelPicture::Inactive);
    // 9. Every control that needs a class says so.
    showNoClass();
}
