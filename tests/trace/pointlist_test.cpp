// The point list holds elements in the usual layout as numbers and any other
// text as it stands; these tests hold it against the element texts
// themselves: what tradiilist::combineangleradius writes, what
// extractangle and extractradius read, and the text order of comparetext.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kestrune/support/settings.hpp"
#include "kestrune/support/text.hpp"
#include "kestrune/trace/radiilist.hpp"

namespace kestrune {
namespace {

using ::testing::ElementsAreArray;

class PointList : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
    void TearDown() override { setregionalsettings('.'); }
};

// Every accessor of element i agrees with the text the element stands for.
void expectreadsastext(const tpointlist& list, int i, const std::string& text) {
    SCOPED_TRACE("element " + std::to_string(i) + " [" + text + "]");
    EXPECT_EQ(list[i], text);
    const double angle = list.angle(i);
    const double fromtext = tradiilist::extractangle(text);
    // Bit for bit, NaN included.
    EXPECT_TRUE(angle == fromtext || (std::isnan(angle) && std::isnan(fromtext))) << angle << " " << fromtext;
    EXPECT_EQ(list.radius(i), tradiilist::extractradius(text));
    const std::string radiustext = text.size() > 7 ? trim(text.substr(7)) : std::string();
    EXPECT_EQ(list.radiustext(i), radiustext);
    EXPECT_EQ(list.radiustextvalue(i), xstrtoint(radiustext));
    // An element held as numbers hands out its angle as it is held: the
    // same angle, and the same text written from it.
    std::int32_t thousandths = -1;
    if (list.anglethousandths(i, thousandths)) {
        EXPECT_EQ(angle, thousandths / 1000.0);
        EXPECT_EQ(tradiilist::combineangleradius(thousandths / 1000.0, list.radius(i)), text);
    }
}

TEST_F(PointList, PointsReadExactlyAsTheirElementTexts) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double angle;
        std::int32_t radius;
    } cases[] = {
        {0, 2500},
        {45.5, 2500},
        {359.999, 1},
        {359.9996, 2500},  // written as 360.000
        {0.0625, 2500},    // a tie at the fourth decimal: to the even digit, 0.062
        {0.1875, 2500},    // 0.188
        {0.0005, 2500},    // not a tie in binary
        {0.0015, 2500},
        {999.999, 2500},   // the widest angle field
        {999.9996, 2500},  // 1000.000 is one character too wide
        {1000, 2500},
        {-0.0001, 2500},  // written without a sign
        {-0.0, 2500},
        {-1.5, 2500},
        {1e300, 2500},
        {nan, 2500},
        {std::numeric_limits<double>::infinity(), 2500},
        {12.345, -9999},   // the smallest radius of five characters
        {12.345, -10000},  // six characters: read back as "-1000"
        {12.345, 99999},
        {12.345, 100000},
        {12.345, 0},
        {12.345, -5},
        {12.345, std::numeric_limits<std::int32_t>::max()},
        {12.345, std::numeric_limits<std::int32_t>::min()},
    };
    tpointlist list;
    std::vector<std::string> texts;
    for (const auto& c : cases) {
        list.addpoint(c.angle, c.radius);
        texts.push_back(tradiilist::combineangleradius(c.angle, c.radius));
    }
    ASSERT_EQ(list.count(), static_cast<int>(texts.size()));
    for (int i = 0; i < list.count(); ++i) expectreadsastext(list, i, texts[static_cast<std::size_t>(i)]);
    EXPECT_EQ(list[3], "360.000 2500");
    EXPECT_EQ(list[4], "  0.062 2500");
    EXPECT_EQ(list[9], "1000.000 2500");
}

