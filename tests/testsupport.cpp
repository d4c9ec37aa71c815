#include "testsupport.hpp"

#include "homesandbox.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kestrune::testing {
namespace {

fs::path make_unique_dir(const fs::path& parent, const std::string& stem) {
    static std::atomic<unsigned> counter{0};
    for (;;) {
        fs::path p = parent / (stem + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(p, ec)) return p;
        if (ec) throw std::runtime_error("cannot create " + p.string() + ": " + ec.message());
    }
}

// Points HOME and the XDG folders at a private temporary folder for the whole
// test program, and removes it at the end.
class IsolatedHome : public ::testing::Environment {
public:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        root_ = make_unique_dir(tmp && *tmp ? fs::path(tmp) : fs::path("/tmp"), "kestrune-test-");
        sandbox_ = std::make_unique<homesandbox>(root_);
        root_for_tests() = root_;
    }
    void TearDown() override {
        sandbox_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    static fs::path& root_for_tests() {
        static fs::path root;
        return root;
    }

private:
    fs::path root_;
    std::unique_ptr<homesandbox> sandbox_;
};

[[maybe_unused]] ::testing::Environment* const isolated_home = ::testing::AddGlobalTestEnvironment(new IsolatedHome);

}  // namespace

fs::path real_samples_dir() {
    if (const char* env = std::getenv("KESTRUNE_REAL_SAMPLES"); env && *env) {
        return fs::is_directory(env) ? fs::path(env) : fs::path();
    }
    const fs::path p = fs::path(KESTRUNE_SOURCE_DIR).parent_path() / "shared" / "samples" / "real";
    std::error_code ec;
    return fs::is_directory(p, ec) ? p : fs::path();
}

fs::path project_samples_dir() { return fs::path(KESTRUNE_SOURCE_DIR) / "samples"; }

TempDir::TempDir() {
    fs::path root = IsolatedHome::root_for_tests();
    if (root.empty()) root = fs::temp_directory_path();
    path_ = make_unique_dir(root, "t");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

bool make_fifo(const fs::path& p) { return ::mkfifo(p.c_str(), 0600) == 0; }

fs::path read_error_file() {
    const fs::path p = "/proc/self/mem";
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char byte;
    const bool fails = ::read(fd, &byte, 1) < 0 && errno == EIO;
    ::close(fd);
    return fails ? p : fs::path();
}

bool make_socket(const fs::path& p) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (p.native().size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, p.c_str(), p.native().size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

bool finishes_in_time(const std::function<void()>& work, const std::vector<fs::path>& fifos, double seconds) {
    std::mutex m;
    std::condition_variable done;
    bool finished = false;
    std::thread worker([&] {
        work();
        const std::lock_guard lock(m);
        finished = true;
        done.notify_all();
    });
    bool intime;
    {
        std::unique_lock lock(m);
        intime = done.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return finished; });
    }
    // A reader blocked on a pipe goes on once a writer has come and gone
    // (it then reads the end of the file); a writer blocked on one goes on
    // once a reader is there, which is kept open and drained so the writer
    // never meets a closed pipe. Keep knocking until the work has gone on,
    // or give up on the whole test program rather than hang.
    const auto giveup = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::vector<int> readers;
    while (!intime) {
        if (std::chrono::steady_clock::now() > giveup) {
            std::fprintf(stderr, "finishes_in_time: the work is still waiting; giving up\n");
            std::abort();
        }
        if (readers.empty()) {
            for (const fs::path& fifo : fifos) {
                const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) readers.push_back(fd);
            }
        }
        for (const fs::path& fifo : fifos) {
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) ::close(fd);
        }
        for (const int fd : readers) {
            char block[4096];
            while (::read(fd, block, sizeof block) > 0) {
            }
        }
        std::unique_lock lock(m);
        if (done.wait_for(lock, std::chrono::milliseconds(100), [&] { return finished; })) break;
    }
    worker.join();
    for (const int fd : readers) ::close(fd);
    return intime;
}

std::string read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.insert(it->path().filename().string());
    return names;
}

bool istemporaryname(const fs::path& temp, const fs::path& target) {
    if (temp.parent_path() != target.parent_path()) return false;
    const std::string name = temp.filename().string();
    const std::string prefix = "." + target.filename().string().substr(0, 200) + ".";
    if (name.size() != prefix.size() + 16 + 4 || name.compare(0, prefix.size(), prefix) != 0) return false;
    if (name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
    const std::string digits = name.substr(prefix.size(), 16);
    return digits.find_first_not_of("0123456789abcdef") == std::string::npos;
}

void write_file(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    q += "'";
    return q;
}

int run_command(const std::string& commandline, std::string* out, std::string* err) {
    TempDir scratch;
    const fs::path outfile = scratch / "stdout";
    const fs::path errfile = scratch / "stderr";
    const std::string full =
        commandline + " >" + shell_quote(outfile.string()) + " 2>" + shell_quote(errfile.string()) + " </dev/null";
    const int status = std::system(full.c_str());
    if (out) *out = read_file(outfile);
    if (err) *err = read_file(errfile);
    if (status == -1) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string quoted(const fs::path& p) { return shell_quote(p.string()); }

}  // namespace kestrune::testing
