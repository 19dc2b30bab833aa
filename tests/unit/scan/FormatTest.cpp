#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scan/Format.h"
#include "support/TempDir.h"

namespace kivo {
namespace {

TEST(FormatCount, GroupsOfThree) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},
        {7, "7"},
        {999, "999"},
        {1000, "1,000"},
        {1234, "1,234"},
        {12345, "12,345"},
        {123456, "123,456"},
        {1234567, "1,234,567"},
        {4294967296ULL, "4,294,967,296"},
        {18446744073709551615ULL, "18,446,744,073,709,551,615"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatCount(value), text) << value;
}

TEST(FormatSize, UnitBoundariesAndRounding) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},
        {1023, "1,023"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {1048575, "1024.0 KB"},
        {1048576, "1.0 MB"},
        {1073741823, "1024.0 MB"},
        {1073741824, "1.0 GB"},
        {5368709120ULL, "5.0 GB"},
        {1099511627776ULL, "1024.0 GB"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatSize(value), text) << value;
}

// A desktop session runs with the user's numeric locale (the toolkit
// installs it at start-up); the texts must not follow it.
const char* SetCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr) return name;
    }
    return nullptr;
}

TEST(FormatSize, IgnoresTheNumericLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* commaLocale = SetCommaLocale();
    test::TempDir locales;
    if (commaLocale == nullptr) {
        // Most machines have no such locale compiled; build one privately.
        const std::string command = "localedef -i de_DE -f UTF-8 '" + locales.path() +
                                    "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            setenv("LOCPATH", locales.path().c_str(), 1);
            commaLocale = SetCommaLocale();
            unsetenv("LOCPATH");
        }
    }
    if (commaLocale == nullptr) GTEST_SKIP() << "no locale with a decimal comma could be had";
    const std::string kb = FormatSize(1536);
    const std::string gb = FormatSize(5368709120ULL);
    const std::string count = FormatSize(1023);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(kb, "1.5 KB") << commaLocale;
    EXPECT_EQ(gb, "5.0 GB") << commaLocale;
    EXPECT_EQ(count, "1,023") << commaLocale;
}

}  // namespace
}  // namespace kivo
