// The measures of a job's two outlines, as `kestrune-cli info` prints them
// and the viewer shows them beside its pictures: one computation for both.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kestrune/document/omafile.hpp"
#include "kestrune/job/tracecheck.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {

// One eye's measures. Lengths in hundredths of a millimetre.
struct teyemeasures {
    std::string format;  // the format record's value, bytes as in the file
    int points = 0;
    bool undecoded = false;  // the format names a notation that is not decoded
    std::int32_t a = 0, b = 0;
    std::int32_t ed = 0;
    std::int32_t edangle = 0;  // whole degrees
    std::int32_t circ = 0;     // the file's circumference when it gives one, else fcirc
    std::int32_t fcirc = 0;    // computed from the points
    std::int32_t dbl = 0;
    int drills = 0;  // drill records of the eye
};

// The trace check as the viewer runs it (depth traces checked too), then the
// outlines as the viewer extracts them for display: a missing right trace
// stays empty rather than taking the mirror image of the left one. Returns
// the verdict; oma.errorslist holds the detail, outlines both eyes.
std::string checkoutlines(tomafileobj& oma, toutlineextraction& outlines);

// Measures one extracted eye: box, effective diameter, circumference (the
// eye's geometry is brought up to date on the way).
teyemeasures measureeye(tradiilist& eye);

// The measures of an eye with a trace as label and value pairs, in the order
// and words people read them: "Format", "Points", "A (box width)" with
// "48.00 mm", ..., "Drill records". Lengths with the regional decimal mark.
std::vector<std::pair<std::string, std::string>> measurefields(const teyemeasures& eye);

// "48.00 mm" for 4800.
std::string millimetretext(std::int32_t hundredths);

}  // namespace kestrune
