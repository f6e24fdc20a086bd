#include "leftovers/program_record.h"

#include <array>

#include "leftovers/record_text.h"

namespace corvandel {
namespace {

constexpr std::string_view kHeader = "Corvandel program record 1";

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

// The value of a "key=value" line, unescaped; nothing when the line is another key's.
std::optional<std::string> ValueOf(std::string_view line, std::string_view key) {
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=')
        return std::nullopt;
    return UnescapeField(line.substr(key.size() + 1));
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
    auto path = UnescapeField(parts[1]);
    auto valueName = UnescapeField(parts[2]);
    auto target = UnescapeField(parts[3]);
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
    text += kTextLineEnd;
    for (const Field& field : kFields) {
        text += field.key;
        text += '=';
        text += EscapeField(record.*field.member);
        text += kTextLineEnd;
    }
    for (const RecordedPointer& pointer : record.pointers) {
        const auto kind = static_cast<size_t>(pointer.kind);
        text += kPointerKey;
        text += '=';
        text += kind < kKindNames.size() ? kKindNames[kind] : std::string_view("?");
        text += '\t' + EscapeField(pointer.path) + '\t' + EscapeField(pointer.valueName) + '\t' +
                EscapeField(pointer.target);
        text += kTextLineEnd;
    }
    return WithChecksum(std::move(text));
}

std::optional<ProgramRecord> ParseRecord(std::string_view text) {
    const auto lines = CheckedLines(text);
    if (!lines)
        return std::nullopt;
    if (lines->size() < 1 + kFields.size() || (*lines)[0] != kHeader)
        return std::nullopt;
    ProgramRecord record;
    for (size_t i = 0; i < kFields.size(); ++i) {
        auto value = ValueOf((*lines)[1 + i], kFields[i].key);
        if (!value)
            return std::nullopt;
        record.*kFields[i].member = std::move(*value);
    }
    for (size_t i = 1 + kFields.size(); i < lines->size(); ++i) {
        auto pointer = ParsePointer((*lines)[i]);
        if (!pointer)
            return std::nullopt;
        record.pointers.push_back(std::move(*pointer));
    }
    return record;
}

}  // namespace corvandel
