// Drawing a shape: compared call by call on the recording canvas.
//
// The picture box of the viewer is 105 x 105 pixels for an 80 mm grid, so one
// hundredth of a millimetre is 0.013125 pixel and the trace centre lies at
// pixel (52, 52).
#include "kestrune/shape/canvas.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/trace/radiilist.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrune {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::int32_t kShape = 14799057;
constexpr std::int32_t kFixed = 65280;
constexpr std::int32_t kRed = 0x0000FF;

// n points at equal angle steps from 0 degrees, all of one radius.
void makecircle(tradiilist& r, int n, std::int32_t radius) {
    for (int i = 0; i < n; ++i) r.addradiilist(360.0 * i / n, radius);
}

class Drawing : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }

    // Draws list on a fresh recording canvas of 105 x 105 pixels.
    trecordingcanvas draw(int eyecode = rightcode, bool showtext = false) {
        trecordingcanvas t;
        EXPECT_TRUE(list.drawshape(t, 105, 105, eyecode, showtext));
        return t;
    }

    static std::vector<tcanvascall::kind> kinds(const trecordingcanvas& t) {
        std::vector<tcanvascall::kind> out;
        for (const auto& c : t.calls) out.push_back(c.op);
        return out;
    }

    tradiilist list;
};

TEST_F(Drawing, FrameFollowsTheDrawingBoxWithTheCanvasPen) {
    trecordingcanvas t;
    t.setpencolor(kRed);
    list.drawshaperel(t, 10, 20, 105, 50, rightcode, false);
    ASSERT_EQ(t.calls.size(), 1u);  // no points: only the frame
    EXPECT_EQ(t.calls[0].str(), "Rectangle(10,20,115,70)");
    EXPECT_EQ(t.calls[0].state.pencolor, kRed);

    list.borderdraw = false;
    trecordingcanvas none;
    list.drawshape(none, 105, 105, rightcode, false);
    EXPECT_TRUE(none.calls.empty());
}

// A canvas whose drawing fails: memory running out makes the drawing false;
// any other exception is a fault of the program and reaches the caller.
TEST_F(Drawing, OnlyMemoryRunningOutMakesTheDrawingFalse) {
    struct tfailingcanvas : trecordingcanvas {
        std::function<void()> fail;
        void dopolygon(std::span<const tpoint>) override { fail(); }
    };
    makecircle(list, 36, 2500);
    list.polygondraw = true;
    tfailingcanvas t;
    t.fail = [] { throw std::bad_alloc(); };
    EXPECT_FALSE(list.drawshape(t, 105, 105, rightcode, false));
    t.fail = [] { throw std::logic_error("fault in the canvas"); };
    EXPECT_THROW(list.drawshape(t, 105, 105, rightcode, false), std::logic_error);
    t.fail = [] {};
    EXPECT_TRUE(list.drawshape(t, 105, 105, rightcode, false));
}

TEST_F(Drawing, EmptyListDrawsNothingButTheFrame) {
    list.polygondraw = true;
    list.drawcross = true;
    list.drawcentring = true;
    list.adddrawedgedata(2500, kRed, 45);
    list.drawdrilllist.add("DRILLE=B;C;20.5;3;2.2");
    list.a = list.b = 5000;  // the text needs points' measures only
    EXPECT_THAT(draw(rightcode, true).strs(),
                ElementsAre("Rectangle(0,0,105,105)", "TextRect(0,0,105,105,'50.00x50.00',13)"));
    list.polygondraw = false;
    EXPECT_THAT(draw(rightcode, false).strs(), ElementsAre("Rectangle(0,0,105,105)"));
}

