#include <gtest/gtest.h>

#include "kestrune/support/files.hpp"
#include "kestrune/support/messages.hpp"
#include "kestrune/support/stringlist.hpp"
#include "testsupport.hpp"

#include <csignal>
#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>
#include <filesystem>
#include <string>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

struct shownmessage {
    std::string kind, message, explanation;
};

// Every test runs with the write-retry pause, the rename operation and the
// message display replaced by recorders, and gets them back afterwards.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldpause_ = setretrypause([this](int ms) {
            pauses_.push_back(ms);
            if (onpause_) onpause_();
        });
        oldrename_ = setrenamefunction([this](const std::string& from, const std::string& to, bool replace) {
            renames_.push_back(from + " -> " + to);
            return renamehook_ ? renamehook_(from, to, replace) : realrename_(from, to, replace);
        });
        realrename_ = oldrename_;
        oldmessage_ = setmessagecallback(
            [this](std::string_view kind, std::string_view message, std::string_view explanation) {
                messages_.push_back({std::string(kind), std::string(message), std::string(explanation)});
                if (onmessage_) onmessage_();
            });
        forcesavelinestorename = false;
        clearioresult();
    }
    void TearDown() override {
        setretrypause(oldpause_);
        setrenamefunction(oldrename_);
        setmessagecallback(oldmessage_);
        forcesavelinestorename = false;
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static tstringlist lines(std::initializer_list<const char*> items) {
        tstringlist t;
        for (const char* s : items) t.add(s);
        return t;
    }
    static tstringlist numberedlines(int n) {
        tstringlist t;
        for (int i = 0; i < n; ++i) t.add("line " + std::to_string(i));
        return t;
    }
    static std::string crlfjoined(const tstringlist& t) {
        std::string s;
        for (const std::string& line : t) s += line + "\r\n";
        return s;
    }

    TempDir dir_;
    std::vector<int> pauses_;
    std::function<void()> onpause_;
    std::vector<std::string> renames_;
    trenamefunction renamehook_;
    trenamefunction realrename_;
    std::vector<shownmessage> messages_;
    std::function<void()> onmessage_;

private:
    tpausefunction oldpause_;
    trenamefunction oldrename_;
    tmessagecallback oldmessage_;
};

// Runs op with the rights of an ordinary user, so that permission bits
// apply: when the tests run as root, in a child process that gives root up.
// Returns what op returns (0 to 254), or -1 when that cannot be arranged.
int asordinaryuser(const std::function<int()>& op) {
    if (::geteuid() != 0) return op();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
        ::_exit(op() & 0xFF);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

void makereadonly(const fs::path& folder) {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
}

// ---- text files ----

TEST_F(FilesTest, TextFileWritesLinesWithCrLfAndBytesUnchangedAndReadsThemBack) {
    const std::string name = path("t.txt");
    const std::string high("\xE9\xFF\x01\x80", 4);
    {
        ttextfile f;
        ASSERT_TRUE(opentextfileforwrite(f, name, false));
        EXPECT_TRUE(writetextline(f, "abc"));
        EXPECT_TRUE(writetextline(f, ""));
        EXPECT_TRUE(writetextline(f, high));
        EXPECT_TRUE(closetextfile(f));
        EXPECT_FALSE(f.isopen());
    }
    EXPECT_EQ(read_file(name), "abc\r\n\r\n" + high + "\r\n");

    ttextfile f;
    ASSERT_TRUE(opentextfileforread(f, name));
    std::string line;
    std::vector<std::string> got;
    while (readtextline(f, line)) got.push_back(line);
    EXPECT_EQ(clearioresult(), 0);
    EXPECT_EQ(got, (std::vector<std::string>{"abc", "", high}));
    EXPECT_TRUE(endoftextfile(f));
    EXPECT_TRUE(closetextfile(f));
    EXPECT_EQ(QVTLibIOError, 0);
    EXPECT_EQ(pauses_.size(), 0u);
}

TEST_F(FilesTest, ReadingEndsLinesAtCrLfLfOrLoneCr) {
    const std::string longline(65535, 'x');  // puts CR LF across the buffer's end
    const struct {
        std::string content;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
        {"\r\n\r\n", {"", ""}},
        {"x\r\r\ny\n\n", {"x", "", "y", ""}},
        {longline + "\r\ny", {longline, "y"}},
        {longline + "\r", {longline}},
        {std::string(200000, 'z') + "\n", {std::string(200000, 'z')}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 20));
        write_file(path("r.txt"), c.content);
        ttextfile f;
        ASSERT_TRUE(opentextfileforread(f, path("r.txt")));
        std::vector<std::string> got;
        EXPECT_EQ(endoftextfile(f), c.lines.empty());
        for (std::string line; readtextline(f, line);) got.push_back(line);
        EXPECT_EQ(got, c.lines);
        EXPECT_TRUE(endoftextfile(f));
        EXPECT_EQ(clearioresult(), 0);
    }
}

