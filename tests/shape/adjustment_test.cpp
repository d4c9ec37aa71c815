#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "shapefixtures.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

using namespace testshapes;

// Fills the coordinate lists with (x, y) pairs the way an editing caller does.
void setcoordinates(tradiilist& l, const std::vector<std::pair<std::int32_t, std::int32_t>>& xy) {
    l.xlist.clear();
    l.ylist.clear();
    for (const auto& [x, y] : xy) {
        l.xlist.add(tradiilist::combineangleradius(0, x));
        l.ylist.add(tradiilist::combineangleradius(0, y));
    }
}

// ---- rebuilding from coordinates ----

TEST(MakeRadiiListFromXY, PointsFromCoordinatesInListOrder) {
    const struct {
        std::int32_t x, y;
        double angle;
        std::int32_t radius;
    } cases[] = {
        {3000, 4000, 53.130, 5000}, {-2500, 0, 180, 2500},         {0, -2500, 270, 2500},     {0, 0, 90, 0},
        {1000, 1000, 45, 1414},     {-1500, -2000, 233.130, 2500}, {2500, -1, 359.977, 2500}, {-1, 2500, 90.023, 2500},
    };
    tradiilist l = circle(8, 1000);  // replaced, not added to
    std::vector<std::pair<std::int32_t, std::int32_t>> xy;
    for (const auto& c : cases) xy.emplace_back(c.x, c.y);
    setcoordinates(l, xy);
    l.makeradiilistfromxy();
    ASSERT_EQ(l.readcount(), static_cast<int>(std::size(cases)));
    for (int i = 0; i < l.readcount(); ++i) {
        EXPECT_NEAR(l.extractangleelement(i), cases[i].angle, 0.0005) << i;
        EXPECT_EQ(l.extractradiuselement(i), cases[i].radius) << i;
    }
}

TEST(MakeRadiiListFromXY, OnlyEntriesWithBothCoordinatesBecomePoints) {
    tradiilist l;
    setcoordinates(l, {{2500, 0}, {0, 2500}, {-2500, 0}});
    l.ylist.remove(2);
    l.makeradiilistfromxy();
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{2500, 2500}));
    EXPECT_EQ(anglesof(l), (std::vector<double>{0, 90}));
}

TEST(MakeRadiiListFromXY, StretchBeyondTheElementWidthKeepsEveryCoordinate) {
    // Tripling x takes the temporal side to -12000, a coordinate whose text
    // is wider than the element's radius field; the points are rebuilt from
    // the numbers, so the far side is not cut to -1200.
    tradiilist l = circle(400, 4000);
    l.findabed();
    l.adjustshape(8000, 0);
    EXPECT_NEAR(l.mina, -12000, 2);
    EXPECT_EQ(l.extractradiuselement(200), 12000);  // the point at 180 degrees
}

// ---- centring ----

