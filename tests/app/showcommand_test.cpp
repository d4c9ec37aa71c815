// kestrune-cli show: the viewer's sequence from the command line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "kestrune/support/settings.hpp"
#include "clirunner.hpp"
#include "showfile.hpp"
#include "testsupport.hpp"

extern char** environ;

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::project_samples_dir;
using testing::read_file;
using testing::shell_quote;
using testing::TempDir;
using testing::write_file;

using tresult = testing::cliresult;

tresult show(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "show");
    return testing::runcliargs(arguments);
}

TEST(ShowCommand, PrintsWhatTheViewerShowsAndWritesTheSameFiles) {
    TempDir dir;
    const fs::path sample = project_samples_dir() / "ascii-two-eyes.oma";
    const std::string folder = (dir / "cli").string() + "/";
    const tresult r = show({sample.string(), "LOCALFOLDER=" + folder});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    // The same sequence run here, into another folder.
    setregionalsettings('.');
    fs::create_directories(dir / "lib");
    const tshowfileresult expected = showfilesequence(sample.string(), (dir / "lib").string() + "/");
    const std::string work = folder + "Quorvanta/";
    std::string text = "Caption: ascii-two-eyes.oma\nLabel: " + expected.labeltext + "\n";
    text += "Records: " + std::to_string(expected.lines.count()) + "\n";
    for (const std::string& line : expected.lines) text += line + "\n";
    text += "Right picture: " + work + "__TMP_OMA_ascii-two-eyesR.jpeg\n";
    text += "Left picture: " + work + "__TMP_OMA_ascii-two-eyesL.jpeg\n";
    text += "Dump: " + work + "ascii-two-eyes_OMAData.csv\n";
    EXPECT_EQ(r.out, text);

    EXPECT_EQ(read_file(work + "ascii-two-eyes_OMAData.csv"), read_file(expected.dumpfilename));
    EXPECT_EQ(read_file(work + "__TMP_OMA_ascii-two-eyesR.jpeg"), read_file(expected.right.filename));
    EXPECT_EQ(read_file(work + "__TMP_OMA_ascii-two-eyesL.jpeg"), read_file(expected.left.filename));
}

TEST(ShowCommand, SettingMayComeFirstAndHomeIsTheDefault) {
    TempDir dir;
    const fs::path job = dir / "job.oma";
    write_file(job, "JOB=1\r\nTRCFMT=1;10;E;R;F\r\nR=2500;2500;2500;2500;2500;2500;2500;2500;2500;2500\r\n");
    const tresult r = show({"localfolder=" + (dir / "w").string() + "/", job.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Right picture: none (10 points)\nLeft picture: none (0 points)\n"), std::string::npos)
        << r.out;
    EXPECT_TRUE(fs::exists(dir / "w/Quorvanta/job_OMAData.csv"));

    // Without LOCALFOLDER the documents folder of the (test's own) home is used.
    const tresult h = show({job.string()});
    ASSERT_EQ(h.status, 0) << h.err;
    const std::string home = std::getenv("HOME");
    EXPECT_NE(h.out.find("Dump: " + home + "/Documents/Quorvanta/job_OMAData.csv\n"), std::string::npos) << h.out;
}

TEST(ShowCommand, Failures) {
    TempDir dir;
    const std::string local = "LOCALFOLDER=" + (dir / "w").string() + "/";
    const tresult missing = show({(dir / "nope.oma").string(), local});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("Label: The file could not be read: No such file or directory\nRecords: 0\n"),
              std::string::npos)
        << missing.out;
    EXPECT_NE(missing.out.find("Dump: none\n"), std::string::npos);
    EXPECT_EQ(missing.err, "kestrune-cli: " + (dir / "nope.oma").string() + ": No such file or directory\n");

    // Several files are shown one after the other, each under its name.
    const tresult two = show({"a.oma", "b.oma", local});
    EXPECT_EQ(two.status, 2);
    EXPECT_EQ(two.out.rfind("File: a.oma\nCaption: a.oma\n", 0), 0u) << two.out;
    EXPECT_NE(two.out.find("\nFile: b.oma\nCaption: b.oma\n"), std::string::npos) << two.out;
    EXPECT_EQ(two.err,
              "kestrune-cli: a.oma: No such file or directory\nkestrune-cli: b.oma: No such file or directory\n");

    const tresult none = show({local});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err.rfind("kestrune-cli: show: missing FILE\n", 0), 0u) << none.err;

    // A working folder that cannot be written.
    write_file(dir / "plain", "x");
    const fs::path job = dir / "job.oma";
    write_file(job, "JOB=1\r\n");
    const tresult blocked = show({job.string(), "LOCALFOLDER=" + (dir / "plain").string() + "/"});
    EXPECT_EQ(blocked.status, 2);
    EXPECT_NE(blocked.err.find("job_OMAData.csv: Not a directory\n"), std::string::npos) << blocked.err;
}

