#include "update/apply_update.h"

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
                                              const std::string& zipName, ScriptEncoding encoding) {
    const std::string exe = BatchQuoted(exeName);
    const std::string zip = BatchQuoted(zipName);
    std::vector<std::string> lines{"@echo off"};
    if (encoding == ScriptEncoding::Utf8)
        lines.push_back("chcp 65001 >nul");
    // A "!" in a name survives even where delayed expansion is on by default.
    lines.push_back("setlocal DisableDelayedExpansion");
    const std::vector<std::string> steps{
        "cd /d \"" + BatchQuoted(folder) + "\"",
        "",
        "echo Killing app...",
        "taskkill /F /IM \"" + exe + "\" >nul 2>&1",
        "timeout /t 2 >nul",
        "",
        "echo Extracting...",
        "powershell -Command \"Add-Type -AssemblyName System.IO.Compression.FileSystem; $zip = "
        "[System.IO.Compression.ZipFile]::OpenRead('" +
            PowerShellQuoted(zip) +
            "'); foreach ($entry in $zip.Entries) { $target = $entry.FullName; if (-not "
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
        "timeout /t 2 >nul",
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

}  // namespace corvandel
