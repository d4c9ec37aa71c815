// kestrune-cli over many files: folders searched for OMA files, --jobs,
// output in input order, the worst status, -o FOLDER for render and convert,
// and the progress bar on a terminal only.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using fixtures::circle;
using fixtures::concat;
using fixtures::filetext;
using fixtures::trace;
using testing::cli_path;
using testing::project_samples_dir;
using testing::read_file;
using testing::real_samples_dir;
using testing::runcli;
using testing::runcliprocess;
using testing::TempDir;
using testing::write_file;

using tresult = testing::cliresult;
using testing::quoted;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1) {
        out.push_back(text.substr(start, at - start));
    }
    EXPECT_EQ(start, text.size()) << "output does not end with a line feed";
    return out;
}

// A right-eye trace of points radii of radius hundredths; the format record
// declares declared points, so declaring more than there are is a fault.
std::string omatext(int points, int radius, int declared, const std::string& job = "1") {
    return filetext(concat({{"JOB=" + job}, trace('R', circle(points, radius), false, declared)}));
}

std::string sound(int radius = 2500, const std::string& job = "1") { return omatext(400, radius, 400, job); }
std::string faulty() { return omatext(398, 2500, 400); }

// The line one-file check prints for path, and its status.
std::pair<std::string, int> checkalone(const fs::path& path) {
    const tresult r = runcli("check " + quoted(path));
    return {r.out, r.status};
}

// A tree with files in mixed letter cases, files that are not OMA files,
// nested folders, a sound, a faulty and an unreadable file.
class CliBatchTree : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path root = dir_.path() / "jobs";
        fs::create_directories(root / "sub" / "deeper");
        fs::create_directories(root / "empty");
        fs::create_directories(root / "folder.oma");  // a folder, searched, not read as a file
        write_file(root / "b.oma", sound());
        write_file(root / "A.OMA", faulty());
        write_file(root / "c.Oma", sound(2600));
        write_file(root / "notes.txt", "not a job");
        write_file(root / "x.omax", sound());
        write_file(root / "oma", sound());
        write_file(root / "sub" / "d.oma", sound(2700));
        write_file(root / "sub" / "deeper" / "e.oMa", faulty());
        write_file(root / "folder.oma" / "f.oma", sound(2800));
        fs::create_symlink(root / "gone.oma", root / "sub" / "dangling.oma");
        root_ = root;
    }

    // The files the search must find, in its order: byte order within each
    // folder (capitals first), sub-folders where their names fall.
    std::vector<fs::path> expectedfiles() const {
        return {root_ / "A.OMA",
                root_ / "b.oma",
                root_ / "c.Oma",
                root_ / "folder.oma" / "f.oma",
                root_ / "sub" / "dangling.oma",
                root_ / "sub" / "d.oma",
                root_ / "sub" / "deeper" / "e.oMa"};
    }

    TempDir dir_;
    fs::path root_;
};

TEST_F(CliBatchTree, CheckFindsTheOmaFilesInOrderWithTheLabelsOfSingleChecks) {
    std::string expected;
    std::string expectederr;
    int counts[3] = {0, 0, 0};
    for (const fs::path& file : expectedfiles()) {
        const auto [line, status] = checkalone(file);
        ++counts[status];
        if (status == 2) {
            expectederr += "kestrune-cli: " + file.string() + ": No such file or directory\n";
        } else {
            expected += file.string() + ": " + line;
        }
    }
    ASSERT_EQ(counts[0], 4);
    ASSERT_EQ(counts[1], 2);
    ASSERT_EQ(counts[2], 1);
    expected += "Checked 7 files: 4 sound, 2 with a fault, 1 unreadable\n";
    for (const char* jobs : {"--jobs 1", "--jobs 2", "-j 5", ""}) {
        SCOPED_TRACE(jobs);
        const tresult r = runcli("check " + quoted(root_) + " " + jobs);
        EXPECT_EQ(r.status, 2);  // the worst: the unreadable file
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err, expectederr);
    }
}

