// File-type registration against a temporary set of XDG folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fileregistration.hpp"
#include "homesandbox.hpp"
#include "testsupport.hpp"

namespace fs = std::filesystem;

namespace kestrune {
namespace {

using testing::envsetting;
using testing::homesandbox;
using testing::read_file;
using testing::TempDir;
using testing::write_file;

// Reads an Exec value back the way a desktop reads it: the escapes of a
// string value first, then the arguments (double-quoted ones with their
// backslash escapes), then "%%" as "%"; a field code stays as "%f".
std::vector<std::string> parseexec(const std::string& value) {
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char n = value[++i];
            unescaped.push_back(n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n);
        } else {
            unescaped.push_back(value[i]);
        }
    }
    std::vector<std::string> args;
    std::size_t i = 0;
    while (i < unescaped.size()) {
        if (unescaped[i] == ' ') {
            ++i;
            continue;
        }
        std::string arg;
        if (unescaped[i] == '"') {
            ++i;
            while (i < unescaped.size() && unescaped[i] != '"') {
                if (unescaped[i] == '\\' && i + 1 < unescaped.size()) ++i;
                arg.push_back(unescaped[i++]);
            }
            ++i;  // closing quote
        } else {
            while (i < unescaped.size() && unescaped[i] != ' ') arg.push_back(unescaped[i++]);
            if (arg == "%f") {
                args.push_back(arg);
                continue;
            }
        }
        std::string expanded;
        for (std::size_t k = 0; k < arg.size(); ++k) {
            expanded.push_back(arg[k]);
            if (arg[k] == '%' && k + 1 < arg.size() && arg[k + 1] == '%') ++k;
        }
        args.push_back(expanded);
    }
    return args;
}

// The value of key in a key file's text ("" when missing).
std::string keyvalue(const std::string& text, const std::string& key) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
        start = end + 1;
    }
    return std::string();
}

// The value of key in one group of a key file's text ("" when missing).
std::string groupvalue(const std::string& text, const std::string& group, const std::string& key) {
    const std::size_t start = text.find("[" + group + "]\n");
    if (start == std::string::npos) return std::string();
    std::size_t end = text.find("\n[", start + 1);
    return keyvalue(text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1), key);
}

class RegistrationTest : public ::testing::Test {
protected:
    TempDir dir;
    // Its folders are left for the registration to make.
    homesandbox sandbox{dir.path(), homesandbox::homefolders::absent};
    fs::path data = sandbox.datahome();
    fs::path config = sandbox.confighome();
    int notified = 0;
    tshellnotifier previous;

    void SetUp() override {
        previous = setshellnotifier([this](const fs::path& d, const fs::path& c) {
            ++notified;
            EXPECT_EQ(d, data);
            EXPECT_EQ(c, config);
        });
    }
    void TearDown() override { setshellnotifier(previous); }

    static TFileRegistrationHelper helper(const std::string& path = "/opt/kestrune/bin/kestrune") {
        return TFileRegistrationHelper("Kestrune", path, "Kestrune", "Kestrune", ".oma");
    }
};

TEST_F(RegistrationTest, FirstRegistrationWritesEverythingAndNotifiesOnce) {
    auto h = helper();
    EXPECT_FALSE(h.IsFileTypeRegistered());
    EXPECT_EQ(h.RegisterToHandleFileType(), 0);
    EXPECT_TRUE(h.IsFileTypeRegistered());
    EXPECT_EQ(notified, 1);

    EXPECT_EQ(h.desktopentrypath(), data / "applications/kestrune.desktop");
    const std::string entry = read_file(data / "applications/kestrune.desktop");
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(keyvalue(entry, "Type"), "Application");
    EXPECT_EQ(keyvalue(entry, "Name"), "Kestrune");
    EXPECT_EQ(keyvalue(entry, "Version"), "1.0");
    // A plain path is not quoted.
    EXPECT_EQ(keyvalue(entry, "Exec"), "/opt/kestrune/bin/kestrune %f");
    EXPECT_EQ(keyvalue(entry, "MimeType"), "application/x-oma;");
    EXPECT_EQ(keyvalue(entry, "StartupWMClass"), "Kestrune");
    EXPECT_EQ(keyvalue(entry, "Icon"), (data / "icons/hicolor/scalable/apps/kestrune.svg").string());
    EXPECT_NE(read_file(data / "icons/hicolor/scalable/apps/kestrune.svg").find("<svg"), std::string::npos);

    const std::string package = read_file(data / "mime/packages/kestrune.xml");
    EXPECT_NE(package.find("<mime-type type=\"application/x-oma\">"), std::string::npos);
    EXPECT_NE(package.find("<glob pattern=\"*.oma\"/>"), std::string::npos);
    EXPECT_NE(package.find("<comment>OMA lab file</comment>"), std::string::npos);

    EXPECT_EQ(read_file(config / "mimeapps.list"),
              "[Default Applications]\napplication/x-oma=kestrune.desktop;\n\n"
              "[Added Associations]\napplication/x-oma=kestrune.desktop;\n");
    // No temporary files are left beside what was written.
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
    }
}

