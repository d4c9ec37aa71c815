// The canvas: pixel rules of the Cairo bitmap canvas, and the recording
// canvas that the drawing tests rely on.
#include "kestrune/shape/cairocanvas.hpp"
#include "kestrune/shape/canvas.hpp"

#include <cairo-svg.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kestrune {
namespace {

// The text renderer's caches are freed when the test program ends, so leak
// checkers see only what the tests themselves leave behind.
class ReleaseCanvasResources : public ::testing::Environment {
public:
    void TearDown() override { releasecanvasresources(); }
};
[[maybe_unused]] ::testing::Environment* const kReleaseCanvas =
    ::testing::AddGlobalTestEnvironment(new ReleaseCanvasResources);

constexpr std::int32_t kWhite = 0x00FFFFFF;
constexpr std::int32_t kRed = 0x000000FF;
constexpr std::int32_t kBlue = 0x00FF0000;
constexpr std::int32_t kGreenish = 0x0000C020;

using pixelset = std::set<std::pair<int, int>>;

// Every pixel of the bitmap that has the given colour.
pixelset pixelsof(const tcairobitmap& bmp, std::int32_t color) {
    pixelset out;
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x)
            if (bmp.pixel(x, y) == color) out.insert({x, y});
    return out;
}

pixelset notwhite(const tcairobitmap& bmp) {
    pixelset out;
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x)
            if (bmp.pixel(x, y) != kWhite) out.insert({x, y});
    return out;
}

pixelset block(int l, int t, int r, int b) {
    pixelset out;
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) out.insert({x, y});
    return out;
}

TEST(CairoBitmap, StartsWhiteAndKeepsRedInTheLowByte) {
    tcairobitmap bmp(6, 4);
    ASSERT_TRUE(bmp.ok());
    EXPECT_EQ(notwhite(bmp).size(), 0u);

    bmp.canvas().setpencolor(kRed);
    bmp.canvas().setbrushcolor(kBlue);
    bmp.canvas().Rectangle(0, 0, 6, 4);
    EXPECT_EQ(bmp.pixel(0, 0), kRed);
    EXPECT_EQ(bmp.pixel(2, 2), kBlue);

    // The image itself holds the colour in its red channel (0x00RRGGBB).
    cairo_surface_t* s = bmp.surface();
    const auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s));
    EXPECT_EQ(row[0] & 0x00FFFFFF, 0x00FF0000u);
    EXPECT_EQ(row[cairo_image_surface_get_stride(s) / 4 + 2] & 0x00FFFFFF, 0x000000FFu);
}

TEST(CairoBitmap, InvalidSizesGiveABitmapThatDrawsNothing) {
    for (auto [w, h] : std::vector<std::pair<int, int>>{{0, 10}, {10, 0}, {-5, 5}, {40000, 1}}) {
        tcairobitmap bmp(w, h);
        EXPECT_FALSE(bmp.ok()) << w << "x" << h;
        bmp.canvas().Rectangle(0, 0, 5, 5);
        bmp.canvas().LineTo(5, 5);
        bmp.canvas().Ellipse(0, 0, 5, 5);
        EXPECT_EQ(bmp.pixel(0, 0), 0);
    }
}

TEST(CairoCanvas, PixelByPixelOnlyOnUntransformedImages) {
    tcairobitmap bmp(4, 4);
    cairo_t* cr = cairo_create(bmp.surface());
    EXPECT_TRUE(tcairocanvas(cr).pixelexact());
    cairo_scale(cr, 2, 2);
    EXPECT_FALSE(tcairocanvas(cr).pixelexact());
    cairo_destroy(cr);

    cairo_surface_t* svg = cairo_svg_surface_create_for_stream(nullptr, nullptr, 10, 10);
    cairo_t* vcr = cairo_create(svg);
    EXPECT_FALSE(tcairocanvas(vcr).pixelexact());
    cairo_destroy(vcr);
    cairo_surface_destroy(svg);
}

