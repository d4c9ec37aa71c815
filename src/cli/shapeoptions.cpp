// The shape options of info and convert: reading their numbers, and turning
// or resizing the outlines of a converted record list.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "cli.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/document/trcfmt.hpp"

namespace kestrune::cli {
namespace {

// Lengths given on the command line stay within a metre either way.
constexpr double kMaxMillimetres = 1000.0;

bool readnumber(std::string_view text, double& value) {
    if (text.empty()) return false;
    // from_chars takes no leading "+"; a sign of either kind is allowed here.
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-') return false;
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
    value = negative ? -v : v;
    return true;
}

std::string_view tagof(std::string_view record) {
    const std::size_t eq = record.find('=');
    return eq == std::string_view::npos ? record : record.substr(0, eq);
}

std::string_view valueof(std::string_view record) {
    const std::size_t eq = record.find('=');
    return eq == std::string_view::npos ? std::string_view() : record.substr(eq + 1);
}

// The eye a format value sends its trace to, as trace extraction reads it:
// an eye field starting with "R" is the right eye, anything else the left.
bool forrighteye(std::string_view formatvalue) { return formateye(formatvalue) == 'R'; }

// A format value with its notation set to "1": the points are written as
// ASCII records.
std::string asciiformat(std::string_view formatvalue) {
    const std::size_t semicolon = formatvalue.find(';');
    if (semicolon == std::string_view::npos) return "1";
    return "1" + std::string(formatvalue.substr(semicolon));
}

enum traceindex { rightradii = 0, leftradii = 1, rightz = 2, leftz = 3 };

}  // namespace

bool parsemillimetres(std::string_view text, std::size_t minimum, std::vector<std::int32_t>& hundredths) {
    hundredths.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view part = text.substr(start, comma == std::string_view::npos ? std::string_view::npos
                                                                                          : comma - start);
        double mm = 0;
        if (!readnumber(part, mm) || std::fabs(mm) > kMaxMillimetres) return false;
        hundredths.push_back(static_cast<std::int32_t>(std::nearbyint(mm * 100.0)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return hundredths.size() >= minimum;
}

bool parsedegrees(std::string_view text, double& degrees) {
    double v = 0;
    // A turn is a turn: nothing is gained beyond a few of them either way.
    if (!readnumber(text, v) || std::fabs(v) > 3600.0) return false;
    degrees = v;
    return true;
}

bool reshapetraces(tstringlist& records, const tshapechange& change) {
    std::array<tradiilist, 4> traces;
    tradiilist shown;
    shown.extractradiilistfromomalist2(records, &traces[rightradii], &traces[leftradii], true);
    if (change.rotate) shown.extractradiilistfromomalist2(records, &traces[rightz], &traces[leftz], false);
    if (traces[rightradii].readcount() == 0 && traces[leftradii].readcount() == 0) return false;

    // A trace whose format record names neither eye has no format text of its
    // own; it takes that of the last format record that fed its list.
    for (const std::string& record : records) {
        const std::string_view tag = tagof(record);
        if (tag != "TRCFMT" && tag != "ZFMT") continue;
        const bool right = forrighteye(valueof(record));
        const int i = tag == "TRCFMT" ? (right ? rightradii : leftradii) : (right ? rightz : leftz);
        tradiilist& list = traces[static_cast<std::size_t>(i)];
        if (list.readcount() > 0 && list.trcfmtstr.empty()) list.trcfmtstr = trimformatfields(valueof(record));
    }

    for (int i = rightradii; i <= leftz; ++i) {
        tradiilist& list = traces[static_cast<std::size_t>(i)];
        if (list.readcount() == 0) continue;
        const bool outline = i == rightradii || i == leftradii;
        const std::int32_t filecirc = list.omacirc;
        list.findcirc();
        const std::int32_t before = list.fcirc;
        if (change.rotate) list.rotateshape(change.degrees);
        if (outline && change.box) list.amendshape(change.a, change.b);
        // The changed points lie between the angles of an evenly spaced
        // trace; they are resampled onto them, at the trace's own count. An
        // uneven trace keeps its points and writes their angles.
        if (!list.unevenfmt()) list.convertshape(list.readcount());
        list.findabed();
        // A circumference the file gave changes by as much as the computed
        // one (not at all for a turn).
        list.findcirc();
        const std::int64_t moved = static_cast<std::int64_t>(filecirc) + list.fcirc - before;
        list.omacirc = filecirc != 0 ? static_cast<std::int32_t>(std::clamp<std::int64_t>(moved, INT32_MIN, INT32_MAX)) : 0;
    }

    // The records again: the changed traces in place of the first trace block
    // they replace, the other records as they stand. Crib or thickness data
    // after a CRIBFMT or STHKFMT record belongs to no trace and stays.
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(records.count()) + 16);
    bool placed = false;
    bool cribdata = false;
    bool skipoutline = false, skipz = false;
    auto place = [&] {
        tstringlist lines;
        for (int i = rightradii; i <= leftz; ++i) {
            const tradiilist& list = traces[static_cast<std::size_t>(i)];
            const bool outline = i == rightradii || i == leftradii;
            if (list.readcount() == 0 || (!outline && !change.rotate)) continue;
            out.push_back((outline ? "TRCFMT=" : "ZFMT=") + asciiformat(list.trcfmtstr));
            list.makeasciiradiilist(lines, outline);
            for (std::string& line : lines.items()) out.push_back(std::move(line));
        }
        placed = true;
    };
    const bool resized = change.box;
    for (const std::string& record : records) {
        const std::string_view tag = tagof(record);
        if (tag == "TRCFMT" || tag == "ZFMT") {
            cribdata = false;
            const bool right = forrighteye(valueof(record));
            const bool outline = tag == "TRCFMT";
            const int i = outline ? (right ? rightradii : leftradii) : (right ? rightz : leftz);
            const bool replaced = (outline || change.rotate) && traces[static_cast<std::size_t>(i)].readcount() > 0;
            (outline ? skipoutline : skipz) = replaced;
            if (replaced) {
                if (!placed) place();
                continue;
            }
        } else if (opensothersection(tag)) {
            cribdata = true;
        } else if (!cribdata && ((skipoutline && (tag == "R" || tag == "A")) ||
                                 (skipz && (tag == "Z" || tag == "ZA")))) {
            continue;
        } else if (tag == "HBOX" || tag == "VBOX" || tag == "CIRC" || (resized && tag == "CIRC3D")) {
            // Written afresh below from the changed outlines.
            continue;
        }
        out.push_back(record);
    }
    if (!placed) place();

    // The box records of the changed outlines, before the conversion's stamp.
    tradiilist& right = traces[rightradii];
    tradiilist& left = traces[leftradii];
    const std::array<std::string, 3> box{
        makedotchiral("CIRC", xint2tostr(right.circ()), xint2tostr(left.circ())),
        makedotchiral("HBOX", xint2tostr(right.a), xint2tostr(left.a)),
        makedotchiral("VBOX", xint2tostr(right.b), xint2tostr(left.b)),
    };
    std::size_t at = out.size();
    for (std::size_t k = 0; k < out.size(); ++k) {
        if (tagof(out[k]) == "_ASASCII") {
            at = k;
            break;
        }
    }
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(at), box.begin(), box.end());
    records.items().swap(out);
    return true;
}

}  // namespace kestrune::cli
