// kestrune-cli with awkward file names: blanks, quotes, line feeds, "%",
// bytes that are not UTF-8 and leading dashes, as the input, the output and
// the names show derives from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "clirunner.hpp"
#include "fixtures/omafixtures.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::read_file;
using testing::runcliargs;
using testing::TempDir;
using testing::write_file;

using tresult = testing::cliresult;

// Names of one file each, the extension after them.
const std::vector<std::string>& awkwardnames() {
    static const std::vector<std::string> names = {
        "with blanks  in it",
        "it's \"quoted\"",
        "line\nfeed",
        "100%d %s %n%%",
        std::string("caf\xe9 \xff\xfe"),
        "-leading dash",
        "--long-option-like",
        "back\\slash",
        "$(echo no) `echo no` *",
    };
    return names;
}

// An ASCII trace of both eyes with enough points for pictures.
std::string jobtext() {
    fixtures::radii r;
    for (int k = 0; k < 40; ++k) r.push_back(2400 + (k % 5) * 20);
    return fixtures::filetext(fixtures::concat({{"JOB=77"}, fixtures::trace('R', r), fixtures::trace('L', r)}));
}

std::vector<std::string> namesin(const fs::path& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST(CliFileNames, ListAndConvertTakeAnyName) {
    for (const std::string& stem : awkwardnames()) {
        SCOPED_TRACE(stem);
        TempDir dir;
        const std::string input = stem + ".oma";
        const std::string output = stem + " out.oma";
        write_file(dir / input, jobtext());

        // Named relative to the folder, after "--" so that a leading dash
        // does not read as an option.
        const tresult listed = runcliargs({"list", "--", input}, dir.path());
        EXPECT_EQ(listed.status, 0) << listed.err;
        EXPECT_EQ(listed.out.rfind("JOB=77\n", 0), 0u);

        const tresult converted = runcliargs({"convert", "-o", output, "--", input}, dir.path());
        EXPECT_EQ(converted.status, 0) << converted.err;
        EXPECT_EQ(read_file(dir / output).rfind("JOB=77\r\n", 0), 0u);

        // Named by the whole path too.
        const tresult whole = runcliargs({"list", (dir / input).string()}, dir.path());
        EXPECT_EQ(whole.status, 0) << whole.err;
        EXPECT_EQ(whole.out, listed.out);
        EXPECT_EQ(namesin(dir.path()), sorted({input, output}));
    }
}

// check, dump, info and render read any name, given after "--" or as a
// whole path; info's JSON stays valid UTF-8 whatever bytes the name holds.
TEST(CliFileNames, CheckDumpInfoAndRenderTakeAnyName) {
    for (const std::string& stem : awkwardnames()) {
        SCOPED_TRACE(stem);
        TempDir dir;
        const std::string input = stem + ".oma";
        const std::string picture = stem + ".png";
        write_file(dir / input, jobtext());
        for (const std::string& name : {input, (dir / input).string()}) {
            const tresult check = runcliargs({"check", "--", name}, dir.path());
            EXPECT_EQ(check.status, 0) << check.err;

            const tresult dump = runcliargs({"dump", "--", name}, dir.path());
            EXPECT_EQ(dump.status, 0) << dump.err;
            // A header line, then one line per point.
            EXPECT_EQ(std::count(dump.out.begin(), dump.out.end(), '\n'), 41) << dump.out;

            const tresult info = runcliargs({"info", "--json", "--", name}, dir.path());
            ASSERT_EQ(info.status, 0) << info.err;
            const nlohmann::json j = nlohmann::json::parse(info.out, nullptr, false);
            ASSERT_FALSE(j.is_discarded()) << info.out;
            EXPECT_EQ(j["right"]["points"], 40);
        }
        const tresult rendered = runcliargs({"render", "--eye", "R", "-o", picture, "--", input}, dir.path());
        EXPECT_EQ(rendered.status, 0) << rendered.err;
        EXPECT_EQ(read_file(dir / picture).rfind("\x89PNG", 0), 0u);
        EXPECT_EQ(namesin(dir.path()), sorted({input, picture}));
    }
}

// A missing file is reported under its own name, bytes as given.
TEST(CliFileNames, MissingFilesAreReportedUnderTheirOwnName) {
    TempDir dir;
    for (const std::string& stem : awkwardnames()) {
        SCOPED_TRACE(stem);
        const std::string input = stem + ".oma";
        const tresult r = runcliargs({"list", "--", input}, dir.path());
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "kestrune-cli: " + input + ": No such file or directory\n");
    }
}

// Without "--" a name with a leading dash is an option, and an unknown one.
TEST(CliFileNames, LeadingDashWithoutDoubleDashIsAnOption) {
    TempDir dir;
    write_file(dir / "-file.oma", "JOB=1\r\n");
    const tresult r = runcliargs({"list", "-file.oma"}, dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("kestrune-cli: list: unknown option '-file.oma'\n", 0), 0u) << r.err;
    const tresult after = runcliargs({"list", "--", "-file.oma"}, dir.path());
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.out, "JOB=1\n");
    // "-" alone is a name, not an option.
    write_file(dir / "-", "JOB=2\r\n");
    const tresult dash = runcliargs({"list", "-"}, dir.path());
    EXPECT_EQ(dash.status, 0) << dash.err;
    EXPECT_EQ(dash.out, "JOB=2\n");
}

// show writes the dump and the pictures under names made from the file's
// name, inside the working folder whatever the name holds.
TEST(CliFileNames, ShowWritesItsFilesInsideTheWorkingFolder) {
    for (const std::string& stem : awkwardnames()) {
        SCOPED_TRACE(stem);
        TempDir dir;
        const std::string input = stem + ".oma";
        write_file(dir / input, jobtext());
        const std::string base = (dir / "base").string() + "/";
        const tresult r = runcliargs({"show", "--", input, "LOCALFOLDER=" + base}, dir.path());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind("Caption: " + input + "\n", 0), 0u) << r.out;
        // A "\" separates folders in a name the viewer is given; only what
        // follows the last one names the files.
        const std::string source = stem.substr(stem.rfind('\\') == std::string::npos ? 0 : stem.rfind('\\') + 1);
        EXPECT_EQ(namesin(base + "Quorvanta"), sorted({"__TMP_OMA_" + source + "L.jpeg",
                                                       "__TMP_OMA_" + source + "R.jpeg", source + "_OMAData.csv"}));
        EXPECT_EQ(namesin(dir.path()), sorted({"base", input}));
    }
}

}  // namespace
}  // namespace kestrune
