// The working folder's precedence rules, LOCALFOLDER, the fallback folder and
// the clean-up of old pictures.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kestrune/support/runtimeparameters.hpp"
#include "homesandbox.hpp"
#include "testsupport.hpp"
#include "workingfolder.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::envsetting;
using testing::homesandbox;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

// A home folder of its own, a shared documents folder of its own, and no
// command-line settings.
class WorkingFolderTest : public ::testing::Test {
protected:
    TempDir dir;
    homesandbox sandbox{dir.path()};
    fs::path home = sandbox.home();
    fs::path shared = sandbox.shared();

    void SetUp() override { setruntimeparameters({}); }
    void TearDown() override { setruntimeparameters({}); }
};

TEST_F(WorkingFolderTest, DocumentsFolderFromUserDirs) {
    struct tcase {
        const char* name;
        std::optional<std::string> userdirs;  // nullopt: no user-dirs.dirs
        std::string expected;                 // "~" stands for the home folder
    };
    const std::vector<tcase> cases = {
        {"no user-dirs.dirs", std::nullopt, "~/Documents"},
        {"below home", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "~/Dokumente"},
        {"absolute, trailing slash dropped", "XDG_DOCUMENTS_DIR=\"/srv/docs/\"\n", "/srv/docs"},
        {"comments and other folders",
         "# XDG_DOCUMENTS_DIR=\"/no\"\nXDG_MUSIC_DIR=\"$HOME/M\"\n"
         "  XDG_DOCUMENTS_DIR=\"$HOME/My Docs\"\n",
         "~/My Docs"},
        {"shell escapes undone", "XDG_DOCUMENTS_DIR=\"$HOME/a\\\"b\"\n", "~/a\"b"},
        {"relative value ignored", "XDG_DOCUMENTS_DIR=\"Docs\"\n", "~/Documents"},
        {"unquoted value ignored", "XDG_DOCUMENTS_DIR=$HOME/X\n", "~/Documents"},
        {"$HOMEX is not the home folder", "XDG_DOCUMENTS_DIR=\"$HOMEX\"\n", "~/Documents"},
        {"CR LF lines", "XDG_DOCUMENTS_DIR=\"$HOME/W\"\r\n", "~/W"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(home / ".config/user-dirs.dirs");
        if (c.userdirs) write_file(home / ".config/user-dirs.dirs", *c.userdirs);
        std::string expected = c.expected;
        if (expected.front() == '~') expected = home.string() + expected.substr(1);
        EXPECT_EQ(GetSpecialsPath(CSIDL_PERSONAL), expected);
    }
    EXPECT_EQ(GetSpecialsPath(CSIDL_COMMON_DOCUMENTS), shared.string());
    EXPECT_EQ(GetSpecialsPath(7), "");
}

// The viewer and `kestrune-cli show` look at user-dirs.dirs for every file
// they show: a named pipe there must not make them wait.
TEST_F(WorkingFolderTest, UserDirsThatIsANamedPipeCountsAsMissing) {
    const fs::path userdirs = home / ".config/user-dirs.dirs";
    ASSERT_TRUE(testing::make_fifo(userdirs));
    std::string documents;
    EXPECT_TRUE(testing::finishes_in_time([&] { documents = GetSpecialsPath(CSIDL_PERSONAL); }, {userdirs}));
    EXPECT_EQ(documents, (home / "Documents").string());
}

TEST_F(WorkingFolderTest, UserFolderWinsUnlessOnlyTheSharedOneExists) {
    const fs::path mine = home / "Documents" / ProjectName;
    const fs::path theirs = shared / ProjectName;
    struct tcase {
        const char* name;
        bool myexists;
        bool sharedexists;
        fs::path expected;
    };
    const std::vector<tcase> cases = {
        {"neither exists: the user's is created", false, false, mine},
        {"only the shared one exists: it is used", false, true, theirs},
        {"only the user's exists", true, false, mine},
        {"both exist: the user's wins", true, true, mine},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(home / "Documents");
        fs::remove_all(shared);
        if (c.myexists) fs::create_directories(mine);
        if (c.sharedexists) fs::create_directories(theirs);
        EXPECT_EQ(MyDocumentsPath(), c.expected.string() + "/");
        EXPECT_TRUE(fs::is_directory(c.expected));
        // Using the shared folder creates nothing under the user's documents.
        if (c.expected == theirs) {
            EXPECT_FALSE(fs::exists(home / "Documents"));
        }
    }
}

TEST_F(WorkingFolderTest, LocalFolderIsAPrefixUsedAsTyped) {
    const std::string base = (dir / "data").string();
    struct tcase {
        const char* name;
        std::vector<std::string> arguments;
        std::string expected;
    };
    const std::vector<tcase> cases = {
        {"with a final slash", {"LOCALFOLDER=" + base + "/"}, base + "/Quorvanta/"},
        {"without one the name is appended directly", {"LOCALFOLDER=" + base}, base + "Quorvanta/"},
        {"name without regard to case, value trimmed",
         {"job.oma", "localfolder=  " + base + "/  "},
         base + "/Quorvanta/"},
        {"the last one counts",
         {"LOCALFOLDER=" + base + "/one/", "LOCALFOLDER=" + base + "/two/"},
         base + "/two/Quorvanta/"},
        {"missing parents are created", {"LOCALFOLDER=" + base + "/deep/er/"}, base + "/deep/er/Quorvanta/"},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        setruntimeparameters(c.arguments);
        EXPECT_EQ(MyDocumentsPath(), c.expected);
        EXPECT_TRUE(fs::is_directory(c.expected));
    }
    EXPECT_FALSE(fs::exists(home / "Documents")) << "LOCALFOLDER must keep the documents folder untouched";
}

TEST_F(WorkingFolderTest, FolderThatCannotBeCreatedIsStillReturned) {
    write_file(dir / "file", "x");
    setruntimeparameters({"LOCALFOLDER=" + (dir / "file").string() + "/"});
    EXPECT_EQ(MyDocumentsPath(), (dir / "file").string() + "/Quorvanta/");
}

TEST_F(WorkingFolderTest, NoHomeFolderGivesTheFallback) {
    envsetting nohome("HOME", std::nullopt);
    envsetting noconfig("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(GetSpecialsPath(CSIDL_PERSONAL), "");
    EXPECT_EQ(MyDocumentsPath(), win32findfilesfolder());
    // The shared product folder still counts when it exists.
    fs::create_directories(shared / ProjectName);
    EXPECT_EQ(MyDocumentsPath(), (shared / ProjectName).string() + "/");
}

TEST_F(WorkingFolderTest, FallbackFolderBesideTheProgram) {
    const fs::path program = dir / "prog";
    const fs::path files = program / "files";
    const fs::path elsewhere = dir / "elsewhere";
    fs::create_directories(elsewhere);

    // No "files" folder: its path all the same, nothing created.
    EXPECT_EQ(win32findfilesfolderin(program.string()), files.string() + "/");
    EXPECT_FALSE(fs::exists(files));

    fs::create_directories(files);
    EXPECT_EQ(win32findfilesfolderin(program.string() + "/"), files.string() + "/");

    struct tcase {
        const char* name;
        std::string description;
        std::string expected;
        std::string forward;
    };
    const std::vector<tcase> cases = {
        {"first line names a folder", elsewhere.string() + "\r\n", elsewhere.string() + "/", ""},
        {"first line names a missing folder", (dir / "gone").string() + "\n", files.string() + "/", ""},
        {"second line Forward=", elsewhere.string() + "\nForward= https://example.invalid/in \n",
         elsewhere.string() + "/", "https://example.invalid/in"},
        {"empty file", "", files.string() + "/", ""},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(files / "filesdir.txt", c.description);
        EXPECT_EQ(win32findfilesfolderin(program.string()), c.expected);
        if (!c.forward.empty()) {
            EXPECT_EQ(forwardingsite(), c.forward);
        }
    }
    // The process-wide fallback is worked out once and then kept.
    const std::string first = win32findfilesfolder();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first.back(), '/');
    EXPECT_EQ(win32findfilesfolder(), first);
}

TEST_F(WorkingFolderTest, TemporaryFolder) {
    envsetting tmp("TMPDIR", (dir / "t").string());
    EXPECT_EQ(TempPath(), (dir / "t").string() + "/");
    EXPECT_EQ(QVTTempPath(), (dir / "t" / ProjectName).string() + "/");
    createtempfolder();
    EXPECT_TRUE(fs::is_directory(dir / "t" / ProjectName));
    createtempfolder();  // again: nothing changes, nothing fails
    EXPECT_TRUE(fs::is_directory(dir / "t" / ProjectName));

    envsetting notmp("TMPDIR", std::nullopt);
    EXPECT_EQ(TempPath(), "/tmp/");
}

TEST(FileMask, Matching) {
    struct tcase {
        const char* name;
        const char* mask;
        bool matches;
    };
    const std::vector<tcase> cases = {
        {"__TMP_OMA_jobR.jpeg", "__TMP*.jpeg", true},
        {"__tmp_oma_jobr.JPEG", "__TMP*.jpeg", true},
        {"__TMP.jpeg", "__TMP*.jpeg", true},
        {"__TMP_OMA_job.jpeg.bak", "__TMP*.jpeg", false},
        {"x__TMP_OMA_job.jpeg", "__TMP*.jpeg", false},
        {"__TMP_a.jpeg.jpeg", "__TMP*.jpeg", true},
        {"ab", "a?", true},
        {"a", "a?", false},
        {"", "*", true},
        {"abc", "a*b*c*", true},
        {"acb", "a*b*c", false},
    };
    for (const tcase& c : cases) {
        EXPECT_EQ(matchesfilemask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
    }
}

// Files with a chosen last-write time.
class OldPictures : public ::testing::Test {
protected:
    TempDir dir;

    void makefile(const std::string& name, std::chrono::seconds age) {
        const fs::path p = dir / name;
        write_file(p, "picture");
        settime(p, age);
    }
    static void settime(const fs::path& p, std::chrono::seconds age) {
        const auto when = std::chrono::system_clock::now() - age;
        const auto secs = std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
        struct timespec times[2];
        times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(secs);
        times[0].tv_nsec = times[1].tv_nsec = 0;
        ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << p;
    }
    int count(const std::string& mask) const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir.path()))
            n += matchesfilemask(e.path().filename().string(), mask);
        return n;
    }
};

