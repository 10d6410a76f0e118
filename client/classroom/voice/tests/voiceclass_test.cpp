// Two and three students against the local classroom server: the floor,
// the raised hand and the private talk, with the real relays carrying
// packets between plain sockets at the engines' ports.
#include "client/classroom/live/tests/coursefixture.h"
#include "client/classroom/voice/talkaddress.h"
#include "client/classroom/voice/tests/voiceclient.h"
#include "sim/core/voicerelay.h"
#include "voice/wire/voicewire.h"

#include <QAbstractItemView>
#include <QMenu>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <map>

using namespace Qt::StringLiterals;
using ClassroomVoice::FloorUnit;
using VoiceTest::VoiceClient;

namespace {

QByteArray voicePacket(char fill)
{
    QByteArray bytes(8 + 40, fill);
    VoiceWire::setPayloadLength(bytes.data(), 40);
    return bytes;
}

class VoiceClass : public LiveTest::ClassFixture
{
protected:
    std::unique_ptr<VoiceClient> enter(qint32 id, const QString &password,
        ClassroomVoice::PrivateTalk::Limits talkLimits = ClassroomVoice::PrivateTalk::Limits{})
    {
        auto client = std::make_unique<VoiceClient>(coursePath, talkLimits);
        client->login(server->port(), id, password);
        EXPECT_TRUE(client->waitInClass());
        EXPECT_TRUE(QTest::qWaitFor([&] { return client->relays->bUDPDistributed(); }, 5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return server->voiceRelay()->isRegistered(id); }, 5000));
        return client;
    }

    // Every message sent so far has reached `client` once a note sent
    // after them has come back.
    void settle(VoiceClient &client)
    {
        const QString marker = u"marker %1"_s.arg(++m_markers);
        teacher(u"note "_s + marker);
        EXPECT_TRUE(QTest::qWaitFor([&] { return client.notes->Export().contains(marker); }, 5000));
    }

    // A plain socket where the client's engine would listen.
    static std::unique_ptr<QUdpSocket> engineOf(VoiceClient &client)
    {
        auto socket = std::make_unique<QUdpSocket>();
        EXPECT_TRUE(socket->bind(QHostAddress::LocalHost, client.relays->LocalListenPort()));
        return socket;
    }

    // The client's engine speaks one packet to its speak relay, from one
    // socket that stays open as the engine's does: the relay takes only a
    // socket of this process that still exists.
    void speak(VoiceClient &client, char fill)
    {
        auto &microphone = m_microphones[&client];
        if (!microphone)
            microphone = std::make_unique<QUdpSocket>();
        microphone->writeDatagram(
            voicePacket(fill), QHostAddress::LocalHost, client.relays->LocalSpeakPort());
    }

    static int heard(QUdpSocket &engine, char fill, int ms = 1000)
    {
        int count = 0;
        static_cast<void>(QTest::qWaitFor(
            [&] {
                while (engine.hasPendingDatagrams())
                    if (engine.receiveDatagram().data() == voicePacket(fill))
                        ++count;
                return count > 0;
            },
            ms));
        return count;
    }

    int m_markers = 0;
    std::map<const VoiceClient *, std::unique_ptr<QUdpSocket>> m_microphones;
};

