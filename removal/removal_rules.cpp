#include "removal/removal_rules.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "foundation/text.h"

namespace corvandel {
namespace {

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// Characters Windows refuses in file names; bytes of multi-byte UTF-8 are all >= 0x80 and so
// never match.
bool IsForbiddenInFileName(char c) {
    if (static_cast<unsigned char>(c) < 0x20)
        return true;
    return std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
}

// Windows maps these names to devices in every folder, with or without an extension.
bool IsReservedDeviceName(std::string_view name) {
    const std::string stem = AsciiUpper(name.substr(0, name.find('.')));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string TwoDigits(int value) {
    std::array<char, 16> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%02d", value);
    return buffer.data();
}

}  // namespace

RestoreLaunch PlanRestore(const std::string& backupPath, const SystemView& view) {
    const std::string quoted = "\"" + backupPath + "\"";
    if (!view.redirected)
        return RestoreLaunch{"regedit.exe", "/s " + quoted, false};
    return RestoreLaunch{NativeSystemProgram(view, "reg.exe"), "import " + quoted, true};
}

std::string SafeBackupFileName(const std::string& caption) {
    std::string name = caption;
    for (char& c : name) {
        if (IsForbiddenInFileName(c))
            c = '_';
    }
    // Windows drops trailing dots and spaces, so "x." would silently become "x".
    for (size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i)
        name[i - 1] = '_';
    const bool needsPrefix = name.empty() || IsReservedDeviceName(name);
    return needsPrefix ? std::string(1, '_') + name : name;
}

std::string FreeBackupPath(const std::string& folderWithSeparator, const std::string& baseName,
                           const std::function<bool(const std::string&)>& exists) {
    const std::string stem = folderWithSeparator + baseName;
    std::string path = stem + ".reg";
    for (int n = 2; exists(path); ++n)
        path = stem + " (" + std::to_string(n) + ").reg";
    return path;
}

std::string RegistryEditorKey(const std::string& root, const std::string& path) {
    if (root.empty())
        return {};
    if (path.empty())
        return root;
    std::string key = root + "\\" + path;
    while (Contains(key, "\\\\"))
        key = ReplaceAll(key, "\\\\", "\\");
    return key;
}

std::string HtmlReport(const std::string& listName, const std::vector<std::string>& columnCaptions,
                       const std::vector<std::vector<std::string>>& rows) {
    const std::string crlf = "\r\n";
    std::string html = "<html>" + crlf + "<head>" + crlf + "<meta charset=\"utf-8\">" + crlf +
                       "<title>HTML-Ansicht: " + HtmlEscape(listName) + "</title>" + crlf +
                       "</head>" + crlf + "<table border=\"1\" bordercolor=\"#000000\">" + crlf +
                       "<tr>" + crlf;
    for (const std::string& caption : columnCaptions)
        html += "<td><b><center>" + HtmlEscape(caption) + "</center></b></td>" + crlf;
    html += "</tr>" + crlf;
    for (const auto& row : rows) {
        html += "<tr>" + crlf;
        html += "<td>" + HtmlEscape(row.empty() ? std::string() : row[0]) + "</td>" + crlf;
        for (size_t i = 1; i < columnCaptions.size(); ++i) {
            const bool missing = i >= row.size() || row[i].empty();
            html += "<td>" + (missing ? std::string("-") : HtmlEscape(row[i])) + "</td>";
        }
        // No line break after a row: reports stay byte-identical with earlier releases.
        html += "</tr>";
    }
    html += "</table>" + crlf + "</html>" + crlf;
    return html;
}

std::string BackupDateText(const DateTime& t, const std::string& timeSeparator) {
    return TwoDigits(t.day) + "." + TwoDigits(t.month) + "." + TwoDigits(t.year % 100) + " " +
           TwoDigits(t.hour) + timeSeparator + TwoDigits(t.minute);
}

}  // namespace corvandel