// Rectangle(l, t, r, b) covers columns l..r-1 and rows t..b-1 exactly: the
// border in the pen colour, the inside in the brush colour.
TEST(CairoCanvas, RectangleCoversExactlyItsCells) {
    struct rectcase {
        int l, t, r, b;
        trect covered;  // the cells expected, as l..r-1, t..b-1
    };
    const std::vector<rectcase> cases = {
        {2, 3, 7, 9, {2, 3, 7, 9}},     {7, 9, 2, 3, {2, 3, 7, 9}},  // corners given the other way round
        {0, 0, 12, 12, {0, 0, 12, 12}},                              // the whole bitmap
        {-5, -5, 3, 2, {0, 0, 3, 2}},                                // partly outside
        {4, 4, 5, 5, {4, 4, 5, 5}},                                  // one cell
        {4, 4, 4, 8, {0, 0, 0, 0}},                                  // no width: nothing
    };
    for (const auto& c : cases) {
        tcairobitmap bmp(12, 12);
        bmp.canvas().setpencolor(kRed);
        bmp.canvas().setbrushcolor(kBlue);
        bmp.canvas().Rectangle(c.l, c.t, c.r, c.b);
        const trect& e = c.covered;
        EXPECT_EQ(notwhite(bmp), block(e.left, e.top, e.right, e.bottom))
            << c.l << "," << c.t << "," << c.r << "," << c.b;
    }
    // Border and fill of the first case.
    tcairobitmap bmp(12, 12);
    bmp.canvas().setpencolor(kRed);
    bmp.canvas().setbrushcolor(kBlue);
    bmp.canvas().Rectangle(2, 3, 7, 9);
    EXPECT_EQ(pixelsof(bmp, kBlue), block(3, 4, 6, 8));
    EXPECT_EQ(pixelsof(bmp, kRed).size(), 5u * 6u - 3u * 4u);
}

