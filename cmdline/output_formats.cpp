#include "cmdline/output_formats.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>

#include "foundation/text.h"

namespace corvandel {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Calls sink with each code point of text; anything that is not well-formed UTF-8 (lone
// surrogates, overlong forms, cut-off sequences, stray bytes) comes as U+FFFD, one for each
// maximal bad part.
void ForEachCodePoint(std::string_view text, const std::function<void(char32_t)>& sink) {
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        char32_t cp = 0;
        char32_t least = 0;
        if (b0 < 0x80) {
            sink(b0);
            ++i;
            continue;
        }
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2, cp = b0 & 0x1F, least = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3, cp = b0 & 0x0F, least = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4, cp = b0 & 0x07, least = 0x10000;
        }
        size_t k = 1;
        for (; length != 0 && k < length && i + k < text.size(); ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (b & 0x3F);
        }
        const bool whole = length != 0 && k == length;
        if (whole && cp >= least && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF)) {
            sink(cp);
        } else {
            sink(kReplacement);
        }
        i += std::max<size_t>(1, k);
    }
}

bool IsControl(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp < 0xA0);
}

// A text for one cell of the aligned list: safe, and at most width code points, the last one
// an ellipsis when it was cut.
std::vector<char32_t> Cell(std::string_view text, size_t width) {
    std::vector<char32_t> cell;
    ForEachCodePoint(text, [&](char32_t cp) { cell.push_back(IsControl(cp) ? kReplacement : cp); });
    if (cell.size() > width) {
        cell.resize(width);
        cell.back() = 0x2026;
    }
    return cell;
}

std::string Field(const ListedProgram& p, size_t column) {
    switch (column) {
        case 0:
            return p.name;
        case 1:
            return p.publisher;
        case 2:
            return p.version;
        case 3:
            return p.installDate;
        case 4:
            return p.installLocation;
        case 5:
            return p.uninstallCommand;
        case 6:
            return p.quietUninstallCommand;
        case 7:
            return p.uninstallerMissing ? "true" : "false";
        case 8:
            return p.view;
        case 9:
            return p.key;
        default:
            return p.estimatedSizeBytes ? std::to_string(*p.estimatedSizeBytes) : "";
    }
}

// The field names of JSON and the CSV header, in Field's order.
constexpr std::array<const char*, 11> kFieldNames{"name",
                                                  "publisher",
                                                  "version",
                                                  "installDate",
                                                  "installLocation",
                                                  "uninstallCommand",
                                                  "quietUninstallCommand",
                                                  "uninstallerMissing",
                                                  "view",
                                                  "key",
                                                  "estimatedSizeBytes"};
constexpr size_t kMissingField = 7;
constexpr size_t kSizeField = 10;

}  // namespace

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t cp) { AppendCodePoint(out, cp); });
    return out;
}

std::string SafeLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text,
                     [&](char32_t cp) { AppendCodePoint(out, IsControl(cp) ? kReplacement : cp); });
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    ForEachCodePoint(text, [&](char32_t cp) {
        switch (cp) {
            case '"':
                out += "\\\"";
                return;
            case '\\':
                out += "\\\\";
                return;
            case '\n':
                out += "\\n";
                return;
            case '\r':
                out += "\\r";
                return;
            case '\t':
                out += "\\t";
                return;
            case '\b':
                out += "\\b";
                return;
            case '\f':
                out += "\\f";
                return;
        }
        if (cp < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(cp));
            out += escaped;
        } else {
            AppendCodePoint(out, cp);
        }
    });
    return out + "\"";
}

std::string CsvField(std::string_view text) {
    std::string field = ValidUtf8(text);
    if (!field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos)
        field.insert(0, 1, '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

std::string IsoDate(const DateTime& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

namespace {

// /list's records as a table: text fields, and the two written bare in JSON.
OutputTable ProgramTable(const std::vector<ListedProgram>& programs) {
    OutputTable table;
    table.names.assign(kFieldNames.begin(), kFieldNames.end());
    for (const ListedProgram& program : programs) {
        auto& row = table.rows.emplace_back();
        for (size_t column = 0; column < kFieldNames.size(); ++column) {
            const std::string value = Field(program, column);
            if (column == kMissingField)
                row.push_back({value, OutputValue::Kind::Bare});
            else if (column == kSizeField && value.empty())
                row.push_back({"", OutputValue::Kind::Null});
            else
                row.push_back({value, column == kSizeField ? OutputValue::Kind::Bare
                                                           : OutputValue::Kind::Text});
        }
    }
    return table;
}

}  // namespace

std::string TableJson(const OutputTable& table) {
    std::string json = "[";
    for (size_t row = 0; row < table.rows.size(); ++row) {
        json += row == 0 ? "\r\n{" : ",\r\n{";
        for (size_t column = 0; column < table.names.size(); ++column) {
            json += column == 0 ? "\"" : ", \"";
            json += table.names[column];
            json += "\": ";
            const OutputValue& value = table.rows[row][column];
            json += value.kind == OutputValue::Kind::Text   ? JsonString(value.text)
                    : value.kind == OutputValue::Kind::Null ? std::string("null")
                                                            : value.text;
        }
        json += "}";
    }
    return json + (table.rows.empty() ? "]\r\n" : "\r\n]\r\n");
}

std::string TableCsv(const OutputTable& table) {
    std::string csv = "\xEF\xBB\xBF";
    for (size_t column = 0; column < table.names.size(); ++column) {
        if (column != 0)
            csv += ',';
        csv += table.names[column];
    }
    csv += "\r\n";
    for (const auto& row : table.rows) {
        for (size_t column = 0; column < row.size(); ++column) {
            if (column != 0)
                csv += ',';
            csv += CsvField(row[column].text);
        }
        csv += "\r\n";
    }
    return csv;
}

std::string TableText(const OutputTable& table, const std::vector<TextColumn>& columns) {
    std::vector<std::vector<std::vector<char32_t>>> cells;
    std::vector<size_t> widths(columns.size());
    auto add = [&](const std::vector<std::string>& texts) {
        auto& row = cells.emplace_back(columns.size());
        for (size_t c = 0; c < columns.size(); ++c) {
            row[c] = Cell(texts[c], columns[c].limit);
            widths[c] = std::max(widths[c], row[c].size());
        }
    };
    std::vector<std::string> headers;
    for (const TextColumn& column : columns)
        headers.push_back(column.header);
    add(headers);
    for (const auto& row : table.rows) {
        std::vector<std::string> texts;
        for (const TextColumn& column : columns)
            texts.push_back(row[column.field].text);
        add(texts);
    }
    std::string text;
    for (const auto& row : cells) {
        std::string line;
        for (size_t c = 0; c < row.size(); ++c) {
            for (const char32_t cp : row[c])
                AppendCodePoint(line, cp);
            if (c + 1 < row.size())
                line.append(widths[c] - row[c].size() + 2, ' ');
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        text += line + "\r\n";
    }
    return text;
}

std::string ListJson(const std::vector<ListedProgram>& programs) {
    return TableJson(ProgramTable(programs));
}

std::string ListCsv(const std::vector<ListedProgram>& programs) {
    return TableCsv(ProgramTable(programs));
}

std::string ListText(const std::vector<ListedProgram>& programs) {
    // The key comes last and is never cut, so that it can be copied into /uninstall.
    return TableText(ProgramTable(programs), {{0, "Name", 48},
                                              {1, "Publisher", 32},
                                              {2, "Version", 20},
                                              {3, "Installed", 10},
                                              {8, "View", 4},
                                              {9, "Key", SIZE_MAX}});
}

}  // namespace corvandel
