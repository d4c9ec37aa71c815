// dump: the points of one eye's trace as the comma-separated lines the viewer
// saves beside its pictures.
#include "cli.hpp"
#include "kestrune/oma/omafile.hpp"
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
// mirror image of the left one. An eye without a trace prints nothing.
int command_dump(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("dump");
    if (args.operands.size() != 1) {
        ctx.error("dump: one FILE only");
        ctx.errortext(commandusage(command));
        return exitfailure;
    }
    const char eye = eyeoption(args, command, 'R', ctx);
    if (eye == '\0') return exitfailure;
    tomafileobj doc;
    if (!readdocument(args.operands.front(), doc, ctx)) return exitfailure;

    tradiilist radlist, rightlist, leftlist;
    radlist.extractradiilistfromomalist2(doc.omalist, &rightlist, &leftlist, true);
    tstringlist dbglist;
    (eye == 'L' ? leftlist : rightlist).datatodebuglist(dbglist);
    for (const std::string& line : dbglist) ctx.out.line(line);
    return exitok;
}

}  // namespace kestrune::cli
