#include "benchfiles.hpp"

#include <cmath>
#include <numbers>
#include <string_view>

#include "kestrune/document/omafile.hpp"
#include "kestrune/document/records.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune::bench {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The fields of a ";"-separated value.
std::vector<std::string> splitfields(std::string_view value) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t k = value.find(';', start);
        fields.emplace_back(value.substr(start, k == std::string_view::npos ? std::string_view::npos : k - start));
        if (k == std::string_view::npos) break;
        start = k + 1;
    }
    return fields;
}

// The radii of one ASCII radius record value, read the way the extraction
// reads them: every ";" ends a point, text after the last one is a point
// when it is not empty.
void appendasciiradii(std::string_view value, std::vector<std::int32_t>& radii) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < value.size(); ++k) {
        if (value[k] != ';') continue;
        radii.push_back(xstrtoint(value.substr(start, k - start)));
        start = k + 1;
    }
    if (start < value.size()) radii.push_back(xstrtoint(value.substr(start)));
}

// Notation "4" is a stream of 4-bit values: words and bytes may start in the
// middle of a byte. Bytes and unaligned words are written high half first;
// a word on a byte boundary is little-endian.
class nibblestream {
public:
    void nibble(unsigned v) {
        v &= 0xF;
        if (count_ % 2 == 0)
            bytes_.push_back(static_cast<char>(v << 4));
        else
            bytes_.back() = static_cast<char>(static_cast<unsigned char>(bytes_.back()) | v);
        ++count_;
    }
    void byte(std::int32_t v) {
        const auto u = static_cast<std::uint8_t>(v);
        nibble(u >> 4);
        nibble(u);
    }
    void word(std::int32_t v) {
        const auto u = static_cast<std::uint16_t>(v);
        if (aligned()) {
            byte(u & 0xFF);
            byte(u >> 8);
        } else {
            for (const int shift : {12, 8, 4, 0}) nibble(u >> shift);
        }
    }
    bool aligned() const { return count_ % 2 == 0; }
    const std::string& bytes() const { return bytes_; }
    std::string& bytes() { return bytes_; }

private:
    std::string bytes_;
    std::size_t count_ = 0;
};

// Switch values of notation "4".
constexpr std::int32_t kWordToBytes = -32768;   // absolute words -> byte increments
constexpr std::int32_t kBytesToNibbles = -128;  // byte increments -> 4-bit differences
constexpr std::int32_t kBytesToWords = -127;    // byte increments -> absolute words
constexpr unsigned kNibblesToBytes = 8;         // 4-bit differences -> byte increments

bool fitsnibble(std::int64_t d) { return d >= -7 && d <= 7; }
bool fitsincrement(std::int64_t d) { return d >= -126 && d <= 127; }

}  // namespace

std::vector<std::int32_t> syntheticradii(int n) {
    // A superellipse |x/a|^4 + |y/b|^4 = 1: a box with rounded corners.
    constexpr double a = 2500, b = 1800, p = 4;
    std::vector<std::int32_t> radii;
    if (n <= 0) return radii;
    radii.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / n;
        const double r =
            std::pow(std::pow(std::fabs(std::cos(t)) / a, p) + std::pow(std::fabs(std::sin(t)) / b, p), -1 / p);
        radii.push_back(static_cast<std::int32_t>(std::nearbyint(r)));
    }
    return radii;
}

std::string syntheticjob(int n, char notation) {
    const std::vector<std::int32_t> right = syntheticradii(n);
    // The left eye's outline is the right one mirrored about the vertical
    // axis: the point at angle t takes the radius at 180 - t.
    std::vector<std::int32_t> left(right.size());
    for (int i = 0; i < n; ++i)
        left[static_cast<std::size_t>(i)] = right[static_cast<std::size_t>(((n / 2 - i) % n + n) % n)];

    std::string text;
    const auto record = [&](std::string_view r) {
        text += r;
        text += kLineEnd;
    };
    record("JOB=BENCH" + std::to_string(n));
    record("REQ=FRM");
    record("FTYP=3");
    record("DBL=19.00");
    record("HBOX=50.00;50.00");
    record("VBOX=36.00;36.00");
    for (const auto& [eye, radii] : {std::pair<char, const std::vector<std::int32_t>*>{'R', &right},
                                     std::pair<char, const std::vector<std::int32_t>*>{'L', &left}}) {
        record("TRCFMT=1;" + std::to_string(n) + ";E;" + eye + ";F");
        std::string line;
        for (std::size_t i = 0; i < radii->size(); ++i) {
            line += line.empty() ? "R=" : ";";
            line += std::to_string((*radii)[i]);
            if (i % 10 == 9 || i + 1 == radii->size()) {
                record(line);
                line.clear();
            }
        }
    }
    record("DRILLE=B;C;-22.00;3.25;1.40;-22.00;3.25;0;1;F");
    record("DRILLE=B;C;22.00;4.35;1.40;22.00;4.35;0;1;F");
    if (notation == '1') return text;
    std::string error;
    return packedjob(text, notation, error);
}

