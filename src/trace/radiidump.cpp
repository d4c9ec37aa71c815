// The radii dump: the points of a radii list as comma-separated lines, for
// inspecting how a trace was decoded.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "kestrune/trace/geometry.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

// The fields of one line are written into a fixed buffer: a line of five
// fields of at most 32 characters each, separators and quotes, fits.
constexpr std::size_t kLineCapacity = 192;

// Writes the fields of one line, with the separator before every field but
// the first, and a field quoted when it holds the separator (a decimal comma
// where the list separator is a comma as well), as the delimited-list writer
// does. Numbers are written straight into the line.
class linebuilder {
public:
    linebuilder(char separator, char decimal)
        : separator_(separator),
          decimal_(decimal),
          // A number written here holds digits, a minus sign and the decimal
          // mark only; unless the separator is one of those, no such field
          // needs quotes and none is searched.
          numbersquoted_(separator == decimal || separator == '-' || (separator >= '0' && separator <= '9')) {}

    void clear() { size_ = 0; }
    std::string_view text() const { return std::string_view(buffer_, size_); }

    void addinteger(std::int32_t v) { endnumber(writeint(startfield(), v)); }

    // A whole number with two decimals, as xrealtostr writes it.
    void addwholewithdecimals(std::int32_t v) {
        char* p = writeint(startfield(), v);
        *p++ = decimal_;
        *p++ = '0';
        *p++ = '0';
        endnumber(p);
    }

    // An angle held in thousandths of a degree, as addreal writes
    // thousandths / 1000.
    void addthousandths(std::int32_t t) {
        // Unless the last digit is 5 (a tie in decimal, settled by the
        // binary value), the two decimals follow from the thousandths alone.
        if (t < 0 || t % 10 == 5) {
            addreal(t / 1000.0);
            return;
        }
        const std::int32_t hundredths = (t + 5) / 10;
        char* p = writeint(startfield(), hundredths / 100);
        *p++ = decimal_;
        *p++ = static_cast<char>('0' + hundredths % 100 / 10);
        *p++ = static_cast<char>('0' + hundredths % 10);
        endnumber(p);
    }

    // A real as xrealtostr writes it: two decimals, rounded once from the
    // binary value, no sign on a value written as zero.
    void addreal(double v) {
        // An angle of the usual element layout is the double nearest to a
        // number of thousandths, written from those as addthousandths does
        // (which comes back here for a last digit of 5).
        if (v >= 0 && v < 1e6) {
            const auto t = static_cast<std::int32_t>(std::llround(v * 1000));
            if (static_cast<double>(t) / 1000 == v && t % 10 != 5) {
                addthousandths(t);
                return;
            }
        }
        char field[kRealCharsCapacity];
        std::size_t n = realtochars(v, decimal_, field);
        std::string text;
        if (n == 0) {
            text = xrealtostr(v);
            n = std::min(text.size(), sizeof field);
            std::memcpy(field, text.data(), n);
        }
        char* p = startfield();
        std::memcpy(p, field, n);
        endfield(p + n, true);
    }

private:
    static char* writeint(char* p, std::int32_t v) { return std::to_chars(p, p + 12, v).ptr; }

    char* startfield() {
        if (size_ > 0) buffer_[size_++] = separator_;
        fieldstart_ = size_;
        return buffer_ + size_;
    }
    void endnumber(char* end) { endfield(end, numbersquoted_); }
    void endfield(char* end, bool mayneedquotes) {
        size_ = static_cast<std::size_t>(end - buffer_);
        if (!mayneedquotes) return;
        const std::string_view field(buffer_ + fieldstart_, size_ - fieldstart_);
        if (field.empty() || field[0] == '"' || field.find(separator_) == std::string_view::npos) return;
        std::memmove(buffer_ + fieldstart_ + 1, buffer_ + fieldstart_, field.size());
        buffer_[fieldstart_] = '"';
        buffer_[size_ + 1] = '"';
        size_ += 2;
    }

    char buffer_[kLineCapacity];
    std::size_t size_ = 0;
    std::size_t fieldstart_ = 0;
    const char separator_;
    const char decimal_;
    const bool numbersquoted_;
};

// Writes the dump's lines through add(line): a header line and one line per
// point in angle order. Sorts the points and rebuilds xlist and ylist.
template <typename Addline>
void writedebuglines(tradiilist& list, Addline add) {
    // Puts the points in angle order, so the lines come out sorted too; the
    // numbers behind the coordinate lists are kept for the lines.
    tshapepoints points;
    kestrune::makexylists(list, points);
    const int n = static_cast<int>(points.angle.size());
    if (n <= 0) return;

    // Fields are joined with the regional list separator; a field holding it
    // (a decimal comma where the list separator is a comma as well) is quoted.
    const char separator = QVTFormatsettings().ListSeparator;
    const char decimal = QVTFormatsettings().DecimalSeparator;
    tstringlist fields;
    std::string header;
    for (const char* name : {"Number", "Angle", "Radius", "X", "Y"}) fields.add(name);
    listtodelimitedstr(fields, header, separator);
    add(std::string_view(header), n);

    // One line per point, written into one buffer with no text made per
    // field: this runs once per point of a trace that may hold millions.
    // The angle and radius are those the element accessors read, and the
    // coordinates those of xlist and ylist (which may be wider than an
    // element's radius field: the numbers are taken, not their text).
    linebuilder line(separator, decimal);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        line.clear();
        line.addinteger(i);
        std::int32_t t = 0;
        if (list.radiilist.anglethousandths(i, t)) {
            line.addthousandths(t);
        } else {
            line.addreal(points.angle[k]);
        }
        line.addwholewithdecimals(points.radius[k]);
        line.addwholewithdecimals(points.x[k]);
        line.addwholewithdecimals(points.y[k]);
        add(line.text(), n);
    }
}

}  // namespace

void tradiilist::datatodebuglist(tstringlist& dbglist) {
    dbglist.clear();
    writedebuglines(*this, [&dbglist](std::string_view line, int points) {
        if (dbglist.empty()) dbglist.reserve(points + 1);
        dbglist.add(std::string(line));
    });
}

void tradiilist::datatodebugtext(std::string& text) {
    text.clear();
    writedebuglines(*this, [&text](std::string_view line, int points) {
        // Room for every line at once: a line is rarely longer than 40
        // characters.
        if (text.empty()) text.reserve(static_cast<std::size_t>(points + 1) * 40);
        text.append(line);
        text.append("\r\n");
    });
}

}  // namespace kestrune
