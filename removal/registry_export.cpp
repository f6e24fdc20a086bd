#include "removal/registry_export.h"

#include <cstdio>
#include <optional>

#include "app/text.h"

namespace corvandel {

namespace {

// Owns one open key for the length of a scope, so an early return cannot leak it. Neither
// copied nor moved: the export keeps one per level of the tree on the stack.
class ScopedKey {
  public:
    ScopedKey(RegistryApi& api, std::optional<RegHandle> key) : api_(api), key_(key) {}
    ~ScopedKey() {
        if (key_)
            api_.Close(*key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    explicit operator bool() const { return key_.has_value(); }
    RegHandle Get() const { return *key_; }

  private:
    RegistryApi& api_;
    std::optional<RegHandle> key_;
};

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
    std::vector<unsigned char> bytes;
    const std::u16string units = Utf8ToUtf16(text);
    bytes.reserve((units.size() + 1) * 2);
    for (char16_t unit : units) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::string StringData(const std::vector<unsigned char>& data) {
    const std::string text = RegistryBytesToUtf8(data.data(), data.size());
    // A quoted text cannot span lines in an import file; the typed hex form keeps the type.
    if (text.find_first_of("\r\n") != std::string::npos)
        return TypedHex(kRegSz, Utf16WithNul(text));
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
        case kRegNone:
        case kRegDwordBigEndian:
        case kRegLink:
        case kRegMultiSz:
        case kRegQword:
            // Written in the editor's typed form even without data: a bare "" would come
            // back as an empty string value, not as a value of this type.
            return TypedHex(value.type, data);
        default:
            // REG_EXPAND_SZ is written as plain binary on purpose: the backup restores its
            // bytes, not its type.
            return "hex:" + HexBytes(data);
    }
}

struct ExportContext {
    RegistryApi& api;
    uint32_t subKeyAccess;
    std::vector<std::string>& lines;
};

void WriteKey(ExportContext& context, RegHandle key, const std::optional<RegKeyInfo>& info,
              const std::string& keyText) {
    context.lines.emplace_back();
    context.lines.push_back("[" + keyText + "]");
    if (!info)
        return;
    RegistryApi& api = context.api;
    for (uint32_t i = 0; i < info->values; ++i) {
        const auto name = api.EnumValue(key, i);
        if (!name)
            continue;
        // A value that vanished or cannot be read is left out; the rest of the key still
        // goes into the backup.
        if (const auto value = api.QueryValue(key, *name, true))
            context.lines.push_back(ExportValueLine(*name, *value));
    }
    std::vector<std::string> names;
    names.reserve(info->subKeys);
    for (uint32_t i = 0; i < info->subKeys; ++i) {
        if (auto name = api.EnumKey(key, i))
            names.push_back(std::move(*name));
    }
    for (const std::string& name : names) {
        const ScopedKey child(api, api.Open(key, name, context.subKeyAccess, false));
        if (!child)
            continue;
        const auto childInfo = api.QueryInfo(child.Get());
        if (!childInfo)
            continue;
        WriteKey(context, child.Get(), childInfo, keyText + "\\" + name);
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

}  // namespace

std::string ExportValueLine(const std::string& name, const RegValue& value) {
    const std::string namePart = name.empty() ? std::string("@") : Quoted(name);
    return namePart + "=" + DataPart(value);
}

std::vector<std::string> ExportEntryLines(RegistryApi& api, const std::string& rootName,
                                          const std::string& keyPath) {
    std::vector<std::string> lines{kRegEditHeader};
    const bool machine = rootName == "HKEY_LOCAL_MACHINE";
    if (!machine && rootName != "HKEY_CURRENT_USER")
        return lines;

    const std::string relative =
        !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
    const std::string keyText = rootName + keyPath;
    RegHandle root;
    uint32_t entryAccess;
    uint32_t subKeyAccess;
    if (machine) {
        root = RootHandle(RegRoot::LocalMachine);
        const uint32_t view = MachineView(api, relative);
        entryAccess = kKeyAllAccess | view;
        subKeyAccess = kKeyRead | view;
    } else {
        root = RootHandle(RegRoot::CurrentUser);
        entryAccess = kKeyRead | kKeyWow64_32Key;
        subKeyAccess = entryAccess;
    }

    ExportContext context{api, subKeyAccess, lines};
    const ScopedKey entry(api, api.Open(root, relative, entryAccess, false));
    if (!entry) {
        // A machine entry that is gone still names its key, so the console shows which one.
        if (machine) {
            lines.emplace_back();
            lines.push_back("[" + keyText + "]");
        }
        return lines;
    }
    WriteKey(context, entry.Get(), api.QueryInfo(entry.Get()), keyText);
    return lines;
}

std::string JoinExportLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace corvandel

namespace corvandel {

std::optional<std::string> CompanionKeyPath(const std::string& rootName,
                                            const std::string& keyPath) {
    if (rootName != "HKEY_LOCAL_MACHINE")
        return std::nullopt;
    const std::string marker = "\\wow6432node\\";
    const size_t at = AsciiLower(keyPath).find(marker);
    if (at == std::string::npos)
        return std::nullopt;
    return keyPath.substr(0, at) + keyPath.substr(at + marker.size() - 1);
}

}  // namespace corvandel
