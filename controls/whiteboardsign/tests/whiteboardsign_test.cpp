#include "common/testsupport/testhome.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/whiteboardsign.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace WhiteBoard;

namespace {

constexpr QRgb kBlue = qRgb(0, 0, 255);

// A press, a drag with the left button held, and a release, in pixels.
void Drag(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

void MoveWithoutButton(QWidget *widget, QPoint to)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void Arm(WhiteBoardSign &board, ShapeType shape, quint32 color = 0xFF0000, qint16 width = 1)
{
    board.setShape(shape);
    board.setColor(color);
    board.setLineWidth(width);
    board.setIfDraw(true);
}

int CountPixels(const QImage &image, const QRect &area, QRgb color)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == color ? 1 : 0;
    return count;
}

QList<QVariant> EndPaint(qint16 shape, qint16 x1, qint16 y1, qint16 x2, qint16 y2, quint32 color,
    qint16 width, const QString &text, const QString &font, qint16 size)
{
    return {QVariant::fromValue(shape), QVariant::fromValue(x1), QVariant::fromValue(y1),
        QVariant::fromValue(x2), QVariant::fromValue(y2), QVariant::fromValue(color),
        QVariant::fromValue(width), QVariant(text), QVariant(font), QVariant::fromValue(size)};
}

} // namespace

class WhiteBoardSignTest : public QObject
{
    Q_OBJECT

private:
    TestHome m_home;
    std::unique_ptr<QWidget> m_window;
    WhiteBoardSign *m_board = nullptr;