TEST_F(FilesTest, OpeningForWriteEmptiesOrAppends) {
    const std::string name = path("a.txt");
    ttextfile f;
    // Appending to a file that is not there creates it.
    ASSERT_TRUE(opentextfileforwrite(f, name, true));
    writetextline(f, "one");
    ASSERT_TRUE(closetextfile(f));
    ASSERT_TRUE(opentextfileforwrite(f, name, true));
    writetextline(f, "two");
    ASSERT_TRUE(closetextfile(f));
    EXPECT_EQ(read_file(name), "one\r\ntwo\r\n");
    ASSERT_TRUE(opentextfileforwrite(f, name, false));
    writetextline(f, "3");
    ASSERT_TRUE(closetextfile(f));
    EXPECT_EQ(read_file(name), "3\r\n");
}

TEST_F(FilesTest, TextFileLeftOpenIsWrittenOutWhenItGoesOutOfScope) {
    const std::string name = path("scope.txt");
    {
        ttextfile f;
        ASSERT_TRUE(opentextfileforwrite(f, name, false));
        writetextline(f, "kept");
        ttextfile moved = std::move(f);
        EXPECT_FALSE(f.isopen());
        EXPECT_TRUE(moved.isopen());
    }
    EXPECT_EQ(read_file(name), "kept\r\n");
}

TEST_F(FilesTest, OpeningForReadFailsAtOnceWithFileNotFound) {
    write_file(path("plain"), "x");
    fs::create_directory(dir_.path() / "folder");
    for (const std::string& name : {path("missing.txt"), path("nofolder/x.txt"), path("plain/x.txt"),
                                   path("folder"), std::string("with\0nul", 8)}) {
        SCOPED_TRACE(name);
        QVTLibiostatus = 0;
        ttextfile f;
        EXPECT_FALSE(opentextfileforread(f, name));
        EXPECT_FALSE(f.isopen());
        const int expected = name.find('\0') != std::string::npos ? 123 : 2;
        EXPECT_EQ(QVTLibIOError, expected);
        EXPECT_EQ(QVTLibiostatus, expected);
        EXPECT_EQ(clearioresult(), 0);  // the routine has fetched it
    }
    EXPECT_TRUE(pauses_.empty());
}

TEST_F(FilesTest, OpeningForReadRefusesWhatIsNotARegularFileWithoutWaiting) {
    const fs::path fifo = dir_.path() / "pipe.txt";
    ASSERT_TRUE(testing::make_fifo(fifo));
    std::vector<std::string> specials = {fifo.string(), "/dev/null", "/dev/zero"};
    if (testing::make_socket(dir_.path() / "socket.txt")) specials.push_back(path("socket.txt"));
    for (const std::string& name : specials) {
        SCOPED_TRACE(name);
        ttextfile f;
        bool opened = true;
        int code = 0;  // the codes are the opening thread's
        EXPECT_TRUE(testing::finishes_in_time(
            [&] {
                opened = opentextfileforread(f, name);
                code = QVTLibIOError;
            },
            {fifo}));
        EXPECT_FALSE(opened);
        EXPECT_FALSE(f.isopen());
        EXPECT_EQ(code, 2);  // as for a folder: not a file to read
    }
    EXPECT_TRUE(pauses_.empty());
}

