// What the tests of the shape operations share: the outlines of the OMA
// fixtures as radii lists (circles, ellipses, shifted and turned ellipses,
// lists from explicit points), and the box of a list measured afresh.
#pragma once

#include <cstdint>

#include "fixtures/omafixtures.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune::testshapes {

using namespace fixtures::shapes;

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
