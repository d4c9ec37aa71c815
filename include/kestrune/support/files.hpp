// File and text-file utilities of the support library.
//
// The routines report failures in an I/O-code style instead of exceptions:
// each low-level operation leaves a numeric code pending for its thread
// (0: no error), the routine fetches it right after the operation with
// clearioresult(), which clears it, and returns Boolean success or the code.
//
// Codes follow the numbering of the Windows system error codes, which callers
// compare against, mapped from the errno of the failing system call:
//
//   2    file not found           ENOENT when the folder exists
//   3    path not found           ENOENT when the folder is missing, ENOTDIR,
//                                 ENAMETOOLONG, ELOOP
//   4    too many open files      EMFILE, ENFILE
//   5    access denied            EACCES, EPERM, EROFS, EISDIR
//   8    not enough memory        ENOMEM
//   17   not the same device      EXDEV (a rename between file systems)
//   32   sharing violation        EBUSY, ETXTBSY
//   87   invalid parameter        EINVAL
//   112  disk full                ENOSPC, EDQUOT
//   123  invalid name             a name holding a NUL byte
//   145  folder not empty         ENOTEMPTY
//   183  already exists           EEXIST (renaming onto an existing name)
//   223  file too large           EFBIG
//   31   general failure          any other errno (EIO included)
//
// and, for misuse of a text file variable:
//   103  file not open, 104 not open for input, 105 not open for output.
//
// File names are byte strings passed to the system as they are; text is
// bytes too, read and written without any code-page conversion.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

class tstringlist;

// ---- I/O codes ----

// These are per thread: each tells about the calling thread's own latest
// operations, so threads working on separate files never see each other's
// codes. (The atomic type is kept for callers that load and store them.)

// Code of the calling thread's last open or close of the text-file routines.
extern thread_local std::atomic<int> QVTLibIOError;
// The last non-zero code of the calling thread's text-file routines;
// savelinestofile sets it to 0 when it starts and keeps every write or close
// error in it.
extern thread_local std::atomic<int> QVTLibiostatus;
// Message of the failing step of the calling thread's latest QVTCopyfile call
// ("" when it succeeded).
std::string QVTCopyfileerrormess();

// The calling thread's pending code, which is thereby cleared.
int clearioresult();

// The code for an errno value, as listed above.
int ioerrorfromerrno(int err);

// ---- text files ----

// A buffered text file: one name, opened for reading, writing or appending,
// read and written line by line. Lines are written followed by CR LF; on
// reading, CR LF, LF and a lone CR each end a line. The destructor closes an
// open file (flushing what was written) and ignores errors: call
// closetextfile to learn them.
class ttextfile {
public:
    enum class tmode { closed, input, output };

    ttextfile() = default;
    ~ttextfile();
    ttextfile(ttextfile&& other) noexcept;
    ttextfile& operator=(ttextfile&& other) noexcept;
    ttextfile(const ttextfile&) = delete;
    ttextfile& operator=(const ttextfile&) = delete;

    const std::string& name() const { return name_; }
    tmode mode() const { return mode_; }
    bool isopen() const { return mode_ != tmode::closed; }

private:
    friend bool opentextfileforread(ttextfile& f, const std::string& filename);
    friend bool opentextfileforwrite(ttextfile& f, const std::string& filename, bool appendmode);
    friend bool closetextfile(ttextfile& f);
    friend bool readtextline(ttextfile& f, std::string& line);
    friend bool writetextline(ttextfile& f, std::string_view line);
    friend bool writetextblock(ttextfile& f, std::string_view text);
    friend bool endoftextfile(ttextfile& f);

    int close() noexcept;    // the code of flushing and closing
    int flush() noexcept;    // the code of writing out the buffer
    bool fill() noexcept;    // reads more; false at end of file or on error
    bool skiplf() noexcept;  // completes a CR LF pair; false at end or error

