#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

using fixtures::anglesof;
using fixtures::ascii;
using fixtures::concat;
using fixtures::listof;
using fixtures::outline;
using fixtures::radiiof;
using fixtures::trace;
using kestrune::testing::read_file;
using kestrune::testing::real_samples_dir;
using kestrune::testing::TempDir;
using kestrune::testing::write_file;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Radii = std::vector<std::int32_t>;
using Records = std::vector<std::string>;

class Regional : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
};

// The radii of an equally spaced trace mirrored about the 90-270 degree axis:
// the radius at angle t is the one that was at 180 - t.
Radii mirrored(const Radii& r) {
    const int n = static_cast<int>(r.size());
    Radii out;
    for (int i = 0; i < n; ++i) out.push_back(r[static_cast<std::size_t>(((n / 2 - i) % n + n) % n)]);
    return out;
}

// Three lists as the viewer uses them: the result list runs the extraction.
struct Extraction : Regional {
    tradiilist result, right, left;
    bool run(const Records& records, bool trcfmt = true) {
        return result.extractradiilistfromomalist2(listof(records), &right, &left, trcfmt);
    }
};

// ---------------------------------------------------------------- traces

TEST_F(Extraction, TenPointTraceHasNoCircumferenceCountCheckOrDrills) {
    ASSERT_TRUE(run(
        {"CIRC=150", "DRILLE=R;C;1;1;1", "TRCFMT=1;10;E;R;F", "R=2500;2510;2520;2530;2540;2550;2560;2570;2580;2590"}));
    EXPECT_THAT(radiiof(right), ElementsAre(2500, 2510, 2520, 2530, 2540, 2550, 2560, 2570, 2580, 2590));
    EXPECT_THAT(anglesof(right), ElementsAre(0, 36, 72, 108, 144, 180, 216, 252, 288, 324));
    EXPECT_EQ(right.fcirc, 0);
    EXPECT_EQ(right.omacirc, 0);
    EXPECT_TRUE(right.drawdrilllist.empty());
    EXPECT_EQ(result.drawdrilllist.count(), 1);
    EXPECT_EQ(result.radiilist.items(), right.radiilist.items());
    EXPECT_EQ(result.trcfmtstr, "1;10;E;R;F");
    EXPECT_EQ(result.fcirc, 15000);
}

TEST_F(Extraction, FourHundredPointsInFortyRecords) {
    const Radii r = outline(400);
    ASSERT_TRUE(run(concat({{"CIRC=150.25;149.75"}, trace("1;400;E;R;F", r)})));
    EXPECT_THAT(radiiof(right), ElementsAreArray(r));
    const std::vector<double> angles = anglesof(right);
    for (int i = 0; i < 400; ++i) ASSERT_NEAR(angles[static_cast<std::size_t>(i)], i * 0.9, 1e-9) << i;
    EXPECT_EQ(result.radiilist.items(), right.radiilist.items());
    EXPECT_EQ(right.fcirc, 15025);
    EXPECT_EQ(right.omacirc, 15025);
    EXPECT_FALSE(right.invalidnumberofpoints);
    EXPECT_TRUE(right.goodtrace());
}

TEST_F(Extraction, OnlyALeftTraceIsMirroredIntoTheResult) {
    right.addradiilist(0, 1111);
    right.addradiilist(90, 1112);
    const Radii l = outline(400);
    ASSERT_TRUE(run(trace("1;400;E;L;F", l)));
    EXPECT_THAT(radiiof(right), ElementsAre(1111, 1112));  // untouched
    EXPECT_THAT(radiiof(left), ElementsAreArray(l));
    EXPECT_THAT(radiiof(result), ElementsAreArray(mirrored(l)));
    EXPECT_NEAR(result.extractangleelement(1), 0.9, 1e-9);
    EXPECT_EQ(result.trcfmtstr, "1;400;E;L;F");
}

TEST_F(Extraction, BothEyesInEitherOrder) {
    const Radii r = outline(400, 2400), l = outline(400, 2600);
    for (const bool leftfirst : {false, true}) {
        tradiilist res, rl, ll;
        const Records recs = leftfirst ? concat({trace("1;400;E;L;F", l), trace("1;400;E;R;F", r)})
                                       : concat({trace("1;400;E;R;F", r), trace("1;400;E;L;F", l)});
        ASSERT_TRUE(res.extractradiilistfromomalist2(listof(recs), &rl, &ll, true)) << leftfirst;
        EXPECT_THAT(radiiof(rl), ElementsAreArray(r)) << leftfirst;
        EXPECT_THAT(radiiof(ll), ElementsAreArray(l)) << leftfirst;
        EXPECT_EQ(res.radiilist.items(), rl.radiilist.items()) << leftfirst;
        EXPECT_EQ(res.trcfmtstr, "1;400;E;R;F") << leftfirst;
        EXPECT_TRUE(rl.goodtrace() && ll.goodtrace()) << leftfirst;
    }
}

TEST_F(Extraction, EachEyeIsCountedAgainstItsOwnFormatRecord) {
    // Eyes traced at different counts are both sound.
    ASSERT_TRUE(run(concat({trace("1;400;E;R;F", outline(400)), trace("1;360;E;L;F", outline(360))})));
    EXPECT_EQ(result.readcount(), 400);
    EXPECT_FALSE(right.invalidnumberofpoints);
    EXPECT_FALSE(left.invalidnumberofpoints);
    EXPECT_TRUE(right.goodtrace());
    // An eye short of its own count is the one blamed, whichever comes last.
    ASSERT_TRUE(run(concat({trace("1;400;E;R;F", outline(398), "R", "TRCFMT"), trace("1;360;E;L;F", outline(360))})));
    EXPECT_TRUE(right.invalidnumberofpoints);
    EXPECT_EQ(right.errordetail, "1;400;E;R;F Points=   398");
    EXPECT_FALSE(left.invalidnumberofpoints);
    EXPECT_FALSE(right.goodtrace());
    EXPECT_EQ(right.traceerrormessage, kInvalidNumberOfPoints);
    ASSERT_TRUE(run(concat({trace("1;400;E;R;F", outline(400)), trace("1;360;E;L;F", outline(350))})));
    EXPECT_FALSE(right.invalidnumberofpoints);
    EXPECT_TRUE(left.invalidnumberofpoints);
    EXPECT_EQ(left.errordetail, "1;360;E;L;F Points=   350");
}

