// The main window as the student uses it in class, wired as the program
// wires it, against the local classroom server: the teacher's questions
// answered with the mouse where the buttons are shown (over the board and
// over a picture the teacher plays), heard by screen readers, and 发消息
// opening the notes window whose notes go out through the class, and the
// desktop's notifications while the window is in the background, and the
// talk key in a private talk, heard (or not) at the partner's socket.
#include "client/classroom/frmvizerazav.h"
#include "client/classroom/live/answerbar.h"
#include "client/classroom/live/liveclass.h"
#include "client/classroom/live/tests/coursefixture.h"
#include "client/classroom/live/tests/testclient.h"
#include "client/classroom/voice/privatetalk.h"
#include "client/classroom/voice/voicerelays.h"
#include "client/session/sessionstate.h"
#include "client/session/studentsession.h"
#include "client/shell/form1.h"
#include "client/shell/frmnotes.h"
#include "client/shell/frmoptions.h"
#include "client/shell/startoptions.h"
#include "client/shell/talkindicator.h"
#include "client/shell/wiring.h"
#include "common/apppaths.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/whiteboardole/whiteboardole.h"
#include "protocol/clsremotesync.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkDatagram>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QToolBar>
#include <QUdpSocket>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// A left click delivered to `widget`'s window where the pointer would be
// over the widget's middle: whatever lies on top there takes it.
void clickInWindow(QWidget *widget)
{
    QWidget *top = widget->window();
    QTest::mouseClick(
        top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, widget->rect().center()));
}

// The desktop's notification service as a test stands in for it: what
// was asked to be shown.
class NotificationListener : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList shown; // "summary | body"
    QList<uint> replaced;

public Q_SLOTS:
    QStringList GetCapabilities() { return {u"body"_s, u"body-markup"_s}; }
    uint Notify(const QString &, uint replacesId, const QString &, const QString &summary,
        const QString &body, const QStringList &, const QVariantMap &, int)
    {
        shown << summary + u" | "_s + body;
        replaced << replacesId;
        return uint(shown.size());
    }
};

