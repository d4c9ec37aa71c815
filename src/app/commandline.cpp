#include "commandline.hpp"

#include "kestrune/support/text.hpp"

#ifndef KESTRUNE_VERSION
#define KESTRUNE_VERSION "unknown"
#endif

namespace kestrune {

bool islocalfoldersetting(std::string_view argument) {
    const std::string upper = upcase(argument.substr(0, 12));
    return upper == "LOCALFOLDER" || upper == "LOCALFOLDER=";
}

tviewerarguments readviewerarguments(const std::vector<std::string>& arguments) {
    tviewerarguments read;
    bool options = true;
    for (const std::string& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            read.help = true;
        } else if (options && argument == "--version") {
            read.version = true;
        } else if (!islocalfoldersetting(argument)) {
            read.files.push_back(argument);
        }
    }
    return read;
}

const std::vector<std::pair<std::string, std::string>>& viewershortcuts() {
    static const std::vector<std::pair<std::string, std::string>> keys = {
        {"Ctrl+O", "open a file"}, {"F5", "read the shown file again"},   {"Ctrl+W", "close the shown file"},
        {"Ctrl+Q", "quit"},        {"F1", "list the keyboard shortcuts"},
    };
    return keys;
}

std::string viewerversion() { return std::string("kestrune ") + KESTRUNE_VERSION; }

// As the package's copyright file says until a licence is chosen.
std::string viewerlicence() {
    return "All rights reserved: no licence to copy, change or pass on this software has been granted yet.";
}

std::string viewerusage() {
    std::string text =
        "Usage: kestrune [FILE] [LOCALFOLDER=DIR]\n"
        "       kestrune --help | --version\n"
        "\n"
        "Shows an OMA lab file: its records, the verdict on its traces, the\n"
        "measures of each eye and a picture of each lens shape. Reading, checking\n"
        "and drawing go on while the window stays responsive.\n"
        "\n"
        "  FILE             the file to show; more than one gives \"Too many files.\"\n"
        "  LOCALFOLDER=DIR  the working folder becomes DIR followed by \"Quorvanta\"\n"
        "                   (end DIR with \"/\"); it receives the radii dump and\n"
        "                   the pictures of the shown file\n"
        "  --help, -h       print this help and exit\n"
        "  --version        print the version and exit\n"
        "  --               every later argument is a file\n"
        "\n"
        "Keys:\n";
    for (const auto& [key, meaning] : viewershortcuts()) {
        std::string line = "  " + key;
        line.append(line.size() < 19 ? 19 - line.size() : 1, ' ');
        text += line + meaning + "\n";
    }
    text +=
        "\n"
        "Environment:\n"
        "  KESTRUNE_SCREENSHOT=PATH  show FILE, save a PNG of the window to PATH\n"
        "                            and quit\n"
        "\n"
        "Recent files and the choice of fixed-pitch records are kept in\n"
        "$XDG_CONFIG_HOME/kestrune/kestrune.conf (~/.config when it is not set).\n";
    return text;
}

}  // namespace kestrune
