// Prescription and fitting values that travel with a frame shape.
//
// Lengths are hundredths of a millimetre. A pupillary-distance argument is
// read by its size: below 1500 (15 mm) it is a decentration, above 4500
// (45 mm) a binocular distance, in between a monocular distance. Height
// direction codes are the characters "0" to "9". "Rounded" is to the nearest,
// halves to even; divisions of whole numbers truncate toward zero. Results
// beyond the 32-bit range are held at its ends.
//
// The box height from a shape (calcboxht) is a method of the radii list,
// declared in kestrune/trace/radiilist.hpp.
#pragma once

#include <cstdint>

namespace kestrune {

// Brings the cylinder c of sphere s and axis a (degrees) into minus form
// when form is '-', 'M' or 'N', else into plus form: s := s + c, c := -c,
// a := a + 90 (less 180 when beyond 180). Nothing when c is 0 or already in
// the form asked for.
void transpose(std::int32_t& s, std::int32_t& c, std::int32_t& a, char form);

// Apex angle, in hundredths of a degree, of a prism of p hundredths of a
// prism dioptre in a material of refractive index n / 1000. 0 for a prism of
// 0, and where the material does not bend light (n of 1000) and the angle is
// not defined.
std::int32_t CalcLohPrism(std::int32_t p, std::int32_t n);

// Decentration per eye from useval (a decentration, a binocular or a
// monocular distance) and the frame's distance between centres, framepd.
std::int32_t convtodec(std::int32_t useval, std::int32_t framepd);

// Monocular distance: a binocular distance cut to whole millimetres and
// halved; anything else unchanged.
std::int32_t convtomono(std::int32_t enteredpd);

// Monocular distance using the frame's distance between centres (framepd,
// below 100: whole millimetres) when it is not 0: a decentration becomes
// framepd / 2 less it, a binocular distance is rounded to whole millimetres
// and halved.
std::int32_t fullconvtomono(std::int32_t enteredpd, std::int32_t framepd);

// The height code character, "0" plus htdircode; '\0' when that is no
// 8-bit character.
char makehtdirchar(std::int32_t htdircode);

// A height converted by its code (depth below 100: whole millimetres):
// '0' gives 0, '2' -ht, '3' ht - depth / 2, '4' depth / 2 - ht, any other ht.
std::int32_t calcsvhclht(std::int32_t ht, char htdircode, std::int32_t depth);

}  // namespace kestrune
