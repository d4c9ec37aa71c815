// The show-file sequence without a window: what it returns and what it
// leaves in the working folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/support/files.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "fixtures/omafixtures.hpp"
#include "showfile.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace kestrune {
namespace {

using fixtures::circle;
using fixtures::filetext;
using fixtures::oval;
using fixtures::trace;
using testing::read_file;
using testing::real_samples_dir;
using testing::TempDir;
using testing::write_file;

class ShowFileTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path work = dir / "work";
    std::string folder = work.string() + "/";

    tpausefunction pause;

    void SetUp() override {
        setregionalsettings('.');
        fs::create_directories(work);
        // Writes that fail are retried after a pause; the tests need not wait.
        pause = setretrypause([](int) {});
    }
    void TearDown() override { setretrypause(pause); }

    fs::path file(const std::string& name, const std::string& content) {
        const fs::path p = dir / name;
        write_file(p, content);
        return p;
    }

    std::set<std::string> workfiles() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(work)) names.insert(e.path().filename().string());
        return names;
    }
};

TEST_F(ShowFileTest, NamesOfTheDumpAndPictures) {
    struct tcase {
        const char* name;
        std::string filename;
        std::string caption;
        std::string source;
    };
    const std::vector<tcase> cases = {
        {"ordinary name", "job.oma", "job.oma", "job"},
        {"several dots keep all but the last extension", "a.b.oma", "a.b.oma", "a.b"},
        {"no extension", "job", "job", "job"},
        {"a backslash is part of a name here, but never a folder", "x\\y.oma", "x\\y.oma", "y"},
    };
    const std::string both = "JOB=1\r\n" + filetext(trace('R', oval(40))) + filetext(trace('L', oval(40, 2300)));
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(work);
        fs::create_directories(work);
        const fs::path p = file(c.filename, both);
        const tshowfileresult r = showfilesequence(p.string(), folder);
        EXPECT_EQ(r.caption, c.caption);
        EXPECT_EQ(r.source, c.source);
        EXPECT_EQ(r.dumpfilename, folder + c.source + "_OMAData.csv");
        EXPECT_EQ(r.right.filename, folder + "__TMP_OMA_" + c.source + "R.jpeg");
        EXPECT_EQ(r.left.filename, folder + "__TMP_OMA_" + c.source + "L.jpeg");
        EXPECT_EQ(workfiles(), (std::set<std::string>{c.source + "_OMAData.csv", "__TMP_OMA_" + c.source + "R.jpeg",
                                                      "__TMP_OMA_" + c.source + "L.jpeg"}));
    }
}

TEST_F(ShowFileTest, NamesFromDotDotStayInTheWorkingFolder) {
    // A path ending in ".." names a folder: nothing is read, nothing written.
    const tshowfileresult r = showfilesequence((dir / "sub/..").string(), folder);
    EXPECT_EQ(r.caption, "..");
    EXPECT_FALSE(r.readable);
    EXPECT_TRUE(workfiles().empty());

    // A file called "..x" gives a name that still lies in the folder.
    const tshowfileresult s =
        showfilesequence(file("..x", "JOB=1\r\n" + filetext(trace('R', oval(20)))).string(), folder);
    EXPECT_EQ(s.source, ".");
    EXPECT_EQ(fs::path(s.dumpfilename).parent_path(), work);
    EXPECT_EQ(fs::path(s.right.filename).parent_path(), work);
    EXPECT_TRUE(fs::exists(s.dumpfilename));
}

TEST_F(ShowFileTest, PicturesNeedMoreThanTenPoints) {
    struct tcase {
        const char* name;
        int right;
        int left;
    };
    const std::vector<tcase> cases = {
        {"ten and eleven", 10, 11},
        {"eleven and ten", 11, 10},
        {"no traces", 0, 0},
        {"right only", 36, 0},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(work);
        fs::create_directories(work);
        std::string text = "JOB=7\r\n";
        if (c.right > 0) text += filetext(trace('R', oval(c.right)));
        if (c.left > 0) text += filetext(trace('L', oval(c.left)));
        const tshowfileresult r = showfilesequence(file("p.oma", text).string(), folder);
        const tshownpicture* pictures[] = {&r.right, &r.left};
        const int points[] = {c.right, c.left};
        for (int eye = 0; eye < 2; ++eye) {
            const tshownpicture& pic = *pictures[eye];
            EXPECT_EQ(pic.points, points[eye]);
            const bool drawn = points[eye] > 10;
            EXPECT_EQ(pic.visible, drawn);
            EXPECT_EQ(pic.written, drawn);
            EXPECT_EQ(pic.filename.empty(), !drawn);
            if (drawn) {
                const std::string jpeg = read_file(pic.filename);
                ASSERT_GE(jpeg.size(), 4u);
                EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8"s) << "not a JPEG";
            }
        }
    }
}

