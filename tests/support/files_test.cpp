#include <gtest/gtest.h>

#include "kestrune/support/files.hpp"
#include "kestrune/support/messages.hpp"
#include "kestrune/support/stringlist.hpp"
#include "testsupport.hpp"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <new>
#include <stdexcept>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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
        oldmessage_ =
            setmessagecallback([this](std::string_view kind, std::string_view message, std::string_view explanation) {
                messages_.push_back({std::string(kind), std::string(message), std::string(explanation)});
                if (onmessage_) onmessage_();
            });
        clearioresult();
    }
    void TearDown() override {
        setretrypause(oldpause_);
        setrenamefunction(oldrename_);
        setmessagecallback(oldmessage_);
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
    // Every entry of the test's folder, hidden ones included.
    std::set<std::string> entries() const { return testing::entries(dir_.path()); }
    // The rename that moved a temporary file onto target: its temporary name
    // is hidden, beside target, made of target's name and 16 hexadecimal
    // digits.
    static bool movedintoplace(const std::string& rename, const std::string& target) {
        const std::size_t arrow = rename.find(" -> ");
        if (arrow == std::string::npos || rename.substr(arrow + 4) != target) return false;
        return testing::istemporaryname(fs::path(rename.substr(0, arrow)), fs::path(target));
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
    for (const std::string& name : {path("missing.txt"), path("nofolder/x.txt"), path("plain/x.txt"), path("folder"),
                                    std::string("with\0nul", 8)}) {
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
        {path("nofolder/x.txt"), 3},   {path("plain/x.txt"), 3},         {path("folder"), 5},
        {std::string("x\0y", 3), 123}, {path(std::string(300, 'n')), 3},
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

// ---- writing a file safely ----

// The permissions a new file gets: 0666 less the umask.
mode_t newfilemode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

mode_t modeof(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A new file gets the usual permissions, a replaced file keeps its own. The
// temporary file holds every byte and the final permissions before it is
// moved into place, so the name never shows a part or other permissions.
TEST_F(FilesTest, SafeWriteKeepsThePermissionsOfTheFileItReplaces) {
    const struct {
        const char* name;
        mode_t before;  // 0: no file yet
        mode_t after;
    } cases[] = {
        {"new.csv", 0, newfilemode()}, {"private.csv", 0600, 0600}, {"group.csv", 0664, 0664},
        {"odd.csv", 0604, 0604},       {"script.sh", 0750, 0750},
    };
    const std::string bytes(100000, 'n');
    // A scratch file skips the flushes to the disk, nothing else.
    for (const tpersistence persistence : {tpersistence::durable, tpersistence::scratch})
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (persistence == tpersistence::scratch ? " (scratch)" : ""));
            const std::string target = path(c.name);
            fs::remove(target);
            if (c.before != 0) {
                write_file(target, "old");
                fs::permissions(target, static_cast<fs::perms>(c.before));
            }
            mode_t movedmode = 0;
            std::string movedcontent;
            renamehook_ = [&](const std::string& from, const std::string& to, bool replace) {
                movedmode = modeof(from);
                movedcontent = read_file(from);
                return realrename_(from, to, replace);
            };
            const twriteresult r = writefilesafely(target, bytes, tmissingfolders::fail, persistence);
            EXPECT_TRUE(r);
            EXPECT_EQ(r.step, twritestep::done);
            EXPECT_EQ(r.code, 0);
            EXPECT_EQ(r.reason, "");
            EXPECT_EQ(read_file(target), bytes);
            EXPECT_EQ(modeof(target), c.after);
            EXPECT_EQ(movedmode, c.after);
            EXPECT_EQ(movedcontent, bytes);
        }
    EXPECT_EQ(entries(), (std::set<std::string>{"group.csv", "new.csv", "odd.csv", "private.csv", "script.sh"}));
}

// A symbolic link stays a link with its own text: the file it leads to
// (through a chain of links too, a relative one read from the link's folder)
// is replaced in its own folder, or made when it is missing.
TEST_F(FilesTest, SafeWriteKeepsASymbolicLinkAndReplacesTheFileItLeadsTo) {
    const fs::path other = dir_.path() / "other";
    fs::create_directories(other / "deeper");
    write_file(other / "real.csv", "old");
    const struct {
        const char* link;
        std::string to;
        fs::path file;
    } cases[] = {
        {"absolute.csv", (other / "real.csv").string(), other / "real.csv"},
        {"relative.csv", "other/real.csv", other / "real.csv"},
        {"chain.csv", "absolute.csv", other / "real.csv"},
        {"updown.csv", "other/deeper/../real.csv", other / "real.csv"},
        {"dangling.csv", "other/made.csv", other / "made.csv"},
    };
    for (const auto& c : cases) fs::create_symlink(c.to, dir_.path() / c.link);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        renames_.clear();
        const std::string bytes = std::string("through ") + c.link;
        const twriteresult r = writefilesafely(dir_.path() / c.link, bytes);
        ASSERT_TRUE(r) << r.reason;
        EXPECT_TRUE(fs::is_symlink(dir_.path() / c.link));
        EXPECT_EQ(fs::read_symlink(dir_.path() / c.link), c.to);
        EXPECT_EQ(read_file(c.file), bytes);
        ASSERT_EQ(renames_.size(), 1u);
        const std::size_t arrow = renames_[0].find(" -> ");
        const fs::path from = renames_[0].substr(0, arrow);
        const fs::path to = renames_[0].substr(arrow + 4);
        EXPECT_TRUE(fs::equivalent(to, c.file)) << renames_[0];
        EXPECT_TRUE(testing::istemporaryname(from, to)) << renames_[0];
    }
    EXPECT_EQ(entries(), (std::set<std::string>{"absolute.csv", "chain.csv", "dangling.csv", "other", "relative.csv",
                                                "updown.csv"}));
    EXPECT_EQ(testing::entries(other), (std::set<std::string>{"deeper", "made.csv", "real.csv"}));
}

// A write that fails before anything is made leaves everything as it was
// and says why in the system's words. What cannot be replaced (a folder, a
// pipe, a device) is refused without being opened, so nothing waits for a
// pipe's reader.
TEST_F(FilesTest, SafeWriteRefusesWhatItCannotReplace) {
    write_file(path("plain"), "x");
    fs::create_directory(dir_.path() / "folder.csv");
    const fs::path pipe = dir_.path() / "pipe.csv";
    ASSERT_TRUE(testing::make_fifo(pipe));
    fs::create_symlink("pipe.csv", dir_.path() / "topipe.csv");
    fs::create_symlink("loop.csv", dir_.path() / "loop.csv");
    const std::string notregular = "not a regular file; not overwritten";
    struct tcase {
        std::string target;
        twritestep step;
        int code;
        std::string reason;
    };
    std::vector<tcase> cases = {
        {path("folder.csv"), twritestep::checking, 5, "Is a directory"},
        {pipe.string(), twritestep::checking, 5, notregular},
        {path("topipe.csv"), twritestep::checking, 5, notregular},
        {"/dev/null", twritestep::checking, 5, notregular},
        {path("loop.csv"), twritestep::checking, 3, "Too many levels of symbolic links"},
        {path("plain/x.csv"), twritestep::checking, 3, "Not a directory"},
        {path("missing/x.csv"), twritestep::creating, 3, "No such file or directory"},
        {std::string("a\0b", 3), twritestep::checking, 123, "Invalid argument"},
        {"", twritestep::checking, 2, "No such file or directory"},
    };
    if (testing::make_socket(dir_.path() / "socket.csv"))
        cases.push_back({path("socket.csv"), twritestep::checking, 5, notregular});
    const std::set<std::string> before = entries();
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.target);
        twriteresult r;
        r.step = twritestep::done;
        EXPECT_TRUE(testing::finishes_in_time([&] { r = writefilesafely(c.target, "new"); }, {pipe}));
        EXPECT_FALSE(r);
        EXPECT_EQ(r.step, c.step);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.reason, c.reason);
    }
    EXPECT_EQ(entries(), before);
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_empty(dir_.path() / "folder.csv"));
    EXPECT_TRUE(renames_.empty());
}

