// The pieces every command of kestrune-cli shares: the command table, the
// argument parser, buffered binary-safe output and the reading of input files.
//
// A command is one entry of the table (name, argument synopsis, one-line
// summary, its options and a handler) and one source file, command_<name>.cpp.
// Adding a command means writing its handler and adding one line to the table
// in commands.cpp; the usage text is generated from the table.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {
class tomafileobj;
class tstringlist;
}  // namespace kestrune

namespace kestrune::cli {

inline constexpr std::string_view programname = "kestrune-cli";

// Exit statuses: success, or a failure (a file that could not be handled, a
// usage error, an output error).
inline constexpr int exitok = 0;
inline constexpr int exitfailure = 2;

// ---- output ----

// What one file's work wrote while it ran away from the main thread: its
// results and diagnostics as pieces in the order written, so that they can be
// replayed on the real streams later exactly as a direct run would have
// interleaved them.
struct tcapturedpiece {
    bool diagnostic = false;  // standard error rather than standard output
    std::string bytes;
};
using tcapture = std::vector<tcapturedpiece>;

// Appends bytes to capture, joining them to the last piece of the same stream.
void capturebytes(tcapture& capture, bool diagnostic, std::string_view bytes);

// Bytes written exactly as given (no newline translation, NUL and bytes above
// 127 included), collected in a buffer and handed to fwrite in large blocks.
// Write errors are remembered and reported by flush(). An output made on a
// capture collects the bytes there instead and never fails.
class toutput {
public:
    explicit toutput(std::FILE* stream);
    explicit toutput(tcapture& capture);
    ~toutput();
    toutput(const toutput&) = delete;
    toutput& operator=(const toutput&) = delete;

    void write(std::string_view bytes);
    void put(char c);
    // Writes bytes followed by one line feed.
    void line(std::string_view bytes) {
        write(bytes);
        put('\n');
    }
    // Hands the buffer to the stream and flushes it; false once any write failed.
    bool flush();
    bool failed() const { return failed_; }
    // The system's error number of the first failed write, or 0.
    int errornumber() const { return errornumber_; }

private:
    void drain();
    void fail();
    void emit(std::string_view bytes);

    std::FILE* stream_ = nullptr;
    tcapture* capture_ = nullptr;
    std::string buffer_;
    bool failed_ = false;
    int errornumber_ = 0;
};

// Where a command writes: its results on out, and diagnostics as lines
// "kestrune-cli: ..." on err.
class tcontext {
public:
    tcontext(toutput& out, std::FILE* err) : out(out), err_(err) {}
    // Diagnostics go into capture, after what out has collected there so far.
    tcontext(toutput& out, tcapture& capture) : out(out), capture_(&capture) {}

    toutput& out;

    // Writes "kestrune-cli: message" and a line feed to the diagnostic stream.
    // Results written so far are flushed first, so that both streams read in
    // order when they go to the same terminal or file.
    void error(std::string_view message);
    // Writes text to the diagnostic stream as it stands.
    void errortext(std::string_view text);

private:
    std::FILE* err_ = nullptr;
    tcapture* capture_ = nullptr;
};

// ---- arguments ----

// One option a command accepts, written --name or --name VALUE / --name=VALUE,
// and, when it has a one-letter form, -x or -x VALUE / -xVALUE.
struct toptiondefn {
    std::string_view name;       // without the leading "--"
    std::string_view valuename;  // empty for a flag; otherwise shown in the usage
    std::string_view help;       // one line
    char shortname = '\0';       // the one-letter form, or '\0' for none
};

struct tparsedargs {
    std::vector<std::string> operands;                         // in order
    std::vector<std::pair<std::string, std::string>> options;  // name, value (empty for a flag)
    bool help = false;                                         // --help or -h was given

