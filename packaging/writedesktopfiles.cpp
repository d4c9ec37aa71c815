// kestrune-desktopfiles: writes the installed desktop entry, MIME package and
// icon from the very texts the viewer's own registration writes below a
// user's folders, so that the two cannot drift apart.
//
//   kestrune-desktopfiles FOLDER PROGRAM
//
// writes FOLDER/kestrune.desktop (starting PROGRAM, for an installed viewer
// its name on the PATH, with the icon by its theme name), FOLDER/kestrune.xml
// and FOLDER/kestrune.svg. Run by the build; not installed.
#include <cstdio>
#include <filesystem>
#include <string>

#include "fileregistration.hpp"
#include "kestrune/support/files.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kestrune-desktopfiles FOLDER PROGRAM\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const kestrune::TFileRegistrationHelper helper = kestrune::viewerregistration(argv[2]);
    const std::string id = std::filesystem::path(helper.desktopid()).stem().string();
    const std::pair<std::string, std::string> files[] = {
        {helper.desktopid(), helper.desktopentry(id)},
        {id + ".xml", helper.mimepackage()},
        {id + ".svg", std::string(kestrune::TFileRegistrationHelper::icon())},
    };
    for (const auto& [name, text] : files) {
        const kestrune::twriteresult written =
            kestrune::writefilesafely(folder / name, text, kestrune::tmissingfolders::create);
        if (!written) {
            std::fprintf(stderr, "kestrune-desktopfiles: %s: %s\n", (folder / name).c_str(), written.reason.c_str());
            return 1;
        }
    }
    return 0;
}
