#include "app/windows_version.h"

#include <charconv>
#include <string>

namespace corvandel {

namespace {

bool ParseNumber(const std::string& text, uint32_t& value) {
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

OsVersion RealWindowsVersion(const OsVersion& reported, RegistryApi& api) {
    OsVersion v = reported;
    if (reported.major < 6 || (reported.major == 6 && reported.minor <= 1))
        return v;
    Registry key(api, kKeyRead | kKeyWow64_64Key);
    key.SetRootKey(RegRoot::LocalMachine);
    if (!key.OpenKey("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", false))
        return v;
    try {
        if (key.GetDataType("CurrentMajorVersionNumber") == RegDataKind::Integer &&
            key.GetDataSize("CurrentMajorVersionNumber") == 4) {
            v.major = static_cast<uint32_t>(key.ReadInteger("CurrentMajorVersionNumber"));
        } else {
            const std::string text = key.ReadString("CurrentVersion");
            uint32_t major = 0;
            if (ParseNumber(text.substr(0, text.find('.')), major))
                v.major = major;
        }
        uint32_t build = 0;
        if (ParseNumber(key.ReadString("CurrentBuild"), build) ||
            ParseNumber(key.ReadString("CurrentBuildNumber"), build)) {
            v.build = build;
        }
    } catch (const RegistryError&) {
        // Values of odd types leave the reported numbers in place.
    }
    return v;
}

}  // namespace corvandel