// A circle of radius 25 mm spans 33 pixels either side of the centre.
TEST_F(Drawing, CirclePolygonAtTheViewerScale) {
    makecircle(list, 400, 2500);
    list.OutlineColor = kRed;
    list.OutlineWidth = 2;
    trecordingcanvas t = draw();
    ASSERT_EQ(t.calls.size(), 2u);
    const tcanvascall& poly = t.calls[1];
    ASSERT_EQ(poly.op, tcanvascall::polygon);
    ASSERT_EQ(poly.points.size(), 400u);
    EXPECT_EQ(poly.points[0], (tpoint{85, 52}));    // 0 degrees, nasal
    EXPECT_EQ(poly.points[100], (tpoint{52, 19}));  // 90 degrees, up
    EXPECT_EQ(poly.points[200], (tpoint{19, 52}));
    EXPECT_EQ(poly.points[300], (tpoint{52, 85}));
    auto [minx, maxx] =
        std::minmax_element(poly.points.begin(), poly.points.end(), [](tpoint a, tpoint b) { return a.x < b.x; });
    EXPECT_EQ(minx->x, 19);
    EXPECT_EQ(maxx->x, 85);
    // Filled and outlined with the list's colours; the canvas gets its own back.
    EXPECT_EQ(poly.state.brushcolor, kShape);
    EXPECT_EQ(poly.state.pencolor, kRed);
    EXPECT_EQ(poly.state.penwidth, 2);
    EXPECT_EQ(t.state(), tcanvasstate{});
}

TEST_F(Drawing, ScaleKeepsProportionsAndCentresTheBox) {
    makecircle(list, 4, 2000);
    trecordingcanvas t;
    list.drawshaperel(t, 100, 10, 210, 105, rightcode, false);
    // The height decides: 105/8000 per hundredth; centre (100+105, 10+52).
    EXPECT_EQ(t.calls[1].str(), "Polygon(231,62 205,36 179,62 205,88)");
}

TEST_F(Drawing, LeftCodeMirrorsTheOutline) {
    list.addradiilist(0, 3000);
    list.addradiilist(90, 2000);
    list.addradiilist(180, 1000);
    list.addradiilist(270, 2000);
    const std::string right = "Polygon(91,52 52,26 39,52 52,78)";
    EXPECT_EQ(draw(rightcode).calls[1].str(), right);
    EXPECT_EQ(draw(bothcode).calls[1].str(), right);
    EXPECT_EQ(draw(leftcode).calls[1].str(), "Polygon(13,52 52,26 65,52 52,78)");
}

// Every point of a large shape is drawn: no fixed-size vertex buffer.
TEST_F(Drawing, LargeShapesAreDrawnWhole) {
    makecircle(list, 7200, 2500);
    trecordingcanvas t = draw();
    const auto polys = t.callsof(tcanvascall::polygon);
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].points.size(), 7200u);
    EXPECT_EQ(polys[0].points.back(), (tpoint{85, 52}));  // 359.95 degrees
}

// The fixed area 350..10 degrees runs across 0: its outline is drawn over the
// polygon in the fixed colour, each run starting at the point before it.
TEST_F(Drawing, FixedAreaOverThePolygon) {
    makecircle(list, 36, 2500);
    list.fixstart = 350;
    list.fixend = 10;
    trecordingcanvas t = draw();
    auto xy = [&](int i) { return t.calls[1].points[static_cast<std::size_t>(i)]; };
    const std::vector<tcanvasline> expected = {
        {xy(35), xy(0), kFixed, 1}, {xy(0), xy(1), kFixed, 1}, {xy(34), xy(35), kFixed, 1}};
    EXPECT_EQ(t.lines(), expected);
    EXPECT_EQ(t.pencolor(), 0);
}

TEST_F(Drawing, LineModeDrawsTheOutlineInShapeAndFixedColours) {
    makecircle(list, 4, 2000);
    list.polygondraw = false;
    list.fixstart = 80;
    list.fixend = 100;
    trecordingcanvas t;
    t.setpenwidth(3);
    list.drawshape(t, 105, 105, rightcode, false);
    EXPECT_THAT(t.strs(), ElementsAre("Rectangle(0,0,105,105)", "MoveTo(52,78)", "LineTo(52,78-78,52)",
                                      "LineTo(78,52-52,26)", "LineTo(52,26-26,52)", "LineTo(26,52-52,78)"));
    const auto lines = t.lines();
    EXPECT_EQ(lines[0].color, kShape);
    EXPECT_EQ(lines[1].color, kFixed);  // the point at 90 degrees
    EXPECT_EQ(lines[2].color, kShape);
    EXPECT_EQ(lines[1].width, 3);  // the canvas's own pen width
    EXPECT_EQ(t.pencolor(), 0);
    EXPECT_TRUE(t.callsof(tcanvascall::polygon).empty());
}