TEST_F(PointList, RandomPointsReadExactlyAsTheirElementTexts) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> anyangle(0, 1000);
    std::uniform_int_distribution<std::int32_t> anyradius(-20000, 120000);
    std::uniform_int_distribution<int> thousandths(0, 999999);
    tpointlist list;
    std::vector<std::string> texts;
    for (int k = 0; k < 20000; ++k) {
        double angle;
        switch (k % 4) {
            case 0:
                angle = anyangle(random);
                break;
            // Angles at and next to the halfway points between thousandths.
            case 1:
                angle = (thousandths(random) + 0.5) / 1000.0;
                break;
            case 2:
                angle = std::nextafter((thousandths(random) + 0.5) / 1000.0, 0.0);
                break;
            // Sixteenths of a degree: exact ties at the fourth decimal.
            default:
                angle = static_cast<double>(random() % 16000) / 16.0;
                break;
        }
        const std::int32_t radius = anyradius(random);
        list.addpoint(angle, radius);
        texts.push_back(tradiilist::combineangleradius(angle, radius));
    }
    for (int i = 0; i < list.count(); ++i) {
        ASSERT_EQ(list[i], texts[static_cast<std::size_t>(i)]) << i;
        ASSERT_EQ(list.angle(i), tradiilist::extractangle(texts[static_cast<std::size_t>(i)]))
            << texts[static_cast<std::size_t>(i)];
        ASSERT_EQ(list.radius(i), tradiilist::extractradius(texts[static_cast<std::size_t>(i)]))
            << texts[static_cast<std::size_t>(i)];
        ASSERT_EQ(list.radiustextvalue(i), xstrtoint(list.radiustext(i))) << texts[static_cast<std::size_t>(i)];
    }
}

// Every angle field of the usual layout, with either decimal mark: the number
// kept is the number the text reads as.
TEST_F(PointList, EveryAngleOfOneTurnReadsAsItsText) {
    for (const char mark : {'.', ','}) {
        setregionalsettings(mark);
        tpointlist list;
        list.reserve(360000);
        for (int t = 0; t < 360000; ++t) list.addpoint(t / 1000.0, 2500);
        for (int t = 0; t < 360000; ++t) {
            const std::string text = list[t];
            ASSERT_EQ(list.angle(t), tradiilist::extractangle(text)) << text << " with " << mark;
            ASSERT_EQ(text, tradiilist::combineangleradius(t / 1000.0, 2500)) << t;
            std::int32_t held = -1;
            ASSERT_TRUE(list.anglethousandths(t, held));
            ASSERT_EQ(held, t);
        }
    }
}

TEST_F(PointList, OtherTextsAreKeptAsTheyStand) {
    const std::vector<std::string> texts{
        "",
        "1",
        " 45.5",
        "  0.000",
        "  0.000 2",
        "9999999 2100",
        "  00.000 2500",
        " 045.000 2500",
        "  0.000  2500",
        " 45.500 abcd",
        "  0.0002147483647",
        "   nan 2500",
        " 45,500 2500",
        "\xff\x01\x80",
        "  0.000 2500",
    };
    tpointlist list;
    for (const std::string& t : texts) list.add(t);
    EXPECT_THAT(list.items(), ElementsAreArray(texts));
    for (int i = 0; i < list.count(); ++i) expectreadsastext(list, i, texts[static_cast<std::size_t>(i)]);
}

TEST_F(PointList, OutOfRangeIndexesGiveNothingAndChangeNothing) {
    tpointlist list;
    list.addpoint(10, 2500);
    list.add("odd");
    for (const int i : {-1, 2, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        EXPECT_EQ(list[i], "") << i;
        EXPECT_EQ(list.angle(i), 0) << i;
        EXPECT_EQ(list.radius(i), 0) << i;
        EXPECT_EQ(list.radiustext(i), "") << i;
        std::int32_t thousandths = 7;
        EXPECT_FALSE(list.anglethousandths(i, thousandths)) << i;
        EXPECT_EQ(thousandths, 7) << i;
        EXPECT_EQ(list.radiustextvalue(i), 0) << i;
        list.set(i, "x");
        list.setpoint(i, 1, 1);
        list.remove(i);
    }
    std::int32_t thousandths = 0;
    EXPECT_TRUE(list.anglethousandths(0, thousandths));
    EXPECT_EQ(thousandths, 10000);
    EXPECT_FALSE(list.anglethousandths(1, thousandths)) << "a text element has no angle held as a number";
    list.insert(3, "x");
    list.insert(-1, "x");
    EXPECT_THAT(list.items(), ElementsAreArray({" 10.000 2500", "odd"}));
}

// The sort puts the texts in comparetext order, equal texts in the order
// they had; the pool mixes elements of the usual layout, equal angles with
// radii whose text order is not their numeric order, and other texts.
TEST_F(PointList, SortFollowsTheTextOrder) {
    const std::vector<std::string> pool{
        " 45.000 2500",
        " 45.000  -50",
        " 45.000 -100",
        " 45.000  900",
        " 45.000 12345",
        " 45.000123456",
        "  5.000 2500",
        "100.000 2500",
        "359.999 2500",
        "  0.000 2500",
        "360.000    0",
        "999.999-9999",
        "",
        "x",
        " 45.000",
        "  45.00 2500",
        " 45.000 abc",
        "1000.000 2500",
        " -1.000 2500",
    };
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> texts;
        const int n = 1 + round % 40;
        for (int k = 0; k < n; ++k) texts.push_back(pool[pick(random)]);
        tpointlist list;
        for (const std::string& t : texts) list.add(t);
        std::vector<std::string> expected = texts;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const std::string& x, const std::string& y) { return comparetext(x, y) < 0; });
        EXPECT_EQ(list.issorted(), expected == texts) << round;
        list.sort();
        ASSERT_EQ(list.items(), expected) << round;
        EXPECT_TRUE(list.issorted());
    }
}

