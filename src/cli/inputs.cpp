#include <cerrno>
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