TEST_F(VoiceClass, GivenTheFloorAStudentIsHeardUntilTheTeacherTakesItBack)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    auto bobEngine = engineOf(*bob);
    EXPECT_TRUE(ann->voice.calls.first().startsWith(u"listen 127.0.0.1:"_s));
    teacher(u"permit 11 speak on"_s);

    // Not holding the floor: nothing leaves ann's relay.
    speak(*ann, 'q');
    EXPECT_EQ(heard(*bobEngine, 'q', 300), 0);
    EXPECT_EQ(ann->relays->datagramsToServer(), 0u);

    Q_EMIT ann->volume->OnMicStart();
    EXPECT_EQ(ann->window.panelText.value(2), u"申请话筒"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->floorQueue().contains(11); }, 3000));
    teacher(u"grant 11"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ann->floor->floor() == FloorUnit::Floor::Speaking; }, 3000));
    EXPECT_EQ(ann->window.panelText.value(2), u"正在讲话"_s);
    EXPECT_TRUE(ann->voice.speaking);
    EXPECT_TRUE(ann->users->CheckUserSpeakingStatus(11));
    speak(*ann, 'a');
    EXPECT_EQ(heard(*bobEngine, 'a'), 1);

    teacher(u"takeback"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ann->floor->floor() == FloorUnit::Floor::Idle; }, 3000));
    EXPECT_EQ(ann->window.panelText.value(2), u"空闲"_s);
    EXPECT_FALSE(ann->voice.speaking);
    const quint64 sent = ann->relays->datagramsToServer();
    speak(*ann, 'b');
    EXPECT_EQ(heard(*bobEngine, 'b', 300), 0);
    EXPECT_EQ(ann->relays->datagramsToServer(), sent);

    // Asked again, then given back by a second press before the answer: a
    // hold that crosses the give-back leaves the microphone closed.
    Q_EMIT ann->volume->OnMicStart();
    Q_EMIT ann->volume->OnMicStart();
    teacher(u"grant 11"_s);
    settle(*ann);
    EXPECT_NE(ann->floor->floor(), FloorUnit::Floor::Speaking);
    EXPECT_FALSE(ann->relays->isSpeakOpen());
    // The give-back reaches the server after the grant: the floor is free
    // again once its release is back at ann.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !logOf(u"floor-returned"_s).isEmpty(); }, 3000));
    settle(*ann);

    // The class-wide voice switch off while speaking ends the floor.
    Q_EMIT ann->volume->OnMicStart();
    teacher(u"grant 11"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ann->floor->floor() == FloorUnit::Floor::Speaking; }, 3000));
    teacher(u"voice off"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ann->floor->floor() == FloorUnit::Floor::Idle; }, 3000));
    EXPECT_FALSE(ann->relays->isSpeakOpen());
    EXPECT_EQ(ann->window.panelText.value(2), u"归还话筒"_s);
}

TEST_F(VoiceClass, TakingAwayTheOwnVoicePermissionClosesTheMicrophoneAtOnce)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    auto bobEngine = engineOf(*bob);
    // Without the permission, changes of a classmate's status send
    // nothing: no give-back to the server, so no release comes back.
    int releases = 0;
    QObject::connect(&ann->remote, &clsRemoteSync::GetMsgMicroPhoneRelease, &ann->top,
        [&releases] { ++releases; });
    teacher(u"permit 11 speak off"_s); // her own change: given back, released
    ASSERT_TRUE(QTest::qWaitFor([&] { return releases == 1; }, 3000));
    ASSERT_FALSE(ann->users->CheckUserVoiceStatus(11));
    releases = 0;
    teacher(u"permit 12 speak on"_s);
    teacher(u"permit 12 whiteboard on"_s);
    teacher(u"permit 12 speak off"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ann->users->CheckUserVoiceStatus(12); }, 3000));
    // A note from ann travels behind anything she sent meanwhile; once bob
    // has it, the server's answers to her are on their way before the next
    // note to the class.
    ann->remote.SendNoteMessage(11, 12, u"ping"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob->notes->Export().contains(u"ping"_s); }, 3000));
    settle(*ann);
    EXPECT_EQ(releases, 0);
    teacher(u"permit 11 speak on"_s);
    settle(*ann);

    // What ann shows the moment a status change has been handled, before
    // any answer of the server to her give-back can have come in.
    struct Seen {
        FloorUnit::Floor floor;
        bool speakOpen;
        bool engineSpeaking;
        QString panel;
    };
    QList<Seen> seen;
    QObject::connect(&ann->live->gate(), &ClassLive::ClassEventGate::GetMsgUserList, &ann->top,
        [&](qint32, const QString &, qint16 CmdVerb) {
            if (CmdVerb == 2)
                seen.append({ann->floor->floor(), ann->relays->isSpeakOpen(), ann->voice.speaking,
                    ann->window.panelText.value(2)});
        });

    // Taken away while asking: the request is withdrawn and a grant that
    // crosses it leaves the microphone closed.
    Q_EMIT ann->volume->OnMicStart();
    EXPECT_TRUE(QTest::qWaitFor([&] { return server->floorQueue().contains(11); }, 3000));
    teacher(u"permit 11 speak off"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 3000));
    EXPECT_EQ(seen.last().floor, FloorUnit::Floor::Idle);
    EXPECT_EQ(seen.last().panel, u"空闲"_s);
    teacher(u"grant 11"_s);
    settle(*ann);
    EXPECT_NE(ann->floor->floor(), FloorUnit::Floor::Speaking);
    EXPECT_FALSE(ann->relays->isSpeakOpen());
    EXPECT_FALSE(ann->voice.speaking);
    teacher(u"takeback"_s);
    settle(*ann);

    // Taken away while speaking: "归还话筒" at once, the engine and the
    // relay's gate closed, nothing more reaches the class.
    teacher(u"permit 11 speak on"_s);
    settle(*ann);
    Q_EMIT ann->volume->OnMicStart();
    teacher(u"grant 11"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ann->floor->floor() == FloorUnit::Floor::Speaking; }, 3000));
    speak(*ann, 'a');
    EXPECT_EQ(heard(*bobEngine, 'a'), 1);
    seen.clear();
    teacher(u"permit 11 speak off"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 3000));
    EXPECT_EQ(seen.first().floor, FloorUnit::Floor::Idle);
    EXPECT_FALSE(seen.first().speakOpen);
    EXPECT_FALSE(seen.first().engineSpeaking);
    EXPECT_EQ(seen.first().panel, u"归还话筒"_s);
    EXPECT_FALSE(ann->users->CheckUserSpeakingStatus(11));
    const quint64 sent = ann->relays->datagramsToServer();
    speak(*ann, 'b');
    EXPECT_EQ(heard(*bobEngine, 'b', 300), 0);
    EXPECT_EQ(ann->relays->datagramsToServer(), sent);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !logOf(u"floor-returned"_s).isEmpty(); }, 3000));
}

