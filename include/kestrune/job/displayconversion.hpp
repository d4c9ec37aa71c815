// The display conversion of an OMA document: a second record list in which
// every trace of the file is written as ASCII numbers, so that traces stored
// in a packed binary notation can be read in a text box or by any program.
#pragma once

#include <cstdint>
#include <string>

#include "kestrune/document/omafile.hpp"
#include "kestrune/support/stringlist.hpp"

namespace kestrune {

// Fills newlist (emptied first) with the records of oma for display: every
// decoded trace rewritten as a format record of notation "1" with ASCII
// radius (and, where needed, angle) records, the other records copied in
// file order, box records where the file has none, and an _ASASCII stamp. A
// file whose traces are all ASCII already (and that is not to be resized,
// mirrored or made even) is copied record for record. The records of a
// trace that cannot be decoded are copied as they stand. mirroring gives a
// missing eye the mirror image of the other; deltachange (hundredths of a
// millimetre) grows both outlines unless the file says it was resized
// already; forceeven resamples uneven traces to equal angles. False when
// newlist is null or is oma.omalist itself.
bool omafileasascii(tomafileobj& oma, tstringlist* newlist, bool mirroring, std::int32_t deltachange, bool forceeven);
inline bool omafileasascii(tomafileobj& oma, tstringlist& newlist, bool mirroring, std::int32_t deltachange,
                           bool forceeven) {
    return omafileasascii(oma, &newlist, mirroring, deltachange, forceeven);
}

// The first format record of a converted list (what omafileasascii gave)
// whose trace is still stored in a packed notation: a trace that could not
// be decoded keeps its records as they stand. Empty when every trace of the
// list is written as ASCII records.
std::string packedformatrecord(const tstringlist& newlist);

}  // namespace kestrune