// A write that fails once its temporary file exists (the file may not grow
// past 1000 bytes, or the move fails) removes that file; the target keeps
// its earlier content.
TEST_F(FilesTest, SafeWriteFailingPartWayRemovesItsTemporaryFile) {
    const std::string target = path("t.csv");
    write_file(target, "earlier");
    const struct {
        const char* what;
        rlim_t sizelimit;  // 0: none
        int renameerror;   // 0: the real rename
        twritestep step;
        int code;
        const char* reason;
    } cases[] = {
        {"file too large", 1000, 0, twritestep::writing, 223, "File too large"},
        {"move refused", 0, EACCES, twritestep::moving, 5, "Permission denied"},
        {"move across devices", 0, EXDEV, twritestep::moving, 17, "Invalid cross-device link"},
    };
    for (const tpersistence persistence : {tpersistence::durable, tpersistence::scratch})
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (persistence == tpersistence::scratch ? " (scratch)" : ""));
            renamehook_ = [&](const std::string& from, const std::string& to, bool replace) {
                return c.renameerror != 0 ? c.renameerror : realrename_(from, to, replace);
            };
            rlimit old{};
            ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
            const auto oldsignal = std::signal(SIGXFSZ, SIG_IGN);
            if (c.sizelimit != 0) {
                rlimit small = old;
                small.rlim_cur = c.sizelimit;
                ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
            }
            const twriteresult r = writefilesafely(target, std::string(5000, 'n'), tmissingfolders::fail, persistence);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldsignal);
            EXPECT_FALSE(r);
            EXPECT_EQ(r.step, c.step);
            EXPECT_EQ(r.code, c.code);
            EXPECT_EQ(r.reason, c.reason);
            EXPECT_EQ(read_file(target), "earlier");
            EXPECT_EQ(entries(), std::set<std::string>{"t.csv"});
        }
}

