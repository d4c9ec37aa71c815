// list: each file's records, one per line, as the viewer's record box shows
// them.
#include "batch.hpp"
#include "cli.hpp"
#include "kestrune/document/labels.hpp"
#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"
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
//
// With --explain, a record whose label has a meaning is followed by a line
// "  # " and that meaning; in a run of records of one label (the R records of
// a trace) only the first is, so that the records are not buried under a
// hundred copies of one sentence. The marked line cannot be taken for a
// record's continuation, and a record with no known label gets no line.
int command_list(const tparsedargs& args, tcontext& ctx) {
    unsigned jobs = 1;
    if (!jobsoption(args, *findcommand("list"), jobs, ctx)) return exitfailure;
    const bool explain = args.has("explain");
    const auto listfile = [explain](const tinputfile& file, std::size_t, tcontext& c) {
        tomafileobj doc;
        if (!readdocument(file.path, doc, c)) return exitfailure;
        tstringlist converted;
        std::string_view previouslabel;
        bool first = true;
        for (const std::string& record : displayrecords(doc, converted)) {
            c.out.line(record);
            if (!explain) continue;
            const trecordparts parts = splitrecord(record);
            const bool samerun = !first && parts.tag == previouslabel;
            previouslabel = parts.tag;
            first = false;
            if (samerun || !parts.hasvalue) continue;
            if (const tlabelmeaning* meaning = findlabel(parts.tag)) {
                c.out.write("  # ");
                c.out.line(explainlabel(*meaning));
            }
        }
        return exitok;
    };
    tbatchresult result;
    return runinputs(findinputs(args.operands, ctx), jobs, listfile, ctx, result);
}

}  // namespace kestrune::cli
