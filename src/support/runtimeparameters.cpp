#include "kestrune/support/runtimeparameters.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <new>
#include <optional>

#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

std::mutex& parametersmutex() {
    static std::mutex m;
    return m;
}

std::optional<std::vector<std::string>>& parameters() {
    static std::optional<std::vector<std::string>> p;
    return p;
}

}  // namespace

std::vector<std::string> processarguments() {
    std::vector<std::string> arguments;
    try {
        int fd;
        while ((fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR) {
        }
        if (fd < 0) return arguments;
        const struct closer {
            int fd;
            ~closer() { ::close(fd); }
        } guard{fd};
        std::string all;
        char block[4096];
        for (;;) {
            const ssize_t n = ::read(fd, block, sizeof block);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            all.append(block, static_cast<std::size_t>(n));
        }
        // Each argument ends with a NUL byte; the first is the program.
        std::size_t start = 0;
        bool first = true;
        while (start < all.size()) {
            std::size_t end = all.find('\0', start);
            if (end == std::string::npos) end = all.size();
            if (!first) arguments.emplace_back(all, start, end - start);
            first = false;
            start = end + 1;
        }
    } catch (const std::bad_alloc&) {
    }
    return arguments;
}

void setruntimeparameters(std::vector<std::string> arguments) {
    std::lock_guard<std::mutex> lock(parametersmutex());
    parameters() = std::move(arguments);
}

std::vector<std::string> runtimeparameters() {
    std::lock_guard<std::mutex> lock(parametersmutex());
    if (!parameters()) parameters() = processarguments();
    return *parameters();
}

bool FindRunTimeParameter(std::string_view idStr, std::string& Setting) {
    Setting.clear();
    bool found = false;
    try {
        const std::string id = upcase(idStr);
        for (const std::string& argument : runtimeparameters()) {
            const std::string upper = upcase(argument);
            if (upper == id) {
                found = true;
                continue;
            }
            const std::size_t equals = upper.find('=');
            if (equals == std::string::npos) continue;
            const std::string_view name(upper.data(), equals);
            const std::string_view nameandequals(upper.data(), equals + 1);
            if (name == id || nameandequals == id) {
                found = true;
                Setting = trim(std::string_view(argument).substr(equals + 1));
            }
        }
    } catch (const std::bad_alloc&) {
    }
    return found;
}

std::string findexepath() {
    try {
        std::string path(256, '\0');
        for (;;) {
            const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
            if (n < 0) return std::string();
            if (static_cast<std::size_t>(n) < path.size()) {
                path.resize(static_cast<std::size_t>(n));
                break;
            }
            path.resize(path.size() * 2);
        }
        const std::size_t slash = path.rfind('/');
        if (slash == std::string::npos) return std::string();
        path.resize(slash + 1);
        return path;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

}  // namespace kestrune
