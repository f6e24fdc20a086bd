#pragma once
// What /list prints: one record per listed program, written as JSON, CSV or aligned text.
// Registry texts may hold anything (control characters, lone surrogates kept from UTF-16):
// every writer gives valid UTF-8 and never lets such a text break its format.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/platform.h"

namespace corvandel {

struct ListedProgram {
    std::string name;
    std::string publisher;
    std::string version;
    std::string installDate;  // yyyy-mm-dd, empty when unknown
    std::string installLocation;
    std::string uninstallCommand;
    std::string quietUninstallCommand;  // what a quiet uninstall would run; empty when none
    bool uninstallerMissing = false;
    std::string view;  // "64", "32" or "user"
    std::string key;   // HKEY_LOCAL_MACHINE\SOFTWARE\...\Uninstall\Name
    std::optional<uint64_t> estimatedSizeBytes;
};

// Valid UTF-8: every byte sequence that is not (a lone surrogate, a cut-off or overlong
// sequence, a stray byte) becomes U+FFFD, so nothing is dropped without a trace.
std::string ValidUtf8(std::string_view text);

// One line for a console or a log: valid UTF-8 with every control character (line breaks and
// escape sequences included) shown as U+FFFD.
std::string SafeLine(std::string_view text);

// A JSON string literal (RFC 8259), quotes included.
std::string JsonString(std::string_view text);

// A CSV field (RFC 4180): quoted when it holds a comma, a quote or a line break, quotes
// doubled. A field a spreadsheet would take for a formula (=, +, -, @ or a tab first) gets an
// apostrophe in front, so that opening the file runs nothing.
std::string CsvField(std::string_view text);

// The date of a local date-time as ISO 8601 (yyyy-mm-dd).
std::string IsoDate(const DateTime& date);

// Records of named fields, as every command's JSON, CSV and text output holds them.
struct OutputValue {
    enum class Kind { Text, Bare, Null };  // Bare: a number, true or false, written unquoted
    std::string text;
    Kind kind = Kind::Text;
};
struct OutputTable {
    std::vector<std::string> names;
    std::vector<std::vector<OutputValue>> rows;  // each with one value per name
};
// A column of the text form: which field, its header, and the widest a cell may be (cut with an
// ellipsis beyond).
struct TextColumn {
    size_t field = 0;
    std::string header;
    size_t limit = SIZE_MAX;
};

// One array of objects, UTF-8 without a byte-order mark.
std::string TableJson(const OutputTable& table);
// A header row and one row per record, CRLF line ends, UTF-8 with a byte-order mark.
std::string TableCsv(const OutputTable& table);
// Columns aligned for a console.
std::string TableText(const OutputTable& table, const std::vector<TextColumn>& columns);

// One array of objects, UTF-8 without a byte-order mark.
std::string ListJson(const std::vector<ListedProgram>& programs);
// A header row and one row per program, CRLF line ends, UTF-8 with a byte-order mark.
std::string ListCsv(const std::vector<ListedProgram>& programs);
// Columns aligned for a console: name, publisher, version, date, view and key.
std::string ListText(const std::vector<ListedProgram>& programs);

}  // namespace corvandel
