// Turning and resizing the outlines of a job: the display conversion of a
// document (its traces as ASCII records) with the outlines turned by an
// angle and brought to a box, written back in place of their records.
#pragma once

#include <cstdint>

#include "kestrune/document/omafile.hpp"
#include "kestrune/support/stringlist.hpp"

namespace kestrune {

// What is changed in the outlines.
struct tshapechange {
    bool rotate = false;
    double degrees = 0;  // added to every angle, of the outlines and their depth traces
    bool box = false;
    std::int32_t a = 0, b = 0;  // the box each outline is brought to, hundredths of a millimetre

    bool any() const { return rotate || box; }
};

enum class treshapeoutcome {
    reshaped,      // newlist holds the job with its outlines changed
    notconverted,  // the conversion failed (out of memory): newlist is empty
    packedtrace,   // a trace could not be decoded (packedformatrecord names it)
    nooutline,     // a change was asked of a job without an outline
    // Trace records that no format record announces (records of a trace
    // after its block was broken off by another record): there is no format
    // to write them back under.
    unannouncedtrace,
};

// Fills newlist with the display conversion of oma (omafileasascii, neither
// mirrored, resized nor made even), then changes its traces: turns each
// trace, outlines and depth traces alike, counter-clockwise by the angle,
// then brings each outline to the box (amendshape). A changed trace is
// written again under its format record in place of the first trace block of
// the list: an evenly spaced one at its own point count and equal angles, an
// uneven one with its points and their angles. CIRC, HBOX and VBOX are
// written afresh from the changed outlines, before the _ASASCII stamp (a
// circumference the file gave moves by as much as the computed one); a box
// drops CIRC3D, which no longer fits the shape. Every other record stays, in
// order. Without a change asked, newlist is the conversion as it stands.
// Unless the outcome is reshaped or notconverted, newlist holds the
// conversion unchanged.
treshapeoutcome reshapeoutlines(tomafileobj& oma, tstringlist& newlist, const tshapechange& change);

}  // namespace kestrune