TEST_F(Extraction, ShortRightTraceGivesTheMirroredLeft) {
    const Radii l = outline(400, 2600);
    ASSERT_TRUE(run(concat({trace("1;400;E;R;F", outline(398)), trace("1;400;E;L;F", l)})));
    EXPECT_EQ(right.readcount(), 398);
    EXPECT_TRUE(right.invalidnumberofpoints);
    EXPECT_EQ(right.errordetail, "1;400;E;R;F Points=   398");
    EXPECT_THAT(radiiof(result), ElementsAreArray(mirrored(l)));
    EXPECT_EQ(result.trcfmtstr, "1;400;E;L;F");
}

TEST_F(Extraction, ASecondFormatForAnEyeReplacesTheFirstAndIsFlagged) {
    const Radii first = outline(400, 2400), second = outline(400, 2500);
    ASSERT_TRUE(run(concat({trace("1;400;E;R;F", first), trace("1;400;E;R;P", second)})));
    EXPECT_THAT(radiiof(right), ElementsAreArray(second));
    EXPECT_EQ(right.trcfmtstr, "1;400;E;R;P");
    EXPECT_TRUE(right.multipletrcfmt);
    EXPECT_FALSE(right.goodtrace());
    EXPECT_EQ(right.traceerrormessage, kMultipleRadiiFormats);
}

TEST_F(Extraction, SurplusRecordsAreIgnoredUnlessEveryRecordIsChecked) {
    const Radii r = outline(410);
    const Records recs = trace("1;400;E;R;F", r);  // 41 records of 10
    ASSERT_TRUE(run(recs));
    EXPECT_EQ(right.readcount(), 400);
    EXPECT_FALSE(right.invalidnumberofpoints);

    tradiilist res, rl, ll;
    res.checkinggoodtrace = true;
    ASSERT_TRUE(res.extractradiilistfromomalist2(listof(recs), &rl, &ll, true));
    EXPECT_TRUE(rl.checkinggoodtrace);
    EXPECT_EQ(rl.readcount(), 410);
    EXPECT_TRUE(rl.invalidnumberofpoints);
    EXPECT_EQ(rl.errordetail, "1;400;E;R;F Points=   410");
}

TEST_F(Extraction, AngleRecordsSetTheAnglesAndSortTheTrace) {
    const Radii r = outline(400);
    // Angles in hundredths of a degree, starting at 180 degrees.
    Radii angles;
    for (int i = 0; i < 400; ++i) angles.push_back((18000 + i * 90) % 36000);
    Records recs = concat({trace("1;400;U;R;F", r), ascii("A", angles)});
    ASSERT_TRUE(run(recs));
    ASSERT_EQ(right.readcount(), 400);
    // Sorted by angle: the point given at 0 degrees (index 200) comes first.
    EXPECT_EQ(right.extractangleelement(0), 0);
    EXPECT_EQ(right.extractradiuselement(0), r[200]);
    EXPECT_NEAR(right.extractangleelement(399), 359.1, 1e-9);
    EXPECT_EQ(right.extractradiuselement(399), r[199]);
    EXPECT_EQ(result.radiilist.items(), right.radiilist.items());
}

TEST_F(Extraction, PackedAngleRecordsPast327DegreesReadAsUnsigned) {
    // Angles from 327.68 degrees on do not fit a signed 16-bit value; the
    // 16 bits that notations "3" and "4" carry are read as unsigned for them.
    tradiilist angles;
    const Radii hundredths = {0, 9000, 18000, 32767, 32768, 33000, 35999};
    for (std::size_t i = 0; i < hundredths.size(); ++i) angles.addradiilist(static_cast<double>(i), hundredths[i]);
    const std::string packedangles = "A" + angles.makebinaryradiilist(true).substr(1);
    const Radii r = outline(7);
    tradiilist radii;
    for (std::size_t i = 0; i < r.size(); ++i) radii.addradiilist(static_cast<double>(i), r[i]);
    ASSERT_TRUE(run({"TRCFMT=3;7;U;R;F", radii.makebinaryradiilist(true), packedangles}));
    EXPECT_THAT(anglesof(right), ElementsAre(0.0, 90.0, 180.0, 327.67, 327.68, 330.0, 359.99));
    EXPECT_THAT(radiiof(right), ElementsAreArray(r));
}

TEST_F(Extraction, AngleRecordsStartingAtZeroKeepTheOrder) {
    Records recs = concat({trace("1;12;U;R;F", Radii(12, 2500)),
                           ascii("A", {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 35000})});
    ASSERT_TRUE(run(recs));
    EXPECT_THAT(anglesof(right), ElementsAre(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 350));
}

// Angle records of a full turn or more, or below 0, go round the circle like
// any other angle; the radius beside them stays what the record gave.
TEST_F(Extraction, AngleRecordsOutsideOneTurnAreTakenRoundTheCircle) {
    const struct {
        std::int32_t hundredths;
        double angle;
    } cases[] = {{36000, 0}, {62332, 263.32}, {99999, 279.99}, {-9000, 270}, {-3600, 324}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hundredths);
        Radii r(12, 2500);
        r[3] = 2345;
        Radii angles = {0, 1000, 2000, c.hundredths, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 35000};
        Records recs = concat({trace("1;12;U;R;F", r), ascii("A", angles)});
        ASSERT_TRUE(run(recs));
        ASSERT_EQ(right.readcount(), 12);
        bool found = false;
        for (int i = 0; i < right.readcount(); ++i) {
            const double angle = right.extractangleelement(i);
            EXPECT_GE(angle, 0);
            EXPECT_LT(angle, 360);
            if (right.extractradiuselement(i) == 2345) {
                found = true;
                EXPECT_NEAR(angle, c.angle, 1e-9);
            } else {
                EXPECT_EQ(right.extractradiuselement(i), 2500);
            }
        }
        EXPECT_TRUE(found);
    }
}

