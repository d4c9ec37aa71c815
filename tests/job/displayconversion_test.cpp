#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/job/displayconversion.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using fixtures::anglesof;
using fixtures::ascii;
using fixtures::concat;
using fixtures::listof;
using fixtures::outline;
using fixtures::packed3;
using fixtures::packed4;
using fixtures::packedb;
using fixtures::radiiof;
using fixtures::recordsof;
using kestrune::testing::real_samples_dir;
using kestrune::testing::TempDir;
using kestrune::testing::write_file;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Radii = std::vector<std::int32_t>;
using Records = std::vector<std::string>;

bool isstamp(const std::string& value) {
    static const std::regex pattern("QVT;[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    return std::regex_match(value, pattern);
}

// The traces of a record list as the viewer extracts them.
struct traces {
    tradiilist right, left, rightz, leftz;
    explicit traces(const tstringlist& records) {
        tradiilist extractor;
        extractor.extractradiilistfromomalist2(records, &right, &left, true);
        extractor.extractradiilistfromomalist2(records, &rightz, &leftz, false);
    }
};

class DisplayConversion : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }

    // A document made from records in memory (no file behind it).
    static tomafileobj document(const Records& records) {
        tomafileobj doc;
        for (const std::string& r : records) doc.omalist.add(r);
        return doc;
    }

    // The converted records; the conversion must succeed.
    static Records converted(tomafileobj& doc, bool mirroring = false, std::int32_t delta = 0, bool forceeven = false) {
        tstringlist out;
        EXPECT_TRUE(omafileasascii(doc, out, mirroring, delta, forceeven));
        return recordsof(out);
    }
};

// ---- what the viewer sees ----

TEST_F(DisplayConversion, PackedRightTraceBecomesAsciiRecords) {
    const Radii r = outline(400);
    tomafileobj doc = document({"JOB=77", "TRCFMT=3;400;E;R;F", packed3("R", r), "DBL=18.00", "FRAM=Test"});
    const Records out = converted(doc);
    ASSERT_EQ(out.size(), 3u + 1u + 40u + 3u);
    EXPECT_EQ(out[0], "JOB=77");
    EXPECT_EQ(out[1], "DBL=18.00");
    EXPECT_EQ(out[2], "FRAM=Test");
    // The format record keeps every field but the notation.
    EXPECT_EQ(out[3], "TRCFMT=1;400;E;R;F");
    EXPECT_EQ(Records(out.begin() + 4, out.begin() + 44), ascii("R", r));
    // Box records follow the traces, the right eye first; the left eye has no trace.
    tradiilist measured;
    for (std::size_t i = 0; i < r.size(); ++i) measured.addradiilist(i * 0.9, r[i]);
    measured.findabed();
    EXPECT_EQ(out[44], "HBOX=" + xint2tostr(measured.a) + ";0.00");
    EXPECT_EQ(out[45], "VBOX=" + xint2tostr(measured.b) + ";0.00");
    EXPECT_EQ(out.back().rfind("_ASASCII=", 0), 0u);
    EXPECT_TRUE(isstamp(out.back().substr(9))) << out.back();
    // The document itself is unchanged.
    EXPECT_EQ(doc.omalist.count(), 5);
}

TEST_F(DisplayConversion, FormatRecordsWithBlanksAroundTheirFieldsReadAsTrimmed) {
    // Serial logs and some hosts pad the fields; the trace is read and
    // written as if they were not padded.
    const Radii r = outline(400), l = outline(400, 2400);
    tomafileobj padded = document({"TRCFMT=  3;400 ;E; R;F", packed3("R", r), "TRCFMT=3 ; 400;E;L ;F ", packed3("R", l),
                                   "ZFMT= 3;400;E; L;F", packed3("Z", l)});
    tomafileobj plain = document({"TRCFMT=3;400;E;R;F", packed3("R", r), "TRCFMT=3;400;E;L;F", packed3("R", l),
                                  "ZFMT=3;400;E;L;F", packed3("Z", l)});
    const Records out = converted(padded);
    Records expected = converted(plain);
    ASSERT_FALSE(out.empty());
    // Only the stamps may differ by the clock.
    EXPECT_EQ(Records(out.begin(), out.end() - 1), Records(expected.begin(), expected.end() - 1));
    EXPECT_EQ(out[0], "TRCFMT=1;400;E;R;F");
}

