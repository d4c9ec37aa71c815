#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "kestrune/document/omafile.hpp"
#include "testsupport.hpp"

namespace kestrune {
namespace {

using kestrune::testing::read_file;
using kestrune::testing::real_samples_dir;
using kestrune::testing::TempDir;
using kestrune::testing::write_file;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
namespace fs = std::filesystem;

using Records = std::vector<std::string>;

// The records of a file split independently: pieces between separator bytes.
Records independent_split(const std::string& bytes) {
    static const std::string separators = "\x06\x0a\x0d\x11\x13\x15\x1a\x1c\x1d\x1e";
    Records records;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = std::min(bytes.find_first_of(separators, start), bytes.size());
        if (end > start) records.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return records;
}

// A document read from a file holding the given bytes, and split.
class OmaFile : public ::testing::Test {
protected:
    fs::path write(const std::string& bytes, const std::string& name = "job.oma") {
        const fs::path p = dir / name;
        write_file(p, bytes);
        return p;
    }
    // Reads and splits; the read must succeed.
    Records split(const std::string& bytes) {
        EXPECT_TRUE(doc.readomafile(write(bytes)));
        EXPECT_TRUE(doc.omastrtolist());
        return doc.omalist.items();
    }

    TempDir dir;
    tomafileobj doc;
};

// ---- splitting into records ----

struct SplitCase {
    const char* name;
    std::string bytes;
    Records records;
};

class Split : public OmaFile, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(Split, YieldsTheRecords) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(split(c.bytes), c.records);
    // The text is the bytes, unchanged (no "|" in these cases).
    EXPECT_EQ(doc.omastrasansi, c.bytes);
    EXPECT_EQ(doc.omastr, c.bytes);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Cases, Split,
    ::testing::Values(
        SplitCase{"EmptyFile", "", {}}, SplitCase{"OnlySeparators", "\r\n\r\n\x1e\x1c\x1d\n\x06\x11\x13\x15\x1a", {}},
        SplitCase{
            "CrLfWithEmptyLineNoFinalSeparator", "JOB=1\r\nDO=B\r\n\r\nDBL=17.00", {"JOB=1", "DO=B", "DBL=17.00"}},
        SplitCase{"LfOnly", "A=1\nB=2\n", {"A=1", "B=2"}}, SplitCase{"CrOnly", "A=1\rB=2\r", {"A=1", "B=2"}},
        SplitCase{"FsGsRsSeparate",
                  "A=1\x1c"
                  "B=2\x1d"
                  "C=3\x1e"
                  "D=4",
                  {"A=1", "B=2", "C=3", "D=4"}},
        SplitCase{"OtherControlSeparators",
                  "A\x06"
                  "B\x11"
                  "C\x13"
                  "D\x15"
                  "E\x1a"
                  "F",
                  {"A", "B", "C", "D", "E", "F"}},
        SplitCase{"LeadingSeparatorsSkipped", "\r\n\r\nA=1", {"A=1"}},
        SplitCase{"TabStaysInRecord", "A=1\t2\r\nB=\t", {"A=1\t2", "B=\t"}},
        SplitCase{"NulBytesAreContent",
                  "A=1\0"
                  "2\r\n\0\r\nB=\0"s,
                  {"A=1\0"
                   "2"s,
                   "\0"s, "B=\0"s}},
        SplitCase{"OtherControlsAreContent", "A=\x01\x07\x0b\x0c\x1b\x1f\x7f\r\n", {"A=\x01\x07\x0b\x0c\x1b\x1f\x7f"}},
        SplitCase{"BlanksAroundEqualsKept", " JOB = 5 \r\n", {" JOB = 5 "}},
        SplitCase{"HighBytesAreContent", "FRAM=\x80\xe9\xff\r\n", {"FRAM=\x80\xe9\xff"}},
        SplitCase{"OneRecordWithoutBar", "JOB=1", {"JOB=1"}},
        SplitCase{"BarNotSplitWhenTwoRecords", "A=1|B=2\r\nC=3", {"A=1|B=2", "C=3"}},
        SplitCase{"DuplicatesKeptInOrder", "R=1\r\nR=2\r\nR=1", {"R=1", "R=2", "R=1"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The records omareadtoeol reads one after another from text, the empty
// ones left out: what omastrtolist must give (for text without "|").
Records readonebyone(const std::string& text) {
    Records out;
    std::string record;
    for (std::size_t chptr = 1; chptr <= text.size();) {
        tomafileobj::omareadtoeol(text, chptr, record);
        if (!record.empty()) out.push_back(record);
    }
    return out;
}

TEST_F(OmaFile, RandomTextsSplitAsReadingRecordByRecord) {
    // Records long and short around the eight bytes the split skips at a
    // time, of content bytes below 32, at 32, above 127 and plain, between
    // runs of separators.
    const std::string separators = "\x06\n\r\x11\x13\x15\x1a\x1c\x1d\x1e";
    const std::string lowcontent = "\0\x01\x09\x0b\x1b\x1f "s;
    const std::string highcontent = "\x7f\x80\xa0\xdf\xe0\xff";
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int records = static_cast<int>(rng() % 30);
        for (int k = 0; k < records; ++k) {
            const int length = static_cast<int>(rng() % 40);
            for (int i = 0; i < length; ++i) {
                const unsigned kind = rng() % 10;
                text += kind == 0   ? lowcontent[rng() % lowcontent.size()]
                        : kind == 1 ? highcontent[rng() % highcontent.size()]
                                    : static_cast<char>('A' + rng() % 26);
            }
            const int seps = static_cast<int>(rng() % 4);
            for (int i = 0; i < seps; ++i) text += separators[rng() % separators.size()];
        }
        const Records expected = readonebyone(text);
        if (expected.size() == 1) continue;  // no "|" here, but keep clear of the one-record rule
        EXPECT_EQ(split(text), expected) << "round " << round;
    }
}

TEST_F(OmaFile, SplitIntoASortedListPlacesEachRecord) {
    doc.omalist.setsorted(true);
    EXPECT_EQ(split("C=3\r\nA=1\r\nB=2\r\nA=0\r\n"), (Records{"A=0", "A=1", "B=2", "C=3"}));
}

TEST_F(OmaFile, EachOfTheTenSeparatorsEndsARecordAndNoOtherByteDoes) {
    const std::string separators = "\x06\x0a\x0d\x11\x13\x15\x1a\x1c\x1d\x1e";
    for (int c = 0; c < 256; ++c) {
        const bool expected = separators.find(static_cast<char>(c)) != std::string::npos;
        EXPECT_EQ(isrecordseparator(static_cast<unsigned char>(c)), expected) << c;
    }
}

TEST_F(OmaFile, BarFallbackSplitsOneLineFileAndRewritesText) {
    EXPECT_THAT(split("JOB=1|TRCFMT=1;4;E;R;F|R=2500;2500;2500;2500"),
                ElementsAre("JOB=1", "TRCFMT=1;4;E;R;F", "R=2500;2500;2500;2500"));
    EXPECT_EQ(doc.omastr, "JOB=1\r\nTRCFMT=1;4;E;R;F\r\nR=2500;2500;2500;2500");
    EXPECT_EQ(doc.omastrasansi, "JOB=1|TRCFMT=1;4;E;R;F|R=2500;2500;2500;2500");
}

TEST_F(OmaFile, BarFallbackDropsEmptyPiecesAndAppliesWithTrailingLineEnd) {
    // One record followed by a line end is still one record.
    EXPECT_THAT(split("||A=1||B=2|\r\n"), ElementsAre("A=1", "B=2"));
    EXPECT_EQ(doc.omastr, "\r\n\r\nA=1\r\n\r\nB=2\r\n\r\n");
}

TEST_F(OmaFile, BarFallbackOnTextOfOnlyBarsGivesNoRecord) {
    EXPECT_THAT(split("|||"), ElementsAre());
    EXPECT_EQ(doc.omastr, "\r\n\r\n\r\n");
}

TEST_F(OmaFile, SplitReplacesThePreviousListAndRereadKeepsItUntilNextSplit) {
    split("A=1\r\nB=2");
    ASSERT_TRUE(doc.readomafile(write("C=3", "other.oma")));
    EXPECT_EQ(doc.omastr, "C=3");
    EXPECT_THAT(doc.omalist.items(), ElementsAre("A=1", "B=2"));
    doc.omastrtolist();
    EXPECT_THAT(doc.omalist.items(), ElementsAre("C=3"));
}

// ---- reading one record ----

struct ReadCase {
    std::string text;
    std::size_t from;
    std::string record;
    std::size_t next;
};

TEST(OmaReadToEol, ReadsFromPositionAndConsumesOneSeparator) {
    const ReadCase cases[] = {
        {"AB\r\nC", 1, "AB", 4},                          // CR consumed, LF left for the next call
        {"AB\r\nC", 4, "C", 6},                           // leading LF skipped; past the end afterwards
        {"AB\r\nC", 2, "B", 4},  {"\r\n\r\n", 1, "", 5},  // only separators: empty, position past the end
        {"AB", 3, "", 3},                                 // already past the end
        {"AB", 99, "", 99},                               // far past the end: nothing read, position kept
        {"AB\x1e", 1, "AB", 4},  {"AB", 0, "AB", 3},      // position 0 reads as position 1
    };
    for (const auto& c : cases) {
        std::size_t chptr = c.from;
        std::string record = "stale";
        tomafileobj::omareadtoeol(c.text, chptr, record);
        EXPECT_EQ(record, c.record) << c.text << " from " << c.from;
        EXPECT_EQ(chptr, c.next) << c.text << " from " << c.from;
    }
}

// ---- reading the file ----

TEST_F(OmaFile, EveryByteValueComesThroughUnchanged) {
    std::string bytes;
    for (int c = 0; c < 256; ++c) bytes.push_back(static_cast<char>(c));
    ASSERT_TRUE(doc.readomafile(write(bytes)));
    EXPECT_EQ(doc.omastrasansi, bytes);
    EXPECT_EQ(doc.omastr, bytes);
    EXPECT_EQ(doc.omadatafilename, (dir / "job.oma").string());
}

TEST_F(OmaFile, MissingFileGivesFalseAndLeavesTheDocumentAsItWas) {
    split("A=1");
    EXPECT_FALSE(doc.readomafile(dir / "missing.oma"));
    EXPECT_EQ(doc.omastr, "A=1");
    EXPECT_EQ(doc.omadatafilename, (dir / "job.oma").string());

    tomafileobj fresh;
    EXPECT_FALSE(fresh.readomafile(dir / "missing.oma"));
    EXPECT_TRUE(fresh.omastrtolist());
    EXPECT_EQ(fresh.omalist.count(), 0);
    EXPECT_EQ(fresh.omadatafilename, "");
    EXPECT_FALSE(fresh.readomafile(""));
}

TEST_F(OmaFile, FolderIsNotAReadableFile) {
    fs::create_directory(dir / "folder.oma");
    EXPECT_FALSE(doc.readomafile(dir / "folder.oma"));
    EXPECT_TRUE(doc.omastrtolist());
    EXPECT_EQ(doc.omalist.count(), 0);
    EXPECT_EQ(doc.omastr, "");

    fs::create_directory_symlink(dir / "folder.oma", dir / "link.oma");
    EXPECT_FALSE(doc.readomafile(dir / "link.oma"));
}

// ---- what is not a regular file, and why a read fails ----

// A named pipe, a socket or a device holds no file to read: the read refuses
// it at once (the open of a pipe without a writer would wait for one, and
// /dev/zero would never end), says why, and leaves the text as it was.
TEST_F(OmaFile, SpecialFilesAreRefusedAtOnceWithTheirReason) {
    const fs::path fifo = dir / "pipe.oma";
    ASSERT_TRUE(testing::make_fifo(fifo));
    fs::create_symlink(fifo, dir / "linktopipe.oma");
    std::vector<fs::path> specials = {fifo, dir / "linktopipe.oma", "/dev/null", "/dev/zero"};
    if (testing::make_socket(dir / "socket.oma")) specials.push_back(dir / "socket.oma");
    for (const fs::path& special : specials) {
        SCOPED_TRACE(special);
        split("A=1");
        bool read = true;
        EXPECT_TRUE(testing::finishes_in_time([&] { read = doc.readomafile(special); }, {fifo}));
        EXPECT_FALSE(read);
        EXPECT_EQ(doc.readfailure, "not a regular file");
        EXPECT_EQ(doc.readfailure, tomafileobj::kNotARegularFile);
        EXPECT_EQ(doc.omastr, "A=1");
        EXPECT_EQ(doc.omastrasansi, "A=1");
        EXPECT_EQ(doc.omadatafilename, special.string());  // it exists
    }
}

TEST_F(OmaFile, AFailedReadSaysWhyAndAGoodOneSaysNothing) {
    write_file(dir / "plain", "x");
    write_file(dir / "locked.oma", "A=1");
    fs::permissions(dir / "locked.oma", fs::perms::none);
    fs::create_directory(dir / "folder.oma");
    fs::create_symlink(dir / "nowhere.oma", dir / "dangling.oma");
    const struct {
        const char* name;
        fs::path path;
        std::string reason;
    } cases[] = {
        {"missing", dir / "missing.oma", "No such file or directory"},
        {"empty name", "", "No such file or directory"},
        {"below a plain file", dir / "plain" / "x.oma", "Not a directory"},
        {"dangling link", dir / "dangling.oma", "No such file or directory"},
        {"folder", dir / "folder.oma", "Is a directory"},
        {"no permission", dir / "locked.oma", "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.reason == "Permission denied" && ::geteuid() == 0) continue;  // root reads it
        split("A=1");
        EXPECT_EQ(doc.readfailure, "");
        EXPECT_FALSE(doc.readomafile(c.path));
        EXPECT_EQ(doc.readfailure, c.reason);
    }
    split("B=2");
    EXPECT_EQ(doc.readfailure, "") << "a good read clears the reason of the one before";
}

// A read that fails part-way is a failed read with its reason, not a file
// that happens to end there: nothing of what came before it is kept.
TEST_F(OmaFile, AReadErrorFailsWithItsReasonAndKeepsNoPartOfTheFile) {
    const fs::path unreadable = testing::read_error_file();
    if (unreadable.empty()) GTEST_SKIP() << "no file whose reading fails";
    split("A=1");
    EXPECT_FALSE(doc.readomafile(unreadable));
    EXPECT_EQ(doc.readfailure, "Input/output error");
    EXPECT_EQ(doc.omastr, "");
    EXPECT_EQ(doc.omastrasansi, "");
    EXPECT_EQ(doc.omadatafilename, unreadable.string());  // it exists
    split("B=2");
    EXPECT_EQ(doc.readfailure, "");
}

// A regular file whose size the system does not tell (a /proc file says 0)
// is read up to its end, the buffer growing past its first size on the way.
TEST_F(OmaFile, ReadsAFileWhoseSizeIsNotKnownInAdvance) {
    const fs::path smaps = "/proc/self/smaps";
    struct stat st {};
    if (::stat(smaps.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) {
        GTEST_SKIP() << "no /proc/self/smaps of unknown size";
    }
    // Pages of alternating protection are mappings of their own, some 1 kB
    // of smaps each: well past the first buffer of 64 kB.
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    constexpr std::size_t pages = 256;
    void* const area = ::mmap(nullptr, pages * page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(area, MAP_FAILED);
    for (std::size_t k = 0; k < pages; k += 2) ::mprotect(static_cast<char*>(area) + k * page, page, PROT_NONE);
    const bool ok = doc.readomafile(smaps);
    ::munmap(area, pages * page);
    ASSERT_TRUE(ok) << doc.readfailure;
    EXPECT_GT(doc.omastrasansi.size(), 128u * 1024);
    // Whole: it ends with the last line of the last mapping's entry.
    const std::string& text = doc.omastrasansi;
    ASSERT_EQ(text.back(), '\n');
    const std::size_t last = text.rfind('\n', text.size() - 2);
    EXPECT_EQ(text.compare(last + 1, 8, "VmFlags:"), 0) << text.substr(last + 1);
}

TEST_F(OmaFile, SymbolicLinksAreFollowed) {
    write("A=1\r\n", "target.oma");
    fs::create_symlink(dir / "target.oma", dir / "link.oma");
    ASSERT_TRUE(doc.readomafile(dir / "link.oma"));
    EXPECT_EQ(doc.omastr, "A=1\r\n");
    EXPECT_EQ(doc.omadatafilename, (dir / "link.oma").string());

    fs::create_symlink(dir / "nowhere.oma", dir / "dangling.oma");
    EXPECT_FALSE(doc.readomafile(dir / "dangling.oma"));
}

TEST_F(OmaFile, ReadingClearsTheLoadedFormatWhetherOrNotItSucceeds) {
    for (const bool exists : {true, false}) {
        doc.loadedtrcfmt.decodetrcfmtstr("1;400;E;R;F");
        doc.readomafile(exists ? write("A=1") : dir / "missing.oma");
        EXPECT_EQ(doc.loadedtrcfmt.trcfmtmode, ' ') << exists;
        EXPECT_EQ(doc.loadedtrcfmt.points, 0) << exists;
    }
}

// ---- large input ----

// Writes blocks copies of block to a file, without holding the whole file in
// memory.
fs::path write_repeated(const fs::path& p, const std::string& block, std::size_t blocks) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    for (std::size_t i = 0; i < blocks; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
    return p;
}

// A block of about a megabyte: the same record over and over, each followed
// by the given separator.
std::string record_block(const std::string& record, const std::string& separator, std::size_t& records) {
    records = 1024 * 1024 / (record.size() + separator.size());
    std::string block;
    block.reserve(records * (record.size() + separator.size()));
    for (std::size_t i = 0; i < records; ++i) block.append(record).append(separator);
    return block;
}

const std::string kTraceRecord = "R=2500;2501;2502;2503;2504;2505;2506;2507;2508;2509";

TEST_F(OmaFile, HundredMegabyteFileSplitsIntoAllItsRecords) {
    std::size_t perblock = 0;
    const std::string block = record_block(kTraceRecord, "\r\n", perblock);
    constexpr std::size_t kBlocks = 100;
    const fs::path p = write_repeated(dir / "big.oma", block, kBlocks);

    ASSERT_TRUE(doc.readomafile(p));
    EXPECT_EQ(doc.omastr.size(), kBlocks * block.size());
    EXPECT_EQ(doc.omastr.compare(0, block.size(), block), 0);
    doc.omastrtolist();
    ASSERT_EQ(static_cast<std::size_t>(doc.omalist.count()), kBlocks * perblock);
    EXPECT_EQ(doc.omalist[0], kTraceRecord);
    EXPECT_EQ(doc.omalist[doc.omalist.count() - 1], kTraceRecord);
}

TEST_F(OmaFile, LargeOneLineFileWithBarsSplitsAtTheBars) {
    std::size_t perblock = 0;
    const std::string block = record_block(kTraceRecord, "|", perblock);
    constexpr std::size_t kBlocks = 20;
    ASSERT_TRUE(doc.readomafile(write_repeated(dir / "bars.oma", block, kBlocks)));
    doc.omastrtolist();
    ASSERT_EQ(static_cast<std::size_t>(doc.omalist.count()), kBlocks * perblock);
    EXPECT_EQ(doc.omalist[doc.omalist.count() - 1], kTraceRecord);
    EXPECT_EQ(doc.omastr.size(), kBlocks * perblock * (kTraceRecord.size() + 2));
    EXPECT_EQ(doc.omastr.find('|'), std::string::npos);
}

TEST_F(OmaFile, RecordOfSeveralMegabytesStaysWhole) {
    std::string big = "R=";
    big.append(8 * 1024 * 1024, '7');
    EXPECT_THAT(split("JOB=1\r\n" + big + "\r\nDBL=17"), ElementsAre("JOB=1", big, "DBL=17"));
}

// ---- lookups ----

TEST_F(OmaFile, LookupsFindTheFirstMatchingRecordIgnoringCase) {
    split(
        "R=2500;2501\r\nr=1\r\nTRCFMT=1;400;E;R;F\r\nTRCFMT=1;400;E;L;F\r\n"
        "JOB = 7\r\nEMPTY=\r\nDBL=17.00 \r\nNOVALUE\r\n");
    const struct {
        const char* tag;
        const char* value;
        int index;
    } cases[] = {
        {"R", "2500;2501", 0}, {"r", "2500;2501", 0}, {"TRCFMT", "1;400;E;R;F", 2}, {"trcfmt", "1;400;E;R;F", 2},
        {"JOB", "", -1},       // a blank before "=" hides the record
        {"EMPTY", "", 5},      // an empty value looks like a missing tag
        {"DBL", "17.00 ", 6},  // untrimmed
        {"NOVALUE", "", -1},   // no "=", no value
        {"TRC", "", -1},       // a tag is matched whole
        {"MISSING", "", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc.findvalue(c.tag), c.value) << c.tag;
        EXPECT_EQ(doc.omalist.indexofname(c.tag), c.index) << c.tag;
    }
}

// ---- life cycle and writing back ----

TEST_F(OmaFile, InitAgainKeepsContentAndResetsValidity) {
    split("A=1");
    doc.errorslist.add("error");
    doc.lastvalidresult = 129;
    doc.init();
    EXPECT_EQ(doc.lastvalidresult, 0);
    EXPECT_EQ(doc.omalist.count(), 1);
    EXPECT_EQ(doc.errorslist.count(), 1);
    EXPECT_EQ(doc.omastr, "A=1");
}

TEST_F(OmaFile, ErrorsListIsSortedAndIgnoresDuplicatesOfAnyCase) {
    doc.errorslist.add("b error");
    doc.errorslist.add("A error");
    doc.errorslist.add("B ERROR");
    EXPECT_THAT(doc.errorslist.items(), ElementsAre("A error", "b error"));
}

TEST_F(OmaFile, ClearEmptiesRecordsAndTexts) {
    split("A=1|B=2");
    doc.omastrashex = "41";
    doc.omastrasbase64 = "QQ==";
    doc.omajpegfilename = "x.jpeg";
    doc.errorslist.add("kept");
    doc.clear();
    EXPECT_EQ(doc.omalist.count(), 0);
    for (const std::string* s : {&doc.omastr, &doc.omastrasansi, &doc.omastrashex, &doc.omastrasbase64,
                                 &doc.omadatafilename, &doc.omajpegfilename}) {
        EXPECT_EQ(*s, "");
    }
    EXPECT_EQ(doc.errorslist.count(), 1);
}

TEST_F(OmaFile, ListToTextEndsEveryRecordWithCrLf) {
    split(
        "A=1\nB=2\x1e"
        "C=3");
    doc.listtoomastr();
    EXPECT_EQ(doc.omastr, "A=1\r\nB=2\r\nC=3\r\n");
    doc.omalist.clear();
    doc.listtoomastr();
    EXPECT_EQ(doc.omastr, "");
}

// ---- files written by other software ----

TEST(OmaFileRealSamples, EverySampleReadsAndSplitsIntoItsRecords) {
    const fs::path samples = real_samples_dir();
    if (samples.empty()) GTEST_SKIP() << "no real samples";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".oma") continue;
        ++files;
        const std::string bytes = read_file(entry.path());
        tomafileobj doc;
        ASSERT_TRUE(doc.readomafile(entry.path())) << entry.path();
        EXPECT_EQ(doc.omastrasansi, bytes) << entry.path();
        doc.omastrtolist();
        const Records expected = independent_split(bytes);
        ASSERT_GT(expected.size(), 1u) << entry.path();
        EXPECT_EQ(doc.omalist.items(), expected) << entry.path();
        for (const auto& record : doc.omalist) {
            EXPECT_NE(record.find('='), std::string::npos) << entry.path() << ": " << record;
        }
        // Every sample carries a trace format that a lookup finds.
        EXPECT_NE(doc.findvalue("TRCFMT"), "") << entry.path();
    }
    if (files == 0) GTEST_SKIP() << "no .oma files among the real samples";
}

}  // namespace
}  // namespace kestrune