TEST_F(FilesTest, OpeningForWriteTriesFourTimesWithPausesBelowOneSecond) {
    write_file(path("plain"), "x");
    fs::create_directory(dir_.path() / "folder");
    const struct {
        std::string name;
        int code;
    } cases[] = {
        {path("nofolder/x.txt"), 3},
        {path("plain/x.txt"), 3},
        {path("folder"), 5},
        {std::string("x\0y", 3), 123},
        {path(std::string(300, 'n')), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        pauses_.clear();
        ttextfile f;
        EXPECT_FALSE(opentextfileforwrite(f, c.name, false));
        EXPECT_FALSE(f.isopen());
        EXPECT_EQ(QVTLibIOError, c.code);
        ASSERT_EQ(pauses_.size(), 4u);
        for (const int ms : pauses_) {
            EXPECT_GE(ms, 0);
            EXPECT_LE(ms, 999);
        }
    }
    EXPECT_FALSE(fs::exists(dir_.path() / "nofolder"));
}

TEST_F(FilesTest, OpeningForWriteSucceedsWhenTheProblemGoesAwayBetweenAttempts) {
    onpause_ = [this] { fs::create_directories(dir_.path() / "late"); };
    ttextfile f;
    EXPECT_TRUE(opentextfileforwrite(f, path("late/x.txt"), false));
    EXPECT_EQ(pauses_.size(), 1u);
    EXPECT_EQ(QVTLibIOError, 0);
}

TEST_F(FilesTest, OpeningForWriteInReadOnlyFolderIsAccessDenied) {
    const fs::path folder = dir_.path() / "ro";
    fs::create_directory(folder);
    makereadonly(folder);
    const std::string name = (folder / "x.txt").string();
    const int code = asordinaryuser([&name] {
        ttextfile f;
        opentextfileforwrite(f, name, false);
        return QVTLibIOError.load();
    });
    if (code < 0) GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(code, 5);
    EXPECT_FALSE(fs::exists(name));
}

TEST_F(FilesTest, MisusedTextFileGivesItsCode) {
    write_file(path("in.txt"), "a\r\n");
    ttextfile f;
    std::string line;
    EXPECT_FALSE(writetextline(f, "x"));
    EXPECT_EQ(clearioresult(), 103);
    EXPECT_FALSE(readtextline(f, line));
    EXPECT_EQ(clearioresult(), 103);
    EXPECT_FALSE(closetextfile(f));
    EXPECT_EQ(QVTLibIOError, 103);

    ASSERT_TRUE(opentextfileforread(f, path("in.txt")));
    EXPECT_FALSE(writetextline(f, "x"));
    EXPECT_EQ(clearioresult(), 105);
    ASSERT_TRUE(opentextfileforwrite(f, path("out.txt"), false));
    EXPECT_FALSE(readtextline(f, line));
    EXPECT_EQ(clearioresult(), 104);
    EXPECT_EQ(read_file(path("in.txt")), "a\r\n");
}

TEST_F(FilesTest, WriteErrorIsReportedAtTheLatestWhenClosing) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ttextfile f;
    ASSERT_TRUE(opentextfileforwrite(f, "/dev/full", false));
    writetextline(f, "lost");
    clearioresult();
    EXPECT_FALSE(closetextfile(f));
    EXPECT_EQ(QVTLibIOError, 112);
    EXPECT_EQ(QVTLibiostatus, 112);
}

// ---- saving lines ----

