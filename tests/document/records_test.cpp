#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "kestrune/document/records.hpp"
#include "kestrune/support/text.hpp"

namespace kestrune {
namespace {

using namespace std::literals;

TEST(RecordSplit, TagBeforeTheFirstEqualsAndValueAfterIt) {
    const std::string longtag(40, 'T');
    const struct {
        std::string record, tag, value;
        bool hasvalue;
    } cases[] = {
        {"R=2500;2510", "R", "2500;2510", true},
        {"TRCFMT=1;400;E;R;F", "TRCFMT", "1;400;E;R;F", true},
        {"NOEQUALS", "NOEQUALS", "", false},
        {"", "", "", false},
        {"=", "", "", true},
        {"=x", "", "x", true},        // "=" first: an empty tag
        {"TAG=", "TAG", "", true},    // an empty value, but a value
        {"A=B=C", "A", "B=C", true},  // the value keeps its own "="
        {"A==", "A", "=", true},
        {" DBL = 18.5 ", " DBL ", " 18.5 ", true},      // nothing trimmed
        {"R=\0\x01=\xff"s, "R", "\0\x01=\xff"s, true},  // packed bytes in the value
        {"T\0G=v"s, "T\0G"s, "v", true},
        // Around the short look before the library search takes over.
        {"ABCDEFGHIJKLMNO=v=w", "ABCDEFGHIJKLMNO", "v=w", true},      // 15 bytes of tag
        {"ABCDEFGHIJKLMNOP=v=w", "ABCDEFGHIJKLMNOP", "v=w", true},    // 16
        {"ABCDEFGHIJKLMNOPQ=v=w", "ABCDEFGHIJKLMNOPQ", "v=w", true},  // 17
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP", "", false},          // 16, no "="
        {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLMNOPQ", "", false},        // 17, no "="
        {longtag + "=" + "x=y", longtag, "x=y", true},
        {longtag, longtag, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        const trecordparts parts = splitrecord(c.record);
        EXPECT_EQ(parts.tag, c.tag);
        EXPECT_EQ(parts.value, c.value);
        EXPECT_EQ(parts.hasvalue, c.hasvalue);
        EXPECT_EQ(recordtag(c.record), c.tag);
        EXPECT_EQ(recordvalue(c.record), c.value);
        // Views into the record itself, not copies.
        EXPECT_EQ(parts.tag.data(), c.record.data());
        if (parts.hasvalue) {
            EXPECT_EQ(parts.value.data(), c.record.data() + c.tag.size() + 1);
        }
        // The text routines of the same names read a record the same way.
        EXPECT_EQ(findtagpart(c.record), c.tag);
        EXPECT_EQ(findvaluepartnotrim(c.record), c.value);
    }
}

TEST(RecordSplit, TagsCompareExactly) {
    const struct {
        std::string_view a, b;
        bool same;
    } cases[] = {
        {"R", "R", true},   {"", "", true},     {"ZA", "ZA", true},          {"R", "r", false},
        {"R", "RA", false}, {"ZA", "Z", false}, {"TRCFMT", "TRCFMX", false}, {"A\0"sv, "A"sv, false},
    };
    for (const auto& c : cases) EXPECT_EQ(sametag(c.a, c.b), c.same) << c.a << " / " << c.b;
}

// What tells an OMA file from text of another kind: the viewer says that a
// file holds no OMA records when none of its records passes.
TEST(RecordSplit, OmaRecordsHaveAWordTagAndAnEquals) {
    const struct {
        std::string_view record;
        bool oma;
    } cases[] = {
        {"JOB=1042", true},
        {"R=2500;2510", true},
        {"_ASASCII=QVT;1", true},
        {"TAG=", true},
        {"lower_case9=x", true},
        {"JOB", false},
        {"=x", false},
        {"", false},
        {" DBL = 18.5 ", false},
        {"a b=c", false},
        {"\x93\xff=\x01"sv, false},
        {"R\0=1"sv, false},
        {"K\xe9Y=1"sv, false},
        {"A-B=1", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isomarecord(c.record), c.oma) << c.record;
}

}  // namespace
}  // namespace kestrune
