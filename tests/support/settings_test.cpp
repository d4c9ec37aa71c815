#include <gtest/gtest.h>

#include <cstdlib>
#include <locale.h>
#include <memory>
#include <optional>
#include <string>

#include "kestrune/support/settings.hpp"
#include "testsupport.hpp"

// The C library's newlocale() leaks its copy of LOCPATH on every call while
// that variable is set; the comma-locale tests need it, so the leak checker
// is told to ignore that one allocation site.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace kestrune {
namespace {

// Saves the locale variables of the environment and the library's settings,
// and puts both back after each test. A locale with a decimal comma is
// compiled once into a temporary folder (found through LOCPATH), so the
// tests do not depend on the locales installed on the machine.
class SettingsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { localedir_ = std::make_unique<testing::TempDir>(); }
    static void TearDownTestSuite() { localedir_.reset(); }

    void SetUp() override {
        for (int i = 0; i < kCount; ++i) {
            const char* v = std::getenv(kVars[i]);
            saved_[i] = v ? std::optional<std::string>(v) : std::nullopt;
            ::unsetenv(kVars[i]);
        }
    }

    // Points the C library at the folder of the compiled locale.
    static void uselocaledir() { ::setenv("LOCPATH", localedir_->path().c_str(), 1); }
    void TearDown() override {
        for (int i = 0; i < kCount; ++i) {
            if (saved_[i])
                ::setenv(kVars[i], saved_[i]->c_str(), 1);
            else
                ::unsetenv(kVars[i]);
        }
        setregionalsettings('.');
    }

    // The name of a locale with a decimal comma, or nullptr when none could be
    // made. Made on first use: compiling it takes a moment.
    static const char* commalocale() {
        if (!triedlocale_) {
            triedlocale_ = true;
            std::string out;
            const std::string cmd = "localedef -i de_DE -f ISO-8859-1 " +
                                    testing::shell_quote((localedir_->path() / "de_DE").string()) + " 2>&1";
            if (testing::run_command(cmd, &out) == 0) commalocale_ = "de_DE";
        }
        return commalocale_.empty() ? nullptr : commalocale_.c_str();
    }

    static constexpr int kCount = 4;
    static constexpr const char* kVars[kCount] = {"LC_ALL", "LC_NUMERIC", "LANG", "LOCPATH"};
    std::optional<std::string> saved_[kCount];
    static inline std::unique_ptr<testing::TempDir> localedir_;
    static inline std::string commalocale_;
    static inline bool triedlocale_ = false;
};

TEST_F(SettingsTest, OneDecimalMarkSetsEverySetting) {
    struct Case {
        char mark;
        char list;
    };
    for (const Case c : {Case{',', ';'}, Case{'.', ','}}) {
        setregionalsettings(c.mark);
        EXPECT_EQ(QVTFormatsettings().DecimalSeparator, c.mark);
        EXPECT_EQ(QVTFormatsettings().ListSeparator, c.list);
        EXPECT_EQ(UserFormatsettings().DecimalSeparator, c.mark);
        EXPECT_EQ(UserFormatsettings().ListSeparator, c.list);
        EXPECT_EQ(LocalDecimalSeparator(), c.mark);
        EXPECT_EQ(csvdelimiter(), c.list);
    }
}

TEST_F(SettingsTest, EnvironmentWithoutAKnownLocaleGivesThePoint) {
    setregionalsettings(',');
    QVTLibInitialization();  // nothing set at all
    EXPECT_EQ(LocalDecimalSeparator(), '.');
    EXPECT_EQ(csvdelimiter(), ',');

    for (const char* name : {"C", "POSIX", "C.UTF-8", "xx_NOWHERE.UTF-8", "../../etc/passwd"}) {
        setregionalsettings(',');
        ::setenv("LANG", name, 1);
        QVTLibInitialization();
        EXPECT_EQ(QVTFormatsettings().DecimalSeparator, '.') << name;
        EXPECT_EQ(UserFormatsettings().ListSeparator, ',') << name;
    }
}

TEST_F(SettingsTest, CommaLocaleGivesCommaAndSemicolon) {
    const char* comma = commalocale();
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be made (localedef)";
    uselocaledir();
    ::setenv("LANG", comma, 1);
    QVTLibInitialization();
    EXPECT_EQ(LocalDecimalSeparator(), ',');
    EXPECT_EQ(csvdelimiter(), ';');
}

TEST_F(SettingsTest, LocaleVariablesTakeTheirUsualPrecedence) {
    const char* comma = commalocale();
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be made (localedef)";
    uselocaledir();
    ::setenv("LANG", "C", 1);
    ::setenv("LC_NUMERIC", comma, 1);
    QVTLibInitialization();
    EXPECT_EQ(LocalDecimalSeparator(), ',');  // LC_NUMERIC over LANG

    ::setenv("LC_ALL", "C", 1);
    QVTLibInitialization();
    EXPECT_EQ(LocalDecimalSeparator(), '.');  // LC_ALL over both

    ::setenv("LC_ALL", "", 1);  // empty counts as unset
    QVTLibInitialization();
    EXPECT_EQ(LocalDecimalSeparator(), ',');
}

}  // namespace
}  // namespace kestrune
