#include "client/shell/wiring.h"

#include "client/session/sessionstate.h"
#include "client/session/studentsession.h"
#include "client/shell/classlifecycle.h"
#include "client/shell/form1.h"
#include "client/shell/sessionnotices.h"
#include "client/shell/startoptions.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "protocol/clsremotesync.h"

// --- includes: main window ---
#include "client/shell/shellcommands.h"
#include "client/shell/whiteboardinput.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QLabel>
#include <QMouseEvent>
// --- end includes: main window ---

// --- includes: campus road ---
#include "client/campus/campusroad.h"
#include "client/campus/coursecatalogue.h"
#include "client/campus/coursewareredownload.h"
#include "client/campus/frmlogin.h"
#include "client/campus/frmsubscribe.h"
#include "client/campus/frmtip.h"
#include "client/shell/statuspanels.h"

#include <QPushButton>

#include <memory>
// --- end includes: campus road ---

// --- includes: class entry and live class ---
#include "client/classroom/live/answerbar.h"
#include "client/classroom/live/classlivestate.h"
#include "client/classroom/live/desktopports.h"
#include "client/classroom/live/liveclass.h"
#include "client/shell/frmnotes.h"
#include "client/shell/shellpictures.h"
#include "client/shell/statuspanels.h"
#include "common/apppaths.h"
#include "controls/notesmanage/notesmanage.h"

#include <QLineEdit>
#include <QPushButton>
// --- end includes: class entry and live class ---

// --- includes: notes history and desktop notifications ---
#include "client/classroom/live/boardcapture.h"
#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/playbackbinder.h"
#include "client/shell/desktopnotifier.h"
#include "client/shell/frmoptions.h"
#include "client/shell/noteshistory.h"
#include "controls/whiteboardsign/whiteboardsign.h"

#include <QDate>
#include <QPainter>
// --- end includes: notes history and desktop notifications ---

// --- includes: voice, floor and private talk ---
#include "client/classroom/live/classports.h"
#include "client/classroom/live/liveclass.h"
#include "client/classroom/voice/floorunit.h"
#include "client/classroom/voice/privatetalk.h"
#include "client/classroom/voice/voiceport.h"
#include "client/classroom/voice/voicerelays.h"
#include "client/classroom/voice/whohearsme.h"
#include "client/shell/shellpictures.h"
#include "client/shell/statuspanels.h"
#include "client/shell/talkindicator.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/sounddevices.h"
#include "controls/volumecontrol/volumecontrol.h"

#include <QProgressBar>
#include <QPushButton>
// --- end includes: voice, floor and private talk ---

namespace {

// The main window's own widgets as the live class drives them.
struct MainClassWindow : QObject, ClassLive::ClassWindow {
    MainClassWindow(Form1 &f, QObject *parent)
        : QObject(parent)
        , form(f)
    { }
    void setStatusPanel(int panel, const QString &text, ClassLive::PanelPicture picture) override
    {
        if (picture == ClassLive::PanelPicture::Keep)
            form.StatusBar()->setPanelText(panel, text);
        else
            form.StatusBar()->setPanel(
                panel, text, picture == ClassLive::PanelPicture::Active ? 1 : 2);
    }
    void setCaption(const QString &caption) override { form.setWindowTitle(caption); }
    void setCourseNames(const QString &course, const QString &teacher) override
    {
        form.TxtCourseName()->setText(course);
        form.TxtTeacherName()->setText(teacher);
    }
    void setHandPicture(bool raised) override
    {
        form.cmdRaiseHand()->setIcon(ShellPictures::ImageListHand(raised ? 2 : 1));
    }
    void setSendNotesEnabled(bool enabled) override { form.cmdSendNotes()->setEnabled(enabled); }
    void setWhiteBoardToolsEnabled(bool enabled) override { form.Frame3()->setEnabled(enabled); }
    Form1 &form;
};

} // namespace

