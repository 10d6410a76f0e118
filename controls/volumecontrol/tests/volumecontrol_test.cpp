// The volume control against the session's PulseAudio server (test-env.sh
// starts one with null devices), and against a mixer of the test's own for
// what a real server cannot show (another maximum, no server at all).
#include "common/testsupport/testhome.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "controls/volumecontrol/volumemixer.h"

#include <QAbstractButton>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString Pactl(const QStringList &args, bool *ok = nullptr)
{
    QProcess process;
    process.start(u"pactl"_s, args);
    const bool finished = process.waitForFinished(5000);
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The first channel's raw volume, or -1.
qint64 ServerVolume(const QString &kind)
{
    const QString text
        = Pactl({u"get-"_s + kind + u"-volume"_s, u"@DEFAULT_"_s + kind.toUpper() + u"@"_s});
    const auto match = QRegularExpression(u":\\s*(\\d+)\\s*/"_s).match(text);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

void SetServerVolume(const QString &kind, const QString &value)
{
    Pactl({u"set-"_s + kind + u"-volume"_s, u"@DEFAULT_"_s + kind.toUpper() + u"@"_s, value});
}

bool Mapped(const char *library)
{
    QFile maps(u"/proc/self/maps"_s);
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// A mixer with chosen maxima, or none at all.
class FakeMixer : public VolumeMixer
{
public:
    explicit FakeMixer(quint32 maximum, bool available = true)
        : m_maximum(maximum)
        , m_available(available)
    { }
    void announce()
    {
        if (m_available)
            Q_EMIT ready();
        else
            Q_EMIT unavailable(u"no sound server"_s);
    }
    bool isReady() const override { return false; }
    bool hasLine(Line) const override { return m_available; }
    quint32 maximum(Line) const override { return m_maximum; }
    quint32 volume(Line line) const override { return values[line]; }
    void setVolume(Line line, quint32 value) override
    {
        values[line] = value;
        ++writes;
    }
    void setFromOutside(Line line, quint32 value)
    {
        values[line] = value;
        Q_EMIT changed();
    }

    quint32 values[2] = {0, 0};
    int writes = 0;

private:
    quint32 m_maximum;
    bool m_available;
};

QRect HandleRect(QSlider *slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.tickPosition = slider->tickPosition();
    option.upsideDown = slider->invertedAppearance();
    option.subControls = QStyle::SC_All;
    return slider->style()->subControlRect(
        QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
}

// A press on the handle, moves in small steps, a release: what a hand does.
void DragHandle(QSlider *slider, QPoint from, QPoint to)
{
    QTest::mousePress(slider, Qt::LeftButton, {}, from);
    constexpr int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        QTest::mouseMove(slider, from + (to - from) * i / steps);
        QTest::qWait(5);
    }
    QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
}

} // namespace

class VolumeControlTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    // First: nothing else has loaded the sound server's library yet.
    void serverMixerWaitsForTheFirstPaint();
    void stepsFollowTheControlMaximum_data();
    void stepsFollowTheControlMaximum();
    void noMixerDisablesSlidersWithOneLogEntry();
    void hookFollowsOutsideChangesOnlyWhileInPlace();
    void microphoneButton();
    void remoteWithoutMixer();
    void persistedProperties();

    void serverStepAndLevels_data();
    void serverStepAndLevels();
    void pactlChangeMovesTheSliders();
    void userMoveWritesTheMixer();
    void remoteModeLeavesTheMixerAlone();
    void noSoundServer();

private:
    bool serverRunning() const { return m_server; }
    std::unique_ptr<VolumeControl> makeServerControl();

    TestHome home;
    bool m_server = false;
};

void VolumeControlTest::initTestCase()
{
    bool ok = false;
    Pactl({u"info"_s}, &ok);
    m_server = ok;
}

void VolumeControlTest::init()
{
    home.clearErrorLog();
}

void VolumeControlTest::serverMixerWaitsForTheFirstPaint()
{
    QVERIFY(!Mapped("libpulse"));
    if (serverRunning())
        SetServerVolume(u"sink"_s, u"70%"_s);
    QWidget window;
    window.resize(240, 80);
    auto *control = new VolumeControl(&window);
    control->setGeometry(10, 10, 212, 64);
    // Built but never shown: the server is not asked, its library not loaded.
    QTest::qWait(100);
    QVERIFY(!control->mixerKnown());
    QVERIFY(!control->Ctr_Speaker()->isEnabled());
    QVERIFY(!Mapped("libpulse"));

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(control->mixerKnown());
    QVERIFY(Mapped("libpulse"));
    if (!serverRunning())
        return;
    // The real level arrives and a hand on the slider reaches the server.
    QVERIFY(control->mixerAvailable());
    QTRY_COMPARE(control->Ctr_Speaker()->value(), 7);
    QSlider *speaker = control->Ctr_Speaker();
    QVERIFY(speaker->isEnabled());
    const QRect handle = HandleRect(speaker);
    DragHandle(speaker, handle.center(), QPoint(speaker->width() - 1, handle.center().y()));
    QCOMPARE(speaker->value(), 10);
    QTRY_COMPARE(ServerVolume(u"sink"_s), qint64(65536));
}

void VolumeControlTest::stepsFollowTheControlMaximum_data()
{
    QTest::addColumn<quint32>("maximum");
    QTest::addColumn<qint32>("step");
    QTest::addColumn<quint32>("writtenAtTen");
    QTest::newRow("65535") << 65535u << 6554 << 65535u;
    QTest::newRow("5") << 5u << 1 << 5u;
    QTest::newRow("100") << 100u << 10 << 100u;
}

void VolumeControlTest::stepsFollowTheControlMaximum()
{
    QFETCH(quint32, maximum);
    QFETCH(qint32, step);
    QFETCH(quint32, writtenAtTen);
    auto owned = std::make_unique<FakeMixer>(maximum);
    FakeMixer *mixer = owned.get();
    VolumeControl control(std::move(owned));
    mixer->announce();
    QCOMPARE(control.Speaker_Vol_Max(), step);
    QCOMPARE(control.MicroPhone_Vol_Max(), step);

    control.SetSpeakerVolume(10);
    QCOMPARE(control.Ctr_Speaker()->value(), 10);
    QCOMPARE(mixer->values[VolumeMixer::Speaker], writtenAtTen);
    control.SetMicVolume(3);
    QCOMPARE(control.Ctr_Recorder()->value(), 3);
    QCOMPARE(mixer->values[VolumeMixer::Microphone], quint32(3 * step));
    // Out of range levels are held to 0-10.
    control.SetMicVolume(25);
    QCOMPARE(control.Ctr_Recorder()->value(), 10);
    QCOMPARE(mixer->values[VolumeMixer::Microphone], writtenAtTen);
    control.SetSpeakerVolume(-4);
    QCOMPARE(control.Ctr_Speaker()->value(), 0);
    QCOMPARE(mixer->values[VolumeMixer::Speaker], 0u);
}

void VolumeControlTest::noMixerDisablesSlidersWithOneLogEntry()
{
    auto owned = std::make_unique<FakeMixer>(65535, false);
    FakeMixer *mixer = owned.get();
    VolumeControl control(std::move(owned));
    mixer->announce();
    mixer->announce();
    control.StartUserHook(nullptr);
    QVERIFY(control.mixerKnown());
    QVERIFY(!control.mixerAvailable());
    QVERIFY(!control.Ctr_Speaker()->isEnabled());
    QVERIFY(!control.Ctr_Recorder()->isEnabled());
    QCOMPARE(control.Speaker_Vol_Max(), 1);
    control.SetSpeakerVolume(4);
    QCOMPARE(control.Ctr_Speaker()->value(), 4); // shown, written nowhere
    QCOMPARE(mixer->writes, 0);
    const QByteArray log = home.errorLog();
    QCOMPARE(log.count("VolumeControl\r\n"), 1);
    QVERIFY2(log.contains("VolumeControl\r\nGetControlIDs初始化错误！\r\n"), log.constData());
    // The button works without sound.
    QVERIFY(control.CmdEnabled());
}

void VolumeControlTest::hookFollowsOutsideChangesOnlyWhileInPlace()
{
    auto owned = std::make_unique<FakeMixer>(65536);
    FakeMixer *mixer = owned.get();
    VolumeControl control(std::move(owned));
    mixer->setFromOutside(VolumeMixer::Speaker, 65536);
    mixer->announce();
    QCOMPARE(control.Ctr_Speaker()->value(), 10); // placed at start

    mixer->setFromOutside(VolumeMixer::Speaker, 32768);
    QCOMPARE(control.Ctr_Speaker()->value(), 10); // no hook yet
    control.StartUserHook(&control);
    QCOMPARE(control.Ctr_Speaker()->value(), 5);
    mixer->setFromOutside(VolumeMixer::Microphone, 13107);
    QCOMPARE(control.Ctr_Recorder()->value(), 2);
    control.StopUserHook();
    mixer->setFromOutside(VolumeMixer::Microphone, 65536);
    QCOMPARE(control.Ctr_Recorder()->value(), 2);
    control.Change();
    QCOMPARE(control.Ctr_Recorder()->value(), 10);
    QCOMPARE(mixer->writes, 0); // following never writes back
}

void VolumeControlTest::microphoneButton()
{
    auto owned = std::make_unique<FakeMixer>(65536);
    VolumeControl control(std::move(owned));
    control.show();
    QSignalSpy started(&control, &VolumeControl::OnMicStart);
    QSignalSpy stopped(&control, &VolumeControl::OnMicStop);
    QCOMPARE(control.buttonPicture(), 1);
    QCOMPARE(control.VKeyCode(), qint16(0));
    QTest::mouseClick(control.cmdSpeaker(), Qt::RightButton);
    QCOMPARE(started.count(), 0);
    QTest::mouseClick(control.cmdSpeaker(), Qt::LeftButton);
    QCOMPARE(started.count(), 1);
    QCOMPARE(control.VKeyCode(), qint16(17));
    const QImage idle = control.cmdSpeaker()->icon().pixmap(32).toImage();
    control.KeySpeak();
    QCOMPARE(control.buttonPicture(), 2);
    QVERIFY(control.cmdSpeaker()->icon().pixmap(32).toImage() != idle);
    control.KeyStop();
    QCOMPARE(control.buttonPicture(), 1);
    QCOMPARE(control.cmdSpeaker()->icon().pixmap(32).toImage(), idle);
    QCOMPARE(stopped.count(), 0);

    control.SetCmdEnabled(false);
    QVERIFY(!control.CmdEnabled());
    QTest::mouseClick(control.cmdSpeaker(), Qt::LeftButton);
    QCOMPARE(started.count(), 1);
    control.SetSpeakerVisible(false);
    QVERIFY(!control.cmdSpeaker()->isVisible());
}

void VolumeControlTest::remoteWithoutMixer()
{
    VolumeControl control(std::unique_ptr<VolumeMixer>{});
    control.SetRemote(true);
    QVERIFY(control.Ctr_Speaker()->isEnabled());
    control.SetSpeakerVolume(6);
    QCOMPARE(control.Ctr_Speaker()->value(), 6);
    control.SetRemote(false);
    QVERIFY(!control.Ctr_Speaker()->isEnabled());
    QVERIFY(home.errorLog().isEmpty());
}

void VolumeControlTest::persistedProperties()
{
    auto owned = std::make_unique<FakeMixer>(65536);
    FakeMixer *mixer = owned.get();
    VolumeControl control(std::move(owned));
    mixer->announce();
    control.ReadProperties({});
    QCOMPARE(control.WriteProperties(),
        (QVariantMap{{u"AutoSize"_s, false}, {u"Remote"_s, false}, {u"Enabled"_s, false}}));
    QVERIFY(!control.Ctr_Speaker()->isEnabled());
    QVERIFY(home.errorLog().isEmpty());

    control.ReadProperties(
        {{u"AutoSize"_s, u"sometimes"_s}, {u"Remote"_s, true}, {u"Enabled"_s, u"True"_s}});
    QVERIFY(!control.AutoSize());
    QVERIFY(control.Remote());
    QVERIFY(control.Enabled());
    QVERIFY(control.Ctr_Speaker()->isEnabled());
    const QByteArray log = home.errorLog();
    QCOMPARE(log.count("VolumeControl\r\nUserControl_ReadProperties\r\n"), 1);
    QVERIFY(log.contains("AutoSize"));
}

std::unique_ptr<VolumeControl> VolumeControlTest::makeServerControl()
{
    auto control = std::make_unique<VolumeControl>();
    // The session's mixer is asked for once the control has been painted.
    control->resize(212, 64);
    control->show();
    if (!QTest::qWaitForWindowExposed(control.get()))
        qWarning("the control was not shown");
    if (!QTest::qWaitFor([&control] { return control->mixerKnown(); }, 5000))
        qWarning("the mixer did not answer within 5 s");
    return control;
}

void VolumeControlTest::serverStepAndLevels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("position");
    QTest::addColumn<qint64>("written");
    QTest::newRow("10") << 10 << 10 << qint64(65536); // 6554 x 10 would pass 100 %
    QTest::newRow("5") << 5 << 5 << qint64(32770);
    QTest::newRow("0") << 0 << 0 << qint64(0);
    QTest::newRow("12 clamped") << 12 << 10 << qint64(65536);
    QTest::newRow("-1 clamped") << -1 << 0 << qint64(0);
}

