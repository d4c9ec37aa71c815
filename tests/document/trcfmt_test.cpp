#include <gtest/gtest.h>

#include <string>

#include "kestrune/support/settings.hpp"
#include "kestrune/document/trcfmt.hpp"

namespace kestrune {
namespace {

struct Fields {
    char mode;
    int points;
    char spacing;
    char eye;
    char source;
};

ttrcfmtsetting make(const Fields& f) {
    ttrcfmtsetting d;
    d.trcfmtmode = f.mode;
    d.points = f.points;
    d.spacing = f.spacing;
    d.eye = f.eye;
    d.source = f.source;
    return d;
}

void expect_fields(const ttrcfmtsetting& d, const Fields& f, const std::string& context) {
    EXPECT_EQ(d.trcfmtmode, f.mode) << context;
    EXPECT_EQ(d.points, f.points) << context;
    EXPECT_EQ(d.spacing, f.spacing) << context;
    EXPECT_EQ(d.eye, f.eye) << context;
    EXPECT_EQ(d.source, f.source) << context;
}

std::string encode(const ttrcfmtsetting& d) {
    std::string s = "previous content";
    d.encodetrcfmtstr(s);
    return s;
}

TEST(TrcFmtDecode, FieldsOfTheValue) {
    const struct {
        const char* value;
        Fields fields;
    } cases[] = {
        {"1;400;E;R;F", {'1', 400, 'E', 'R', 'F'}},
        {"4;1000;U;L", {'4', 1000, 'U', 'L', '\0'}},
        {"0", {'0', 0, 'E', 'B', 'F'}},
        {"0;360;U;R;P", {'0', 0, 'E', 'B', 'F'}},
        {" 0 ;360", {'0', 0, 'E', 'B', 'F'}},
        {" 3 ; 200 ; E ; B ; F ", {'3', 200, 'E', 'B', 'F'}},
        {"1;400.5;E;R;F", {'1', 0, 'E', 'R', 'F'}},  // the count must be whole
        {"1;abc;E;R;F", {'1', 0, 'E', 'R', 'F'}},
        {"", {'\0', 0, '\0', '\0', '\0'}},
        {"1;400;e;r;f", {'1', 400, 'e', 'r', 'f'}},  // case kept
        {"B", {'B', 0, '\0', '\0', '\0'}},
        {"1;400;E;R;F;extra;more", {'1', 400, 'E', 'R', 'F'}},
        {"1;;;;", {'1', 0, '\0', '\0', '\0'}},
        {"10;400;Even;Right;Frame", {'1', 400, 'E', 'R', 'F'}},  // first characters only
        {"\"1;2\";400;E;R;F", {'1', 400, 'E', 'R', 'F'}},        // quoted field keeps its ";"
        {";400;E;R;F", {'\0', 400, 'E', 'R', 'F'}},
        {"1;-5;E;R;F", {'1', -5, 'E', 'R', 'F'}},
    };
    for (const auto& c : cases) {
        ttrcfmtsetting d;
        d.clear();
        d.decodetrcfmtstr(c.value);
        expect_fields(d, c.fields, c.value);
    }
}

TEST(TrcFmtDecode, OverwritesEveryFieldOfAPreviousDecode) {
    ttrcfmtsetting d;
    d.decodetrcfmtstr("1;400;E;R;F");
    d.decodetrcfmtstr("2;100;U");
    expect_fields(d, {'2', 100, 'U', '\0', '\0'}, "second decode");
}

TEST(TrcFmtEncode, ValuesRoundTripOrNormalise) {
    const struct {
        const char* value;
        const char* encoded;
    } cases[] = {
        {"1;400;E;R;F", "1;400;E;R;F"},
        {"4;1000;U;L", "4;1000;U;L"},
        {"3;200;E;B;F", "3;200;E;B;F"},
        {" 3 ; 200 ; E ; B ; F ", "3;200;E;B;F"},
        {"0;360;U;R;P", "0"},
        {"B;1000;E;R;F", "B"},
        {"", " "},
        {"1;;;;", "1;0;;"},          // missing letters leave their places empty
        {"\";\";1;E;R;F", "\";\""},  // a delimiter in a field is quoted
        {"1;400;\";\";R;F", "1;400;\";\";R;F"},
    };
    for (const auto& c : cases) {
        ttrcfmtsetting d;
        d.decodetrcfmtstr(c.value);
        EXPECT_EQ(encode(d), c.encoded) << c.value;
    }
}

TEST(TrcFmtEncode, FromFields) {
    const struct {
        Fields fields;
        const char* encoded;
    } cases[] = {
        {{'2', 300, 'E', 'R', 'F'}, "2;300;E;R;F"}, {{'B', 300, 'E', 'R', 'F'}, "B"},
        {{'0', 300, 'E', 'R', 'F'}, "0"},           {{'1', 400, 'E', 'R', '\0'}, "1;400;E;R"},
        {{'1', -1, 'E', 'R', 'F'}, "1;-1;E;R;F"},   {{'\0', 400, 'E', 'R', 'F'}, " "},
        {{'5', 400, 'E', 'R', 'F'}, "5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encode(make(c.fields)), c.encoded) << c.encoded;
    }
}

TEST(TrcFmtLifeCycle, FreshAndClearedDescriptors) {
    const ttrcfmtsetting fresh;
    expect_fields(fresh, {'\0', 0, '\0', '\0', '\0'}, "fresh");
    EXPECT_EQ(encode(fresh), " ");

    ttrcfmtsetting cleared;
    cleared.decodetrcfmtstr("1;400;E;R;F");
    cleared.clear();
    expect_fields(cleared, {' ', 0, ' ', ' ', ' '}, "cleared");
    EXPECT_EQ(encode(cleared), " ");
}

TEST(TrcFmtLifeCycle, CopyFromCopiesAllFields) {
    ttrcfmtsetting source;
    source.decodetrcfmtstr("4;1000;U;L;P");
    ttrcfmtsetting copy;
    copy.decodetrcfmtstr("1;400;E;R;F");
    copy.copyfrom(source);
    expect_fields(copy, {'4', 1000, 'U', 'L', 'P'}, "copy");
}

TEST(TrcFmtEncode, LeavesTheProcessWideDelimiterAlone) {
    const char saved = csvdelimiter();
    for (const char delimiter : {',', '|', ';'}) {
        csvdelimiter() = delimiter;
        EXPECT_EQ(encode(make({'1', 400, 'E', 'R', 'F'})), "1;400;E;R;F") << delimiter;
        EXPECT_EQ(csvdelimiter(), delimiter);
    }
    csvdelimiter() = saved;
}

TEST(TrcFmtFields, BlanksAroundFieldsAreRemovedAndTheEyeIsRead) {
    const struct {
        const char* value;
        const char* trimmed;
        char eye;
    } cases[] = {
        {"4;512;E;R;F", "4;512;E;R;F", 'R'},
        {"  4;512 ;E; R;F", "4;512;E;R;F", 'R'},
        {"1 ;400; U ;L ;F  ", "1;400;U;L;F", 'L'},
        {"1;400;E;B", "1;400;E;B", 'B'},
        {"1;400;E", "1;400;E", '\0'},
        {"1;400;E;;F", "1;400;E;;F", '\0'},
        {"", "", '\0'},
        {" ; ", ";", '\0'},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trimformatfields(c.value), c.trimmed) << c.value;
        EXPECT_EQ(formateye(c.value), c.eye) << c.value;
        EXPECT_EQ(formateye(c.trimmed), c.eye) << c.value;
    }
}

TEST(TrcFmtFields, AsciiFormatValueKeepsTheOtherFieldsAsTraceReadingSplitsThem) {
    const struct {
        const char* value;
        const char* ascii;
    } cases[] = {
        {"3;400;E;R;F", "1;400;E;R;F"},
        {"B;360;U;L;P", "1;360;U;L;P"},
        {"1;400;E;R;F", "1;400;E;R;F"},
        {"4", "1"},
        {"", ""},                         // no format text, no format value
        {";400;E;R;F", "1;400;E;R;F"},    // an empty notation is replaced too
        {"3;400;E;R;F;", "1;400;E;R;F"},  // the empty text after the last ";" is no field
        {"3;400;E;R;;", "1;400;E;R;"},    // an empty field before it is
        {"3;\"400\";E", "1;400;E"},       // quotes around a field are dropped ...
        {"3;\"x;y\";E", "1;\"x;y\";E"},   // ... unless it holds a ";"
        {"\"3;x\";400", "1;400"},         // a quoted notation is one field
    };
    for (const auto& c : cases) EXPECT_EQ(makeasciifmt(c.value), c.ascii) << c.value;
}

}  // namespace
}  // namespace kestrune
