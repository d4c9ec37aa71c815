#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kestrune/support/settings.hpp"
#include "kestrune/support/stringlist.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

// Every test starts with the point as decimal mark and leaves it so, whatever
// it switched to on the way.
class TextTest : public ::testing::Test {
protected:
    void SetUp() override { setregionalsettings('.'); }
    void TearDown() override { setregionalsettings('.'); }
};

std::vector<std::string> entries(const tstringlist& list) { return {list.begin(), list.end()}; }

tstringlist makelist(const std::vector<std::string>& items) {
    tstringlist list;
    for (const auto& item : items) list.add(item);
    return list;
}

// ---- characters and small text routines ----

TEST_F(TextTest, SingleCharactersAndZeroOutsideTheText) {
    EXPECT_EQ(firstchar("abc"), 'a');
    EXPECT_EQ(lastchar("abc"), 'c');
    EXPECT_EQ(firstchar(""), '\0');
    EXPECT_EQ(lastchar(""), '\0');

    struct Case {
        const char* s;
        int x;
        char expected;
    };
    const std::vector<Case> cases = {
        {"abc", 1, 'a'},  {"abc", 3, 'c'}, {"abc", 0, '\0'},     {"abc", -1, '\0'},
        {"abc", 4, '\0'}, {"", 1, '\0'},   {"a\xE9", 2, '\xE9'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(extractcharfromstr(c.s, c.x), c.expected) << c.s << " at " << c.x;
    }
}

TEST_F(TextTest, AddTrailingDelimiter) {
    struct Case {
        const char* s;
        char delim;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"", '/', ""},
        {"/tmp", '/', "/tmp/"},
        {"/tmp/", '/', "/tmp/"},
        {"C:\\work\\", '\\', "C:\\work\\"},
        {"C:\\work", '\\', "C:\\work\\"},
        {"a/b\\c", '\\', "a/b\\c/"},    // a forward slash anywhere wins
        {"folder\\", '/', "folder\\"},  // either kind of slash at the end is kept
    };
    for (const auto& c : cases) {
        EXPECT_EQ(addtrailing(c.s, c.delim), c.expected) << c.s;
    }
}

TEST_F(TextTest, UpcaseFoldsAsciiAndLatin1LettersOnly) {
    struct Case {
        std::string s;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"abc xyz 09", "ABC XYZ 09"},
        {"\xE9t\xE9", "\xC9T\xC9"},                // e acute
        {"\xE0\xFE", "\xC0\xDE"},                  // first and last folded letters
        {"\xF7\xFF\xDF\xB5", "\xF7\xFF\xDF\xB5"},  // division sign, y diaeresis, sharp s, micro
        {std::string("a\0b", 3), std::string("A\0B", 3)},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(upcase(c.s), c.expected) << c.s;
        // Consistent with the comparison that sorts and matches lists.
        EXPECT_TRUE(sametext(c.s, upcase(c.s))) << c.s;
    }
}

TEST_F(TextTest, PartMatchComparesTheShorterWithTheStartOfTheLonger) {
    struct Case {
        const char* a;
        const char* b;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"", "", true},          {"", "a", false},        {"a", "", false},
        {"TRC", "trcfmt", true}, {"trcfmt", "TRC", true}, {"TRCX", "trcfmt", false},
        {"abc", "ABC", true},    {"\xE9", "\xC9", false},  // only ASCII letters ignore case here
    };
    for (const auto& c : cases) {
        EXPECT_EQ(partmatchstr(c.a, c.b), c.expected) << c.a << " / " << c.b;
    }
}