// Permission bits: a read-only file is not replaced behind its owner's
// back, and nothing is made in a folder that cannot be written.
TEST_F(FilesTest, SafeWriteRespectsReadOnlyFilesAndFolders) {
    fs::permissions(dir_.path(), fs::perms::all);
    const std::string locked = path("locked.csv");
    write_file(locked, "kept");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::path ro = dir_.path() / "ro";
    fs::create_directory(ro);
    write_file(ro / "open.csv", "kept too");
    fs::permissions(ro / "open.csv", fs::perms::all);
    makereadonly(ro);
    const struct {
        fs::path target;
        int step;
    } cases[] = {
        {locked, static_cast<int>(twritestep::checking)},
        {ro / "open.csv", static_cast<int>(twritestep::creating)},
        {ro / "new.csv", static_cast<int>(twritestep::creating)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.string());
        // The step and the code, as one number.
        const int outcome = asordinaryuser([&] {
            const twriteresult r = writefilesafely(c.target, "new");
            return r.reason == "Permission denied" ? static_cast<int>(r.step) * 10 + r.code : 254;
        });
        if (outcome < 0) GTEST_SKIP() << "no ordinary user to run as";
        EXPECT_EQ(outcome, c.step * 10 + 5);
    }
    fs::permissions(ro, fs::perms::owner_all);
    EXPECT_EQ(read_file(locked), "kept");
    EXPECT_EQ(read_file(ro / "open.csv"), "kept too");
    EXPECT_EQ(testing::entries(ro), std::set<std::string>{"open.csv"});
    EXPECT_EQ(entries(), (std::set<std::string>{"locked.csv", "ro"}));
}

