#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "kestrune/oma/omafile.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

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

    static tradiilist circle(int n, std::int32_t r) {
        tradiilist l;
        for (int i = 0; i < n; ++i) l.addradiilist(i * 360.0 / n, r);
        return l;
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
        {'.', ',', "Number,Angle,Radius,X,Y", "0,0.00,2500.00,2500.00,0.00",
         "1,0.90,2500.00,2500.00,39.00", "399,359.10,2500.00,2500.00,-39.00"},
        {',', ';', "Number;Angle;Radius;X;Y", "0;0,00;2500,00;2500,00;0,00",
         "1;0,90;2500,00;2500,00;39,00", "399;359,10;2500,00;2500,00;-39,00"},
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
