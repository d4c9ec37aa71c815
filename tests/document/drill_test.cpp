#include "kestrune/document/drill.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "kestrune/support/settings.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

using namespace std::string_literals;

class DrillTest : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
    void TearDown() override { setregionalsettings('.'); }
};

// The decoded fields a case expects (tagstr and alwaysini2 are checked apart).
struct drillexpect {
    char eyecode;
    std::string reflocation;
    std::int32_t startx, starty, diameter, endx, endy, depth;
    bool nulldepth, nullend;
    std::string feature;
    char anglemode;
    std::int32_t latangle, vertangle;
};

struct decodecase {
    const char* name;
    std::string record;
    drillexpect want;
};

const std::string kNulFeature("\0", 1);

drillexpect defaults() { return {'B', "C", 0, 0, 0, 0, 0, 0, false, false, "0", 'F', 0, 0}; }

void expectline(const drilllinedefn& d, const drillexpect& w) {
    EXPECT_EQ(d.eyecode, w.eyecode);
    EXPECT_EQ(d.reflocation, w.reflocation);
    EXPECT_EQ(d.startx, w.startx);
    EXPECT_EQ(d.starty, w.starty);
    EXPECT_EQ(d.diameter, w.diameter);
    EXPECT_EQ(d.endx, w.endx);
    EXPECT_EQ(d.endy, w.endy);
    EXPECT_EQ(d.depth, w.depth);
    EXPECT_EQ(d.nulldepth, w.nulldepth);
    EXPECT_EQ(d.nullend, w.nullend);
    EXPECT_EQ(d.feature, w.feature);
    EXPECT_EQ(d.anglemode, w.anglemode);
    EXPECT_EQ(d.latangle, w.latangle);
    EXPECT_EQ(d.vertangle, w.vertangle);
}

