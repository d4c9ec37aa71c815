// docs/cli.md shows the program's own usage. Each block between a line
// "<!-- usage: generated from kestrune-cli ARGUMENTS -->" and the line
// "<!-- end usage -->" must be exactly what "kestrune-cli ARGUMENTS" prints,
// in a fenced text block; scripts/update-cli-usage writes the blocks again
// from the built program. The page's own text describes every option the
// program has, and names no option it lacks.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "clirunner.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::cli_path;
using testing::quoted;
using testing::read_file;
using testing::run_command;
using testing::runcliargs;
using testing::TempDir;
using testing::write_file;

const std::string startmarker = "<!-- usage: generated from kestrune-cli ";
const std::string startend = " -->";
const std::string endmarker = "<!-- end usage -->";

fs::path clidoc() { return fs::path(KESTRUNE_SOURCE_DIR) / "docs" / "cli.md"; }
fs::path updatescript() { return fs::path(KESTRUNE_SOURCE_DIR) / "scripts" / "update-cli-usage"; }

std::string howtoupdate() {
    return "run scripts/update-cli-usage " + cli_path().string() + " to write the usage blocks again";
}

struct tusageblock {
    std::string marker;     // the whole start line
    std::string arguments;  // what follows "kestrune-cli" on it
    std::string body;       // the lines between the markers, each ended by a line feed
};

struct tgeneratedpage {
    std::vector<tusageblock> blocks;
    std::string prose;     // the lines outside the blocks and their markers
    bool complete = true;  // every block has its end marker
};

bool isstartmarker(const std::string& line) {
    return line.starts_with(startmarker) && line.ends_with(startend) &&
           line.size() > startmarker.size() + startend.size();
}

std::string markerarguments(const std::string& line) {
    return line.substr(startmarker.size(), line.size() - startmarker.size() - startend.size());
}

tgeneratedpage readpage(const std::string& page) {
    tgeneratedpage parsed;
    std::istringstream in(page);
    bool inblock = false;
    for (std::string line; std::getline(in, line);) {
        if (inblock) {
            if (line == endmarker) {
                inblock = false;
            } else {
                parsed.blocks.back().body.append(line).push_back('\n');
            }
        } else if (isstartmarker(line)) {
            parsed.blocks.push_back({line, markerarguments(line), {}});
            inblock = true;
        } else {
            parsed.prose.append(line).push_back('\n');
        }
    }
    parsed.complete = !inblock;
    return parsed;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> result;
    for (std::string word; in >> word;) result.push_back(word);
    return result;
}

// What the program prints for the arguments, as the page shows it.
std::string expectedbody(const std::string& arguments) {
    const testing::cliresult r = runcliargs(words(arguments));
    EXPECT_EQ(r.status, 0) << "kestrune-cli " << arguments << ": " << r.err;
    return "```text\n" + r.out + "```\n";
}

// The page with every block's body what the program prints.
std::string pageinstep(const std::string& page) {
    std::istringstream in(page);
    std::string result;
    bool inblock = false;
    for (std::string line; std::getline(in, line);) {
        if (inblock && line != endmarker) continue;
        result.append(line).push_back('\n');
        if (inblock) {
            inblock = false;
        } else if (isstartmarker(line)) {
            result += expectedbody(markerarguments(line));
            inblock = true;
        }
    }
    return result;
}

// The names of the commands the usage lists: the first word of each line
// under "Commands:".
std::vector<std::string> commandnames(const std::string& usage) {
    std::vector<std::string> names;
    std::istringstream in(usage);
    bool incommands = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "Commands:") {
            incommands = true;
        } else if (line.empty()) {
            incommands = false;
        } else if (incommands) {
            names.push_back(words(line).front());
        }
    }
    return names;
}

std::set<std::string> longoptions(const std::string& text) {
    static const std::regex option("--[a-z][a-z0-9-]*");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
        found.insert(it->str());
    }
    return found;
}

