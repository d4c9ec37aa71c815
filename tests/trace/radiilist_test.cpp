#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "kestrune/support/settings.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

using ::testing::ElementsAre;

// ---- life cycle ----

TEST(RadiiListLifeCycle, NewListHasItsDefaults) {
    const tradiilist r;
    EXPECT_TRUE(r.initrun);
    EXPECT_EQ(r.readcount(), 0);
    EXPECT_EQ(r.count(), 0);
    EXPECT_EQ(r.lastradiusadded, -1);
    EXPECT_TRUE(r.polygondraw);
    EXPECT_TRUE(r.borderdraw);
    EXPECT_FALSE(r.Zdata);
    EXPECT_FALSE(r.checkinggoodtrace);
    EXPECT_EQ(r.fixedcolor, 65280);
    EXPECT_EQ(r.shapecolor, 14799057);
    EXPECT_EQ(r.drillcolor, 0);
    EXPECT_EQ(r.drilleye, 'R');
    EXPECT_EQ(r.OutlineColor, 0);
    EXPECT_EQ(r.OutlineWidth, 1);
    EXPECT_EQ(r.GridX, 8000);
    EXPECT_EQ(r.GridY, 8000);
    EXPECT_FALSE(r.drawinfo.hasdata);
    EXPECT_EQ(r.trcfmtstr, "");
}

TEST(RadiiListLifeCycle, InitAfterCreateChangesNothing) {
    tradiilist r;
    r.addradiilist(0, 2500);
    r.shapecolor = 1;
    r.invalidradiifound = true;
    r.framename = "frame";
    r.init();
    EXPECT_EQ(r.count(), 1);
    EXPECT_EQ(r.shapecolor, 1);
    EXPECT_TRUE(r.invalidradiifound);
    EXPECT_EQ(r.framename, "frame");
}

TEST(RadiiListLifeCycle, ClearEmptiesPointsAndMeasuresButKeepsSettingsAndFlags) {
    tradiilist r;
    r.addradiilist(0, 2500);
    r.addradiilist(90, 3000);  // sets invalidradiifound and maxradiusdiff
    r.xlist.add("x");
    r.ylist.add("y");
    r.drawedgeslist.add("e");
    r.drawdrilllist.add("d");
    r.a = r.b = r.mina = r.maxa = r.minb = r.maxb = 7;
    r.dbl = r.ed = r.fcirc = r.omacirc = r.longestradius = r.longestradiusangle = 7;
    r.lastjpegname = "pic.jpeg";
    r.lastjpegcirc = 7;
    r.trcfmtstr = "1;2;E;R;F";
    r.upper = 7;
    r.Zdata = true;
    r.shapecolor = 1;
    r.traceerrormessage = "message";

    r.clear();
    EXPECT_EQ(r.count(), 0);
    EXPECT_EQ(r.xlist.count(), 0);
    EXPECT_EQ(r.ylist.count(), 0);
    for (const tstringlist* list : {&r.drawedgeslist, &r.drawdrilllist}) {
        EXPECT_EQ(list->count(), 0);
    }
    for (const std::int32_t v : {r.a, r.b, r.mina, r.maxa, r.minb, r.maxb, r.dbl, r.ed, r.fcirc, r.omacirc,
                                 r.longestradius, r.longestradiusangle, r.lastjpegcirc}) {
        EXPECT_EQ(v, 0);
    }
    EXPECT_EQ(r.lastradiusadded, -1);
    EXPECT_EQ(r.lastjpegname, "");
    // Kept:
    EXPECT_TRUE(r.invalidradiifound);
    EXPECT_EQ(r.maxradiusdiff, 500);
    EXPECT_EQ(r.trcfmtstr, "1;2;E;R;F");
    EXPECT_EQ(r.upper, 7);
    EXPECT_TRUE(r.Zdata);
    EXPECT_EQ(r.shapecolor, 1);
    EXPECT_EQ(r.traceerrormessage, "message");
}

TEST(RadiiListLifeCycle, ClearErrorsResetsFlagsButKeepsTheVerdictText) {
    tradiilist r;
    r.multipletrcfmt = r.multiplezfmt = r.invalidradiifound = r.invalidzfound = r.invalidnumberofpoints = true;
    r.errordetail = "1;400;E;R;F Points=399";
    r.maxradiusdiff = 300;
    EXPECT_FALSE(r.goodtrace());
    r.clearerrors();
    EXPECT_FALSE(r.multipletrcfmt || r.multiplezfmt || r.invalidradiifound || r.invalidzfound ||
                 r.invalidnumberofpoints);
    EXPECT_EQ(r.errordetail, "");
    EXPECT_EQ(r.maxradiusdiff, 0);
    EXPECT_EQ(r.traceerrormessage, kSuspectZ);
    EXPECT_TRUE(r.goodtrace());
    EXPECT_EQ(r.traceerrormessage, "");
}

