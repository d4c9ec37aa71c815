// Registration of the viewer as the desktop's handler of its file type.
//
// The association follows the freedesktop conventions, written below the
// user's own folders:
//   $XDG_DATA_HOME/applications/<id>.desktop       the program (Name, Exec, Icon,
//                                                  MimeType, StartupWMClass)
//   $XDG_DATA_HOME/icons/hicolor/scalable/apps/<id>.svg   its icon
//   $XDG_DATA_HOME/mime/packages/<id>.xml          "*<ext>" -> application/x-<ext>
//   $XDG_CONFIG_HOME/mimeapps.list                 the program as a handler of the
//                                                  type, and as its default when
//                                                  the user has chosen none
// where <id> is the program id in lower case (XDG_DATA_HOME defaults to
// ~/.local/share, XDG_CONFIG_HOME to ~/.config). The desktop is told about the
// change by running update-mime-database and update-desktop-database on
// those folders when the tools are installed.
//
// The installed program's desktop entry, MIME package and icon are written
// at build time from the same texts (desktopentry, mimepackage, icon), so the
// entry a user registers and the one a package installs never differ but for
// the program path and the icon's name.
//
// Results are 32-bit codes: 0 for success, otherwise 0x80070000 combined with
// the system error code (see files.hpp for the numbering); a result counts
// as success when it is not negative.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace kestrune {

using tregresult = std::int32_t;

// The result for a system error code (0 stays 0).
tregresult hresultfromcode(int code);
inline bool registrationsucceeded(tregresult r) { return r >= 0; }

class TFileRegistrationHelper {
public:
    // ProgramId names the desktop entry and icon; Path is the program the
    // entry starts; FriendlyName is the entry's Name and the type's comment;
    // AppUserModelID becomes the window class the desktop matches windows by;
    // Extension is the file extension with its dot (".oma").
    TFileRegistrationHelper(std::string ProgramId, std::string Path, std::string FriendlyName,
                            std::string AppUserModelID, std::string Extension);

    // Whether the desktop entry exists. Nothing else is compared, so a program
    // that moved keeps the entry of its first registration.
    bool IsFileTypeRegistered() const;
    // Whether a system-wide desktop entry of the same id (in a folder of
    // XDG_DATA_DIRS, by default /usr/local/share and /usr/share) starts this
    // very program: an installed copy, which needs no entry of the user's own.
    // A bare program name in its Exec is looked up on the PATH.
    bool IsRegisteredBySystem() const;

    // Writes the program's entry and icon, then the file type and the
    // default application, then tells the desktop. Returns the last result.
    tregresult RegisterToHandleFileType();
    // Removes what RegisterToHandleFileType wrote (entries of other programs
    // in mimeapps.list stay) and tells the desktop. Missing files count as
    // removed.
    tregresult UnRegisterFileTypeHandler();

    // Writes (or removes) the icon and the desktop entry. The entry is written
    // last and in one piece, so a registration that failed part-way leaves no
    // entry and is tried again at the next start.
    tregresult RegisterProgid(bool DoRegister);
    // Writes (or removes) the MIME package for pszExt, and the program in
    // mimeapps.list: first among the type's handlers ("Added Associations"),
    // and its default only when the user has chosen none (in that file, in a
    // desktop's own *-mimeapps.list beside it, or in the older list below the
    // data folder). Removal takes the program's own entries away only.
    tregresult RegisterToHandleExt(const std::string& pszExt, bool fRegister);

    // Where the files go, for the current environment.
    std::filesystem::path desktopentrypath() const;
    std::filesystem::path iconpath() const;
    std::filesystem::path mimepackagepath() const;
    std::filesystem::path mimeappspath() const;
    // The desktop file id ("kestrune.desktop") and the MIME type
    // ("application/x-oma") the entries use.
    std::string desktopid() const;
    std::string mimetype() const;
    // The text of the desktop entry, with the icon written by the
    // registration, or with the given icon (a name from the icon theme, for
    // an installed entry).
    std::string desktopentry() const;
    std::string desktopentry(std::string_view icon) const;
    // What the file type is called ("OMA lab file"): the MIME type's comment.
    std::string typecomment() const;
    // The shared-mime-info package of the file type: its comment and the glob
    // "*<ext>", which matches in any letter case.
    std::string mimepackage() const;
    // The program's icon, an SVG picture.
    static std::string_view icon();

    const std::string FProgID;
    const std::string FAppPath;
    const std::string FFriendlyName;
    const std::string FAppUserModelID;
    const std::string FExtToRegister;
};

// Quotes one argument of a desktop entry's Exec key: the argument in double
// quotes only when it holds a reserved character (blank, control character,
// or one of "'\><~|&;$*?#()`), with ", `, $ and \ then escaped by a
// backslash; "%" doubled; and the whole escaped as a desktop entry string
// value (\ as \\, line breaks and tabs as \n, \r, \t).
std::string quotedesktopexecarg(std::string_view arg);

// What tells the desktop that associations changed; it receives the data
// and configuration folders that were written. Tests replace it; an empty
// function brings back the default, which runs update-mime-database and
// update-desktop-database when they are on the PATH. Returns the one it
// replaces.
using tshellnotifier =
    std::function<void(const std::filesystem::path& datahome, const std::filesystem::path& confighome)>;
tshellnotifier setshellnotifier(tshellnotifier notifier);

// The full path of the running program ("" when the system does not tell).
std::string runningprogrampath();

// The viewer's registration: ProgID "Kestrune" for ".oma", starting program.
// The build writes the installed entry, MIME package and icon with it.
TFileRegistrationHelper viewerregistration(std::string program);

// The viewer's registration at start-up: registers ProgID "Kestrune" for
// ".oma" with the running program's path unless the user's desktop entry
// exists or the system's entry starts this program already.
// The result is not examined by the viewer; it is returned for tests.
tregresult registerapp();

}  // namespace kestrune