TEST_F(CliBatchTree, ExitStatusIsTheWorstOfTheFiles) {
    const std::string good = quoted(root_ / "b.oma");
    const std::string bad = quoted(root_ / "A.OMA");
    const std::string missing = quoted(root_ / "missing.oma");
    struct tcase {
        std::string operands;
        int status;
    };
    const tcase cases[] = {
        {good + " " + good, 0},       {good + " " + bad, 1},
        {bad + " " + good, 1},        {missing + " " + bad + " " + good, 2},
        {good + " " + missing, 2},    {quoted(root_ / "sub" / "deeper"), 1},
        {quoted(root_ / "empty"), 0},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.operands);
        for (const char* jobs : {" -j1", " -j2"}) {
            EXPECT_EQ(runcli("check " + c.operands + jobs).status, c.status);
        }
    }
    EXPECT_EQ(runcli("check " + quoted(root_ / "empty")).out,
              "Checked 0 files: 0 sound, 0 with a fault, 0 unreadable\n");
    // Files named on their own are taken whatever their names.
    EXPECT_EQ(runcli("check " + quoted(root_ / "x.omax") + " " + quoted(root_ / "oma")).out,
              (root_ / "x.omax").string() + ":  \n" + (root_ / "oma").string() +
                  ":  \nChecked 2 files: 2 sound, 0 with a fault, 0 unreadable\n");
}

TEST_F(CliBatchTree, OtherCommandsLabelEachFileAndKeepTheOrder) {
    const std::vector<fs::path> files = expectedfiles();
    std::string list, dump, json, text;
    for (const fs::path& file : files) {
        list += runcli("list " + quoted(file)).out;
        const tresult d = runcli("dump " + quoted(file));
        if (d.status == 0) dump += "File: " + file.string() + "\n" + d.out;
        const tresult i = runcli("info " + quoted(file));
        // An empty line before each report but the first file's.
        if (i.status == 0) text += (file == files.front() ? "" : "\n") + i.out;
        json += runcli("info --json " + quoted(file)).out;
    }
    for (const char* jobs : {" -j1", " -j2"}) {
        SCOPED_TRACE(jobs);
        // list keeps the records of the files one after the other.
        EXPECT_EQ(runcli("list " + quoted(root_) + jobs).out, list);
        EXPECT_EQ(runcli("dump " + quoted(root_) + jobs).out, dump);
        EXPECT_EQ(runcli("info " + quoted(root_) + jobs).out, text);
        const tresult r = runcli("info --json " + quoted(root_) + jobs);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, json);
        // One object per line, each naming its file.
        std::vector<std::string> names;
        for (const std::string& line : lines(r.out)) names.push_back(nlohmann::json::parse(line)["file"]);
        EXPECT_EQ(names.size(), files.size() - 1);  // all but the unreadable one
    }
}

TEST(CliBatch, OrderIsKeptWhenFilesTakeVeryDifferentTimes) {
    TempDir dir;
    std::string expected;
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < 40; ++i) {
        // Every fifth file is far larger, so later small files finish first.
        const int points = i % 5 == 0 ? 20000 : 40;
        const fs::path file = dir / ("f" + std::to_string(100 + i) + ".oma");
        write_file(file, omatext(points, 2000 + i, i % 3 == 0 ? points + 1 : points, std::to_string(i)));
        const auto [line, status] = checkalone(file);
        expected += file.string() + ": " + line;
        ++counts[status];
    }
    ASSERT_GT(counts[1], 0);
    expected += "Checked 40 files: " + std::to_string(counts[0]) + " sound, " + std::to_string(counts[1]) +
                " with a fault, 0 unreadable\n";
    for (const char* jobs : {"1", "2", "4"}) {
        SCOPED_TRACE(jobs);
        const tresult r = runcli("check " + quoted(dir.path()) + " --jobs " + jobs);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, expected);
        EXPECT_EQ(r.err, "");  // no progress bar: standard error is not a terminal
    }
}