TEST_F(TextTest, ReplaceIgnoresCaseAndDoesNotOverlap) {
    struct Case {
        const char* s;
        const char* oldtext;
        const char* newtext;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"A|b|C", "|", "\r\n", "A\r\nb\r\nC"},
        {"AbB", "b", "x", "Axx"},
        {"aaa", "aa", "X", "Xa"},     // left to right, no overlap
        {"abc", "a", "aa", "aabc"},   // replacement is not searched again
        {"abc", "", "x", "abc"},      // empty pattern changes nothing
        {"abc", "abcd", "x", "abc"},  // pattern longer than text
        {"Caf\xE9 CAF\xC9", "caf\xE9", "tea", "tea tea"},
        {"x=1;X=2", "x=", "", "1;2"},
        {"", "a", "b", ""},
    };
    for (const auto& c : cases) {
        std::string s = c.s;
        replaceinstr(s, c.oldtext, c.newtext);
        EXPECT_EQ(s, c.expected) << c.s << " / " << c.oldtext;
        EXPECT_EQ(replaceinstring(c.s, c.oldtext, c.newtext), c.expected) << c.s;
    }
}

// ---- integers to text ----

TEST_F(TextTest, IntegersToText) {
    struct Case {
        std::int32_t i;
        const char* plain;
        const char* padded6;
    };
    const std::vector<Case> cases = {
        {0, "0", "     0"},
        {42, "42", "    42"},
        {-12, "-12", "   -12"},
        {1234567, "1234567", "1234567"},  // longer than the width: not cut
        {kMax32, "2147483647", "2147483647"},
        {kMin32, "-2147483648", "-2147483648"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xinttostr(c.i), c.plain);
        EXPECT_EQ(xinttoansistr(c.i), c.plain);
        EXPECT_EQ(numstr(c.i), c.padded6);
        EXPECT_EQ(numstrx(c.i, 6), c.padded6);
    }
    EXPECT_EQ(numstrx(5, 0), "5");
    EXPECT_EQ(numstrx(5, -3), "5");
    EXPECT_EQ(numstrx(5, 3), "  5");
}

TEST_F(TextTest, HundredthsToTextWithTwoDecimalsAndEightDigits) {
    struct Case {
        std::int32_t i;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {1234, "12.34"},
        {-5, "-0.05"},
        {0, "0.00"},
        {100, "1.00"},
        {-100, "-1.00"},
        {99999999, "999999.99"},    // 8 digits: kept whole
        {123456789, "1234567.90"},  // 9 digits: the last one lost
        {123456784, "1234567.80"},
        {123456785, "1234567.80"},  // a tie goes to the even neighbour
        {123456795, "1234568.00"},
        {-123456785, "-1234567.80"},
        {1234567850, "12345678.00"},
        {1234567950, "12345680.00"},
        {999999995, "10000000.00"},   // the rounding carries into a new digit
        {1234567890, "12345679.00"},  // 10 digits: the last two lost
        {kMax32, "21474836.00"},
        {kMin32, "-21474836.00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xint2tostr(c.i), c.expected) << c.i;
    }
    setregionalsettings(',');
    EXPECT_EQ(xint2tostr(1234), "12,34");
    EXPECT_EQ(xint2tostr(-5), "-0,05");
    EXPECT_EQ(xint2tostr(123456789), "1234567,90");
}

// ---- reals to text ----

TEST_F(TextTest, RealsToFixedText) {
    struct Case {
        long double f;
        int l;
        int p;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0.0L, 2, 16, "0.00"},
        {1.0L, 2, 16, "1.00"},
        {-1.5L, 2, 16, "-1.50"},
        {123.456L, 2, 16, "123.46"},
        {123.456L, 0, 16, "123"},
        {2.5L, 0, 16, "2"},  // an exact tie goes to the even digit
        {3.5L, 0, 16, "4"},
        {0.125L, 2, 16, "0.12"},
        {0.375L, 2, 16, "0.38"},
        {0.1L, 2, 16, "0.10"},
        {123.456L, 4, 3, "123.0000"},  // 3 significant digits, padded to 4 decimals
        {0.000123456L, 6, 2, "0.000120"},
        {0.000123456L, 2, 16, "0.00"},
        {9.996L, 2, 3, "10.00"},     // rounding carries into the integer part
        {1234.56L, 1, 4, "1235.0"},  // the precision is the coarser place
        {1.23499L, 2, 4, "1.23"},    // rounded once: not 1.235, then 1.24
        {-0.001L, 2, 16, "0.00"},    // no sign in front of zero
        {-0.0L, 2, 16, "0.00"},
        {-0.006L, 2, 16, "-0.01"},
        {21474836.47L, 2, 16, "21474836.47"},
        {1.0L, -1, 16, "1"},                     // decimals below 0 count as 0
        {1.0L, 30, 16, "1.000000000000000000"},  // and above 18 as 18
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xfloattostr(c.f, c.l, c.p), c.expected) << static_cast<double>(c.f) << " " << c.l << " " << c.p;
    }
}

