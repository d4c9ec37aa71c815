// The sine and cosine of each point's angle, remembered per thread.
//
// A file's trace is turned into coordinates several times: for the dump and
// for each picture, and the next file of a batch mostly has the very same
// angles (a tracer steps its angle evenly). Each point position keeps the
// last two angles (in radians) it was asked for with their sine and cosine,
// so a repeat costs a comparison instead of two library calls. An angle
// matches only when its bits are equal, and the values are those of
// std::sin and std::cos of it: a hit gives exactly what computing gives.
//
// One memo per thread (threadsincosmemo), so threads never share it.
#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrune {

class tsincosmemo {
public:
    // Point positions from this on are computed every time, so a huge trace
    // does not leave a huge memo behind.
    static constexpr std::size_t kMaxPoints = 8192;

    // The sine and cosine of theta for the point at position index.
    void get(std::size_t index, double theta, double& s, double& c) {
        if (index >= kMaxPoints) {
            compute(theta, s, c);
            return;
        }
        if (index >= slots_.size()) grow(index);
        slot& p = slots_[index];
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(theta);
        if (p.recent.bits == bits) {
            s = p.recent.s;
            c = p.recent.c;
            return;
        }
        if (p.older.bits == bits) {
            s = p.older.s;
            c = p.older.c;
            return;
        }
        compute(theta, s, c);
        p.older = p.recent;
        p.recent = {bits, s, c};
    }

private:
    static void compute(double theta, double& s, double& c) {
        c = std::cos(theta);
        s = std::sin(theta);
    }
    void grow(std::size_t index);

    // An unused entry holds the angle +0, whose sine and cosine are exact.
    struct entry {
        std::uint64_t bits = 0;
        double s = 0.0, c = 1.0;
    };
    struct slot {
        entry recent, older;
    };
    std::vector<slot> slots_;
};

// The calling thread's memo.
tsincosmemo& threadsincosmemo();

}  // namespace kestrune