TEST_F(Extraction, FormatFieldsWithBlanksAroundThemReadAsTrimmed) {
    // Each padded value gives what its plain twin gives: the notation, the
    // count, the eye and (for "U") the angle records.
    const Radii r = outline(400), l = outline(400, 2300);
    Radii hundredths;
    for (int i = 0; i < 400; ++i) hundredths.push_back(i * 90);
    const Records angles = ascii("A", hundredths);
    const struct {
        const char* plain;
        const char* padded;
    } formats[] = {
        {"1;400;E;R;F", "  1;400 ;E; R;F"},
        {"1;400;U;R;F", "1 ; 400;U ;R ;F "},
        {"1;400;E;R;F", "\t1;\t400\t;E;\tR;F"},
    };
    for (const auto& f : formats) {
        const bool uneven = std::string(f.plain).find(";U;") != std::string::npos;
        const auto records = [&](const char* format) {
            Records out = trace(format, r);
            if (uneven) out.insert(out.end(), angles.begin(), angles.end());
            return concat({out, trace("1; 400 ;E; L ;F", l)});
        };
        tradiilist plain, plainright, plainleft, padded, right, left;
        ASSERT_TRUE(plain.extractradiilistfromomalist2(listof(records(f.plain)), &plainright, &plainleft, true))
            << f.padded;
        ASSERT_TRUE(padded.extractradiilistfromomalist2(listof(records(f.padded)), &right, &left, true)) << f.padded;
        EXPECT_THAT(radiiof(right), ElementsAreArray(r)) << f.padded;
        EXPECT_THAT(anglesof(right), ElementsAreArray(anglesof(plainright))) << f.padded;
        EXPECT_THAT(radiiof(left), ElementsAreArray(l)) << f.padded;
        // The format text is held trimmed, as a plain one would be.
        EXPECT_EQ(right.trcfmtstr, f.plain) << f.padded;
        EXPECT_EQ(left.trcfmtstr, "1;400;E;L;F") << f.padded;
        EXPECT_FALSE(right.invalidnumberofpoints) << f.padded;
    }
    // A packed record with a padded notation and count is decoded.
    tradiilist packed;
    ASSERT_TRUE(tradiilist::addOMAradii(packed, "2500," + std::string(9, '\x80'), " B ; 10 ;E;R;F"));
    EXPECT_EQ(packed.readcount(), 10);
}

TEST_F(Extraction, CribDataIsNotTraceData) {
    const Radii r = outline(11, 2400), crib = outline(11, 3000), l = outline(11, 2600);
    ASSERT_TRUE(
        run(concat({trace("1;11;E;R;F", r), trace("1;11;E;R;F", crib, "R", "CRIBFMT"), trace("1;11;E;L;F", l)})));
    EXPECT_THAT(radiiof(right), ElementsAreArray(r));
    EXPECT_THAT(radiiof(left), ElementsAreArray(l));
    EXPECT_FALSE(right.multipletrcfmt);
}

TEST_F(Extraction, ThicknessDataIsNotTraceDataWhereverItStands) {
    // A thickness section (STHKFMT with its own R and T records) before or
    // after the outlines leaves them alone.
    const Radii r = outline(400, 2400), l = outline(400, 2600), thick = outline(72, 300);
    const Records section = concat({{"STHKFMT=1;72;E;B"}, ascii("R", thick), ascii("T", thick)});
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "thickness first" : "thickness last");
        const Records outlines = concat({trace("1;400;E;R;F", r), trace("1;400;E;L;F", l)});
        ASSERT_TRUE(run(first ? concat({section, outlines}) : concat({outlines, section})));
        EXPECT_THAT(radiiof(right), ElementsAreArray(r));
        EXPECT_THAT(radiiof(left), ElementsAreArray(l));
        EXPECT_FALSE(left.invalidnumberofpoints);
    }
}

TEST_F(Extraction, BlocksWithoutARightEyeLetterFillTheLeftList) {
    for (const char* format : {"1;11;E;B;F", "1;11;E;r;F", "1;11;E;;F", "1;11;E"}) {
        tradiilist res, rl, ll;
        ASSERT_TRUE(res.extractradiilistfromomalist2(listof(trace(format, outline(11))), &rl, &ll, true)) << format;
        EXPECT_EQ(rl.readcount(), 0) << format;
        EXPECT_EQ(ll.readcount(), 11) << format;
    }
    // Radius records before any format record are not decoded.
    EXPECT_FALSE(run({"R=2500;2500;2500"}));
    EXPECT_EQ(left.readcount(), 0);
}

TEST_F(Extraction, EmptyRadiusRecordClosesTheBlock) {
    // "R=" is not trace data; it closes the block, and the next records start a
    // new block (for the left list, as the eye is forgotten on closing).
    ASSERT_TRUE(run({"TRCFMT=1;3;E;R;F", "R=2500;2500;2500", "R=", "R=2600;2600;2600"}));
    EXPECT_THAT(radiiof(right), ElementsAre(2500, 2500, 2500));
    EXPECT_THAT(radiiof(left), ElementsAre(2600, 2600, 2600));
}

struct ValueCase {
    const char* name;
    Records records;
    std::int32_t expected;
};