bool isRed(const QColor &c)
{
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

class ClassWindow : public LiveTest::ClassFixture
{
protected:
    void SetUp() override
    {
        ClassFixture::SetUp();
        ASSERT_TRUE(QDir().mkpath(Global::CourseFolder()));
        ASSERT_TRUE(QFile::copy(coursePath, Global::CourseFolder() + u"one.lsn"_s));
        Global::WriteFirstRun(u"False"_s);
        form = std::make_unique<Form1>(prompter);
        form->setCompanionProgram(QDir::tempPath() + u"/lumo-missing-castagent"_s);
        units = WireUnits(*form, StartOptions{});
        form->Load();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    void TearDown() override { form.reset(); }

    // The campus road's steps before the classroom login, which the
    // fixture's own login stands in for: the session then sees the class.
    void roadReachesTheClassroom()
    {
        units.session->roadStarted();
        units.session->classroomConnecting();
    }

    WiredUnits units;

    // Logs in to the classroom as the campus road would after booking, and
    // waits until class entry is over.
    void enterAs(qint32 id, const QString &password)
    {
        SessionState &session = form->session();
        session.MyID = id;
        session.UserID = QString::number(id);
        session.CurrentCourse.CategoryID = 7;
        session.CurrentCourse.CourseID = 12;
        session.CurrentCoursewareFile = u"one.lsn"_s;
        clsRemoteSync &remote = form->RemoteSync();
        remote.setMyID(id);
        QObject::connect(&remote, &clsRemoteSync::Connected, &remote,
            [&remote, password] { remote.Login(1, password); });
        remote.Connect(u"127.0.0.1"_s, QString::number(server->port()));
        auto *live = form->unitOwner()->findChild<ClassLive::LiveClass *>(
            QString(), Qt::FindDirectChildrenOnly);
        ASSERT_NE(live, nullptr);
        ASSERT_TRUE(QTest::qWaitFor(
            [live] { return live->entry().state() == ClassLive::ClassEntry::State::InClass; },
            10000));
    }

    // The answers the server received, as "kind yes|no".
    QStringList answers() const
    {
        QStringList out;
        for (const QJsonObject &entry : logOf(u"answer"_s))
            out << entry.value(u"kind"_s).toString() + u' '
                    + (entry.value(u"boolYes"_s).toBool() ? u"yes"_s : u"no"_s);
        return out;
    }

    // Whether the server passed on that note.
    bool sentNote(qint32 FromID, qint32 ToID, const QString &text) const
    {
        for (const QJsonObject &note : logOf(u"note"_s))
            if (note.value(u"FromID"_s).toInt() == FromID && note.value(u"ToID"_s).toInt() == ToID
                && note.value(u"Message"_s).toString() == text)
                return true;
        return false;
    }

    Global::ScriptedPrompter prompter;
    std::unique_ptr<Form1> form;
};

} // namespace

TEST_F(ClassWindow, QuestionsAreAnsweredWithTheMouseOverTheBoardAndOverAPlayedPicture)
{
    enterAs(11, u"pw-ann"_s);
    auto *bar = form->findChild<ClassLive::AnswerBar *>();
    ASSERT_NE(bar, nullptr);

    teacher(u"yesno Ready?"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 5000));
    // Along the bottom of the board, inside it, and what the pointer finds
    // there is the bar's button, not the drawing layer.
    const QRect board = form->WhiteBoard()->geometry();
    EXPECT_TRUE(board.contains(bar->geometry()));
    EXPECT_EQ(bar->geometry().bottom(), board.bottom());
    const auto under = [&](QWidget *widget) {
        return form->childAt(widget->mapTo(form.get(), widget->rect().center()));
    };
    EXPECT_EQ(under(bar->yesButton()), bar->yesButton());
    // A screen reader reads the question from the bar, its text and its
    // buttons.
    auto *text = bar->findChild<QLabel *>(u"answerQuestion"_s);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(text)->text(QAccessible::Name), u"Ready?"_s);
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(bar)->text(QAccessible::Description), u"Ready?"_s);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(bar->yesButton())
                    ->text(QAccessible::Description)
                    .contains(u"Ready?"_s));

    clickInWindow(bar->yesButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers().size() == 1; }, 5000));
    EXPECT_EQ(answers(), QStringList({u"yesno yes"_s}));
    EXPECT_FALSE(bar->isVisible());

    // The teacher shows a picture: the presentation raises it inside the
    // board, and the next question still lies on top of it.
    teacher(u"play 2"_s);
    WhiteBoardOLE *ole = form->whiteBoardOLE();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QImage shown = ole->grab().toImage();
            return isRed(shown.pixelColor(shown.width() / 2, shown.height() / 4));
        },
        5000));
    teacher(u"yesno Again?"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 5000));
    EXPECT_EQ(under(bar->noButton()), bar->noButton());
    clickInWindow(bar->noButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers().size() == 2; }, 5000));
    EXPECT_EQ(answers().last(), u"yesno no"_s);

    // A window resize lays the board stack out again (the layer raised
    // over the presentation); the OK question is still on top.
    form->resize(form->width() + 10, form->height());
    teacher(u"ok Done?"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->okButton()->isVisible(); }, 5000));
    EXPECT_FALSE(bar->yesButton()->isVisible());
    EXPECT_EQ(under(bar->okButton()), bar->okButton());
    clickInWindow(bar->okButton());
    ASSERT_TRUE(QTest::qWaitFor([&] { return answers().size() == 3; }, 5000));
    EXPECT_EQ(answers().last(), u"ok yes"_s);
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(ClassWindow, TheSendNotesButtonOpensTheNotesWindowWhoseNotesGoThroughTheClass)
{
    enterAs(11, u"pw-ann"_s);
    auto *bob = new clsRemoteSync(form.get());
    bob->setMyID(12);
    QObject::connect(bob, &clsRemoteSync::Connected, bob, [bob] { bob->Login(1, u"pw-bob"_s); });
    bob->Connect(u"127.0.0.1"_s, QString::number(server->port()));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return form->notesManage()->SelectUser(12)
                && form->notesManage()->SelectedUserID() == 12;
        },
        5000));

    clickInWindow(form->cmdSendNotes());
    FrmNotes *window = form->frmNotes();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    NotesManage *panel = window->notesManage();
    // The class's recipients and permission; the window's own history.
    auto *recipients = panel->findChild<QComboBox *>(u"cmbList"_s);
    auto *mainRecipients = form->notesManage()->findChild<QComboBox *>(u"cmbList"_s);
    ASSERT_EQ(recipients->count(), mainRecipients->count());
    const int bobItem = recipients->findText(u"bob"_s);
    ASSERT_GT(bobItem, 0);
    EXPECT_TRUE(panel->SendEnabled());
    recipients->setCurrentIndex(bobItem);
    auto *box = panel->findChild<QLineEdit *>(u"txtSend"_s);
    QTest::keyClicks(box, u"hello bob"_s);
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sentNote(11, 12, u"hello bob"_s); }, 5000));
    EXPECT_TRUE(panel->Export().contains(u"hello bob"_s));
    EXPECT_FALSE(form->notesManage()->Export().contains(u"hello bob"_s));

    // In the main window Alt+S belongs to the 系统(&S) menu alone: it opens
    // the menu and sends nothing. Ctrl+Enter sends from the panel.
    QApplication::setActiveWindow(form.get());
    auto *mainBox = form->notesManage()->findChild<QLineEdit *>(u"txtSend"_s);
    mainBox->setFocus();
    QTest::keyClicks(mainBox, u"by keys"_s);
    QTest::keyClick(mainBox, Qt::Key_S, Qt::AltModifier);
    QMenu *system = form->menuBar()->actions().constFirst()->menu();
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return system->isVisible(); }, 2000));
    system->close();
    EXPECT_EQ(mainBox->text(), u"by keys"_s);
    QTest::keyClick(mainBox, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sentNote(11, 12, u"by keys"_s); }, 5000));
    EXPECT_EQ(mainBox->text(), QString());

    // The teacher switches notes off: the window's panel follows at once.
    teacher(u"notes off"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->notesManage()->SendEnabled(); }, 5000));
    EXPECT_FALSE(panel->SendEnabled());
    EXPECT_FALSE(box->isEnabled());
}

