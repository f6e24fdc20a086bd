#include "update/update_rules.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_registry.h"

namespace corvandel {
namespace {

TEST(UpdateTest, VersionsCompareByNumberedParts) {
    EXPECT_EQ(CompareVersions("10.7.26.228", "10.7.26.228"), 0);
    EXPECT_EQ(CompareVersions("10.7.26.100", "10.7.26.228"), -1);
    EXPECT_EQ(CompareVersions("10.8", "10.7.26.228"), 1);
    EXPECT_EQ(CompareVersions("10.7", "10.7.0.0"), 0);
    EXPECT_EQ(CompareVersions("10.x", "10.0"), 0);
    EXPECT_EQ(CompareVersions("1.2.0.0", "1.0.0.1"), 1);
    EXPECT_EQ(CompareVersions("1 2", "1.2"), 0);  // blanks separate parts too
    EXPECT_EQ(CompareVersions("2", "10"), -1);    // numbers, not texts
    EXPECT_EQ(CompareVersions("", "0.0"), 0);
}

TEST(UpdateTest, ServerAnswerAndPackageNames) {
    EXPECT_EQ(VersionFromBody(" 10.8.0.0\r\n"), "10.8.0.0");
    EXPECT_EQ(VersionFromBody("\t1.2\t"), "1.2");
    EXPECT_EQ(VersionFromBody(" \r\n\t "), std::nullopt);
    EXPECT_EQ(VersionFromBody(""), std::nullopt);
    // What cannot be a version is no answer, and the mirror is asked.
    EXPECT_EQ(VersionFromBody("65535.65535.65535.65535\n"), "65535.65535.65535.65535");
    EXPECT_EQ(VersionFromBody("65535.65535.65535.655350"), std::nullopt);
    EXPECT_EQ(VersionFromBody("1.2\r\n3.4"), std::nullopt);
    EXPECT_EQ(VersionFromBody(std::string("1.2\0", 4) + "9"), std::nullopt);
    EXPECT_EQ(VersionFromBody("1.\x1b[2J2"), std::nullopt);
    const std::string folder = UpdateFolderUrl("http://127.0.0.1:8000/download/");
    EXPECT_EQ(folder, "http://127.0.0.1:8000/download/Corvandel/");
    EXPECT_EQ(PackageUrl(folder, false), folder + "Corvandel-setup.exe");
    EXPECT_EQ(PackageUrl(folder, true), folder + "Corvandel.zip");
    EXPECT_EQ(GetFileNameFromUrl(folder + "Corvandel.zip"), "Corvandel.zip");
    EXPECT_EQ(GetFileNameFromUrl("http://host/"), "http://host/");
    EXPECT_EQ(GetFileNameFromUrl("name"), "name");
}

TEST(UpdateTest, ProxyComesFromInternetSettingsWhenEnabledWithAPort) {
    constexpr const char* kKey =
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    testing::FakeRegistry registry;
    EXPECT_EQ(GetSystemProxy(registry), std::nullopt);  // no key
    registry.SetString(kKey, "ProxyServer", "proxy.local:3128");
    EXPECT_EQ(GetSystemProxy(registry), std::nullopt);  // no ProxyEnable
    registry.SetDword(kKey, "ProxyEnable", 0);
    EXPECT_EQ(GetSystemProxy(registry), std::nullopt);
    registry.SetDword(kKey, "ProxyEnable", 1);
    auto proxy = GetSystemProxy(registry);
    ASSERT_TRUE(proxy);
    EXPECT_EQ(proxy->server, "proxy.local");
    EXPECT_EQ(proxy->port, 3128);
    registry.SetString(kKey, "ProxyServer", "proxy.local:abc");
    EXPECT_EQ(GetSystemProxy(registry)->port, 8080);
    registry.SetString(kKey, "ProxyServer", "http=proxy.local:80;https=proxy.local:443");
    proxy = GetSystemProxy(registry);
    EXPECT_EQ(proxy->server, "http=proxy.local");
    EXPECT_EQ(proxy->port, 8080);
    registry.SetString(kKey, "ProxyServer", "proxy.local");
    EXPECT_EQ(GetSystemProxy(registry), std::nullopt);
    registry.SetString(kKey, "ProxyEnable", "1");  // text, not a number: off
    registry.SetString(kKey, "ProxyServer", "proxy.local:3128");
    EXPECT_EQ(GetSystemProxy(registry), std::nullopt);
}

TEST(UpdateTest, ProgressCountsWholePercentsHalvesToEven) {
    EXPECT_EQ(ProgressPercent(505, 1000), 50);  // 50.5
    EXPECT_EQ(ProgressPercent(515, 1000), 52);  // 51.5
    EXPECT_EQ(ProgressPercent(0, 1000), 0);
    EXPECT_EQ(ProgressPercent(1000, 1000), 100);
    EXPECT_EQ(ProgressPercent(5000, 1000), 100);  // more than announced: a full bar
    EXPECT_EQ(ProgressPercent(10, 50), std::nullopt);
    EXPECT_EQ(ProgressPercent(10, 0), std::nullopt);
    EXPECT_EQ(ProgressPercent(10, -1), std::nullopt);
}

}  // namespace
}  // namespace corvandel