TEST_F(VoiceClass, AClassmatesChangeLeavesARequestStandingAndAGiveBackClearsTheOwnRow)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    // Asking; the class changes around her (a classmate's permission).
    Q_EMIT ann->volume->OnMicStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->floorQueue().contains(11); }, 3000));
    teacher(u"permit 12 whiteboard on"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob->users->CheckUserWhiteBoardStatus(12); }, 3000));
    settle(*ann);
    EXPECT_EQ(ann->floor->floor(), FloorUnit::Floor::Asking);
    EXPECT_EQ(ann->window.panelText.value(2), u"申请话筒"_s);
    // So the grant makes her a speaker here as on the server.
    teacher(u"grant 11"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ann->floor->floor() == FloorUnit::Floor::Speaking; }, 3000));
    EXPECT_TRUE(ann->users->CheckUserSpeakingStatus(11));
    // Given back with the microphone button: her row stops saying she
    // speaks at once, and nothing more reaches the class.
    Q_EMIT ann->volume->OnMicStart();
    EXPECT_FALSE(ann->users->CheckUserSpeakingStatus(11));
    EXPECT_FALSE(ann->relays->isSpeakOpen());
    EXPECT_FALSE(ann->voice.speaking);
}

TEST_F(VoiceClass, RaisedHandIsNotedToTheTeacherAndLoweredByASecondPress)
{
    auto ann = enter(11, u"pw-ann"_s);
    ann->raiseHand->click();
    EXPECT_TRUE(ann->users->CheckUserRaiseStatus(11));
    EXPECT_TRUE(ann->window.handRaised);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (const QJsonObject &e : logOf(u"note"_s))
                if (e.value(u"Message"_s).toString() == u"[举手]"_s
                    && e.value(u"ToID"_s).toInt() == 90)
                    return true;
            return false;
        },
        3000));
    ann->raiseHand->click();
    EXPECT_FALSE(ann->users->CheckUserRaiseStatus(11));
    EXPECT_FALSE(ann->window.handRaised);
}

