// kestrune-cli info --msu / --radius and convert --box / --rotate, run as a
// program on files made here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "kestrune/document/omafile.hpp"
#include "kestrune/job/reshape.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace kestrune {
namespace {

using fixtures::ascii;
using fixtures::concat;
using fixtures::ellipse;
using fixtures::trace;
using fixtures::writeoma;
using testing::read_file;
using testing::runcli;
using testing::TempDir;
using testing::write_file;
using Radii = std::vector<std::int32_t>;
using Records = std::vector<std::string>;

using tresult = testing::cliresult;
using testing::quoted;

Records lines(const std::string& text, const std::string& end = "\n") {
    Records out;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size())
        out.push_back(text.substr(start, at - start));
    return out;
}

// ---- traces and files ----

// A job with a right ellipse 52 x 40 mm and a left circle of 50 mm, recorded
// circumferences, a 3-D circumference and a drill hole; packed or ASCII.
Records job(bool packed) {
    const Radii right = ellipse(400, 2600, 2000);
    const Radii left(400, 2500);
    return concat({{"JOB=7", "DBL=18.5", "CIRC=150.25;149.75", "CIRC3D=151.00;150.50", "HBOX=52.00;50.00"},
                   trace('R', right, packed),
                   trace('L', left, packed),
                   {"DRILLE=B;C;20.50;3.00;2.20"}});
}

// The right and left outlines (or depth traces) of a file as the library
// reads them.
struct eyes {
    tradiilist right, left;
};
eyes readtraces(const fs::path& file, bool outline = true) {
    eyes e;
    tomafileobj doc;
    EXPECT_TRUE(doc.readomafile(file) && doc.omastrtolist()) << file;
    tradiilist shown;
    shown.extractradiilistfromomalist2(doc.omalist, &e.right, &e.left, outline);
    return e;
}

Records recordsof(const fs::path& file) { return lines(read_file(file), "\r\n"); }

nlohmann::json infojson(const std::string& arguments) {
    const tresult r = runcli("info --json " + arguments);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? nlohmann::json::parse(r.out) : nlohmann::json::object();
}

// ---- info --msu and --radius ----

TEST(CliInfoShape, SmallestBlankAndRadiusOfEachEye) {
    TempDir dir;
    const fs::path file = writeoma(dir / "job.oma", job(true));
    const eyes traced = readtraces(file);
    const struct {
        std::string msu;
        std::int32_t hdec, vdec, allow;
    } cases[] = {
        {"3,0", 300, 0, 0},
        {"-3,0.5,0.25", -300, 50, 25},
        {"0,-1.5,2", 0, -150, 200},  // each number in its own place
        {"+1.25,2,-0.5", 125, 200, -50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.msu);
        const nlohmann::json j = infojson(quoted(file) + " --msu=" + c.msu + " --radius 33.3");
        EXPECT_EQ(j["right"]["msu"], traced.right.calcmsu(c.allow, c.hdec, c.vdec));
        EXPECT_EQ(j["left"]["msu"], traced.left.calcmsu(c.allow, c.hdec, c.vdec));
        EXPECT_EQ(j["right"]["radius"], traced.right.findradiusforangle(33.3));
        EXPECT_EQ(j["left"]["radius"], 2500);
    }
    // A 50 mm circle, the blank centre 3 mm off: a 56 mm blank. The ellipse
    // at 90 degrees: its half depth.
    const nlohmann::json j = infojson(quoted(file) + " --msu 3,0 --radius 90");
    EXPECT_EQ(j["left"]["msu"], 5600);
    EXPECT_EQ(j["right"]["radius"], 2000);
    // Without the options the object is as before.
    EXPECT_FALSE(infojson(quoted(file))["right"].contains("msu"));
    EXPECT_FALSE(infojson(quoted(file))["right"].contains("radius"));
}

TEST(CliInfoShape, TextReportAndAnEyeWithoutATrace) {
    TempDir dir;
    const fs::path file = writeoma(dir / "r.oma", trace('R', Radii(400, 2500)));
    const tresult r = runcli("info " + quoted(file) + " --msu 3,0 --radius 45.5");
    ASSERT_EQ(r.status, 0) << r.err;
    const Records out = lines(r.out);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[out.size() - 3], "  Smallest blank:          56.00 mm");
    EXPECT_EQ(out[out.size() - 2], "  Radius at 45.5 degrees:  25.00 mm");
    EXPECT_EQ(out.back(), "Left eye: no trace");

    const nlohmann::json j = infojson(quoted(file) + " --msu 3,0 --radius 45.5");
    EXPECT_EQ(j["left"]["points"], 0);
    EXPECT_EQ(j["left"]["msu"], 0);
    EXPECT_EQ(j["left"]["radius"], 0);
}

