// The files that the operands of a command name: folders searched for OMA
// files.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "batch.hpp"
#include "kestrune/support/text.hpp"

namespace fs = std::filesystem;

namespace kestrune::cli {
namespace {

// A folder's identity, so that one reached again through a link is skipped.
using tfolderid = std::pair<dev_t, ino_t>;

bool folderid(const fs::path& folder, tfolderid& id) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

class tsearch {
public:
    tsearch(tinputs& inputs, tcontext& ctx) : inputs_(inputs), ctx_(ctx) {}

    void folder(const fs::path& path, const fs::path& relative) {
        tfolderid id;
        if (!folderid(path, id) || !visited_.insert(id).second) return;

        std::error_code ec;
        fs::directory_iterator it(path, ec);
        std::vector<std::pair<std::string, fs::directory_entry>> entries;  // name, entry
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            entries.emplace_back(it->path().filename().string(), *it);
        }
        if (ec) {
            ctx_.error(path.string() + ": " + ec.message());
            inputs_.folderfailed = true;
            // What was listed before the failure is still searched.
        }
        std::sort(entries.begin(), entries.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        for (const auto& [name, entry] : entries) {
            std::error_code sec;
            // A link counts as what it names; a dangling link named *.oma is
            // taken as a file so that reading it reports why it fails. The
            // entry knows the type of anything but a link from the listing
            // itself, so a folder of files costs no status call per file.
            if (entry.is_directory(sec)) {
                folder(entry.path(), relative / name);
            } else if (!omafilename(name)) {
                continue;
            } else if (entry.is_other(sec)) {
                // A named pipe, a socket or a device holds no file to read
                // (reading a pipe would wait for a writer): left out, and
                // said so.
                ctx_.error(entry.path().string() + ": not a regular file; skipped");
            } else {
                inputs_.files.push_back({entry.path().string(), (relative / name).string()});
            }
        }
    }

    void reset() { visited_.clear(); }

private:
    tinputs& inputs_;
    tcontext& ctx_;
    std::set<tfolderid> visited_;
};

}  // namespace

bool omafilename(std::string_view name) {
    constexpr std::string_view ext = ".oma";
    return name.size() > ext.size() && sametext(name.substr(name.size() - ext.size()), ext);
}

tinputs findinputs(const std::vector<std::string>& operands, tcontext& ctx) {
    tinputs inputs;
    inputs.batch = operands.size() > 1;
    tsearch search(inputs, ctx);
    for (const std::string& operand : operands) {
        std::error_code ec;
        if (!operand.empty() && fs::is_directory(fs::status(operand, ec))) {
            inputs.batch = true;
            search.reset();
            search.folder(operand, fs::path());
        } else {
            inputs.files.push_back({operand, fs::path(operand).filename().string()});
        }
    }
    return inputs;
}

}  // namespace kestrune::cli
