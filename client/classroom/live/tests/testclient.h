#pragma once

// One student's client in-process: the connection, the seven controls and
// the live-class units, with fakes for the main window's own widgets and
// the voice side. Used by the tests and the benchmark.
#include "client/classroom/live/answerbar.h"
#include "client/classroom/live/classlivestate.h"
#include "client/classroom/live/classports.h"
#include "client/classroom/live/liveclass.h"
#include "client/session/sessionstate.h"
#include "common/prompter.h"
#include "controls/coursemanage/manage.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/toolbar/toolbar.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/volumecontrol/volumemixer.h" // IWYU pragma: keep (unique_ptr of it)
#include "controls/whiteboardole/whiteboardole.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/whiteboardsign.h"
#include "protocol/clsremotesync.h"

#include <QFile>
#include <QMap>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <functional>
#include <memory>

namespace LiveTest {

struct FakeWindow : ClassLive::ClassWindow {
    QMap<int, QString> panelText;
    QMap<int, ClassLive::PanelPicture> panelPicture;
    QString caption, courseName, teacherName;
    bool handRaised = true;
    bool sendNotesEnabled = true;
    bool toolsEnabled = true;
    void setStatusPanel(int panel, const QString &text, ClassLive::PanelPicture picture) override
    {
        panelText[panel] = text;
        panelPicture[panel] = picture;
    }
    void setCaption(const QString &c) override { caption = c; }
    void setCourseNames(const QString &c, const QString &t) override
    {
        courseName = c;
        teacherName = t;
    }
    void setHandPicture(bool raised) override { handRaised = raised; }
    void setSendNotesEnabled(bool e) override { sendNotesEnabled = e; }
    void setWhiteBoardToolsEnabled(bool e) override { toolsEnabled = e; }
};

struct FakeRelays : ClassLive::RelaySetup {
    bool distributed = false;
    int localSetups = 0;
    bool bUDPDistributed() const override { return distributed; }
    void SetupLocalRelays() override { ++localSetups; }
    quint16 LocalListenPort() const override { return 4101; }
    quint16 LocalSpeakPort() const override { return 4102; }
};

struct FakeVoice : ClassLive::ClassVoice {
    QStringList calls;
    void ListenAt(const QString &ip, quint16 l, quint16 s) override
    {
        calls << QStringLiteral("listen %1 %2 %3").arg(ip).arg(l).arg(s);
    }
    void SpeakStop() override { calls << QStringLiteral("speakstop"); }
};

struct FakeFetch : ClassLive::CoursewareFetch {
    QStringList asked;
    // What the download does; by default it fails.
    std::function<bool(const QString &)> result = [](const QString &) { return false; };
    void fetch(const QString &path, std::function<void(bool)> done) override
    {
        asked << path;
        done(result(path));
    }
};

struct FakeFonts : ClassLive::FontChooser {
    bool cancel = false;
    QFont font{QStringLiteral("宋体"), 9};
    void chooseFont(const QFont &, std::function<void(bool, const QFont &)> done) override
    {
        done(!cancel, font);
    }
};

class TestClient
{
public:
    static constexpr int BoardWidth = 600;
    static constexpr int BoardHeight = 400;

    explicit TestClient(QString coursewareFile,
        ClassLive::ClassEntry::Limits limits = ClassLive::ClassEntry::Limits{})
        : courseware(std::move(coursewareFile))
    {
        top.resize(BoardWidth + 200, BoardHeight + 200);
        board = new QWidget(&top);
        board->setGeometry(0, 0, BoardWidth, BoardHeight);
        ole = new WhiteBoardOLE(board);
        ole->setGeometry(board->rect());
        ole->setAreaStartPosX(QStringLiteral("0"));
        ole->setAreaStartPosY(QStringLiteral("0"));
        ole->setAreaEndPosX(QString::number(BoardWidth));
        ole->setAreaEndPosY(QString::number(BoardHeight));
        sign = new WhiteBoardSign(board);
        sign->setGeometry(board->rect());
        users = new UserList(&top);
        notes = new NotesManage(&top);
        notes->setPrompter(&prompter);
        course = new Manage(&top);
        course->setPrompter(&prompter);
        palette = new ToolBar(&top);
        volume = new VolumeControl(std::unique_ptr<VolumeMixer>(), &top);
        answers = new ClassLive::AnswerBar(&top);
        live = std::make_unique<ClassLive::LiveClass>(
            ClassLive::LiveClass::Deps{remote, session, state, prompter, window, *users, *notes,
                *course, *volume, *sign, *ole, *palette, *answers, relays, voice, fetch, fonts,
                *board, [this] { ++firstMoves; }, [this] { return courseware; }},
            limits);
        top.show();
    }

    // Connects to a classroom server and logs in; the entry runs from the
    // first roster on.
    void login(quint16 port, qint32 id, const QString &password)
    {
        session.MyID = id;
        session.UserID = QString::number(id);
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

    QString history() const { return notes->Export(); }

    // The student's mouse on the board, in board pixels, as the main
    // window's whiteboard input hands it to the layer.
    void drag(QPoint from, QPoint to)
    {
        sign->OnMouseDown(1, 0, from.x() * 15.0f, from.y() * 15.0f);
        sign->OnMouseMove(1, 0, to.x() * 15.0f, to.y() * 15.0f);
        sign->OnMouseUp(1, 0, to.x() * 15.0f, to.y() * 15.0f);
    }
    int liveSigns() const { return sign->model().liveCount(); }

    QString courseware;
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
    clsRemoteSync remote;
    SessionState session;
    ClassLive::ClassLiveState state;
    Global::ScriptedPrompter prompter;
    FakeWindow window;
    FakeRelays relays;
    FakeVoice voice;
    FakeFetch fetch;
    FakeFonts fonts;
    int firstMoves = 0;
    std::unique_ptr<ClassLive::LiveClass> live;
};

} // namespace LiveTest
