// dump: the points of one eye's trace as the comma-separated lines the viewer
// saves beside its pictures.
#include "batch.hpp"
#include "cli.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune::cli {

char eyeoption(const tparsedargs& args, const tcommand& command, char fallback, tcontext& ctx) {
    if (!args.has("eye")) {
        if (fallback != '\0') return fallback;
        ctx.error(std::string(command.name) + ": missing --eye R|L");
    } else {
        const std::string value = args.value("eye");
        if (value == "R" || value == "r") return 'R';
        if (value == "L" || value == "l") return 'L';
        ctx.error(std::string(command.name) + ": --eye takes R or L, not '" + value + "'");
    }
    ctx.errortext(commandusage(command));
    return '\0';
}

// The header line and one line per point in angle order (index, angle,
// radius, x, y), with the decimal mark and list separator of the regional
// settings, each line ended by a line feed. The traces are extracted as the
// viewer does for display, so a missing right trace is not replaced by the
// mirror image of the left one. An eye without a trace prints nothing. Over
// several files each file's lines follow a line "File: FILE".
int command_dump(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("dump");
    const char eye = eyeoption(args, command, 'R', ctx);
    if (eye == '\0') return exitfailure;
    unsigned jobs = 1;
    if (!jobsoption(args, command, jobs, ctx)) return exitfailure;
    const tinputs inputs = findinputs(args.operands, ctx);
    const bool labelled = inputs.batch;
    const auto dumpfile = [eye, labelled](const tinputfile& file, std::size_t, tcontext& c) {
        tomafileobj doc;
        if (!readdocument(file.path, doc, c)) return exitfailure;
        tradiilist radlist, rightlist, leftlist;
        radlist.extractradiilistfromomalist2(doc.omalist, &rightlist, &leftlist, true);
        tradiilist& trace = eye == 'L' ? leftlist : rightlist;
        if (trace.undecodednotation())
            c.error(file.path + ": the " + (eye == 'L' ? "left" : "right") + " trace (" + trace.trcfmtstr +
                    ") is in a notation that is not decoded");
        tstringlist dbglist;
        trace.datatodebuglist(dbglist);
        if (labelled) c.out.line("File: " + file.path);
        for (const std::string& line : dbglist) c.out.line(line);
        return exitok;
    };
    tbatchresult result;
    return runinputs(inputs, jobs, dumpfile, ctx, result);
}

}  // namespace kestrune::cli
