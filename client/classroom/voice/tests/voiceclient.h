#pragma once

// One student's client in-process with the real voice relays, floor and
// private talk over the live-class units; the engine is replaced by a
// recorder of the voice window's calls and, where a test needs packets, by
// plain sockets at the engine's ports.
#include "client/classroom/live/tests/testclient.h"
#include "client/classroom/voice/floorunit.h"
#include "client/classroom/voice/privatetalk.h"
#include "client/classroom/voice/voiceport.h"
#include "client/classroom/voice/voicerelays.h"

#include <QPushButton>

namespace VoiceTest {

// The voice window's calls, with its speak flag.
struct RecordingVoice : ClassroomVoice::VoicePort, ClassLive::ClassVoice {
    QStringList calls;
    bool speaking = false;
    bool bStartSpeak() const override { return speaking; }
    void SpeakStart() override
    {
        calls << QStringLiteral("speakstart");
        speaking = true;
    }
    void SpeakStop() override
    {
        calls << QStringLiteral("speakstop");
        speaking = false;
    }
    void PointAt(const QString &listenIP, const QString &speakIP, const QString &port) override
    {
        calls << QStringLiteral("point %1 %2 %3").arg(listenIP, speakIP, port);
        speaking = true;
    }
    void ListenOnly(const QString &listenIP, const QString &listenPort, const QString &speakIP,
        const QString &speakPort) override
    {
        calls << QStringLiteral("listen %1:%2 speak %3:%4")
                     .arg(listenIP, listenPort, speakIP, speakPort);
        speaking = false;
    }
    void ListenAt(const QString &ip, quint16 listenPort, quint16 speakPort) override
    {
        calls << QStringLiteral("listen %1:%2 speak %1:%3").arg(ip).arg(listenPort).arg(speakPort);
    }
};

class VoiceClient
{
public:
    explicit VoiceClient(const QString &courseware,
        ClassroomVoice::PrivateTalk::Limits talkLimits = ClassroomVoice::PrivateTalk::Limits{})
    {
        top.resize(800, 600);
        board = new QWidget(&top);
        board->setGeometry(0, 0, 600, 400);
        ole = new WhiteBoardOLE(board);
        sign = new WhiteBoardSign(board);
        users = new UserList(&top);
        users->setGeometry(600, 0, 200, 400);
        notes = new NotesManage(&top);
        notes->setPrompter(&prompter);
        course = new Manage(&top);
        course->setPrompter(&prompter);
        palette = new ToolBar(&top);
        volume = new VolumeControl(std::unique_ptr<VolumeMixer>(), &top);
        answers = new ClassLive::AnswerBar(&top);
        raiseHand = new QPushButton(&top);
        relays = std::make_unique<ClassroomVoice::VoiceRelays>(
            ClassroomVoice::VoiceRelays::Deps{remote});
        live = std::make_unique<ClassLive::LiveClass>(
            ClassLive::LiveClass::Deps{remote, session, state, prompter, window, *users, *notes,
                *course, *volume, *sign, *ole, *palette, *answers, *relays, voice, fetch, fonts,
                *board, [] {}, [courseware] { return courseware; }},
            ClassLive::ClassEntry::Limits{});
        talk = std::make_unique<ClassroomVoice::PrivateTalk>(
            ClassroomVoice::PrivateTalk::Deps{remote, live->gate(), *users, prompter, voice,
                [] { return QStringLiteral(" 2001 "); },
                [this] { return relays->LocalListenPort(); },
                [this] { return relays->LocalSpeakPort(); },
                [this](const QString &text) { talkStatus << text; }},
            talkLimits);
        floor = std::make_unique<ClassroomVoice::FloorUnit>(
            ClassroomVoice::FloorUnit::Deps{remote, live->gate(), session, window, *users, *volume,
                voice, [this] { return talk->TalkPartnerID(); }, raiseHand});
        QObject::connect(floor.get(), &ClassroomVoice::FloorUnit::floorChanged, relays.get(),
            &ClassroomVoice::VoiceRelays::setSpeakOpen);
        QObject::connect(&live->roster(), &ClassLive::RosterBinder::ownVoiceWithdrawn, floor.get(),
            &ClassroomVoice::FloorUnit::ownVoiceWithdrawn);
        QObject::connect(talk.get(), &ClassroomVoice::PrivateTalk::talkChanged, floor.get(),
            &ClassroomVoice::FloorUnit::talkChanged);
        top.show();
    }

    void login(quint16 port, qint32 id, const QString &password)
    {
        session.MyID = id;
        session.CurrentCourse.CategoryID = 7;
        session.CurrentCourse.CourseID = 12;
        remote.setMyID(id);
        QObject::connect(&remote, &clsRemoteSync::Connected, &remote,
            [this, password] { remote.Login(1, password); });
        remote.Connect(QStringLiteral("127.0.0.1"), QString::number(port));
    }

    bool waitInClass(int ms = 10000)
    {
        return QTest::qWaitFor(
            [this] { return live->entry().state() == ClassLive::ClassEntry::State::InClass; }, ms);
    }

    QWidget top;
    QWidget *board = nullptr;
    WhiteBoardOLE *ole = nullptr;
    WhiteBoardSign *sign = nullptr;
    UserList *users = nullptr;
    NotesManage *notes = nullptr;
    Manage *course = nullptr;
    ToolBar *palette = nullptr;
    VolumeControl *volume = nullptr;
    ClassLive::AnswerBar *answers = nullptr;
    QPushButton *raiseHand = nullptr;
    clsRemoteSync remote;
    SessionState session;
    ClassLive::ClassLiveState state;
    Global::ScriptedPrompter prompter;
    LiveTest::FakeWindow window;
    // What the private talk told the student, in order.
    QStringList talkStatus;
    RecordingVoice voice;
    LiveTest::FakeFetch fetch;
    LiveTest::FakeFonts fonts;
    std::unique_ptr<ClassroomVoice::VoiceRelays> relays;
    std::unique_ptr<ClassLive::LiveClass> live;
    std::unique_ptr<ClassroomVoice::PrivateTalk> talk;
    std::unique_ptr<ClassroomVoice::FloorUnit> floor;
};

} // namespace VoiceTest
