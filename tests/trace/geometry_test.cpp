#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/trace/geometry.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

using namespace fixtures::shapes;

constexpr double kPi = std::numbers::pi;

// Circle of radius r whose centre lies dx to the +x side of the origin.
tradiilist shiftedcircle(int n, double r, double dx) {
    return polarshape(n, [r, dx](double t) {
        const double s = std::sin(rad(t));
        return dx * std::cos(rad(t)) + std::sqrt(r * r - dx * dx * s * s);
    });
}

// Square of half side s, sides parallel to the axes.
tradiilist square(int n, double s) {
    return polarshape(n,
                      [s](double t) { return s / std::max(std::fabs(std::cos(rad(t))), std::fabs(std::sin(rad(t)))); });
}

// ---- plane geometry ----

TEST(CalcAngle, DirectionOfPointInEveryQuadrantAndOnTheAxes) {
    struct {
        double x, y, expected;
    } const cases[] = {
        {0, 0, 90},
        {1, 0, 0},
        {0, 1, 90},
        {-1, 0, 180},
        {0, -1, 270},
        {1, 1, 45},
        {-1, 1, 135},
        {-1, -1, 225},
        {1, -1, 315},
        {std::sqrt(3.0), 1, 30},
        {-2500, 39, 180 - std::atan(39.0 / 2500) * 180 / kPi},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(calcangle(c.x, c.y), c.expected, 1e-9) << c.x << "," << c.y;
    }
}

TEST(CalcAngle, StaysBelowAFullTurnAndSurvivesNonFiniteInput) {
    // arctan of a vanishing negative ratio plus 360 rounds to 360 exactly.
    const double a = calcangle(1, -1e-300);
    EXPECT_GE(a, 0.0);
    EXPECT_LT(a, 360.0);
    EXPECT_EQ(calcangle(std::nan(""), 1), 0.0);
    EXPECT_EQ(calcangle(1, INFINITY), 0.0);
}

TEST(CalcIntersect, CrossingsOfTwoLines) {
    double x = -1, y = -1;
    // y = x through the origin meets the horizontal line y = 2 at (2, 2).
    EXPECT_TRUE(calcintersect(0, 0, 45, 0, 2, 0, x, y));
    EXPECT_NEAR(x, 2, 1e-9);
    EXPECT_NEAR(y, 2, 1e-9);

    // A vertical first line still gives the crossing, with false.
    EXPECT_FALSE(calcintersect(3, 0, 90, 0, 0, 45, x, y));
    EXPECT_NEAR(x, 3, 1e-9);
    EXPECT_NEAR(y, 3, 1e-9);
    // Likewise a vertical second line.
    EXPECT_FALSE(calcintersect(0, 1, 0, -4, 0, 270, x, y));
    EXPECT_NEAR(x, -4, 1e-9);
    EXPECT_NEAR(y, 1, 1e-9);

    // Two vertical lines, and two parallel lines, leave the outputs alone.
    x = y = 7;
    EXPECT_FALSE(calcintersect(0, 0, 90, 1, 0, 270, x, y));
    EXPECT_FALSE(calcintersect(0, 0, 30, 0, 5, 30, x, y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 7);

    // Lines through two points that share an x cross away from that x.
    EXPECT_TRUE(calcintersect(0, 1000, 225, 0, 0, 135, x, y));
    EXPECT_NEAR(x, -500, 1e-9);
    EXPECT_NEAR(y, 500, 1e-9);
    // Lines from one and the same point cross there.
    EXPECT_TRUE(calcintersect(3, 4, 10, 3, 4, 80, x, y));
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
}

TEST(CalcSegAng, DirectionFromFirstPointToSecond) {
    EXPECT_NEAR(calcsegang(1000, 0, 0, 1000), 135, 1e-9);
    EXPECT_NEAR(calcsegang(0, 1000, 1000, 0), 315, 1e-9);
}

// ---- coordinate lists ----

TEST(MakeXYLists, CoordinatesParallelToSortedPoints) {
    tradiilist l = points({{270, 2000}, {0.9, 2500}, {90, 1500}, {180, 1000}, {0, 2500}});
    l.makexylists();
    ASSERT_EQ(l.readcount(), 5);
    ASSERT_EQ(l.xlist.count(), 5);
    ASSERT_EQ(l.ylist.count(), 5);
    EXPECT_EQ(anglesof(l), (std::vector<double>{0, 0.9, 90, 180, 270}));
    const struct { std::int32_t x, y; } expected[] = {{2500, 0}, {2500, 39}, {0, 1500}, {-1000, 0}, {0, -2000}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tradiilist::extractangle(l.xlist[i]), l.extractangleelement(i)) << i;
        EXPECT_EQ(tradiilist::extractangle(l.ylist[i]), l.extractangleelement(i)) << i;
        EXPECT_EQ(tradiilist::extractradius(l.xlist[i]), expected[i].x) << i;
        EXPECT_EQ(tradiilist::extractradius(l.ylist[i]), expected[i].y) << i;
    }
}