TEST_F(ShowFileTest, TracesThatAreNotDecodedAreNamedForThePicturePlace) {
    const std::string text =
        "JOB=7\r\nTRCFMT= 6;360;E; R;F\r\nR=QUJDREVGR0hJSktMTU5PUA==\r\n" + filetext(trace('L', oval(36)));
    const tshowfileresult r = showfilesequence(file("six.oma", text).string(), folder);
    EXPECT_TRUE(r.readable);
    EXPECT_EQ(r.labeltext, " ");
    EXPECT_FALSE(r.right.visible);
    EXPECT_TRUE(r.right.undecoded);
    EXPECT_EQ(r.right.format, "6;360;E;R;F");
    EXPECT_EQ(r.right.notenotdecoded, "notation 6: not decoded");
    // The decoded eye, and an eye without any trace, are not flagged.
    EXPECT_TRUE(r.left.visible);
    EXPECT_FALSE(r.left.undecoded);
    EXPECT_EQ(r.left.notenotdecoded, "");
    const tshowfileresult none = showfilesequence(file("none.oma", "JOB=7\r\n").string(), folder);
    EXPECT_FALSE(none.right.undecoded);
    EXPECT_EQ(none.right.format, "");
}

// What each picture place says when it shows no picture.
TEST_F(ShowFileTest, PicturePlacesSayWhyTheyShowNoPicture) {
    const struct {
        const char* name;
        std::string content;
        std::string right, left;
    } cases[] = {
        {"no traces", "JOB=7\r\n", "no trace", "no trace"},
        {"ten points and one", filetext(trace('R', oval(10))) + "TRCFMT=1;1;E;L;F\r\nR=2500\r\n",
         "10 points: too few to draw", "1 point: too few to draw"},
        {"a notation not decoded", "TRCFMT=6;360;E;R;F\r\nR=QUJD\r\n" + filetext(trace('L', oval(36))),
         "notation 6: not decoded", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const tshowfileresult r = showfilesequence(file("n.oma", c.content).string(), folder);
        EXPECT_EQ(picturenote(r.right), c.right);
        EXPECT_EQ(picturenote(r.left), c.left);
    }
    write_file(dir / "blocked", "x");
    const tshowfileresult blocked =
        showfilesequence(file("job.oma", filetext(trace('R', oval(20)))).string(), (dir / "blocked").string() + "/");
    EXPECT_EQ(picturenote(blocked.right), "picture not written: Not a directory");
}

// An empty file, or text of another kind, holds no OMA records: the viewer
// says so rather than show an empty box or stray bytes without a word.
TEST_F(ShowFileTest, WhetherAFileHoldsOmaRecords) {
    const struct {
        const char* name;
        std::string content;
        bool holds;
    } cases[] = {
        {"empty", "", false},
        {"only line ends", "\r\n\r\n", false},
        {"random bytes", "\x89PNG\r\n\x1a\n\x00\x93=\xff\xfe\r\n\xe9t\xe9=?\r\n"s, false},
        {"prose", "Dear lab,\r\nplease cut the lens = thanks\r\n", false},
        {"one record among prose", "Dear lab,\r\nJOB=12\r\n", true},
        {"records on one line", "JOB=1|DO=B|DBL=18.00", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const tshowfileresult r = showfilesequence(file("h.oma", c.content).string(), folder);
        EXPECT_TRUE(r.readable);
        EXPECT_EQ(r.holdsrecords, c.holds);
    }
    EXPECT_FALSE(showfilesequence((dir / "missing.oma").string(), folder).holdsrecords);
}

// Each eye carries the measures info gives, and the trace its picture was
// drawn from.
TEST_F(ShowFileTest, MeasuresAndTheTraceBesideEachPicture) {
    const tshowfileresult r = showfilesequence(
        file("m.oma", "DBL=17.50\r\n" + filetext(trace('R', circle(400, 2500))) + filetext(trace('L', oval(8))))
            .string(),
        folder);
    EXPECT_EQ(r.right.measures.points, 400);
    EXPECT_EQ(r.right.measures.a, 5000);
    EXPECT_EQ(r.right.measures.b, 5000);
    EXPECT_EQ(r.right.measures.dbl, 1750);
    EXPECT_EQ(r.right.measures.format, "1;400;E;R;F");
    ASSERT_TRUE(r.right.trace);
    EXPECT_EQ(r.right.trace->readcount(), 400);
    // Too few points for a picture: measured all the same, nothing kept.
    EXPECT_EQ(r.left.measures.points, 8);
    EXPECT_FALSE(r.left.trace);
}

// Width and height of a baseline JPEG, from its frame header.
std::pair<int, int> jpegsize(const std::string& jpeg) {
    for (std::size_t i = 2; i + 9 < jpeg.size();) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(jpeg[k]); };
        if (byte(i) != 0xFF) return {0, 0};
        const std::size_t length = byte(i + 2) * 256u + byte(i + 3);
        if (byte(i + 1) == 0xC0) return {byte(i + 7) * 256 + byte(i + 8), byte(i + 5) * 256 + byte(i + 6)};
        i += 2 + length;
    }
    return {0, 0};
}

