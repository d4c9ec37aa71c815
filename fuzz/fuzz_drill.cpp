// Drill lines: one DRILLE or DRILL record decoded and written back.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "fuzzsupport.hpp"
#include "kestrune/document/drill.hpp"

using namespace kestrune;

namespace {

// Lengths are written with 8 significant digits: a length of 9 or 10 digits
// of hundredths reads back rounded to tens or hundreds.
bool samelength(std::int32_t a, std::int32_t b) {
    const std::int64_t d = std::llabs(std::int64_t{a} - b);
    const std::int64_t size = std::max(std::llabs(a), std::llabs(b));
    return d == 0 || (size >= 100000000 && d <= 100);
}

// The fields a record carries through a write and a read unchanged. The
// drilling angles are left out: from 100 up (or with alwaysini2) they are
// written in hundredths of a degree and read back as whole degrees; so is a
// DRILL record's depth flag, as a depth of 0 is written as an empty field.
bool samehole(const drilllinedefn& a, const drilllinedefn& b) {
    return a.tagstr == b.tagstr && a.eyecode == b.eyecode && a.feature == b.feature && a.reflocation == b.reflocation &&
           samelength(a.startx, b.startx) && samelength(a.starty, b.starty) && samelength(a.diameter, b.diameter) &&
           samelength(a.endx, b.endx) && samelength(a.endy, b.endy) && samelength(a.depth, b.depth) &&
           a.anglemode == b.anglemode && (a.nulldepth == b.nulldepth || a.tagstr == "DRILL") && a.nullend == b.nullend;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesof(data, size);
    fuzz::choosesettings(bytes);

    drilllinedefn line;
    line.alwaysini2 = size % 2 != 0;
    line.decodedrill(bytes);
    const std::string record = line.encodedrill();

    // What is written reads back as the same line (a line that was not drill
    // data has no tag to write and is written as DRILL). Only for records of
    // printable characters without blanks or quotes: the field reader takes a '"' as
    // the start of a quoted field, and trims blanks and control characters
    // off the value's ends, so a text field holding them cannot be written back as
    // it stands.
    const bool plain =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) > 32 && c != '"'; });
    if (plain && (line.tagstr == "DRILL" || line.tagstr == "DRILLE")) {
        drilllinedefn again;
        again.alwaysini2 = line.alwaysini2;
        again.decodedrill(record);
        FUZZ_CHECK(samehole(again, line));
    }

    // A line decoded twice in a row is the same as one decoded once.
    drilllinedefn twice = line;
    twice.decodedrill(bytes);
    FUZZ_CHECK(twice.encodedrill() == record);
    return 0;
}
