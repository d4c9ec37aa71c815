// Runs kestrune-cli and checks its output byte for byte, its diagnostics and
// its exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

#include "clirunner.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::project_samples_dir;
using testing::read_file;
using testing::real_samples_dir;
using testing::runcli;
using testing::runcliprocess;
using testing::TempDir;
using testing::write_file;

using tresult = testing::cliresult;
using testing::quoted;

// The records of a file's bytes, worked out here independently of the core:
// split at the ten separator bytes, empty pieces dropped; a file that gives
// exactly one record and holds a "|" is split at the "|" as well.
std::vector<std::string> expectedrecords(const std::string& bytes) {
    constexpr std::string_view separators{"\x06\x0a\x0d\x11\x13\x15\x1a\x1c\x1d\x1e", 10};
    auto split = [&](std::string_view text, bool atbar) {
        std::vector<std::string> records;
        std::string current;
        for (char c : text) {
            if (separators.find(c) != std::string_view::npos || (atbar && c == '|')) {
                if (!current.empty()) records.push_back(std::move(current));
                current.clear();
            } else {
                current.push_back(c);
            }
        }
        if (!current.empty()) records.push_back(std::move(current));
        return records;
    };
    std::vector<std::string> records = split(bytes, false);
    if (records.size() == 1 && bytes.find('|') != std::string::npos) records = split(bytes, true);
    return records;
}

std::string aslines(const std::vector<std::string>& records) {
    std::string text;
    for (const std::string& r : records) text.append(r).push_back('\n');
    return text;
}

std::vector<std::string> outputlines(const std::string& out) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t lf; (lf = out.find('\n', start)) != std::string::npos; start = lf + 1) {
        lines.push_back(out.substr(start, lf - start));
    }
    EXPECT_EQ(start, out.size()) << "output does not end with a line feed";
    return lines;
}

std::vector<fs::path> regularfiles(const fs::path& folder, std::string_view extension = {}) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// ---- list: the project's own samples ----

TEST(CliListSamples, EveryOwnSampleListsExactlyItsRecords) {
    const std::vector<fs::path> samples = regularfiles(project_samples_dir(), ".oma");
    ASSERT_FALSE(samples.empty());
    for (const fs::path& sample : samples) {
        SCOPED_TRACE(sample.string());
        const tresult r = runcli("list " + quoted(sample));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, aslines(expectedrecords(read_file(sample))));
    }
}

// What each sample was made to show, stated by hand, so that the samples and
// the independent split above are checked against each other.
TEST(CliListSamples, OwnSamplesHoldTheirIntendedRecords) {
    struct tcase {
        const char* file;
        std::size_t count;
        std::vector<std::pair<std::size_t, std::string>> records;  // index, record
    };
    const tcase cases[] = {
        {"ascii-two-eyes.oma", 80, {{0, "JOB=1042"}, {6, "TRCFMT=1;360;E;R;F"}, {43, "TRCFMT=1;360;E;L;F"}}},
        {"pipe-separated.oma",
         11,
         {{0, "JOB=1043"}, {1, "DO=B"}, {6, "TRCFMT=1;36;E;B;F"}, {10, "R=2091;2215;2339;2432;2471;2464"}}},
        {"control-separators.oma",
         9,
         {{0, "JOB=1044"},
          {1, "DO=R"},
          {2, "CLNAME=North\tWing"},
          {3, "DBL=19.00"},
          {8, "R=2091;2215;2339;2432;2471;2464"}}},
        {"latin1-bytes.oma",
         13,
         {{1, "CLIENT=M\xfcller Augenoptik"},
          {2,
           "CLNAME=Optique Bel\xe9"
           "e \x96 Atelier \xa7 2"}}},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.file);
        const tresult r = runcli("list " + quoted(project_samples_dir() / c.file));
        ASSERT_EQ(r.status, 0);
        const std::vector<std::string> lines = outputlines(r.out);
        ASSERT_EQ(lines.size(), c.count);
        for (const auto& [index, record] : c.records) EXPECT_EQ(lines[index], record);
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find_first_of("\r|\x1c\x1d\x1e"), std::string::npos) << line;
        }
    }
}

TEST(CliListSamples, TwoEyeTraceHasTenRadiiPerRecordInRange) {
    const tresult r = runcli("list " + quoted(project_samples_dir() / "ascii-two-eyes.oma"));
    ASSERT_EQ(r.status, 0);
    int radii = 0;
    for (const std::string& line : outputlines(r.out)) {
        if (line.rfind("R=", 0) != 0) continue;
        std::size_t start = 2;
        int inrecord = 0;
        for (;;) {
            const std::size_t end = line.find(';', start);
            const int value = std::stoi(line.substr(start, end - start));
            EXPECT_GE(value, 1800);
            EXPECT_LE(value, 2600);
            ++inrecord;
            if (end == std::string::npos) break;
            start = end + 1;
        }
        EXPECT_EQ(inrecord, 10) << line;
        radii += inrecord;
    }
    EXPECT_EQ(radii, 720);
}