TEST_F(Extraction, BridgeTable) {
    const ValueCase cases[] = {
        {"millimetres", {"DBL=18.5"}, 1850},
        {"pair takes the second", {"DBL=18.5;19.0"}, 1900},
        {"comma decimal mark", {"DBL=18,5"}, 1850},
        {"a zero does not stop a later one", {"DBL=0", "DBL=18"}, 1800},
        {"the first non-zero wins", {"DBL=17", "DBL=18"}, 1700},
        {"none keeps the earlier value", {}, 999},
    };
    for (const ValueCase& c : cases) {
        tradiilist res, rl, ll;
        res.dbl = 999;
        ASSERT_TRUE(res.extractradiilistfromomalist2(listof(concat({c.records, trace("1;11;E;R;F", outline(11))})), &rl,
                                                     &ll, true));
        EXPECT_EQ(res.dbl, c.expected) << c.name;
        EXPECT_EQ(rl.dbl, c.expected) << c.name;
    }
}

TEST_F(Extraction, CircumferenceTable) {
    struct Case {
        const char* record;
        std::int32_t right, left;
    };
    const Case cases[] = {{"CIRC=150.25;149.75", 15025, 14975}, {"CIRC=150", 15000, 0}, {"CIRC=;149", 0, 14900}};
    for (const Case& c : cases) {
        tradiilist res, rl, ll;
        ASSERT_TRUE(res.extractradiilistfromomalist2(
            listof(concat({{c.record}, trace("1;11;E;R;F", outline(11)), trace("1;11;E;L;F", outline(11))})), &rl, &ll,
            true));
        EXPECT_EQ(rl.omacirc, c.right) << c.record;
        EXPECT_EQ(rl.fcirc, c.right) << c.record;
        EXPECT_EQ(ll.omacirc, c.left) << c.record;
        EXPECT_EQ(res.omacirc, c.right) << c.record;
    }
}

TEST_F(Extraction, PrivateRecords) {
    result.retracesetting = "old";
    result.loadedjobnum = "old";
    ASSERT_TRUE(run(concat({{"_retrace=FULL", "_jobnum=77", "_PDOFFSET=1.5"}, trace("1;11;E;R;F", outline(11))})));
    EXPECT_EQ(result.retracesetting, "FULL");
    EXPECT_EQ(result.loadedjobnum, "");
    EXPECT_EQ(result.pdoffset, 150);
    ASSERT_TRUE(run(concat({{"_JOBNUM=77"}, trace("1;11;E;R;F", outline(11))})));
    EXPECT_EQ(result.retracesetting, "");
    EXPECT_EQ(result.loadedjobnum, "77");
    EXPECT_EQ(result.pdoffset, 0);
}

TEST_F(Extraction, DrillRecordsGoToEveryTracedEye) {
    left.drilleye = 'R';
    ASSERT_TRUE(run(concat({{"DRILLE=R;C;1;1;1", "DRILL=L;C;2;2;2"},
                            trace("1;11;E;R;F", outline(11)),
                            trace("1;11;E;L;F", outline(11))})));
    EXPECT_THAT(result.drawdrilllist.items(), ElementsAre("DRILLE=R;C;1;1;1", "DRILL=L;C;2;2;2"));
    EXPECT_EQ(right.drawdrilllist.items(), result.drawdrilllist.items());
    EXPECT_EQ(left.drawdrilllist.items(), result.drawdrilllist.items());
    EXPECT_EQ(right.drilleye, 'R');
    EXPECT_EQ(left.drilleye, 'L');
}

TEST_F(Extraction, ZPassReadsOnlyZRecords) {
    const Radii r = outline(11), l = outline(11, 2600);
    const Radii z = {100, 110, 120, 130, 140, 150, 160, 170, 180, 190, 200};
    const Records recs = concat({trace("1;11;E;R;F", r), trace("1;11;E;L;F", l), trace("1;11;E;R;F", z, "Z", "ZFMT")});
    ASSERT_TRUE(run(recs, true));
    EXPECT_THAT(radiiof(right), ElementsAreArray(r));
    EXPECT_FALSE(right.Zdata);

    ASSERT_TRUE(run(recs, false));
    EXPECT_THAT(radiiof(right), ElementsAreArray(z));
    EXPECT_TRUE(right.Zdata);
    EXPECT_TRUE(result.Zdata);
    EXPECT_EQ(right.trcfmtstr, "1;11;E;R;F");
    EXPECT_FALSE(right.invalidradiifound);  // small Z values are not radii
    EXPECT_TRUE(right.goodtrace());
    // The left eye has no Z records: it keeps its radius points, without a
    // format text or error flags.
    EXPECT_THAT(radiiof(left), ElementsAreArray(l));
    EXPECT_EQ(left.trcfmtstr, "");
}

TEST_F(Extraction, ZStepsAreChecked) {
    ASSERT_TRUE(run(trace("1;11;E;R;F", {100, 110, 120, 180, 190, 200, 210, 220, 230, 240, 250}, "Z", "ZFMT"), false));
    EXPECT_TRUE(right.invalidzfound);
    EXPECT_FALSE(right.goodtrace());
    EXPECT_EQ(right.traceerrormessage, kSuspectZ);
}

TEST_F(Extraction, AsciiFields) {
    struct Case {
        const char* value;
        Radii expected;
        bool suspect;
    };
    const Case cases[] = {
        {"2500;;2510", {2500, 0, 2510}, true}, {"2500;2510;", {2500, 2510}, false},
        {" 2500 ;2510", {2500, 2510}, false},  {";", {0}, true},
        {"25.5;2510", {0, 2510}, true},
    };
    for (const Case& c : cases) {
        tradiilist r;
        ASSERT_TRUE(tradiilist::addOMAradii(r, c.value, "1;3;E;R;F")) << c.value;
        EXPECT_THAT(radiiof(r), ElementsAreArray(c.expected)) << c.value;
        EXPECT_EQ(r.invalidradiifound, c.suspect) << c.value;
    }
}