std::string encodetrc4(const std::vector<std::int32_t>& radii) {
    nibblestream w;
    enum class mode { word, increment, difference } m = mode::word;
    std::int64_t prevstep = 0;
    // Differences are taken against the increment read last, so they may
    // only start right after an increment byte.
    bool afterincrement = false;

    const auto step = [&](std::size_t i) { return static_cast<std::int64_t>(radii[i]) - radii[i - 1]; };
    for (std::size_t i = 0; i < radii.size(); ++i) {
        if (i == 0) {
            w.word(radii[0]);
            continue;
        }
        const std::int64_t s = step(i);
        if (m == mode::difference) {
            if (fitsnibble(s - prevstep)) {
                w.nibble(static_cast<unsigned>(s - prevstep));
                prevstep = s;
                continue;
            }
            w.nibble(kNibblesToBytes);
            m = mode::increment;
            afterincrement = false;
        }
        if (!fitsincrement(s)) {
            if (m == mode::increment) w.byte(kBytesToWords);
            w.word(radii[i]);
            w.word(kWordToBytes);
            m = mode::increment;
            afterincrement = false;
            continue;
        }
        if (m == mode::word) {
            w.word(kWordToBytes);
            m = mode::increment;
            afterincrement = false;
        }
        // A run of differences pays for its switch when the next step is
        // close as well.
        const bool run =
            afterincrement && fitsnibble(s - prevstep) && i + 1 < radii.size() && fitsnibble(step(i + 1) - s);
        if (run) {
            w.byte(kBytesToNibbles);
            w.nibble(static_cast<unsigned>(s - prevstep));
            m = mode::difference;
        } else {
            w.byte(static_cast<std::int32_t>(s));
            afterincrement = true;
        }
        prevstep = s;
    }
    // Ends on a byte boundary with switches that give no point, then one
    // spare byte: a value is never read from the last byte.
    if (!w.aligned()) {
        if (m == mode::word) {
            w.word(kWordToBytes);
            m = mode::increment;
        }
        if (m == mode::increment) w.byte(kBytesToNibbles);
        w.nibble(kNibblesToBytes);
    }
    w.bytes().push_back('\0');

    std::string escaped;
    escaped.reserve(w.bytes().size() + w.bytes().size() / 8);
    for (const char c : w.bytes()) writebyte(escaped, static_cast<unsigned char>(c));
    return escaped;
}

std::string packedjob(const std::string& asciijob, char notation, std::string& error) {
    error.clear();
    if (notation != '3' && notation != '4') {
        error = std::string("no packed notation ") + notation;
        return {};
    }
    tomafileobj job;
    job.omastr = asciijob;
    job.omastrasansi = asciijob;
    job.omastrtolist();

    std::vector<std::string> out;
    std::vector<std::int32_t> radii;
    bool inblock = false;
    int blocks = 0;

    const auto closeblock = [&]() -> bool {
        inblock = false;
        std::string bytes;
        std::vector<std::int32_t> back;
        if (notation == '4') {
            bytes = encodetrc4(radii);
            back = converttrcfmt4(unpackstr(bytes));
        } else {
            tradiilist writer;
            for (std::size_t i = 0; i < radii.size(); ++i)
                writer.addradiilist(360.0 * static_cast<double>(i) / static_cast<double>(radii.size()), radii[i]);
            bytes = writer.makebinaryradiilist(true).substr(2);
            back = decodetrc3(unpackstr(bytes), static_cast<std::int64_t>(radii.size()));
        }
        if (back != radii) {
            error = std::string("the notation ") + notation + " record does not give its radii back";
            return false;
        }
        out.push_back("R=" + bytes);
        radii.clear();
        return true;
    };

    for (const std::string& rec : job.omalist) {
        const trecordparts parts = splitrecord(rec);
        const std::string_view tag = parts.tag, value = parts.value;
        if (inblock && tag == "R") {
            appendasciiradii(value, radii);
            continue;
        }
        if (inblock && !closeblock()) return {};
        if (tag == "A") {
            error = "uneven traces (angle records) are not rewritten";
            return {};
        }
        if (tag == "TRCFMT") {
            std::vector<std::string> fields = splitfields(value);
            if (!fields.empty() && fields[0] == "1") {
                fields[0] = std::string(1, notation);
                std::string line = "TRCFMT=";
                for (std::size_t k = 0; k < fields.size(); ++k) line += (k ? ";" : "") + fields[k];
                out.push_back(std::move(line));
                inblock = true;
                ++blocks;
                continue;
            }
        }
        out.push_back(rec);
    }
    if (inblock && !closeblock()) return {};
    if (blocks == 0) {
        error = "no ASCII outline to rewrite";
        return {};
    }
    std::string text;
    for (const std::string& line : out) {
        text += line;
        text += kLineEnd;
    }
    return text;
}

}  // namespace kestrune::bench