// The viewer's boxes grow with the window: a picture is drawn again at the
// box's size into its file, also back at a size it had before.
TEST_F(ShowFileTest, PictureDrawnAgainAtAnotherSize) {
    tshowfileresult r = showfilesequence(file("g.oma", filetext(trace('R', oval(36)))).string(), folder);
    ASSERT_TRUE(r.right.visible);
    EXPECT_EQ(jpegsize(read_file(r.right.filename)), std::make_pair(105, 105));
    for (const int side : {210, 105, 333}) {
        SCOPED_TRACE(side);
        EXPECT_TRUE(redrawpicture(r.right, side, side));
        EXPECT_TRUE(r.right.visible);
        EXPECT_EQ(jpegsize(read_file(r.right.filename)), std::make_pair(side, side));
    }
    // An eye without a picture has nothing to draw.
    EXPECT_FALSE(redrawpicture(r.left, 210, 210));
    EXPECT_FALSE(r.left.visible);
    // A folder that cannot take the picture any more: the reason comes back.
    fs::remove_all(work);
    write_file(work, "x");
    EXPECT_FALSE(redrawpicture(r.right, 150, 150));
    EXPECT_FALSE(r.right.visible);
    EXPECT_EQ(picturenote(r.right), "picture not written: Not a directory");
}

TEST_F(ShowFileTest, EachEyeKeepsItsOwnPicture) {
    const std::string right = filetext(trace('R', oval(36, 2500)));
    const std::string left = filetext(trace('L', oval(36, 1800)));
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    const tshowfileresult alone = showfilesequence(file("job.oma", right).string(), (dir / "a").string() + "/");
    const tshowfileresult both = showfilesequence(file("job.oma", right + left).string(), (dir / "b").string() + "/");
    ASSERT_TRUE(alone.right.written);
    ASSERT_TRUE(both.right.written && both.left.written);
    // The right picture of the two-eye file is the right shape, not the left.
    EXPECT_EQ(read_file(both.right.filename), read_file(alone.right.filename));
    EXPECT_NE(read_file(both.left.filename), read_file(both.right.filename));
}

TEST_F(ShowFileTest, RecordBoxLinesAndTheDump) {
    const std::string ascii = "JOB=1\r\nDBL=17.5|x\r\n" + filetext(trace('R', oval(12)));
    const tshowfileresult r = showfilesequence(file("a.oma", ascii).string(), folder);
    EXPECT_FALSE(r.converted);
    std::vector<std::string> expected{"JOB=1", "DBL=17.5|x"};
    const std::string records = filetext(trace('R', oval(12)));
    for (std::size_t start = 0, end; (end = records.find("\r\n", start)) != std::string::npos; start = end + 2)
        expected.push_back(records.substr(start, end - start));
    EXPECT_EQ(r.lines.items(), expected);
    // The dump: a header and one line per right-eye point, lines ended by CR LF.
    ASSERT_TRUE(r.dumpwritten);
    const std::string dump = read_file(r.dumpfilename);
    EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 13);
    EXPECT_EQ(dump.substr(dump.size() - 2), "\r\n");

    // Packed traces are listed as ASCII records.
    const tshowfileresult p =
        showfilesequence(file("b.oma", "JOB=2\r\n" + filetext(trace('R', circle(400, 2500), true))).string(), folder);
    EXPECT_TRUE(p.converted);
    EXPECT_EQ(p.lines[0], "JOB=2");
    EXPECT_EQ(p.lines.indexof("TRCFMT=1;400;E;R;F"), 1);
    EXPECT_EQ(p.lines[2], "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500");
    EXPECT_EQ(p.lines.indexofname("_ASASCII"), p.lines.count() - 1);
    for (const std::string& line : p.lines) EXPECT_EQ(line.find('\0'), std::string::npos) << line;
    EXPECT_TRUE(p.right.visible);
    EXPECT_FALSE(p.left.visible);
}

