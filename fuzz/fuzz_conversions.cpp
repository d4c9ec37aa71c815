// Radii list conversions: the points written back as ASCII records, as a
// notation "3" record, resampled to equal angles, and the format text
// rewritten. The points and format text come from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "fuzzsupport.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"

using namespace kestrune;

namespace {

std::vector<std::int32_t> radiiof(const tradiilist& list) {
    std::vector<std::int32_t> radii;
    for (int i = 0; i < list.readcount(); ++i) radii.push_back(list.extractradiuselement(i));
    return radii;
}

// The radii that ASCII radius records ("R=..." or "Z=...") read back as.
std::vector<std::int32_t> readascii(const tstringlist& records, std::string_view tag) {
    tradiilist back;
    back.checkinggoodtrace = true;
    for (const std::string& record : records) {
        if (!record.starts_with(tag)) continue;
        FUZZ_CHECK(tradiilist::addOMAradii(back, std::string_view(record).substr(tag.size()), "1;1000000;E;R;F"));
    }
    return radiiof(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    fuzz::choosesettings(fuzz::bytesof(data, size));
    const bool trcfmt = provider.ConsumeBool();
    const bool binary = provider.ConsumeBool();
    const auto npoints = provider.ConsumeIntegral<std::int32_t>();

    tradiilist list;
    list.Zdata = !trcfmt;
    list.trcfmtstr = provider.ConsumeRandomLengthString(40);
    // Points: an angle in thousandths of a degree and a radius that fits the
    // element's five-character field, or any 32-bit radius now and then.
    while (provider.remaining_bytes() >= 4 && list.readcount() < 1000) {
        const double angle = provider.ConsumeIntegral<std::int32_t>() / 1000.0;
        const std::int32_t radius = provider.ConsumeBool() ? provider.ConsumeIntegralInRange<std::int32_t>(-9999, 99999)
                                                           : provider.ConsumeIntegral<std::int32_t>();
        list.addradiilist(angle, radius);
    }
    const std::vector<std::int32_t> radii = radiiof(list);
    const std::string_view radiustag = trcfmt ? "R=" : "Z=";

    // ASCII records read back as the same radii, in list order.
    tstringlist records;
    FUZZ_CHECK(list.makeasciiradiilist(records, trcfmt));
    FUZZ_CHECK(readascii(records, radiustag) == radii);
    for (const std::string& record : records) FUZZ_CHECK(fuzz::writableasrecord(record));
    FUZZ_CHECK(list.makeasciianglelist(&records, trcfmt));
    FUZZ_CHECK(!list.makeasciiradiilist(nullptr, trcfmt));

    // Notation "3": every radius reads back as its 16-bit value.
    const std::string packed = list.makebinaryradiilist(trcfmt);
    FUZZ_CHECK(packed.starts_with(radiustag));
    FUZZ_CHECK(fuzz::writableasrecord(packed));
    if (!radii.empty()) {
        const std::vector<std::int32_t> back =
            decodetrc3(unpackstr(std::string_view(packed).substr(2)), static_cast<std::int64_t>(radii.size()));
        FUZZ_CHECK(back.size() == radii.size());
        for (std::size_t k = 0; k < radii.size(); ++k) {
            FUZZ_CHECK(back[k] == static_cast<std::int16_t>(static_cast<std::uint16_t>(radii[k])));
        }
    }

    // Equal angles from 0 degrees, at most as many points as before.
    tradiilist even;
    even.copyradii(list);
    even.trcfmtstr = list.trcfmtstr;
    FUZZ_CHECK(even.converttoeven());
    FUZZ_CHECK(even.readcount() <= list.readcount());
    for (int i = 0; i < even.readcount(); ++i) {
        const double angle = even.extractangleelement(i);
        FUZZ_CHECK(angle >= 0 && angle < 360);
    }
    FUZZ_CHECK(!even.unevenfmt() || even.trcfmtstr.empty());
    tstringlist evenrecords;
    FUZZ_CHECK(even.makeevenradiilist(evenrecords, trcfmt));

    list.changetrcfmt(npoints, binary);
    (void)list.binaryformat();
    return 0;
}
