// Two students' clients in-process against the local classroom server and
// its scripted teacher: entry, roster, notes, the shared whiteboard, the
// teacher's playback, switches and questions.
#include "client/classroom/live/tests/coursefixture.h"
#include "client/classroom/live/tests/testclient.h"

#include "controls/whiteboardsign/signmodel.h"

#include <QPushButton>
#include <QSignalSpy>

using namespace Qt::StringLiterals;
using namespace LiveTest;
using ClassLive::ClassEntry;

namespace {

QColor centreOf(QWidget *widget)
{
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

bool isRed(const QColor &c)
{
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

bool isBlue(const QColor &c)
{
    return c.blue() > 200 && c.red() < 60 && c.green() < 60;
}

bool redNear(const QImage &image, QPoint at)
{
    for (int dx = -2; dx <= 2; ++dx)
        if (isRed(image.pixelColor(at + QPoint(dx, 0))))
            return true;
    return false;
}

class LiveClass : public ClassFixture
{
protected:
    std::unique_ptr<TestClient> enter(qint32 id, const QString &password)
    {
        auto client = std::make_unique<TestClient>(coursePath);
        client->login(server->port(), id, password);
        EXPECT_TRUE(client->waitInClass());
        // The server replays the board to a member once it is ready: wait
        // for that before the teacher draws.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                for (const QJsonObject &e : logOf(u"ready"_s))
                    if (e.value(u"UserID"_s).toInt() == id)
                        return true;
                return false;
            },
            5000));
        return client;
    }

    // Every message sent so far has been handled by `client` once a note
    // sent after them has come back.
    void settle(TestClient &client)
    {
        const QString marker = u"marker %1"_s.arg(++m_markers);
        teacher(u"note "_s + marker);
        EXPECT_TRUE(QTest::qWaitFor([&] { return client.history().contains(marker); }, 5000));
    }

    int m_markers = 0;
};

TEST_F(LiveClass, TwoStudentsSeeEachOtherComeAndGoAndNotesReachOnlyTheirRecipients)
{
    auto ann = enter(11, u"pw-ann"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return logOf(u"ready"_s).size() == 1; }, 5000));
    EXPECT_EQ(ann->window.caption, u"[分类:7--用户:11]Course12"_s);
    EXPECT_EQ(ann->window.courseName, u"口语"_s);
    EXPECT_EQ(ann->window.teacherName, u"王老师"_s);
    EXPECT_EQ(ann->voice.calls, QStringList{u"listen 127.0.0.1 4101 4102"_s});
    EXPECT_EQ(ann->users->Count(), 2); // the teacher and ann
    // The roster lets her write notes (present, may speak, notes) but not
    // draw: the panel and the tools follow it from the start.
    EXPECT_TRUE(ann->notes->SendEnabled());
    EXPECT_FALSE(ann->session.bWhiteBoardPermitted);
    EXPECT_FALSE(ann->window.toolsEnabled);

    auto bob = enter(12, u"pw-bob"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->history().contains(u"[bob来了]"_s); }, 5000));
    EXPECT_EQ(ann->users->Count(), 3);
    EXPECT_EQ(bob->users->Count(), 3);

    // To everybody from bob's panel: shown once on his side, once on ann's.
    Q_EMIT bob->notes->SentNoteMessage(12, 0, u"hello all"_s);
    // To ann alone from the teacher, then from bob.
    teacher(u"note to=11 only for ann"_s);
    Q_EMIT bob->notes->SentNoteMessage(12, 11, u"psst ann"_s);
    settle(*ann);
    settle(*bob);
    EXPECT_EQ(ann->history().count(u"hello all"_s), 1);
    EXPECT_EQ(bob->history().count(u"hello all"_s), 1);
    EXPECT_TRUE(ann->history().contains(u"only for ann"_s));
    EXPECT_TRUE(ann->history().contains(u"psst ann"_s));
    EXPECT_FALSE(bob->history().contains(u"only for ann"_s));
    // A note between two others that reaches a client is not shown.
    Q_EMIT bob->remote.GetNoteMessage(90, 11, u"not for bob"_s);
    EXPECT_FALSE(bob->history().contains(u"not for bob"_s));
    // The teacher is announced once, after the first note shown.
    EXPECT_EQ(ann->history().count(u"[老师王老师来了]"_s), 1);
    const QString h = ann->history();
    EXPECT_LT(std::min(h.indexOf(u"hello all"_s), h.indexOf(u"only for ann"_s)),
        h.indexOf(u"[老师王老师来了]"_s));

    bob->remote.Disconnect();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->history().contains(u"[bob走了]"_s); }, 5000));
    EXPECT_EQ(ann->users->Count(), 2);
    // A note that cannot go out is never shown as sent: bob is told.
    Q_EMIT bob->notes->SentNoteMessage(12, 0, u"lost words"_s);
    EXPECT_EQ(bob->history().count(u"lost words"_s), 1) << bob->history().toStdString();
    EXPECT_TRUE(bob->history().contains(u"[短消息没有发出：lost words]"_s))
        << bob->history().toStdString();
}

