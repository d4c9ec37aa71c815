// kestrune-cli render: the pictures it writes (read back pixel by pixel where
// it matters), the formats and sizes, and what it refuses.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using fixtures::circle;
using fixtures::trace;
using fixtures::writeoma;
using testing::read_file;
using testing::real_samples_dir;
using testing::runcli;
using testing::TempDir;
using testing::write_file;
using Radii = std::vector<std::int32_t>;
using Records = std::vector<std::string>;

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kShapeFill = 0xD1D0E1;  // red 209, green 208, blue 225

using tresult = testing::cliresult;
using testing::quoted;

// ---- traces and files ----

// A shape fuller on its +x (nasal) side than on its -x side.
Radii egg(int n) {
    Radii r;
    for (int i = 0; i < n; ++i)
        r.push_back(static_cast<std::int32_t>(std::lround(2300 + 400 * std::cos(2 * kPi * i / n))));
    return r;
}

// ---- pictures read back ----

struct tpicture {
    int width = 0, height = 0;
    std::vector<std::uint32_t> rgb;  // 0xRRGGBB, row by row
    std::uint32_t at(int x, int y) const { return rgb[static_cast<std::size_t>(y) * width + x]; }
    bool operator==(const tpicture&) const = default;
};

tpicture readpng(const fs::path& p) {
    tpicture pic;
    cairo_surface_t* s = cairo_image_surface_create_from_png(p.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(s);
        pic.width = cairo_image_surface_get_width(s);
        pic.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < pic.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < pic.width; ++x) pic.rgb.push_back(row[x] & 0xFFFFFF);
        }
    }
    cairo_surface_destroy(s);
    return pic;
}

// The first and last pixel of a row (or column) that is not white, leaving
// out the frame's outermost pixels.
std::pair<int, int> extentofrow(const tpicture& pic, int y) {
    int first = -1, last = -1;
    for (int x = 1; x < pic.width - 1; ++x) {
        if (pic.at(x, y) != kWhite) {
            if (first < 0) first = x;
            last = x;
        }
    }
    return {first, last};
}

std::pair<int, int> extentofcolumn(const tpicture& pic, int x) {
    int first = -1, last = -1;
    for (int y = 1; y < pic.height - 1; ++y) {
        if (pic.at(x, y) != kWhite) {
            if (first < 0) first = y;
            last = y;
        }
    }
    return {first, last};
}

struct tjpeginfo {
    bool jpeg = false, baseline = false;
    int width = 0, height = 0, components = 0;
};

// The frame header of a JPEG file, read from its markers.
tjpeginfo readjpegheader(const std::string& bytes) {
    tjpeginfo info;
    auto byte = [&bytes](std::size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u; };
    if (byte(0) != 0xFF || byte(1) != 0xD8) return info;
    info.jpeg = true;
    for (std::size_t i = 2; i + 3 < bytes.size();) {
        if (byte(i) != 0xFF) return info;
        const unsigned marker = byte(i + 1);
        const std::size_t length = byte(i + 2) << 8 | byte(i + 3);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            info.baseline = marker == 0xC0;
            info.height = static_cast<int>(byte(i + 5) << 8 | byte(i + 6));
            info.width = static_cast<int>(byte(i + 7) << 8 | byte(i + 8));
            info.components = static_cast<int>(byte(i + 9));
            return info;
        }
        i += 2 + length;
    }
    return info;
}

// ---- the picture ----

