#include "about/version_text.h"

#include <gtest/gtest.h>

#include "app/main_caption.h"
#include "app/windows_version.h"
#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

TEST(VersionTextTest, FileVersionStringScan) {
    const std::pair<std::u16string, std::string> cases[] = {
        {u"10.7.26.228", "10.7.26.228"},
        {u"10, 7, 26, 228", "10.7.26.228"},
        {u"2.0 beta", "2.0"},
        {u"v1.2", ""},
        {u"1..2,,3.", "1.2.3"},
        {u".5", "5"},
        {std::u16string(u"3.1\0.9", 6), "3.1"},
        {u"", ""},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ScanFileVersionString(text), expected);
    }
}

TEST(VersionTextTest, TranslationKeyAndFixedVersion) {
    const unsigned char english[] = {0x09, 0x04, 0xE4, 0x04};
    const unsigned char russian[] = {0x19, 0x04, 0xB0, 0x04};
    const unsigned char zero[] = {0, 0, 0, 0};
    EXPECT_EQ(TranslationKey(english, 4), "040904E4");
    EXPECT_EQ(TranslationKey(russian, 4), "041904B0");
    EXPECT_EQ(TranslationKey(zero, 4), "040904E4");
    EXPECT_EQ(TranslationKey(russian, 3), "040904E4");
    EXPECT_EQ(TranslationKey(nullptr, 0), "040904E4");
    EXPECT_EQ(FormatFixedVersion((10u << 16) | 7u, (26u << 16) | 228u), "10.7.26.228");
}

TEST(VersionTextTest, MainWindowCaption) {
    EXPECT_EQ(MainWindowCaption("10.7.26.228", 32, false), "Corvandel 10.7.26.228 (32-bit)");
    EXPECT_EQ(MainWindowCaption("1.0", 32, true), "Corvandel 1.0 (32-bit) Portable");
    // Without a version resource two blanks stand together.
    EXPECT_EQ(MainWindowCaption("", 32, false), "Corvandel  (32-bit)");
}

TEST(WindowsVersionTest, RegistryReplacesCappedVersionNumbers) {
    testing::FakeRegistry fake;
    const std::string key = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    fake.SetDword(key, "CurrentMajorVersionNumber", 10);
    fake.SetString(key, "CurrentVersion", "6.3");
    fake.SetString(key, "CurrentBuild", "19045");

    const OsVersion fromRegistry = RealWindowsVersion({6, 2, 9200}, fake);
    EXPECT_EQ(fromRegistry.major, 10u);
    EXPECT_EQ(fromRegistry.build, 19045u);
    EXPECT_TRUE(IsWindows10OrLater(fromRegistry));

    // Windows 7 reports its own numbers, and the registry is not asked.
    EXPECT_FALSE(IsWindows10OrLater(RealWindowsVersion({6, 1, 7601}, fake)));

    // An 8.1 machine: no major-number value, the text version and a build below 10240.
    testing::FakeRegistry old;
    old.SetString(key, "CurrentVersion", "6.3");
    old.SetString(key, "CurrentBuild", "x");
    old.SetString(key, "CurrentBuildNumber", "9600");
    const OsVersion v = RealWindowsVersion({6, 2, 9200}, old);
    EXPECT_EQ(v.major, 6u);
    EXPECT_EQ(v.build, 9600u);
    EXPECT_FALSE(IsWindows10OrLater(v));
    EXPECT_FALSE(IsWindows10OrLater({10, 0, 10239}));
    EXPECT_TRUE(IsWindows10OrLater({10, 0, 22631}));
}

}  // namespace
}  // namespace corvandel
