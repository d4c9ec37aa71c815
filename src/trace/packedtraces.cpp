#include "kestrune/trace/packedtraces.hpp"

#include <algorithm>

#include "kestrune/support/text.hpp"
#include "kestrune/trace/geometry.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

// Byte k (0-based) of b, or 0 past the end.
inline unsigned char byteat(std::string_view b, std::size_t k) {
    return k < b.size() ? static_cast<unsigned char>(b[k]) : 0;
}

inline std::int32_t signedbyte(unsigned char v) { return static_cast<std::int8_t>(v); }

inline std::int32_t wrap16(std::int32_t v) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(v)); }

// 16-bit little-endian value of bytes k and k + 1, two's complement.
inline std::int32_t word16(std::string_view b, std::size_t k) { return wrap16(byteat(b, k) | (byteat(b, k + 1) << 8)); }

// How many radii to set room for: never more than the data can produce.
inline std::size_t reservefor(std::int64_t room, std::size_t bound) {
    if (room < 1) return 1;
    return static_cast<std::size_t>(std::min<std::int64_t>(room, static_cast<std::int64_t>(bound)));
}

// ---- notation "4": values of varying width ----

enum : int { absolutemode = 16, incrementalmode = 8, differentialmode = 4 };
enum : int { wordsize = 4, bytesize = 2, nibblesize = 1 };

inline std::int32_t highnib(unsigned char b) { return b >> 4; }
inline std::int32_t lownib(unsigned char b) { return b & 0x0F; }

class trc4reader {
public:
    explicit trc4reader(std::string_view bytes) : b_(bytes) {}

    std::vector<std::int32_t> unpack(std::int64_t room, std::size_t limit) {
        std::vector<std::int32_t> out;
        // Each value takes at least half a byte.
        out.reserve(std::min<std::size_t>(2 * b_.size(), 4096));
        const std::size_t length = b_.size();
        // i_ is 0-based here. A value that starts in the last byte is read
        // only while the trace is still short of its declared points and the
        // value lies wholly within that byte: encoders end a stream with
        // nibbles or a byte there, and those are the trace's last points.
        while (out.size() < limit) {
            if (i_ + 1 >= length) {
                const bool short_of_declared = static_cast<std::int64_t>(out.size()) < room;
                if (i_ >= length || !short_of_declared || !fitsinlastbyte()) break;
            }
            bool switchflag = false;
            const std::int32_t value = unpackit(switchflag);
            if (switchflag) continue;
            switch (stateval_) {
                case absolutemode:
                    currradius_ = value;
                    break;
                case incrementalmode:
                    currradius_ = saturate32(currradius_ + value);
                    startincrement_ = value;
                    currdifference_ = 0;
                    break;
                default:  // differentialmode
                    currdifference_ = saturate32(currdifference_ + value);
                    currradius_ = saturate32(currradius_ + startincrement_ + currdifference_);
                    break;
            }
            out.push_back(static_cast<std::int32_t>(currradius_));
        }
        return out;
    }

private:
    // Whether the next value, read at the last byte, needs no byte after it:
    // a nibble, or a byte on a byte boundary.
    bool fitsinlastbyte() const { return sizeval_ == nibblesize || (sizeval_ == bytesize && highnibble_); }

    // Reads one value of the current width at the current position and
    // advances. Sets switchflag (and changes width and state) when the value
    // is a switch rather than a radius.
    std::int32_t unpackit(bool& switchflag) {
        std::int32_t value = 0;
        switch (sizeval_) {
            case wordsize:
                if (highnibble_) {
                    value = word16(b_, i_);
                } else {
                    const std::int32_t hi = signedbyte(
                        static_cast<unsigned char>((lownib(byteat(b_, i_)) << 4) | highnib(byteat(b_, i_ + 1))));
                    const std::int32_t lo = (lownib(byteat(b_, i_ + 1)) << 4) | highnib(byteat(b_, i_ + 2));
                    value = hi * 256 + lo;
                }
                i_ += 2;
                if (value == -32768) {
                    switchflag = true;
                    sizeval_ = bytesize;
                    stateval_ = incrementalmode;
                }
                break;
            case bytesize:
                if (highnibble_) {
                    value = signedbyte(byteat(b_, i_));
                } else {
                    value = signedbyte(
                        static_cast<unsigned char>((lownib(byteat(b_, i_)) << 4) | highnib(byteat(b_, i_ + 1))));
                }
                i_ += 1;
                if (value == -128) {
                    switchflag = true;
                    sizeval_ = nibblesize;
                    stateval_ = differentialmode;
                } else if (value == -127) {
                    switchflag = true;
                    sizeval_ = wordsize;
                    stateval_ = absolutemode;
                }
                break;
            default: {  // nibblesize
                std::int32_t n;
                if (highnibble_) {
                    n = highnib(byteat(b_, i_));
                } else {
                    n = lownib(byteat(b_, i_));
                    i_ += 1;
                }
                highnibble_ = !highnibble_;
                if (n == 8) {
                    switchflag = true;
                    sizeval_ = bytesize;
                    stateval_ = incrementalmode;
                } else {
                    value = n > 8 ? n - 16 : n;
                }
                break;
            }
        }
        return value;
    }

