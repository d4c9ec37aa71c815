// list: each file's records, one per line, as the viewer's record box shows
// them.
#include "cli.hpp"
#include "kestrune/oma/omafile.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune::cli {

const tstringlist& displayrecords(tomafileobj& doc, tstringlist& converted) {
    tradiilist extractor, right, left;
    extractor.extractradiilistfromomalist2(doc.omalist, &right, &left, true);
    if (!right.binaryformat() && !left.binaryformat()) return doc.omalist;
    converted.clear();
    if (!doc.omafileasascii(converted, false, 0, false)) return doc.omalist;
    return converted;
}

// The records go out as the bytes they hold (no code page, NUL and bytes above
// 127 kept), each followed by a line feed; the files one after the other, in
// the order given. A file whose right or left outline is stored in a packed
// notation is listed with its traces as ASCII numbers, as the viewer shows it.
// A file that cannot be read is reported and skipped, and the others are
// still listed.
int command_list(const tparsedargs& args, tcontext& ctx) {
    int status = exitok;
    tstringlist converted;
    for (const std::string& filename : args.operands) {
        // Once standard output has failed, reading further files serves nothing.
        if (ctx.out.failed()) break;
        tomafileobj doc;
        if (!readdocument(filename, doc, ctx)) {
            status = exitfailure;
            continue;
        }
        for (const std::string& record : displayrecords(doc, converted)) ctx.out.line(record);
    }
    return status;
}

}  // namespace kestrune::cli
