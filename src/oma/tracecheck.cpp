// The trace check of an OMA document: one line of text saying what is wrong
// with the file's traces, or empty text when nothing is.

#include <cstring>

#include "kestrune/oma/omafile.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

// Shapes of this many points or fewer are not judged.
constexpr int kMinCheckedPoints = 10;

bool holdsnul(const std::string& record) {
    return std::memchr(record.data(), '\0', record.size()) != nullptr;
}

// Records whose values may legitimately hold any byte: the trace data
// records, which carry packed binary notations (angle records are decoded in
// the notation of their trace, just like radius records).
bool mayholdbinary(std::string_view tag) {
    return tag == "R" || tag == "Z" || tag == "A" || tag == "ZA";
}

}  // namespace

bool tomafileobj::TraceisApproved() const { return !omalist.value("_ApprovedTrace").empty(); }

std::string tomafileobj::goodtrace(bool CheckZ, toutlineextraction* outlines) {
    std::string verdict;
    errorslist.clear();
    if (outlines != nullptr) outlines->valid = false;
    try {
        tradiilist extractor;
        tradiilist right;
        tradiilist left;
        extractor.checkinggoodtrace = true;
        const bool approved = TraceisApproved();

        // Judges one eye while no earlier test has failed. A file that marks
        // its trace as approved lets suspect values pass.
        auto testeye = [&](tradiilist& eye, bool zpass) {
            if (!verdict.empty() || eye.readcount() <= kMinCheckedPoints) return;
            if (eye.goodtrace()) return;
            const bool suspect = zpass ? eye.invalidzfound : eye.invalidradiifound;
            if (suspect && approved) return;
            verdict = eye.traceerrormessage;
            errorslist.add(eye.errordetail);
        };

        extractor.extractradiilistfromomalist2(omalist, &right, &left, true);
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
            extractor.extractradiilistfromomalist2(omalist, &right, &left, false);
            testeye(right, true);
            testeye(left, true);
        }

        auto qualifies = [](const tradiilist& eye) {
            return eye.readcount() > kMinCheckedPoints && eye.trcfmtstr != "1";
        };
        if (verdict.empty() && (qualifies(right) || qualifies(left))) {
            // The last offending record is the one reported.
            const auto& records = omalist.items();
            for (auto it = records.rbegin(); it != records.rend(); ++it) {
                if (!holdsnul(*it)) continue;
                std::string tag = findtagpart(*it);
                if (mayholdbinary(tag)) continue;
                verdict = kCorruptBinaryData;
                verdict += tag;
                break;
            }
        }
    } catch (...) {
        // Out of memory on a hostile file: report what was found so far.
    }
    return verdict;
}

}  // namespace kestrune