TEST_F(ShowFileTest, LabelTexts) {
    const auto level = [](char eye, int n, int declared) { return filetext(trace(eye, oval(n), false, declared)); };
    std::string low =
        "TRCFMT=1;20;E;R;F\r\nR=2500;2500;400;2500;2500;2500;2500;2500;2500;2500\r\n"
        "R=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500\r\n";
    struct tcase {
        const char* name;
        std::string content;
        std::string label;
    };
    const std::vector<tcase> cases = {
        {"nothing wrong: a single space", level('R', 20, -1), " "},
        {"verdict and detail", level('R', 18, 20), "Invalid number of points 1;20;E;R;F Points=    18"},
        {"verdict without detail", low, "Suspect radii found in the trace "},
        {"stray binary data", filetext(trace('R', circle(400, 2500), true)) + "DBL=17\0.5\r\n"s,
         "Corrupt binary data with tag DBL "},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(showfilesequence(file("l.oma", c.content).string(), folder).labeltext, c.label);
    }
}

TEST_F(ShowFileTest, FileThatCannotBeReadSaysSoAndKeepsTheEarlierDump) {
    const fs::path good = file("job.oma", filetext(trace('R', oval(20))));
    const tshowfileresult first = showfilesequence(good.string(), folder);
    ASSERT_TRUE(first.dumpwritten);
    EXPECT_EQ(first.readfailure, "");
    const std::string dump = read_file(first.dumpfilename);
    ASSERT_FALSE(dump.empty());

    fs::create_directories(dir / "other");
    fs::create_directories(dir / "job2.oma");
    // What is not a regular file is refused at once, never waited for: the
    // viewer runs the sequence on its only thread.
    fs::create_directories(dir / "special");
    const fs::path fifo = dir / "special/job.oma";
    ASSERT_TRUE(testing::make_fifo(fifo));
    struct tcase {
        const char* name;
        std::string path;
        std::string caption;
        std::string label;
    };
    std::vector<tcase> cases = {
        {"missing file of the same name", (dir / "other/job.oma").string(), "job.oma",
         "The file could not be read: No such file or directory"},
        {"a folder", (dir / "job2.oma").string(), "job2.oma", "The file could not be read: Is a directory"},
        {"a named pipe of the same name", fifo.string(), "job.oma", "The file could not be read: not a regular file"},
        {"a device", "/dev/zero", "zero", "The file could not be read: not a regular file"},
    };
    if (testing::make_socket(dir / "special/socket.oma")) {
        cases.push_back({"a socket", (dir / "special/socket.oma").string(), "socket.oma",
                         "The file could not be read: not a regular file"});
    }
    if (const fs::path unreadable = testing::read_error_file(); !unreadable.empty()) {
        cases.push_back({"a read error", unreadable.string(), unreadable.filename().string(),
                         "The file could not be read: Input/output error"});
    }
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        tshowfileresult r;
        EXPECT_TRUE(testing::finishes_in_time([&] { r = showfilesequence(c.path, folder); }, {fifo}));
        EXPECT_FALSE(r.readable);
        EXPECT_EQ(r.caption, c.caption);
        EXPECT_EQ(r.labeltext, c.label);
        EXPECT_EQ(unreadablemessage + r.readfailure, c.label);
        EXPECT_TRUE(r.lines.empty());
        EXPECT_FALSE(r.right.visible);
        EXPECT_FALSE(r.left.visible);
        EXPECT_TRUE(r.dumpfilename.empty());
    }
    EXPECT_EQ(read_file(first.dumpfilename), dump) << "an unreadable file must not empty the earlier dump";
    EXPECT_FALSE(fs::exists(work / "job2_OMAData.csv"));
}

TEST_F(ShowFileTest, EmptyNameShowsNothingAndWritesNothing) {
    const tshowfileresult r = showfilesequence("", folder);
    EXPECT_EQ(r.caption, "");
    EXPECT_EQ(r.labeltext, " ");
    EXPECT_TRUE(r.lines.empty());
    EXPECT_FALSE(r.right.visible || r.left.visible);
    EXPECT_TRUE(workfiles().empty());
}