// Edits applied to the list and to a plain list of texts give the same texts.
TEST_F(PointList, EditsMatchAListOfTexts) {
    const std::vector<std::string> pool{" 45.000 2500", "  0.000-9999", "odd", "", " 45.000123456", "359.000 2510"};
    std::mt19937 random(11);
    std::uniform_int_distribution<int> op(0, 6);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    tpointlist list;
    std::vector<std::string> model;
    for (int step = 0; step < 3000; ++step) {
        const int n = static_cast<int>(model.size());
        const int i = n == 0 ? 0 : static_cast<int>(random() % static_cast<unsigned>(n + 1)) - (step % 7 == 0 ? 1 : 0);
        const bool inrange = i >= 0 && i < n;
        switch (op(random)) {
            case 0: {
                const std::string& t = pool[pick(random)];
                list.add(t);
                model.push_back(t);
                break;
            }
            case 1: {
                const double angle = (random() % 400000) / 1000.0 + (step % 3 == 0 ? 0.0004 : 0.0);
                const auto radius = static_cast<std::int32_t>(random() % 130000) - 15000;
                list.addpoint(angle, radius);
                model.push_back(tradiilist::combineangleradius(angle, radius));
                break;
            }
            case 2: {
                const std::string& t = pool[pick(random)];
                list.set(i, t);
                if (inrange) model[static_cast<std::size_t>(i)] = t;
                break;
            }
            case 3: {
                const double angle = (random() % 360000) / 1000.0;
                list.setpoint(i, angle, 2500);
                if (inrange) model[static_cast<std::size_t>(i)] = tradiilist::combineangleradius(angle, 2500);
                break;
            }
            case 4: {
                const std::string& t = pool[pick(random)];
                list.insert(i, t);
                if (i >= 0 && i <= n) model.insert(model.begin() + i, t);
                break;
            }
            case 5:
                list.remove(i);
                if (inrange) model.erase(model.begin() + i);
                break;
            default:
                if (step % 50 == 0) {
                    list.sort();
                    std::stable_sort(model.begin(), model.end(),
                                     [](const std::string& x, const std::string& y) { return comparetext(x, y) < 0; });
                }
                break;
        }
        ASSERT_EQ(list.count(), static_cast<int>(model.size())) << step;
        if (step % 100 == 0) {
            ASSERT_EQ(list.items(), model) << step;
        }
    }
    EXPECT_EQ(list.items(), model);
}

TEST_F(PointList, CopiesAssignmentsAndComparisonsGoByTheTexts) {
    tstringlist texts;
    for (const char* t : {"  0.000 2500", "odd", " 90.000 2510"}) texts.add(t);
    tpointlist list;
    list.addpoint(5, 5);
    list = texts;
    EXPECT_THAT(list.items(), ElementsAreArray(texts.items()));

    tpointlist same;
    same.addpoint(0, 2500);
    same.add("odd");
    same.add(" 90.000 2510");
    EXPECT_TRUE(list == same);
    const tpointlist copy = list;
    EXPECT_TRUE(copy == list);
    same.set(1, "odd ");
    EXPECT_FALSE(list == same);
    same.set(1, "odd");
    same.setpoint(2, 90, 2511);
    EXPECT_FALSE(list == same);

    tpointlist other;
    other.add("x");
    other.swap(list);
    EXPECT_THAT(other.items(), ElementsAreArray(texts.items()));
    EXPECT_THAT(list.items(), ElementsAreArray({"x"}));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list[0], "");
}

}  // namespace
}  // namespace kestrune
