#include "common/errorlog.h"
#include "common/testsupport/testhome.h"
#include "controls/whiteboardole/picturearea.h"
#include "controls/whiteboardole/playform.h"
#include "controls/whiteboardole/tests/testmedia.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QVideoWidget>

using namespace Qt::StringLiterals;

namespace {

// True while the browser engine is mapped into this process.
bool BrowserEngineLoaded()
{
    QFile maps(u"/proc/self/maps"_s);
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("WebEngineCore");
}

// The playback window the control opened, as the player library made it.
PlayForm *Player(const WhiteBoardOLE *control)
{
    return qobject_cast<PlayForm *>(control->playForm());
}

} // namespace

class WhiteBoardOLETest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void pictureShowsInTheImageArea();
    void badPropertyFailsTheNextMethod_data();
    void badPropertyFailsTheNextMethod();
    void internalErrorsAreReportedAndLogged_data();
    void internalErrorsAreReportedAndLogged();
    void refusedWebAddressLoadsNoBrowser_data();
    void refusedWebAddressLoadsNoBrowser();
    void playbackWindowFollowsUserAndType_data();
    void playbackWindowFollowsUserAndType();
    void pauseIsReportedOnce();
    void endOfFileReportsStoppedAndClosesTheWindow();
    void startPositionIsApplied_data();
    void startPositionIsApplied();
    void stopAndPauseVerbsEndThePlayback_data();
    void stopAndPauseVerbsEndThePlayback();
    void closingTheWindowReportsStopped();

private:
    WhiteBoardOLE *makeControl();
    QString mediaPath(const QString &name) const { return home->path() + u"/"_s + name; }

    std::unique_ptr<TestHome> home;
    std::unique_ptr<QWidget> host;
    QString shortWav;
    QString longWav;
    QString picture;
};

void WhiteBoardOLETest::initTestCase()
{
    home = std::make_unique<TestHome>();
    shortWav = mediaPath(u"short.wav"_s);
    longWav = mediaPath(u"long.wav"_s);
    picture = mediaPath(u"page.png"_s);
    QVERIFY(TestMedia::WriteWav(shortWav, 0.6));
    QVERIFY(TestMedia::WriteWav(longWav, 100));
    QVERIFY(TestMedia::WritePicture(picture));
}

void WhiteBoardOLETest::init()
{
    home->clearErrorLog();
    host = std::make_unique<QWidget>();
    host->resize(800, 600);
    host->move(40, 30);
    host->show();
}

void WhiteBoardOLETest::cleanup()
{
    host.reset();
}

WhiteBoardOLE *WhiteBoardOLETest::makeControl()
{
    auto *control = new WhiteBoardOLE(host.get());
    control->setGeometry(0, 0, 640, 480);
    control->setPollInterval(50);
    control->setAreaStartPosX(u"10"_s);
    control->setAreaStartPosY(u"20"_s);
    control->setAreaEndPosX(u"300"_s);
    control->setAreaEndPosY(u"200"_s);
    control->show();
    return control;
}

void WhiteBoardOLETest::pictureShowsInTheImageArea()
{
    WhiteBoardOLE *control = makeControl();
    control->setFileSource(u"  "_s + picture + u" "_s);
    control->setFileType(u"1"_s);
    QCOMPARE(control->FileSource(), picture);
    QVERIFY(control->Play_OLE());
    QVERIFY(control->pictureArea()->isVisible());
    QCOMPARE(control->pictureArea()->geometry(), QRect(10, 20, 300, 200));
    QCOMPARE(control->pictureArea()->image().size(), QSize(64, 48));
    QVERIFY(!control->webView());
    QVERIFY(!control->playForm());
    // Showing pages must not pull the browser engine in.
    QVERIFY(!BrowserEngineLoaded());

    control->resize(500, 400);
    QCOMPARE(control->pictureArea()->geometry(), QRect(0, 0, 500, 400));

    QVERIFY(control->Clear_OLE());
    QVERIFY(!control->pictureArea()->isVisible());
}

