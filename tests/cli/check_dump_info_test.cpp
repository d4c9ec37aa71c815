// kestrune-cli check, dump and info, run as a program on files made here (ASCII
// and packed traces) and on the real sample files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace kestrune {
namespace {

using fixtures::circle;
using fixtures::concat;
using fixtures::ellipse;
using fixtures::trace;
using fixtures::writeoma;
using testing::real_samples_dir;
using testing::run_command;
using testing::runcli;
using testing::TempDir;
using testing::write_file;
using Radii = std::vector<std::int32_t>;
using Records = std::vector<std::string>;

constexpr double kPi = 3.14159265358979323846;

using tresult = testing::cliresult;
using testing::quoted;

Records lines(const std::string& text) {
    Records out;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
        out.push_back(text.substr(start, at - start));
    EXPECT_EQ(start, text.size()) << "output does not end with a line feed";
    return out;
}

// ---- traces and files ----

// The job the JSON and text tests describe: a right ellipse 52 x 40 mm, a
// left circle of 50 mm, a bridge, recorded circumferences and two holes.
Records job(bool packed) {
    return concat({{"JOB=7", "DBL=18.5", "CIRC=150.25;149.75"},
                   trace('R', ellipse(400, 2600, 2000), packed),
                   trace('L', circle(400, 2500), packed),
                   {"DRILLE=B;C;20.50;3.00;2.20", "DRILLE=B;C;-20.50;3.00;2.20"}});
}

// Circumference of the ellipse with half-axes p and q (Ramanujan's second
// approximation, exact to far below a hundredth here).
double ellipsecirc(double p, double q) {
    const double h = (p - q) * (p - q) / ((p + q) * (p + q));
    return kPi * (p + q) * (1 + 3 * h / (10 + std::sqrt(4 - 3 * h)));
}

// ---- check ----

TEST(CliCheck, PrintsTheVerdictLineAndExitsByIt) {
    const Radii round = circle(400, 2500);
    struct tcase {
        const char* name;
        Records records;
        std::string out;
        int status;
    };
    Records suspect = trace('R', round);
    suspect[5] = "R=2500;2500;;2500;2500;2500;2500;2500;2500;2500";  // an empty field reads as radius 0
    const tcase cases[] = {
        {"no trace", {"JOB=1", "DBL=18"}, " \n", 0},
        {"sound ASCII traces", concat({trace('R', round), trace('L', round)}), " \n", 0},
        {"sound packed traces", concat({trace('R', round, true), trace('L', round, true)}), " \n", 0},
        {"right count short", trace('R', circle(398, 2500), false, 400),
         "Invalid number of points 1;400;E;R;F Points=   398\n", 1},
        {"packed count short", trace('R', circle(398, 2500), true, 400),
         "Invalid number of points 3;400;E;R;F Points=   398\n", 1},
        {"left count short", concat({trace('R', round), trace('L', circle(398, 2500), false, 400)}),
         "Invalid number of points 1;400;E;L;F Points=   398\n", 1},
        {"suspect radius", suspect, "Suspect radii found in the trace \n", 1},
        {"suspect but approved", concat({suspect, {"_ApprovedTrace=1"}}), " \n", 0},
        {"binary data in DBL", concat({trace('R', round), {"DBL=18\0.0"s}}), "Corrupt binary data with tag DBL \n", 1},
    };
    TempDir dir;
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        const tresult r = runcli("check " + quoted(writeoma(dir / "job.oma", c.records)));
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, "");
    }
}

TEST(CliCheck, RealSamplesPass) {
    const fs::path dir = real_samples_dir();
    if (dir.empty()) GTEST_SKIP() << "no real samples";
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const tresult r = runcli("check " + quoted(entry.path()));
        EXPECT_EQ(r.out, " \n");
        EXPECT_EQ(r.status, 0);
    }
}

// ---- errors shared by the three commands ----

