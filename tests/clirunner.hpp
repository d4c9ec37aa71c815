// Runs kestrune-cli for the tests. Most tests run it in this process, through
// the program's own command dispatcher: the same code as the program, many
// times faster than starting it. What only a process of its own shows runs
// the built program through the shell: signals and resource limits, another
// user's rights, the environment it starts with (locale variables), standard
// streams that are a full device or a terminal, and waiting that must be cut
// short from outside.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kestrune::testing {

// What one run of kestrune-cli gave.
struct cliresult {
    int status = -1;  // the exit status; 128 + N after signal N
    std::string out;
    std::string err;
};

// The kestrune-cli program built beside the tests.
std::filesystem::path cli_path();

// Runs kestrune-cli in this process on arguments quoted for the shell as
// quoted() and shell_quote() write them: words, blanks and quotes only. A text
// with anything else the shell would act on (redirections, variables,
// patterns) fails the test; such a run belongs to runcliprocess.
cliresult runcli(const std::string& arguments);

// Runs kestrune-cli in this process on the arguments as they stand, inside
// folder when one is given (the working folder is changed for the run).
// Like the program started from the test's environment under LC_ALL=C: the
// decimal mark is ".", standard output and error are captured apart, and
// status is what the program would exit with.
cliresult runcliargs(const std::vector<std::string>& arguments, const std::filesystem::path& folder = {});

// Runs the built program as a process, through the shell, in a subshell of
// its own: `( BEFORE PROGRAM ARGUMENTS )`. before holds what goes in front of
// the program (environment settings such as "LC_ALL=C", "ulimit -f 4 && trap
// '' XFSZ && exec", the prefix from ordinaryuser()); arguments are quoted for
// the shell and may hold redirections (">/dev/full").
cliresult runcliprocess(const std::string& arguments, const std::string& before = {});

// What to put in front of a program so that it runs with an ordinary user's
// rights, where permission bits apply: "" when the tests run as one already,
// a setpriv command as root; nullopt when that cannot be arranged.
std::optional<std::string> ordinaryuser();

}  // namespace kestrune::testing