// An ASCII record value decoded field by field: each field read with
// xstrtoint and added through addradiilist at the angle index / declared *
// 360. addOMAradii reads plain digits itself and takes its angles from an
// exact fraction; what it stores must be exactly this.
bool decodefieldbyfield(tradiilist& r, std::string_view value, std::int32_t declared) {
    if (!(r.readcount() < declared || r.checkinggoodtrace)) return true;
    const auto addone = [&](std::string_view field) {
        if (declared == 0) return false;
        if (r.readcount() >= kMaxTracePoints) {
            r.invalidnumberofpoints = true;
            return false;
        }
        r.addradiilist(static_cast<double>(r.readcount()) / declared * 360.0, xstrtoint(field));
        return true;
    };
    std::size_t start = 0;
    for (std::size_t k = 0; k < value.size(); ++k) {
        if (value[k] != ';') continue;
        if (!addone(value.substr(start, k - start))) return false;
        start = k + 1;
    }
    return start >= value.size() || addone(value.substr(start));
}

void expectsamelists(const tradiilist& got, const tradiilist& expected, const std::string& name) {
    EXPECT_EQ(got.radiilist.items(), expected.radiilist.items()) << name;
    EXPECT_EQ(got.invalidradiifound, expected.invalidradiifound) << name;
    EXPECT_EQ(got.invalidzfound, expected.invalidzfound) << name;
    EXPECT_EQ(got.invalidnumberofpoints, expected.invalidnumberofpoints) << name;
    EXPECT_EQ(got.maxradiusdiff, expected.maxradiusdiff) << name;
    EXPECT_EQ(got.lastradiusadded, expected.lastradiusadded) << name;
}

TEST_F(Extraction, AsciiRecordsDecodeExactlyAsFieldByFieldReading) {
    struct Case {
        const char* name;
        std::string count;  // the count field of the format text
        Records values;     // record values of one trace, in order
        bool checking;
        bool zdata;
    };
    const Case cases[] = {
        {"plain", "12", {"2500;2510;2520;2530;2540", "2550;2560;2570;2580;2590;2600;2610"}, false, false},
        {"blanks, tabs and signs", "8", {" 2500;2510 ;\t2520;+2530;-2540;- 2550;+-2560;  "}, false, false},
        {"empty fields", "9", {";;2500;;", ";", "2500;;2510;"}, false, false},
        {"nine digits and more",
         "7",
         {"000002500;0000002500;999999999;1000000000;2147483647;2147483648;-2147483648"},
         false,
         false},
        {"overflow and wrapping runs of digits",
         "4",
         {"99999999999999999999;-2147483649;4294967296;18446744073709551617"},
         false,
         false},
        {"hexadecimal and junk", "8", {"$9C4;0x9C4;x9C4;25a;25.5;2,5;0x;$"}, false, false},
        {"radii outside the element layout", "6", {"99999;100000;-9999;-10000;123456789;-5"}, false, false},
        {"z values", "6", {"0;30;-30;100;151;-2147483648"}, false, true},
        {"more fields than declared", "3", {"2500;2510;2520;2530;2540"}, false, false},
        {"surplus records are skipped", "3", {"2500;2510;2520", "2530;2540"}, false, false},
        {"surplus records when checking go past the turn", "3", {"2500;2510;2520", "2530;2540", "2550"}, true, false},
        {"fewer fields than declared", "1000", {"2500;2510", "2520"}, false, false},
        {"counts that put angles on half thousandths",
         "128",
         {"2500;2501;2502;2503;2504;2505;2506;2507"},
         false,
         false},
        {"count of seven", "7", {"2500;2501;2502;2503;2504;2505;2506"}, false, false},
        {"largest count", "2147483647", {"2500;2501;2502"}, false, false},
        {"count with blanks and sign", " +5 ", {"2500;2501;2502;2503;2504;2505"}, false, false},
        {"count of zero", "0", {"2500;2510"}, true, false},
        {"count of zero, empty record", "0", {""}, true, false},
        {"negative count", "-4", {"2500;2510;2520"}, true, false},
        {"count that is not a number", "ten", {"2500;2510"}, true, false},
    };
    for (const Case& c : cases) {
        const std::string format = "1;" + c.count + ";E;R;F";
        const std::int32_t declared = xstrtoint(c.count);
        tradiilist got, expected;
        got.checkinggoodtrace = expected.checkinggoodtrace = c.checking;
        got.Zdata = expected.Zdata = c.zdata;
        for (const std::string& value : c.values) {
            const bool ok = tradiilist::addOMAradii(got, value, format);
            EXPECT_EQ(ok, decodefieldbyfield(expected, value, declared)) << c.name << ": " << value;
            if (!ok) break;
        }
        expectsamelists(got, expected, c.name);
    }
}

TEST_F(Extraction, RandomAsciiRecordsDecodeExactlyAsFieldByFieldReading) {
    std::mt19937 rng(20261210);
    const std::vector<std::string> odd = {"",           " ",           "+",          "-",     "0",   "-0",
                                          "$FF",        "0x10",        "1e3",        "2.5",   "12a", "2147483647",
                                          "2147483648", "-2147483648", "0000000001", "100000"};
    const std::int32_t counts[] = {1, 3, 7, 12, 100, 128, 360, 999, 1000, 1024, 4096};
    for (int round = 0; round < 300; ++round) {
        const std::int32_t declared = counts[rng() % std::size(counts)];
        const bool checking = rng() % 3 == 0;
        const std::string format = "1;" + std::to_string(declared) + ";E;R;F";
        tradiilist got, expected;
        got.checkinggoodtrace = expected.checkinggoodtrace = checking;
        got.Zdata = expected.Zdata = rng() % 4 == 0;
        const int records = 1 + static_cast<int>(rng() % 40);
        for (int k = 0; k < records; ++k) {
            std::string value;
            const int fields = static_cast<int>(rng() % 150);
            for (int f = 0; f < fields; ++f) {
                if (f > 0) value += ';';
                value += rng() % 8 == 0 ? odd[rng() % odd.size()] : std::to_string(2000 + rng() % 1000);
            }
            if (rng() % 10 == 0) value += ';';
            const bool ok = tradiilist::addOMAradii(got, value, format);
            ASSERT_EQ(ok, decodefieldbyfield(expected, value, declared)) << value;
        }
        expectsamelists(got, expected, "round " + std::to_string(round));
    }
}

