#include "clirunner.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <mutex>
#include <string_view>

#include "cli.hpp"
#include "kestrune/support/runtimeparameters.hpp"
#include "kestrune/support/messages.hpp"
#include "kestrune/support/settings.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune::testing {
namespace {

// The words of a command-line text as the shell splits them: blanks between
// words, '...' taken as it stands, "..." with \" and \\ inside, \ before one
// character outside quotes. False, with the reason, at anything the shell
// would act on.
bool shellwords(std::string_view text, std::vector<std::string>& words, std::string& problem) {
    constexpr std::string_view acted = "|&;<>()$`*?[";
    std::string word;
    bool inword = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inword) words.push_back(std::move(word));
            word.clear();
            inword = false;
        } else if (c == '\'') {
            const std::size_t end = text.find('\'', i + 1);
            if (end == std::string_view::npos) return problem = "an unclosed '", false;
            word.append(text.substr(i + 1, end - i - 1));
            inword = true;
            i = end;
        } else if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '$' || text[i] == '`') return problem = "a $ or ` inside \"...\"", false;
                if (text[i] == '\\' && i + 1 < text.size()) {
                    if (text[i + 1] == '\n') {  // a line continued: both go
                        ++i;
                        continue;
                    }
                    if (text[i + 1] == '"' || text[i + 1] == '\\') ++i;
                }
                word.push_back(text[i]);
            }
            if (i >= text.size()) return problem = "an unclosed \"", false;
            inword = true;
        } else if (c == '\\') {
            if (i + 1 >= text.size()) return problem = "a \\ at the end", false;
            if (text[++i] == '\n') continue;  // a line continued: both go
            word.push_back(text[i]);
            inword = true;
        } else if (acted.find(c) != std::string_view::npos || (!inword && (c == '#' || c == '~'))) {
            return problem = std::string("the character ") + c, false;
        } else {
            word.push_back(c);
            inword = true;
        }
    }
    if (inword) words.push_back(std::move(word));
    return true;
}

// Moves into a folder for one scope and back.
class inside {
public:
    explicit inside(const fs::path& folder) {
        if (folder.empty()) return;
        previous_ = fs::current_path();
        fs::current_path(folder);
    }
    ~inside() {
        std::error_code ignored;
        if (!previous_.empty()) fs::current_path(previous_, ignored);
    }
    inside(const inside&) = delete;
    inside& operator=(const inside&) = delete;

private:
    fs::path previous_;
};

// The core's messages go to standard error by themselves, where a capture
// does not see them; while one run lasts they are collected instead, so that
// a test cannot pass on output that lacks them.
class messagecatcher {
public:
    messagecatcher()
        : previous_(setmessagecallback([this](std::string_view kind, std::string_view message, std::string_view) {
              const std::lock_guard lock(mutex_);
              caught_.append(kind).append(": ").append(message).append("\n");
          })) {}
    ~messagecatcher() { setmessagecallback(previous_); }
    messagecatcher(const messagecatcher&) = delete;
    messagecatcher& operator=(const messagecatcher&) = delete;

    std::string caught() {
        const std::lock_guard lock(mutex_);
        return caught_;
    }

private:
    std::mutex mutex_;
    std::string caught_;
    tmessagecallback previous_;
};

}  // namespace

fs::path cli_path() {
    if (const char* env = std::getenv("KESTRUNE_CLI"); env && *env) return env;
    return fs::path(KESTRUNE_BINARY_DIR) / "bin" / "kestrune-cli";
}

cliresult runcli(const std::string& arguments) {
    std::vector<std::string> words;
    std::string problem;
    if (!shellwords(arguments, words, problem)) {
        ADD_FAILURE() << "runcli takes words and quotes only, not " << problem << ": " << arguments
                      << "\n(runcliprocess runs a command line through the shell)";
        return {};
    }
    return runcliargs(words);
}

cliresult runcliargs(const std::vector<std::string>& arguments, const fs::path& folder) {
    cliresult r;
    const inside infolder(folder);
    // What main sets from the environment once; LC_ALL=C gives ".".
    setregionalsettings('.');
    // show sets the command line's settings (LOCALFOLDER) for the process.
    const std::vector<std::string> parameters = runtimeparameters();
    messagecatcher messages;
    cli::tcapture capture;
    {
        cli::toutput out(capture);
        cli::tcontext ctx(out, capture);
        // As main: an exception that leaves a command is reported, status 2.
        try {
            r.status = cli::runcli(arguments, ctx);
        } catch (const std::exception& e) {
            ctx.error(e.what());
            r.status = cli::exitfailure;
        } catch (...) {
            ctx.error("unexpected error");
            r.status = cli::exitfailure;
        }
    }
    setruntimeparameters(parameters);
    for (const cli::tcapturedpiece& piece : capture) (piece.diagnostic ? r.err : r.out) += piece.bytes;
    if (const std::string caught = messages.caught(); !caught.empty()) {
        ADD_FAILURE() << "the core showed messages that the program prints on standard error:\n"
                      << caught << "(runcliprocess runs the program as a process)";
    }
    return r;
}

cliresult runcliprocess(const std::string& arguments, const std::string& before) {
    std::string line = "( ";
    if (!before.empty()) line += before + " ";
    line += shell_quote(cli_path().string()) + " " + arguments + " )";
    cliresult r;
    r.status = run_command(line, &r.out, &r.err);
    return r;
}

std::optional<std::string> ordinaryuser() {
    if (::geteuid() != 0) return std::string();
    const std::string setpriv = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    if (runcliprocess("--version", setpriv).status != 0) return std::nullopt;
    return setpriv;
}

}  // namespace kestrune::testing