TEST(MakeXYLists, RebuildsRatherThanAppendsAndEmptiesForEmptyList) {
    tradiilist l = circle(8, 2000);
    l.makexylists();
    l.makexylists();
    EXPECT_EQ(l.xlist.count(), 8);
    l.clear();
    l.xlist.add("stale");
    l.ylist.add("stale");
    l.makexylists();
    EXPECT_TRUE(l.xlist.empty());
    EXPECT_TRUE(l.ylist.empty());
}

TEST(PolarToXY, RoundsHalvesToEvenAndSaturates) {
    std::int32_t x = 1, y = 1;
    polartoxy(0.9, 2500, x, y);  // 2499.69, 39.27
    EXPECT_EQ(x, 2500);
    EXPECT_EQ(y, 39);
    polartoxy(270, 2500, x, y);  // cos 270 is a tiny negative, not -0 in text
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, -2500);
    EXPECT_EQ(roundtoint32(2.5), 2);
    EXPECT_EQ(roundtoint32(3.5), 4);
    EXPECT_EQ(roundtoint32(-2.5), -2);
    EXPECT_EQ(roundtoint32(1e12), INT32_MAX);
    EXPECT_EQ(roundtoint32(-1e12), INT32_MIN);
    EXPECT_EQ(roundtoint32(std::nan("")), 0);
    polartoxy(180, INT32_MIN, x, y);  // -(-2^31) does not fit
    EXPECT_EQ(x, INT32_MAX);
}

// roundtoint32 rounds the usual sizes without the library; at every border
// of that quick way (halves, the neighbours of halves, 2^30, the 32-bit
// limits) it must give what nearbyint and saturation give.
TEST(Geometry, RoundToInt32IsNearbyintSaturated) {
    const auto reference = [](double v) -> std::int32_t {
        if (std::isnan(v)) return 0;
        const double r = std::nearbyint(v);
        if (r >= 2147483647.0) return INT32_MAX;
        if (r <= -2147483648.0) return INT32_MIN;
        return static_cast<std::int32_t>(r);
    };
    std::vector<double> values{0.0,
                               -0.0,
                               5e-324,
                               -5e-324,
                               0.49999999999999994,
                               -0.49999999999999994,
                               0.5,
                               -0.5,
                               1.5,
                               -1.5,
                               2.5,
                               -2.5,
                               1e-9,
                               1234567.5,
                               -7654321.5,
                               0x1p30,
                               -0x1p30,
                               0x1p30 - 0.5,
                               -0x1p30 + 0.5,
                               0x1p30 + 0.5,
                               0x1p31 - 0.5,
                               0x1p31 - 1.5,
                               -0x1p31 - 0.5,
                               -0x1p31 + 0.5,
                               0x1p52,
                               0x1.8p52,
                               -0x1.8p52,
                               1e300,
                               -1e300,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity()};
    for (double base : {0.0, 1.0, 1000.0, 0x1p29, 0x1p30, 0x1p31}) {
        for (double frac : {0.25, 0.5, 0.75}) {
            values.push_back(base + frac);
            values.push_back(-(base + frac));
            values.push_back(std::nextafter(base + frac, 0.0));
            values.push_back(std::nextafter(base + frac, 1e300));
            values.push_back(-std::nextafter(base + frac, 0.0));
        }
    }
    for (double v : values) EXPECT_EQ(roundtoint32(v), reference(v)) << v;
}

// ---- box measures ----

struct BoxCase {
    const char* name;
    std::function<tradiilist()> make;
    std::int32_t a, b, ed, edangle, upper, lower, nasal, temporal;
    int tolerance;  // for shapes whose extremes fall between sample angles
};