TEST(CliDocs, UsageBlocksAreWhatTheProgramPrints) {
    const tgeneratedpage page = readpage(read_file(clidoc()));
    EXPECT_TRUE(page.complete) << clidoc() << ": a usage block has no '" << endmarker << "' line";
    ASSERT_FALSE(page.blocks.empty()) << clidoc() << " has no usage block";
    for (const tusageblock& block : page.blocks) {
        SCOPED_TRACE(block.marker);
        EXPECT_EQ(block.body, expectedbody(block.arguments)) << clidoc() << ": this block is not what 'kestrune-cli "
                                                             << block.arguments << "' prints; " << howtoupdate();
    }
}

TEST(CliDocs, EveryCommandHasItsUsageBlock) {
    const tgeneratedpage page = readpage(read_file(clidoc()));
    std::set<std::string> documented;
    for (const tusageblock& block : page.blocks) documented.insert(block.arguments);
    EXPECT_TRUE(documented.contains("--help")) << clidoc() << " lacks the block of 'kestrune-cli --help'";
    const std::vector<std::string> commands = commandnames(runcliargs({"--help"}).out);
    ASSERT_FALSE(commands.empty());
    for (const std::string& command : commands) {
        if (command == "help") continue;  // its usage is the program's
        EXPECT_TRUE(documented.contains("help " + command))
            << clidoc() << " lacks a section with the line\n"
            << startmarker << "help " << command << startend << "\n"
            << endmarker << "\nfor the command " << command << "; " << howtoupdate();
    }
}

TEST(CliDocs, EveryOptionIsDescribedAndNoOtherIsNamed) {
    std::string usages = runcliargs({"--help"}).out;
    for (const std::string& command : commandnames(usages)) usages += runcliargs({"help", command}).out;
    const std::set<std::string> options = longoptions(usages);
    ASSERT_TRUE(options.contains("--jobs")) << usages;

    const tgeneratedpage page = readpage(read_file(clidoc()));
    const std::set<std::string> described = longoptions(page.prose);
    for (const std::string& option : options) {
        EXPECT_TRUE(described.contains(option))
            << clidoc() << " does not describe " << option << " outside its usage blocks";
    }
    for (const std::string& option : longoptions(read_file(clidoc()))) {
        EXPECT_TRUE(options.contains(option)) << clidoc() << " names " << option << ", which no command has";
    }
}

TEST(CliDocs, UpdateScriptWritesStaleBlocksAgainAndLeavesTheRest) {
    TempDir dir;
    const fs::path page = dir / "cli.md";
    const std::string original = "# Title\n\n" + startmarker + "--help" + startend + "\n" + endmarker +
                                 "\n\nText between.\n\n" + startmarker + "help list" + startend +
                                 "\n```text\nstale usage\n```\n" + endmarker + "\nLast line, no line feed";
    write_file(page, original);
    std::string out, err;
    const std::string command = quoted(updatescript()) + " " + quoted(cli_path()) + " " + quoted(page);
    ASSERT_EQ(run_command(command, &out, &err), 0) << err;
    EXPECT_EQ(read_file(page), pageinstep(original + "\n"));
    // Once in step, a second run changes nothing.
    ASSERT_EQ(run_command(command, &out, &err), 0) << err;
    EXPECT_EQ(read_file(page), pageinstep(original + "\n"));
}

TEST(CliDocs, UpdateScriptRefusesABlockWithoutItsEnd) {
    TempDir dir;
    const fs::path page = dir / "cli.md";
    const std::string original = "# Title\n" + startmarker + "--help" + startend + "\n```text\nold\n```\n";
    write_file(page, original);
    std::string out, err;
    EXPECT_EQ(run_command(quoted(updatescript()) + " " + quoted(cli_path()) + " " + quoted(page), &out, &err), 2);
    EXPECT_NE(err.find("no '" + endmarker + "' line"), std::string::npos) << err;
    EXPECT_EQ(read_file(page), original);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"cli.md"}) << "a temporary file was left behind";
}

}  // namespace
}  // namespace kestrune