TEST_F(ClassWindow, TheClassCallsThroughTheDesktopOnlyWhileTheWindowIsInTheBackground)
{
    // A session bus of the test's own, and on it the notification service.
    QProcess bus;
    bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
    if (!bus.waitForStarted(5000))
        GTEST_SKIP() << "dbus-daemon not installed";
    ASSERT_TRUE(QTest::qWaitFor([&] { return bus.canReadLine(); }, 5000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    const QByteArray before = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    NotificationListener listener;
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, u"listener"_s);
        ASSERT_TRUE(service.isConnected());
        ASSERT_TRUE(service.registerObject(
            u"/org/freedesktop/Notifications"_s, &listener, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service.registerService(u"org.freedesktop.Notifications"_s));
    }
    enterAs(11, u"pw-ann"_s);

    // In front: a question shows on the board only. In the background:
    // through the desktop too (calls keep their order, so the first
    // question would have come first).
    QApplication::setActiveWindow(form.get());
    teacher(u"yesno In front?"_s);
    teacher(u"note marker"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return form->notesManage()->Export().contains(u"marker"_s); }, 5000));
    QApplication::setActiveWindow(nullptr);
    teacher(u"ok Behind?"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !listener.shown.isEmpty(); }, 5000));
    EXPECT_EQ(listener.shown.first(), u"老师提问 | Behind?"_s);
    // A note to the student, read as text however it is written; one to
    // everybody calls nobody.
    teacher(u"note 大家好"_s);
    teacher(u"note to=11 <a href=\"http://x\">看</a>"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.shown.size() == 2; }, 5000));
    EXPECT_EQ(listener.shown.last(),
        u"王老师 给你的短消息 | &lt;a href=&quot;http://x&quot;&gt;看&lt;/a&gt;"_s);

    // Switched off in the options, with the mouse: nothing; on again: the
    // next note is the next notification.
    const auto setSwitch = [&](bool on) {
        form->showOptions();
        auto *options = form->findChild<frmOptions *>();
        ASSERT_NE(options, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(options));
        QTest::mouseClick(
            options->tbsOptions(), Qt::LeftButton, {}, options->tbsOptions()->tabRect(2).center());
        QCheckBox *box = options->chkNotifications();
        ASSERT_TRUE(box->isEnabled());
        if (box->isChecked() != on)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        ASSERT_EQ(box->isChecked(), on);
        QTest::mouseClick(options->findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
        ASSERT_FALSE(options->isVisible());
        EXPECT_EQ(Global::LoadDesktopNotifications(Global::StudentAppName), on);
    };
    setSwitch(false);
    QApplication::setActiveWindow(nullptr);
    teacher(u"note to=11 关掉以后"_s);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return form->notesManage()->Export().contains(u"关掉以后"_s); }, 5000));
    setSwitch(true);
    QApplication::setActiveWindow(nullptr);
    teacher(u"note to=11 又打开了"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.shown.size() == 3; }, 5000))
        << listener.shown.join(u'\n').toStdString();
    EXPECT_EQ(listener.shown.last(), u"王老师 给你的短消息 | 又打开了"_s);
    // The newer note replaces the one shown before.
    EXPECT_EQ(listener.replaced.last(), 2u);

    QDBusConnection::disconnectFromBus(u"listener"_s);
    qputenv("DBUS_SESSION_BUS_ADDRESS", before);
    bus.kill();
    bus.waitForFinished(5000);
}