TEST_F(DisplayConversion, ThicknessDataAfterThePackedOutlineIsKept) {
    const Radii r = outline(400);
    const Records thickness = {"STHKFMT=1;20;E;B", "R=300;301;302;303;304;305;306;307;308;309",
                               "T=500;501;502;503;504;505;506;507;508;509"};
    tomafileobj doc = document(concat({{"TRCFMT=3;400;E;R;F", packed3("R", r)}, thickness}));
    const Records out = converted(doc);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(Records(out.begin(), out.begin() + 3), thickness);
    EXPECT_EQ(out[3], "TRCFMT=1;400;E;R;F");
    EXPECT_EQ(Records(out.begin() + 4, out.begin() + 44), ascii("R", r));
}

TEST_F(DisplayConversion, BothEyesWithZTracesInTheirOrder) {
    const Radii r = outline(400), l = outline(400, 2450), zr = outline(400, 300), zl = outline(400, 320);
    tomafileobj doc = document({"ZFMT=3;400;E;L;F", packed3("Z", zl), "TRCFMT=3;400;E;L;F", packed3("R", l),
                                "ZFMT=3;400;E;R;F", packed3("Z", zr), "TRCFMT=3;400;E;R;F", packed3("R", r),
                                "HBOX=50.00;50.00", "_ASASCII=old", "JOB=1"});
    const Records out = converted(doc);
    // The file's own HBOX stays in place, no VBOX is added, and the stamp
    // replaces the old one in place.
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0], "HBOX=50.00;50.00");
    EXPECT_EQ(out[1].rfind("_ASASCII=", 0), 0u);
    EXPECT_TRUE(isstamp(out[1].substr(9)));
    EXPECT_EQ(out[2], "JOB=1");
    const Records expected = concat({{"TRCFMT=1;400;E;R;F"},
                                     ascii("R", r),
                                     {"TRCFMT=1;400;E;L;F"},
                                     ascii("R", l),
                                     {"ZFMT=1;400;E;R;F"},
                                     ascii("Z", zr),
                                     {"ZFMT=1;400;E;L;F"},
                                     ascii("Z", zl)});
    EXPECT_EQ(Records(out.begin() + 3, out.end()), expected);
}

TEST_F(DisplayConversion, EveryPackedNotationReadsBackToTheSameRadii) {
    const Radii r = outline(360, 2300), l = outline(360, 2700);
    struct tcase {
        const char* notation;
        std::string right, left;
    };
    const tcase cases[] = {{"3", packed3("R", r), packed3("R", l)},
                           {"B", packedb("R", r), packedb("R", l)},
                           {"4", packed4("R", r), packed4("R", l)}};
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.notation);
        const std::string n = c.notation;
        tomafileobj doc = document(
            {"JOB=1", "TRCFMT=" + n + ";360;E;R;F", c.right, "TRCFMT=" + n + ";360;E;L;F", c.left, "DBL=17.50"});
        tstringlist out;
        ASSERT_TRUE(omafileasascii(doc, out, false, 0, false));
        const traces back(out);
        EXPECT_THAT(radiiof(back.right), ElementsAreArray(r));
        EXPECT_THAT(radiiof(back.left), ElementsAreArray(l));
        EXPECT_FALSE(back.right.binaryformat());
        EXPECT_EQ(back.right.trcfmtstr, "1;360;E;R;F");
        EXPECT_EQ(back.left.trcfmtstr, "1;360;E;L;F");
    }
}

TEST_F(DisplayConversion, UnevenPackedTraceGetsItsAnglesOnceInAscii) {
    // 36 points at uneven angles; the angles in hundredths are a packed
    // record of their own after the radii.
    Radii r, angles;
    for (int i = 0; i < 36; ++i) {
        r.push_back(2400 + (i * 13) % 50);
        angles.push_back(i * 900 + (i % 3) * 125);
    }
    tomafileobj doc = document({"TRCFMT=3;36;U;R;F", packed3("R", r), packed3("A", angles), "JOB=1"});
    tstringlist out;
    ASSERT_TRUE(omafileasascii(doc, out, false, 0, false));
    Records expectedangles;
    for (std::int32_t a : angles) expectedangles.push_back(std::to_string(a));
    const Records records = recordsof(out);
    const Records expected = concat({{"JOB=1", "TRCFMT=1;36;U;R;F"}, ascii("R", r), ascii("A", angles)});
    ASSERT_GE(records.size(), expected.size());
    EXPECT_EQ(Records(records.begin(), records.begin() + static_cast<long>(expected.size())), expected);
    // No packed angle record is left over behind the ASCII format record.
    EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const std::string& s) { return s.rfind("A=", 0) == 0; }),
              4);

    const traces back(out);
    const traces original(doc.omalist);
    EXPECT_EQ(radiiof(back.right), radiiof(original.right));
    EXPECT_EQ(anglesof(back.right), anglesof(original.right));
}

