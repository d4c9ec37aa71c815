// The trace check: the verdict on a file's traces and its detail message.
#include <string>

#include "fuzzsupport.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/job/tracecheck.hpp"

using namespace kestrune;

namespace {

bool knownverdict(const std::string& verdict) {
    return verdict.empty() || verdict == kMultipleRadiiFormats || verdict == kInvalidNumberOfPoints ||
           verdict == kSuspectRadii || verdict == kSuspectZ || verdict.starts_with(kCorruptBinaryData);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesof(data, size);
    fuzz::choosesettings(bytes);

    tomafileobj doc;
    fuzz::loaddocument(doc, bytes);
    const std::size_t records = doc.omalist.items().size();
    for (const bool checkz : {false, true}) {
        const std::string verdict = goodtrace(doc, checkz);
        FUZZ_CHECK(knownverdict(verdict));
        FUZZ_CHECK(doc.errorslist.count() <= 1);
        // A verdict without a fault has no detail message.
        if (verdict.empty()) FUZZ_CHECK(doc.errorslist.count() == 0);
        // The check reads the document and changes nothing else.
        FUZZ_CHECK(doc.omalist.items().size() == records);
    }
    (void)doc.TraceisApproved();
    return 0;
}
