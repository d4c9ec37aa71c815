#include "outputnames.hpp"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace kestrune::cli {

bool isfolder(const std::string& name) {
    std::error_code ec;
    return fs::is_directory(fs::status(name, ec));
}

bool refusedasinputitself(const char* command, const std::string& filename, const std::string& out, tcontext& ctx) {
    std::error_code ec;
    if (!fs::equivalent(filename, out, ec)) return false;
    ctx.error(std::string(command) + ": OUT is FILE itself: " + out);
    return true;
}

bool refusedasfolder(const std::string& out, bool looksasfile) {
    if (isfolder(out)) return false;
    std::error_code ec;
    return fs::exists(fs::symlink_status(out, ec)) || looksasfile;
}

std::vector<std::string> outputnames(const std::vector<tinputfile>& files, const std::string& folder,
                                     const std::string& newending, bool replaceextension) {
    std::vector<std::string> names;
    names.reserve(files.size());
    std::set<std::string> taken;
    for (const tinputfile& file : files) {
        const fs::path relative(file.relative);
        const fs::path below = fs::path(folder) / relative.parent_path();
        std::string stem = relative.stem().string();
        // A number for a name taken goes before the extension: job-2.oma.
        const std::string ending = replaceextension ? newending : relative.extension().string();
        if (stem.empty()) stem = "unnamed";
        std::string name = (below / (stem + ending)).string();
        for (int k = 2; !taken.insert(name).second; ++k) {
            name = (below / (stem + "-" + std::to_string(k) + ending)).string();
        }
        names.push_back(std::move(name));
    }
    return names;
}

tinputidentities::tinputidentities(const std::vector<tinputfile>& files) {
    for (const tinputfile& file : files) {
        struct stat st {};
        if (::stat(file.path.c_str(), &st) == 0) ids_.emplace(st.st_dev, st.st_ino);
    }
}

bool tinputidentities::contains(const std::string& path) const {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && ids_.count({st.st_dev, st.st_ino}) != 0;
}

}  // namespace kestrune::cli
