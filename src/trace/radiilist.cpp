#include "kestrune/trace/radiilist.hpp"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

#include "kestrune/support/text.hpp"
#include "kestrune/document/trcfmt.hpp"

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

// ---- the usual element layout as numbers ----
//
// An element "aaa.ddd" + radius is held as the angle in thousandths of a
// degree (0 to 999999, so the angle field is exactly 7 characters) and a
// radius from -9999 to 99999 (exactly 5 characters). Within these ranges the
// text and the numbers map one to one, the field read back as a real is
// thousandths / 1000 (the nearest double to the decimal text), and ascending
// angle text is ascending thousandths.

constexpr std::int32_t kMaxThousandths = 999999;
constexpr std::int32_t kMinStandardRadius = -9999;
constexpr std::int32_t kMaxStandardRadius = 99999;
constexpr std::size_t kElementWidth = kAngleWidth + kRadiusWidth;

bool standardradius(std::int32_t r) { return r >= kMinStandardRadius && r <= kMaxStandardRadius; }

// Writes the 7-character angle field of t thousandths (0 to 999999) into out.
void writeanglefield(std::int32_t t, char* out) {
    char digits[8];
    int n = 0;
    // Three decimals, the point, then the whole degrees (at least "0").
    std::int32_t v = std::clamp(t, 0, kMaxThousandths);
    for (int k = 0; k < 3; ++k, v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
    digits[n++] = '.';
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    const int pad = static_cast<int>(kAngleWidth) - n;
    for (int k = 0; k < pad; ++k) out[k] = ' ';
    for (int k = 0; k < n; ++k) out[pad + k] = digits[n - 1 - k];
}

// Writes the 5-character radius field of a standard radius into out, as
// numstrx(r, 5) writes it.
void writeradiusfield(std::int32_t r, char* out) {
    char digits[6];
    int n = 0;
    r = std::clamp(r, kMinStandardRadius, kMaxStandardRadius);
    std::int32_t v = r < 0 ? -r : r;
    do {
        digits[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    if (r < 0) digits[n++] = '-';
    const int pad = static_cast<int>(kRadiusWidth) - n;
    for (int k = 0; k < pad; ++k) out[k] = ' ';
    for (int k = 0; k < n; ++k) out[pad + k] = digits[n - 1 - k];
}

// The angle in thousandths as the element text writes it (fixed notation,
// three decimals, rounded from the exact binary value), when that can be
// told from angle * 1000 without doubt and lies in the standard range. The
// product is off by far less than 1e-6, so only a product this close to a
// half leaves the rounding in doubt; the caller then writes the text.
bool fastthousandths(double angle, std::int32_t& t) {
    if (!(angle >= 0.0 && angle < 1000.0)) return false;
    const double p = angle * 1000.0;
    const double whole = std::floor(p);
    const double frac = p - whole;
    if (std::fabs(frac - 0.5) < 1e-6) return false;
    const double rounded = frac < 0.5 ? whole : whole + 1.0;
    if (rounded > kMaxThousandths) return false;
    t = static_cast<std::int32_t>(rounded);
    return true;
}

// Reads an element text in the usual layout into its numbers; false for any
// other text. The text is written again from the numbers and compared, so
// that exactly the texts the numbers give back are taken.
bool parsestandard(std::string_view e, std::int32_t& t, std::int32_t& r) {
    if (e.size() != kElementWidth) return false;
    std::size_t i = 0;
    while (i < kAngleWidth && e[i] == ' ') ++i;
    std::int32_t whole = 0;
    std::size_t wholedigits = 0;
    for (; i < kAngleWidth && e[i] >= '0' && e[i] <= '9'; ++i, ++wholedigits) whole = whole * 10 + (e[i] - '0');
    if (wholedigits == 0 || i != kAngleWidth - 4 || e[i] != '.') return false;
    std::int32_t frac = 0;
    for (++i; i < kAngleWidth; ++i) {
        if (e[i] < '0' || e[i] > '9') return false;
        frac = frac * 10 + (e[i] - '0');
    }
    std::size_t k = kAngleWidth;
    while (k < kElementWidth && e[k] == ' ') ++k;
    bool negative = false;
    if (k < kElementWidth && e[k] == '-') {
        negative = true;
        ++k;
    }
    if (k == kElementWidth) return false;
    std::int32_t v = 0;
    for (; k < kElementWidth; ++k) {
        if (e[k] < '0' || e[k] > '9') return false;
        v = v * 10 + (e[k] - '0');
    }
    t = whole * 1000 + frac;
    r = negative ? -v : v;
    if (t > kMaxThousandths || !standardradius(r)) return false;
    char again[kElementWidth];
    writeanglefield(t, again);
    writeradiusfield(r, again + kAngleWidth);
    return e == std::string_view(again, kElementWidth);
}

std::string standardtext(std::int32_t t, std::int32_t r) {
    char buf[kElementWidth];
    writeanglefield(t, buf);
    writeradiusfield(r, buf + kAngleWidth);
    return std::string(buf, kElementWidth);
}

}  // namespace

// ---- the point list ----

tpointlist::entry tpointlist::makeentry(std::string_view element) {
    std::int32_t t = 0, r = 0;
    if (parsestandard(element, t, r)) return entry{t, r};
    texts_.emplace_back(element);
    return entry{kTextEntry, static_cast<std::int32_t>(texts_.size() - 1)};
}

void tpointlist::clear() {
    points_.clear();
    texts_.clear();
}

void tpointlist::reserve(int n) {
    if (n > 0) points_.reserve(static_cast<std::size_t>(n));
}

std::string tpointlist::operator[](int i) const {
    if (i < 0 || i >= count()) return std::string();
    const entry& e = points_[static_cast<std::size_t>(i)];
    if (e.angle == kTextEntry) return std::string(textof(e));
    return standardtext(e.angle, e.radius);
}

double tpointlist::angle(int i) const {
    if (i < 0 || i >= count()) return 0;
    const entry& e = points_[static_cast<std::size_t>(i)];
    if (e.angle == kTextEntry) return tradiilist::extractangle(textof(e));
    return e.angle / 1000.0;
}

std::int32_t tpointlist::radius(int i) const {
    if (i < 0 || i >= count()) return 0;
    const entry& e = points_[static_cast<std::size_t>(i)];
    if (e.angle == kTextEntry) return tradiilist::extractradius(textof(e));
    return e.radius;
}

bool tpointlist::anglethousandths(int i, std::int32_t& thousandths) const {
    if (i < 0 || i >= count()) return false;
    const entry& e = points_[static_cast<std::size_t>(i)];
    if (e.angle == kTextEntry) return false;
    thousandths = e.angle;
    return true;
}

std::string tpointlist::radiustext(int i) const {
    if (i < 0 || i >= count()) return std::string();
    const entry& e = points_[static_cast<std::size_t>(i)];
    if (e.angle != kTextEntry) return xinttostr(e.radius);
    const std::string_view text = textof(e);
    return text.size() <= kAngleWidth ? std::string() : trim(text.substr(kAngleWidth));
}

std::int32_t tpointlist::radiustextvalue(int i) const {
    if (i < 0 || i >= count()) return 0;
    const entry& e = points_[static_cast<std::size_t>(i)];
    if (e.angle != kTextEntry) return e.radius;
    return xstrtoint(radiustext(i));
}

void tpointlist::add(std::string_view element) { points_.push_back(makeentry(element)); }

bool tpointlist::addstandard(std::int32_t thousandths, std::int32_t radius) {
    if (!standardradius(radius)) return false;
    points_.push_back(entry{std::clamp(thousandths, 0, kMaxThousandths), radius});
    return true;
}

void tpointlist::addpoint(double angle, std::int32_t radius) {
    std::int32_t t = 0;
    if (standardradius(radius) && fastthousandths(angle, t)) {
        points_.push_back(entry{t, radius});
        return;
    }
    add(tradiilist::combineangleradius(angle, radius));
}

void tpointlist::set(int i, std::string_view element) {
    if (i < 0 || i >= count()) return;
    entry& e = points_[static_cast<std::size_t>(i)];
    std::int32_t t = 0, r = 0;
    if (parsestandard(element, t, r)) {
        e = entry{t, r};
    } else if (e.angle == kTextEntry) {
        texts_[static_cast<std::size_t>(e.radius)].assign(element);  // the slot is reused
    } else {
        e = makeentry(element);
    }
}

void tpointlist::setpoint(int i, double angle, std::int32_t radius) {
    if (i < 0 || i >= count()) return;
    std::int32_t t = 0;
    if (standardradius(radius) && fastthousandths(angle, t)) {
        points_[static_cast<std::size_t>(i)] = entry{t, radius};
        return;
    }
    set(i, tradiilist::combineangleradius(angle, radius));
}

void tpointlist::insert(int i, std::string_view element) {
    if (i < 0 || i > count()) return;
    const entry e = makeentry(element);
    points_.insert(points_.begin() + i, e);
}

void tpointlist::remove(int i) {
    if (i < 0 || i >= count()) return;
    points_.erase(points_.begin() + i);
}

bool tpointlist::less(const entry& x, const entry& y) const {
    if (x.angle != kTextEntry && y.angle != kTextEntry) {
        if (x.angle != y.angle) return x.angle < y.angle;
        if (x.radius == y.radius) return false;
        char a[kRadiusWidth], b[kRadiusWidth];
        writeradiusfield(x.radius, a);
        writeradiusfield(y.radius, b);
        return std::string_view(a, kRadiusWidth) < std::string_view(b, kRadiusWidth);
    }
    const std::string xs = x.angle == kTextEntry ? std::string(textof(x)) : standardtext(x.angle, x.radius);
    const std::string ys = y.angle == kTextEntry ? std::string(textof(y)) : standardtext(y.angle, y.radius);
    return comparetext(xs, ys) < 0;
}

bool tpointlist::issorted() const {
    return std::is_sorted(points_.begin(), points_.end(),
                          [this](const entry& x, const entry& y) { return less(x, y); });
}

void tpointlist::sort() {
    if (issorted()) return;
    std::stable_sort(points_.begin(), points_.end(), [this](const entry& x, const entry& y) { return less(x, y); });
}

std::vector<std::string> tpointlist::items() const {
    std::vector<std::string> out;
    out.reserve(points_.size());
    for (int i = 0; i < count(); ++i) out.push_back((*this)[i]);
    return out;
}

tpointlist& tpointlist::operator=(const tstringlist& texts) {
    tpointlist fresh;
    fresh.reserve(texts.count());
    for (const std::string& text : texts) fresh.add(text);
    swap(fresh);
    return *this;
}

void tpointlist::swap(tpointlist& other) noexcept {
    points_.swap(other.points_);
    texts_.swap(other.texts_);
}

bool operator==(const tpointlist& x, const tpointlist& y) {
    if (x.count() != y.count()) return false;
    for (std::size_t i = 0; i < x.points_.size(); ++i) {
        const tpointlist::entry& a = x.points_[i];
        const tpointlist::entry& b = y.points_[i];
        const bool atext = a.angle == tpointlist::kTextEntry, btext = b.angle == tpointlist::kTextEntry;
        // A text entry never holds a text of the usual layout.
        if (atext != btext) return false;
        if (atext ? x.textof(a) != y.textof(b) : (a.angle != b.angle || a.radius != b.radius)) return false;
    }
    return true;
}

// ---- equally spaced angles ----

namespace {

// One turn in thousandths of a degree.
constexpr std::int64_t kTurnThousandths = 360000;

}  // namespace

tequalspacing::tequalspacing(std::int32_t spacing) : spacing_(spacing) {
    if (spacing_ > 0) {
        wholestep_ = kTurnThousandths / spacing_;
        remstep_ = kTurnThousandths % spacing_;
    }
}

bool tequalspacing::thousandths(std::int64_t index, std::int32_t& t) {
    if (spacing_ <= 0 || index < 0 || index >= spacing_) return false;
    if (index == next_) {
        whole_ += wholestep_;
        rem_ += remstep_;
        if (rem_ >= spacing_) {
            rem_ -= spacing_;
            ++whole_;
        }
    } else {
        whole_ = index * kTurnThousandths / spacing_;
        rem_ = index * kTurnThousandths % spacing_;
    }
    next_ = index + 1;
    // The exact angle in thousandths is whole_ + rem_ / spacing_ (below
    // 360000). The doubles that addradiilist is given come within 2e-10 of
    // it, so where the exact fraction is more than 2e-6 from a half, the
    // stored value (rounded to nearest, in doubt within 1e-6 of a half)
    // rounds the same way as the exact one; nearer to a half, the caller
    // does the arithmetic.
    const std::int64_t offhalf = 2 * rem_ - spacing_;
    if ((offhalf < 0 ? -offhalf : offhalf) * 250000 <= spacing_) return false;
    t = static_cast<std::int32_t>(whole_ + (offhalf > 0 ? 1 : 0));
    return true;
}

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

void tradiilist::noteradius(std::int32_t radius, bool firstpoint) {
    if (firstpoint) lastradiusadded = 0;
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
}

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

    noteradius(radius, radiilist.empty());
    try {
        radiilist.addpoint(angle, radius);
    } catch (const std::bad_alloc&) {
        // Out of memory: the point is lost; the list stays usable.
    }
}

void tradiilist::addequalspaced(std::int64_t index, tequalspacing& spacing, std::int32_t radius) {
    std::int32_t t = 0;
    if (!standardradius(radius) || !spacing.thousandths(index, t)) {
        addradiilist(spacing.angle(index), radius);
        return;
    }
    // The angle lies in 0 <= angle < 360 already, so addradiilist would
    // leave it as it is.
    noteradius(radius, radiilist.empty());
    try {
        radiilist.addstandard(t, radius);
    } catch (const std::bad_alloc&) {
        // Out of memory: the point is lost; the list stays usable.
    }
}

void tradiilist::addequalspacedradii(const std::int32_t* radii, std::size_t n, tequalspacing& spacing) {
    for (std::size_t k = 0; k < n; ++k) addequalspaced(radiilist.count(), spacing, radii[k]);
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
} catch (const std::bad_alloc&) {
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

std::int32_t tradiilist::extractradiuselement(int x) const { return radiilist.radius(x); }

double tradiilist::extractangleelement(int x) const { return radiilist.angle(x); }

std::string tradiilist::element(int x) const { return radiilist[x]; }

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

bool tradiilist::undecodednotation() const {
    if (trcfmtstr.empty()) return false;
    const char notation = decodeformat(trcfmtstr).trcfmtmode;
    return notation != '0' && !decodednotation(notation);
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