TEST(Centred, BoxWithinTwentyHundredthsOfTheCentre) {
    const struct {
        std::int32_t mina, maxa, minb, maxb;
        bool expected;
    } cases[] = {
        {-2500, 2500, -1500, 1500, true},
        {-2490, 2509, -1500, 1519, true},  // 19 off either way
        {-2509, 2490, -1519, 1500, true},
        {-2490, 2510, -1500, 1500, false},  // 20 off in x
        {-2500, 2500, -1480, 1500, false},  // 20 off in y
        {0, 5, -1, 1, false},               // nothing left of the centre
        {0, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        tradiilist l;
        l.mina = c.mina;
        l.maxa = c.maxa;
        l.minb = c.minb;
        l.maxb = c.maxb;
        EXPECT_EQ(l.centred(), c.expected) << c.mina << ".." << c.maxa << ", " << c.minb << ".." << c.maxb;
    }
    tradiilist extremes;
    extremes.mina = INT32_MIN;
    extremes.maxa = INT32_MIN;
    extremes.minb = INT32_MIN;
    extremes.maxb = INT32_MIN;
    EXPECT_FALSE(extremes.centred());
}

TEST(Centred, ShapeWithNoPointLeftOfTheCentre) {
    // A right half disc: its box starts at x = 0, however small its offsets.
    tradiilist l = polarshape(400, [](double t) { return std::cos(rad(t)) > 1e-9 ? 10.0 : 0.0; });
    l.findabed();
    ASSERT_EQ(l.mina, 0);
    EXPECT_FALSE(l.centred());
}

struct CentreCase {
    const char* name;
    std::function<tradiilist()> make;
    std::int32_t adiff, bdiff;  // the shift expected, within sampling
};

TEST(CentreShape, MovesTheBoxCentreToTheTraceCentre) {
    const CentreCase cases[] = {
        {"circle spanning -2000..3000", [] { return ellipse(400, 2500, 2500, 500, 0); }, -500, 0},
        {"ellipse shifted down and left", [] { return ellipse(400, 2500, 1500, -300, -200); }, 300, 200},
        {"turned ellipse shifted", [] { return ellipse(400, 2600, 1400, 400, -250, 30); }, -400, 250},
        {"centred already", [] { return circle(400, 2500); }, 0, 0},
    };
    for (const CentreCase& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l = c.make();
        const measured before = measure(l);
        l.centreshape();
        EXPECT_NEAR(l.centreadiff, c.adiff, 3);
        EXPECT_NEAR(l.centrebdiff, c.bdiff, 3);
        EXPECT_TRUE(l.centred());
        // Back at its own point count, evenly spaced, with its size kept.
        ASSERT_EQ(l.readcount(), 400);
        EXPECT_EQ(l.extractangleelement(1), 0.9);
        const measured after = measure(l);
        EXPECT_NEAR(after.a, before.a, 4);
        EXPECT_NEAR(after.b, before.b, 4);
        EXPECT_NEAR(after.nasal, after.temporal, 20);
        EXPECT_NEAR(after.upper, after.lower, 20);
    }
}

TEST(CentreShape, ExactShiftOfACircleFromMinus2000To3000) {
    tradiilist l = ellipse(400, 2500, 2500, 500, 0);
    l.findabed();
    ASSERT_EQ(l.mina, -2000);
    ASSERT_EQ(l.maxa, 3000);
    l.centreshape();
    EXPECT_EQ(l.centreadiff, -500);
    EXPECT_NEAR(l.mina, -2500, 2);
    EXPECT_NEAR(l.maxa, 2500, 2);
}

TEST(CentreShape, SmoothingOutLeavesFourTimesThePoints) {
    tradiilist l = ellipse(100, 2500, 1500, 300, 0);
    l.smoothingout = true;
    l.centreshape();
    EXPECT_EQ(l.readcount(), 400);
    EXPECT_TRUE(l.centred());
}

TEST(CentreShape, EmptyListAndStaleCoordinates) {
    tradiilist l;
    l.xlist.add(tradiilist::combineangleradius(0, 3000));  // left by an earlier shape
    l.ylist.add(tradiilist::combineangleradius(0, 0));
    l.a = 5000;
    l.centreshape();
    EXPECT_EQ(l.readcount(), 0);
    EXPECT_EQ(l.centreadiff, 0);
    EXPECT_EQ(l.a, 0);
}

// ---- rotation ----

TEST(RotateShape, AnglesMoveAndWrapIntoAFullTurn) {
    const struct {
        double rotation, from, to;
    } cases[] = {
        {-10, 5, 355}, {10, 350, 0},    {370, 20, 30},     {370, 350, 0},   {-370, 5, 355},    {90, 300, 30},
        {720, 45, 45}, {1000, 100, 20}, {-1000, 100, 180}, {0.5, 359.5, 0}, {45.25, 0, 45.25},
    };
    for (const auto& c : cases) {
        tradiilist l = points({{c.from, 2500}});
        l.rotateshape(c.rotation);
        ASSERT_EQ(l.readcount(), 1);
        EXPECT_EQ(l.extractangleelement(0), c.to) << c.rotation << " from " << c.from;
        EXPECT_EQ(l.extractradiuselement(0), 2500);
    }
}

TEST(RotateShape, PointsStaySortedAndNoAngleReadsAFullTurn) {
    tradiilist l = points({{359.999, 2100}, {0, 2000}, {10, 2200}, {180, 2300}});
    l.rotateshape(0.0006);  // 359.9996 would be written as 360.000
    EXPECT_EQ(anglesof(l), (std::vector<double>{0, 0.001, 10.001, 180.001}));
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{2100, 2000, 2200, 2300}));
    for (int i = 0; i < l.readcount(); ++i) EXPECT_LT(l.extractangleelement(i), 360.0);

    tradiilist unchanged = circle(8, 2500);
    const auto elements = unchanged.radiilist.items();
    unchanged.rotateshape(std::nan(""));
    EXPECT_EQ(unchanged.radiilist.items(), elements);
}