TEST(FindABED, BoxOfAnalyticShapes) {
    const BoxCase cases[] = {
        {"circle 2500 at 400 points", [] { return circle(400, 2500); }, 5000, 5000, 5000, 0, 2500, 2500, 2500, 2500, 0},
        {"ellipse 3000 x 2000 at 360 points", [] { return ellipse(360, 3000, 2000); }, 6000, 4000, 6000, 0, 2000, 2000,
         3000, 3000, 0},
        {"square of half side 2000", [] { return square(360, 2000); }, 4000, 4000, 5656, 45, 2000, 2000, 2000, 2000, 0},
        // Centre 500 to the nasal side: the box is asymmetric left to right.
        {"circle 2000 shifted by 500", [] { return shiftedcircle(360, 2000, 500); }, 4000, 4000, 4000, 0, 2000, 2000,
         2500, 1500, 1},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l = c.make();
        l.findabed();
        EXPECT_EQ(l.a, c.a);
        EXPECT_NEAR(l.b, c.b, c.tolerance);
        EXPECT_EQ(l.ed, c.ed);
        EXPECT_EQ(l.edangle, c.edangle);
        EXPECT_NEAR(l.upper, c.upper, c.tolerance);
        EXPECT_NEAR(l.lower, c.lower, c.tolerance);
        EXPECT_EQ(l.nasal, c.nasal);
        EXPECT_EQ(l.temporal, c.temporal);
        EXPECT_EQ(l.maxa, l.nasal);
        EXPECT_EQ(l.mina, -l.temporal);
        EXPECT_EQ(l.a, l.maxa - l.mina);
        EXPECT_EQ(l.b, l.maxb - l.minb);

        // Without the coordinate lists: the same measures and the same
        // sorted points, and xlist and ylist left as they were.
        tradiilist q = c.make();
        q.xlist.add("kept");
        q.findabed(false);
        EXPECT_EQ(q.radiilist, l.radiilist);
        EXPECT_EQ(q.xlist.items(), std::vector<std::string>{"kept"});
        EXPECT_TRUE(q.ylist.empty());
        const auto measures = [](const tradiilist& t) {
            return std::vector<double>{static_cast<double>(t.a),
                                       static_cast<double>(t.b),
                                       static_cast<double>(t.ed),
                                       static_cast<double>(t.edangle),
                                       static_cast<double>(t.upper),
                                       static_cast<double>(t.lower),
                                       static_cast<double>(t.nasal),
                                       static_cast<double>(t.temporal),
                                       static_cast<double>(t.maxa),
                                       static_cast<double>(t.mina),
                                       static_cast<double>(t.maxb),
                                       static_cast<double>(t.minb),
                                       static_cast<double>(t.maxradius),
                                       t.maxradiusangle,
                                       static_cast<double>(t.longestradius),
                                       static_cast<double>(t.longestradiusangle)};
        };
        EXPECT_EQ(measures(q), measures(l));
    }
}

TEST(FindABED, LargestRadiusAndLongestRadiusOfFirstHalf) {
    // The ellipse is widest at 0 and 180; strict comparisons keep the first.
    tradiilist l = ellipse(360, 3000, 2000);
    l.findabed();
    EXPECT_EQ(l.maxradius, 3000);
    EXPECT_EQ(l.maxradiusangle, 0);
    EXPECT_EQ(l.longestradius, 3000);
    EXPECT_EQ(l.longestradiusangle, 0);

    // The square's corners: the first lies at 45 degrees.
    tradiilist s = square(400, 2000);
    s.findabed();
    EXPECT_EQ(s.maxradius, 2828);
    EXPECT_EQ(s.maxradiusangle, 4500);
    EXPECT_EQ(s.longestradiusangle, 45);

    // A largest radius in the second half counts for maxradius only, at its
    // angle in hundredths; longestradius looks at the first half.
    tradiilist m = points({{0, 2000}, {90, 2100}, {202.5, 2600}, {270, 2000}});
    m.findabed();
    EXPECT_EQ(m.maxradius, 2600);
    EXPECT_EQ(m.maxradiusangle, 20250);
    EXPECT_EQ(m.longestradius, 2100);
    EXPECT_EQ(m.longestradiusangle, 90);
}

TEST(FindABED, PointsReachingFiveThousandOnTheNasalSideAreLeftOut) {
    // Radius 5000 at 0 degrees is x = 5000: ignored for every measure.
    tradiilist l = points({{0, 5000}, {90, 2000}, {180, 2000}, {270, 2000}});
    l.findabed();
    EXPECT_EQ(l.maxa, 0);
    EXPECT_EQ(l.a, 2000);
    EXPECT_EQ(l.maxradius, 2000);
    EXPECT_EQ(l.ed, 4000);  // the pair at 90 and 270; the one at 0 is left out
    EXPECT_EQ(l.edangle, 90);

    // The same on the temporal side counts.
    tradiilist t = points({{0, 2000}, {90, 2000}, {180, 5000}, {270, 2000}});
    t.findabed();
    EXPECT_EQ(t.mina, -5000);
    EXPECT_EQ(t.temporal, 5000);
    EXPECT_EQ(t.a, 7000);
    EXPECT_EQ(t.maxradius, 5000);
    EXPECT_EQ(t.maxradiusangle, 18000);
}

TEST(FindABED, DiameterIgnoresPairsOfTenThousandOrMore) {
    const struct {
        double radius;
        std::int32_t ed;
    } cases[] = {{4999, 9998}, {5000, 0}, {6000, 0}};
    for (const auto& c : cases) {
        tradiilist l = circle(400, c.radius);
        l.findabed();
        EXPECT_EQ(l.ed, c.ed) << c.radius;
        if (c.ed == 0) {
            EXPECT_EQ(l.edangle, 0) << c.radius;
        }
    }
    // A single over-long pair falls back to the best of the rest.
    tradiilist m = points({{0, 2000}, {90, 6000}, {180, 2500}, {270, 4500}});
    m.findabed();
    EXPECT_EQ(m.ed, 4500);
    EXPECT_EQ(m.edangle, 0);
}

