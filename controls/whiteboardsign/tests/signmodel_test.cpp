#include "controls/whiteboardsign/signgeometry.h"
#include "controls/whiteboardsign/signmodel.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <algorithm>
#include <ostream>
#include <string>

using namespace WhiteBoard;

namespace {

SignRequest Request(ShapeType shape, QPoint start, QPoint end, qint16 width = 1)
{
    SignRequest request;
    request.shape = shape;
    request.start = start;
    request.end = end;
    request.lineWidth = width;
    request.color = 0x0000FF;
    return request;
}

} // namespace

TEST(SignModel, DraggedRectangleTakesSmallerCornerAndExtent)
{
    SignModel model;
    const AddResult result = model.add(Request(stRectangle, {100, 100}, {40, 300}));
    ASSERT_EQ(result.outcome, AddOutcome::Added);
    const Sign *sign = model.element(ElementKind::Shape, 1);
    ASSERT_NE(sign, nullptr);
    EXPECT_EQ(sign->box, QRect(40, 100, 60, 200));
    EXPECT_TRUE(result.dirty.contains(sign->box));
}

struct DegenerateRow {
    const char *name;
    ShapeType shape;
    QPoint start;
    QPoint end;
};

void PrintTo(const DegenerateRow &row, std::ostream *out)
{
    *out << row.name;
}

template <typename Row> std::string RowName(const ::testing::TestParamInfo<Row> &info)
{
    return info.param.name;
}

class DegenerateSigns : public ::testing::TestWithParam<DegenerateRow>
{
};

TEST_P(DegenerateSigns, AreDroppedWithoutCounting)
{
    const DegenerateRow row = GetParam();
    SignModel model;
    EXPECT_EQ(model.add(Request(row.shape, row.start, row.end)).outcome, AddOutcome::Degenerate);
    EXPECT_EQ(model.counter(ElementKindOf(row.shape)), 0);
    EXPECT_EQ(model.liveCount(), 0);
    EXPECT_TRUE(model.signsAt(row.start).empty());
}

INSTANTIATE_TEST_SUITE_P(SignModel, DegenerateSigns,
    ::testing::Values(DegenerateRow{"RectangleNoWidth", stRectangle, {10, 10}, {10, 500}},
        DegenerateRow{"SquareNoHeight", stSquare, {10, 10}, {500, 10}},
        DegenerateRow{"OvalNoMove", stOval, {7, 7}, {7, 7}},
        DegenerateRow{"CircleNoWidth", stCircle, {0, 300}, {0, 900}},
        DegenerateRow{"RoundedNoHeight", stRoundedRectangle, {-50, 20}, {60, 20}},
        DegenerateRow{"RoundedSquareNoWidth", stRoundedSquare, {90, 90}, {90, 91}},
        DegenerateRow{"VerticalLine", stLine, {100, 100}, {100, 4000}},
        DegenerateRow{"HorizontalLine", stLine, {100, 100}, {4000, 100}}),
    RowName<DegenerateRow>);

TEST(SignModel, TextAndArrowUseTheEndPoint)
{
    SignModel model;
    SignRequest text = Request(stText, {1, 2}, {300, 450});
    text.text = QStringLiteral("ab");
    text.labelSize = QSize(450, 300);
    ASSERT_EQ(model.add(text).outcome, AddOutcome::Added);
    EXPECT_EQ(model.element(ElementKind::Label, 1)->box, QRect(300, 450, 450, 300));

    model.placeArrow({5, 5}, true);
    const AddResult arrow = model.add(Request(stArrow, {1, 2}, {900, 600}));
    EXPECT_EQ(arrow.outcome, AddOutcome::ArrowPlaced);
    EXPECT_EQ(model.arrowCentre(), QPoint(900, 600));
    EXPECT_FALSE(model.arrowVisible());
    EXPECT_EQ(model.counter(ElementKind::Arrow), 1);
    EXPECT_EQ(model.add(Request(ShapeType(9), {0, 0}, {30, 30})).outcome, AddOutcome::UnknownShape);
}

TEST(SignModel, EachKindRefusesSignsBeyondTheSixteenBitCounter)
{
    SignModel model;
    for (int i = 0; i < SignModel::kMaxPerKind; ++i)
        ASSERT_EQ(model.add(Request(stLine, {i % 900, 0}, {i % 900 + 30, 30})).outcome,
            AddOutcome::Added);
    EXPECT_EQ(model.counter(ElementKind::Line), SignModel::kMaxPerKind);
    EXPECT_EQ(model.add(Request(stLine, {0, 0}, {30, 30})).outcome, AddOutcome::Full);
    EXPECT_EQ(model.counter(ElementKind::Line), SignModel::kMaxPerKind);
    // Removing the newest does not make room: the counter never goes down.
    EXPECT_FALSE(model.removeLast(stLine).dirty.isEmpty());
    EXPECT_EQ(model.add(Request(stLine, {0, 0}, {30, 30})).outcome, AddOutcome::Full);
    // The other kinds keep their own counters.
    EXPECT_EQ(model.add(Request(stOval, {0, 0}, {30, 30})).outcome, AddOutcome::Added);

    model.clear();
    EXPECT_EQ(model.add(Request(stLine, {0, 0}, {30, 30})).outcome, AddOutcome::Added);
    EXPECT_EQ(model.counter(ElementKind::Line), 1);
    EXPECT_EQ(model.counter(ElementKind::Shape), 0);
}