// LineTo draws from the pen position up to, but not including, its end
// pixel: one pixel per step along the longer axis.
TEST(CairoCanvas, LinesLeaveOutTheEndPixel) {
    struct linecase {
        tpoint from, to;
        pixelset expected;  // empty: derive the count only
    };
    const std::vector<linecase> cases = {
        {{1, 5}, {6, 5}, {{1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}},
        {{6, 5}, {1, 5}, {{6, 5}, {5, 5}, {4, 5}, {3, 5}, {2, 5}}},
        {{3, 1}, {3, 4}, {{3, 1}, {3, 2}, {3, 3}}},
        {{0, 0}, {4, 4}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {{4, 0}, {0, 4}, {{4, 0}, {3, 1}, {2, 2}, {1, 3}}},
        {{0, 0}, {8, 2}, {}},
        {{2, 9}, {5, 0}, {}},
        {{7, 7}, {7, 7}, {}},  // no length: nothing
    };
    for (const auto& c : cases) {
        tcairobitmap bmp(12, 12);
        tcanvas& t = bmp.canvas();
        t.setpencolor(kRed);
        t.MoveTo(c.from.x, c.from.y);
        t.LineTo(c.to.x, c.to.y);
        const pixelset got = notwhite(bmp);
        const std::string label = std::to_string(c.from.x) + "," + std::to_string(c.from.y) + "-" +
                                  std::to_string(c.to.x) + "," + std::to_string(c.to.y);
        EXPECT_EQ(t.penpos(), c.to) << label;
        if (!c.expected.empty()) {
            EXPECT_EQ(got, c.expected) << label;
            continue;
        }
        const int dx = std::abs(c.to.x - c.from.x), dy = std::abs(c.to.y - c.from.y);
        EXPECT_EQ(got.size(), static_cast<std::size_t>(std::max(dx, dy))) << label;
        if (!got.empty()) {
            EXPECT_TRUE(got.count({c.from.x, c.from.y})) << label;
            EXPECT_FALSE(got.count({c.to.x, c.to.y})) << label;
        }
        // Exactly one pixel in each column (or row) that the line passes.
        std::set<int> majors;
        for (auto [x, y] : got) majors.insert(dx >= dy ? x : y);
        EXPECT_EQ(majors.size(), got.size()) << label;
    }
}

TEST(CairoCanvas, FarOffLinesAreClippedNotWalked) {
    tcairobitmap bmp(20, 10);
    tcanvas& t = bmp.canvas();
    t.setpencolor(kRed);
    t.MoveTo(-2000000000, 4);
    t.LineTo(2000000000, 4);
    EXPECT_EQ(notwhite(bmp), block(0, 4, 20, 5));
    t.MoveTo(-1000000, -1000000);
    t.LineTo(-1000, 2000000000);  // entirely off the bitmap
    EXPECT_EQ(notwhite(bmp), block(0, 4, 20, 5));
}

TEST(CairoCanvas, ThickPenWidensTheLine) {
    tcairobitmap bmp(20, 20);
    tcanvas& t = bmp.canvas();
    t.setpencolor(kRed);
    t.setpenwidth(3);
    t.MoveTo(5, 10);
    t.LineTo(15, 10);
    for (int y = 9; y <= 11; ++y) EXPECT_EQ(bmp.pixel(10, y), kRed) << y;
    EXPECT_EQ(bmp.pixel(10, 8), kWhite);
    EXPECT_EQ(bmp.pixel(10, 12), kWhite);
    t.setpenwidth(0);
    EXPECT_EQ(t.penwidth(), 1);
}

TEST(CairoCanvas, PolygonFillsInsideAndOutlinesThroughItsVertices) {
    tcairobitmap bmp(12, 12);
    tcanvas& t = bmp.canvas();
    t.setpencolor(kRed);
    t.setbrushcolor(kBlue);
    const std::vector<tpoint> square = {{2, 2}, {8, 2}, {8, 8}, {2, 8}};
    t.Polygon(square);
    // The closed outline includes every vertex, so the square covers 2..8.
    EXPECT_EQ(notwhite(bmp), block(2, 2, 9, 9));
    EXPECT_EQ(pixelsof(bmp, kBlue), block(3, 3, 8, 8));

    tcairobitmap tri(12, 12);
    tri.canvas().setpencolor(kRed);
    tri.canvas().setbrushcolor(kBlue);
    const std::vector<tpoint> triangle = {{1, 10}, {10, 10}, {1, 1}};
    tri.canvas().Polygon(triangle);
    for (const tpoint& v : triangle) EXPECT_EQ(tri.pixel(v.x, v.y), kRed);
    EXPECT_EQ(tri.pixel(3, 8), kBlue);
    EXPECT_EQ(tri.pixel(9, 2), kWhite);
}

TEST(CairoCanvas, PolygonOutlineIsEveryEdgeLineEvenWhereEdgesOverlap) {
    // Outlines whose edges cross, retrace each other, repeat a vertex or run
    // off the bitmap: the outline sets the same pixels as drawing each edge
    // as a line of its own over the filled shape.
    const std::vector<std::vector<tpoint>> outlines = {
        {{2, 2}, {17, 17}, {2, 17}, {17, 2}},                                        // a bow tie: the edges cross
        {{3, 3}, {15, 3}, {3, 3}, {15, 3}, {9, 15}},                                 // an edge drawn twice over
        {{5, 5}, {5, 5}, {14, 6}, {14, 6}, {14, 6}, {6, 14}},                        // repeated vertices
        {{10, 1}, {12, 9}, {19, 10}, {12, 11}, {10, 19}, {8, 11}, {1, 10}, {8, 9}},  // a star
        {{-5, 4}, {25, 8}, {10, 30}},                                                // partly outside
    };
    for (std::size_t k = 0; k < outlines.size(); ++k) {
        SCOPED_TRACE(k);
        const std::vector<tpoint>& points = outlines[k];
        tcairobitmap polygon(20, 20), edges(20, 20);
        for (tcairobitmap* b : {&polygon, &edges}) {
            b->canvas().setpencolor(kRed);
            b->canvas().setbrushcolor(kBlue);
        }
        polygon.canvas().Polygon(points);

        // The fill alone, with the pen in the brush colour, then each edge.
        edges.canvas().setpencolor(kBlue);
        edges.canvas().Polygon(points);
        edges.canvas().setpencolor(kRed);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const tpoint a = points[i], b = points[(i + 1) % points.size()];
            edges.canvas().MoveTo(a.x, a.y);
            edges.canvas().LineTo(b.x, b.y);
        }
        EXPECT_EQ(pixelsof(polygon, kRed), pixelsof(edges, kRed));
        EXPECT_EQ(pixelsof(polygon, kBlue), pixelsof(edges, kBlue));
        EXPECT_FALSE(pixelsof(polygon, kRed).empty());
    }
}

// A white image surface of the given format with a context and a canvas on it.
struct rawsurface {
    cairo_surface_t* surface;
    cairo_t* cr;
    rawsurface(cairo_format_t format, int width, int height)
        : surface(cairo_image_surface_create(format, width, height)), cr(cairo_create(surface)) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
    }
    ~rawsurface() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    rawsurface(const rawsurface&) = delete;
    rawsurface& operator=(const rawsurface&) = delete;
    std::vector<unsigned char> bytes() const {
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        return {data, data + cairo_image_surface_get_stride(surface) * cairo_image_surface_get_height(surface)};
    }
};

