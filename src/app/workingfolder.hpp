// The working folder, where the viewer keeps the radii dump and the shape
// pictures it writes, the program's temporary folder, and the clean-up of
// old pictures.
//
// The working folder is the product folder "Quorvanta" under a base folder:
//   1. the value of a LOCALFOLDER=DIR argument, trimmed and used as a prefix
//      exactly as typed (LOCALFOLDER=/data/ gives /data/Quorvanta/, while
//      LOCALFOLDER=/data gives /dataQuorvanta/);
//   2. otherwise the user's documents folder (XDG_DOCUMENTS_DIR from
//      user-dirs.dirs, else $HOME/Documents), unless the product folder
//      exists only under the shared documents folder, which is then used;
//   3. when neither can be worked out, the fallback folder: "files" beside
//      the program, or the folder named by the first line of the file
//      "filesdir.txt" in it.
// The product folder is created (with its parents) when missing. Paths end
// in "/".
#pragma once

#include <string>
#include <string_view>

namespace kestrune {

// Name of the product folder under the documents and temporary folders.
inline constexpr const char* ProjectName = "Quorvanta";
// Most files that one clean-up call deletes.
inline constexpr int maxdeletecount = 50;

// Folders GetSpecialsPath knows: the user's documents and the documents
// shared by all users of the machine.
inline constexpr int CSIDL_PERSONAL = 5;
inline constexpr int CSIDL_COMMON_DOCUMENTS = 0x2E;

// The shared documents folder when KESTRUNE_SHARED_DOCUMENTS does not name
// another one.
inline constexpr const char* defaultshareddocuments = "/var/local/kestrune";

// The folder of one of the CSIDL numbers above, without a trailing "/";
// empty when it cannot be named (no home folder) or for any other number.
std::string GetSpecialsPath(int CSID);

// The working folder, created when missing, with a trailing "/". Falls back
// to win32findfilesfolder() when no base folder can be worked out.
std::string MyDocumentsPath();

// The fallback folder with a trailing "/", worked out on first use from the
// program's folder and kept for the rest of the run. Nothing is created.
std::string win32findfilesfolder();
// The same worked out afresh for a given program folder (with or without a
// trailing "/"); also sets forwardingsite() from the description file.
std::string win32findfilesfolderin(const std::string& programfolder);
// The value of a "Forward=" second line of the fallback's "filesdir.txt".
std::string forwardingsite();

// The system's folder for temporary files ($TMPDIR, else /tmp) with a
// trailing "/".
std::string TempPath();
// The program's own temporary folder: TempPath() followed by the product
// folder name and "/".
std::string QVTTempPath();
// Creates QVTTempPath() when missing; errors are ignored.
void createtempfolder();

// Deletes ordinary files of folder whose names match the mask ext ("*" and
// "?" wildcards, letters without regard to case) and that were last written
// more than xdays days ago; hidden files (a name beginning with "."),
// folders and symbolic links are left alone. At most maxdeletecount files
// are taken per call, in the order the folder lists them. With maxsecs not 0
// the collecting and the deleting each stop once they have run longer than
// maxsecs seconds (looked at every 10 files). Returns the number of files
// whose deletion was attempted (a failed deletion counts as well), 0 for a
// folder that cannot be read, -1 after an unexpected error.
int deleteoldfilesinfolder(const std::string& folder, const std::string& ext, int xdays);
int deleteoldfilesinfolder(const std::string& folder, const std::string& ext, double xdays, int maxsecs);

// Whether name matches mask: "*" any run of characters, "?" one character,
// letters compared without regard to case.
bool matchesfilemask(std::string_view name, std::string_view mask);

}  // namespace kestrune
