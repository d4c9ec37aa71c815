// check: the verdict of the trace check, as the viewer's red line shows it.
#include <string>

#include "batch.hpp"
#include "cli.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/job/tracecheck.hpp"

namespace kestrune::cli {
namespace {

// Exit status of a file that was read and whose traces have a fault.
constexpr int exitverdict = 1;

// The red line of a file: the verdict, one space, the first detail message.
int checkfile(const tinputfile& file, bool labelled, tcontext& ctx) {
    tomafileobj doc;
    if (!readdocument(file.path, doc, ctx)) return exitfailure;
    const std::string verdict = goodtrace(doc, true);
    std::string line;
    if (labelled) line.append(file.path).append(": ");
    line += verdict;
    line += ' ';
    line += listentry(doc.errorslist, 0);
    ctx.out.line(line);
    return verdict.empty() ? exitok : exitverdict;
}

}  // namespace

// Prints the verdict of the trace check (Z traces included), one space and
// the first detail message, then a line feed: the text of the viewer's red
// line, so a sound file prints a single space. Exit status 0 when there is no
// verdict, 1 when there is one, 2 when the file cannot be read (nothing is
// printed on standard output then). Over several files each line begins with
// "FILE: ", a summary line of the counts ends the output, and the exit status
// is the worst of the files.
int command_check(const tparsedargs& args, tcontext& ctx) {
    const tcommand& command = *findcommand("check");
    unsigned jobs = 1;
    if (!jobsoption(args, command, jobs, ctx)) return exitfailure;
    const tinputs inputs = findinputs(args.operands, ctx);
    const bool labelled = inputs.batch;
    tbatchresult result;
    const int status = runinputs(
        inputs, jobs,
        [labelled](const tinputfile& file, std::size_t, tcontext& c) { return checkfile(file, labelled, c); }, ctx,
        result);
    if (labelled) {
        const auto& n = result.statuscount;
        const std::size_t total = n[0] + n[1] + n[2];
        ctx.out.line("Checked " + std::to_string(total) + (total == 1 ? " file: " : " files: ") + std::to_string(n[0]) +
                     " sound, " + std::to_string(n[1]) + " with a fault, " + std::to_string(n[2]) + " unreadable");
    }
    return status;
}

}  // namespace kestrune::cli