void VolumeControlTest::serverStepAndLevels()
{
    if (!serverRunning())
        QSKIP("no PulseAudio server (run the tests through scripts/test-env.sh)");
    QFETCH(int, level);
    QFETCH(int, position);
    QFETCH(qint64, written);
    auto control = makeServerControl();
    QVERIFY(control->mixerAvailable());
    QCOMPARE(control->Speaker_Vol_Max(), 6554); // 65536 / 10
    QCOMPARE(control->MicroPhone_Vol_Max(), 6554);
    QVERIFY(control->Ctr_Speaker()->isEnabled());

    control->SetSpeakerVolume(qint16(level));
    control->SetMicVolume(qint16(level));
    QCOMPARE(control->Ctr_Speaker()->value(), position);
    QCOMPARE(control->Ctr_Recorder()->value(), position);
    QTRY_COMPARE(ServerVolume(u"sink"_s), written);
    QTRY_COMPARE(ServerVolume(u"source"_s), written);
}

void VolumeControlTest::pactlChangeMovesTheSliders()
{
    if (!serverRunning())
        QSKIP("no PulseAudio server (run the tests through scripts/test-env.sh)");
    SetServerVolume(u"sink"_s, u"100%"_s);
    auto control = makeServerControl();
    QCOMPARE(control->Ctr_Speaker()->value(), 10);
    control->StartUserHook(control.get());
    SetServerVolume(u"sink"_s, u"30%"_s);
    QTRY_COMPARE(control->Ctr_Speaker()->value(), 3);
    SetServerVolume(u"source"_s, u"60%"_s);
    QTRY_COMPARE(control->Ctr_Recorder()->value(), 6);
    // Amplified past 100 %: the slider shows the top, nothing is written back.
    SetServerVolume(u"sink"_s, u"150%"_s);
    QTRY_COMPARE(control->Ctr_Speaker()->value(), 10);
    QCOMPARE(ServerVolume(u"sink"_s), qint64(98304));
    control->StopUserHook();
}