TEST_F(VoiceClass, PrivateTalkNeedsConsentAndForgedCommandsChangeNothing)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    bob->prompter.answers = {Global::PromptAnswer::Yes};
    const QString point = u"point %1 127.0.0.1 2001"_s.arg(ann->remote.LocalIP());

    // Somebody else (here the teacher's desk) forges an acceptance, an
    // address reply and an end to ann, who asked nobody.
    const auto forge = [&](const QString &text) { teacher(u"as 90 note to=11 "_s + text); };
    forge(u"[同意和你语音密谈]127.0.0.1]2001"_s);
    forge(u"[回应我的地址]127.0.0.1]2001"_s);
    forge(u"[结束密谈]"_s);
    settle(*ann);
    EXPECT_EQ(ann->voice.calls.size(), 1); // the listening of class entry
    EXPECT_EQ(ann->talk->TalkPartnerID(), 0);
    EXPECT_EQ(ann->relays->datagramsToServer(), 0u);

    ann->talk->OnSendUserVoice(12, u"bob"_s);
    EXPECT_EQ(ann->talk->askedID(), 12);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->talk->TalkPartnerID() == 12; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob->talk->TalkPartnerID() == 11; }, 5000));
    ASSERT_EQ(bob->prompter.shown.size(), 1);
    EXPECT_EQ(bob->prompter.shown.first().text, u"ann请求和你语音密谈，你同意吗？"_s);
    EXPECT_EQ(ann->voice.calls.last(), point);
    EXPECT_EQ(bob->voice.calls.last(), point);
    EXPECT_TRUE(ann->users->CheckUserFreeStatus(11));

    // During the talk the microphone goes to the partner, not to the class.
    speak(*ann, 'p');
    settle(*ann);
    EXPECT_EQ(ann->relays->datagramsToServer(), 0u);

    // A third party's end or acceptance moves nothing.
    forge(u"[结束密谈]"_s);
    forge(u"[同意和你语音密谈]10.9.9.9]4000"_s);
    settle(*ann);
    EXPECT_EQ(ann->talk->TalkPartnerID(), 12);
    EXPECT_EQ(ann->voice.calls.last(), point);

    // Bob ends: both go back to the class relays, listening only.
    bob->talk->OnEndUserVoice(11, u"ann"_s);
    EXPECT_EQ(bob->talk->TalkPartnerID(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->talk->TalkPartnerID() == 0; }, 5000));
    const auto backHome = [](VoiceClient &c) {
        return u"listen 127.0.0.1:%1 speak 127.0.0.1:%2"_s.arg(c.relays->LocalListenPort())
            .arg(c.relays->LocalSpeakPort());
    };
    EXPECT_EQ(ann->voice.calls.last(), backHome(*ann));
    EXPECT_EQ(bob->voice.calls.last(), backHome(*bob));
    EXPECT_FALSE(ann->voice.speaking);
    EXPECT_TRUE(ann->users->CheckUserPrepareStatus(11));
    EXPECT_FALSE(ann->users->CheckUserVoiceStatus(11));

    // After the talk the floor can be asked for again.
    Q_EMIT ann->volume->OnMicStart();
    EXPECT_EQ(ann->window.panelText.value(2), u"申请话筒"_s);
}

namespace {

// Right-clicks the row of `UserID` in `client`'s user list where the pointer
// would be, and answers the menu that opened (null when none did).
QMenu *menuOnRow(VoiceClient &client, qint32 UserID)
{
    QAbstractItemView *view = nullptr;
    for (QAbstractItemView *candidate : client.users->findChildren<QAbstractItemView *>())
        if (candidate->model() && candidate->isVisibleTo(client.users))
            view = candidate;
    qint32 position = 0;
    for (qint32 i = 1; i <= client.users->Count(); ++i)
        if (client.users->GetUserIDByIndex(i) == UserID)
            position = i;
    if (!view || position == 0)
        return nullptr;
    const QModelIndex row = view->model()->index(position - 1, 0);
    const QPoint at = view->viewport()->mapTo(&client.top, view->visualRect(row).center());
    QTest::mousePress(client.top.windowHandle(), Qt::RightButton, {}, at);
    QTest::mouseRelease(client.top.windowHandle(), Qt::RightButton, {}, at);
    for (QMenu *menu : client.users->findChildren<QMenu *>())
        if (menu->isVisible())
            return menu;
    return nullptr;
}

QAction *entryOf(QMenu *menu, const QString &caption)
{
    for (QAction *action : menu->actions())
        if (action->text() == caption)
            return action;
    return nullptr;
}

// Clicks `caption` in the menu that a right-click on `UserID`'s row opens;
// false when the entry is missing or disabled (the menu is closed then).
bool chooseOnRow(VoiceClient &client, qint32 UserID, const QString &caption)
{
    QMenu *menu = menuOnRow(client, UserID);
    if (!menu)
        return false;
    QAction *entry = entryOf(menu, caption);
    if (!entry || !entry->isEnabled()) {
        menu->close();
        return false;
    }
    const QPoint at = menu->actionGeometry(entry).center();
    QTest::mouseMove(menu->windowHandle(), at);
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, at);
    return !menu->isVisible();
}

} // namespace

