#include "tests/fakes/fake_registry.h"

#include <algorithm>

#include "foundation/text.h"

namespace corvandel::testing {

namespace {

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = path.find('\\', start);
        const std::string part =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!part.empty())
            parts.push_back(part);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return parts;
}

RegValue StoredValue(uint32_t type, std::vector<unsigned char> data) {
    RegValue value;
    value.type = type;
    value.size = static_cast<uint32_t>(data.size());
    value.data = std::move(data);
    return value;
}

bool SameName(const std::string& a, const std::string& b) {
    return AsciiLower(a) == AsciiLower(b);
}

FakeRegistry::Node* Child(FakeRegistry::Node* node, const std::string& name, bool create) {
    for (auto& child : node->children) {
        if (SameName(child->name, name))
            return child.get();
    }
    if (!create)
        return nullptr;
    auto child = std::make_unique<FakeRegistry::Node>();
    child->name = name;
    child->parent = node;
    node->children.push_back(std::move(child));
    return node->children.back().get();
}

std::vector<unsigned char> Utf16Bytes(const std::string& text) {
    std::vector<unsigned char> data;
    for (char16_t unit : Utf8ToUtf16(text)) {
        data.push_back(static_cast<unsigned char>(unit & 0xFF));
        data.push_back(static_cast<unsigned char>(unit >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

}  // namespace

FakeRegistry::FakeRegistry() {
    Child(&root_, "HKEY_LOCAL_MACHINE", true);
    Child(&root_, "HKEY_CURRENT_USER", true);
}

FakeRegistry::Node* FakeRegistry::Walk(const std::string& physicalPath, bool create) {
    std::string path = physicalPath;
    if (path.rfind("HKLM\\", 0) == 0)
        path = "HKEY_LOCAL_MACHINE" + path.substr(4);
    if (path.rfind("HKCU\\", 0) == 0)
        path = "HKEY_CURRENT_USER" + path.substr(4);
    Node* node = &root_;
    for (const std::string& part : Split(path)) {
        node = Child(node, part, create);
        if (node == nullptr)
            return nullptr;
    }
    return node;
}

FakeRegistry::Node& FakeRegistry::Key(const std::string& physicalPath, uint64_t lastWrite) {
    Node* node = Walk(physicalPath, true);
    if (lastWrite != 0)
        node->lastWrite = lastWrite;
    return *node;
}

void FakeRegistry::SetRaw(const std::string& physicalPath, const std::string& name, uint32_t type,
                          std::vector<unsigned char> data) {
    Node& node = Key(physicalPath);
    for (auto& [valueName, value] : node.values) {
        if (SameName(valueName, name)) {
            value = StoredValue(type, std::move(data));
            return;
        }
    }
    node.values.emplace_back(name, StoredValue(type, std::move(data)));
}

void FakeRegistry::SetString(const std::string& physicalPath, const std::string& name,
                             const std::string& value, uint32_t type) {
    SetRaw(physicalPath, name, type, Utf16Bytes(value));
}

void FakeRegistry::SetDword(const std::string& physicalPath, const std::string& name,
                            uint32_t value) {
    SetRaw(physicalPath, name, kRegDword,
           {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)});
}

bool FakeRegistry::Exists(const std::string& physicalPath) const {
    return const_cast<FakeRegistry*>(this)->Walk(physicalPath, false) != nullptr;
}

void FakeRegistry::DenyAccess(const std::string& physicalPath) {
    denied_.push_back(&Key(physicalPath));
}

void FakeRegistry::DenyValue(const std::string& physicalPath, const std::string& name) {
    deniedValues_.emplace_back(&Key(physicalPath), name);
}

// This fake is a 32-bit program on 64-bit Windows: the default view and the 32-bit view
// see HKLM\SOFTWARE\X at HKLM\SOFTWARE\WOW6432Node\X.
FakeRegistry::Node* FakeRegistry::Resolve(RegHandle base, const std::string& path, uint32_t view,
                                          bool create, Node** parentOut, std::string* leafOut) {
    Node* node = nullptr;
    if (base == RootHandle(RegRoot::LocalMachine)) {
        node = root_.children[0].get();
    } else if (base == RootHandle(RegRoot::CurrentUser)) {
        node = root_.children[1].get();
    } else if (auto it = handles_.find(base); it != handles_.end()) {
        node = it->second.node;
    } else {
        return nullptr;
    }
    const bool redirect = (view & kKeyWow64_64Key) == 0;
    const std::vector<std::string> parts = Split(path);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parentOut)
            *parentOut = node;
        if (leafOut)
            *leafOut = parts[i];
        node = Child(node, parts[i], create);
        if (node == nullptr)
            return nullptr;
        const bool atSoftware = node->parent && node->parent->parent == &root_ &&
                                node->parent == root_.children[0].get() &&
                                SameName(node->name, "SOFTWARE");
        if (redirect && atSoftware &&
            (i + 1 >= parts.size() || !SameName(parts[i + 1], "WOW6432Node"))) {
            if (i + 1 >= parts.size() && parentOut)
                break;  // deleting SOFTWARE itself
            node = Child(node, "WOW6432Node", true);
        }
    }
    return node;
}

