// The two ways the tests run kestrune-cli give the same result: the program's
// dispatcher in this process and the built program through the shell, on the
// same argument text. A difference would mean that the tests run in process
// check something other than what the program does.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::quoted;
using testing::runcli;
using testing::runcliprocess;
using testing::shell_quote;
using testing::TempDir;

TEST(CliRunner, InProcessAndProcessGiveTheSameResult) {
    TempDir dir;
    const fs::path job =
        fixtures::writeoma(dir / "job.oma", fixtures::concat({{"JOB=1"},
                                                              fixtures::trace('R', fixtures::oval(40)),
                                                              fixtures::trace('L', fixtures::circle(40, 2400), true)}));
    fixtures::writeoma(dir / "faulty.oma", fixtures::trace('R', fixtures::circle(398, 2500), false, 400));
    std::vector<std::string> arguments = {
        "--version",
        "help list",
        "",
        "frob",
        "list --frob",
        "list " + quoted(job),
        "check " + quoted(job) + " " + quoted(dir / "faulty.oma"),
        "dump --eye L " + quoted(job),
        "info --json " + quoted(job),
        "render " + quoted(job) + " -e R -o " + quoted(dir / "job.png"),
        "convert " + quoted(job) + " -o " + quoted(job),
        "show " + quoted(job) + " " + shell_quote("LOCALFOLDER=" + (dir / "work").string() + "/"),
        "check " + quoted(dir.path()) + " -j2",
    };
    // Names the shell would act on unquoted, each word arriving whole.
    for (const std::string name : {"it's \"quoted\"", "line\nfeed", "$(echo no) `echo no` * ?", "back\\slash",
                                   "-leading dash", "~home #hash", "tab\there"}) {
        arguments.push_back("list -- " + quoted(dir / name) + " " + shell_quote(name));
    }
    // Other quoting a test may write by hand.
    arguments.push_back("list -- \"" + dir.path().string() + "/a \\\"b\" \"\" a\\ b\\'c\\\\ '' 'x'\"y\"z");
    // The records shown carry the time of the show: the two runs may fall
    // in different seconds.
    const auto unstamped = [](const std::string& text) {
        static const std::regex stamp("_ASASCII=QVT;[^\n]*");
        return std::regex_replace(text, stamp, "_ASASCII=QVT;STAMP");
    };
    for (const std::string& a : arguments) {
        SCOPED_TRACE(a);
        const testing::cliresult in = runcli(a);
        const testing::cliresult out = runcliprocess(a, "LC_ALL=C");
        EXPECT_EQ(in.status, out.status);
        EXPECT_EQ(unstamped(in.out), unstamped(out.out));
        EXPECT_EQ(in.err, out.err);
    }
}

TEST(CliRunner, TextTheShellWouldActOnIsRefusedInProcess) {
    for (const char* text : {"list a.oma >/dev/full", "list $HOME", "list *.oma", "list a.oma | cat", "list `x`",
                             "list 'unclosed", "list ~/a.oma"}) {
        SCOPED_TRACE(text);
        EXPECT_NONFATAL_FAILURE(runcli(text), "runcliprocess runs a command line through the shell");
    }
}

}  // namespace
}  // namespace kestrune
