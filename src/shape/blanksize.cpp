// Blank size and synthetic shapes: the smallest round blank that holds a
// shape, the outline of a decentred blank as a shape, and a box-like shape
// built from a width, a depth and a corner radius.
#include "kestrune/shape/blanksize.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

std::uint64_t magnitude(std::int64_t v) {
    return v < 0 ? static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// Length of (dx, dy), rounded. The squares are summed exactly in unsigned 64
// bits while they fit (the usual case); differences of 32-bit values beyond
// that are measured in doubles.
std::int64_t roundedlength(std::int64_t dx, std::int64_t dy) {
    constexpr std::uint64_t kExact = 3037000499;  // its square is just below 2^63
    const std::uint64_t ax = magnitude(dx);
    const std::uint64_t ay = magnitude(dy);
    const double length = ax <= kExact && ay <= kExact ? std::sqrt(static_cast<double>(ax * ax + ay * ay))
                                                       : std::hypot(static_cast<double>(dx), static_cast<double>(dy));
    return static_cast<std::int64_t>(std::nearbyint(length));
}

// Points of the outline of a blank.
constexpr int kBlankPoints = 128;

}  // namespace

double CalcAng(std::int32_t x, std::int32_t y) { return calcangle(x, y); }

std::int32_t tradiilist::calcmsu(std::int32_t allow, std::int32_t hdec, std::int32_t vdec) const {
    std::int64_t result = 0;
    const int n = readcount();
    for (int i = 0; i < n; ++i) {
        const std::string& e = element(i);
        const std::int32_t r = saturate32(static_cast<std::int64_t>(extractradius(e)) + allow);
        std::int32_t x = 0, y = 0;
        polartoxy(extractangle(e), r, x, y);
        const std::int64_t d = roundedlength(static_cast<std::int64_t>(x) - hdec, static_cast<std::int64_t>(y) - vdec);
        result = std::max(result, 2 * d);
    }
    return saturate32(result);
}

void tradiilist::calcuncutdiashape(std::int32_t basedia, std::int32_t safetyallowance, std::int32_t hfitt,
                                   std::int32_t vfitt) {
    const std::int64_t diameter = basedia < 100 ? static_cast<std::int64_t>(basedia) * 100 : basedia;
    const std::int32_t r = saturate32(diameter / 2 - safetyallowance);
    for (int i = 0; i < kBlankPoints; ++i) {
        const double theta = static_cast<double>(i * 360) / kBlankPoints;
        std::int32_t bx = 0, by = 0;
        polartoxy(theta, r, bx, by);
        // The blank's edge as seen from the fitting point.
        const std::int64_t x = static_cast<std::int64_t>(bx) - hfitt;
        const std::int64_t y = static_cast<std::int64_t>(by) - vfitt;
        addradiilist(calcangle(static_cast<double>(x), static_cast<double>(y)), saturate32(roundedlength(x, y)));
    }
    convertshape(kBlankPoints);
}

void tradiilist::calcuncutdiashapev2(std::int32_t basedia, std::int32_t safetyallowance, std::int32_t /*hfitt*/,
                                     std::int32_t vfitt, std::int32_t& pd, std::int32_t& ht, std::int32_t& htdir,
                                     std::int32_t& bridge) {
    // Eye size in whole millimetres, by blank size, less the allowance and a
    // margin of 2 mm.
    std::int64_t eye = 50;
    if (basedia >= 70)
        eye = 55;
    else if (basedia <= 60)
        eye = 45;
    eye = eye - safetyallowance / 100 - 2;

    // Larger eye sizes are tried while the blank leaves 5 mm or more of
    // decentration; depth, height and decentration stay those of the last
    // size tried.
    std::int64_t depth = 0, height = 0, dec = 0;
    int passes = 0;
    do {
        depth = static_cast<std::int64_t>(std::nearbyint(static_cast<double>(eye) * 0.7));
        height = vfitt > 0 ? depth * 50 + vfitt : depth * 50;
        dec = static_cast<std::int64_t>(basedia) * 50 - eye * 50;
        if (dec > 500) eye += 2;
        ++passes;
    } while (dec >= 500 && passes < 4 && eye < 58);

    ht = saturate32(height);
    htdir = 3;
    bridge = 15;
    pd = saturate32((bridge + eye) * 50 - dec + 250);
    makeabed(saturate32(eye * 50), saturate32(depth * 50), saturate32((eye + 2) * 50), 750, kBlankPoints);
}

void tradiilist::makeabed(std::int32_t halfwidth, std::int32_t halfdepth, std::int32_t cornerradius,
                          std::int32_t /*bridge*/, std::int32_t npoints) {
    // More points than angles can be told apart is refused, not allocated.
    if (npoints > maxresamplepoints) return;
    xlist.clear();
    ylist.clear();
    const std::int32_t r = cornerradius < halfwidth ? halfwidth : cornerradius;
    const std::int64_t limitx = std::llabs(halfwidth);
    const std::int64_t limity = std::llabs(halfdepth);

    // A circle of radius r cut by the box of 2 halfwidth x 2 halfdepth.
    const std::size_t n = npoints > 0 ? static_cast<std::size_t>(npoints) : 0;
    std::vector<std::int32_t> x(n), y(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double theta = static_cast<double>(static_cast<std::int64_t>(k) * 360) / npoints;
        std::int32_t cx = 0, cy = 0;
        polartoxy(theta, r, cx, cy);
        x[k] = saturate32(std::clamp<std::int64_t>(cx, -limitx, limitx));
        y[k] = saturate32(std::clamp<std::int64_t>(cy, -limity, limity));
    }
    makeradiilistfromxy(x, y);
    if (npoints > 0) {
        convertshape(4 * npoints);
        convertshape(npoints);
    }
}

}  // namespace kestrune
