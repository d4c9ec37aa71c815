// list: each file's record list, one record per line.
#include "cli.hpp"
#include "kestrune/oma/omafile.hpp"

namespace kestrune::cli {

// The records go out as the bytes they hold (no code page, NUL and bytes above
// 127 kept), each followed by a line feed; the files one after the other, in
// the order given. A file that cannot be read is reported and skipped, and
// the others are still listed.
int command_list(const tparsedargs& args, tcontext& ctx) {
    int status = exitok;
    for (const std::string& filename : args.operands) {
        // Once standard output has failed, reading further files serves nothing.
        if (ctx.out.failed()) break;
        tomafileobj doc;
        if (!readdocument(filename, doc, ctx)) {
            status = exitfailure;
            continue;
        }
        for (const std::string& record : doc.omalist) ctx.out.line(record);
    }
    return status;
}

}  // namespace kestrune::cli