void WhiteBoardOLETest::badPropertyFailsTheNextMethod_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("value");
    QTest::newRow("AreaStartPosX") << 1 << u"left"_s;
    QTest::newRow("AreaStartPosY") << 2 << u"1x"_s;
    QTest::newRow("AreaEndPosX") << 3 << u"wide"_s;
    QTest::newRow("AreaEndPosY") << 4 << u"99999"_s;
    QTest::newRow("FileSource") << 5 << u"   "_s;
    QTest::newRow("FileType") << 6 << u"two"_s;
}

void WhiteBoardOLETest::badPropertyFailsTheNextMethod()
{
    QFETCH(int, number);
    QFETCH(QString, value);
    WhiteBoardOLE *control = makeControl();
    control->setFileSource(picture);
    control->setFileType(u"1"_s);
    const QStringList before{control->AreaStartPosX(), control->AreaStartPosY(),
        control->AreaEndPosX(), control->AreaEndPosY(), control->FileSource(), control->FileType()};

    switch (number) {
    case 1: control->setAreaStartPosX(value); break;
    case 2: control->setAreaStartPosY(value); break;
    case 3: control->setAreaEndPosX(value); break;
    case 4: control->setAreaEndPosY(value); break;
    case 5: control->setFileSource(value); break;
    case 6: control->setFileType(value); break;
    }
    const QStringList after{control->AreaStartPosX(), control->AreaStartPosY(),
        control->AreaEndPosX(), control->AreaEndPosY(), control->FileSource(), control->FileType()};
    QCOMPARE(after, before); // a bad value leaves the member alone
    QCOMPARE(control->PropertyError(), qint16(number));

    const QString expected = u"第"_s + QString::number(number) + u"个属性输入错误"_s;
    QVERIFY(!control->Play_OLE());
    QCOMPARE(control->ErrorText(), expected);
    QVERIFY(!control->pictureArea()->isVisible());

    // Good values later do not clear it: every method keeps failing.
    control->setAreaStartPosX(u"0"_s);
    QVERIFY(!control->Play_OLEAd(0));
    QVERIFY(!control->Clear_OLE());
    QCOMPARE(control->PropertyError(), qint16(number));

    const QByteArray log = home->errorLog();
    for (const char *method : {"Play_OLE\r\n", "Play_OLEAd\r\n", "Clear_OLE\r\n"})
        QVERIFY2(log.contains(QByteArray("WhiteBoardOLE\r\n") + method), log.constData());
    QCOMPARE(log.count(expected.toUtf8()), 3);
}

void WhiteBoardOLETest::internalErrorsAreReportedAndLogged_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("logged");
    QTest::newRow("missing picture")
        << u"1"_s << u"/nonexistent/page.png"_s << QByteArray("/nonexistent/page.png");
    QTest::newRow("not a picture") << u"1"_s << u"SHORT"_s << QByteArray("short.wav");
    QTest::newRow("missing sound")
        << u"3"_s << u"/nonexistent/a.wav"_s << QByteArray("/nonexistent/a.wav");
    QTest::newRow("other type") << u"5"_s << u"PICTURE"_s << QByteArray("unknown file type 5");
    QTest::newRow("type zero") << u"0"_s << u"PICTURE"_s << QByteArray("unknown file type 0");
}

void WhiteBoardOLETest::internalErrorsAreReportedAndLogged()
{
    QFETCH(QString, type);
    QFETCH(QString, source);
    QFETCH(QByteArray, logged);
    source.replace(u"SHORT"_s, shortWav).replace(u"PICTURE"_s, picture);
    WhiteBoardOLE *control = makeControl();
    control->setFileSource(source);
    control->setFileType(type);
    QVERIFY(!control->Play_OLE());
    QCOMPARE(control->ErrorText(), u"函数内部错误"_s);
    QVERIFY(!control->Play_OLEAd(0));
    QVERIFY(!control->playForm());
    const QByteArray log = home->errorLog();
    QVERIFY2(log.startsWith("WhiteBoardOLE\r\nPlay_OLE\r\n"), log.constData());
    QVERIFY2(log.contains("WhiteBoardOLE\r\nPlay_OLEAd\r\n"), log.constData());
    QVERIFY2(log.contains(logged), log.constData());
    QCOMPARE(control->PropertyError(), qint16(0));
}

