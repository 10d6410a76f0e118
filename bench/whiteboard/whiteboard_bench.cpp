// Speed of the whiteboard layer with 32 767 signs on a 1920 x 1080 board.
// Every figure is printed as a ratio to the baseline measured in the same
// run: drawing one cached image of the whole board. The figures for
// scripts/bench.sh: how soon a full board shows and how long the user
// interface is held while it fills in, and removing an older sign of each
// kind until the screen shows it gone.
#include "bench/report/figures.h"
#include "controls/whiteboardsign/signcanvas.h"
#include "controls/whiteboardsign/signmodel.h"
#include "controls/whiteboardsign/signpainter.h"
#include "controls/whiteboardsign/whiteboardsign.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <ctime>
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
        // The board fills in over several turns of the event loop; it is
        // done when no paint has come for a while.
        int seen = -1;
        while (seen != counter.paints) {
            seen = counter.paints;
            QTest::qWait(400);
        }
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

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The first paint of a full board: what it shows at once, the tiles ready
// within the paint's budget.
void BM_FirstFrame_FullBoard(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        SignCanvas canvas(g_board->sign->model());
        canvas.setSize(kBoard);
        state.ResumeTiming();
        QPainter painter(&g_board->target);
        canvas.paint(painter, QRect(QPoint(), kBoard));
    }
}

// The rest of the board, slice by slice as the event loop runs them: the
// time is the whole fill; "slice ms" is the longest slice, the longest
// the user interface waits.
void BM_FillInSlices_FullBoard(benchmark::State &state)
{
    double longest = 0;
    for (auto _ : state) {
        SignCanvas canvas(g_board->sign->model());
        canvas.setSize(kBoard);
        {
            const double start = ThreadCpuMs();
            QPainter painter(&g_board->target);
            canvas.paint(painter, QRect(QPoint(), kBoard));
            longest = std::max(longest, ThreadCpuMs() - start);
        }
        while (!canvas.complete()) {
            const double start = ThreadCpuMs();
            canvas.renderPending();
            longest = std::max(longest, ThreadCpuMs() - start);
        }
    }
    state.counters["slice ms"] = longest;
}

// Every sign drawn at once: what each repaint would cost without the
// cached image, and what the first paint of a full board cost before it
// was drawn in tiles.
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

// Removing a sign that is not the newest (one of the kind given, with a
// line above it): the pieces along its ink are rendered again from the
// signs whose ink meets them (on this dense board, hundreds).
void BM_RemoveOlderSignUntilVisible_Widget(benchmark::State &state)
{
    const ShapeType shape = ShapeType(state.range(0));
    QRandomGenerator random(29);
    WhiteBoardSign &board = *g_board->sign;
    for (auto _ : state) {
        state.PauseTiming();
        ArmRandom(board, random, shape);
        board.AddNewSign();
        ArmRandom(board, random, shape == stLine ? stRectangle : stLine);
        board.AddNewSign();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        board.setShape(shape);
        state.ResumeTiming();
        board.ClearLastSign();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    }
}

