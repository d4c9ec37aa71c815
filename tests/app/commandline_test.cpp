// The viewer's command line and its help text, without a window.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "commandline.hpp"

namespace kestrune {
namespace {

TEST(ViewerCommandLine, OptionsSettingsAndFiles) {
    using strings = std::vector<std::string>;
    const struct {
        const char* name;
        strings arguments;
        bool help, version;
        strings files;
    } cases[] = {
        {"nothing", {}, false, false, {}},
        {"one file", {"job.oma"}, false, false, {"job.oma"}},
        {"settings are no files", {"LOCALFOLDER=/tmp/", "job.oma", "localfolder"}, false, false, {"job.oma"}},
        {"several files", {"a.oma", "b.oma"}, false, false, {"a.oma", "b.oma"}},
        {"help", {"--help"}, true, false, {}},
        {"short help", {"-h", "job.oma"}, true, false, {"job.oma"}},
        {"version", {"--version"}, false, true, {}},
        // Any other dash is part of a file name, so that every file opens.
        {"a name with a dash", {"-dash.oma", "--x"}, false, false, {"-dash.oma", "--x"}},
        {"after -- all are files", {"--", "--help", "--version"}, false, false, {"--help", "--version"}},
        {"an empty argument", {""}, false, false, {""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const tviewerarguments read = readviewerarguments(c.arguments);
        EXPECT_EQ(read.help, c.help);
        EXPECT_EQ(read.version, c.version);
        EXPECT_EQ(read.files, c.files);
    }
}

// The help is the source of the manual page: it names every option and
// every shortcut, in lines a terminal shows whole.
TEST(ViewerCommandLine, UsageNamesEveryOptionAndKey) {
    const std::string usage = viewerusage();
    for (const char* word : {"--help", "--version", "LOCALFOLDER=DIR", "KESTRUNE_SCREENSHOT", "Too many files."})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
    for (const auto& [key, meaning] : viewershortcuts()) {
        EXPECT_NE(usage.find("  " + key + " "), std::string::npos) << key;
        EXPECT_NE(usage.find(meaning), std::string::npos) << meaning;
    }
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(usage.back(), '\n');
    EXPECT_EQ(viewerversion().rfind("kestrune ", 0), 0u);
}

}  // namespace
}  // namespace kestrune
