#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "kestrune/shape/blanksize.hpp"
#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "shapefixtures.hpp"

namespace kestrune {
namespace {

using namespace testshapes;

TEST(CalcAng, DirectionOfAWholeNumberPoint) {
    const struct {
        std::int32_t x, y;
        double expected;
    } cases[] = {
        {0, 0, 90},          {1, 0, 0},
        {0, 1, 90},          {-1, 0, 180},
        {0, -1, 270},        {-1, 1, 135},
        {1, -1, 315},        {-1, -1, 225},
        {1, 1, 45},          {3000, 4000, 53.13010235415598},
        {INT32_MIN, 0, 180}, {INT32_MAX, -1, 360 - std::atan(1.0 / INT32_MAX) * 180 / std::numbers::pi},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(CalcAng(c.x, c.y), c.expected, 1e-9) << c.x << "," << c.y;
        EXPECT_LT(CalcAng(c.x, c.y), 360.0);
    }
}

// ---- smallest blank ----

TEST(CalcMsu, SmallestBlankDiameterForADecentration) {
    const struct {
        std::int32_t allow, hdec, vdec, expected;
    } cases[] = {
        {0, 0, 0, 5000},                                                 // a centred circle of 25 mm
        {0, 300, 0, 5600},                                               // the blank centre 3 mm to the nasal side
        {0, -300, 0, 5600},  {0, 0, 300, 5600},  {0, -300, -400, 6000},  // 5 mm away diagonally
        {100, 0, 0, 5200},                                               // a 1 mm allowance all round
        {100, 300, 0, 5800}, {-100, 0, 0, 4800},
    };
    // 128 points, as a blank outline has: each point's coordinates, rounded,
    // lie within 25.00 mm of the centre. (On a denser circle some rounded
    // points lie 25.01 mm out and the diameter reads 50.02 mm.)
    const tradiilist l = circle(128, 2500);
    for (const auto& c : cases) {
        EXPECT_EQ(l.calcmsu(c.allow, c.hdec, c.vdec), c.expected) << c.allow << " " << c.hdec << "," << c.vdec;
    }
    EXPECT_NEAR(circle(400, 2500).calcmsu(0, 0, 0), 5000, 2);
}

TEST(CalcMsu, EllipseAndEmptyList) {
    const tradiilist e = ellipse(400, 2500, 1500);
    EXPECT_EQ(e.calcmsu(0, 0, 0), 5000);
    // With the blank centre moved up by v, the farthest point of the
    // ellipse x = 2500 cos t, y = 1500 sin t lies where sin t = -3v / 8000:
    // 27.95 mm away for v = 10 mm, 35.36 mm for v = 20 mm.
    EXPECT_NEAR(e.calcmsu(0, 0, 1000), 5590, 4);
    EXPECT_NEAR(e.calcmsu(0, 0, 2000), 7071, 4);
    EXPECT_EQ(tradiilist().calcmsu(100, 300, 300), 0);
}

TEST(CalcMsu, HostileArgumentsStayInRange) {
    const tradiilist l = circle(40, 2500);
    EXPECT_EQ(l.calcmsu(INT32_MAX, INT32_MIN, INT32_MIN), INT32_MAX);
    EXPECT_EQ(l.calcmsu(0, INT32_MAX, INT32_MAX), INT32_MAX);
    EXPECT_GE(l.calcmsu(INT32_MIN, 0, 0), 0);
}

// ---- outline of a blank ----

TEST(CalcUncutDiaShape, BlankOutlineAsAShape) {
    const struct {
        const char* name;
        std::int32_t basedia, allowance, hfitt, vfitt;
        std::int32_t a, b, mina, minb;
    } cases[] = {
        {"65 mm", 65, 0, 0, 0, 6500, 6500, -3250, -3250},
        {"6500 hundredths", 6500, 0, 0, 0, 6500, 6500, -3250, -3250},
        {"70 mm less 2.5 mm", 70, 250, 0, 0, 6500, 6500, -3250, -3250},
        {"seen from 5 mm nasal", 65, 0, 500, 0, 6500, 6500, -3750, -3250},
        {"seen from 4 mm up", 70, 500, 0, 400, 6000, 6000, -3000, -3400},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l;
        l.calcuncutdiashape(c.basedia, c.allowance, c.hfitt, c.vfitt);
        ASSERT_EQ(l.readcount(), 128);
        EXPECT_NEAR(l.extractangleelement(1), 2.8125, 0.001);
        EXPECT_NEAR(l.a, c.a, 2);
        EXPECT_NEAR(l.b, c.b, 2);
        EXPECT_NEAR(l.mina, c.mina, 2);
        EXPECT_NEAR(l.minb, c.minb, 2);
        // The blank that holds the outline, centred where it was, is the blank.
        EXPECT_NEAR(l.calcmsu(0, -c.hfitt, -c.vfitt), c.a, 4);
    }
}

TEST(CalcUncutDiaShape, CentredBlankHasOneRadius) {
    tradiilist l;
    l.calcuncutdiashape(65, 0, 0, 0);
    ASSERT_EQ(l.readcount(), 128);
    for (const std::int32_t r : radiiof(l)) EXPECT_EQ(r, 3250);
}

// ---- box-like shapes ----

TEST(MakeABed, RectangleWithCornersCutByACircle) {
    const struct {
        const char* name;
        std::int32_t a, b, ed, npoints;
        std::int32_t boxa, boxb, maxradius;
        std::int32_t tolerance;  // on the box, from resampling
    } cases[] = {
        {"corner radius 25 mm", 2500, 1500, 2500, 400, 5000, 3000, 2500, 2},
        {"corner radius below the half width", 2500, 1500, 2000, 400, 5000, 3000, 2500, 2},
        {"corner radius 28 mm", 2500, 1500, 2800, 400, 5000, 3000, 2800, 2},
        {"square corners", 2500, 1500, 5000, 400, 5000, 3000, 2915, 2},
        {"128 points", 2950, 2000, 3050, 128, 5900, 4000, 3050, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l;
        l.makeabed(c.a, c.b, c.ed, 0, c.npoints);
        ASSERT_EQ(l.readcount(), c.npoints);
        EXPECT_NEAR(l.extractangleelement(1), 360.0 / c.npoints, 0.001);
        // Resampling puts points between those of the outline, where a radius
        // interpolated along a straight edge lies a little outside it.
        EXPECT_NEAR(l.a, c.boxa, c.tolerance);
        EXPECT_NEAR(l.b, c.boxb, c.tolerance);
        EXPECT_LE(l.maxradius, c.maxradius + 1);
        EXPECT_GE(l.maxradius, c.maxradius - 20);
        const measured m = measure(l);
        EXPECT_EQ(m.nasal, m.temporal);
        EXPECT_EQ(m.upper, m.lower);
    }
}

TEST(MakeABed, BridgeHasNoEffectAndPointCountLimits) {
    tradiilist one, other;
    one.makeabed(2500, 1500, 2600, 0, 200);
    other.makeabed(2500, 1500, 2600, 1800, 200);
    EXPECT_EQ(one.radiilist.items(), other.radiilist.items());

    tradiilist none = circle(40, 2500);
    none.makeabed(2500, 1500, 2600, 0, 0);
    EXPECT_EQ(none.readcount(), 0);
    EXPECT_EQ(none.xlist.count(), 0);

    // A count that could never be stored distinctly is refused, not
    // allocated.
    tradiilist refused = circle(40, 2500);
    const auto elements = refused.radiilist.items();
    refused.makeabed(2500, 1500, 2600, 0, INT32_MAX);
    EXPECT_EQ(refused.radiilist.items(), elements);

    tradiilist negative;
    negative.makeabed(-2500, -1500, 0, 0, 64);
    EXPECT_EQ(negative.readcount(), 64);
}

// ---- standard shape for a blank ----

TEST(CalcUncutDiaShapeV2, ChoosesAnEyeSizeForTheBlank) {
    const struct {
        const char* name;
        std::int32_t basedia, allowance, vfitt;
        std::int32_t pd, ht;
        std::int32_t halfa, halfb, ed;  // the shape built
    } cases[] = {
        // Eye sizes 53, 55 and 57 are passed; it ends at 59 with depth 40 and
        // 6.5 mm of decentration.
        {"70 mm", 70, 0, 0, 3300, 2000, 2950, 2000, 3050},
        {"70 mm, 3 mm allowance", 70, 300, 0, 3200, 1950, 2900, 1950, 3000},
        {"65 mm, four passes", 65, 0, 0, 3250, 1900, 2800, 1900, 2900},
        {"65 mm, height above the centre", 65, 0, 200, 3250, 2100, 2800, 1900, 2900},
        {"65 mm, height below is ignored", 65, 0, -200, 3250, 1900, 2800, 1900, 2900},
        {"50 mm, decentration under 5 mm at once", 50, 0, 0, 2800, 1500, 2150, 1500, 2250},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l;
        std::int32_t pd = -1, ht = -1, htdir = -1, dbl = -1;
        l.calcuncutdiashapev2(c.basedia, c.allowance, 12345, c.vfitt, pd, ht, htdir, dbl);
        EXPECT_EQ(pd, c.pd);
        EXPECT_EQ(ht, c.ht);
        EXPECT_EQ(htdir, 3);
        EXPECT_EQ(dbl, 15);
        tradiilist expected;
        expected.makeabed(c.halfa, c.halfb, c.ed, 750, 128);
        EXPECT_EQ(l.radiilist.items(), expected.radiilist.items());
    }
}

TEST(CalcUncutDiaShapeV2, HostileSizesDoNotOverflow) {
    tradiilist l;
    std::int32_t pd = 0, ht = 0, htdir = 0, dbl = 0;
    l.calcuncutdiashapev2(INT32_MAX, INT32_MIN, 0, INT32_MAX, pd, ht, htdir, dbl);
    EXPECT_EQ(htdir, 3);
    l.calcuncutdiashapev2(INT32_MIN, INT32_MAX, 0, 0, pd, ht, htdir, dbl);
    EXPECT_EQ(dbl, 15);
}

}  // namespace
}  // namespace kestrune
