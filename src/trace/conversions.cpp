// Conversions of a radii list back to records: the ASCII radius and angle
// records of notation "1", the even resampling of an unevenly spaced trace,
// and the rewriting of the list's format text.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "kestrune/trace/geometry.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "kestrune/document/trcfmt.hpp"

namespace kestrune {
namespace {

// Values per radius or angle record.
constexpr int kValuesPerRecord = 10;
// The angle field of a point element; the radius text follows it.
constexpr std::size_t kAngleWidth = 7;
constexpr char kFieldDelimiter = ';';

// The angle in hundredths of a degree, rounded to the nearest with halves to
// the even neighbour, kept inside 32 bits whatever the element holds.
std::int32_t anglehundredths(double angle) {
    const double v = std::nearbyint(angle * 100.0);
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

// Collects whole numbers into records of at most ten: "TAG=v1;v2;...",
// each number in plain decimal as xinttostr writes it. A record is put
// together in a buffer of its largest size and made a string once.
class recordwriter {
public:
    // tag is one of the short record tags ("R", "Z", "A", "ZA").
    recordwriter(std::vector<std::string>& out, std::string_view tag) : out_(out), tag_(tag.substr(0, kMaxTagWidth)) {}
    void add(std::int32_t value) {
        if (inline_ == 0) {
            tag_.copy(buf_.data(), tag_.size());
            length_ = tag_.size();
            buf_[length_++] = '=';
        } else {
            buf_[length_++] = kFieldDelimiter;
        }
        // Always room: the buffer holds the tag and ten of the widest numbers.
        const auto res = std::to_chars(buf_.data() + length_, buf_.data() + buf_.size(), value);
        length_ = static_cast<std::size_t>(res.ptr - buf_.data());
        if (++inline_ == kValuesPerRecord) finish();
    }
    void finish() {
        if (inline_ > 0) out_.emplace_back(buf_.data(), length_);
        length_ = 0;
        inline_ = 0;
    }

private:
    static constexpr std::size_t kMaxTagWidth = 2;
    // "-2147483648" and the separator before it.
    static constexpr std::size_t kMaxValueWidth = 12;
    std::vector<std::string>& out_;
    std::string_view tag_;
    std::array<char, kMaxTagWidth + 1 + kValuesPerRecord * kMaxValueWidth> buf_{};
    std::size_t length_ = 0;
    int inline_ = 0;
};

void appendradii(const tradiilist& list, std::vector<std::string>& out, bool trcfmt) {
    recordwriter w(out, trcfmt ? "R" : "Z");
    const int n = list.readcount();
    // The number the field holds: a damaged field is written as the value
    // it reads as, and an empty one as 0, so that no point disappears when
    // the record is read back.
    for (int k = 0; k < n; ++k) w.add(list.radiilist.radiustextvalue(k));
    w.finish();
}

void appendangles(const tradiilist& list, std::vector<std::string>& out, bool trcfmt) {
    recordwriter w(out, trcfmt ? "A" : "ZA");
    const int n = list.readcount();
    for (int k = 0; k < n; ++k) w.add(anglehundredths(list.extractangleelement(k)));
    w.finish();
}

// The format text with its spacing field (the third) set to "E", every
// other field kept as written.
std::string withevenspacing(std::string_view s) {
    tstringlist fields;
    delimitedstrtolist(s, fields, kFieldDelimiter);
    while (fields.count() < 3) fields.add(std::string());
    fields.set(2, "E");
    std::string out;
    listtodelimitedstr(fields, out, kFieldDelimiter);
    return out;
}

}  // namespace

bool tradiilist::makeasciiradiilist(tstringlist* datalist, bool trcfmt) const try {
    if (datalist == nullptr) return false;
    std::vector<std::string> lines;
    const int n = readcount();
    lines.reserve(static_cast<std::size_t>(n / kValuesPerRecord + 1) * 2);
    appendradii(*this, lines, trcfmt);
    if (unevenfmt()) appendangles(*this, lines, trcfmt);
    datalist->clear();
    for (std::string& line : lines) datalist->add(std::move(line));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool tradiilist::makeasciianglelist(tstringlist* datalist, bool trcfmt) const try {
    if (datalist == nullptr) return false;
    std::vector<std::string> lines;
    appendangles(*this, lines, trcfmt);
    for (std::string& line : lines) datalist->add(std::move(line));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool tradiilist::converttoeven() {
    try {
        const int n = readcount();
        if (n > 0) {
            // Resample at four times the density, then keep the point with the
            // largest radius in each of n equal sectors. The dense count is
            // worked out in 64 bits and held to what resampling can produce.
            const std::int64_t dense = std::min<std::int64_t>(4 * static_cast<std::int64_t>(n), maxresamplepoints);
            convertshape(static_cast<int>(dense));
            reduceshape(n);
        }
        radiilist.sort();

        // Equal angles from 0 degrees over the points now held; when some
        // sectors kept no point, the points spread over the whole circle.
        // Each element keeps its radius text as it stands.
        const int held = readcount();
        for (int i = 0; i < held; ++i) {
            const double angle = static_cast<double>(static_cast<std::int64_t>(i) * 360) / held;
            const std::string old = radiilist[i];
            std::string element = combineangleradius(angle, 0).substr(0, kAngleWidth);
            element.append(old.size() > kAngleWidth ? std::string_view(old).substr(kAngleWidth)
                                                    : std::string_view("    0"));
            radiilist.set(i, element);
        }

        if (!trcfmtstr.empty()) {
            ttrcfmtsetting fmt;
            fmt.decodetrcfmtstr(trcfmtstr);
            const char mode = fmt.trcfmtmode;
            if (mode == '1' || mode == '2' || mode == '3' || mode == '4') {
                fmt.spacing = 'E';
                fmt.encodetrcfmtstr(trcfmtstr);
            } else {
                // The descriptor writes a notation without its count, spacing
                // and eye for any other notation; the text would lose them, so
                // only its spacing field is changed.
                trcfmtstr = withevenspacing(trcfmtstr);
            }
        } else {
            ttrcfmtsetting fmt;
            fmt.trcfmtmode = '1';
            fmt.points = held;
            fmt.spacing = 'E';
            fmt.eye = 'R';
            fmt.source = '\0';
            fmt.encodetrcfmtstr(trcfmtstr);
        }
    } catch (const std::bad_alloc&) {
        // Only allocation can fail here; the list stays usable.
    }
    return true;
}

bool tradiilist::makeevenradiilist(tstringlist* datalist, bool trcfmt) {
    converttoeven();
    makeasciiradiilist(datalist, trcfmt);
    return true;
}

void tradiilist::changetrcfmt(std::int32_t npoints, bool binary) {
    if (trcfmtstr.empty()) return;
    try {
        ttrcfmtsetting fmt;
        fmt.decodetrcfmtstr(trcfmtstr);
        fmt.points = npoints;
        fmt.trcfmtmode = binary ? '3' : '1';
        fmt.encodetrcfmtstr(trcfmtstr);
    } catch (const std::bad_alloc&) {
        // The format text stays as it was.
    }
}

}  // namespace kestrune