TEST_F(RegistrationTest, ExecSurvivesAwkwardProgramPaths) {
    const std::vector<std::string> paths = {
        "/opt/kestrune/kestrune",
        "/home/u/My Programs/100% sure/kestrune",
        "/tmp/a\"b/$HOME/`x`/back\\slash/kestrune",
        "/tmp/semi;colon/tab\there/new\nline/kestrune",
        "/tmp/%f/%%/%u",
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        fs::remove_all(data);
        auto h = helper(path);
        ASSERT_EQ(h.RegisterProgid(true), 0);
        const std::string entry = read_file(data / "applications/kestrune.desktop");
        const std::string exec = keyvalue(entry, "Exec");
        // One line: line breaks inside the path are escaped.
        EXPECT_EQ(exec.find('\n'), std::string::npos);
        EXPECT_EQ(parseexec(exec), (std::vector<std::string>{path, "%f"}));
    }
}

// A desktop entry is UTF-8 with no escape for other bytes: a program path
// that is no UTF-8 is refused, and nothing is written that readers would
// drop or that would start another file.
TEST_F(RegistrationTest, ProgramPathThatIsNoUtf8IsRefused) {
    const std::vector<std::string> paths = {
        "/opt/caf\xE9/kestrune",            // Latin-1
        "/opt/\xC0\xAF/kestrune",           // overlong "/"
        "/opt/\xED\xA0\x80/kestrune",       // a surrogate
        "/opt/truncated\xE2\x82/kestrune",  // a sequence cut short
    };
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        auto h = helper(path);
        const tregresult r = h.RegisterToHandleFileType();
        EXPECT_LT(r, 0);
        EXPECT_FALSE(h.IsFileTypeRegistered());
        EXPECT_FALSE(fs::exists(data / "icons/hicolor/scalable/apps/kestrune.svg"));
        EXPECT_FALSE(fs::exists(config / "mimeapps.list"));
        EXPECT_EQ(notified, 0);
    }
    // UTF-8 beyond ASCII is written as it is.
    const std::string utf8 = "/opt/caf\xC3\xA9 \xF0\x9F\x93\x81/kestrune";
    ASSERT_EQ(helper(utf8).RegisterToHandleFileType(), 0);
    EXPECT_EQ(parseexec(keyvalue(read_file(data / "applications/kestrune.desktop"), "Exec")),
              (std::vector<std::string>{utf8, "%f"}));
}

TEST(DesktopExecQuoting, Table) {
    struct tcase {
        const char* arg;
        const char* quoted;
    };
    const std::vector<tcase> cases = {
        {"/usr/bin/kestrune", "/usr/bin/kestrune"},
        {"/opt/k-1.0/bin/k_2+x=y,z@w", "/opt/k-1.0/bin/k_2+x=y,z@w"},
        {"/opt/caf\xC3\xA9/k", "/opt/caf\xC3\xA9/k"},
        {"/a b/k", "\"/a b/k\""},
        {"/50%/k", "/50%%/k"},
        {"/50% b/k", "\"/50%% b/k\""},
        {"/a'b", "\"/a'b\""},
        {"/a~b", "\"/a~b\""},
        {"/a#b", "\"/a#b\""},
        {"/a(b)", "\"/a(b)\""},
        {"/a;b|c&d", "\"/a;b|c&d\""},
        {"/a*b?c<d>e", "\"/a*b?c<d>e\""},
        {"/a\tb", "\"/a\\tb\""},
        {"", "\"\""},
        {"/a\"b", "\"/a\\\\\"b\""},
        {"/a\\b", "\"/a\\\\\\\\b\""},
        {"/a$b`c", "\"/a\\\\$b\\\\`c\""},
        {"/a\nb", "\"/a\\nb\""},
    };
    for (const tcase& c : cases) EXPECT_EQ(quotedesktopexecarg(c.arg), c.quoted) << c.arg;
}

