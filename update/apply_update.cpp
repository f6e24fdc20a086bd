#include "update/apply_update.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "foundation/text.h"

namespace corvandel {

namespace {

// Inside the PowerShell command's single-quoted text a "'" is written twice.
std::string PowerShellQuoted(const std::string& value) {
    return ReplaceAll(value, "'", "''");
}

}  // namespace

std::string InstallerLanguage(const std::string& language) {
    // The installer's own languages; the first is its default.
    static const char* const kKnown[] = {"English", "Russian"};
    for (const char* known : kKnown) {
        if (AsciiLower(language) == AsciiLower(known))
            return known;
    }
    return kKnown[0];
}

std::string InstallerParameters(const std::string& language) {
    return "/SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG=" + InstallerLanguage(language) +
           " /MERGETASKS=\"runcmd1\"";
}

std::string UpdateScriptName(int hour, int minute, int second) {
    char name[32];
    std::snprintf(name, sizeof name, "update_%02d%02d%02d.bat", hour, minute, second);
    return name;
}

std::string BatchQuoted(const std::string& value) {
    return ReplaceAll(value, "%", "%%");
}

std::vector<std::string> PortableUpdateScript(const std::string& folder, const std::string& exeName,
                                              const std::string& zipName, ScriptEncoding encoding,
                                              const ScriptMachine& machine) {
    const std::string exe = BatchQuoted(exeName);
    const std::string zip = BatchQuoted(zipName);
    const std::string system = BatchQuoted(machine.systemFolder) + "\\";
    std::vector<std::string> lines{"@echo off"};
    if (encoding == ScriptEncoding::Utf8)
        lines.push_back("chcp 65001 >nul");
    // A "!" in a name survives even where delayed expansion is on by default.
    lines.push_back("setlocal DisableDelayedExpansion");
    const std::vector<std::string> steps{
        "cd /d \"" + BatchQuoted(folder) + "\"",
        "",
        "echo Killing app...",
        "\"" + system + "taskkill.exe\" /F /PID " + std::to_string(machine.processId) +
            " >nul 2>&1",
        "\"" + system + "timeout.exe\" /t 2 >nul",
        "",
        "echo Extracting...",
        "\"" + system +
            "WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -NonInteractive -Command "
            "\"Add-Type -AssemblyName System.IO.Compression, System.IO.Compression.FileSystem; "
            "$bytes = [System.IO.File]::ReadAllBytes('" +
            PowerShellQuoted(zip) +
            "'); $hash = -join "
            "([System.Security.Cryptography.SHA256]::Create().ComputeHash($bytes) | "
            "ForEach-Object { $_.ToString('x2') }); if ($hash -ne '" +
            machine.archiveSha256 +
            "') { Write-Host 'The archive is not the one downloaded'; exit 1 }; $zip = "
            "New-Object System.IO.Compression.ZipArchive -ArgumentList "
            "(New-Object System.IO.MemoryStream -ArgumentList (,$bytes)); "
            "foreach ($entry in $zip.Entries) { $target = $entry.FullName; if (-not "
            "$entry.Name) { [System.IO.Directory]::CreateDirectory($target) | Out-Null; } else { "
            "try { [System.IO.Compression.ZipFileExtensions]::ExtractToFile($entry, $target, "
            "$true) } catch { Write-Host ('Skipping: ' + $entry.FullName) } } }; $zip.Dispose(); "
            "Write-Host 'Extraction complete'\"",
        "",
        "echo Deleting ZIP...",
        "del \"" + zip + "\"",
        "",
        "echo Starting app...",
        "start \"\" \"" + exe + "\"",
        "",
        "echo Done",
        "\"" + system + "timeout.exe\" /t 2 >nul",
        "del \"%~f0\"",
    };
    lines.insert(lines.end(), steps.begin(), steps.end());
    return lines;
}

std::string JoinScriptLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::optional<std::vector<std::string>> ArchiveEntryNames(std::string_view zip) {
    const auto u16 = [&](size_t at) {
        return static_cast<uint32_t>(static_cast<unsigned char>(zip[at]) |
                                     static_cast<unsigned char>(zip[at + 1]) << 8);
    };
    const auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    // The end record lies in the last 22 bytes, or before a comment of at most 64 KiB.
    constexpr size_t kEndRecord = 22;
    if (zip.size() < kEndRecord)
        return std::nullopt;
    size_t end = std::string_view::npos;
    const size_t lowest = zip.size() > kEndRecord + 0xFFFF ? zip.size() - kEndRecord - 0xFFFF : 0;
    for (size_t at = zip.size() - kEndRecord + 1; at-- > lowest;) {
        if (u32(at) == 0x06054B50 && at + kEndRecord + u16(at + 20) == zip.size()) {
            end = at;
            break;
        }
    }
    if (end == std::string_view::npos)
        return std::nullopt;
    const uint32_t count = u16(end + 10);
    const uint64_t directorySize = u32(end + 12);
    const uint64_t directoryAt = u32(end + 16);
    if (count == 0xFFFF || directoryAt == 0xFFFFFFFF || directoryAt + directorySize > end)
        return std::nullopt;
    std::vector<std::string> names;
    size_t at = static_cast<size_t>(directoryAt);
    for (uint32_t i = 0; i < count; ++i) {
        constexpr size_t kHeader = 46;
        if (at + kHeader > end || u32(at) != 0x02014B50)
            return std::nullopt;
        const size_t nameLength = u16(at + 28);
        const size_t rest = nameLength + u16(at + 30) + u16(at + 32);
        if (at + kHeader + rest > end)
            return std::nullopt;
        names.emplace_back(zip.substr(at + kHeader, nameLength));
        at += kHeader + rest;
    }
    return names;
}

bool ArchiveStaysInFolder(std::string_view zip) {
    const auto names = ArchiveEntryNames(zip);
    if (!names)
        return false;
    for (const std::string& name : *names) {
        if (name.empty() || name[0] == '/' || name[0] == '\\' ||
            name.find(':') != std::string::npos) {
            return false;
        }
        // No part of the path may climb out, whichever separator the archive uses: the system
        // drops trailing dots and blanks, so "..", ". ." and "..." all count.
        size_t start = 0;
        while (start <= name.size()) {
            const size_t stop = std::min(name.find_first_of("/\\", start), name.size());
            const std::string_view part = std::string_view(name).substr(start, stop - start);
            if (!part.empty() && part.find_first_not_of(". ") == std::string_view::npos)
                return false;
            start = stop + 1;
        }
    }
    return true;
}

}  // namespace corvandel