// The pixels in which two surfaces of one size differ, as "x,y:value/value"
// (at most ten); empty when they are the same.
std::string differentpixels(const rawsurface& a, const rawsurface& b) {
    const std::vector<unsigned char> da = a.bytes(), db = b.bytes();
    const int stride = cairo_image_surface_get_stride(a.surface);
    const int width = cairo_image_surface_get_width(a.surface);
    std::string out;
    int shown = 0;
    for (std::size_t row = 0; row * stride < da.size() && shown < 10; ++row)
        for (int x = 0; x < width && shown < 10; ++x) {
            const auto* pa = reinterpret_cast<const std::uint32_t*>(da.data() + row * stride) + x;
            const auto* pb = reinterpret_cast<const std::uint32_t*>(db.data() + row * stride) + x;
            if (*pa == *pb) continue;
            char text[64];
            std::snprintf(text, sizeof text, "%d,%zu:%08x/%08x ", x, row, *pa, *pb);
            out += text;
            ++shown;
        }
    return out;
}

TEST(CairoCanvas, PolygonOutlineWrittenIntoTheSurfaceHasTheBytesOfACairoFill) {
    // A bitmap's polygon outline is written straight into its pixels; under a
    // clip that is no rectangle (here a disc larger than the bitmap, so it
    // hides nothing) it goes through Cairo as a path. Both must leave the same
    // bytes, in each image format, for shapes from a few edges to a traced
    // outline of many points with most edges shorter than a pixel.
    std::vector<tpoint> traced;
    for (int i = 0; i < 1000; ++i) {
        const double a = 2 * M_PI * i / 1000;
        traced.push_back({static_cast<int>(std::lround(52 + 40 * std::cos(a) + 6 * std::cos(5 * a))),
                          static_cast<int>(std::lround(52 + 30 * std::sin(a)))});
    }
    const std::vector<std::vector<tpoint>> outlines = {
        {{2, 2}, {97, 97}, {2, 97}, {97, 2}},
        {{-5, 4}, {125, 8}, {10, 130}},
        {{10, 10}, {60, 10}},
        traced,
    };
    for (const cairo_format_t format : {CAIRO_FORMAT_RGB24, CAIRO_FORMAT_ARGB32}) {
        for (std::size_t k = 0; k < outlines.size(); ++k) {
            SCOPED_TRACE(testing::Message() << "format " << format << ", outline " << k);
            rawsurface direct(format, 105, 105), path(format, 105, 105);
            cairo_arc(path.cr, 52, 52, 200, 0, 2 * M_PI);
            cairo_clip(path.cr);
            for (rawsurface* s : {&direct, &path}) {
                tcairocanvas canvas(s->cr);
                canvas.setpencolor(0x00204080);
                canvas.setbrushcolor(0x00A0C0E0);
                canvas.Polygon(outlines[k]);
            }
            EXPECT_EQ(direct.bytes(), path.bytes());
            EXPECT_NE(direct.bytes(), rawsurface(format, 105, 105).bytes());
        }
    }
}

