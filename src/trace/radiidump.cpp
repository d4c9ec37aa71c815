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

    for (int i = 0; i < n; ++i) {
        const std::string& e = element(i);
        const double angle = extractangle(e);
        const std::int32_t radius = extractradius(e);
        // The coordinates are those of xlist and ylist, computed by the same
        // rule rather than read back from their fixed-width text.
        std::int32_t x = 0, y = 0;
        polartoxy(angle, radius, x, y);
        fields.clear();
        fields.add(xinttostr(i));
        fields.add(xrealtostr(angle));
        fields.add(xrealtostr(radius));
        fields.add(xrealtostr(x));
        fields.add(xrealtostr(y));
        listtodelimitedstr(fields, line, separator);
        dbglist.add(line);
    }
}

}  // namespace kestrune
