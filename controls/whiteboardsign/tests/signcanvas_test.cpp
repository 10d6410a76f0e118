#include "controls/whiteboardsign/signcanvas.h"
#include "controls/whiteboardsign/signgeometry.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/signpainter.h"
#include "controls/whiteboardsign/whiteboardsign.h"

#include <QApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace WhiteBoard;

namespace {

constexpr QSize kBoard(640, 400);

// A crowded board of every kind, so that removals and tiles cut through
// many overlapping signs.
void FillRandom(
    SignModel &model, int count, quint32 seed, ShapeType from = stRectangle, ShapeType to = stArrow)
{
    QRandomGenerator random(seed);
    for (int i = 0; i < count; ++i) {
        SignRequest request;
        request.shape = ShapeType(random.bounded(int(from), int(to) + 1));
        const int x = random.bounded(-20, kBoard.width()) * kTwipsPerPixel;
        const int y = random.bounded(-20, kBoard.height()) * kTwipsPerPixel;
        request.start = QPoint(x, y);
        request.end = QPoint(x + random.bounded(1, 260) * kTwipsPerPixel + random.bounded(0, 15),
            y + random.bounded(1, 180) * kTwipsPerPixel + random.bounded(0, 15));
        request.color = random.generate() & 0xFFFFFF;
        request.lineWidth = qint16(random.bounded(0, 9));
        if (request.shape == stText) {
            request.text = u"标注 %1"_s.arg(i);
            request.fontName = u"DejaVu Sans"_s;
            request.fontSize = qint16(random.bounded(8, 20));
            request.labelSize = LabelSizeTwips(request.text, LabelFont(u"DejaVu Sans"_s, 12));
        }
        model.add(request);
    }
}

QImage Rendered(const SignModel &model, qreal ratio)
{
    SignCanvas canvas(model);
    canvas.setSize(kBoard);
    canvas.setDevicePixelRatio(ratio);
    canvas.rebuild();
    return canvas.image();
}

// The first pixel where two images differ, for the failure message.
QString FirstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return u"sizes differ"_s;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return u"(%1, %2): %3 against %4"_s.arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16)
                    .arg(b.pixel(x, y), 8, 16);
    return {};
}

// How many pixels of one row step between clear and full ink: a crisp
// edge has few, a blurred or magnified one more.
int PartialPixels(const QImage &image, int row)
{
    int partial = 0;
    for (int x = 0; x < image.width(); ++x) {
        const int alpha = qAlpha(image.pixel(x, row));
        partial += alpha > 0 && alpha < 255 ? 1 : 0;
    }
    return partial;
}

} // namespace

class SignCanvasTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void removingAnySignMatchesAFreshRender_data();
    void removingAnySignMatchesAFreshRender();
    void removingASignDeepUnderOthersMatchesAFreshRender_data();
    void removingASignDeepUnderOthersMatchesAFreshRender();
    void fillingInSlicesMatchesOneRender();
    void signsDrawnAtTwiceTheDensityAreAsSharpAsQtsOwn();
    void widgetShowsEverySignOnceFilled();
};

void SignCanvasTest::removingAnySignMatchesAFreshRender_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("1x") << 1.0;
    QTest::newRow("1.5x") << 1.5;
    QTest::newRow("2x") << 2.0;
}

// A removal repaints only pieces along the sign's ink, from the signs whose
// ink meets them; the result must be what rendering the rest gives.
void SignCanvasTest::removingAnySignMatchesAFreshRender()
{
    QFETCH(qreal, ratio);
    SignModel model;
    FillRandom(model, 400, 5);
    SignCanvas canvas(model);
    canvas.setSize(kBoard);
    canvas.setDevicePixelRatio(ratio);
    canvas.rebuild();
    QRandomGenerator random(9);
    // More signs than the board below leaves out, so that it moves up.
    for (int i = 0; i < 3 * SignCanvas::kLag; ++i) {
        SignRequest request;
        request.shape = ShapeType(i % 6);
        request.start = QPoint(random.bounded(0, 9000), random.bounded(0, 5000));
        request.end = request.start + QPoint(random.bounded(15, 3000), random.bounded(15, 3000));
        request.lineWidth = qint16(i % 7);
        canvas.signAdded(model.add(request).id);
    }
    const ShapeType kinds[] = {stRectangle, stOval, stRoundedSquare, stLine, stText};
    for (int round = 0; round < 40; ++round) {
        // The newest of a kind, with newer signs of other kinds above it.
        const ShapeType kind = kinds[round % 5];
        const RemoveResult removed = model.removeLast(kind);
        if (removed.id < 0)
            continue;
        canvas.signRemoved(removed.id, removed.dirty);
        // One of the kind with a line above it: the next removal of the
        // kind takes an older sign again.
        SignRequest request;
        request.shape = stLine;
        request.start = QPoint(random.bounded(0, 9000), random.bounded(0, 5000));
        request.end = request.start + QPoint(random.bounded(1, 2000), random.bounded(1, 2000));
        request.lineWidth = 3;
        canvas.signAdded(model.add(request).id);
        SignRequest same = request;
        same.shape = kind;
        if (kind == stText) {
            same.text = u"x"_s;
            same.labelSize = QSize(300, 300);
        }
        canvas.signAdded(model.add(same).id);
        canvas.signAdded(model.add(request).id);
    }
    const QImage expected = Rendered(model, ratio);
    QCOMPARE(canvas.image().size(), expected.size());
    QVERIFY2(canvas.image() == expected, qPrintable(FirstDifference(canvas.image(), expected)));
}

