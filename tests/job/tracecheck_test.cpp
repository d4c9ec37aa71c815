#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/job/tracecheck.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

using namespace std::string_literals;
using fixtures::concat;
using records = std::vector<std::string>;

const std::string kCorrupt = kCorruptBinaryData;

records radii(char eye, const std::vector<int>& values, int declared = 400) {
    return fixtures::trace(eye, values, false, declared);
}

records zvalues(char eye, const std::vector<int>& values, int declared = 400) {
    return fixtures::trace("1;" + std::to_string(declared) + ";E;" + eye + ";F", values, "Z", "ZFMT");
}

std::vector<int> level(int n, int value) { return std::vector<int>(static_cast<std::size_t>(n), value); }

std::vector<int> withvalue(std::vector<int> v, std::size_t at, int value) {
    v[at] = value;
    return v;
}

// A right or left trace of 400 equal radii in packed notation 3: the start
// radius 2500 (bytes C4 09) and 399 steps of 0, so the record is full of NUL
// bytes as packed traces are.
records packedtrace(char eye) { return fixtures::trace(eye, level(400, 2500), true); }

void fill(tomafileobj& doc, const records& recs) {
    doc.omalist.clear();
    for (const auto& r : recs) doc.omalist.add(r);
}

class TraceCheckTest : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
};

struct checkcase {
    const char* name;
    records recs;
    bool checkz;
    std::string verdict;
    std::vector<std::string> errors;
};

