#include "foundation/registry.h"

#include <cstring>

#include "foundation/text.h"

namespace corvandel {

namespace {

std::string Quoted(const char* pattern, const std::string& name) {
    std::string text(pattern);
    const size_t at = text.find("%s");
    return text.replace(at, 2, name);
}

}  // namespace

RegDataKind KindOfType(uint32_t type) {
    switch (type) {
        case kRegSz:
            return RegDataKind::String;
        case kRegExpandSz:
            return RegDataKind::ExpandString;
        case kRegDword:
            return RegDataKind::Integer;
        case kRegBinary:
            return RegDataKind::Binary;
        case kRegMultiSz:
            return RegDataKind::MultiString;
        case kRegQword:
            return RegDataKind::Int64;
        default:
            return RegDataKind::Other;
    }
}

Registry::Registry(RegistryApi& api, uint32_t access) : api_(api), access_(access) {}

Registry::~Registry() {
    CloseKey();
}

void Registry::SetRootKey(RegRoot root) {
    CloseKey();
    root_ = root;
}

RegHandle Registry::BaseFor(const std::string& path, std::string& relative) const {
    if (!path.empty() && path[0] == '\\') {
        relative = path.substr(1);
        return RootHandle(root_);
    }
    relative = path;
    return current_ ? *current_ : RootHandle(root_);
}

bool Registry::OpenKey(const std::string& path, bool create) {
    std::string relative;
    const RegHandle base = BaseFor(path, relative);
    const auto key = api_.Open(base, relative, access_, create);
    if (!key)
        return false;
    CloseKey();  // drops what was held of the key before
    current_ = key;
    return true;
}

void Registry::CloseKey() {
    DropHeld();
    if (current_) {
        api_.Close(*current_);
        current_.reset();
    }
}

bool Registry::KeyExists(const std::string& path) {
    std::string relative;
    const RegHandle base = BaseFor(path, relative);
    const auto key = api_.Open(base, relative, kKeyExistsRights | (access_ & kKeyWow64Res), false);
    if (!key)
        return false;
    api_.Close(*key);
    return true;
}

std::vector<std::string> Registry::GetKeyNames() {
    std::vector<std::string> names;
    if (!current_)
        return names;
    const auto info = api_.QueryInfo(*current_);
    if (!info)
        return names;
    for (uint32_t i = 0; i < info->subKeys; ++i) {
        if (auto name = api_.EnumKey(*current_, i))
            names.push_back(std::move(*name));
    }
    return names;
}

std::vector<std::string> Registry::GetValueNames() {
    std::vector<std::string> names;
    if (!current_)
        return names;
    const auto info = api_.QueryInfo(*current_);
    if (!info)
        return names;
    for (uint32_t i = 0; i < info->values; ++i) {
        if (auto name = api_.EnumValue(*current_, i))
            names.push_back(std::move(*name));
    }
    return names;
}

std::optional<RegKeyInfo> Registry::GetKeyInfo() {
    if (!current_)
        return std::nullopt;
    if (heldInfo_)
        return heldInfo_;
    return api_.QueryInfo(*current_);
}

void Registry::DropHeld() {
    heldInfo_.reset();
    heldValues_.reset();
}

std::optional<RegKeyInfo> Registry::ReadKeyAtOnce(uint32_t most) {
    DropHeld();
    auto info = GetKeyInfo();
    if (!info)
        return info;
    heldInfo_ = info;
    if (info->values > most)
        return info;
    std::vector<std::pair<std::string, RegValue>> values;
    for (uint32_t i = 0; i < info->values; ++i) {
        auto value = api_.EnumValueWithData(*current_, i);
        // A value that went meanwhile, or one that could not be read: the named reads decide.
        if (!value)
            return info;
        values.push_back(std::move(*value));
    }
    heldValues_ = std::move(values);
    return info;
}

std::optional<RegValue> Registry::QueryCurrent(const std::string& name, bool withData) {
    if (!current_)
        return std::nullopt;
    if (!heldValues_)
        return api_.QueryValue(*current_, name, withData);
    // Value names are compared without case, as the registry compares them; the names
    // readers ask for are ASCII.
    const std::string wanted = AsciiLower(name);
    for (const auto& [held, value] : *heldValues_) {
        if (held.size() == wanted.size() && AsciiLower(held) == wanted)
            return value;
    }
    return std::nullopt;
}

bool Registry::ValueExists(const std::string& name) {
    return GetDataSize(name) >= 0;
}

RegDataKind Registry::GetDataType(const std::string& name) {
    const auto value = QueryCurrent(name, false);
    return value ? KindOfType(value->type) : RegDataKind::Other;
}

int64_t Registry::GetDataSize(const std::string& name) {
    const auto value = QueryCurrent(name, false);
    return value ? static_cast<int64_t>(value->size) : -1;
}

namespace {

// The typed reads' rules on a value already read; a missing value is nothing.
std::string StringOf(const std::optional<RegValue>& value, const std::string& name) {
    // A missing or empty value reads as empty text; only data of another type is an error.
    if (!value || value->size == 0)
        return std::string();
    if (value->type != kRegSz && value->type != kRegExpandSz) {
        throw RegistryError(Quoted("Invalid data type for '%s'", name));
    }
    return RegistryBytesToUtf8(value->data.data(), value->data.size());
}

int32_t IntegerOf(const std::optional<RegValue>& value, const std::string& name) {
    // The value is read into four bytes: anything larger fails like a too-small buffer.
    if (!value || value->data.size() > 4) {
        throw RegistryError(Quoted("Failed to get data for '%s'", name));
    }
    if (value->type != kRegDword && value->type != kRegDwordBigEndian && value->type != kRegQword) {
        throw RegistryError(Quoted("Invalid data type for '%s'", name));
    }
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, value->data.data(), value->data.size());
    return static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                (static_cast<uint32_t>(bytes[3]) << 24));
}

}  // namespace