// ---- list: exact bytes ----

TEST(CliList, WritesRecordBytesExactly) {
    const std::string big(200000, 'x');
    struct tcase {
        const char* name;
        std::string bytes;
        std::string expected;
    };
    const tcase cases[] = {
        {"line ends become one line feed", "A=1\r\nB=2\r\n\r\nC=3", "A=1\nB=2\nC=3\n"},
        {"empty file", "", ""},
        {"only separators", "\r\n\x1e\x1c\n\x06\x1a", ""},
        {"NUL, control and high bytes kept", std::string("A=\0x\x01\x7f\nB=\xff\x80\xe9", 12),
         std::string("A=\0x\x01\x7f\nB=\xff\x80\xe9\n", 13)},
        {"blanks and TAB kept", " A = 1 \tx \r\n", " A = 1 \tx \n"},
        {"one line split at |", "A=1|B=2||C=3\r\n", "A=1\nB=2\nC=3\n"},
        {"two lines not split at |", "A=1|B\r\nC=2", "A=1|B\nC=2\n"},
        {"all ten separators",
         "a\x06"
         "b\nc\rd\x11"
         "e\x13"
         "f\x15g\x1ah\x1ci\x1dj\x1ek",
         "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk\n"},
        {"record longer than the output block", "A=1\n" + big + "\nB=2\n", "A=1\n" + big + "\nB=2\n"},
    };
    TempDir dir;
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir / "case.oma";
        write_file(file, c.bytes);
        const tresult r = runcli("list " + quoted(file));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, c.expected);
    }
}

TEST(CliList, ManyRecordsAcrossOutputBlocksComeOutInOrder) {
    TempDir dir;
    std::string bytes;
    std::string expected;
    for (int i = 0; i < 30000; ++i) {
        const std::string record = "R=" + std::to_string(i) + ";" + std::string(i % 37, 'z');
        bytes.append(record).append(i % 2 ? "\r\n" : "\n");
        expected.append(record).push_back('\n');
    }
    write_file(dir / "many.oma", bytes);
    const tresult r = runcli("list " + quoted(dir / "many.oma") + " " + quoted(dir / "many.oma"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected + expected);
}

TEST(CliList, FileNamedLikeAnOptionAfterDoubleDash) {
    TempDir dir;
    write_file(dir / "-x.oma", "JOB=1\r\n");
    const tresult r = runcli("list -- " + quoted(dir / "-x.oma"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "JOB=1\n");
}

// ---- list: files that cannot be read ----

TEST(CliList, UnreadableFileIsReportedAndTheOthersStillListed) {
    TempDir dir;
    write_file(dir / "a.oma", "JOB=A\r\nDBL=18.00\r\n");
    write_file(dir / "b.oma", "JOB=B\r\n");
    write_file(dir / "plain", "x");
    fs::create_symlink(dir / "gone.oma", dir / "dangling.oma");

    struct tcase {
        const char* name;
        fs::path bad;
        const char* reason;
    };
    std::vector<tcase> cases = {
        {"missing file", dir / "missing.oma", "No such file or directory"},
        {"below a plain file", dir / "plain" / "x.oma", "Not a directory"},
        {"dangling link", dir / "dangling.oma", "No such file or directory"},
    };
    // A read that fails part-way is no file listed empty.
    if (const fs::path unreadable = testing::read_error_file(); !unreadable.empty()) {
        cases.push_back({"read error", unreadable, "Input/output error"});
    }
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        const tresult r = runcli("list " + quoted(dir / "a.oma") + " " + quoted(c.bad) + " " + quoted(dir / "b.oma"));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "JOB=A\nDBL=18.00\nJOB=B\n");
        EXPECT_EQ(r.err, "kestrune-cli: " + c.bad.string() + ": " + c.reason + "\n");
    }
}

