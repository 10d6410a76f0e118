#include "client/classroom/frmvizerazav.h"
#include "client/classroom/tests/recordingengine.h"
#include "client/classroom/vocanalibrary.h"
#include "common/testsupport/testhome.h"

#include "common/prompter.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;
using Classroom::frmVizeRazav;

namespace {

QStringList logLines(const frmVizeRazav &w)
{
    QStringList lines;
    for (int i = 0; i < w.ListLog()->count(); ++i)
        lines << w.ListLog()->item(i)->text();
    return lines;
}

} // namespace

class VoiceWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto engine = std::make_unique<RecordingEngine>(&calls);
        fake = engine.get();
        window = std::make_unique<frmVizeRazav>(std::move(engine));
        window->setPrompter(&prompter);
        window->setSoundBar(&soundBar);
        calls.clear();
        window->ListLog()->clear();
    }

    QString speakCall(const char *address, int port) const
    {
        return u"StartSpeak %1 502 %2 %3"_s.arg(window->levelTarget())
            .arg(QLatin1StringView(address))
            .arg(port);
    }

    TestHome home;
    QStringList calls;
    RecordingEngine *fake = nullptr;
    Global::ScriptedPrompter prompter;
    QProgressBar soundBar;
    std::unique_ptr<frmVizeRazav> window;
};

TEST(VoiceWindowLife, CreationInitialisesAndDestructionReleases)
{
    TestHome home;
    QStringList calls;
    auto window = std::make_unique<frmVizeRazav>(std::make_unique<RecordingEngine>(&calls));
    const QString target = QString::number(window->levelTarget());
    EXPECT_EQ(calls,
        (QStringList{
            u"InitDLL"_s, u"StartSpeak "_s + target + u" 502 2130706433 8640"_s, u"StopSpeak"_s}));
    EXPECT_EQ(logLines(*window),
        (QStringList{u"Call StartSpeak, return value =0"_s, u"Call StopSpeak, return value =0"_s}));
    EXPECT_EQ(window->txtListenIP()->text(), u"127.0.0.1"_s);
    EXPECT_EQ(window->txtListenPort()->text(), u"8639"_s);
    EXPECT_EQ(window->txtSpeakIP()->text(), u"127.0.0.1"_s);
    EXPECT_EQ(window->txtSpeakPort()->text(), u"8640"_s);
    EXPECT_EQ(window->btnListen()->text(), u"开始聆听"_s);
    EXPECT_EQ(window->btnSpeak()->text(), u"开始发言"_s);
    EXPECT_FALSE(window->bStartSpeak());
    EXPECT_FALSE(window->bStartListen());
    EXPECT_TRUE(window->isHidden());

    calls.clear();
    window.reset();
    EXPECT_EQ(calls, (QStringList{u"StopListen"_s, u"StopSpeak"_s, u"ReleaseDLL"_s}));
}