std::optional<RegValue> Registry::ReadValue(const std::string& name) {
    return QueryCurrent(name, true);
}

std::string Registry::ReadString(const std::string& name) {
    return StringOf(ReadValue(name), name);
}

std::optional<std::string> Registry::ReadOptionalString(const std::string& name) {
    const auto value = ReadValue(name);
    if (!value)
        return std::nullopt;
    return StringOf(value, name);
}

int32_t Registry::ReadInteger(const std::string& name) {
    return IntegerOf(ReadValue(name), name);
}

std::optional<int32_t> Registry::ReadOptionalInteger(const std::string& name) {
    const auto value = ReadValue(name);
    if (!value)
        return std::nullopt;
    return IntegerOf(value, name);
}

std::optional<std::string> Registry::ReadNumberOrText(const std::string& name) {
    const auto value = ReadValue(name);
    if (!value)
        return std::nullopt;
    if (KindOfType(value->type) == RegDataKind::String)
        return StringOf(value, name);
    return std::to_string(IntegerOf(value, name));
}

std::vector<unsigned char> Registry::ReadBinary(const std::string& name) {
    const auto value = QueryCurrent(name, true);
    if (!value)
        throw RegistryError(Quoted("Failed to get data for '%s'", name));
    const RegDataKind kind = KindOfType(value->type);
    if (kind == RegDataKind::String || kind == RegDataKind::ExpandString ||
        kind == RegDataKind::Integer) {
        throw RegistryError(Quoted("Invalid data type for '%s'", name));
    }
    return value->data;
}

void Registry::WriteString(const std::string& name, const std::string& value) {
    const std::string bytes = Utf16Bytes(value, false, true);
    const std::vector<unsigned char> data(bytes.begin(), bytes.end());
    DropHeld();
    if (!current_ || !api_.SetValue(*current_, name, kRegSz, data)) {
        throw RegistryError(Quoted("Failed to set data for '%s'", name));
    }
}

bool Registry::DeleteKey(const std::string& path) {
    DropHeld();
    std::string relative;
    const RegHandle base = BaseFor(path, relative);
    return DeleteTree(base, relative);
}

bool Registry::DeleteTree(RegHandle base, const std::string& path) {
    if (const auto key = api_.Open(base, path, access_, false)) {
        if (const auto info = api_.QueryInfo(*key)) {
            std::vector<std::string> children;
            for (uint32_t i = 0; i < info->subKeys; ++i) {
                if (auto name = api_.EnumKey(*key, i))
                    children.push_back(std::move(*name));
            }
            // From the last index down, as the enumeration shifts after each deletion.
            for (auto it = children.rbegin(); it != children.rend(); ++it) {
                DeleteTree(*key, *it);
            }
        }
        api_.Close(*key);
    }
    return api_.DeleteKey(base, path, access_ & kKeyWow64Res);
}

}  // namespace corvandel
