// Who hears the student, the microphone gate with and without push-to-talk,
// and the hint for speech nobody hears, on a simulated clock.
#include "client/classroom/voice/whohearsme.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using ClassroomVoice::WhoHearsMe;
using namespace Qt::StringLiterals;

namespace {

// `reports` level reports at `level`, one a frame (20 ms).
void speak(WhoHearsMe &who, qint64 &now, int reports, int level = 40)
{
    for (int i = 0; i < reports; ++i) {
        now += 20;
        who.levelReport(level);
    }
}

} // namespace

TEST(WhoHearsMe, TextAndGateFollowFloorTalkAndTalkKey)
{
    WhoHearsMe who([] { return qint64(0); });
    QSignalSpy gate(&who, &WhoHearsMe::gateChanged);
    EXPECT_EQ(who.text(), u"话筒关闭"_s);
    who.setFloorHeld(true);
    EXPECT_EQ(who.text(), u"全班在听"_s);
    EXPECT_TRUE(who.gateOpen());
    who.setTalkPartner(u"bob"_s);
    EXPECT_EQ(who.text(), u"与 bob 密谈"_s);
    who.setTalkPartner({});
    who.setPushToTalk(true);
    EXPECT_EQ(who.text(), u"话筒关闭"_s);
    EXPECT_FALSE(who.gateOpen());
    who.setTalkKey(true);
    EXPECT_TRUE(who.gateOpen());
    // The floor ends while the key is held: closed, and the key's release
    // later opens nothing.
    who.setFloorHeld(false);
    EXPECT_FALSE(who.gateOpen());
    who.setTalkKey(false);
    EXPECT_FALSE(who.gateOpen());
    // A key down before push-to-talk went on does not count afterwards.
    who.setPushToTalk(false);
    who.setTalkKey(true);
    who.setPushToTalk(true);
    who.setFloorHeld(true);
    EXPECT_FALSE(who.gateOpen());
    // Opened by the floor, closed by push-to-talk, opened by the key,
    // closed with the floor: each change told once.
    EXPECT_EQ(gate.count(), 4);

    // In a talk the key alone decides, whatever the floor: the talk's
    // microphone follows keyOpenChanged, and a closed one says so.
    QSignalSpy key(&who, &WhoHearsMe::keyOpenChanged);
    who.setFloorHeld(false);
    who.setTalkPartner(u"bob"_s);
    EXPECT_EQ(who.text(), u"话筒关闭"_s);
    EXPECT_FALSE(who.keyOpen());
    who.setTalkKey(true);
    EXPECT_EQ(who.text(), u"与 bob 密谈"_s);
    EXPECT_FALSE(who.gateOpen());
    who.setTalkKey(false);
    EXPECT_EQ(who.text(), u"话筒关闭"_s);
    who.setTalkKey(true);
    who.setPushToTalk(false); // the held key is forgotten; off means open
    EXPECT_TRUE(who.keyOpen());
    who.setPushToTalk(true);
    EXPECT_FALSE(who.keyOpen());
    QList<bool> told;
    for (const QList<QVariant> &change : key)
        told << change.first().toBool();
    EXPECT_EQ(told, (QList<bool>{true, false, true, false}));
}

TEST(WhoHearsMe, SpeechNobodyHearsBringsOneHintInTenSeconds)
{
    qint64 now = 1000;
    WhoHearsMe who([&now] { return now; });
    QSignalSpy hints(&who, &WhoHearsMe::hint);

    // A knock: loud, but too short to be speech.
    speak(who, now, 3);
    speak(who, now, 20, 0);
    EXPECT_EQ(hints.count(), 0);
    // Speech: the hint within a tenth of a second.
    const qint64 started = now;
    while (hints.isEmpty() && now - started < 1000)
        speak(who, now, 1);
    ASSERT_EQ(hints.count(), 1);
    EXPECT_LE(now - started, 200);
    EXPECT_EQ(hints.first().first().toString(), u"你现在没有话筒，举手或申请话筒"_s);
    // Talking on for nine seconds: no second hint; after ten, one more.
    speak(who, now, 450);
    EXPECT_EQ(hints.count(), 1);
    speak(who, now, 60);
    EXPECT_EQ(hints.count(), 2);

    // Heard by the class or by a partner, or holding the floor with the
    // talk key up: no hint.
    now += 20000;
    who.setFloorHeld(true);
    speak(who, now, 50);
    who.setPushToTalk(true);
    speak(who, now, 50);
    who.setFloorHeld(false);
    who.setTalkPartner(u"bob"_s);
    speak(who, now, 50);
    EXPECT_EQ(hints.count(), 2);
}
