// kestrune-cli list and convert on files whose traces are stored in packed
// notations: what is listed, what is written, and what is refused.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <unistd.h>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using fixtures::ascii;
using fixtures::filetext;
using fixtures::outline;
using fixtures::packed3;
using fixtures::radiiof;
using ::testing::ElementsAreArray;
using testing::read_file;
using testing::real_samples_dir;
using testing::runcli;
using testing::runcliprocess;
using testing::shell_quote;
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
    EXPECT_EQ(start, text.size()) << "text does not end with a line end";
    return out;
}

bool isstamprecord(const std::string& record) {
    static const std::regex pattern("_ASASCII=QVT;[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    return std::regex_match(record, pattern);
}

// The decoded traces of a file, read with the core.
struct tracesof {
    tradiilist right, left, rightz, leftz;
    explicit tracesof(const fs::path& file) {
        tomafileobj doc;
        EXPECT_TRUE(doc.readomafile(file));
        doc.omastrtolist();
        tradiilist extractor;
        extractor.extractradiilistfromomalist2(doc.omalist, &right, &left, true);
        extractor.extractradiilistfromomalist2(doc.omalist, &rightz, &leftz, false);
    }
};

class CliPacked : public ::testing::Test {
protected:
    void SetUp() override {
        setregionalsettings('.');
        write_file(packed(),
                   filetext({"JOB=2001", "DO=B", "TRCFMT=3;400;E;R;F", packed3("R", right_), "TRCFMT=3;400;E;L;F",
                             packed3("R", left_), "ZFMT=3;400;E;R;F", packed3("Z", z_), "DBL=18.50"}));
    }
    fs::path packed() const { return dir_ / "packed.oma"; }
    // Names in the folder, to see that nothing was left behind.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir_.path())) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }

    TempDir dir_;
    // Each with a step too large for a byte, written as an absolute radius.
    const Radii right_ = outline(400, 2400, 300), left_ = outline(400, 2500, 300), z_ = outline(400, 150, 300);
};

// ---- list ----

TEST_F(CliPacked, ListShowsPackedTracesAsAsciiRecords) {
    const tresult r = runcli("list " + quoted(packed()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Records out = lines(r.out);
    Records expected{"JOB=2001", "DO=B", "DBL=18.50", "TRCFMT=1;400;E;R;F"};
    for (const Records& part : {ascii("R", right_), Records{"TRCFMT=1;400;E;L;F"}, ascii("R", left_),
                                Records{"ZFMT=1;400;E;R;F"}, ascii("Z", z_)})
        expected.insert(expected.end(), part.begin(), part.end());
    ASSERT_EQ(out.size(), expected.size() + 3);
    EXPECT_EQ(Records(out.begin(), out.begin() + static_cast<long>(expected.size())), expected);
    EXPECT_EQ(out[expected.size()].rfind("HBOX=", 0), 0u);
    EXPECT_EQ(out[expected.size() + 1].rfind("VBOX=", 0), 0u);
    EXPECT_TRUE(isstamprecord(out.back())) << out.back();
}

TEST_F(CliPacked, AsciiOutlinesWithAPackedZTraceAreListedAsStored) {
    // Only the outline decides, as in the viewer.
    Records records{"JOB=3", "TRCFMT=1;400;E;R;F"};
    for (const std::string& r : ascii("R", right_)) records.push_back(r);
    records.push_back("ZFMT=3;400;E;R;F");
    records.push_back(packed3("Z", z_));
    write_file(dir_ / "z.oma", filetext(records));
    const tresult r = runcli("list " + quoted(dir_ / "z.oma"));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), records);
}

// ---- convert ----

TEST_F(CliPacked, ConvertWritesAnAsciiFileWithTheSameTraces) {
    const fs::path out = dir_ / "ascii.oma";
    const tresult r = runcli("convert " + quoted(packed()) + " -o " + quoted(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");

    // Records ended by CR LF, and nothing but text in them.
    const std::string bytes = read_file(out);
    const Records records = lines(bytes, "\r\n");
    for (const std::string& record : records) {
        for (char c : record) EXPECT_TRUE(c >= 32 && c < 127) << record;
    }
    EXPECT_EQ(records[0], "JOB=2001");

    const tracesof original(packed()), back(out);
    EXPECT_THAT(radiiof(back.right), ElementsAreArray(right_));
    EXPECT_THAT(radiiof(back.left), ElementsAreArray(left_));
    EXPECT_THAT(radiiof(back.rightz), ElementsAreArray(z_));
    EXPECT_EQ(radiiof(original.right), right_);
    EXPECT_FALSE(back.right.binaryformat());

    // Listing the written file gives it record for record, and converting it
    // again changes nothing.
    const tresult listed = runcli("list " + quoted(out));
    EXPECT_EQ(lines(listed.out), records);
    const fs::path again = dir_ / "again.oma";
    ASSERT_EQ(runcli("convert " + quoted(out) + " --output=" + quoted(again)).status, 0);
    EXPECT_EQ(read_file(again), bytes);
    EXPECT_EQ(names(), (std::vector<std::string>{"again.oma", "ascii.oma", "packed.oma"}));
}

TEST_F(CliPacked, ConvertReplacesAnExistingOutputKeepingItsPermissionsAndLinks) {
    const fs::path out = dir_ / "out.oma";
    write_file(out, "OLD=1\r\n");
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("out.oma", dir_ / "link.oma");
    ASSERT_EQ(runcli("convert " + quoted(packed()) + " -o" + quoted(dir_ / "link.oma")).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.oma"));
    EXPECT_EQ(read_file(out).rfind("JOB=2001\r\n", 0), 0u);
    EXPECT_EQ(fs::status(out).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(names(), (std::vector<std::string>{"link.oma", "out.oma", "packed.oma"}));
}

TEST_F(CliPacked, ConvertNeverOverwritesItsInput) {
    const std::string before = read_file(packed());
    fs::create_symlink(packed(), dir_ / "alias.oma");
    fs::create_hard_link(packed(), dir_ / "hard.oma");
    fs::create_directory(dir_ / "sub");
    const std::string cases[] = {packed().string(), (dir_ / "alias.oma").string(), (dir_ / "hard.oma").string(),
                                 (dir_ / "sub" / ".." / "packed.oma").string()};
    for (const std::string& target : cases) {
        SCOPED_TRACE(target);
        const tresult r = runcli("convert " + quoted(packed()) + " -o " + shell_quote(target));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "kestrune-cli: convert: " + target + ": is the input file; not overwritten\n");
    }
    // Also when the input is named through the link.
    EXPECT_EQ(runcli("convert " + quoted(dir_ / "alias.oma") + " -o " + quoted(packed())).status, 2);
    EXPECT_EQ(read_file(packed()), before);
    EXPECT_EQ(names(), (std::vector<std::string>{"alias.oma", "hard.oma", "packed.oma", "sub"}));
}

TEST_F(CliPacked, FailedWritesLeaveNoFileBehind) {
    write_file(dir_ / "plain", "x");
    fs::create_directory(dir_ / "folder.oma");
    struct tcase {
        fs::path target;
        const char* reason;
    };
    const tcase cases[] = {
        {dir_ / "missing" / "out.oma", "No such file or directory"},
        {dir_ / "plain" / "out.oma", "Not a directory"},
        {dir_ / "folder.oma", "Is a directory"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.target.string());
        const tresult r = runcli("convert " + quoted(packed()) + " -o " + quoted(c.target));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "kestrune-cli: convert: " + c.target.string() + ": " + c.reason + "\n");
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"folder.oma", "packed.oma", "plain"}));
    EXPECT_TRUE(fs::is_empty(dir_ / "folder.oma"));
    // Nor is a named pipe, which is not waited for either (should it be
    // after all, the time limit ends the program instead of the test).
    ASSERT_TRUE(testing::make_fifo(dir_ / "pipe.oma"));
    const tresult piped =
        testing::runcliprocess("convert " + quoted(packed()) + " -o " + quoted(dir_ / "pipe.oma"), "timeout 20");
    EXPECT_EQ(piped.status, 2);
    EXPECT_EQ(piped.err,
              "kestrune-cli: convert: " + (dir_ / "pipe.oma").string() + ": not a regular file; not overwritten\n");
    EXPECT_TRUE(fs::is_fifo(dir_ / "pipe.oma"));
    fs::remove(dir_ / "pipe.oma");
    // A device is not replaced by a file either.
    if (fs::exists("/dev/null")) {
        const tresult r = runcli("convert " + quoted(packed()) + " -o /dev/null");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "kestrune-cli: convert: /dev/null: not a regular file; not overwritten\n");
        EXPECT_TRUE(fs::is_character_file("/dev/null"));
    }
}

