#include "leftovers/quarantine.h"

#include <array>
#include <charconv>

#include <algorithm>

#include "leftovers/leftover_rules.h"
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

bool IsSha256Text(std::string_view text) {
    return text.size() == 64 &&
           text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// The names of a key's path, folded, after its root.
std::vector<std::string> KeyNames(std::string_view keyText) {
    std::vector<std::string> names;
    for (size_t from = 0; from <= keyText.size();) {
        const size_t end = std::min(keyText.find('\\', from), keyText.size());
        names.push_back(FoldCase(keyText.substr(from, end - from)));
        from = end + 1;
    }
    return names;
}

// The names below Software: nothing when the key does not lie under the user's or the
// machine's Software (the machine's 32-bit view named by WOW6432Node).
std::optional<std::vector<std::string>> BelowSoftware(std::string_view keyText) {
    std::vector<std::string> names = KeyNames(keyText);
    if (names.size() < 2 || names[1] != "SOFTWARE" ||
        (names[0] != "HKEY_CURRENT_USER" && names[0] != "HKEY_LOCAL_MACHINE"))
        return std::nullopt;
    size_t from = 2;
    if (names[0] == "HKEY_LOCAL_MACHINE" && names.size() > 2 && names[2] == "WOW6432NODE")
        from = 3;
    names.erase(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(from));
    if (std::any_of(names.begin(), names.end(), [](const std::string& n) { return n.empty(); }))
        return std::nullopt;
    return names;
}

}  // namespace

bool IsCleanupKey(std::string_view keyText) {
    const auto names = BelowSoftware(keyText);
    return names && names->size() >= 2 && IsDistinctiveName((*names)[0]) &&
           IsDistinctiveName((*names)[1]) && !IsSystemName((*names)[0]) &&
           !IsSystemName((*names)[1]);
}

bool IsCleanupValueKey(std::string_view keyText) {
    const auto names = BelowSoftware(keyText);
    if (!names)
        return false;
    const std::vector<std::string> run = {"MICROSOFT", "WINDOWS", "CURRENTVERSION"};
    const bool runKey = names->size() == 4 && std::equal(run.begin(), run.end(), names->begin()) &&
                        ((*names)[3] == "RUN" || (*names)[3] == "RUNONCE");
    return runKey || IsCleanupKey(keyText);
}

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
        std::vector<std::string> fields = {EscapeField(file.origin), EscapeField(file.stored),
                                           StampFields(file.stamp)};
        if (!file.sha256.empty())
            fields.push_back(file.sha256);
        AddLine(text, "file", fields);
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
        } else if (key == "file" && (fields.size() == 6 || fields.size() == 7)) {
            const auto stamp = ParseStamp(fields, 2);
            const std::string sha256 = fields.size() == 7 ? fields[6] : std::string();
            if (!stamp || !IsFullPath(fields[0]) || !IsStoredName(fields[1]) ||
                (fields.size() == 7 && !IsSha256Text(sha256)))
                return std::nullopt;
            list.files.push_back({fields[0], fields[1], *stamp, sha256});
        } else if (key == "key" && fields.size() == 1 && IsCleanupKey(fields[0])) {
            list.keys.push_back(fields[0]);
        } else if (key == "value" && fields.size() == 4) {
            const auto type = ParseNumber(fields[2]);
            auto data = HexBytes(fields[3]);
            if (!type || *type > UINT32_MAX || !data || !IsCleanupValueKey(fields[0]))
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
