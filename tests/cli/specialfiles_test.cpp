// Named pipes, sockets and devices named as files: every command refuses
// them at once ("not a regular file", exit status 2) instead of waiting for a
// writer, and a folder search skips them and says so.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::quoted;
using testing::shell_quote;
using testing::TempDir;
using testing::write_file;

// Far above what a refusal takes, far below the limit the run is given.
constexpr double promptly = 5;

struct tresult {
    int status = -1;
    std::string out, err;
    double seconds = 0;
};

// Runs kestrune-cli as a process of its own with an argument text quoted for
// the shell, stopped after 10 seconds should it wait (status 124 then): a run
// in this process that waited for a writer could not be stopped.
tresult runwithtimeout(const std::string& arguments) {
    tresult r;
    const auto start = std::chrono::steady_clock::now();
    const testing::cliresult run = testing::runcliprocess(arguments, "LC_ALL=C timeout 10");
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.status = run.status;
    r.out = run.out;
    r.err = run.err;
    return r;
}

// A sound right-eye trace of 400 points.
std::string soundjob() {
    return fixtures::filetext(fixtures::concat({{"JOB=1"}, fixtures::trace('R', fixtures::circle(400, 2500))}));
}

// Every command that takes files, with the options it needs; what it writes
// goes below out (into folders when several files are to be written).
struct tcommand {
    const char* name;
    std::string options;
};

std::vector<tcommand> commands(const fs::path& out, bool several) {
    return {
        {"check", ""},
        {"list", ""},
        {"info", ""},
        {"info", "--json"},
        {"dump", ""},
        {"dump", "--eye L"},
        {"render", "--eye R -o " + quoted(out / (several ? "pictures" : "picture.png"))},
        {"convert", "-o " + quoted(out / (several ? "converted" : "converted.oma"))},
        {"show", shell_quote("LOCALFOLDER=" + (out / "w").string() + "/")},
    };
}

// What show prints for a file it cannot read, before its diagnostic.
std::string shownunreadable(const std::string& caption) {
    return "Caption: " + caption +
           "\nLabel: The file could not be read: not a regular file\nRecords: 0\n"
           "Right picture: none (0 points)\nLeft picture: none (0 points)\nDump: none\n";
}

// The files below folder (show makes its working folder, empty).
int filesbelow(const fs::path& folder) {
    int files = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        files += !it->is_directory();
    }
    return files;
}

class SpecialFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testing::make_fifo(dir / "pipe.oma"));
        fs::create_symlink(dir / "pipe.oma", dir / "link.oma");
        specials = {dir / "pipe.oma", dir / "link.oma", "/dev/null", "/dev/zero"};
        if (testing::make_socket(dir / "socket.oma")) specials.push_back(dir / "socket.oma");
    }

    TempDir dir;
    std::vector<fs::path> specials;
};

TEST_F(SpecialFiles, NamedAsAFileAreRefusedAtOnceByEveryCommand) {
    for (const fs::path& special : specials) {
        for (const tcommand& c : commands(dir / "out", false)) {
            SCOPED_TRACE(std::string(c.name) + " " + c.options + " " + special.string());
            const tresult r = runwithtimeout(std::string(c.name) + " " + c.options + " " + quoted(special));
            EXPECT_LT(r.seconds, promptly);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err, "kestrune-cli: " + special.string() + ": not a regular file\n");
            EXPECT_EQ(r.out, std::string(c.name) == "show" ? shownunreadable(special.filename().string()) : "");
            EXPECT_EQ(filesbelow(dir / "out"), 0) << "nothing is written for it";
        }
    }
}

TEST_F(SpecialFiles, NamedAmongOtherFilesAreCountedUnreadable) {
    write_file(dir / "a.oma", soundjob());
    const tresult r = runwithtimeout("check " + quoted(dir / "a.oma") + " " + quoted(dir / "pipe.oma"));
    EXPECT_LT(r.seconds, promptly);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, (dir / "a.oma").string() + ":  \nChecked 2 files: 1 sound, 0 with a fault, 1 unreadable\n");
    EXPECT_EQ(r.err, "kestrune-cli: " + (dir / "pipe.oma").string() + ": not a regular file\n");
}

// A folder search takes the sound file, skips every special file named
// *.oma with a line on standard error (in the order they are found), says
// nothing of one with another name, and the skips alone are no failure.
TEST_F(SpecialFiles, InAFolderAreSkippedAndReported) {
    const fs::path jobs = dir / "jobs";
    fs::create_directories(jobs / "sub");
    write_file(jobs / "a.oma", soundjob());
    ASSERT_TRUE(testing::make_fifo(jobs / "other.fifo"));
    ASSERT_TRUE(testing::make_fifo(jobs / "pipe.oma"));
    ASSERT_TRUE(testing::make_fifo(jobs / "sub" / "deep.OMA"));
    fs::create_symlink("/dev/null", jobs / "zlink.oma");
    std::string skipped;
    for (const char* name : {"pipe.oma", "socket.oma", "sub/deep.OMA", "zlink.oma"}) {
        if (std::string(name) == "socket.oma" && !testing::make_socket(jobs / name)) continue;
        skipped += "kestrune-cli: " + (jobs / name).string() + ": not a regular file; skipped\n";
    }
    for (const char* jobsoption : {"-j1", "-j2"}) {
        for (const tcommand& c : commands(dir / "out", true)) {
            SCOPED_TRACE(std::string(c.name) + " " + c.options + " " + jobsoption);
            fs::remove_all(dir / "out");
            const tresult r =
                runwithtimeout(std::string(c.name) + " " + c.options + " " + jobsoption + " " + quoted(jobs));
            EXPECT_LT(r.seconds, promptly);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, skipped);
            // The sound file alone was handled.
            const std::string name = c.name;
            if (name == "check") {
                EXPECT_EQ(r.out,
                          (jobs / "a.oma").string() + ":  \nChecked 1 file: 1 sound, 0 with a fault, 0 unreadable\n");
            } else if (name == "list") {
                EXPECT_EQ(r.out.find("JOB=1\n"), 0u) << r.out;
            } else {
                EXPECT_NE(r.out.find((jobs / "a.oma").string()), std::string::npos) << r.out;
            }
            EXPECT_EQ(r.out.find("pipe.oma"), std::string::npos) << r.out;
            if (name == "render" || name == "convert") {
                EXPECT_EQ(filesbelow(dir / "out"), 1);
            }
        }
    }
}

}  // namespace
}  // namespace kestrune
