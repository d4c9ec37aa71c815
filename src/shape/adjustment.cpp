// Shape adjustment: rebuilding the points from coordinates, centring,
// rotating and stretching a shape, and fitting it to a circumference or box.
//
// The stretching routines read the coordinates from xlist and ylist once,
// change them as numbers and rebuild the points from those numbers, so a
// coordinate is never cut by the width of the element text on the way.
// Sums of coordinates are taken in 64 bits and held at the ends of the
// 32-bit range.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <numbers>
#include <string>
#include <vector>

#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

// Number of entries that have both coordinates.
int xycount(const tradiilist& list) { return std::min(list.xlist.count(), list.ylist.count()); }

// The coordinates held in xlist and ylist, by index.
void readcoordinates(const tradiilist& list, std::vector<std::int32_t>& x, std::vector<std::int32_t>& y) {
    const int n = xycount(list);
    x.resize(static_cast<std::size_t>(n));
    y.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        x[static_cast<std::size_t>(i)] = tradiilist::extractradius(list.xlist[i]);
        y[static_cast<std::size_t>(i)] = tradiilist::extractradius(list.ylist[i]);
    }
}

// Distance of (x, y) from the origin, rounded. The squares are summed
// exactly in unsigned 64 bits: each is at most 2^62.
std::int32_t roundedlength(std::int32_t x, std::int32_t y) {
    const std::uint64_t ax = static_cast<std::uint64_t>(std::llabs(x));
    const std::uint64_t ay = static_cast<std::uint64_t>(std::llabs(y));
    return roundtoint32(std::sqrt(static_cast<double>(ax * ax + ay * ay)));
}

// v moved outward by v * factor, rounded.
std::int32_t stretched(std::int32_t v, double factor) {
    return saturate32(static_cast<std::int64_t>(v) + roundtoint32(v * factor));
}

// Brings an angle into 0 <= angle < 360. A single wrap each way covers every
// rotation of less than a full turn; larger ones take the remainder.
double wrapangle(double t) {
    if (t >= 360.0) t -= 360.0;
    if (t < 0.0) t += 360.0;
    if (t >= 360.0 || t < 0.0) {
        t = std::fmod(t, 360.0);
        if (t < 0.0) t += 360.0;
        if (t >= 360.0) t = 0.0;
    }
    return t;
}

}  // namespace

void tradiilist::makeradiilistfromxy() {
    std::vector<std::int32_t> x, y;
    readcoordinates(*this, x, y);
    makeradiilistfromxy(x, y);
}

void tradiilist::makeradiilistfromxy(const std::vector<std::int32_t>& x, const std::vector<std::int32_t>& y) {
    const std::size_t n = std::min(x.size(), y.size());
    radiilist.clear();
    try {
        radiilist.reserve(static_cast<int>(std::min<std::size_t>(n, std::numeric_limits<int>::max())));
    } catch (const std::bad_alloc&) {
        // Only a hint; addradiilist copes with growth on its own.
    }
    for (std::size_t i = 0; i < n; ++i) addradiilist(calcangle(x[i], y[i]), roundedlength(x[i], y[i]));
}

bool tradiilist::centred() const {
    if (mina == 0) return false;
    return std::llabs(static_cast<std::int64_t>(mina) + maxa) < 20 &&
           std::llabs(static_cast<std::int64_t>(minb) + maxb) < 20;
}

void tradiilist::centreshape() {
    const int n = readcount();
    // The shape is shifted at four times its point count, so that bringing it
    // back to its count afterwards loses little of the outline.
    const std::int64_t dense = 4 * static_cast<std::int64_t>(n);
    if (dense >= 1 && dense <= maxresamplepoints) {
        convertshape(static_cast<int>(dense));
        if (a == 0) findabed();
    } else {
        // Too many points to work on more of them (or none): the coordinate
        // lists are brought up to date with the points as they are.
        findabed();
    }

    centreadiff = saturate32(-(static_cast<std::int64_t>(maxa) + mina) / 2);
    centrebdiff = saturate32(-(static_cast<std::int64_t>(maxb) + minb) / 2);
    std::vector<std::int32_t> x, y;
    readcoordinates(*this, x, y);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = saturate32(static_cast<std::int64_t>(x[i]) + centreadiff);
        y[i] = saturate32(static_cast<std::int64_t>(y[i]) + centrebdiff);
    }
    makeradiilistfromxy(x, y);
    findabed();

    if (!smoothingout) convertshape(n);
}

