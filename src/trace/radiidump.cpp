// The radii dump: the points of a radii list as comma-separated lines, for
// inspecting how a trace was decoded.
#include <cstdint>
#include <string>

#include "kestrune/shape/geometry.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {

void tradiilist::datatodebuglist(tstringlist& dbglist) {
    dbglist.clear();
    // Puts the points in angle order, so the lines come out sorted too.
    makexylists();
    const int n = readcount();
    if (n <= 0) return;

    // Fields are joined with the regional list separator; a field holding it
    // (a decimal comma where the list separator is a comma as well) is quoted.
    const char separator = QVTFormatsettings().ListSeparator;
    tstringlist fields;
    std::string line;
    dbglist.reserve(n + 1);

    for (const char* name : {"Number", "Angle", "Radius", "X", "Y"}) fields.add(name);
    listtodelimitedstr(fields, line, separator);
    dbglist.add(line);

    // One line per point, built in place: this runs once per point of a
    // trace that may hold millions of them.
    const auto addfield = [separator](std::string& out, const std::string& field) {
        if (!out.empty()) out.push_back(separator);
        const bool quote = field.find(separator) != std::string::npos && field.front() != '"';
        if (quote) out.push_back('"');
        out += field;
        if (quote) out.push_back('"');
    };
    for (int i = 0; i < n; ++i) {
        const std::string& e = element(i);
        const double angle = extractangle(e);
        const std::int32_t radius = extractradius(e);
        // The coordinates are those of xlist and ylist, computed by the same
        // rule rather than read back from their fixed-width text.
        std::int32_t x = 0, y = 0;
        polartoxy(angle, radius, x, y);
        std::string out;
        out.reserve(48);
        addfield(out, xinttostr(i));
        addfield(out, xrealtostr(angle));
        addfield(out, xrealtostr(radius));
        addfield(out, xrealtostr(x));
        addfield(out, xrealtostr(y));
        dbglist.add(std::move(out));
    }
}

}  // namespace kestrune