// Every write makes its own temporary name, so writers of the same file at
// the same time never meet: each succeeds, a reader always finds one whole
// file under the name, and nothing is left beside it.
TEST_F(FilesTest, SafeWritersOfTheSameFileAtOnceNeverMeet) {
    std::mutex m;
    std::vector<std::string> temporaries;
    setrenamefunction([&](const std::string& from, const std::string& to, bool replace) {
        {
            const std::lock_guard lock(m);
            temporaries.push_back(from);
        }
        return realrename_(from, to, replace);
    });
    constexpr int writers = 4;
    constexpr int rounds = 50;
    const std::string target = path("shared.csv");
    std::vector<std::string> contents;
    for (int k = 0; k < writers; ++k) contents.push_back(std::string(20000 + k, static_cast<char>('a' + k)));
    std::atomic<int> failures{0};
    std::atomic<int> partreads{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < writers; ++k) {
        threads.emplace_back([&, k] {
            for (int r = 0; r < rounds; ++r) {
                if (!writefilesafely(target, contents[static_cast<std::size_t>(k)])) ++failures;
                const std::string seen = read_file(target);
                if (std::find(contents.begin(), contents.end(), seen) == contents.end()) ++partreads;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(partreads, 0);
    EXPECT_EQ(temporaries.size(), static_cast<std::size_t>(writers * rounds));
    EXPECT_EQ(std::set<std::string>(temporaries.begin(), temporaries.end()).size(), temporaries.size());
    for (const std::string& temp : temporaries) EXPECT_TRUE(testing::istemporaryname(temp, target)) << temp;
    EXPECT_EQ(entries(), std::set<std::string>{"shared.csv"});
}

// A name as long as a file name may be still gets a temporary name that
// fits: made of its first 200 bytes.
TEST_F(FilesTest, SafeWriteOfTheLongestNames) {
    for (const std::size_t length : {200u, 201u, 255u}) {
        SCOPED_TRACE(length);
        const std::string target = path(std::string(length - 4, 'l') + ".csv");
        renames_.clear();
        ASSERT_TRUE(writefilesafely(target, "long"));
        EXPECT_EQ(read_file(target), "long");
        ASSERT_EQ(renames_.size(), 1u);
        EXPECT_TRUE(movedintoplace(renames_[0], target)) << renames_[0];
    }
    EXPECT_EQ(entries().size(), 3u);
}

TEST_F(FilesTest, SafeWriteMakesMissingFoldersOnlyWhenAsked) {
    const std::string target = path("a/b/c.csv");
    EXPECT_EQ(writefilesafely(target, "x").code, 3);
    EXPECT_FALSE(fs::exists(dir_.path() / "a"));
    EXPECT_TRUE(writefilesafely(target, "x", tmissingfolders::create));
    EXPECT_EQ(read_file(target), "x");
    // A file where a folder should be is not made a folder.
    write_file(path("plain"), "p");
    const twriteresult r = writefilesafely(path("plain/d/e.csv"), "x", tmissingfolders::create);
    EXPECT_EQ(r.reason, "Not a directory");
    EXPECT_EQ(read_file(path("plain")), "p");
}

// In a folder that others may write into, a link that a third user made is
// not followed: it could lead the write to any file of the writer's. A link
// of the writer, or of the folder's owner, or in a folder only its owner
// may write into, is.
TEST_F(FilesTest, SafeWriteFollowsNoStrangersLinkInASharedFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "making another user's link needs root";
    constexpr uid_t stranger = 65534;
    const std::string victim = path("victim.csv");
    const struct {
        const char* what;
        mode_t foldermode;
        uid_t folderowner;
        uid_t linkowner;
        bool followed;
    } cases[] = {
        {"a stranger's link in a shared temporary folder", 01777, 0, stranger, false},
        {"a stranger's link in a group's folder", 0775, 0, stranger, false},
        {"the writer's own link in a shared folder", 01777, 0, 0, true},
        {"the folder owner's link in a shared folder", 01777, stranger, stranger, true},
        {"a link in a folder only its owner writes", 0755, 0, stranger, true},
    };
    int k = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        write_file(victim, "precious");
        const fs::path folder = dir_.path() / ("f" + std::to_string(k++));
        fs::create_directory(folder);
        ASSERT_EQ(::chown(folder.c_str(), c.folderowner, 0), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.foldermode), 0);
        const fs::path link = folder / "link.csv";
        fs::create_symlink(victim, link);
        ASSERT_EQ(::lchown(link.c_str(), c.linkowner, 0), 0);

        const twriteresult r = writefilesafely(link, "replaced");
        EXPECT_EQ(static_cast<bool>(r), c.followed) << r.reason;
        EXPECT_EQ(read_file(victim), c.followed ? "replaced" : "precious");
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(testing::entries(folder), std::set<std::string>{"link.csv"});
        if (!c.followed) {
            EXPECT_EQ(r.code, 5);
            EXPECT_EQ(r.reason, "Permission denied");
        }
    }
}

// ---- saving lines ----

TEST_F(FilesTest, SaveGoesThroughATemporaryName) {
    const struct {
        const char* name;
        int count;
    } cases[] = {
        {"d.csv", 10000},     {"d.csv", 10001}, {"d.CsV", 10001}, {"d.txt", 10001},
        {"d.csv.bak", 10001}, {"d.txt", 3},     {"d.txt", 0},
    };
    for (const bool earlierfile : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.count) + (earlierfile ? " over a file" : ""));
            TempDir folder;
            const std::string target = (folder / c.name).string();
            if (earlierfile) write_file(target, std::string(500000, 'o'));
            const tstringlist t = numberedlines(c.count);
            renames_.clear();

            EXPECT_TRUE(savelinestofile(t, target));

            EXPECT_EQ(read_file(target), crlfjoined(t));
            ASSERT_EQ(renames_.size(), 1u);
            EXPECT_TRUE(movedintoplace(renames_[0], target)) << renames_[0];
            EXPECT_EQ(testing::entries(folder.path()), std::set<std::string>{c.name});
            EXPECT_EQ(QVTLibiostatus, 0);
        }
    }
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(pauses_.empty());
}