#include "classwindow_test.moc"

TEST_F(ClassWindow, TheIndicatorBesideTheMicrophoneSaysWhoHearsAndTheTalkKeyOpensTheMicrophone)
{
    // No sound devices here: the engine is not loaded; the floor and the
    // relays' gate do not need it.
    qputenv("LUMO_VOICE_ENGINE", QDir::tempPath().toUtf8() + "/lumo-no-voice-engine.so");
    struct Restore {
        ~Restore() { qunsetenv("LUMO_VOICE_ENGINE"); }
    } restore;
    enterAs(11, u"pw-ann"_s);
    TalkIndicator *indicator = form->talkIndicator();
    auto *relays = form->unitOwner()->findChild<ClassroomVoice::VoiceRelays *>(
        QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(relays, nullptr);
    ASSERT_TRUE(indicator->isVisible());
    const auto shown = [indicator] { return indicator->stateLabel()->text(); };
    EXPECT_EQ(shown(), u"话筒关闭"_s);

    // The level bar moving as the engine reports speech, with neither floor
    // nor talk: the hint bubble over the indicator, not a message box.
    EXPECT_FALSE(indicator->hintBubble()->isVisible());
    for (const int level : {30, 45, 38, 52, 41, 47})
        form->SoundBar()->setValue(level);
    EXPECT_TRUE(indicator->hintBubble()->isVisible());
    EXPECT_EQ(indicator->hintBubble()->text(), u"你现在没有话筒，举手或申请话筒"_s);
    EXPECT_LT(indicator->hintBubble()->geometry().bottom(), indicator->geometry().top());
    form->SoundBar()->setValue(0);

    // The teacher lets the student speak, the microphone button asks, the
    // teacher grants at the server's desk.
    teacher(u"permit 11 speak on"_s);
    QAbstractButton *mic = form->volumeControl()->cmdSpeaker();
    ASSERT_TRUE(QTest::qWaitFor([mic] { return mic->isEnabled(); }, 5000));
    clickInWindow(mic);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->floorQueue().contains(11); }, 5000));
    teacher(u"grant 11"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown() == u"全班在听"_s; }, 5000))
        << qPrintable(shown());
    EXPECT_TRUE(relays->isSpeakOpen());

    // Push-to-talk, switched on with the mouse: the class hears only while
    // the key is held, wherever the focus is in the window.
    clickInWindow(indicator->pushToTalkBox());
    ASSERT_TRUE(indicator->pushToTalkBox()->isChecked());
    EXPECT_EQ(shown(), u"话筒关闭"_s);
    EXPECT_FALSE(relays->isSpeakOpen());
    QWidget *focus = form->ListViewUserList();
    focus->setFocus();
    QTest::keyPress(focus, TalkIndicator::TalkKey);
    EXPECT_EQ(shown(), u"全班在听"_s);
    EXPECT_TRUE(relays->isSpeakOpen());
    // A held key repeats: the repeats change nothing.
    QTest::simulateEvent(focus, true, TalkIndicator::TalkKey, {}, {}, true);
    QTest::simulateEvent(focus, false, TalkIndicator::TalkKey, {}, {}, true);
    EXPECT_TRUE(relays->isSpeakOpen());
    QTest::keyRelease(focus, TalkIndicator::TalkKey);
    EXPECT_EQ(shown(), u"话筒关闭"_s);
    EXPECT_FALSE(relays->isSpeakOpen());

    // Held while the window loses the focus: released, never stuck open.
    QTest::keyPress(focus, TalkIndicator::TalkKey);
    EXPECT_TRUE(relays->isSpeakOpen());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(form.get(), &deactivate);
    EXPECT_FALSE(relays->isSpeakOpen());
    EXPECT_EQ(shown(), u"话筒关闭"_s);
    // Its release, coming later elsewhere, opens nothing.
    QTest::keyRelease(focus, TalkIndicator::TalkKey);
    EXPECT_FALSE(relays->isSpeakOpen());

    // Off again: the floor alone decides; the teacher's take-back closes it.
    clickInWindow(indicator->pushToTalkBox());
    EXPECT_EQ(shown(), u"全班在听"_s);
    EXPECT_TRUE(relays->isSpeakOpen());
    teacher(u"takeback"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown() == u"话筒关闭"_s; }, 5000));
    EXPECT_FALSE(relays->isSpeakOpen());
}