TEST_F(TraceCheckTest, VerdictTable) {
    const auto good = level(400, 2500);
    const auto suspectlow = withvalue(good, 57, 400);  // below 5.00 mm
    const std::string detail398 = "1;400;E;R;F Points=   398";
    std::vector<int> step201 = good;
    std::vector<int> step200 = good;
    for (std::size_t i = 200; i < 400; ++i) {
        step201[i] = 2701;
        step200[i] = 2700;
    }
    const auto zgood = level(400, 120);
    const auto zsuspect = withvalue(zgood, 30, 171);  // a Z step of 0.51 mm
    const records approved{"_ApprovedTrace=QA 2024"};
    const records straydbl{"DBL=17\0.5"s};

    const std::vector<checkcase> cases = {
        {"no trace at all", {"JOB=1", "DBL=17.5"}, true, "", {}},
        {"good right and left traces", concat({radii('R', good), radii('L', good)}), true, "", {}},
        {"ten points are never judged", concat({radii('R', level(10, 100)), straydbl}), true, "", {}},
        {"right point count differs", radii('R', level(398, 2500)), false, kInvalidNumberOfPoints, {detail398}},
        {"right radius below range", radii('R', suspectlow), false, kSuspectRadii, {""}},
        {"right radius step above 2.00 mm", radii('R', step201), false, kSuspectRadii, {""}},
        {"right radius step of exactly 2.00 mm", radii('R', step200), false, "", {}},
        {"two formats for the right eye",
         concat({radii('R', good), radii('R', good)}),
         false,
         kMultipleRadiiFormats,
         {""}},
        {"left fault after a good right",
         concat({radii('R', good), radii('L', suspectlow)}),
         false,
         kSuspectRadii,
         {""}},
        {"right fault ends the testing",
         concat({radii('R', level(398, 2500)), radii('L', suspectlow)}),
         false,
         kInvalidNumberOfPoints,
         {detail398}},
        {"approved trace passes suspect radii", concat({radii('R', suspectlow), approved}), true, "", {}},
        {"approved trace passes suspect radii with a wrong count",
         concat({radii('R', withvalue(level(398, 2500), 5, 100)), approved}),
         true,
         "",
         {}},
        {"approval does not pass a wrong count alone",
         concat({radii('R', level(398, 2500)), approved}),
         true,
         kInvalidNumberOfPoints,
         {detail398}},
        {"Z fault unchecked", concat({radii('R', good), zvalues('R', zsuspect)}), false, "", {}},
        {"Z fault checked", concat({radii('R', good), zvalues('R', zsuspect)}), true, kSuspectZ, {""}},
        {"Z step of exactly 0.50 mm",
         concat({radii('R', good), zvalues('R', withvalue(zgood, 30, 170))}),
         true,
         "",
         {}},
        {"approved trace passes suspect Z", concat({radii('R', good), zvalues('R', zsuspect), approved}), true, "", {}},
        {"approved trace still has its Z count checked",
         concat({radii('R', good), zvalues('R', level(398, 120)), approved}),
         true,
         kInvalidNumberOfPoints,
         {detail398}},
        {"left radii before right Z",
         concat({radii('R', good), radii('L', suspectlow), zvalues('R', zsuspect)}),
         true,
         kSuspectRadii,
         {""}},
        {"right Z before left Z",
         concat({radii('R', good), radii('L', good), zvalues('R', level(398, 120)), zvalues('L', zsuspect)}),
         true,
         kInvalidNumberOfPoints,
         {detail398}},
        {"stray binary in a text record", concat({packedtrace('R'), straydbl}), true, kCorrupt + "DBL", {}},
        {"stray binary without Z check", concat({packedtrace('R'), straydbl}), false, kCorrupt + "DBL", {}},
        {"packed radius records are no stray binary", packedtrace('R'), true, "", {}},
        {"packed angle records are no stray binary",
         {"TRCFMT=3;400;U;R;F", "R=\xC4\x09"s + std::string(399, '\0'), "A=\0\0"s + std::string(399, '\x5A')},
         true,
         "",
         {}},
        {"angle records of an ASCII trace are scanned",
         concat({radii('R', good),
                 {"A=18000;1\0"
                  "8090;0"s}}),
         true,
         kCorrupt + "A",
         {}},
        {"angle records of a packed Z trace are not scanned, those of an ASCII one are",
         concat({packedtrace('R'),
                 {"ZFMT=3;400;U;R;F", "Z=\xC4\x09"s + std::string(399, '\0'), "ZA=\0\0"s, "ZFMT=1;400;U;L;F", "ZA=1\0"s,
                  "JOB=7"}}),
         false,
         kCorrupt + "ZA",
         {}},
        {"an angle record before any format record is scanned",
         concat({{"A=1\0"s}, packedtrace('R')}),
         true,
         kCorrupt + "A",
         {}},
        {"the last stray record is reported",
         concat({{"FRAM=A\0B"s}, packedtrace('L'), straydbl, {"JOB=7"}}),
         true,
         kCorrupt + "DBL",
         {}},
        {"a record without a tag delimiter is its own tag",
         concat({packedtrace('R'), {"XY\0Z"s}}),
         true,
         kCorrupt + "XY\0Z"s,
         {}},
        {"an ASCII trace qualifies for the scan", concat({radii('R', good), straydbl}), false, kCorrupt + "DBL", {}},
        {"a trace verdict wins over the scan", concat({radii('R', suspectlow), straydbl}), true, kSuspectRadii, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tomafileobj doc;
        fill(doc, c.recs);
        EXPECT_EQ(goodtrace(doc, c.checkz), c.verdict);
        EXPECT_EQ(doc.errorslist.items(), c.errors);
    }
}

TEST_F(TraceCheckTest, RefillsErrorsAndChangesNothingElse) {
    tomafileobj doc;
    const records bad = radii('R', level(398, 2500));
    fill(doc, bad);
    doc.lastvalidresult = 7;
    EXPECT_EQ(goodtrace(doc, true), kInvalidNumberOfPoints);
    ASSERT_EQ(doc.errorslist.count(), 1);
    EXPECT_EQ(doc.omalist.items(), bad);
    EXPECT_EQ(doc.lastvalidresult, 7);

    // A second check starts from empty lists: nothing of the first remains.
    fill(doc, radii('R', level(400, 2500)));
    EXPECT_EQ(goodtrace(doc, true), "");
    EXPECT_TRUE(doc.errorslist.empty());
    EXPECT_EQ(goodtrace(doc, true), "");
}

TEST_F(TraceCheckTest, TraceisApproved) {
    const std::vector<std::pair<records, bool>> cases = {
        {{"_ApprovedTrace=1"}, true},
        {{"_approvedtrace=yes"}, true},
        {{"JOB=1", "_APPROVEDTRACE= "}, true},
        {{"_ApprovedTrace="}, false},
        {{"_ApprovedTrace =1"}, false},
        {{"_ApprovedTraceX=1"}, false},
        {{}, false},
    };
    for (const auto& [recs, want] : cases) {
        SCOPED_TRACE(recs.empty() ? std::string("(empty)") : recs.back());
        tomafileobj doc;
        fill(doc, recs);
        EXPECT_EQ(doc.TraceisApproved(), want);
    }
}

// The whole road from a file on disk: bytes, record split, check. Escaped
// separator bytes inside the packed record must not split it.
TEST_F(TraceCheckTest, FileWithPackedTraceAndStrayBinary) {
    testing::TempDir dir;
    // Steps of +13 and -13; the byte 0D would end the record, so it is
    // written escaped as ESC 8D.
    std::string packed = "R=\xC4\x09"s;
    for (int i = 0; i < 199; ++i) packed += i % 2 == 0 ? "\x1B\x8D"s : "\xF3"s;
    packed += std::string(200, '\0');
    const std::string text =
        "JOB=42\r\nTRCFMT=3;400;E;R;F\r\n" + packed + "\r\nTRCFMT=3;400;E;L;F\r\n" + packed + "\r\nDBL=18\0.0\r\n"s;
    testing::write_file(dir / "job.oma", text);

    tomafileobj doc;
    ASSERT_TRUE(doc.readomafile(dir / "job.oma"));
    doc.omastrtolist();
    ASSERT_EQ(doc.omalist.count(), 6);
    EXPECT_EQ(goodtrace(doc, true), kCorrupt + "DBL");
    EXPECT_TRUE(doc.errorslist.empty());

    testing::write_file(dir / "clean.oma", text.substr(0, text.rfind("DBL=")));
    tomafileobj clean;
    ASSERT_TRUE(clean.readomafile(dir / "clean.oma"));
    clean.omastrtolist();
    EXPECT_EQ(goodtrace(clean, true), "");
}

// Hostile record lists: no crash, a defined verdict, at most one detail.
TEST_F(TraceCheckTest, HostileInput) {
    const std::vector<records> cases = {
        {"TRCFMT=", "R=", "R=;;;;", "ZFMT=;;;", "Z=;"},
        {"TRCFMT=1;99999999999;E;R;F", "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500;2500"},
        {"TRCFMT=1;-5;E;R;F", "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500;2500"},
        {"TRCFMT=3;400;E;R;F", "R=\xC4"s, "R=\x80"s, "R=\0"s},
        {"TRCFMT=4;400;E;R;F", "R=" + std::string(1000, '\x80')},
        {"TRCFMT=B;400;E;R;F", "R=2500," + std::string(500, '\xFF')},
        {"TRCFMT=3;2000000000;E;R;F", "R=\xC4\x09"s + std::string(50, '\x01')},
        {"TRCFMT=1;2000000000;U;R;F", "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500;2500", "A=0;1;2"},
        {"A=1;2;3", "ZA=\0"s, "=\0"s, "\0"s},
        {"TRCFMT=1;20;E;R;F", "R=9999999999;-9999999999;1e9;0x10;$FF;2500;2500;2500;2500;2500;2500;2500"},
    };
    for (const auto& recs : cases) {
        SCOPED_TRACE(recs.front());
        tomafileobj doc;
        fill(doc, recs);
        const std::string verdict = goodtrace(doc, true);
        EXPECT_LE(doc.errorslist.count(), 1);
        EXPECT_EQ(doc.omalist.items(), recs);
        EXPECT_EQ(goodtrace(doc, true), verdict);  // deterministic
    }
}

// Everything an extraction leaves in a list that the viewer, the dump or the
// pictures read, as one text.
std::string extractionstate(const tradiilist& l) {
    std::string s;
    const auto add = [&s](std::string_view name, const std::string& value) {
        s += name;
        s += '=';
        s += value;
        s += '\n';
    };
    const auto join = [](const std::vector<std::string>& items) {
        std::string all;
        for (const auto& i : items) all += i + "|";
        return all;
    };
    add("points", join(l.radiilist.items()));
    add("xlist", join(l.xlist.items()));
    add("ylist", join(l.ylist.items()));
    add("drills", join(l.drawdrilllist.items()));
    add("edges", join(l.drawedgeslist.items()));
    add("trcfmt", l.trcfmtstr);
    add("detail", l.errordetail);
    add("message", l.traceerrormessage);
    add("retrace", l.retracesetting);
    add("job", l.loadedjobnum);
    add("flags", std::to_string(l.multipletrcfmt) + std::to_string(l.multiplezfmt) +
                     std::to_string(l.invalidnumberofpoints) + std::to_string(l.invalidradiifound) +
                     std::to_string(l.invalidzfound) + std::to_string(l.checkinggoodtrace) + std::to_string(l.Zdata) +
                     l.drilleye);
    for (const std::int32_t v : {l.a, l.b, l.mina, l.maxa, l.minb, l.maxb, l.dbl, l.ed, l.fcirc, l.omacirc, l.pdoffset,
                                 l.maxradiusdiff, l.lastradiusadded, l.longestradius})
        add("n", std::to_string(v));
    return s;
}

// The check hands out the lists of its first pass only when they are what
// the extraction for display gives: points decoded past a declared count (or
// a count of 0) for the check alone make it decline.
TEST_F(TraceCheckTest, HandsOutTheExtractionOfItsFirstPass) {
    const auto good = level(400, 2500);
    struct reusecase {
        const char* name;
        records recs;
        bool valid;
    };
    const std::vector<reusecase> cases = {
        {"no trace at all", {"JOB=1", "DBL=17.5"}, true},
        {"good right and left", concat({radii('R', good), radii('L', good), {"DRILL=R;1;2;3;4;5;6"}}), true},
        {"left only: the shown shape is its mirror image", radii('L', good), true},
        {"fewer points than declared", radii('R', level(398, 2500)), true},
        {"surplus points on the right", radii('R', level(402, 2500)), false},
        {"surplus points on the left", concat({radii('R', good), radii('L', level(405, 2500))}), false},
        {"a declared count of 0", radii('R', good, 0), false},
        {"two blocks for the right eye", concat({radii('R', good), radii('R', level(400, 2400))}), true},
        {"uneven trace with angle records",
         {"TRCFMT=1;4;U;R;F", "R=2500;2510;2520;2530", "A=0;9000;18000;27000"},
         true},
        {"Z records beside the radii", concat({radii('R', good), zvalues('R', level(400, 120))}), true},
        {"packed trace", packedtrace('R'), true},
        {"right radius below range", radii('R', withvalue(good, 57, 400)), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tomafileobj doc;
        fill(doc, c.recs);
        toutlineextraction outlines;
        const std::string verdict = goodtrace(doc, true, &outlines);
        EXPECT_EQ(verdict, goodtrace(doc, true)) << "the verdict does not depend on the hand-out";
        EXPECT_EQ(outlines.valid, c.valid);
        if (!outlines.valid) continue;
        tradiilist shown, right, left;
        shown.extractradiilistfromomalist2(doc.omalist, &right, &left, true);
        EXPECT_EQ(extractionstate(outlines.shown), extractionstate(shown));
        EXPECT_EQ(extractionstate(outlines.right), extractionstate(right));
        EXPECT_EQ(extractionstate(outlines.left), extractionstate(left));
    }
}

// The files written by other software: run the check as the viewer does and
// show each verdict. All of them hold plausible traces and no binary data.
TEST_F(TraceCheckTest, RealSamples) {
    const auto dir = testing::real_samples_dir();
    if (dir.empty()) GTEST_SKIP() << "no real samples";
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".oma") files.push_back(e.path());
    if (files.empty()) GTEST_SKIP() << "no real samples";
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        tomafileobj doc;
        ASSERT_TRUE(doc.readomafile(f));
        doc.omastrtolist();
        toutlineextraction outlines;
        const std::string verdict = goodtrace(doc, true, &outlines);
        EXPECT_TRUE(outlines.valid);
        tradiilist shown, right, left;
        shown.extractradiilistfromomalist2(doc.omalist, &right, &left, true);
        EXPECT_EQ(extractionstate(outlines.shown), extractionstate(shown));
        EXPECT_EQ(extractionstate(outlines.right), extractionstate(right));
        EXPECT_EQ(extractionstate(outlines.left), extractionstate(left));
        std::cout << "  " << f.filename().string() << ": \"" << verdict << "\" errors[0]=\""
                  << (doc.errorslist.empty() ? std::string() : doc.errorslist[0]) << "\"\n";
        EXPECT_EQ(verdict, "");
        EXPECT_TRUE(doc.errorslist.empty());
    }
}