TEST_F(VoiceClass, TheListsMenuEndsATalkAndAPartnerWhoLeavesEndsItToo)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    bob->prompter.answers
        = {Global::PromptAnswer::Yes, Global::PromptAnswer::Yes, Global::PromptAnswer::Yes};
    const QString endTalk = u"结束语音密谈"_s;
    const QString askTalk = u"语音密谈 (&C)"_s;
    const auto endsSent = [&] {
        int count = 0;
        for (const QJsonObject &note : logOf(u"note"_s))
            if (note.value(u"Message"_s).toString() == u"[结束密谈]"_s)
                ++count;
        return count;
    };

    // Outside a talk the end is not offered.
    EXPECT_FALSE(chooseOnRow(*ann, 12, endTalk));
    ASSERT_TRUE(chooseOnRow(*ann, 12, askTalk));
    EXPECT_EQ(ann->talkStatus.value(0), u"已请求和bob语音密谈，正在等待对方回答……"_s);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return ann->talk->TalkPartnerID() == 12 && bob->talk->TalkPartnerID() == 11; },
        5000));
    EXPECT_TRUE(ann->users->bInPrivateTalk());
    EXPECT_TRUE(bob->users->bInPrivateTalk());
    EXPECT_EQ(ann->talkStatus.last(), u"正在和bob语音密谈"_s);

    // Bob ends it from his list; Ann is told and both are back in class.
    ASSERT_TRUE(chooseOnRow(*bob, 11, endTalk));
    EXPECT_EQ(bob->talk->TalkPartnerID(), 0);
    EXPECT_FALSE(bob->users->bInPrivateTalk());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->talk->TalkPartnerID() == 0; }, 5000));
    EXPECT_EQ(endsSent(), 1);
    EXPECT_FALSE(ann->users->bInPrivateTalk());
    EXPECT_TRUE(ann->users->CheckUserPrepareStatus(11));
    EXPECT_EQ(ann->talkStatus.last(), u"bob结束了语音密谈"_s);
    EXPECT_FALSE(chooseOnRow(*ann, 12, endTalk));

    // A second talk, once Ann's list shows Bob out of any talk, which Ann leaves
    // the class in the middle of: Bob is told while she still can.
    const auto bobAvailable = [&] {
        return QTest::qWaitFor([&] { return ann->users->CheckUserPrepareStatus(12); }, 5000);
    };
    ASSERT_TRUE(bobAvailable());
    ASSERT_TRUE(chooseOnRow(*ann, 12, askTalk));
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob->talk->TalkPartnerID() == 11; }, 5000));
    ann->talk->leave();
    EXPECT_EQ(ann->talk->TalkPartnerID(), 0);
    EXPECT_FALSE(ann->users->bInPrivateTalk());
    EXPECT_EQ(ann->talkStatus.last(), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob->talk->TalkPartnerID() == 0; }, 5000));
    EXPECT_EQ(endsSent(), 2);

    // A third talk, and Bob's client is gone in the middle of it.
    ASSERT_TRUE(bobAvailable());
    ASSERT_TRUE(chooseOnRow(*ann, 12, askTalk));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->talk->TalkPartnerID() == 12; }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->users->CheckUserFreeStatus(12); }, 5000));
    bob.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->talk->TalkPartnerID() == 0; }, 5000));
    EXPECT_FALSE(ann->users->bInPrivateTalk());
    EXPECT_TRUE(ann->users->CheckUserPrepareStatus(11));
    EXPECT_FALSE(ann->users->CheckUserVoiceStatus(11));
    EXPECT_EQ(ann->voice.calls.last(),
        u"listen 127.0.0.1:%1 speak 127.0.0.1:%2"_s.arg(ann->relays->LocalListenPort())
            .arg(ann->relays->LocalSpeakPort()));
    EXPECT_EQ(ann->talkStatus.last(), u"bob离开了课堂，语音密谈结束"_s);
    settle(*ann);
    EXPECT_EQ(endsSent(), 2); // nobody was left to tell
}

