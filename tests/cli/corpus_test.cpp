// Every command of kestrune-cli over the corpus of OMA files the tests make
// for themselves (fixtures/omacorpus): each file must pass through each
// command, be found sound, and a packed file must read exactly like its
// ASCII twin.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "clirunner.hpp"
#include "fixtures/omacorpus.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using fixtures::omacorpusfile;
using testing::cliresult;
using testing::read_file;
using testing::runcliargs;
using testing::TempDir;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1) {
        out.push_back(text.substr(start, at - start));
    }
    return out;
}

// The output of a command run on several files, cut into each file's part at
// the lines "File: PATH" that begin them; keyed by the file's name.
std::map<std::string, std::string> perfile(const std::string& output) {
    std::map<std::string, std::string> parts;
    std::string* current = nullptr;
    for (const std::string& line : lines(output)) {
        if (line.rfind("File: ", 0) == 0) {
            current = &parts[fs::path(line.substr(6)).filename().string()];
        } else if (current) {
            *current += line + "\n";
        }
    }
    return parts;
}

// What info --json says of each file, keyed by the file's name, without the
// file's name and the eyes' format texts (the only things twins differ in).
std::map<std::string, nlohmann::json> measures(const std::string& output) {
    std::map<std::string, nlohmann::json> out;
    for (const std::string& line : lines(output)) {
        nlohmann::json j = nlohmann::json::parse(line);
        const std::string name = fs::path(j["file"].get<std::string>()).filename().string();
        j.erase("file");
        j["right"].erase("format");
        j["left"].erase("format");
        out[name] = std::move(j);
    }
    return out;
}

// Where two texts part, for a message that stays short.
std::string firstdifference(const std::string& a, const std::string& b) {
    const std::vector<std::string> la = lines(a), lb = lines(b);
    for (std::size_t k = 0; k < std::max(la.size(), lb.size()); ++k) {
        const std::string x = k < la.size() ? la[k] : "(none)", y = k < lb.size() ? lb[k] : "(none)";
        if (x != y) return "line " + std::to_string(k + 1) + ": " + x + " | twin: " + y;
    }
    return "";
}

class Corpus : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        corpus_ = fixtures::writeomacorpus(folder());
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static fs::path folder() { return dir_->path() / "corpus"; }
    static fs::path output(const std::string& name) { return dir_->path() / name; }

    // The corpus's files of one eye, as arguments.
    static std::vector<std::string> fileswith(char eye) {
        std::vector<std::string> out;
        for (const omacorpusfile& f : corpus_) {
            if (eye == 'R' ? f.right : f.left) out.push_back((folder() / f.name).string());
        }
        return out;
    }

    static inline std::unique_ptr<TempDir> dir_;
    static inline std::vector<omacorpusfile> corpus_;
};