TEST_F(DisplayConversion, AngleRecordsOfAnEvenlyDeclaredTraceAreKeptInAscii) {
    // Angle records beside an "E" format still set the angles; they come out
    // as ASCII angle records after the radii.
    const Radii r = outline(20);
    Radii angles;
    for (int i = 0; i < 20; ++i) angles.push_back(i * 1500 + 700);
    tomafileobj doc = document({"TRCFMT=3;20;E;R;F", packed3("R", r), packed3("A", angles)});
    tstringlist out;
    ASSERT_TRUE(omafileasascii(doc, out, false, 0, false));
    const traces back(out), original(doc.omalist);
    EXPECT_NEAR(original.right.extractangleelement(0), 7.0, 1e-9);
    EXPECT_EQ(radiiof(back.right), radiiof(original.right));
    EXPECT_EQ(anglesof(back.right), anglesof(original.right));
}

TEST_F(DisplayConversion, RecordsStartingWithBlankOrControlAreLeftOut) {
    tomafileobj doc = document({"JOB=1", " BLANK=1", "\tTAB=2", std::string("\0NUL=3", 6), "TRCFMT=3;20;E;R;F",
                                packed3("R", outline(20)), "LAST=4"});
    const Records out = converted(doc);
    EXPECT_EQ(out[0], "JOB=1");
    EXPECT_EQ(out[1], "LAST=4");
    EXPECT_EQ(out[2], "TRCFMT=1;20;E;R;F");
}

TEST_F(DisplayConversion, AsciiFilesAreCopiedRecordForRecord) {
    const Records records = concat({{"JOB=1", " BLANK=1", "TRCFMT=1;20;E;R;F"},
                                    ascii("R", outline(20)),
                                    {"TRCFMT=1;20;E;L;F"},
                                    ascii("R", outline(20)),
                                    {"ZFMT=0"}});
    tomafileobj doc = document(records);
    EXPECT_EQ(converted(doc), records);
}

TEST_F(DisplayConversion, PackedTraceBehindAnAsciiOneIsConvertedToo) {
    // Only the first format record is ASCII: the packed left trace must still
    // come out readable.
    const Radii r = outline(20), l = outline(20, 2600);
    tomafileobj doc = document(concat({{"TRCFMT=1;20;E;R;F"}, ascii("R", r), {"TRCFMT=3;20;E;L;F", packed3("R", l)}}));
    EXPECT_TRUE(doc.omafileisascii());
    const Records out = converted(doc);
    EXPECT_EQ(Records(out.begin(), out.end() - 3),
              concat({{"TRCFMT=1;20;E;R;F"}, ascii("R", r), {"TRCFMT=1;20;E;L;F"}, ascii("R", l)}));
    // A packed Z trace beside ASCII outlines counts as well.
    tomafileobj withz = document(concat({{"TRCFMT=1;20;E;R;F"}, ascii("R", r), {"ZFMT=3;20;E;R;F", packed3("Z", r)}}));
    const Records zout = converted(withz);
    EXPECT_NE(std::find(zout.begin(), zout.end(), "ZFMT=1;20;E;R;F"), zout.end());
}

