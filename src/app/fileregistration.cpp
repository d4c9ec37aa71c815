#include "fileregistration.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "kestrune/support/files.hpp"
#include "kestrune/support/text.hpp"

extern char** environ;

namespace kestrune {
namespace {

namespace fs = std::filesystem;

constexpr int codeinvalidparameter = 87;
constexpr int codepathnotfound = 3;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// An XDG base folder: the variable when it holds an absolute path, else the
// given folder below the home folder; empty when neither can be had.
fs::path xdgfolder(const char* variable, const char* belowhome) {
    const std::string value = environment(variable);
    if (!value.empty() && value.front() == '/') return fs::path(value);
    const std::string home = environment("HOME");
    if (home.empty()) return fs::path();
    return fs::path(home) / belowhome;
}

fs::path datahome() { return xdgfolder("XDG_DATA_HOME", ".local/share"); }
fs::path confighome() { return xdgfolder("XDG_CONFIG_HOME", ".config"); }

// A name that is safe as one file name: letters, digits, "_", "-" and "."
// kept (letters in lower case), anything else replaced by "_".
std::string safename(std::string_view s) {
    std::string result;
    result.reserve(s.size());
    for (const char c : s) {
        if (c >= 'A' && c <= 'Z') {
            result.push_back(static_cast<char>(c - 'A' + 'a'));
        } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.') {
            result.push_back(c);
        } else {
            result.push_back('_');
        }
    }
    // Never "." or "..", never empty.
    if (result.find_first_not_of('.') == std::string::npos) result.insert(0, "_");
    return result;
}

// A desktop entry string value: backslash, line breaks and tabs escaped.
std::string desktopstring(std::string_view s) {
    std::string result;
    result.reserve(s.size() + 8);
    for (const char c : s) {
        switch (c) {
            case '\\':
                result += "\\\\";
                break;
            case '\n':
                result += "\\n";
                break;
            case '\r':
                result += "\\r";
                break;
            case '\t':
                result += "\\t";
                break;
            default:
                result.push_back(c);
        }
    }
    return result;
}

std::string xmltext(std::string_view s) {
    std::string result;
    for (const char c : s) {
        switch (c) {
            case '&':
                result += "&amp;";
                break;
            case '<':
                result += "&lt;";
                break;
            case '>':
                result += "&gt;";
                break;
            case '"':
                result += "&quot;";
                break;
            case '\'':
                result += "&apos;";
                break;
            default:
                // Control characters are not allowed in XML 1.0 text.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') result.push_back(c);
        }
    }
    return result;
}

int codefromerrno(int err) { return err == 0 ? 0 : ioerrorfromerrno(err); }

// Writes content to path through the one safe writer, making missing
// folders: a reader never sees a half-written file, and a symbolic link (a
// mimeapps.list kept elsewhere) stays a link. Returns 0 or the code.
int writedesktopfile(const fs::path& path, const std::string& content) {
    return writefilesafely(path, content, tmissingfolders::create).code;
}

// Removes a file; a missing one counts as removed.
int removefile(const fs::path& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return 0;
    return codefromerrno(errno);
}

// Reads a whole file; false with the code when it cannot be read (a missing
// file gives code 0 and empty content).
bool readwholefile(const fs::path& path, std::string& content, int& code) {
    content.clear();
    code = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        code = codefromerrno(errno);
        return false;
    }
    char block[4096];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            code = codefromerrno(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        content.append(block, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

std::vector<std::string> splitlines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The entries of a ";"-separated list value (or one with another separator).
std::vector<std::string> listentries(std::string_view value, char separator = ';') {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t end = value.find(separator, start);
        if (end == std::string_view::npos) end = value.size();
        const std::string_view entry = trimmed(value.substr(start, end - start));
        if (!entry.empty()) entries.emplace_back(entry);
        start = end + 1;
    }
    return entries;
}

std::string joinlist(const std::vector<std::string>& entries) {
    std::string value;
    for (const std::string& e : entries) value.append(e).push_back(';');
    return value;
}

// Changes the value of key in group of a key file held as lines: change
// receives the current list (empty when the key is missing) and returns the
// new one; an empty list removes the key. The group is added at the end when
// it is missing and something is to be written into it.
template <typename Change>
void editkeyfile(std::vector<std::string>& lines, std::string_view group, std::string_view key, Change change) {
    const std::string header = "[" + std::string(group) + "]";
    std::size_t groupstart = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (trimmed(lines[i]) == header) {
            groupstart = i;
            break;
        }
    }
    if (groupstart == lines.size()) {
        const std::vector<std::string> entries = change(std::vector<std::string>());
        if (entries.empty()) return;
        if (!lines.empty() && !trimmed(lines.back()).empty()) lines.emplace_back();
        lines.push_back(header);
        lines.push_back(std::string(key) + "=" + joinlist(entries));
        return;
    }
    std::size_t groupend = groupstart + 1;
    while (groupend < lines.size() && trimmed(lines[groupend]).substr(0, 1) != "[") ++groupend;
    for (std::size_t i = groupstart + 1; i < groupend; ++i) {
        const std::string_view line = trimmed(lines[i]);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos || trimmed(line.substr(0, equals)) != key) continue;
        const std::vector<std::string> entries = change(listentries(line.substr(equals + 1)));
        if (entries.empty()) {
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            lines[i] = std::string(key) + "=" + joinlist(entries);
        }
        return;
    }
    const std::vector<std::string> entries = change(std::vector<std::string>());
    if (entries.empty()) return;
    // After the group's last non-empty line.
    std::size_t at = groupend;
    while (at > groupstart + 1 && trimmed(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::string(key) + "=" + joinlist(entries));
}

std::vector<std::string> without(std::vector<std::string> entries, const std::string& id) {
    std::erase(entries, id);
    return entries;
}

// The extension without its leading dots.
std::string_view bareextension(std::string_view ext) {
    while (!ext.empty() && ext.front() == '.') ext.remove_prefix(1);
    return ext;
}

std::string mimetypefor(std::string_view bare) { return "application/x-" + safename(bare); }

// What the file type is called: "OMA lab file" for "oma".
std::string typecommentfor(std::string_view bare) { return latin1toutf8(upcase(bare)) + " lab file"; }

std::string mimepackagefor(std::string_view bare) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    xml += "  <mime-type type=\"" + mimetypefor(bare) + "\">\n";
    xml += "    <comment>" + xmltext(typecommentfor(bare)) + "</comment>\n";
    // Records are text: a program for plain text can open the file too.
    xml += "    <sub-class-of type=\"text/plain\"/>\n";
    // A glob matches in any letter case unless it says otherwise.
    xml += "    <glob pattern=\"*." + xmltext(latin1toutf8(bare)) + "\"/>\n";
    xml += "  </mime-type>\n";
    xml += "</mime-info>\n";
    return xml;
}