TEST_F(Corpus, CheckFindsEveryFileSound) {
    std::vector<std::string> names;
    for (const omacorpusfile& f : corpus_) names.push_back(f.name);
    std::sort(names.begin(), names.end());
    std::string expected;
    for (const std::string& name : names) expected += (folder() / name).string() + ":  \n";
    const std::string count = std::to_string(names.size());
    expected += "Checked " + count + " files: " + count + " sound, 0 with a fault, 0 unreadable\n";

    const cliresult r = runcliargs({"check", folder().string()});
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Corpus, EveryCommandGoesThroughEveryFile) {
    const std::string all = folder().string();
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"list", all}, {"dump", all}, {"dump", all, "--eye", "L"}, {"info", all}, {"info", "--json", all}}) {
        const cliresult r = runcliargs(arguments);
        EXPECT_EQ(r.status, 0) << arguments[0] << ": " << r.err;
        EXPECT_EQ(r.err, "") << arguments[0];
        EXPECT_FALSE(r.out.empty()) << arguments[0];
    }

    // Each eye drawn into a PNG picture, for the files that trace it.
    for (const char eye : {'R', 'L'}) {
        const std::string e(1, eye);
        const fs::path pictures = output("pictures" + e);
        const std::vector<std::string> files = fileswith(eye);
        std::vector<std::string> arguments = {"render"};
        arguments.insert(arguments.end(), files.begin(), files.end());
        arguments.insert(arguments.end(), {"--eye", e, "--format", "png", "-o", pictures.string()});
        const cliresult r = runcliargs(arguments);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (const std::string& file : files) {
            const fs::path picture = pictures / (fs::path(file).stem().string() + "_" + e + ".png");
            EXPECT_EQ(read_file(picture).substr(0, 4), "\x89PNG") << picture;
        }
    }

    // Every file converted; what it gives is measured in PackedFilesReadLikeTheirAsciiTwins.
    const cliresult converted = runcliargs({"convert", all, "-o", output("converted").string()});
    EXPECT_EQ(converted.status, 0) << converted.err;
    EXPECT_EQ(converted.err, "");
    for (const omacorpusfile& f : corpus_) EXPECT_TRUE(fs::is_regular_file(output("converted") / f.name)) << f.name;

    // The viewer's sequence on every file: a sound label, a dump, and a
    // picture of each traced eye.
    const std::string work = output("work").string() + "/";
    const cliresult shown = runcliargs({"show", all, "LOCALFOLDER=" + work});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.err, "");
    const std::map<std::string, std::string> parts = perfile(shown.out);
    EXPECT_EQ(parts.size(), corpus_.size());
    for (const omacorpusfile& f : corpus_) {
        const auto part = parts.find(f.name);
        ASSERT_NE(part, parts.end()) << f.name;
        const std::vector<std::string> shownlines = lines(part->second);
        const auto label = std::find_if(shownlines.begin(), shownlines.end(),
                                        [](const std::string& line) { return line.rfind("Label:", 0) == 0; });
        EXPECT_EQ(label == shownlines.end() ? "(no label)" : *label, "Label:  ") << f.name;
        const std::string stem = fs::path(f.name).stem().string();
        const fs::path quorvanta = fs::path(work + "Quorvanta");
        EXPECT_TRUE(fs::exists(quorvanta / (stem + "_OMAData.csv"))) << f.name;
        EXPECT_EQ(fs::exists(quorvanta / ("__TMP_OMA_" + stem + "R.jpeg")), f.right) << f.name;
        EXPECT_EQ(fs::exists(quorvanta / ("__TMP_OMA_" + stem + "L.jpeg")), f.left) << f.name;
    }
}

TEST_F(Corpus, PackedFilesReadLikeTheirAsciiTwins) {
    const std::string all = folder().string();
    const cliresult info = runcliargs({"info", "--json", all});
    const cliresult right = runcliargs({"dump", all});
    const cliresult left = runcliargs({"dump", all, "--eye", "L"});
    ASSERT_EQ(info.status, 0) << info.err;
    ASSERT_EQ(right.status, 0) << right.err;
    ASSERT_EQ(left.status, 0) << left.err;
    const std::map<std::string, nlohmann::json> measured = measures(info.out);
    const std::map<std::string, std::string> rightdumps = perfile(right.out), leftdumps = perfile(left.out);

    // The packed files once written as ASCII must still read like their twins.
    const cliresult conversion = runcliargs({"convert", all, "-o", output("ascii").string()});
    EXPECT_EQ(conversion.status, 0) << conversion.err;
    const cliresult convertedinfo = runcliargs({"info", "--json", output("ascii").string()});
    ASSERT_EQ(convertedinfo.status, 0) << convertedinfo.err;
    const std::map<std::string, nlohmann::json> converted = measures(convertedinfo.out);

    int twins = 0;
    for (const omacorpusfile& f : corpus_) {
        if (f.twin.empty()) continue;
        SCOPED_TRACE(f.name);
        ++twins;
        ASSERT_EQ(measured.count(f.name) + measured.count(f.twin), 2u);
        EXPECT_EQ(measured.at(f.name), measured.at(f.twin));
        const std::string &r = rightdumps.at(f.name), &rtwin = rightdumps.at(f.twin);
        EXPECT_TRUE(r == rtwin) << "right dump, " << firstdifference(r, rtwin);
        const std::string &l = leftdumps.at(f.name), &ltwin = leftdumps.at(f.twin);
        EXPECT_TRUE(l == ltwin) << "left dump, " << firstdifference(l, ltwin);
        const auto back = converted.find(f.name);
        if (back == converted.end()) {
            ADD_FAILURE() << "not converted";
        } else {
            EXPECT_EQ(back->second, measured.at(f.twin)) << "after convert";
        }
    }
    EXPECT_GT(twins, 0);
}

}  // namespace
}  // namespace kestrune