TEST_F(Extraction, FormatTextsAreReadAsDelimitedFields) {
    // The notation and the count as delimitedfield reads them, quotes and
    // all, decide what a record gives; blanks around the notation do not.
    const char* const formats[] = {
        "1;4;E;R;F",   "1;4",      "1;4;",   "1;;E",    "1;",        "1",         ";4;E",
        ";;",          "",         " 1;4",   "1; 4 ;E", "\"1\";4;E", "1;\"4\";E", "\"1;4\";5;E",
        "1;\"4;5\";E", "1;\"\";E", "\"\";4", "1;\"",    "3;4;E",     "x;4",
    };
    for (const char* format : formats) {
        std::string_view notation, countfield;
        const bool hascount = delimitedfield(format, 1, ';', countfield);
        delimitedfield(format, 0, ';', notation);
        notation = trimview(notation);
        tradiilist got, expected;
        const bool ok = tradiilist::addOMAradii(got, "2500;2510;2520", format);
        bool expectedok = true;
        if (*format != '\0') {
            if (!hascount) {
                expectedok = false;
            } else if (notation.empty()) {
                expectedok = xstrtoint(countfield) <= 0;  // nothing to add, or no notation to add by
            } else if (notation[0] == '1') {
                expectedok = decodefieldbyfield(expected, "2500;2510;2520", xstrtoint(countfield));
            }
        }
        EXPECT_EQ(ok, expectedok) << format;
        if (notation.empty() || notation[0] != '3') expectsamelists(got, expected, format);
    }
}

TEST_F(Extraction, ResultListLeftByAStoppedExtractionHoldsTheRightEyeAtItsOwnCount) {
    // The right block holds 13 points against a declared 10 (kept because
    // every record is decoded); the left block's count of 0 then stops the
    // extraction, and the result list keeps the right eye as it was copied
    // in: its radii at i / 13 * 360 degrees.
    Radii r = outline(13);
    r[5] = 123456;  // a radius too wide for its field
    const Records recs = concat({trace("1;10;E;R;F", r), trace("1;0;E;L;F", outline(11))});
    result.checkinggoodtrace = true;
    EXPECT_FALSE(run(recs));
    ASSERT_EQ(right.readcount(), 13);

    tradiilist expected;
    for (int i = 0; i < 13; ++i)
        expected.addradiilist(static_cast<double>(i) / 13 * 360.0, right.extractradiuselement(i));
    expectsamelists(result, expected, "stopped extraction");

    // A second right block that stops the extraction: the result list holds
    // the first block's points, not the second's.
    const Radii first = outline(12, 2400);
    const Records again = concat({trace("1;12;E;R;F", first), trace("1;0;E;R;F", outline(11))});
    tradiilist stopped, rl, ll;
    stopped.checkinggoodtrace = true;
    EXPECT_FALSE(stopped.extractradiilistfromomalist2(listof(again), &rl, &ll, true));
    EXPECT_EQ(rl.readcount(), 0);
    tradiilist firstblock;
    for (int i = 0; i < 12; ++i)
        firstblock.addradiilist(static_cast<double>(i) / 12 * 360.0, first[static_cast<std::size_t>(i)]);
    expectsamelists(stopped, firstblock, "second right block stopped");
}

TEST_F(Extraction, BadFormatTextsStopTheExtraction) {
    struct Case {
        const char* leftformat;
        bool checking;
        bool expected;
    };
    const Case cases[] = {
        {";11;E;L;F", false, false},                              // no notation
        {"1", false, false},                                      // no point count
        {"1;", false, false},        {"1;0;E;L;F", true, false},  // a count of 0 gives no angles
        {"1;0;E;L;F", false, true},                               // nothing decoded, nothing wrong
        {"", false, true},                                        // no format at all: nothing decoded
        {"7;11;E;L;F", false, true},                              // unknown notation: nothing decoded
    };
    const Radii r = outline(11);
    for (const Case& c : cases) {
        tradiilist res, rl, ll;
        res.checkinggoodtrace = c.checking;
        const Records recs = concat({trace("1;11;E;R;F", r), trace(c.leftformat, outline(11, 2600))});
        EXPECT_EQ(res.extractradiilistfromomalist2(listof(recs), &rl, &ll, true), c.expected) << c.leftformat;
        // What was filled before the failure stays filled.
        EXPECT_THAT(radiiof(rl), ElementsAreArray(r)) << c.leftformat;
        EXPECT_EQ(ll.readcount(), 0) << c.leftformat;
    }
}

TEST_F(Extraction, NoListsGivenAndListsThatAliasTheResult) {
    const Radii r = outline(400);
    tradiilist res;
    ASSERT_TRUE(res.extractradiilistfromomalist(listof(trace("1;400;E;R;F", r)), true));
    EXPECT_THAT(radiiof(res), ElementsAreArray(r));

    // The result list passed as its own right and left list is not filled
    // twice over.
    tradiilist self;
    ASSERT_TRUE(self.extractradiilistfromomalist2(listof(trace("1;400;E;R;F", r)), &self, &self, true));
    EXPECT_THAT(radiiof(self), ElementsAreArray(r));

    tradiilist res2, both;
    ASSERT_TRUE(res2.extractradiilistfromomalist2(
        listof(concat({trace("1;400;E;R;F", r), trace("1;400;E;L;F", outline(400, 2600))})), &both, &both, true));
    EXPECT_THAT(radiiof(both), ElementsAreArray(r));
}

TEST_F(Extraction, EmptyRecordList) {
    EXPECT_FALSE(run({}));
    EXPECT_EQ(result.readcount(), 0);
    EXPECT_EQ(right.readcount(), 0);
}

// ---------------------------------------------------------------- packed traces

