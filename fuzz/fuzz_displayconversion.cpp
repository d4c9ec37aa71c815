// The display conversion: traces rewritten as ASCII records, with the options
// to mirror a missing eye, resize and resample taken from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzzsupport.hpp"
#include "kestrune/job/displayconversion.hpp"

using namespace kestrune;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const bool mirroring = provider.ConsumeBool();
    const bool forceeven = provider.ConsumeBool();
    const auto deltachange = provider.ConsumeIntegral<std::int32_t>();
    const std::string_view bytes = fuzz::bytesof(data, size);
    fuzz::choosesettings(bytes);

    tomafileobj doc;
    fuzz::loaddocument(doc, bytes);
    const std::vector<std::string> before = doc.omalist.items();

    tstringlist converted;
    FUZZ_CHECK(omafileasascii(doc, converted, mirroring, deltachange, forceeven));
    // The listing is written out record per line: no record may hold a byte
    // that would split it.
    for (const std::string& record : converted) FUZZ_CHECK(fuzz::writableasrecord(record));
    // The document's own records are left as they were.
    FUZZ_CHECK(doc.omalist.items() == before);
    FUZZ_CHECK(!omafileasascii(doc, nullptr, mirroring, deltachange, forceeven));
    FUZZ_CHECK(!omafileasascii(doc, &doc.omalist, mirroring, deltachange, forceeven));
    (void)doc.omafileisascii();
    (void)doc.omafileiseven();
    return 0;
}
