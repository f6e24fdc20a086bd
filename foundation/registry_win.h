#pragma once

#include <functional>

#include "foundation/registry.h"

namespace corvandel {

// The registry calls of advapi32. One object per thread: it keeps the last error and the
// buffers it reads into.
class Win32RegistryApi : public RegistryApi {
  public:
    std::optional<RegHandle> Open(RegHandle base, const std::string& path, uint32_t access,
                                  bool create) override;
    void Close(RegHandle key) override;
    std::optional<RegKeyInfo> QueryInfo(RegHandle key) override;
    std::optional<std::string> EnumKey(RegHandle key, uint32_t index) override;
    std::optional<std::string> EnumValue(RegHandle key, uint32_t index) override;
    std::optional<std::pair<std::string, RegValue>> EnumValueWithData(RegHandle key,
                                                                      uint32_t index) override;
    std::optional<RegValue> QueryValue(RegHandle key, const std::string& name,
                                       bool withData) override;
    bool SetValue(RegHandle key, const std::string& name, uint32_t type,
                  const std::vector<unsigned char>& data) override;
    bool DeleteValue(RegHandle key, const std::string& name) override;
    bool DeleteKey(RegHandle base, const std::string& path, uint32_t viewBits) override;
    uint32_t LastError() const override { return lastError_; }

  private:
    // Remembers a failed call's code; true when the call succeeded.
    bool Succeeded(long result);
    // Runs a value read into the kept buffer, growing it as the read asks, and gives the value
    // with its type and exactly its bytes.
    std::optional<RegValue> ReadData(
        const std::function<long(unsigned long& type, unsigned char* data, unsigned long& size)>&
            read);

    uint32_t lastError_ = 0;
    // What EnumValueWithData reads into.
    std::wstring nameBuffer_;
    std::vector<unsigned char> dataBuffer_;
};

}  // namespace corvandel