void SignCanvasTest::removingASignDeepUnderOthersMatchesAFreshRender_data()
{
    QTest::addColumn<int>("above");
    QTest::addColumn<qreal>("ratio");
    // Under the nearest board below, between the two, under both.
    QTest::newRow("few above") << 5 << 1.0;
    QTest::newRow("between the boards below") << SignCanvas::kLag + 60 << 1.5;
    QTest::newRow("under every board below") << SignCanvas::kDeepLag + 60 << 1.0;
}

// The newest rectangle under many lines: it is in one or both boards
// below the newest signs, and each must be mended, or a later removal
// brings the rectangle back from them.
void SignCanvasTest::removingASignDeepUnderOthersMatchesAFreshRender()
{
    QFETCH(int, above);
    QFETCH(qreal, ratio);
    SignModel model;
    FillRandom(model, 300, 41);
    SignCanvas canvas(model);
    canvas.setSize(kBoard);
    canvas.setDevicePixelRatio(ratio);
    canvas.rebuild();
    QRandomGenerator random(43);
    const auto addLines = [&](int count) {
        for (int i = 0; i < count; ++i) {
            SignRequest line;
            line.shape = stLine;
            line.start = QPoint(random.bounded(0, 9000), random.bounded(0, 5500));
            line.end = line.start + QPoint(random.bounded(15, 2500), random.bounded(15, 2500));
            line.color = random.generate() & 0xFFFFFF;
            line.lineWidth = qint16(random.bounded(1, 6));
            canvas.signAdded(model.add(line).id);
        }
    };
    // Both boards below move up past the first signs.
    addLines(SignCanvas::kDeepLag + SignCanvas::kLag);
    for (int round = 0; round < 2; ++round) {
        SignRequest box;
        box.shape = stRectangle;
        box.start = QPoint(1500 + round * 600, 1200);
        box.end = QPoint(7000, 5000 - round * 600);
        box.color = 0x00A651;
        box.lineWidth = 5;
        canvas.signAdded(model.add(box).id);
        addLines(above);
        const RemoveResult removed = model.removeLast(stRectangle);
        QVERIFY(removed.id >= 0);
        canvas.signRemoved(removed.id, removed.dirty);
        QVERIFY2(canvas.image() == Rendered(model, ratio),
            qPrintable(FirstDifference(canvas.image(), Rendered(model, ratio))));
    }
    // An old label leaves every board below, mended over what the rectangles left.
    addLines(SignCanvas::kDeepLag);
    const RemoveResult label = model.removeLast(stText);
    QVERIFY(label.id >= 0 && label.id < 300);
    canvas.signRemoved(label.id, label.dirty);
    const QImage expected = Rendered(model, ratio);
    QVERIFY2(canvas.image() == expected, qPrintable(FirstDifference(canvas.image(), expected)));
}

// A paint with no time shows nothing of the signs; slices then render the
// rest in drawing order, while the board grows and signs come and go. The end result is
// the same image as one render of the whole board.
void SignCanvasTest::fillingInSlicesMatchesOneRender()
{
    SignModel model;
    // Outline shapes first, so that the newest of them is drawn early.
    FillRandom(model, 100, 21, stRectangle, stRoundedSquare);
    FillRandom(model, 500, 22, stLine, stText);
    SignCanvas canvas(model);
    canvas.setSize(QSize(500, 300));
    QImage target(kBoard, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        QVERIFY(!canvas.paint(painter, QRect(QPoint(), kBoard), 0));
    }
    QVERIFY(!canvas.complete());
    QCOMPARE(target.pixel(100, 100), qRgb(255, 255, 255));
    int slices = 0;
    QRegion shown;
    while (!canvas.complete() && slices < 10000) {
        shown += canvas.renderPending(0); // one tile a slice
        ++slices;
        if (slices == 3)
            canvas.setSize(kBoard); // the board grows mid-fill
        if (slices == 5) {
            SignRequest late;
            late.shape = stLine;
            late.start = QPoint(100, 100);
            late.end = QPoint(9000, 5000);
            late.lineWidth = 4;
            canvas.signAdded(model.add(late).id);
        }
        // Removals mid-fill: signs still to come, then a sign already
        // drawn (whose area must not get signs the fill has yet to draw).
        const auto remove = [&](ShapeType kind) {
            const RemoveResult removed = model.removeLast(kind);
            QVERIFY(removed.id >= 0);
            canvas.signRemoved(removed.id, removed.dirty);
        };
        if (slices == 10) {
            remove(stLine);
            remove(stText);
        }
        if (slices == 30)
            remove(stOval);
    }
    QVERIFY(canvas.complete());
    QVERIFY(slices > 4);
    QVERIFY(shown.contains(QRect(QPoint(), QSize(500, 300))));
    const QImage expected = Rendered(model, 1.0);
    QVERIFY2(canvas.image() == expected, qPrintable(FirstDifference(canvas.image(), expected)));
}