TEST_F(TextTest, RealsTooWideForThePrecisionUseTheScientificForm) {
    struct Case {
        long double f;
        int l;
        int p;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {1e20L, 2, 15, "1.00000000000000E+020"},
        {-1e20L, 2, 15, "-1.00000000000000E+020"},
        {123456.0L, 2, 3, "1.23E+005"},
        {999.6L, 2, 3, "1.00E+003"},  // rounds up past the precision
        {999.4L, 2, 3, "999.00"},
        {12.0L, 2, 1, "1E+001"},  // one digit: no decimal mark
        {1.5e300L, 2, 4, "1.500E+300"},
        {1e1000L, 2, 2, "1.0E+1000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xfloattostr(c.f, c.l, c.p), c.expected) << static_cast<double>(c.f);
    }
}

TEST_F(TextTest, RealsThatAreNotFiniteGiveEmptyText) {
    EXPECT_EQ(xfloattostr(std::numeric_limits<long double>::quiet_NaN(), 2, 16), "");
    EXPECT_EQ(xfloattostr(std::numeric_limits<long double>::infinity(), 2, 16), "");
    EXPECT_EQ(xfloattostr(-std::numeric_limits<long double>::infinity(), 2, 16), "");
    EXPECT_EQ(xrealtostr(std::numeric_limits<double>::quiet_NaN()), "");
}

TEST_F(TextTest, RealsFollowTheSystemDecimalMark) {
    setregionalsettings(',');
    EXPECT_EQ(xfloattostr(12.345L, 2, 16), "12,35");
    EXPECT_EQ(xfloattostr(0.5L, 4, 2), "0,5000");
    EXPECT_EQ(xfloattostr(1e20L, 2, 15), "1,00000000000000E+020");
    EXPECT_EQ(xrealtostr(-3.25), "-3,25");
}

TEST_F(TextTest, RealToTextHasTwoDecimalsAndNoBlanks) {
    struct Case {
        double r;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {0.0, "0.00"}, {17.5, "17.50"}, {-0.05, "-0.05"}, {1234567.891, "1234567.89"}, {1e20, "1.000000000000000E+020"},
    };
    for (const auto& c : cases) EXPECT_EQ(xrealtostr(c.r), c.expected) << c.r;
}

// Values below 1e14 take a shorter route; it must give what the general one
// gives: ties, values just off a tie, zeros of either sign, both decimal
// marks, and a spread of values of every size.
TEST_F(TextTest, RealToTextGivesWhatTheGeneralRouteGives) {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  1,
                                  -1,
                                  2500,
                                  -2500,
                                  0.125,
                                  0.375,
                                  -0.125,
                                  2.675,
                                  1.005,
                                  0.005,
                                  -0.005,
                                  -0.004,
                                  0.015,
                                  359.995,
                                  123.456,
                                  2147483647.0,
                                  -2147483648.0,
                                  99999999999999.0,
                                  99999999999999.99,
                                  -99999999999999.99,
                                  100000000000000.0,
                                  9007199254740992.0,
                                  1e20,
                                  0.5,
                                  -0.5,
                                  2.5,
                                  1e-300,
                                  -1e-300};
    std::mt19937_64 random(42);
    for (int i = 0; i < 2000; ++i) {
        const double magnitude = std::pow(10.0, static_cast<double>(random() % 17) - 2);
        values.push_back((static_cast<double>(random() % 2000001) / 1000000.0 - 1.0) * magnitude);
        values.push_back(static_cast<double>(static_cast<std::int64_t>(random() % 100000000)) / 1000.0);
    }
    for (const char mark : {'.', ','}) {
        setregionalsettings(mark);
        for (const double v : values) {
            std::string general = xfloattostr(v, 2, 16);
            general.erase(0, general.find_first_not_of(' '));
            ASSERT_EQ(xrealtostr(v), general) << mark << " " << std::hexfloat << v;
        }
    }
    setregionalsettings('.');
    EXPECT_EQ(xrealtostr(-0.0), "0.00");
    EXPECT_EQ(xrealtostr(-0.004), "0.00");
    EXPECT_EQ(xrealtostr(-2500), "-2500.00");
    EXPECT_EQ(xrealtostr(0.125), "0.12");
}