TEST_F(CliPacked, ReadOnlyFolderAsOrdinaryUser) {
    // Permission bits only bind an ordinary user; as root the program is run
    // with an ordinary user's rights.
    const std::optional<std::string> user = testing::ordinaryuser();
    if (!user) GTEST_SKIP() << "cannot run as an ordinary user";
    fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(packed(), fs::perms::owner_read | fs::perms::others_read);
    if (runcliprocess("list " + quoted(packed()), *user).status != 0) GTEST_SKIP() << "folder out of reach";
    const tresult r = runcliprocess("convert " + quoted(packed()) + " -o " + quoted(dir_ / "out.oma"), *user);
    fs::permissions(dir_.path(), fs::perms::owner_all);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: convert: " + (dir_ / "out.oma").string() + ": Permission denied\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"packed.oma"}));
}

// A write that fails part-way (files may not grow beyond 4 kB, the converted
// file is larger) is reported with its reason, and the earlier output stays
// as it was, with nothing left beside it.
TEST_F(CliPacked, WriteFailingPartWayLeavesTheEarlierOutput) {
    const fs::path out = dir_ / "out.oma";
    write_file(out, "OLD=1\r\n");
    // The program's own process: the limit and its signal are the process's.
    const tresult r =
        runcliprocess("convert " + quoted(packed()) + " -o " + quoted(out), "ulimit -f 4 && trap '' XFSZ && exec");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: convert: " + out.string() + ": File too large\n");
    EXPECT_EQ(read_file(out), "OLD=1\r\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"out.oma", "packed.oma"}));
}

TEST_F(CliPacked, TracesThatCannotBeDecodedAreNotWritten) {
    write_file(dir_ / "six.oma", "JOB=1\r\nTRCFMT=6;360;E;R;F\r\nR=61675141\r\n");
    const tresult r = runcli("convert " + quoted(dir_ / "six.oma") + " -o " + quoted(dir_ / "out.oma"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: convert: " + (dir_ / "six.oma").string() +
                         ": the trace of TRCFMT=6;360;E;R;F cannot be decoded; nothing written\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.oma"));

    // The listing shows its records as they stand.
    const tresult listed = runcli("list " + quoted(dir_ / "six.oma"));
    const Records out = lines(listed.out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(Records(out.begin(), out.begin() + 3), Records({"JOB=1", "TRCFMT=6;360;E;R;F", "R=61675141"}));
    EXPECT_TRUE(isstamprecord(out[3]));
}

TEST_F(CliPacked, ConvertUsageMistakes) {
    struct tcase {
        std::string arguments;
        std::string message;
    };
    const tcase cases[] = {
        {"convert " + quoted(packed()), "convert: missing -o OUT"},
        {"convert " + quoted(packed()) + " -o", "convert: option '-o' needs a value"},
        {"convert " + quoted(packed()) + " --output", "convert: option '--output' needs a value"},
        {"convert " + quoted(packed()) + " " + quoted(packed()) + " -o x.oma",
         "convert: OUT must be a folder when several files are given: 'x.oma'"},
        {"convert -o x.oma", "convert: missing FILE... -o OUT"},
        {"convert " + quoted(packed()) + " -x", "convert: unknown option '-x'"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const tresult r = runcli(c.arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("kestrune-cli: " + c.message + "\nUsage: kestrune-cli convert FILE... -o OUT\n", 0), 0u)
            << r.err;
    }
    EXPECT_EQ(names(), (std::vector<std::string>{"packed.oma"}));
}

TEST_F(CliPacked, ConvertOfAnUnreadableFile) {
    const tresult r = runcli("convert " + quoted(dir_ / "missing.oma") + " -o " + quoted(dir_ / "out.oma"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: " + (dir_ / "missing.oma").string() + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir_ / "out.oma"));
}

TEST_F(CliPacked, NotationBConvertsToo) {
    const Radii r = outline(360, 2450);  // no spike: notation B steps by one byte at most
    const std::string packed = fixtures::packedb("R", r);
    write_file(dir_ / "b.oma", filetext({"TRCFMT=B;360;E;R;F", packed, "JOB=9"}));
    ASSERT_EQ(runcli("convert " + quoted(dir_ / "b.oma") + " -o " + quoted(dir_ / "out.oma")).status, 0);
    const tracesof back(dir_ / "out.oma");
    EXPECT_EQ(back.right.trcfmtstr, "1;360;E;R;F");
    EXPECT_EQ(radiiof(back.right), radiiof(tracesof(dir_ / "b.oma").right));
    EXPECT_EQ(back.right.readcount(), 360);
}

// ---- real files ----

TEST(CliConvertRealFiles, DecodableFilesConvertToTheSameTraces) {
    const fs::path folder = real_samples_dir();
    if (folder.empty()) GTEST_SKIP() << "no folder of real OMA files";
    setregionalsettings('.');
    TempDir dir;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().string());
        const tracesof original(entry.path());
        const fs::path out = dir / entry.path().filename().string();
        const tresult r = runcli("convert " + quoted(entry.path()) + " -o " + quoted(out));
        if (original.right.readcount() == 0 && original.left.readcount() == 0) {
            // A trace in a notation that is not decoded is refused, not lost.
            EXPECT_EQ(r.status, 2);
            EXPECT_FALSE(fs::exists(out));
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        const tracesof back(out);
        EXPECT_EQ(radiiof(back.right), radiiof(original.right));
        EXPECT_EQ(radiiof(back.left), radiiof(original.left));
    }
}

}  // namespace
}  // namespace kestrune
