// Batch work of kestrune-cli: the files that the operands name (folders
// searched for OMA files), a small pool of threads that handles them, output
// in the order of the inputs, and a progress bar on a terminal.
//
// The core keeps no shared mutable state, so every thread works on its own
// objects without locks; only the hand-over of finished output is locked.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli.hpp"

namespace kestrune::cli {

// ---- finding the input files (filesearch.cpp) ----

struct tinputfile {
    std::string path;      // as it is named to the user: the operand, or the folder operand joined with relative
    std::string relative;  // below its folder operand; the bare file name for a file named directly
};

struct tinputs {
    std::vector<tinputfile> files;
    bool batch = false;         // more than one operand, or a folder: each file's output is labelled
    bool folderfailed = false;  // a folder (or part of one) could not be read; reported already
};

// Whether a name ends in ".oma" in any letter case.
bool omafilename(std::string_view name);

// The files the operands name, in order. An operand that is a folder (or a
// link to one) stands for the OMA files below it, found recursively, in
// byte order of their names within each folder; each folder is entered once
// per operand, so links that loop are harmless. Any other operand is taken
// as a file as it stands, also when it is missing (reading it reports why).
// A folder that cannot be read is reported on the diagnostics as
// "kestrune-cli: FOLDER: reason" and the search goes on. An OMA name in a
// folder that is a named pipe, a socket or a device is left out and reported
// as "kestrune-cli: PATH: not a regular file; skipped"; that alone is no
// failure.
tinputs findinputs(const std::vector<std::string>& operands, tcontext& ctx);

// ---- progress (progress.cpp) ----

// A one-line bar "[#####-----] DONE/TOTAL files" on a terminal, redrawn at
// most ten times a second and erased at the end. Does nothing when disabled.
class tprogress {
public:
    tprogress(std::FILE* stream, std::size_t total, bool enabled);
    ~tprogress();
    tprogress(const tprogress&) = delete;
    tprogress& operator=(const tprogress&) = delete;

    // Whether standard error is a terminal, where a bar belongs.
    static bool wanted();

    // Whether update would draw now: the bar is enabled and its last drawing
    // is old enough. Output to the same terminal is
    // flushed before, so that it does not land behind the bar.
    bool due() const;
    // Draws the bar for done finished files when due.
    void update(std::size_t done);
    // Takes the bar off the line so that other text can be written; the next
    // update draws it again.
    void erase();
    bool visible() const { return visible_; }

private:
    void draw(std::size_t done);

    std::FILE* stream_;
    std::size_t total_;
    bool enabled_;
    bool visible_ = false;
    std::chrono::steady_clock::time_point lastdraw_{};
};

// ---- running the files ----

// Statuses are the program's exit statuses; the worst (highest) wins.
using tfilehandler = std::function<int(const tinputfile& file, std::size_t index, tcontext& ctx)>;

struct tbatchresult {
    int worst = exitok;
    std::vector<std::size_t> statuscount = std::vector<std::size_t>(3, 0);  // files per status 0, 1, 2
};

// The --jobs option every command that takes files accepts.
inline constexpr toptiondefn jobsoptiondefn{"jobs", "N", "Handle N files at once (default: the number of cores).", 'j'};

// The number of files handled at once: --jobs N (1 to 256), else the number
// of cores (at least 1). False, with a usage error written, on a bad value.
bool jobsoption(const tparsedargs& args, const tcommand& command, unsigned& jobs, tcontext& ctx);

// Runs handler on every file. One thread does it all with jobs 1; otherwise
// jobs threads (the calling one among them) take the files in order, each
// file's output is collected apart and written to ctx in input order as soon
// as all earlier files are done. Workers stay at most a few files ahead of the output, so memory
// does not grow with the number of files. Stops taking new files once
// standard output fails. A handler that throws counts as a failure of its
// file. The progress bar goes on the diagnostics when they are a terminal.
tbatchresult runbatch(const std::vector<tinputfile>& files, unsigned jobs, const tfilehandler& handler, tcontext& ctx);

// Runs handler over inputs: a single file named alone directly, so that its
// output is exactly that of a one-file command; otherwise as runbatch does.
// Returns the worst status, a folder that could not be read counting as a
// failure; result receives the counts.
int runinputs(const tinputs& inputs, unsigned jobs, const tfilehandler& handler, tcontext& ctx, tbatchresult& result);

}  // namespace kestrune::cli