// ---- text to numbers ----

TEST_F(TextTest, DecimalMarkIsSwappedOnlyWhenOneKindIsPresent) {
    struct Case {
        const char* s;
        const char* withpoint;
        const char* withcomma;
    };
    const std::vector<Case> cases = {
        {"12,5", "12.5", "12,5"},
        {"12.5", "12.5", "12,5"},
        {"1,2,3", "1.2,3", "1,2,3"},  // only the first is swapped
        {"1.2.3", "1.2.3", "1,2.3"},
        {"1,234.5", "1,234.5", "1,234.5"},  // both kinds: unchanged
        {"", "", ""},
        {"abc", "abc", "abc"},
    };
    for (const auto& c : cases) {
        setregionalsettings('.');
        EXPECT_EQ(checkdecimalseparator(c.s), c.withpoint) << c.s;
        setregionalsettings(',');
        EXPECT_EQ(checkdecimalseparator(c.s), c.withcomma) << c.s;
    }
}

struct RealCase {
    const char* text;
    double real;
    std::int32_t hundredths;  // xstrtoint2
    std::int32_t rounded;     // xstrtoint0
};

// Texts that read the same with either decimal mark in the settings.
const std::vector<RealCase> kRealsEitherMark = {
    {"12.5", 12.5, 1250, 12},
    {"12,5", 12.5, 1250, 12},
    {"2.5", 2.5, 250, 2},
    {"2,5", 2.5, 250, 2},
    {" 2.50 ", 2.5, 250, 2},
    {"\t7\r\n", 7, 700, 7},
    {"3.5", 3.5, 350, 4},
    {"-2.5", -2.5, -250, -2},  // a tie goes to the even neighbour
    {"-3.5", -3.5, -350, -4},
    {"+1.25", 1.25, 125, 1},
    {"0.125", 0.125, 12, 0},  // 12.5 hundredths: to the even 12
    {"0.375", 0.375, 38, 0},  // 37.5 hundredths: to the even 38
    {"5.", 5, 500, 5},
    {".5", 0.5, 50, 0},
    {"1e3", 1000, 100000, 1000},
    {"1.5E-2", 0.015, 2, 0},
    {"2E+1", 20, 2000, 20},
    {"007", 7, 700, 7},
    // unreadable: 0 everywhere
    {"", 0, 0, 0},
    {"   ", 0, 0, 0},
    {"1,234.5", 0, 0, 0},  // both marks
    {"1.2.3", 0, 0, 0},
    {"abc", 0, 0, 0},
    {"12abc", 0, 0, 0},
    {"1 2", 0, 0, 0},
    {".", 0, 0, 0},
    {"-", 0, 0, 0},
    {"+-1", 0, 0, 0},
    {"1e", 0, 0, 0},
    {"e5", 0, 0, 0},
    {"inf", 0, 0, 0},
    {"-infinity", 0, 0, 0},
    {"nan", 0, 0, 0},
    {"0x1p3", 0, 0, 0},
    {"1e400", 0, 0, 0},  // beyond the range of a double
    {"1e99999", 0, 0, 0},
};