void VolumeControlTest::userMoveWritesTheMixer()
{
    if (!serverRunning())
        QSKIP("no PulseAudio server (run the tests through scripts/test-env.sh)");
    SetServerVolume(u"sink"_s, u"50%"_s);
    auto control = makeServerControl();
    // The mouse takes the handle and drags it to the loud end, then back
    // to the silent end: the slider shows the level and the server gets it.
    QSlider *speaker = control->Ctr_Speaker();
    QCOMPARE(speaker->value(), 5);
    const QRect handle = HandleRect(speaker);
    QVERIFY(handle.width() > 0 && speaker->height() >= handle.height());
    DragHandle(speaker, handle.center(), QPoint(speaker->width() - 1, handle.center().y()));
    QCOMPARE(speaker->value(), 10);
    QTRY_COMPARE(ServerVolume(u"sink"_s), qint64(65536));
    DragHandle(speaker, HandleRect(speaker).center(), QPoint(0, handle.center().y()));
    QCOMPARE(speaker->value(), 0);
    QTRY_COMPARE(ServerVolume(u"sink"_s), qint64(0));
    control->Ctr_Recorder()->triggerAction(QSlider::SliderToMaximum);
    QTRY_COMPARE(ServerVolume(u"source"_s), qint64(65536));
}