TEST(FindABED, EmptyListSetsEveryMeasureToZero) {
    tradiilist l;
    l.a = l.b = l.ed = l.edangle = l.upper = l.lower = l.nasal = l.temporal = 7;
    l.mina = l.maxa = l.minb = l.maxb = l.maxradius = l.longestradius = l.longestradiusangle = 7;
    l.maxradiusangle = 7;
    l.findabed();
    for (std::int32_t v : {l.a, l.b, l.ed, l.edangle, l.upper, l.lower, l.nasal, l.temporal, l.mina, l.maxa, l.minb,
                           l.maxb, l.maxradius, l.longestradius, l.longestradiusangle}) {
        EXPECT_EQ(v, 0);
    }
    EXPECT_EQ(l.maxradiusangle, 0);
}

TEST(FindABED, SinglePointAndOddCountReadNothingBeyondTheList) {
    tradiilist one = points({{45, 2000}});
    one.findabed();
    EXPECT_EQ(one.ed, 0);  // no opposite point
    EXPECT_EQ(one.maxradius, 2000);
    EXPECT_EQ(one.a, 1414);

    tradiilist odd = circle(5, 2000);
    odd.findabed();
    EXPECT_EQ(odd.ed, 4000);  // pairs (0, 2) and (1, 3)
}

TEST(FindABED, WideCoordinatesAreNotCutToTheElementWidth) {
    // x = -99999 does not fit the five characters of an element's radius
    // field; the measures still see the whole value.
    tradiilist l = points({{0, 2000}, {90, 2000}, {180, 99999}, {270, 2000}});
    l.findabed();
    EXPECT_EQ(l.mina, -99999);
    EXPECT_EQ(l.temporal, 99999);
    EXPECT_EQ(l.a, 101999);
}

// ---- circumference ----

TEST(FindCirc, CircumferenceOfAnalyticShapes) {
    // An inscribed regular polygon of n points has perimeter 2 n r sin(pi/n).
    const struct {
        int n;
        double r;
    } circles[] = {{400, 2500}, {360, 2000}, {1000, 3000}, {3, 1000}, {2, 2000}};
    for (const auto& c : circles) {
        tradiilist l = circle(c.n, c.r);
        l.findcirc();
        EXPECT_EQ(l.fcirc, std::nearbyint(2 * c.n * c.r * std::sin(kPi / c.n))) << c.n << " " << c.r;
        if (c.n >= 360) {
            EXPECT_NEAR(l.fcirc, 2 * kPi * c.r, 2 * kPi * c.r * 1e-4) << c.n;
        }
    }

    tradiilist l400 = circle(400, 2500);
    l400.findcirc();
    EXPECT_EQ(l400.fcirc, 15708);

    // Ellipse against Ramanujan's approximation; square against 8 s.
    tradiilist e = ellipse(360, 3000, 2000);
    e.findcirc();
    const double ram = kPi * (3 * 5000 - std::sqrt((3 * 3000 + 2000) * (3000 + 3 * 2000.0)));
    EXPECT_NEAR(e.fcirc, ram, 3);
    tradiilist s = square(360, 2000);
    s.findcirc();
    EXPECT_NEAR(s.fcirc, 16000, 3);
}

TEST(FindCirc, UsesEqualAnglesNotTheStoredOnes) {
    // Four points bunched in one quadrant measure like a square of radius 1000.
    tradiilist l = points({{0, 1000}, {10, 1000}, {20, 1000}, {30, 1000}});
    l.findcirc();
    EXPECT_EQ(l.fcirc, std::nearbyint(4 * 1000 * std::sqrt(2.0)));
}

TEST(FindCirc, DegenerateLists) {
    tradiilist empty;
    empty.fcirc = 1234;
    empty.findcirc();
    EXPECT_EQ(empty.fcirc, 1234);  // left as it was

    tradiilist one = points({{0, 2500}});
    one.fcirc = 1234;
    one.findcirc();
    EXPECT_EQ(one.fcirc, 0);  // a point has no length

    tradiilist zeros = points({{0, 0}, {90, 0}, {180, 0}});
    zeros.findcirc();
    EXPECT_EQ(zeros.fcirc, 0);
}

TEST(Circ, RecordedCircumferenceWinsUntilTheShapeIsResampled) {
    tradiilist l = circle(400, 2500);
    l.omacirc = 15000;
    l.fcirc = 1;
    EXPECT_EQ(l.circ(), 15000);
    EXPECT_EQ(l.fcirc, 1);  // not computed

    l.convertshape(400);
    EXPECT_EQ(l.omacirc, 0);
    EXPECT_EQ(l.circ(), 15708);
    EXPECT_EQ(l.fcirc, 15708);

    l.omacirc = 15000;
    l.reduceshape(400);
    EXPECT_EQ(l.omacirc, 0);
    EXPECT_EQ(l.circ(), 15708);
}

// ---- mirror image ----