TEST(CliRender, CircleAsTheViewerDrawsIt) {
    TempDir dir;
    const fs::path file = writeoma(dir / "c.oma", trace('R', circle(400, 2500)));
    const fs::path out = dir / "c.png";
    const tresult r = runcli("render " + quoted(file) + " --eye R -o " + quoted(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    const tpicture pic = readpng(out);
    ASSERT_EQ(pic.width, 105);
    ASSERT_EQ(pic.height, 105);
    // A one-pixel black frame around a white picture.
    EXPECT_EQ(pic.at(0, 0), kBlack);
    EXPECT_EQ(pic.at(104, 104), kBlack);
    EXPECT_EQ(pic.at(52, 0), kBlack);
    EXPECT_EQ(pic.at(1, 1), kWhite);
    EXPECT_EQ(pic.at(10, 52), kWhite);
    // 80 mm across the picture: the 50 mm circle spans pixels 19 to 85 about
    // the centre pixel 52, its inside filled.
    EXPECT_EQ(extentofrow(pic, 52), std::make_pair(19, 85));
    EXPECT_EQ(extentofcolumn(pic, 52), std::make_pair(19, 85));
    EXPECT_EQ(pic.at(52, 52), kShapeFill);
    EXPECT_EQ(pic.at(19, 52), kBlack);
}

TEST(CliRender, FormatsAndSizes) {
    TempDir dir;
    const fs::path file = writeoma(dir / "c.oma", trace('R', circle(400, 2500)));
    struct tcase {
        const char* name;
        const char* options;
        char format;  // 'p' PNG, 'j' JPEG, 's' SVG
        int width, height;
    };
    const tcase cases[] = {
        {"a.png", "", 'p', 105, 105},        {"b.png", "--size 210x140", 'p', 210, 140},
        {"c.PNG", "-s 1x1", 'p', 1, 1},      {"d.jpg", "", 'j', 105, 105},
        {"e.JPEG", "-s 64X48", 'j', 64, 48}, {"f.jpeg", "--size=300x200", 'j', 300, 200},
        {"g.svg", "", 's', 105, 105},        {"h.Svg", "--size 400x300", 's', 400, 300},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path out = dir / c.name;
        const tresult r = runcli("render " + quoted(file) + " -e R -o " + quoted(out) + " " + c.options);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string bytes = read_file(out);
        if (c.format == 'p') {
            const tpicture pic = readpng(out);
            EXPECT_EQ(pic.width, c.width);
            EXPECT_EQ(pic.height, c.height);
        } else if (c.format == 'j') {
            const tjpeginfo info = readjpegheader(bytes);
            EXPECT_TRUE(info.jpeg);
            EXPECT_TRUE(info.baseline);
            EXPECT_EQ(info.components, 3);
            EXPECT_EQ(info.width, c.width);
            EXPECT_EQ(info.height, c.height);
        } else {
            EXPECT_EQ(bytes.rfind("<?xml", 0), 0u);
            const std::string size =
                "width=\"" + std::to_string(c.width) + "px\" height=\"" + std::to_string(c.height) + "px\"";
            EXPECT_NE(bytes.find(size), std::string::npos) << bytes.substr(0, 300);
        }
    }
    // The picture in the folder holds nothing but the pictures: no temporary
    // file is left behind.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) files += entry.path().filename().string()[0] == '.';
    EXPECT_EQ(files, 0);
}

TEST(CliRender, BothEyesAreDrawnAsStored) {
    // The viewer draws the left trace with the right eye's settings: as the
    // trace holds it, not mirrored. The egg is fuller on its +x side, which
    // the picture shows on its right.
    TempDir dir;
    const fs::path right = writeoma(dir / "r.oma", trace('R', egg(360)));
    const fs::path left = writeoma(dir / "l.oma", trace('L', egg(360)));
    ASSERT_EQ(runcli("render " + quoted(right) + " --eye R -o " + quoted(dir / "r.png")).status, 0);
    ASSERT_EQ(runcli("render " + quoted(left) + " --eye L -o " + quoted(dir / "l.png")).status, 0);
    const tpicture r = readpng(dir / "r.png");
    const tpicture l = readpng(dir / "l.png");
    ASSERT_EQ(r.width, 105);
    EXPECT_EQ(l, r);
    const auto [first, last] = extentofrow(l, 52);
    EXPECT_GT(last - 52, 52 - first + 5) << first << " " << last;
}

TEST(CliRender, TextWritesTheBoxSizeInThePicture) {
    TempDir dir;
    const fs::path file = writeoma(dir / "c.oma", trace('R', circle(400, 2500)));
    ASSERT_EQ(runcli("render " + quoted(file) + " --eye R -o " + quoted(dir / "plain.png")).status, 0);
    ASSERT_EQ(runcli("render " + quoted(file) + " --eye R --text -o " + quoted(dir / "text.png")).status, 0);
    const tpicture plain = readpng(dir / "plain.png");
    const tpicture text = readpng(dir / "text.png");
    ASSERT_EQ(text.width, 105);
    // Inside the circle the plain picture is all fill; the text leaves dark
    // pixels on the middle rows, and only there.
    int darkmiddle = 0, darkelsewhere = 0;
    for (int y = 30; y <= 74; ++y) {
        for (int x = 30; x <= 74; ++x) {
            EXPECT_EQ(plain.at(x, y), kShapeFill);
            const std::uint32_t v = text.at(x, y);
            if (v != kShapeFill && v != kWhite) (y >= 44 && y <= 60 ? darkmiddle : darkelsewhere)++;
        }
    }
    EXPECT_GT(darkmiddle, 20);
    EXPECT_EQ(darkelsewhere, 0);
}

TEST(CliRender, PackedTraceDrawsLikeItsAsciiTwin) {
    TempDir dir;
    for (char eye : {'R', 'L'}) {
        SCOPED_TRACE(eye);
        const std::string option = std::string(" --eye ") + eye + " -o ";
        ASSERT_EQ(
            runcli("render " + quoted(writeoma(dir / "a.oma", trace(eye, egg(400)))) + option + quoted(dir / "a.png"))
                .status,
            0);
        ASSERT_EQ(runcli("render " + quoted(writeoma(dir / "p.oma", trace(eye, egg(400), true))) + option +
                         quoted(dir / "p.png"))
                      .status,
                  0);
        const tpicture a = readpng(dir / "a.png");
        EXPECT_EQ(a.width, 105);
        EXPECT_EQ(readpng(dir / "p.png"), a);
    }
}

TEST(CliRender, ReplacesAnEarlierPicture) {
    TempDir dir;
    const fs::path out = dir / "x.png";
    ASSERT_EQ(
        runcli("render " + quoted(writeoma(dir / "big.oma", trace('R', circle(400, 2500)))) + " -e R -o " + quoted(out))
            .status,
        0);
    ASSERT_EQ(runcli("render " + quoted(writeoma(dir / "small.oma", trace('R', circle(400, 1500)))) + " -e R -o " +
                     quoted(out))
                  .status,
              0);
    EXPECT_EQ(extentofrow(readpng(out), 52), std::make_pair(32, 72));
}

// ---- what is refused ----

TEST(CliRender, NoTraceOrUnwritableOutput) {
    TempDir dir;
    const fs::path both = writeoma(dir / "both.oma", [] {
        Records r = trace('R', circle(400, 2500));
        const Records l = trace('L', circle(11, 2500));
        r.insert(r.end(), l.begin(), l.end());
        return r;
    }());
    const fs::path ten = writeoma(dir / "ten.oma", trace('R', circle(10, 2500)));
    const fs::path rightonly = writeoma(dir / "right.oma", trace('R', circle(400, 2500)));
    const fs::path missing = dir / "missing.oma";
    write_file(dir / "plainfile", "x");
    struct tcase {
        std::string arguments;
        fs::path out;
        std::string err;  // empty: the picture is written
    };
    const tcase cases[] = {
        {quoted(both) + " --eye L", dir / "eleven.png", ""},
        {quoted(ten) + " --eye R", dir / "ten.png",
         "kestrune-cli: " + ten.string() + ": no right-eye trace to draw (10 points)\n"},
        {quoted(rightonly) + " --eye L", dir / "left.png",
         "kestrune-cli: " + rightonly.string() + ": no left-eye trace to draw (0 points)\n"},
        {quoted(missing) + " --eye R", dir / "missing.png",
         "kestrune-cli: " + missing.string() + ": No such file or directory\n"},
        {quoted(rightonly) + " --eye R", dir / "plainfile" / "x.png",
         "kestrune-cli: " + (dir / "plainfile" / "x.png").string() + ": Not a directory\n"},
        {quoted(rightonly) + " --eye R", dir / "afolder.png",
         "kestrune-cli: " + (dir / "afolder.png").string() + ": Is a directory\n"},
    };
    fs::create_directory(dir / "afolder.png");
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.arguments + " " + c.out.string());
        const tresult r = runcli("render " + c.arguments + " -o " + quoted(c.out));
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        if (c.err.empty()) {
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(readpng(c.out).width, 105);
        } else {
            EXPECT_EQ(r.status, 2);
            EXPECT_FALSE(fs::is_regular_file(c.out));
        }
    }
    EXPECT_EQ(read_file(dir / "plainfile"), "x");
}