// Whether the user has chosen a default application for type: in the
// mimeapps.list being edited (held as lines), in a desktop's own list beside
// it, or in the older list below the data folder.
bool userhasdefault(std::vector<std::string> lines, const std::string& type) {
    const auto hasdefault = [&type](std::vector<std::string>& keyfile) {
        bool found = false;
        editkeyfile(keyfile, "Default Applications", type, [&found](std::vector<std::string> entries) {
            found = !entries.empty();
            return entries;
        });
        return found;
    };
    if (hasdefault(lines)) return true;
    std::vector<fs::path> others;
    const fs::path config = confighome();
    if (!config.empty()) {
        for (const std::string& desktop : listentries(environment("XDG_CURRENT_DESKTOP"), ':')) {
            others.push_back(config / (safename(desktop) + "-mimeapps.list"));
        }
    }
    if (const fs::path data = datahome(); !data.empty()) others.push_back(data / "applications/mimeapps.list");
    for (const fs::path& path : others) {
        std::string content;
        int code = 0;
        if (!readwholefile(path, content, code) || content.empty()) continue;
        std::vector<std::string> keyfile = splitlines(content);
        if (hasdefault(keyfile)) return true;
    }
    return false;
}

constexpr const char* icontext =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n"
    "  <rect x=\"2\" y=\"6\" width=\"60\" height=\"52\" rx=\"8\" fill=\"#f0f0f0\" stroke=\"#808080\" "
    "stroke-width=\"2\"/>\n"
    "  <path d=\"M7 26 C7 15 18 13 27 16 C31 18 31 30 28 38 C24 48 9 48 7 36 Z\" fill=\"#dbe8f7\" stroke=\"#1f4f9a\" "
    "stroke-width=\"2.5\"/>\n"
    "  <path d=\"M57 26 C57 15 46 13 37 16 C33 18 33 30 36 38 C40 48 55 48 57 36 Z\" fill=\"#dbe8f7\" "
    "stroke=\"#1f4f9a\" stroke-width=\"2.5\"/>\n"
    "  <path d=\"M29 20 Q32 17 35 20\" fill=\"none\" stroke=\"#1f4f9a\" stroke-width=\"2.5\"/>\n"
    "  <path d=\"M10 52 H54\" stroke=\"#d00000\" stroke-width=\"2\"/>\n"
    "</svg>\n";

