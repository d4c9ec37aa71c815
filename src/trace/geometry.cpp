// Geometry of a traced shape: coordinates, box measures, circumference, copy,
// mirror image and resampling of the radii list.
//
// Every routine reads the points once into plain numbers, works on those and,
// where it changes the shape, writes the whole point list back in one step.
// Sums and differences of radii and coordinates are taken in 64 bits or in
// doubles and saturated to 32 bits, so hostile radii cannot overflow.
#include "kestrune/trace/geometry.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "kestrune/trace/sincosmemo.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {

std::atomic<bool> shapconvmidway{false};

namespace {

constexpr double kRadPerDeg = std::numbers::pi / 180.0;

// Points whose x reaches this are left out of the box measures.
constexpr std::int32_t kBoxXLimit = 5000;
// An opposite pair summing to this or more is not taken as the diameter.
constexpr std::int64_t kEdLimit = 10000;

bool isvertical(double a) { return a == 90.0 || a == 270.0; }

// An angle difference brought to 0 <= d < 360 when it is negative.
double unwrap(double d) {
    if (d < 0) {
        d = std::fmod(d, 360.0);
        if (d < 0) d += 360.0;
    }
    return d;
}

void readpoints(const tradiilist& list, tshapepoints& p) {
    const int n = std::max(list.readcount(), 0);
    p.angle.resize(static_cast<std::size_t>(n));
    p.radius.resize(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double a = list.radiilist.angle(i);
        p.angle[static_cast<std::size_t>(i)] = std::isfinite(a) ? a : 0.0;
        p.radius[static_cast<std::size_t>(i)] = list.radiilist.radius(i);
    }
}

// Sorts the points and rebuilds xlist and ylist (unless lists is false); the
// numbers behind them go to keep when it is given, so the caller need not
// read the lists back.
void buildxylists(tradiilist& list, tshapepoints* keep, bool lists = true) {
    if (lists) {
        list.xlist.clear();
        list.ylist.clear();
    }
    list.radiilist.sort();  // a list in order is only checked
    tshapepoints local;
    tshapepoints& p = keep ? *keep : local;
    readpoints(list, p);
    const std::size_t n = p.angle.size();
    p.x.resize(n);
    p.y.resize(n);
    if (lists) {
        list.xlist.reserve(static_cast<int>(n));
        list.ylist.reserve(static_cast<int>(n));
    }
    // polartoxy, point by point, with the sines and cosines from the memo.
    tsincosmemo& memo = threadsincosmemo();
    for (std::size_t i = 0; i < n; ++i) {
        double s, c;
        memo.get(i, p.angle[i] * kRadPerDeg, s, c);
        const double r = static_cast<double>(p.radius[i]);
        p.x[i] = roundtoint32(c * r);
        p.y[i] = roundtoint32(r * s);
        if (!lists) continue;
        // A point in the usual layout hands its angle on as it is held;
        // addpoint would give back the same thousandths from the real.
        std::int32_t t = 0;
        const bool standard = list.radiilist.anglethousandths(static_cast<int>(i), t);
        if (!standard || !list.xlist.addstandard(t, p.x[i])) list.xlist.addpoint(p.angle[i], p.x[i]);
        if (!standard || !list.ylist.addstandard(t, p.y[i])) list.ylist.addpoint(p.angle[i], p.y[i]);
    }
}

// The format text with its eye letter changed to the other eye: the first
// "R;" (or a final "R") becomes "L"; only when there is none, the first "L;"
// (or a final "L") becomes "R".
std::string swapeyeletter(std::string s) {
    for (const auto& [from, to] : {std::pair{'R', 'L'}, std::pair{'L', 'R'}}) {
        const char pattern[] = {from, ';', '\0'};
        std::size_t pos = s.find(pattern);
        if (pos == std::string::npos && !s.empty() && s.back() == from) pos = s.size() - 1;
        if (pos != std::string::npos) {
            s[pos] = to;
            return s;
        }
    }
    return s;
}

// Radius where the chord between two neighbouring points meets the ray at
// angle t; NaN when chord and ray do not cross at a defined point.
double straightlineradius(double belowangle, double belowradius, double aboveangle, double aboveradius, double t) {
    const double x1 = std::cos(belowangle * kRadPerDeg) * belowradius;
    const double y1 = std::sin(belowangle * kRadPerDeg) * belowradius;
    const double x2 = std::cos(aboveangle * kRadPerDeg) * aboveradius;
    const double y2 = std::sin(aboveangle * kRadPerDeg) * aboveradius;
    const double chord = calcsegang(x1, y1, x2, y2);
    double rx3 = std::numeric_limits<double>::quiet_NaN();
    double ry3 = std::numeric_limits<double>::quiet_NaN();
    calcintersect(x1, y1, chord, 0.0, 0.0, t, rx3, ry3);
    return std::hypot(rx3, ry3);
}

}  // namespace

