// Process-wide regional settings of the support library.
//
// They are filled once at start-up (QVTLibInitialization) from the
// environment's LC_NUMERIC locale and only read afterwards, so the core can be
// used from several threads. Tests set them explicitly with
// setregionalsettings().
#pragma once

namespace kestrune {

// The number and list format that formatting and parsing follow.
struct tformatsettings {
    char DecimalSeparator = '.';
    char ListSeparator = ',';
};

// Separator between a record's tag and its value.
inline constexpr char tagdelimiter = '=';

// The settings themselves. They are plain variables written at start-up.
tformatsettings& QVTFormatsettings();   // system default format (writing)
tformatsettings& UserFormatsettings();  // the process-wide number format (reading)
char& csvdelimiter();                   // delimiter used by addcsv
char& LocalDecimalSeparator();          // decimal mark checkdecimalseparator adapts to

// Reads the decimal mark of the environment's LC_NUMERIC locale (LC_ALL, then
// LC_NUMERIC, then LANG; "." when none is set or the locale is unknown) and
// derives the list separator from it: ";" when the mark is ",", else ",".
// Safe to call more than once; later calls re-read the environment.
void QVTLibInitialization();

// Sets every setting from one decimal mark, the list separator derived as above.
void setregionalsettings(char decimalseparator);

}  // namespace kestrune
