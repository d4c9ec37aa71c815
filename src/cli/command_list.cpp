// list: each file's records, one per line, as the viewer's record box shows
// them.
#include "batch.hpp"
#include "cli.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/job/displayconversion.hpp"

namespace kestrune::cli {

const tstringlist& displayrecords(tomafileobj& doc, tstringlist& converted) {
    tradiilist extractor, right, left;
    extractor.extractradiilistfromomalist2(doc.omalist, &right, &left, true);
    if (!right.binaryformat() && !left.binaryformat()) return doc.omalist;
    converted.clear();
    if (!omafileasascii(doc, converted, false, 0, false)) return doc.omalist;
    return converted;
}

// The records go out as the bytes they hold (no code page, NUL and bytes above
// 127 kept), each followed by a line feed; the files one after the other, in
// the order given, with nothing between them (the records are the output:
// a line of ours among them could be taken for one). A file whose right or
// left outline is stored in a packed notation is listed with its traces as
// ASCII numbers, as the viewer shows it. A file that cannot be read is
// reported and skipped, and the others are still listed; once standard
// output has failed, no further file is read.
int command_list(const tparsedargs& args, tcontext& ctx) {
    unsigned jobs = 1;
    if (!jobsoption(args, *findcommand("list"), jobs, ctx)) return exitfailure;
    const auto listfile = [](const tinputfile& file, std::size_t, tcontext& c) {
        tomafileobj doc;
        if (!readdocument(file.path, doc, c)) return exitfailure;
        tstringlist converted;
        for (const std::string& record : displayrecords(doc, converted)) c.out.line(record);
        return exitok;
    };
    tbatchresult result;
    return runinputs(findinputs(args.operands, ctx), jobs, listfile, ctx, result);
}

}  // namespace kestrune::cli