TEST_F(RegistrationTest, LaterStartsLeaveTheRegistrationAlone) {
    auto first = helper("/old/place/kestrune");
    ASSERT_EQ(first.RegisterToHandleFileType(), 0);
    notified = 0;
    // registerapp registers the running program, but only when no entry exists.
    EXPECT_EQ(registerapp(), 0);
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(keyvalue(read_file(data / "applications/kestrune.desktop"), "Exec"), "/old/place/kestrune %f");

    fs::remove(data / "applications/kestrune.desktop");
    EXPECT_EQ(registerapp(), 0);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(parseexec(keyvalue(read_file(data / "applications/kestrune.desktop"), "Exec")),
              (std::vector<std::string>{runningprogrampath(), "%f"}));
    EXPECT_FALSE(runningprogrampath().empty());
}

// The user's own default for the type survives; the program is still added
// as a handler, and its removal takes away only its own entries.
TEST_F(RegistrationTest, MimeappsListKeepsOtherEntriesAndTheUsersDefault) {
    const std::string before =
        "# my associations\n"
        "[Default Applications]\n"
        "text/plain=editor.desktop;\n"
        "application/x-oma=other.desktop;\n"
        "\n"
        "[Added Associations]\n"
        "application/x-oma=other.desktop;third.desktop;\n"
        "image/png=viewer.desktop;\n"
        "\n"
        "[Removed Associations]\n"
        "application/x-oma=bad.desktop;\n";
    fs::create_directories(config);
    write_file(config / "mimeapps.list", before);
    auto h = helper();
    ASSERT_EQ(h.RegisterToHandleFileType(), 0);
    const std::string registered =
        "# my associations\n"
        "[Default Applications]\n"
        "text/plain=editor.desktop;\n"
        "application/x-oma=other.desktop;\n"
        "\n"
        "[Added Associations]\n"
        "application/x-oma=kestrune.desktop;other.desktop;third.desktop;\n"
        "image/png=viewer.desktop;\n"
        "\n"
        "[Removed Associations]\n"
        "application/x-oma=bad.desktop;\n";
    EXPECT_EQ(read_file(config / "mimeapps.list"), registered);

    // Registering again changes nothing.
    ASSERT_EQ(h.RegisterToHandleExt(".oma", true), 0);
    EXPECT_EQ(read_file(config / "mimeapps.list"), registered);

    ASSERT_EQ(h.UnRegisterFileTypeHandler(), 0);
    EXPECT_EQ(read_file(config / "mimeapps.list"),
              "# my associations\n"
              "[Default Applications]\n"
              "text/plain=editor.desktop;\n"
              "application/x-oma=other.desktop;\n"
              "\n"
              "[Added Associations]\n"
              "application/x-oma=other.desktop;third.desktop;\n"
              "image/png=viewer.desktop;\n"
              "\n"
              "[Removed Associations]\n"
              "application/x-oma=bad.desktop;\n");
}