TEST_F(DisplayConversion, TracesThatCannotBeDecodedKeepTheirRecords) {
    // Notation "6" is not decoded and a notation "2" trace gives no points:
    // their records stay where they are rather than disappear; the decoded
    // trace is converted.
    const Radii l = outline(20);
    const Records records = {"JOB=1",           "TRCFMT=6;360;E;R;F", "R=6167514141436D71", "A=1234",
                             "ZFMT=2;20;E;R;F", "Z=\x01\x02\x03",     "TRCFMT=3;20;E;L;F",  packed3("R", l),
                             "HBOX=40.00;40.00"};
    tomafileobj doc = document(records);
    const Records out = converted(doc);
    const Records expected = concat({{"JOB=1", "TRCFMT=6;360;E;R;F", "R=6167514141436D71", "A=1234", "ZFMT=2;20;E;R;F",
                                      "Z=\x01\x02\x03", "HBOX=40.00;40.00", "TRCFMT=1;20;E;L;F"},
                                     ascii("R", l)});
    ASSERT_EQ(out.size(), expected.size() + 1);
    EXPECT_EQ(Records(out.begin(), out.end() - 1), expected);
}

TEST_F(DisplayConversion, TheFirstTraceLeftPackedIsNamed) {
    {
        // The converted list of the file above: the right outline stays packed.
        tomafileobj doc = document({"JOB=1", "TRCFMT=6;360;E;R;F", "R=616751", "ZFMT=2;20;E;R;F", "Z=\x01",
                                    "TRCFMT=3;20;E;L;F", packed3("R", outline(20))});
        tstringlist out;
        ASSERT_TRUE(omafileasascii(doc, out, false, 0, false));
        EXPECT_EQ(packedformatrecord(out), "TRCFMT=6;360;E;R;F");
    }
    const struct {
        Records records;
        std::string named;
    } cases[] = {
        {{}, ""},
        {{"JOB=1", "TRCFMT=1;400;E;R;F", "ZFMT=1;400;E;R;F"}, ""},
        {{"TRCFMT=0;0;E;B;F"}, ""},  // no trace at all
        {{"TRCFMT=1;400;E;R;F", "ZFMT=2;400;E;R;F", "TRCFMT=6;1;E;L;F"}, "ZFMT=2;400;E;R;F"},
        {{"TRCFMT= 4;512;E;R;F"}, "TRCFMT= 4;512;E;R;F"},           // as it stands
        {{"TRCFMT=", "R=1"}, "TRCFMT="},                            // no notation is no ASCII
        {{"TRCFMT", "CRIBFMT=3;1;E;R;F", "trcfmt=3;1;E;R;F"}, ""},  // no format records
    };
    for (const auto& c : cases)
        EXPECT_EQ(packedformatrecord(listof(c.records)), c.named) << ::testing::PrintToString(c.records);
}

TEST_F(DisplayConversion, NothingDecodedAddsNoBoxRecords) {
    tomafileobj doc = document({"JOB=1", "TRCFMT=6;360;E;R;F", "R=616751"});
    const Records out = converted(doc);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(Records(out.begin(), out.begin() + 3), Records({"JOB=1", "TRCFMT=6;360;E;R;F", "R=616751"}));
    EXPECT_EQ(out[3].rfind("_ASASCII=QVT;", 0), 0u);
}

TEST_F(DisplayConversion, CribDataAndRecordsBeforeAnyFormatAreKept) {
    const Radii r = outline(20);
    tomafileobj doc =
        document({"R=2500;2500", "CRIBFMT=1;4;E;R", "R=3000;3000;3000;3000", "TRCFMT=3;20;E;R;F", packed3("R", r)});
    const Records out = converted(doc);
    EXPECT_EQ(Records(out.begin(), out.begin() + 4),
              Records({"R=2500;2500", "CRIBFMT=1;4;E;R", "R=3000;3000;3000;3000", "TRCFMT=1;20;E;R;F"}));
    EXPECT_EQ(out[4], ascii("R", r)[0]);
}

TEST_F(DisplayConversion, TraceForBothEyesKeepsItsFormatFields) {
    // A trace announced for "B" fills the left list without a format text of
    // its own; its format record is still written in full.
    const Radii b = outline(36);
    tomafileobj doc = document({"TRCFMT=3;36;E;B;F", packed3("R", b)});
    tstringlist out;
    ASSERT_TRUE(omafileasascii(doc, out, false, 0, false));
    EXPECT_EQ(out[0], "TRCFMT=1;36;E;B;F");
    const traces back(out);
    EXPECT_THAT(radiiof(back.left), ElementsAreArray(b));
}

