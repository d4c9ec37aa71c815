// Blank size and synthetic shapes.
//
// The radii list's operations that relate a shape to the round lens blank it
// is cut from (calcmsu, calcuncutdiashape, calcuncutdiashapev2) and build a
// shape that was not traced (makeabed) are declared with the class in
// kestrune/trace/radiilist.hpp and implemented in shape/blanksize.cpp.
#pragma once

#include <cstdint>

namespace kestrune {

// Direction of the whole-number point (x, y) seen from the origin, in
// degrees, 0 <= result < 360; the rule of calcangle (the origin gives 90).
double CalcAng(std::int32_t x, std::int32_t y);

}  // namespace kestrune
