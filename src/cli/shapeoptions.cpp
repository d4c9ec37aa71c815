// The shape options of info and convert: reading their numbers.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cli.hpp"

namespace kestrune::cli {
namespace {

// Lengths given on the command line stay within a metre either way.
constexpr double kMaxMillimetres = 1000.0;

bool readnumber(std::string_view text, double& value) {
    if (text.empty()) return false;
    // from_chars takes no leading "+"; a sign of either kind is allowed here.
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        if (text.empty() || text.front() == '+' || text.front() == '-') return false;
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
    value = negative ? -v : v;
    return true;
}

}  // namespace

bool parsemillimetres(std::string_view text, std::size_t minimum, std::vector<std::int32_t>& hundredths) {
    hundredths.clear();
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view part =
            text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        double mm = 0;
        if (!readnumber(part, mm) || std::fabs(mm) > kMaxMillimetres) return false;
        hundredths.push_back(static_cast<std::int32_t>(std::nearbyint(mm * 100.0)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return hundredths.size() >= minimum;
}

bool parsedegrees(std::string_view text, double& degrees) {
    double v = 0;
    // A turn is a turn: nothing is gained beyond a few of them either way.
    if (!readnumber(text, v) || std::fabs(v) > 3600.0) return false;
    degrees = v;
    return true;
}

}  // namespace kestrune::cli
