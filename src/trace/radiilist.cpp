#include "kestrune/trace/radiilist.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "kestrune/support/text.hpp"
#include "kestrune/trace/trcfmt.hpp"

namespace kestrune {
namespace {

// Field layout of a point element: the angle in characters 1 to 7, the
// radius from character 8 on (read back from characters 8 to 12 only).
constexpr std::size_t kAngleWidth = 7;
constexpr std::size_t kRadiusWidth = 5;

std::string_view anglefield(std::string_view element) { return element.substr(0, kAngleWidth); }

std::string_view radiusfield(std::string_view element) {
    if (element.size() <= kAngleWidth) return {};
    return element.substr(kAngleWidth, kRadiusWidth);
}

// Limits of the plausibility checks, in hundredths of a millimetre.
constexpr std::int32_t kMinRadius = 500;
constexpr std::int32_t kMaxRadius = 4500;
constexpr std::int64_t kMaxRadiusStep = 200;
constexpr std::int64_t kMaxZStep = 50;

// Decodes the format text into a temporary descriptor.
ttrcfmtsetting decodeformat(std::string_view s) {
    ttrcfmtsetting fmt;
    fmt.decodetrcfmtstr(s);
    return fmt;
}

}  // namespace

// ---- life cycle ----

tradiilist::tradiilist() {
    initrun = false;
    init();
    initrun = true;
}

void tradiilist::init() {
    if (initrun) return;
    initrun = true;
    clear();
    polygondraw = true;
    borderdraw = true;
    checkinggoodtrace = false;
    drawcross = false;
    smoothingout = false;
    framename.clear();
    framebridge = 0;
    frameeye = 0;
    frameqvttype = 0;
    frameftyp = 0;
    frameetyp = 0;
    multipletrcfmt = false;
    multiplezfmt = false;
    invalidnumberofpoints = false;
    invalidradiifound = false;
    invalidzfound = false;
    errordetail.clear();
    traceerrormessage.clear();
    drillcolor = 0;
    fixedcolor = 65280;
    shapecolor = 14799057;
    OutlineColor = 0;
    GridX = 8000;
    GridY = 8000;
    OutlineWidth = 1;
    drilleye = 'R';
    Zdata = false;
    drawinfo.hasdata = false;
}

void tradiilist::clear() {
    radiilist.clear();
    xlist.clear();
    ylist.clear();
    drawdrilllist.clear();
    drawedgeslist.clear();
    a = b = 0;
    mina = maxa = minb = maxb = 0;
    dbl = 0;
    ed = 0;
    fcirc = 0;
    omacirc = 0;
    longestradius = 0;
    longestradiusangle = 0;
    lastradiusadded = -1;
    lastjpegname.clear();
    lastjpegcirc = 0;
}

void tradiilist::clearerrors() {
    multipletrcfmt = false;
    multiplezfmt = false;
    invalidradiifound = false;
    invalidzfound = false;
    invalidnumberofpoints = false;
    errordetail.clear();
    maxradiusdiff = 0;
}

// ---- points ----

void tradiilist::addradiilist(double angle, std::int32_t radius) {
    // Bring the angle into 0 <= angle < 360. The remainder is exact, so this
    // gives what repeated subtraction of 360 gives, in one step and for any
    // magnitude. An angle that is not a number (or infinite) has no place on
    // the circle and is stored as 0.
    if (!std::isfinite(angle)) angle = 0;
    if (angle >= 360 || angle <= -360) angle = std::fmod(angle, 360.0);
    if (angle < 0) angle += 360;
    if (angle >= 360) angle = 0;  // a tiny negative angle rounds up to a full turn
    angle += 0.0;                 // -0 becomes 0

    if (radiilist.empty()) lastradiusadded = 0;
    if (!Zdata && (radius < kMinRadius || radius > kMaxRadius)) invalidradiifound = true;
    if (lastradiusadded > 0) {
        const std::int64_t d = std::llabs(static_cast<std::int64_t>(radius) - lastradiusadded);
        if (Zdata && d > kMaxZStep) invalidzfound = true;
        if (!Zdata && d > kMaxRadiusStep) invalidradiifound = true;
        // The step is held in 32 bits; a larger one is kept at the top of
        // that range rather than wrapped.
        if (d > maxradiusdiff) maxradiusdiff = d > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(d);
    }
    lastradiusadded = radius;
    try {
        radiilist.add(combineangleradius(angle, radius));
    } catch (...) {
        // Out of memory: the point is lost; the list stays usable.
    }
}

std::string tradiilist::combineangleradius(double angle, std::int32_t radius) try {
    // Fixed notation with three decimals, the decimal point always ".",
    // whatever the process locale says (so not printf).
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, angle, std::chars_format::fixed, 3);
    std::string_view text = res.ec == std::errc() ? std::string_view(buf, static_cast<std::size_t>(res.ptr - buf))
                                                  : std::string_view("0.000");
    // A value that rounds to zero is written without a sign, so it reads and
    // sorts as the zero it is.
    if (text == "-0.000") text.remove_prefix(1);
    std::string element;
    const std::string r = numstrx(radius, static_cast<int>(kRadiusWidth));
    element.reserve(std::max(text.size(), kAngleWidth) + r.size());
    if (text.size() < kAngleWidth) element.append(kAngleWidth - text.size(), ' ');
    element.append(text);
    element.append(r);
    return element;
} catch (...) {
    return std::string();
}

double tradiilist::extractangle(std::string_view element) { return xstrtoreal(anglefield(element)); }

std::int32_t tradiilist::extractradius(std::string_view element) { return xstrtoint(radiusfield(element)); }

std::string tradiilist::radiuselement(int x) const {
    if (x < 0 || x >= radiilist.count()) return std::string();
    return std::string(radiusfield(radiilist[x]));
}

std::string tradiilist::angleelement(int x) const {
    if (x < 0 || x >= radiilist.count()) return std::string();
    return std::string(trimview(anglefield(radiilist[x])));
}

std::int32_t tradiilist::extractradiuselement(int x) const {
    if (x < 0 || x >= radiilist.count()) return 0;
    return extractradius(radiilist[x]);
}

double tradiilist::extractangleelement(int x) const {
    if (x < 0 || x >= radiilist.count()) return 0;
    return extractangle(radiilist[x]);
}

const std::string& tradiilist::element(int x) const { return radiilist[x]; }

int tradiilist::readcount() const { return radiilist.count(); }

// ---- format queries ----

bool tradiilist::binaryformat() const {
    if (trcfmtstr.empty()) return false;
    return decodeformat(trcfmtstr).trcfmtmode != '1';
}

bool tradiilist::unevenfmt() const {
    if (trcfmtstr.empty()) return false;
    return decodeformat(trcfmtstr).spacing == 'U';
}

// ---- verdict and fixed area ----

bool tradiilist::goodtrace() {
    // Each later flag overrides the message of an earlier one.
    traceerrormessage.clear();
    if (multipletrcfmt || multiplezfmt) traceerrormessage = kMultipleRadiiFormats;
    if (invalidnumberofpoints) traceerrormessage = kInvalidNumberOfPoints;
    if (invalidradiifound) traceerrormessage = kSuspectRadii;
    if (invalidzfound) traceerrormessage = kSuspectZ;
    return traceerrormessage.empty();
}

bool tradiilist::hasfixedarea() const { return fixend != fixstart; }

bool tradiilist::infixedarea(double angle) const {
    if (fixend >= fixstart) return fixstart <= angle && angle <= fixend;
    return angle >= fixstart || angle <= fixend;  // a range across 0
}

}  // namespace kestrune