TEST(SwopListAndAngle, EqualAnglesTakeTheRadiusAtTheMirroredAngle) {
    for (const char* fmt : {"1;4;E;R;F", ""}) {
        tradiilist l = points({{0, 1000}, {90, 2000}, {180, 3000}, {270, 4000}}, fmt);
        l.swoplistandangle();
        EXPECT_EQ(anglesof(l), (std::vector<double>{0, 90, 180, 270})) << fmt;
        EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{3000, 2000, 1000, 4000})) << fmt;
    }
    // Each index is mapped inside the list, whatever the count.
    for (int n : {1, 2, 3, 5, 7}) {
        tradiilist l = polarshape(n, [](double t) { return 1000 + t; });
        l.swoplistandangle();
        EXPECT_EQ(l.readcount(), n);
    }
}

TEST(SwopListAndAngle, UnevenPointsMoveToOneEightyMinusTheirAngle) {
    tradiilist l = points({{30, 1000}, {200, 2000}, {0, 3000}, {180, 4000}}, "1;4;U;R;F");
    l.swoplistandangle();
    EXPECT_EQ(anglesof(l), (std::vector<double>{0, 150, 180, 340}));
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{4000, 1000, 3000, 2000}));
}

TEST(SwopListAndAngle, MirroringTwiceGivesTheShapeBack) {
    tradiilist l = shiftedcircle(360, 2000, 500);
    const auto before = radiiof(l);
    l.swoplistandangle();
    EXPECT_NE(radiiof(l), before);
    l.swoplistandangle();
    EXPECT_EQ(radiiof(l), before);
}

TEST(MirrorShape, SwapsTheEyeLetterOfTheFormat) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"1;400;E;R;F", "1;400;E;L;F"}, {"1;400;E;L;F", "1;400;E;R;F"}, {"1;400;E;R", "1;400;E;L"},
        {"3;360;E;L", "3;360;E;R"},     {"1;400;E;B;F", "1;400;E;B;F"}, {"", ""},
    };
    for (const auto& c : cases) {
        tradiilist source = circle(4, 2000);
        source.trcfmtstr = c.in;
        tradiilist mirror;
        mirror.mirrorshape(source);
        EXPECT_EQ(mirror.trcfmtstr, c.out) << c.in;
        EXPECT_EQ(source.trcfmtstr, c.in);
    }
}

TEST(MirrorShape, AsymmetricShapeSwapsSidesAndKeepsTheSourceMeasures) {
    tradiilist source = shiftedcircle(360, 2000, 500);
    source.trcfmtstr = "1;360;E;R;F";
    source.findabed();
    source.omacirc = 12345;
    source.dbl = 1800;
    source.drawdrilllist.add("DRILL=R;1;2;3");
    ASSERT_EQ(source.nasal, 2500);

    tradiilist mirror;
    mirror.mirrorshape(source);
    EXPECT_EQ(mirror.readcount(), 360);
    EXPECT_EQ(mirror.trcfmtstr, "1;360;E;L;F");
    // Measures are the source's until findabed runs on the mirror.
    EXPECT_EQ(mirror.nasal, 2500);
    EXPECT_EQ(mirror.temporal, 1500);
    EXPECT_EQ(mirror.omacirc, 12345);
    EXPECT_EQ(mirror.fcirc, source.fcirc);
    EXPECT_EQ(mirror.dbl, 1800);
    EXPECT_EQ(mirror.drawdrilllist.count(), 1);

    mirror.findabed();
    EXPECT_EQ(mirror.nasal, 1500);
    EXPECT_EQ(mirror.temporal, 2500);
    EXPECT_EQ(mirror.a, source.a);
    EXPECT_EQ(mirror.b, source.b);
    EXPECT_EQ(mirror.extractradiuselement(180), source.extractradiuselement(0));
}

TEST(MirrorShape, FollowsTheSourceSpacingNotAFormatTheTargetHeldBefore) {
    tradiilist source = points({{30, 1000}, {200, 2000}}, "1;2;U;R;F");
    tradiilist mirror;
    mirror.trcfmtstr = "1;400;E;R;F";  // left over from an earlier trace
    mirror.mirrorshape(source);
    EXPECT_EQ(mirror.trcfmtstr, "1;2;U;L;F");
    EXPECT_EQ(anglesof(mirror), (std::vector<double>{150, 340}));
    EXPECT_EQ(radiiof(mirror), (std::vector<std::int32_t>{1000, 2000}));
}

TEST(MirrorShape, OfItselfAndOfNothing) {
    tradiilist l = points({{0, 1000}, {90, 2000}, {180, 3000}, {270, 4000}}, "1;4;E;R;F");
    l.mirrorshape(l);
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{3000, 2000, 1000, 4000}));
    EXPECT_EQ(l.trcfmtstr, "1;4;E;L;F");

    l.mirrorshape(nullptr);
    EXPECT_EQ(l.readcount(), 4);
}

// ---- copy ----

