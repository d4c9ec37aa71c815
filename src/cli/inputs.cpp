#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

#include "cli.hpp"
#include "kestrune/oma/omafile.hpp"

namespace fs = std::filesystem;

namespace kestrune::cli {

std::string unreadablereason(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) return ec.message();
    if (status.type() == fs::file_type::not_found) {
        return std::make_error_code(std::errc::no_such_file_or_directory).message();
    }
    if (status.type() == fs::file_type::directory) {
        return std::make_error_code(std::errc::is_a_directory).message();
    }
    // Ask the system why opening fails; non-blocking so that a FIFO without a
    // writer does not hold the diagnosis up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::system_category().message(errno);
    ::close(fd);
    return "cannot be read";
}

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
    const fs::path path(filename);
    if (!doc.readomafile(path)) {
        ctx.error(filename + ": " + unreadablereason(path));
        return false;
    }
    doc.omastrtolist();
    return true;
}

}  // namespace kestrune::cli