TEST_F(Drawing, CrossAndCentringLinesNeedMoreThanTenPoints) {
    list.drawcross = true;
    list.drawcentring = true;
    list.crossx = 1000;
    list.crossy = -500;
    makecircle(list, 10, 2500);
    EXPECT_TRUE(draw().lines().empty());

    list.clear();
    makecircle(list, 11, 2500);
    // Cross at (52 + 13, 52 + 7), arms of 2 mm = 3 pixels.
    std::vector<std::string> got;
    for (const auto& l : draw().lines())
        got.push_back(std::to_string(l.from.x) + "," + std::to_string(l.from.y) + "-" + std::to_string(l.to.x) + "," +
                      std::to_string(l.to.y));
    EXPECT_THAT(got, ElementsAre("62,59-68,59", "65,56-65,62", "0,52-104,52", "52,26-52,78"));

    // The left eye's cross is mirrored with the outline.
    const auto left = draw(leftcode).lines();
    EXPECT_EQ(left[0].from, (tpoint{36, 59}));
    EXPECT_EQ(left[0].to, (tpoint{42, 59}));
}

TEST_F(Drawing, SegmentMarkerWidthInMillimetresIsStoredInHundredths) {
    makecircle(list, 36, 2500);
    list.drawcross = true;
    list.drawinfo = {true, -250, 300, 28};
    const auto first = draw().lines();
    EXPECT_EQ(list.drawinfo.segmentwidth, 2800);
    // Cross at the centre, the marker 3 pixels in and 4 down; half width
    // round(1400 * 0.013125) = 18, legs of 5 mm = 7 pixels.
    const std::vector<tcanvasline> expected = {
        {{49, 52}, {55, 52}, 0, 1}, {{52, 49}, {52, 55}, 0, 1},  // the cross
        {{46, 53}, {52, 59}, 0, 1}, {{52, 53}, {46, 59}, 0, 1},  // the diagonal cross
        {{31, 56}, {67, 56}, 0, 1}, {{31, 56}, {31, 63}, 0, 1}, {{67, 56}, {67, 63}, 0, 1}};
    EXPECT_EQ(first, expected);
    EXPECT_EQ(draw().lines(), expected);  // 2800 is kept as it is
    EXPECT_EQ(list.drawinfo.segmentwidth, 2800);

    // A marker without width draws only the cross.
    list.drawinfo.segmentwidth = 0;
    EXPECT_EQ(draw().lines().size(), 2u);
    // Hostile widths do not overflow.
    list.drawinfo.segmentwidth = INT32_MIN;
    draw();
    EXPECT_EQ(list.drawinfo.segmentwidth, INT32_MIN);
}

TEST_F(Drawing, EdgeTicksRunThreeMillimetresOutward) {
    EXPECT_TRUE(list.adddrawedgedata(2500, kRed, 0));
    EXPECT_TRUE(list.adddrawedgedata(2500, 0x00FF00, 90.126));
    EXPECT_THAT(list.drawedgeslist.items(), ElementsAre("0.00:2500:255", "90.13:2500:65280"));
    makecircle(list, 36, 2500);
    for (bool polygon : {false, true}) {
        list.polygondraw = polygon;
        trecordingcanvas t = draw();
        auto lines = t.lines();
        lines.erase(lines.begin(), lines.end() - 2);  // the outline's lines in line mode
        const std::vector<tcanvasline> expected = {{{85, 52}, {89, 52}, kRed, 1}, {{52, 19}, {52, 15}, 0x00FF00, 1}};
        EXPECT_EQ(lines, expected) << "polygon mode " << polygon;
        EXPECT_EQ(t.pencolor(), 0x00FF00);  // the last tick's colour stays
    }
    // Entries with missing or unreadable fields read as 0.
    list.drawedgeslist.clear();
    list.drawedgeslist.add("45");
    list.drawedgeslist.add("x:y:z");
    list.polygondraw = true;
    const auto lines = draw().lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].from, (tpoint{52, 52}));
    EXPECT_EQ(lines[0].to, (tpoint{55, 49}));
}