// Where a user's default may stand besides the list that is edited: each one
// keeps the program from becoming the default; an empty value is no choice.
TEST_F(RegistrationTest, DefaultIsSetOnlyWhenTheUserHasNone) {
    struct tcase {
        const char* name;
        std::string file;  // below the sandbox's home
        std::string content;
        bool userdefault;
    };
    const std::string otherdefault = "[Default Applications]\napplication/x-oma=other.desktop;\n";
    const std::vector<tcase> cases = {
        {"none at all", "", "", false},
        {"other types only", ".config/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop;\n", false},
        {"empty value", ".config/mimeapps.list", "[Default Applications]\napplication/x-oma=\n", false},
        {"only added", ".config/mimeapps.list", "[Added Associations]\napplication/x-oma=other.desktop;\n", false},
        {"in the user's list", ".config/mimeapps.list", otherdefault, true},
        {"in the desktop's list", ".config/testdesk-mimeapps.list", otherdefault, true},
        {"in the older list", ".local/share/applications/mimeapps.list", otherdefault, true},
    };
    envsetting desktop("XDG_CURRENT_DESKTOP", "X-Other:TestDesk");
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(data);
        fs::remove_all(config);
        if (!c.file.empty()) {
            fs::create_directories((sandbox.home() / c.file).parent_path());
            write_file(sandbox.home() / c.file, c.content);
        }
        ASSERT_EQ(helper().RegisterToHandleFileType(), 0);
        const std::string list = read_file(config / "mimeapps.list");
        EXPECT_EQ(groupvalue(list, "Default Applications", "application/x-oma") == "kestrune.desktop;",
                  !c.userdefault)
            << list;
        EXPECT_EQ(groupvalue(list, "Added Associations", "application/x-oma").rfind("kestrune.desktop;", 0), 0u)
            << list;
    }
}

// A program started from a prefix whose desktop entry the system has (an
// installed copy) registers nothing of its own: the desktop would list it
// twice. Any other program, such as one run from its build folder, still
// registers.
TEST_F(RegistrationTest, SystemEntryOfThisProgramNeedsNoUserEntry) {
    const fs::path share = sandbox.root() / "share";
    const fs::path bin = dir / "prefix/bin";
    fs::create_directories(bin);
    fs::create_directories(share / "applications");
    write_file(bin / "kestrune", "#!/bin/sh\n");
    fs::permissions(bin / "kestrune", fs::perms::owner_all);
    fs::create_symlink(bin / "kestrune", dir / "linked-kestrune");
    envsetting path("PATH", bin.string() + ":/usr/bin:/bin");

    struct tcase {
        const char* name;
        std::string entry;  // the system's kestrune.desktop ("" for none)
        bool system;
    };
    const std::string program = (bin / "kestrune").string();
    const std::vector<tcase> cases = {
        {"no system entry", "", false},
        {"full path", "[Desktop Entry]\nType=Application\nExec=" + program + " %f\n", true},
        {"quoted path", "[Desktop Entry]\nExec=\"" + program + "\" %f\n", true},
        {"name on the PATH", "[Desktop Entry]\nExec=kestrune %f\n", true},
        {"through a link", "[Desktop Entry]\nExec=" + (dir / "linked-kestrune").string() + " %f\n", true},
        {"another program", "[Desktop Entry]\nExec=/usr/bin/kestrune %f\n", false},
        {"name not on the PATH", "[Desktop Entry]\nExec=kestrune-other %f\n", false},
        {"only an action starts it", "[Desktop Entry]\nExec=/opt/x %f\n[Desktop Action a]\nExec=" + program + "\n",
         false},
        {"no Exec", "[Desktop Entry]\nType=Application\n", false},
    };
    for (const tcase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(share / "applications/kestrune.desktop");
        if (!c.entry.empty()) write_file(share / "applications/kestrune.desktop", c.entry);
        EXPECT_EQ(helper(program).IsRegisteredBySystem(), c.system);
    }

    // registerapp looks at the running program: a system entry that starts
    // it leaves the user's folders untouched.
    const std::string self = runningprogrampath();
    ASSERT_FALSE(self.empty());
    write_file(share / "applications/kestrune.desktop", "[Desktop Entry]\nExec=" + self + " %f\n");
    {
        envsetting dirs("XDG_DATA_DIRS", "relative:" + share.string());
        EXPECT_EQ(registerapp(), 0);
    }
    EXPECT_EQ(notified, 0);
    EXPECT_FALSE(fs::exists(data / "applications/kestrune.desktop"));
    EXPECT_FALSE(fs::exists(config / "mimeapps.list"));

    // The system's entry of another copy: this one registers itself.
    write_file(share / "applications/kestrune.desktop", "[Desktop Entry]\nExec=" + program + " %f\n");
    EXPECT_EQ(registerapp(), 0);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(parseexec(keyvalue(read_file(data / "applications/kestrune.desktop"), "Exec")),
              (std::vector<std::string>{self, "%f"}));
}