TEST_F(FilesTest, SaveGoesThroughATemporaryName) {
    const struct {
        const char* name;
        int count;
        bool force;
        bool throughtemp;
    } cases[] = {
        {"d.csv", 10000, false, true},
        {"d.csv", 10001, false, true},
        {"d.CsV", 10001, false, true},
        {"d.txt", 10001, false, true},
        {"d.csv.bak", 10001, false, true},
        {"d.txt", 3, true, true},
        {"d.txt", 0, false, true},
    };
    for (const bool earlierfile : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.count) + (earlierfile ? " over a file" : ""));
            TempDir folder;
            const std::string target = (folder / c.name).string();
            if (earlierfile) write_file(target, std::string(500000, 'o'));
            const tstringlist t = numberedlines(c.count);
            renames_.clear();
            forcesavelinestorename = c.force;

            EXPECT_TRUE(savelinestofile(t, target));

            EXPECT_EQ(read_file(target), crlfjoined(t));
            EXPECT_EQ(renames_.empty(), !c.throughtemp);
            if (c.throughtemp) {
                EXPECT_EQ(renames_.back(), target + ".$$$ -> " + target);
            }
            EXPECT_FALSE(fs::exists(target + ".$$$"));
            EXPECT_FALSE(fs::exists(target + ".$save"));
            EXPECT_FALSE(forcesavelinestorename);
            EXPECT_EQ(QVTLibiostatus, 0);
        }
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(FilesTest, SaveReplacesAStaleBackupFile) {
    const std::string target = path("s.txt");
    write_file(target, "old\r\n");
    write_file(target + ".$save", "stale");
    forcesavelinestorename = true;
    EXPECT_TRUE(savelinestofile(lines({"new"}), target));
    EXPECT_EQ(read_file(target), "new\r\n");
    EXPECT_FALSE(fs::exists(target + ".$save"));
    EXPECT_FALSE(fs::exists(target + ".$$$"));
}

TEST_F(FilesTest, SaveKeepsTheEarlierFileWhenTheNewOneCannotBeMovedIntoPlace) {
    const std::string target = path("k.txt");
    const std::string temp = target + ".$$$";
    write_file(target, "old\r\n");
    renamehook_ = [&](const std::string& from, const std::string& to, bool replace) {
        return from == temp ? 5 : realrename_(from, to, replace);
    };
    forcesavelinestorename = true;

    EXPECT_FALSE(savelinestofile(lines({"new"}), target));

    EXPECT_EQ(read_file(target), "old\r\n");
    EXPECT_EQ(read_file(temp), "new\r\n");  // the new content is not lost either
    EXPECT_FALSE(fs::exists(target + ".$save"));
    EXPECT_FALSE(forcesavelinestorename);
}

// The move into place replaces the target in one step: there is no moment
// at which the name holds nothing, so a save interrupted at any point leaves
// the earlier file or the new one under it.
TEST_F(FilesTest, SaveReplacesTheTargetInOneStep) {
    const std::string target = path("r.csv");
    write_file(target, "old\r\n");
    std::vector<bool> targetheld;
    renamehook_ = [&](const std::string& from, const std::string& to, bool replace) {
        targetheld.push_back(fs::exists(target));
        const int code = realrename_(from, to, replace);
        targetheld.push_back(fs::exists(target));
        return code;
    };
    EXPECT_TRUE(savelinestofile(lines({"new"}), target));
    EXPECT_EQ(read_file(target), "new\r\n");
    EXPECT_EQ(renames_, std::vector<std::string>{target + ".$$$ -> " + target});
    EXPECT_EQ(targetheld, (std::vector<bool>{true, true}));
}

// A folder under the backup name cannot be cleared away; it is not in the
// way of the save either.
TEST_F(FilesTest, SaveLeavesAFolderUnderTheBackupNameAlone) {
    const std::string target = path("b.txt");
    write_file(target, "old\r\n");
    fs::create_directories(target + ".$save/inside");
    forcesavelinestorename = true;
    EXPECT_TRUE(savelinestofile(lines({"new"}), target));
    EXPECT_EQ(read_file(target), "new\r\n");
    EXPECT_FALSE(fs::exists(target + ".$$$"));
    EXPECT_TRUE(fs::exists(target + ".$save/inside"));
}