// Whether pixel (px, py) belongs to the one-pixel line from a towards b, by
// the canvas's rule taken literally: along the longer axis the pixel lies
// 0..n-1 steps from a, and across it the ideal line at that step rounded to
// the nearest pixel, halves away from a.
bool onpixelline(tpoint a, tpoint b, int px, int py) {
    const std::int64_t dx = std::int64_t{b.x} - a.x, dy = std::int64_t{b.y} - a.y;
    const bool xmajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t n = xmajor ? std::llabs(dx) : std::llabs(dy);
    if (n == 0) return false;
    const std::int64_t major = xmajor ? px - a.x : py - a.y;
    const std::int64_t i = (xmajor ? dx : dy) < 0 ? -major : major;
    if (i < 0 || i >= n) return false;
    const std::int64_t m = xmajor ? std::llabs(dy) : std::llabs(dx);
    const std::int64_t offset = static_cast<std::int64_t>(std::floor((static_cast<double>(i) * m) / n + 0.5));
    const std::int64_t minor = (xmajor ? dy : dx) < 0 ? -offset : offset;
    return (xmajor ? py - a.y : px - a.x) == minor;
}

TEST(CairoCanvas, PolygonIsCairosFillOfEveryVertexUnderEveryEdgeLine) {
    // The canvas leaves out vertices that repeat the one before and writes
    // the outline into the pixels itself. Against that: Cairo's fill of the
    // path through every vertex as given, then every pixel of every edge line
    // (found pixel by pixel from the rule) filled by Cairo in the pen colour.
    // The bytes must agree, for polygons that cross themselves, retrace
    // edges, spike, repeat vertices, run off the bitmap or reach millions of
    // pixels away.
    constexpr int kSize = 60;
    std::uint32_t seed = 12345;
    const auto next = [&seed](int lo, int hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(hi - lo + 1));
    };
    std::vector<std::vector<tpoint>> polygons;
    for (int k = 0; k < 400; ++k) {
        const int kind = k % 4;
        const int count = kind == 3 ? 400 : next(2, 30);
        std::vector<tpoint> p;
        for (int i = 0; i < count; ++i) {
            tpoint v;
            if (kind == 0) {
                v = {next(-10, kSize + 10), next(-10, kSize + 10)};  // small and nearby
            } else if (kind == 1) {
                v = {next(0, kSize), next(0, kSize)};
                if (next(0, 3) == 0) v = {next(-4000000, 4000000), next(-4000000, 4000000)};  // far spikes
            } else if (kind == 2) {
                v = {next(-300, 300), next(-300, 300)};  // long edges across the bitmap
            } else {
                const double a = 2 * M_PI * i / count;  // a traced outline: most points repeat
                v = {static_cast<int>(std::lround(30 + 22 * std::cos(a) + next(-1, 1))),
                     static_cast<int>(std::lround(30 + 17 * std::sin(a) + next(-1, 1)))};
            }
            p.push_back(v);
            while (next(0, 2) == 0) p.push_back(v);  // repeats
        }
        polygons.push_back(std::move(p));
    }
    polygons.push_back({{5, 5}, {5, 5}});
    polygons.push_back({{5, 5}, {5, 5}, {5, 5}, {9, 9}, {5, 5}});
    polygons.push_back({{7, 3}, {7, 3}, {40, 3}, {40, 50}, {7, 3}});

    const std::int32_t pen = 0x00204080, brush = 0x00A0C0E0;
    for (std::size_t k = 0; k < polygons.size(); ++k) {
        SCOPED_TRACE(k);
        const std::vector<tpoint>& points = polygons[k];
        rawsurface canvas(CAIRO_FORMAT_RGB24, kSize, kSize), reference(CAIRO_FORMAT_RGB24, kSize, kSize);
        // Every other polygon comes after a framed box in the same pen, so
        // that the canvas knows the pen's pixel value before the outline.
        const bool framed = k % 2 == 1;
        {
            tcairocanvas t(canvas.cr);
            t.setpencolor(pen);
            if (framed) t.Rectangle(0, 0, kSize, kSize);
            t.setbrushcolor(brush);
            t.Polygon(points);
        }
        cairo_t* cr = reference.cr;
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        if (framed) {
            cairo_set_source_rgb(cr, (pen & 0xFF) / 255.0, ((pen >> 8) & 0xFF) / 255.0, ((pen >> 16) & 0xFF) / 255.0);
            cairo_rectangle(cr, 0, 0, kSize, kSize);
            cairo_fill(cr);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_rectangle(cr, 1, 1, kSize - 2, kSize - 2);
            cairo_fill(cr);
        }
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        for (const tpoint& v : points) cairo_line_to(cr, v.x + 0.5, v.y + 0.5);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, (brush & 0xFF) / 255.0, ((brush >> 8) & 0xFF) / 255.0, ((brush >> 16) & 0xFF) / 255.0);
        cairo_fill(cr);
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                for (std::size_t i = 0; i < points.size(); ++i)
                    if (onpixelline(points[i], points[(i + 1) % points.size()], x, y)) {
                        cairo_rectangle(cr, x, y, 1, 1);
                        break;
                    }
        cairo_set_source_rgb(cr, (pen & 0xFF) / 255.0, ((pen >> 8) & 0xFF) / 255.0, ((pen >> 16) & 0xFF) / 255.0);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);
        ASSERT_EQ(differentpixels(canvas, reference), "");
    }
}