TEST_F(TextTest, ReadingRealsWithEitherDecimalMark) {
    for (char mark : {'.', ','}) {
        setregionalsettings(mark);
        for (const auto& c : kRealsEitherMark) {
            EXPECT_DOUBLE_EQ(xstrtoreal(c.text), c.real) << "'" << c.text << "' mark " << mark;
            EXPECT_EQ(xstrtoint2(c.text), c.hundredths) << "'" << c.text << "' mark " << mark;
            EXPECT_EQ(xstrtoint0(c.text), c.rounded) << "'" << c.text << "' mark " << mark;
        }
    }
}

TEST_F(TextTest, ReadingRealsAtTheLimitsOfThirtyTwoBits) {
    const std::vector<RealCase> cases = {
        {"21474836.47", 21474836.47, kMax32, 21474836},
        {"21474836.48", 21474836.48, 0, 21474836},
        {"-21474836.48", -21474836.48, kMin32, -21474836},
        {"-21474836.49", -21474836.49, 0, -21474836},
        {"21474836.4749", 21474836.4749, kMax32, 21474836},
        {"2147483647", 2147483647.0, 0, kMax32},
        {"2147483647.4", 2147483647.4, 0, kMax32},
        {"2147483647.5", 2147483647.5, 0, 0},  // rounds to 2^31: outside
        {"-2147483648", -2147483648.0, 0, kMin32},
        {"-2147483648.5", -2147483648.5, 0, kMin32},  // the tie goes to the even -2^31
        {"-2147483649", -2147483649.0, 0, 0},
        {"1e30", 1e30, 0, 0},
    };
    for (char mark : {'.', ','}) {
        setregionalsettings(mark);
        for (const auto& c : cases) {
            EXPECT_DOUBLE_EQ(xstrtoreal(c.text), c.real) << c.text;
            EXPECT_EQ(xstrtoint2(c.text), c.hundredths) << c.text;
            EXPECT_EQ(xstrtoint0(c.text), c.rounded) << c.text;
        }
    }
}

// A plain decimal (no exponent, at most 18 digits) is read by a quicker
// route than one with an exponent; "e0" after the text takes the general
// route to the same number, so the two must agree to the last bit.
TEST_F(TextTest, PlainDecimalsReadAsTheGeneralRouteReadsThem) {
    std::mt19937_64 random(20261210);
    std::vector<std::string> texts = {"0",
                                      "-0",
                                      "-0.00",
                                      "1.40",
                                      "3.25",
                                      "-22.00",
                                      "0.005",
                                      "1.005",
                                      "2.675",
                                      "21474836.47",
                                      "21474836.48",
                                      "-21474836.48",
                                      "-21474836.49",
                                      "999999999999999999",
                                      "99999999999.99",
                                      "100000000000",
                                      "0.1",
                                      "0.7"};
    for (int k = 0; k < 20000; ++k) {
        const int digits = 1 + static_cast<int>(random() % 18);
        std::string t = random() % 2 ? "-" : "";
        for (int d = 0; d < digits; ++d) t += static_cast<char>('0' + random() % 10);
        const int decimals = static_cast<int>(random() % static_cast<unsigned>(digits));
        if (decimals > 0) t.insert(t.size() - static_cast<std::size_t>(decimals), ".");
        texts.push_back(t);
    }
    for (char mark : {'.', ','}) {
        setregionalsettings(mark);
        for (const std::string& t : texts) {
            const std::string general = t + "e0";
            const double quick = xstrtoreal(t), slow = xstrtoreal(general);
            ASSERT_EQ(std::memcmp(&quick, &slow, sizeof quick), 0) << t << " mark " << mark;
            ASSERT_EQ(xstrtoint2(t), xstrtoint2(general)) << t << " mark " << mark;
            ASSERT_EQ(xstrtoint0(t), xstrtoint0(general)) << t << " mark " << mark;
        }
    }
}

