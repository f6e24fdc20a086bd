#include "inventory/presentation.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "foundation/text.h"
#include "inventory/sorting.h"

namespace corvandel {

namespace {

// Replaces every occurrence of `from`, matched without regard to ASCII letter case, left to
// right without overlap. AsciiLower keeps every byte position, so offsets found in the
// lower-cased copy are offsets in the original.
std::string ReplaceAllAsciiNoCase(const std::string& text, const std::string& from,
                                  const std::string& to) {
    if (from.empty())
        return text;
    const std::string lowerText = AsciiLower(text);
    const std::string lowerFrom = AsciiLower(from);
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (true) {
        const size_t hit = lowerText.find(lowerFrom, pos);
        if (hit == std::string::npos)
            break;
        out.append(text, pos, hit - pos);
        out += to;
        pos = hit + from.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

const std::string& SortKey(const UninstallEntry& row, int column) {
    return column == kCaptionColumn ? row.caption : row.columns[column];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads minDigits..maxDigits decimal digits at `pos`, as many as there are.
bool ReadNumber(const std::string& text, size_t& pos, size_t minDigits, size_t maxDigits,
                int& value) {
    size_t count = 0;
    int number = 0;
    while (count < maxDigits && pos + count < text.size() && text[pos + count] >= '0' &&
           text[pos + count] <= '9') {
        number = number * 10 + (text[pos + count] - '0');
        ++count;
    }
    if (count < minDigits)
        return false;
    pos += count;
    value = number;
    return true;
}

bool ReadLiteral(const std::string& text, size_t& pos, std::string_view literal) {
    if (text.compare(pos, literal.size(), literal) != 0)
        return false;
    pos += literal.size();
    return true;
}

}  // namespace

std::string FormatByteSize(int64_t bytes) {
    static constexpr const char* kUnits[] = {" b", " kb", " Mb", " Gb"};
    double size = static_cast<double>(bytes);
    int unit = 0;
    while (size >= 700 && unit < 3) {
        size /= 1024;
        ++unit;
    }
    if (unit == 0)
        return std::to_string(bytes) + kUnits[0];
    // nearbyint honours the default rounding mode: halves go to the even neighbour.
    return std::to_string(static_cast<long long>(std::nearbyint(size))) + kUnits[unit];
}

int CompareByColumn(const UninstallEntry& a, const UninstallEntry& b, int column, int direction,
                    const Locale& locale) {
    return CompareKeys(SortKey(a, column), SortKey(b, column), direction, locale);
}

int CompareByName(const UninstallEntry& a, const UninstallEntry& b, int direction,
                  const Locale& locale) {
    return CompareByColumn(a, b, kCaptionColumn, direction, locale);
}

void SortByColumn(std::vector<UninstallEntry>& rows, int listColumn, int direction,
                  const Locale& locale) {
    if (listColumn < 0 || listColumn > kEntryColumnCount)
        return;
    const int column = listColumn - 1;
    // Upper-case every key once instead of on each comparison.
    std::vector<std::pair<std::u16string, UninstallEntry>> keyed;
    keyed.reserve(rows.size());
    for (auto& row : rows) {
        keyed.emplace_back(locale.ToUpper(Utf8ToUtf16(SortKey(row, column))), std::move(row));
    }
    std::stable_sort(keyed.begin(), keyed.end(), [direction](const auto& x, const auto& y) {
        const int order = x.first.compare(y.first);  // unsigned UTF-16 code units
        return ((order > 0) - (order < 0)) * direction < 0;
    });
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = std::move(keyed[i].second);
}

std::string DuplicateKey(const UninstallEntry& row) {
    const std::string key =
        row.caption + "|" + row.columns[kColRootName] + "|" + row.columns[kColKeyPath];
    return ReplaceAllAsciiNoCase(key, "WOW6432NODE\\", "");
}

void RemoveDuplicates(std::vector<UninstallEntry>& rows) {
    std::unordered_set<std::string> seen;
    seen.reserve(rows.size());
    std::vector<UninstallEntry> kept;
    kept.reserve(rows.size());
    for (auto& row : rows) {
        if (seen.insert(DuplicateKey(row)).second)
            kept.push_back(std::move(row));
    }
    rows = std::move(kept);
}

void ArrangeScannedRows(std::vector<UninstallEntry>& rows, int direction, const Locale& locale) {
    // Back in the order of a scan on one thread, so that equal names keep their order.
    std::sort(rows.begin(), rows.end(),
              [](const UninstallEntry& a, const UninstallEntry& b) { return a.id < b.id; });
    SortByName(rows, direction, locale);
    RemoveDuplicates(rows);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].id = static_cast<uint32_t>(i);
}

std::vector<SearchText> SearchTexts(
    const std::vector<UninstallEntry>& all,
    const std::function<std::u16string(std::u16string_view)>& toLower) {
    std::vector<SearchText> texts;
    texts.reserve(all.size());
    for (const auto& row : all) {
        texts.push_back(
            {toLower(Utf8ToUtf16(row.caption)), toLower(Utf8ToUtf16(row.columns[kColPublisher]))});
    }
    return texts;
}

std::vector<size_t> MatchingRows(const std::vector<SearchText>& texts,
                                 const std::u16string& needleLower) {
    std::vector<size_t> matches;
    matches.reserve(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        if (needleLower.empty() || texts[i].caption.find(needleLower) != std::u16string::npos ||
            texts[i].publisher.find(needleLower) != std::u16string::npos) {
            matches.push_back(i);
        }
    }
    return matches;
}

std::vector<UninstallEntry> FilterRows(const std::vector<UninstallEntry>& all,
                                       const std::vector<SearchText>& texts,
                                       const std::u16string& needleLower) {
    if (needleLower.empty())
        return all;
    std::vector<UninstallEntry> shown;
    for (const size_t i : MatchingRows(texts, needleLower)) {
        if (i < all.size())
            shown.push_back(all[i]);
    }
    return shown;
}

std::vector<UninstallEntry> FilterRows(
    const std::vector<UninstallEntry>& all, const std::u16string& needleLower,
    const std::function<std::u16string(std::u16string_view)>& toLower) {
    return FilterRows(all, SearchTexts(all, toLower), needleLower);
}

std::optional<DateTime> ParseShortDate(const std::string& text, const std::string& pattern) {
    int day = -1;
    int month = -1;
    int year = -1;
    size_t pos = 0;
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (c == '\'') {
            const size_t close = pattern.find('\'', i + 1);
            const size_t end = close == std::string::npos ? pattern.size() : close;
            if (!ReadLiteral(text, pos, std::string_view(pattern).substr(i + 1, end - i - 1)))
                return std::nullopt;
            i = end + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        bool ok = true;
        switch (c) {
            case 'd':
                ok = ReadNumber(text, pos, 1, 2, day);
                break;
            case 'M':
                ok = ReadNumber(text, pos, 1, 2, month);
                break;
            case 'y':
                if (run <= 2) {
                    int shortYear = 0;
                    ok = ReadNumber(text, pos, 1, 2, shortYear);
                    year = shortYear < 50 ? 2000 + shortYear : 1900 + shortYear;
                } else {
                    ok = ReadNumber(text, pos, 4, 4, year);
                }
                break;
            case 'g':
                break;  // the era is not written (see FormatShortDate)
            default:
                ok = ReadLiteral(text, pos, std::string(run, c));
                break;
        }
        if (!ok)
            return std::nullopt;
        i += run;
    }
    if (pos != text.size() || day < 1 || month < 1 || month > 12 || year < 1 || year > 9999)
        return std::nullopt;
    if (day > DaysInMonth(year, month))
        return std::nullopt;
    DateTime date;
    date.year = year;
    date.month = month;
    date.day = day;
    date.hour = date.minute = date.second = date.millisecond = 0;
    return date;
}

bool IsRecentEntry(const std::string& dateText, const std::string& pattern, const DateTime& now) {
    const auto date = ParseShortDate(dateText, pattern);
    if (!date)
        return false;
    constexpr int64_t kMsPerDay = 86'400'000;
    const int64_t ms = (DaysFromCivil(now.year, now.month, now.day) -
                        DaysFromCivil(date->year, date->month, date->day)) *
                           kMsPerDay +
                       ((now.hour * 60 + now.minute) * 60 + now.second) * int64_t{1000} +
                       now.millisecond;
    const int64_t days = ms / kMsPerDay;  // integer division truncates toward zero
    return days >= 0 && days <= 3;
}

std::string EnsureExtension(const std::string& fileName, const std::string& extension) {
    const size_t separator = fileName.find_last_of("\\:");
    const size_t dot = fileName.rfind('.');
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
        return fileName;
    if (!extension.empty() && extension[0] == '.')
        return fileName + extension;
    return fileName + "." + extension;
}

std::string FolderOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

void FillEmptyFolders(std::vector<UninstallEntry>& rows) {
    for (auto& row : rows) {
        if (row.columns[kColInstallLocation].empty())
            row.columns[kColInstallLocation] = FolderOf(row.columns[kColIconSource]);
    }
}

void LoadProductIcons(RegistryApi& api, std::vector<UninstallEntry>& rows,
                      const std::string& appDataFolder) {
    struct ProductSource {
        RegRoot root;
        uint32_t access;
        const char* path;
    };
    // The machine's products are per-machine installs; they come first, so when both
    // places name the same product the machine's icon is the one shown.
    static constexpr ProductSource kSources[] = {
        {RegRoot::LocalMachine, kKeyAllAccess | kKeyWow64_64Key,
         "\\SOFTWARE\\Classes\\Installer\\Products\\"},
        {RegRoot::CurrentUser, kKeyAllAccess, "\\Software\\Microsoft\\Installer\\Products\\"},
    };
    const std::string appData = AsciiLower(appDataFolder);
    // The rows by caption, so that each product finds its rows without a pass over all.
    std::unordered_map<std::string, std::vector<size_t>> byCaption;
    for (size_t i = 0; i < rows.size(); ++i)
        byCaption[rows[i].caption].push_back(i);
    for (const ProductSource& source : kSources) {
        Registry registry(api, source.access);
        registry.SetRootKey(source.root);
        if (!registry.OpenKey(source.path, false))
            continue;
        for (const std::string& product : registry.GetKeyNames()) {
            if (!registry.OpenKey(source.path + product, false))
                continue;
            std::optional<std::string> icon;
            std::string name;
            try {
                icon = registry.ReadOptionalString("ProductIcon");
                if (icon)
                    name = registry.ReadString("ProductName");
            } catch (const RegistryError&) {
                continue;  // one malformed product must not hide the others' icons
            }
            const auto found = byCaption.find(name);
            if (!icon || name.empty() || found == byCaption.end())
                continue;
            const std::string path =
                ReplaceAllAsciiNoCase(EnsureExtension(*icon, ".ico"), "%appdata%", appData);
            for (const size_t i : found->second) {
                // Only rows still showing msiexec.exe: a row that already got an icon from an
                // earlier product keeps it.
                std::string& iconSource = rows[i].columns[kColIconSource];
                if (Contains(AsciiLower(iconSource), "msiexec.exe"))
                    iconSource = path;
            }
        }
    }
}

bool IsWebAddress(std::string_view text) {
    const std::string lower = AsciiLower(text);
    size_t host = 0;
    if (lower.starts_with("http://"))
        host = 7;
    else if (lower.starts_with("https://"))
        host = 8;
    else
        return false;
    if (host >= text.size() || std::string_view("/?#:@").find(text[host]) != std::string_view::npos)
        return false;
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x21 || byte == 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' ||
               c == '`' || c == '^' || c == '|';
    });
}

}  // namespace corvandel
