#include "kestrune/document/drill.hpp"

#include "kestrune/document/records.hpp"

#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

// Values shorter than this are not drill data.
constexpr std::size_t kMinDrillValue = 10;

// A length in hundredths written as millimetres with two decimals and a point,
// whatever the regional decimal mark.
std::string lengthfield(std::int32_t v) {
    std::string s = xint2tostr(v);
    for (char& c : s)
        if (c == ',') c = '.';
    return s;
}

// An end coordinate or a DRILL depth: 0 is written as an empty field.
std::string optionallength(std::int32_t v) { return v == 0 ? std::string() : lengthfield(v); }

// Drilling angle: small values are whole degrees; from 100 up the value is
// taken as hundredths of a degree and written with two decimals.
std::string anglefield(std::int32_t v, bool hundredths) {
    return (hundredths || v >= 100) ? lengthfield(v) : xinttostr(v);
}

std::string charfield(char c) { return c == '\0' ? std::string() : std::string(1, c); }

// Joins the fields with ";" after the tag, dropping trailing empty fields. A
// field holding ";" is quoted so that it reads back as one field.
std::string joinrecord(std::string_view tag, std::string* fields, std::size_t n) {
    while (n > 0 && fields[n - 1].empty()) --n;
    std::string s(tag);
    s += '=';
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) s += ';';
        const std::string& f = fields[i];
        if (f.find(';') != std::string::npos && (f.empty() || f.front() != '"')) {
            s += '"';
            s += f;
            s += '"';
        } else {
            s += f;
        }
    }
    return s;
}

}  // namespace

void drilllinedefn::clear() {
    eyecode = 'B';
    reflocation = "C";
    feature = "0";
    anglemode = 'F';
    startx = starty = diameter = endx = endy = depth = 0;
    latangle = vertangle = 0;
    nulldepth = false;
    nullend = false;
}

void drilllinedefn::decodedrill(std::string_view s) {
    clear();
    const trecordparts parts = splitrecord(s);
    tagstr.assign(parts.tag);
    // The value's blanks do not count; a record without "=" is read whole.
    const std::string_view value = trimview(parts.hasvalue ? parts.value : s);
    if (value.size() < kMinDrillValue) return;

    const bool isdrille = tagstr == "DRILLE";
    if (!isdrille && tagstr != "DRILL") return;

    tstringlist fields;
    delimitedstrtolist(value, fields, ';');
    // A missing field reads as the empty text.
    auto field = [&fields](int i) -> const std::string& { return fields[i]; };
    auto length = [&field](int i) { return xstrtoint2(field(i)); };
    auto readdepth = [&](int i) {
        depth = length(i);
        nulldepth = trimview(field(i)).empty();
    };

    eyecode = firstchar(field(0));
    if (isdrille) {
        reflocation = field(1);
        startx = length(2);
        starty = length(3);
        diameter = length(4);
        endx = length(5);
        endy = length(6);
        readdepth(7);
        feature.assign(1, firstchar(field(8)));
        anglemode = firstchar(field(9));
        latangle = xstrtoint0(field(10));
        vertangle = xstrtoint0(field(11));
    } else {
        startx = length(1);
        starty = length(2);
        diameter = length(3);
        endx = length(4);
        endy = length(5);
        readdepth(6);
        anglemode = firstchar(field(7));
    }

    nullend = false;
    // Complete the line once it describes a hole. A hole on the vertical axis
    // (x 0) is a hole like any other: its end must still default to its start,
    // or it would be drawn as a slot running to the centre.
    if (startx != 0 || starty != 0 || diameter != 0) {
        if (eyecode == '\0') eyecode = 'B';
        if (anglemode != '\0' && anglemode != 'A' && anglemode != 'B' && anglemode != 'F') anglemode = 'F';
        if (endx == 0) {
            endx = startx;
            if (endy == 0) nullend = true;
        }
        if (endy == 0) endy = starty;
    }
}

std::string drilllinedefn::encodedrill() const {
    if (tagstr == "DRILLE") {
        std::string f[12];
        f[0] = charfield(eyecode);
        f[1] = reflocation;
        f[2] = lengthfield(startx);
        f[3] = lengthfield(starty);
        f[4] = lengthfield(diameter);
        if (!(nullend && endx == startx && endy == starty)) {
            f[5] = optionallength(endx);
            f[6] = optionallength(endy);
        }
        if (!nulldepth) f[7] = lengthfield(depth);
        if (!(feature.size() == 1 && feature[0] == '\0')) f[8] = feature;
        if (anglemode != '\0') {
            f[9] = std::string(1, anglemode);
            f[10] = anglefield(latangle, alwaysini2);
            f[11] = anglefield(vertangle, alwaysini2);
        }
        return joinrecord(tagstr, f, 12);
    }

    std::string f[10];
    f[0] = charfield(eyecode);
    f[1] = lengthfield(startx);
    f[2] = lengthfield(starty);
    f[3] = lengthfield(diameter);
    // A round hole is written without its end point, as it was read, so the
    // record reads back as a hole and not as a slot of no length.
    if (!(nullend && endx == startx && endy == starty)) {
        f[4] = optionallength(endx);
        f[5] = optionallength(endy);
    }
    f[6] = optionallength(depth);
    if (anglemode != '\0') {
        f[7] = std::string(1, anglemode);
        f[8] = anglefield(latangle, false);
        f[9] = xinttostr(vertangle);
    }
    return joinrecord(tagstr.empty() ? std::string_view("DRILL") : std::string_view(tagstr), f, 10);
}

}  // namespace kestrune