TEST_F(TextTest, ReadingRealsHasTheUsersMarkOnlyOnce) {
    // With the comma in the settings, a point is swapped when it is the only
    // kind of mark, so both still read; grouping never does.
    setregionalsettings(',');
    EXPECT_DOUBLE_EQ(xstrtoreal("1.234,5"), 0);
    EXPECT_DOUBLE_EQ(xstrtoreal("1,5e2"), 150);
    EXPECT_EQ(xstrtoint2("-0,05"), -5);
    setregionalsettings('.');
    EXPECT_DOUBLE_EQ(xstrtoreal("1.234,5"), 0);
    EXPECT_EQ(xstrtoint2("-0.05"), -5);
}

TEST_F(TextTest, LongNumberTextsReadLikeShortOnes) {
    const std::string zeros(200, '0');
    for (char mark : {'.', ','}) {
        setregionalsettings(mark);
        EXPECT_DOUBLE_EQ(xstrtoreal("  " + zeros + "12,5" + zeros + "  "), 12.5) << mark;
        EXPECT_EQ(xstrtoint2("-" + zeros + "2.5"), -250) << mark;
        EXPECT_DOUBLE_EQ(xstrtoreal(zeros + "1.5x"), 0) << mark;
        EXPECT_EQ(xstrtoint(zeros + "42"), 42) << mark;
    }
}

TEST_F(TextTest, ReadingWholeNumbers) {
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const std::vector<Case> cases = {
        {"42", 42},
        {"+42", 42},
        {"-42", -42},
        {" \t42 \r\n", 42},
        {"007", 7},
        {"2147483647", kMax32},
        {"-2147483648", kMin32},
        {"2147483648", 0},
        {"-2147483649", 0},
        {"99999999999999999999", 0},
        {"$FF", 255},
        {"$ff", 255},
        {"x1F", 31},
        {"X1f", 31},
        {"0x10", 16},
        {"0X10", 16},
        {"-$10", -16},
        {"+0x7FFFFFFF", kMax32},
        {"$FFFFFFFF", -1},
        {"$80000000", kMin32},
        {"$00000000FF", 255},
        {"$100000000", 0},
        {"42abc", 0},
        {"4 2", 0},
        {"12.5", 0},
        {"12,5", 0},
        {"1e3", 0},
        {"", 0},
        {"   ", 0},
        {"+", 0},
        {"-", 0},
        {"$", 0},
        {"0x", 0},
        {"$G", 0},
        {"--1", 0},
        {"0", 0},
        {"-0", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xstrtoint(c.text), c.expected) << "'" << c.text << "'";
    }
}

