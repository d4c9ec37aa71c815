#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "kestrune/trace/packedtraces.hpp"
#include "kestrune/trace/radiilist.hpp"
#include "fixtures/omafixtures.hpp"

namespace kestrune {
namespace {

using fixtures::anglesof;
using fixtures::encodetrc4;
using fixtures::encodetrcb;
using fixtures::escaped;
using fixtures::evenlist;
using fixtures::hex;
using fixtures::radiiof;
using ::testing::ElementsAreArray;
using Radii = std::vector<std::int32_t>;

// The bytes that end a record in a file.
bool endsrecord(unsigned char c) {
    for (unsigned char s : {6, 10, 13, 17, 19, 21, 26, 28, 29, 30})
        if (c == s) return true;
    return false;
}

// ---------------------------------------------------------------- escaping

TEST(PackedEscaping, UnpackstrTable) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"escaped FS", hex("1B 9C"), hex("1C")},
        {"escape of a plain byte drops its top bit only", hex("1B 41"), hex("41")},
        {"escaped CR inside data", hex("C4 09 1B 8D 05"), hex("C4 09 0D 05")},
        {"final ESC is dropped", hex("41 1B"), hex("41")},
        {"lone ESC gives nothing", hex("1B"), ""},
        {"escaped ESC is not inspected again", hex("1B 9B 41"), hex("1B 41")},
        {"two escapes in a row", hex("1B 9B 1B 9B"), hex("1B 1B")},
        {"high bytes pass unchanged", hex("80 FF 7F 00"), hex("80 FF 7F 00")},
        {"empty", "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(unpackstr(c.in), c.out) << c.name;
}

TEST(PackedEscaping, EveryByteSurvivesWritingAndNoWrittenByteEndsARecord) {
    for (int b = 0; b < 256; ++b) {
        std::string written;
        writebyte(written, static_cast<unsigned char>(b));
        const bool escaped = isescapedbyte(static_cast<unsigned char>(b));
        EXPECT_EQ(written.size(), escaped ? 2u : 1u) << b;
        EXPECT_EQ(escaped, endsrecord(static_cast<unsigned char>(b)) || b == 27) << b;
        for (char c : written) EXPECT_FALSE(endsrecord(static_cast<unsigned char>(c))) << b;
        EXPECT_EQ(unpackstr(written), std::string(1, static_cast<char>(b))) << b;
    }
}

// ---------------------------------------------------------------- notation "3"

TEST(PackedTrc3, DecoderTable) {
    struct Case {
        const char* name;
        std::string bytes;  // already unescaped
        std::int64_t room;
        Radii expected;
    };
    const Case cases[] = {
        {"steps and an absolute radius", hex("C4 09 05 FD 80 28 0A 02"), 100, {2500, 2505, 2502, 2600, 2602}},
        {"0x81 is a step of -127", hex("C4 09 81"), 100, {2500, 2373}},
        {"0x7F is a step of +127", hex("C4 09 7F"), 100, {2500, 2627}},
        {"stops at the room, bytes left over", hex("C4 09 01 01 01 01"), 3, {2500, 2501, 2502}},
        {"start radius even without room", hex("C4 09 01 01"), 0, {2500}},
        {"start radius even with negative room", hex("C4 09 01"), -5, {2500}},
        {"one byte gives its value", hex("2A"), 100, {42}},
        {"empty gives a start of 0", "", 100, {0}},
        {"absolute radius cut after one byte", hex("C4 09 80 28"), 100, {2500, 40}},
        {"absolute radius cut at the marker", hex("C4 09 80"), 100, {2500, 0}},
        {"start is two's complement", hex("FF FF 01"), 100, {-1, 0}},
        {"radius wraps at 16 bits upwards", hex("FF 7F 01"), 100, {32767, -32768}},
        {"radius wraps at 16 bits downwards", hex("00 80 FF"), 100, {-32768, 32767}},
    };
    for (const Case& c : cases) EXPECT_THAT(decodetrc3(c.bytes, c.room), ElementsAreArray(c.expected)) << c.name;
}

TEST(PackedTrc3, EscapedRecordValueDecodes) {
    // As stored in a record: the step 13 is escaped.
    EXPECT_THAT(decodetrc3(unpackstr(hex("C4 09 1B 8D 05")), 100), ElementsAreArray(Radii{2500, 2513, 2518}));
}

// ---------------------------------------------------------------- notation "B"

TEST(PackedTrcB, DecoderTable) {
    struct Case {
        const char* name;
        std::string bytes;
        std::int64_t room;
        Radii expected;
    };
    const Case cases[] = {
        {"start text and steps", "2500," + hex("84 7C 7F"), 100, {2500, 2505, 2502, 2502}},
        {"byte 0 is -127, 254 is +127, 255 is +128", "2500," + hex("00 FE FF"), 100, {2500, 2373, 2500, 2628}},
        {"blanks around the start radius", " 2500 ," + hex("80"), 100, {2500, 2501}},
        {"unreadable start radius reads as 0", "25x0," + hex("80"), 100, {0, 1}},
        {"no comma: start 0, every byte a step", hex("80 81"), 100, {0, 1, 3}},
        {"only the first comma splits", "2500," + hex("2C"), 100, {2500, 2500 + 0x2C - 127}},
        {"stops at the room", "2500," + hex("80 80 80 80"), 2, {2500, 2501}},
        {"start radius even without room", "2500," + hex("80 80"), 0, {2500}},
        {"nothing after the comma", "2500,", 100, {2500}},
        {"empty", "", 100, {0}},
    };
    for (const Case& c : cases) EXPECT_THAT(decodetrcb(c.bytes, c.room), ElementsAreArray(c.expected)) << c.name;
}

TEST(PackedTrcB, RadiusNeverOverflows) {
    std::string bytes = "2147483647," + std::string(1000, '\xFF');
    const Radii up = decodetrcb(bytes, 2000);
    ASSERT_EQ(up.size(), 1001u);
    EXPECT_EQ(up.back(), 2147483647);
    bytes = "-2147483648," + std::string(1000, '\x00');
    const Radii down = decodetrcb(bytes, 2000);
    EXPECT_EQ(down.back(), -2147483647 - 1);
}

// ---------------------------------------------------------------- notation "4"

TEST(PackedTrc4, WorkedStreamAndEdgeCases) {
    struct Case {
        const char* name;
        std::string bytes;
        Radii expected;
    };
    const Case cases[] = {
        {"all three states", hex("C4 09 00 80 0A 0C 80 1F 08 05 00"), {2500, 2510, 2522, 2535, 2547, 2559, 2564}},
        {"one word gives one point", hex("C4 09"), {2500}},
        {"a value in the last byte is lost", hex("C4 09 00 80 05"), {2500}},
        {"a single byte gives nothing", hex("C4"), {}},
        {"empty gives nothing", "", {}},
        {"switch as the first word: increments from 0", hex("00 80 0A 0A 00"), {10, 20}},
        {"word switch to absolute from bytes", hex("00 80 0A 81 C4 09 00"), {10, 2500}},
        // After an odd number of nibbles and a switch to bytes, a byte spans
        // two bytes: nibbles 1 and 1, the switch 8, then the low half 0 of
        // that byte and the high half 5 of the next give the increment +5.
        {"byte across two bytes", hex("00 80 0A 80 11 80 50"), {10, 21, 33, 38}},
        // Back to words while in the middle of a byte: 8 and 1 (0x81, -127)
        // span two bytes; then the word nibbles 0 9 C 4 give 0x09C4.
        {"word in the middle of a byte", hex("00 80 0A 80 11 80 58 10 9C 40"), {10, 21, 33, 38, 2500}},
        {"word in the middle of a byte cut short", hex("00 80 0A 80 11 80 58 10 9C"), {10, 21, 33, 38, 2496}},
        // Nibble values 9..15 are -7..-1; 8 always switches.
        {"negative nibbles", hex("00 80 0A 80 F9 00"), {10, 19, 21}},
        {"a switch just before the last byte leaves nothing", hex("00 80 81 C4"), {}},
    };
    for (const Case& c : cases) EXPECT_THAT(converttrcfmt4(c.bytes), ElementsAreArray(c.expected)) << c.name;
}

// Encoders end a stream with the trace's last values in its last byte: they
// are read while the trace is short of its declared count (room) and the
// value needs no byte after the last.
TEST(PackedTrc4, TheLastByteIsReadWhileShortOfTheDeclaredCount) {
    struct Case {
        const char* name;
        std::string bytes;
        std::int64_t room;
        Radii expected;
    };
    const Radii worked = {2500, 2510, 2522, 2535, 2547, 2559, 2564};
    Radii workedandone = worked;
    workedandone.push_back(2564);
    const Case cases[] = {
        {"worked stream: its count reached, the last byte stays unread", hex("C4 09 00 80 0A 0C 80 1F 08 05 00"), 7,
         worked},
        {"worked stream one short: the last byte is an increment", hex("C4 09 00 80 0A 0C 80 1F 08 05 00"), 8,
         workedandone},
        {"a byte on a byte boundary", hex("C4 09 00 80 0A 0C"), 3, {2500, 2510, 2522}},
        {"a byte, count reached before it", hex("C4 09 00 80 0A 0C"), 2, {2500, 2510}},
        {"two nibbles", hex("C4 09 00 80 0A 80 12"), 4, {2500, 2510, 2521, 2534}},
        {"two nibbles, one short of the count", hex("C4 09 00 80 0A 80 12"), 3, {2500, 2510, 2521}},
        {"an odd nibble: the padding after it is not a point",
         hex("C4 09 00 80 0A 80 12 30"),
         5,
         {2500, 2510, 2521, 2534, 2550}},
        {"a byte across the last byte's end is not started", hex("C4 09 00 80 0A 80 81 50"), 10, {2500, 2510, 2531}},
        {"a word is not started in the last byte", hex("C4 09 05"), 10, {2500}},
        {"a switch to words in the last byte, then no room for a word", hex("00 80 0A 80 18 81"), 10, {10, 21}},
        {"a switch in the last byte emits nothing", hex("C4 09 00 80 80"), 10, {2500}},
    };
    for (const Case& c : cases) EXPECT_THAT(converttrcfmt4(c.bytes, c.room), ElementsAreArray(c.expected)) << c.name;
}

TEST(PackedTrc4, HandEncodedShapesRoundTrip) {
    const Radii shapes[] = {
        {2500},
        {2500, 2510},
        {2500, 2510, 2522, 2535, 2547, 2559, 2564},
        {2500, 2501, 2503, 2506, 2510, 2515, 2521, 2528},  // growing steps: differences
        {2500, 2400, 2600, 2590, 1200, 1210, 1222, 4000},  // large jumps: absolute words
        {2500, 2505, 2510, 2600, 2605, 2611, 2618, 2610},  // mixed alignment
        {0, -5, -12, -20, -30, 32767, -32767},
    };
    for (const Radii& shape : shapes) {
        EXPECT_THAT(converttrcfmt4(encodetrc4(shape)), ElementsAreArray(shape)) << ::testing::PrintToString(shape);
    }
    // A smooth outline of many points.
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        Radii shape;
        std::int32_t r = 2000 + static_cast<std::int32_t>(rng() % 1000);
        const int n = 1 + static_cast<int>(rng() % 400);
        for (int i = 0; i < n; ++i) {
            const int pick = static_cast<int>(rng() % 10);
            r +=
                pick == 0 ? static_cast<std::int32_t>(rng() % 2000) - 1000 : static_cast<std::int32_t>(rng() % 21) - 10;
            shape.push_back(r);
        }
        EXPECT_THAT(converttrcfmt4(encodetrc4(shape)), ElementsAreArray(shape)) << "round " << round;
    }
}

