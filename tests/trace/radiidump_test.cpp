#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "kestrune/document/omafile.hpp"
#include "kestrune/trace/geometry.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

using fixtures::shapes::circle;

// Sets the regional separators for one test and puts the previous ones back.
class RadiiDump : public ::testing::Test {
protected:
    void SetUp() override {
        saved_system_ = QVTFormatsettings();
        saved_user_ = UserFormatsettings();
        setregionalsettings('.');
    }
    void TearDown() override {
        QVTFormatsettings() = saved_system_;
        UserFormatsettings() = saved_user_;
    }

private:
    tformatsettings saved_system_, saved_user_;
};

TEST_F(RadiiDump, EmptyListGivesNoLinesAtAll) {
    tradiilist l;
    tstringlist dbg;
    dbg.add("left over");
    l.datatodebuglist(dbg);
    EXPECT_EQ(dbg.count(), 0);
}

TEST_F(RadiiDump, HeaderThenOneLinePerPointWithRegionalSeparators) {
    const struct {
        char decimal, list;
        const char* header;
        const char* first;
        const char* second;
        const char* last;
    } cases[] = {
        {'.', ',', "Number,Angle,Radius,X,Y", "0,0.00,2500.00,2500.00,0.00", "1,0.90,2500.00,2500.00,39.00",
         "399,359.10,2500.00,2500.00,-39.00"},
        {',', ';', "Number;Angle;Radius;X;Y", "0;0,00;2500,00;2500,00;0,00", "1;0,90;2500,00;2500,00;39,00",
         "399;359,10;2500,00;2500,00;-39,00"},
        // A decimal mark equal to the list separator: numbers with decimals
        // are quoted, so the fields can still be told apart.
        {',', ',', "Number,Angle,Radius,X,Y", "0,\"0,00\",\"2500,00\",\"2500,00\",\"0,00\"",
         "1,\"0,90\",\"2500,00\",\"2500,00\",\"39,00\"", "399,\"359,10\",\"2500,00\",\"2500,00\",\"-39,00\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.decimal) + c.list);
        QVTFormatsettings().DecimalSeparator = c.decimal;
        QVTFormatsettings().ListSeparator = c.list;
        tradiilist l = circle(400, 2500);
        tstringlist dbg;
        l.datatodebuglist(dbg);
        ASSERT_EQ(dbg.count(), 401);
        EXPECT_EQ(dbg[0], c.header);
        EXPECT_EQ(dbg[1], c.first);
        EXPECT_EQ(dbg[2], c.second);
        EXPECT_EQ(dbg[400], c.last);
    }
}

// The dump as one text is the dump's lines, each followed by CR LF, and it
// leaves the list as the line dump does (sorted, coordinate lists rebuilt).
TEST_F(RadiiDump, TextIsTheLinesEachFollowedByCrLf) {
    tradiilist unordered;
    for (const double angle : {270.0, 90.0, 180.0, 12.125}) unordered.addradiilist(angle, 2000);
    tradiilist wide;
    wide.addradiilist(180, 99999);
    const struct {
        const char* name;
        tradiilist list;
    } lists[] = {{"empty", tradiilist()}, {"circle", circle(400, 2500)}, {"unordered", unordered}, {"wide", wide}};
    for (const char* separators : {".,", ",;", ",,"}) {
        QVTFormatsettings().DecimalSeparator = separators[0];
        QVTFormatsettings().ListSeparator = separators[1];
        for (const auto& c : lists) {
            SCOPED_TRACE(std::string(c.name) + " " + separators);
            tradiilist bylines = c.list, astext = c.list;
            tstringlist dbg;
            bylines.datatodebuglist(dbg);
            std::string expected;
            for (const std::string& line : dbg) expected += line + "\r\n";
            std::string text = "left over";
            astext.datatodebugtext(text);
            EXPECT_EQ(text, expected);
            EXPECT_EQ(astext.radiilist, bylines.radiilist);
            EXPECT_EQ(astext.xlist, bylines.xlist);
            EXPECT_EQ(astext.ylist, bylines.ylist);
        }
    }
}

TEST_F(RadiiDump, OutOfOrderPointsAreDumpedAndLeftSorted) {
    tradiilist l;
    l.addradiilist(270, 2000);
    l.addradiilist(90, 1500);
    l.addradiilist(180, 1000);
    l.addradiilist(12.125, 2200);
    tstringlist dbg;
    l.datatodebuglist(dbg);
    ASSERT_EQ(dbg.count(), 5);
    EXPECT_EQ(dbg[2], "1,90.00,1500.00,0.00,1500.00");
    EXPECT_EQ(dbg[3], "2,180.00,1000.00,-1000.00,0.00");
    EXPECT_EQ(dbg[4], "3,270.00,2000.00,0.00,-2000.00");
    EXPECT_EQ(dbg[1].substr(0, 2), "0,");
    // The list itself is now in angle order, with coordinates beside it.
    EXPECT_EQ(l.extractangleelement(0), 12.125);
    EXPECT_EQ(l.extractangleelement(3), 270);
    EXPECT_EQ(l.xlist.count(), 4);
    EXPECT_EQ(tradiilist::extractradius(l.xlist[2]), -1000);
}

TEST_F(RadiiDump, RefillsAnExistingListAndShowsWideCoordinatesWhole) {
    tradiilist l;
    l.addradiilist(180, 99999);
    tstringlist dbg;
    l.datatodebuglist(dbg);
    l.datatodebuglist(dbg);
    ASSERT_EQ(dbg.count(), 2);
    // -99999 is wider than an element's radius field; the dump keeps it whole.
    EXPECT_EQ(dbg[1], "0,180.00,99999.00,-99999.00,0.00");
}

// The dump line of point i as the element text gives it: the angle and radius
// fields read back from the text, the coordinates by the rule of xlist and
// ylist, each number written by xrealtostr and the fields joined as a
// delimited list.
std::string referenceline(const tradiilist& l, int i, char separator) {
    const std::string e = l.element(i);
    const double angle = tradiilist::extractangle(e);
    const std::int32_t radius = tradiilist::extractradius(e);
    std::int32_t x = 0, y = 0;
    polartoxy(angle, radius, x, y);
    tstringlist fields;
    fields.add(xinttostr(i));
    fields.add(xrealtostr(angle));
    fields.add(xrealtostr(radius));
    fields.add(xrealtostr(x));
    fields.add(xrealtostr(y));
    std::string line;
    listtodelimitedstr(fields, line, separator);
    return line;
}

TEST_F(RadiiDump, LinesAreThoseOfTheElementTextsForAwkwardPoints) {
    // Lists whose points sit on rounding ties, outside the element's usual
    // field widths, or were put in as text.
    tradiilist ties;
    for (int k = 0; k < 2000; ++k) ties.addradiilist(k * 0.005, 2000 + k % 7);  // x.xx5 angles
    tradiilist wide;
    wide.addradiilist(0, 123456);  // radius wider than its field: read as its first 5 digits
    wide.addradiilist(45.5, -9999);
    wide.addradiilist(90.0004, -123456);
    wide.addradiilist(359.9996, 99999);
    tradiilist texts;
    texts.radiilist.add("  1.000 2500");
    texts.radiilist.add(" 10.5   2400");  // not the usual layout
    texts.radiilist.add("-0.0001  100");  // a negative angle field that rounds to zero
    texts.radiilist.add("200.000");       // no radius at all
    tradiilist turn;                      // every seventh thousandth of a degree round the circle
    for (int t = 0; t < 360000; t += 7) turn.addradiilist(t / 1000.0, 2500);
    tradiilist uneven;
    for (int k = 0; k < 500; ++k) uneven.addradiilist(std::fmod(k * 0.7213 + (k % 3) * 0.0015, 360.0), 1800 + k);

    const struct {
        const char* name;
        tradiilist* list;
    } lists[] = {{"ties", &ties}, {"wide", &wide}, {"texts", &texts}, {"turn", &turn}, {"uneven", &uneven}};
    const struct { char decimal, list; } separators[] = {{'.', ','}, {',', ';'}, {',', ','}, {'.', '.'}};
    for (const auto& sep : separators) {
        QVTFormatsettings().DecimalSeparator = sep.decimal;
        QVTFormatsettings().ListSeparator = sep.list;
        for (const auto& c : lists) {
            SCOPED_TRACE(std::string(c.name) + " " + sep.decimal + sep.list);
            tstringlist dbg;
            c.list->datatodebuglist(dbg);
            ASSERT_EQ(dbg.count(), c.list->readcount() + 1);
            for (int i = 0; i < c.list->readcount(); ++i)
                ASSERT_EQ(dbg[i + 1], referenceline(*c.list, i, sep.list)) << "point " << i;
        }
    }
}

TEST_F(RadiiDump, PackedTraceDumpsAsItsAsciiForm) {
    // The same outline stored as ASCII records and as one notation "3"
    // record gives the same dump, byte for byte.
    tradiilist outline;
    for (int k = 0; k < 1000; ++k)
        outline.addradiilist(k * 0.36, static_cast<std::int32_t>(2300 + 400 * std::cos(k * 0.36 * 3.14159265 / 90)));
    tstringlist ascii, packed;
    ascii.add("TRCFMT=1;1000;E;R;F");
    packed.add("TRCFMT=3;1000;E;R;F");
    tstringlist records;
    ASSERT_TRUE(outline.makeasciiradiilist(records, true));
    for (const std::string& r : records) ascii.add(r);
    packed.add(outline.makebinaryradiilist(true));

    tstringlist dumps[2];
    for (int k = 0; k < 2; ++k) {
        tradiilist shown, right;
        ASSERT_TRUE(shown.extractradiilistfromomalist2(k == 0 ? ascii : packed, &right, nullptr, true));
        ASSERT_EQ(right.readcount(), 1000);
        right.datatodebuglist(dumps[k]);
    }
    EXPECT_EQ(dumps[0].items(), dumps[1].items());
    EXPECT_EQ(dumps[0][501], "500,180.00,2700.00,-2700.00,0.00");
}

TEST_F(RadiiDump, RealTracesGiveOneConsistentLinePerPoint) {
    const auto dir = testing::real_samples_dir();
    if (dir.empty()) GTEST_SKIP() << "no real samples";
    int dumped = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().filename().string());
        tradiilist shown, right;
        if (!shown.extractradiilistfromomafile2(entry.path(), &right, nullptr, true)) continue;
        tstringlist dbg;
        right.datatodebuglist(dbg);
        ASSERT_EQ(dbg.count(), right.readcount() + 1);
        double previousangle = -1;
        for (int i = 1; i < dbg.count(); ++i) {
            tstringlist f;
            delimitedstrtolist(dbg[i], f, ',');
            ASSERT_EQ(f.count(), 5) << dbg[i];
            EXPECT_EQ(xstrtoint(f[0]), i - 1);
            const double angle = xstrtoreal(f[1]);
            EXPECT_GT(angle, previousangle);
            previousangle = angle;
            const double r = xstrtoreal(f[2]), x = xstrtoreal(f[3]), y = xstrtoreal(f[4]);
            EXPECT_NEAR(std::hypot(x, y), r, 1) << dbg[i];
        }
        ++dumped;
    }
    EXPECT_GT(dumped, 0);
}

}  // namespace
}  // namespace kestrune