TEST_F(ShowFileTest, PictureThatCannotBeWrittenIsNotShown) {
    // The working folder is a plain file: nothing can be written into it.
    write_file(dir / "blocked", "x");
    const tshowfileresult r =
        showfilesequence(file("job.oma", filetext(trace('R', oval(20)))).string(), (dir / "blocked").string() + "/");
    EXPECT_TRUE(r.readable);
    EXPECT_FALSE(r.dumpwritten);
    EXPECT_EQ(r.dumpfailure, "Not a directory");
    EXPECT_EQ(r.right.filename, (dir / "blocked").string() + "/__TMP_OMA_jobR.jpeg");
    EXPECT_FALSE(r.right.written);
    EXPECT_EQ(r.right.failure, "Not a directory");
    EXPECT_FALSE(r.right.visible);
    EXPECT_EQ(r.lines.count(), 3);
}

// The dump and the pictures are written as every file is: a named pipe or a
// folder under one of their names stays what it is and is never waited for;
// the sequence says why and goes on with the rest.
TEST_F(ShowFileTest, WhatCannotBeReplacedIsLeftAloneAtOnce) {
    const fs::path job = file("job.oma", filetext(trace('R', oval(20))) + filetext(trace('L', oval(20))));
    const fs::path pipe = work / "job_OMAData.csv";
    ASSERT_TRUE(testing::make_fifo(pipe));
    fs::create_directory(work / "__TMP_OMA_jobL.jpeg");
    tshowfileresult r;
    EXPECT_TRUE(testing::finishes_in_time([&] { r = showfilesequence(job.string(), folder); }, {pipe}));
    EXPECT_TRUE(r.readable);
    EXPECT_FALSE(r.dumpwritten);
    EXPECT_EQ(r.dumpfailure, "not a regular file; not overwritten");
    EXPECT_TRUE(r.right.written);
    EXPECT_EQ(r.right.failure, "");
    EXPECT_FALSE(r.left.written);
    EXPECT_EQ(r.left.failure, "Is a directory");
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_empty(work / "__TMP_OMA_jobL.jpeg"));
    EXPECT_EQ(workfiles(), (std::set<std::string>{"__TMP_OMA_jobL.jpeg", "__TMP_OMA_jobR.jpeg", "job_OMAData.csv"}));
}

TEST_F(ShowFileTest, CleanUpOnClose) {
    const tshowfileresult a = showfilesequence(
        file("a.oma", filetext(trace('R', oval(20))) + filetext(trace('L', oval(20)))).string(), folder);
    const tshowfileresult b = showfilesequence(file("b.oma", filetext(trace('R', oval(20)))).string(), folder);
    ASSERT_TRUE(a.left.written && b.right.written);
    // The window remembers the latest picture of each eye: b's right, a's left.
    EXPECT_EQ(showfilecleanup(b.right.filename, a.left.filename, folder), 0);
    EXPECT_FALSE(fs::exists(b.right.filename));
    EXPECT_FALSE(fs::exists(a.left.filename));
    // a's right picture is young: it stays for a later close; dumps always stay.
    EXPECT_TRUE(fs::exists(a.right.filename));
    EXPECT_TRUE(fs::exists(a.dumpfilename));
    EXPECT_TRUE(fs::exists(b.dumpfilename));
    // Nothing shown: nothing to delete, and no failure.
    EXPECT_EQ(showfilecleanup("", "", folder), 0);
}

TEST_F(ShowFileTest, RealFiles) {
    const fs::path real = real_samples_dir();
    if (real.empty()) GTEST_SKIP() << "no real sample files";
    int shown = 0;
    for (const auto& e : fs::directory_iterator(real)) {
        if (e.path().extension() != ".oma") continue;
        SCOPED_TRACE(e.path().filename().string());
        const tshowfileresult r = showfilesequence(e.path().string(), folder);
        EXPECT_TRUE(r.readable);
        EXPECT_TRUE(r.dumpwritten);
        EXPECT_FALSE(r.lines.empty());
        EXPECT_FALSE(r.labeltext.empty());
        tomafileobj doc;
        doc.readomafile(e.path());
        doc.omastrtolist();
        tradiilist extractor, right, left;
        extractor.extractradiilistfromomalist2(doc.omalist, &right, &left, true);
        EXPECT_EQ(r.right.visible, right.readcount() > 10);
        EXPECT_EQ(r.left.visible, left.readcount() > 10);
        if (!r.converted) {
            EXPECT_EQ(r.lines.items(), doc.omalist.items());
        }
        ++shown;
    }
    EXPECT_GT(shown, 0);
}

}  // namespace
}  // namespace kestrune