    std::string_view b_;
    std::size_t i_ = 0;
    bool highnibble_ = true;
    int sizeval_ = wordsize;
    int stateval_ = absolutemode;
    std::int64_t currradius_ = 0;
    std::int64_t startincrement_ = 0;
    std::int64_t currdifference_ = 0;
};

}  // namespace

bool isescapedbyte(unsigned char b) {
    switch (b) {
        case 6:
        case 10:
        case 13:
        case 17:
        case 19:
        case 21:
        case 26:
        case 27:
        case 28:
        case 29:
        case 30:
            return true;
        default:
            return false;
    }
}

std::string unpackstr(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t k = 0; k < s.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(s[k]);
        if (c == kPackedEscape) {
            if (++k >= s.size()) break;
            out.push_back(static_cast<char>(static_cast<unsigned char>(s[k]) & 0x7F));
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

void writebyte(std::string& out, unsigned char b) {
    if (isescapedbyte(b)) {
        out.push_back(static_cast<char>(kPackedEscape));
        out.push_back(static_cast<char>(b ^ 0x80));
    } else {
        out.push_back(static_cast<char>(b));
    }
}

std::vector<std::int32_t> decodetrc3(std::string_view bytes, std::int64_t room) {
    std::vector<std::int32_t> out;
    out.reserve(reservefor(room, bytes.size()));
    std::int32_t radius = word16(bytes, 0);
    out.push_back(radius);
    std::size_t p = 2;
    while (p < bytes.size() && static_cast<std::int64_t>(out.size()) < room) {
        const std::int32_t step = signedbyte(byteat(bytes, p));
        if (step == -128) {
            radius = word16(bytes, p + 1);
            p += 3;
        } else {
            radius = wrap16(radius + step);
            p += 1;
        }
        out.push_back(radius);
    }
    return out;
}

std::vector<std::int32_t> decodetrcb(std::string_view bytes, std::int64_t room) {
    std::vector<std::int32_t> out;
    const std::size_t comma = bytes.find(',');
    std::int64_t radius = 0;
    std::size_t p = 0;
    if (comma != std::string_view::npos) {
        radius = xstrtoint(bytes.substr(0, comma));
        p = comma + 1;
    }
    out.reserve(reservefor(room, bytes.size() - p + 1));
    out.push_back(static_cast<std::int32_t>(radius));
    for (; p < bytes.size() && static_cast<std::int64_t>(out.size()) < room; ++p) {
        radius = saturate32(radius + static_cast<unsigned char>(bytes[p]) - 127);
        out.push_back(static_cast<std::int32_t>(radius));
    }
    return out;
}

std::vector<std::int32_t> converttrcfmt4(std::string_view bytes, std::int64_t room, std::size_t limit) {
    return trc4reader(bytes).unpack(room, limit);
}

std::string tradiilist::makebinaryradiilist(bool trcfmt) const {
    std::string out = trcfmt ? "R=" : "Z=";
    const int n = readcount();
    if (n <= 0) return out;
    out.reserve(out.size() + 2 * static_cast<std::size_t>(n) + 4);
    // The reader keeps 16-bit radii, so steps are taken between the 16-bit
    // values it will hold; that way every radius that fits 16 bits reads back.
    std::int32_t previous = wrap16(extractradiuselement(0));
    writebyte(out, static_cast<unsigned char>(previous & 0xFF));
    writebyte(out, static_cast<unsigned char>((previous >> 8) & 0xFF));
    for (int i = 1; i < n; ++i) {
        const std::int32_t radius = wrap16(extractradiuselement(i));
        const std::int32_t step = radius - previous;
        if (step >= -127 && step <= 127) {
            writebyte(out, static_cast<unsigned char>(step & 0xFF));
        } else {
            // 0x80 announces an absolute radius; a step of -128 would read as
            // that announcement, so it is written this way too.
            writebyte(out, 0x80);
            writebyte(out, static_cast<unsigned char>(radius & 0xFF));
            writebyte(out, static_cast<unsigned char>((radius >> 8) & 0xFF));
        }
        previous = radius;
    }
    return out;
}

}  // namespace kestrune
