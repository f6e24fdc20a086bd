#pragma once

#include <cstdint>

#include "foundation/registry.h"

namespace corvandel {

struct OsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// The real version: what the version call reported, replaced from
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion when it reported more than 6.1 (the
// call itself is capped by the compatibility layer).
OsVersion RealWindowsVersion(const OsVersion& reported, RegistryApi& registry);

// Windows 11 reports major version 10 too, with a higher build.
inline bool IsWindows10OrLater(const OsVersion& v) {
    return v.major == 10 && v.build >= 10240;
}

}  // namespace corvandel