TEST(CliBatch, SameLabelsAsOneFileAtATimeOverTheSamples) {
    for (const fs::path& folder : {project_samples_dir(), real_samples_dir()}) {
        if (folder.empty()) continue;
        SCOPED_TRACE(folder.string());
        const tresult r = runcli("check " + quoted(folder) + " -j2");
        std::vector<std::string> got = lines(r.out);
        ASSERT_FALSE(got.empty());
        got.pop_back();  // the summary
        std::size_t checked = 0;
        int worst = 0;
        for (const std::string& line : got) {
            const std::size_t colon = line.find(": ");
            ASSERT_NE(colon, std::string::npos) << line;
            const auto [alone, status] = checkalone(line.substr(0, colon));
            EXPECT_EQ(line.substr(colon + 2) + "\n", alone) << line;
            worst = std::max(worst, status);
            ++checked;
        }
        EXPECT_GT(checked, 0u);
        EXPECT_EQ(r.status, worst);
    }
}

TEST(CliBatch, LinksThatLoopAreFollowedOnce) {
    TempDir dir;
    fs::create_directories(dir / "a" / "b");
    write_file(dir / "a" / "one.oma", sound());
    write_file(dir / "a" / "b" / "two.oma", sound());
    fs::create_directory_symlink(dir / "a", dir / "a" / "b" / "up");    // a loop
    fs::create_directory_symlink(dir / "a" / "b", dir / "a" / "also");  // the same folder again
    const tresult r = runcli("check " + quoted(dir / "a"));
    EXPECT_EQ(r.status, 0);
    // "also" comes first in byte order and stands for b; b itself is then skipped.
    EXPECT_EQ(r.out, (dir / "a" / "also" / "two.oma").string() + ":  \n" + (dir / "a" / "one.oma").string() +
                         ":  \nChecked 2 files: 2 sound, 0 with a fault, 0 unreadable\n");
}

TEST(CliBatch, UnreadableFoldersAndFilesAreReportedAndTheRestChecked) {
    // Permission bits bind an ordinary user only; as root the program runs
    // with an ordinary user's rights.
    const std::optional<std::string> user = testing::ordinaryuser();
    if (!user) GTEST_SKIP() << "cannot run the program as an ordinary user";
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const fs::path root = dir / "jobs";
    fs::create_directories(root / "closed");
    write_file(root / "a.oma", sound());
    write_file(root / "locked.oma", sound());
    write_file(root / "closed" / "inside.oma", sound());
    fs::permissions(root, fs::perms::all);
    fs::permissions(root / "a.oma", fs::perms::owner_all | fs::perms::others_read);
    fs::permissions(root / "locked.oma", fs::perms::none);
    fs::permissions(root / "closed", fs::perms::none);
    const tresult r = runcliprocess("check " + quoted(root) + " -j2", *user);
    fs::permissions(root / "closed", fs::perms::owner_all);
    if (r.out.find("a.oma") == std::string::npos)
        GTEST_SKIP() << "the temporary folder is out of an ordinary user's reach";
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, (root / "a.oma").string() + ":  \nChecked 2 files: 1 sound, 0 with a fault, 1 unreadable\n");
    EXPECT_EQ(r.err, "kestrune-cli: " + (root / "closed").string() + ": Permission denied\n" +
                         "kestrune-cli: " + (root / "locked.oma").string() + ": Permission denied\n");
}

// An output folder below a folder without search rights cannot even be
// looked at: each picture says why it was not written (the look itself used
// to end the run with a file-system exception).
TEST(CliBatch, RenderIntoAFolderThatCannotBeReachedSaysWhyForEachFile) {
    const std::optional<std::string> user = testing::ordinaryuser();
    if (!user) GTEST_SKIP() << "cannot run the program as an ordinary user";
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    const fs::path root = dir / "jobs";
    fs::create_directories(root / "closed" / "sub");
    write_file(root / "a.oma", sound());
    write_file(root / "b.oma", sound());
    fs::permissions(root, fs::perms::all);
    for (const char* name : {"a.oma", "b.oma"})
        fs::permissions(root / name, fs::perms::owner_all | fs::perms::others_read);
    fs::permissions(root / "closed", fs::perms::none);
    const fs::path out = root / "closed" / "sub" / "out";
    const tresult r = runcliprocess(
        "render " + quoted(root / "a.oma") + " " + quoted(root / "b.oma") + " --eye R -o " + quoted(out) + " -j1",
        *user);
    fs::permissions(root / "closed", fs::perms::owner_all);
    if (r.err.find((root / "a.oma").string() + ":") != std::string::npos)
        GTEST_SKIP() << "the temporary folder is out of an ordinary user's reach";
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: " + (out / "a_R.jpeg").string() + ": Permission denied\n" +
                         "kestrune-cli: " + (out / "b_R.jpeg").string() + ": Permission denied\n");
}

