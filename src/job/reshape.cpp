#include "kestrune/job/reshape.hpp"

#include <algorithm>
#include <climits>
#include <exception>
#include <string>
#include <string_view>

#include "kestrune/document/records.hpp"
#include "kestrune/document/trcfmt.hpp"
#include "kestrune/job/displayconversion.hpp"
#include "kestrune/job/tracerecords.hpp"

namespace kestrune {
namespace {

// The format value a changed trace is written under. In the converted list
// every decoded trace declares ASCII already, so its value stays as the
// conversion (or the file) wrote it; only a notation not written plainly as
// "1" is written so.
std::string reshapedformat(std::string_view trcfmtstr) {
    if (trcfmtstr == "1" || trcfmtstr.starts_with("1;")) return std::string(trcfmtstr);
    return makeasciifmt(trcfmtstr);
}

void changetrace(tradiilist& trace, bool outline, const tshapechange& change) {
    const std::int32_t filecirc = trace.omacirc;
    trace.findcirc();
    const std::int32_t before = trace.fcirc;
    if (change.rotate) trace.rotateshape(change.degrees);
    if (outline && change.box) trace.amendshape(change.a, change.b);
    // The changed points lie between the angles of an evenly spaced trace;
    // they are resampled onto them, at the trace's own count. An uneven
    // trace keeps its points and writes their angles.
    if (!trace.unevenfmt()) trace.convertshape(trace.readcount());
    trace.findabed();
    // A circumference the file gave changes by as much as the computed one
    // (not at all for a turn).
    trace.findcirc();
    const std::int64_t moved = static_cast<std::int64_t>(filecirc) + trace.fcirc - before;
    trace.omacirc =
        filecirc != 0 ? static_cast<std::int32_t>(std::clamp<std::int64_t>(moved, INT32_MIN, INT32_MAX)) : 0;
}

bool isboxrecord(std::string_view tag, const tshapechange& change) {
    return tag == "HBOX" || tag == "VBOX" || tag == "CIRC" || (change.box && tag == "CIRC3D");
}

}  // namespace

treshapeoutcome reshapeoutlines(tomafileobj& oma, tstringlist& newlist, const tshapechange& change) {
    if (!omafileasascii(oma, newlist, false, 0, false)) return treshapeoutcome::notconverted;
    try {
        if (!packedformatrecord(newlist).empty()) return treshapeoutcome::packedtrace;
        if (!change.any()) return treshapeoutcome::reshaped;

        // The traces as the converted list holds them; depth traces only
        // when they turn.
        ttraceset traces;
        tradiilist extractor;
        extractor.extractradiilistfromomalist2(newlist, &traces[rightradii], &traces[leftradii], true);
        if (change.rotate) extractor.extractradiilistfromomalist2(newlist, &traces[rightz], &traces[leftz], false);
        if (!traces.hasoutline()) return treshapeoutcome::nooutline;
        fillformats(traces, surveyrecords(newlist));
        for (const tradiilist& trace : traces.lists) {
            if (trace.readcount() > 0 && trace.trcfmtstr.empty()) return treshapeoutcome::unannouncedtrace;
        }
        for (int i = rightradii; i <= leftz; ++i) {
            if (traces[i].readcount() > 0) changetrace(traces[i], isoutline(i), change);
        }

        // The records again: the changed traces together in place of the
        // first trace block they replace, the other records as they stand
        // but for the box records, which are written afresh.
        tstringlist out;
        out.reserve(newlist.count() + 16);
        bool placed = false;
        const auto place = [&] {
            for (int i = rightradii; i <= leftz; ++i) {
                const tradiilist& trace = traces[i];
                if (trace.readcount() > 0) writeasciitrace(trace, isoutline(i), reshapedformat(trace.trcfmtstr), out);
            }
            placed = true;
        };
        ttracerecordfilter filter(traces);
        for (const std::string& record : newlist) {
            const trecordparts parts = splitrecord(record);
            switch (filter.classify(parts.tag, parts.value)) {
                case ttracerecordfilter::tfate::replacedformat:
                    if (!placed) place();
                    continue;
                case ttracerecordfilter::tfate::replaceddata:
                    continue;
                case ttracerecordfilter::tfate::kept:
                    break;
            }
            if (!isboxrecord(parts.tag, change)) out.add(record);
        }
        if (!placed) place();

        // The box records of the changed outlines, before the conversion's
        // stamp.
        std::vector<std::string>& records = out.items();
        const auto stamp = std::find_if(records.begin(), records.end(),
                                        [](const std::string& record) { return recordtag(record) == "_ASASCII"; });
        const std::vector<std::string> box = boxrecords(traces[rightradii], traces[leftradii], true);
        records.insert(stamp, box.begin(), box.end());
        newlist.items().swap(records);
        return treshapeoutcome::reshaped;
    } catch (const std::exception&) {
        // Out of memory on a hostile file: no half-made list is left.
        newlist.clear();
        return treshapeoutcome::notconverted;
    }
}

}  // namespace kestrune