TEST(CliCheckDumpInfo, UnreadableFilesAndUsageErrors) {
    TempDir dir;
    const fs::path missing = dir / "missing.oma";
    const fs::path good = writeoma(dir / "good.oma", trace('R', circle(400, 2500)));
    for (const char* command : {"check", "dump", "info", "info --json", "dump --eye L"}) {
        SCOPED_TRACE(command);
        tresult r = runcli(std::string(command) + " " + quoted(missing));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "kestrune-cli: " + missing.string() + ": No such file or directory\n");
        // A folder is searched for files rather than read: see batch_test.cpp.
    }
    struct tcase {
        std::string arguments;
        std::string message;
    };
    const tcase usage[] = {
        {"check " + quoted(good) + " --jobs 0", "check: --jobs takes a number of files from 1 to 256, not '0'"},
        {"dump " + quoted(good) + " " + quoted(good) + " -j x",
         "dump: --jobs takes a number of files from 1 to 256, not 'x'"},
        {"info " + quoted(good) + " --jobs=257", "info: --jobs takes a number of files from 1 to 256, not '257'"},
        {"check", "check: missing FILE..."},
        {"dump " + quoted(good) + " --eye B", "dump: --eye takes R or L, not 'B'"},
        {"dump " + quoted(good) + " --eye", "dump: option '--eye' needs a value"},
        {"info " + quoted(good) + " --eye R", "info: unknown option '--eye'"},
        {"check " + quoted(good) + " --json", "check: unknown option '--json'"},
    };
    for (const tcase& c : usage) {
        SCOPED_TRACE(c.arguments);
        const tresult r = runcli(c.arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrune-cli: " + c.message + "\nUsage: kestrune-cli ", 0), 0u) << r.err;
    }
}

// ---- dump ----

TEST(CliDump, CircleLinesWithThePointAndComma) {
    TempDir dir;
    const fs::path file = writeoma(dir / "c.oma", trace('R', circle(400, 2500)));
    const tresult r = runcli("dump " + quoted(file));
    ASSERT_EQ(r.status, 0) << r.err;
    const Records out = lines(r.out);
    ASSERT_EQ(out.size(), 401u);
    EXPECT_EQ(out[0], "Number,Angle,Radius,X,Y");
    EXPECT_EQ(out[1], "0,0.00,2500.00,2500.00,0.00");
    EXPECT_EQ(out[2], "1,0.90,2500.00,2500.00,39.00");
    EXPECT_EQ(out[101], "100,90.00,2500.00,0.00,2500.00");
    EXPECT_EQ(out[400], "399,359.10,2500.00,2500.00,-39.00");
}

TEST(CliDump, RegionalSettingsWithADecimalComma) {
    // A locale with a decimal comma, compiled into a private folder so that
    // the test does not depend on the locales the machine has installed.
    TempDir localedir;
    std::string ignored;
    if (run_command("localedef -i de_DE -f ISO-8859-1 " + quoted(localedir / "de_DE") + " 2>&1", &ignored) != 0 ||
        !fs::exists(localedir / "de_DE")) {
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    }
    TempDir dir;
    const fs::path file = writeoma(dir / "c.oma", trace('R', circle(400, 2500)));
    // The C library's newlocale() leaks its copy of LOCPATH while that is
    // set; a leak checker in the program is told to pass over that one.
    write_file(dir / "lsan.supp", "leak:__argz_add_sep\n");
    // The program's own process, which takes its settings from the locale it starts with.
    const tresult r = testing::runcliprocess(
        "dump " + quoted(file),
        "LOCPATH=" + quoted(localedir.path()) + " LC_ALL=de_DE LSAN_OPTIONS=suppressions=" + quoted(dir / "lsan.supp"));
    ASSERT_EQ(r.status, 0) << r.err;
    const Records out = lines(r.out);
    ASSERT_EQ(out.size(), 401u);
    EXPECT_EQ(out[0], "Number;Angle;Radius;X;Y");
    EXPECT_EQ(out[2], "1;0,90;2500,00;2500,00;39,00");
}

