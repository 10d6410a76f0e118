#include "protocol/messages.h"
#include "protocol/tests/loopback.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

class Classroom : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(wire.connected); }
    QByteArray sentFrame(quint8 type, qint32 verb, const QByteArray &payload)
    {
        return frame(type, verb, 7, payload);
    }
    WireFixture wire;
};

TEST_F(Classroom, Notes)
{
    wire.loop.sync->setMyID(7);
    auto send = [&](qint32 from, qint32 to, const QString &text) {
        return wire.sent([&](clsRemoteSync &s) { s.SendNoteMessage(from, to, text); });
    };
    EXPECT_EQ(send(7, 0, u"hi"_s), sentFrame(mtNotes, 0, fromHex("68006900")));
    EXPECT_EQ(send(7, 9, u"hi"_s), sentFrame(mtNotes, 1, fromHex("0900000068006900")));
    EXPECT_EQ(send(7, 7, u"hi"_s), sentFrame(mtNotes, 0, fromHex("68006900")));
    EXPECT_EQ(send(7, 9, QString()), QByteArray());

    EXPECT_EQ(wire.receive(frame(mtNotes, 1, 5, fromHex("0900000068006900"))),
        QStringList{uR"j({"event":"GetNoteMessage","FromID":5,"ToID":9,"Message":"hi"})j"_s});
    EXPECT_EQ(wire.receive(frame(mtNotes, 0, 5, Wire::wideBytes(u"大家好"_s))),
        QStringList{uR"j({"event":"GetNoteMessage","FromID":5,"ToID":0,"Message":"大家好"})j"_s});
    EXPECT_EQ(wire.receive(frame(mtNotes, 2, 5, fromHex("6800"))), QStringList());
    // Too short for a recipient: the failure is reported, the note still arrives.
    EXPECT_EQ(wire.receive(frame(mtNotes, 1, 5, fromHex("6800"))),
        (QStringList{
            uR"j({"event":"SystemLog","strDebugMessage":"Error in OnNotes [9]Subscript out of range"})j"_s,
            uR"j({"event":"GetNoteMessage","FromID":5,"ToID":0,"Message":"h"})j"_s}));
    EXPECT_TRUE(wire.loop.home.errorLog().startsWith("RemoteSync\r\nOnNotes\r\n"));
}

TEST_F(Classroom, WhiteBoard)
{
    wire.loop.sync->setMyID(7);
    EXPECT_EQ(
        wire.sent([](clsRemoteSync &s) { s.SendWhiteBoardMsg(255, 0, 0, 0, 0, 0, 0, {}, 0, {}); }),
        sentFrame(mtWhiteBoard, 255, QByteArray(32, '\0')));
    const QByteArray payload
        = Messages::whiteBoard(150, 300, 450, 600, 2, 0xFF, u"ab"_s, 12, u"宋"_s);
    EXPECT_EQ(payload.size(), 32 + 4 + 2);
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) {
        s.SendWhiteBoardMsg(6, 150, 300, 450, 600, 2, 0xFF, u"ab"_s, 12, u"宋"_s);
    }),
        sentFrame(mtWhiteBoard, 6, payload));

    EXPECT_EQ(wire.receive(frame(mtWhiteBoard, 6, 1, payload)),
        QStringList{
            uR"j({"event":"GetMsgWhiteBoard","ShapeType":6,"x1":150,"y1":300,"x2":450,"y2":600,"LineWidth":2,"Color":255,"strMessage":"ab","FontSize":12,"FontName":"宋"})j"_s});
    // m = 4, f = 2, but two stray bytes make mcLength 40.
    const QByteArray padded = Messages::whiteBoard(1, 2, 3, 4, 1, 0, u"ab"_s, 9, u"x"_s) + "zz";
    const QStringList events = wire.receive(frame(mtWhiteBoard, 0, 1, padded));
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0],
        uR"j({"event":"SystemLog","strDebugMessage":"[Warnning] String Length in WhiteBoard is wrong: Total Length (40) <> (4)"})j"_s);
    EXPECT_TRUE(
        events[1].startsWith(u"{\"event\":\"GetMsgWhiteBoard\",\"ShapeType\":0,\"x1\":1"_s));
    // A truncated payload still raises the event with what could be read.
    const QStringList cut = wire.receive(frame(mtWhiteBoard, 3, 1, payload.left(10)));
    ASSERT_EQ(cut.size(), 3);
    EXPECT_TRUE(cut[1].contains(u"Error in OnWhiteBoard [9]"_s));
    EXPECT_EQ(cut[2],
        uR"j({"event":"GetMsgWhiteBoard","ShapeType":3,"x1":150,"y1":300,"x2":0,"y2":0,"LineWidth":0,"Color":0,"strMessage":"","FontSize":0,"FontName":""})j"_s);
}