WiredUnits WireUnits(Form1 &form, const StartOptions &options)
{
    WiredUnits units;
    QObject *owner = form.unitOwner();
    clsRemoteSync &remote = form.RemoteSync();
    SessionState &session = form.session();
    Global::Prompter &prompter = form.prompter();
    // Made by the live class's block, used by the session's.
    ClassLive::ClassLiveState *liveState = nullptr;
    ClassLive::ClassWindow *classWindow = nullptr;

    // --- main window ---
    // The protocol's diagnostics (a refused frame header that closed the
    // connection, a message of no known kind, a send that failed) mostly
    // have no record but this one; the log bounds a server's flood of them.
    QObject::connect(&remote, &clsRemoteSync::SystemLog, owner, [](const QString &line) {
        Global::WriteErrorLog(
            QStringLiteral("Form1"), QStringLiteral("RemoteSync_SystemLog"), line);
    });
    auto *whiteBoardInput = new WhiteBoardInput(
        {remote, session, form.whiteBoardSign(), form.WhiteBoard(), form.whiteBoardOLE(),
            [&form] { return form.frmInput(); }, [&form] { return form.whiteBoardOLE()->grab(); }},
        owner);
    QObject::connect(&form, &Form1::refreshRequested, whiteBoardInput, &WhiteBoardInput::Refresh);
    QObject::connect(
        &form, &Form1::restoredFromMinimized, whiteBoardInput, &WhiteBoardInput::Restored);
    units.whiteBoardInput = whiteBoardInput;

    // What the notes history shows of a class, and the pages it showed,
    // kept on disk (joined to the session below).
    auto *history = new NotesHistory(
        {*form.notesManage(), form.frmNotes()->notesManage(),
            Global::WithTrailingSeparator(Global::DataFolder()) + QStringLiteral("History"),
            [&form] {
                // The page as shown, the signs over it.
                WhiteBoardOLE &ole = *form.whiteBoardOLE();
                QPixmap board = ClassLive::CaptureBoard(ole);
                if (board.isNull())
                    return QImage();
                WhiteBoardSign *sign = form.whiteBoardSign();
                QPainter painter(&board);
                painter.drawPixmap(
                    QRect(ole.mapFromGlobal(sign->mapToGlobal(QPoint())), sign->size()),
                    sign->grab());
                painter.end();
                return board.toImage();
            }},
        owner);
    auto *commands = new ShellCommands(
        {session, prompter, form.notesManage(), &form, {}, {},
            [history](const QString &path) { return history->exportPdf(path); }},
        owner);
    QObject::connect(&form, &Form1::helpRequested, commands, &ShellCommands::Help);
    QObject::connect(&form, &Form1::exportRequested, commands, &ShellCommands::ExportNotes);
    QObject::connect(&form, &Form1::webLinkRequested, commands, &ShellCommands::OpenWebSite);
    // --- end main window ---

    // --- campus road ---
    const CourseCatalogue catalogue(Global::StudentAppName);
    auto *login = new frmLogin(prompter, &form);
    auto *tip = new FrmTip(&form);
    auto *subscribe = new FrmSubscribe(session, catalogue, prompter, &form);
    auto *road = new CampusRoad(
        {remote, session, prompter, catalogue, *login, *tip, *subscribe,
            [&session] { return session.Options; }, [&session] { return session.WebHost; },
            [&form](std::function<void()> closed) {
                // One answer per opening of the dialog.
                auto once = std::make_shared<QMetaObject::Connection>();
                *once = QObject::connect(&form, &Form1::optionsClosed, [once, closed](bool) {
                    QObject::disconnect(*once);
                    closed();
                });
                form.showOptions();
            }},
        owner);
    units.road = road;
    QObject::connect(road, &CampusRoad::connectionStatus, &form, [&form](const QString &text) {
        form.StatusBar()->setPanel(1, text, text == CampusRoad::tr("断开") ? 2 : 1);
    });
    // Connect begins a new session: the notes of the last one go, the
    // floor panel shows idle.
    QObject::connect(road, &CampusRoad::connectStarted, &form, [&form] {
        form.notesManage()->ClearText();
        form.StatusBar()->setPanel(2, CampusRoad::tr("空闲"), 2);
    });
    auto *downloadWindow = new FrmTip(&form);
    auto *redownload
        = new CoursewareRedownload({session, catalogue, prompter, *downloadWindow}, owner);
    QObject::connect(form.cmdDownload(), &QPushButton::clicked, redownload,
        &CoursewareRedownload::cmdDownload_Click);
    road->setAutoEnter(options.enterCourse.toInt());
    if (options.loginAtStart()) {
        QObject::connect(
            &form, &Form1::loaded, road, [road, user = options.user, password = options.password] {
                road->ConnectAs(user, password);
            });
    } else if (options.openLoginAtStart()) {
        QObject::connect(&form, &Form1::loaded, road,
            [road, login, user = options.user, password = options.password] {
                road->Connect();
                login->fill(user, password);
            });
    }
    // --- end campus road ---

    // --- class entry and live class ---
    {
        // The live class's own state and ports, owned beside the units.
        struct LivePorts : QObject {
            using QObject::QObject;
            ClassLive::ClassLiveState state;
            std::unique_ptr<ClassLive::VizeRazavVoice> voice;
            std::unique_ptr<ClassLive::DialogFontChooser> fonts;
            std::unique_ptr<ClassLive::CallbackCoursewareFetch> fetch;
        };
        auto *ports = new LivePorts(owner);
        auto *window = new MainClassWindow(form, owner);
        auto *relays = new ClassroomVoice::VoiceRelays({remote}, owner);
        ports->voice
            = std::make_unique<ClassLive::VizeRazavVoice>([&form] { return form.voiceWindow(); });
        ports->fonts = std::make_unique<ClassLive::DialogFontChooser>(&form);
        // A courseware file missing at class entry is fetched by the same
        // re-download the toolbar offers, question first.
        ports->fetch = std::make_unique<ClassLive::CallbackCoursewareFetch>(
            [redownload, owner](const QString &, std::function<void(bool)> done) {
                auto *once = new QObject(owner);
                QObject::connect(redownload, &CoursewareRedownload::finished, once,
                    [once, done = std::move(done)](CoursewareDownloader::Outcome outcome) {
                        once->deleteLater();
                        done(outcome == CoursewareDownloader::Outcome::Done);
                    });
                redownload->cmdDownload_Click();
            });

        // The answer bar lies along the bottom of the whiteboard, above the
        // presentation and the drawing layer, shown only while a question
        // is open.
        QWidget *board = form.WhiteBoard();
        auto *answers = new ClassLive::AnswerBar(board->parentWidget());
        answers->attachTo(board);
        // 发消息 opens the detached notes window; its panel shows the main
        // panel's recipients and its notes go out through the notes unit.
        FrmNotes *notesWindow = form.frmNotes();
        notesWindow->notesManage()->follow(form.notesManage());
        notesWindow->notesManage()->setPrompter(&prompter);
        QObject::connect(form.cmdSendNotes(), &QPushButton::clicked, notesWindow, &FrmNotes::open);

        auto *live = new ClassLive::LiveClass(
            {remote, session, ports->state, prompter, *window, *form.ListViewUserList(),
                *form.notesManage(), *form.CourseManage(), *form.volumeControl(),
                *form.whiteBoardSign(), *form.whiteBoardOLE(), *form.WhiteBoardToolBar(), *answers,
                *relays, *ports->voice, *ports->fetch, *ports->fonts, *board,
                [whiteBoardInput] { whiteBoardInput->setFirstMove(true); },
                [&session, catalogue] {
                    return catalogue.coursewareFolder() + session.CurrentCoursewareFile;
                },
                notesWindow->notesManage(), form.cmdSendMail()},
            owner);
        // A play completes a text or arrow still armed with a click at the
        // board's (100, 100), through the window's whiteboard input.
        QObject::connect(&live->playback(), &ClassLive::PlaybackBinder::aboutToPlay,
            whiteBoardInput, [whiteBoardInput, board] {
                whiteBoardInput->MouseDown(1, 1, board->geometry().topLeft() + QPoint(100, 100));
            });
        units.live = live;
        units.answers = answers;
        units.relays = relays;
        liveState = &ports->state;
        classWindow = window;
    }
    // --- end class entry and live class ---

    // --- voice, floor and private talk ---
    {
        ClassLive::LiveClass *live = units.live;
        ClassroomVoice::VoiceRelays *relays = units.relays;
        // Panel 2 and the raise-hand picture, as the floor drives them.
        auto *floorWindow = new MainClassWindow(form, owner);
        struct VoicePorts : QObject {
            VoicePorts(Form1 &f, QObject *parent)
                : QObject(parent)
                , form(f)
            { }
            Form1 &form;
            ClassroomVoice::VizeRazavPort voice{[this] { return form.voiceWindow(); }};
        };
        auto *ports = new VoicePorts(form, owner);
        auto *talk = new ClassroomVoice::PrivateTalk(
            {remote, live->gate(), *form.ListViewUserList(), prompter, ports->voice,
                [&session] { return session.Options.gChatPort; },
                [relays] { return relays->LocalListenPort(); },
                [relays] { return relays->LocalSpeakPort(); },
                // Panel 3 (beside the level bar) says how a talk stands.
                [&form](const QString &text) { form.StatusBar()->setPanelText(3, text); }},
            owner);
        auto *floor = new ClassroomVoice::FloorUnit(
            {remote, live->gate(), session, *floorWindow, *form.ListViewUserList(),
                *form.volumeControl(), ports->voice, [talk] { return talk->TalkPartnerID(); },
                form.cmdRaiseHand()},
            owner);
        // The microphone reaches the class only while the floor is held,
        // and the partner only in a talk (each only while the talk key is
        // down, with push-to-talk on); the indicator
        // beside the microphone says who hears the student.
        auto *hears = new ClassroomVoice::WhoHearsMe({}, owner);
        TalkIndicator *indicator = form.talkIndicator();
        QObject::connect(floor, &ClassroomVoice::FloorUnit::floorChanged, hears,
            &ClassroomVoice::WhoHearsMe::setFloorHeld);
        QObject::connect(talk, &ClassroomVoice::PrivateTalk::talkChanged, hears,
            &ClassroomVoice::WhoHearsMe::setTalkPartner);
        QObject::connect(talk, &ClassroomVoice::PrivateTalk::talkChanged, floor,
            &ClassroomVoice::FloorUnit::talkChanged);
        QObject::connect(hears, &ClassroomVoice::WhoHearsMe::gateChanged, relays,
            &ClassroomVoice::VoiceRelays::setSpeakOpen);
        QObject::connect(indicator, &TalkIndicator::pushToTalkChanged, hears,
            &ClassroomVoice::WhoHearsMe::setPushToTalk);
        QObject::connect(
            indicator, &TalkIndicator::talkKey, hears, &ClassroomVoice::WhoHearsMe::setTalkKey);
        // A private talk goes peer to peer, past the relays' gate: with
        // push-to-talk the talk key opens and closes the engine's speaking.
        QObject::connect(hears, &ClassroomVoice::WhoHearsMe::keyOpenChanged, talk,
            &ClassroomVoice::PrivateTalk::setMicrophoneAllowed);
        QObject::connect(
            hears, &ClassroomVoice::WhoHearsMe::textChanged, indicator, &TalkIndicator::setText);
        QObject::connect(
            hears, &ClassroomVoice::WhoHearsMe::hint, indicator, &TalkIndicator::showHint);
        // The level bar moves with the engine's level reports.
        QObject::connect(form.SoundBar(), &QProgressBar::valueChanged, hears,
            &ClassroomVoice::WhoHearsMe::levelReport);
        indicator->setText(hears->text());
        // The student's own voice permission taken away ends a held floor
        // at once, after the roster has given the microphone back.
        QObject::connect(&live->roster(), &ClassLive::RosterBinder::ownVoiceWithdrawn, floor,
            &ClassroomVoice::FloorUnit::ownVoiceWithdrawn);
        units.talk = talk;
        units.floor = floor;
        units.hears = hears;
    }
    // --- end voice, floor and private talk ---

    // --- the session ---
    {
        // The road as the session drives it.
        struct RoadPort : QObject, SessionRoad {
            RoadPort(CampusRoad &r, QObject *parent)
                : QObject(parent)
                , road(r)
            { }
            void leaveServer() override { road.Disconnect(); }
            void returnToClass() override { road.Return(); }
            void probeServers(std::function<void(bool)> answer) override
            {
                road.probeCampus(std::move(answer));
            }
            CampusRoad &road;
        };
        ClassLive::LiveClass *live = units.live;
        auto *roadPort = new RoadPort(*road, owner);
        auto *lifecycle = new ClassLifecycle(
            {form, session, *liveState, *classWindow, *live, *units.answers, *units.floor,
                *units.talk, *units.relays, *units.whiteBoardInput},
            owner);
        // The board's last page is kept before the class's end wipes it.
        struct ClassUnits : QObject, SessionClassUnits {
            ClassUnits(ClassLifecycle &l, NotesHistory &h, QObject *parent)
                : QObject(parent)
                , lifecycle(l)
                , history(h)
            { }
            void classBegan() override { lifecycle.classBegan(); }
            void classEnded(StudentSession::Exit how, bool connectionUp) override
            {
                history.keepPage();
                lifecycle.classEnded(how, connectionUp);
            }
            ClassLifecycle &lifecycle;
            NotesHistory &history;
        };
        auto *classUnits = new ClassUnits(*lifecycle, *history, owner);
        auto *student = new StudentSession(*roadPort, *classUnits, owner);
        units.session = student;
        units.lifecycle = lifecycle;

        QObject::connect(road, &CampusRoad::connectStarted, student, &StudentSession::roadStarted);
        QObject::connect(road, &CampusRoad::stateChanged, student, [student](CampusRoad::State s) {
            if (s == CampusRoad::State::Booking)
                student->bookingShown();
        });
        QObject::connect(
            road, &CampusRoad::enteringClassroom, student, &StudentSession::classroomConnecting);
        QObject::connect(road, &CampusRoad::disconnected, student, &StudentSession::roadEnded);
        QObject::connect(
            road, &CampusRoad::classroomLost, student, &StudentSession::connectionLost);
        QObject::connect(&live->entry(), &ClassLive::ClassEntry::entered, student,
            &StudentSession::classEntered);
        QObject::connect(&live->entry(), &ClassLive::ClassEntry::leaveRequested, student,
            [student] { student->leave(StudentSession::Exit::EntryFailed); });
        QObject::connect(&live->roster(), &ClassLive::RosterBinder::putOut, student,
            [student] { student->leave(StudentSession::Exit::PutOut); });
        QObject::connect(&live->roster(), &ClassLive::RosterBinder::loginRefused, student,
            [student] { student->leave(StudentSession::Exit::LoginRefused); });

        // The menu's Connect calls a return off first; Disconnect and the
        // window's end are ways out of a class like any other.
        QObject::connect(&form, &Form1::connectRequested, road, [student, road] {
            if (student->stage() == StudentSession::Stage::Returning)
                student->disconnectRequested();
            road->Connect();
        });
        QObject::connect(
            &form, &Form1::disconnectRequested, student, &StudentSession::disconnectRequested);
        QObject::connect(&form, &Form1::unloading, student,
            [student] { student->leave(StudentSession::Exit::Quit); });
        QObject::connect(&form, &Form1::loaded, lifecycle, &ClassLifecycle::showNoClass);

        new SessionNotices(*student, *form.StatusBar(), *form.notesManage(), prompter, owner);
        // Web pages need the window ready for them before a class can play
        // one; the cost of that is left out of the start.
        QObject::connect(
            student, &StudentSession::stageChanged, &form, [&form](StudentSession::Stage stage) {
                if (stage == StudentSession::Stage::Entering)
                    form.whiteBoardOLE()->prepareForWeb();
            });
    }
    // --- end the session ---

    // --- the watch for speech that nobody hears ---
    {
        // The engine captures only for a floor or a talk. In class
        // otherwise a peak meter on the chosen microphone listens, so that
        // speaking to a closed microphone brings the hint. Only the levels
        // are read: no sound leaves the program.
        StudentSession *student = units.session;
        ClassroomVoice::WhoHearsMe *hears = units.hears;
        const auto update = [&form, student, hears] {
            const bool watch = student->stage() == StudentSession::Stage::InClass
                && hears->text() == ClassroomVoice::WhoHearsMe::ClosedText();
            if (!watch && !form.hasSoundDevices())
                return;
            SoundDevices &devices = form.soundDevices();
            QObject::connect(&devices, &SoundDevices::level, hears,
                &ClassroomVoice::WhoHearsMe::levelReport, Qt::UniqueConnection);
            devices.setMeterUse(SoundDevices::SpeechWatch, watch);
        };
        QObject::connect(student, &StudentSession::stageChanged, hears, update);
        QObject::connect(hears, &ClassroomVoice::WhoHearsMe::textChanged, hears, update);
    }

    // --- notes history and desktop notifications ---
    {
        StudentSession *student = units.session;
        ClassLive::LiveClass *live = units.live;
        // A class is one day's lesson of the student's course (its class
        // time is a weekly slot) on a campus server; entering it again that
        // day (after a crash, a restart, a return) finds its record.
        QObject::connect(student, &StudentSession::stageChanged, history,
            [history, &session](StudentSession::Stage stage) {
                if (stage != StudentSession::Stage::Entering)
                    return;
                history->classEntering(
                    QStringList{session.Options.CampusServerIP, QString::number(session.MyID),
                        QString::number(session.CurrentCourse.CategoryID),
                        QString::number(session.CurrentCourse.CourseID),
                        session.CurrentCourse.ClassTime, QDate::currentDate().toString(Qt::ISODate)}
                        .join(u'|'));
            });
        QObject::connect(road, &CampusRoad::connectStarted, history, &NotesHistory::panelCleared);
        QObject::connect(&live->playback(), &ClassLive::PlaybackBinder::aboutToPlay, history,
            &NotesHistory::pageChanging);
        QObject::connect(&live->gate(), &ClassLive::ClassEventGate::GetMsgWhiteBoard, history,
            [history](qint32 ShapeType) {
                if (ShapeType == 255)
                    history->boardWiped();
                else
                    history->boardDrawn();
            });

        auto *notifier = new DesktopNotifier({}, owner);
        notifier->setEnabled(Global::LoadDesktopNotifications(Global::StudentAppName));
        QObject::connect(&form, &Form1::optionsClosed, notifier, [notifier](bool saved) {
            if (saved)
                notifier->setEnabled(Global::LoadDesktopNotifications(Global::StudentAppName));
        });
        notifier->watchClass(
            live->gate(), *units.floor, *student, [&remote] { return remote.MyID(); },
            [&form](qint32 id) { return form.ListViewUserList()->GetUserByID(id).UserNick; });
        units.notifier = notifier;
        units.history = history;
    }
    // --- end notes history and desktop notifications ---
    return units;
}
