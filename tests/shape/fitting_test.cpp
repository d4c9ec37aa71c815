#include <gtest/gtest.h>

#include <cstdint>

#include "kestrune/shape/fitting.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "shapefixtures.hpp"

namespace kestrune {
namespace {

using namespace testshapes;

TEST(Transpose, CylinderIntoTheFormAskedFor) {
    const struct {
        std::int32_t s, c, a;
        char form;
        std::int32_t ts, tc, ta;
    } cases[] = {
        {200, 100, 120, '-', 300, -100, 30},
        {200, 100, 120, 'M', 300, -100, 30},
        {200, 100, 120, 'N', 300, -100, 30},
        {200, 100, 120, '+', 200, 100, 120},  // plus form already
        {200, 100, 120, 'm', 200, 100, 120},  // any other letter asks for plus
        {300, -100, 30, '+', 200, 100, 120},
        {300, -100, 30, '-', 300, -100, 30},  // minus form already
        {-150, -75, 90, ' ', -225, 75, 180},  // 180 is not beyond 180
        {-150, -75, 91, 'P', -225, 75, 1},
        {0, 0, 45, '-', 0, 0, 45},  // no cylinder
        {0, 0, 45, '+', 0, 0, 45},
        {INT32_MAX, 100, 170, '-', INT32_MAX, -100, 80},
        {0, INT32_MIN, 0, '+', INT32_MIN, INT32_MAX, 90},
    };
    for (const auto& c : cases) {
        std::int32_t s = c.s, cyl = c.c, a = c.a;
        transpose(s, cyl, a, c.form);
        EXPECT_EQ(s, c.ts) << c.s << " " << c.c << " x " << c.a << " " << c.form;
        EXPECT_EQ(cyl, c.tc) << c.s << " " << c.c << " x " << c.a << " " << c.form;
        EXPECT_EQ(a, c.ta) << c.s << " " << c.c << " x " << c.a << " " << c.form;
    }
}

TEST(CalcLohPrism, ApexAngleInHundredthsOfADegree) {
    const struct {
        std::int32_t p, n, expected;
    } cases[] = {
        {0, 1500, 0},       {100, 1500, 115},   {-300, 1500, -343}, {500, 1600, 475}, {2000, 1523, 1988},
        {1000, 1000, 8714}, {1000, 500, -1137}, {0, 1000, 0},  // no prism in a material that does not bend light
    };
    for (const auto& c : cases) EXPECT_EQ(CalcLohPrism(c.p, c.n), c.expected) << c.p << " " << c.n;
    const std::int32_t extreme = CalcLohPrism(INT32_MAX, INT32_MIN);
    EXPECT_GE(extreme, -18000);
    EXPECT_LE(extreme, 18000);
}

TEST(PupillaryDistance, DecentrationPerEye) {
    const struct {
        std::int32_t useval, framepd, expected;
    } cases[] = {
        {6400, 7000, 300},  // binocular
        {3200, 7000, 300},  // monocular
        {250, 7000, 250},   // already a decentration
        {1499, 7000, 1499},
        {1500, 7000, 2000},
        {4500, 7000, -1000},
        {4501, 7000, 1249},
        {6401, 7000, 299},
        {7001, 7000, 0},
        {7003, 7000, -1},  // halves cut toward zero
        {INT32_MAX, INT32_MIN, -2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(convtodec(c.useval, c.framepd), c.expected) << c.useval << " " << c.framepd;
}

TEST(PupillaryDistance, MonocularDistance) {
    const struct {
        std::int32_t enteredpd, expected;
    } mono[] = {
        {6350, 3150}, {6399, 3150}, {4501, 2250}, {4500, 4500}, {3200, 3200}, {250, 250}, {INT32_MAX, 1073741800},
    };
    for (const auto& c : mono) EXPECT_EQ(convtomono(c.enteredpd), c.expected) << c.enteredpd;

    const struct {
        std::int32_t enteredpd, framepd, expected;
    } full[] = {
        {6350, 7000, 3200},  // 63.5 rounds to 64
        {6250, 7000, 3100},  // 62.5 rounds to 62
        {6350, 0, 3150},     // no frame distance: cut, not rounded
        {250, 7000, 3250},   // a decentration from half the frame distance
        {250, 70, 3250},     // frame distance in whole millimetres
        {0, 7000, 3500},    {3200, 7000, 3200}, {6350, 70, 3200}, {INT32_MIN, INT32_MAX, INT32_MAX},
    };
    for (const auto& c : full) {
        EXPECT_EQ(fullconvtomono(c.enteredpd, c.framepd), c.expected) << c.enteredpd << " " << c.framepd;
    }
}

TEST(HeightCodes, CharacterAndConversion) {
    const struct {
        std::int32_t code;
        char expected;
    } chars[] = {{0, '0'}, {3, '3'}, {9, '9'}, {17, 'A'}, {207, '\xff'}, {208, '\0'}, {-49, '\0'}, {INT32_MIN, '\0'}};
    for (const auto& c : chars) EXPECT_EQ(makehtdirchar(c.code), c.expected) << c.code;

    const struct {
        std::int32_t ht;
        char code;
        std::int32_t depth, expected;
    } heights[] = {
        {2000, '3', 30, 500},           {2000, '3', 3000, 500},
        {2000, '4', 30, -500},          {2000, '0', 30, 0},
        {2000, '2', 30, -2000},         {2000, '1', 30, 2000},
        {2000, 'X', 30, 2000},          {2000, '3', 99, -2950},
        {2000, '3', 100, 1950},  // 100 is in hundredths already
        {INT32_MIN, '2', 0, INT32_MAX}, {INT32_MIN, '3', INT32_MAX, INT32_MIN},
    };
    for (const auto& h : heights) {
        EXPECT_EQ(calcsvhclht(h.ht, h.code, h.depth), h.expected) << h.ht << " " << h.code << " " << h.depth;
    }
}

TEST(CalcBoxHt, HeightCorrectedByTheLowerNasalEdge) {
    const struct {
        const char* name;
        bool ellipse;
        std::int32_t ht, pd, framepd, code;
        std::int32_t expected, angle;
    } cases[] = {
        // A 25 mm circle: at 3 mm decentration the edge is as deep as the box.
        {"circle", false, 2000, 3200, 7000, 3, 2000, 277},
        // An ellipse 50 x 30 mm: 14 mm in, the outline is 5 mm shallower.
        {"ellipse, from the bottom", true, 1000, 1400, 0, 3, 1250, 319},
        {"ellipse, from the top", true, 1000, 1400, 0, 4, 2250, 319},
        {"ellipse, top edge", true, 0, 1400, 0, 4, 3250, 319},
        {"ellipse, 10 mm in", true, 1000, 1000, 0, 3, 1150, 307},
        {"ellipse, binocular distance", true, 1000, 6600, 7000, 3, 1000, 278},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l = c.ellipse ? ellipse(400, 2500, 1500) : circle(400, 2500);
        EXPECT_EQ(l.calcboxht(c.ht, c.pd, c.framepd, c.code), c.expected);
        EXPECT_EQ(l.boxhtang, c.angle);
    }
}

TEST(CalcBoxHt, HeightUnchangedOrOnlyConverted) {
    const tradiilist shape = ellipse(400, 2500, 1500);
    const struct {
        const char* name;
        bool empty;
        std::int32_t ht, pd, framepd, code, expected;
    } cases[] = {
        {"no points", true, 1000, 1400, 0, 4, 1000},
        {"code 0", false, 1000, 1400, 0, 0, 1000},
        {"code 2", false, 1000, 1400, 0, 2, 1000},
        {"code 5", false, 1000, 1400, 0, 5, 1000},
        // 20 mm in, the outline is not met before 330 degrees.
        {"not met, from the bottom", false, 1000, 2000, 8000, 3, 1000},
        {"not met, from the top: still measured from the bottom", false, 1000, 2000, 8000, 4, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tradiilist l = c.empty ? tradiilist() : shape;
        l.boxhtang = -1;
        EXPECT_EQ(l.calcboxht(c.ht, c.pd, c.framepd, c.code), c.expected);
        EXPECT_EQ(l.boxhtang, -1);
    }
}

}  // namespace
}  // namespace kestrune