TEST_F(Classroom, Play)
{
    wire.loop.sync->setMyID(7);
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendPlayMsg(12); }),
        sentFrame(mtPlay, 0,
            fromHex("0c000000"
                    "00000000"
                    "00")));
    wire.loop.sync->setCurrPlayerPos(90);
    wire.loop.sync->setbMediaFile(true);
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendPlayMsgAd(12, 2); }),
        sentFrame(mtPlay, 2,
            fromHex("0c000000"
                    "5a000000"
                    "01")));

    EXPECT_EQ(wire.receive(frame(mtPlay, 1, 1,
                  fromHex("03000000"
                          "1e000000"
                          "00"))),
        QStringList{
            uR"j({"event":"GetMsgPlayNew","TreeNodeID":3,"PlayVerb":1,"boolMediaFile":false})j"_s});
    EXPECT_EQ(wire.loop.sync->CurrPlayerPos(), 30);
    // Verb 5 updates the position and the media flag and raises nothing.
    EXPECT_EQ(wire.receive(frame(mtPlay, 5, 1,
                  fromHex("03000000"
                          "28000000"
                          "01"))),
        QStringList());
    EXPECT_EQ(wire.loop.sync->CurrPlayerPos(), 40);
    EXPECT_TRUE(wire.loop.sync->bMediaFile());

    // A payload without the flag byte keeps the flag; one without the
    // position keeps the position too. Both are reported as failures.
    QStringList events = wire.receive(frame(mtPlay, 0, 1,
        fromHex("04000000"
                "32000000")));
    ASSERT_EQ(events.size(), 2);
    EXPECT_EQ(events[0],
        uR"j({"event":"GetMsgPlayNew","TreeNodeID":4,"PlayVerb":0,"boolMediaFile":true})j"_s);
    EXPECT_TRUE(events[1].contains(u"Error in MessageDispatch : [9] "_s));
    EXPECT_EQ(wire.loop.sync->CurrPlayerPos(), 50);
    EXPECT_TRUE(wire.loop.sync->bMediaFile());
    events = wire.receive(frame(mtPlay, 0, 1, fromHex("0500")));
    EXPECT_EQ(wire.loop.sync->CurrPlayerPos(), 50);
    EXPECT_TRUE(wire.loop.sync->bMediaFile());
    // A position that overflows is not taken either.
    wire.receive(frame(mtPlay, 5, 1,
        fromHex("05000000"
                "000000ff"
                "00")));
    EXPECT_EQ(wire.loop.sync->CurrPlayerPos(), 50);
    EXPECT_FALSE(wire.loop.sync->bMediaFile());
}

TEST_F(Classroom, VolumeAndMicrophone)
{
    wire.loop.sync->setMyID(7);
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendMPVolumeMsg(3, 8); }),
        sentFrame(mtVolume, 0, fromHex("0300000008000000")));
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendSPVolumeMsg(3, 8); }),
        sentFrame(mtVolume, 1, fromHex("0300000008000000")));
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendMicroPhoneRequestion(true); }),
        sentFrame(mtMicroPhoneRequestion, 1, {}));
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendMicroPhoneRequestion(false); }),
        sentFrame(mtMicroPhoneRequestion, 0, {}));

    EXPECT_EQ(wire.receive(frame(mtVolume, 0, 1, fromHex("0300000008000000"))
                  + frame(mtVolume, 1, 1, fromHex("0400000009000000"))
                  + frame(mtVolume, 2, 1, fromHex("0400000009000000"))),
        (QStringList{uR"j({"event":"GetMsgMPVolume","UserID":3,"VolumeValue":8})j"_s,
            uR"j({"event":"GetMsgSPVolume","UserID":4,"VolumeValue":9})j"_s,
            uR"j({"event":"SystemLog","strDebugMessage":"Error Volume type."})j"_s}));
    EXPECT_EQ(
        wire.receive(frame(mtMicroPhoneRequestion, 0, 1, {})
            + frame(mtMicroPhoneRequestion, 1, 1, {}) + frame(mtMicroPhoneRequestion, 4, 1, {})),
        (QStringList{uR"j({"event":"GetMsgMicroPhoneRelease"})j"_s,
            uR"j({"event":"GetMsgMicroPhoneHold"})j"_s,
            uR"j({"event":"SystemLog","strDebugMessage":"接收到的 mtMicroPhoneRequestion 消息 动作无法识别 4"})j"_s}));
}

