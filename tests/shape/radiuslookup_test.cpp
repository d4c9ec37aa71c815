#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "kestrune/trace/radiilist.hpp"
#include "shapefixtures.hpp"

namespace kestrune {
namespace {

using namespace testshapes;

// 400 points 0.9 degrees apart whose first radii grow with the square of the
// index (2000, 2010, 2040, 2090, ...), so that a line through the wrong pair
// of points gives a different radius.
tradiilist curved400() {
    tradiilist l;
    for (int i = 0; i < 400; ++i) l.addradiilist(i * 0.9, i <= 10 ? 2000 + 10 * i * i : 3000);
    return l;
}

// n points at the given angles with the given radii.
tradiilist pointsat(const std::vector<double>& angles, const std::vector<std::int32_t>& radii) {
    tradiilist l;
    for (std::size_t i = 0; i < angles.size(); ++i) l.addradiilist(angles[i], radii[i]);
    return l;
}

TEST(FindRadiusForAngle, FewerThanTenPointsGiveNoRadius) {
    const tradiilist nine = circle(9, 2500);
    const tradiilist none;
    for (const double angle : {0.0, 40.0, 90.0, 359.0, 360.0, -5.0}) {
        EXPECT_EQ(nine.findradiusforangle(angle), 0) << angle;
        EXPECT_EQ(none.findradiusforangle(angle), 0) << angle;
    }
    EXPECT_EQ(circle(10, 2500).findradiusforangle(17), 2500);
}

TEST(FindRadiusForAngle, EvenlySpacedTraceOf400Points) {
    const tradiilist l = curved400();
    const struct {
        double angle;
        std::int32_t expected;
        const char* why;
    } cases[] = {
        {0, 2000, "point 0"},
        {0.9, 2010, "point 1, not interpolated"},
        {1.0, 2010, "within 0.1 of point 1: its radius as it stands"},
        {1.2, 2020, "a third of the way from point 1 to point 2"},
        {1.6, 2029, "the line through points 2 and 3, extended back to 1.6"},
        {2.7, 2090, "point 3"},
        {3.1, 2121, "between points 3 and 4"},
    };
    for (const auto& c : cases) EXPECT_EQ(l.findradiusforangle(c.angle), c.expected) << c.angle << ": " << c.why;
}

TEST(FindRadiusForAngle, TraceOfOnePointPerDegree) {
    std::vector<double> angles;
    std::vector<std::int32_t> radii;
    for (int i = 0; i < 360; ++i) {
        angles.push_back(i);
        radii.push_back(2000 + i);
    }
    const tradiilist l = pointsat(angles, radii);
    EXPECT_EQ(l.findradiusforangle(360), 2000);
    EXPECT_EQ(l.findradiusforangle(0), 2000);
    EXPECT_EQ(l.findradiusforangle(45), 2045);
    EXPECT_EQ(l.findradiusforangle(359), 2359);
    // Between the last point and the first a full turn on.
    EXPECT_EQ(l.findradiusforangle(359.6), 2144);
}

TEST(FindRadiusForAngle, HalfDegreeTraceFindsNoRadiusOutsideTheList) {
    // 360 points at 0.5, 1.5, ... 359.5: at 0 the whole-degree neighbours to
    // look at are 359.5, 0.5 and 1.5, none of them 0, so the radius comes
    // from the line through the first two points.
    std::vector<double> angles;
    std::vector<std::int32_t> radii;
    for (int i = 0; i < 360; ++i) {
        angles.push_back(i + 0.5);
        radii.push_back(2000 + 2 * i);
    }
    const tradiilist l = pointsat(angles, radii);
    EXPECT_EQ(l.findradiusforangle(0), 1999);
    EXPECT_EQ(l.findradiusforangle(100.5), 2200);
}

TEST(FindRadiusForAngle, InterpolatesAcrossZeroTowardTheFirstPoint) {
    // Between the last point and 360 the outline runs on to the first point
    // a full turn later.
    const tradiilist ten = pointsat({0, 36, 72, 108, 144, 180, 216, 252, 288, 324},
                                    {2000, 2500, 2500, 2500, 2500, 2500, 2500, 2500, 2500, 3000});
    const tradiilist gap = pointsat({0, 30, 60, 90, 120, 150, 180, 210, 240, 270, 300},
                                    {2000, 2500, 2500, 2500, 2500, 2500, 2500, 2500, 2500, 2500, 3000});
    const struct {
        const tradiilist* l;
        double angle;
        std::int32_t expected;
    } cases[] = {
        {&ten, 324, 3000}, {&ten, 333, 2750}, {&ten, 342, 2500}, {&ten, 351, 2250}, {&ten, 360, 2000},
        {&ten, 0, 2000},   {&gap, 300, 3000}, {&gap, 315, 2750}, {&gap, 330, 2500}, {&gap, 359.5, 2008},
    };
    for (const auto& c : cases) EXPECT_EQ(c.l->findradiusforangle(c.angle), c.expected) << c.angle;
}

TEST(FindRadiusForAngle, AnglesBeyondAFullTurnAndNonFiniteAngles) {
    const tradiilist l = curved400();
    EXPECT_EQ(l.findradiusforangle(-10), l.findradiusforangle(350));
    EXPECT_EQ(l.findradiusforangle(360.9), l.findradiusforangle(0.9));
    EXPECT_EQ(l.findradiusforangle(721.2), l.findradiusforangle(1.2));
    EXPECT_EQ(l.findradiusforangle(-358.4), l.findradiusforangle(1.6));
    EXPECT_EQ(l.findradiusforangle(1e300), l.findradiusforangle(std::fmod(1e300, 360.0)));
    EXPECT_EQ(l.findradiusforangle(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(l.findradiusforangle(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(l.findradiusforangle(-std::numeric_limits<double>::infinity()), 0);
}

TEST(FindRadiusForAngle, StrayAngleTextDoesNotLeaveTheList) {
    // A point whose angle text is far off the circle comes first; the scan
    // must still start from it.
    tradiilist l = circle(12, 2500);
    l.radiilist.insert(0, "9999999 2100");
    EXPECT_EQ(l.findradiusforangle(45), 2500);
    EXPECT_EQ(l.findradiusforangle(359), 2500);
}

// ---- nearest point ----

TEST(FindNearest, DistanceToTheNearestPointOfTheOutline) {
    tradiilist l = circle(400, 2500);
    l.makexylists();
    const struct {
        std::int32_t x, y, expected;
    } cases[] = {
        {0, 0, 2500},
        {2600, 0, 100},
        {2500, 0, 0},
        {0, -2400, 100},
        {1768, 1768, 0},
        {-2500, 39, 0},
        {INT32_MAX, INT32_MAX, 999999},
        {INT32_MIN, 0, 999999},
    };
    // The coordinates are rounded, so a point of the circle can lie 0.01 mm
    // inside it.
    for (const auto& c : cases) {
        EXPECT_NEAR(l.findnearest(0, c.x, c.y), c.expected, 1) << c.x << "," << c.y;
        EXPECT_EQ(l.findnearest(123.4, c.x, c.y), l.findnearest(0, c.x, c.y)) << "the angle is not used";
    }
}

TEST(FindNearest, EmptyOrUnevenCoordinateLists) {
    tradiilist l;
    EXPECT_EQ(l.findnearest(0, 0, 0), 999999);
    l.xlist.add(tradiilist::combineangleradius(0, 100));
    l.xlist.add(tradiilist::combineangleradius(0, 0));
    l.ylist.add(tradiilist::combineangleradius(0, 100));
    // Only the first entry has both coordinates.
    EXPECT_EQ(l.findnearest(0, 0, 0), 141);
}

// ---- drill position ----

TEST(FindDrillXY, PositionInsideTheEdge) {
    const tradiilist c = circle(400, 2500);
    const tradiilist e = ellipse(400, 2500, 1500);
    const struct {
        const tradiilist* l;
        std::int32_t angle, x, y;
    } cases[] = {
        {&c, 0, 2350, 0},   {&c, 90, 0, 2350},   {&c, 180, -2350, 0}, {&c, 270, 0, -2350}, {&c, 45, 1662, 1662},
        {&c, 360, 2350, 0}, {&c, -90, 0, -2350}, {&e, 0, 2350, 0},    {&e, 90, 0, 1350},   {&e, 180, -2350, 0},
    };
    for (const auto& k : cases) {
        std::int32_t x = 77, y = 77;
        k.l->finddrillxy(k.angle, x, y);
        EXPECT_EQ(x, k.x) << k.angle;
        EXPECT_EQ(y, k.y) << k.angle;
    }
}

TEST(FindDrillXY, TooFewPointsGiveTheCentre) {
    for (const int n : {0, 1, 9}) {
        const tradiilist l = circle(n, 2500);
        std::int32_t x = 77, y = 77;
        l.finddrillxy(30, x, y);
        EXPECT_EQ(x, 0) << n;
        EXPECT_EQ(y, 0) << n;
    }
}

}  // namespace
}  // namespace kestrune
