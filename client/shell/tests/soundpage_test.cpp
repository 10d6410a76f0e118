// The options' sound page against the session's PulseAudio server
// (test-env.sh starts one): devices plugged and unplugged with pactl while
// the page is open, the choice followed by this process's streams, the level
// meter on a tone, OK and Cancel. Without a server the cases skip.
#include "client/classroom/vocanalibrary.h"
#include "client/shell/frmoptions.h"
#include "client/shell/soundpage.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "common/testsupport/testhome.h"
#include "controls/volumecontrol/sounddevices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
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
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The index of a sink by name, or "".
QString SinkIndex(const QString &name)
{
    for (const QString &line : Pactl({u"list"_s, u"short"_s, u"sinks"_s}).split(u'\n')) {
        const QStringList cols = line.split(u'\t');
        if (cols.size() > 1 && cols[1] == name)
            return cols[0];
    }
    return {};
}

// The sinks this process's loopback test plays into.
QStringList LoopbackSinks()
{
    QStringList sinks;
    const QString text = Pactl({u"list"_s, u"sink-inputs"_s});
    for (const QString &block : text.split(u"Sink Input #"_s)) {
        if (!block.contains(u"LumoStudent loopback test"_s))
            continue;
        const auto match = QRegularExpression(u"Sink: (\\d+)"_s).match(block);
        if (match.hasMatch())
            sinks.append(match.captured(1));
    }
    return sinks;
}

void ClickTab(QTabBar *bar, int index)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// A real key on the box, as a student picks with the keyboard, until the
// item with `name` is current.
bool PickByKeys(QComboBox *box, const QByteArray &name)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < box->count(); ++i) {
        if (box->currentData().toByteArray() == name)
            return true;
        QTest::keyClick(box, Qt::Key_Down);
    }
    return box->currentData().toByteArray() == name;
}

} // namespace

class SoundPageTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void choiceFollowsPlugAndUnplug();
    void meterHearsTheChosenInputAndCancelUndoes();

private:
    TestHome home;
    QStringList m_modules;
    bool m_server = false;
};

void SoundPageTest::initTestCase()
{
    Pactl({u"info"_s}, &m_server);
    if (!m_server)
        return;
    bool ok = false;
    m_modules.append(Pactl({u"load-module"_s, u"module-null-sink"_s, u"sink_name=lumo_test_a"_s,
                               u"sink_properties=device.description=TestA"_s},
        &ok));
    QVERIFY(ok);
    m_modules.append(Pactl({u"load-module"_s, u"module-sine-source"_s,
                               u"source_name=lumo_test_tone"_s, u"frequency=440"_s},
        &ok));
    QVERIFY(ok);
}

void SoundPageTest::cleanupTestCase()
{
    for (const QString &module : m_modules)
        Pactl({u"unload-module"_s, module});
}

