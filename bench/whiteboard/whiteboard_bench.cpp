// Speed of the whiteboard layer with 32 767 signs on a 1920 x 1080 board.
// Every figure is printed as a ratio to the baseline measured in the same
// run: drawing one cached image of the whole board.
#include "controls/whiteboardsign/signcanvas.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/signpainter.h"
#include "controls/whiteboardsign/whiteboardsign.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

using namespace Qt::StringLiterals;
using namespace WhiteBoard;

namespace {

constexpr QSize kBoard(1920, 1080);
constexpr int kSigns = 32767;
constexpr int kTwips = kTwipsPerPixel;

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Arms the layer with a random sign of `shape` somewhere on the board.
void ArmRandom(WhiteBoardSign &board, QRandomGenerator &random, ShapeType shape)
{
    static const quint32 colors[] = {0x0000FF, 0xFF0000, 0x00A651, 0x1D94F7, 0x000000, 0x8C00EC};
    const int x = random.bounded(0, kBoard.width() - 40);
    const int y = random.bounded(0, kBoard.height() - 40);
    const int w = random.bounded(8, 300);
    const int h = random.bounded(8, 200);
    board.setShape(shape);
    board.setColor(colors[random.bounded(0, 6)]);
    board.setLineWidth(qint16(random.bounded(1, 9)));
    board.setStartPosX(qint16(x * kTwips));
    board.setStartPosY(qint16(y * kTwips));
    board.setEndPosX(qint16(std::min(x + w, kBoard.width()) * kTwips));
    board.setEndPosY(qint16(std::min(y + h, kBoard.height()) * kTwips));
    if (shape == stText) {
        board.setText(u"标注 %1"_s.arg(random.bounded(0, 1000)));
        board.setFontSize(qint16(random.bounded(9, 24)));
    }
    board.setIfDraw(true);
}

// One board for the whole run: 16 000 outline shapes, 12 000 lines and
// 4 767 labels over a captured page, shown on the offscreen screen.
struct Board {
    QWidget window;
    WhiteBoardSign *sign = nullptr;
    PaintCounter counter;
    QImage cached;
    QImage target;

    Board()
    {
        window.resize(kBoard);
        sign = new WhiteBoardSign(&window);
        sign->setGeometry(QRect(QPoint(), kBoard));
        QRandomGenerator random(7);
        for (int i = 0; i < kSigns; ++i) {
            const ShapeType shape = i < 16000 ? ShapeType(random.bounded(0, 6))
                : i < 28000                   ? stLine
                                              : stText;
            ArmRandom(*sign, random, shape);
            sign->AddNewSign();
        }
        QPixmap page(kBoard);
        page.fill(QColor(250, 250, 240));
        sign->SetPicture(page);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "the board window was never exposed\n");
        sign->installEventFilter(&counter);
        sign->repaint();
        cached = window.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        target = QImage(kBoard, QImage::Format_ARGB32_Premultiplied);
    }
};

Board *g_board = nullptr;

void BM_Baseline_DrawCachedBoardImage(benchmark::State &state)
{
    for (auto _ : state) {
        QPainter painter(&g_board->target);
        painter.drawImage(0, 0, g_board->cached);
    }
}

void BM_FullRepaint_Widget(benchmark::State &state)
{
    for (auto _ : state)
        g_board->sign->repaint();
}

void BM_FullRepaint_SignsFromCache(benchmark::State &state)
{
    SignCanvas canvas(g_board->sign->model());
    canvas.setSize(kBoard);
    canvas.rebuild();
    for (auto _ : state) {
        QPainter painter(&g_board->target);
        canvas.paint(painter, QRect(QPoint(), kBoard));
    }
}

// Every sign drawn once: what each repaint would cost without the cached
// image, and what the first paint of a full board costs.
void BM_RenderAllSigns_NoCache(benchmark::State &state)
{
    SignCanvas canvas(g_board->sign->model());
    canvas.setSize(kBoard);
    for (auto _ : state)
        canvas.rebuild();
}

void BM_PartialRepaint60x60_Widget(benchmark::State &state)
{
    QRandomGenerator random(11);
    for (auto _ : state) {
        const QRect area(random.bounded(0, kBoard.width() - 60),
            random.bounded(0, kBoard.height() - 60), 60, 60);
        g_board->sign->repaint(area);
    }
}

// From the armed sign to its pixels on the screen: AddNewSign, then the
// pending update is painted (what the event loop does next).
void BM_AddSignUntilVisible_Widget(benchmark::State &state)
{
    QRandomGenerator random(13);
    WhiteBoardSign &board = *g_board->sign;
    const int before = g_board->counter.paints;
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ArmRandom(board, random, ShapeType(random.bounded(0, 6)));
        state.ResumeTiming();
        added += board.AddNewSign() ? 1 : 0;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
    if (g_board->counter.paints - before < added)
        state.SkipWithError("a sign was added without a repaint");
}

