#include "appearance/WindowsDarkMode.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

constexpr const char* kPersonalize =
    "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

TEST(AppearanceTest, SystemIsDarkOnlyForAStoredZero) {
    testing::FakeRegistry registry;
    EXPECT_FALSE(IsSystemDarkTheme(registry));  // no key
    registry.Key(kPersonalize);
    EXPECT_FALSE(IsSystemDarkTheme(registry));  // no value
    registry.SetDword(kPersonalize, "AppsUseLightTheme", 1);
    EXPECT_FALSE(IsSystemDarkTheme(registry));
    registry.SetDword(kPersonalize, "AppsUseLightTheme", 0);
    EXPECT_TRUE(IsSystemDarkTheme(registry));
    // Values of other types are not a switch to dark, whatever they hold.
    registry.SetString(kPersonalize, "AppsUseLightTheme", "0");
    EXPECT_FALSE(IsSystemDarkTheme(registry));
    registry.SetRaw(kPersonalize, "AppsUseLightTheme", kRegBinary, {0, 0, 0, 0});
    EXPECT_FALSE(IsSystemDarkTheme(registry));
    registry.SetRaw(kPersonalize, "AppsUseLightTheme", kRegDword, {0, 0});
    EXPECT_FALSE(IsSystemDarkTheme(registry));
    registry.SetDword(kPersonalize, "AppsUseLightTheme", 0);
    registry.DenyValue(kPersonalize, "AppsUseLightTheme");
    EXPECT_FALSE(IsSystemDarkTheme(registry));
}

TEST(AppearanceTest, StylesAreChosenByTheirNames) {
    EXPECT_EQ(LookOfStyle("Windows11 Modern Dark"), Look::Dark);
    EXPECT_EQ(LookOfStyle("Windows11 Modern Light"), Look::Light);
    EXPECT_EQ(LookOfStyle("windows11 modern dark"), std::nullopt);
    EXPECT_EQ(LookOfStyle(""), std::nullopt);
    EXPECT_EQ(PaletteFor(Look::Dark).list, Rgb(33, 33, 33));
    EXPECT_EQ(PaletteFor(Look::Dark).listText, Rgb(255, 255, 255));
}

}  // namespace
}  // namespace corvandel
