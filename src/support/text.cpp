#include "kestrune/support/text.hpp"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <system_error>

#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"

namespace kestrune {
namespace {

// Folds ASCII and Latin-1 letters to upper case; other bytes stay.
inline unsigned char foldcase(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c;
}

}  // namespace

int comparetext(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = foldcase(static_cast<unsigned char>(a[i]));
        const unsigned char y = foldcase(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool sametext(std::string_view a, std::string_view b) { return a.size() == b.size() && comparetext(a, b) == 0; }

std::string_view trimview(std::string_view s) {
    std::size_t first = 0;
    while (first < s.size() && static_cast<unsigned char>(s[first]) <= 32) ++first;
    std::size_t last = s.size();
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= 32) --last;
    return s.substr(first, last - first);
}

std::string trim(std::string_view s) { return std::string(trimview(s)); }

std::string latin1toutf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

bool isutf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t more = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // range of the first continuation byte
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (bytes.size() - i <= more) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(bytes[i + k]);
            if (d < (k == 1 ? lo : 0x80) || d > (k == 1 ? hi : 0xBF)) return false;
        }
        i += more + 1;
    }
    return true;
}

// ---- characters and small text routines ----

namespace {

inline unsigned char asciiupper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

inline bool isdigitchar(char c) { return c >= '0' && c <= '9'; }

// Whether s holds, at position pos, the text what without regard to case
// (the same folding as comparetext).
bool matchesat(std::string_view s, std::size_t pos, std::string_view what) {
    if (s.size() - pos < what.size()) return false;
    for (std::size_t i = 0; i < what.size(); ++i) {
        if (foldcase(static_cast<unsigned char>(s[pos + i])) != foldcase(static_cast<unsigned char>(what[i])))
            return false;
    }
    return true;
}

}  // namespace

char lastchar(std::string_view s) { return s.empty() ? '\0' : s.back(); }

char firstchar(std::string_view s) { return s.empty() ? '\0' : s.front(); }

char extractcharfromstr(std::string_view s, int x) {
    if (x < 1 || static_cast<std::size_t>(x) > s.size()) return '\0';
    return s[static_cast<std::size_t>(x) - 1];
}