    int fd_ = -1;
    tmode mode_ = tmode::closed;
    std::string name_;
    std::unique_ptr<char[]> buffer_;
    std::size_t start_ = 0;   // input: first unread byte
    std::size_t end_ = 0;     // input: end of the read bytes; output: bytes buffered
    int error_ = 0;           // the first read or write error; it sticks until closing
    bool pendingcr_ = false;  // input: the last line ended with CR; skip a following LF
};

// Opens an existing file for reading. A missing file gives code 2 at once,
// without retrying; so does anything that is not a regular file (a folder, a
// named pipe, a socket or a device), which is refused without waiting for it.
bool opentextfileforread(ttextfile& f, const std::string& filename);

// Creates or empties the file, or appends to it when appendmode is set and
// the file exists. A failed attempt is followed by a random pause of 0 to 999
// milliseconds and tried again, four attempts in all.
bool opentextfileforwrite(ttextfile& f, const std::string& filename, bool appendmode);

// Closes the file (writing out what is buffered) and tells whether that went
// without error. Closing a file that is not open gives code 103.
bool closetextfile(ttextfile& f);

// Reads the next line without its line break. False at the end of the file
// (pending code 0) or on an error (pending code set).
bool readtextline(ttextfile& f, std::string& line);

// Writes line followed by CR LF; the pending code tells about errors, which
// for buffered data may also surface only at closetextfile.
bool writetextline(ttextfile& f, std::string_view line);

// Writes text as it stands, its line breaks included; errors as for
// writetextline.
bool writetextblock(ttextfile& f, std::string_view text);

// True when nothing more can be read (also when the file is not open for
// reading).
bool endoftextfile(ttextfile& f);

// The pause between write attempts, in milliseconds. Tests replace it so that
// they do not sleep; an empty function brings back the real pause. Returns the
// function it replaces.
using tpausefunction = std::function<void(int milliseconds)>;
tpausefunction setretrypause(tpausefunction pause);

// ---- writing a file safely ----

// How far writefilesafely came; a failure names the step that failed.
enum class twritestep {
    checking,  // the target: following its links, what is there already
    creating,  // the temporary file beside it
    writing,   // the bytes, the permissions, flushing them to the disk
    moving,    // the move over the target and flushing its folder
    done,
};

// What writefilesafely did.
struct twriteresult {
    twritestep step = twritestep::checking;
    int code = 0;        // the I/O code of the failure (as listed above); 0 when written
    std::string reason;  // the failure in the system's words ("Permission denied"); empty when written
    explicit operator bool() const { return step == twritestep::done; }
};

// Whether a missing folder above the target is made (with every missing one
// above it) or fails the write.
enum class tmissingfolders { fail, create };

// Whether a written file must survive a crash once the write has returned.
// A durable file's data and its folder's entry are flushed to the disk
// before writefilesafely returns. A scratch file (a picture the viewer draws
// afresh whenever it shows a file) skips both flushes: while the system runs
// its name never holds it half-written, but after a crash the name may hold
// the file it replaced, none, or an incomplete one, which is drawn again when
// it is next needed. Each flush costs milliseconds on a disk: most of the
// time of a show went there.
enum class tpersistence { durable, scratch };