TEST_F(FilesTest, IncompleteTemporaryFileNeverReplacesTheEarlierFile) {
    const std::string target = path("big.csv");
    write_file(target, "old\r\n");
    const tstringlist t = numberedlines(10001);

    // Files may not grow beyond 1000 bytes for the length of the save.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1000;
    const auto oldsignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = savelinestofile(t, target);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldsignal);

    EXPECT_FALSE(saved);
    EXPECT_EQ(QVTLibiostatus, 223);
    EXPECT_EQ(read_file(target), "old\r\n");
    EXPECT_FALSE(fs::exists(target + ".$$$"));
    EXPECT_FALSE(fs::exists(target + ".$save"));
    EXPECT_TRUE(renames_.empty());
}

// A save that fails part-way (the file may not grow beyond a few bytes) or
// cannot start (the folder is read-only) leaves the earlier file whole.
TEST_F(FilesTest, FailedSaveLeavesTheEarlierFileWhole) {
    const std::string target = path("job_OMAData.csv");
    const std::string earlier = "earlier dump\r\n";
    const tstringlist t = numberedlines(50);

    write_file(target, earlier);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    const auto oldsignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = savelinestofile(t, target);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldsignal);
    EXPECT_FALSE(saved);
    EXPECT_EQ(QVTLibiostatus, 223);
    EXPECT_EQ(read_file(target), earlier);
    EXPECT_FALSE(fs::exists(target + ".$$$"));

    makereadonly(dir_.path());
    const int code = asordinaryuser([&] { return savelinestofile(t, target) ? 0 : QVTLibiostatus.load(); });
    fs::permissions(dir_.path(), fs::perms::owner_all);
    if (code < 0) GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(code, 5);
    EXPECT_EQ(read_file(target), earlier);
    EXPECT_FALSE(fs::exists(target + ".$$$"));
}

