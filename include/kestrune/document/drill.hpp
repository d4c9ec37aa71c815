// Drill lines: one DRILLE or DRILL record of an OMA file in decoded form.
//
// A DRILLE record describes one hole or slot of a lens:
//   DRILLE=eye;reference;x;y;diameter;endx;endy;depth;feature;anglemode;lateral;vertical
// and a DRILL record the shorter layout
//   DRILL=eye;x;y;diameter;endx;endy;depth;anglemode
// Lengths are millimetres in the record (point or comma as decimal mark) and
// hundredths of a millimetre in the drill line; coordinates are in the shape's
// frame, measured from the point the reference location names ("C" centre).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

struct drilllinedefn {
    std::string tagstr;             // DRILL or DRILLE
    char eyecode = 'B';             // 'R', 'L' or 'B' (both eyes)
    std::string feature = "0";      // DRILLE feature as a one-character text; "0" for DRILL
    std::string reflocation = "C";  // "C" shape centre; "E" plus a letter: from the edge
    std::int32_t startx = 0;        // hole, or slot start
    std::int32_t starty = 0;
    std::int32_t diameter = 0;
    std::int32_t endx = 0;  // slot end; equal to the start for a round hole
    std::int32_t endy = 0;
    std::int32_t depth = 0;
    char anglemode = 'F';        // '\0', 'A', 'B' or 'F'
    std::int32_t latangle = 0;   // lateral drilling angle, whole degrees
    std::int32_t vertangle = 0;  // vertical drilling angle, whole degrees
    bool alwaysini2 = false;     // write DRILLE angles divided by 100 with two decimals
    bool nulldepth = false;      // the record gave no depth
    bool nullend = false;        // the record gave no end point (a round hole)

    // Back to the defaults; tagstr and alwaysini2 keep their values.
    void clear();
    // Fills the line from one record (tag, "=" and value). Never fails:
    // unreadable numbers give 0, missing fields count as empty, and a value
    // shorter than 10 characters or a tag other than DRILL and DRILLE leaves
    // the defaults.
    void decodedrill(std::string_view s);
    // The record text for the line; an empty tagstr is written as DRILL.
    std::string encodedrill() const;
};

}  // namespace kestrune
