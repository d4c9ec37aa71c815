// Turning and resizing the outlines of a job, by an angle and to a box taken
// from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzzsupport.hpp"
#include "kestrune/job/displayconversion.hpp"
#include "kestrune/job/reshape.hpp"

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    tshapechange change;
    change.rotate = provider.ConsumeBool();
    change.degrees = provider.ConsumeFloatingPointInRange(-3600.0, 3600.0);
    change.box = provider.ConsumeBool();
    // The box convert accepts: above 1 mm and below 100 mm.
    change.a = provider.ConsumeIntegralInRange<std::int32_t>(101, 9999);
    change.b = provider.ConsumeIntegralInRange<std::int32_t>(101, 9999);
    const std::string_view bytes = fuzz::bytesof(data, size);
    fuzz::choosesettings(bytes);

    tomafileobj doc;
    fuzz::loaddocument(doc, bytes);
    tstringlist converted;
    FUZZ_CHECK(omafileasascii(doc, converted, false, 0, false));

    tstringlist reshaped;
    const treshapeoutcome outcome = reshapeoutlines(doc, reshaped, change);
    // Only running out of memory keeps the conversion from being made.
    FUZZ_CHECK(outcome != treshapeoutcome::notconverted);
    FUZZ_CHECK((outcome == treshapeoutcome::packedtrace) == !packedformatrecord(converted).empty());
    if (outcome == treshapeoutcome::reshaped) {
        // Written out record per line, every trace in ASCII.
        for (const std::string& record : reshaped) FUZZ_CHECK(fuzz::writableasrecord(record));
        FUZZ_CHECK(packedformatrecord(reshaped).empty());
    } else {
        // A refusal leaves the conversion as it was made (stamp aside).
        FUZZ_CHECK(reshaped.count() == converted.count());
    }
    return 0;
}
