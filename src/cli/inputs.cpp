#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "cli.hpp"
#include "kestrune/document/omafile.hpp"

namespace fs = std::filesystem;

namespace kestrune::cli {

// Why a file could not be written, in the system's words: what stops writing
// into its folder when something does, else what the I/O code the writing
// left (0 when there is none) says.
std::string unwritablereason(const std::string& filename, int iocode) {
    const std::size_t slash = filename.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : filename.substr(0, slash + 1);
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    struct stat st {};
    if (::stat(filename.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    switch (iocode) {
        case 4: return std::strerror(EMFILE);
        case 5: return std::strerror(EACCES);
        case 8: return std::strerror(ENOMEM);
        case 112: return std::strerror(ENOSPC);
        case 223: return std::strerror(EFBIG);
        default: return "write failed";
    }
}

bool readdocument(const std::string& filename, tomafileobj& doc, tcontext& ctx) {
    if (!doc.readomafile(fs::path(filename))) {
        ctx.error(filename + ": " + doc.readfailure);
        return false;
    }
    doc.omastrtolist();
    return true;
}

}  // namespace kestrune::cli
