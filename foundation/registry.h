#pragma once
// The registry object every feature uses: a root key, an access mask applied to every open,
// and at most one open current key. The raw calls go through RegistryApi, which the program
// serves with advapi32 and the unit tests with an in-memory tree.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace corvandel {

using RegHandle = std::uintptr_t;

// Predefined roots carry their Win32 values so that the Win32 backend can pass them through.
enum class RegRoot : RegHandle { CurrentUser = 0x80000001u, LocalMachine = 0x80000002u };

inline RegHandle RootHandle(RegRoot root) {
    return static_cast<RegHandle>(root);
}

// Access masks.
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;
constexpr uint32_t kKeyAllAccess = 0xF003F;
constexpr uint32_t kKeyWow64_64Key = 0x0100;
constexpr uint32_t kKeyWow64_32Key = 0x0200;
constexpr uint32_t kKeyWow64Res = 0x0300;
constexpr uint32_t kKeyExistsRights = 0x20009;  // KEY_READ without KEY_NOTIFY / enumerate

// System error codes the registry rules name themselves.
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidData = 13;

// Registry value types (the Win32 REG_* numbers).
enum RegType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// The data kinds callers distinguish; everything else is Other.
enum class RegDataKind { String, ExpandString, Integer, Binary, MultiString, Int64, Other };

struct RegValue {
    uint32_t type = kRegNone;
    uint32_t size = 0;  // the stored size, also when the data was not asked for
    std::vector<unsigned char> data;
};

struct RegKeyInfo {
    uint32_t subKeys = 0;
    uint32_t maxSubKeyLen = 0;
    uint32_t values = 0;
    uint32_t maxValueNameLen = 0;
    uint32_t maxDataLen = 0;
    uint64_t lastWriteTime = 0;  // FILETIME, UTC, 100 ns since 1601
};

// Raw registry calls. Names and paths are UTF-8; string data stays UTF-16 LE bytes as stored.
class RegistryApi {
  public:
    virtual ~RegistryApi() = default;
    virtual std::optional<RegHandle> Open(RegHandle base, const std::string& path, uint32_t access,
                                          bool create) = 0;
    virtual void Close(RegHandle key) = 0;
    virtual std::optional<RegKeyInfo> QueryInfo(RegHandle key) = 0;
    virtual std::optional<std::string> EnumKey(RegHandle key, uint32_t index) = 0;
    virtual std::optional<std::string> EnumValue(RegHandle key, uint32_t index) = 0;
    // A value's name and data by its index; where the registry can, in one call.
    virtual std::optional<std::pair<std::string, RegValue>> EnumValueWithData(RegHandle key,
                                                                              uint32_t index) {
        auto name = EnumValue(key, index);
        if (!name)
            return std::nullopt;
        auto value = QueryValue(key, *name, true);
        if (!value)
            return std::nullopt;
        return std::pair{std::move(*name), std::move(*value)};
    }
    // With withData false only the type and size are wanted and data stays empty.
    virtual std::optional<RegValue> QueryValue(RegHandle key, const std::string& name,
                                               bool withData) = 0;
    virtual bool SetValue(RegHandle key, const std::string& name, uint32_t type,
                          const std::vector<unsigned char>& data) = 0;
    virtual bool DeleteValue(RegHandle key, const std::string& name) = 0;
    // Deletes one key that has no sub-keys left, in the view given by viewBits.
    virtual bool DeleteKey(RegHandle base, const std::string& path, uint32_t viewBits) = 0;
    // The system's error code of the last call that failed.
    virtual uint32_t LastError() const = 0;
};

// Owns one open key for the length of a scope, so an early return cannot leak it. Neither
// copied nor moved: a walk over a tree keeps one per level on the stack.
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

class RegistryError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class Registry {
  public:
    explicit Registry(RegistryApi& api, uint32_t access = kKeyAllAccess);
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    void SetRootKey(RegRoot root);
    RegRoot RootKey() const { return root_; }
    uint32_t Access() const { return access_; }

    // A path that begins with "\" starts at the root; any other path is relative to the
    // current key, or to the root when none is open.
    bool OpenKey(const std::string& path, bool create);
    void CloseKey();
    bool HasCurrentKey() const { return current_.has_value(); }
    bool KeyExists(const std::string& path);

    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();
    std::optional<RegKeyInfo> GetKeyInfo();
    // GetKeyInfo, and when the current key holds no more than `most` values, every value read
    // at once, one call each: the reads that follow, GetKeyInfo's too, ask the registry
    // nothing. Worth it where a reader asks for more names than a key usually holds. Opening,
    // closing or writing drops what was read.
    std::optional<RegKeyInfo> ReadKeyAtOnce(uint32_t most);

    bool ValueExists(const std::string& name);
    RegDataKind GetDataType(const std::string& name);
    int64_t GetDataSize(const std::string& name);  // -1 for a missing value

    // Typed reads throw RegistryError with the texts callers show or test for.
    std::string ReadString(const std::string& name);
    int32_t ReadInteger(const std::string& name);
    // Like ReadString, but nothing for a missing value; one registry call either way.
    std::optional<std::string> ReadOptionalString(const std::string& name);
    std::optional<int32_t> ReadOptionalInteger(const std::string& name);
    // A value stored as text (REG_SZ) as it stands, any other as ReadInteger's number in
    // decimal; nothing when it is missing.
    std::optional<std::string> ReadNumberOrText(const std::string& name);
    // The raw value in one call; nothing when it is missing or no key is open.
    std::optional<RegValue> ReadValue(const std::string& name);
    std::vector<unsigned char> ReadBinary(const std::string& name);
    void WriteString(const std::string& name, const std::string& value);

    // Deletes the key and its whole tree.
    bool DeleteKey(const std::string& path);

  private:
    RegHandle BaseFor(const std::string& path, std::string& relative) const;
    void DropHeld();
    // A value of the current key, from what ReadKeyAtOnce read where it read the key.
    std::optional<RegValue> QueryCurrent(const std::string& name, bool withData);
    bool DeleteTree(RegHandle base, const std::string& path);

    RegistryApi& api_;
    uint32_t access_;
    RegRoot root_ = RegRoot::CurrentUser;
    std::optional<RegHandle> current_;
    // What ReadKeyAtOnce read of the current key: its information, and every value of it
    // where it read them.
    std::optional<RegKeyInfo> heldInfo_;
    std::optional<std::vector<std::pair<std::string, RegValue>>> heldValues_;
};

RegDataKind KindOfType(uint32_t type);

}  // namespace corvandel