TEST_F(Classroom, EnableSwitches)
{
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) {
        s.SendGlobalSpeakStatus(true);
        s.SendGlobalWhiteBoardStatus(false);
        s.SendGlobalNoteStatus(true);
        s.SendGlobalVoiceStatus(false);
    }),
        frame(mtEnable, 0, 0, fromHex("01")) + frame(mtEnable, 0, 0, fromHex("04"))
            + frame(mtEnable, 0, 0, fromHex("05")) + frame(mtEnable, 0, 0, fromHex("08")));
    // gsErrorStatus does not fit the byte: 0 goes out and the failure is reported.
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendEnableMsg(gsErrorStatus); }),
        frame(mtEnable, 0, 0, fromHex("00")));
    EXPECT_EQ(wire.loop.systemLog().last(), u"Error in SendEnableMsg [6]Overflow"_s);

    EXPECT_EQ(wire.receive(frame(mtEnable, 0, 1, fromHex("07"))),
        (QStringList{uR"j({"event":"GetMsgEnable","UserStatus":7})j"_s,
            uR"j({"event":"GetMsgGlobalVoiceStatus","boolValue":true})j"_s}));
    EXPECT_EQ(wire.receive(frame(mtEnable, 0, 1, fromHex("02"))
                  + frame(mtEnable, 0, 1, fromHex("03")) + frame(mtEnable, 0, 1, fromHex("06"))),
        (QStringList{uR"j({"event":"GetMsgEnable","UserStatus":2})j"_s,
            uR"j({"event":"GetMsgGlobalSpeakStatus","boolValue":false})j"_s,
            uR"j({"event":"GetMsgEnable","UserStatus":3})j"_s,
            uR"j({"event":"GetMsgGlobalWhiteBoardStatus","boolValue":true})j"_s,
            uR"j({"event":"GetMsgEnable","UserStatus":6})j"_s,
            uR"j({"event":"GetMsgGlobalNoteStatus","boolValue":false})j"_s}));
    const QString unknown
        = uR"j({"event":"SystemLog","strDebugMessage":"Error in OnEnable [0]"})j"_s;
    EXPECT_EQ(wire.receive(frame(mtEnable, 0, 1, fromHex("09"))),
        (QStringList{uR"j({"event":"GetMsgEnable","UserStatus":9})j"_s, unknown}));
    EXPECT_EQ(wire.receive(frame(mtEnable, 0, 1, {})),
        (QStringList{uR"j({"event":"GetMsgEnable","UserStatus":0})j"_s, unknown}));
}