constexpr std::chrono::seconds days(int n) { return std::chrono::seconds(86400LL * n); }

TEST_F(OldPictures, SixtyOldPicturesTakeTwoCloses) {
    for (int i = 0; i < 60; ++i) makefile("__TMP_OMA_job" + std::to_string(i) + "R.jpeg", days(4));
    makefile("job_OMAData.csv", days(30));
    EXPECT_EQ(deleteoldfilesinfolder(dir.path().string(), "__TMP*.jpeg", 3), 50);
    EXPECT_EQ(count("__TMP*.jpeg"), 10);
    EXPECT_EQ(deleteoldfilesinfolder(dir.path().string() + "/", "__TMP*.jpeg", 3), 10);
    EXPECT_EQ(count("__TMP*.jpeg"), 0);
    EXPECT_EQ(deleteoldfilesinfolder(dir.path().string(), "__TMP*.jpeg", 3), 0);
    EXPECT_TRUE(fs::exists(dir / "job_OMAData.csv")) << "dumps are never removed";
}

TEST_F(OldPictures, OnlyOrdinaryFilesOlderThanTheLimit) {
    makefile("__TMP_old.jpeg", days(3) + std::chrono::seconds(60));
    makefile("__TMP_young.jpeg", days(3) - std::chrono::seconds(60));
    makefile("__TMP_new.jpeg", std::chrono::seconds(0));
    makefile(".__TMP_hidden.jpeg", days(10));
    makefile("other.jpeg", days(10));
    fs::create_directory(dir / "__TMP_folder.jpeg");
    settime(dir / "__TMP_folder.jpeg", days(10));
    makefile("target.bin", days(10));
    fs::create_symlink(dir / "target.bin", dir / "__TMP_link.jpeg");
    settime(dir / "__TMP_link.jpeg", days(10));

    EXPECT_EQ(deleteoldfilesinfolder(dir.path().string(), "__TMP*.jpeg", 3), 1);
    EXPECT_FALSE(fs::exists(dir / "__TMP_old.jpeg"));
    for (const char* kept : {"__TMP_young.jpeg", "__TMP_new.jpeg", ".__TMP_hidden.jpeg", "other.jpeg",
                             "__TMP_folder.jpeg", "target.bin"}) {
        EXPECT_TRUE(fs::exists(dir / kept)) << kept;
    }
    EXPECT_TRUE(fs::is_symlink(dir / "__TMP_link.jpeg"));
}

TEST_F(OldPictures, FractionsOfDaysAndFolderProblems) {
    makefile("__TMP_a.jpeg", std::chrono::seconds(7200));
    EXPECT_EQ(deleteoldfilesinfolder(dir.path().string(), "__TMP*.jpeg", 1.0 / 24, 0), 1);
    EXPECT_EQ(deleteoldfilesinfolder((dir / "missing").string(), "__TMP*.jpeg", 3), 0);
    write_file(dir / "plain", "x");
    EXPECT_EQ(deleteoldfilesinfolder((dir / "plain").string(), "__TMP*.jpeg", 3), 0);
}

TEST_F(OldPictures, ReadOnlyPictureIsAttemptedAndCounted) {
    makefile("__TMP_ro.jpeg", days(5));
    ::chmod((dir / "__TMP_ro.jpeg").c_str(), 0444);
    // A read-only file in a writable folder can be removed on this system;
    // either way it counts.
    EXPECT_EQ(deleteoldfilesinfolder(dir.path().string(), "__TMP*.jpeg", 3), 1);
}

}  // namespace
}  // namespace kestrune