// ---- element text ----

TEST(RadiiListElements, CombineAngleAndRadius) {
    const struct {
        double angle;
        std::int32_t radius;
        const char* element;
    } cases[] = {
        {45.5, 2500, " 45.500 2500"},     {0, 12345, "  0.00012345"},
        {0, 2500, "  0.000 2500"},        {359, 2500, "359.000 2500"},
        {359.9994, 2500, "359.999 2500"}, {2.0625, 2500, "  2.062 2500"},  // an exact half goes to the even digit
        {2.0635, 2500, "  2.063 2500"},                                    // the nearest double lies below the half
        {0.0005, 2500, "  0.001 2500"},   {-12.5, 2500, "-12.500 2500"},
        {-0.0, 2500, "  0.000 2500"},                                       // no sign on a zero
        {-0.0001, 2500, "  0.000 2500"},  {1234.5, 2500, "1234.500 2500"},  // a wider angle is not cut
        {10, 123456, " 10.000123456"},                                      // nor a wider radius
        {10, -12, " 10.000  -12"},        {10, 0, " 10.000    0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tradiilist::combineangleradius(c.angle, c.radius), c.element) << c.angle << " " << c.radius;
    }
}

TEST(RadiiListElements, ExtractReadsTheFixedFieldsBack) {
    const struct {
        const char* element;
        double angle;
        std::int32_t radius;
    } cases[] = {
        {" 45.500 2500", 45.5, 2500},
        {"  0.00012345", 0, 12345},
        {"359.000 2500", 359, 2500},
        {"-12.500  -12", -12.5, -12},
        {" 10.000123456", 10, 12345},  // only characters 8 to 12 are read
        {"1234.500 2500", 1234.5, 0},  // a wider angle shifts the radius out of its field
        {"  0.000", 0, 0},             // no radius field
        {" 45.5", 45.5, 0},            // shorter than its field
        {"  0.000 2", 0, 2},
        {"", 0, 0},
        {"garbage text", 0, 0},
        {" 45.500 25x0", 45.5, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(tradiilist::extractangle(c.element), c.angle) << c.element;
        EXPECT_EQ(tradiilist::extractradius(c.element), c.radius) << c.element;
    }
}

TEST(RadiiListElements, ExtractFollowsTheDecimalMarkOfTheSettings) {
    setregionalsettings(',');
    EXPECT_DOUBLE_EQ(tradiilist::extractangle(" 45.500 2500"), 45.5);
    EXPECT_EQ(tradiilist::combineangleradius(45.5, 2500), " 45.500 2500");  // always a point
    setregionalsettings('.');
    EXPECT_DOUBLE_EQ(tradiilist::extractangle(" 45.500 2500"), 45.5);
}

TEST(RadiiListElements, AccessorsByIndex) {
    tradiilist r;
    r.addradiilist(45.5, 2500);
    r.addradiilist(0, 12345);
    EXPECT_EQ(r.element(0), " 45.500 2500");
    EXPECT_EQ(r.radiuselement(0), " 2500");  // untrimmed
    EXPECT_EQ(r.angleelement(0), "45.500");  // trimmed
    EXPECT_EQ(r.extractradiuselement(0), 2500);
    EXPECT_DOUBLE_EQ(r.extractangleelement(0), 45.5);
    EXPECT_EQ(r.radiuselement(1), "12345");
    EXPECT_EQ(r.angleelement(1), "0.000");
    EXPECT_EQ(r.extractradiuselement(1), 12345);
    EXPECT_DOUBLE_EQ(r.extractangleelement(1), 0);

    for (const int x : {-1, 2, 1000, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        EXPECT_EQ(r.radiuselement(x), "") << x;
        EXPECT_EQ(r.angleelement(x), "") << x;
        EXPECT_EQ(r.element(x), "") << x;
        EXPECT_EQ(r.extractradiuselement(x), 0) << x;
        EXPECT_EQ(r.extractangleelement(x), 0) << x;
    }
}

TEST(RadiiListElements, ShortElementsAreReadWithoutGoingOutOfRange) {
    tradiilist r;
    for (const char* e : {"", "1", " 45.5", "  0.000", "  0.000 2"}) r.radiilist.add(e);
    EXPECT_EQ(r.radiuselement(0), "");
    EXPECT_EQ(r.angleelement(1), "1");
    EXPECT_EQ(r.radiuselement(2), "");
    EXPECT_DOUBLE_EQ(r.extractangleelement(2), 45.5);
    EXPECT_EQ(r.radiuselement(3), "");
    EXPECT_EQ(r.extractradiuselement(3), 0);
    EXPECT_EQ(r.radiuselement(4), " 2");
    EXPECT_EQ(r.extractradiuselement(4), 2);
}

// ---- adding points ----

TEST(RadiiListAdd, AngleIsBroughtIntoOneTurn) {
    const struct {
        double angle;
        const char* element;
    } cases[] = {
        {360, "  0.000 2500"},
        {-90, "270.000 2500"},
        {725, "  5.000 2500"},
        {-360, "  0.000 2500"},
        {720, "  0.000 2500"},
        {-725, "355.000 2500"},
        {359.5, "359.500 2500"},
        {-0.0, "  0.000 2500"},
        {-1e-20, "  0.000 2500"},  // would be a full turn after adding 360
        {3600000000.5, "  0.500 2500"},
        {1e300, "  0.000 2500"},  // huge angles end at once
        {-1e300, "  0.000 2500"},
        {std::numeric_limits<double>::infinity(), "  0.000 2500"},
        {-std::numeric_limits<double>::infinity(), "  0.000 2500"},
        {std::numeric_limits<double>::quiet_NaN(), "  0.000 2500"},
    };
    for (const auto& c : cases) {
        tradiilist r;
        r.addradiilist(c.angle, 2500);
        EXPECT_EQ(r.element(0), c.element) << c.angle;
        const double stored = r.extractangleelement(0);
        EXPECT_GE(stored, 0) << c.angle;
        EXPECT_LT(stored, 360) << c.angle;
    }
}

TEST(RadiiListAdd, HugeAngleKeepsItsRemainder) {
    tradiilist r;
    r.addradiilist(1e20, 2500);
    // 1e20 = 360 * 277777777777777777 + 280 exactly (the double is a whole number).
    EXPECT_EQ(r.element(0), "280.000 2500");
}

TEST(RadiiListAdd, PointsKeepTheOrderTheyWereAdded) {
    tradiilist r;
    r.addradiilist(90, 2500);
    r.addradiilist(0, 2510);
    r.addradiilist(45, 2520);
    EXPECT_THAT(r.radiilist.items(), ElementsAre(" 90.000 2500", "  0.000 2510", " 45.000 2520"));
    EXPECT_EQ(r.lastradiusadded, 2520);
}

struct CheckCase {
    const char* name;
    bool zdata;
    std::vector<std::int32_t> radii;
    bool invalidradii;
    bool invalidz;
    std::int32_t maxdiff;
};

TEST(RadiiListAdd, PlausibilityChecks) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    const CheckCase cases[] = {
        {"BelowRange", false, {499}, true, false, 0},
        {"LowestAllowed", false, {500}, false, false, 0},
        {"HighestAllowed", false, {4500}, false, false, 0},
        {"AboveRange", false, {4501}, true, false, 0},
        {"ZeroRadius", false, {0}, true, false, 0},
        {"ZIgnoresRange", true, {100}, false, false, 0},
        {"ZNegative", true, {-100}, false, false, 0},
        {"StepTooLarge", false, {2500, 2701}, true, false, 201},
        {"StepAllowed", false, {2500, 2700}, false, false, 200},
        {"StepDownTooLarge", false, {2701, 2500}, true, false, 201},
        {"ZStepTooLarge", true, {120, 171}, false, true, 51},
        {"ZStepAllowed", true, {120, 170}, false, false, 50},
        {"ZBigStepNoRadiusFlag", true, {120, 4000}, false, true, 3880},
        {"LargestStepKept", false, {2500, 2600, 2550, 2700, 2690}, false, false, 150},
        // A radius of 0 or below leaves the next point without a step check.
        {"NoStepAfterZero", false, {2500, 0, 2500}, true, false, 2500},
        {"ZNoStepAfterNegative", true, {-100, 100, 130}, false, false, 30},
        // The first point and the last are not compared.
        {"LastNotComparedWithFirst", false, {2500, 2650, 2800, 2950}, false, false, 150},
        // A step beyond 32 bits is still a step, not a wrapped negative number.
        {"StepBeyond32Bits", true, {kMax, kMin}, false, true, kMax},
        {"StepToMaximum", false, {1, kMax}, true, false, kMax - 1},
    };
    for (const auto& c : cases) {
        tradiilist r;
        r.Zdata = c.zdata;
        for (const std::int32_t radius : c.radii) r.addradiilist(0, radius);
        EXPECT_EQ(r.invalidradiifound, c.invalidradii) << c.name;
        EXPECT_EQ(r.invalidzfound, c.invalidz) << c.name;
        EXPECT_EQ(r.maxradiusdiff, c.maxdiff) << c.name;
        EXPECT_EQ(r.count(), static_cast<int>(c.radii.size())) << c.name;  // nothing is refused
    }
}

TEST(RadiiListAdd, FirstPointAfterClearIsNotStepCheckedAndFlagsSurvive) {
    tradiilist r;
    r.addradiilist(0, 400);
    ASSERT_TRUE(r.invalidradiifound);
    r.clear();
    r.addradiilist(0, 4000);
    EXPECT_TRUE(r.invalidradiifound);
    EXPECT_EQ(r.maxradiusdiff, 0);

    tradiilist s;
    s.addradiilist(0, 1000);
    s.clear();
    s.addradiilist(0, 4000);  // 3000 away from the last point before clear
    EXPECT_FALSE(s.invalidradiifound);
    EXPECT_EQ(s.maxradiusdiff, 0);
}

// ---- points at equally spaced angles ----

// Two lists given the same points, one through addequalspaced and one
// through addradiilist at the double angle, must hold the same elements and
// flags. Radii outside the plain layout and steps that trip the checks are
// part of the run.
void expectsameasaddradiilist(std::int32_t count, const std::vector<std::int64_t>& indexes, bool zdata) {
    tequalspacing spacing(count);
    tradiilist fast, general;
    fast.Zdata = general.Zdata = zdata;
    std::int32_t radius = 2500;
    for (const std::int64_t i : indexes) {
        radius = i % 97 == 0   ? 123456
                 : i % 89 == 0 ? -20000
                 : i % 83 == 0 ? 300
                               : 2500 + static_cast<std::int32_t>(i % 7);
        fast.addequalspaced(i, spacing, radius);
        general.addradiilist(static_cast<double>(i) / count * 360.0, radius);
    }
    ASSERT_EQ(fast.radiilist, general.radiilist) << "spacing " << count;
    EXPECT_EQ(fast.radiilist.items(), general.radiilist.items()) << "spacing " << count;
    EXPECT_EQ(fast.invalidradiifound, general.invalidradiifound) << "spacing " << count;
    EXPECT_EQ(fast.invalidzfound, general.invalidzfound) << "spacing " << count;
    EXPECT_EQ(fast.maxradiusdiff, general.maxradiusdiff) << "spacing " << count;
    EXPECT_EQ(fast.lastradiusadded, general.lastradiusadded) << "spacing " << count;
}

TEST(RadiiListEqualSpacing, EveryIndexOfSmallCountsGivesTheElementOfTheDoubleAngle) {
    // Counts such as 128 put some angles exactly on a half thousandth, where
    // only the double arithmetic decides.
    for (std::int32_t count = 1; count <= 1500; ++count) {
        std::vector<std::int64_t> indexes;
        for (std::int64_t i = 0; i < count; ++i) indexes.push_back(i);
        expectsameasaddradiilist(count, indexes, count % 2 == 0);
    }
}

TEST(RadiiListEqualSpacing, LargeCountsSkippedIndexesAndIndexesOutsideTheTurn) {
    const std::int32_t counts[] = {
        4096, 65536, 100000, 360000, 720000, 999983, 1000000, 16777216, std::numeric_limits<std::int32_t>::max(),
        0,    -1,    -360};
    for (const std::int32_t count : counts) {
        std::vector<std::int64_t> indexes;
        // Runs of consecutive indexes, jumps back and forth, the last index
        // of the turn, and indexes past the turn or below 0 (the surplus
        // points of a checked trace).
        for (std::int64_t i = 0; i < 300; ++i) indexes.push_back(i);
        for (std::int64_t i = 0; i < 50; ++i) indexes.push_back((i * 7919) % (count > 0 ? count : 1000));
        for (std::int64_t i = 1; i <= 20; ++i) indexes.push_back(static_cast<std::int64_t>(count) - i);
        for (std::int64_t i = 0; i < 20; ++i) indexes.push_back(static_cast<std::int64_t>(count) + i);
        indexes.push_back(-1);
        indexes.push_back(static_cast<std::int64_t>(count) * 3 + 1);
        expectsameasaddradiilist(count, indexes, false);
    }
}

TEST(RadiiListEqualSpacing, ThousandthsDeclinesWhatItCannotTell) {
    std::int32_t t = -1;
    tequalspacing none(0);
    EXPECT_FALSE(none.thousandths(0, t));
    tequalspacing negative(-4);
    EXPECT_FALSE(negative.thousandths(0, t));
    tequalspacing four(4);
    EXPECT_FALSE(four.thousandths(-1, t));
    EXPECT_FALSE(four.thousandths(4, t));  // a full turn and more is brought round by addradiilist
    ASSERT_TRUE(four.thousandths(3, t));
    EXPECT_EQ(t, 270000);
    // 128 points: every odd index lies exactly on a half thousandth.
    tequalspacing halves(128);
    EXPECT_FALSE(halves.thousandths(1, t));
    ASSERT_TRUE(halves.thousandths(2, t));
    EXPECT_EQ(t, 5625);
}

// ---- format queries ----

TEST(RadiiListFormat, BinaryAndUnevenFormats) {
    const struct {
        const char* trcfmt;
        bool binary;
        bool uneven;
    } cases[] = {
        {"", false, false},
        {"1;400;E;R;F", false, false},
        {"3;400;E;R;F", true, false},
        {"4;400;U;R;F", true, true},
        {"B;400;E;R;F", true, false},
        {"1;400;U;R;F", false, true},
        {"1;400;u;R;F", false, false},  // letters are compared as written
        {"0;400;U;R;F", true, false},   // no trace: spacing reads as E
        {" ", true, false},
    };
    for (const auto& c : cases) {
        tradiilist r;
        r.trcfmtstr = c.trcfmt;
        EXPECT_EQ(r.binaryformat(), c.binary) << c.trcfmt;
        EXPECT_EQ(r.unevenfmt(), c.uneven) << c.trcfmt;
    }
}

// ---- verdict ----

TEST(RadiiListVerdict, LastFlagInOrderDecidesTheMessage) {
    const struct {
        bool multipletrcfmt, multiplezfmt, points, radii, z;
        const char* message;
    } cases[] = {
        {false, false, false, false, false, ""},
        {true, false, false, false, false, kMultipleRadiiFormats},
        {false, true, false, false, false, kMultipleRadiiFormats},
        {false, false, true, false, false, kInvalidNumberOfPoints},
        {false, false, false, true, false, kSuspectRadii},
        {false, false, false, false, true, kSuspectZ},
        {true, false, true, false, false, kInvalidNumberOfPoints},
        {false, false, true, true, false, kSuspectRadii},
        {true, true, true, true, true, kSuspectZ},
        {true, false, false, true, false, kSuspectRadii},
    };
    for (const auto& c : cases) {
        tradiilist r;
        r.traceerrormessage = "stale";
        r.multipletrcfmt = c.multipletrcfmt;
        r.multiplezfmt = c.multiplezfmt;
        r.invalidnumberofpoints = c.points;
        r.invalidradiifound = c.radii;
        r.invalidzfound = c.z;
        EXPECT_EQ(r.goodtrace(), std::string(c.message).empty()) << c.message;
        EXPECT_EQ(r.traceerrormessage, c.message);
    }
}

TEST(RadiiListVerdict, MessagesAreTheFixedTexts) {
    EXPECT_STREQ(kMultipleRadiiFormats, "Multiple radii formats");
    EXPECT_STREQ(kInvalidNumberOfPoints, "Invalid number of points");
    EXPECT_STREQ(kSuspectRadii, "Suspect radii found in the trace");
    EXPECT_STREQ(kSuspectZ, "Suspect Z data found in the trace");
}

// ---- fixed area ----

TEST(RadiiListFixedArea, RangesIncludingAcrossZero) {
    const struct {
        double start, end, angle;
        bool has, in;
    } cases[] = {
        {350, 10, 355, true, true},   {350, 10, 5, true, true},  {350, 10, 180, true, false},
        {350, 10, 350, true, true},   {350, 10, 10, true, true}, {10, 20, 15, true, true},
        {10, 20, 10, true, true},     {10, 20, 20, true, true},  {10, 20, 20.001, true, false},
        {10, 20, 9.999, true, false}, {0, 0, 0, false, true},    {0, 0, 1, false, false},
    };
    for (const auto& c : cases) {
        tradiilist r;
        r.fixstart = c.start;
        r.fixend = c.end;
        EXPECT_EQ(r.hasfixedarea(), c.has) << c.start << ".." << c.end;
        EXPECT_EQ(r.infixedarea(c.angle), c.in) << c.start << ".." << c.end << " at " << c.angle;
    }
}

}  // namespace
}  // namespace kestrune
