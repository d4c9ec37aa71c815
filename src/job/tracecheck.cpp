// The trace check of an OMA document: one line of text saying what is wrong
// with the file's traces, or empty text when nothing is.

#include <cstring>
#include <new>

#include "kestrune/job/tracecheck.hpp"

#include "kestrune/document/records.hpp"
#include "kestrune/document/trcfmt.hpp"

namespace kestrune {
namespace {

// Shapes of this many points or fewer are not judged.
constexpr int kMinCheckedPoints = 10;

bool holdsnul(const std::string& record) { return std::memchr(record.data(), '\0', record.size()) != nullptr; }

// Whether a format record's value announces a packed (not ASCII) trace.
bool packedformat(std::string_view value) {
    ttrcfmtsetting fmt;
    fmt.decodetrcfmtstr(value);
    return fmt.trcfmtmode != '1';
}

// The tag of the last record that holds stray binary data, or false when
// there is none. Radius records may hold any byte (they carry the packed
// notations); angle records are decoded in the notation of their trace, so
// they may hold any byte only when the trace before them is packed: in an
// ASCII trace a NUL in an angle would silently read as 0.
bool laststraybinary(const tstringlist& omalist, std::string& lasttag) {
    bool outlinepacked = false, zpacked = false, found = false;
    for (const std::string& record : omalist) {
        const trecordparts parts = splitrecord(record);
        const std::string_view tag = parts.tag;
        if (parts.hasvalue) {
            if (tag == "TRCFMT" || tag == "CRIBFMT")
                outlinepacked = packedformat(parts.value);
            else if (tag == "ZFMT")
                zpacked = packedformat(parts.value);
        }
        if (!holdsnul(record)) continue;
        if (tag == "R" || tag == "Z") continue;
        if (tag == "A" && outlinepacked) continue;
        if (tag == "ZA" && zpacked) continue;
        lasttag.assign(tag);
        found = true;
    }
    return found;
}

}  // namespace

std::string goodtrace(tomafileobj& oma, bool CheckZ, toutlineextraction* outlines) {
    std::string verdict;
    oma.errorslist.clear();
    if (outlines != nullptr) outlines->valid = false;
    try {
        tradiilist extractor;
        tradiilist right;
        tradiilist left;
        extractor.checkinggoodtrace = true;
        const bool approved = oma.TraceisApproved();

        // Judges one eye while no earlier test has failed. A file that marks
        // its trace as approved lets suspect values pass.
        auto testeye = [&](tradiilist& eye, bool zpass) {
            if (!verdict.empty() || eye.readcount() <= kMinCheckedPoints) return;
            if (eye.goodtrace()) return;
            const bool suspect = zpass ? eye.invalidzfound : eye.invalidradiifound;
            if (suspect && approved) return;
            verdict = eye.traceerrormessage;
            oma.errorslist.add(eye.errordetail);
        };

        extractor.extractradiilistfromomalist2(oma.omalist, &right, &left, true);
        // Unless a record was decoded for the check alone, these lists are
        // what the extraction for display gives; the Z pass below changes
        // them, so the caller gets them as they are now.
        if (outlines != nullptr && !right.decodedforcheckonly && !left.decodedforcheckonly) {
            // Copied aside first, so that running out of memory part-way
            // leaves the caller's lists untouched.
            toutlineextraction taken;
            taken.shown = extractor;
            taken.right = right;
            taken.left = left;
            for (tradiilist* list : {&taken.shown, &taken.right, &taken.left}) list->checkinggoodtrace = false;
            taken.valid = true;
            *outlines = std::move(taken);
        }
        testeye(right, false);
        testeye(left, false);

        if (CheckZ) {
            // An eye without Z records keeps its radius points here, with an
            // empty format text and no error flag, so it passes the Z test.
            extractor.extractradiilistfromomalist2(oma.omalist, &right, &left, false);
            testeye(right, true);
            testeye(left, true);
        }

        auto qualifies = [](const tradiilist& eye) {
            return eye.readcount() > kMinCheckedPoints && eye.trcfmtstr != "1";
        };
        std::string straytag;
        if (verdict.empty() && (qualifies(right) || qualifies(left)) && laststraybinary(oma.omalist, straytag)) {
            // The last offending record is the one reported.
            verdict = kCorruptBinaryData;
            verdict += straytag;
        }
    } catch (const std::bad_alloc&) {
        // Out of memory on a hostile file: report what was found so far.
    }
    return verdict;
}

}  // namespace kestrune