// Removing the newest sign re-renders only its area from the index.
void BM_AddAndRemoveSignUntilVisible_Widget(benchmark::State &state)
{
    QRandomGenerator random(17);
    WhiteBoardSign &board = *g_board->sign;
    for (auto _ : state) {
        state.PauseTiming();
        ArmRandom(board, random, stLine);
        state.ResumeTiming();
        board.AddNewSign();
        board.ClearLastSign();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
}

// Removing a sign that is not the newest: its area is rendered again from
// the signs the index finds there (on this dense board, a few thousand).
void BM_RemoveOlderSignUntilVisible_Widget(benchmark::State &state)
{
    QRandomGenerator random(29);
    WhiteBoardSign &board = *g_board->sign;
    for (auto _ : state) {
        state.PauseTiming();
        ArmRandom(board, random, stRectangle);
        board.AddNewSign();
        ArmRandom(board, random, stLine);
        board.AddNewSign();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        board.setShape(stRectangle);
        state.ResumeTiming();
        board.ClearLastSign();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
}

void BM_PointLookUp_RandomBoard(benchmark::State &state)
{
    const SignModel &model = g_board->sign->model();
    QRandomGenerator random(19);
    std::size_t found = 0;
    for (auto _ : state) {
        const QPoint point(random.bounded(0, kBoard.width() * kTwips),
            random.bounded(0, kBoard.height() * kTwips));
        found += model.signsAt(point).size();
    }
    benchmark::DoNotOptimize(found);
    state.counters["hits/lookup"] = double(found) / double(state.iterations());
}

// The worst case for the index: every sign passes through the same spot.
void BM_PointLookUp_AllSignsOnOneSpot(benchmark::State &state)
{
    SignModel model;
    QRandomGenerator random(23);
    const QPoint spot(14400, 8100);
    for (int i = 0; i < kSigns; ++i) {
        SignRequest request;
        const int dx = random.bounded(30, 3000);
        const int dy = random.bounded(30, 3000);
        if (i % 2 == 0) { // a line through the spot
            request.shape = stLine;
            request.start = spot - QPoint(dx, dy);
            request.end = spot + QPoint(dx, dy);
        } else { // a rectangle whose top edge runs through it
            request.shape = stRectangle;
            request.start = QPoint(spot.x() - dx, spot.y());
            request.end = QPoint(spot.x() + random.bounded(30, 3000), spot.y() + dy);
        }
        request.lineWidth = 1;
        model.add(request);
    }
    std::size_t found = 0;
    for (auto _ : state)
        found += model.signsAt(spot).size();
    benchmark::DoNotOptimize(found);
    state.counters["hits/lookup"] = double(found) / double(state.iterations());
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name]
                    = {run.GetAdjustedRealTime() * NanosPer(run.time_unit),
                        run.GetAdjustedCPUTime() * NanosPer(run.time_unit)};
    }

    static double NanosPer(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1.0;
        case benchmark::kMicrosecond: return 1e3;
        case benchmark::kMillisecond: return 1e6;
        case benchmark::kSecond: return 1e9;
        }
        return 1.0;
    }

    struct Median {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, Median> medians;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    auto board = std::make_unique<Board>();
    g_board = board.get();

    const auto add = [](const char *name, void (*function)(benchmark::State &)) {
        return benchmark::RegisterBenchmark(name, function)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->Unit(benchmark::kMicrosecond);
    };
    add("BM_Baseline_DrawCachedBoardImage", BM_Baseline_DrawCachedBoardImage);
    add("BM_FullRepaint_Widget", BM_FullRepaint_Widget);
    add("BM_FullRepaint_SignsFromCache", BM_FullRepaint_SignsFromCache);
    add("BM_RenderAllSigns_NoCache", BM_RenderAllSigns_NoCache)->Iterations(1)->Repetitions(3);
    add("BM_PartialRepaint60x60_Widget", BM_PartialRepaint60x60_Widget);
    add("BM_AddSignUntilVisible_Widget", BM_AddSignUntilVisible_Widget)->Iterations(400);
    add("BM_AddAndRemoveSignUntilVisible_Widget", BM_AddAndRemoveSignUntilVisible_Widget)
        ->Iterations(400);
    add("BM_RemoveOlderSignUntilVisible_Widget", BM_RemoveOlderSignUntilVisible_Widget)
        ->Iterations(200);
    add("BM_PointLookUp_RandomBoard", BM_PointLookUp_RandomBoard);
    add("BM_PointLookUp_AllSignsOnOneSpot", BM_PointLookUp_AllSignsOnOneSpot);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto baseline = reporter.medians.find("BM_Baseline_DrawCachedBoardImage");
    if (baseline == reporter.medians.end() || baseline->second.cpu <= 0)
        return 0;
    // The machine is shared, so wall time carries other programs' load;
    // the ratio is taken on CPU time, both medians are shown.
    std::printf("\nMedians of 5 runs against the baseline: one cached 1920x1080 board image "
                "drawn (CPU %.1f us, wall %.1f us)\n",
        baseline->second.cpu / 1e3, baseline->second.real / 1e3);
    std::printf("  %-44s %12s %12s %10s\n", "benchmark", "CPU us", "wall us", "CPU ratio");
    for (const auto &[name, median] : reporter.medians)
        std::printf("  %-44s %12.1f %12.1f %10.3f\n", name.c_str(), median.cpu / 1e3,
            median.real / 1e3, median.cpu / baseline->second.cpu);
    return 0;
}