void tradiilist::rotateshape(double a) {
    const double rotation = std::isfinite(a) ? a : 0.0;
    const int n = readcount();
    tpointlist rotated;
    rotated.reserve(n);
    for (int i = 0; i < n; ++i) {
        const std::string& e = element(i);
        std::string r = combineangleradius(wrapangle(extractangle(e) + rotation), extractradius(e));
        // An angle just short of a full turn is written as 360.000; it is
        // the direction of 0 and stored as that.
        if (r.compare(0, 7, "360.000") == 0) r = combineangleradius(0.0, extractradius(e));
        rotated.add(r);
    }
    radiilist.swap(rotated);
    findabed();  // sorts the points and rebuilds the coordinate lists
}

void tradiilist::adjustshape(std::int32_t xdiff, std::int32_t ydiff) {
    // The coordinate lists are those the last measuring left. When they no
    // longer have one entry per point (points were added or removed since),
    // they are made afresh, so that no point is lost in the rebuild.
    const int n = readcount();
    if (a == 0 || xlist.count() != n || ylist.count() != n) findabed();
    // The factor that moves a point at the box edge by the difference; a box
    // too narrow to be halved (no width at all, or one hundredth) takes 1.
    const std::int32_t halfa = a / 2;
    const std::int32_t halfb = b / 2;
    const double xfactor = halfa != 0 ? static_cast<double>(xdiff) / halfa : 1.0;
    const double yfactor = halfb != 0 ? static_cast<double>(ydiff) / halfb : 1.0;

    std::vector<std::int32_t> x, y;
    readcoordinates(*this, x, y);
    for (std::size_t i = 0; i < x.size(); ++i) {
        x[i] = stretched(x[i], xfactor);
        y[i] = stretched(y[i], yfactor);
    }
    makeradiilistfromxy(x, y);
    findabed();
}

void tradiilist::adjustshapebyquadrant(std::int32_t nasaldiff, std::int32_t tempdiff, std::int32_t upperdiff,
                                       std::int32_t lowerdiff) {
    findabed();
    // Each side's factor moves its extreme point by that side's difference.
    // A side the shape does not reach (its extent is 0) has nothing to scale
    // and keeps factor 0: its points stay where they are.
    auto sidefactor = [](std::int32_t diff, std::int32_t extent) {
        return extent != 0 ? static_cast<double>(diff) / extent : 0.0;
    };
    double nasalf = 1.0, temporalf = 1.0, upperf = 1.0, lowerf = 1.0;
    if (a != 0) {
        nasalf = sidefactor(nasaldiff, nasal);
        temporalf = sidefactor(tempdiff, temporal);
    }
    if (b != 0) {
        upperf = sidefactor(upperdiff, upper);
        lowerf = sidefactor(lowerdiff, lower);
    }

    const bool fixed = hasfixedarea();
    std::vector<std::int32_t> x, y;
    readcoordinates(*this, x, y);
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (fixed && infixedarea(extractangle(xlist[static_cast<int>(i)]))) continue;
        x[i] = stretched(x[i], x[i] <= 0 ? temporalf : nasalf);
        y[i] = stretched(y[i], y[i] <= 0 ? lowerf : upperf);
    }
    makeradiilistfromxy(x, y);
    findabed();
}

std::int32_t tradiilist::adjustcirc(std::int32_t xdiff) {
    const std::int32_t keptomacirc = omacirc;
    omacirc = 0;
    const std::int32_t start = circ();
    const std::int32_t keptfcirc = fcirc;
    const std::int64_t target = static_cast<std::int64_t>(start) + xdiff;
    std::int64_t remaining = xdiff;
    std::int32_t current = start;

    // Stretching every side by s lengthens the outline by about 2 pi s.
    for (int pass = 0; pass < 4; ++pass) {
        const std::int32_t step = roundtoint32(static_cast<double>(remaining) / (2.0 * std::numbers::pi));
        adjustshape(step, step);
        omacirc = 0;
        current = circ();
        remaining = target - current;
        if (std::llabs(remaining) <= 4) break;
    }

    // A circumference from the file moves by what the computed one moved.
    if (keptomacirc != 0) omacirc = saturate32(static_cast<std::int64_t>(keptomacirc) + fcirc - keptfcirc);
    return current;
}

void tradiilist::amendshape(std::int32_t newa, std::int32_t newb) {
    // A box of no size (or a negative one) is no target.
    if (newa <= 0 || newb <= 0) return;
    const std::int64_t targeta = newa <= 100 ? static_cast<std::int64_t>(newa) * 100 : newa;
    const std::int64_t targetb = newb <= 100 ? static_cast<std::int64_t>(newb) * 100 : newb;

    findabed();
    // Growing and shrinking alike continue until both sizes are within 0.10
    // mm of their targets.
    for (int pass = 0; pass < 5; ++pass) {
        const std::int64_t adiff = targeta - a;
        const std::int64_t bdiff = targetb - b;
        if (std::llabs(adiff) < 10 && std::llabs(bdiff) < 10) break;
        adjustshape(saturate32(adiff / 2), saturate32(bdiff / 2));
    }
}

}  // namespace kestrune