TEST_F(FilesTest, SaveReplacesAStaleBackupFile) {
    const std::string target = path("s.txt");
    write_file(target, "old\r\n");
    write_file(target + ".$save", "stale");
    EXPECT_TRUE(savelinestofile(lines({"new"}), target));
    EXPECT_EQ(read_file(target), "new\r\n");
    EXPECT_EQ(entries(), std::set<std::string>{"s.txt"});
}

// When the new file cannot be moved into place, the earlier one stays, the
// temporary file goes, and the stale backup waits for a save that succeeds.
TEST_F(FilesTest, SaveKeepsTheEarlierFileWhenTheNewOneCannotBeMovedIntoPlace) {
    const std::string target = path("k.txt");
    write_file(target, "old\r\n");
    write_file(target + ".$save", "stale");
    renamehook_ = [&](const std::string& from, const std::string& to, bool replace) {
        return to == target ? EACCES : realrename_(from, to, replace);
    };
    std::string reason;

    EXPECT_FALSE(savelinestofile(lines({"new"}), target, &reason));

    EXPECT_EQ(read_file(target), "old\r\n");
    EXPECT_EQ(QVTLibiostatus, 5);
    EXPECT_EQ(QVTLibIOError, 5);
    EXPECT_EQ(reason, "Permission denied");
    EXPECT_TRUE(pauses_.empty());  // only the making of the temporary file is tried again
    EXPECT_EQ(entries(), (std::set<std::string>{"k.txt", "k.txt.$save"}));
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
    ASSERT_EQ(renames_.size(), 1u);
    EXPECT_TRUE(movedintoplace(renames_[0], target)) << renames_[0];
    EXPECT_EQ(targetheld, (std::vector<bool>{true, true}));
}

