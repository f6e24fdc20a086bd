#include "removal/registry_export.h"

#include <cstdio>
#include <optional>

#include "foundation/text.h"
#include "inventory/scan.h"

namespace corvandel {

namespace {

// The registry editor reads a quoted text with backslash escapes; both characters must be
// escaped or the imported name or text would differ from the stored one.
std::string Quoted(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 4);
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string HexBytes(const std::vector<unsigned char>& data) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(data.size() * 3);
    for (size_t i = 0; i < data.size(); ++i) {
        if (i != 0)
            out += ',';
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
    }
    return out;
}

// The editor's typed form: "hex(7):", "hex(b):" — the type number in lower-case hex.
std::string TypedHex(uint32_t type, const std::vector<unsigned char>& data) {
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
    return prefix + HexBytes(data);
}

std::vector<unsigned char> Utf16WithNul(const std::string& text) {
    const std::string bytes = Utf16Bytes(text, false, true);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

std::string StringData(const std::vector<unsigned char>& data) {
    const std::string text = RegistryBytesToUtf8(data.data(), data.size());
    // The quoted form imports as the text with one terminating NUL. Anything else (a line
    // break, which a quoted text cannot hold, text after a NUL, a missing terminator, an odd
    // byte) keeps its exact bytes in the typed form.
    if (text.find_first_of("\r\n") != std::string::npos || Utf16WithNul(text) != data)
        return TypedHex(kRegSz, data);
    return Quoted(text);
}

std::string DataPart(const RegValue& value) {
    const auto& data = value.data;
    switch (value.type) {
        case kRegSz:
            return StringData(data);
        case kRegDword:
            if (data.size() == 4) {
                const uint32_t number = data[0] | (data[1] << 8) | (data[2] << 16) |
                                        (static_cast<uint32_t>(data[3]) << 24);
                char text[16];
                std::snprintf(text, sizeof text, "dword:%08X", static_cast<unsigned>(number));
                return text;
            }
            // "dword:" would not import a short or long value; the typed form keeps its bytes.
            return TypedHex(kRegDword, data);
        case kRegBinary:
            return "hex:" + HexBytes(data);
        default:
            // Every other type, expandable strings included, in the editor's typed form: it
            // imports back with the same type and bytes, also without data (a bare "" would
            // come back as an empty string value).
            return TypedHex(value.type, data);
    }
}

// A value name the import file can hold: a quoted text on one line.
bool ExportableName(const std::string& name) {
    return name.find_first_of("\r\n") == std::string::npos;
}

struct ExportContext {
    RegistryApi& api;
    uint32_t subKeyAccess;
    std::vector<std::string>& lines;
    std::optional<ExportProblem>& problem;

    // The first problem is the one reported; the export goes on without the part.
    void Note(const std::string& keyText, const std::string* valueName, uint32_t error) {
        if (problem)
            return;
        problem = ExportProblem{keyText, valueName ? *valueName : std::string(),
                                valueName != nullptr, error};
    }
};

void WriteKey(ExportContext& context, RegHandle key, const std::optional<RegKeyInfo>& info,
              const std::string& keyText) {
    context.lines.emplace_back();
    context.lines.push_back("[" + keyText + "]");
    RegistryApi& api = context.api;
    if (!info) {
        context.Note(keyText, nullptr, api.LastError());
        return;
    }
    for (uint32_t i = 0; i < info->values; ++i) {
        const auto name = api.EnumValue(key, i);
        if (!name) {
            context.Note(keyText, nullptr, api.LastError());
            continue;
        }
        // A value that vanished or cannot be read is left out; the rest of the key still
        // goes into the text, which then does not count as complete.
        const auto value = api.QueryValue(key, *name, true);
        if (!value) {
            context.Note(keyText, &*name, api.LastError());
        } else if (!ExportableName(*name)) {
            context.Note(keyText, &*name, kErrorInvalidData);
        } else {
            context.lines.push_back(ExportValueLine(*name, *value));
        }
    }
    std::vector<std::string> names;
    names.reserve(info->subKeys);
    for (uint32_t i = 0; i < info->subKeys; ++i) {
        if (auto name = api.EnumKey(key, i))
            names.push_back(std::move(*name));
        else
            context.Note(keyText, nullptr, api.LastError());
    }
    for (const std::string& name : names) {
        const std::string childText = keyText + "\\" + name;
        const ScopedKey child(api, api.Open(key, name, context.subKeyAccess, false));
        if (!child) {
            context.Note(childText, nullptr, api.LastError());
            continue;
        }
        const auto childInfo = api.QueryInfo(child.Get());
        if (!childInfo) {
            context.Note(childText, nullptr, api.LastError());
            continue;
        }
        WriteKey(context, child.Get(), childInfo, childText);
    }
}

// On 64-bit Windows an entry listed through the 32-bit view has a path that the 64-bit view
// either lacks or holds only as an empty key; the view with the entry's values is the one
// the program read it from.
uint32_t MachineView(RegistryApi& api, const std::string& relative) {
    const ScopedKey probe(api, api.Open(RootHandle(RegRoot::LocalMachine), relative,
                                        kKeyAllAccess | kKeyWow64_64Key, false));
    if (probe) {
        const auto info = api.QueryInfo(probe.Get());
        if (info && info->values > 0)
            return kKeyWow64_64Key;
    }
    return kKeyWow64_32Key;
}

std::string Relative(const std::string& keyPath) {
    return !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
}

// Appends the block of one key tree; the key it read, when it opened.
std::optional<ExportedKey> AppendKeyTree(RegistryApi& api, RegRoot root, uint32_t view,
                                         const std::string& rootName, const std::string& keyPath,
                                         std::vector<std::string>& lines,
                                         std::optional<ExportProblem>& problem) {
    const bool machine = root == RegRoot::LocalMachine;
    const uint32_t entryAccess = (machine ? kKeyAllAccess : kKeyRead) | view;
    const std::string keyText = rootName + keyPath;
    ExportContext context{api, kKeyRead | view, lines, problem};
    const ScopedKey entry(api, api.Open(RootHandle(root), Relative(keyPath), entryAccess, false));
    if (!entry) {
        context.Note(keyText, nullptr, api.LastError());
        // A machine entry that is gone still names its key, so the console shows which one.
        if (machine) {
            lines.emplace_back();
            lines.push_back("[" + keyText + "]");
        }
        return std::nullopt;
    }
    WriteKey(context, entry.Get(), api.QueryInfo(entry.Get()), keyText);
    return ExportedKey{root, view, keyPath, keyText};
}

// The key of the same name in the other view counts as the row's own only when the list
// would show it under the same caption: the one row then stands for both keys.
bool IsTwin(RegistryApi& api, const std::string& caption, const std::string& path) {
    Registry other(api, kKeyRead | kKeyWow64_64Key);
    other.SetRootKey(RegRoot::LocalMachine);
    if (!other.OpenKey(path, false))
        return false;
    try {
        const auto listed = FilterEntry(other);
        return listed && listed->displayName == caption;
    } catch (const RegistryError&) {
        return false;  // never listed, so never the same row
    }
}

EntryExport Export(RegistryApi& api, const std::string* caption, const std::string& rootName,
                   const std::string& keyPath) {
    EntryExport result;
    result.lines.push_back(kRegEditHeader);
    const bool machine = rootName == "HKEY_LOCAL_MACHINE";
    if (!machine && rootName != "HKEY_CURRENT_USER") {
        result.problem = ExportProblem{rootName + keyPath, "", false, kErrorFileNotFound};
        return result;
    }
    const RegRoot root = machine ? RegRoot::LocalMachine : RegRoot::CurrentUser;
    const uint32_t view = machine ? MachineView(api, Relative(keyPath)) : kKeyWow64_32Key;
    if (auto own = AppendKeyTree(api, root, view, rootName, keyPath, result.lines, result.problem))
        result.keys.push_back(std::move(*own));
    if (caption == nullptr || result.keys.empty() || !machine || view != kKeyWow64_64Key)
        return result;
    const auto otherPath = OtherViewPath(rootName, keyPath);
    if (otherPath && IsTwin(api, *caption, *otherPath)) {
        if (auto twin = AppendKeyTree(api, root, kKeyWow64_64Key, rootName, *otherPath,
                                      result.lines, result.problem)) {
            result.keys.push_back(std::move(*twin));
        }
    }
    return result;
}

}  // namespace

std::string ExportValueLine(const std::string& name, const RegValue& value) {
    const std::string namePart = name.empty() ? std::string("@") : Quoted(name);
    return namePart + "=" + DataPart(value);
}

std::vector<std::string> ExportEntryLines(RegistryApi& api, const std::string& rootName,
                                          const std::string& keyPath) {
    return Export(api, nullptr, rootName, keyPath).lines;
}

EntryExport ExportEntry(RegistryApi& api, const std::string& caption, const std::string& rootName,
                        const std::string& keyPath) {
    return Export(api, &caption, rootName, keyPath);
}

bool BackupHoldsKey(const std::string& backupText, const ExportedKey& key) {
    return Contains(backupText, "\r\n[" + key.keyText + "]\r\n");
}

std::string JoinExportLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::optional<std::string> OtherViewPath(const std::string& rootName, const std::string& keyPath) {
    if (rootName != "HKEY_LOCAL_MACHINE")
        return std::nullopt;
    const std::string lower = AsciiLower(keyPath);
    const std::string software = "\\software\\";
    if (lower.compare(0, software.size(), software) != 0)
        return std::nullopt;
    const std::string wow = "wow6432node\\";
    const size_t rest = software.size();
    if (lower.compare(rest, wow.size(), wow) == 0)
        return keyPath.substr(0, rest) + keyPath.substr(rest + wow.size());
    return keyPath.substr(0, rest) + "WOW6432Node\\" + keyPath.substr(rest);
}

}  // namespace corvandel