TEST(CliDump, EyeSelectionAndMissingTraces) {
    TempDir dir;
    const fs::path both = writeoma(dir / "both.oma", job(false));
    const fs::path leftonly = writeoma(dir / "left.oma", trace('L', ellipse(400, 2600, 2000)));
    struct tcase {
        fs::path file;
        std::string options;
        std::size_t lines;
        std::string first;  // the line of point 0
    };
    const tcase cases[] = {
        {both, "", 401, "0,0.00,2600.00,2600.00,0.00"},
        {both, "--eye R", 401, "0,0.00,2600.00,2600.00,0.00"},
        {both, "--eye L", 401, "0,0.00,2500.00,2500.00,0.00"},
        {both, "-e l", 401, "0,0.00,2500.00,2500.00,0.00"},
        {both, "--eye=r", 401, "0,0.00,2600.00,2600.00,0.00"},
        // A file with a left trace only: the right eye has nothing to dump;
        // the mirror image the viewer draws stands in for nothing here.
        {leftonly, "", 0, ""},
        {leftonly, "--eye L", 401, "0,0.00,2600.00,2600.00,0.00"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.file.filename().string() + " " + c.options);
        const tresult r = runcli("dump " + quoted(c.file) + " " + c.options);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        const Records out = lines(r.out);
        ASSERT_EQ(out.size(), c.lines);
        if (c.lines > 0) {
            EXPECT_EQ(out[1], c.first);
        }
    }
}

TEST(CliDump, PackedTraceDumpsLikeItsAsciiTwin) {
    TempDir dir;
    const Radii egg = [] {
        Radii r = ellipse(360, 2600, 2000);
        for (std::size_t i = 0; i < 90; ++i) r[i] += 150;  // a shape no symmetry hides
        return r;
    }();
    for (char eye : {'R', 'L'}) {
        SCOPED_TRACE(eye);
        const Records a = concat({{"JOB=1"}, trace(eye, egg, false)});
        const Records p = concat({{"JOB=1"}, trace(eye, egg, true)});
        const std::string option = eye == 'L' ? " --eye L" : "";
        const tresult ra = runcli("dump " + quoted(writeoma(dir / "a.oma", a)) + option);
        const tresult rp = runcli("dump " + quoted(writeoma(dir / "p.oma", p)) + option);
        EXPECT_EQ(rp.status, 0);
        EXPECT_EQ(lines(ra.out).size(), 361u);
        EXPECT_EQ(rp.out, ra.out);
    }
}

TEST(CliDump, RealSamplesDumpEveryPointOfTheRightTrace) {
    const fs::path dir = real_samples_dir();
    if (dir.empty()) GTEST_SKIP() << "no real samples";
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const tresult info = runcli("info --json " + quoted(entry.path()));
        ASSERT_EQ(info.status, 0);
        const int points = nlohmann::json::parse(info.out)["right"]["points"].get<int>();
        const tresult r = runcli("dump " + quoted(entry.path()));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(lines(r.out).size(), points > 0 ? static_cast<std::size_t>(points) + 1 : 0u);
    }
}

// ---- info ----

// The object info --json prints; the keys stay in the order written.
nlohmann::ordered_json infojson(const fs::path& file) {
    const tresult r = runcli("info --json " + quoted(file));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Records out = lines(r.out);
    EXPECT_EQ(out.size(), 1u) << "one object on one line";
    // parse() refuses text that is not valid UTF-8.
    return nlohmann::ordered_json::parse(r.out);
}

std::vector<std::string> keysof(const nlohmann::ordered_json& j) {
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
    return keys;
}