    // What the board shows over a white page.
    QImage shown() const
    {
        return m_window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

private Q_SLOTS:
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 300);
        QPalette page;
        page.setColor(QPalette::Window, Qt::white);
        m_window->setPalette(page);
        m_window->setAutoFillBackground(true);
        m_board = new WhiteBoardSign(m_window.get());
        m_board->setGeometry(0, 0, 400, 300);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_home.clearErrorLog();
    }

    void cleanup() { m_window.reset(); }

    void remoteRectangleTakesSmallerCorner()
    {
        // The host's rectangle from (100, 100) to (40, 300).
        Arm(*m_board, stRectangle);
        m_board->setStartPosX(100);
        m_board->setStartPosY(100);
        m_board->setEndPosX(40);
        m_board->setEndPosY(300);
        QVERIFY(m_board->AddNewSign());
        QVERIFY(!m_board->IfDraw());
        const Sign *sign = m_board->model().element(ElementKind::Shape, 1);
        QVERIFY(sign);
        QCOMPARE(sign->box, QRect(40, 100, 60, 200));
        QVERIFY(!m_board->AddNewSign()); // disarmed: nothing more
        QCOMPARE(m_board->model().counter(ElementKind::Shape), 1);
    }

    // Zoomed (a larger board than its design size): the mouse gives design
    // twips, and the sign shows at the zoomed place, thicker by the zoom.
    void zoomedLayerKeepsDesignTwips()
    {
        m_board->setZoom(2.0);
        QSignalSpy ended(m_board, &WhiteBoardSign::OnEndPaint);
        Arm(*m_board, stRectangle, 0xFF0000, 1);
        Drag(m_board, QPoint(40, 60), QPoint(240, 200));
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.at(0).mid(1, 4),
            (QList<QVariant>{QVariant::fromValue(qint16(300)), QVariant::fromValue(qint16(450)),
                QVariant::fromValue(qint16(1800)), QVariant::fromValue(qint16(1500))}));
        // The one-pixel pen of the design size is two pixels wide here; the
        // outline covers design pixels 20-120 by 30-100, layer pixels
        // 40-241 by 60-201.
        QImage image;
        QTRY_VERIFY([&] {
            image = shown();
            return CountPixels(image, QRect(40, 60, 2, 142), kBlue) == 284;
        }());
        QCOMPARE(CountPixels(image, QRect(240, 60, 2, 142), kBlue), 284);
        QCOMPARE(CountPixels(image, QRect(40, 60, 202, 2), kBlue), 404);
        QCOMPARE(CountPixels(image, QRect(40, 200, 202, 2), kBlue), 404);
        QCOMPARE(CountPixels(image, QRect(42, 62, 198, 138), kBlue), 0);
        QCOMPARE(CountPixels(image, QRect(242, 0, 158, 300), kBlue), 0);

        // Back at zoom 1 the same sign shows at its design place.
        m_board->setZoom(1.0);
        QTRY_COMPARE(CountPixels(shown(), QRect(20, 30, 1, 71), kBlue), 71);
        QCOMPARE(CountPixels(shown(), QRect(120, 30, 1, 71), kBlue), 71);
        QCOMPARE(CountPixels(shown(), QRect(121, 0, 279, 300), kBlue), 0);
    }

    void draggedShapes_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QRect>("box");
        QTest::newRow("rectangle up-left") << int(stRectangle) << QPoint(60, 80) << QPoint(20, 30)
                                           << true << QRect(300, 450, 600, 750);
        QTest::newRow("oval") << int(stOval) << QPoint(10, 10) << QPoint(110, 60) << true
                              << QRect(150, 150, 1500, 750);
        QTest::newRow("rounded, no height")
            << int(stRoundedRectangle) << QPoint(10, 40) << QPoint(90, 40) << false << QRect();
        QTest::newRow("rectangle, no width")
            << int(stRectangle) << QPoint(50, 10) << QPoint(50, 90) << false << QRect();
        QTest::newRow("line, level")
            << int(stLine) << QPoint(10, 70) << QPoint(200, 70) << false << QRect();
        QTest::newRow("line") << int(stLine) << QPoint(10, 70) << QPoint(200, 20) << true
                              << QRect();
    }

    void draggedShapes()
    {
        QFETCH(int, shape);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(bool, kept);
        QFETCH(QRect, box);
        Arm(*m_board, ShapeType(shape), 0x00FF00, 3);
        QSignalSpy ended(m_board, &WhiteBoardSign::OnEndPaint);
        Drag(m_board, from, to);

        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.at(0),
            EndPaint(qint16(shape), qint16(from.x() * 15), qint16(from.y() * 15),
                qint16(to.x() * 15), qint16(to.y() * 15), 0x00FF00, 3, QString(), u"宋体"_s, 9));
        const ElementKind kind = ElementKindOf(shape);
        QCOMPARE(m_board->model().counter(kind), kept ? 1 : 0);
        if (kept && kind == ElementKind::Shape)
            QCOMPARE(m_board->model().element(kind, 1)->box, box);
        if (kept && kind == ElementKind::Line) {
            QCOMPARE(m_board->model().element(kind, 1)->from, from * 15);
            QCOMPARE(m_board->model().element(kind, 1)->to, to * 15);
        }
        QVERIFY(!m_board->IfDraw());
    }

    void rubberBandFollowsTheDragAndGoes()
    {
        Arm(*m_board, stRectangle, 0xFF0000, 1);
        QSignalSpy idle(m_board, &WhiteBoardSign::IDLE);
        QTest::mousePress(m_board, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QMouseEvent move(QEvent::MouseMove, QPointF(120, 90),
            m_board->mapToGlobal(QPointF(120, 90)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_board, &move);
        QCOMPARE(idle.size(), 1);
        QVERIFY(
            CountPixels(shown(), QRect(20, 20, 101, 1), kBlue) > 90); // top edge, blue on screen
        QCOMPARE(m_board->model().liveCount(), 0); // nothing added yet

        // The host disarms mid-drag: the band must not stay behind.
        m_board->setIfDraw(false);
        QCOMPARE(CountPixels(shown(), QRect(20, 20, 101, 1), kBlue), 0);
    }

    void releaseWithoutPressAddsNothing()
    {
        m_board->setStartPosX(150);
        m_board->setStartPosY(150);
        Arm(*m_board, stRectangle);
        QSignalSpy ended(m_board, &WhiteBoardSign::OnEndPaint);
        QTest::mouseRelease(m_board, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
        QCOMPARE(ended.size(), 0);
        QCOMPARE(m_board->model().liveCount(), 0);
        QVERIFY(m_board->IfDraw()); // still armed for a real drag
        QTest::mousePress(m_board, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
        QTest::mouseRelease(m_board, Qt::RightButton, Qt::NoModifier, QPoint(90, 90));
        QCOMPARE(ended.size(), 0); // only the left button draws
    }

    void textClickPlacesLabelAtThePoint()
    {
        m_board->setFontName(u"   "_s);
        QCOMPARE(m_board->FontName(), u"宋体"_s);
        m_board->setText(u"  ab "_s);
        QCOMPARE(m_board->Text(), u"ab"_s);
        m_board->setFontSize(12);
        m_board->setStartPosX(5);
        Arm(*m_board, stText, 0x0000FF);
        QSignalSpy ended(m_board, &WhiteBoardSign::OnEndPaint);
        QTest::mouseClick(m_board, Qt::LeftButton, Qt::NoModifier, QPoint(20, 30));
        QCOMPARE(ended.size(), 1); // the press finished it; the release adds nothing
        QCOMPARE(
            ended.at(0), EndPaint(stText, 300, 450, 300, 450, 0x0000FF, 1, u"ab"_s, u"宋体"_s, 12));
        const Sign *label = m_board->model().element(ElementKind::Label, 1);
        QVERIFY(label);
        QCOMPARE(label->box.topLeft(), QPoint(300, 450));
        QVERIFY(label->box.width() > 0);
        QVERIFY(CountPixels(shown(), QRect(18, 28, 40, 25), qRgb(255, 0, 0)) > 0); // red text
    }

    void textPreviewFollowsOnlyTextAndArrow_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<bool>("follows");
        QTest::newRow("text") << int(stText) << true;
        QTest::newRow("rectangle") << int(stRectangle) << false;
        QTest::newRow("line") << int(stLine) << false;
    }

    void textPreviewFollowsOnlyTextAndArrow()
    {
        QFETCH(int, shape);
        QFETCH(bool, follows);
        m_board->setText(u"WWW"_s);
        m_board->setFontSize(20);
        Arm(*m_board, ShapeType(shape), 0x000000);
        QSignalSpy idle(m_board, &WhiteBoardSign::IDLE);
        MoveWithoutButton(m_board, QPoint(200, 150));
        QCOMPARE(idle.size(), follows ? 1 : 0);
        QCOMPARE(m_board->EndPosX(), qint16(follows ? 3000 : 0));
        const int ink = CountPixels(shown(), QRect(200, 150, 80, 40), qRgb(0, 0, 0));
        QCOMPARE(ink > 0, follows);
        QCOMPARE(m_board->model().liveCount(), 0);
    }

    void arrowFollowsPointerAndClickHidesIt()
    {
        Arm(*m_board, stArrow);
        QSignalSpy moved(m_board, &WhiteBoardSign::OnArrowMove);
        QSignalSpy ended(m_board, &WhiteBoardSign::OnEndPaint);
        MoveWithoutButton(m_board, QPoint(100, 80));
        QCOMPARE(moved.size(), 1);
        QCOMPARE(moved.at(0),
            (QList<QVariant>{
                QVariant::fromValue(qint16(1500)), QVariant::fromValue(qint16(1200))}));
        QVERIFY(m_board->model().arrowVisible());
        QCOMPARE(m_board->model().arrowCentre(), QPoint(1500, 1200));

        QTest::mouseClick(m_board, Qt::LeftButton, Qt::NoModifier, QPoint(150, 90));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.at(0),
            EndPaint(stArrow, 2250, 1350, 2250, 1350, 0xFF0000, 1, QString(), u"宋体"_s, 9));
        QVERIFY(!m_board->model().arrowVisible());
        QCOMPARE(m_board->model().arrowCentre(), QPoint(2250, 1350));

        // A peer's pointer: shown by MoveArrow, hidden by ClearLastSign.
        m_board->setEndPosX(600);
        m_board->setEndPosY(600);
        m_board->MoveArrow();
        QVERIFY(m_board->model().arrowVisible());
        QVERIFY(CountPixels(shown(), QRect(40, 40, 20, 20), qRgb(220, 30, 30)) > 10);
        QVERIFY(m_board->ClearLastSign());
        QVERIFY(!m_board->model().arrowVisible());
        QCOMPARE(CountPixels(shown(), QRect(40, 40, 20, 20), qRgb(220, 30, 30)), 0);
    }

    void clearLastSignRemovesOneAndKeepsNeighbours()
    {
        // A blue frame crossed by a later red rectangle; removing the red
        // one must leave the blue edge whole where they overlapped.
        Arm(*m_board, stRectangle, 0xFF0000);
        Drag(m_board, QPoint(10, 10), QPoint(110, 110));
        Arm(*m_board, stRectangle, 0xFF0000);
        Drag(m_board, QPoint(60, 60), QPoint(160, 160));
        Arm(*m_board, stLine, 0xFF0000);
        Drag(m_board, QPoint(200, 10), QPoint(300, 100));
        // Colour values are red in the low byte: 0xFF0000 is blue.
        QCOMPARE(CountPixels(shown(), QRect(10, 10, 101, 1), kBlue), 101);

        m_board->setShape(stSquare);
        QVERIFY(m_board->ClearLastSign());
        QVERIFY(!m_board->ClearLastSign()); // already gone: nothing happens
        QCOMPARE(m_board->model().counter(ElementKind::Shape), 2);
        QVERIFY(m_board->model().element(ElementKind::Shape, 1));
        QVERIFY(!m_board->model().element(ElementKind::Shape, 2));
        QVERIFY(m_board->model().element(ElementKind::Line, 1));
        const QImage image = shown();
        QCOMPARE(CountPixels(image, QRect(60, 160, 101, 1), kBlue), 0); // removed bottom edge
        QCOMPARE(CountPixels(image, QRect(110, 10, 1, 101), kBlue), 101); // kept right edge
        QCOMPARE(CountPixels(image, QRect(10, 110, 101, 1), kBlue), 101); // kept bottom edge
        QVERIFY(m_home.errorLog().isEmpty());
    }

    void removingTheNewestSignRestoresWhatWasBelow()
    {
        // Newest of all: the pixels under it come back as they were.
        Arm(*m_board, stRectangle, 0xFF0000);
        Drag(m_board, QPoint(10, 10), QPoint(110, 110));
        Arm(*m_board, stLine, 0x00FF00, 3);
        Drag(m_board, QPoint(0, 0), QPoint(150, 120));
        m_board->setShape(stLine);
        QVERIFY(m_board->ClearLastSign());
        QImage image = shown();
        QCOMPARE(CountPixels(image, QRect(10, 10, 101, 1), kBlue), 101);
        QCOMPARE(CountPixels(image, m_board->rect(), qRgb(0, 255, 0)), 0);

        // An older sign removed first changes pixels under the newest one;
        // removing the newest afterwards must not bring the older one back.
        Arm(*m_board, stLine, 0x00FF00, 3);
        Drag(m_board, QPoint(150, 150), QPoint(300, 280));
        Arm(*m_board, stOval, 0x0000FF, 2);
        Drag(m_board, QPoint(180, 140), QPoint(280, 290));
        m_board->setShape(stLine);
        QVERIFY(m_board->ClearLastSign());
        m_board->setShape(stOval);
        QVERIFY(m_board->ClearLastSign());
        image = shown();
        QCOMPARE(CountPixels(image, m_board->rect(), qRgb(0, 255, 0)), 0);
        QCOMPARE(CountPixels(image, m_board->rect(), qRgb(255, 0, 0)), 0);
        QCOMPARE(CountPixels(image, QRect(10, 10, 101, 1), kBlue), 101);
    }

    void growingBoardShowsSignsBeyondTheOldEdge()
    {
        Arm(*m_board, stRectangle, 0xFF0000);
        Drag(m_board, QPoint(20, 20), QPoint(60, 60));
        Arm(*m_board, stRectangle, 0xFF0000);
        m_board->setStartPosX(350 * 15);
        m_board->setStartPosY(250 * 15);
        m_board->setEndPosX(500 * 15);
        m_board->setEndPosY(400 * 15);
        QVERIFY(m_board->AddNewSign());
        QCOMPARE(CountPixels(shown(), QRect(350, 250, 50, 1), kBlue), 50);

        m_window->resize(600, 500);
        m_board->resize(600, 500);
        const QImage image = shown();
        QCOMPARE(CountPixels(image, QRect(350, 250, 151, 1), kBlue), 151); // top edge, whole
        QCOMPARE(CountPixels(image, QRect(500, 250, 1, 151), kBlue), 151); // right edge, new
        QCOMPARE(CountPixels(image, QRect(20, 20, 41, 1), kBlue), 41); // kept from before
    }

    void clearSignStartsEveryKindAgain()
    {
        Arm(*m_board, stOval);
        Drag(m_board, QPoint(10, 10), QPoint(50, 50));
        Arm(*m_board, stLine);
        Drag(m_board, QPoint(10, 10), QPoint(50, 50));
        m_board->setText(u"x"_s);
        Arm(*m_board, stText);
        QTest::mouseClick(m_board, Qt::LeftButton, Qt::NoModifier, QPoint(70, 70));
        QPixmap page(400, 300);
        page.fill(Qt::yellow);
        m_board->SetPicture(page);
        QVERIFY(!m_board->bIsTransparent());
        QCOMPARE(shown().pixel(300, 250), qRgb(255, 255, 0));

        QSignalSpy cleaned(m_board, &WhiteBoardSign::OnClean);
        QVERIFY(m_board->ClearSign());
        QCOMPARE(cleaned.size(), 0); // only ClearSignEvent raises it
        QVERIFY(m_board->bIsTransparent());
        QCOMPARE(m_board->model().liveCount(), 0);
        for (const ElementKind kind : {ElementKind::Shape, ElementKind::Line, ElementKind::Label})
            QCOMPARE(m_board->model().counter(kind), 0);
        QCOMPARE(CountPixels(shown(), m_board->rect(), qRgb(255, 255, 255)), 400 * 300);

        Arm(*m_board, stCircle);
        Drag(m_board, QPoint(10, 10), QPoint(50, 80));
        QCOMPARE(m_board->model().element(ElementKind::Shape, 1)->shape, stCircle);
        m_board->ClearSignEvent();
        QCOMPARE(cleaned.size(), 1);
        QCOMPARE(m_board->model().liveCount(), 1);

        // A capture at twice the density covers the same area.
        QPixmap dense(800, 600);
        dense.fill(Qt::green);
        {
            QPainter painter(&dense);
            painter.fillRect(QRect(400, 0, 400, 600), Qt::yellow);
        }
        dense.setDevicePixelRatio(2.0);
        m_board->SetPicture(dense);
        const QImage halves = shown();
        QCOMPARE(CountPixels(halves, QRect(100, 100, 99, 199), qRgb(0, 255, 0)), 99 * 199);
        QCOMPARE(CountPixels(halves, QRect(200, 0, 200, 300), qRgb(255, 255, 0)), 200 * 300);

        m_board->SetPicture(QPixmap()); // a failed capture leaves the board visible
        QVERIFY(m_board->bIsTransparent());
    }

    void kindRefusedBeyondItsCounterIsLogged()
    {
        for (int i = 0; i < SignModel::kMaxPerKind; ++i) {
            Arm(*m_board, stLine);
            m_board->setStartPosX(qint16(i % 5000));
            m_board->setStartPosY(0);
            m_board->setEndPosX(qint16(i % 5000 + 30));
            m_board->setEndPosY(30);
            QVERIFY(m_board->AddNewSign());
        }
        QVERIFY(m_home.errorLog().isEmpty());
        Arm(*m_board, stLine);
        QVERIFY(!m_board->AddNewSign());
        QVERIFY(!m_board->IfDraw());
        QCOMPARE(m_board->model().counter(ElementKind::Line), SignModel::kMaxPerKind);
        const QByteArray log = m_home.errorLog();
        QVERIFY(log.startsWith("WhiteBoardSign\r\nAddNewSign\r\n"));
        QVERIFY(log.contains("\r\nLine: "));
        QVERIFY(!log.contains("\r\nLine: 0\r\n"));

        // Another kind still draws; after ClearSign lines do too.
        Arm(*m_board, stRectangle);
        QVERIFY(m_board->AddNewSign());
        m_board->ClearSign();
        Arm(*m_board, stLine);
        QVERIFY(m_board->AddNewSign());
        QCOMPARE(m_board->model().counter(ElementKind::Line), 1);
    }

    void pointerFarOutsideIsHeldAtTheEdge()
    {
        m_board->setHandlesOwnMouse(false);
        QVERIFY(m_board->testAttribute(Qt::WA_TransparentForMouseEvents));
        Arm(*m_board, stRectangle);
        m_board->OnMouseDown(1, 0, 100.4f, 100.6f);
        QCOMPARE(m_board->StartPosX(), qint16(100));
        QCOMPARE(m_board->StartPosY(), qint16(101));
        m_board->OnMouseMove(1, 0, 90000.0f, -90000.0f);
        QCOMPARE(m_board->EndPosX(), qint16(32767));
        QCOMPARE(m_board->EndPosY(), qint16(-32768));
        m_board->OnMouseUp(1, 0, 40.0f, 300.0f);
        QCOMPARE(m_board->model().element(ElementKind::Shape, 1)->box, QRect(40, 101, 60, 199));
    }

    void screenshotOfATypicalBoard()
    {
        m_window->resize(640, 400);
        m_board->resize(640, 400);
        QPixmap page(640, 400);
        page.fill(QColor(250, 250, 240));
        {
            QPainter painter(&page);
            painter.setPen(QColor(120, 120, 120));
            painter.setFont(QFont(u"Sans"_s, 18));
            painter.drawText(QRect(20, 10, 600, 40), u"第三课  Lesson 3: Shapes"_s);
        }
        m_board->SetPicture(page);
        const struct {
            ShapeType shape;
            QPoint from, to;
            quint32 color;
            qint16 width;
        } marks[] = {{stRectangle, {30, 70}, {200, 170}, 0x0000FF, 2},
            {stSquare, {230, 70}, {380, 170}, 0x51A600, 3},
            {stOval, {400, 70}, {610, 170}, 0xEFAE00, 2},
            {stCircle, {30, 200}, {200, 360}, 0x8C00EC, 4},
            {stRoundedRectangle, {230, 200}, {380, 300}, 0x1D94F7, 2},
            {stRoundedSquare, {400, 200}, {520, 360}, 0x000000, 1},
            {stLine, {230, 330}, {380, 380}, 0x0000FF, 5}};
        for (const auto &mark : marks) {
            Arm(*m_board, mark.shape, mark.color, mark.width);
            Drag(m_board, mark.from, mark.to);
        }
        m_board->setText(u"注意 Note!"_s);
        m_board->setFontSize(14);
        Arm(*m_board, stText, 0x0000C0);
        QTest::mouseClick(m_board, Qt::LeftButton, Qt::NoModifier, QPoint(540, 300));
        m_board->setEndPosX(560 * 15);
        m_board->setEndPosY(360 * 15);
        m_board->MoveArrow();
        Arm(*m_board, stOval, 0x808080, 1);
        QTest::mousePress(m_board, Qt::LeftButton, Qt::NoModifier, QPoint(250, 310));
        QMouseEvent move(QEvent::MouseMove, QPointF(300, 390),
            m_board->mapToGlobal(QPointF(300, 390)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_board, &move);

        const QImage image = shown();
        QString folder = qEnvironmentVariable("LUMO_SCREENSHOT_DIR");
        if (folder.isEmpty())
            folder = QDir::tempPath() + u"/lumo-screenshots"_s;
        QDir().mkpath(folder);
        QVERIFY(image.save(folder + u"/whiteboardsign.png"_s));
        QVERIFY(CountPixels(image, QRect(30, 70, 171, 2), qRgb(255, 0, 0)) > 150);
    }
};

QTEST_MAIN(WhiteBoardSignTest)
#include "whiteboardsign_test.moc"