std::string addtrailing(std::string_view S, char PathDelim) {
    try {
        std::string result(S);
        if (result.empty()) return result;
        const char last = result.back();
        if (last == '/' || last == '\\') return result;
        // A path written with forward slashes keeps them.
        result.push_back(result.find('/') != std::string::npos ? '/' : PathDelim);
        return result;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string upcase(std::string_view s) {
    try {
        std::string result(s);
        for (char& c : result) c = static_cast<char>(foldcase(static_cast<unsigned char>(c)));
        return result;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

bool partmatchstr(std::string_view a, std::string_view b) {
    if (a.empty() && b.empty()) return true;
    if (a.empty() || b.empty()) return false;
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (asciiupper(static_cast<unsigned char>(a[i])) != asciiupper(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

void replaceinstr(std::string& s, std::string_view oldtext, std::string_view newtext) {
    if (oldtext.empty() || s.size() < oldtext.size()) return;
    try {
        std::string result;
        result.reserve(s.size());
        std::size_t i = 0;
        bool changed = false;
        while (i < s.size()) {
            if (matchesat(s, i, oldtext)) {
                result.append(newtext);
                i += oldtext.size();
                changed = true;
            } else {
                result.push_back(s[i]);
                ++i;
            }
        }
        if (changed) s.swap(result);
    } catch (const std::bad_alloc&) {
        // s stays as it was.
    }
}

std::string replaceinstring(std::string_view s, std::string_view oldtext, std::string_view newtext) {
    try {
        std::string result(s);
        replaceinstr(result, oldtext, newtext);
        return result;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

// ---- integers to text ----

std::string xinttostr(std::int32_t i) {
    try {
        char buf[16];
        const auto res = std::to_chars(buf, buf + sizeof buf, i);
        if (res.ec != std::errc()) return "0";
        return std::string(buf, res.ptr);
    } catch (const std::bad_alloc&) {
        return "0";
    }
}

std::string xinttoansistr(std::int32_t I) { return xinttostr(I); }

std::string numstrx(std::int32_t x, int w) {
    try {
        std::string digits = xinttostr(x);
        if (w <= 0 || digits.size() >= static_cast<std::size_t>(w)) return digits;
        std::string result(static_cast<std::size_t>(w) - digits.size(), ' ');
        result += digits;
        return result;
    } catch (const std::bad_alloc&) {
        return "0";
    }
}

std::string numstr(std::int32_t x) { return numstrx(x, 6); }

std::string xint2tostr(std::int32_t I) {
    try {
        // Hundredths are whole numbers, so the rounding to 8 significant
        // digits is done exactly on the integer: a value of 9 or 10 digits
        // loses its last 1 or 2 digits, a tie going to the even neighbour.
        std::int64_t v = I;
        const bool negative = v < 0;
        if (negative) v = -v;
        const std::int64_t unit = v >= 1000000000 ? 100 : v >= 100000000 ? 10 : 1;
        if (unit > 1) {
            std::int64_t q = v / unit;
            const std::int64_t rest = v % unit;
            if (rest * 2 > unit || (rest * 2 == unit && q % 2 != 0)) ++q;
            v = q * unit;
        }

        char buf[24];
        char* p = buf;
        if (negative) *p++ = '-';
        const auto res = std::to_chars(p, buf + sizeof buf, v / 100);
        if (res.ec != std::errc()) return "0";
        p = res.ptr;
        const int frac = static_cast<int>(v % 100);
        *p++ = UserFormatsettings().DecimalSeparator;
        *p++ = static_cast<char>('0' + frac / 10);
        *p++ = static_cast<char>('0' + frac % 10);
        return std::string(buf, p);
    } catch (const std::bad_alloc&) {
        return "0";
    }
}

// ---- reals to text ----

namespace {

// Writes the exponent of the scientific form: "E", its sign and at least
// three digits.
void appendexponent(std::string& out, int e) {
    out.push_back('E');
    out.push_back(e < 0 ? '-' : '+');
    const int a = e < 0 ? -e : e;
    char buf[12];
    const auto res = std::to_chars(buf, buf + sizeof buf, a);
    for (std::ptrdiff_t n = res.ptr - buf; n < 3; ++n) out.push_back('0');
    out.append(buf, res.ptr);
}

}  // namespace

std::string xfloattostr(long double f, int l, int p) {
    try {
        if (!std::isfinite(f)) return std::string();
        // An extended real carries about 18 significant decimal digits.
        if (l < 0) l = 0;
        if (l > 18) l = 18;
        if (p < 1) p = 1;
        if (p > 18) p = 18;
        const char sep = QVTFormatsettings().DecimalSeparator;
        const bool negative = std::signbit(f);
        const long double a = std::fabs(f);

        // The value rounded to p significant digits: digits d.ddd and exponent.
        char sci[64];
        const auto sres = std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific, p - 1);
        if (sres.ec != std::errc()) return std::string();
        const std::string_view sciview(sci, static_cast<std::size_t>(sres.ptr - sci));
        const std::size_t epos = sciview.find('e');
        if (epos == std::string_view::npos) return std::string();
        int e = 0;
        {
            std::string_view ev = sciview.substr(epos + 1);
            if (!ev.empty() && ev.front() == '+') ev.remove_prefix(1);
            const auto eres = std::from_chars(ev.data(), ev.data() + ev.size(), e);
            if (eres.ec != std::errc()) return std::string();
        }
        std::string digits;
        digits.reserve(static_cast<std::size_t>(p));
        for (char c : sciview.substr(0, epos))
            if (isdigitchar(c)) digits.push_back(c);

        std::string out;
        if (e + 1 > p) {
            // The integer part needs more digits than the precision allows:
            // scientific form with p-1 decimals.
            out.push_back(digits[0]);
            if (digits.size() > 1) {
                out.push_back(sep);
                out.append(digits, 1, std::string::npos);
            }
            appendexponent(out, e);
        } else if (p - 1 - e >= l) {
            // The precision keeps every digit down to the l-th decimal, so
            // rounding to l decimals is the only rounding.
            char fix[64];
            const auto fres = std::to_chars(fix, fix + sizeof fix, a, std::chars_format::fixed, l);
            if (fres.ec != std::errc()) return std::string();
            out.assign(fix, fres.ptr);
            const std::size_t dot = out.find('.');
            if (dot != std::string::npos) out[dot] = sep;
        } else {
            // Fewer significant digits than l decimals: place the rounded
            // digits and pad with zeros.
            std::string frac;
            if (e >= 0) {
                out.assign(digits, 0, static_cast<std::size_t>(e) + 1);
                frac.assign(digits, static_cast<std::size_t>(e) + 1, std::string::npos);
            } else {
                out = "0";
                frac.assign(static_cast<std::size_t>(-e - 1), '0');
                frac += digits;
            }
            frac.resize(static_cast<std::size_t>(l), '0');
            if (l > 0) {
                out.push_back(sep);
                out += frac;
            }
        }
        // No sign in front of a value that reads as zero.
        if (negative && out.find_first_of("123456789") != std::string::npos) out.insert(out.begin(), '-');
        return out;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::size_t realtochars(double r, char decimal, char* out) {
    // Below 1e14 the two decimals are the coarser of the two rounding
    // places, so the value is the exact binary value rounded once to two
    // decimals, a tie to the even digit: what to_chars writes. This route
    // costs a fraction of the general one; the radii dump writes four such
    // numbers per point.
    if (!(std::fabs(r) < 1e14)) return 0;
    const auto res = std::to_chars(out, out + kRealCharsCapacity, r, std::chars_format::fixed, 2);
    if (res.ec != std::errc()) return 0;
    std::size_t n = static_cast<std::size_t>(res.ptr - out);
    if (std::string_view(out, n) == "-0.00") {  // no sign on a value written as zero
        std::memmove(out, out + 1, n - 1);
        --n;
    }
    out[n - 3] = decimal;
    return n;
}

std::string xrealtostr(double r) {
    try {
        char buf[kRealCharsCapacity];
        if (const std::size_t n = realtochars(r, QVTFormatsettings().DecimalSeparator, buf)) return std::string(buf, n);
        return trim(xfloattostr(r, 2, 16));
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

// ---- text to numbers ----

namespace {

// Where checkdecimalseparator swaps a mark in s: the first mark of the other
// kind when s holds none of LocalDecimalSeparator(); npos when nothing changes.
std::size_t markswapposition(std::string_view s) {
    const char local = LocalDecimalSeparator();
    char other = 0;
    if (local == ',')
        other = '.';
    else if (local == '.')
        other = ',';
    else
        return std::string_view::npos;
    if (s.find(local) != std::string_view::npos) return std::string_view::npos;
    return s.find(other);
}

}  // namespace

std::string checkdecimalseparator(std::string_view s) {
    try {
        std::string result(s);
        const std::size_t pos = markswapposition(s);
        if (pos != std::string_view::npos) result[pos] = LocalDecimalSeparator();
        return result;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

namespace {

// A number text as readextended takes it: the decimal mark adapted, the text
// trimmed and checked, and, for a plain decimal of at most 18 digits (no
// exponent), its digits as a whole number and the count of them after the
// mark.
struct tnumbertext {
    char small[64];
    std::string large;
    char* buf = small;
    std::size_t n = 0;
    bool plain = false;
    bool negative = false;
    std::uint64_t mantissa = 0;
    int decimals = 0;
};

// Reads s in the process-wide number format: an optional sign, digits with at
// most one decimal separator, an optional exponent. The text first has its
// decimal mark adapted and is trimmed. False when the text is empty or does
// not read as a whole.
bool scannumber(std::string_view s, tnumbertext& text) {
    if (s.empty()) return false;
    const std::size_t swap = markswapposition(s);
    const std::string_view t = trimview(s);
    const std::size_t n = t.size();
    if (n == 0) return false;

    // Numbers are short: work on a copy on the stack unless the text is long.
    char* buf = text.small;
    if (n > sizeof text.small) {
        text.large.resize(n);
        buf = text.large.data();
    }
    text.buf = buf;
    text.n = n;
    t.copy(buf, n);
    // A swapped mark is never a blank, so it lies inside the trimmed text.
    if (swap != std::string_view::npos)
        buf[swap - static_cast<std::size_t>(t.data() - s.data())] = LocalDecimalSeparator();

    const char sep = UserFormatsettings().DecimalSeparator;
    std::size_t i = 0;
    text.negative = buf[i] == '-';
    if (buf[i] == '+' || buf[i] == '-') ++i;
    std::size_t mantissadigits = 0;
    std::uint64_t mantissa = 0;
    int decimals = 0;
    while (i < n && isdigitchar(buf[i])) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(buf[i] - '0');
        ++i, ++mantissadigits;
    }
    if (i < n && buf[i] == sep) {
        buf[i] = '.';  // from_chars reads the point only
        ++i;
        while (i < n && isdigitchar(buf[i])) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(buf[i] - '0');
            ++i, ++mantissadigits, ++decimals;
        }
    }
    if (mantissadigits == 0) return false;
    bool exponent = false;
    if (i < n && (buf[i] == 'e' || buf[i] == 'E')) {
        exponent = true;
        ++i;
        if (i < n && (buf[i] == '+' || buf[i] == '-')) ++i;
        std::size_t expdigits = 0;
        while (i < n && isdigitchar(buf[i])) ++i, ++expdigits;
        if (expdigits == 0) return false;
    }
    if (i != n) return false;
    // Up to 18 digits the whole number cannot have overflowed.
    text.plain = !exponent && mantissadigits <= 18;
    text.mantissa = mantissa;
    text.decimals = decimals;
    return true;
}

// The value of a text scannumber took; infinities and NaN are not numbers
// here.
bool numbervalue(const tnumbertext& text, long double& value) {
    value = 0;
    if (text.plain) {
        // The digits and a power of ten up to 10^18 are exact as long
        // doubles, and one division rounds correctly: the value from_chars
        // gives, without the general conversion.
        static constexpr long double powers[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L, 1e9L,
                                                 1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L};
        const long double v = static_cast<long double>(text.mantissa) / powers[text.decimals];
        value = text.negative ? -v : v;
        return true;
    }
    const char* buf = text.buf;
    // from_chars takes no leading "+".
    const char* first = buf[0] == '+' ? buf + 1 : buf;
    long double v = 0;
    const auto res = std::from_chars(first, buf + text.n, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != buf + text.n || !std::isfinite(v)) return false;
    value = v;
    return true;
}

// Reads s as scannumber takes it; infinities and NaN are not numbers here.
bool readextended(std::string_view s, long double& value) {
    value = 0;
    tnumbertext text;
    return scannumber(s, text) && numbervalue(text, value);
}

// Rounds to the nearest whole number, a tie to the even one, and gives 0
// outside the 32-bit signed range.
std::int32_t roundtoint32(long double v) {
    const long double r = std::nearbyint(v);
    if (!(r >= -2147483648.0L && r <= 2147483647.0L)) return 0;
    return static_cast<std::int32_t>(r);
}

inline int hexvalue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

double xstrtoreal(std::string_view s) {
    try {
        long double v = 0;
        if (!readextended(s, v)) return 0;
        // A value beyond the range of a double does not read.
        if (std::fabs(v) > static_cast<long double>(DBL_MAX)) return 0;
        return static_cast<double>(v);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::int32_t xstrtoint2(std::string_view s) {
    try {
        tnumbertext text;
        if (!scannumber(s, text)) return 0;
        if (text.plain && text.decimals <= 2) {
            // Hundredths of a plain decimal with at most two decimals are a
            // whole number: exactly what rounding the value times 100 gives.
            if (text.mantissa > 99999999999ull) return 0;  // far outside the range either way
            const std::int64_t scale = text.decimals == 0 ? 100 : text.decimals == 1 ? 10 : 1;
            std::int64_t hundredths = static_cast<std::int64_t>(text.mantissa) * scale;
            if (text.negative) hundredths = -hundredths;
            if (hundredths < INT32_MIN || hundredths > INT32_MAX) return 0;
            return static_cast<std::int32_t>(hundredths);
        }
        long double v = 0;
        if (!numbervalue(text, v)) return 0;
        return roundtoint32(v * 100.0L);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::int32_t xstrtoint0(std::string_view s) {
    try {
        long double v = 0;
        if (!readextended(s, v)) return 0;
        return roundtoint32(v);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::int32_t xstrtoint(std::string_view s) {
    const std::string_view t = trimview(s);
    std::size_t i = 0;
    const std::size_t n = t.size();
    bool negative = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && (t[i] == '$' || t[i] == 'x' || t[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == n) return 0;

    std::uint64_t v = 0;
    if (hex) {
        // Up to eight hexadecimal digits: the 32-bit pattern, so $FFFFFFFF is -1.
        for (; i < n; ++i) {
            const int d = hexvalue(t[i]);
            if (d < 0) return 0;
            v = v * 16 + static_cast<std::uint64_t>(d);
            if (v > 0xFFFFFFFFull) return 0;
        }
        std::uint32_t bits = static_cast<std::uint32_t>(v);
        if (negative) bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
    for (; i < n; ++i) {
        if (!isdigitchar(t[i])) return 0;
        v = v * 10 + static_cast<std::uint64_t>(t[i] - '0');
        if (v > limit) return 0;
    }
    const std::int64_t signedv = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
    return static_cast<std::int32_t>(signedv);
}

bool numeric(std::string_view s) {
    const std::string_view t = trimview(s);
    int marks = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (isdigitchar(c)) continue;
        if (c == ',' || c == '.') {
            ++marks;
            continue;
        }
        if ((c == '+' || c == '-') && i == 0 && t.size() > 1) continue;
        return false;
    }
    return marks <= 1;
}

bool numericandspecified(std::string_view s) { return !s.empty() && numeric(s); }

// ---- tags and values ----

std::string findtagpart(std::string_view s) {
    try {
        const std::size_t pos = s.find(tagdelimiter);
        return std::string(pos == std::string_view::npos ? s : s.substr(0, pos));
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string findvaluepart(std::string_view s) {
    try {
        const std::size_t pos = s.find(tagdelimiter);
        return trim(pos == std::string_view::npos ? s : s.substr(pos + 1));
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string findvaluepartnotrim(std::string_view s) {
    try {
        const std::size_t pos = s.find(tagdelimiter);
        if (pos == std::string_view::npos) return std::string();
        return std::string(s.substr(pos + 1));
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

std::string makedotchiral(std::string_view s, std::string_view r, std::string_view l) {
    try {
        std::string result;
        result.reserve(s.size() + r.size() + l.size() + 2);
        if (!s.empty()) {
            result.append(s);
            result.push_back(tagdelimiter);
        }
        const std::size_t rstart = result.size();
        result.append(r);
        result.push_back(';');
        result.append(l);
        for (std::size_t i = rstart; i < result.size(); ++i)
            if (result[i] == ',') result[i] = '.';
        return result;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

// ---- delimited lists ----

namespace {

// A field that starts and ends with a double quote loses both (a lone quote
// becomes empty); quotes inside stay as they are.
std::string_view dropquotes(std::string_view field) {
    if (!field.empty() && field.front() == '"' && field.back() == '"') {
        if (field.size() == 1) return std::string_view();
        return field.substr(1, field.size() - 2);
    }
    return field;
}

// Hands each field of s to take, in order, quotes dropped, until take returns
// false. A delimiter inside a field that starts with a quote does not split;
// text after the last delimiter is a field only when it is not empty.
template <typename Take>
void forfields(std::string_view s, char delimiter, Take&& take) {
    std::size_t start = 0;  // where the current field begins in s
    bool inquotes = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == delimiter && !inquotes) {
            if (!take(dropquotes(s.substr(start, i - start)))) return;
            start = i + 1;
        } else if (c == '"') {
            inquotes = (i == start);
        }
    }
    if (start < s.size()) take(dropquotes(s.substr(start)));
}

}  // namespace

void delimitedstrtolist(std::string_view s, tstringlist* alist, char delimiter) {
    if (!alist) return;
    try {
        alist->clear();
        forfields(s, delimiter, [&](std::string_view field) {
            alist->add(std::string(field));
            return true;
        });
    } catch (const std::bad_alloc&) {
        // The list keeps what was split so far.
    }
}

bool delimitedfield(std::string_view s, int index, char delimiter, std::string_view& field) {
    if (index < 0) return false;
    int current = 0;
    bool found = false;
    forfields(s, delimiter, [&](std::string_view f) {
        if (current++ < index) return true;
        field = f;
        found = true;
        return false;
    });
    return found;
}

void listtodelimitedstr(const tstringlist& alist, std::string& s, char delimiter) {
    try {
        std::string result;
        for (const std::string& entry : alist) {
            const bool quote = entry.find(delimiter) != std::string::npos && (entry.empty() || entry.front() != '"');
            if (!result.empty())
                result.push_back(delimiter);
            else if (entry.empty()) {
                // An empty first entry is written as "" so that it is not lost.
                result = "\"\"";
                continue;
            }
            if (quote) result.push_back('"');
            result += entry;
            if (quote) result.push_back('"');
        }
        s.swap(result);
    } catch (const std::bad_alloc& ex) {
        try {
            s += "Exception:";
            s += ex.what();
            s += " Data:";
            for (const std::string& entry : alist) {
                s += entry;
                s += "\r\n";
            }
        } catch (const std::bad_alloc&) {
            // s keeps what fitted.
        }
    }
}

std::string listentry(const tstringlist* alist, int x) {
    if (!alist || x < 0 || x >= alist->count()) return std::string();
    try {
        return (*alist)[x];
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

void adddelimitedcsv(std::string& target, std::string_view toadd, char delimiter) {
    try {
        if (toadd.size() == 1 && toadd[0] == '\0') toadd = std::string_view();
        const bool quote = toadd.find(delimiter) != std::string_view::npos;
        if (target.empty()) {
            if (toadd.empty()) {
                target = " ";
                return;
            }
        } else {
            target.push_back(delimiter);
        }
        if (quote) target.push_back('"');
        target.append(toadd);
        if (quote) target.push_back('"');
    } catch (const std::bad_alloc&) {
    }
}

void addcsv(std::string& target, std::string_view toadd) { adddelimitedcsv(target, toadd, csvdelimiter()); }

// ---- 8-bit and 16-bit text ----

std::u16string AnsiStringtoString(std::string_view s) {
    try {
        std::u16string result(s.size(), u'\0');
        for (std::size_t i = 0; i < s.size(); ++i) result[i] = static_cast<char16_t>(static_cast<unsigned char>(s[i]));
        return result;
    } catch (const std::bad_alloc&) {
        return std::u16string();
    }
}

std::string StringtoAnsistring(std::u16string_view s) {
    try {
        std::string result;
        result.reserve(s.size());
        for (char16_t c : s) {
            if (c < 256) {
                result.push_back(static_cast<char>(c));
            } else {
                // A character beyond Latin-1 keeps only its low byte, marked
                // by a 0 byte in front.
                result.push_back('\0');
                result.push_back(static_cast<char>(c & 0xFF));
            }
        }
        return result;
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

}  // namespace kestrune