std::optional<RegHandle> FakeRegistry::Open(RegHandle base, const std::string& path,
                                            uint32_t access, bool create) {
    Node* node = Resolve(base, path, access & kKeyWow64Res, create);
    if (node == nullptr) {
        lastError_ = kErrorFileNotFound;
        return std::nullopt;
    }
    const RegHandle handle = nextHandle_++;
    handles_[handle] = Handle{node, access & kKeyWow64Res};
    return handle;
}

void FakeRegistry::Close(RegHandle key) {
    handles_.erase(key);
}

std::optional<RegKeyInfo> FakeRegistry::QueryInfo(RegHandle key) {
    const auto it = handles_.find(key);
    if (it == handles_.end())
        return std::nullopt;
    const Node* node = it->second.node;
    if (std::find(denied_.begin(), denied_.end(), node) != denied_.end()) {
        lastError_ = kErrorAccessDenied;
        return std::nullopt;
    }
    RegKeyInfo info;
    info.subKeys = static_cast<uint32_t>(node->children.size());
    info.values = static_cast<uint32_t>(node->values.size());
    info.lastWriteTime = node->lastWrite;
    return info;
}

std::optional<std::string> FakeRegistry::EnumKey(RegHandle key, uint32_t index) {
    const auto it = handles_.find(key);
    if (it == handles_.end() || index >= it->second.node->children.size())
        return std::nullopt;
    return it->second.node->children[index]->name;
}

std::optional<std::string> FakeRegistry::EnumValue(RegHandle key, uint32_t index) {
    const auto it = handles_.find(key);
    if (it == handles_.end() || index >= it->second.node->values.size())
        return std::nullopt;
    return it->second.node->values[index].first;
}

std::optional<RegValue> FakeRegistry::QueryValue(RegHandle key, const std::string& name,
                                                 bool withData) {
    const auto it = handles_.find(key);
    if (it == handles_.end())
        return std::nullopt;
    for (const auto& [node, deniedName] : deniedValues_) {
        if (node == it->second.node && SameName(deniedName, name)) {
            lastError_ = kErrorAccessDenied;
            return std::nullopt;
        }
    }
    for (const auto& [valueName, value] : it->second.node->values) {
        if (SameName(valueName, name)) {
            RegValue result = value;
            if (!withData)
                result.data.clear();
            return result;
        }
    }
    return std::nullopt;
}

bool FakeRegistry::SetValue(RegHandle key, const std::string& name, uint32_t type,
                            const std::vector<unsigned char>& data) {
    const auto it = handles_.find(key);
    if (it == handles_.end())
        return false;
    for (auto& [valueName, value] : it->second.node->values) {
        if (SameName(valueName, name)) {
            value = StoredValue(type, data);
            return true;
        }
    }
    it->second.node->values.emplace_back(name, StoredValue(type, data));
    return true;
}

bool FakeRegistry::DeleteValue(RegHandle key, const std::string& name) {
    const auto it = handles_.find(key);
    if (it == handles_.end())
        return false;
    auto& values = it->second.node->values;
    return std::erase_if(values, [&](const auto& value) { return SameName(value.first, name); }) >
           0;
}

bool FakeRegistry::DeleteKey(RegHandle base, const std::string& path, uint32_t viewBits) {
    Node* parent = nullptr;
    std::string leaf;
    Node* node = Resolve(base, path, viewBits, false, &parent, &leaf);
    if (node == nullptr || !node->children.empty() || node->parent == nullptr)
        return false;
    auto& siblings = node->parent->children;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [node](const auto& child) { return child.get() == node; }),
                   siblings.end());
    return true;
}

}  // namespace corvandel::testing
