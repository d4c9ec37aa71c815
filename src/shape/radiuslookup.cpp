// Radius lookup: the radius of a shape at any angle, the distance from a
// point to the outline, and the position of a drill hole inside the edge.
//
// Every index is checked against the point count before a point is read, so
// short lists and angles outside 0..360 never lead to a read out of range.
#include <algorithm>
#include <cmath>
#include <limits>

#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

// Fewer points than this give no radius.
constexpr int kMinLookupPoints = 10;
// The quick look takes a stored point this close to the angle asked for.
constexpr double kQuickLookTolerance = 0.1;
// A drill hole sits this far inside the edge.
constexpr std::int32_t kDrillInset = 150;
// Distance reported when there is no point to measure to.
constexpr double kNoDistance = 999999;

}  // namespace

std::int32_t tradiilist::findradiusforangle(double angle) const {
    const int n = readcount();
    if (n < kMinLookupPoints || !std::isfinite(angle)) return 0;
    // A direction beyond a full turn either way is the same direction within
    // one; 360 itself stays, as the top end of the circle.
    if (angle < 0 || angle > 360) {
        angle = std::fmod(angle, 360.0);
        if (angle < 0) angle += 360.0;
        if (angle >= 360.0) angle = 0.0;
    }

    // Quick look: where the point at this angle would be on an evenly spaced
    // trace. Index n stands for point 0 a full turn on.
    const int k = static_cast<int>(std::nearbyint(static_cast<double>(n) * angle / 360.0));
    if (k >= n) {
        if (std::fabs(extractangleelement(0) + 360.0 - angle) <= kQuickLookTolerance) return extractradiuselement(0);
    } else if (std::fabs(extractangleelement(k) - angle) <= kQuickLookTolerance) {
        return extractradiuselement(k);
    }

    // A trace of one point per degree: the points next to the whole degree.
    if (n == 360) {
        const double t = angle == 360.0 ? 0.0 : angle;
        const int w = static_cast<int>(std::nearbyint(t));
        for (const int i : {w - 1, w, w + 1}) {
            const int j = ((i % 360) + 360) % 360;
            if (extractangleelement(j) == t) return extractradiuselement(j);
        }
    }

    // Scan while the angle difference does not grow: the last point of that
    // run is the nearest ("before"), the first one further off is "after".
    // When the run lasts to the end of the list, the outline continues from
    // the last point to point 0 a full turn on.
    double smallest = std::numeric_limits<double>::infinity();
    int before = -1;
    int after = -1;
    for (int i = 0; i < n; ++i) {
        const double d = std::fabs(extractangleelement(i) - angle);
        if (d > smallest) {
            after = i;
            break;
        }
        smallest = d;
        before = i;
    }
    const bool wrapped = after < 0;
    if (wrapped) {
        before = n - 1;
        after = 0;
    }

    const double beforeangle = extractangleelement(before);
    double afterangle = extractangleelement(after);
    const std::int32_t beforeradius = extractradiuselement(before);
    const std::int32_t afterradius = extractradiuselement(after);
    if (afterangle == beforeangle) return beforeradius;
    if (wrapped && afterangle < beforeangle) afterangle += 360.0;
    // The radius on the straight line through the two points.
    return roundtoint32((static_cast<double>(afterradius) - beforeradius) * (angle - beforeangle) /
                            (afterangle - beforeangle) +
                        beforeradius);
}

std::int32_t tradiilist::findnearest(double /*angle*/, std::int32_t x, std::int32_t y) const {
    double nearest = kNoDistance;
    const int n = std::min(xlist.count(), ylist.count());
    for (int i = 0; i < n; ++i) {
        const double dx = static_cast<double>(x) - extractradius(xlist[i]);
        const double dy = static_cast<double>(y) - extractradius(ylist[i]);
        nearest = std::min(nearest, std::sqrt(dx * dx + dy * dy));
    }
    return roundtoint32(nearest);
}

void tradiilist::finddrillxy(std::int32_t angle, std::int32_t& x, std::int32_t& y) const {
    if (readcount() < kMinLookupPoints) {
        // No outline to measure from: the hole goes to the centre rather than
        // inset from an edge of radius 0, which would put it on the far side.
        x = 0;
        y = 0;
        return;
    }
    const std::int64_t r = static_cast<std::int64_t>(findradiusforangle(angle)) - kDrillInset;
    polartoxy(angle, static_cast<std::int32_t>(std::max<std::int64_t>(r, std::numeric_limits<std::int32_t>::min())), x,
              y);
}

}  // namespace kestrune