void WhiteBoardOLETest::refusedWebAddressLoadsNoBrowser_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("javascript") << u"javascript:alert(document.cookie)"_s;
    QTest::newRow("data") << u"data:text/html,<b>x</b>"_s;
    QTest::newRow("ftp") << u"ftp://example.org/notes.html"_s;
    QTest::newRow("file elsewhere") << u"file:///etc/passwd"_s;
    QTest::newRow("path elsewhere") << u"PICTURE"_s;
}

void WhiteBoardOLETest::refusedWebAddressLoadsNoBrowser()
{
    QFETCH(QString, address);
    address.replace(u"PICTURE"_s, picture);
    WhiteBoardOLE *control = makeControl();
    control->setFileSource(address);
    control->setFileType(u"2"_s);
    QVERIFY(!control->Play_OLE());
    QCOMPARE(control->ErrorText(), u"函数内部错误"_s);
    QVERIFY(!control->webView());
    QVERIFY(!BrowserEngineLoaded());
    const QByteArray log = home->errorLog();
    QVERIFY2(log.contains("refused address: " + address.toUtf8()), log.constData());
}

void WhiteBoardOLETest::playbackWindowFollowsUserAndType_data()
{
    QTest::addColumn<int>("user");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("height");
    QTest::newRow("student sound") << int(Ole::utStudent) << u"3"_s << false << u"播放"_s << 66;
    QTest::newRow("student video") << int(Ole::utStudent) << u"4"_s << true << u"播放"_s << 240;
    QTest::newRow("teacher sound")
        << int(Ole::utTeacher) << u"3"_s << true << u"播放 - short.wav"_s << 66;
    QTest::newRow("teacher video")
        << int(Ole::utTeacher) << u"4"_s << true << u"播放 - short.wav"_s << 240;
    QTest::newRow("nobody's sound") << int(Ole::utNone) << u"3"_s << true << u"播放"_s << 66;
}

void WhiteBoardOLETest::playbackWindowFollowsUserAndType()
{
    QFETCH(int, user);
    QFETCH(QString, type);
    QFETCH(bool, visible);
    QFETCH(QString, caption);
    QFETCH(int, height);
    WhiteBoardOLE *control = makeControl();
    control->setUserType(Ole::UserType(user));
    control->setFileSource(shortWav);
    control->setFileType(type);
    QVERIFY(control->Play_OLE());
    PlayForm *form = Player(control);
    QVERIFY(form);
    QCOMPARE(form->isVisible(), visible);
    QCOMPARE(form->windowTitle(), caption);
    QCOMPARE(form->controlBar()->isVisibleTo(form), user == Ole::utTeacher);
    QCOMPARE(form->height(), height);
    QCOMPARE(form->pos(), host->geometry().topLeft() + QPoint(10 + 120, 20 + 80));
    QCOMPARE(form->player()->source(), QUrl::fromLocalFile(shortWav));
    QVERIFY(form->videoWidget());

    // The next item closes the window of the previous one.
    QPointer<PlayForm> previous = form;
    control->setFileSource(picture);
    control->setFileType(u"1"_s);
    QVERIFY(control->Play_OLE());
    QTRY_VERIFY(previous.isNull());
    QVERIFY(!control->playForm());
}

void WhiteBoardOLETest::pauseIsReportedOnce()
{
    WhiteBoardOLE *control = makeControl();
    control->setUserType(Ole::utStudent);
    control->setFileSource(longWav);
    control->setFileType(u"3"_s);
    QSignalSpy states(control, &WhiteBoardOLE::GetPlayState);
    QVERIFY(control->Play_OLEAd(0));
    QTRY_VERIFY(states.count() >= 1);
    QCOMPARE(states.at(0).at(0).toString(), u"Playing"_s);
    QTRY_VERIFY(Player(control)->player()->position() >= 1200);

    // The player pauses by itself (the teacher's controls, a device): the
    // host hears of it once, however many ticks follow.
    Player(control)->player()->pause();
    QTRY_COMPARE(states.count(), 2);
    QCOMPARE(states.at(1).at(0).toString(), u"Paused"_s);
    QVERIFY(control->CurrPlayerPos() >= 1);
    QTest::qWait(400); // eight ticks
    QCOMPARE(states.count(), 2);
    QCOMPARE(control->PlayState(), u"Paused"_s);
}

