#pragma once
// An in-memory registry for unit tests: both hives, the 32-bit view that redirects
// HKLM\SOFTWARE to HKLM\SOFTWARE\WOW6432Node, typed values and last-write times.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/registry.h"

namespace corvandel::testing {

class FakeRegistry : public RegistryApi {
  public:
    struct Node {
        std::string name;
        std::vector<std::unique_ptr<Node>> children;  // in creation order, as enumerated
        std::vector<std::pair<std::string, RegValue>> values;
        uint64_t lastWrite = 0;
        Node* parent = nullptr;
    };

    FakeRegistry();

    // Creates the key (and its parents) by its physical path, e.g. "HKLM\SOFTWARE\X".
    Node& Key(const std::string& physicalPath, uint64_t lastWrite = 0);
    void SetString(const std::string& physicalPath, const std::string& name,
                   const std::string& value, uint32_t type = kRegSz);
    void SetDword(const std::string& physicalPath, const std::string& name, uint32_t value);
    void SetRaw(const std::string& physicalPath, const std::string& name, uint32_t type,
                std::vector<unsigned char> data);
    bool Exists(const std::string& physicalPath) const;
    // Keys that deny reading their information (as without the rights for it).
    void DenyAccess(const std::string& physicalPath);
    // A value whose data cannot be read, although its name is listed.
    void DenyValue(const std::string& physicalPath, const std::string& name);

    std::optional<RegHandle> Open(RegHandle base, const std::string& path, uint32_t access,
                                  bool create) override;
    void Close(RegHandle key) override;
    std::optional<RegKeyInfo> QueryInfo(RegHandle key) override;
    std::optional<std::string> EnumKey(RegHandle key, uint32_t index) override;
    std::optional<std::string> EnumValue(RegHandle key, uint32_t index) override;
    std::optional<RegValue> QueryValue(RegHandle key, const std::string& name,
                                       bool withData) override;
    bool SetValue(RegHandle key, const std::string& name, uint32_t type,
                  const std::vector<unsigned char>& data) override;
    bool DeleteValue(RegHandle key, const std::string& name) override;
    bool DeleteKey(RegHandle base, const std::string& path, uint32_t viewBits) override;
    uint32_t LastError() const override { return lastError_; }

    int OpenHandles() const { return static_cast<int>(handles_.size()); }

  private:
    struct Handle {
        Node* node;
        uint32_t view;
    };
    Node* Resolve(RegHandle base, const std::string& path, uint32_t view, bool create,
                  Node** parentOut = nullptr, std::string* leafOut = nullptr);
    Node* Walk(const std::string& physicalPath, bool create);

    Node root_;  // children: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER
    std::map<RegHandle, Handle> handles_;
    RegHandle nextHandle_ = 0x1000;
    std::vector<Node*> denied_;
    std::vector<std::pair<Node*, std::string>> deniedValues_;
    uint32_t lastError_ = 0;
};

}  // namespace corvandel::testing
