// Web items under a real X display: the browser engine is loaded from its
// plugin on the first web item and shows pages of the course's temporary
// folder, and nothing else.
#include "common/apppaths.h"
#include "common/testsupport/testhome.h"
#include "controls/whiteboardole/picturearea.h"
#include "controls/whiteboardole/tests/testmedia.h"
#include "controls/whiteboardole/whiteboardole.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

// Dark text on a mostly white page (an empty or unpainted view is one colour).
bool ShowsTextOnWhite(const QImage &image)
{
    int dark = 0;
    int light = 0;
    int all = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2, ++all) {
            const int gray = qGray(image.pixel(x, y));
            dark += gray < 64;
            light += gray > 240;
        }
    }
    return dark > 0 && light > all / 2;
}

// Counts the platform window's surface being made and destroyed.
class SurfaceWatch : public QObject
{
public:
    int events = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::PlatformSurface)
            ++events;
        return false;
    }
};

} // namespace

class WhiteBoardOLEWebTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void webPageShowsInTheWebView();
    void pageCannotLeadOutOfTheFolder();
    void pictureHidesTheWebView();

private:
    QString writePage(const QString &name, const QByteArray &html);

    TestHome home;
    QWidget host;
    WhiteBoardOLE *control = nullptr;
};

QString WhiteBoardOLEWebTest::writePage(const QString &name, const QByteArray &html)
{
    QDir().mkpath(Global::TempFolder());
    const QString path = Global::TempFolder() + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size())
        return {};
    return path;
}

void WhiteBoardOLEWebTest::initTestCase()
{
    host.resize(800, 600);
    control = new WhiteBoardOLE(&host);
    control->setGeometry(0, 0, 640, 480);
    control->setAreaStartPosX(u"0"_s);
    control->setAreaStartPosY(u"0"_s);
    control->setAreaEndPosX(u"640"_s);
    control->setAreaEndPosY(u"480"_s);
    control->setUserType(Ole::utStudent);
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
}

void WhiteBoardOLEWebTest::webPageShowsInTheWebView()
{
    const QString page = writePage(u"lesson.html"_s,
        "<html><head><title>Lesson one</title></head><body><h1>Lesson</h1></body></html>");
    QVERIFY(!page.isEmpty());
    QVERIFY(!control->webView());
    // Once made ready (as a class is entered), the first web view must not
    // make the window over again (it went black and jumped): same native
    // window, no surface event, same place.
    // Qt's OpenGL widgets come with the preparation, not with the control.
    const auto openGlWidgetsLoaded = [] {
        QFile maps(u"/proc/self/maps"_s);
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6OpenGLWidgets");
    };
    QVERIFY(!openGlWidgetsLoaded());
    control->prepareForWeb();
    QVERIFY(openGlWidgetsLoaded());
    QVERIFY(control->findChild<QWidget *>(u"webReady"_s));
    QTest::qWait(300);
    const WId before = host.winId();
    const QPoint placed = host.pos();
    SurfaceWatch watch;
    host.windowHandle()->installEventFilter(&watch);
    control->setFileSource(page);
    control->setFileType(u"2"_s);
    QVERIFY2(control->Play_OLE(), home.errorLog().constData());
    QWidget *view = control->webView();
    QVERIFY(view);
    QTest::qWait(500);
    QCOMPARE(host.winId(), before);
    QCOMPARE(watch.events, 0);
    QCOMPARE(host.pos(), placed);
    QVERIFY(view);
    QVERIFY(view->inherits("QWebEngineView"));
    QVERIFY(view->isVisible());
    QCOMPARE(view->geometry(), QRect(0, 0, 640, 480));
    QVERIFY(!control->pictureArea()->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(view->property("title").toString(), u"Lesson one"_s, 20000);
    QCOMPARE(view->property("url").toUrl(), QUrl::fromLocalFile(page));
    // Rendered, not only loaded: the heading's dark text reaches the screen.
    QTRY_VERIFY_WITH_TIMEOUT(ShowsTextOnWhite(view->grab().toImage()), 10000);
}

void WhiteBoardOLEWebTest::pageCannotLeadOutOfTheFolder()
{
    const QString page = writePage(u"jump.html"_s,
        "<html><head><title>Jump</title></head><body>"
        "<script>setTimeout(function(){ location.href = 'file:///etc/hostname'; }, 10);</script>"
        "</body></html>");
    home.clearErrorLog();
    control->setFileSource(page);
    control->setFileType(u"2"_s);
    QVERIFY(control->Play_OLE());
    QTRY_VERIFY_WITH_TIMEOUT(
        home.errorLog().contains("refused address: file:///etc/hostname"), 20000);
    QCOMPARE(control->webView()->property("url").toUrl(), QUrl::fromLocalFile(page));
}

void WhiteBoardOLEWebTest::pictureHidesTheWebView()
{
    const QString picture = Global::TempFolder() + u"page.png"_s;
    QVERIFY(TestMedia::WritePicture(picture));
    control->setFileSource(picture);
    control->setFileType(u"1"_s);
    QVERIFY(control->Play_OLE());
    QVERIFY(!control->webView()->isVisible());
    QVERIFY(control->pictureArea()->isVisible());
}

int main(int argc, char **argv)
{
    // No Qt::AA_ShareOpenGLContexts here, as in the client: the control
    // provides what the browser engine needs when it loads it.
    QApplication app(argc, argv);
    WhiteBoardOLEWebTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "whiteboardole_web_test.moc"
