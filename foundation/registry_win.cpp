#include "foundation/registry_win.h"

#include <windows.h>

#include <algorithm>
#include <functional>

#include "foundation/win_text.h"

namespace corvandel {

namespace {

HKEY ToHkey(RegHandle handle) {
    return reinterpret_cast<HKEY>(handle);
}

bool IsPredefined(RegHandle handle) {
    return handle == RootHandle(RegRoot::CurrentUser) ||
           handle == RootHandle(RegRoot::LocalMachine);
}

}  // namespace

std::optional<RegHandle> Win32RegistryApi::Open(RegHandle base, const std::string& path,
                                                uint32_t access, bool create) {
    HKEY key = nullptr;
    const std::wstring wide = Widen(path);
    LONG result;
    if (create) {
        result = RegCreateKeyExW(ToHkey(base), wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 access, nullptr, &key, nullptr);
    } else {
        result = RegOpenKeyExW(ToHkey(base), wide.c_str(), 0, access, &key);
    }
    if (!Succeeded(result))
        return std::nullopt;
    return reinterpret_cast<RegHandle>(key);
}

void Win32RegistryApi::Close(RegHandle key) {
    // Predefined roots are never closed.
    if (!IsPredefined(key))
        RegCloseKey(ToHkey(key));
}

std::optional<RegKeyInfo> Win32RegistryApi::QueryInfo(RegHandle key) {
    DWORD subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxDataLen = 0;
    FILETIME lastWrite{};
    if (!Succeeded(RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLen,
                                    nullptr, &values, &maxValueNameLen, &maxDataLen, nullptr,
                                    &lastWrite))) {
        return std::nullopt;
    }
    RegKeyInfo info;
    info.subKeys = subKeys;
    info.maxSubKeyLen = maxSubKeyLen;
    info.values = values;
    info.maxValueNameLen = maxValueNameLen;
    info.maxDataLen = maxDataLen;
    info.lastWriteTime =
        (static_cast<uint64_t>(lastWrite.dwHighDateTime) << 32) | lastWrite.dwLowDateTime;
    return info;
}

std::optional<std::string> Win32RegistryApi::EnumKey(RegHandle key, uint32_t index) {
    // Key names are at most 255 characters.
    wchar_t name[256];
    DWORD length = 256;
    if (!Succeeded(
            RegEnumKeyExW(ToHkey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr))) {
        return std::nullopt;
    }
    return Narrow(std::wstring_view(name, length));
}

std::optional<std::string> Win32RegistryApi::EnumValue(RegHandle key, uint32_t index) {
    // Value names may be up to 16383 characters.
    nameBuffer_.resize(16384);
    DWORD length = static_cast<DWORD>(nameBuffer_.size());
    if (!Succeeded(RegEnumValueW(ToHkey(key), index, nameBuffer_.data(), &length, nullptr, nullptr,
                                 nullptr, nullptr))) {
        return std::nullopt;
    }
    return Narrow(std::wstring_view(nameBuffer_.data(), length));
}

std::optional<RegValue> Win32RegistryApi::ReadData(
    const std::function<long(unsigned long& type, unsigned char* data, unsigned long& size)>&
        read) {
    // The buffer is this object's, reused call after call: a long scan that took a fresh
    // buffer for every value would leave the heap in pieces, and the value gets exactly its own
    // bytes. Most data fits the first buffer, so one call usually does; a value that grows
    // between two calls is asked for again with its new size.
    if (dataBuffer_.size() < 4096)
        dataBuffer_.resize(4096);
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(dataBuffer_.size());
        const LONG result = read(type, dataBuffer_.data(), size);
        if (result == ERROR_MORE_DATA) {
            // Data larger than the buffer; the size the system gives is the value's.
            dataBuffer_.resize(std::max<size_t>(size, dataBuffer_.size() * 2));
            continue;
        }
        if (!Succeeded(result))
            return std::nullopt;
        RegValue value;
        value.data.assign(dataBuffer_.begin(), dataBuffer_.begin() + size);
        value.type = type;
        value.size = size;
        return value;
    }
    lastError_ = ERROR_MORE_DATA;
    return std::nullopt;
}

std::optional<std::pair<std::string, RegValue>> Win32RegistryApi::EnumValueWithData(
    RegHandle key, uint32_t index) {
    // Value names may be up to 16383 characters.
    nameBuffer_.resize(16384);
    DWORD nameLength = 0;
    auto value = ReadData([&](DWORD& type, BYTE* data, DWORD& size) {
        nameLength = static_cast<DWORD>(nameBuffer_.size());
        return RegEnumValueW(ToHkey(key), index, nameBuffer_.data(), &nameLength, nullptr, &type,
                             data, &size);
    });
    if (!value)
        return std::nullopt;
    return std::pair{Narrow(std::wstring_view(nameBuffer_.data(), nameLength)), std::move(*value)};
}

std::optional<RegValue> Win32RegistryApi::QueryValue(RegHandle key, const std::string& name,
                                                     bool withData) {
    const std::wstring wide = Widen(name);
    if (!withData) {
        RegValue value;
        DWORD type = 0;
        DWORD size = 0;
        if (!Succeeded(
                RegQueryValueExW(ToHkey(key), wide.c_str(), nullptr, &type, nullptr, &size))) {
            return std::nullopt;
        }
        value.type = type;
        value.size = size;
        return value;
    }
    return ReadData([&](DWORD& type, BYTE* data, DWORD& size) {
        return RegQueryValueExW(ToHkey(key), wide.c_str(), nullptr, &type, data, &size);
    });
}

bool Win32RegistryApi::SetValue(RegHandle key, const std::string& name, uint32_t type,
                                const std::vector<unsigned char>& data) {
    const std::wstring wide = Widen(name);
    return Succeeded(RegSetValueExW(ToHkey(key), wide.c_str(), 0, type, data.data(),
                                    static_cast<DWORD>(data.size())));
}

bool Win32RegistryApi::DeleteValue(RegHandle key, const std::string& name) {
    const std::wstring wide = Widen(name);
    return Succeeded(RegDeleteValueW(ToHkey(key), wide.c_str()));
}

bool Win32RegistryApi::DeleteKey(RegHandle base, const std::string& path, uint32_t viewBits) {
    const std::wstring wide = Widen(path);
    return Succeeded(RegDeleteKeyExW(ToHkey(base), wide.c_str(), viewBits, 0));
}

bool Win32RegistryApi::Succeeded(long result) {
    if (result == ERROR_SUCCESS)
        return true;
    lastError_ = static_cast<uint32_t>(result);
    return false;
}

}  // namespace corvandel
