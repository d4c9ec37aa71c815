// The trace check of an OMA document: one line of text saying what is wrong
// with the file's traces, or empty text when nothing is.
#pragma once

#include <string>

#include "kestrune/document/omafile.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {

// The outline extraction the trace check makes on its way: the shape to show
// and both eyes, as tradiilist::extractradiilistfromomalist2 (outline pass)
// leaves them on fresh lists. valid is false when the check decoded records
// that such an extraction leaves alone (points past a declared count, or a
// declared count of 0), so that the lists may differ from it.
struct toutlineextraction {
    tradiilist shown, right, left;
    bool valid = false;
};

// Verdict prefix of the binary-data scan; the offending tag follows it.
inline constexpr const char* kCorruptBinaryData = "Corrupt binary data with tag ";

// The verdict on the file's traces: the first failure in the order right
// radii, left radii, right Z, left Z (Z only when CheckZ is set), then
// binary data in a record that should hold text. Empty text when nothing is
// wrong. oma.errorslist is refilled with at most one detail message, which
// may be the empty text. Needs oma.omalist filled; changes nothing else.
// When outlines is given, it receives the outline extraction of the check's
// first pass (valid when it is what an extraction for display gives), so
// that a caller who shows the traces need not decode the records again.
std::string goodtrace(tomafileobj& oma, bool CheckZ, toutlineextraction* outlines = nullptr);

}  // namespace kestrune