TEST(CairoCanvas, RectanglesWrittenIntoTheSurfaceHaveTheBytesOfCairoFills) {
    // A bitmap's rectangles (cells and frame) are written straight into its
    // pixels, with the values Cairo wrote the last few times each colour was
    // used; under a clip that hides nothing but is no rectangle they go
    // through Cairo. A long run of rectangles, on and off the bitmap, thin
    // and huge, in more colours than are remembered, must leave the same
    // bytes both ways, in each image format.
    std::uint32_t seed = 777;
    const auto next = [&seed](int lo, int hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + static_cast<int>((seed >> 8) % static_cast<std::uint32_t>(hi - lo + 1));
    };
    const std::int32_t colors[] = {0, 0x00FFFFFF, 0x00E1D0D1, 0x7F204080, 0x000000FF, 0x00FF0000, 0x00010203};
    for (const cairo_format_t format : {CAIRO_FORMAT_RGB24, CAIRO_FORMAT_ARGB32}) {
        SCOPED_TRACE(format);
        rawsurface direct(format, 50, 40), path(format, 50, 40);
        cairo_arc(path.cr, 25, 20, 200, 0, 2 * M_PI);
        cairo_clip(path.cr);
        tcairocanvas a(direct.cr), b(path.cr);
        for (int k = 0; k < 300; ++k) {
            const int kind = k % 3;
            int l = next(-10, 55), t = next(-10, 45), r = next(-10, 55), btm = next(-10, 45);
            if (kind == 1) r = l + next(0, 2), btm = t + next(0, 2);  // thin and empty ones
            if (kind == 2 && k % 2) l = -3000000, r = 3000000;        // reaching far off
            const std::int32_t brush = colors[next(0, 6)], pen = colors[next(0, 6)];
            for (tcairocanvas* c : {&a, &b}) {
                c->setbrushcolor(brush);
                c->setpencolor(pen);
                c->Rectangle(l, t, r, btm);
            }
            ASSERT_EQ(differentpixels(direct, path), "") << k << ": " << l << "," << t << "," << r << "," << btm;
        }
        EXPECT_NE(direct.bytes(), rawsurface(format, 50, 40).bytes());
    }
}