TEST(PackedTrc4, LongRecordsAreDecodedWholeAndRunawaySumsAreBounded) {
    // A record far longer than a 50,000-byte buffer loses no radius.
    std::mt19937 rng(4242);
    Radii shape;
    std::int32_t r = 2500;
    for (int i = 0; i < 120000; ++i) {
        r += static_cast<std::int32_t>(rng() % 401) - 200;
        if (r < 500 || r > 4500) r = 2500;
        shape.push_back(r);
    }
    const std::string encoded = encodetrc4(shape);
    ASSERT_GT(encoded.size(), 50000u);
    EXPECT_THAT(converttrcfmt4(encoded), ElementsAreArray(shape));
    // Differences of +7 accumulate quadratically: the radius stops at the
    // top of the 32-bit range instead of overflowing.
    std::string bytes = hex("FF 7F 00 80 7F 80") + std::string(60000, '\x77') + hex("00");
    const Radii radii = converttrcfmt4(bytes);
    ASSERT_FALSE(radii.empty());
    EXPECT_EQ(radii.back(), 2147483647);
    for (std::size_t k = 1; k < radii.size(); ++k) ASSERT_GE(radii[k], radii[k - 1]);
}

// ---------------------------------------------------------------- hostile input

TEST(PackedHostile, RandomBytesStayInsideTheData) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(rng() % 300, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
        const std::int64_t room = static_cast<std::int64_t>(rng() % 5) == 0 ? 2000000000 : rng() % 400;
        const std::string plain = unpackstr(bytes);
        ASSERT_LE(plain.size(), bytes.size());
        const Radii d3 = decodetrc3(plain, room);
        const Radii db = decodetrcb(plain, room);
        const Radii d4 = converttrcfmt4(plain);
        // Never more radii, nor room for more, than the data can give.
        ASSERT_LE(d3.size(), plain.size() + 1);
        ASSERT_LE(d3.capacity(), plain.size() + 1);
        ASSERT_LE(db.size(), plain.size() + 1);
        ASSERT_LE(db.capacity(), plain.size() + 1);
        ASSERT_LE(d4.size(), 2 * plain.size());
    }
}