void SoundPageTest::choiceFollowsPlugAndUnplug()
{
    if (!m_server)
        QSKIP("no PulseAudio server (scripts/test-env.sh starts one)");
    Global::ServerSettings settings;
    settings.CampusServerPort = u"2000"_s;
    QString webHost;
    Global::ScriptedPrompter prompter;
    SoundDevices devices;
    frmOptions dialog(settings, webHost, prompter);
    auto *page = new SoundPage(devices);
    dialog.addPage(u"声音"_s, page);
    connect(&dialog, &frmOptions::closedWith, page, &SoundPage::finish);
    QSignalSpy lost(&devices, &SoundDevices::deviceLost);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(devices.isReady());

    // Plugged while the page is open: listed without reopening.
    bool ok = false;
    const QString moduleB
        = Pactl({u"load-module"_s, u"module-null-sink"_s, u"sink_name=lumo_test_b"_s,
                    u"sink_properties=device.description=TestB"_s},
            &ok);
    QVERIFY(ok);
    QTRY_VERIFY(page->cboOutput()->findData(QByteArray("lumo_test_b")) > 0);

    ClickTab(dialog.tbsOptions(), dialog.tbsOptions()->count() - 1);
    QVERIFY(page->isEnabled());
    QTest::mouseClick(page->cmdLoopback(), Qt::LeftButton);
    QVERIFY(devices.loopbackRunning());
    QTRY_COMPARE(LoopbackSinks().size(), 1);

    // Chosen: the running stream moves there.
    QVERIFY(PickByKeys(page->cboOutput(), "lumo_test_a"));
    QTRY_COMPARE_WITH_TIMEOUT(LoopbackSinks(), QStringList{SinkIndex(u"lumo_test_a"_s)}, 2000);
    QVERIFY(PickByKeys(page->cboOutput(), "lumo_test_b"));
    QTRY_COMPARE_WITH_TIMEOUT(LoopbackSinks(), QStringList{SinkIndex(u"lumo_test_b"_s)}, 2000);

    // Unplugged: said once, the box keeps the choice marked absent, and the
    // stream lives on elsewhere.
    Pactl({u"unload-module"_s, moduleB}, &ok);
    QVERIFY(ok);
    QTRY_COMPARE(lost.size(), 1);
    QCOMPARE(lost.at(0).at(0).toString(), u"TestB"_s);
    QTRY_COMPARE(LoopbackSinks().size(), 1);
    QVERIFY(page->cboOutput()->currentText().contains(u"lumo_test_b"_s));

    // Plugged again: the stream goes back, nothing more is said.
    const QString moduleB2
        = Pactl({u"load-module"_s, u"module-null-sink"_s, u"sink_name=lumo_test_b"_s,
                    u"sink_properties=device.description=TestB"_s},
            &ok);
    QVERIFY(ok);
    m_modules.append(moduleB2);
    QTRY_COMPARE_WITH_TIMEOUT(LoopbackSinks(), QStringList{SinkIndex(u"lumo_test_b"_s)}, 3000);
    QCOMPARE(lost.size(), 1);

    // The microphone clean-up, switched with the mouse, reaches the engine's
    // loader with OK.
    QVERIFY(page->chkNoise()->isChecked());
    QTest::mouseClick(
        page->chkNoise(), Qt::LeftButton, {}, QPoint(6, page->chkNoise()->height() / 2));
    QVERIFY(!page->chkNoise()->isChecked());

    // OK keeps the choice; closing stops the test stream.
    auto *ok_button = dialog.findChild<QPushButton *>(u"cmdOK"_s);
    QTest::mouseClick(ok_button, Qt::LeftButton);
    QVERIFY(!devices.loopbackRunning());
    QTRY_COMPARE(LoopbackSinks().size(), 0);
    QCOMPARE(Global::GetSetting(Global::StudentAppName, u"Options"_s, u"OutputDevice"_s),
        u"lumo_test_b"_s);
    QVERIFY(SoundPage::HasSaved());
    QVERIFY(!Classroom::VocanaLibrary::VoiceSwitch(u"NoiseSuppression"_s));
    QVERIFY(Classroom::VocanaLibrary::VoiceSwitch(u"EchoCancellation"_s));
}

void SoundPageTest::meterHearsTheChosenInputAndCancelUndoes()
{
    if (!m_server)
        QSKIP("no PulseAudio server (scripts/test-env.sh starts one)");
    Global::SaveSetting(Global::StudentAppName, u"Options"_s, u"InputDevice"_s, QString());
    Global::ServerSettings settings;
    settings.CampusServerPort = u"2000"_s;
    QString webHost;
    Global::ScriptedPrompter prompter;
    SoundDevices devices;
    frmOptions dialog(settings, webHost, prompter);
    auto *page = new SoundPage(devices);
    dialog.addPage(u"声音"_s, page);
    connect(&dialog, &frmOptions::closedWith, page, &SoundPage::finish);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(page->cboInput()->findData(QByteArray("lumo_test_tone")) > 0);
    ClickTab(dialog.tbsOptions(), dialog.tbsOptions()->count() - 1);

    // A tone of full scale on the chosen input fills the meter.
    QVERIFY(PickByKeys(page->cboInput(), "lumo_test_tone"));
    QTRY_VERIFY_WITH_TIMEOUT(page->barLevel()->value() > 10, 3000);

    // Cancel: the kept choice (the default) is back, nothing saved.
    QTest::mouseClick(
        page->chkEcho(), Qt::LeftButton, {}, QPoint(6, page->chkEcho()->height() / 2));
    QVERIFY(!page->chkEcho()->isChecked());
    auto *cancel = dialog.findChild<QPushButton *>(u"cmdCancel"_s);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(devices.chosenInput(), QByteArray());
    QCOMPARE(Global::GetSetting(Global::StudentAppName, u"Options"_s, u"InputDevice"_s), QString());
    QCOMPARE(page->barLevel()->value(), 0);
    QVERIFY(page->chkEcho()->isChecked());
    QVERIFY(Classroom::VocanaLibrary::VoiceSwitch(u"EchoCancellation"_s));
}

QTEST_MAIN(SoundPageTest)
#include "soundpage_test.moc"