TEST(CairoCanvas, PolygonOutlineKeepsToTheClipAndTheSurfaceOffset) {
    // Where a clip or a device offset stands between the canvas and the
    // pixels, the outline is not written past them.
    const std::vector<tpoint> square = {{2, 2}, {17, 2}, {17, 17}, {2, 17}};
    {
        rawsurface s(CAIRO_FORMAT_RGB24, 20, 20);
        cairo_rectangle(s.cr, 0, 0, 10, 20);
        cairo_clip(s.cr);
        tcairocanvas canvas(s.cr);
        canvas.setpencolor(kRed);
        canvas.setbrushcolor(kBlue);
        canvas.Polygon(square);
        cairo_surface_flush(s.surface);
        const auto* data = cairo_image_surface_get_data(s.surface);
        const int stride = cairo_image_surface_get_stride(s.surface);
        for (int y = 0; y < 20; ++y)
            for (int x = 10; x < 20; ++x)
                EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFFu, 0xFFFFFFu)
                    << x << "," << y;
    }
    {
        rawsurface shifted(CAIRO_FORMAT_RGB24, 20, 20), plain(CAIRO_FORMAT_RGB24, 20, 20);
        cairo_surface_set_device_offset(shifted.surface, 3, 0);
        for (rawsurface* s : {&shifted, &plain}) {
            tcairocanvas canvas(s->cr);
            canvas.setpencolor(kRed);
            canvas.Polygon(square);
        }
        // The same picture, three pixels to the right.
        const std::vector<unsigned char> a = shifted.bytes(), b = plain.bytes();
        const int stride = cairo_image_surface_get_stride(plain.surface);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x + 3 < 20; ++x)
                EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(a.data() + y * stride)[x + 3],
                          reinterpret_cast<const std::uint32_t*>(b.data() + y * stride)[x])
                    << x << "," << y;
    }
}

TEST(CairoCanvas, DegeneratePolygonsDoNotFailOrSpill) {
    tcairobitmap bmp(10, 10);
    tcanvas& t = bmp.canvas();
    t.setpencolor(kRed);
    t.Polygon({});
    const std::vector<tpoint> one = {{3, 3}};
    t.Polygon(one);
    EXPECT_EQ(notwhite(bmp).size(), 0u);
    const std::vector<tpoint> two = {{1, 1}, {5, 1}};
    t.Polygon(two);
    EXPECT_EQ(notwhite(bmp), block(1, 1, 6, 2));
    const std::vector<tpoint> huge = {
        {-2000000000, -2000000000}, {2000000000, -2000000000}, {2000000000, 2000000000}, {-2000000000, 2000000000}};
    t.Polygon(huge);
    EXPECT_TRUE(bmp.ok());
}

TEST(CairoCanvas, EllipseIsInscribedInTheRectangleCells) {
    tcairobitmap bmp(32, 32);
    tcanvas& t = bmp.canvas();
    t.setpencolor(kRed);
    t.setbrushcolor(kGreenish);
    t.Ellipse(10, 12, 21, 19);
    const pixelset got = notwhite(bmp);
    int minx = 99, maxx = -1, miny = 99, maxy = -1;
    for (auto [x, y] : got) {
        minx = std::min(minx, x), maxx = std::max(maxx, x);
        miny = std::min(miny, y), maxy = std::max(maxy, y);
    }
    EXPECT_EQ(minx, 10);
    EXPECT_EQ(maxx, 20);
    EXPECT_EQ(miny, 12);
    EXPECT_EQ(maxy, 18);
    EXPECT_EQ(bmp.pixel(15, 15), kGreenish);
    EXPECT_EQ(bmp.pixel(10, 12), kWhite);  // corners stay out
    EXPECT_EQ(bmp.pixel(20, 18), kWhite);
    // Left-right and top-bottom symmetric about the box's centre.
    for (auto [x, y] : got) EXPECT_TRUE(got.count({30 - x, 30 - y})) << x << "," << y;

    tcairobitmap thin(10, 10);
    thin.canvas().setpencolor(kRed);
    thin.canvas().Ellipse(2, 2, 3, 7);  // one column wide
    EXPECT_EQ(notwhite(thin), block(2, 2, 3, 7));
}