TEST(CliBatch, FailedStandardOutputIsReported) {
    TempDir dir;
    for (int i = 0; i < 30; ++i) write_file(dir / ("f" + std::to_string(i) + ".oma"), sound());
    // The program's own process, its output sent to a device that is always full.
    const tresult r = runcliprocess("check " + quoted(dir.path()) + " -j2 >/dev/full");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: error writing standard output: No space left on device\n");
}

// ---- render and convert into a folder ----

TEST(CliBatchOutput, ConvertWritesEachFileUnderItsOwnNameAndNumbersClashes) {
    TempDir dir;
    fs::create_directories(dir / "one" / "sub");
    fs::create_directories(dir / "two");
    write_file(dir / "one" / "job.oma", sound(2500, "A"));
    write_file(dir / "one" / "sub" / "job.oma", sound(2500, "B"));
    write_file(dir / "two" / "job.oma", sound(2500, "C"));
    write_file(dir / "two" / "job-2.oma", sound(2500, "D"));
    write_file(dir / "two" / "bad.oma", "TRCFMT=6;400;E;R;F\r\nR=AAAA\r\n");  // a notation that is not read
    const fs::path out = dir / "out";
    const std::map<std::string, fs::path> expected = {
        {"job.oma", dir / "one" / "job.oma"},
        {"sub/job.oma", dir / "one" / "sub" / "job.oma"},
        {"job-2.oma", dir / "two" / "job-2.oma"},
        {"job-3.oma", dir / "two" / "job.oma"},
    };
    for (const char* jobs : {"-j1", "-j2"}) {
        SCOPED_TRACE(jobs);
        fs::remove_all(out);
        const tresult r =
            runcli("convert " + quoted(dir / "one") + " " + quoted(dir / "two") + " -o " + quoted(out) + " " + jobs);
        EXPECT_EQ(r.status, 2);  // bad.oma fails, the others are written
        EXPECT_NE(r.err.find("kestrune-cli: convert: " + (dir / "two" / "bad.oma").string()), std::string::npos)
            << r.err;
        EXPECT_EQ(r.out, (dir / "one" / "job.oma").string() + " -> " + (out / "job.oma").string() + "\n" +
                             (dir / "one" / "sub" / "job.oma").string() + " -> " + (out / "sub" / "job.oma").string() +
                             "\n" + (dir / "two" / "job-2.oma").string() + " -> " + (out / "job-2.oma").string() +
                             "\n" + (dir / "two" / "job.oma").string() + " -> " + (out / "job-3.oma").string() + "\n");
        for (const auto& [name, input] : expected) {
            SCOPED_TRACE(name);
            const fs::path single = dir / "single.oma";
            ASSERT_EQ(runcli("convert " + quoted(input) + " -o " + quoted(single)).status, 0);
            // The record with the conversion's time may differ; the job
            // record tells which input it was.
            EXPECT_EQ(read_file(out / name).substr(0, 8), read_file(single).substr(0, 8));
        }
    }
    // Numbers follow the order of the inputs: two/job-2.oma comes before
    // two/job.oma and keeps its own name.
    EXPECT_EQ(read_file(out / "job-2.oma").substr(0, 8), "JOB=D\r\nT");
    EXPECT_EQ(read_file(out / "job-3.oma").substr(0, 8), "JOB=C\r\nT");
}

