#include "kestrune/job/measurements.hpp"

#include "kestrune/support/text.hpp"

namespace kestrune {

std::string checkoutlines(tomafileobj& oma, toutlineextraction& outlines) {
    std::string verdict = goodtrace(oma, true, &outlines);
    // The check's own extraction is taken when it is the one display gives.
    if (!outlines.valid)
        outlines.shown.extractradiilistfromomalist2(oma.omalist, &outlines.right, &outlines.left, true);
    return verdict;
}

teyemeasures measureeye(tradiilist& eye) {
    eye.findabed();
    eye.findcirc();
    teyemeasures m;
    m.format = eye.trcfmtstr;
    m.points = eye.readcount();
    m.undecoded = eye.undecodednotation();
    m.a = eye.a;
    m.b = eye.b;
    m.ed = eye.ed;
    m.edangle = eye.edangle;
    m.fcirc = eye.fcirc;
    m.circ = eye.circ();
    m.dbl = eye.dbl;
    m.drills = eye.drawdrilllist.count();
    return m;
}

std::string millimetretext(std::int32_t hundredths) { return xint2tostr(hundredths) + " mm"; }

std::vector<std::pair<std::string, std::string>> measurefields(const teyemeasures& eye) {
    return {
        {"Format", eye.format},
        {"Points", std::to_string(eye.points)},
        {"A (box width)", millimetretext(eye.a)},
        {"B (box depth)", millimetretext(eye.b)},
        {"ED", millimetretext(eye.ed)},
        {"ED angle", std::to_string(eye.edangle) + " degrees"},
        {"Circumference", millimetretext(eye.circ)},
        {"Computed circumference", millimetretext(eye.fcirc)},
        {"DBL", millimetretext(eye.dbl)},
        {"Drill records", std::to_string(eye.drills)},
    };
}

}  // namespace kestrune