// ---------------------------------------------------------------- record values

TEST(PackedRecords, AddOMAradiiDecodesEachNotation) {
    struct Case {
        const char* name;
        const char* format;
        std::string value;
        Radii expected;
    };
    const Case cases[] = {
        {"notation 3", "3;5;E;R;F", hex("C4 09 05 FD 80 28 0A 02"), {2500, 2505, 2502, 2600, 2602}},
        {"notation 3 escaped", "3;3;E;R;F", hex("C4 09 1B 8D 05"), {2500, 2513, 2518}},
        {"notation 3 stops at the declared count", "3;3;E;R;F", hex("C4 09 01 01 01 01"), {2500, 2501, 2502}},
        {"notation B", "B;4;E;R;F", "2500," + hex("84 7C 7F"), {2500, 2505, 2502, 2502}},
        {"notation B escaped step", "B;2;E;R;F", "2500," + hex("1B 9C"), {2500, 2500 + 28 - 127}},
        {"notation 4",
         "4;7;E;R;F",
         hex("C4 09 00 80 0A 0C 80 1F 08 05 00"),
         {2500, 2510, 2522, 2535, 2547, 2559, 2564}},
        {"notation 4 does not stop at the count", "4;2;E;R;F", hex("C4 09 00 80 0A 0C 00"), {2500, 2510, 2522}},
        {"notation 4 reads its last byte while short of the count",
         "4;3;E;R;F",
         hex("C4 09 00 80 0A 0C"),
         {2500, 2510, 2522}},
        {"notation 2 is not decoded", "2;5;E;R;F", hex("C4 09 05"), {}},
        {"unknown notation 6", "6;5;E;R;F", hex("C4 09 05"), {}},
    };
    for (const Case& c : cases) {
        tradiilist r;
        EXPECT_TRUE(tradiilist::addOMAradii(r, c.value, c.format)) << c.name;
        EXPECT_THAT(radiiof(r), ElementsAreArray(c.expected)) << c.name;
    }
}