void WhiteBoardOLETest::endOfFileReportsStoppedAndClosesTheWindow()
{
    WhiteBoardOLE *control = makeControl();
    control->setUserType(Ole::utStudent);
    control->setFileSource(shortWav);
    control->setFileType(u"3"_s);
    QSignalSpy states(control, &WhiteBoardOLE::GetPlayState);
    QVERIFY(control->Play_OLEAd(0));
    QPointer<PlayForm> form = Player(control);
    QVERIFY(form);
    QTRY_VERIFY_WITH_TIMEOUT(
        !states.isEmpty() && states.last().at(0).toString() == u"Stopped"_s, 10000);
    QVERIFY(form.isNull() || !form->isVisible());
    QTRY_VERIFY(form.isNull());
    QVERIFY(!control->playForm());
    QStringList seen;
    for (const auto &args : std::as_const(states))
        seen << args.at(0).toString();
    QCOMPARE(seen.count(u"Stopped"_s), 1);
    QTest::qWait(200);
    QCOMPARE(states.count(), seen.count()); // the timer stopped with it
}

void WhiteBoardOLETest::startPositionIsApplied_data()
{
    QTest::addColumn<int>("start");
    QTest::newRow("from the beginning") << 0;
    QTest::newRow("at 95 seconds") << 95;
}

void WhiteBoardOLETest::startPositionIsApplied()
{
    QFETCH(int, start);
    WhiteBoardOLE *control = makeControl();
    control->setUserType(Ole::utStudent);
    control->setFileSource(longWav);
    control->setFileType(u"3"_s);
    control->setCurrPlayerPos(start);
    QVERIFY(control->Play_OLEAd(0));
    QMediaPlayer *player = Player(control)->player();
    QTRY_VERIFY(
        player->playbackState() == QMediaPlayer::PlayingState && player->position() > start * 1000);
    QVERIFY2(player->position() < start * 1000 + 3000,
        QByteArray::number(player->position()).constData());
}

void WhiteBoardOLETest::stopAndPauseVerbsEndThePlayback_data()
{
    QTest::addColumn<int>("verb");
    QTest::newRow("stop") << 1;
    QTest::newRow("pause and close") << 2;
}

void WhiteBoardOLETest::stopAndPauseVerbsEndThePlayback()
{
    QFETCH(int, verb);
    WhiteBoardOLE *control = makeControl();
    control->setUserType(Ole::utStudent);
    control->setFileSource(longWav);
    control->setFileType(u"4"_s);
    QSignalSpy states(control, &WhiteBoardOLE::GetPlayState);
    QVERIFY(control->Play_OLEAd(0));
    QTRY_COMPARE(states.count(), 1);
    QVERIFY(control->Play_OLEAd(verb));
    QTRY_COMPARE(states.count(), 2);
    QCOMPARE(states.at(1).at(0).toString(), u"Stopped"_s);
    QTRY_VERIFY(!control->playForm());
}

void WhiteBoardOLETest::closingTheWindowReportsStopped()
{
    WhiteBoardOLE *control = makeControl();
    control->setUserType(Ole::utTeacher);
    control->setFileSource(longWav);
    control->setFileType(u"4"_s);
    QSignalSpy states(control, &WhiteBoardOLE::GetPlayState);
    QVERIFY(control->Play_OLEAd(0));
    QTRY_COMPARE(states.count(), 1);
    control->playForm()->close();
    QTRY_COMPARE(states.count(), 2);
    QCOMPARE(states.at(1).at(0).toString(), u"Stopped"_s);
    QTRY_VERIFY(!control->playForm());
}

QTEST_MAIN(WhiteBoardOLETest)
#include "whiteboardole_test.moc"
