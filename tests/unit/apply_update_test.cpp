#include "update/apply_update.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "update/package_signature.h"

namespace corvandel {
namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (const int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

std::string Repeat(int value, int count) {
    return std::string(static_cast<size_t>(count), static_cast<char>(value));
}

// SEQUENCE { INTEGER r, INTEGER s } from the INTEGERs' contents.
std::string Der(const std::string& r, const std::string& s) {
    const std::string body = Bytes({0x02, static_cast<int>(r.size())}) + r +
                             Bytes({0x02, static_cast<int>(s.size())}) + s;
    return Bytes({0x30, static_cast<int>(body.size())}) + body;
}

TEST(PackageSignatureTest, DerIntegersBecomeFixedWidthHalves) {
    // r with its high bit set carries a leading zero; s is short and is padded on the left.
    const std::string r = Bytes({0x00}) + Repeat(0xAB, 32);
    const std::string s = Repeat(0x11, 30);
    const auto raw = RawSignatureFromDer(Der(r, s));
    ASSERT_TRUE(raw);
    EXPECT_EQ(std::string(raw->begin(), raw->begin() + 32), Repeat(0xAB, 32));
    EXPECT_EQ(std::string(raw->begin() + 32, raw->end()), Repeat(0, 2) + Repeat(0x11, 30));

    // Both halves with their high bit set: the longest signature there is.
    const std::string big = Bytes({0x00}) + Repeat(0x80, 32);
    const std::string body = Bytes({0x02, 33}) + big + Bytes({0x02, 33}) + big;
    EXPECT_TRUE(RawSignatureFromDer(Bytes({0x30, static_cast<int>(body.size())}) + body));
}

TEST(PackageSignatureTest, AnythingButOneWellFormedSignatureIsRefused) {
    const std::string r = Repeat(0x22, 32);
    const std::string good = Der(r, r);
    ASSERT_TRUE(RawSignatureFromDer(good));
    EXPECT_FALSE(RawSignatureFromDer(""));
    EXPECT_FALSE(RawSignatureFromDer(good + Bytes({0x00})));             // bytes after it
    EXPECT_FALSE(RawSignatureFromDer(good.substr(0, good.size() - 1)));  // cut short
    EXPECT_FALSE(RawSignatureFromDer(Bytes({0x31}) + good.substr(1)));   // a SET
    EXPECT_FALSE(RawSignatureFromDer(good.substr(0, 2) + Bytes({0x04, 32}) + r + Bytes({0x02, 32}) +
                                     r));                            // not an INTEGER
    EXPECT_FALSE(RawSignatureFromDer(Der(Repeat(0x80, 32), r)));     // negative
    EXPECT_FALSE(RawSignatureFromDer(Der(Bytes({0x00, 0x01}), r)));  // needless zero
    EXPECT_FALSE(RawSignatureFromDer(Der(Bytes({0x00}), r)));        // zero
    EXPECT_FALSE(RawSignatureFromDer(Der(Bytes({0x01}) + r, r)));    // wider than the curve
    EXPECT_FALSE(RawSignatureFromDer(Der(r, r) + Der(r, r)));        // two signatures
    // A long length where the short one fits, and a third INTEGER inside.
    const std::string inner = Bytes({0x02, 32}) + r + Bytes({0x02, 32}) + r;
    EXPECT_FALSE(RawSignatureFromDer(Bytes({0x30, 0x81, static_cast<int>(inner.size())}) + inner));
    const std::string three = inner + Bytes({0x02, 1, 1});
    EXPECT_FALSE(RawSignatureFromDer(Bytes({0x30, static_cast<int>(three.size())}) + three));
}

TEST(ApplyUpdateTest, InstallerSwitchesCarryOnlyALanguageTheInstallerKnows) {
    EXPECT_EQ(InstallerParameters("Russian"),
              "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG=Russian /MERGETASKS=\"runcmd1\"");
    // A settings file any user can write never adds a switch of its own.
    const std::pair<const char*, const char*> cases[] = {
        {"English", "English"},
        {"russian", "Russian"},
        {"", "English"},
        {"Deutsch", "English"},
        {"x /D=C:\\Users\\Public\\C", "English"},
        {"Russian /D=C:\\Temp", "English"},
        {"Russian\"", "English"},
    };
    for (const auto& [stored, passed] : cases)
        EXPECT_EQ(InstallerLanguage(stored), passed) << stored;
}

TEST(ApplyUpdateTest, ScriptNameIsTheTimeOfDay) {
    EXPECT_EQ(UpdateScriptName(14, 30, 5), "update_143005.bat");
    EXPECT_EQ(UpdateScriptName(0, 0, 0), "update_000000.bat");
    EXPECT_EQ(UpdateScriptName(23, 59, 59), "update_235959.bat");
}

TEST(ApplyUpdateTest, PortableScriptLineByLine) {
    const std::string extract =
        "\"C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile "
        "-NonInteractive -Command \"Add-Type -AssemblyName System.IO.Compression, "
        "System.IO.Compression.FileSystem; $bytes = "
        "[System.IO.File]::ReadAllBytes('Corvandel.zip'); $hash = -join "
        "([System.Security.Cryptography.SHA256]::Create().ComputeHash($bytes) | ForEach-Object { "
        "$_.ToString('x2') }); if ($hash -ne '" +
        std::string(64, 'c') +
        "') { Write-Host 'The archive is not the one downloaded'; exit 1 }; $zip = New-Object "
        "System.IO.Compression.ZipArchive -ArgumentList (New-Object System.IO.MemoryStream "
        "-ArgumentList (,$bytes)); foreach ($entry in $zip.Entries) { $target = "
        "$entry.FullName; if (-not $entry.Name) { "
        "[System.IO.Directory]::CreateDirectory($target) | Out-Null; } else { try { "
        "[System.IO.Compression.ZipFileExtensions]::ExtractToFile($entry, $target, $true) } "
        "catch { Write-Host ('Skipping: ' + $entry.FullName) } } }; $zip.Dispose(); Write-Host "
        "'Extraction complete'\"";
    const std::vector<std::string> expected{
        "@echo off",
        "setlocal DisableDelayedExpansion",
        "cd /d \"C:\\Tools\\Corvandel\\\"",
        "",
        "echo Killing app...",
        "\"C:\\Windows\\system32\\taskkill.exe\" /F /PID 4242 >nul 2>&1",
        "\"C:\\Windows\\system32\\timeout.exe\" /t 2 >nul",
        "",
        "echo Extracting...",
        extract,
        "",
        "echo Deleting ZIP...",
        "del \"Corvandel.zip\"",
        "",
        "echo Starting app...",
        "start \"\" \"Corvandel.exe\"",
        "",
        "echo Done",
        "\"C:\\Windows\\system32\\timeout.exe\" /t 2 >nul",
        "del \"%~f0\"",
    };
    const ScriptMachine machine{"C:\\Windows\\system32", 4242, std::string(64, 'c')};
    EXPECT_EQ(PortableUpdateScript("C:\\Tools\\Corvandel\\", "Corvandel.exe", "Corvandel.zip",
                                   ScriptEncoding::ConsoleCodePage, machine),
              expected);
    EXPECT_EQ(JoinScriptLines({"@echo off", "", "del \"%~f0\""}),
              "@echo off\r\n\r\ndel \"%~f0\"\r\n");
}

TEST(ApplyUpdateTest, AnyFolderNameSurvivesTheCommandProcessor) {
    // "%" would start a variable's name; "!" and "&" are plain inside the quotes.
    const auto lines =
        PortableUpdateScript("C:\\Прог 100%PATH%! & Co\\", "Corv%1.exe", "it's%.zip",
                             ScriptEncoding::ConsoleCodePage, ScriptMachine{"D:\\Win%dir%", 7, ""});
    EXPECT_EQ(lines[2], "cd /d \"C:\\Прог 100%%PATH%%! & Co\\\"");
    EXPECT_EQ(lines[5], "\"D:\\Win%%dir%%\\taskkill.exe\" /F /PID 7 >nul 2>&1");
    EXPECT_NE(lines[9].find("ReadAllBytes('it''s%%.zip')"), std::string::npos);
    EXPECT_EQ(lines[12], "del \"it's%%.zip\"");
    EXPECT_EQ(lines[15], "start \"\" \"Corv%%1.exe\"");
    EXPECT_EQ(lines.back(), "del \"%~f0\"");

    // Written as UTF-8, the script first switches the console to it; the steps follow.
    const auto utf8 = PortableUpdateScript("C:\\程序\\", "Corvandel.exe", "Corvandel.zip",
                                           ScriptEncoding::Utf8, ScriptMachine{"C:\\W", 1, ""});
    ASSERT_EQ(utf8.size(), lines.size() + 1);
    EXPECT_EQ(utf8[1], "chcp 65001 >nul");
    EXPECT_EQ(utf8[3], "cd /d \"C:\\程序\\\"");
}

// A stored (uncompressed) archive with these entry names, as any ZIP writer lays it out.
std::string Archive(const std::vector<std::string>& names) {
    const auto u16 = [](std::string& out, uint32_t v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>(v >> 8 & 0xFF);
    };
    const auto u32 = [&](std::string& out, uint32_t v) {
        u16(out, v & 0xFFFF);
        u16(out, v >> 16);
    };
    std::string local, directory;
    for (const std::string& name : names) {
        const auto offset = static_cast<uint32_t>(local.size());
        u32(local, 0x04034B50);
        local += std::string(22, '\0');
        u16(local, static_cast<uint32_t>(name.size()));
        u16(local, 0);
        local += name;
        u32(directory, 0x02014B50);
        directory += std::string(24, '\0');
        u16(directory, static_cast<uint32_t>(name.size()));
        directory += std::string(12, '\0');
        u32(directory, offset);
        directory += name;
    }
    std::string end;
    u32(end, 0x06054B50);
    u32(end, 0);
    u16(end, static_cast<uint32_t>(names.size()));
    u16(end, static_cast<uint32_t>(names.size()));
    u32(end, static_cast<uint32_t>(directory.size()));
    u32(end, static_cast<uint32_t>(local.size()));
    u16(end, 0);
    return local + directory + end;
}

TEST(ApplyUpdateTest, AnArchiveMustStayInsideTheProgramsFolder) {
    const std::vector<std::string> release{"Corvandel.exe", "portable.ini", "Language/",
                                           "Language/English.ini", "Language/..ini"};
    ASSERT_EQ(ArchiveEntryNames(Archive(release)), release);
    EXPECT_TRUE(ArchiveStaysInFolder(Archive(release)));
    const char* const escaping[] = {
        "..\\evil.txt",
        "../evil.txt",
        "Language/../../evil.txt",
        "Language\\..\\..\\x",
        "...\\x",
        ". .\\x",
        "/evil.txt",
        "\\evil.txt",
        "C:evil.txt",
        "C:\\Windows\\evil.dll",
        "",
        "..",
    };
    for (const char* name : escaping) {
        auto names = release;
        names.push_back(name);
        EXPECT_FALSE(ArchiveStaysInFolder(Archive(names))) << name;
    }
    // What cannot be read as an archive is refused too.
    const std::string whole = Archive(release);
    EXPECT_FALSE(ArchiveStaysInFolder(whole.substr(0, whole.size() - 1)));
    EXPECT_FALSE(ArchiveStaysInFolder(whole.substr(0, whole.size() / 2)));
    EXPECT_FALSE(ArchiveStaysInFolder("MZ"));
}

}  // namespace
}  // namespace corvandel