// At twice the density a diagonal line is drawn at that density, not
// magnified from one drawn at one: its edge is as narrow as Qt's own line
// drawn on a 2x image, and half as wide as the magnified one.
void SignCanvasTest::signsDrawnAtTwiceTheDensityAreAsSharpAsQtsOwn()
{
    SignModel model;
    SignRequest request;
    request.shape = stLine;
    request.start = QPoint(10 * kTwipsPerPixel, 10 * kTwipsPerPixel);
    request.end = QPoint(300 * kTwipsPerPixel, 97 * kTwipsPerPixel);
    request.lineWidth = 2;
    request.color = 0x0000FF;
    model.add(request);
    const QImage crisp = Rendered(model, 2.0);
    QCOMPARE(crisp.size(), kBoard * 2);

    QImage reference(kBoard * 2, QImage::Format_ARGB32_Premultiplied);
    reference.fill(Qt::transparent);
    reference.setDevicePixelRatio(2.0);
    {
        QPainter painter(&reference);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(10, 10), QPointF(300, 97));
    }
    QImage magnified = Rendered(model, 1.0).scaled(kBoard * 2);

    int crispEdge = 0;
    int referenceEdge = 0;
    int magnifiedEdge = 0;
    for (int row = 60; row < 180; row += 10) {
        crispEdge += PartialPixels(crisp, row);
        referenceEdge += PartialPixels(reference, row);
        magnifiedEdge += PartialPixels(magnified, row);
    }
    QVERIFY2(referenceEdge > 0, "the reference line has no antialiased edge");
    QVERIFY2(std::abs(crispEdge - referenceEdge) <= referenceEdge / 10 + 2,
        qPrintable(u"edge pixels: %1 drawn, %2 Qt's own"_s.arg(crispEdge).arg(referenceEdge)));
    QVERIFY2(magnifiedEdge > crispEdge * 3 / 2,
        qPrintable(u"edge pixels: %1 drawn, %2 magnified"_s.arg(crispEdge).arg(magnifiedEdge)));

    // The pointer picture follows the density too.
    const QImage arrow = ArrowPicture(2.0);
    QCOMPARE(arrow.size(), ArrowPicture().size() * 2);
    QCOMPARE(arrow.devicePixelRatio(), 2.0);
}

// Whether the widget shows every sign of its model over its white picture.
static bool ShowsEverySign(WhiteBoardSign &board)
{
    const QImage shown = board.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage signs = Rendered(board.model(), board.devicePixelRatioF());
    QImage expected(signs.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(0, 0, signs);
    return shown.size() == expected.size() && shown == expected;
}

// A board too large for one paint shows what is ready and fills in through
// the event loop; in the end the screen holds every sign.
void SignCanvasTest::widgetShowsEverySignOnceFilled()
{
    WhiteBoardSign board;
    board.resize(kBoard);
    QRandomGenerator random(3);
    for (int i = 0; i < 3000; ++i) {
        const int x = random.bounded(0, kBoard.width() - 100) * kTwipsPerPixel;
        const int y = random.bounded(0, kBoard.height() - 100) * kTwipsPerPixel;
        board.setShape(ShapeType(random.bounded(0, 7)));
        board.setLineWidth(qint16(random.bounded(1, 6)));
        board.setColor(random.generate() & 0xFFFFFF);
        board.setStartPosX(qint16(x));
        board.setStartPosY(qint16(y));
        board.setEndPosX(qint16(x + random.bounded(15, 1500)));
        board.setEndPosY(qint16(y + random.bounded(15, 1500)));
        board.setIfDraw(true);
        board.AddNewSign();
    }
    QPixmap page(kBoard);
    page.fill(Qt::white);
    board.SetPicture(page);
    board.show();
    QVERIFY(QTest::qWaitForWindowExposed(&board));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsEverySign(board), 20000);
}

QTEST_MAIN(SignCanvasTest)
#include "signcanvas_test.moc"