TEST(CopyRadii, CopiesPointsAndStoredMeasuresOnly) {
    tradiilist source = points({{180, 3000}, {0, 1000}, {90, 2000}}, "1;3;U;R;F");
    source.dbl = 1, source.a = 2, source.b = 3, source.upper = 4, source.lower = 5;
    source.nasal = 6, source.temporal = 7, source.fcirc = 8, source.omacirc = 9;
    source.fixstart = 10, source.fixend = 11;
    source.ed = 12, source.edangle = 13, source.mina = 14, source.maxradius = 15;
    source.drawdrilllist.add("DRILL=R;1");

    tradiilist copy;
    copy.copyradii(source);
    EXPECT_EQ(anglesof(copy), (std::vector<double>{0, 90, 180}));  // sorted
    EXPECT_EQ(copy.xlist.count(), 3);
    EXPECT_EQ(copy.trcfmtstr, "1;3;U;R;F");
    EXPECT_EQ(copy.dbl, 1);
    EXPECT_EQ(copy.a, 2);
    EXPECT_EQ(copy.b, 3);
    EXPECT_EQ(copy.upper, 4);
    EXPECT_EQ(copy.lower, 5);
    EXPECT_EQ(copy.nasal, 6);
    EXPECT_EQ(copy.temporal, 7);
    EXPECT_EQ(copy.fcirc, 8);
    EXPECT_EQ(copy.omacirc, 9);
    EXPECT_EQ(copy.fixstart, 10);
    EXPECT_EQ(copy.fixend, 11);
    EXPECT_EQ(copy.drawdrilllist.count(), 1);
    EXPECT_EQ(copy.ed, 0);
    EXPECT_EQ(copy.edangle, 0);
    EXPECT_EQ(copy.mina, 0);
    EXPECT_EQ(copy.maxradius, 0);
    EXPECT_EQ(source.readcount(), 3);

    tradiilist keeps;
    keeps.trcfmtstr = "1;400;E;L;F";
    keeps.copyradii(source);
    EXPECT_EQ(keeps.trcfmtstr, "1;400;E;L;F");
}

TEST(CopyRadii, ReplacesEarlierPointsAndSurvivesSelfCopyAndNull) {
    tradiilist target = circle(10, 2000);
    tradiilist source = circle(4, 1500);
    target.copyradii(source);
    EXPECT_EQ(radiiof(target), (std::vector<std::int32_t>{1500, 1500, 1500, 1500}));

    target.copyradii(target);
    EXPECT_EQ(target.readcount(), 4);
    target.copyradii(nullptr);
    EXPECT_EQ(target.readcount(), 4);
}

TEST(Load, TakesASortedCopyOfAnElementList) {
    tstringlist t;
    for (double a : {270.0, 0.0, 90.0}) t.add(tradiilist::combineangleradius(a, 2000));
    tradiilist l = circle(8, 1000);
    l.load(t);
    EXPECT_EQ(anglesof(l), (std::vector<double>{0, 90, 270}));
    EXPECT_EQ(l.ylist.count(), 3);
    EXPECT_EQ(tradiilist::extractangle(t[0]), 270);  // the source is untouched

    l.load(nullptr);
    EXPECT_EQ(l.readcount(), 3);
    l.load(l.radiilist);
    EXPECT_EQ(l.readcount(), 3);
}

// ---- resampling ----

TEST(ConvertShape, ResamplingToTheSameCountReproducesTheRadii) {
    tradiilist l = ellipse(360, 3000, 2000);
    const auto before = radiiof(l);
    l.convertshape(360);
    EXPECT_EQ(radiiof(l), before);
    EXPECT_EQ(l.a, 6000);  // the box is recomputed
    EXPECT_EQ(l.b, 4000);
}

TEST(ConvertShape, ResamplesToEqualStepsFromZero) {
    const int counts[] = {400, 128, 1024, 90, 1};
    for (int n : counts) {
        tradiilist l = ellipse(1000, 3000, 2000);
        l.convertshape(n);
        ASSERT_EQ(l.readcount(), n);
        for (int k = 0; k < n; ++k) {
            const double t = k * 360.0 / n;
            ASSERT_NEAR(l.extractangleelement(k), t, 0.00051) << n << " " << k;
            const double expected = 3000.0 * 2000.0 / std::hypot(2000 * std::cos(rad(t)), 3000 * std::sin(rad(t)));
            ASSERT_NEAR(l.extractradiuselement(k), expected, 3) << n << " " << k;
        }
    }
}

TEST(ConvertShape, InterpolatesAcrossZeroWhenTheFirstPointLiesAboveIt) {
    tradiilist l = points({{10, 1000}, {100, 2000}, {190, 3000}, {280, 4000}});
    l.convertshape(4);
    EXPECT_EQ(anglesof(l), (std::vector<double>{0, 90, 180, 270}));
    // Between 280 (4000) and 10 (1000): 80 of 90 degrees on.
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{1333, 1889, 2889, 3889}));
}