TEST_F(ClassWindow, SpeakingToAClosedMicrophoneInClassBringsTheHintFromTheChosenMicrophone)
{
    QProcess pactl;
    pactl.start(u"pactl"_s,
        {u"load-module"_s, u"module-sine-source"_s, u"source_name=lumo_test_voice"_s,
            u"frequency=220"_s});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        GTEST_SKIP() << "no PulseAudio server (scripts/test-env.sh starts one)";
    const QString module = QString::fromUtf8(pactl.readAllStandardOutput()).trimmed();
    struct Unload {
        QString module;
        ~Unload() { QProcess::execute(u"pactl"_s, {u"unload-module"_s, module}); }
    } unload{module};
    // The microphone the student chose in the options: a steady voice.
    Global::SaveSetting(
        Global::StudentAppName, u"Options"_s, u"InputDevice"_s, u"lumo_test_voice"_s);
    qputenv("LUMO_VOICE_ENGINE", QDir::tempPath().toUtf8() + "/lumo-no-voice-engine.so");
    struct Restore {
        ~Restore() { qunsetenv("LUMO_VOICE_ENGINE"); }
    } restore;

    roadReachesTheClassroom();
    enterAs(11, u"pw-ann"_s);
    ASSERT_EQ(units.session->stage(), StudentSession::Stage::InClass);
    TalkIndicator *indicator = form->talkIndicator();
    EXPECT_EQ(indicator->stateLabel()->text(), u"话筒关闭"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return indicator->hintBubble()->isVisible(); }, 5000));
    EXPECT_EQ(indicator->hintBubble()->text(), u"你现在没有话筒，举手或申请话筒"_s);

    // With the floor the engine has the microphone; the watch lets go of it.
    ASSERT_TRUE(form->hasSoundDevices());
    teacher(u"permit 11 speak on"_s);
    QAbstractButton *mic = form->volumeControl()->cmdSpeaker();
    ASSERT_TRUE(QTest::qWaitFor([mic] { return mic->isEnabled(); }, 5000));
    clickInWindow(mic);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->floorQueue().contains(11); }, 5000));
    teacher(u"grant 11"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return indicator->stateLabel()->text() == u"全班在听"_s; }, 5000));
    const auto watching = [] {
        QProcess list;
        list.start(u"pactl"_s, {u"list"_s, u"source-outputs"_s});
        list.waitForFinished(5000);
        return QString::fromUtf8(list.readAllStandardOutput()).contains(u"LumoStudent level"_s);
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return !watching(); }, 5000));
    // Out of class nothing listens either.
    teacher(u"takeback"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watching(); }, 5000));
    auto *bar = form->findChild<QToolBar *>();
    ASSERT_NE(bar, nullptr);
    QAction *off = nullptr;
    for (QAction *action : bar->actions())
        off = action->text() == u"断开"_s ? action : off;
    ASSERT_NE(off, nullptr);
    clickInWindow(bar->widgetForAction(off));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !watching(); }, 5000));
}