// Drill holes are in the trace's frame; a hole for both eyes is mirrored for
// the left eye, one for the other eye is left out.
TEST_F(Drawing, DrillHolesReferencedToTheCentre) {
    makecircle(list, 4, 2500);  // few points: holes are still drawn
    list.drillcolor = kRed;
    struct drillcase {
        const char* record;
        char drilleye;
        std::vector<std::string> ellipses;
    };
    const std::vector<drillcase> cases = {
        {"DRILLE=B;C;20.5;3;2.2", 'R', {"Ellipse(77,47,80,50)"}},
        {"DRILLE=B;C;20.5;3;2.2", 'L', {"Ellipse(24,47,27,50)"}},
        {"DRILLE=R;C;20.5;3;2.2", 'R', {"Ellipse(77,47,80,50)"}},
        {"DRILLE=R;C;20.5;3;2.2", 'L', {}},
        {"DRILLE=L;C;20.5;3;2.2", 'L', {"Ellipse(77,47,80,50)"}},  // left-eye records are not mirrored
        {"DRILLE=L;C;20.5;3;2.2", 'x', {}},
        {"DRILL=B;20.5;3;2.2", 'R', {"Ellipse(77,47,80,50)"}},
        {"DRILLE=B;;20.5;3;2.2", 'R', {}},  // no reference location: no hole
    };
    for (const auto& c : cases) {
        list.drawdrilllist.clear();
        list.drawdrilllist.add(c.record);
        list.drilleye = c.drilleye;
        trecordingcanvas t;
        t.setbrushcolor(0x123456);
        list.drawshape(t, 105, 105, leftcode, false);  // the outline's flip does not apply
        std::vector<std::string> got;
        for (const auto& e : t.callsof(tcanvascall::ellipse)) {
            got.push_back(e.str());
            EXPECT_EQ(e.state.pencolor, kRed);
            EXPECT_EQ(e.state.brushcolor, kRed);
        }
        EXPECT_EQ(got, c.ellipses) << c.record << " eye " << c.drilleye;
        EXPECT_EQ(t.pencolor(), 0);
        EXPECT_EQ(t.brushcolor(), 0x123456);
    }
}

TEST_F(Drawing, SlotsAreSteppedAndRepeatsDrawnOnce) {
    makecircle(list, 36, 2500);
    // A slot 4 mm long: steps of 0.1 mm, at most 16 passes.
    list.drawdrilllist.add("DRILLE=R;C;20;0;2;24;0");
    auto ellipses = draw().callsof(tcanvascall::ellipse);
    ASSERT_FALSE(ellipses.empty());
    EXPECT_EQ(ellipses.front().str(), "Ellipse(77,51,80,53)");
    EXPECT_EQ(ellipses.back().str(), "Ellipse(79,51,82,53)");  // 21.5 mm after 16 passes
    for (std::size_t i = 1; i < ellipses.size(); ++i) EXPECT_NE(ellipses[i].str(), ellipses[i - 1].str());

    // A short slot whose step rounds to 0 ends after 16 passes, one hole.
    list.drawdrilllist.clear();
    list.drawdrilllist.add("DRILLE=R;C;20;0;2;20.05;0");
    EXPECT_EQ(draw().callsof(tcanvascall::ellipse).size(), 1u);
}

// An edge-referenced hole is placed from the outline point at its height.
TEST_F(Drawing, DrillHolesReferencedToTheEdge) {
    makecircle(list, 360, 2500);
    struct edgecase {
        const char* record;
        const char* ellipse;  // nullptr: none
    };
    const std::vector<edgecase> cases = {
        {"DRILLE=B;EN;1;0;1", "Ellipse(83,51,84,53)"},      // 1 mm in from the nasal edge
        {"DRILLE=B;ET;1;0;1", "Ellipse(20,51,21,53)"},      // 1 mm in from the temporal edge
        {"DRILLE=B;EN;1;0;1;5;0", "Ellipse(83,51,84,53)"},  // a slot gives one hole
        {"DRILLE=B;EN;1;-30;1", nullptr},                   // no edge point at that height
    };
    for (const auto& c : cases) {
        list.drawdrilllist.clear();
        list.drawdrilllist.add(c.record);
        const auto ellipses = draw().callsof(tcanvascall::ellipse);
        if (!c.ellipse) {
            EXPECT_TRUE(ellipses.empty()) << c.record;
            continue;
        }
        ASSERT_EQ(ellipses.size(), 1u) << c.record;
        EXPECT_EQ(ellipses[0].str(), c.ellipse) << c.record;
    }
}