std::int32_t roundtoint32(double v) {
    // The quick way for the usual sizes: adding and taking away 1.5 * 2^52
    // leaves the whole number nearest to v, halves to even, in the default
    // rounding mode (which nothing in this program changes), as nearbyint.
    if (std::fabs(v) < 0x1p30) return static_cast<std::int32_t>((v + 0x1.8p52) - 0x1.8p52);
    if (std::isnan(v)) return 0;
    const double r = std::nearbyint(v);
    if (r >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (r <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

void polartoxy(double angle, std::int32_t radius, std::int32_t& x, std::int32_t& y) {
    const double t = angle * kRadPerDeg;
    const double r = static_cast<double>(radius);
    x = roundtoint32(std::cos(t) * r);
    y = roundtoint32(r * std::sin(t));
}

double calcangle(double px, double py) {
    if (!std::isfinite(px) || !std::isfinite(py)) return 0.0;
    if (px == 0) return py >= 0 ? 90.0 : 270.0;
    if (py == 0) return px > 0 ? 0.0 : 180.0;
    const double e = std::atan(py / px) / kRadPerDeg;
    double result;
    if (e >= 0)
        result = py > 0 ? e : e + 180.0;
    else
        result = py >= 0 ? e + 180.0 : e + 360.0;
    // A vanishing negative angle can round up to a full turn.
    return result >= 360.0 ? result - 360.0 : result;
}

double calcsegang(double x1, double y1, double x2, double y2) { return calcangle(x2 - x1, y2 - y1); }

bool calcintersect(double x1, double y1, double a1, double x2, double y2, double a2, double& rx3, double& ry3) {
    const double m1 = std::tan(a1 * kRadPerDeg);
    const double m2 = std::tan(a2 * kRadPerDeg);
    const double c1 = y1 - m1 * x1;
    const double c2 = y2 - m2 * x2;
    if (isvertical(a1)) {
        if (isvertical(a2)) return false;
        rx3 = x1;
        ry3 = m2 * x1 + c2;
        return false;
    }
    if (isvertical(a2)) {
        rx3 = x2;
        ry3 = m1 * x2 + c1;
        return false;
    }
    if (m1 == m2) return false;
    // When both lines start from the same point, that point is the crossing;
    // taking it directly avoids the round-off of the general formula. Lines
    // through two different points that merely share an x cross elsewhere.
    if (std::fabs(x1 - x2) < 0.001 && std::fabs(y1 - y2) < 0.001) {
        rx3 = x1;
        ry3 = y1;
        return true;
    }
    rx3 = (c2 - c1) / (m1 - m2);
    ry3 = m1 * rx3 + c1;
    return true;
}

void tradiilist::makexylists() { buildxylists(*this, nullptr); }

void makexylists(tradiilist& list, tshapepoints& points) { buildxylists(list, &points); }

void tradiilist::findabed(bool rebuildxylists) {
    tshapepoints p;
    buildxylists(*this, &p, rebuildxylists);

    maxa = mina = maxb = minb = 0;
    maxradius = 0;
    maxradiusangle = 0;
    longestradius = 0;
    longestradiusangle = 0;
    std::int64_t bestsum = 0;
    std::int32_t bestangle = 0;

    const std::size_t n = p.angle.size();
    const std::size_t h = n / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t x = p.x[i];
        if (x >= kBoxXLimit) continue;
        maxa = std::max(maxa, x);
        mina = std::min(mina, x);
        maxb = std::max(maxb, p.y[i]);
        minb = std::min(minb, p.y[i]);
        const std::int32_t r = p.radius[i];
        if (r > maxradius) {
            maxradius = r;
            maxradiusangle = std::nearbyint(p.angle[i] * 100.0);
        }
        if (i < h) {
            if (r > longestradius) {
                longestradius = r;
                longestradiusangle = roundtoint32(p.angle[i]);
            }
            // Point i + h stands for the point opposite point i, which holds
            // for an evenly spaced trace.
            const std::int64_t s = static_cast<std::int64_t>(r) + p.radius[i + h];
            if (s > bestsum && s < kEdLimit) {
                bestsum = s;
                bestangle = roundtoint32(p.angle[i]);
            }
        }
    }

    a = saturate32(static_cast<std::int64_t>(maxa) - mina);
    b = saturate32(static_cast<std::int64_t>(maxb) - minb);
    ed = static_cast<std::int32_t>(bestsum);
    edangle = bestangle;
    upper = maxb;
    lower = saturate32(-static_cast<std::int64_t>(minb));
    nasal = maxa;
    temporal = saturate32(-static_cast<std::int64_t>(mina));
}

void tradiilist::findcirc() {
    const int n = readcount();
    if (n <= 0) return;
    // The outline is taken as n points at equal angle steps; the stored
    // angles are not used.
    const double step = (360.0 / n) * kRadPerDeg;
    const double cs = std::cos(step);
    const double sn = std::sin(step);
    auto chord = [cs, sn](double r1, double r2) { return std::hypot(r2 * cs - r1, r2 * sn); };

    const double first = extractradiuselement(0);
    double previous = first;
    double sum = 0;
    for (int i = 1; i < n; ++i) {
        const double current = extractradiuselement(i);
        sum += chord(previous, current);
        previous = current;
    }
    sum += chord(previous, first);

    // A sum beyond the 32-bit range is a failed computation, not a length.
    const double rounded = std::nearbyint(sum);
    fcirc = (std::isfinite(rounded) && rounded <= std::numeric_limits<std::int32_t>::max())
                ? static_cast<std::int32_t>(rounded)
                : 0;
}

std::int32_t tradiilist::circ() {
    if (omacirc != 0) return omacirc;
    findcirc();
    return fcirc;
}

void tradiilist::swoplistandangle() {
    const int n = readcount();
    if (n <= 0) return;
    tpointlist mirrored;
    mirrored.reserve(n);
    if (unevenfmt()) {
        // Each point moves from angle t to 180 - t and keeps its radius.
        for (int i = 0; i < n; ++i) mirrored.addpoint(unwrap(180.0 - radiilist.angle(i)), radiilist.radius(i));
        radiilist.swap(mirrored);
        radiilist.sort();
        return;
    }
    // Equal angles: every point keeps its angle and takes the radius of the
    // point at the mirrored angle, found by index.
    const int h = n / 2;
    for (int i = 0; i < n; ++i) {
        const int j = i <= h ? h - i : h + n - i;
        mirrored.addpoint(radiilist.angle(i), radiilist.radius(j));
    }
    radiilist.swap(mirrored);
}

void tradiilist::load(const tstringlist* t) {
    if (!t) return;
    radiilist = *t;
    makexylists();
}

void tradiilist::load(const tpointlist& t) {
    if (&t != &radiilist) radiilist = t;
    makexylists();
}

void tradiilist::copyradii(const tradiilist* t) {
    if (!t) return;
    if (t == this) {
        makexylists();
        return;
    }
    load(t->radiilist);
    dbl = t->dbl;
    a = t->a;
    b = t->b;
    upper = t->upper;
    lower = t->lower;
    nasal = t->nasal;
    temporal = t->temporal;
    fcirc = t->fcirc;
    omacirc = t->omacirc;
    fixstart = t->fixstart;
    fixend = t->fixend;
    if (trcfmtstr.empty()) trcfmtstr = t->trcfmtstr;
    drawdrilllist = t->drawdrilllist;
}

void tradiilist::mirrorshape(const tradiilist* source) {
    if (!source) return;
    // Taken before the copy, which may overwrite them when source is this list.
    std::string mirroredfmt = swapeyeletter(source->trcfmtstr);
    const std::int32_t sourceomacirc = source->omacirc;
    const std::int32_t sourcefcirc = source->fcirc;

    copyradii(source);
    // The format text is set before the points are mirrored, so the mirror
    // follows the source's spacing and not a format this list held before.
    trcfmtstr = std::move(mirroredfmt);
    swoplistandangle();
    omacirc = sourceomacirc;
    fcirc = sourcefcirc;
}

void tradiilist::convertshape(int pointsintarget, bool straightline) {
    const int n = readcount();
    if (n <= 0 || pointsintarget < 1 || pointsintarget > maxresamplepoints) return;
    if (shapconvmidway.load()) straightline = true;

    radiilist.sort();
    tshapepoints src;
    readpoints(*this, src);
    const int last = n - 1;

    tpointlist target;
    try {
        target.reserve(pointsintarget);
        int s = 0;
        for (int k = 0; k < pointsintarget; ++k) {
            if (s < 0) s = 0;
            const double t = static_cast<double>(static_cast<std::int64_t>(k) * 360) / pointsintarget;
            while (s < n && t > src.angle[static_cast<std::size_t>(s)]) ++s;
            --s;

            int below, above;
            if (s < 0) {
                // t lies before the first point: bridge the gap across 0 degrees
                // from the last point, unless the first point sits exactly at t.
                below = src.angle[0] == t ? 0 : last;
                above = 0;
            } else if (s == last) {
                below = s;
                above = 0;
            } else {
                below = s;
                above = s + 1;
            }

            const double ba = src.angle[static_cast<std::size_t>(below)];
            const double aa = src.angle[static_cast<std::size_t>(above)];
            const double br = src.radius[static_cast<std::size_t>(below)];
            const double ar = src.radius[static_cast<std::size_t>(above)];
            std::int32_t radius;
            const double d1 = unwrap(aa - ba);
            if (aa == ba || d1 == 0) {
                // Neighbours at one angle (or a full turn apart, which only
                // stray angles outside 0..360 can give): nothing to interpolate.
                radius = static_cast<std::int32_t>(br);
            } else {
                const double d2 = unwrap(t - ba);
                const double interpolated = std::nearbyint((ar - br) * d2 / d1) + br;
                double chosen = interpolated;
                if (straightline) {
                    const double sl = straightlineradius(ba, br, aa, ar, t);
                    if (std::isfinite(sl)) chosen = sl;
                }
                radius = roundtoint32(chosen);
            }
            target.addpoint(t, radius);
        }
    } catch (const std::bad_alloc&) {
        // Only allocation can fail here; the points made so far stand.
    }

    radiilist.swap(target);
    findabed();
    omacirc = 0;
}

void tradiilist::reduceshape(int pointsintarget) {
    const int n = readcount();
    if (n <= 0 || pointsintarget < 1) return;

    radiilist.sort();
    tshapepoints src;
    readpoints(*this, src);
    const double m = pointsintarget / 360.0;
    const double lastsector = pointsintarget - 1;

    // Index into the source of the point kept for each sector met so far. As
    // the source is in angle order, a point belongs either to the sector of
    // the last kept point or to a later one.
    std::vector<int> kept;
    kept.reserve(static_cast<std::size_t>(std::min(n, pointsintarget)));
    double keptsector = -1;
    for (int i = 0; i < n; ++i) {
        const double sector =
            std::clamp(std::trunc((src.angle[static_cast<std::size_t>(i)] + 0.001) * m), 0.0, lastsector);
        if (kept.empty() || sector > keptsector) {
            kept.push_back(i);
            keptsector = sector;
        } else if (src.radius[static_cast<std::size_t>(i)] > src.radius[static_cast<std::size_t>(kept.back())]) {
            kept.back() = i;
        }
    }

    tpointlist target;
    target.reserve(static_cast<int>(kept.size()));
    for (const int i : kept) target.add(radiilist[i]);
    radiilist.swap(target);
    findabed();
    omacirc = 0;
}

}  // namespace kestrune
