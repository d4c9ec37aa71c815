// Names of the files that render and convert write into an output folder
// for many inputs, and the guards that keep outputs off the inputs.
#pragma once

#include <sys/types.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "batch.hpp"

namespace kestrune::cli {

// Whether name is an existing folder (a link to one counts).
bool isfolder(const std::string& name);

// Whether out is refused as the output folder of several inputs: it is no
// folder but names something that exists, or it is missing but reads as the
// name of a single output file (looksasfile), which would rather be a typing
// mistake than a folder to make. A name that cannot be looked at (a folder
// above it without search rights) is not refused here: writing each output
// then says why it fails.
bool refusedasfolder(const std::string& out, bool looksasfile);

// Whether out names filename itself, under any name: an output is never
// written over the file it is made from. Says so ("COMMAND: OUT is FILE
// itself: OUT") when it does.
bool refusedasinputitself(const char* command, const std::string& filename, const std::string& out, tcontext& ctx);

// One output path per input, in folder: the input's path below its folder
// operand (its bare name for a file named directly), with its extension
// replaced by newending when replaceextension is set. A name already given to
// an earlier input of the run gets "-2", "-3", ... after its stem, so two
// inputs of the same name from different folders never share an output.
std::vector<std::string> outputnames(const std::vector<tinputfile>& files, const std::string& folder,
                                     const std::string& newending, bool replaceextension);

// The files of a run as the system knows them (device and inode), so that
// an output that is one of them under any name can be refused. Read-only
// once made: threads share it without locks.
class tinputidentities {
public:
    explicit tinputidentities(const std::vector<tinputfile>& files);
    // Whether path names an existing file that is one of the inputs.
    bool contains(const std::string& path) const;

private:
    std::set<std::pair<dev_t, ino_t>> ids_;
};

}  // namespace kestrune::cli