TEST_F(DisplayConversion, OwnRecordListOrNoListIsRefused) {
    tomafileobj doc = document({"TRCFMT=3;20;E;R;F", packed3("R", outline(20))});
    const Records before = recordsof(doc.omalist);
    EXPECT_FALSE(omafileasascii(doc, doc.omalist, false, 0, false));
    EXPECT_FALSE(omafileasascii(doc, nullptr, false, 0, false));
    EXPECT_EQ(recordsof(doc.omalist), before);
}

TEST_F(DisplayConversion, TextNotYetSplitIsSplitFirst) {
    tomafileobj doc;
    doc.omastr = "JOB=5\r\nTRCFMT=3;20;E;R;F\r\n" + packed3("R", outline(20)) + "\r\n";
    const Records out = converted(doc);
    EXPECT_EQ(doc.omalist.count(), 3);
    EXPECT_EQ(out[0], "JOB=5");
    EXPECT_EQ(out[1], "TRCFMT=1;20;E;R;F");
}

// ---- where the traces come from ----

TEST_F(DisplayConversion, TracesComeFromTheFileWhileItExists) {
    const Radii r = outline(20), other = outline(20, 3000);
    TempDir dir;
    const fs::path file = dir / "job.oma";
    write_file(file, "JOB=1\r\nTRCFMT=3;20;E;R;F\r\n" + packed3("R", r) + "\r\n");
    tomafileobj doc;
    ASSERT_TRUE(doc.readomafile(file));
    doc.omastrtolist();

    // The file is read afresh: a trace changed on disk is the one written.
    write_file(file, "JOB=1\r\nTRCFMT=3;20;E;R;F\r\n" + packed3("R", other) + "\r\n");
    EXPECT_THAT(radiiof(traces(listof(converted(doc))).right), ElementsAreArray(other));

    // Without the file, the record list gives the trace.
    fs::remove(file);
    EXPECT_THAT(radiiof(traces(listof(converted(doc))).right), ElementsAreArray(r));
}

TEST_F(DisplayConversion, FileWithoutTheTracesFallsBackToTheRecordList) {
    // The file on disk no longer holds a trace (or cannot be read): the
    // outline and the Z trace come from the record list.
    const Radii r = outline(20), z = outline(20, 200);
    TempDir dir;
    const fs::path file = dir / "job.oma";
    write_file(file, "JOB=1\r\nTRCFMT=3;20;E;R;F\r\n" + packed3("R", r) + "\r\nZFMT=3;20;E;R;F\r\n" + packed3("Z", z) +
                         "\r\n");
    tomafileobj doc;
    ASSERT_TRUE(doc.readomafile(file));
    doc.omastrtolist();
    write_file(file, "JOB=1\r\n");
    const Records out = converted(doc, false, 50);
    const traces back(listof(out));
    Radii grown = r;
    for (auto& v : grown) v += 50;
    EXPECT_THAT(radiiof(back.right), ElementsAreArray(grown));
    EXPECT_THAT(radiiof(back.rightz), ElementsAreArray(z));
}

// ---- resizing, mirroring, even spacing ----

TEST_F(DisplayConversion, ResizingGrowsTheOutlinesAndReplacesTheBoxRecords) {
    const Radii r = outline(40), l = outline(40, 2450);
    const Records records = concat({{"CIRC=150.00;150.00", "CIRC3D=151.00;151.00", "HBOX=1.00;1.00", "VBOX=2.00;2.00",
                                     "JOB=1", "TRCFMT=1;40;E;R;F"},
                                    ascii("R", r),
                                    {"TRCFMT=1;40;E;L;F"},
                                    ascii("R", l)});
    tomafileobj doc = document(records);
    const Records out = converted(doc, false, 50);
    const traces back(listof(out));
    Radii gr = r, gl = l;
    for (auto& v : gr) v += 50;
    for (auto& v : gl) v += 50;
    EXPECT_THAT(radiiof(back.right), ElementsAreArray(gr));
    EXPECT_THAT(radiiof(back.left), ElementsAreArray(gl));
    EXPECT_EQ(out[0], "JOB=1");
    tradiilist measured;
    for (std::size_t i = 0; i < gr.size(); ++i) measured.addradiilist(i * 9.0, gr[i]);
    measured.findabed();
    const tstringlist list = listof(out);
    EXPECT_EQ(list.value("HBOX").substr(0, list.value("HBOX").find(';')), xint2tostr(measured.a));
    EXPECT_EQ(list.indexofname("CIRC3D"), -1);
    EXPECT_NE(list.value("CIRC"), "150.00;150.00");
    EXPECT_EQ(list.value("_RESIZE"), "QVT;0.50");
    EXPECT_TRUE(isstamp(list.value("_RESIZED")));

    // A file resized before is not resized again: an ASCII one is copied.
    tomafileobj again = document(concat({records, {"_RESIZED=QVT;earlier"}}));
    EXPECT_EQ(converted(again, false, 50), concat({records, {"_RESIZED=QVT;earlier"}}));
}