TEST(CliInfo, JsonMeasuresOfBothEyes) {
    TempDir dir;
    const fs::path file = writeoma(dir / "job.oma", job(false));
    const nlohmann::ordered_json j = infojson(file);
    EXPECT_EQ(j["file"], file.string());
    EXPECT_EQ(j["verdict"], "");
    EXPECT_EQ(j["detail"], "");

    const nlohmann::ordered_json& right = j["right"];
    EXPECT_EQ(right["format"], "1;400;E;R;F");
    EXPECT_EQ(right["points"], 400);
    EXPECT_EQ(right["a"], 5200);
    EXPECT_EQ(right["b"], 4000);
    EXPECT_EQ(right["ed"], 5200);
    EXPECT_EQ(right["edangle"], 0);
    EXPECT_EQ(right["circ"], 15025);  // the file's
    EXPECT_NEAR(right["fcirc"].get<double>(), ellipsecirc(2600, 2000), 2);
    EXPECT_EQ(right["dbl"], 1850);
    EXPECT_EQ(right["drills"], 2);

    const nlohmann::ordered_json& left = j["left"];
    EXPECT_EQ(left["format"], "1;400;E;L;F");
    EXPECT_EQ(left["points"], 400);
    EXPECT_EQ(left["a"], 5000);
    EXPECT_EQ(left["b"], 5000);
    EXPECT_EQ(left["ed"], 5000);
    EXPECT_EQ(left["circ"], 14975);
    EXPECT_EQ(left["fcirc"], 15708);
    EXPECT_EQ(left["dbl"], 1850);
    EXPECT_EQ(left["drills"], 2);

    // The keys, in the documented order.
    EXPECT_EQ(keysof(j), (std::vector<std::string>{"file", "verdict", "detail", "right", "left"}));
    const std::vector<std::string> eyekeys{"format",  "points", "decoded", "a",   "b",     "ed",
                                           "edangle", "circ",   "fcirc",   "dbl", "drills"};
    EXPECT_EQ(keysof(right), eyekeys);
    EXPECT_EQ(keysof(left), eyekeys);
}

TEST(CliInfo, CircumferenceOfTheFileOrComputed) {
    TempDir dir;
    const Records traces = concat({trace('R', circle(400, 2500)), trace('L', circle(400, 2500))});
    struct tcase {
        const char* circ;  // the CIRC record, or nothing
        int right, left;
    };
    const tcase cases[] = {
        {"", 15708, 15708},
        {"CIRC=150.25;149.75", 15025, 14975},
        {"CIRC=150", 15000, 15708},  // one value: the right eye's
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.circ);
        Records records = traces;
        if (*c.circ) records.insert(records.begin(), c.circ);
        const nlohmann::ordered_json j = infojson(writeoma(dir / "c.oma", records));
        EXPECT_EQ(j["right"]["circ"], c.right);
        EXPECT_EQ(j["left"]["circ"], c.left);
        EXPECT_EQ(j["right"]["fcirc"], 15708);
        EXPECT_EQ(j["left"]["fcirc"], 15708);
    }
}

TEST(CliInfo, PackedTracesMeasureLikeTheirAsciiTwins) {
    TempDir dir;
    nlohmann::ordered_json packed = infojson(writeoma(dir / "p.oma", job(true)));
    const nlohmann::ordered_json plain = infojson(writeoma(dir / "a.oma", job(false)));
    EXPECT_EQ(packed["right"]["format"], "3;400;E;R;F");
    EXPECT_EQ(packed["left"]["format"], "3;400;E;L;F");
    packed["file"] = plain["file"];
    packed["right"]["format"] = plain["right"]["format"];
    packed["left"]["format"] = plain["left"]["format"];
    EXPECT_EQ(packed, plain);
}

TEST(CliInfo, EyeWithoutATraceHasPointsZero) {
    TempDir dir;
    const nlohmann::ordered_json j =
        infojson(writeoma(dir / "r.oma", concat({{"DBL=17"}, trace('R', circle(400, 2500))})));
    EXPECT_EQ(j["right"]["points"], 400);
    EXPECT_EQ(j["right"]["decoded"], true);
    const nlohmann::ordered_json expectedleft = {{"format", ""}, {"points", 0}, {"decoded", false}, {"a", 0},
                                                 {"b", 0},       {"ed", 0},     {"edangle", 0},     {"circ", 0},
                                                 {"fcirc", 0},   {"dbl", 0},    {"drills", 0}};
    EXPECT_EQ(j["left"], expectedleft);

    const nlohmann::ordered_json none = infojson(writeoma(dir / "n.oma", {"JOB=1"}));
    EXPECT_EQ(none["right"]["points"], 0);
    EXPECT_EQ(none["left"]["points"], 0);
}