TEST_F(LiveClass, WhatTheTeacherSendsDuringEntryIsHandledInOrderAfterIt)
{
    TestClient ann(coursePath);
    // While ann's entry pauses after the first roster, the teacher plays
    // two items, draws and writes.
    QObject::connect(&ann.live->entry(), &ClassEntry::stateChanged, server.get(),
        [this](ClassEntry::State state) {
            if (state != ClassEntry::State::Pausing)
                return;
            teacher(u"play 3"_s);
            teacher(u"play 2"_s);
            teacher(u"rect 1500 1500 4500 3000 color=#00ff00 width=3"_s);
            teacher(u"note welcome"_s);
        });
    ann.login(server->port(), 11, u"pw-ann"_s);
    ASSERT_TRUE(ann.waitInClass());
    ASSERT_EQ(ann.live->entry().state(), ClassEntry::State::InClass);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann.history().contains(u"welcome"_s); }, 5000));
    EXPECT_EQ(ann.liveSigns(), 1);
    EXPECT_TRUE(ann.history().contains(u"[老师王老师来了]"_s));
    // Only the last play is performed: the red picture.
    EXPECT_EQ(ann.state.CurrPlayID, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return isRed(centreOf(ann.ole)); }, 5000))
        << ann.ole->ErrorText().toStdString() << home.errorLog().toStdString();
    EXPECT_TRUE(ann.prompter.shown.isEmpty());

    // Later plays act at once.
    teacher(u"play 3"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return isBlue(centreOf(ann.ole)); }, 5000));
    EXPECT_EQ(ann.liveSigns(), 0); // a new page clears the marks
}

TEST_F(LiveClass, WhiteboardSignsTravelBothWaysOnlyWithPermission)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);

    teacher(u"rect 1500 1500 4500 3000 color=#ff0000 width=2"_s);
    teacher(u"text 3000 4500 Hi size=20"_s);
    settle(*ann);
    settle(*bob);
    for (TestClient *c : {ann.get(), bob.get()}) {
        for (int i = 0; i < c->sign->model().size(); ++i)
            qInfo() << "sign" << i << c->sign->model().sign(i).shape << c->sign->model().sign(i).box
                    << c->sign->model().sign(i).alive;
        ASSERT_EQ(c->liveSigns(), 2);
        // The rectangle's left edge at x = 100 px is painted red.
        EXPECT_TRUE(redNear(c->sign->grab().toImage(), QPoint(100, 150)));
        EXPECT_EQ(c->sign->model().sign(1).shape, WhiteBoard::stText);
        EXPECT_EQ(c->sign->model().sign(1).text, u"Hi"_s);
    }

    // Bob gets the whiteboard: his line reaches ann.
    teacher(u"permit 12 whiteboard on"_s);
    settle(*bob);
    ASSERT_TRUE(bob->session.bWhiteBoardPermitted);
    EXPECT_TRUE(bob->window.toolsEnabled);
    Q_EMIT bob->palette->OnLine(2, 0xff0000u);
    EXPECT_FALSE(bob->board->isEnabled()); // armed: the mouse goes to the window
    bob->drag(QPoint(10, 10), QPoint(200, 120));
    EXPECT_TRUE(bob->board->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->liveSigns() == 3; }, 5000));
    EXPECT_EQ(ann->sign->model().sign(2).shape, WhiteBoard::stLine);

    // Taken away: a text placed all the same is not sent.
    teacher(u"permit 12 whiteboard off"_s);
    settle(*bob);
    ASSERT_FALSE(bob->session.bWhiteBoardPermitted);
    const int sentBefore = server->boardSignCount();
    bob->prompter.textAnswers << u"ab"_s;
    Q_EMIT bob->palette->OnText();
    ASSERT_TRUE(bob->sign->IfDraw());
    bob->sign->OnMouseUp(1, 0, 750, 750);
    EXPECT_FALSE(bob->sign->IfDraw());
    settle(*ann);
    EXPECT_EQ(server->boardSignCount(), sentBefore);
    EXPECT_EQ(ann->liveSigns(), 3);
}

