#include <gtest/gtest.h>

#include "kestrune/support/runtimeparameters.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace kestrune {
namespace {

namespace fs = std::filesystem;

TEST(RunTimeParameter, FindsTheNamedSettingAmongTheArguments) {
    const struct {
        std::vector<std::string> arguments;
        const char* id;
        bool found;
        const char* setting;
    } cases[] = {
        {{"job.oma", "localfolder=D:\\Data"}, "LOCALFOLDER", true, "D:\\Data"},
        {{"LOCALFOLDER"}, "LOCALFOLDER", true, ""},
        {{"LocalFolder=  /home/u/My Data  "}, "localfolder", true, "/home/u/My Data"},
        {{"LOCALFOLDER=a=b"}, "LOCALFOLDER", true, "a=b"},
        {{"LOCALFOLDER=first", "LOCALFOLDER=second"}, "LOCALFOLDER", true, "second"},
        {{"LOCALFOLDER=kept", "localfolder"}, "LOCALFOLDER", true, "kept"},
        {{"LOCALFOLDER=x"}, "LOCALFOLDER=", true, "x"},
        {{"LOCALFOLDERS=x", "LOCAL=x", "LOCALFOLDER =x", "xLOCALFOLDER=x"}, "LOCALFOLDER", false, ""},
        {{"job.oma"}, "LOCALFOLDER", false, ""},
        {{}, "LOCALFOLDER", false, ""},
    };
    const std::vector<std::string> saved = runtimeparameters();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? std::string("no arguments") : c.arguments.front());
        setruntimeparameters(c.arguments);
        std::string setting = "before";
        EXPECT_EQ(FindRunTimeParameter(c.id, setting), c.found);
        EXPECT_EQ(setting, c.setting);
    }
    setruntimeparameters(saved);
}

TEST(RunTimeParameter, ProcessArgumentsAreThisProgramsCommandLine) {
    const std::vector<std::string> argv = ::testing::internal::GetArgvs();
    ASSERT_FALSE(argv.empty());
    EXPECT_EQ(processarguments(), std::vector<std::string>(argv.begin() + 1, argv.end()));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramWithTrailingSlash) {
    const std::string folder = findexepath();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::exists(folder + "test_support"));
}

}  // namespace
}  // namespace kestrune