namespace {

// A steady 440 Hz tone, 48 kHz mono 16-bit, `seconds` long.
bool writeTone(const QString &path, int seconds)
{
    const quint32 samples = 48000u * quint32(seconds);
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + samples * 2);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(48000) << quint32(96000) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(samples * 2);
    for (quint32 i = 0; i < samples; ++i)
        out << qint16(8000 * std::sin(2 * M_PI * 440 * i / 48000.0));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size();
}

// The datagrams that reach `socket` within `ms`.
int arrivals(QUdpSocket &socket, int ms)
{
    int count = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QTest::qWait(20);
        while (socket.hasPendingDatagrams()) {
            socket.receiveDatagram();
            ++count;
        }
    }
    return count;
}

// Waits until datagrams reach `socket` again; false after `ms` of none.
bool flowing(QUdpSocket &socket, int ms = 3000)
{
    return QTest::qWaitFor([&] { return arrivals(socket, 100) > 0; }, ms);
}

// What was on its way has come in; true when then nothing follows in a second.
bool quiet(QUdpSocket &socket)
{
    arrivals(socket, 300);
    return arrivals(socket, 1000) == 0;
}

} // namespace

TEST_F(ClassWindow, InAPrivateTalkWithPushToTalkThePartnerHearsOnlyWhileTheKeyIsHeld)
{
    // Ann (this window) goes out from 127.0.0.2, the partner's socket sits at
    // 127.0.0.3 on the talk port, where Ann's engine sends the talk.
    const QHostAddress annAddress(u"127.0.0.2"_s), partnerAddress(u"127.0.0.3"_s);
    QUdpSocket partner;
    quint16 port = 0;
    for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
        QUdpSocket own;
        if (!own.bind(annAddress, 0))
            GTEST_SKIP() << "no loopback address 127.0.0.2";
        if (partner.bind(partnerAddress, own.localPort()))
            port = own.localPort();
    }
    ASSERT_NE(port, 0);
    // The engine reads the microphone from a steady tone and plays into a
    // file: the test needs no sound devices, and silence cannot hide a
    // closed microphone.
    const QString tone = dir.filePath(u"tone.wav"_s);
    ASSERT_TRUE(writeTone(tone, 60));
    qputenv("LUMO_VOICE_MIC_WAV", tone.toUtf8());
    qputenv("LUMO_VOICE_PLAY_WAV", dir.filePath(u"heard.wav"_s).toUtf8());
    struct Restore {
        ~Restore()
        {
            qunsetenv("LUMO_VOICE_MIC_WAV");
            qunsetenv("LUMO_VOICE_PLAY_WAV");
        }
    } restore;

    LiveTest::TestClient bob(coursePath);
    bob.login(server->port(), 12, u"pw-bob"_s);
    ASSERT_TRUE(bob.waitInClass());
    form->session().Options.gChatPort = QString::number(port);
    form->RemoteSync().setBindAddress(annAddress.toString());
    enterAs(11, u"pw-ann"_s);
    TalkIndicator *indicator = form->talkIndicator();
    const auto shown = [indicator] { return indicator->stateLabel()->text(); };
    auto *relays = form->unitOwner()->findChild<ClassroomVoice::VoiceRelays *>(
        QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(relays, nullptr);

    // Push-to-talk on, then bob asks for a talk, Ann agrees, bob's address
    // reply starts it.
    clickInWindow(indicator->pushToTalkBox());
    ASSERT_TRUE(indicator->pushToTalkBox()->isChecked());
    prompter.answers = {Global::PromptAnswer::Yes};
    teacher(u"as 12 note to=11 [请求和你语音密谈]"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return units.talk->acceptedID() == 12; }, 5000));
    const QString reply
        = u"[回应我的地址]"_s + partnerAddress.toString() + u"]"_s + QString::number(port);
    teacher(u"as 12 note to=11 "_s + reply);
    ASSERT_TRUE(QTest::qWaitFor([&] { return units.talk->TalkPartnerID() == 12; }, 5000));

    // Talking, key up: the engine listens but sends the partner nothing.
    EXPECT_EQ(shown(), u"话筒关闭"_s);
    EXPECT_EQ(arrivals(partner, 1000), 0);
    ASSERT_TRUE(form->voiceWindow()->bStartListen());

    // The key held in the window: the partner hears the tone, and the
    // indicator says who.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QWidget *focus = form->ListViewUserList();
    focus->setFocus();
    QTest::keyPress(focus, TalkIndicator::TalkKey);
    EXPECT_EQ(shown(), u"与 bob 密谈"_s);
    EXPECT_TRUE(flowing(partner));
    // Released: nothing more reaches the partner.
    QTest::keyRelease(focus, TalkIndicator::TalkKey);
    EXPECT_EQ(shown(), u"话筒关闭"_s);
    EXPECT_TRUE(quiet(partner));

    // Held while the student turns to another window: closed at once, and
    // the key in that window, or its release, opens nothing.
    QTest::keyPress(focus, TalkIndicator::TalkKey);
    EXPECT_TRUE(flowing(partner));
    QWidget elsewhere;
    elsewhere.resize(200, 100);
    elsewhere.show();
    QApplication::setActiveWindow(&elsewhere);
    EXPECT_EQ(shown(), u"话筒关闭"_s);
    QTest::keyPress(&elsewhere, TalkIndicator::TalkKey);
    QTest::keyRelease(&elsewhere, TalkIndicator::TalkKey);
    QTest::keyRelease(focus, TalkIndicator::TalkKey);
    EXPECT_TRUE(quiet(partner));

    // Back in the window with the key held, the talk ends from bob's side:
    // the microphone closes with it and the later release opens nothing;
    // neither the talk nor its end reached the class relay.
    elsewhere.hide();
    QApplication::setActiveWindow(form.get());
    focus->setFocus();
    QTest::keyPress(focus, TalkIndicator::TalkKey);
    EXPECT_TRUE(flowing(partner));
    teacher(u"as 12 note to=11 [结束密谈]"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return units.talk->TalkPartnerID() == 0; }, 5000));
    EXPECT_EQ(shown(), u"话筒关闭"_s);
    EXPECT_TRUE(quiet(partner));
    EXPECT_FALSE(form->voiceWindow()->bStartSpeak());
    QTest::keyRelease(focus, TalkIndicator::TalkKey);
    EXPECT_FALSE(form->voiceWindow()->bStartSpeak());
    EXPECT_EQ(relays->datagramsToServer(), 0u);
}
