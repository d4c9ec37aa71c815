#include "kestrune/support/text.hpp"

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

bool sametext(std::string_view a, std::string_view b) {
    return a.size() == b.size() && comparetext(a, b) == 0;
}

std::string_view trimview(std::string_view s) {
    std::size_t first = 0;
    while (first < s.size() && static_cast<unsigned char>(s[first]) <= 32) ++first;
    std::size_t last = s.size();
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= 32) --last;
    return s.substr(first, last - first);
}

std::string trim(std::string_view s) { return std::string(trimview(s)); }

}  // namespace kestrune
