// The radii dump: the points of a radii list as comma-separated lines, for
// inspecting how a trace was decoded.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "kestrune/shape/geometry.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

// The fields of one line are written into a fixed buffer: a line of five
// fields of at most 24 characters each, separators and quotes, fits.
constexpr std::size_t kLineCapacity = 192;

// Appends one field, with the separator before every field but the first,
// and quoted when it holds the separator (a decimal comma where the list
// separator is a comma as well), as the delimited-list writer does.
class linebuilder {
public:
    explicit linebuilder(char separator) : separator_(separator) {}

    void clear() { size_ = 0; }
    std::string_view text() const { return std::string_view(buffer_, size_); }

    void addinteger(std::int32_t v) {
        char field[16];
        const auto res = std::to_chars(field, field + sizeof field, v);
        addfield(field, static_cast<std::size_t>(res.ptr - field));
    }

    // A whole number with two decimals, as xrealtostr writes it.
    void addwholewithdecimals(std::int32_t v, char decimal) {
        char field[24];
        const auto res = std::to_chars(field, field + sizeof field, v);
        char* end = res.ptr;
        *end++ = decimal;
        *end++ = '0';
        *end++ = '0';
        addfield(field, static_cast<std::size_t>(end - field));
    }

    // A real as xrealtostr writes it: two decimals, rounded once from the
    // binary value, no sign on a value written as zero.
    void addreal(double v, char decimal) {
        char field[kRealCharsCapacity];
        // An angle of the usual element layout is the double nearest to a
        // number of thousandths; unless its last digit is 5 (a tie in
        // decimal, settled by the binary value), the two decimals follow
        // from the thousandths alone.
        if (v >= 0 && v < 1e6) {
            const auto t = static_cast<std::int64_t>(std::llround(v * 1000));
            if (static_cast<double>(t) / 1000 == v && t % 10 != 5) {
                const std::int64_t hundredths = (t + 5) / 10;
                auto res = std::to_chars(field, field + sizeof field, hundredths / 100);
                char* end = res.ptr;
                *end++ = decimal;
                *end++ = static_cast<char>('0' + hundredths % 100 / 10);
                *end++ = static_cast<char>('0' + hundredths % 10);
                addfield(field, static_cast<std::size_t>(end - field));
                return;
            }
        }
        if (const std::size_t n = realtochars(v, decimal, field)) {
            addfield(field, n);
            return;
        }
        const std::string text = xrealtostr(v);
        addfield(text.data(), std::min(text.size(), sizeof field));
    }

private:
    void addfield(const char* field, std::size_t n) {
        if (size_ > 0) buffer_[size_++] = separator_;
        // A field is a handful of characters: a plain loop costs less than
        // a call to memchr.
        bool quote = false;
        if (n > 0 && field[0] != '"') {
            for (std::size_t k = 0; k < n && !quote; ++k) quote = field[k] == separator_;
        }
        if (quote) buffer_[size_++] = '"';
        std::memcpy(buffer_ + size_, field, n);
        size_ += n;
        if (quote) buffer_[size_++] = '"';
    }

    char buffer_[kLineCapacity];
    std::size_t size_ = 0;
    char separator_;
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
    linebuilder line(separator);
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        line.clear();
        line.addinteger(i);
        line.addreal(points.angle[k], decimal);
        line.addwholewithdecimals(points.radius[k], decimal);
        line.addwholewithdecimals(points.x[k], decimal);
        line.addwholewithdecimals(points.y[k], decimal);
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