TEST_F(VoiceWindow, SpeakStartAndStopFollowTheFields)
{
    window->txtSpeakIP()->setText(u"192.168.1.2"_s);
    window->txtSpeakPort()->setText(u"5000"_s);
    window->SpeakStart();
    EXPECT_EQ(calls, QStringList{speakCall("-1062731518", 5000)});
    EXPECT_TRUE(window->bStartSpeak());
    EXPECT_EQ(window->btnSpeak()->text(), u"停止发言"_s);
    EXPECT_FALSE(window->txtSpeakIP()->isEnabled());
    EXPECT_FALSE(window->txtSpeakPort()->isEnabled());

    // Already speaking: nothing more, not even a log line.
    window->SpeakStart();
    EXPECT_EQ(calls.size(), 1);
    EXPECT_EQ(window->ListLog()->count(), 1);

    window->SpeakStop();
    window->SpeakStop(); // only once
    EXPECT_EQ(calls, (QStringList{speakCall("-1062731518", 5000), u"StopSpeak"_s}));
    EXPECT_FALSE(window->bStartSpeak());
    EXPECT_EQ(window->btnSpeak()->text(), u"开始发言"_s);
    EXPECT_TRUE(window->txtSpeakIP()->isEnabled());
    EXPECT_TRUE(window->txtSpeakPort()->isEnabled());
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(VoiceWindow, ListenStartHasNoGuardAndStopAlwaysCalls)
{
    window->txtListenPort()->setText(u"40000"_s);
    window->ListenStart();
    window->ListenStart();
    EXPECT_EQ(calls,
        (QStringList{
            u"StartListen 0 0 2130706433 40000"_s, u"StartListen 0 0 2130706433 40000"_s}));
    EXPECT_TRUE(window->bStartListen());
    EXPECT_EQ(window->btnListen()->text(), u"停止聆听"_s);
    EXPECT_FALSE(window->txtListenIP()->isEnabled());
    window->ListenStop();
    EXPECT_FALSE(window->bStartListen());
    EXPECT_EQ(window->btnListen()->text(), u"开始聆听"_s);
    EXPECT_TRUE(window->txtListenPort()->isEnabled());
    EXPECT_EQ(logLines(*window).last(), u"Call StopListen, return value =0"_s);
}

struct BadFieldCase {
    const char *name;
    const char16_t *ip;
    const char16_t *port;
};

class VoiceWindowBadFields : public VoiceWindow, public ::testing::WithParamInterface<BadFieldCase>
{
};

TEST_P(VoiceWindowBadFields, AreRefusedWithABoxAndChangeNothing)
{
    const BadFieldCase &c = GetParam();
    window->txtSpeakIP()->setText(QString::fromUtf16(c.ip));
    window->txtSpeakPort()->setText(QString::fromUtf16(c.port));
    window->txtListenIP()->setText(QString::fromUtf16(c.ip));
    window->txtListenPort()->setText(QString::fromUtf16(c.port));
    window->SpeakStart();
    window->ListenStart();
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_EQ(window->ListLog()->count(), 0);
    EXPECT_FALSE(window->bStartSpeak());
    EXPECT_FALSE(window->bStartListen());
    EXPECT_EQ(window->btnSpeak()->text(), u"开始发言"_s);
    EXPECT_EQ(window->btnListen()->text(), u"开始聆听"_s);
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[0].text, u"错误的语音发送地址！"_s);
    EXPECT_EQ(prompter.shown[1].text, u"错误的语音接收地址！"_s);
    for (const Global::Prompt &p : prompter.shown) {
        EXPECT_EQ(p.title, u"LumoClass 系统提示："_s);
        EXPECT_EQ(p.icon, Global::PromptIcon::Information);
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, VoiceWindowBadFields,
    ::testing::Values(BadFieldCase{"zero_address", u"0.0.0.0", u"8640"},
        BadFieldCase{"empty_address", u"", u"8640"}, BadFieldCase{"zero_port", u"127.0.0.1", u"0"},
        BadFieldCase{"port_not_a_number", u"127.0.0.1", u"port"},
        BadFieldCase{"port_beyond_16_bits", u"127.0.0.1", u"70000"},
        BadFieldCase{"dotted_port_beyond_16_bits", u"127.0.0.1", u"0.1.0.0"},
        BadFieldCase{"address_part_too_big", u"10.0.0.300", u"8640"}),
    [](const ::testing::TestParamInfo<BadFieldCase> &row) { return std::string(row.param.name); });

TEST_F(VoiceWindow, BadAddressWhileSpeakingStillShowsTheBox)
{
    window->SpeakStart();
    window->txtSpeakIP()->setText(u"0"_s);
    window->SpeakStart();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(window->bStartSpeak());
    EXPECT_EQ(calls.size(), 1);
}

TEST_F(VoiceWindow, ButtonsToggleByTheirCaption)
{
    window->btnSpeak()->click();
    window->btnListen()->click();
    EXPECT_TRUE(window->bStartSpeak());
    EXPECT_TRUE(window->bStartListen());
    window->btnSpeak()->click();
    window->btnListen()->click();
    EXPECT_FALSE(window->bStartSpeak());
    EXPECT_FALSE(window->bStartListen());
    EXPECT_EQ(calls,
        (QStringList{speakCall("2130706433", 8640), u"StartListen 0 0 2130706433 8639"_s,
            u"StopSpeak"_s, u"StopListen"_s}));
}

TEST_F(VoiceWindow, FailedEngineCallsAreLoggedAndTheFlagsStillFollow)
{
    fake->result = -4;
    window->SpeakStart();
    window->ListenStart();
    EXPECT_TRUE(window->bStartSpeak());
    EXPECT_TRUE(window->bStartListen());
    EXPECT_EQ(logLines(*window),
        (QStringList{
            u"Call StartSpeak, return value =-4"_s, u"Call StartListen, return value =-4"_s}));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

struct LevelCase {
    const char *name;
    bool targeted; // to this window's number
    int message;
    int level;
    int bar; // -1: the bar does not move
};

class VoiceWindowLevels : public VoiceWindow, public ::testing::WithParamInterface<LevelCase>
{
};

TEST_P(VoiceWindowLevels, MoveTheSoundBarWhileSpeaking)
{
    const LevelCase &c = GetParam();
    soundBar.setValue(33);
    window->SpeakStart();
    ASSERT_EQ(soundBar.value(), 0);
    soundBar.setValue(33);
    fake->sendLevel(
        c.targeted ? window->levelTarget() : window->levelTarget() + 1000, c.message, c.level);
    EXPECT_EQ(soundBar.value(), c.bar < 0 ? 33 : c.bar);
}

INSTANTIATE_TEST_SUITE_P(Reports, VoiceWindowLevels,
    ::testing::Values(LevelCase{"half", true, 502, 16384, 50},
        LevelCase{"full", true, 502, 32768, 100}, LevelCase{"silence", true, 502, 0, 0},
        LevelCase{"other_level_message", true, 501, 3277, 10},
        LevelCase{"above_scale_is_held", true, 502, 99999, 100},
        LevelCase{"negative_is_held", true, 502, -7, 0},
        LevelCase{"other_window", false, 502, 16384, -1},
        LevelCase{"other_message", true, 503, 16384, -1}),
    [](const ::testing::TestParamInfo<LevelCase> &row) { return std::string(row.param.name); });

TEST_F(VoiceWindow, LevelsAfterSpeakingStopsAreIgnored)
{
    window->SpeakStart();
    fake->sendLevel(window->levelTarget(), 502, 32768);
    EXPECT_EQ(soundBar.value(), 100);
    window->SpeakStop();
    EXPECT_EQ(soundBar.value(), 0);
    soundBar.setValue(33);
    fake->sendLevel(window->levelTarget(), 502, 32768);
    EXPECT_EQ(soundBar.value(), 33);
}

TEST(VoiceWindowEngine, MissingEngineIsLoggedOnceAndEveryCallSaysSo)
{
    TestHome home;
    qputenv("LUMO_VOICE_ENGINE", "/nonexistent/libNoEngine.so");
    {
        frmVizeRazav window;
        Global::ScriptedPrompter prompter;
        window.setPrompter(&prompter);
        window.ListenStart();
        EXPECT_EQ(logLines(window),
            (QStringList{u"Call StartSpeak, return value =-100"_s,
                u"Call StopSpeak, return value =-100"_s,
                u"Call StartListen, return value =-100"_s}));
    }
    qunsetenv("LUMO_VOICE_ENGINE");
    EXPECT_EQ(home.errorLog().count("LoadVoiceEngine"), 1);
}

TEST(VoiceWindowEngine, RealEngineIsLoadedByNameAndAnswers)
{
    TestHome home;
    // The engine's sound files stand in for the devices the test machine
    // may lack; the microphone file is missing on purpose (a known answer).
    qputenv("LUMO_VOICE_MIC_WAV", QFile::encodeName(home.path() + u"/none.wav"_s));
    qputenv("LUMO_VOICE_PLAY_WAV", QFile::encodeName(home.path() + u"/heard.wav"_s));
    {
        frmVizeRazav window;
        window.txtListenPort()->setText(
            QString::number(47000 + QCoreApplication::applicationPid() % 1000));
        window.ListenStart();
        window.ListenStop();
        EXPECT_EQ(logLines(window),
            (QStringList{u"Call StartSpeak, return value =-6"_s,
                u"Call StopSpeak, return value =0"_s, u"Call StartListen, return value =0"_s,
                u"Call StopListen, return value =0"_s}));
    }
    qunsetenv("LUMO_VOICE_MIC_WAV");
    qunsetenv("LUMO_VOICE_PLAY_WAV");
    EXPECT_TRUE(QFile::exists(home.path() + u"/heard.wav"_s));
}
