// check: the verdict of the trace check, as the viewer's red line shows it.
#include "cli.hpp"
#include "kestrune/oma/omafile.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune::cli {
namespace {

// Exit status of a file that was read and whose traces have a fault.
constexpr int exitverdict = 1;

}  // namespace

// Prints the verdict of the trace check (Z traces included), one space and
// the first detail message, then a line feed: the text of the viewer's red
// line, so a sound file prints a single space. Exit status 0 when there is no
// verdict, 1 when there is one, 2 when the file cannot be read (nothing is
// printed on standard output then).
int command_check(const tparsedargs& args, tcontext& ctx) {
    if (args.operands.size() != 1) {
        ctx.error("check: one FILE only");
        ctx.errortext(commandusage(*findcommand("check")));
        return exitfailure;
    }
    tomafileobj doc;
    if (!readdocument(args.operands.front(), doc, ctx)) return exitfailure;
    const std::string verdict = doc.goodtrace(true);
    std::string line = verdict;
    line += ' ';
    line += listentry(doc.errorslist, 0);
    ctx.out.line(line);
    return verdict.empty() ? exitok : exitverdict;
}

}  // namespace kestrune::cli
