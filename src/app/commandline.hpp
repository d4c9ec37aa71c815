// The viewer's command line: how its arguments read, and the texts of
// --help and --version. The usage text is the one source for the program's
// help and its manual page; the shortcuts are the one list that the help,
// the Help menu and the manual give.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrune {

struct tviewerarguments {
    bool help = false;     // --help or -h: print the usage and exit
    bool version = false;  // --version: print the version and exit
    // The files named, in order: every argument that is neither an option
    // nor a LOCALFOLDER setting. After "--" every argument is a file.
    std::vector<std::string> files;
};

// Reads the arguments after the program's name. Only "--help", "-h",
// "--version" and "--" are options: any other argument, also one that
// starts with "-", names a file, so that every file name can be opened.
tviewerarguments readviewerarguments(const std::vector<std::string>& arguments);

// Whether an argument is a LOCALFOLDER setting (its name in any letter case).
bool islocalfoldersetting(std::string_view argument);

// The viewer's keyboard shortcuts: the keys as a desktop names them and what
// each does.
const std::vector<std::pair<std::string, std::string>>& viewershortcuts();

// "kestrune 0.1.0".
std::string viewerversion();

// The licence the About box and the manual page name.
std::string viewerlicence();

// The whole text of --help: synopsis, description, options, settings, keys,
// environment; lines of at most 80 characters.
std::string viewerusage();

}  // namespace kestrune