// A folder under the backup name cannot be cleared away; it is not in the
// way of the save either.
TEST_F(FilesTest, SaveLeavesAFolderUnderTheBackupNameAlone) {
    const std::string target = path("b.txt");
    write_file(target, "old\r\n");
    fs::create_directories(target + ".$save/inside");
    EXPECT_TRUE(savelinestofile(lines({"new"}), target));
    EXPECT_EQ(read_file(target), "new\r\n");
    EXPECT_EQ(entries(), (std::set<std::string>{"b.txt", "b.txt.$save"}));
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
    EXPECT_EQ(entries(), std::set<std::string>{"big.csv"});
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
    EXPECT_EQ(entries(), std::set<std::string>{"job_OMAData.csv"});

    makereadonly(dir_.path());
    const int code = asordinaryuser([&] { return savelinestofile(t, target) ? 0 : QVTLibiostatus.load(); });
    fs::permissions(dir_.path(), fs::perms::owner_all);
    if (code < 0) GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(code, 5);
    EXPECT_EQ(read_file(target), earlier);
    EXPECT_EQ(entries(), std::set<std::string>{"job_OMAData.csv"});
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

// What is not a regular file is neither replaced nor written into nor
// waited for: the save fails at once, without the pauses and further
// attempts a missing folder gets.
TEST_F(FilesTest, SaveRefusesWhatIsNotARegularFileAtOnce) {
    const fs::path pipe = dir_.path() / "pipe.oma";
    ASSERT_TRUE(testing::make_fifo(pipe));
    fs::create_directory(dir_.path() / "folder.oma");
    const struct {
        std::string target;
        const char* reason;
    } cases[] = {
        {pipe.string(), "not a regular file; not overwritten"},
        {"/dev/full", "not a regular file; not overwritten"},
        {path("folder.oma"), "Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        bool saved = true;
        int code = 0;  // the codes are the saving thread's
        std::string reason;
        EXPECT_TRUE(testing::finishes_in_time(
            [&] {
                saved = savelinestofile(lines({"JOB=1", "R=2500"}), c.target, &reason);
                code = QVTLibiostatus;
            },
            {pipe}));
        EXPECT_FALSE(saved);
        EXPECT_EQ(code, 5);
        EXPECT_EQ(reason, c.reason);
    }
    EXPECT_TRUE(pauses_.empty());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(FilesTest, SaveIntoMissingFolderWritesNothingAndShowsNothing) {
    const std::string target = path("nofolder/job.oma");
    std::string reason;
    EXPECT_FALSE(savelinestofile(lines({"JOB=1", "R=2500"}), target, &reason));
    EXPECT_EQ(reason, "No such file or directory");
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
        {"dump.csv", numberedlines(3), 0},       {"job.oma", lines({"JOB=1", "TRCFMT=1;400;E;R;F", "R=2500;2501"}), 0},
        {"job.oma", lines({"R=1", "JOB=1"}), 0}, {"job.oma", lines({"JOB=1", " R=1", "XR=2"}), 0},
        {"job.csv", lines({"R=1"}), 0},          {"empty.csv", tstringlist(), 0},
        {"big.csv", numberedlines(20000), 0},    {"cut.csv", numberedlines(20000), 1000},
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
            const std::set<std::string> names = entries();
            return outcome{saved, QVTLibiostatus.load(), read_file(target), messages_.size(),
                           std::any_of(names.begin(), names.end(), [](const std::string& n) { return n[0] == '.'; })};
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

// A copy goes through the safe writer: one that fails part-way (the file
// may not grow past 1000 bytes) leaves the earlier target whole and nothing
// beside it. A source that is not a regular file is refused at once, never
// waited for.
TEST_F(FilesTest, FailedCopyLeavesTheTargetAsItWas) {
    write_file(path("src.bin"), std::string(10000, 's'));
    write_file(path("dst.bin"), "earlier");
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1000;
    const auto oldsignal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = QVTCopyfile(path("src.bin"), path("dst.bin"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldsignal);
    EXPECT_EQ(code, 223);
    EXPECT_EQ(QVTCopyfileerrormess(), "Copy file write error");
    EXPECT_EQ(read_file(path("dst.bin")), "earlier");

    const fs::path pipe = dir_.path() / "pipe.bin";
    ASSERT_TRUE(testing::make_fifo(pipe));
    int pipecode = 0;
    std::string message;
    EXPECT_TRUE(testing::finishes_in_time(
        [&] {
            pipecode = QVTCopyfile(pipe.string(), path("dst.bin"));
            message = QVTCopyfileerrormess();
        },
        {pipe}));
    EXPECT_EQ(pipecode, 5);
    EXPECT_EQ(message, "Copy file " + pipe.string() + " not reset");
    EXPECT_EQ(read_file(path("dst.bin")), "earlier");
    EXPECT_EQ(entries(), (std::set<std::string>{"dst.bin", "pipe.bin", "src.bin"}));
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

// ---- names ----

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