TEST_F(FilesTest, SaveKeepsThePermissionsOfTheFileItReplaces) {
    const std::string target = path("p.csv");
    write_file(target, "old\r\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(savelinestofile(lines({"new"}), target));
    EXPECT_EQ(read_file(target), "new\r\n");
    EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// A symbolic link stays a link: the file it names is written.
TEST_F(FilesTest, SaveThroughASymbolicLinkWritesTheFileItNames) {
    const std::string real = path("real.csv");
    const std::string link = path("link.csv");
    write_file(real, "old\r\n");
    fs::create_symlink(real, link);
    EXPECT_TRUE(savelinestofile(lines({"new"}), link));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read_file(real), "new\r\n");
}

TEST_F(FilesTest, SaveReportsAFailedDirectWrite) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(savelinestofile(lines({"a", "b"}), "/dev/full"));
    EXPECT_EQ(QVTLibiostatus, 112);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(FilesTest, SaveIntoMissingFolderWritesNothingAndShowsNothing) {
    forcesavelinestorename = true;
    const std::string target = path("nofolder/job.oma");
    EXPECT_FALSE(savelinestofile(lines({"JOB=1", "R=2500"}), target));
    EXPECT_EQ(pauses_.size(), 4u);
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(renames_.empty());
    EXPECT_EQ(QVTLibiostatus, 3);
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(FilesTest, SavingTraceLinesAsOmaOrIsoWarnsOnceAfterWriting) {
    const struct {
        const char* name;
        tstringlist t;
        bool warns;
    } cases[] = {
        {"job.oma", lines({"JOB=1", "R=2500;2501", "R=2502"}), true},
        {"job.ISO", lines({"R=1"}), true},
        {"job.csv", lines({"JOB=1", "R=2500"}), false},
        {"job.oma", lines({"JOB=1", "TRCFMT=1;400;E;R;F", "XR=1", " R=1"}), false},
        {"job.oma.txt", lines({"R=1"}), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = path(c.name);
        fs::remove(target);
        messages_.clear();
        std::string contentwhenshown;
        onmessage_ = [&] { contentwhenshown = read_file(target); };

        EXPECT_TRUE(savelinestofile(c.t, target));

        if (c.warns) {
            ASSERT_EQ(messages_.size(), 1u);
            EXPECT_EQ(messages_[0].kind, "warning");
            EXPECT_EQ(messages_[0].message, "Saving OMA file as a text file");
            EXPECT_EQ(messages_[0].explanation, "");
            EXPECT_EQ(contentwhenshown, crlfjoined(c.t));
        } else {
            EXPECT_TRUE(messages_.empty());
        }
    }
}

// Saving the lines joined into one text (each followed by CR LF) does what
// saving them line by line does: the same bytes in place, the same result,
// the same code and the same warning, also past the write buffer and when a
// write fails part-way.
TEST_F(FilesTest, SavingJoinedTextIsSavingItsLines) {
    const struct {
        const char* name;
        tstringlist t;
        rlim_t sizelimit;  // 0: none
    } cases[] = {
        {"dump.csv", numberedlines(3), 0},
        {"job.oma", lines({"JOB=1", "TRCFMT=1;400;E;R;F", "R=2500;2501"}), 0},
        {"job.oma", lines({"R=1", "JOB=1"}), 0},
        {"job.oma", lines({"JOB=1", " R=1", "XR=2"}), 0},
        {"job.csv", lines({"R=1"}), 0},
        {"empty.csv", tstringlist(), 0},
        {"big.csv", numberedlines(20000), 0},
        {"cut.csv", numberedlines(20000), 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.t.count()));
        struct outcome {
            bool saved;
            int code;
            std::string content;
            std::size_t messages;
            bool templeft;
        };
        const auto save = [&](const auto& saver) {
            const std::string target = path(c.name);
            write_file(target, "earlier\r\n");
            messages_.clear();
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            const auto oldsignal = std::signal(SIGXFSZ, SIG_IGN);
            if (c.sizelimit != 0) {
                rlimit small = old;
                small.rlim_cur = c.sizelimit;
                setrlimit(RLIMIT_FSIZE, &small);
            }
            const bool saved = saver(target);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldsignal);
            return outcome{saved, QVTLibiostatus.load(), read_file(target), messages_.size(),
                           fs::exists(target + ".$$$")};
        };
        const outcome bylines = save([&](const std::string& target) { return savelinestofile(c.t, target); });
        const outcome astext = save([&](const std::string& target) { return savetexttofile(crlfjoined(c.t), target); });
        EXPECT_EQ(astext.saved, bylines.saved);
        EXPECT_EQ(astext.code, bylines.code);
        EXPECT_EQ(astext.content, bylines.content);
        EXPECT_EQ(astext.messages, bylines.messages);
        EXPECT_FALSE(astext.templeft);
        EXPECT_EQ(astext.content, c.sizelimit ? "earlier\r\n" : crlfjoined(c.t));
    }
}

TEST_F(FilesTest, RealFilesReadLineByLineAndSavedAgainKeepEveryByte) {
    const fs::path samples = testing::real_samples_dir();
    if (samples.empty()) GTEST_SKIP() << "no real sample files";
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(samples)) {
        if (entry.path().extension() != ".oma") continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string original = read_file(entry.path());
        ttextfile f;
        ASSERT_TRUE(opentextfileforread(f, entry.path().string()));
        tstringlist t;
        bool tracelines = false;
        for (std::string line; readtextline(f, line);) {
            tracelines = tracelines || line.rfind("R=", 0) == 0;
            t.add(std::move(line));
        }
        EXPECT_EQ(clearioresult(), 0);
        closetextfile(f);

        messages_.clear();
        const std::string copy = path(entry.path().filename().string());
        EXPECT_TRUE(savelinestofile(t, copy));
        EXPECT_EQ(messages_.size(), tracelines ? 1u : 0u);
        if (original.find('\r') == std::string::npos && !original.empty() && original.back() == '\n') {
            std::string expected;
            for (const char c : original) {
                if (c == '\n') expected += '\r';
                expected += c;
            }
            EXPECT_EQ(read_file(copy), expected);
            ++checked;
        }
    }
    if (checked == 0) GTEST_SKIP() << "no sample with plain LF line ends";
}