TEST_F(DisplayConversion, MirroringGivesTheMissingEyeTheOtherOne) {
    const Radii r = outline(40);
    tomafileobj doc =
        document(concat({{"JOB=1", "SEGHT=22.00;?", "BEVP=?;4", "OTHER=?;?"}, {"TRCFMT=1;40;E;R;F"}, ascii("R", r)}));
    const Records out = converted(doc, true);
    const tstringlist list = listof(out);
    const traces back(list);
    EXPECT_THAT(radiiof(back.right), ElementsAreArray(r));
    ASSERT_EQ(back.left.readcount(), 40);
    EXPECT_EQ(back.left.trcfmtstr, "1;40;E;L;F");
    // The left eye is the mirror image: the radius at t is the right one's at 180 - t.
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(back.left.extractradiuselement(i), r[static_cast<std::size_t>((60 - i) % 40)]) << i;
    EXPECT_EQ(list.value("SEGHT"), "22.00;22.00");
    EXPECT_EQ(list.value("BEVP"), "4;4");
    EXPECT_EQ(list.value("OTHER"), "?;?");
    EXPECT_TRUE(isstamp(list.value("_MIRRORED")));
    // Both boxes are the same size.
    const std::string hbox = list.value("HBOX");
    EXPECT_EQ(hbox.substr(0, hbox.find(';')), hbox.substr(hbox.find(';') + 1));
}

TEST_F(DisplayConversion, ForcedEvenSpacingResamplesUnevenTraces) {
    Radii r, angles;
    for (int i = 0; i < 36; ++i) {
        r.push_back(2400 + (i * 13) % 50);
        angles.push_back(i * 900 + (i % 2) * 300);
    }
    tomafileobj doc = document(concat({{"TRCFMT=1;36;U;R;F"}, ascii("R", r), ascii("A", angles)}));
    EXPECT_FALSE(doc.omafileiseven());
    const Records out = converted(doc, false, 0, true);
    EXPECT_EQ(out[0], "TRCFMT=1;36;E;R;F");
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](const std::string& s) { return s.rfind("A=", 0) == 0; }), 0);
    const traces back(listof(out));
    ASSERT_EQ(back.right.readcount(), 36);
    EXPECT_DOUBLE_EQ(back.right.extractangleelement(1), 10.0);

    // An even ASCII file is copied as it stands.
    const Records even = concat({{"TRCFMT=1;36;E;R;F"}, ascii("R", r)});
    tomafileobj evendoc = document(even);
    EXPECT_EQ(converted(evendoc, false, 0, true), even);
}

TEST_F(DisplayConversion, FormatQueriesReadTheFirstFormatRecord) {
    struct tcase {
        Records records;
        bool isascii, iseven;
    };
    const tcase cases[] = {
        {{"TRCFMT=1;400;E;R;F", "TRCFMT=3;400;U;L;F"}, true, true},
        {{"trcfmt=3;400;U;R;F", "TRCFMT=1;400;E;L;F"}, false, false},
        {{"TRCFMT= 1 ;400; E ;R"}, true, true},
        {{"TRCFMT=1;400;e;R"}, true, false},
        {{"JOB=1"}, false, false},
        {{"TRCFMT=0"}, false, true},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.records[0]);
        const tomafileobj doc = document(c.records);
        EXPECT_EQ(doc.omafileisascii(), c.isascii);
        EXPECT_EQ(doc.omafileiseven(), c.iseven);
    }
}

// ---- hostile and real files ----

