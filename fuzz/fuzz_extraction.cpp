// Trace extraction: both passes (outline and Z) over a whole record list, and
// one record value decoded under every notation.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <string>

#include "fuzzsupport.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"

using namespace kestrune;

namespace {

void checkpoints(const tradiilist& list) {
    for (int i = 0; i < list.readcount(); ++i) {
        const double angle = list.extractangleelement(i);
        FUZZ_CHECK(angle >= 0 && angle < 360);
    }
}

void extractboth(const tstringlist& omalist, bool trcfmt, bool checking) {
    tradiilist result, right, left;
    result.checkinggoodtrace = checking;
    const bool found = result.extractradiilistfromomalist2(omalist, &right, &left, trcfmt);
    // (A record that cannot be decoded stops the extraction with false and
    // leaves what was filled until then.)
    if (found) FUZZ_CHECK(result.readcount() > 0);
    checkpoints(result);
    checkpoints(right);
    checkpoints(left);
    (void)right.goodtrace();
    (void)left.goodtrace();
    (void)result.binaryformat();
    (void)result.unevenfmt();

    tstringlist rightangles, leftangles;
    (void)tradiilist::extractanglelistfromomalist2(omalist, rightangles, leftangles, trcfmt);

    // Without lists of its own the call fills temporary ones.
    tradiilist alone;
    (void)alone.extractradiilistfromomalist(omalist, trcfmt);
    alone.extractframedata(omalist);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesof(data, size);
    fuzz::choosesettings(bytes);

    tomafileobj doc;
    fuzz::loaddocument(doc, bytes);
    for (const bool trcfmt : {true, false}) {
        for (const bool checking : {false, true}) extractboth(doc.omalist, trcfmt, checking);
    }

    // The whole input as one record value under each notation, with a point
    // count taken from the input's last bytes. A packed notation never yields
    // more points than the value has bytes (plus the start radius).
    FuzzedDataProvider provider(data, size);
    const auto declared = provider.ConsumeIntegralInRange<std::int32_t>(-2, 5000);
    const bool checking = provider.ConsumeBool();
    // A kilobyte shows every path of the decoders; more only slows the
    // search down.
    const std::string value = provider.ConsumeBytesAsString(1024);
    for (const char* notation : {"1", "2", "3", "4", "B", "0", ""}) {
        tradiilist r;
        r.checkinggoodtrace = checking;
        const std::string format = std::string(notation) + ";" + std::to_string(declared) + ";E;R;F";
        (void)tradiilist::addOMAradii(r, value, format);
        checkpoints(r);
        if (notation[0] != '1' && notation[0] != '\0') {
            FUZZ_CHECK(static_cast<std::size_t>(r.readcount()) <= value.size() * 2 + 1);
        }
        r.explode(declared * 1000);
        checkpoints(r);
    }
    return 0;
}
