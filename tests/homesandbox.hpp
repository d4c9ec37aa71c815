// A home of the tests' own: HOME, the freedesktop folders (XDG_*), the
// temporary folder and the shared documents folder pointed below one folder,
// so that no test reads or writes the real home folder, the desktop's
// settings or a folder shared by the machine's users. Used by every test
// program for its whole run and by tests that need a home of their own.
//
// Header-only, so that the Qt window tests, which have no GoogleTest, share it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrune::testing {

// Sets (or, with nullopt, removes) an environment variable for one scope and
// puts the earlier value back at its end.
class envsetting {
public:
    envsetting(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~envsetting() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
    envsetting(const envsetting&) = delete;
    envsetting& operator=(const envsetting&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// For the sandbox's lifetime, below root:
//   home/                    HOME
//   home/.config             XDG_CONFIG_HOME
//   home/.local/share        XDG_DATA_HOME
//   home/.cache              XDG_CACHE_HOME
//   runtime/                 XDG_RUNTIME_DIR (made, owner only)
//   share/, etc/             XDG_DATA_DIRS, XDG_CONFIG_DIRS (not made: no system-wide settings)
//   tmp/                     TMPDIR (made)
//   shared/                  KESTRUNE_SHARED_DOCUMENTS (not made: that it exists is what counts)
// The folders of home are made as a desktop has them, or left for the code
// under test to make (homefolders::absent).
class homesandbox {
public:
    enum class homefolders { made, absent };

    explicit homesandbox(const std::filesystem::path& root, homefolders folders = homefolders::made) : root_(root) {
        namespace fs = std::filesystem;
        fs::create_directories(home());
        if (folders == homefolders::made) {
            for (const fs::path& p : {confighome(), datahome(), cachehome()}) fs::create_directories(p);
        }
        fs::create_directories(runtimedir());
        fs::permissions(runtimedir(), fs::perms::owner_all, fs::perm_options::replace);
        fs::create_directories(tmpdir());
        set("HOME", home());
        set("XDG_CONFIG_HOME", confighome());
        set("XDG_DATA_HOME", datahome());
        set("XDG_CACHE_HOME", cachehome());
        set("XDG_RUNTIME_DIR", runtimedir());
        set("XDG_DATA_DIRS", root_ / "share");
        set("XDG_CONFIG_DIRS", root_ / "etc");
        set("TMPDIR", tmpdir());
        set("KESTRUNE_SHARED_DOCUMENTS", shared());
    }
    homesandbox(const homesandbox&) = delete;
    homesandbox& operator=(const homesandbox&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path home() const { return root_ / "home"; }
    std::filesystem::path confighome() const { return home() / ".config"; }
    std::filesystem::path datahome() const { return home() / ".local/share"; }
    std::filesystem::path cachehome() const { return home() / ".cache"; }
    std::filesystem::path runtimedir() const { return root_ / "runtime"; }
    std::filesystem::path tmpdir() const { return root_ / "tmp"; }
    std::filesystem::path shared() const { return root_ / "shared"; }

private:
    void set(const char* name, const std::filesystem::path& value) {
        settings_.push_back(std::make_unique<envsetting>(name, value.string()));
    }

    std::filesystem::path root_;
    std::vector<std::unique_ptr<envsetting>> settings_;
};

}  // namespace kestrune::testing