TEST(CliList, EveryUnreadableFileGetsItsOwnLine) {
    TempDir dir;
    const tresult r = runcli("list " + quoted(dir / "one") + " " + quoted(dir / "two"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kestrune-cli: " + (dir / "one").string() + ": No such file or directory\n" +
                         "kestrune-cli: " + (dir / "two").string() + ": No such file or directory\n");
}

TEST(CliList, FilesWithoutPermissionAreReportedAsSuch) {
    // Permission bits bind an ordinary user only; as root the program runs
    // with an ordinary user's rights.
    const std::optional<std::string> user = testing::ordinaryuser();
    if (!user) GTEST_SKIP() << "cannot run the program as an ordinary user";
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);  // reachable for the ordinary user
    write_file(dir / "a.oma", "JOB=A\r\n");
    write_file(dir / "locked.oma", "JOB=1\r\n");
    fs::permissions(dir / "a.oma", fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(dir / "locked.oma", fs::perms::none);
    fs::create_directory(dir / "closed");
    write_file(dir / "closed" / "inside.oma", "JOB=2\r\n");
    fs::permissions(dir / "closed", fs::perms::none);

    if (runcliprocess("list " + quoted(dir / "a.oma"), *user).status != 0) {
        fs::permissions(dir / "closed", fs::perms::owner_all);
        GTEST_SKIP() << "the temporary folder is out of an ordinary user's reach";
    }
    const tresult r = runcliprocess("list " + quoted(dir / "locked.oma") + " " + quoted(dir / "closed" / "inside.oma") +
                                        " " + quoted(dir / "a.oma"),
                                    *user);
    fs::permissions(dir / "closed", fs::perms::owner_all);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "JOB=A\n");
    EXPECT_EQ(r.err, "kestrune-cli: " + (dir / "locked.oma").string() + ": Permission denied\n" +
                         "kestrune-cli: " + (dir / "closed" / "inside.oma").string() + ": Permission denied\n");
}

TEST(CliList, FailedWriteOfStandardOutputIsAnError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    write_file(dir / "a.oma", "JOB=1\r\n");
    // The program's own process, its output sent to a device that is always full.
    const tresult r = runcliprocess("list " + quoted(dir / "a.oma") + " >/dev/full");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: error writing standard output: No space left on device\n");
}

// ---- list: files written by other software ----

// Whether a file announces an outline in a notation other than ASCII; such a
// file is listed with its traces converted (convert_test.cpp checks those).
bool holdspackedoutline(const std::string& bytes) {
    for (const std::string& record : expectedrecords(bytes)) {
        if (record.rfind("TRCFMT=", 0) == 0 && record.find_first_not_of(' ', 7) != std::string::npos &&
            record[record.find_first_not_of(' ', 7)] != '1')
            return true;
    }
    return false;
}

TEST(CliListRealFiles, EveryFileListsExactlyItsRecords) {
    const fs::path folder = real_samples_dir();
    if (folder.empty()) GTEST_SKIP() << "no folder of real OMA files";
    std::vector<fs::path> files = regularfiles(folder);
    std::erase_if(files, [](const fs::path& file) { return holdspackedoutline(read_file(file)); });
    ASSERT_FALSE(files.empty());
    std::string arguments = "list";
    std::string expected;
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const tresult one = runcli("list " + quoted(file));
        EXPECT_EQ(one.status, 0);
        EXPECT_EQ(one.err, "");
        const std::string records = aslines(expectedrecords(read_file(file)));
        EXPECT_EQ(one.out, records);
        arguments.append(" ").append(quoted(file));
        expected.append(records);
    }
    // All at once: the listings follow one another in the order given.
    const tresult all = runcli(arguments);
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(all.out, expected);
}

// ---- list --explain ----

