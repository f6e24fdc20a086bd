#include "update/release_file.h"

#include <gtest/gtest.h>

#include <string>

namespace corvandel {
namespace {

const std::string kSetupDigest(64, 'a');
const std::string kZipDigest = std::string(63, '0') + "f";

ReleaseFile Release(const std::string& version) {
    return ReleaseFile{version,
                       {{"Corvandel-setup.exe", kSetupDigest}, {"Corvandel.zip", kZipDigest}}};
}

TEST(ReleaseFileTest, ReadsOnlyWhatTheReleaseScriptWrites) {
    const std::string written = WriteReleaseFile(Release("1.2.0.0"));
    const auto read = ParseReleaseFile(written);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->version, "1.2.0.0");
    EXPECT_EQ(read->sha256, Release("1.2.0.0").sha256);
    const std::string head = "Corvandel release\nversion=1.2.0.0\n";
    EXPECT_TRUE(ParseReleaseFile(head + "sha256 Corvandel.zip=" + std::string(64, 'F') + "\n"));
    const std::string refused[] = {
        "",
        "Corvandel release\r\n",                  // no version
        "corvandel release\nversion=1.2.0.0\n",   // another first line
        "MZ\x90\nversion=1.2.0.0\n",              // a package, not a release
        head + "version=1.3.0.0\n",               // two versions
        "Corvandel release\nversion= 1.2.0.0\n",  // blanks around it
        "Corvandel release\nversion=1.2\x1b"
        "0\n",                                                         // a control character
        "Corvandel release\nversion=65535.65535.65535.655350\n",       // too long for a version
        head + "sha256 Corvandel.zip=" + std::string(63, 'a') + "\n",  // a digest cut short
        head + "sha256 Corvandel.zip=" + std::string(64, 'g') + "\n",  // not hex
        head + "sha256 =" + kZipDigest + "\n",                         // no name
        head + "sha256 ..\\Corvandel.zip=" + kZipDigest + "\n",        // a path, not a name
        head + "sha256 Corvandel.zip=" + kZipDigest + "\nsha256 Corvandel.zip=" + kZipDigest,
        head + "\n",                       // an empty line
        head + "package Corvandel.zip\n",  // an unknown line
    };
    for (const std::string& text : refused)
        EXPECT_FALSE(ParseReleaseFile(text)) << text;
}

TEST(ReleaseFileTest, APackageIsTakenOnlyAsTheSignedFileVouches) {
    const struct {
        const char* what;
        const char* signedVersion;
        const char* announced;
        bool forced;
        const char* package;
        std::string digest;
        ReleaseCheck expected;
    } cases[] = {
        {"newer, vouched for", "1.2.0.0", "1.2.0.0", false, "Corvandel-setup.exe", kSetupDigest,
         ReleaseCheck::Accepted},
        {"judged before the download", "1.2.0.0", "1.2.0.0", false, "Corvandel.zip", "",
         ReleaseCheck::Accepted},
        {"a digest in upper case", "1.2.0.0", "1.2.0.0", false, "Corvandel.zip",
         std::string(63, '0') + "F", ReleaseCheck::Accepted},
        {"an older release announced as 99", "1.0.0.0", "99.0.0.0", false, "Corvandel.zip",
         kZipDigest, ReleaseCheck::VersionMismatch},
        {"forced does not excuse another version", "1.0.0.0", "99.0.0.0", true, "Corvandel.zip",
         kZipDigest, ReleaseCheck::VersionMismatch},
        {"the running version again", "1.0.0.1", "1.0.0.1", false, "Corvandel.zip", kZipDigest,
         ReleaseCheck::NotNewer},
        {"an older one", "0.9", "0.9", false, "Corvandel.zip", kZipDigest, ReleaseCheck::NotNewer},
        {"forced: the same version again", "1.0.0.1", "1.0.0.1", true, "Corvandel.zip", kZipDigest,
         ReleaseCheck::Accepted},
        {"forced: an older one", "0.9", "0.9", true, "Corvandel.zip", kZipDigest,
         ReleaseCheck::Accepted},
        {"a package the release does not name", "1.2.0.0", "1.2.0.0", false, "Corvandel.7z",
         kZipDigest, ReleaseCheck::UnknownPackage},
        {"the archive served as the installer", "1.2.0.0", "1.2.0.0", false, "Corvandel-setup.exe",
         kZipDigest, ReleaseCheck::DigestMismatch},
        {"changed after signing", "1.2.0.0", "1.2.0.0", false, "Corvandel.zip",
         std::string(64, '1'), ReleaseCheck::DigestMismatch},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckRelease(Release(c.signedVersion), c.announced, "1.0.0.1", c.forced,
                               c.package, c.digest),
                  c.expected)
            << c.what;
    }
}

}  // namespace
}  // namespace corvandel