TEST_F(TextTest, NumberTest) {
    struct Case {
        const char* text;
        bool numeric;
        bool specified;
    };
    const std::vector<Case> cases = {
        {"", true, false},     {"   ", true, true},  // only the empty text is unspecified
        {"-5", true, true},    {"5.", true, true},    {".5", true, true},      {"1,5", true, true},
        {" 12 ", true, true},  {"+0.25", true, true}, {"1.2.3", false, false}, {"1,5.2", false, false},
        {"+", false, false},   {"-", false, false},   {"5-", false, false},    {"1e5", false, false},
        {"1 5", false, false}, {"abc", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(numeric(c.text), c.numeric) << "'" << c.text << "'";
        EXPECT_EQ(numericandspecified(c.text), c.specified) << "'" << c.text << "'";
    }
}

// ---- tags and values ----

TEST_F(TextTest, TagAndValueParts) {
    struct Case {
        const char* s;
        const char* tag;
        const char* value;
        const char* rawvalue;
    };
    const std::vector<Case> cases = {
        {"TAG= x ", "TAG", "x", " x "},
        {"TRCFMT=1;400;E;R;F", "TRCFMT", "1;400;E;R;F", "1;400;E;R;F"},
        {"A=b=c", "A", "b=c", "b=c"},
        {"EMPTY=", "EMPTY", "", ""},
        {"=v", "", "v", "v"},
        {" no delimiter ", " no delimiter ", "no delimiter", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findtagpart(c.s), c.tag) << c.s;
        EXPECT_EQ(findvaluepart(c.s), c.value) << c.s;
        EXPECT_EQ(findvaluepartnotrim(c.s), c.rawvalue) << c.s;
    }
}

TEST_F(TextTest, RightAndLeftPairWithPoints) {
    EXPECT_EQ(makedotchiral("DBL", "17,5", "18,0"), "DBL=17.5;18.0");
    EXPECT_EQ(makedotchiral("", "1,5", "2"), "1.5;2");
    EXPECT_EQ(makedotchiral("A,B", "1", "2"), "A,B=1;2");  // the tag keeps its commas
    EXPECT_EQ(makedotchiral("X", "", ""), "X=;");
}

// ---- delimited lists ----

TEST_F(TextTest, SplittingDelimitedLines) {
    struct Case {
        std::string s;
        char d;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"a;b;c", ';', {"a", "b", "c"}},
        {"a;;b", ';', {"a", "", "b"}},
        {"a;b;", ';', {"a", "b"}},  // no empty last field
        {";a", ';', {"", "a"}},
        {"\"x;y\"", ';', {"x;y"}},
        {"\"x;y\";z", ';', {"x;y", "z"}},
        {"a\"b;c", ';', {"a\"b", "c"}},         // a quote inside a field is plain text
        {"\"\"", ';', {""}},                    // an empty first field written as ""
        {"\"", ';', {""}},                      // a lone quote becomes empty
        {"\"a\"\"b\"", ';', {"a\"\"b"}},        // doubled quotes are not reduced
        {"\"open;rest", ';', {"\"open;rest"}},  // an unclosed quote runs to the end
        {"1,2,3", ',', {"1", "2", "3"}},
        {"1,2,3", ';', {"1,2,3"}},
        {"", ';', {}},
    };
    for (const auto& c : cases) {
        tstringlist list;
        list.add("old entry");
        delimitedstrtolist(c.s, list, c.d);
        EXPECT_EQ(entries(list), c.expected) << c.s;
        // One field read in place is that field of the split, and there is
        // none past the last.
        for (int k = -1; k <= static_cast<int>(c.expected.size()); ++k) {
            std::string_view field = "untouched";
            const bool found = delimitedfield(c.s, k, c.d, field);
            const bool exists = k >= 0 && k < static_cast<int>(c.expected.size());
            EXPECT_EQ(found, exists) << c.s << " field " << k;
            EXPECT_EQ(std::string(field), exists ? c.expected[static_cast<std::size_t>(k)] : "untouched")
                << c.s << " field " << k;
        }
    }
    delimitedstrtolist("a;b", nullptr, ';');  // no list: nothing happens
}

TEST_F(TextTest, JoiningLists) {
    struct Case {
        std::vector<std::string> items;
        char d;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {{"a", "b", "c"}, ';', "a;b;c"},
        {{"", "b"}, ';', "\"\";b"},  // an empty first entry is kept
        {{"a", "", "b"}, ';', "a;;b"},
        {{"x;y", "z"}, ';', "\"x;y\";z"},
        {{"\"x;y\"", "z"}, ';', "\"x;y\";z"},  // already quoted
        {{"1,5"}, ',', "\"1,5\""},
        {{}, ';', ""},
    };
    for (const auto& c : cases) {
        std::string s = "previous";
        listtodelimitedstr(makelist(c.items), s, c.d);
        EXPECT_EQ(s, c.expected);
    }
}

TEST_F(TextTest, JoinedListsSplitBackIntoTheSameEntries) {
    const std::vector<std::vector<std::string>> lists = {
        {"a", "b", "c"}, {"", "b"}, {"a", "", "b"}, {"x;y", "z", "w;"}, {""}, {"R=1;2", "L"},
    };
    for (const auto& items : lists) {
        std::string s;
        listtodelimitedstr(makelist(items), s, ';');
        tstringlist back;
        delimitedstrtolist(s, back, ';');
        EXPECT_EQ(entries(back), items) << s;
    }
}

