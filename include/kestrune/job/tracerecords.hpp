// A job's records seen as its four traces: which trace a format record
// feeds, which records stay when the decoded traces are written again as
// ASCII records, and the writing of a trace and of the box records. The
// display conversion and the reshaping of outlines walk a job this way.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "kestrune/support/stringlist.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {

// The four traces of a job, in the order they are written.
enum traceindex { rightradii = 0, leftradii = 1, rightz = 2, leftz = 3 };

inline bool isoutline(int trace) { return trace == rightradii || trace == leftradii; }

struct ttraceset {
    std::array<tradiilist, 4> lists;
    tradiilist& operator[](int trace) { return lists[static_cast<std::size_t>(trace)]; }
    const tradiilist& operator[](int trace) const { return lists[static_cast<std::size_t>(trace)]; }
    // Whether the right or the left outline holds a point.
    bool hasoutline() const;
};

// Whether a tag is that of a trace record: TRCFMT, ZFMT, R, Z, A or ZA.
bool istracetag(std::string_view tag);

// The trace a format record feeds, by its tag (TRCFMT an outline, ZFMT a
// depth trace) and the eye of its value: an eye field starting with "R" is
// the right eye's, any other the left's, as trace extraction sends them.
// -1 for a record that is no format record.
int fedtrace(std::string_view tag, std::string_view value);

// What one walk over a job's records tells before its traces are written.
struct trecordsurvey {
    bool anytracerecord = false;  // the job holds a trace record of any kind
    // Per trace, the value (fields trimmed) of the format record that fed it
    // last; empty when none did.
    std::array<std::string, 4> lastformat;
};
trecordsurvey surveyrecords(const tstringlist& records);

// A trace whose format record names neither eye has no format text of its
// own after extraction; it takes that of the format record that fed it last.
void fillformats(ttraceset& traces, const trecordsurvey& survey);

// Decides, record by record in file order, which records of a job stay
// beside its traces written afresh. The records of a trace with points (its
// format record and the radius and angle records after it) give way to the
// written trace. Those of a trace without points (a notation that is not
// decoded, damaged data) stay as they stand, and so do records before any
// format record and the crib or thickness data after a CRIBFMT or STHKFMT
// record, which belong to no trace.
class ttracerecordfilter {
public:
    enum class tfate {
        kept,
        replacedformat,  // the format record of a trace written afresh
        replaceddata,    // a radius or angle record of such a trace
    };

    explicit ttracerecordfilter(const ttraceset& traces) : traces_(traces) {}
    tfate classify(std::string_view tag, std::string_view value);

private:
    const ttraceset& traces_;
    bool otherdata_ = false;  // inside a crib or thickness section
    bool replacingoutline_ = false;
    bool replacingz_ = false;
};

// Appends a trace as ASCII records to out: "TRCFMT=" (for a depth trace
// "ZFMT=") and formatvalue, then its radius records and, for an uneven
// trace, its angle records.
void writeasciitrace(const tradiilist& trace, bool outline, std::string_view formatvalue, tstringlist& out);

// The CIRC record of the right and left outlines' circumferences (when
// withcircumference), then their HBOX and VBOX records from the box as last
// measured (findabed): millimetres with two decimals and a point, the right
// eye first ("HBOX=52.00;50.00").
std::vector<std::string> boxrecords(tradiilist& right, tradiilist& left, bool withcircumference);

}  // namespace kestrune
