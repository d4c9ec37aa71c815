#include "kestrune/support/settings.hpp"

#include <clocale>
#include <cstdlib>
#include <initializer_list>
#include <langinfo.h>
#include <locale.h>

namespace kestrune {
namespace {

tformatsettings g_system_format;
tformatsettings g_user_format;
char g_csvdelimiter = ',';
char g_local_decimal = '.';

// The locale name that governs LC_NUMERIC for this process's environment.
const char* numeric_locale_name() {
    for (const char* var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) return v;
    }
    return nullptr;
}

// The decimal mark of a locale, or '.' when the locale is not installed or
// its mark is not a single byte.
char decimal_mark_of(const char* name) {
    if (!name) return '.';
    locale_t loc = ::newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = ::nl_langinfo_l(RADIXCHAR, loc);
    char mark = '.';
    if (radix && radix[0] != '\0' && radix[1] == '\0') mark = radix[0];
    ::freelocale(loc);
    return mark;
}

}  // namespace

tformatsettings& QVTFormatsettings() { return g_system_format; }
tformatsettings& UserFormatsettings() { return g_user_format; }
char& csvdelimiter() { return g_csvdelimiter; }
char& LocalDecimalSeparator() { return g_local_decimal; }

void setregionalsettings(char decimalseparator) {
    const char list = decimalseparator == ',' ? ';' : ',';
    g_system_format.DecimalSeparator = decimalseparator;
    g_system_format.ListSeparator = list;
    g_user_format = g_system_format;
    g_csvdelimiter = list;
    g_local_decimal = decimalseparator;
}

void QVTLibInitialization() { setregionalsettings(decimal_mark_of(numeric_locale_name())); }

}  // namespace kestrune