// A real file damaged the two usual ways: a lost radius record and a stray
// binary byte in a text record.
TEST_F(TraceCheckTest, RealSampleDamaged) {
    const auto dir = testing::real_samples_dir();
    if (dir.empty() || !std::filesystem::exists(dir / "R360_1.oma")) GTEST_SKIP() << "no real samples";
    tomafileobj doc;
    ASSERT_TRUE(doc.readomafile(dir / "R360_1.oma"));
    doc.omastrtolist();
    const records original = doc.omalist.items();

    // Drop the first radius record after the right eye's format record.
    records lost = original;
    const auto fmt = std::find(lost.begin(), lost.end(), "TRCFMT=1;360;E;R;F");
    ASSERT_NE(fmt, lost.end());
    const auto first = std::find_if(fmt, lost.end(), [](const std::string& r) { return r.rfind("R=", 0) == 0; });
    ASSERT_NE(first, lost.end());
    lost.erase(first);
    fill(doc, lost);
    EXPECT_EQ(goodtrace(doc, true), kInvalidNumberOfPoints);
    ASSERT_EQ(doc.errorslist.count(), 1);
    EXPECT_EQ(doc.errorslist[0].rfind("1;360;E;R;F Points=", 0), 0u) << doc.errorslist[0];

    records stray = original;
    stray.insert(stray.begin() + 1, "VEN=\0"s);
    stray.back() += '\0';
    fill(doc, stray);
    EXPECT_EQ(goodtrace(doc, false), kCorrupt + findtagpart(original.back()));
    EXPECT_TRUE(doc.errorslist.empty());
}

}  // namespace
}  // namespace kestrune