// Coordinate lists left over from fewer points are rebuilt, not read past
// their end.
TEST_F(Drawing, EdgeSearchRebuildsOutdatedCoordinateLists) {
    makecircle(list, 8, 2500);
    list.makexylists();
    list.clear();
    list.xlist.add("  0.000 2500");
    list.ylist.add("  0.000    0");
    makecircle(list, 360, 2500);
    list.drawdrilllist.add("DRILLE=B;EN;1;0;1");
    const auto ellipses = draw().callsof(tcanvascall::ellipse);
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0].str(), "Ellipse(83,51,84,53)");
    EXPECT_EQ(list.ylist.count(), 360);
}

TEST_F(Drawing, HostileNumbersStayInRange) {
    makecircle(list, 36, 99999);
    list.drawcross = true;
    list.crossx = INT32_MAX;
    list.crossy = INT32_MIN;
    list.drawinfo = {true, INT32_MAX, INT32_MIN, INT32_MAX};
    list.adddrawedgedata(INT32_MAX, kRed, 1e300);
    list.drawedgeslist.add("nan:1e308:1");
    list.drawdrilllist.add("DRILLE=B;C;21474836.47;-21474836.48;21474836.47;-21474836.48;21474836.47");
    list.drawdrilllist.add("DRILLE=B;EN;-21474836.48;21474836.47;1");
    list.drawdrilllist.add("DRILLE=B;ET;21474836.47;-21474836.48;1");
    for (int eye : {rightcode, leftcode}) {
        trecordingcanvas t;
        EXPECT_TRUE(list.drawshaperel(t, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, eye, true));
        EXPECT_FALSE(t.calls.empty());
    }
}

TEST_F(Drawing, ZeroGridUsesTheOtherAxisOrStopsAfterTheFrame) {
    makecircle(list, 4, 2000);
    list.GridX = 0;
    // Height alone scales: the same picture as an 80 mm grid.
    EXPECT_EQ(draw().calls[1].str(), "Polygon(78,52 52,26 26,52 52,78)");
    list.GridY = 0;
    EXPECT_THAT(draw().strs(), ElementsAre("Rectangle(0,0,105,105)"));
}

TEST_F(Drawing, DimensionTextInTheMiddleOfTheBox) {
    makecircle(list, 400, 2500);
    list.findabed();
    trecordingcanvas t;
    list.drawshaperel(t, 5, 7, 105, 105, rightcode, true);
    const auto texts = t.callsof(tcanvascall::textrect);
    ASSERT_EQ(texts.size(), 1u);
    // The text is centred in the drawing box, wherever the box lies.
    EXPECT_EQ(texts[0].str(), "TextRect(5,7,110,112,'50.00x50.00',13)");
    EXPECT_EQ(texts[0].state.fontsize, 7);
    EXPECT_EQ(texts[0].state.brushcolor, kShape);
    EXPECT_EQ(texts[0].state.fontcolor, 0);

    setregionalsettings(',');
    EXPECT_EQ(draw(rightcode, true).callsof(tcanvascall::textrect)[0].text, "50,00x50,00");

    EXPECT_TRUE(draw(rightcode, false).callsof(tcanvascall::textrect).empty());
    list.b = 0;
    EXPECT_TRUE(draw(rightcode, true).callsof(tcanvascall::textrect).empty());
}

TEST_F(Drawing, EverythingInItsOrder) {
    makecircle(list, 36, 2500);
    list.findabed();
    list.fixstart = 0;
    list.fixend = 5;
    list.drawcross = true;
    list.drawcentring = true;
    list.adddrawedgedata(2500, kRed, 0);
    list.drawdrilllist.add("DRILLE=B;C;20.5;3;2.2");
    using k = tcanvascall::kind;
    const std::vector<k> expected = {k::rectangle, k::polygon,                        // frame, shape
                                     k::moveto,    k::lineto,                         // fixed area
                                     k::moveto,    k::lineto,  k::moveto, k::lineto,  // cross
                                     k::moveto,    k::lineto,  k::moveto, k::lineto,  // centring
                                     k::moveto,    k::lineto,                         // edge tick
                                     k::ellipse,   k::textrect};
    EXPECT_THAT(kinds(draw(rightcode, true)), ElementsAreArray(expected));
}

}  // namespace
}  // namespace kestrune
