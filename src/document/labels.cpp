#include "kestrune/document/labels.hpp"

#include <algorithm>
#include <array>

#include "kestrune/document/records.hpp"

namespace kestrune {
namespace {

constexpr std::string_view mm = "millimetres";
constexpr std::string_view lengthsmm = "lengths in millimetres";
constexpr std::string_view dioptres = "dioptres";
constexpr std::string_view degrees = "degrees";
constexpr std::string_view hundredthsmm = "hundredths of a millimetre";
constexpr std::string_view hundredthsdegree = "hundredths of a degree";
constexpr bool pereye = true;

// Sorted by label (byte order), so that a lookup is a binary search; the
// static_assert below keeps it so. A label goes in only when its meaning is
// known for certain: a wrong explanation misleads more than none.
constexpr std::array labeltable{
    tlabelmeaning{"A", "Angles of the points of an unevenly spaced outline, after its TRCFMT record", hundredthsdegree},
    tlabelmeaning{"ACCN", "Customer account number at the lab", {}},
    tlabelmeaning{"ADD", "Addition: the extra power for near vision", dioptres, pereye},
    tlabelmeaning{"AX", "Cylinder axis", degrees, pereye},
    tlabelmeaning{"BACK", "Back surface curve of the lens", {}, pereye},
    tlabelmeaning{"BEVM", "Bevel modifier: the amount that goes with the bevel position code", {}, pereye},
    tlabelmeaning{"BEVP", "Bevel position code: where the bevel sits across the edge", {}, pereye},
    tlabelmeaning{"BVD", "Back vertex distance: from the eye to the back of the lens", mm, pereye},
    tlabelmeaning{"CIRC", "Circumference of the lens shape", mm, pereye},
    tlabelmeaning{"CORRLEN", "Corridor length of a progressive lens", mm, pereye},
    tlabelmeaning{"CRIB", "Crib diameter: the size the blank is cut down to before surfacing", mm, pereye},
    tlabelmeaning{"CRIBFMT", "Format of a crib outline: the R records after it shape the crib, not the lens", {}},
    tlabelmeaning{"CTHICK", "Centre thickness of the lens", mm, pereye},
    tlabelmeaning{"CYL", "Cylinder power", dioptres, pereye},
    tlabelmeaning{"DBL", "Distance between lenses: the bridge size of the frame", mm},
    tlabelmeaning{"DIA", "Diameter of the lens blank", mm, pereye},
    tlabelmeaning{"DO", "Eyes the job is for: R right, L left, B both", {}},
    tlabelmeaning{"DRILL", "Drill hole or slot, short form: eye; x; y; diameter; end x; end y; depth; angle mode",
                  lengthsmm},
    tlabelmeaning{"DRILLE",
                  "Drill hole or slot: eye; reference point; x; y; diameter; end x; end y; depth; feature; angle mode; "
                  "lateral and vertical angles",
                  lengthsmm},
    tlabelmeaning{"ETYP", "Edge type code: how the edge is finished, such as bevel, rimless or groove", {}, pereye},
    tlabelmeaning{"EYESIZ", "Eye size of the frame, as marked on it", mm, pereye},
    tlabelmeaning{"FCOCIN", "Horizontal offset of the optical centre from the frame's box centre", mm, pereye},
    tlabelmeaning{"FCOCUP", "Vertical offset of the optical centre from the frame's box centre", mm, pereye},
    tlabelmeaning{"FCRV", "Frame curve: the base curve of the frame front", dioptres, pereye},
    tlabelmeaning{"FCSGIN", "Horizontal offset of the segment from the frame's box centre", mm, pereye},
    tlabelmeaning{"FCSGUP", "Vertical offset of the segment from the frame's box centre", mm, pereye},
    tlabelmeaning{"FED", "Frame effective diameter: twice the longest radius of the shape", mm, pereye},
    tlabelmeaning{"FMFR", "Frame manufacturer", {}},
    tlabelmeaning{"FPINB", "Front pin bevel: the small safety bevel on the front edge", mm, pereye},
    tlabelmeaning{"FRAM", "Frame model", {}},
    tlabelmeaning{"FRNT", "Front surface curve of the lens", {}, pereye},
    tlabelmeaning{"FTYP", "Frame type code: what the frame is made of or how it holds the lens", {}},
    tlabelmeaning{"FUPC", "Frame's UPC (bar code) number", {}},
    tlabelmeaning{"GAX", "Cylinder axis the surface generator cuts", degrees, pereye},
    tlabelmeaning{"GBASE", "Base curve the surface generator cuts", dioptres, pereye},
    tlabelmeaning{"GCROS", "Cross curve the surface generator cuts", dioptres, pereye},
    tlabelmeaning{"GDEPTH", "Groove depth", mm, pereye},
    tlabelmeaning{"GTHK", "Centre thickness the surface generator cuts to", mm, pereye},
    tlabelmeaning{"GWIDTH", "Groove width", mm, pereye},
    tlabelmeaning{"HBOX", "Horizontal box size A: the width of the lens shape", mm, pereye},
    tlabelmeaning{"IPD", "Far pupillary distance of one eye, from the middle of the bridge", mm, pereye},
    tlabelmeaning{"JOB", "Job number", {}},
    tlabelmeaning{"LDNAM", "Name of the lens design", {}, pereye},
    tlabelmeaning{"LDPATH", "File that holds the lens design's surface", {}, pereye},
    tlabelmeaning{"LDVEN", "Supplier of the lens design", {}, pereye},
    tlabelmeaning{"LIND", "Refractive index of the lens material", {}, pereye},
    tlabelmeaning{"LMATID", "Lens material code", {}, pereye},
    tlabelmeaning{"LMFR", "Lens manufacturer", {}, pereye},
    tlabelmeaning{"LNAM", "Lens product name or code", {}, pereye},
    tlabelmeaning{"LTYP", "Lens type code, such as SV single vision or PR progressive", {}, pereye},
    tlabelmeaning{"MINCTR", "Smallest centre thickness allowed", mm, pereye},
    tlabelmeaning{"MINEDG", "Smallest edge thickness allowed", mm, pereye},
    tlabelmeaning{"NPD", "Near pupillary distance of one eye, from the middle of the bridge", mm, pereye},
    tlabelmeaning{"OCHT", "Optical centre height above the bottom edge of the box", mm, pereye},
    tlabelmeaning{"OMAV", "Version of the record format the file was written to", {}},
    tlabelmeaning{"OPC", "Optical product code of the lens blank", {}, pereye},
    tlabelmeaning{"PANTO", "Pantoscopic tilt of the frame", degrees, pereye},
    tlabelmeaning{"PHOTO", "Photochromic lens: 1 yes, 0 no", {}},
    tlabelmeaning{"PINB", "Pin bevel: the small safety bevel on the edge", mm, pereye},
    tlabelmeaning{"POLAR", "Polarised lens: 1 yes, 0 no", {}},
    tlabelmeaning{"POLISH", "Polish the edge: 1 yes, 0 no", {}, pereye},
    tlabelmeaning{"R", "Radii of the traced outline, after its TRCFMT record", hundredthsmm},
    tlabelmeaning{"REM", "Remark: free text for the lab", {}},
    tlabelmeaning{"REQ", "Request type: which kind of data set the file holds, such as FIL, LMS or FRM", {}},
    tlabelmeaning{"RXNM", "Prescription (Rx) number", {}},
    tlabelmeaning{"SEGHT", "Segment height above the bottom edge of the box", mm, pereye},
    tlabelmeaning{"SPH", "Sphere power", dioptres, pereye},
    tlabelmeaning{"STATUS", "Status code of the answer: 0 when all went well", {}},
    tlabelmeaning{"STHKFMT", "Format of an edge thickness trace: notation; points; spacing; eye", {}},
    tlabelmeaning{"SWIDTH", "Segment width", mm, pereye},
    tlabelmeaning{"T", "Edge thicknesses of the trace, after its STHKFMT record", hundredthsmm},
    tlabelmeaning{"TIND", "Tooling index: the refractive index the surfacing tools are marked for", {}, pereye},
    tlabelmeaning{"TRCFMT",
                  "Trace format of one outline: notation; points; E equal or U uneven angles; eye R, L or B; "
                  "F frame or P pattern",
                  {}},
    tlabelmeaning{"VBOX", "Vertical box size B: the height of the lens shape", mm, pereye},
    tlabelmeaning{"VEN", "Maker of the device or program that wrote the file", {}},
    tlabelmeaning{"XSTATUS", "Detailed status: eye; code; message; severity", {}},
    tlabelmeaning{"Z", "Depths of the traced outline, after its ZFMT record", hundredthsmm},
    tlabelmeaning{"ZA", "Angles of the points of an unevenly spaced depth trace, after its ZFMT record",
                  hundredthsdegree},
    tlabelmeaning{"ZFMT", "Format of the depth trace of one outline: notation; points; spacing; eye; source", {}},
    tlabelmeaning{"ZTILT", "Frame wrap: the angle the frame front bends round the face", degrees, pereye},
};

constexpr bool bylabel(const tlabelmeaning& a, const tlabelmeaning& b) { return a.label < b.label; }
static_assert(std::is_sorted(labeltable.begin(), labeltable.end(), bylabel) &&
                  std::adjacent_find(labeltable.begin(), labeltable.end(),
                                     [](const tlabelmeaning& a, const tlabelmeaning& b) {
                                         return a.label == b.label;
                                     }) == labeltable.end(),
              "the label table must be sorted by label, each label once");

constexpr tlabelmeaning privatelabel{
    "_", "Private label of the program that wrote the file, outside the common set", {}};

}  // namespace

const tlabelmeaning* findlabel(std::string_view label) {
    if (label.empty()) return nullptr;
    if (label.front() == '_') return &privatelabel;
    const auto it = std::lower_bound(labeltable.begin(), labeltable.end(), label,
                                     [](const tlabelmeaning& m, std::string_view l) { return m.label < l; });
    return it != labeltable.end() && it->label == label ? &*it : nullptr;
}

std::span<const tlabelmeaning> knownlabels() { return labeltable; }

std::string explainlabel(const tlabelmeaning& meaning) {
    constexpr std::string_view pereyenote = "R;L: right eye, then left eye";
    std::string text(meaning.name);
    if (meaning.unit.empty() && !meaning.pereye) return text;
    text.append(" (").append(meaning.unit);
    if (meaning.pereye) text.append(meaning.unit.empty() ? "" : "; ").append(pereyenote);
    text.push_back(')');
    return text;
}

std::string explainrecord(std::string_view record) {
    const trecordparts parts = splitrecord(record);
    if (!parts.hasvalue) return {};
    const tlabelmeaning* meaning = findlabel(parts.tag);
    return meaning ? explainlabel(*meaning) : std::string();
}

}  // namespace kestrune