TEST(CliRender, UsageErrorsWriteNothing) {
    TempDir dir;
    const fs::path file = writeoma(dir / "c.oma", trace('R', circle(400, 2500)));
    const std::string f = quoted(file);
    const std::string out = quoted(dir / "out.png");
    struct tcase {
        std::string arguments;
        std::string message;
    };
    const tcase cases[] = {
        {f + " -o " + out, "render: missing --eye R|L"},
        {f + " --eye R", "render: missing -o OUT"},
        {f + " --eye X -o " + out, "render: --eye takes R or L, not 'X'"},
        {f + " " + f + " --eye R -o " + out, "render: OUT must be a folder when several files are given: '"},
        {f + " " + f + " --eye R -o " + f, "render: OUT must be a folder when several files are given: '"},
        {f + " --eye R -o " + out + " --format gif", "render: --format takes jpeg, png or svg, not 'gif'"},
        {f + " --eye R -o " + quoted(dir / "out.gif"), "render: OUT must end in .jpeg, .jpg, .png or .svg: '"},
        {f + " --eye R -o " + quoted(dir / "out"), "render: OUT must end in .jpeg, .jpg, .png or .svg: '"},
        {f + " --eye R -o " + out + " --size 0x10",
         "render: --size takes WIDTHxHEIGHT in pixels, each 1 to 10000: '0x10'"},
        {f + " --eye R -o " + out + " --size 10", "render: --size takes"},
        {f + " --eye R -o " + out + " --size x10", "render: --size takes"},
        {f + " --eye R -o " + out + " --size 10x", "render: --size takes"},
        {f + " --eye R -o " + out + " --size -5x10", "render: --size takes"},
        {f + " --eye R -o " + out + " --size 10x10x10", "render: --size takes"},
        {f + " --eye R -o " + out + " --size 10001x10", "render: --size takes"},
        {f + " --eye R -o " + out + " --size 99999999999x10", "render: --size takes"},
        {f + " --eye R -o " + out + " --text=yes", "render: option '--text' takes no value"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const tresult r = runcli("render " + c.arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrune-cli: " + c.message, 0), 0u) << r.err;
        EXPECT_NE(r.err.find("\nUsage: kestrune-cli render FILE... --eye R|L -o OUT"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir / "out.png"));
}

TEST(CliRender, NeverOverwritesItsInput) {
    TempDir dir;
    const fs::path file = writeoma(dir / "job.png", trace('R', circle(400, 2500)));
    const std::string before = read_file(file);
    const tresult r = runcli("render " + quoted(file) + " --eye R -o " + quoted(dir / "." / "job.png"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: render: OUT is FILE itself: " + (dir / "." / "job.png").string() + "\n");
    EXPECT_EQ(read_file(file), before);
}

TEST(CliRender, RealSamples) {
    const fs::path samples = real_samples_dir();
    if (samples.empty()) GTEST_SKIP() << "no real samples";
    TempDir dir;
    int drawn = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".oma") continue;
        for (const char* eye : {"R", "L"}) {
            SCOPED_TRACE(entry.path().filename().string() + " " + eye);
            const fs::path out = dir / (entry.path().stem().string() + eye + ".png");
            const tresult r = runcli("render " + quoted(entry.path()) + " --eye " + eye + " -o " + quoted(out));
            if (r.status != 0) {
                // Only a trace in a notation that is not decoded has no picture.
                EXPECT_EQ(r.status, 2);
                EXPECT_NE(r.err.find("-eye trace to draw (0 points)"), std::string::npos) << r.err;
                continue;
            }
            const tpicture pic = readpng(out);
            ASSERT_EQ(pic.width, 105);
            EXPECT_EQ(pic.at(0, 0), kBlack);
            // Every real outline is 30 to 60 mm wide: 25 to 80 pixels.
            const auto [first, last] = extentofrow(pic, 52);
            EXPECT_GE(last - first, 25);
            EXPECT_LE(last - first, 80);
            EXPECT_EQ(pic.at(52, 52), kShapeFill);
            ++drawn;
        }
    }
    EXPECT_GT(drawn, 0);
}

}  // namespace
}  // namespace kestrune