TEST_F(VoiceClass, ARequestEndsWhenTheOneAskedLeavesBeforeAnswering)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    ASSERT_TRUE(chooseOnRow(*ann, 12, u"语音密谈 (&C)"_s));
    ASSERT_EQ(ann->talk->askedID(), 12);
    // Gone before his client could read the request.
    bob.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->talk->askedID() == 0; }, 5000));
    EXPECT_EQ(ann->talkStatus.last(), u"bob离开了课堂，语音密谈请求已取消"_s);
    EXPECT_TRUE(ann->prompter.shown.isEmpty());
    EXPECT_EQ(ann->talk->TalkPartnerID(), 0);
    EXPECT_EQ(ann->voice.calls.size(), 1); // the listening of class entry
}

TEST_F(VoiceClass, AnAnswerCountsOnlyFromTheOneAskedAndOnlyWhileTheRequestIsPending)
{
    auto ann = enter(11, u"pw-ann"_s, ClassroomVoice::PrivateTalk::Limits{300});
    auto bob = enter(12, u"pw-bob"_s);
    ann->talk->OnSendUserVoice(90, u"王老师"_s);
    ASSERT_EQ(ann->talk->askedID(), 90);
    // A refusal from somebody not asked is no answer and shows nothing.
    teacher(u"as 12 note to=11 [拒绝和你语音密谈]"_s);
    // Neither is an acceptance naming a broadcast address or a low port.
    teacher(u"as 90 note to=11 [同意和你语音密谈]255.255.255.255]2001"_s);
    teacher(u"as 90 note to=11 [同意和你语音密谈]127.0.0.1]80"_s);
    settle(*ann);
    EXPECT_EQ(ann->talk->askedID(), 90);
    EXPECT_TRUE(ann->prompter.shown.isEmpty());
    EXPECT_EQ(ann->voice.calls.size(), 1);

    // Unanswered, the request lapses: a late acceptance moves nothing.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ann->talk->askedID() == 0; }, 3000));
    teacher(u"as 90 note to=11 [同意和你语音密谈]127.0.0.1]2001"_s);
    settle(*ann);
    EXPECT_EQ(ann->talk->TalkPartnerID(), 0);
    EXPECT_EQ(ann->voice.calls.size(), 1);
}

TEST(TalkAddress, OnlyUnicastIPv4AndUnprivilegedPortsAreTaken)
{
    using ClassroomVoice::ParseTalkAddress;
    const auto parsed = [](const QString &text) {
        const auto a = ParseTalkAddress(text);
        return a ? a->ip + u":"_s + a->port : u"-"_s;
    };
    EXPECT_EQ(parsed(u"[同意和你语音密谈] 192.168.0.5 ] 2001 "_s), u"192.168.0.5:2001"_s);
    EXPECT_EQ(parsed(u"[回应我的地址]10.0.0.1]2001]trailing"_s), u"10.0.0.1:2001"_s);
    EXPECT_EQ(parsed(u"[回应我的地址]127.0.0.3]65535"_s), u"127.0.0.3:65535"_s);
    for (const char *bad : {"[x]255.255.255.255]2001", "[x]224.0.0.1]2001", "[x]0.0.0.0]2001",
             "[x]10.1]2001", "[x]1.2.3.256]2001", "[x]example.org]2001", "[x]1.2.3.4]1023",
             "[x]1.2.3.4]65536", "[x]1.2.3.4]20x1", "[x]1.2.3.4", "[x]::1]2001", "[x]]2001"})
        EXPECT_EQ(parsed(QString::fromUtf8(bad)), u"-"_s) << bad;
}

} // namespace

