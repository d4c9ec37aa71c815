// kestrune-cli info --msu / --radius and convert --box / --rotate, run as a
// program on files made here and on the real sample files.
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
using testing::real_samples_dir;
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

int counttag(const Records& records, const std::string& tag) {
    int n = 0;
    for (const std::string& r : records) n += r.rfind(tag + "=", 0) == 0;
    return n;
}

std::string valueof(const Records& records, const std::string& tag) {
    for (const std::string& r : records)
        if (r.rfind(tag + "=", 0) == 0) return r.substr(tag.size() + 1);
    return "";
}

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
        {"0,-1.5,2", 0, -150, 200},   // each number in its own place
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

TEST(CliConvertShape, BoxBringsBothOutlinesToTheSizeAndRewritesTheBoxRecords) {
    TempDir dir;
    for (const bool packed : {true, false}) {
        SCOPED_TRACE(packed ? "packed" : "ASCII");
        const fs::path in = writeoma(dir / "in.oma", job(packed));
        const fs::path out = dir / "out.oma";
        const tresult r = runcli("convert " + quoted(in) + " -o " + quoted(out) + " --box 52.5,30.25");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");

        const eyes before = readtraces(in);
        eyes after = readtraces(out);
        for (tradiilist* e : {&after.right, &after.left}) {
            EXPECT_EQ(e->readcount(), 400);
            e->findabed();
            EXPECT_LT(std::abs(e->a - 5250), 10) << e->a;
            EXPECT_LT(std::abs(e->b - 3025), 10) << e->b;
        }
        const Records records = recordsof(out);
        EXPECT_EQ(valueof(records, "TRCFMT"), "1;400;E;R;F");
        EXPECT_EQ(counttag(records, "HBOX"), 1);
        EXPECT_EQ(counttag(records, "VBOX"), 1);
        EXPECT_EQ(counttag(records, "CIRC"), 1);
        EXPECT_EQ(counttag(records, "CIRC3D"), 0) << "a 3-D circumference of the old shape";
        char hbox[40];
        std::snprintf(hbox, sizeof hbox, "%d.%02d;%d.%02d", after.right.a / 100, after.right.a % 100,
                      after.left.a / 100, after.left.a % 100);
        EXPECT_EQ(valueof(records, "HBOX"), hbox);
        // The recorded circumference moves with the computed one.
        tradiilist oldright = before.right, newright = after.right;
        oldright.findcirc();
        newright.findcirc();
        const std::int32_t expected = 15025 + newright.fcirc - oldright.fcirc;
        EXPECT_EQ(after.right.omacirc, expected);
        // The other records stay.
        for (const char* tag : {"JOB", "DBL", "DRILLE"}) EXPECT_EQ(counttag(records, tag), 1) << tag;
        EXPECT_EQ(valueof(records, "DRILLE"), "B;C;20.50;3.00;2.20");
    }
}

TEST(CliConvertShape, RotateTurnsOutlinesAndDepthTraces) {
    TempDir dir;
    Radii z;
    for (int i = 0; i < 400; ++i) z.push_back(100 + (i % 37));  // no period that a quarter turn hides
    const fs::path in = writeoma(dir / "in.oma",
                                 concat({{"JOB=8", "CIRC3D=151.00;150.50"},
                                         trace('R', ellipse(400, 2600, 2000)),
                                         trace("1;400;E;R;F", z, "Z", "ZFMT")}));
    const fs::path out = dir / "out.oma";
    const tresult r = runcli("convert " + quoted(in) + " -o " + quoted(out) + " --rotate 90");
    ASSERT_EQ(r.status, 0) << r.err;

    const eyes before = readtraces(in);
    eyes after = readtraces(out);
    ASSERT_EQ(after.right.readcount(), 400);
    after.right.findabed();
    EXPECT_NEAR(after.right.a, 4000, 2);
    EXPECT_NEAR(after.right.b, 5200, 2);
    // A quarter turn of 400 points moves each radius 100 places on.
    for (int i = 0; i < 400; i += 13) {
        EXPECT_EQ(after.right.extractradiuselement((i + 100) % 400), before.right.extractradiuselement(i)) << i;
    }
    const eyes zbefore = readtraces(in, false);
    const eyes zafter = readtraces(out, false);
    ASSERT_EQ(zafter.right.readcount(), 400);
    for (int i = 0; i < 400; i += 7) {
        EXPECT_EQ(zafter.right.extractradiuselement((i + 100) % 400), zbefore.right.extractradiuselement(i)) << i;
    }
    // A turn keeps the 3-D circumference.
    EXPECT_EQ(valueof(recordsof(out), "CIRC3D"), "151.00;150.50");

    // A whole turn changes no radius.
    const tresult full = runcli("convert " + quoted(in) + " -o " + quoted(dir / "full.oma") + " --rotate=-360");
    ASSERT_EQ(full.status, 0) << full.err;
    const eyes same = readtraces(dir / "full.oma");
    EXPECT_EQ(same.right.radiilist.items(), before.right.radiilist.items());
}

