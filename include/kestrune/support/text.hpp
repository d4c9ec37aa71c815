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
char lastchar(std::string_view s);                 // '\0' when empty
char firstchar(std::string_view s);                // '\0' when empty
char extractcharfromstr(std::string_view s, int x);  // 1-based; '\0' outside
std::string addtrailing(std::string_view S, char PathDelim);
std::string upcase(std::string_view s);            // ASCII and Latin-1 letters
bool partmatchstr(std::string_view a, std::string_view b);
void replaceinstr(std::string& s, std::string_view oldtext, std::string_view newtext);
std::string replaceinstring(std::string_view s, std::string_view oldtext, std::string_view newtext);

// Case-insensitive comparison used wherever lists are sorted or matched.
// Negative, zero or positive like strcmp.
int comparetext(std::string_view a, std::string_view b);
bool sametext(std::string_view a, std::string_view b);

// Removes characters with codes up to 32 at both ends.
std::string_view trimview(std::string_view s);
std::string trim(std::string_view s);

// ---- integers to text ----
std::string xinttostr(std::int32_t i);
std::string xinttoansistr(std::int32_t I);
std::string numstrx(std::int32_t x, int w);
std::string numstr(std::int32_t x);
std::string xint2tostr(std::int32_t I);

// ---- reals to text ----
std::string xfloattostr(long double f, int l, int p);
std::string xrealtostr(double r);

// ---- text to numbers ----
std::string checkdecimalseparator(std::string_view s);
double xstrtoreal(std::string_view s);
std::int32_t xstrtoint2(std::string_view s);   // hundredths; 0 outside the 32-bit range
std::int32_t xstrtoint0(std::string_view s);   // rounded; 0 outside the 32-bit range
std::int32_t xstrtoint(std::string_view s);    // whole numbers only; 0 otherwise
bool numeric(std::string_view s);
bool numericandspecified(std::string_view s);

// ---- tags and values ----
std::string findtagpart(std::string_view s);
std::string findvaluepart(std::string_view s);
std::string findvaluepartnotrim(std::string_view s);
std::string makedotchiral(std::string_view s, std::string_view r, std::string_view l);

// ---- delimited lists ----
void delimitedstrtolist(std::string_view s, tstringlist* alist, char delimiter);
inline void delimitedstrtolist(std::string_view s, tstringlist& alist, char delimiter) {
    delimitedstrtolist(s, &alist, delimiter);
}
void listtodelimitedstr(const tstringlist& alist, std::string& s, char delimiter);
std::string listentry(const tstringlist* alist, int x);
inline std::string listentry(const tstringlist& alist, int x) { return listentry(&alist, x); }
void adddelimitedcsv(std::string& target, std::string_view toadd, char delimiter);
void addcsv(std::string& target, std::string_view toadd);

// ---- 8-bit and 16-bit text ----
std::u16string AnsiStringtoString(std::string_view s);
std::string StringtoAnsistring(std::u16string_view s);

}  // namespace kestrune
