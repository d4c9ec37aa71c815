// Plane geometry shared by the shape operations of the radii list.
//
// The shape frame: 0 degrees along +x, angles counter-clockwise, +y up. The
// radii list's own geometry methods (coordinates, box, circumference, copy,
// mirror image, resampling) are declared with the class in
// kestrune/trace/radiilist.hpp and implemented in trace/geometry.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace kestrune {

class tradiilist;

// Largest point count the resampling routines produce. Angles are held with
// three decimals, so no shape can have more distinct angles than this; a
// larger target is refused rather than allocated.
inline constexpr int maxresamplepoints = 360000;

// Direction of (px, py) seen from the origin, in degrees, 0 <= result < 360.
// The origin gives 90; a point with a non-finite coordinate gives 0.
double calcangle(double px, double py);

// Direction of the segment from (x1, y1) to (x2, y2): calcangle(x2-x1, y2-y1).
double calcsegang(double x1, double y1, double x2, double y2);

// Where the line through (x1, y1) with direction a1 degrees meets the line
// through (x2, y2) with direction a2. Returns true for an ordinary crossing.
// When one line is vertical (90 or 270 degrees) the crossing is still written
// to rx3 and ry3 but the result is false; when both are vertical, or the
// slopes are equal, the result is false and rx3 and ry3 are left untouched.
bool calcintersect(double x1, double y1, double a1, double x2, double y2, double a2, double& rx3, double& ry3);

// A setting of the whole process, false at start: while it is set, every
// convertshape takes the chord between neighbours, as its straightline
// parameter asks for one conversion.
extern std::atomic<bool> shapconvmidway;

// The coordinates of the point at angle degrees and radius: x = r cos(angle),
// y = r sin(angle), each rounded as roundtoint32 does. This is the rule
// behind the radii list's xlist and ylist.
void polartoxy(double angle, std::int32_t radius, std::int32_t& x, std::int32_t& y);

// Rounds to the nearest whole number, halves to even, and saturates to the
// 32-bit range; NaN gives 0.
std::int32_t roundtoint32(double v);

// v limited to the 32-bit range: sums and differences of coordinates and
// radii are worked out in 64 bits and brought back with it.
inline std::int32_t saturate32(std::int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(v);
}

// The points of a radii list as numbers, in list order: the angle and radius
// each accessor reads, and (when built by makexylists) the coordinates behind
// xlist and ylist.
struct tshapepoints {
    std::vector<double> angle;
    std::vector<std::int32_t> radius;
    std::vector<std::int32_t> x, y;
};

// list.makexylists(), keeping the numbers it works from in points, so that a
// caller who needs them does not read the lists back.
void makexylists(tradiilist& list, tshapepoints& points);

}  // namespace kestrune