    bool has(std::string_view name) const;
    // Value of the last occurrence of an option, or fallback.
    std::string value(std::string_view name, std::string_view fallback = {}) const;
};

// Parses a command's arguments (those after the command's name). Options may
// stand before, between and after operands; "--" ends the options, and "-"
// alone is an operand. --help and -h are known to every command. On an unknown
// option, a missing value or a value given to a flag, returns false with a
// message in error.
bool parsearguments(std::span<const std::string> args, std::span<const toptiondefn> known, tparsedargs& parsed,
                    std::string& error);

// ---- commands ----

using tcommandhandler = int (*)(const tparsedargs& args, tcontext& ctx);

struct tcommand {
    std::string_view name;
    std::string_view synopsis;  // the arguments, e.g. "FILE..."
    std::string_view summary;   // one line
    std::span<const toptiondefn> options;
    std::size_t minoperands = 0;
    tcommandhandler handler = nullptr;
};

std::span<const tcommand> commandtable();
const tcommand* findcommand(std::string_view name);

// The whole program's usage, generated from the table.
std::string usagetext();
// One command's usage: its synopsis line, summary and options.
std::string commandusage(const tcommand& command);
// A mistake on the command line: "NAME: message" and the command's usage on
// standard error. Returns exitfailure.
int usageerror(tcontext& ctx, const tcommand& command, const std::string& message);

// Runs the program on its arguments (without the program name).
int runcli(std::span<const std::string> args, tcontext& ctx);

// The handlers, one source file each.
int command_help(const tparsedargs& args, tcontext& ctx);
int command_list(const tparsedargs& args, tcontext& ctx);
int command_convert(const tparsedargs& args, tcontext& ctx);
int command_show(const tparsedargs& args, tcontext& ctx);
int command_check(const tparsedargs& args, tcontext& ctx);
int command_dump(const tparsedargs& args, tcontext& ctx);
int command_info(const tparsedargs& args, tcontext& ctx);
int command_render(const tparsedargs& args, tcontext& ctx);
int command_thumbnail(const tparsedargs& args, tcontext& ctx);

// Releases the drawing library's process-wide caches when a drawing command
// ends, so that a leak checker sees a clean exit. (command_render.cpp)
struct tcanvasrelease {
    tcanvasrelease() = default;
    tcanvasrelease(const tcanvasrelease&) = delete;
    tcanvasrelease& operator=(const tcanvasrelease&) = delete;
    ~tcanvasrelease();
};

// The eye that --eye names, 'R' or 'L' (either letter case); fallback when
// the option is absent ('\0' makes it required). On a missing or other value
// writes a usage error for command and returns '\0'. (command_dump.cpp)
char eyeoption(const tparsedargs& args, const tcommand& command, char fallback, tcontext& ctx);

// ---- shape options of info and convert (shapeoptions.cpp) ----

// Comma-separated lengths in millimetres ("52", "-3.5"; "." as the decimal
// mark; at most 1000 mm either way) as hundredths of a millimetre. False when
// a part is no such number or fewer than minimum parts are given.
bool parsemillimetres(std::string_view text, std::size_t minimum, std::vector<std::int32_t>& hundredths);
// An angle in degrees, at most ten turns either way.
bool parsedegrees(std::string_view text, double& degrees);

// ---- input files ----

// Reads one file named on the command line into doc and splits it into its
// record list. When the file cannot be read, writes "kestrune-cli: FILE: reason"
// to the diagnostics, with the reason the reading gave ("No such file or
// directory", "not a regular file" for a pipe or a device, ...), and returns
// false.
bool readdocument(const std::string& filename, tomafileobj& doc, tcontext& ctx);

// The records as the viewer's record box shows them: when the right or left
// outline is stored in a packed notation, the display conversion (traces as
// ASCII records); otherwise the record list as it stands. converted receives
// the conversion when there is one; the result refers to it or to doc.omalist.
const tstringlist& displayrecords(tomafileobj& doc, tstringlist& converted);

}  // namespace kestrune::cli
