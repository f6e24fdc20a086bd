#include "update/update_rules.h"

#include <algorithm>

namespace corvandel {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::vector<std::string> VersionParts(const std::string& version) {
    std::vector<std::string> parts;
    std::string part;
    for (const char c : version) {
        if (c == '.' || IsBlank(c)) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

// A part that does not read wholly as a decimal number counts as 0.
int64_t PartValue(const std::vector<std::string>& parts, size_t index) {
    if (index >= parts.size() || parts[index].empty() || parts[index].size() > 18)
        return 0;
    int64_t value = 0;
    size_t i = 0;
    if (parts[index][0] == '-' || parts[index][0] == '+')
        i = 1;
    if (i == parts[index].size())
        return 0;
    for (; i < parts[index].size(); ++i) {
        const char c = parts[index][i];
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return parts[index][0] == '-' ? -value : value;
}

// Rounds halves to the even neighbour, as the progress figures do.
int64_t RoundHalfEven(int64_t numerator, int64_t denominator) {
    const int64_t whole = numerator / denominator;
    const int64_t rest = numerator % denominator;
    if (2 * rest > denominator || (2 * rest == denominator && whole % 2 != 0))
        return whole + 1;
    return whole;
}

}  // namespace

std::string GetUpdateName() {
    return "Corvandel";
}

std::string GetSetupFileName() {
    return GetUpdateName() + "-setup.exe";
}

std::string GetZipFileName() {
    return GetUpdateName() + ".zip";
}

std::string UpdateFolderUrl(const std::string& base) {
    return base + GetUpdateName() + "/";
}

std::string PackageUrl(const std::string& folderUrl, bool portable) {
    return folderUrl + (portable ? GetZipFileName() : GetSetupFileName());
}

int CompareVersions(const std::string& a, const std::string& b) {
    const std::vector<std::string> left = VersionParts(a);
    const std::vector<std::string> right = VersionParts(b);
    const size_t count = std::max(left.size(), right.size());
    for (size_t i = 0; i < count; ++i) {
        const int64_t x = PartValue(left, i);
        const int64_t y = PartValue(right, i);
        if (x != y)
            return x > y ? 1 : -1;
    }
    return 0;
}

std::optional<std::string> VersionFromBody(const std::string& body) {
    size_t begin = 0;
    size_t end = body.size();
    while (begin < end && IsBlank(body[begin]))
        ++begin;
    while (end > begin && IsBlank(body[end - 1]))
        --end;
    // "65535.65535.65535.65535": the longest a file version can be.
    constexpr size_t kLongestVersion = 23;
    if (begin == end || end - begin > kLongestVersion)
        return std::nullopt;
    for (size_t i = begin; i < end; ++i) {
        const auto c = static_cast<unsigned char>(body[i]);
        if (c < ' ' || c == 0x7F)
            return std::nullopt;
    }
    return body.substr(begin, end - begin);
}

std::string GetFileNameFromUrl(const std::string& url) {
    const size_t slash = url.rfind('/');
    const std::string name = slash == std::string::npos ? std::string() : url.substr(slash + 1);
    return name.empty() ? url : name;
}

std::optional<SystemProxy> GetSystemProxy(RegistryApi& api) {
    Registry registry(api);
    registry.SetRootKey(RegRoot::CurrentUser);
    if (!registry.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                          false))
        return std::nullopt;
    SystemProxy proxy;
    try {
        proxy.enabled = registry.ReadInteger("ProxyEnable") == 1;
    } catch (const RegistryError&) {
        proxy.enabled = false;
    }
    if (!proxy.enabled)
        return std::nullopt;
    std::string server;
    try {
        server = registry.ReadOptionalString("ProxyServer").value_or("");
    } catch (const RegistryError&) {
        server.clear();
    }
    const size_t colon = server.find(':');
    if (server.empty() || colon == std::string::npos)
        return std::nullopt;
    proxy.server = server.substr(0, colon);
    const std::string port = server.substr(colon + 1);
    proxy.port = 8080;
    if (!port.empty() && port.size() <= 9 &&
        port.find_first_not_of("0123456789") == std::string::npos)
        proxy.port = std::stoi(port);
    return proxy;
}

std::optional<int> ProgressPercent(int64_t received, int64_t expected) {
    const int64_t perPercent = expected > 0 ? RoundHalfEven(expected, 100) : 0;
    if (perPercent <= 0)
        return std::nullopt;
    const int64_t percent = RoundHalfEven(received, perPercent);
    return static_cast<int>(std::min<int64_t>(percent, 100));
}

}  // namespace corvandel
