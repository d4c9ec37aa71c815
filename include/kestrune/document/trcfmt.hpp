// The trace-format descriptor: the decoded value of a TRCFMT, ZFMT or
// CRIBFMT record ("1;400;E;R;F": notation, points, spacing, eye, source).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

class ttrcfmtsetting {
public:
    char trcfmtmode = '\0';   // notation: '0' none, '1' ASCII, '2' '3' '4' 'B' packed
    std::int32_t points = 0;  // declared number of points
    char spacing = '\0';      // 'E' equal angles, 'U' uneven
    char eye = '\0';          // 'R', 'L' or 'B'
    char source = '\0';       // 'F' frame, 'P' pattern

    ttrcfmtsetting() = default;

    void clear();  // blanks and 0 points
    void copyfrom(const ttrcfmtsetting& other);
    void decodetrcfmtstr(std::string_view s);
    void encodetrcfmtstr(std::string& s) const;
};

// A format value with the blanks (spaces and tabs) around each of its
// ";"-separated fields removed ("  4;512 ;E; R;F" gives "4;512;E;R;F"), as
// serial logs and some hosts write them. A value without such blanks comes
// back unchanged; other bytes, control characters too, stay as they are.
std::string trimformatfields(std::string_view value);

// The format value of a trace written as ASCII records: the fields of a
// format text as trace reading splits them, the notation replaced by "1",
// joined again with ";" ("3;400;E;R;F" gives "1;400;E;R;F"). Empty for an
// empty format text.
std::string makeasciifmt(std::string_view trcfmtstr);

// Whether a tag opens a section whose "R" records are not an outline: the
// crib data after CRIBFMT and the thickness data after STHKFMT. The section
// lasts until the next TRCFMT or ZFMT record.
bool opensothersection(std::string_view tag);

// Whether traces of a notation are decoded into points: "1" (ASCII), "3",
// "4" and "B". Others, such as "2" or "6", are recognised but not read.
bool decodednotation(char notation);

// The eye letter of a format value: the first character of its fourth
// field, blanks around the field removed; '\0' when there is none.
char formateye(std::string_view value);

}  // namespace kestrune