TEST_F(Classroom, UrlAndPrompts)
{
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendURLMsg(u"http://a/"_s); }),
        frame(mtUrl, 0, 0, Wire::wideBytes(u"http://a/"_s)));
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) {
        s.SendPromptMsg(u"q"_s);
        s.SendOKPromptMsg(u"q"_s);
        s.SendAnswerMsg(true);
        s.SendOKAnswerMsg(false);
    }),
        frame(mtYesNo, 1, 0, fromHex("7100")) + frame(mtOK, 1, 0, fromHex("7100"))
            + frame(mtYesNo, 2, 0, fromHex("01000000")) + frame(mtOK, 2, 0, fromHex("00000000")));

    EXPECT_EQ(wire.receive(frame(mtUrl, 3, 1, Wire::wideBytes(u"http://a/"_s))),
        QStringList{uR"j({"event":"GetMsgURL","lngLength":18,"strURL":"http://a/"})j"_s});
    EXPECT_EQ(wire.receive(frame(mtYesNo, 1, 1, Wire::wideBytes(u"懂了吗"_s))
                  + frame(mtOK, 1, 1, Wire::wideBytes(u"ok"_s))),
        (QStringList{uR"j({"event":"GetMsgYESNOPrompt","lngLength":6,"strMessage":"懂了吗"})j"_s,
            uR"j({"event":"GetMsgOKPrompt","lngLength":4,"strMessage":"ok"})j"_s}));
    EXPECT_EQ(
        wire.receive(frame(mtYesNo, 2, 4, fromHex("03000000"))
            + frame(mtYesNo, 2, 4, fromHex("02000000")) + frame(mtOK, 2, 5, fromHex("01000000"))),
        (QStringList{uR"j({"event":"GetMsgYESNOAnswer","UserID":4,"boolYes":true})j"_s,
            uR"j({"event":"GetMsgYESNOAnswer","UserID":4,"boolYes":false})j"_s,
            uR"j({"event":"GetMsgOKAnswer","UserID":5,"boolYes":true})j"_s}));
    EXPECT_EQ(wire.receive(frame(mtYesNo, 3, 1, {}) + frame(mtOK, 0, 1, {})),
        (QStringList{
            uR"j({"event":"SystemLog","strDebugMessage":"Type of 'YesNo' Message is wrong:3"})j"_s,
            uR"j({"event":"SystemLog","strDebugMessage":"接收到的mtOK消息 动作无法识别 0"})j"_s}));
}

TEST_F(Classroom, UserLists)
{
    const QList<UserInfo> users{{7, u"  Li  "_s, 3, 1}, {8, u"ABCDEFGHIJKLMNOPQRS"_s, 128, 2}};
    const QByteArray payload = fromHex("07000000") + QByteArray("Li") + QByteArray(14, '\0')
        + fromHex("0301") + fromHex("08000000") + QByteArray("ABCDEFGHIJKLMNOP") + fromHex("8002");
    EXPECT_EQ(wire.sent([&](clsRemoteSync &s) { s.SendUserListMsg(2, users, 2); }),
        frame(mtUserList, 2, 0, payload));
    EXPECT_EQ(wire.sent([&](clsRemoteSync &s) { s.SendUserListMsg(0, users, 1); }),
        frame(mtUserList, 1, 0, {}));
    // One more user than given: a zero record and the failure line.
    EXPECT_EQ(wire.sent([&](clsRemoteSync &s) { s.SendUserListMsg(3, users, 1); }),
        frame(mtUserList, 1, 0, payload + QByteArray(22, '\0')));
    EXPECT_EQ(
        wire.loop.systemLog().last(), u"Error in SendUserListMsg [9]Subscript out of range"_s);

    // 45 bytes: two records and one stray byte.
    const QByteArray ali = fromHex("05000000416c69") + QByteArray(13, '\0') + fromHex("2001");
    const QStringList events = wire.receive(frame(mtUserList, 1, 1, ali + payload.mid(22) + "x"));
    ASSERT_EQ(events.size(), 1);
    const QString nul = u"\\u0000"_s;
    EXPECT_EQ(events[0],
        u"{\"event\":\"GetMsgUserList\",\"Count\":2,\"strUserList\":\"5         Ali"_s
            + nul.repeated(13) + u"32 1  8         ABCDEFGHIJKLMNOP1282  \",\"CmdVerb\":1}"_s);
    EXPECT_EQ(wire.receive(frame(mtUserList, 1, 1, "short")),
        QStringList{uR"j({"event":"GetMsgUserList","Count":0,"strUserList":"","CmdVerb":1})j"_s});
    EXPECT_EQ(wire.receive(frame(mtUserList, 4, 1, ali)),
        QStringList{
            uR"j({"event":"SystemLog","strDebugMessage":"[Debug] OnUserList: wrong cmdVerb"})j"_s});
    // A user number with its top bit set refuses the whole list, naming the record.
    const QStringList refused
        = wire.receive(frame(mtUserList, 3, 1, ali + fromHex("00000080") + QByteArray(18, 'a')));
    ASSERT_EQ(refused.size(), 2);
    EXPECT_EQ(refused[0],
        uR"j({"event":"SystemLog","strDebugMessage":"[Debug] OnUserList: record 2 of 2 refused, user number 00000080 out of range"})j"_s);
    EXPECT_EQ(refused[1],
        uR"j({"event":"SystemLog","strDebugMessage":"Error in MessageDispatch : [6] Overflow"})j"_s);
}

TEST_F(Classroom, KeysRefreshesAndUnknownTypes)
{
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) {
        s.SendMsgRefreshUserList();
        s.SendMsgGetClientKey();
        s.SendMsgClientReady();
        s.SendMsgRefreshWhiteBoard();
    }),
        frame(mtRefreshUserList, 0, 0, {}) + frame(mtGetClientKey, 0, 0, {})
            + frame(mtClientReady, 0, 0, {}) + frame(mtRefreshWhiteBoard, 0, 0, {}));

    const QByteArray key = fromHex("000102030405060708090a0b0c0d0e0f10111213");
    EXPECT_EQ(wire.receive(frame(mtGetClientKey, 0, 1, key)),
        QStringList{
            uR"j({"event":"GetMsgClientKey","UserClientKey":"000102030405060708090a0b0c0d0e0f10111213","KeyLength":16})j"_s});
    EXPECT_EQ(wire.receive(frame(mtRefreshUserList, 0, 1, {}) + frame(mtCampusSetCourse, 0, 1, {})),
        (QStringList{
            uR"j({"event":"SystemLog","strDebugMessage":"接收到的消息类型无法识别 11"})j"_s,
            uR"j({"event":"SystemLog","strDebugMessage":"接收到的消息类型无法识别 25"})j"_s}));
    EXPECT_EQ(wire.receive(frame(mtLogin, 0, 3, {}) + frame(mtLogin, 1, 3, {})),
        QStringList{uR"j({"event":"GetMsgLogOut","UserID":3})j"_s});
}

TEST_F(Classroom, OversizedPayloadIsNotSent)
{
    // 40 000 characters are 80 000 bytes: more than the header can announce.
    EXPECT_EQ(
        wire.sent([](clsRemoteSync &s) { s.SendURLMsg(QString(40000, u'x')); }), QByteArray());
    EXPECT_EQ(wire.loop.systemLog().last(), u"Error in SendURLMsg [6]Overflow"_s);
}