TEST(ConvertShape, OnePointOrEqualAnglesGiveThatRadius) {
    tradiilist one = points({{45, 2200}});
    one.convertshape(8);
    EXPECT_EQ(radiiof(one), std::vector<std::int32_t>(8, 2200));

    tradiilist twin = points({{45, 2200}, {45, 2300}});
    twin.convertshape(4);
    EXPECT_EQ(twin.readcount(), 4);
}

TEST(ConvertShape, RefusesTargetCountsWithoutAShape) {
    for (int n : {0, -1, maxresamplepoints + 1, INT32_MAX}) {
        tradiilist l = circle(8, 2000);
        l.omacirc = 15000;
        l.convertshape(n);
        EXPECT_EQ(l.readcount(), 8) << n;
        EXPECT_EQ(l.omacirc, 15000) << n;
    }
    tradiilist empty;
    empty.omacirc = 15000;
    empty.convertshape(400);
    EXPECT_EQ(empty.readcount(), 0);
    EXPECT_EQ(empty.omacirc, 15000);
}

TEST(ConvertShape, StraightLineModeFollowsTheChord) {
    // Four points of a circle: between them the chord cuts the corner.
    tradiilist l = circle(4, 1000);
    l.convertshape(8, true);
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{1000, 707, 1000, 707, 1000, 707, 1000, 707}));

    // Without it a conversion interpolates by angle.
    tradiilist m = circle(4, 1000);
    m.convertshape(8);
    EXPECT_EQ(radiiof(m), std::vector<std::int32_t>(8, 1000));

    // The midway switch stays on and takes the chord too.
    shapconvmidway = true;
    tradiilist k = circle(4, 1000);
    k.convertshape(8);
    tradiilist k2 = circle(4, 1000);
    k2.convertshape(8);
    shapconvmidway = false;
    EXPECT_EQ(k.extractradiuselement(1), 707);
    EXPECT_EQ(k2.extractradiuselement(1), 707);
}

TEST(ReduceShape, KeepsTheLargestPointOfEachSectorAtItsOwnAngle) {
    // 16 points at 22.5 degree steps into 4 sectors; the point at 90 starts
    // sector 1.
    const std::int32_t radii[16] = {1000, 1300, 1100, 1200, 2000, 2100, 2400, 2300,
                                    3400, 3000, 3100, 3200, 4000, 4000, 4100, 4200};
    tradiilist l = polarshape(16, [&radii](double t) { return radii[static_cast<int>(t / 22.5)]; });
    l.omacirc = 9999;
    l.reduceshape(4);
    EXPECT_EQ(anglesof(l), (std::vector<double>{22.5, 135, 180, 337.5}));
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{1300, 2400, 3400, 4200}));
    EXPECT_EQ(l.omacirc, 0);
    EXPECT_NE(l.a, 0);
}

TEST(ReduceShape, OneEntryPerSectorEvenAfterEmptySectors) {
    // Nothing in the first three of eight sectors, then a run of points in
    // sector 3 and one in sector 4.
    tradiilist l = points({{136, 1000}, {140, 1500}, {150, 1200}, {160, 1100}, {170, 1400}, {180, 900}});
    l.reduceshape(8);
    EXPECT_EQ(anglesof(l), (std::vector<double>{140, 180}));
    EXPECT_EQ(radiiof(l), (std::vector<std::int32_t>{1500, 900}));
}

TEST(ReduceShape, RefusesTargetCountsBelowOne) {
    for (int n : {0, -4}) {
        tradiilist l = circle(8, 2000);
        l.reduceshape(n);
        EXPECT_EQ(l.readcount(), 8) << n;
    }
}

TEST(ReduceShape, AfterFourfoldResamplingGivesAnEvenTrace) {
    // Resampling at four times the density, then one point per sector.
    tradiilist l = shiftedcircle(500, 2000, 300);
    l.convertshape(4 * 360);
    l.reduceshape(360);
    ASSERT_EQ(l.readcount(), 360);
    for (int i = 0; i < 360; ++i) {
        ASSERT_GE(l.extractangleelement(i), i);
        ASSERT_LT(l.extractangleelement(i), i + 1);
    }
}

// ---- damaged point lists ----

// Elements a damaged or hand-made list can hold: unreadable text, angles
// outside 0..360, extreme radii, duplicates.
tstringlist damagedelements() {
    tstringlist t;
    for (const char* e : {"garbage", "", "360.000 3000", "-10.000 2000", "  5.000-9999", "    nan    1",
                          "9999999 99999", "  5.000-9999", "180.000   0", " 90.000 2500"}) {
        t.add(e);
    }
    return t;
}