std::mutex& notifiermutex() {
    static std::mutex m;
    return m;
}

tshellnotifier& notifierslot() {
    static tshellnotifier notifier;
    return notifier;
}

// The program's full path when name is found in a PATH folder and may be run.
std::string findonpath(const std::string& name) {
    const std::string path = environment("PATH");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        const std::string folder = path.substr(start, end - start);
        if (!folder.empty()) {
            const std::string candidate = folder + "/" + name;
            struct stat st {};
            if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return std::string();
}

// The program an Exec value starts: its first argument, with the escapes of
// a string value, the quoting of the Exec key and "%%" undone.
std::string execprogram(std::string_view value) {
    std::string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char n = value[++i];
            unescaped.push_back(n == 's' ? ' ' : n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n);
        } else {
            unescaped.push_back(value[i]);
        }
    }
    std::string program;
    std::size_t i = unescaped.find_first_not_of(' ');
    if (i == std::string::npos) return program;
    if (unescaped[i] == '"') {
        for (++i; i < unescaped.size() && unescaped[i] != '"'; ++i) {
            if (unescaped[i] == '\\' && i + 1 < unescaped.size()) ++i;
            program.push_back(unescaped[i]);
        }
    } else {
        for (; i < unescaped.size() && unescaped[i] != ' '; ++i) program.push_back(unescaped[i]);
    }
    std::string result;
    for (std::size_t k = 0; k < program.size(); ++k) {
        result.push_back(program[k]);
        if (program[k] == '%' && k + 1 < program.size() && program[k + 1] == '%') ++k;
    }
    return result;
}

