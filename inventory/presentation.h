#pragma once
// The rules that shape the program list after a scan: sizes, column sorting, duplicates,
// the search filter, recent entries, product icons and missing install folders.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/platform.h"
#include "foundation/registry.h"
#include "inventory/uninstall_entry.h"

namespace corvandel {

// "699 b", "1 kb", "700 kb", "1 Mb", "3072 Gb": a unit is taken from 700 upwards, and the
// number is rounded half to even.
std::string FormatByteSize(int64_t bytes);

// An entry's web page (URLInfoAbout) may be opened only when it is an http: or https: address
// with a host, nothing a shell would run as a program or a file: no control characters, no
// blanks, no quotes.
bool IsWebAddress(std::string_view text);

// The column of a row that sorting and comparing use: -1 is the caption, 0..8 a text column.
inline constexpr int kCaptionColumn = -1;

// Compares the rows' texts in the given column as the list sorts them (see CompareKeys).
int CompareByColumn(const UninstallEntry& a, const UninstallEntry& b, int column, int direction,
                    const Locale& locale);
int CompareByName(const UninstallEntry& a, const UninstallEntry& b, int direction,
                  const Locale& locale);

// listColumn is the list's header index: 0 the caption, n the text column n - 1. Stable;
// an index outside the list's columns leaves the rows as they are.
void SortByColumn(std::vector<UninstallEntry>& rows, int listColumn, int direction,
                  const Locale& locale);

// The same entry seen through both registry views differs only by "WOW6432Node\" in its key
// path; the key leaves that part out so both rows fall together.
std::string DuplicateKey(const UninstallEntry& row);
// Keeps the first row of every duplicate key, in list order.
void RemoveDuplicates(std::vector<UninstallEntry>& rows);

// The rows of a whole scan (read in any order, ids from the scan) as the list shows them:
// back in scan order, sorted by name in the direction given, duplicates left out, and each
// row's id its place in the result.
void ArrangeScannedRows(std::vector<UninstallEntry>& rows, int direction, const Locale& locale);

// A row's caption and publisher lower-cased, worked out once for every search of a list.
struct SearchText {
    std::u16string caption;
    std::u16string publisher;
};
std::vector<SearchText> SearchTexts(
    const std::vector<UninstallEntry>& all,
    const std::function<std::u16string(std::u16string_view)>& toLower);

// The indices of the rows whose lower-cased caption or publisher contains needleLower; every
// row for an empty needle. In order.
std::vector<size_t> MatchingRows(const std::vector<SearchText>& texts,
                                 const std::u16string& needleLower);

// The rows whose lower-cased caption or publisher (texts[i] for all[i]) contains needleLower;
// every row for an empty needle. The order is kept.
std::vector<UninstallEntry> FilterRows(const std::vector<UninstallEntry>& all,
                                       const std::vector<SearchText>& texts,
                                       const std::u16string& needleLower);
// The same, lower-casing with toLower as it goes.
std::vector<UninstallEntry> FilterRows(
    const std::vector<UninstallEntry>& all, const std::u16string& needleLower,
    const std::function<std::u16string(std::u16string_view)>& toLower);

// Reads a date written by FormatShortDate with the same numeric pattern (d, dd, M, MM, y, yy,
// yyyy, separators, quoted literals). Two-digit years 00-49 are 20xx, 50-99 are 19xx.
// Nothing for text that does not match the pattern or names no real day.
std::optional<DateTime> ParseShortDate(const std::string& text, const std::string& pattern);

// True when the install date lies at most three whole days before now. The days are
// counted from the date's midnight and truncated, so a date tomorrow still counts as 0.
bool IsRecentEntry(const std::string& dateText, const std::string& pattern, const DateTime& now);

// The name unchanged when it has an extension; otherwise with the extension appended
// (".ico" or "ico" both give ".ico").
std::string EnsureExtension(const std::string& fileName, const std::string& extension);

// Everything up to and including the last "\" or ":"; empty when there is neither.
std::string FolderOf(const std::string& path);

// An entry without an install location shows the folder of its icon source instead.
void FillEmptyFolders(std::vector<UninstallEntry>& rows);

// Windows Installer entries whose icon source is msiexec.exe get the product's own icon
// from the Installer's product keys (machine-wide first, then the user's).
void LoadProductIcons(RegistryApi& api, std::vector<UninstallEntry>& rows,
                      const std::string& appDataFolder);

}  // namespace corvandel
