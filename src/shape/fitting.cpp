// Fitting calculations: cylinder transposition, prism apex angle, pupillary
// distance and decentration conversions, height codes, and the box height
// derived from a shape.
//
// Whole-number arithmetic is done in 64 bits and the result held at the ends
// of the 32-bit range, so no argument can overflow a computation.
#include "kestrune/shape/fitting.hpp"

#include <cmath>
#include <numbers>

#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;

// Pupillary-distance ranges: below this a value is a decentration, above
// kMonoLimit a binocular distance, in between a monocular distance.
constexpr std::int32_t kDecentrationLimit = 1500;
constexpr std::int32_t kMonoLimit = 4500;

// Lengths of 100 or less (below 100 where stated) are whole millimetres.
std::int64_t millimetresbelow100(std::int32_t v) { return v < 100 ? static_cast<std::int64_t>(v) * 100 : v; }

}  // namespace

void transpose(std::int32_t& s, std::int32_t& c, std::int32_t& a, char form) {
    if (c == 0) return;
    const bool minusform = form == '-' || form == 'M' || form == 'N';
    if (minusform ? c <= 0 : c >= 0) return;
    s = saturate32(static_cast<std::int64_t>(s) + c);
    c = saturate32(-static_cast<std::int64_t>(c));
    std::int64_t axis = static_cast<std::int64_t>(a) + 90;
    if (axis > 180) axis -= 180;
    a = saturate32(axis);
}

std::int32_t CalcLohPrism(std::int32_t p, std::int32_t n) {
    const double theta = std::atan(p / 10000.0);
    const double numerator = std::sin(theta);
    const double denominator = n / 1000.0 - std::cos(theta);
    double apex;
    if (denominator != 0) {
        apex = std::atan(numerator / denominator);
    } else {
        // Index and cosine cancel: a right angle toward the prism's side, and
        // no angle at all for no prism.
        apex = numerator == 0 ? 0.0 : std::copysign(std::numbers::pi / 2, numerator);
    }
    return roundtoint32(100.0 * apex * kDegPerRad);
}

std::int32_t convtodec(std::int32_t useval, std::int32_t framepd) {
    if (useval < kDecentrationLimit) return useval;
    if (useval > kMonoLimit) return saturate32((static_cast<std::int64_t>(framepd) - useval) / 2);
    return saturate32((static_cast<std::int64_t>(framepd) - 2 * static_cast<std::int64_t>(useval)) / 2);
}

std::int32_t convtomono(std::int32_t enteredpd) {
    if (enteredpd > kMonoLimit) return (enteredpd / 100) * 100 / 2;
    return enteredpd;
}

std::int32_t fullconvtomono(std::int32_t enteredpd, std::int32_t framepd) {
    if (framepd == 0) return convtomono(enteredpd);
    const std::int64_t frame = millimetresbelow100(framepd);
    if (enteredpd < kDecentrationLimit) return saturate32(frame / 2 - enteredpd);
    if (enteredpd > kMonoLimit) return saturate32(static_cast<std::int64_t>(std::nearbyint(enteredpd / 100.0)) * 50);
    return enteredpd;
}

char makehtdirchar(std::int32_t htdircode) {
    const std::int64_t code = static_cast<std::int64_t>('0') + htdircode;
    if (code < 0 || code > 255) return '\0';
    return static_cast<char>(static_cast<unsigned char>(code));
}

std::int32_t calcsvhclht(std::int32_t ht, char htdircode, std::int32_t depth) {
    const std::int64_t halfdepth = millimetresbelow100(depth) / 2;
    switch (htdircode) {
        case '0':
            return 0;
        case '2':
            return saturate32(-static_cast<std::int64_t>(ht));
        case '3':
            return saturate32(ht - halfdepth);
        case '4':
            return saturate32(halfdepth - ht);
        default:
            return ht;
    }
}

std::int32_t tradiilist::calcboxht(std::int32_t ht, std::int32_t pd, std::int32_t framepd, std::int32_t htdircode) {
    if (readcount() <= 0) return ht;
    std::int64_t height = ht;
    if (htdircode == 4) {
        // A height from the top of the box becomes one from the bottom.
        if (b == 0) findabed();
        height = static_cast<std::int64_t>(b) - ht;
        htdircode = 3;
    }
    if (htdircode != 3) return ht;

    // Walk the lower nasal part of the outline until it reaches the
    // decentration; coarse steps while it is still far off.
    const std::int64_t d = convtodec(pd, framepd);
    int angle = 260;
    bool found = false;
    std::int64_t founddepth = 0;
    while (angle < 330) {
        const std::int32_t r = findradiusforangle(angle);
        std::int32_t x = 0, y = 0;
        polartoxy(angle, r, x, y);
        if (x >= d) {
            founddepth = -2 * static_cast<std::int64_t>(y);
            found = true;
            break;
        }
        const std::int64_t gap = d - x;
        angle += gap > 600 ? 6 : gap > 400 ? 4 : gap > 200 ? 2 : 1;
    }
    // Without a find the height stays as converted above.
    if (!found) return saturate32(height);

    boxhtang = angle;
    if (b == 0) findabed();
    const double half = std::nearbyint(static_cast<double>(founddepth - b) / 2.0);
    const std::int64_t correction = static_cast<std::int64_t>(std::nearbyint(half / 50.0)) * 50;
    return saturate32(height - correction);
}

}  // namespace kestrune
