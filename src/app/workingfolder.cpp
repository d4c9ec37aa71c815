#include "workingfolder.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <new>
#include <vector>

#include "kestrune/support/files.hpp"
#include "kestrune/support/runtimeparameters.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool isfolder(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string withouttrailingslashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The user's configuration folder: XDG_CONFIG_HOME when it is an absolute
// path, else ~/.config; empty without a home folder.
std::string configfolder(const std::string& home) {
    const std::string config = environment("XDG_CONFIG_HOME");
    if (!config.empty() && config.front() == '/') return withouttrailingslashes(config);
    if (home.empty()) return std::string();
    return withouttrailingslashes(home) + "/.config";
}

// The documents folder named in user-dirs.dirs, a line
//   XDG_DOCUMENTS_DIR="$HOME/Documents"
// whose value is "$HOME" followed by a path, or an absolute path. Empty when
// the file or the line is missing or the value is of another form.
std::string documentsfromuserdirs(const std::string& home) {
    const std::string config = configfolder(home);
    if (config.empty()) return std::string();
    ttextfile f;
    if (!opentextfileforread(f, config + "/user-dirs.dirs")) {
        clearioresult();
        return std::string();
    }
    std::string result;
    std::string line;
    while (readtextline(f, line)) {
        const std::string_view text = trimview(line);
        constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
        if (text.substr(0, key.size()) != key) continue;
        std::string_view value = text.substr(key.size());
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
        value = value.substr(1, value.size() - 2);
        // The file is written in shell syntax: undo backslash escapes.
        std::string path;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) ++i;
            path.push_back(value[i]);
        }
        if (path.rfind("$HOME", 0) == 0 && (path.size() == 5 || path[5] == '/')) {
            if (home.empty()) continue;
            path = withouttrailingslashes(home) + path.substr(5);
        } else if (path.empty() || path.front() != '/') {
            continue;
        }
        result = withouttrailingslashes(path);  // a later line wins, as in the shell
    }
    closetextfile(f);
    clearioresult();
    return result;
}

std::mutex& fallbackmutex() {
    static std::mutex m;
    return m;
}

std::string& fallbackresult() {
    static std::string result;
    return result;
}

std::string& forwardingsitevalue() {
    static std::string value;
    return value;
}

using tclock = std::chrono::system_clock;

bool secondspassed(tclock::time_point since, int maxsecs) {
    return tclock::now() - since > std::chrono::seconds(maxsecs);
}

char foldcase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string GetSpecialsPath(int CSID) {
    try {
        const std::string home = environment("HOME");
        if (CSID == CSIDL_PERSONAL) {
            std::string documents = documentsfromuserdirs(home);
            if (documents.empty() && !home.empty()) documents = withouttrailingslashes(home) + "/Documents";
            return documents;
        }
        if (CSID == CSIDL_COMMON_DOCUMENTS) {
            const std::string shared = environment("KESTRUNE_SHARED_DOCUMENTS");
            return withouttrailingslashes(shared.empty() ? std::string(defaultshareddocuments) : shared);
        }
    } catch (const std::bad_alloc&) {
    }
    return std::string();
}

std::string MyDocumentsPath() {
    try {
        std::string base;
        std::string setting;
        if (FindRunTimeParameter("LOCALFOLDER", setting)) {
            // Used exactly as typed: a value without a final "/" is a prefix
            // of the product folder's name.
            base = setting;
        } else {
            const std::string mypath = GetSpecialsPath(CSIDL_PERSONAL);
            const std::string allusers = GetSpecialsPath(CSIDL_COMMON_DOCUMENTS);
            const std::string mybase = mypath.empty() ? std::string() : addtrailing(mypath, '/');
            const std::string allbase = allusers.empty() ? std::string() : addtrailing(allusers, '/');
            // The user's own product folder wins whenever it exists; the
            // shared one is used only when it alone exists.
            if (!allbase.empty() && isfolder(allbase + ProjectName) &&
                (mybase.empty() || !isfolder(mybase + ProjectName))) {
                base = allbase;
            } else if (!mybase.empty()) {
                base = mybase;
            } else {
                // Without a home folder there is nothing to build on; the
                // current folder is not a place to write into unasked.
                return win32findfilesfolder();
            }
        }
        const std::string folder = base + ProjectName;
        if (!isfolder(folder)) {
            std::error_code ec;
            fs::create_directories(fs::path(folder), ec);
            // A folder that cannot be created is still the working folder;
            // the writes into it report their own failures.
        }
        return addtrailing(folder, '/');
    } catch (const std::bad_alloc&) {
        return win32findfilesfolder();
    }
}

