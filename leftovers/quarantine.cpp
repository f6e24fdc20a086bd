#include "leftovers/quarantine.h"

#include <array>
#include <charconv>

#include "leftovers/record_text.h"

namespace corvandel {
namespace {

constexpr std::string_view kHeader = "Corvandel clean-up 1";

std::string Number(uint64_t value) {
    return std::to_string(value);
}

std::optional<uint64_t> ParseNumber(std::string_view text) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string StampFields(const FileStamp& stamp) {
    return Number(stamp.created) + '\t' + Number(stamp.accessed) + '\t' + Number(stamp.written) +
           '\t' + Number(stamp.attributes);
}

std::optional<FileStamp> ParseStamp(const std::vector<std::string>& fields, size_t at) {
    std::array<uint64_t, 4> numbers{};
    for (size_t i = 0; i < numbers.size(); ++i) {
        const auto number = ParseNumber(fields[at + i]);
        if (!number)
            return std::nullopt;
        numbers[i] = *number;
    }
    if (numbers[3] > UINT32_MAX)
        return std::nullopt;
    return FileStamp{numbers[0], numbers[1], numbers[2], static_cast<uint32_t>(numbers[3])};
}

void AddLine(std::string& text, std::string_view key, const std::vector<std::string>& fields) {
    text += key;
    text += '=';
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text += '\t';
        text += fields[i];
    }
    text += kTextLineEnd;
}

// The key and the unescaped tab-separated fields of a "key=a\tb" line.
std::optional<std::pair<std::string_view, std::vector<std::string>>> SplitLine(
    std::string_view line) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::vector<std::string> fields;
    std::string_view rest = line.substr(equals + 1);
    while (true) {
        const size_t tab = rest.find('\t');
        auto field = UnescapeField(rest.substr(0, tab));
        if (!field)
            return std::nullopt;
        fields.push_back(std::move(*field));
        if (tab == std::string_view::npos)
            break;
        rest.remove_prefix(tab + 1);
    }
    return std::make_pair(line.substr(0, equals), std::move(fields));
}

// Only names StoredFileName gives: a list never leads a restore to a file elsewhere.
bool IsStoredName(std::string_view name) {
    return name.size() > 1 && name.size() <= 20 && name[0] == 'f' &&
           name.find_first_not_of("0123456789", 1) == std::string_view::npos;
}

// Where the program takes files from: a path on a drive or a share, never a relative one.
bool IsFullPath(std::string_view path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && path[2] == '\\' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return (drive || path.substr(0, 2) == "\\\\") &&
           path.find("\\..\\") == std::string_view::npos && !path.ends_with("\\..");
}

// A key the clean-up may have taken: under the machine's or the user's root.
bool IsKeyText(std::string_view key) {
    return key.starts_with("HKEY_LOCAL_MACHINE\\") || key.starts_with("HKEY_CURRENT_USER\\");
}

}  // namespace

std::string StoredFileName(size_t index) {
    std::string name = std::to_string(index);
    name.insert(name.begin(), 'f');
    return name;
}

std::string SerializeCleanup(const CleanupList& list) {
    std::string text(kHeader);
    text += kTextLineEnd;
    AddLine(text, "programs", {EscapeField(list.programs)});
    for (const MovedFolder& folder : list.folders)
        AddLine(text, "folder", {EscapeField(folder.origin), StampFields(folder.stamp)});
    for (const MovedFile& file : list.files) {
        AddLine(text, "file",
                {EscapeField(file.origin), EscapeField(file.stored), StampFields(file.stamp)});
    }
    for (const std::string& key : list.keys)
        AddLine(text, "key", {EscapeField(key)});
    for (const SavedValue& value : list.values) {
        AddLine(text, "value",
                {EscapeField(value.keyText), EscapeField(value.name), Number(value.type),
                 HexText(value.data)});
    }
    return WithChecksum(std::move(text));
}

std::optional<CleanupList> ParseCleanup(std::string_view text) {
    const auto lines = CheckedLines(text);
    if (!lines || lines->size() < 2 || (*lines)[0] != kHeader)
        return std::nullopt;
    CleanupList list;
    for (size_t i = 1; i < lines->size(); ++i) {
        auto split = SplitLine((*lines)[i]);
        if (!split)
            return std::nullopt;
        const auto& [key, fields] = *split;
        if (i == 1) {
            if (key != "programs" || fields.size() != 1)
                return std::nullopt;
            list.programs = fields[0];
        } else if (key == "folder" && fields.size() == 5) {
            const auto stamp = ParseStamp(fields, 1);
            if (!stamp || !IsFullPath(fields[0]))
                return std::nullopt;
            list.folders.push_back({fields[0], *stamp});
        } else if (key == "file" && fields.size() == 6) {
            const auto stamp = ParseStamp(fields, 2);
            if (!stamp || !IsFullPath(fields[0]) || !IsStoredName(fields[1]))
                return std::nullopt;
            list.files.push_back({fields[0], fields[1], *stamp});
        } else if (key == "key" && fields.size() == 1 && IsKeyText(fields[0])) {
            list.keys.push_back(fields[0]);
        } else if (key == "value" && fields.size() == 4) {
            const auto type = ParseNumber(fields[2]);
            auto data = HexBytes(fields[3]);
            if (!type || *type > UINT32_MAX || !data || !IsKeyText(fields[0]))
                return std::nullopt;
            list.values.push_back(
                {fields[0], fields[1], static_cast<uint32_t>(*type), std::move(*data)});
        } else {
            return std::nullopt;
        }
    }
    return list;
}

}  // namespace corvandel