TEST(CliBatchOutput, InputsAreNeverOverwritten) {
    TempDir dir;
    write_file(dir / "a.oma", sound(2500, "A"));
    write_file(dir / "b.oma", sound(2500, "B"));
    const tresult r = runcli("convert " + quoted(dir.path()) + " -o " + quoted(dir.path()) + " -j2");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kestrune-cli: convert: " + (dir / "a.oma").string() + ": is the input file; not overwritten\n" +
                         "kestrune-cli: convert: " + (dir / "b.oma").string() +
                         ": is the input file; not overwritten\n");
    EXPECT_EQ(read_file(dir / "a.oma"), sound(2500, "A"));
    EXPECT_EQ(read_file(dir / "b.oma"), sound(2500, "B"));

    // An output that would be another input of the same run, not read yet,
    // is refused too: in/a.oma would go to a.oma, the run's next input.
    fs::create_directories(dir / "in");
    write_file(dir / "in" / "a.oma", sound(2500, "X"));
    const tresult other =
        runcli("convert " + quoted(dir / "in") + " " + quoted(dir / "a.oma") + " -o " + quoted(dir.path()) + " -j1");
    EXPECT_EQ(other.status, 2);
    EXPECT_EQ(other.err,
              "kestrune-cli: convert: " + (dir / "a.oma").string() + ": is an input file; not overwritten\n");
    EXPECT_EQ(read_file(dir / "a.oma"), sound(2500, "A"));
    EXPECT_EQ(read_file(dir / "a-2.oma").substr(0, 6), "JOB=A\r");
}

TEST(CliBatchOutput, RenderWritesOnePicturePerFileAndReportsFailures) {
    TempDir dir;
    fs::create_directories(dir / "x");
    write_file(dir / "job.oma", sound());
    write_file(dir / "x" / "job.oma", sound(2000));
    write_file(dir / "x" / "left.oma", "TRCFMT=1;40;E;L;F\r\nR=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500\r\n");
    const fs::path out = dir / "pics";
    const tresult r = runcli("render " + quoted(dir / "job.oma") + " " + quoted(dir / "x") +
                             " --eye R --format png -o " + quoted(out) + " -j2");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, (dir / "job.oma").string() + " -> " + (out / "job_R.png").string() + "\n" +
                         (dir / "x" / "job.oma").string() + " -> " + (out / "job-2_R.png").string() + "\n");
    EXPECT_EQ(r.err,
              "kestrune-cli: " + (dir / "x" / "left.oma").string() + ": no right-eye trace to draw (0 points)\n");
    // The same pictures as one file at a time.
    for (const auto& [input, picture] :
         {std::pair{dir / "job.oma", out / "job_R.png"}, std::pair{dir / "x" / "job.oma", out / "job-2_R.png"}}) {
        const fs::path single = dir / "single.png";
        ASSERT_EQ(runcli("render " + quoted(input) + " --eye R -o " + quoted(single)).status, 0);
        EXPECT_EQ(read_file(picture), read_file(single)) << picture;
    }
    EXPECT_FALSE(fs::exists(out / "left_R.png"));
}

// ---- progress ----

// Runs kestrune-cli on a pseudo-terminal (standard output and error both) and
// returns all it wrote there.
std::string runonterminal(const std::vector<std::string>& args, int& status) {
    std::vector<char*> argv;
    const std::string program = cli_path().string();
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    std::string text;
    if (pid < 0) return text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once the child has closed the terminal
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(master);
    ::waitpid(pid, &status, 0);
    return text;
}

TEST(CliBatch, ProgressBarOnATerminalIsErasedAtTheEnd) {
    TempDir dir;
    for (int i = 0; i < 20; ++i) write_file(dir / ("f" + std::to_string(i) + ".oma"), sound());
    int status = -1;
    const std::string text = runonterminal({"check", dir.path().string(), "-j2"}, status);
    if (text.empty()) GTEST_SKIP() << "no pseudo-terminal";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text.rfind("\r[------------------------------] 0/20 files", 0), 0u) << text;
    // Without the drawings of the bar and its erasures, what is left is the
    // output exactly as without a terminal: every line whole.
    const std::string bare = std::regex_replace(text, std::regex("\r\\[[#-]{30}\\] [0-9]+/20 files\r\x1b\\[K"), "");
    std::string expected = runcli("check " + quoted(dir.path())).out;
    expected = std::regex_replace(expected, std::regex("\n"), "\r\n");
    EXPECT_EQ(bare, expected);

    // A single file shows no bar.
    const std::string one = runonterminal({"check", (dir / "f1.oma").string()}, status);
    EXPECT_EQ(one, " \r\n");
}

}  // namespace
}  // namespace kestrune