TEST_F(Extraction, PackedTracesThroughAFile) {
    const Radii r = outline(400, 2400), l = outline(360, 2600);
    tradiilist source;
    for (std::size_t i = 0; i < r.size(); ++i) source.addradiilist(i * 0.9, r[i]);
    std::string file = "JOB=1\r\nTRCFMT=3;400;E;R;F\r\n" + source.makebinaryradiilist(true) + "\r\n";
    file += "TRCFMT=B;360;E;L;F\r\n" + fixtures::packedb("R", l);
    file += "\r\nDBL=18\r\nFRAM=Test\r\nFTYP=2\r\n";
    TempDir dir;
    write_file(dir / "packed.oma", file);

    tradiilist res, rl, ll;
    ASSERT_TRUE(res.extractradiilistfromomafile2(dir / "packed.oma", &rl, &ll, true));
    EXPECT_THAT(radiiof(rl), ElementsAreArray(r));
    EXPECT_THAT(radiiof(ll), ElementsAreArray(l));
    EXPECT_TRUE(rl.binaryformat());
    EXPECT_TRUE(ll.binaryformat());
    EXPECT_NEAR(ll.extractangleelement(1), 1.0, 1e-9);
    // Each eye holds the count its own format record declares.
    EXPECT_FALSE(rl.invalidnumberofpoints);
    EXPECT_FALSE(ll.invalidnumberofpoints);
    EXPECT_EQ(res.dbl, 1800);
    EXPECT_EQ(res.framename, "Test");
    EXPECT_EQ(res.frameqvttype, 1);
}

TEST_F(Extraction, MissingFile) {
    TempDir dir;
    tradiilist res, rl, ll;
    res.dbl = 500;
    res.retracesetting = "x";
    res.loadedjobnum = "y";
    res.framename = "old";
    EXPECT_FALSE(res.extractradiilistfromomafile2(dir / "missing.oma", &rl, &ll, true));
    EXPECT_EQ(res.dbl, 0);
    EXPECT_EQ(res.retracesetting, "");
    EXPECT_EQ(res.loadedjobnum, "");
    EXPECT_EQ(res.framename, "");
}

TEST_F(Extraction, HostileRecordsNeitherCrashNorGrowBeyondTheData) {
    std::mt19937 rng(99);
    const char* tags[] = {"TRCFMT", "ZFMT", "CRIBFMT", "R", "A", "Z", "ZA", "DBL", "CIRC", "DRILLE", "_PDOFFSET"};
    const char* formats[] = {"1", "3", "4", "B", "2", "", ";"};
    for (int round = 0; round < 300; ++round) {
        Records recs;
        std::size_t bytes = 0;
        const int n = 1 + static_cast<int>(rng() % 30);
        for (int k = 0; k < n; ++k) {
            const std::string tag = tags[rng() % std::size(tags)];
            std::string value;
            if (tag.find("FMT") != std::string::npos) {
                value = std::string(formats[rng() % std::size(formats)]) + ";" +
                        std::to_string(rng() % 3 == 0 ? 2147483647u : rng() % 50) + ";E;" + "RLB"[rng() % 3] + ";F";
            } else {
                value.resize(rng() % 200);
                for (char& c : value) c = static_cast<char>(rng() & 0xFF);
            }
            bytes += value.size();
            recs.push_back(tag + "=" + value);
        }
        for (const bool checking : {false, true}) {
            for (const bool trcfmt : {true, false}) {
                tradiilist res, rl, ll;
                res.checkinggoodtrace = checking;
                res.extractradiilistfromomalist2(listof(recs), &rl, &ll, trcfmt);
                // At most two radii per byte (notation "4" nibbles) and one start
                // radius per record, whatever the declared counts say.
                const std::size_t bound = 2 * bytes + recs.size();
                ASSERT_LE(static_cast<std::size_t>(rl.readcount()), bound);
                ASSERT_LE(static_cast<std::size_t>(ll.readcount()), bound);
                ASSERT_LE(static_cast<std::size_t>(res.readcount()), bound);
            }
        }
    }
}

// ---------------------------------------------------------------- angle records as text

TEST_F(Extraction, AngleListsAsText) {
    struct Case {
        const char* name;
        Records records;
        bool trcfmt;
        bool expected;
        std::vector<std::string> right, left;
    };
    const Case cases[] = {
        {"per eye",
         {"TRCFMT=1;4;U;R;F", "R=1;2;3;4", "A=0;90", "A=180;270", "TRCFMT=1;4;U;L;F", "A=1;2", "ZA=5"},
         true,
         true,
         {"A=0;90", "A=180;270"},
         {"A=1;2"}},
        {"Z pass", {"ZFMT=1;2;U;L;F", "A=1", "ZA=10;20"}, false, true, {"kept"}, {"ZA=10;20"}},
        {"too short", {"TRCFMT=1;4;U;R;F", "A="}, true, false, {}, {"kept"}},
        {"other eye letters go left", {"TRCFMT=1;4;U;B;F", "A=5"}, true, true, {"kept"}, {"A=5"}},
        {"before any format record", {"A=5", "TRCFMT=1;4;U;R;F", "A=6"}, true, false, {"kept"}, {"kept"}},
        {"none", {"JOB=1"}, true, false, {"kept"}, {"kept"}},
    };
    for (const Case& c : cases) {
        tstringlist rl, ll;
        rl.add("kept");
        ll.add("kept");
        EXPECT_EQ(tradiilist::extractanglelistfromomalist2(listof(c.records), rl, ll, c.trcfmt), c.expected) << c.name;
        EXPECT_THAT(rl.items(), ElementsAreArray(c.right)) << c.name;
        EXPECT_THAT(ll.items(), ElementsAreArray(c.left)) << c.name;
    }
}

// ---------------------------------------------------------------- frame data

TEST_F(Extraction, FrameData) {
    tradiilist r;
    r.extractframedata(listof({"fram=7580", "BRGSIZ=18.5", "EYESIZ=48", "FTYP=3", "ETYP=2", "FRAM=second"}));
    EXPECT_EQ(r.framename, "7580");
    EXPECT_EQ(r.framebridge, 0);  // whole numbers only
    EXPECT_EQ(r.frameeye, 48);
    EXPECT_EQ(r.frameftyp, 3);
    EXPECT_EQ(r.frameetyp, 2);
    EXPECT_EQ(r.frametypecode, "");
    EXPECT_EQ(r.frameqvttype, 3);

    r.extractframedata(listof({"_FTYPECODE=5", "FTYP=2"}));
    EXPECT_EQ(r.framename, "");
    EXPECT_EQ(r.frametypecode, "5");
    EXPECT_EQ(r.frameqvttype, 5);
}

