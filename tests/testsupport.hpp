// Helpers shared by the test programs.
//
// Every test program runs in a home sandbox of its own (homesandbox.hpp: HOME,
// the XDG folders, TMPDIR and the shared documents folder below a fresh
// temporary folder, set up before the first test), so no test touches the
// real home folder, the desktop's settings or a folder shared by the machine.
#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace kestrune::testing {

// The folder of OMA files written by other software, beside the checkout;
// empty when it is absent (tests then skip themselves).
std::filesystem::path real_samples_dir();

// The project's own samples/ folder.
std::filesystem::path project_samples_dir();

// A fresh folder below the test run's temporary root, removed on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Makes a named pipe at p; false when the system does not allow it.
bool make_fifo(const std::filesystem::path& p);
// Makes a Unix-domain socket file at p (bound, then closed: the file stays);
// false when the system does not allow it or the path is too long for one.
bool make_socket(const std::filesystem::path& p);

// A regular file whose reading fails with an I/O error at once: the reading
// process's own memory, from address 0, which is never mapped. Empty when the
// system offers no such file (tests then skip themselves).
std::filesystem::path read_error_file();

// Runs work on a thread of its own and waits at most seconds for it. When it
// has not finished by then, each of fifos is opened for writing and closed
// again, which releases a reader waiting to open or read it, and opened for
// reading and drained until work ends, which releases a writer waiting to
// open or write it, so that a test that would wait forever fails instead.
// Returns whether work finished in time.
bool finishes_in_time(const std::function<void()>& work, const std::vector<std::filesystem::path>& fifos,
                      double seconds = 5);

std::string read_file(const std::filesystem::path& p);
// The names of every entry of folder, hidden ones included (empty when it
// cannot be read).
std::set<std::string> entries(const std::filesystem::path& folder);
// Whether temp is a name the safe writer gives the temporary file of a write
// to target: in target's folder, "." followed by target's name (its first
// 200 bytes), ".", 16 hexadecimal digits and ".tmp".
bool istemporaryname(const std::filesystem::path& temp, const std::filesystem::path& target);
void write_file(const std::filesystem::path& p, const std::string& bytes);

// Runs a shell command line; returns its exit status and fills out with its
// standard output (and err with standard error when given).
int run_command(const std::string& commandline, std::string* out, std::string* err = nullptr);

// Quotes a path or argument for the shell.
std::string shell_quote(const std::string& s);
std::string quoted(const std::filesystem::path& p);

}  // namespace kestrune::testing