TEST(RotateShape, TurnedEllipseSwapsItsBox) {
    tradiilist l = ellipse(400, 2500, 1500);
    l.rotateshape(90);
    EXPECT_NEAR(l.a, 3000, 2);
    EXPECT_NEAR(l.b, 5000, 2);
    // A quarter turn of an evenly spaced trace keeps every angle on the grid.
    EXPECT_EQ(l.readcount(), 400);
    EXPECT_EQ(l.extractangleelement(100), 90);
    EXPECT_EQ(l.extractradiuselement(100), 2500);
}

// ---- stretching ----

TEST(AdjustShape, StretchesEachAxisByAboutTheDifferenceOnEachSide) {
    const struct {
        const char* name;
        double ax, by;
        std::int32_t xdiff, ydiff;
        std::int32_t a, b;
    } cases[] = {
        {"circle wider", 2500, 2500, 100, 0, 5200, 5000},
        {"circle unchanged", 2500, 2500, 0, 0, 5000, 5000},
        {"circle narrower and deeper", 2500, 2500, -250, 250, 4500, 5500},
        {"ellipse larger", 2500, 1500, 200, 300, 5400, 3600},
        {"ellipse smaller", 2500, 1500, -500, -300, 4000, 2400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l = ellipse(400, c.ax, c.by);
        l.adjustshape(c.xdiff, c.ydiff);
        EXPECT_EQ(l.readcount(), 400);
        EXPECT_NEAR(l.a, c.a, 3);
        EXPECT_NEAR(l.b, c.b, 3);
        const measured m = measure(l);
        EXPECT_EQ(m.a, l.a);
        EXPECT_EQ(m.b, l.b);
    }
}

TEST(AdjustShape, PointsAddedSinceTheLastMeasureAreKept) {
    tradiilist l = circle(400, 2500);
    l.findabed();
    l.addradiilist(0.45, 2500);  // after the coordinate lists were made
    l.adjustshape(0, 0);
    EXPECT_EQ(l.readcount(), 401);
    EXPECT_EQ(l.xlist.count(), 401);
}

TEST(AdjustShape, ExtremeDifferencesDoNotOverflow) {
    tradiilist l = circle(40, 2500);
    l.adjustshape(INT32_MAX, INT32_MIN);
    EXPECT_EQ(l.readcount(), 40);
    l.adjustshape(INT32_MIN, INT32_MAX);
    EXPECT_EQ(l.readcount(), 40);
}

TEST(AdjustShapeByQuadrant, EachSideMovesByItsOwnDifference) {
    const struct {
        const char* name;
        std::function<tradiilist()> make;
        std::int32_t nasaldiff, tempdiff, upperdiff, lowerdiff;
        measured expected;
    } cases[] = {
        {"ellipse", [] { return ellipse(400, 2500, 1500); }, 100, 200, 300, 400, {5300, 3700, 2600, 2700, 1800, 1900}},
        {"shifted circle",
         [] { return ellipse(400, 2500, 2500, 500, 0); },
         -200,
         100,
         0,
         0,
         {4900, 5000, 2800, 2100, 2500, 2500}},
        {"nothing", [] { return ellipse(400, 2500, 1500); }, 0, 0, 0, 0, {5000, 3000, 2500, 2500, 1500, 1500}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l = c.make();
        l.adjustshapebyquadrant(c.nasaldiff, c.tempdiff, c.upperdiff, c.lowerdiff);
        const measured m = measure(l);
        EXPECT_NEAR(m.nasal, c.expected.nasal, 2);
        EXPECT_NEAR(m.temporal, c.expected.temporal, 2);
        EXPECT_NEAR(m.upper, c.expected.upper, 2);
        EXPECT_NEAR(m.lower, c.expected.lower, 2);
        EXPECT_NEAR(m.a, c.expected.a, 3);
        EXPECT_NEAR(m.b, c.expected.b, 3);
    }
}

TEST(AdjustShapeByQuadrant, PointsInTheFixedAreaStay) {
    tradiilist l = circle(400, 2500);
    l.fixstart = 350;
    l.fixend = 10;
    tradiilist original = circle(400, 2500);
    l.adjustshapebyquadrant(500, 500, 500, 500);

    // Every point of the fixed area (350..10 degrees) is still where it was
    // (within the rounding of a point rebuilt from its coordinates).
    original.makexylists();
    int fixedpoints = 0;
    for (int i = 0; i < original.readcount(); ++i) {
        const double t = original.extractangleelement(i);
        if (!(t >= 350 || t <= 10)) continue;
        ++fixedpoints;
        const std::int32_t x = tradiilist::extractradius(original.xlist[i]);
        const std::int32_t y = tradiilist::extractradius(original.ylist[i]);
        bool found = false;
        for (int j = 0; j < l.xlist.count() && !found; ++j) {
            found = std::abs(tradiilist::extractradius(l.xlist[j]) - x) <= 1 &&
                    std::abs(tradiilist::extractradius(l.ylist[j]) - y) <= 1;
        }
        EXPECT_TRUE(found) << "point at " << t;
    }
    EXPECT_EQ(fixedpoints, 23);
    // The rest moved out.
    EXPECT_NEAR(l.upper, 3000, 2);
    EXPECT_NEAR(l.temporal, 3000, 2);
}

TEST(AdjustShapeByQuadrant, SideTheShapeDoesNotReachIsLeftAsItIs) {
    // A right half disc (nothing on the temporal side) and a lower half disc
    // (nothing above): the missing side has an extent of 0 and keeps its
    // points, the others stretch.
    tradiilist right = polarshape(400, [](double t) { return std::cos(rad(t)) >= -1e-9 ? 2500.0 : 0.0; });
    right.adjustshapebyquadrant(100, 300, 50, 50);
    measured m = measure(right);
    EXPECT_EQ(m.temporal, 0);
    EXPECT_NEAR(m.nasal, 2600, 2);
    EXPECT_NEAR(m.upper, 2550, 2);
    EXPECT_NEAR(m.lower, 2550, 2);
    for (const std::int32_t r : radiiof(right)) EXPECT_LE(r, 2700);

    tradiilist lower = polarshape(400, [](double t) { return std::sin(rad(t)) <= 1e-9 ? 2500.0 : 0.0; });
    lower.adjustshapebyquadrant(0, 0, 300, 100);
    m = measure(lower);
    EXPECT_EQ(m.upper, 0);
    EXPECT_NEAR(m.lower, 2600, 2);
    EXPECT_NEAR(m.nasal, 2500, 2);
    for (const std::int32_t r : radiiof(lower)) EXPECT_LE(r, 2700);
}

// ---- circumference ----

TEST(AdjustCirc, ReachesTheTargetCircumference) {
    const struct {
        const char* name;
        double ax, by;
        std::int32_t xdiff;
    } cases[] = {
        {"circle, no change", 2500, 2500, 0},         {"circle, 6.28 mm longer", 2500, 2500, 628},
        {"circle, 10 mm shorter", 2500, 2500, -1000}, {"ellipse, 30 mm longer", 2500, 1500, 3000},
        {"ellipse, 5 mm shorter", 2500, 1500, -500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l = ellipse(400, c.ax, c.by);
        const std::int32_t start = l.circ();
        const std::int32_t reached = l.adjustcirc(c.xdiff);
        EXPECT_LE(std::abs(reached - (start + c.xdiff)), 4);
        EXPECT_EQ(l.omacirc, 0);  // no circumference from a file
        EXPECT_EQ(l.circ(), reached);
    }
    // A circle of 25 mm starts at the circumference of 2 pi 25 mm.
    tradiilist c = circle(400, 2500);
    EXPECT_EQ(c.circ(), 15708);
}

TEST(AdjustCirc, FileCircumferenceMovesWithTheComputedOne) {
    tradiilist l = circle(400, 2500);
    l.omacirc = 16000;
    const std::int32_t reached = l.adjustcirc(314);
    EXPECT_LE(std::abs(reached - (15708 + 314)), 4);
    EXPECT_EQ(l.omacirc, 16000 + (reached - 15708));
    EXPECT_EQ(l.circ(), l.omacirc);
}

// ---- box ----

TEST(AmendShape, AShapeMeasuredAgainHasTheBoxItWasAmendedTo) {
    const struct {
        const char* name;
        std::function<tradiilist()> make;
    } shapes[] = {
        {"circle", [] { return circle(400, 2500); }},
        {"ellipse", [] { return ellipse(400, 2500, 1500); }},
        {"shifted ellipse", [] { return ellipse(400, 2400, 1600, 300, -200); }},
        {"turned ellipse", [] { return ellipse(400, 2600, 1400, 0, 0, 25); }},
        {"box with round corners",
         [] {
             tradiilist l;
             l.makeabed(2500, 1500, 2600, 0, 400);
             return l;
         }},
    };
    const struct {
        std::int32_t newa, newb, a, b;
    } targets[] = {
        {52, 30, 5200, 3000},                                // whole millimetres
        {5200, 3000, 5200, 3000}, {4400, 2600, 4400, 2600},  // smaller both ways
        {4000, 3500, 4000, 3500},                            // narrower and deeper
        {60, 45, 6000, 4500},
    };
    for (const auto& s : shapes) {
        for (const auto& t : targets) {
            SCOPED_TRACE(std::string(s.name) + " to " + std::to_string(t.newa) + "x" + std::to_string(t.newb));
            tradiilist l = s.make();
            const int n = l.readcount();
            l.amendshape(t.newa, t.newb);
            EXPECT_EQ(l.readcount(), n);
            const measured m = measure(l);
            EXPECT_LT(std::abs(m.a - t.a), 10);
            EXPECT_LT(std::abs(m.b - t.b), 10);
        }
    }
}

TEST(AmendShape, UpTo100IsWholeMillimetres) {
    tradiilist inmm = ellipse(400, 1500, 1000);
    tradiilist inhundredths = ellipse(400, 1500, 1000);
    inmm.amendshape(100, 40);
    inhundredths.amendshape(10000, 4000);
    EXPECT_EQ(inmm.radiilist.items(), inhundredths.radiilist.items());
    tradiilist above = ellipse(400, 1500, 1000);
    above.amendshape(101, 40);  // 1.01 mm wide: a shape squeezed flat
    EXPECT_LT(measure(above).a, 200);
}

TEST(AmendShape, NoTargetLeavesTheShapeAlone) {
    const struct { std::int32_t newa, newb; } cases[] = {{0, 30}, {52, 0}, {0, 0}, {-52, 30}, {52, -3000}};
    for (const auto& c : cases) {
        tradiilist l = ellipse(400, 2500, 1500);
        const auto elements = l.radiilist.items();
        l.amendshape(c.newa, c.newb);
        EXPECT_EQ(l.radiilist.items(), elements) << c.newa << "x" << c.newb;
    }
}

// ---- real traces ----

// The right and left outlines of every real sample file that has both.
std::vector<std::pair<std::string, tradiilist>> realoutlines() {
    std::vector<std::pair<std::string, tradiilist>> all;
    const auto dir = testing::real_samples_dir();
    if (dir.empty()) return all;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        tomafileobj document;
        tradiilist shown, right, left;
        if (!document.readomafile(entry.path()) || !document.omastrtolist()) continue;
        if (!shown.extractradiilistfromomalist2(document.omalist, &right, &left, true)) continue;
        const std::string name = entry.path().filename().string();
        if (right.readcount() >= 100) all.emplace_back(name + " R", std::move(right));
        if (left.readcount() >= 100) all.emplace_back(name + " L", std::move(left));
    }
    return all;
}

TEST(RealSamples, ShapeOperationsOnTracedOutlines) {
    if (testing::real_samples_dir().empty()) GTEST_SKIP() << "no real samples";
    const auto outlines = realoutlines();
    ASSERT_FALSE(outlines.empty());
    for (const auto& [name, traced] : outlines) {
        SCOPED_TRACE(name);
        tradiilist l = traced;
        l.findabed();
        const measured original = measure(l);

        // The radius at a stored point's angle is that point's, give or take
        // a neighbour picked up within 0.1 degrees on a dense trace.
        for (int i = 0; i < l.readcount(); i += 7) {
            EXPECT_NEAR(l.findradiusforangle(l.extractangleelement(i)), l.extractradiuselement(i), 5) << i;
        }
        // A blank centred on the trace centre must reach the longest radius.
        EXPECT_NEAR(l.calcmsu(0, 0, 0), 2 * l.maxradius, 2);

        tradiilist amended = traced;
        amended.amendshape(original.a + 200, original.b - 100);
        const measured m = measure(amended);
        EXPECT_LT(std::abs(m.a - (original.a + 200)), 10);
        EXPECT_LT(std::abs(m.b - (original.b - 100)), 10);

        tradiilist centred = traced;
        centred.centreshape();
        EXPECT_EQ(centred.readcount(), traced.readcount());
        EXPECT_TRUE(centred.centred());
        EXPECT_NEAR(measure(centred).a, original.a, 6);

        tradiilist turned = traced;
        turned.rotateshape(30);
        turned.rotateshape(-30);
        const measured back = measure(turned);
        EXPECT_NEAR(back.a, original.a, 2);
        EXPECT_NEAR(back.b, original.b, 2);
    }
}

}  // namespace
}  // namespace kestrune