// The entry the registration writes is one the desktop's own checker
// accepts, whatever the program path.
TEST_F(RegistrationTest, EntryPassesTheDesktopChecker) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "desktop-file-validate is not installed";
    }
    for (const std::string path : {"/usr/bin/kestrune", "/home/u/My Programs/100% sure/kestrune"}) {
        SCOPED_TRACE(path);
        ASSERT_EQ(helper(path).RegisterProgid(true), 0);
        std::string out, err;
        const int status = testing::run_command(
            "desktop-file-validate " + testing::shell_quote((data / "applications/kestrune.desktop").string()), &out,
            &err);
        EXPECT_EQ(status, 0) << out << err;
        EXPECT_EQ(out + err, "");
    }
}

TEST_F(RegistrationTest, MimeappsListReachedThroughALinkStaysALink) {
    const fs::path real = dir / "dotfiles/mimeapps.list";
    fs::create_directories(real.parent_path());
    write_file(real, "[Default Applications]\ntext/plain=editor.desktop;\n");
    fs::create_directories(config);
    fs::create_symlink(real, config / "mimeapps.list");
    ASSERT_EQ(helper().RegisterToHandleExt(".oma", true), 0);
    EXPECT_TRUE(fs::is_symlink(config / "mimeapps.list"));
    EXPECT_NE(read_file(real).find("application/x-oma=kestrune.desktop;"), std::string::npos);
}

// The registration's files are written as every file is: the user's own
// mimeapps.list keeps its permissions, and what cannot be replaced (a folder
// under the MIME package's name) fails the registration with its code and
// leaves nothing beside it.
TEST_F(RegistrationTest, RewrittenFilesKeepTheirPermissionsOrAreLeftAlone) {
    fs::create_directories(config);
    write_file(config / "mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop;\n");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(config / "mimeapps.list", mode);
    ASSERT_EQ(helper().RegisterToHandleExt(".oma", true), 0);
    EXPECT_NE(read_file(config / "mimeapps.list").find("application/x-oma=kestrune.desktop;"), std::string::npos);
    EXPECT_EQ(fs::status(config / "mimeapps.list").permissions(), mode);

    const fs::path packages = data / "mime/packages";
    fs::remove(packages / "kestrune.xml");
    fs::create_directory(packages / "kestrune.xml");
    EXPECT_EQ(helper().RegisterToHandleExt(".oma", true), hresultfromcode(5));
    EXPECT_TRUE(fs::is_empty(packages / "kestrune.xml"));
    EXPECT_EQ(testing::entries(packages), std::set<std::string>{"kestrune.xml"});
}

TEST_F(RegistrationTest, UnregistrationRemovesWhatRegistrationWrote) {
    auto h = helper();
    // Nothing registered yet: success, nothing created.
    EXPECT_EQ(h.UnRegisterFileTypeHandler(), 0);
    EXPECT_FALSE(fs::exists(config / "mimeapps.list"));
    EXPECT_EQ(notified, 1);

    ASSERT_EQ(h.RegisterToHandleFileType(), 0);
    ASSERT_EQ(h.UnRegisterFileTypeHandler(), 0);
    EXPECT_FALSE(h.IsFileTypeRegistered());
    EXPECT_FALSE(fs::exists(data / "applications/kestrune.desktop"));
    EXPECT_FALSE(fs::exists(data / "icons/hicolor/scalable/apps/kestrune.svg"));
    EXPECT_FALSE(fs::exists(data / "mime/packages/kestrune.xml"));
    const std::string list = read_file(config / "mimeapps.list");
    EXPECT_EQ(list.find("kestrune.desktop"), std::string::npos) << list;
    EXPECT_EQ(notified, 3);
}

TEST_F(RegistrationTest, FailedRegistrationLeavesNoEntryAndIsTriedAgain) {
    // A data folder below a plain file cannot be created, even by root.
    write_file(dir / "blocker", "x");
    {
        envsetting blocked("XDG_DATA_HOME", (dir / "blocker/data").string());
        auto h = helper();
        const tregresult r = h.RegisterToHandleFileType();
        EXPECT_LT(r, 0);
        EXPECT_EQ(static_cast<std::uint32_t>(r) & 0xFFFF0000u, 0x80070000u);
        EXPECT_FALSE(h.IsFileTypeRegistered());
        EXPECT_EQ(notified, 0);
    }
    // The configuration folder is blocked: the entry is written, the type
    // association fails and is reported.
    {
        envsetting blocked("XDG_CONFIG_HOME", (dir / "blocker/config").string());
        EXPECT_LT(helper().RegisterToHandleFileType(), 0);
        EXPECT_EQ(notified, 0);
    }
    EXPECT_EQ(helper().RegisterToHandleFileType(), 0);
    EXPECT_EQ(notified, 1);
}