TEST_F(VoiceClass, TheFloorNeitherOpensNorClosesATalksMicrophone)
{
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    bob->prompter.answers
        = {Global::PromptAnswer::Yes, Global::PromptAnswer::Yes, Global::PromptAnswer::Yes};
    teacher(u"permit 11 speak on"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->users->CheckUserVoiceStatus(11); }, 3000));
    const auto askAndWait = [&] {
        Q_EMIT ann->volume->OnMicStart();
        EXPECT_TRUE(QTest::qWaitFor([&] { return server->floorQueue().contains(11); }, 3000));
    };
    // Permitted, asking and granted the floor, ann starts a talk with bob.
    const auto holdTheFloorThenTalk = [&] {
        teacher(u"permit 11 speak on"_s);
        if (!QTest::qWaitFor([&] { return ann->users->CheckUserVoiceStatus(11); }, 3000))
            return false;
        askAndWait();
        teacher(u"grant 11"_s);
        if (!QTest::qWaitFor(
                [&] { return ann->floor->floor() == FloorUnit::Floor::Speaking; }, 3000))
            return false;
        ann->talk->OnSendUserVoice(12, u"bob"_s);
        return QTest::qWaitFor([&] { return ann->talk->TalkPartnerID() == 12; }, 5000);
    };

    // Asking for the floor, ann starts a talk with the talk key up
    // (push-to-talk): listening only. The floor granted now must not open
    // the microphone behind the key's back.
    askAndWait();
    ann->talk->setMicrophoneAllowed(false);
    ann->talk->OnSendUserVoice(12, u"bob"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ann->talk->TalkPartnerID() == 12; }, 5000));
    EXPECT_TRUE(ann->voice.calls.last().startsWith(u"listen "_s))
        << ann->voice.calls.last().toStdString();
    teacher(u"grant 11"_s);
    settle(*ann);
    EXPECT_NE(ann->floor->floor(), FloorUnit::Floor::Speaking);
    EXPECT_FALSE(ann->voice.speaking);
    // The key opens and closes it.
    ann->talk->setMicrophoneAllowed(true);
    EXPECT_TRUE(ann->voice.speaking);
    ann->talk->setMicrophoneAllowed(false);
    EXPECT_FALSE(ann->voice.speaking);
    ann->talk->OnEndUserVoice(12, u"bob"_s);
    ann->talk->setMicrophoneAllowed(true);
    // Out of a talk the key's gate leaves the engine to the floor.
    EXPECT_FALSE(ann->voice.speaking);
    teacher(u"takeback"_s);
    settle(*ann);

    // Holding the floor (the talk's end took her voice permission), ann
    // starts a talk: the engine speaks to bob, and the teacher taking the
    // floor back leaves the talk heard.
    ASSERT_TRUE(holdTheFloorThenTalk());
    EXPECT_TRUE(ann->voice.speaking);
    teacher(u"takeback"_s);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return ann->floor->floor() == FloorUnit::Floor::Idle; }, 3000));
    EXPECT_TRUE(ann->voice.speaking);
    EXPECT_FALSE(ann->users->CheckUserSpeakingStatus(11));
    ann->talk->OnEndUserVoice(12, u"bob"_s);
    EXPECT_FALSE(ann->voice.speaking);
    settle(*ann); // her status after the talk reaches the server before the teacher's

    // A talk that ends while the floor is still held gives the microphone
    // back to the class: the engine speaks again, at the class relay.
    ASSERT_TRUE(holdTheFloorThenTalk());
    ann->talk->OnEndUserVoice(12, u"bob"_s);
    EXPECT_EQ(ann->floor->floor(), FloorUnit::Floor::Speaking);
    EXPECT_TRUE(ann->voice.speaking);
    ASSERT_GE(ann->voice.calls.size(), 2);
    EXPECT_TRUE(ann->voice.calls.at(ann->voice.calls.size() - 2).startsWith(u"listen 127.0.0.1:"_s))
        << ann->voice.calls.join(u"; "_s).toStdString();
    EXPECT_EQ(ann->voice.calls.last(), u"speakstart"_s);
    EXPECT_TRUE(ann->users->CheckUserSpeakingStatus(11));
}