TEST(CliInfoShape, OptionMistakes) {
    TempDir dir;
    const fs::path file = writeoma(dir / "r.oma", trace('R', Radii(400, 2500)));
    const struct {
        std::string option, message;
    } cases[] = {
        {"--msu 3", "info: --msu takes HDEC,VDEC[,ALLOW] in millimetres, not '3'"},
        {"--msu 1,2,3,4", "info: --msu takes HDEC,VDEC[,ALLOW] in millimetres, not '1,2,3,4'"},
        {"--msu 1,,2", "info: --msu takes HDEC,VDEC[,ALLOW] in millimetres, not '1,,2'"},
        {"--msu '1;2'", "info: --msu takes HDEC,VDEC[,ALLOW] in millimetres, not '1;2'"},
        {"--msu 1e3,2", "info: --msu takes HDEC,VDEC[,ALLOW] in millimetres, not '1e3,2'"},
        {"--msu 2000,0", "info: --msu takes HDEC,VDEC[,ALLOW] in millimetres, not '2000,0'"},
        {"--msu=", "info: --msu takes HDEC,VDEC[,ALLOW] in millimetres, not ''"},
        {"--radius x", "info: --radius takes an angle in degrees, not 'x'"},
        {"--radius nan", "info: --radius takes an angle in degrees, not 'nan'"},
        {"--radius inf", "info: --radius takes an angle in degrees, not 'inf'"},
        {"--radius --5", "info: --radius takes an angle in degrees, not '--5'"},
        {"--radius", "info: option '--radius' needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        const tresult r = runcli("info " + quoted(file) + " " + c.option);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrune-cli: " + c.message + "\nUsage: kestrune-cli info", 0), 0u) << r.err;
    }
    // An angle beyond a turn is the same direction within one.
    EXPECT_EQ(infojson(quoted(file) + " --radius=-270")["right"]["radius"], 2500);
}

// ---- convert --box and --rotate ----

// The turning and resizing themselves are the library's (tests/job/reshape_test.cpp):
// here, that convert passes the options on and writes what the library gives.
TEST(CliConvertShape, WritesTheReshapedJobRecordForRecord) {
    TempDir dir;
    const struct {
        std::string options;
        tshapechange change;
    } cases[] = {
        {"--rotate 2.5", {true, 2.5, false, 0, 0}},
        {"--box 52.5,30.25", {false, 0, true, 5250, 3025}},
        {"--box=48,34 --rotate=-30", {true, -30, true, 4800, 3400}},
    };
    for (const bool packed : {true, false}) {
        const fs::path in = writeoma(dir / "in.oma", job(packed));
        for (const auto& c : cases) {
            SCOPED_TRACE(c.options + (packed ? " packed" : " ASCII"));
            const fs::path out = dir / "out.oma";
            const tresult r = runcli("convert " + quoted(in) + " -o " + quoted(out) + " " + c.options);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "");

            tomafileobj doc;
            ASSERT_TRUE(doc.readomafile(in) && doc.omastrtolist());
            tstringlist expected;
            ASSERT_EQ(reshapeoutlines(doc, expected, c.change), treshapeoutcome::reshaped);
            const Records written = recordsof(out);
            ASSERT_EQ(written.size(), static_cast<std::size_t>(expected.count()));
            for (std::size_t i = 0; i < written.size(); ++i) {
                // The stamp says when each was made.
                if (written[i].rfind("_ASASCII=", 0) == 0) continue;
                EXPECT_EQ(written[i], expected[static_cast<int>(i)]) << i;
            }
        }
    }
}

TEST(CliConvertShape, MistakesWriteNothing) {
    TempDir dir;
    const fs::path in = writeoma(dir / "in.oma", job(true));
    const fs::path none = writeoma(dir / "none.oma", {"JOB=1", "DBL=18"});
    const fs::path undecoded = writeoma(dir / "six.oma", {"JOB=1", "TRCFMT=6;360;E;R;F", "R=abc"});
    const Records halves = ascii("R", Radii(400, 2500));
    const fs::path broken = writeoma(dir / "broken.oma", concat({{"TRCFMT=1;400;E;R;F"}, Records(halves.begin(), halves.begin() + 20),
                                                                {"NOTE=interrupted"}, Records(halves.begin() + 20, halves.end())}));
    const fs::path out = dir / "out.oma";
    const struct {
        std::string arguments, message;
    } cases[] = {
        {quoted(in) + " --box 52", "convert: --box takes A,B in millimetres, each above 1 and below 100, not '52'"},
        {quoted(in) + " --box 52,30,1",
         "convert: --box takes A,B in millimetres, each above 1 and below 100, not '52,30,1'"},
        {quoted(in) + " --box 1,30", "convert: --box takes A,B in millimetres, each above 1 and below 100, not '1,30'"},
        {quoted(in) + " --box 52,100",
         "convert: --box takes A,B in millimetres, each above 1 and below 100, not '52,100'"},
        {quoted(in) + " --box=-52,30",
         "convert: --box takes A,B in millimetres, each above 1 and below 100, not '-52,30'"},
        {quoted(in) + " --box a,b", "convert: --box takes A,B in millimetres, each above 1 and below 100, not 'a,b'"},
        {quoted(in) + " --rotate ninety", "convert: --rotate takes an angle in degrees, not 'ninety'"},
        {quoted(in) + " --rotate 1e400", "convert: --rotate takes an angle in degrees, not '1e400'"},
        {quoted(none) + " --box 52,30", "convert: " + none.string() + ": no outline to change; nothing written"},
        {quoted(none) + " --rotate 5", "convert: " + none.string() + ": no outline to change; nothing written"},
        {quoted(broken) + " --rotate 5",
         "convert: " + broken.string() + ": trace records without a format record of their own; nothing written"},
        {quoted(undecoded) + " --box 52,30",
         "convert: " + undecoded.string() + ": the trace of TRCFMT=6;360;E;R;F cannot be decoded; nothing written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const tresult r = runcli("convert " + c.arguments + " -o " + quoted(out));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrune-cli: " + c.message + "\n", 0), 0u) << r.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

}  // namespace
}  // namespace kestrune