TEST_F(RegistrationTest, FoldersFromTheEnvironment) {
    const fs::path home = dir / "home";
    envsetting homevar("HOME", home.string());
    {
        // Relative XDG paths are not valid and are ignored.
        envsetting d("XDG_DATA_HOME", "relative/data");
        envsetting c("XDG_CONFIG_HOME", std::nullopt);
        auto h = helper();
        EXPECT_EQ(h.desktopentrypath(), home / ".local/share/applications/kestrune.desktop");
        EXPECT_EQ(h.mimeappspath(), home / ".config/mimeapps.list");
    }
    {
        envsetting d("XDG_DATA_HOME", std::nullopt);
        envsetting h2("HOME", std::nullopt);
        auto h = helper();
        EXPECT_TRUE(h.desktopentrypath().empty());
        EXPECT_FALSE(h.IsFileTypeRegistered());
        EXPECT_LT(h.RegisterProgid(true), 0);
    }
}

TEST_F(RegistrationTest, NamesStayInsideTheirFolders) {
    TFileRegistrationHelper h("../Evil/Id", "/bin/k",
                              "Fr\xE9"
                              "d & <Co>",
                              "Id", "../x");
    EXPECT_EQ(h.desktopid(), ".._evil_id.desktop");
    EXPECT_EQ(h.desktopentrypath().parent_path(), data / "applications");
    EXPECT_EQ(h.mimetype(), "application/x-_x");
    ASSERT_EQ(h.RegisterToHandleFileType(), 0);
    EXPECT_EQ(keyvalue(read_file(h.desktopentrypath()), "Name"),
              "Fr\xC3\xA9"
              "d & <Co>");
    EXPECT_NE(read_file(h.mimepackagepath()).find("<comment>/X lab file</comment>"), std::string::npos);
    // What the extension brings into the MIME package is XML text.
    const TFileRegistrationHelper amp("Id", "/bin/k", "Name", "Id", ".o&m<a>");
    EXPECT_NE(amp.mimepackage().find("<comment>O&amp;M&lt;A&gt; lab file</comment>"), std::string::npos);
    EXPECT_NE(amp.mimepackage().find("<glob pattern=\"*.o&amp;m&lt;a&gt;\"/>"), std::string::npos);
    EXPECT_EQ(h.RegisterToHandleExt("", true), hresultfromcode(87));
    EXPECT_EQ(helper("").RegisterProgid(true), hresultfromcode(87));
}

TEST(RegistrationResult, CodesAreNegativeExceptSuccess) {
    EXPECT_EQ(hresultfromcode(0), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(hresultfromcode(5)), 0x80070005u);
    EXPECT_EQ(static_cast<std::uint32_t>(hresultfromcode(0x12345)), 0x80072345u);
    EXPECT_FALSE(registrationsucceeded(hresultfromcode(2)));
    EXPECT_TRUE(registrationsucceeded(0));
}

// The real notification, where the desktop's MIME tool is installed: the new
// type is found by its pattern afterwards.
TEST(RegistrationDesktop, MimeDatabaseLearnsThePattern) {
    if (std::system("command -v update-mime-database >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "update-mime-database is not installed";
    }
    TempDir dir;
    const homesandbox sandbox(dir.path(), homesandbox::homefolders::absent);
    const tshellnotifier previous = setshellnotifier(nullptr);
    TFileRegistrationHelper h("Kestrune", "/opt/k", "Kestrune", "Kestrune", ".oma");
    EXPECT_EQ(h.RegisterToHandleFileType(), 0);
    setshellnotifier(previous);
    EXPECT_NE(read_file(sandbox.datahome() / "mime/globs2").find("application/x-oma:*.oma"), std::string::npos);
}

}  // namespace
}  // namespace kestrune