TEST(CliConvertShape, UnevenTraceKeepsItsAnglesAndRotateThenBox) {
    TempDir dir;
    // 200 points, denser on the nasal side, with their angle records.
    Radii angles, radii;
    for (int i = 0; i < 200; ++i) {
        const double t = i < 100 ? i * 0.9 : 90 + (i - 100) * 2.7;
        angles.push_back(static_cast<std::int32_t>(std::nearbyint(t * 100)));
        const double rad = t * std::numbers::pi / 180;
        radii.push_back(static_cast<std::int32_t>(
            std::nearbyint(2600.0 * 2000.0 / std::hypot(2000.0 * std::cos(rad), 2600.0 * std::sin(rad)))));
    }
    const fs::path in = writeoma(dir / "in.oma", concat({trace("1;200;U;R;F", radii), ascii("A", angles)}));
    const fs::path out = dir / "out.oma";
    const tresult r = runcli("convert " + quoted(in) + " -o " + quoted(out) + " --rotate 30 --box 48,34");
    ASSERT_EQ(r.status, 0) << r.err;
    const Records records = recordsof(out);
    EXPECT_EQ(valueof(records, "TRCFMT"), "1;200;U;R;F");
    EXPECT_EQ(counttag(records, "A"), 20);
    eyes after = readtraces(out);
    ASSERT_EQ(after.right.readcount(), 200);
    after.right.findabed();
    EXPECT_LT(std::abs(after.right.a - 4800), 10);
    EXPECT_LT(std::abs(after.right.b - 3400), 10);
}

TEST(CliConvertShape, MistakesWriteNothing) {
    TempDir dir;
    const fs::path in = writeoma(dir / "in.oma", job(true));
    const fs::path none = writeoma(dir / "none.oma", {"JOB=1", "DBL=18"});
    const fs::path out = dir / "out.oma";
    const struct {
        std::string arguments, message;
    } cases[] = {
        {quoted(in) + " --box 52", "convert: --box takes A,B in millimetres, each above 1 and below 100, not '52'"},
        {quoted(in) + " --box 52,30,1", "convert: --box takes A,B in millimetres, each above 1 and below 100, not '52,30,1'"},
        {quoted(in) + " --box 1,30", "convert: --box takes A,B in millimetres, each above 1 and below 100, not '1,30'"},
        {quoted(in) + " --box 52,100", "convert: --box takes A,B in millimetres, each above 1 and below 100, not '52,100'"},
        {quoted(in) + " --box=-52,30", "convert: --box takes A,B in millimetres, each above 1 and below 100, not '-52,30'"},
        {quoted(in) + " --box a,b", "convert: --box takes A,B in millimetres, each above 1 and below 100, not 'a,b'"},
        {quoted(in) + " --rotate ninety", "convert: --rotate takes an angle in degrees, not 'ninety'"},
        {quoted(in) + " --rotate 1e400", "convert: --rotate takes an angle in degrees, not '1e400'"},
        {quoted(none) + " --box 52,30", "convert: " + none.string() + ": no outline to change; nothing written"},
        {quoted(none) + " --rotate 5", "convert: " + none.string() + ": no outline to change; nothing written"},
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

TEST(CliConvertShape, RealSamplesTakeTheBoxAskedFor) {
    const fs::path samples = real_samples_dir();
    if (samples.empty()) GTEST_SKIP() << "no real samples";
    TempDir dir;
    int converted = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const fs::path out = dir / entry.path().filename();
        const tresult r = runcli("convert " + quoted(entry.path()) + " -o " + quoted(out) + " --rotate 5 --box 50,35.5");
        if (r.status != 0) {
            // A trace in a notation that is not decoded is refused as by
            // convert without options.
            EXPECT_NE(r.err.find("cannot be decoded"), std::string::npos) << r.err;
            continue;
        }
        const nlohmann::json j = infojson(quoted(out));
        for (const char* eye : {"right", "left"}) {
            if (j[eye]["points"] == 0) continue;
            EXPECT_LT(std::abs(j[eye]["a"].get<int>() - 5000), 10) << eye;
            EXPECT_LT(std::abs(j[eye]["b"].get<int>() - 3550), 10) << eye;
        }
        EXPECT_EQ(j["verdict"], "");
        ++converted;
    }
    EXPECT_GT(converted, 0);
}

}  // namespace
}  // namespace kestrune