// Writes bytes as the whole new content of target, so that the name holds
// the earlier file or the new one at every moment, also after a crash or a
// power loss, never a part or a mixture. Every file Kestrune writes goes
// through here.
//
// - A symbolic link named as target stays a link: the file it leads to is
//   replaced (links to links are followed), in that file's folder. In a
//   folder that others may write into, only a link of the writing user or of
//   the folder's owner is followed; any other fails ("Permission denied"), so
//   that nobody can make another user's save replace a file of their choosing.
// - What is there must be a regular file the writer may write: a folder
//   fails ("Is a directory"), a read-only file fails ("Permission denied"),
//   and a named pipe, a socket or a device fails ("not a regular file; not
//   overwritten") without being opened, so nothing waits for a reader.
// - The bytes go into a new hidden file in the same folder, ".NAME.X.tmp"
//   (NAME cut to its first 200 bytes, X 16 hexadecimal digits, made with
//   O_EXCL so it is never a file that exists already), which gets the
//   permissions (and, where the system allows, the owner and group) of the
//   file it replaces; a new file gets 0666 less the umask. Its data is
//   flushed to the disk, it is renamed over the target in one step, and the
//   folder is flushed so that the rename itself survives a crash (neither
//   flush for a scratch file).
// - Any failure removes the temporary file and leaves the target as it was,
//   except a failure to flush the folder after the move, which is reported
//   though the name already holds the new file.
twriteresult writefilesafely(const std::filesystem::path& target, std::string_view bytes,
                             tmissingfolders folders = tmissingfolders::fail,
                             tpersistence persistence = tpersistence::durable);

// ---- saving lines ----

// Writes the lines of t, each followed by CR LF, to filename, through
// writefilesafely: the name holds the earlier file or the new one at every
// moment, a failure leaves the earlier file whole and no temporary file
// behind, a replaced file keeps its permissions and a symbolic link stays a
// link. A backup under the name followed by ".$save" that an earlier save
// left behind is removed once the new file is in place.
//
// When the temporary file cannot be made (the folder is missing or cannot be
// written), the attempt is repeated after a random pause of 0 to 999
// milliseconds, four attempts in all, each failed one followed by its pause.
// A target that cannot be replaced (a folder, a read-only file, a named
// pipe, a device) fails at once.
//
// Lines beginning with "R=" saved to an ".oma" or ".iso" file bring the
// warning "Saving OMA file as a text file" once, after writing.
//
// Returns true when every line was written and the file is in place. No
// message is shown for failures; their codes are left in QVTLibiostatus and
// QVTLibIOError, and reason (when given) receives the failure in the
// system's words.
bool savelinestofile(const tstringlist& t, const std::string& filename, std::string* reason = nullptr);

// The same for text that holds its line breaks already (the lines joined,
// each followed by CR LF, say): written as it stands, saved as above, and
// the warning given when a line of it begins with "R=".
bool savetexttofile(std::string_view text, const std::string& filename, std::string* reason = nullptr);

// ---- files ----

// Copies a regular file: reads it whole, then writes it to toname with
// writefilesafely, so a failed copy leaves the target as it was. Returns 0,
// the code of the last failing step (its message in QVTCopyfileerrormess), or
// -1 when the two names are equal without regard to case or name the same
// file (nothing is done). A source that is not a regular file (a folder, a
// named pipe, a device) is refused without waiting for it (code 5).
int QVTCopyfile(const std::string& fromname, const std::string& toname);

// QVTCopyfile, then deletes the source when the copy succeeded.
int QVTcopyanddeletefile(const std::string& fromname, const std::string& toname);

// Deletes the file named N with blanks trimmed from both ends. Returns 0 or
// the code (2 missing, 3 missing folder, 5 denied or a folder).
int deletefile(const std::string& N);

// Renames a (blanks trimmed from both ends) to b (as given). Renaming onto an
// existing name fails (183) and changes nothing. Returns 0 or the code.
int renamefile(const std::string& a, const std::string& b);

// The rename operation renamefile and writefilesafely use, returning 0 or
// the system's error number; replace says whether an existing entry under
// the new name may be replaced.
// Tests replace it to make a rename fail; an empty function brings back the
// real one. Returns the function it replaces.
using trenamefunction = std::function<int(const std::string& from, const std::string& to, bool replace)>;
trenamefunction setrenamefunction(trenamefunction rename);

// The file name of s without its folder ("/" and "\" both separate folders)
// and without its last extension (from the last dot, dot included). A name
// without a dot is returned whole.
std::string extractfilenameonly(std::string_view s);

// Releases the list and empties the pointer; true (also for an empty pointer).
bool freestringlist(std::unique_ptr<tstringlist>& t);

}  // namespace kestrune
