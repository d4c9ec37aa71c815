#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "fixtures/omafixtures.hpp"

namespace kestrune {
namespace {

using fixtures::anglesof;
using fixtures::radiiof;
using fixtures::recordsof;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Radii = std::vector<std::int32_t>;
using Records = std::vector<std::string>;

class Conversions : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
};

// n points at equal angles with radii 2000, 2001, ...
tradiilist evenlist(int n, const std::string& format = {}) {
    tradiilist r;
    r.trcfmtstr = format;
    for (int i = 0; i < n; ++i) r.addradiilist(static_cast<double>(i) * 360.0 / n, 2000 + i);
    return r;
}

// The values of a record "TAG=v;v;...", as text.
Records fieldsof(const std::string& record) {
    Records out;
    std::size_t start = record.find('=') + 1;
    for (;;) {
        const std::size_t end = record.find(';', start);
        out.push_back(record.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

// ---- ASCII records ----

TEST_F(Conversions, RecordsHoldTenValuesAndALastShorterOne) {
    struct tcase {
        int points;
        std::size_t records;
        std::size_t lastvalues;
    };
    const tcase cases[] = {{0, 0, 0}, {1, 1, 1}, {9, 1, 9}, {10, 1, 10}, {11, 2, 1}, {400, 40, 10}, {405, 41, 5}};
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.points);
        const tradiilist r = evenlist(c.points, "1;400;E;R;F");
        tstringlist out;
        out.add("stale");
        ASSERT_TRUE(r.makeasciiradiilist(out, true));
        ASSERT_EQ(static_cast<std::size_t>(out.count()), c.records);
        // Every value in list order, every record but the last one full.
        Radii values;
        for (int k = 0; k < out.count(); ++k) {
            ASSERT_EQ(out[k].rfind("R=", 0), 0u) << out[k];
            const Records fields = fieldsof(out[k]);
            if (k + 1 < out.count())
                EXPECT_EQ(fields.size(), 10u);
            else
                EXPECT_EQ(fields.size(), c.lastvalues);
            for (const std::string& f : fields) values.push_back(std::stoi(f));
        }
        EXPECT_EQ(values, radiiof(r));
    }
}

TEST_F(Conversions, RadiiAreWrittenWithoutPaddingAndWhole) {
    tradiilist r;
    r.trcfmtstr = "1;5;E;R";
    for (std::int32_t radius : {987, 5, 0, -32768, 123456}) r.addradiilist(r.readcount() * 72.0, radius);
    tstringlist out;
    ASSERT_TRUE(r.makeasciiradiilist(out, true));
    EXPECT_THAT(recordsof(out), ElementsAre("R=987;5;0;-32768;123456"));
}

TEST_F(Conversions, DamagedRadiusFieldsStillGiveOneValuePerPoint) {
    // Elements put in directly: one without a radius field, one with text
    // that is not a number. Each still gives a value, so the record keeps
    // the point count (an empty last field would read as no point).
    tradiilist r;
    tstringlist elements;
    elements.add("  0.000 2500");
    elements.add(" 90.000 abcd");
    elements.add("180.000");
    r.radiilist = elements;
    tstringlist out;
    ASSERT_TRUE(r.makeasciiradiilist(out, false));
    EXPECT_THAT(recordsof(out), ElementsAre("Z=2500;0;0"));
}

TEST_F(Conversions, UnevenTracesGetAngleRecordsRoundedHalfToEven) {
    tradiilist r;
    r.trcfmtstr = "3;12;U;R;F";
    const double angles[] = {0, 12.125, 12.375, 45.5, 90.004, 90.005, 180, 200.25, 270, 300, 330, 359.999};
    for (double a : angles) r.addradiilist(a, 2500);
    tstringlist out;
    ASSERT_TRUE(r.makeasciiradiilist(out, true));
    EXPECT_THAT(recordsof(out), ElementsAre("R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500", "R=2500;2500",
                                            "A=0;1212;1238;4550;9000;9000;18000;20025;27000;30000", "A=33000;36000"));

    // The Z pass writes Z and ZA records.
    ASSERT_TRUE(r.makeasciiradiilist(out, false));
    ASSERT_EQ(out.count(), 4);
    EXPECT_EQ(out[0].rfind("Z=", 0), 0u);
    EXPECT_EQ(out[2].rfind("ZA=0;1212;1238", 0), 0u);
}

TEST_F(Conversions, OnlyUnevenFormatTextsGiveAngleRecords) {
    for (const char* format : {"", "1;12;E;R", "3;12;u;R", "B"}) {
        SCOPED_TRACE(format);
        tstringlist out;
        ASSERT_TRUE(evenlist(12, format).makeasciiradiilist(out, true));
        EXPECT_EQ(out.count(), 2);
    }
}

TEST_F(Conversions, AngleRecordsAlone) {
    const tradiilist r = evenlist(12);
    tstringlist out;
    out.add("KEEP=1");
    ASSERT_TRUE(r.makeasciianglelist(&out, false));
    EXPECT_THAT(recordsof(out),
                ElementsAre("KEEP=1", "ZA=0;3000;6000;9000;12000;15000;18000;21000;24000;27000", "ZA=30000;33000"));
}

TEST_F(Conversions, NoListIsRefused) {
    tradiilist r = evenlist(12);
    EXPECT_FALSE(r.makeasciiradiilist(nullptr, true));
    EXPECT_FALSE(r.makeasciianglelist(nullptr, true));
    EXPECT_EQ(r.readcount(), 12);
}

TEST_F(Conversions, AsciiRecordsReadBackToTheSamePoints) {
    // An uneven trace through its records and the record decoder: same radii,
    // same angles to the hundredth of a degree.
    tradiilist r;
    r.trcfmtstr = "1;37;U;R;F";
    for (int i = 0; i < 37; ++i) r.addradiilist(i * i * 0.26 + 0.125, 2100 + (i * 37) % 300);
    tstringlist out;
    ASSERT_TRUE(r.makeasciiradiilist(out, true));

    tradiilist back, angles;
    for (const std::string& record : out) {
        const std::string value = record.substr(record.find('=') + 1);
        tradiilist& target = record[0] == 'R' ? back : angles;
        ASSERT_TRUE(tradiilist::addOMAradii(target, value, r.trcfmtstr));
    }
    EXPECT_EQ(radiiof(back), radiiof(r));
    ASSERT_EQ(angles.readcount(), 37);
    for (int i = 0; i < 37; ++i) {
        EXPECT_NEAR(angles.extractradiuselement(i) / 100.0, r.extractangleelement(i), 0.00501) << i;
    }
}

// ---- even spacing ----

TEST_F(Conversions, EvenTraceKeepsItsPointsAtEqualAngles) {
    tradiilist r = evenlist(400);
    const Radii before = radiiof(r);
    ASSERT_TRUE(r.converttoeven());
    ASSERT_EQ(r.readcount(), 400);
    for (int i = 0; i < 400; ++i) EXPECT_NEAR(r.extractangleelement(i), i * 0.9, 0.0005) << i;
    // Every radius comes from the trace's own neighbourhood.
    const Radii after = radiiof(r);
    for (int i = 0; i < 400; ++i) EXPECT_NEAR(after[i], before[i], 2) << i;
    EXPECT_EQ(r.trcfmtstr, "1;400;E;R");
}

TEST_F(Conversions, FormatTextsAfterEvenSpacing) {
    struct tcase {
        const char* before;
        const char* after;
    };
    const tcase cases[] = {
        {"3;400;U;L;F", "3;400;E;L;F"},
        {"1;400;U;R", "1;400;E;R"},
        // Notations whose descriptor text is the letter alone keep their fields.
        {"B;400;U;R;F", "B;400;E;R;F"},
        {"B", "B;;E"},
        // The declared count stays, whatever the trace holds.
        {"4;360;U;R;F", "4;360;E;R;F"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.before);
        tradiilist r = evenlist(400, c.before);
        r.converttoeven();
        EXPECT_EQ(r.trcfmtstr, c.after);
        EXPECT_FALSE(r.unevenfmt());
    }
}

TEST_F(Conversions, UnevenTraceIsResampledToEqualAngles) {
    // 40 points crowded into the first quarter, the rest of the outline
    // given by the chord across the gap: 40 points at 9 degree steps after.
    tradiilist r;
    r.trcfmtstr = "1;40;U;R;F";
    for (int i = 0; i < 40; ++i) r.addradiilist(i * 2.0, 2500 + i);
    ASSERT_TRUE(r.converttoeven());
    ASSERT_EQ(r.readcount(), 40);
    const std::vector<double> angles = anglesof(r);
    for (int i = 0; i < 40; ++i) EXPECT_NEAR(angles[i], i * 9.0, 0.0005) << i;
    // The largest radius of each sector is kept: the first sector holds the
    // resampled points at 0, 2.25, 4.5 and 6.75 degrees, the last of which
    // lies between 2503 (at 6) and 2504 (at 8).
    EXPECT_EQ(r.extractradiuselement(0), 2503);
    EXPECT_EQ(r.trcfmtstr, "1;40;E;R;F");
}

TEST_F(Conversions, EmptyTraceGetsAFormatTextOnly) {
    tradiilist r;
    ASSERT_TRUE(r.converttoeven());
    EXPECT_EQ(r.readcount(), 0);
    EXPECT_EQ(r.trcfmtstr, "1;0;E;R");
}

TEST_F(Conversions, EvenRecordsOfAnUnevenTrace) {
    tradiilist r;
    r.trcfmtstr = "3;100;U;R;F";
    for (int i = 0; i < 100; ++i) r.addradiilist(i * 3.6 + (i % 2 ? 0.7 : 0), 2400 + (i % 20));
    tstringlist out;
    ASSERT_TRUE(r.makeevenradiilist(out, true));
    EXPECT_EQ(r.trcfmtstr, "3;100;E;R;F");
    // Even now: radius records only.
    EXPECT_EQ(out.count(), r.readcount() / 10 + (r.readcount() % 10 ? 1 : 0));
    for (const std::string& record : out) EXPECT_EQ(record.rfind("R=", 0), 0u);
}

// ---- format text ----

TEST_F(Conversions, ChangeFormatText) {
    struct tcase {
        const char* before;
        std::int32_t points;
        bool binary;
        const char* after;
    };
    const tcase cases[] = {
        {"3;400;E;R;F", 360, false, "1;360;E;R;F"},
        {"1;400;U;L", 400, true, "3;400;U;L"},
        {"B", 1024, false, "1;1024;;"},
        {"4;1000;E;B;P", 0, true, "3;0;E;B;P"},
        {"", 400, true, ""},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.before);
        tradiilist r;
        r.trcfmtstr = c.before;
        r.changetrcfmt(c.points, c.binary);
        EXPECT_EQ(r.trcfmtstr, c.after);
    }
}

// ---- hostile content ----

TEST_F(Conversions, RecordsOfTheWidestNumbersAreWrittenWhole) {
    // Eleven points whose radius and angle both come out as -2147483648:
    // a full record of the longest tag and the widest numbers, then one
    // more record for the last point.
    tradiilist r;
    r.trcfmtstr = "1;11;U;R";
    tstringlist elements;
    for (int k = 0; k < 11; ++k) elements.add(" -1e300-2147483648");
    r.radiilist = elements;
    tstringlist out;
    ASSERT_TRUE(r.makeasciiradiilist(out, false));
    std::string ten;
    for (int k = 0; k < 10; ++k) ten += (k == 0 ? "" : ";") + std::string("-2147483648");
    EXPECT_THAT(recordsof(out), ElementsAre("Z=" + ten, "Z=-2147483648", "ZA=" + ten, "ZA=-2147483648"));
}

TEST_F(Conversions, HostileElementsNeitherCrashNorOverflow) {
    tradiilist r;
    r.trcfmtstr = "1;6;U;R";
    tstringlist elements;
    for (const char* e : {"9999999 2500", "-999999    1", "   nan 2500", "1e300   12", "", "  1.500"}) elements.add(e);
    r.radiilist = elements;
    tstringlist out;
    ASSERT_TRUE(r.makeasciiradiilist(out, true));
    ASSERT_EQ(out.count(), 2);
    EXPECT_EQ(out[0], "R=2500;1;2500;12;0;0");
    EXPECT_EQ(out[1], "A=999999900;-99999900;0;2147483647;0;150");
    // Resampling the same points at equal angles stays within the list.
    r.converttoeven();
    for (int i = 0; i < r.readcount(); ++i) {
        const double a = r.extractangleelement(i);
        EXPECT_TRUE(a >= 0 && a < 360) << a;
    }
}

}  // namespace
}  // namespace kestrune