TEST(SignModel, RemovingTheLastSignTwiceRemovesOnlyOne)
{
    SignModel model;
    model.add(Request(stRectangle, {0, 0}, {600, 600}));
    model.add(Request(stRectangle, {3000, 3000}, {3600, 3600}));
    model.add(Request(stLine, {0, 0}, {600, 900}));

    const RemoveResult removed = model.removeLast(stSquare); // any outline kind: the shape list
    EXPECT_EQ(removed.id, 1);
    EXPECT_EQ(removed.dirty, model.sign(1).bounds);
    EXPECT_TRUE(model.removeLast(stRectangle).dirty.isEmpty());
    EXPECT_EQ(model.counter(ElementKind::Shape), 2);
    EXPECT_NE(model.element(ElementKind::Shape, 1), nullptr);
    EXPECT_EQ(model.element(ElementKind::Shape, 2), nullptr);
    EXPECT_NE(model.element(ElementKind::Line, 1), nullptr);
    EXPECT_EQ(model.liveCount(), 2);

    model.add(Request(stOval, {0, 0}, {300, 300}));
    EXPECT_EQ(model.counter(ElementKind::Shape), 3);
    EXPECT_EQ(model.element(ElementKind::Shape, 3)->index, 3);

    model.placeArrow({100, 100}, true);
    EXPECT_FALSE(model.removeLast(stArrow).dirty.isEmpty());
    EXPECT_FALSE(model.arrowVisible());
    EXPECT_TRUE(model.removeLast(stArrow).dirty.isEmpty());
    EXPECT_TRUE(model.removeLast(stText).dirty.isEmpty());
}

TEST(SignModel, PointLookUpFindsInkTopmostFirst)
{
    SignModel model;
    const int frame = model.add(Request(stRectangle, {1500, 1500}, {4500, 4500}, 2)).id;
    const int line = model.add(Request(stLine, {0, 0}, {6000, 6000})).id;
    const int ring
        = model.add(Request(stCircle, {1500, 1500}, {6000, 4500})).id; // centre 3750,3000
    SignRequest text = Request(stText, {}, {9000, 9000});
    text.labelSize = QSize(600, 300);
    const int label = model.add(text).id;

    using Ids = std::vector<int>;
    EXPECT_EQ(model.signsAt({1500, 3000}), (Ids{frame})); // left edge of the frame
    EXPECT_EQ(model.signsAt({3750, 1500}), (Ids{ring, frame})); // top of both
    EXPECT_EQ(model.signsAt({1500, 1500}), (Ids{line, frame})); // corner on the diagonal
    EXPECT_EQ(model.signsAt({3000, 3300}), Ids{}); // inside the frame, off the diagonal
    EXPECT_EQ(model.signsAt({3000 + 1500, 3000 + 1500}), (Ids{line, frame})); // far corner
    EXPECT_EQ(model.signsAt({9300, 9100}), (Ids{label}));
    // Within the tolerance, not beyond it; tolerances above the indexed
    // reach are capped to it.
    EXPECT_EQ(model.signsAt({1500 - 70, 3000}, 60), (Ids{frame}));
    EXPECT_EQ(model.signsAt({1500 - 80, 3000}, 60), Ids{});
    EXPECT_EQ(model.signsAt({1500 - 100, 3000}, 500), Ids{});
    EXPECT_EQ(model.signsAt({1500 - 10, 3000}, 0), (Ids{frame}));

    model.removeLast(stOval);
    EXPECT_EQ(model.signsAt({3750, 1500}), (Ids{frame}));
}

TEST(SignModel, AreaLookUpIsInDrawingOrder)
{
    SignModel model;
    const int a = model.add(Request(stLine, {0, 0}, {30000, 300})).id;
    const int b = model.add(Request(stRectangle, {-3000, -3000}, {3000, 3000})).id;
    model.add(Request(stOval, {20000, 20000}, {21000, 21000}));
    const int d = model.add(Request(stRoundedRectangle, {2000, -1000}, {2500, 900})).id;
    const std::vector<int> near = model.signsIn(QRect(1800, 0, 900, 900));
    EXPECT_TRUE(std::is_sorted(near.begin(), near.end()));
    const std::vector<int> wanted{a, d};
    EXPECT_TRUE(std::includes(near.begin(), near.end(), wanted.begin(), wanted.end()));
    EXPECT_EQ(std::count(near.begin(), near.end(), 2), 0); // the far oval
    EXPECT_EQ(model.signsIn(QRect(-3100, -100, 200, 200)), (std::vector<int>{b}));
    EXPECT_TRUE(model.signsIn(QRect(-1000, 1000, 500, 500)).empty()); // inside the frame only
}