TEST(PackedRecords, AnglesFollowTheDeclaredCountAcrossRecords) {
    tradiilist r;
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("C4 09 01"), "3;4;E;R;F"));
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("D0 07 01 01"), "3;4;E;R;F"));
    EXPECT_THAT(radiiof(r), ElementsAreArray(Radii{2500, 2501, 2000, 2001}));
    EXPECT_THAT(anglesof(r), ElementsAreArray({0.0, 90.0, 180.0, 270.0}));
    // The list is full: a further record is ignored.
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("D0 07"), "3;4;E;R;F"));
    EXPECT_EQ(r.readcount(), 4);
}

TEST(PackedRecords, Notation4LastBytesCountTheWholeTrace) {
    // Two records of one 4-point trace: the first record's last byte is read
    // (two points held, four declared), the second's only while points are
    // still owed.
    tradiilist r;
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("C4 09 00 80 0A"), "4;4;E;R;F"));
    EXPECT_EQ(r.readcount(), 2);
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("D0 07 00 80 01 01"), "4;4;E;R;F"));
    EXPECT_THAT(radiiof(r), ElementsAreArray(Radii{2500, 2510, 2000, 2001}));
    EXPECT_FALSE(r.invalidnumberofpoints);
}

TEST(PackedRecords, CheckingEveryRecordStillStopsPerRecord) {
    tradiilist r;
    r.checkinggoodtrace = true;
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("C4 09 01 01 01"), "3;2;E;R;F"));
    EXPECT_EQ(r.readcount(), 2);
    // The start radius of a record that passes the guard is always added.
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("C4 09 01 01"), "3;2;E;R;F"));
    ASSERT_TRUE(tradiilist::addOMAradii(r, "2500," + hex("80 80"), "B;2;E;R;F"));
    EXPECT_THAT(radiiof(r), ElementsAreArray(Radii{2500, 2501, 2500, 2500}));
}