TEST_F(Extraction, FrameTypeCodes) {
    struct Case {
        std::int32_t ftyp, etyp;
        const char* code;
        std::int32_t expected;
    };
    const Case cases[] = {
        {2, 0, "", 1}, {3, 2, "", 3},  {3, 3, "", 2},  {1, 3, "", 0},
        {4, 0, "", 0}, {3, 3, "7", 7}, {2, 0, "x", 1}, {2, 0, " ", 0},  // blanks count as a given number: 0
    };
    for (const Case& c : cases)
        EXPECT_EQ(tradiilist::vcaframetypetoqvt(c.ftyp, c.etyp, c.code), c.expected)
            << c.ftyp << "/" << c.etyp << "/'" << c.code << "'";
}

// ---------------------------------------------------------------- explode

TEST_F(Extraction, ExplodeGrowsEveryRadius) {
    tradiilist r;
    for (int i = 0; i < 4; ++i) r.addradiilist(i * 90, 2500);
    r.omacirc = 15000;
    r.explode(50);
    EXPECT_THAT(radiiof(r), ElementsAre(2550, 2550, 2550, 2550));
    EXPECT_THAT(anglesof(r), ElementsAre(0, 90, 180, 270));
    EXPECT_EQ(r.omacirc, 0);
    EXPECT_EQ(r.a, 5100);
    EXPECT_EQ(r.b, 5100);
    r.explode(-100);
    EXPECT_THAT(radiiof(r), ElementsAre(2450, 2450, 2450, 2450));
}

TEST_F(Extraction, ExplodeDoesNotOverflow) {
    tradiilist r;
    r.addradiilist(0, 2500);
    r.explode(INT32_MAX);
    EXPECT_EQ(r.element(0), "  0.0002147483647");
    tradiilist s;
    s.addradiilist(0, -2500);
    s.explode(INT32_MIN);
    EXPECT_EQ(s.element(0), "  0.000-2147483648");
}

// ---------------------------------------------------------------- real files

struct declaredtrace {
    char notation;
    int points;
};

TEST_F(Extraction, RealSamplesExtractBothEyesWithTheirDeclaredCounts) {
    const std::filesystem::path dir = real_samples_dir();
    if (dir.empty()) GTEST_SKIP() << "no real samples";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        ++files;
        // The declared traces, read from the file's format records.
        const std::string text = read_file(entry.path());
        declaredtrace declared[2] = {{'\0', 0}, {'\0', 0}};
        std::size_t pos = 0;
        while ((pos = text.find("\nTRCFMT=", pos)) != std::string::npos) {
            pos += 8;
            const std::string value = text.substr(pos, text.find_first_of("\r\n", pos) - pos);
            const std::size_t f1 = value.find(';'), f2 = value.find(';', f1 + 1), f3 = value.find(';', f2 + 1);
            declared[value[f3 + 1] == 'R' ? 0 : 1] = {value[0], std::stoi(value.substr(f1 + 1, f2 - f1 - 1))};
        }
        tradiilist res, rl, ll;
        const bool ok = res.extractradiilistfromomafile2(entry.path(), &rl, &ll, true);
        const tradiilist* eyes[2] = {&rl, &ll};
        bool anydecoded = false;
        for (int e = 0; e < 2; ++e) {
            const bool decodable =
                std::string("134B").find(declared[e].notation) != std::string::npos && declared[e].notation != '\0';
            EXPECT_EQ(eyes[e]->readcount(), decodable ? declared[e].points : 0) << entry.path() << " eye " << e;
            if (decodable) {
                anydecoded = true;
                EXPECT_FALSE(eyes[e]->invalidnumberofpoints) << entry.path();
            }
        }
        EXPECT_EQ(ok, anydecoded) << entry.path();
        EXPECT_EQ(res.readcount(), anydecoded ? rl.readcount() : 0) << entry.path();
    }
    EXPECT_GT(files, 0);
}

TEST_F(Extraction, RealSampleDetails) {
    const std::filesystem::path dir = real_samples_dir();
    if (dir.empty() || !std::filesystem::exists(dir / "R1000_3.oma")) GTEST_SKIP() << "no real samples";
    tradiilist res, rl, ll;
    ASSERT_TRUE(res.extractradiilistfromomafile2(dir / "R1000_3.oma", &rl, &ll, true));
    EXPECT_EQ(rl.readcount(), 1000);
    EXPECT_EQ(ll.readcount(), 1000);
    EXPECT_EQ(res.dbl, 1900);
    EXPECT_EQ(rl.omacirc, 13658);
    EXPECT_EQ(ll.omacirc, 0);  // CIRC holds the right eye only
    EXPECT_EQ(rl.drawdrilllist.count(), 4);
    EXPECT_EQ(ll.drilleye, 'L');
    EXPECT_EQ(res.framename, "7580");
    EXPECT_EQ(res.frameeye, 48);
    EXPECT_EQ(res.frameqvttype, 3);

    // A notation this system does not decode gives no points and no result.
    if (!std::filesystem::exists(dir / "TRCFMT6.oma")) return;
    tradiilist res6, rl6, ll6;
    EXPECT_FALSE(res6.extractradiilistfromomafile2(dir / "TRCFMT6.oma", &rl6, &ll6, true));
    EXPECT_EQ(rl6.readcount(), 0);
    EXPECT_EQ(ll6.readcount(), 0);
    EXPECT_TRUE(rl6.binaryformat());
    EXPECT_EQ(res6.dbl, 1700);
}

}  // namespace
}  // namespace kestrune