TEST(CliInfo, TracesInANotationThatIsNotDecodedAreNamed) {
    // The trace is there but cannot be read: info names its format, dump
    // says so on standard error, and the check keeps its verdicts.
    TempDir dir;
    struct Case {
        const char* format;  // of the right eye; the left eye is ASCII
        bool undecoded;
    } const cases[] = {
        {"6;360;E;R;F", true}, {"2;400;E;R;F", true}, {"  6 ;360;E; R;F", true},
        {"x;400;E;R;F", true}, {"0;0;E;R;F", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const fs::path file =
            writeoma(dir / "n.oma",
                     concat({{"TRCFMT="s + c.format, "R=QUJDREVGR0hJSktMTU5PUA=="}, trace('L', circle(400, 2500))}));
        const nlohmann::ordered_json j = infojson(file);
        EXPECT_EQ(j["right"]["points"], 0);
        EXPECT_EQ(j["right"]["decoded"], false);
        EXPECT_EQ(j["left"]["decoded"], true);
        const tresult text = runcli("info " + quoted(file));
        ASSERT_EQ(text.status, 0);
        const std::string format = j["right"]["format"].get<std::string>();
        if (c.undecoded) {
            EXPECT_NE(text.out.find("Right eye:\n  Format:                  " + format + " (not decoded)\nLeft eye:\n"),
                      std::string::npos)
                << text.out;
        } else {
            EXPECT_NE(text.out.find("Right eye: no trace\n"), std::string::npos) << text.out;
        }
        const tresult dump = runcli("dump " + quoted(file));
        EXPECT_EQ(dump.status, 0);
        EXPECT_EQ(dump.out, "");
        EXPECT_EQ(dump.err.find("not decoded") != std::string::npos, c.undecoded) << dump.err;
        // The left eye's dump is not concerned.
        EXPECT_EQ(runcli("dump --eye L " + quoted(file)).err, "");
        EXPECT_EQ(runcli("check " + quoted(file)).out, " \n");
    }
}

TEST(CliInfo, JsonTextIsUtf8WhateverTheFileHolds) {
    TempDir dir;
    // Latin-1 bytes in the format record, which the detail repeats, and in the
    // tag that the binary-data verdict names; a control byte as well.
    const Records shortcount = trace('R', circle(398, 2500), false, 400);
    Records latin = shortcount;
    latin[0] = "TRCFMT=1;400;E;R;F\xE9\x01";
    const nlohmann::ordered_json j = infojson(writeoma(dir / "caf\xE9.oma", latin));
    EXPECT_EQ(j["file"], (dir / "caf\u00e9.oma").string());
    EXPECT_EQ(j["verdict"], "Invalid number of points");
    EXPECT_EQ(j["detail"], "1;400;E;R;F\u00e9\u0001 Points=   398");
    EXPECT_EQ(j["right"]["format"], "1;400;E;R;F\u00e9\u0001");

    const Records binary = concat({trace('R', circle(400, 2500)), {"\xC9TAT=\xFF\0"s}});
    const nlohmann::ordered_json b = infojson(writeoma(dir / "b.oma", binary));
    EXPECT_EQ(b["verdict"], "Corrupt binary data with tag \u00c9TAT");

    // A name that is UTF-8 already is kept as it is.
    const nlohmann::ordered_json u = infojson(writeoma(dir / "\u00fcber.oma", {"JOB=1"}));
    EXPECT_EQ(u["file"], (dir / "\u00fcber.oma").string());
}

TEST(CliInfo, TextReport) {
    TempDir dir;
    const fs::path file = writeoma(dir / "job.oma", job(false));
    const tresult r = runcli("info " + quoted(file));
    ASSERT_EQ(r.status, 0) << r.err;
    const Records out = lines(r.out);
    const Records expected{
        "File: " + file.string(),
        "Verdict: none",
        "Right eye:",
        "  Format:                  1;400;E;R;F",
        "  Points:                  400",
        "  A (box width):           52.00 mm",
        "  B (box depth):           40.00 mm",
        "  ED:                      52.00 mm",
        "  ED angle:                0 degrees",
        "  Circumference:           150.25 mm",
        out.size() > 10 ? out[10] : "",  // the computed circumference, checked below
        "  DBL:                     18.50 mm",
        "  Drill records:           2",
        "Left eye:",
        "  Format:                  1;400;E;L;F",
        "  Points:                  400",
        "  A (box width):           50.00 mm",
        "  B (box depth):           50.00 mm",
        "  ED:                      50.00 mm",
        "  ED angle:                0 degrees",
        "  Circumference:           149.75 mm",
        "  Computed circumference:  157.08 mm",
        "  DBL:                     18.50 mm",
        "  Drill records:           2",
    };
    EXPECT_EQ(out, expected);
    EXPECT_EQ(out[10].rfind("  Computed circumference:  145.", 0), 0u) << out[10];

    // A fault and its detail; an eye without a trace.
    const tresult f = runcli("info " + quoted(writeoma(dir / "f.oma", trace('L', circle(398, 2500), false, 400))));
    ASSERT_EQ(f.status, 0);
    const Records fout = lines(f.out);
    ASSERT_GE(fout.size(), 5u);
    EXPECT_EQ(fout[1], "Verdict: Invalid number of points");
    EXPECT_EQ(fout[2], "Detail: 1;400;E;L;F Points=   398");
    EXPECT_EQ(fout[3], "Right eye: no trace");
    EXPECT_EQ(fout[4], "Left eye:");
}

// The recorded box and circumference of the real files, which other software
// wrote, against the geometry: within a few hundredths of a millimetre.
TEST(CliInfo, RealSamplesAgreeWithTheirRecordedBoxAndCircumference) {
    const fs::path dir = real_samples_dir();
    if (dir.empty()) GTEST_SKIP() << "no real samples";
    // The value of a record for one eye (both eyes' values are separated by
    // ";"), in hundredths; -1 when the file has no such record or value.
    auto recorded = [](const std::string& text, const std::string& tag, int eye) {
        const std::size_t at = text.find("\n" + tag + "=");
        if (at == std::string::npos) return -1L;
        std::string value = text.substr(at + tag.size() + 2, text.find_first_of("\r\n", at + 1) - at - tag.size() - 2);
        const std::size_t semi = value.find(';');
        if (eye == 1) {
            if (semi == std::string::npos) return -1L;
            value = value.substr(semi + 1);
        } else {
            value = value.substr(0, semi);
        }
        return std::lround(std::stod(value) * 100);
    };
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".oma") continue;
        const std::string text = "\n" + testing::read_file(entry.path());
        const nlohmann::ordered_json j = infojson(entry.path());
        // Every eye of a real file is decoded, but those in notation "6".
        for (const char* eye : {"right", "left"}) {
            const bool six = j[eye]["format"].get<std::string>().rfind("6;", 0) == 0;
            EXPECT_EQ(j[eye]["decoded"], !six) << entry.path() << " " << eye;
        }
        for (int eye : {0, 1}) {
            const nlohmann::ordered_json& m = j[eye == 0 ? "right" : "left"];
            SCOPED_TRACE(entry.path().filename().string() + (eye == 0 ? " R" : " L"));
            if (m["points"].get<int>() <= 10) continue;
            if (const long hbox = recorded(text, "HBOX", eye); hbox >= 0) {
                EXPECT_NEAR(m["a"].get<long>(), hbox, 2);
                ++compared;
            }
            if (const long vbox = recorded(text, "VBOX", eye); vbox >= 0) {
                EXPECT_NEAR(m["b"].get<long>(), vbox, 2);
            }
            if (const long circ = recorded(text, "CIRC", eye); circ >= 0) {
                // The file's own value is reported as circ.
                EXPECT_EQ(m["circ"].get<long>(), circ);
                // The radii of the 1000-point traces are rounded to hundredths
                // on chords of about 0.16 mm; that roughness adds up to
                // 0.06 mm to the polygon's length.
                EXPECT_NEAR(m["fcirc"].get<long>(), circ, 7);
            }
        }
    }
    EXPECT_GT(compared, 0);
}

}  // namespace
}  // namespace kestrune
