// show: the viewer's whole show-file sequence without a window. The dump and
// the pictures go into the working folder exactly as the viewer writes them;
// what the window would show is printed.
#include <string>
#include <vector>

#include "batch.hpp"
#include "cli.hpp"
#include "kestrune/support/runtimeparameters.hpp"
#include "kestrune/support/text.hpp"
#include "showfile.hpp"
#include "workingfolder.hpp"

namespace kestrune::cli {
namespace {

constexpr std::string_view localfoldersetting = "LOCALFOLDER";

// Whether an operand is the LOCALFOLDER setting rather than a file.
bool issetting(std::string_view operand) {
    const std::string upper = upcase(operand.substr(0, localfoldersetting.size() + 1));
    return upper == localfoldersetting || upper == std::string(localfoldersetting) + "=";
}

void printpicture(tcontext& ctx, std::string_view eye, const tshownpicture& picture) {
    std::string line(eye);
    line += " picture: ";
    if (picture.written) {
        line += picture.filename;
    } else if (!picture.filename.empty()) {
        line += "not written (" + picture.filename + ")";
    } else if (picture.undecoded) {
        line += "none (" + picture.notenotdecoded + ")";
    } else {
        line += "none (" + std::to_string(picture.points) + " points)";
    }
    ctx.out.line(line);
}

// The show-file sequence for one file and what the window would show.
int showfile(const std::string& filename, const std::string& workingfolder, bool labelled, tcontext& ctx) {
    const tshowfileresult shown = showfilesequence(filename, workingfolder);

    if (labelled) ctx.out.line("File: " + filename);
    ctx.out.line("Caption: " + shown.caption);
    ctx.out.line("Label: " + shown.labeltext);
    ctx.out.line("Records: " + std::to_string(shown.lines.count()));
    for (const std::string& record : shown.lines) ctx.out.line(record);
    printpicture(ctx, "Right", shown.right);
    printpicture(ctx, "Left", shown.left);
    ctx.out.line("Dump: " + (shown.dumpwritten ? shown.dumpfilename : std::string("none")));

    int status = exitok;
    if (!shown.readable) {
        ctx.error(filename + ": " + shown.readfailure);
        status = exitfailure;
    } else if (!shown.dumpwritten) {
        ctx.error(shown.dumpfilename + ": " + shown.dumpfailure);
        status = exitfailure;
    }
    for (const tshownpicture* picture : {&shown.right, &shown.left}) {
        if (!picture->filename.empty() && !picture->written) {
            ctx.error(picture->filename + ": " + picture->failure);
            status = exitfailure;
        }
    }
    return status;
}

}  // namespace

// Output, one item per line:
//   Caption: NAME
//   Label: TEXT                  (the red line; a single space means no fault)
//   Records: N                   followed by the N lines of the record box
//   Right picture: PATH | none (N points) | none (notation X: not decoded)
//                  | not written (PATH)
//   Left picture: ...
//   Dump: PATH | none
// Over several files each file's lines follow a line "File: FILE".
// Exit status 2 when a file cannot be read or the dump or a picture cannot
// be written.
int command_show(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("show");
    std::vector<std::string> settings;
    std::vector<std::string> files;
    for (const std::string& operand : args.operands) {
        (issetting(operand) ? settings : files).push_back(operand);
    }
    if (files.empty()) {
        return usageerror(ctx, command, "missing FILE");
    }
    unsigned jobs = 1;
    if (!jobsoption(args, command, jobs, ctx)) return exitfailure;
    // The working folder looks for LOCALFOLDER among these arguments.
    setruntimeparameters(settings);
    const std::string workingfolder = MyDocumentsPath();

    const tinputs inputs = findinputs(files, ctx);
    const bool labelled = inputs.batch;
    tbatchresult result;
    return runinputs(
        inputs, jobs,
        [&workingfolder, labelled](const tinputfile& file, std::size_t, tcontext& c) {
            return showfile(file.path, workingfolder, labelled, c);
        },
        ctx, result);
}

}  // namespace kestrune::cli