TEST_F(DrillTest, DecodeTable) {
    const std::vector<decodecase> cases = {
        {"round hole, centre reference",
         "DRILLE=R;C;20.5;3;2.2",
         {'R', "C", 2050, 300, 220, 2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"decimal comma everywhere",
         "DRILLE=R;C;20,5;3,0;2,2",
         {'R', "C", 2050, 300, 220, 2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"slot with end point",
         "DRILLE=R;C;20.5;3;2.2;24;3",
         {'R', "C", 2050, 300, 220, 2400, 300, 0, true, false, kNulFeature, '\0', 0, 0}},
        {"end x only: end y follows start",
         "DRILLE=R;C;20.5;3;2.2;24;",
         {'R', "C", 2050, 300, 220, 2400, 300, 0, true, false, kNulFeature, '\0', 0, 0}},
        {"end y only: end x follows start",
         "DRILLE=R;C;20.5;3;2.2;;5",
         {'R', "C", 2050, 300, 220, 2050, 500, 0, true, false, kNulFeature, '\0', 0, 0}},
        {"empty eye with a position is both eyes",
         "DRILLE=;C;20.5;3;2.2",
         {'B', "C", 2050, 300, 220, 2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"no position and no size: nothing completed",
         "DRILLE=;C;0;0;0;;;1.5",
         {'\0', "C", 0, 0, 0, 0, 0, 150, false, false, kNulFeature, '\0', 0, 0}},
        {"hole on the vertical axis is still a round hole",
         "DRILLE=R;C;0;15;2",
         {'R', "C", 0, 1500, 200, 0, 1500, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"depth given",
         "DRILLE=R;C;20.5;3;2.2;;;0.5",
         {'R', "C", 2050, 300, 220, 2050, 300, 50, false, true, kNulFeature, '\0', 0, 0}},
        {"depth of blanks counts as none",
         "DRILLE=R;C;20.5;3;2.2;;;  ;1",
         {'R', "C", 2050, 300, 220, 2050, 300, 0, true, true, "1", '\0', 0, 0}},
        {"empty reference location stays empty",
         "DRILLE=R;;20.5;3;2.2",
         {'R', "", 2050, 300, 220, 2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"reference location kept as written",
         "DRILLE=L;ENx;-20.5;3;2.2",
         {'L', "ENx", -2050, 300, 220, -2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"all twelve fields, angles rounded half to even",
         "DRILLE=L;ET;-20.5;3;2.2;-24;4;1.0;27;A;10.5;3.5;ignored;more",
         {'L', "ET", -2050, 300, 220, -2400, 400, 100, false, false, "2", 'A', 10, 4}},
        {"unknown angle mode becomes F",
         "DRILLE=R;C;20.5;3;2.2;;;;1;x;5;6",
         {'R', "C", 2050, 300, 220, 2050, 300, 0, true, true, "1", 'F', 5, 6}},
        {"file written by other software",
         "DRILLE=B;C;-22.00;3.25;1.40;-22.00;3.25;0;1;F",
         {'B', "C", -2200, 325, 140, -2200, 325, 0, false, false, "1", 'F', 0, 0}},
        {"blanks around the value are removed",
         "DRILLE=  R;C;20.5;3;2.2  ",
         {'R', "C", 2050, 300, 220, 2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"quoted field may hold a semicolon",
         "DRILLE=R;\"E;N\";20.5;3;2.2",
         {'R', "E;N", 2050, 300, 220, 2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"DRILL layout",
         "DRILL=R;20.5;3;2.2;24;3;1;B;7;8",
         {'R', "C", 2050, 300, 220, 2400, 300, 100, false, false, "0", 'B', 0, 0}},
        {"DRILL round hole",
         "DRILL=L;-20.5;3;2.2",
         {'L', "C", -2050, 300, 220, -2050, 300, 0, true, true, "0", '\0', 0, 0}},
        {"DRILL empty eye",
         "DRILL=;-20.5;3;2.2;;;;q",
         {'B', "C", -2050, 300, 220, -2050, 300, 0, true, true, "0", 'F', 0, 0}},
        {"lower-case tag is not drill data", "drille=R;C;20.5;3;2.2", defaults()},
        {"other tag is not drill data", "DRILLX=R;C;20.5;3;2.2", defaults()},
        {"no tag delimiter", "DRILLER;C;20.5;3;2.2", defaults()},
        {"value of nine characters", "DRILLE=R;C;5;3;2", defaults()},
        {"value of nine characters after trimming", "DRILLE=  R;C;5;3;2   ", defaults()},
        {"empty record", "", defaults()},
        // Hostile input: numbers out of range read as 0, never wrap.
        {"numbers beyond 32 bits",
         "DRILLE=R;C;99999999999;1e300;2.2;;;;;A;1e30;-1e30",
         {'R', "C", 0, 0, 220, 0, 0, 0, true, true, kNulFeature, 'A', 0, 0}},
        {"NUL inside a number",
         "DRILLE=R;C;2\0.5;3;2.2"s,
         {'R', "C", 0, 300, 220, 0, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"NUL eye field",
         "DRILLE=\0;C;20.5;3;2.2"s,
         {'B', "C", 2050, 300, 220, 2050, 300, 0, true, true, kNulFeature, '\0', 0, 0}},
        {"separators only",
         "DRILLE=;;;;;;;;;;;;;;;;",
         {'\0', "", 0, 0, 0, 0, 0, 0, true, false, kNulFeature, '\0', 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drilllinedefn d;
        d.decodedrill(c.record);
        expectline(d, c.want);
    }
}

TEST_F(DrillTest, DecodeSetsTagAndStartsFromDefaults) {
    drilllinedefn d;
    d.alwaysini2 = true;
    d.decodedrill("DRILLE=L;ET;-20.5;3;2.2;-24;4;1.0;27;A;10.5;3.5");
    EXPECT_EQ(d.tagstr, "DRILLE");
    // A second, undecodable record must not leave anything of the first behind.
    d.decodedrill("drill=R;20.5;3;2.2;24;3;1;B");
    EXPECT_EQ(d.tagstr, "drill");
    expectline(d, defaults());
    EXPECT_TRUE(d.alwaysini2);

    d.decodedrill("JOB");
    EXPECT_EQ(d.tagstr, "JOB");
}

TEST_F(DrillTest, ClearKeepsTagAndAngleSetting) {
    drilllinedefn d;
    d.decodedrill("DRILLE=L;ET;-20.5;3;2.2;-24;4;1.0;27;A;10.5;3.5");
    d.alwaysini2 = true;
    d.nulldepth = d.nullend = true;
    d.clear();
    expectline(d, defaults());
    EXPECT_EQ(d.tagstr, "DRILLE");
    EXPECT_TRUE(d.alwaysini2);
}

TEST_F(DrillTest, DecodeReadsPointNumbersUnderCommaSettings) {
    setregionalsettings(',');
    drilllinedefn d;
    d.decodedrill("DRILLE=R;C;20.5;3;2.2;24,25;3.5");
    EXPECT_EQ(d.startx, 2050);
    EXPECT_EQ(d.diameter, 220);
    EXPECT_EQ(d.endx, 2425);
    EXPECT_EQ(d.endy, 350);
}

struct encodecase {
    const char* name;
    std::string record;
    std::string encoded;
};

TEST_F(DrillTest, EncodeOfDecodedRecords) {
    const std::vector<encodecase> cases = {
        {"round hole leaves end, depth, feature and angles out", "DRILLE=R;C;20.5;3;2.2", "DRILLE=R;C;20.50;3.00;2.20"},
        {"slot keeps its end", "DRILLE=R;C;20.5;3;2.2;24;3", "DRILLE=R;C;20.50;3.00;2.20;24.00;3.00"},
        {"depth 0 given is written", "DRILLE=B;C;-22.00;3.25;1.40;-22.00;3.25;0;1;F",
         "DRILLE=B;C;-22.00;3.25;1.40;-22.00;3.25;0.00;1;F;0;0"},
        {"angles below 100 are whole degrees", "DRILLE=L;ET;-20.5;3;2.2;-24;4;1.0;2;A;10.5;3.5",
         "DRILLE=L;ET;-20.50;3.00;2.20;-24.00;4.00;1.00;2;A;10;4"},
        {"empty eye of a position-less line stays empty", "DRILLE=;C;0;0;0;;;1.5", "DRILLE=;C;0.00;0.00;0.00;;;1.50"},
        {"DRILL round hole leaves its end and missing angle mode out", "DRILL=L;-20.5;3;2.2",
         "DRILL=L;-20.50;3.00;2.20"},
        {"DRILL end equal to the start but given is kept", "DRILL=L;-20.5;3;2.2;-20.5;3",
         "DRILL=L;-20.50;3.00;2.20;-20.50;3.00"},
        {"DRILL depth and angle mode", "DRILL=R;20.5;3;2.2;24;3;1;B", "DRILL=R;20.50;3.00;2.20;24.00;3.00;1.00;B;0;0"},
        {"quoted reference location is quoted again", "DRILLE=R;\"E;N\";20.5;3;2.2",
         "DRILLE=R;\"E;N\";20.50;3.00;2.20"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drilllinedefn d;
        d.decodedrill(c.record);
        EXPECT_EQ(d.encodedrill(), c.encoded);
    }
}

TEST_F(DrillTest, EncodeAngles) {
    drilllinedefn d;
    d.tagstr = "DRILLE";
    d.startx = 1000;
    d.starty = 200;
    d.diameter = 150;
    d.nulldepth = true;
    d.anglemode = 'A';
    d.latangle = 5;
    d.vertangle = 150;
    // From 100 up an angle is taken as hundredths of a degree.
    EXPECT_EQ(d.encodedrill(), "DRILLE=B;C;10.00;2.00;1.50;;;;0;A;5;1.50");
    d.alwaysini2 = true;
    EXPECT_EQ(d.encodedrill(), "DRILLE=B;C;10.00;2.00;1.50;;;;0;A;0.05;1.50");
    d.anglemode = '\0';
    d.feature = kNulFeature;
    EXPECT_EQ(d.encodedrill(), "DRILLE=B;C;10.00;2.00;1.50");

    // DRILL: lateral angle like DRILLE without alwaysini2, vertical always whole.
    d.tagstr = "DRILL";
    d.anglemode = 'B';
    d.latangle = 150;
    d.vertangle = 150;
    EXPECT_EQ(d.encodedrill(), "DRILL=B;10.00;2.00;1.50;;;;B;1.50;150");
    d.tagstr.clear();
    d.latangle = -3;
    EXPECT_EQ(d.encodedrill(), "DRILL=B;10.00;2.00;1.50;;;;B;-3;150");
}

TEST_F(DrillTest, EncodeWritesPointsUnderCommaSettings) {
    setregionalsettings(',');
    drilllinedefn d;
    d.decodedrill("DRILLE=R;C;20,5;3;2,25");
    EXPECT_EQ(d.encodedrill(), "DRILLE=R;C;20.50;3.00;2.25");
}

TEST_F(DrillTest, EncodeThenDecodeGivesTheSameLine) {
    const std::vector<std::string> records = {
        "DRILLE=R;C;20.5;3;2.2",
        "DRILLE=R;C;20.5;3;2.2;24;3",
        "DRILLE=R;C;20.5;3;2.2;;5;0.75;3",
        "DRILLE=L;ET;-20.5;3;2.2;-24;4;1.0;2;A;10.5;3.5",
        "DRILLE=B;C;-22.00;3.25;1.40;-22.00;3.25;0;1;F",
        "DRILLE=R;C;0;15;2",
        "DRILLE=R;\"E;N\";20.5;3;2.2",
        "DRILL=R;20.5;3;2.2;24;3;1;B",
        "DRILL=;-20.5;3;2.2;;;;q",
    };
    for (const auto& r : records) {
        SCOPED_TRACE(r);
        drilllinedefn a;
        a.decodedrill(r);
        drilllinedefn b;
        b.decodedrill(a.encodedrill());
        EXPECT_EQ(b.tagstr, a.tagstr);
        expectline(b, {a.eyecode, a.reflocation, a.startx, a.starty, a.diameter, a.endx, a.endy, a.depth, a.nulldepth,
                       a.nullend, a.feature, a.anglemode, a.latangle, a.vertangle});
    }
}

// Every drill record of the real samples decodes to a hole of plausible size
// for the eyes the file names, and survives writing and reading back.
TEST_F(DrillTest, RealSamples) {
    const auto dir = testing::real_samples_dir();
    if (dir.empty()) GTEST_SKIP() << "no real samples";
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind("DRILL", 0) != 0) continue;
            SCOPED_TRACE(entry.path().filename().string() + ": " + line);
            ++found;
            drilllinedefn d;
            d.decodedrill(line);
            EXPECT_TRUE(d.eyecode == 'R' || d.eyecode == 'L' || d.eyecode == 'B');
            EXPECT_NE(d.startx, 0);
            EXPECT_GT(d.diameter, 0);
            EXPECT_LT(d.diameter, 1000);
            drilllinedefn back;
            back.decodedrill(d.encodedrill());
            EXPECT_EQ(back.startx, d.startx);
            EXPECT_EQ(back.starty, d.starty);
            EXPECT_EQ(back.endx, d.endx);
            EXPECT_EQ(back.endy, d.endy);
            EXPECT_EQ(back.diameter, d.diameter);
        }
    }
    if (found == 0) GTEST_SKIP() << "no drill records in the real samples";
}

}  // namespace
}  // namespace kestrune
