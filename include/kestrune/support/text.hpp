// Text and number conversions of the support library.
//
// Text is std::string of bytes: each char holds one byte, 0 to 255, read as
// the Latin-1 character of the same code. Positions taken by these routines
// are 1-based, as the record formats count them. No routine throws: bad input
// gives a fixed default (0, "0" or empty text).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune {

class tstringlist;

// ---- characters and small text routines ----
char lastchar(std::string_view s);                   // '\0' when empty
char firstchar(std::string_view s);                  // '\0' when empty
char extractcharfromstr(std::string_view s, int x);  // 1-based; '\0' outside
std::string addtrailing(std::string_view S, char PathDelim);
std::string upcase(std::string_view s);  // ASCII and Latin-1 letters
bool partmatchstr(std::string_view a, std::string_view b);
void replaceinstr(std::string& s, std::string_view oldtext, std::string_view newtext);
std::string replaceinstring(std::string_view s, std::string_view oldtext, std::string_view newtext);

// Case-insensitive comparison used wherever lists are sorted or matched.
// Negative, zero or positive like strcmp.
int comparetext(std::string_view a, std::string_view b);
bool sametext(std::string_view a, std::string_view b);

// Removes characters with codes up to 32 at both ends.
std::string_view trimview(std::string_view s);

// Text of a file is Latin-1 (every byte the character of the same code):
// latin1toutf8 gives the same characters in UTF-8, for whatever expects it
// (JSON, desktop files, XML, Cairo's text).
std::string latin1toutf8(std::string_view bytes);
// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing past U+10FFFF).
bool isutf8(std::string_view bytes);
std::string trim(std::string_view s);

// ---- integers to text ----
std::string xinttostr(std::int32_t i);
std::string xinttoansistr(std::int32_t I);
std::string numstrx(std::int32_t x, int w);
std::string numstr(std::int32_t x);
// I hundredths as a number with exactly two decimals and the decimal mark of
// UserFormatsettings(), after rounding to 8 significant digits (a tie to the
// even neighbour): 1234 -> "12.34", -5 -> "-0.05", 123456789 -> "1234567.90".
std::string xint2tostr(std::int32_t I);

// ---- reals to text ----
// f with l decimals (0..18) after rounding to p significant digits (1..18),
// with the decimal mark of QVTFormatsettings(). The binary value is rounded
// once, to the nearest, at whichever of the two places is coarser; an exact
// tie goes to the even digit (0.125 with 2 decimals -> "0.12"). When the
// integer part needs more than p digits the scientific form is written
// instead: p-1 decimals, "E", the exponent's sign and at least three digits
// ("1.00E+020"). No "-" in front of a value that is written as zero. Empty
// text for NaN or infinity.
std::string xfloattostr(long double f, int l, int p);
// xfloattostr(r, 2, 16) without blanks at either end.
std::string xrealtostr(double r);
// What xrealtostr writes for r, with decimal as the decimal mark, written into
// out without making a string: the number of characters, or 0 when r lies
// outside the range this quick route covers (|r| >= 1e14, not finite).
// out holds at least kRealCharsCapacity characters.
inline constexpr std::size_t kRealCharsCapacity = 32;
std::size_t realtochars(double r, char decimal, char* out);

// ---- text to numbers ----
// s with its decimal mark adapted to LocalDecimalSeparator(): when s holds
// no mark of that kind but holds the other one, the first of those is swapped.
std::string checkdecimalseparator(std::string_view s);

// Reals are read after checkdecimalseparator and trimming: an optional sign,
// digits with at most one decimal mark of UserFormatsettings(), an optional
// exponent. Anything else (grouping, blanks inside, "inf", "nan", hex) reads
// as 0, and so does a value beyond the range of the result.
double xstrtoreal(std::string_view s);
// The value times 100, rounded to the nearest, a tie to the even neighbour;
// 0 when unreadable or outside the 32-bit signed range.
std::int32_t xstrtoint2(std::string_view s);
// The value rounded to the nearest, a tie to the even neighbour (2.5 -> 2,
// 3.5 -> 4); 0 when unreadable or outside the 32-bit signed range.
std::int32_t xstrtoint0(std::string_view s);
// A whole number after trimming: an optional sign and decimal digits, or up
// to eight hexadecimal digits after "$", "x" or "0x" (either case), read as
// the 32-bit pattern ("$FFFFFFFF" is -1). Anything else, a decimal mark
// included, and decimal values outside the 32-bit signed range give 0.
std::int32_t xstrtoint(std::string_view s);
// Whether trimmed s is made of digits with at most one "," or "." and a sign
// in front (only when more follows). Empty text counts as numeric.
bool numeric(std::string_view s);
// false for empty s (before trimming), otherwise numeric(s).
bool numericandspecified(std::string_view s);

// ---- tags and values ----
// Copies of the tag and the value of a "TAG=VALUE" text such as a line of a
// settings file. A record of an OMA file is split in place by splitrecord
// (document/records.hpp), which reads the same tag and untrimmed value.
std::string findtagpart(std::string_view s);
std::string findvaluepart(std::string_view s);
std::string findvaluepartnotrim(std::string_view s);
std::string makedotchiral(std::string_view s, std::string_view r, std::string_view l);

// ---- delimited lists ----
void delimitedstrtolist(std::string_view s, tstringlist* alist, char delimiter);
inline void delimitedstrtolist(std::string_view s, tstringlist& alist, char delimiter) {
    delimitedstrtolist(s, &alist, delimiter);
}
// Field index (0-based) of s as delimitedstrtolist splits it, read in place
// without splitting the rest; false, and field left as it was, when the
// split has no such field.
bool delimitedfield(std::string_view s, int index, char delimiter, std::string_view& field);
void listtodelimitedstr(const tstringlist& alist, std::string& s, char delimiter);
std::string listentry(const tstringlist* alist, int x);
inline std::string listentry(const tstringlist& alist, int x) { return listentry(&alist, x); }
void adddelimitedcsv(std::string& target, std::string_view toadd, char delimiter);
void addcsv(std::string& target, std::string_view toadd);

// ---- 8-bit and 16-bit text ----
std::u16string AnsiStringtoString(std::string_view s);
std::string StringtoAnsistring(std::u16string_view s);

}  // namespace kestrune