// Writes that fail part-way (files may not grow beyond 1 kB) are reported
// with their reason; nothing half-written is left in the working folder.
TEST(ShowCommand, WritesFailingPartWayAreReportedWithTheirReason) {
    TempDir dir;
    const fs::path sample = project_samples_dir() / "ascii-two-eyes.oma";
    const std::string folder = (dir / "w").string() + "/";
    // The program's own process: the limit and its signal are the process's.
    const tresult r =
        testing::runcliprocess("show " + shell_quote(sample.string()) + " " + shell_quote("LOCALFOLDER=" + folder),
                               "ulimit -f 1 && trap '' XFSZ && exec");
    EXPECT_EQ(r.status, 2);
    const std::string work = folder + "Quorvanta/";
    EXPECT_NE(r.err.find(work + "ascii-two-eyes_OMAData.csv: File too large\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(work + "__TMP_OMA_ascii-two-eyesR.jpeg: File too large\n"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_empty(work));
}

// Shows of the same file at the same time (a script running them side by
// side, a user opening the file twice) never meet in the working folder:
// each writes its own temporary files, none fails, and what is left is the
// file's dump, whole, and its two pictures.
TEST(ShowCommand, ShowsOfTheSameFileAtOnceNeverFail) {
    TempDir dir;
    const fs::path sample = project_samples_dir() / "ascii-two-eyes.oma";
    const fs::path work = dir / "w/Quorvanta";
    const fs::path errors = dir / "errors.txt";
    std::string cli = testing::cli_path().string();
    std::string show = "show";
    std::string file = sample.string();
    std::string local = "LOCALFOLDER=" + (dir / "w").string() + "/";
    char* argv[] = {cli.data(), show.data(), file.data(), local.data(), nullptr};
    posix_spawn_file_actions_t actions;
    ASSERT_EQ(posix_spawn_file_actions_init(&actions), 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);

    constexpr int rounds = 25;
    constexpr int together = 3;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<pid_t> shows;
        for (int k = 0; k < together; ++k) {
            pid_t pid = 0;
            if (posix_spawn(&pid, cli.c_str(), &actions, nullptr, argv, environ) == 0) shows.push_back(pid);
        }
        failures += together - static_cast<int>(shows.size());
        for (const pid_t pid : shows) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(failures, 0) << read_file(errors);

    // The dump as kestrune-cli dump prints it, each line ended by CR LF.
    const tresult dumped = testing::runcliargs({"dump", sample.string()});
    ASSERT_EQ(dumped.status, 0);
    std::string expected;
    for (const char c : dumped.out) {
        if (c == '\n') expected += '\r';
        expected += c;
    }
    EXPECT_EQ(read_file(work / "ascii-two-eyes_OMAData.csv"), expected);
    EXPECT_EQ(testing::entries(work),
              (std::set<std::string>{"__TMP_OMA_ascii-two-eyesL.jpeg", "__TMP_OMA_ascii-two-eyesR.jpeg",
                                     "ascii-two-eyes_OMAData.csv"}));
}

// A named pipe under the dump's name is neither written into nor waited
// for: the show says so at once and writes the pictures all the same.
TEST(ShowCommand, DumpNamedByAPipeIsRefusedAtOnce) {
    TempDir dir;
    const fs::path sample = project_samples_dir() / "ascii-two-eyes.oma";
    const fs::path work = dir / "w/Quorvanta";
    fs::create_directories(work);
    ASSERT_TRUE(testing::make_fifo(work / "ascii-two-eyes_OMAData.csv"));
    // Should it wait after all, the time limit ends it instead of the test.
    const tresult r = testing::runcliprocess(
        "show " + shell_quote(sample.string()) + " " + shell_quote("LOCALFOLDER=" + (dir / "w").string() + "/"),
        "timeout 20");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kestrune-cli: " + (work / "ascii-two-eyes_OMAData.csv").string() +
                         ": not a regular file; not overwritten\n");
    EXPECT_NE(r.out.find("Dump: none\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::is_fifo(work / "ascii-two-eyes_OMAData.csv"));
    EXPECT_TRUE(fs::is_regular_file(work / "__TMP_OMA_ascii-two-eyesR.jpeg"));
}

}  // namespace
}  // namespace kestrune