// ---- copying, deleting, renaming ----

TEST_F(FilesTest, CopyReplacesTheTargetWithTheSourceBytes) {
    std::string bytes;
    for (int i = 0; i < 10000; ++i) bytes.push_back(static_cast<char>(i * 7 % 256));
    write_file(path("src.bin"), bytes);
    write_file(path("dst.bin"), std::string(20000, 'x'));
    QVTCopyfile(path("missing"), path("dst2.bin"));  // leaves a message behind
    ASSERT_FALSE(QVTCopyfileerrormess().empty());

    EXPECT_EQ(QVTCopyfile(path("src.bin"), path("dst.bin")), 0);
    EXPECT_EQ(read_file(path("dst.bin")), bytes);
    EXPECT_EQ(QVTCopyfileerrormess(), "");
    EXPECT_EQ(read_file(path("src.bin")), bytes);

    EXPECT_EQ(QVTCopyfile(path("src.bin"), path("new.bin")), 0);
    EXPECT_EQ(read_file(path("new.bin")), bytes);
    write_file(path("empty"), "");
    EXPECT_EQ(QVTCopyfile(path("empty"), path("new.bin")), 0);
    EXPECT_EQ(read_file(path("new.bin")), "");
}

TEST_F(FilesTest, CopyOntoItselfDoesNothing) {
    write_file(path("same.txt"), "content");
    fs::create_hard_link(dir_.path() / "same.txt", dir_.path() / "link.txt");
    const struct {
        std::string from, to;
    } cases[] = {
        {path("same.txt"), path("SAME.TXT")},
        {path("same.txt"), (dir_.path() / "." / "same.txt").string()},
        {path("link.txt"), path("same.txt")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        EXPECT_EQ(QVTCopyfile(c.from, c.to), -1);
        EXPECT_EQ(read_file(path("same.txt")), "content");
    }
    // Equal names without regard to case are refused even when neither exists.
    EXPECT_EQ(QVTCopyfile(path("a.txt"), path("A.TXT")), -1);
    EXPECT_FALSE(fs::exists(path("a.txt")));
    EXPECT_FALSE(fs::exists(path("A.TXT")));
}

TEST_F(FilesTest, CopyFailureGivesTheCodeAndMessageOfTheFailingStep) {
    write_file(path("src.txt"), "x");
    fs::create_directory(dir_.path() / "folder");
    const struct {
        std::string from, to;
        int code;
        std::string message;
    } cases[] = {
        {path("missing.txt"), path("to.txt"), 2, "Copy file " + path("missing.txt") + " not reset"},
        {path("src.txt"), path("nofolder/to.txt"), 3, "Copy file " + path("nofolder/to.txt") + " not reset"},
        {path("folder"), path("to.txt"), 5, "Copy file " + path("folder") + " not reset"},
        {path("src.txt"), path("folder"), 5, "Copy file " + path("folder") + " not reset"},
        {std::string("a\0b", 3), path("to.txt"), 123, "Copy file " + std::string("a\0b", 3) + " not assigned"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(QVTCopyfile(c.from, c.to), c.code);
        EXPECT_EQ(QVTCopyfileerrormess(), c.message);
    }
    EXPECT_FALSE(fs::exists(path("to.txt")));  // a failed source opens no target
}

TEST_F(FilesTest, CopyAndDeleteRemovesTheSourceOnlyAfterASuccessfulCopy) {
    write_file(path("a.txt"), "data");
    EXPECT_EQ(QVTcopyanddeletefile(path("a.txt"), path("b.txt")), 0);
    EXPECT_FALSE(fs::exists(path("a.txt")));
    EXPECT_EQ(read_file(path("b.txt")), "data");

    EXPECT_EQ(QVTcopyanddeletefile(path("b.txt"), path("nofolder/c.txt")), 3);
    EXPECT_EQ(read_file(path("b.txt")), "data");
}

TEST_F(FilesTest, DeleteTrimsTheNameAndGivesCodes) {
    write_file(path("d.txt"), "x");
    EXPECT_EQ(deletefile("  " + path("d.txt") + " \t"), 0);
    EXPECT_FALSE(fs::exists(path("d.txt")));

    fs::create_directory(dir_.path() / "folder");
    const struct {
        std::string name;
        int code;
    } cases[] = {
        {path("d.txt"), 2},
        {path("nofolder/d.txt"), 3},
        {path("folder"), 5},
        {std::string("d\0x", 3), 123},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(deletefile(c.name), c.code);
    }
    EXPECT_TRUE(fs::is_directory(dir_.path() / "folder"));
}

TEST_F(FilesTest, DeleteAndRenameInReadOnlyFolderAreAccessDenied) {
    const fs::path folder = dir_.path() / "ro";
    fs::create_directory(folder);
    const std::string keep = (folder / "keep.txt").string();
    write_file(keep, "x");
    makereadonly(folder);
    const int deleted = asordinaryuser([&keep] { return deletefile(keep); });
    const int renamed = asordinaryuser([&keep] { return renamefile(keep, keep + ".new"); });
    if (deleted < 0 || renamed < 0) GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(deleted, 5);
    EXPECT_EQ(renamed, 5);
    EXPECT_EQ(read_file(keep), "x");
    EXPECT_FALSE(fs::exists(keep + ".new"));
}

TEST_F(FilesTest, RenameTrimsOnlyTheOldNameAndNeverReplaces) {
    write_file(path("a.txt"), "a");
    write_file(path("b.txt"), "b");

    EXPECT_EQ(renamefile(" " + path("a.txt") + " ", path("c.txt ")), 0);
    EXPECT_EQ(read_file(path("c.txt ")), "a");  // the new name is used as given
    EXPECT_FALSE(fs::exists(path("a.txt")));

    EXPECT_EQ(renamefile(path("b.txt"), path("c.txt ")), 183);
    EXPECT_EQ(read_file(path("b.txt")), "b");
    EXPECT_EQ(read_file(path("c.txt ")), "a");

    EXPECT_EQ(renamefile(path("missing"), path("x")), 2);
    EXPECT_EQ(renamefile(path("b.txt"), path("nofolder/x")), 3);
    EXPECT_EQ(read_file(path("b.txt")), "b");
}

// Memory running out in a rename is its code 8, "not enough memory"; any
// other exception is a fault of the program and reaches the caller.
TEST_F(FilesTest, OnlyMemoryRunningOutBecomesACode) {
    write_file(path("a.txt"), "a");
    renamehook_ = [](const std::string&, const std::string&, bool) -> int { throw std::bad_alloc(); };
    EXPECT_EQ(renamefile(path("a.txt"), path("b.txt")), 8);
    renamehook_ = [](const std::string&, const std::string&, bool) -> int {
        throw std::logic_error("fault in the rename");
    };
    EXPECT_THROW(renamefile(path("a.txt"), path("b.txt")), std::logic_error);
    EXPECT_EQ(read_file(path("a.txt")), "a");
}

// ---- command line, program folder, names ----

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

TEST(FileNameOnly, DropsFolderAndLastExtension) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\a\\b.c.oma", "b.c"},
        {"C:\\a\\readme", "readme"},
        {"/home/u/job.oma", "job"},
        {"job", "job"},
        {"dir.d/name", "name"},
        {"a/b\\c.txt", "c"},
        {"folder/", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(extractfilenameonly(c.in), c.out) << c.in;
}

TEST(FreeStringList, ReleasesAndEmptiesThePointer) {
    std::unique_ptr<tstringlist> t;
    EXPECT_TRUE(freestringlist(t));
    t = std::make_unique<tstringlist>();
    t->add("x");
    EXPECT_TRUE(freestringlist(t));
    EXPECT_EQ(t, nullptr);
}

}  // namespace
}  // namespace kestrune