TEST(PackedRecords, DeclaredCountFarBeyondTheData) {
    tradiilist r;
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("C4 09 01 01"), "3;2000000000;E;R;F"));
    ASSERT_TRUE(tradiilist::addOMAradii(r, "2500," + hex("80"), "B;2147483647;E;R;F"));
    ASSERT_TRUE(tradiilist::addOMAradii(r, hex("C4 09 00"), "4;2147483647;E;R;F"));
    EXPECT_THAT(radiiof(r), ElementsAreArray(Radii{2500, 2501, 2502, 2500, 2501, 2500}));
}

TEST(PackedRecords, WriterRoundTrips) {
    const Radii shapes[] = {
        {2500, 2505, 2502, 2600, 2602},
        {2500, 2513, 2518},                      // a step that must be escaped
        {2500, 2627, 2500, 2373},                // steps of +-127
        {2500, 2372, 2500, 2628, 1000, 4000},    // steps of -128, +128 and beyond
        {1, 7, 14, 20, 27, 28, 29, 30, 58, 96},  // steps whose bytes end records
        {13, 26, 27},                            // a start radius that is escaped
        {0},
    };
    for (const Radii& shape : shapes) {
        const tradiilist source = evenlist(shape);
        const std::string record = source.makebinaryradiilist(true);
        ASSERT_EQ(record.substr(0, 2), "R=");
        for (std::size_t k = 2; k < record.size(); ++k)
            EXPECT_FALSE(endsrecord(static_cast<unsigned char>(record[k]))) << ::testing::PrintToString(shape);
        tradiilist back;
        const std::string format = "3;" + std::to_string(shape.size()) + ";E;R;F";
        ASSERT_TRUE(tradiilist::addOMAradii(back, record.substr(2), format));
        EXPECT_THAT(radiiof(back), ElementsAreArray(shape));
    }
}