TEST_F(LiveClass, SwitchesQuestionsAndAnswersActOnTheRightControls)
{
    auto ann = enter(11, u"pw-ann"_s);
    teacher(u"notes off"_s);
    teacher(u"voice off"_s);
    teacher(u"whiteboard off"_s);
    teacher(u"yesno Ready?"_s);
    settle(*ann);
    EXPECT_FALSE(ann->window.sendNotesEnabled);
    EXPECT_FALSE(ann->notes->SendEnabled());
    EXPECT_FALSE(ann->volume->CmdEnabled());
    EXPECT_EQ(ann->window.panelText.value(2), u"归还话筒"_s);
    EXPECT_EQ(ann->window.panelPicture.value(2), ClassLive::PanelPicture::Inactive);
    EXPECT_TRUE(ann->voice.calls.contains(u"speakstop"_s));
    EXPECT_FALSE(ann->window.toolsEnabled);
    EXPECT_FALSE(ann->session.bWhiteBoardPermitted);
    EXPECT_TRUE(ann->answers->isVisibleTo(&ann->top));
    EXPECT_EQ(ann->answers->question(), u"Ready?"_s);
    EXPECT_FALSE(ann->answers->okButton()->isVisibleTo(&ann->top));

    ann->answers->yesButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logOf(u"answer"_s).size() == 1; }, 5000));
    EXPECT_FALSE(ann->answers->isVisibleTo(&ann->top));

    teacher(u"notes on"_s);
    teacher(u"voice on"_s);
    teacher(u"ok Done?"_s);
    settle(*ann);
    EXPECT_TRUE(ann->window.sendNotesEnabled);
    EXPECT_TRUE(ann->volume->CmdEnabled());
    EXPECT_TRUE(ann->users->CheckUserVoiceStatus(11));
    EXPECT_FALSE(ann->answers->yesButton()->isVisibleTo(&ann->top));
    ann->answers->okButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return logOf(u"answer"_s).size() == 2; }, 5000));
    EXPECT_FALSE(ann->answers->isVisibleTo(&ann->top));
}

TEST_F(LiveClass, ReceivedValuesAreClampedAndSpecialSignsObeyed)
{
    auto ann = enter(11, u"pw-ann"_s);
    teacher(u"play 2"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return isRed(centreOf(ann->ole)); }, 5000));

    // A pointer beyond the right edge stays on the edge; one far below on
    // the bottom edge (never wrapped to the top by a 16-bit cut).
    teacher(u"pointer 90000 70000"_s);
    settle(*ann);
    EXPECT_EQ(ann->sign->EndPosX(), TestClient::BoardWidth * 15);
    EXPECT_EQ(ann->sign->EndPosY(), TestClient::BoardHeight * 15);
    EXPECT_EQ(ann->sign->model().arrowCentre(),
        QPoint(TestClient::BoardWidth * 15, TestClient::BoardHeight * 15));
    EXPECT_TRUE(ann->sign->model().arrowVisible());
    teacher(u"rect 1500 1500 1500 3000"_s); // both corners share an x: not drawn
    settle(*ann);
    EXPECT_EQ(ann->liveSigns(), 0);

    teacher(u"oval 1500 1500 4500 3000"_s);
    settle(*ann);
    EXPECT_EQ(ann->liveSigns(), 1);
    // 255 clears the marks and the courseware area.
    teacher(u"clear"_s);
    settle(*ann);
    EXPECT_EQ(ann->liveSigns(), 0);
    EXPECT_FALSE(isRed(centreOf(ann->ole)));
}

TEST_F(LiveClass, TextToolRefusesBigFontsAndCircleToolDrawsOvals)
{
    auto ann = enter(11, u"pw-ann"_s);
    teacher(u"permit 11 whiteboard on"_s);
    settle(*ann);

    ann->fonts.font.setPointSize(100);
    Q_EMIT ann->palette->OnText();
    ASSERT_EQ(ann->prompter.shown.size(), 1);
    EXPECT_EQ(ann->prompter.shown.last().text, u"当前字体大小：100 无效！请重新设置字体大小！"_s);
    EXPECT_FALSE(ann->sign->IfDraw());

    ann->fonts.font.setPointSize(9);
    ann->prompter.textAnswers << u"ab"_s;
    Q_EMIT ann->palette->OnText();
    EXPECT_TRUE(ann->sign->IfDraw());
    EXPECT_EQ(ann->sign->Text(), u"ab"_s);
    EXPECT_EQ(ann->sign->FontName(), u"宋体"_s);
    EXPECT_EQ(ann->sign->FontSize(), 9);
    EXPECT_GE(ann->firstMoves, 1);
    ann->sign->OnMouseMove(0, 0, 600, 600);
    ann->sign->OnMouseUp(1, 0, 600, 600);
    EXPECT_FALSE(ann->sign->IfDraw());

    Q_EMIT ann->palette->OnCircle(1, 0xffu);
    EXPECT_EQ(ann->sign->Shape(), WhiteBoard::stOval);
    ann->drag(QPoint(10, 10), QPoint(100, 40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->boardSignCount() == 2; }, 5000));
}

TEST_F(LiveClass, TheStudentPutOutIsToldAndLeaves)
{
    auto ann = enter(11, u"pw-ann"_s);
    QSignalSpy leave(&ann->live->roster(), &ClassLive::RosterBinder::putOut);
    Q_EMIT ann->remote.GetMsgLogOut(11);
    ASSERT_EQ(leave.size(), 1);
    ASSERT_FALSE(ann->prompter.shown.isEmpty());
    EXPECT_EQ(ann->prompter.shown.last().text, u"该用户已和服务器断开"_s);
    // Nobody and a negative number are ignored.
    Q_EMIT ann->remote.GetMsgLogOut(0);
    Q_EMIT ann->remote.GetMsgLogOut(-3);
    EXPECT_EQ(leave.size(), 1);
}

} // namespace