TEST_F(DisplayConversion, RandomPackedBytesNeverBreakTheConversion) {
    std::mt19937 rng(4242);
    const char* formats[] = {"3;400;E;R;F", "4;360;U;L;F", "B;100;E;R", "3;0;E;R", "3;99999999;U;R", "2;10;E;L"};
    const char* tags[] = {"R", "A", "Z", "ZA"};
    for (int round = 0; round < 200; ++round) {
        Records records{"JOB=1"};
        const int blocks = 1 + static_cast<int>(rng() % 4);
        for (int b = 0; b < blocks; ++b) {
            records.push_back(std::string(rng() % 2 ? "TRCFMT=" : "ZFMT=") + formats[rng() % 6]);
            const int data = static_cast<int>(rng() % 5);
            for (int d = 0; d < data; ++d) {
                std::string rec = std::string(tags[rng() % 4]) + "=";
                const int len = static_cast<int>(rng() % 300);
                for (int k = 0; k < len; ++k) rec.push_back(static_cast<char>(rng() % 256));
                records.push_back(rec);
            }
        }
        tomafileobj doc = document(records);
        for (bool mirroring : {false, true}) {
            tstringlist out;
            ASSERT_TRUE(omafileasascii(doc, out, mirroring, round % 3 == 0 ? 2147483647 : 0, round % 2 == 0));
            ASSERT_FALSE(out.empty());
        }
    }
}

// The records of a file with its decoded traces written in notation "3".
Records packedversion(const tstringlist& records) {
    const traces original(records);
    Records out;
    for (const std::string& record : records) {
        const std::string tag = record.substr(0, record.find('='));
        if (tag == "TRCFMT" || tag == "R" || tag == "ZFMT" || tag == "Z" || tag == "A" || tag == "ZA") continue;
        out.push_back(record);
    }
    const auto add = [&out](const tradiilist& list, const std::string& fmttag, bool outline) {
        if (list.readcount() == 0) return;
        out.push_back(fmttag + "=3" + list.trcfmtstr.substr(list.trcfmtstr.find(';')));
        out.push_back(list.makebinaryradiilist(outline));
    };
    add(original.right, "TRCFMT", true);
    add(original.left, "TRCFMT", true);
    add(original.rightz, "ZFMT", false);
    add(original.leftz, "ZFMT", false);
    return out;
}

TEST_F(DisplayConversion, RealFilesKeepTheirTracesAndRecords) {
    const fs::path folder = real_samples_dir();
    if (folder.empty()) GTEST_SKIP() << "no folder of real OMA files";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".oma") continue;
        ++files;
        SCOPED_TRACE(entry.path().string());
        tomafileobj doc;
        ASSERT_TRUE(doc.readomafile(entry.path()));
        doc.omastrtolist();
        const traces original(doc.omalist);

        // As the viewer converts it: the traces and every other record stay.
        tstringlist out;
        ASSERT_TRUE(omafileasascii(doc, out, false, 0, false));
        const traces back(out);
        EXPECT_EQ(radiiof(back.right), radiiof(original.right));
        EXPECT_EQ(radiiof(back.left), radiiof(original.left));
        EXPECT_EQ(radiiof(back.rightz), radiiof(original.rightz));
        for (const std::string& record : doc.omalist) {
            if (static_cast<unsigned char>(record[0]) <= 32) continue;
            const std::string tag = record.substr(0, record.find('='));
            const bool trace =
                tag == "TRCFMT" || tag == "R" || tag == "ZFMT" || tag == "Z" || tag == "A" || tag == "ZA";
            if (!trace || (original.right.readcount() == 0 && original.left.readcount() == 0)) {
                EXPECT_GE(out.indexof(record), 0) << record;
            }
        }

        // The same traces packed, then converted back to ASCII.
        tomafileobj packed = document(packedversion(doc.omalist));
        tstringlist ascii;
        ASSERT_TRUE(omafileasascii(packed, ascii, false, 0, false));
        const traces unpacked(ascii);
        EXPECT_EQ(radiiof(unpacked.right), radiiof(original.right));
        EXPECT_EQ(radiiof(unpacked.left), radiiof(original.left));
        EXPECT_EQ(radiiof(unpacked.rightz), radiiof(original.rightz));
        EXPECT_EQ(radiiof(unpacked.leftz), radiiof(original.leftz));
        if (original.right.readcount() > 0) {
            EXPECT_EQ(unpacked.right.trcfmtstr, original.right.trcfmtstr);
        }
        if (original.left.readcount() > 0) {
            EXPECT_EQ(unpacked.left.trcfmtstr, original.left.trcfmtstr);
        }
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace kestrune
