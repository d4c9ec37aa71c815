#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fixtures/omafixtures.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/job/measurements.hpp"
#include "kestrune/support/settings.hpp"

namespace kestrune {
namespace {

using fixtures::concat;
using records = std::vector<std::string>;

tomafileobj documentof(const records& recs) {
    tomafileobj doc;
    for (const auto& r : recs) doc.omalist.add(r);
    return doc;
}

class Measurements : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
    void TearDown() override { setregionalsettings('.'); }
};

// A circle of radius 25 mm on the right, an ellipse 60 x 40 mm on the left:
// each eye measured on its own trace, with the file's bridge and its own
// circumference beside the computed one.
TEST_F(Measurements, EachEyeOnItsOwnTrace) {
    tomafileobj doc = documentof(concat({{"DBL=18.50", "CIRC=160.00;170.00"},
                                         fixtures::trace('R', fixtures::circle(400, 2500)),
                                         fixtures::trace('L', fixtures::ellipse(360, 3000, 2000))}));
    toutlineextraction outlines;
    EXPECT_EQ(checkoutlines(doc, outlines), "");
    const teyemeasures right = measureeye(outlines.right);
    const teyemeasures left = measureeye(outlines.left);
    EXPECT_EQ(right.format, "1;400;E;R;F");
    EXPECT_EQ(right.points, 400);
    EXPECT_EQ(right.a, 5000);
    EXPECT_EQ(right.b, 5000);
    EXPECT_EQ(right.ed, 5000);
    EXPECT_NEAR(right.fcirc, 15708, 2);  // 2 pi r
    EXPECT_EQ(right.circ, 16000);        // the file's, when it gives one
    EXPECT_EQ(right.dbl, 1850);
    EXPECT_EQ(left.points, 360);
    EXPECT_EQ(left.a, 6000);
    EXPECT_EQ(left.b, 4000);
    EXPECT_EQ(left.circ, 17000);
    EXPECT_FALSE(left.undecoded);
}

// The eye without a trace stays empty: it does not take the mirror image of
// the other one, as the shape to show would.
TEST_F(Measurements, AnEyeWithoutATraceHasNoPoints) {
    tomafileobj doc = documentof(fixtures::trace('L', fixtures::oval(36)));
    toutlineextraction outlines;
    checkoutlines(doc, outlines);
    EXPECT_EQ(measureeye(outlines.right).points, 0);
    EXPECT_EQ(measureeye(outlines.left).points, 36);
}

TEST_F(Measurements, AnUndecodedNotationIsThereWithoutPoints) {
    tomafileobj doc = documentof({"TRCFMT=6;400;E;R;F", "R=AAAA"});
    toutlineextraction outlines;
    checkoutlines(doc, outlines);
    const teyemeasures right = measureeye(outlines.right);
    EXPECT_EQ(right.points, 0);
    EXPECT_TRUE(right.undecoded);
    EXPECT_EQ(right.format, "6;400;E;R;F");
}

// The lines info prints and the viewer's tooltips repeat, with the regional
// decimal mark.
TEST_F(Measurements, FieldsInReadingOrder) {
    teyemeasures m;
    m.format = "1;400;E;R;F";
    m.points = 400;
    m.a = 4800;
    m.b = 3798;
    m.ed = 5210;
    m.edangle = 12;
    m.circ = 15000;
    m.fcirc = 14999;
    m.dbl = 1800;
    m.drills = 2;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Format", "1;400;E;R;F"},
        {"Points", "400"},
        {"A (box width)", "48.00 mm"},
        {"B (box depth)", "37.98 mm"},
        {"ED", "52.10 mm"},
        {"ED angle", "12 degrees"},
        {"Circumference", "150.00 mm"},
        {"Computed circumference", "149.99 mm"},
        {"DBL", "18.00 mm"},
        {"Drill records", "2"},
    };
    EXPECT_EQ(measurefields(m), expected);
    setregionalsettings(',');
    EXPECT_EQ(millimetretext(-1250), "-12,50 mm");
}

}  // namespace
}  // namespace kestrune