// The index must never hide a sign: compare with a scan of every sign.
TEST(SignModel, IndexAgreesWithAFullScan)
{
    QRandomGenerator random(20261207);
    SignModel model;
    for (int i = 0; i < 3000; ++i) {
        const auto shape = ShapeType(random.bounded(0, 8));
        const QPoint start(random.bounded(-2000, 30000), random.bounded(-2000, 17000));
        const int reach = random.bounded(0, 10) == 0 ? 20000 : 2000;
        const QPoint end
            = start + QPoint(random.bounded(-reach, reach), random.bounded(-reach, reach));
        SignRequest request = Request(shape, start, end, qint16(random.bounded(0, 9)));
        request.labelSize = QSize(random.bounded(100, 3000), random.bounded(100, 600));
        model.add(request);
    }
    for (int i = 0; i < 200; ++i)
        model.removeLast(ShapeType(random.bounded(0, 8)));

    for (int probe = 0; probe < 4000; ++probe) {
        const QPoint point(random.bounded(-2000, 30000), random.bounded(-2000, 17000));
        std::vector<int> expected;
        for (int id = model.size() - 1; id >= 0; --id) {
            const Sign &sign = model.sign(id);
            // Ink never reaches beyond the bounds, so they may skip the
            // slower exact test.
            const int tolerance = SignModel::kDefaultTolerance;
            if (sign.alive
                && sign.bounds.adjusted(-tolerance, -tolerance, tolerance, tolerance)
                       .contains(point)
                && HitsSign(sign, point, tolerance))
                expected.push_back(id);
        }
        ASSERT_EQ(model.signsAt(point), expected)
            << point.x() << "," << point.y() << " first: " << model.sign(expected.front()).shape
            << " " << model.sign(expected.front()).box.x() << ","
            << model.sign(expected.front()).box.y() << " "
            << model.sign(expected.front()).box.width() << "x"
            << model.sign(expected.front()).box.height();
    }
    // An area lists at least every sign with ink in it (found point by
    // point), and nothing whose bounds miss it.
    for (int probe = 0; probe < 80; ++probe) {
        const QRect area(random.bounded(-2000, 30000), random.bounded(-2000, 17000),
            random.bounded(15, 300), random.bounded(15, 300));
        const std::vector<int> listed = model.signsIn(area);
        ASSERT_TRUE(std::is_sorted(listed.begin(), listed.end()));
        for (const int id : listed)
            ASSERT_TRUE(model.sign(id).bounds.intersects(area));
        for (int y = area.top(); y <= area.bottom(); y += 15) {
            for (int x = area.left(); x <= area.right(); x += 15) {
                for (const int id : model.signsAt({x, y}, 0))
                    ASSERT_TRUE(std::binary_search(listed.begin(), listed.end(), id))
                        << id << " at " << x << "," << y;
            }
        }
    }
}

struct FigureRow {
    const char *name;
    ShapeType shape;
    QRect box;
    QRect figure;
};

void PrintTo(const FigureRow &row, std::ostream *out)
{
    *out << row.name;
}

class Figures : public ::testing::TestWithParam<FigureRow>
{
};

TEST_P(Figures, SquareKindsAreCentredInTheBox)
{
    EXPECT_EQ(FigureRect(GetParam().shape, GetParam().box), GetParam().figure);
}

INSTANTIATE_TEST_SUITE_P(SignGeometry, Figures,
    ::testing::Values(FigureRow{"Rectangle", stRectangle, {0, 0, 600, 200}, {0, 0, 600, 200}},
        FigureRow{"WideSquare", stSquare, {0, 0, 600, 200}, {200, 0, 200, 200}},
        FigureRow{"TallCircle", stCircle, {10, 10, 100, 300}, {10, 110, 100, 100}},
        FigureRow{"RoundedSquareLeftOfZero", stRoundedSquare, {-60, 0, 60, 30}, {-45, 0, 30, 30}},
        FigureRow{"Oval", stOval, {0, 0, 600, 200}, {0, 0, 600, 200}}),
    RowName<FigureRow>);

TEST(SignGeometry, TwipsRoundOutwardsToPixels)
{
    EXPECT_EQ(TwipsToPixels(QRect(15, 30, 15, 15)), QRect(1, 2, 1, 1));
    EXPECT_EQ(TwipsToPixels(QRect(16, 29, 15, 15)), QRect(1, 1, 2, 2));
    EXPECT_EQ(TwipsToPixels(QRect(-1, -16, 2, 2)), QRect(-1, -2, 2, 2));
    EXPECT_EQ(PixelsToTwips(QRect(2, -1, 3, 4)), QRect(30, -15, 45, 60));
}
