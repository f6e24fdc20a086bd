#include "leftovers/program_record.h"

#include <array>
#include <cstdint>

namespace corvandel {
namespace {

constexpr std::string_view kHeader = "Corvandel program record 1";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kEndKey = "end=";
constexpr char kHexDigits[] = "0123456789abcdef";

// The names the kinds are written under; the position is the enum's value.
constexpr std::array<std::string_view, 7> kKindNames = {
    "Folder", "File", "Shortcut", "RunValue", "RegistryKey", "Service", "Task"};

// The single values in the order they are written and read.
struct Field {
    std::string_view key;
    std::string ProgramRecord::*member;
};
constexpr std::array<Field, 7> kFields = {{
    {"root", &ProgramRecord::rootName},
    {"key", &ProgramRecord::keyPath},
    {"name", &ProgramRecord::displayName},
    {"publisher", &ProgramRecord::publisher},
    {"location", &ProgramRecord::installLocation},
    {"uninstaller", &ProgramRecord::uninstallerPath},
    {"icon", &ProgramRecord::iconPath},
}};
constexpr std::string_view kPointerKey = "pointer";

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// Backslash escapes keep every value on its line and every tab out of it; all other bytes,
// UTF-8 of any script included, are written as they are.
std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (IsControl(byte)) {
            out += "\\x";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int HexValue(char c) {
    for (int i = 0; i < 16; ++i) {
        if (kHexDigits[i] == c)
            return i;
    }
    return -1;
}

// Nothing when the text holds a raw control character or an escape Escape never writes.
std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsControl(static_cast<unsigned char>(c)))
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                const int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
                if (high < 0 || low < 0 || !IsControl(static_cast<unsigned char>(high * 16 + low)))
                    return std::nullopt;
                out += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return out;
}

// FNV-1a, 64 bits: enough to tell a record that was cut short or changed on the disk.
std::string Checksum(std::string_view text) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001B3ull;
    }
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        out[i] = kHexDigits[hash & 0xF];
    return out;
}

// The value of a "key=value" line, unescaped; nothing when the line is another key's.
std::optional<std::string> ValueOf(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
        return std::nullopt;
    return Unescape(line.substr(key.size() + 1));
}

std::optional<RecordedPointer> ParsePointer(std::string_view line) {
    const auto prefix = std::string(kPointerKey) + "=";
    if (line.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    line.remove_prefix(prefix.size());
    std::array<std::string_view, 4> parts;
    for (size_t i = 0; i < parts.size(); ++i) {
        const size_t tab = line.find('\t');
        if ((tab == std::string_view::npos) != (i + 1 == parts.size()))
            return std::nullopt;  // a field too few or too many
        parts[i] = line.substr(0, tab);
        line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
    }
    RecordedPointer pointer;
    size_t kind = 0;
    while (kind < kKindNames.size() && kKindNames[kind] != parts[0])
        ++kind;
    if (kind == kKindNames.size())
        return std::nullopt;
    pointer.kind = static_cast<LeftoverKind>(kind);
    auto path = Unescape(parts[1]);
    auto valueName = Unescape(parts[2]);
    auto target = Unescape(parts[3]);
    if (!path || !valueName || !target)
        return std::nullopt;
    pointer.path = std::move(*path);
    pointer.valueName = std::move(*valueName);
    pointer.target = std::move(*target);
    return pointer;
}

}  // namespace

std::string SerializeRecord(const ProgramRecord& record) {
    std::string text(kHeader);
    text += kLineEnd;
    for (const Field& field : kFields) {
        text += field.key;
        text += '=';
        text += Escape(record.*field.member);
        text += kLineEnd;
    }
    for (const RecordedPointer& pointer : record.pointers) {
        const auto kind = static_cast<size_t>(pointer.kind);
        text += kPointerKey;
        text += '=';
        text += kind < kKindNames.size() ? kKindNames[kind] : std::string_view("?");
        text += '\t' + Escape(pointer.path) + '\t' + Escape(pointer.valueName) + '\t' +
                Escape(pointer.target);
        text += kLineEnd;
    }
    const std::string checksum = Checksum(text);
    text += kEndKey;
    text += checksum;
    text += kLineEnd;
    return text;
}

std::optional<ProgramRecord> ParseRecord(std::string_view text) {
    // The last line is the checksum of everything before it; only then is anything read.
    if (text.size() < kLineEnd.size() || text.substr(text.size() - kLineEnd.size()) != kLineEnd)
        return std::nullopt;
    const std::string_view withoutEnd = text.substr(0, text.size() - kLineEnd.size());
    const size_t lastLine = withoutEnd.rfind(kLineEnd);
    if (lastLine == std::string_view::npos)
        return std::nullopt;
    const std::string_view body = text.substr(0, lastLine + kLineEnd.size());
    if (withoutEnd.substr(lastLine + kLineEnd.size()) != std::string(kEndKey) + Checksum(body))
        return std::nullopt;

    std::vector<std::string_view> lines;
    for (std::string_view rest = body; !rest.empty();) {
        const size_t end = rest.find(kLineEnd);
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + kLineEnd.size());
    }
    if (lines.size() < 1 + kFields.size() || lines[0] != kHeader)
        return std::nullopt;
    ProgramRecord record;
    for (size_t i = 0; i < kFields.size(); ++i) {
        auto value = ValueOf(lines[1 + i], kFields[i].key);
        if (!value)
            return std::nullopt;
        record.*kFields[i].member = std::move(*value);
    }
    for (size_t i = 1 + kFields.size(); i < lines.size(); ++i) {
        auto pointer = ParsePointer(lines[i]);
        if (!pointer)
            return std::nullopt;
        record.pointers.push_back(std::move(*pointer));
    }
    return record;
}

}  // namespace corvandel