// Runs a program with one argument, its output discarded, and waits for it.
void runquietly(const std::string& program, const std::string& argument) {
    const std::string executable = findonpath(program);
    if (executable.empty()) return;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string arg0 = program;
    std::string arg1 = argument;
    char* argv[] = {arg0.data(), arg1.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

void notifydesktop(const fs::path& data, const fs::path& config) {
    tshellnotifier notifier;
    {
        std::lock_guard<std::mutex> lock(notifiermutex());
        notifier = notifierslot();
    }
    if (notifier) {
        notifier(data, config);
        return;
    }
    runquietly("update-mime-database", (data / "mime").string());
    runquietly("update-desktop-database", (data / "applications").string());
}

}  // namespace

tregresult hresultfromcode(int code) {
    if (code == 0) return 0;
    return static_cast<tregresult>((static_cast<std::uint32_t>(code) & 0xFFFFu) | 0x80070000u);
}

std::string quotedesktopexecarg(std::string_view arg) {
    // Quoting rule of the Exec key first, then "%" doubled, then the escapes
    // of a string value, which a reader undoes first. A plain path stays
    // unquoted: some launchers take the Exec key's first word as it stands
    // and cannot start a program whose name they find in quotes.
    const bool needsquotes = arg.empty() || std::any_of(arg.begin(), arg.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
               std::string_view(" \"'\\><~|&;$*?#()`").find(c) != std::string_view::npos;
    });
    std::string quoted;
    quoted.reserve(arg.size() + 8);
    if (needsquotes) quoted.push_back('"');
    for (const char c : arg) {
        if (needsquotes && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted.push_back('\\');
        quoted.push_back(c);
        if (c == '%') quoted.push_back('%');
    }
    if (needsquotes) quoted.push_back('"');
    return desktopstring(quoted);
}

tshellnotifier setshellnotifier(tshellnotifier notifier) {
    std::lock_guard<std::mutex> lock(notifiermutex());
    tshellnotifier previous = std::move(notifierslot());
    notifierslot() = std::move(notifier);
    return previous;
}

std::string runningprogrampath() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    const std::string path = exe.string();
    // A program file replaced or removed while running cannot be started again.
    constexpr std::string_view deleted = " (deleted)";
    if (path.size() >= deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        return std::string();
    return path;
}

TFileRegistrationHelper::TFileRegistrationHelper(std::string ProgramId, std::string Path, std::string FriendlyName,
                                                 std::string AppUserModelID, std::string Extension)
    : FProgID(std::move(ProgramId)),
      FAppPath(std::move(Path)),
      FFriendlyName(std::move(FriendlyName)),
      FAppUserModelID(std::move(AppUserModelID)),
      FExtToRegister(std::move(Extension)) {}

std::string TFileRegistrationHelper::desktopid() const { return safename(FProgID) + ".desktop"; }

std::string TFileRegistrationHelper::mimetype() const { return mimetypefor(bareextension(FExtToRegister)); }

fs::path TFileRegistrationHelper::desktopentrypath() const {
    const fs::path data = datahome();
    return data.empty() ? fs::path() : data / "applications" / desktopid();
}

fs::path TFileRegistrationHelper::iconpath() const {
    const fs::path data = datahome();
    return data.empty() ? fs::path() : data / "icons/hicolor/scalable/apps" / (safename(FProgID) + ".svg");
}

fs::path TFileRegistrationHelper::mimepackagepath() const {
    const fs::path data = datahome();
    return data.empty() ? fs::path() : data / "mime/packages" / (safename(FProgID) + ".xml");
}

fs::path TFileRegistrationHelper::mimeappspath() const {
    const fs::path config = confighome();
    return config.empty() ? fs::path() : config / "mimeapps.list";
}

std::string TFileRegistrationHelper::desktopentry() const { return desktopentry(iconpath().string()); }

std::string TFileRegistrationHelper::desktopentry(std::string_view icon) const {
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    // The version of the desktop entry format the keys below follow; 1.0 is
    // the newest that every validator in use accepts.
    text += "Version=1.0\n";
    text += "Name=" + desktopstring(latin1toutf8(FFriendlyName)) + "\n";
    text += "Comment=View the records, trace check and lens shapes of " + desktopstring(typecomment()) + "s\n";
    text += "Exec=" + quotedesktopexecarg(FAppPath) + " %f\n";
    text += "Icon=" + desktopstring(icon) + "\n";
    text += "MimeType=" + mimetype() + ";\n";
    text += "StartupWMClass=" + desktopstring(latin1toutf8(FAppUserModelID)) + "\n";
    text += "Terminal=false\n";
    text += "Categories=Graphics;Viewer;\n";
    text += "Keywords=" + desktopstring(latin1toutf8(upcase(bareextension(FExtToRegister)))) +
            ";lens;frame;trace;optician;\n";
    return text;
}

std::string TFileRegistrationHelper::typecomment() const {
    return typecommentfor(bareextension(FExtToRegister));
}

std::string TFileRegistrationHelper::mimepackage() const { return mimepackagefor(bareextension(FExtToRegister)); }

std::string_view TFileRegistrationHelper::icon() { return icontext; }

bool TFileRegistrationHelper::IsRegisteredBySystem() const {
    if (FAppPath.empty()) return false;
    std::string dirs = environment("XDG_DATA_DIRS");
    if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
    for (const std::string& dir : listentries(dirs, ':')) {
        if (dir.front() != '/') continue;
        std::string content;
        int code = 0;
        if (!readwholefile(fs::path(dir) / "applications" / desktopid(), content, code) || content.empty()) continue;
        bool inentry = false;
        for (const std::string& line : splitlines(content)) {
            const std::string_view text = trimmed(line);
            if (text.starts_with("[")) inentry = text == "[Desktop Entry]";
            if (!inentry || !text.starts_with("Exec")) continue;
            const std::size_t equals = text.find('=');
            if (equals == std::string_view::npos || trimmed(text.substr(0, equals)) != "Exec") continue;
            std::string program = execprogram(trimmed(text.substr(equals + 1)));
            if (!program.empty() && program.find('/') == std::string::npos) program = findonpath(program);
            std::error_code ec;
            if (!program.empty() && fs::equivalent(program, FAppPath, ec)) return true;
            break;
        }
    }
    return false;
}

bool TFileRegistrationHelper::IsFileTypeRegistered() const {
    const fs::path entry = desktopentrypath();
    if (entry.empty()) return false;
    struct stat st {};
    return ::stat(entry.c_str(), &st) == 0;
}

tregresult TFileRegistrationHelper::RegisterProgid(bool DoRegister) {
    try {
        const fs::path entry = desktopentrypath();
        if (entry.empty()) return hresultfromcode(codepathnotfound);
        if (!DoRegister) {
            const int code = removefile(entry);
            const int iconcode = removefile(iconpath());
            return hresultfromcode(code != 0 ? code : iconcode);
        }
        // An entry that starts nothing would be worse than none.
        if (FAppPath.empty()) return hresultfromcode(codeinvalidparameter);
        // Desktop entries are UTF-8 and have no escape for other bytes: a
        // program path that is no UTF-8 cannot be written so that it starts
        // the program, and readers drop a file holding one whole.
        const std::string text = desktopentry();
        if (!isutf8(text)) return hresultfromcode(codeinvalidparameter);
        if (const int code = writedesktopfile(iconpath(), icontext); code != 0) return hresultfromcode(code);
        return hresultfromcode(writedesktopfile(entry, text));
    } catch (const std::bad_alloc&) {
        return hresultfromcode(8);
    }
}

tregresult TFileRegistrationHelper::RegisterToHandleExt(const std::string& pszExt, bool fRegister) {
    try {
        const std::string_view bare = bareextension(pszExt);
        if (bare.empty()) return hresultfromcode(codeinvalidparameter);
        const fs::path package = mimepackagepath();
        const fs::path mimeapps = mimeappspath();
        if (package.empty() || mimeapps.empty()) return hresultfromcode(codepathnotfound);
        const std::string type = mimetypefor(bare);
        const std::string id = desktopid();

        int code = 0;
        if (fRegister) {
            code = writedesktopfile(package, mimepackagefor(bare));
        } else {
            code = removefile(package);
        }
        if (code != 0) return hresultfromcode(code);

        // mimeapps.list: only this program's own entries change.
        std::string content;
        if (!readwholefile(mimeapps, content, code)) return hresultfromcode(code);
        if (!fRegister && content.empty()) return 0;
        std::vector<std::string> lines = splitlines(content);
        if (fRegister) {
            // The user's own choice of a default stays; without one, this
            // program becomes the default.
            if (!userhasdefault(lines, type)) {
                editkeyfile(lines, "Default Applications", type,
                            [&](const std::vector<std::string>&) { return std::vector<std::string>{id}; });
            }
            editkeyfile(lines, "Added Associations", type, [&](std::vector<std::string> entries) {
                std::erase(entries, id);
                entries.insert(entries.begin(), id);
                return entries;
            });
        } else {
            for (const char* group : {"Default Applications", "Added Associations"}) {
                editkeyfile(lines, group, type,
                            [&](std::vector<std::string> entries) { return without(std::move(entries), id); });
            }
        }
        std::string updated;
        for (const std::string& line : lines) updated.append(line).push_back('\n');
        if (updated == content) return 0;
        return hresultfromcode(writedesktopfile(mimeapps, updated));
    } catch (const std::bad_alloc&) {
        return hresultfromcode(8);
    }
}

tregresult TFileRegistrationHelper::RegisterToHandleFileType() {
    tregresult result = RegisterProgid(true);
    if (registrationsucceeded(result)) result = RegisterToHandleExt(FExtToRegister, true);
    if (registrationsucceeded(result)) notifydesktop(datahome(), confighome());
    return result;
}

tregresult TFileRegistrationHelper::UnRegisterFileTypeHandler() {
    tregresult result = RegisterProgid(false);
    if (registrationsucceeded(result)) result = RegisterToHandleExt(FExtToRegister, false);
    if (registrationsucceeded(result)) notifydesktop(datahome(), confighome());
    return result;
}

TFileRegistrationHelper viewerregistration(std::string program) {
    return TFileRegistrationHelper("Kestrune", std::move(program), "Kestrune", "Kestrune", ".oma");
}

tregresult registerapp() {
    try {
        TFileRegistrationHelper helper = viewerregistration(runningprogrampath());
        // A program installed with its desktop entry is known to the desktop
        // already; a second entry of the user's own would show it twice.
        if (helper.IsFileTypeRegistered() || helper.IsRegisteredBySystem()) return 0;
        return helper.RegisterToHandleFileType();
    } catch (const std::bad_alloc&) {
        return hresultfromcode(8);
    }
}

}  // namespace kestrune