void VolumeControlTest::remoteModeLeavesTheMixerAlone()
{
    if (!serverRunning())
        QSKIP("no PulseAudio server (run the tests through scripts/test-env.sh)");
    SetServerVolume(u"sink"_s, u"50%"_s);
    SetServerVolume(u"source"_s, u"50%"_s);
    auto control = makeServerControl();
    control->SetRemote(true);
    QSignalSpy reported(control.get(), &VolumeControl::VolumeChanged);
    QCOMPARE(control->Ctr_Speaker()->value(), 0); // the stored levels, 0 at start

    control->Ctr_Recorder()->setValue(4); // a drag
    control->SetMicVolume(9);
    QCOMPARE(control->Ctr_Recorder()->value(), 9);
    QCOMPARE(reported.count(), 0);
    QSlider *slider = control->Ctr_Speaker();
    QTest::mouseClick(slider, Qt::LeftButton, {},
        QPoint(slider->width() * 3 / 4, HandleRect(slider).center().y()));
    QTRY_COMPARE(reported.count(), 1);
    QCOMPARE(reported.at(0).at(0).value<qint16>(), qint16(9)); // MicVol
    QVERIFY(slider->value() > 0); // a click at the loud end raises it
    QCOMPARE(reported.at(0).at(1).value<qint16>(), qint16(slider->value())); // SpkVol

    // Back in local mode a write reaches the server; every remote move was
    // sent before it on the same connection, so the source shows none of them.
    control->SetRemote(false);
    control->SetSpeakerVolume(2);
    QTRY_COMPARE(ServerVolume(u"sink"_s), qint64(2 * 6554));
    QCOMPARE(ServerVolume(u"source"_s), qint64(32768));
}

void VolumeControlTest::noSoundServer()
{
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/lumo-no-server");
    auto control = makeServerControl();
    if (saved.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", saved);
    QVERIFY(control->mixerKnown());
    QVERIFY(!control->mixerAvailable());
    QVERIFY(!control->Ctr_Speaker()->isEnabled());
    QVERIFY(!control->Ctr_Recorder()->isEnabled());
    control->StartUserHook(control.get());
    control->SetSpeakerVolume(5);
    control->Change();
    const QByteArray log = home.errorLog();
    QCOMPARE(log.count("VolumeControl\r\n"), 1);
    QVERIFY2(log.contains("GetControlIDs初始化错误！"), log.constData());
}

QTEST_MAIN(VolumeControlTest)
#include "volumecontrol_test.moc"