TEST_F(TextTest, ListEntryOutsideTheListIsEmpty) {
    const tstringlist empty;
    const tstringlist list = makelist({"first", "second"});
    EXPECT_EQ(listentry(empty, 0), "");
    EXPECT_EQ(listentry(list, -1), "");
    EXPECT_EQ(listentry(list, 0), "first");
    EXPECT_EQ(listentry(list, 1), "second");
    EXPECT_EQ(listentry(list, 2), "");
    EXPECT_EQ(listentry(nullptr, 0), "");
}

TEST_F(TextTest, AddingFieldsToADelimitedLine) {
    struct Case {
        const char* target;
        std::string toadd;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"", "", " "},                    // a single blank, not nothing
        {"", std::string(1, '\0'), " "},  // character 0 alone counts as empty
        {"", "a", "a"},
        {"a", "b", "a;b"},
        {"a", "", "a;"},
        {"a", "x;y", "a;\"x;y\""},
        {"", "x;y", "\"x;y\""},
        {"a", "1,5", "a;1,5"},
    };
    for (const auto& c : cases) {
        std::string target = c.target;
        adddelimitedcsv(target, c.toadd, ';');
        EXPECT_EQ(target, c.expected) << c.target << " + " << c.toadd;
    }
}

TEST_F(TextTest, AddCsvUsesTheListSeparatorOfTheSettings) {
    std::string line;
    addcsv(line, "1.5");
    addcsv(line, "a,b");
    EXPECT_EQ(line, "1.5,\"a,b\"");

    setregionalsettings(',');
    line.clear();
    addcsv(line, "1,5");
    addcsv(line, "a;b");
    EXPECT_EQ(line, "1,5;\"a;b\"");
}

// ---- 8-bit and 16-bit text ----

TEST_F(TextTest, EightBitTextBecomesCharactersOfTheSameCode) {
    const std::string bytes("A\0\x7F\x80\xE9\xFF", 6);
    const std::u16string text = AnsiStringtoString(bytes);
    EXPECT_EQ(text, (std::u16string{u'A', 0, 0x7F, 0x80, 0xE9, 0xFF}));
    EXPECT_EQ(StringtoAnsistring(text), bytes);  // and back unchanged
    EXPECT_EQ(AnsiStringtoString(""), u"");
}

TEST_F(TextTest, CharactersBeyondLatin1KeepTheirLowByteAfterAZero) {
    EXPECT_EQ(StringtoAnsistring(u"a\u0141b"), std::string("a\0\x41"
                                                           "b",
                                                           4));
    EXPECT_EQ(StringtoAnsistring(u"\u20AC"), std::string("\0\xAC", 2));
    EXPECT_EQ(StringtoAnsistring(u""), "");
}

TEST(TextEncoding, Latin1BecomesUtf8AndUtf8IsRecognised) {
    using namespace std::string_literals;
    struct Case {
        std::string latin1, utf8;
    } const conversions[] = {
        {"", ""},
        {"JOB=1;R", "JOB=1;R"},
        {"\xE9", "\xC3\xA9"},              // e acute
        {"\x80\xFF", "\xC2\x80\xC3\xBF"},  // the ends of the upper half
        {"a\0b\x7F"s, "a\0b\x7F"s},        // control bytes stay as they are
    };
    for (const Case& c : conversions) {
        EXPECT_EQ(latin1toutf8(c.latin1), c.utf8) << c.latin1;
        EXPECT_TRUE(isutf8(c.utf8)) << c.utf8;
    }
    for (const char* bad : {"\xE9", "\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
                            "\xE0\x80\x80", "\xC3\xA9\xA9"})
        EXPECT_FALSE(isutf8(bad)) << bad;
    EXPECT_TRUE(isutf8("\xF0\x9F\x98\x80"));  // four bytes
}

}  // namespace
}  // namespace kestrune