std::string win32findfilesfolderin(const std::string& programfolder) {
    try {
        const std::string files = addtrailing(programfolder, '/') + "files";
        const std::string filesfolder = files + "/";
        std::string res = filesfolder;
        if (isfolder(files)) {
            ttextfile f;
            if (opentextfileforread(f, filesfolder + "filesdir.txt")) {
                std::string line;
                if (readtextline(f, line)) {
                    const std::string named = trim(line);
                    if (isfolder(named)) res = addtrailing(named, '/');
                    std::string second;
                    if (readtextline(f, second) && !second.empty() && partmatchstr(second, "Forward=")) {
                        std::lock_guard<std::mutex> lock(fallbackmutex());
                        forwardingsitevalue() = findvaluepart(second);
                    }
                }
                closetextfile(f);
            }
            clearioresult();
        }
        return res;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string win32findfilesfolder() {
    {
        std::lock_guard<std::mutex> lock(fallbackmutex());
        if (!fallbackresult().empty()) return fallbackresult();
    }
    const std::string res = win32findfilesfolderin(findexepath());
    std::lock_guard<std::mutex> lock(fallbackmutex());
    if (fallbackresult().empty()) fallbackresult() = res;
    return fallbackresult();
}

std::string forwardingsite() {
    std::lock_guard<std::mutex> lock(fallbackmutex());
    return forwardingsitevalue();
}

std::string TempPath() {
    try {
        const std::string tmp = environment("TMPDIR");
        return addtrailing(tmp.empty() ? std::string("/tmp") : tmp, '/');
    } catch (const std::bad_alloc&) {
        return std::string("/tmp/");
    }
}

std::string QVTTempPath() {
    try {
        return TempPath() + ProjectName + "/";
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

void createtempfolder() {
    try {
        const std::string folder = QVTTempPath();
        if (!folder.empty() && !isfolder(folder)) {
            std::error_code ec;
            fs::create_directories(fs::path(folder), ec);
        }
    } catch (const std::bad_alloc&) {
    }
}

bool matchesfilemask(std::string_view name, std::string_view mask) {
    // Greedy matching with one backtracking point: the latest "*".
    std::size_t n = 0, m = 0;
    std::size_t starmask = std::string_view::npos, starname = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || foldcase(mask[m]) == foldcase(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starmask = m++;
            starname = n;
        } else if (starmask != std::string_view::npos) {
            m = starmask + 1;
            n = ++starname;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

int deleteoldfilesinfolder(const std::string& folder, const std::string& ext, int xdays) {
    return deleteoldfilesinfolder(folder, ext, static_cast<double>(xdays), 0);
}

int deleteoldfilesinfolder(const std::string& folder, const std::string& ext, double xdays, int maxsecs) {
    DIR* dir = nullptr;
    int result = -1;
    try {
        tclock::time_point start = tclock::now();
        const std::string prefix = addtrailing(folder, '/');
        std::vector<std::string> names;
        names.reserve(maxdeletecount);
        dir = ::opendir(folder.empty() ? "." : prefix.c_str());
        if (!dir) return 0;  // nothing to search: nothing found
        const auto age = std::chrono::duration_cast<tclock::duration>(std::chrono::duration<double>(xdays * 86400.0));
        while (static_cast<int>(names.size()) < maxdeletecount) {
            const dirent* entry = ::readdir(dir);
            if (!entry) break;
            const std::string_view name(entry->d_name);
            if (!name.empty() && name.front() != '.' && matchesfilemask(name, ext)) {
                struct stat st {};
                // Ordinary files only: folders, links and devices stay.
                if (::lstat((prefix + entry->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
                    const tclock::time_point written = tclock::time_point(std::chrono::duration_cast<tclock::duration>(
                        std::chrono::seconds(st.st_mtim.tv_sec) + std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
                    if (written < tclock::now() - age) names.emplace_back(name);
                }
            }
            if (names.size() % 10 == 0 && maxsecs != 0 && secondspassed(start, maxsecs)) break;
        }
        ::closedir(dir);
        dir = nullptr;

        start = tclock::now();
        int attempted = 0;
        for (std::size_t i = 0; i < names.size(); ++i) {
            deletefile(prefix + names[i]);
            ++attempted;
            if (i % 10 == 0 && maxsecs != 0 && secondspassed(start, maxsecs)) break;
        }
        clearioresult();
        result = attempted;
    } catch (const std::bad_alloc&) {
        result = -1;
    }
    if (dir) ::closedir(dir);
    return result;
}

}  // namespace kestrune
