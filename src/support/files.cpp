#include "kestrune/support/files.hpp"

#include "kestrune/support/messages.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <random>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace kestrune {

thread_local std::atomic<int> QVTLibIOError{0};
thread_local std::atomic<int> QVTLibiostatus{0};

namespace {

// Codes beyond those of the system calls.
constexpr int codeinvalidname = 123;
constexpr int codenotopen = 103;
constexpr int codenotinput = 104;
constexpr int codenotoutput = 105;

constexpr std::size_t textbuffersize = 64 * 1024;
constexpr std::size_t copyblocksize = 4096;
constexpr int writeattempts = 4;
constexpr int maxpausems = 999;

thread_local int pendingcode = 0;

void setpending(int code) {
    if (code != 0) pendingcode = code;
}

// Keeps the code of an open or close for the library-wide variables.
void keepcode(int code) {
    QVTLibIOError = code;
    if (code != 0) QVTLibiostatus = code;
}

// Per thread, as the I/O codes are.
std::string& copymess() {
    thread_local std::string mess;
    return mess;
}

void setcopymess(std::string mess) { copymess() = std::move(mess); }

// A name the system cannot take: it would be cut at the NUL byte and name
// another file.
bool badname(const std::string& name) { return name.find('\0') != std::string::npos; }

bool isfolder(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A file (not a folder) of this name is there; a link counts as itself.
bool fileexists(const std::string& name) {
    struct stat st {};
    return ::lstat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string folderof(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return name.substr(0, slash);
}

// The code for a failure on name: a missing file is "file not found" when
// its folder is there and "path not found" when it is not.
int codeforname(int err, const std::string& name) {
    if (err == ENOENT && !isfolder(folderof(name))) return 3;
    return ioerrorfromerrno(err);
}

int openretrying(const char* name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(name, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Closing is not retried after EINTR: the descriptor is gone either way.
int closefd(int fd) { return ::close(fd) == 0 || errno == EINTR ? 0 : errno; }

// Writes all size bytes of data to the open file fd, going on after partial
// writes and interruptions. Returns 0 or the errno of the failing write.
int writeall(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// ---- replaceable operations ----

std::mutex& hookmutex() {
    static std::mutex m;
    return m;
}

void realpause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

tpausefunction& pausefunction() {
    static tpausefunction pause = realpause;
    return pause;
}

// Renames; an existing entry under the new name is replaced (in one step)
// only when replace is set. Returns 0 or the system's error number.
int realrename(const std::string& from, const std::string& to, bool replace) {
    if (replace ? ::rename(from.c_str(), to.c_str()) == 0
                : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    int err = errno;
    if (!replace && (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP)) {
        // The file system cannot rename without replacing: a hard link
        // claims the new name atomically, then the old name goes.
        if (::link(from.c_str(), to.c_str()) == 0) {
            if (::unlink(from.c_str()) == 0) return 0;
            err = errno;
            ::unlink(to.c_str());
            return err;
        }
        err = errno;
        if (err == EPERM || err == EOPNOTSUPP || err == EMLINK) {
            // No hard links here (or a folder): check, then rename.
            struct stat st {};
            if (::lstat(to.c_str(), &st) == 0) return EEXIST;
            if (::rename(from.c_str(), to.c_str()) == 0) return 0;
            err = errno;
        }
    }
    return err;
}

trenamefunction& renamefunction() {
    static trenamefunction rename = realrename;
    return rename;
}

int dorename(const std::string& from, const std::string& to, bool replace) {
    trenamefunction rename;
    {
        std::lock_guard<std::mutex> lock(hookmutex());
        rename = renamefunction();
    }
    return rename(from, to, replace);
}

int dodelete(const std::string& name) {
    if (badname(name)) return codeinvalidname;
    if (::unlink(name.c_str()) == 0) return 0;
    return codeforname(errno, name);
}

int randompause() {
    thread_local std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^
        static_cast<long long>(std::hash<std::thread::id>{}(std::this_thread::get_id()))));
    return std::uniform_int_distribution<int>(0, maxpausems)(generator);
}

void pauseaftertry() {
    tpausefunction pause;
    {
        std::lock_guard<std::mutex> lock(hookmutex());
        pause = pausefunction();
    }
    pause(randompause());
}

// The file name part of s: after the last "/" or "\".
std::string_view filenamepart(std::string_view s) {
    const std::size_t sep = s.find_last_of("/\\");
    return sep == std::string_view::npos ? s : s.substr(sep + 1);
}

// From the last dot of the file name, dot included; empty without a dot.
std::string_view extensionof(std::string_view s) {
    const std::string_view name = filenamepart(s);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

}  // namespace

std::string QVTCopyfileerrormess() { return copymess(); }

int clearioresult() { return std::exchange(pendingcode, 0); }

int ioerrorfromerrno(int err) {
    switch (err) {
        case 0:
            return 0;
        case ENOENT:
            return 2;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return 5;
        case ENOMEM:
            return 8;
        case EXDEV:
            return 17;
        case EBUSY:
        case ETXTBSY:
            return 32;
        case EINVAL:
            return 87;
        case ENOSPC:
        case EDQUOT:
            return 112;
        case ENOTEMPTY:
            return 145;
        case EEXIST:
            return 183;
        case EFBIG:
            return 223;
        default:
            return 31;
    }
}

// ---- text files ----

ttextfile::~ttextfile() { close(); }

ttextfile::ttextfile(ttextfile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      mode_(std::exchange(other.mode_, tmode::closed)),
      name_(std::move(other.name_)),
      buffer_(std::move(other.buffer_)),
      start_(std::exchange(other.start_, 0)),
      end_(std::exchange(other.end_, 0)),
      error_(std::exchange(other.error_, 0)),
      pendingcr_(std::exchange(other.pendingcr_, false)) {}

ttextfile& ttextfile::operator=(ttextfile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        mode_ = std::exchange(other.mode_, tmode::closed);
        name_ = std::move(other.name_);
        buffer_ = std::move(other.buffer_);
        start_ = std::exchange(other.start_, 0);
        end_ = std::exchange(other.end_, 0);
        error_ = std::exchange(other.error_, 0);
        pendingcr_ = std::exchange(other.pendingcr_, false);
    }
    return *this;
}

int ttextfile::flush() noexcept {
    if (error_ != 0) return error_;
    if (end_ > 0) {
        const int err = writeall(fd_, buffer_.get(), end_);
        end_ = 0;
        if (err != 0) error_ = ioerrorfromerrno(err);
    }
    return error_;
}

int ttextfile::close() noexcept {
    if (mode_ == tmode::closed) return codenotopen;
    int code = mode_ == tmode::output ? flush() : 0;
    const int err = closefd(fd_);
    if (code == 0 && err != 0) code = ioerrorfromerrno(err);
    fd_ = -1;
    mode_ = tmode::closed;
    start_ = end_ = 0;
    error_ = 0;
    pendingcr_ = false;
    return code;
}

bool ttextfile::fill() noexcept {
    start_ = end_ = 0;
    if (error_ != 0) return false;
    ssize_t n;
    do {
        n = ::read(fd_, buffer_.get(), textbuffersize);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        error_ = ioerrorfromerrno(errno);
        return false;
    }
    end_ = static_cast<std::size_t>(n);
    return n > 0;
}

bool ttextfile::skiplf() noexcept {
    if (!pendingcr_) return true;
    if (start_ == end_ && !fill()) return false;
    pendingcr_ = false;
    if (buffer_[start_] == '\n') ++start_;
    return true;
}

bool opentextfileforread(ttextfile& f, const std::string& filename) {
    clearioresult();
    if (f.isopen()) f.close();
    int code = 0;
    try {
        if (badname(filename)) {
            code = codeinvalidname;
        } else {
            // Opened without waiting: the open of a named pipe would wait
            // for a writer before the check below could refuse it.
            const int fd = openretrying(filename.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            struct stat st {};
            if (fd < 0) {
                // A file that is not there is "file not found", whatever
                // part of its path is missing; a socket (or a device without
                // a driver), which cannot be opened at all, is not a file to
                // read either.
                code = errno == ENOENT || errno == ENOTDIR || errno == ENXIO ? 2 : ioerrorfromerrno(errno);
            } else if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
                closefd(fd);
                code = 2;  // a folder, a pipe, a socket or a device is not a file to read
            } else if (::fcntl(fd, F_SETFL, 0) != 0) {
                // Reads wait for the disk as usual from here on.
                code = ioerrorfromerrno(errno);
                closefd(fd);
            } else {
                if (!f.buffer_) f.buffer_ = std::make_unique_for_overwrite<char[]>(textbuffersize);
                f.fd_ = fd;
                f.mode_ = ttextfile::tmode::input;
                f.name_ = filename;
            }
        }
    } catch (const std::bad_alloc&) {
        code = 8;
    }
    keepcode(code);
    return code == 0;
}

bool opentextfileforwrite(ttextfile& f, const std::string& filename, bool appendmode) {
    clearioresult();
    if (f.isopen()) f.close();
    int code = 0;
    try {
        if (!f.buffer_) f.buffer_ = std::make_unique_for_overwrite<char[]>(textbuffersize);
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (appendmode ? O_APPEND : O_TRUNC);
        for (int attempt = 0; attempt < writeattempts; ++attempt) {
            int fd = -1;
            if (badname(filename)) {
                code = codeinvalidname;
            } else {
                fd = openretrying(filename.c_str(), flags, 0666);
                code = fd < 0 ? codeforname(errno, filename) : 0;
            }
            if (code == 0) {
                f.fd_ = fd;
                f.mode_ = ttextfile::tmode::output;
                f.name_ = filename;
                break;
            }
            pauseaftertry();
        }
    } catch (const std::bad_alloc&) {
        if (code == 0) code = 31;
        keepcode(code);
        return false;
    }
    keepcode(code);
    return code == 0;
}

bool closetextfile(ttextfile& f) {
    clearioresult();
    const int code = f.close();
    keepcode(code);
    return code == 0;
}

bool readtextline(ttextfile& f, std::string& line) {
    line.clear();
    if (f.mode_ != ttextfile::tmode::input) {
        setpending(f.isopen() ? codenotinput : codenotopen);
        return false;
    }
    try {
        bool any = false;
        if (f.skiplf()) {
            for (;;) {
                if (f.start_ == f.end_ && !f.fill()) break;
                any = true;
                const char* data = f.buffer_.get() + f.start_;
                const std::size_t size = f.end_ - f.start_;
                std::size_t i = 0;
                while (i < size && data[i] != '\n' && data[i] != '\r') ++i;
                line.append(data, i);
                if (i < size) {
                    f.pendingcr_ = data[i] == '\r';
                    f.start_ += i + 1;
                    return true;
                }
                f.start_ = f.end_;
            }
        }
        setpending(f.error_);
        return any && f.error_ == 0;
    } catch (const std::bad_alloc&) {
        setpending(8);
        return false;
    }
}

bool writetextline(ttextfile& f, std::string_view line) {
    if (f.mode_ != ttextfile::tmode::output) {
        setpending(f.isopen() ? codenotoutput : codenotopen);
        return false;
    }
    const auto put = [&f](const char* data, std::size_t size) {
        if (f.error_ != 0) return f.error_;
        if (f.end_ + size > textbuffersize) {
            if (f.flush() != 0) return f.error_;
            if (size >= textbuffersize) {
                const int err = writeall(f.fd_, data, size);
                if (err != 0) f.error_ = ioerrorfromerrno(err);
                return f.error_;
            }
        }
        std::memcpy(f.buffer_.get() + f.end_, data, size);
        f.end_ += size;
        return 0;
    };
    int code = put(line.data(), line.size());
    if (code == 0) code = put("\r\n", 2);
    setpending(code);
    return code == 0;
}

bool writetextblock(ttextfile& f, std::string_view text) {
    if (f.mode_ != ttextfile::tmode::output) {
        setpending(f.isopen() ? codenotoutput : codenotopen);
        return false;
    }
    int code = f.error_;
    if (code == 0 && !text.empty()) {
        // Into the buffer when it fits beside what is there; a text that
        // would fill it goes out as it stands, without a copy.
        if (f.end_ + text.size() <= textbuffersize && text.size() < textbuffersize / 4) {
            std::memcpy(f.buffer_.get() + f.end_, text.data(), text.size());
            f.end_ += text.size();
        } else if (f.flush() == 0) {
            const int err = writeall(f.fd_, text.data(), text.size());
            if (err != 0) f.error_ = ioerrorfromerrno(err);
        }
        code = f.error_;
    }
    setpending(code);
    return code == 0;
}

bool endoftextfile(ttextfile& f) {
    if (f.mode_ != ttextfile::tmode::input) return true;
    if (!f.skiplf()) return true;
    return f.start_ == f.end_ && !f.fill();
}

tpausefunction setretrypause(tpausefunction pause) {
    if (!pause) pause = realpause;
    std::lock_guard<std::mutex> lock(hookmutex());
    return std::exchange(pausefunction(), std::move(pause));
}

// ---- writing a file safely ----

namespace {

constexpr int maxlinkhops = 40;           // as many as the system follows in one path
constexpr std::size_t maxtempbase = 200;  // bytes of the target's name in a temporary name
constexpr const char* notregularreason = "not a regular file; not overwritten";

std::string joinpath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

twriteresult failure(twritestep step, int code, std::string reason) {
    twriteresult result;
    result.step = step;
    result.code = code;
    result.reason = std::move(reason);
    return result;
}

// A failure on the file called name, with the system's error number.
twriteresult errnofailure(twritestep step, int err, const std::string& name) {
    return failure(step, codeforname(err, name), std::generic_category().message(err));
}

// The text of the symbolic link at name. Returns 0 or the system's error number.
int readlinktext(const std::string& name, std::string& text) {
    text.assign(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(name.c_str(), text.data(), text.size());
        if (n < 0) return errno;
        if (static_cast<std::size_t>(n) < text.size()) {
            text.resize(static_cast<std::size_t>(n));
            return 0;
        }
        text.resize(text.size() * 2);
    }
}

// Whether the symbolic link at link (st its lstat) may be followed. In a
// folder that others than its owner may write into, a third user's link
// could lead a save to any file the writer may replace: there only links of
// the writer and of the folder's owner are followed. (The system applies the
// same rule to links in shared temporary folders when it opens a file.)
bool mayfollow(const std::string& link, const struct stat& st) {
    if (st.st_uid == ::geteuid()) return true;
    struct stat folder {};
    if (::stat(folderof(link).c_str(), &folder) != 0) return false;
    return st.st_uid == folder.st_uid || (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// What a target name leads to once its symbolic links are followed.
struct tresolvedtarget {
    std::string path;   // the file to replace, or to make
    struct stat st {};  // what is there, when exists
    bool exists = false;
};

// Follows the symbolic links named as target (a chain too) to the file they
// lead to; a link's text is read relative to the link's folder. Returns 0 or
// the system's error number.
int resolvetarget(const std::string& target, tresolvedtarget& out) {
    std::string name = target;
    std::string text;
    for (int hops = 0;; ++hops) {
        if (::lstat(name.c_str(), &out.st) != 0) {
            if (errno != ENOENT) return errno;
            out.path = std::move(name);
            out.exists = false;
            return 0;
        }
        if (!S_ISLNK(out.st.st_mode)) {
            out.path = std::move(name);
            out.exists = true;
            return 0;
        }
        if (hops == maxlinkhops) return ELOOP;
        if (!mayfollow(name, out.st)) return EACCES;
        if (const int err = readlinktext(name, text); err != 0) return err;
        if (text.empty()) return ENOENT;
        name = text.front() == '/' ? text : joinpath(folderof(name), text);
    }
}

// Creates a new file for writing beside the file called name in folder, with
// permissions mode (less the umask): a hidden name made of name (at most its
// first 200 bytes, so the name fits any file system) and a random part,
// never an entry that exists already. Returns the descriptor, temp receiving
// the path, or -1 with errno set.
int createtemporaryfile(const std::string& folder, const std::string& name, mode_t mode, std::string& temp) {
    static std::atomic<std::uint64_t> counter{0};
    const std::string base = name.substr(0, maxtempbase);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Different for every call in this process and, with the process
        // id, from other processes; the creation refuses an existing name,
        // so a clash costs only another attempt.
        const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        const std::uint64_t mix =
            now ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
        char part[24];
        std::snprintf(part, sizeof part, ".%016llx.tmp", static_cast<unsigned long long>(mix));
        std::string candidate = joinpath(folder, "." + base + part);
        const int fd = openretrying(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0) temp = std::move(candidate);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The temporary file of one write: closed and removed unless it was moved
// into place.
struct ttemporaryfile {
    ~ttemporaryfile() {
        if (fd >= 0) closefd(fd);
        if (!path.empty()) ::unlink(path.c_str());
    }
    int fd = -1;
    std::string path;  // emptied once the file is in place
};

// Flushes the entries of folder (a rename into it) to the disk. A folder
// that cannot be opened for reading, or a file system that cannot flush
// folders, is passed over. Returns 0 or the system's error number.
int syncfolder(const std::string& folder) {
    const int fd = openretrying(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int err = ::fsync(fd) == 0 ? 0 : errno;
    if (err == EINVAL || err == EROFS || err == EBADF) err = 0;
    closefd(fd);
    return err;
}

}  // namespace

twriteresult writefilesafely(const std::filesystem::path& target, std::string_view bytes, tmissingfolders folders,
                             tpersistence persistence) {
    const bool durable = persistence == tpersistence::durable;
    try {
        const std::string& given = target.native();
        if (given.empty()) return errnofailure(twritestep::checking, ENOENT, given);
        if (badname(given))
            return failure(twritestep::checking, codeinvalidname, std::generic_category().message(EINVAL));

        tresolvedtarget resolved;
        if (const int err = resolvetarget(given, resolved); err != 0)
            return errnofailure(twritestep::checking, err, given);
        const std::string& file = resolved.path;
        if (resolved.exists) {
            if (S_ISDIR(resolved.st.st_mode)) return errnofailure(twritestep::checking, EISDIR, file);
            // A pipe, a socket or a device is never opened: that could wait
            // for a reader, and renaming over it would put a plain file in
            // its place.
            if (!S_ISREG(resolved.st.st_mode)) return failure(twritestep::checking, 5, notregularreason);
            // A file made read-only is not replaced behind its back.
            if (::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0)
                return errnofailure(twritestep::checking, errno, file);
        }
        const std::size_t slash = file.rfind('/');
        const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
        if (name.empty()) return errnofailure(twritestep::checking, EISDIR, file);
        const std::string folder = folderof(file);

        ttemporaryfile temp;
        // The copy of a file that others may not read stays unreadable to
        // them until it has that file's permissions.
        const mode_t mode = resolved.exists ? 0600 : 0666;
        temp.fd = createtemporaryfile(folder, name, mode, temp.path);
        if (temp.fd < 0 && errno == ENOENT && folders == tmissingfolders::create) {
            std::error_code ec;
            fs::create_directories(folder, ec);
            if (ec) return errnofailure(twritestep::creating, ec.value(), file);
            temp.fd = createtemporaryfile(folder, name, mode, temp.path);
        }
        if (temp.fd < 0) return errnofailure(twritestep::creating, errno, file);

        if (const int err = writeall(temp.fd, bytes.data(), bytes.size()); err != 0)
            return errnofailure(twritestep::writing, err, file);
        if (resolved.exists) {
            // The new file takes the old one's owner and group where the
            // system allows it (the group alone, else neither), then its
            // permissions, which a change of owner may have cleared.
            const struct stat& old = resolved.st;
            if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
                ::fchown(temp.fd, old.st_uid, old.st_gid) != 0 &&
                ::fchown(temp.fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
                // The writer's own owner and group stay.
            }
            if (::fchmod(temp.fd, old.st_mode & 07777) != 0) return errnofailure(twritestep::writing, errno, file);
        }
        // The data reaches the disk before the name does, so that after a
        // crash the name never holds a file whose blocks were not written.
        if (durable && ::fsync(temp.fd) != 0 && errno != EINVAL) return errnofailure(twritestep::writing, errno, file);
        if (const int err = closefd(std::exchange(temp.fd, -1)); err != 0)
            return errnofailure(twritestep::writing, err, file);

        if (const int err = dorename(temp.path, file, true); err != 0)
            return errnofailure(twritestep::moving, err, file);
        temp.path.clear();
        if (const int err = durable ? syncfolder(folder) : 0; err != 0)
            return errnofailure(twritestep::moving, err, file);
        twriteresult result;
        result.step = twritestep::done;
        return result;
    } catch (const std::bad_alloc&) {
        return failure(twritestep::checking, 8, std::generic_category().message(ENOMEM));
    }
}

// ---- saving lines ----

namespace {

// Whether text holds a line beginning with "R=" (a trace record).
bool holdstracelines(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 2, "R=") == 0) return true;
        const std::size_t eol = text.find('\n', at);
        if (eol == std::string_view::npos) break;
        at = eol + 1;
    }
    return false;
}

// The save of savelinestofile and savetexttofile.
bool savetext(std::string_view text, const std::string& filename, std::string* reason) {
    try {
        const std::string_view ext = extensionof(filename);
        const bool scanfortraces = sametext(ext, ".oma") || sametext(ext, ".iso");
        clearioresult();
        QVTLibiostatus = 0;
        twriteresult result;
        for (int attempt = 0; attempt < writeattempts; ++attempt) {
            result = writefilesafely(filename, text);
            // Only the making of the temporary file may go through later (a
            // folder that appears meanwhile); anything else would fail alike.
            if (result.step != twritestep::creating) break;
            pauseaftertry();
        }
        keepcode(result.code);
        if (result) {
            // A backup that a save interrupted long ago left behind is
            // cleared away.
            const std::string backup = filename + ".$save";
            if (fileexists(backup)) dodelete(backup);
        } else if (reason) {
            *reason = result.reason;
        }
        if (scanfortraces && result.step > twritestep::creating && holdstracelines(text))
            ShowWarning("Saving OMA file as a text file", "");
        return static_cast<bool>(result);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

bool savelinestofile(const tstringlist& t, const std::string& filename, std::string* reason) {
    std::string text;
    try {
        std::size_t size = 0;
        for (const std::string& line : t) size += line.size() + 2;
        text.reserve(size);
        for (const std::string& line : t) text.append(line).append("\r\n");
    } catch (const std::bad_alloc&) {
        keepcode(8);
        if (reason) *reason = std::generic_category().message(ENOMEM);
        return false;
    }
    return savetext(text, filename, reason);
}

bool savetexttofile(std::string_view text, const std::string& filename, std::string* reason) {
    return savetext(text, filename, reason);
}

// ---- files ----

int QVTCopyfile(const std::string& fromname, const std::string& toname) {
    if (sametext(fromname, toname)) return -1;
    try {
        setcopymess(std::string());
        int code = 0;
        std::string mess;
        const auto fail = [&](int c, std::string_view what) {
            code = c;
            mess = "Copy file ";
            mess += what;
        };
        std::string bytes;
        if (badname(fromname)) {
            fail(codeinvalidname, fromname + " not assigned");
        } else {
            // Opened without waiting: the open of a named pipe would wait
            // for a writer before the check below could refuse it.
            const int source = openretrying(fromname.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
            struct stat st {};
            struct stat target {};
            if (source < 0) {
                fail(codeforname(errno, fromname), fromname + " not reset");
            } else {
                if (::fstat(source, &st) != 0 || !S_ISREG(st.st_mode)) {
                    fail(5, fromname + " not reset");
                } else if (::stat(toname.c_str(), &target) == 0 && target.st_dev == st.st_dev &&
                           target.st_ino == st.st_ino) {
                    closefd(source);
                    return -1;
                } else {
                    bytes.reserve(static_cast<std::size_t>(st.st_size));
                    char block[copyblocksize];
                    for (;;) {
                        const ssize_t n = ::read(source, block, sizeof block);
                        if (n < 0 && errno == EINTR) continue;
                        if (n < 0) {
                            fail(ioerrorfromerrno(errno), "read error");
                            break;
                        }
                        if (n == 0) break;
                        bytes.append(block, static_cast<std::size_t>(n));
                    }
                }
                if (const int err = closefd(source); err != 0) fail(ioerrorfromerrno(err), fromname + " closing error");
            }
        }
        if (code == 0) {
            const twriteresult written = writefilesafely(toname, bytes);
            if (written.code == codeinvalidname) {
                fail(written.code, toname + " not assigned");
            } else if (written.step == twritestep::checking || written.step == twritestep::creating) {
                fail(written.code, toname + " not reset");
            } else if (written.step == twritestep::writing) {
                fail(written.code, "write error");
            } else if (!written) {
                fail(written.code, toname + " close error");
            }
        }
        setcopymess(std::move(mess));
        return code;
    } catch (const std::bad_alloc&) {
        return 8;
    }
}

int QVTcopyanddeletefile(const std::string& fromname, const std::string& toname) {
    const int code = QVTCopyfile(fromname, toname);
    if (code != 0) return code;
    return dodelete(fromname);
}

int deletefile(const std::string& N) {
    clearioresult();
    try {
        return dodelete(trim(N));
    } catch (const std::bad_alloc&) {
        return 8;
    }
}

int renamefile(const std::string& a, const std::string& b) {
    clearioresult();
    try {
        const std::string from = trim(a);
        if (badname(from) || badname(b)) return codeinvalidname;
        const int err = dorename(from, b, false);
        if (err != ENOENT) return ioerrorfromerrno(err);
        // Either the file is missing or the folder of its new name is.
        struct stat st {};
        return ::lstat(from.c_str(), &st) != 0 ? codeforname(err, from) : 3;
    } catch (const std::bad_alloc&) {
        return 8;
    }
}

trenamefunction setrenamefunction(trenamefunction rename) {
    if (!rename) rename = realrename;
    std::lock_guard<std::mutex> lock(hookmutex());
    return std::exchange(renamefunction(), std::move(rename));
}

std::string extractfilenameonly(std::string_view s) {
    const std::string_view name = filenamepart(s);
    const std::size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

bool freestringlist(std::unique_ptr<tstringlist>& t) {
    t.reset();
    return true;
}

}  // namespace kestrune
