#include "kestrune/job/tracerecords.hpp"

#include "kestrune/document/records.hpp"
#include "kestrune/document/trcfmt.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

bool isoutlinedata(std::string_view tag) { return tag == "R" || tag == "A"; }
bool iszdata(std::string_view tag) { return tag == "Z" || tag == "ZA"; }

}  // namespace

bool ttraceset::hasoutline() const { return lists[rightradii].readcount() > 0 || lists[leftradii].readcount() > 0; }

bool istracetag(std::string_view tag) { return tag == "TRCFMT" || tag == "ZFMT" || isoutlinedata(tag) || iszdata(tag); }

int fedtrace(std::string_view tag, std::string_view value) {
    const bool outline = tag == "TRCFMT";
    if (!outline && tag != "ZFMT") return -1;
    const bool right = formateye(value) == 'R';
    return outline ? (right ? rightradii : leftradii) : (right ? rightz : leftz);
}

trecordsurvey surveyrecords(const tstringlist& records) {
    trecordsurvey s;
    for (const std::string& record : records) {
        const trecordparts parts = splitrecord(record);
        if (istracetag(parts.tag)) s.anytracerecord = true;
        const int trace = fedtrace(parts.tag, parts.value);
        if (trace >= 0) s.lastformat[static_cast<std::size_t>(trace)] = trimformatfields(parts.value);
    }
    return s;
}

void fillformats(ttraceset& traces, const trecordsurvey& survey) {
    for (int i = rightradii; i <= leftz; ++i) {
        tradiilist& trace = traces[i];
        if (trace.readcount() > 0 && trace.trcfmtstr.empty())
            trace.trcfmtstr = survey.lastformat[static_cast<std::size_t>(i)];
    }
}

ttracerecordfilter::tfate ttracerecordfilter::classify(std::string_view tag, std::string_view value) {
    const int trace = fedtrace(tag, value);
    if (trace >= 0) {
        otherdata_ = false;
        const bool replaced = traces_[trace].readcount() > 0;
        (isoutline(trace) ? replacingoutline_ : replacingz_) = replaced;
        return replaced ? tfate::replacedformat : tfate::kept;
    }
    if (opensothersection(tag)) {
        otherdata_ = true;
        return tfate::kept;
    }
    if (!otherdata_ && ((replacingoutline_ && isoutlinedata(tag)) || (replacingz_ && iszdata(tag))))
        return tfate::replaceddata;
    return tfate::kept;
}

void writeasciitrace(const tradiilist& trace, bool outline, std::string_view formatvalue, tstringlist& out) {
    std::string format(outline ? "TRCFMT=" : "ZFMT=");
    format += formatvalue;
    out.add(std::move(format));
    tstringlist lines;
    trace.makeasciiradiilist(lines, outline);
    for (std::string& line : lines.items()) out.add(std::move(line));
}

std::vector<std::string> boxrecords(tradiilist& right, tradiilist& left, bool withcircumference) {
    std::vector<std::string> records;
    records.reserve(3);
    if (withcircumference) records.push_back(makedotchiral("CIRC", xint2tostr(right.circ()), xint2tostr(left.circ())));
    records.push_back(makedotchiral("HBOX", xint2tostr(right.a), xint2tostr(left.a)));
    records.push_back(makedotchiral("VBOX", xint2tostr(right.b), xint2tostr(left.b)));
    return records;
}

}  // namespace kestrune
