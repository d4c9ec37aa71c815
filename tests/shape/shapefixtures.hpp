// Shapes built in code for the tests of the shape operations: circles,
// ellipses, shifted and rotated ellipses, and lists from explicit points.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

#include "kestrune/trace/radiilist.hpp"

namespace kestrune::testshapes {

inline double rad(double deg) { return deg * std::numbers::pi / 180.0; }

// n points at equal angles from 0; the radius at each angle (degrees) from
// radiusat, rounded.
inline tradiilist polarshape(int n, const std::function<double(double)>& radiusat) {
    tradiilist l;
    for (int i = 0; i < n; ++i) {
        const double angle = i * 360.0 / n;
        l.addradiilist(angle, static_cast<std::int32_t>(std::nearbyint(radiusat(angle))));
    }
    return l;
}

// Where the ray from the origin at angle t meets the ellipse with semi-axes
// ax (along x before rotation) and by, centred at (dx, dy) and turned by rot
// degrees. The origin must lie inside the ellipse.
inline double ellipseradius(double t, double ax, double by, double dx = 0, double dy = 0, double rot = 0) {
    // Work in the ellipse's own frame: turn the ray and the centre back by rot.
    const double c = std::cos(rad(t - rot));
    const double s = std::sin(rad(t - rot));
    const double cx = dx * std::cos(rad(-rot)) - dy * std::sin(rad(-rot));
    const double cy = dx * std::sin(rad(-rot)) + dy * std::cos(rad(-rot));
    const double qa = c * c / (ax * ax) + s * s / (by * by);
    const double qb = c * cx / (ax * ax) + s * cy / (by * by);
    const double qc = cx * cx / (ax * ax) + cy * cy / (by * by) - 1.0;
    return (qb + std::sqrt(qb * qb - qa * qc)) / qa;
}

inline tradiilist circle(int n, double r) {
    return polarshape(n, [r](double) { return r; });
}

inline tradiilist ellipse(int n, double ax, double by, double dx = 0, double dy = 0, double rot = 0) {
    return polarshape(n, [=](double t) { return ellipseradius(t, ax, by, dx, dy, rot); });
}

struct pt {
    double angle;
    std::int32_t radius;
};

// A list from explicit (angle, radius) pairs, in the order given.
inline tradiilist points(const std::vector<pt>& pts) {
    tradiilist l;
    for (const pt& p : pts) l.addradiilist(p.angle, p.radius);
    return l;
}

inline std::vector<double> anglesof(const tradiilist& l) {
    std::vector<double> v;
    for (int i = 0; i < l.readcount(); ++i) v.push_back(l.extractangleelement(i));
    return v;
}

inline std::vector<std::int32_t> radiiof(const tradiilist& l) {
    std::vector<std::int32_t> v;
    for (int i = 0; i < l.readcount(); ++i) v.push_back(l.extractradiuselement(i));
    return v;
}

// The box of l measured afresh on a copy of its points, so nothing the
// operation under test left in the fields is taken on trust.
struct measured {
    std::int32_t a, b, nasal, temporal, upper, lower;
};
inline measured measure(const tradiilist& l) {
    tradiilist m;
    m.load(l.radiilist);
    m.findabed();
    return {m.a, m.b, m.nasal, m.temporal, m.upper, m.lower};
}

}  // namespace kestrune::testshapes