TEST(PackedRecords, WriterBytes) {
    // The worked example: start low byte first, then one byte per step.
    EXPECT_EQ(evenlist({2500, 2505, 2502}).makebinaryradiilist(true), "R=" + hex("C4 09 05 FD"));
    // A step of 13 is escaped; the Z pass writes "Z=".
    EXPECT_EQ(evenlist({2500, 2513}).makebinaryradiilist(false), "Z=" + hex("C4 09 1B 8D"));
    // A step beyond a byte is written as an absolute radius (2700 = 0x0A8C,
    // whose high byte is LF and so escaped).
    EXPECT_EQ(evenlist({2500, 2700}).makebinaryradiilist(true), "R=" + hex("C4 09 80 8C 1B 8A"));
    EXPECT_EQ(tradiilist().makebinaryradiilist(true), "R=");
}

TEST(PackedRecords, HandEncodedShapesThroughRecords) {
    // A 400-point outline written as notation "4" and "B" records by the
    // fixtures' encoders and read back through the record decoder.
    Radii shape;
    for (int i = 0; i < 400; ++i) shape.push_back(2500 + (i % 50 < 25 ? i % 25 : 25 - i % 25) * 3);

    for (const auto& [format, value] : {std::pair<std::string, std::string>{"B;400;E;R;F", escaped(encodetrcb(shape))},
                                        {"4;400;E;R;F", escaped(encodetrc4(shape))}}) {
        tradiilist r;
        ASSERT_TRUE(tradiilist::addOMAradii(r, value, format)) << format;
        EXPECT_THAT(radiiof(r), ElementsAreArray(shape)) << format;
        EXPECT_DOUBLE_EQ(r.extractangleelement(1), 0.9) << format;
        EXPECT_FALSE(r.invalidradiifound) << format;
    }
}

TEST(PackedRecords, Notation4GivesItsDeclaredCountHoweverItsStreamEnds) {
    // The last byte of a notation "4" stream may hold the last value (a byte
    // increment, two 4-bit differences, or one difference in its high half),
    // or the stream may end with a word, with a byte across its last two
    // bytes, or with a spare byte. The format declares as many points as
    // values were written, and each of them must be read, also when the trace
    // check decodes past the declared count.
    const Radii small = {2500, 2510, 2521, 2533, 2546, 2560};
    Radii smooth, jumps;
    for (int i = 0; i < 512; ++i) {
        const double t = 2 * std::numbers::pi * i / 512;
        smooth.push_back(static_cast<std::int32_t>(std::lround(2400 + 350 * std::cos(t) + 120 * std::sin(2 * t))));
        jumps.push_back(smooth.back() + (i > 100 && i < 140 ? 300 : i > 300 && i < 305 ? -150 : 0));
    }
    const Radii* const shapes[] = {&small, &smooth, &jumps};
    for (const fixtures::trc4end end : fixtures::alltrc4ends) {
        for (const Radii* shape : shapes) {
            for (const bool checking : {false, true}) {
                tradiilist r;
                r.checkinggoodtrace = checking;
                const std::string format = "4;" + std::to_string(shape->size()) + ";E;R;F";
                ASSERT_TRUE(tradiilist::addOMAradii(r, escaped(encodetrc4(*shape, end)), format));
                EXPECT_THAT(radiiof(r), ElementsAreArray(*shape)) << fixtures::trc4endname(end) << ", " << shape->size()
                                                                  << " points" << (checking ? ", checking" : "");
            }
        }
    }
}

}  // namespace
}  // namespace kestrune