TEST(CliListExplain, KnownLabelsGetTheirMeaningOncePerRun) {
    TempDir dir;
    write_file(dir / "job.oma",
               "JOB=7\r\nHBOX=50.00;50.00\r\nhbox=1\r\nXYZ=2\r\nNOEQUALS\r\n_CALC=3\r\n"
               "TRCFMT=1;4;E;R;F\r\nR=2500;2500\r\nR=2500;2500\r\nTRCFMT=1;4;E;L;F\r\nR=2400;2400\r\nR=2400;2400\r\n");
    const tresult r = runcli("list --explain " + quoted(dir / "job.oma"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string trcfmt =
        "  # Trace format of one outline: notation; points; E equal or U uneven angles; eye R, L or B; "
        "F frame or P pattern\n";
    const std::string radii = "  # Radii of the traced outline, after its TRCFMT record (hundredths of a millimetre)\n";
    EXPECT_EQ(r.out,
              "JOB=7\n"
              "  # Job number\n"
              "HBOX=50.00;50.00\n"
              "  # Horizontal box size A: the width of the lens shape (millimetres; R;L: right eye, then left eye)\n"
              "hbox=1\n"    // labels are capitals: no meaning for lower case
              "XYZ=2\n"     // unknown: no line
              "NOEQUALS\n"  // no "=": no label
              "_CALC=3\n"
              "  # Private label of the program that wrote the file, outside the common set\n"
              "TRCFMT=1;4;E;R;F\n" +
                  trcfmt + "R=2500;2500\n" + radii + "R=2500;2500\n" + "TRCFMT=1;4;E;L;F\n" + trcfmt + "R=2400;2400\n" +
                  radii + "R=2400;2400\n");
}

// The explanations only add lines: the records around them are those of a
// plain listing, packed traces converted as always; each file starts a run
// of its own.
TEST(CliListExplain, RecordsStayThoseOfThePlainListing) {
    TempDir dir;
    write_file(dir / "a.oma", "DBL=18\r\nR=1;2\r\n");
    write_file(dir / "b.oma", "R=3;4\r\n");
    std::vector<fs::path> files = {dir / "a.oma", dir / "b.oma"};
    for (const fs::path& sample : regularfiles(project_samples_dir(), ".oma")) files.push_back(sample);
    if (const fs::path real = real_samples_dir(); !real.empty()) {
        for (const fs::path& sample : regularfiles(real, ".oma")) files.push_back(sample);
    }
    std::string arguments;
    for (const fs::path& file : files) arguments.append(" ").append(quoted(file));
    const tresult plain = runcli("list" + arguments);
    const tresult explained = runcli("list --explain" + arguments);
    EXPECT_EQ(explained.status, plain.status);
    EXPECT_EQ(explained.err, plain.err);
    std::string records, meanings;
    for (const std::string& line : outputlines(explained.out)) {
        (line.starts_with("  # ") ? meanings : records).append(line).push_back('\n');
    }
    // Packed traces keep the date and time of their conversion out of it.
    const auto withoutstamps = [](const std::string& text) {
        std::string kept;
        for (const std::string& line : outputlines(text)) {
            if (!line.starts_with("_ASASCII=")) kept.append(line).push_back('\n');
        }
        return kept;
    };
    EXPECT_EQ(withoutstamps(records), withoutstamps(plain.out));
    EXPECT_TRUE(explained.out.starts_with("DBL=18\n  # Distance between lenses"));
    const std::string radii = "R=1;2\n  # Radii";
    EXPECT_NE(explained.out.find(radii), std::string::npos);
    EXPECT_NE(explained.out.find("R=3;4\n  # Radii"), std::string::npos);  // b.oma's own first R
    EXPECT_FALSE(meanings.empty());
}

// ---- help, version and usage errors ----

TEST(CliUsage, HelpListsEveryCommandOnStandardOutput) {
    for (const char* arguments : {"--help", "-h", "help"}) {
        SCOPED_TRACE(arguments);
        const tresult r = runcli(arguments);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("Usage: kestrune-cli ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("\n  list FILE..."), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\n  help [COMMAND]"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("--version"), std::string::npos) << r.out;
    }
    EXPECT_EQ(runcli("--help").out, runcli("help").out);
}

TEST(CliUsage, CommandHelpShowsItsUsage) {
    for (const char* arguments : {"list --help", "list -h", "help list", "--help list"}) {
        SCOPED_TRACE(arguments);
        const tresult r = runcli(arguments);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out.rfind("Usage: kestrune-cli list FILE...\n", 0), 0u) << r.out;
    }
}

TEST(CliUsage, VersionNamesTheProgramAndItsVersion) {
    const tresult r = runcli("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "kestrune-cli " KESTRUNE_VERSION "\n");
}

TEST(CliUsage, MistakesGiveUsageOnStandardErrorAndStatusTwo) {
    struct tcase {
        const char* arguments;
        const char* message;
        const char* usage;  // the start of the usage text that follows
    };
    const tcase cases[] = {
        {"", "no command given", "Usage: kestrune-cli COMMAND"},
        {"frob", "unknown command 'frob'", "Usage: kestrune-cli COMMAND"},
        {"LIST x.oma", "unknown command 'LIST'", "Usage: kestrune-cli COMMAND"},
        {"--frob", "unknown option '--frob'", "Usage: kestrune-cli COMMAND"},
        {"-x list", "unknown option '-x'", "Usage: kestrune-cli COMMAND"},
        {"--version list", "--version takes no arguments", "Usage: kestrune-cli COMMAND"},
        {"list", "list: missing FILE...", "Usage: kestrune-cli list FILE..."},
        {"list --frob x.oma", "list: unknown option '--frob'", "Usage: kestrune-cli list FILE..."},
        {"list x.oma --help=yes", "list: option '--help' takes no value", "Usage: kestrune-cli list FILE..."},
        {"list -q x.oma", "list: unknown option '-q'", "Usage: kestrune-cli list FILE..."},
        {"help frob", "unknown command 'frob'", "Usage: kestrune-cli COMMAND"},
        {"help list list", "help: too many arguments", "Usage: kestrune-cli help [COMMAND]"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.arguments);
        const tresult r = runcli(c.arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        const std::string head = std::string("kestrune-cli: ") + c.message + "\n" + c.usage;
        EXPECT_EQ(r.err.rfind(head, 0), 0u) << r.err;
    }
}

}  // namespace
}  // namespace kestrune