TEST(DamagedPoints, EveryOperationStaysInsideTheList) {
    const tstringlist t = damagedelements();
    tradiilist l;
    l.load(t);
    ASSERT_EQ(l.readcount(), t.count());
    l.findabed();
    l.findcirc();
    EXPECT_GE(l.fcirc, 0);

    // Resampled radii lie between the smallest and largest source radius.
    for (int n : {1, 7, 400}) {
        tradiilist c;
        c.load(t);
        const auto source = radiiof(c);
        const auto [lo, hi] = std::minmax_element(source.begin(), source.end());
        c.convertshape(n);
        ASSERT_EQ(c.readcount(), n);
        for (std::int32_t r : radiiof(c)) {
            EXPECT_GE(r, *lo) << n;
            EXPECT_LE(r, *hi) << n;
        }
        tradiilist d;
        d.load(t);
        d.reduceshape(n);
        EXPECT_GE(d.readcount(), 1);
        EXPECT_LE(d.readcount(), n);
    }

    // Mirrored stray angles land inside 0..360.
    tradiilist u;
    u.trcfmtstr = "1;10;U;R;F";
    u.load(t);
    u.swoplistandangle();
    for (double a : anglesof(u)) {
        EXPECT_GE(a, 0);
        EXPECT_LT(a, 360);
    }
    tradiilist e;
    e.load(t);
    e.swoplistandangle();
    EXPECT_EQ(e.readcount(), t.count());
}

// ---- real files ----

// The value for one eye of a record such as HBOX=51.00;51.00, in hundredths;
// 0 when the file has no such record.
std::int32_t recorded(const tstringlist& records, const std::string& tag, char eye) {
    tstringlist f;
    delimitedstrtolist(records.value(tag), f, ';');
    return xstrtoint2(f[eye == 'L' && f.count() > 1 ? 1 : 0]);
}

struct realtrace {
    std::string name;
    tomafileobj document;
    tradiilist right, left;
};

// Every real sample file with a right and a left outline.
std::vector<std::unique_ptr<realtrace>> realtraces() {
    std::vector<std::unique_ptr<realtrace>> all;
    const auto dir = testing::real_samples_dir();
    if (dir.empty()) return all;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        auto t = std::make_unique<realtrace>();
        t->name = entry.path().filename().string();
        tradiilist shown;
        if (!t->document.readomafile(entry.path()) || !t->document.omastrtolist()) continue;
        if (!shown.extractradiilistfromomalist2(t->document.omalist, &t->right, &t->left, true)) continue;
        if (t->right.readcount() < 100 || t->left.readcount() < 100) continue;
        all.push_back(std::move(t));
    }
    return all;
}

TEST(RealSamples, BoxAndCircumferenceAgreeWithTheRecordedOnes) {
    if (testing::real_samples_dir().empty()) GTEST_SKIP() << "no real samples";
    const auto traces = realtraces();
    ASSERT_FALSE(traces.empty());
    int compared = 0;
    for (const auto& t : traces) {
        for (auto [eye, list] : {std::pair{'R', &t->right}, std::pair{'L', &t->left}}) {
            SCOPED_TRACE(t->name + " " + eye);
            list->findabed();
            EXPECT_EQ(list->a, list->nasal + list->temporal);
            EXPECT_EQ(list->b, list->upper + list->lower);
            EXPECT_GT(list->ed, 0);
            if (const std::int32_t hbox = recorded(t->document.omalist, "HBOX", eye)) {
                EXPECT_NEAR(list->a, hbox, 5);
            }
            if (const std::int32_t vbox = recorded(t->document.omalist, "VBOX", eye)) {
                EXPECT_NEAR(list->b, vbox, 5);
            }
            if (const std::int32_t circ = recorded(t->document.omalist, "CIRC", eye)) {
                list->findcirc();
                EXPECT_NEAR(list->fcirc, circ, circ * 0.002);
                ++compared;
            }
            // Resampling to four times the points and back keeps the outline.
            list->omacirc = 0;
            const std::int32_t before = list->circ();
            const int n = list->readcount();
            list->convertshape(4 * n);
            list->reduceshape(n);
            EXPECT_EQ(list->readcount(), n);
            EXPECT_NEAR(list->circ(), before, before * 0.005);
        }
    }
    EXPECT_GT(compared, 0);
}

TEST(RealSamples, MirrorOfTheRightTraceIsTheLeftOne) {
    // The real jobs trace one eye and mirror it for the other.
    if (testing::real_samples_dir().empty()) GTEST_SKIP() << "no real samples";
    const auto traces = realtraces();
    ASSERT_FALSE(traces.empty());
    for (const auto& t : traces) {
        SCOPED_TRACE(t->name);
        tradiilist mirror;
        mirror.mirrorshape(t->right);
        ASSERT_EQ(mirror.readcount(), t->left.readcount());
        for (int i = 0; i < mirror.readcount(); ++i) {
            ASSERT_NEAR(mirror.extractradiuselement(i), t->left.extractradiuselement(i), 1) << i;
        }
        EXPECT_EQ(mirror.trcfmtstr, t->left.trcfmtstr);
        mirror.findabed();
        t->right.findabed();
        EXPECT_EQ(mirror.nasal, t->right.temporal);
        EXPECT_EQ(mirror.temporal, t->right.nasal);
        EXPECT_EQ(mirror.b, t->right.b);
    }
}

}  // namespace
}  // namespace kestrune