TEST(CairoCanvas, TextRectCentresOneLineAndStaysInside) {
    tcairobitmap bmp(105, 105);
    tcanvas& t = bmp.canvas();
    t.setfontsize(7);
    t.setbrushcolor(kGreenish);
    t.setfontcolor(0);
    t.TextRect(0, 0, 105, 105, "50.00x50.00", tfCenter | tfVerticalCenter | tfSingleLine);
    const pixelset ink = notwhite(bmp);
    ASSERT_FALSE(ink.empty());
    EXPECT_FALSE(pixelsof(bmp, 0).empty());          // glyphs in the font colour
    EXPECT_FALSE(pixelsof(bmp, kGreenish).empty());  // on the brush colour
    int minx = 999, maxx = -1, miny = 999, maxy = -1;
    for (auto [x, y] : ink) {
        minx = std::min(minx, x), maxx = std::max(maxx, x);
        miny = std::min(miny, y), maxy = std::max(maxy, y);
    }
    EXPECT_LE(std::abs(minx - (104 - maxx)), 1);
    EXPECT_LE(std::abs(miny - (104 - maxy)), 1);
    EXPECT_LT(maxy - miny, 16);  // one line of a small font

    // Clipped to its rectangle.
    tcairobitmap clip(60, 30);
    clip.canvas().setbrushcolor(kGreenish);
    clip.canvas().TextRect(10, 10, 30, 20, "a rather long line of text", tfLeft);
    for (auto [x, y] : notwhite(clip)) {
        EXPECT_GE(x, 10);
        EXPECT_LT(x, 30);
        EXPECT_GE(y, 10);
        EXPECT_LT(y, 20);
    }
    tcairobitmap empty(20, 20);
    empty.canvas().TextRect(0, 0, 20, 20, "", tfCenter);
    EXPECT_EQ(notwhite(empty).size(), 0u);
}

TEST(RecordingCanvas, ListsEveryCallWithItsState) {
    trecordingcanvas t;
    t.setpencolor(kRed);
    t.Rectangle(0, 0, 105, 105);
    t.setbrushcolor(kBlue);
    t.setpenwidth(2);
    const std::vector<tpoint> tri = {{1, 2}, {3, 4}, {5, 6}};
    t.Polygon(tri);
    t.MoveTo(3, 4);
    t.LineTo(7, 8);
    t.LineTo(9, 8);
    t.Ellipse(1, 2, 3, 4);
    t.setfontsize(7);
    t.TextRect(0, 0, 9, 9, "a", tfCenter | tfVerticalCenter | tfSingleLine);

    const std::vector<std::string> expected = {"Rectangle(0,0,105,105)",  "Polygon(1,2 3,4 5,6)", "MoveTo(3,4)",
                                               "LineTo(3,4-7,8)",         "LineTo(7,8-9,8)",      "Ellipse(1,2,3,4)",
                                               "TextRect(0,0,9,9,'a',13)"};
    EXPECT_EQ(t.strs(), expected);
    EXPECT_EQ(t.calls[0].state.pencolor, kRed);
    EXPECT_EQ(t.calls[0].state.brushcolor, kWhite);
    EXPECT_EQ(t.calls[1].state.brushcolor, kBlue);
    EXPECT_EQ(t.calls[1].state.penwidth, 2);
    EXPECT_EQ(t.calls[6].state.fontsize, 7);
    const std::vector<tcanvasline> lines = {{{3, 4}, {7, 8}, kRed, 2}, {{7, 8}, {9, 8}, kRed, 2}};
    EXPECT_EQ(t.lines(), lines);
    EXPECT_EQ(t.callsof(tcanvascall::ellipse).size(), 1u);
    EXPECT_EQ(t.penpos(), (tpoint{9, 8}));
}

}  // namespace
}  // namespace kestrune