// Removing the newest rectangle when 300 lines were drawn after it: it is
// part of the nearest board below the newest signs, which is mended along
// its ink from the deeper one and the few hundred signs between them.
void BM_RemoveDeepSignUntilVisible_Widget(benchmark::State &state)
{
    QRandomGenerator random(31);
    WhiteBoardSign &board = *g_board->sign;
    for (auto _ : state) {
        state.PauseTiming();
        ArmRandom(board, random, stRectangle);
        board.AddNewSign();
        for (int i = 0; i < 300; ++i) {
            ArmRandom(board, random, stLine);
            board.AddNewSign();
        }
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
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median")
                continue;
            const std::string name = run.run_name.args.empty()
                ? run.run_name.function_name
                : run.run_name.function_name + "/" + run.run_name.args;
            Median &median = medians[name];
            median.real = run.GetAdjustedRealTime() * NanosPer(run.time_unit);
            median.cpu = run.GetAdjustedCPUTime() * NanosPer(run.time_unit);
            for (const auto &[counter, value] : run.counters)
                median.counters[counter] = value.value;
        }
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
        std::map<std::string, double> counters;
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
    add("BM_FirstFrame_FullBoard", BM_FirstFrame_FullBoard)->Iterations(10);
    add("BM_FillInSlices_FullBoard", BM_FillInSlices_FullBoard)->Iterations(1)->Repetitions(3);
    add("BM_RenderAllSigns_NoCache", BM_RenderAllSigns_NoCache)->Iterations(1)->Repetitions(3);
    add("BM_PartialRepaint60x60_Widget", BM_PartialRepaint60x60_Widget);
    add("BM_AddSignUntilVisible_Widget", BM_AddSignUntilVisible_Widget)->Iterations(400);
    add("BM_AddAndRemoveSignUntilVisible_Widget", BM_AddAndRemoveSignUntilVisible_Widget)
        ->Iterations(400);
    add("BM_RemoveOlderSignUntilVisible_Widget", BM_RemoveOlderSignUntilVisible_Widget)
        ->Iterations(100)
        ->Arg(stRectangle)
        ->Arg(stOval)
        ->Arg(stRoundedRectangle)
        ->Arg(stLine)
        ->Arg(stText);
    add("BM_RemoveDeepSignUntilVisible_Widget", BM_RemoveDeepSignUntilVisible_Widget)
        ->Iterations(10);
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

    BenchFigures figures(QStringLiteral("whiteboard"));
    const auto cpuMs = [&](const std::string &name) {
        const auto it = reporter.medians.find(name);
        return it == reporter.medians.end() ? -1.0 : it->second.cpu / 1e6;
    };
    const double cachedMs = baseline->second.cpu / 1e6;
    const QString cachedName = QStringLiteral("one cached board image drawn");
    const double allAtOnceMs = cpuMs("BM_RenderAllSigns_NoCache");
    const QString allAtOnceName = QStringLiteral("every sign drawn at once");
    using Target = BenchFigures::Target;
    if (cpuMs("BM_FirstFrame_FullBoard") >= 0)
        figures.add(QStringLiteral("whiteboard/first frame of a 32 767-sign board"),
            QStringLiteral("median CPU ms"), cpuMs("BM_FirstFrame_FullBoard"), allAtOnceName,
            allAtOnceMs, Target::ValueAtMost, 100);
    const auto fill = reporter.medians.find("BM_FillInSlices_FullBoard");
    if (fill != reporter.medians.end()) {
        figures.add(QStringLiteral("whiteboard/longest wait while the board fills in"),
            QStringLiteral("median CPU ms"), fill->second.counters["slice ms"], allAtOnceName,
            allAtOnceMs, Target::ValueAtMost, 100);
        figures.add(QStringLiteral("whiteboard/whole board filled in, in slices"),
            QStringLiteral("median CPU ms"), fill->second.cpu / 1e6, allAtOnceName, allAtOnceMs);
    }
    const std::pair<int, const char *> kinds[] = {{stRectangle, "rectangle"}, {stOval, "oval"},
        {stRoundedRectangle, "rounded rectangle"}, {stLine, "line"}, {stText, "label"}};
    for (const auto &[shape, kind] : kinds) {
        const double ms = cpuMs("BM_RemoveOlderSignUntilVisible_Widget/" + std::to_string(shape));
        if (ms >= 0)
            figures.add(QStringLiteral("whiteboard/remove an older %1 until shown")
                            .arg(QLatin1String(kind)),
                QStringLiteral("median CPU ms"), ms, cachedName, cachedMs, Target::ValueAtMost, 16);
    }
    if (cpuMs("BM_RemoveDeepSignUntilVisible_Widget") >= 0)
        figures.add(QStringLiteral("whiteboard/remove a rectangle with 300 signs above it"),
            QStringLiteral("median CPU ms"), cpuMs("BM_RemoveDeepSignUntilVisible_Widget"),
            cachedName, cachedMs, Target::ValueAtMost, 16);
    if (cpuMs("BM_FullRepaint_Widget") >= 0)
        figures.add(QStringLiteral("whiteboard/full repaint of the shown board"),
            QStringLiteral("median CPU ms"), cpuMs("BM_FullRepaint_Widget"), cachedName, cachedMs);
    if (cpuMs("BM_AddSignUntilVisible_Widget") >= 0)
        figures.add(QStringLiteral("whiteboard/add a sign until shown"),
            QStringLiteral("median CPU ms"), cpuMs("BM_AddSignUntilVisible_Widget"), cachedName,
            cachedMs);
    return 0;
}
