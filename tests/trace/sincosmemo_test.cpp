// The per-thread sine and cosine memo: every answer is, bit for bit, what
// std::sin and std::cos give, whatever the memo held before; and what it
// holds never changes a drawing or the coordinate lists.
#include "kestrune/shape/canvas.hpp"
#include "kestrune/trace/sincosmemo.hpp"
#include "kestrune/support/settings.hpp"
#include "kestrune/trace/radiilist.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace kestrune {
namespace {

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// Asks memo for theta at index and checks the answer against the library.
void expectexact(tsincosmemo& memo, std::size_t index, double theta) {
    double s = 0, c = 0;
    memo.get(index, theta, s, c);
    EXPECT_EQ(bits(s), bits(std::sin(theta))) << "sin at " << index << " of " << theta;
    EXPECT_EQ(bits(c), bits(std::cos(theta))) << "cos at " << index << " of " << theta;
}

TEST(SinCosMemo, AnswersAreTheLibrarysWhateverCameBefore) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double a = 0.36 * std::numbers::pi / 180.0;    // the two ways the code
    const double b = 0.36 * (std::numbers::pi / 180.0);  // turns degrees to radians
    // Sequences asked for at one position: repeats, two alternating angles,
    // a third that pushes one out, the two zeros (which compare equal but
    // have different sines), and values without a proper sine.
    const std::vector<std::vector<double>> sequences{
        {a, a, a}, {a, b, a, b, b, a},    {1.0, 2.0, 3.0, 1.0, 2.0, 3.0, 3.0}, {0.0, -0.0, 0.0, -0.0},
        {-0.0},    {nan, 1.0, nan, -nan}, {inf, -inf, 1e300, -1e-300, 5e-324},
    };
    for (std::size_t index : {std::size_t{0}, std::size_t{3}, std::size_t{1000}, tsincosmemo::kMaxPoints - 1,
                              tsincosmemo::kMaxPoints, tsincosmemo::kMaxPoints * 4}) {
        tsincosmemo memo;
        for (const auto& sequence : sequences)
            for (double theta : sequence) expectexact(memo, index, theta);
    }
}

// A list's positions are independent: a new list of another length or with
// its angles shifted by one position gets its own values.
TEST(SinCosMemo, PositionsDoNotMix) {
    tsincosmemo memo;
    for (std::size_t i = 0; i < 500; ++i) expectexact(memo, i, 0.01 * static_cast<double>(i));
    for (std::size_t i = 0; i < 800; ++i) expectexact(memo, i, 0.01 * static_cast<double>(i + 1));
    for (std::size_t i = 0; i < 300; ++i) expectexact(memo, i, 0.01 * static_cast<double>(i));
}

TEST(SinCosMemo, EachThreadHasItsOwn) {
    tsincosmemo* here = &threadsincosmemo();
    tsincosmemo* there = nullptr;
    std::thread([&] { there = &threadsincosmemo(); }).join();
    EXPECT_NE(here, there);
    EXPECT_EQ(here, &threadsincosmemo());
}

// A drawing and the coordinate lists of a shape come out the same whether
// the thread's memo is new or full of other angles at the same positions
// (another shape drawn just before, with the same point count).
TEST(SinCosMemo, DrawingsAndCoordinatesDoNotDependOnWhatCameBefore) {
    setregionalsettings('.');
    const auto shape = [](double start, double step) {
        tradiilist l;
        for (int i = 0; i < 720; ++i) l.addradiilist(start + step * i, 2000 + (i * 37) % 900);
        return l;
    };
    struct result {
        std::vector<std::string> calls;
        std::vector<std::int32_t> x, y;
    };
    const auto run = [](tradiilist l) {
        result r;
        trecordingcanvas t;
        l.drawshape(t, 105, 105, rightcode, false);
        r.calls = t.strs();
        l.makexylists();
        for (int i = 0; i < l.xlist.count(); ++i) {
            r.x.push_back(tradiilist::extractradius(l.xlist[i]));
            r.y.push_back(tradiilist::extractradius(l.ylist[i]));
        }
        return r;
    };
    const tradiilist even = shape(0.0, 0.5), shifted = shape(0.25, 0.5), other = shape(0.1, 0.49);
    result fresh, afterothers;
    std::thread([&] { fresh = run(even); }).join();
    std::thread([&] {
        run(shifted);
        run(other);
        afterothers = run(even);
    }).join();
    EXPECT_EQ(fresh.calls, afterothers.calls);
    EXPECT_EQ(fresh.x, afterothers.x);
    EXPECT_EQ(fresh.y, afterothers.y);
    ASSERT_EQ(fresh.x.size(), 720u);
}

}  // namespace
}  // namespace kestrune
