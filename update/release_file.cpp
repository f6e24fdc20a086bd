#include "update/release_file.h"

#include "foundation/text.h"
#include "update/update_rules.h"

namespace corvandel {

namespace {

constexpr const char* kFirstLine = "Corvandel release";
constexpr const char* kVersionKey = "version=";
constexpr const char* kDigestKey = "sha256 ";

bool IsDigest(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

std::string GetReleaseFileName() {
    return "release.txt";
}

std::string WriteReleaseFile(const ReleaseFile& release) {
    std::string text = std::string(kFirstLine) + "\r\n" + kVersionKey + release.version + "\r\n";
    for (const auto& [name, digest] : release.sha256)
        text += kDigestKey + name + "=" + digest + "\r\n";
    return text;
}

std::optional<ReleaseFile> ParseReleaseFile(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    if (lines.empty() || lines[0] != kFirstLine)
        return std::nullopt;
    ReleaseFile release;
    bool versionSeen = false;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind(kVersionKey, 0) == 0) {
            const std::string version = line.substr(std::string(kVersionKey).size());
            if (versionSeen || VersionFromBody(version) != version)
                return std::nullopt;
            release.version = version;
            versionSeen = true;
        } else if (line.rfind(kDigestKey, 0) == 0) {
            const size_t equals = line.rfind('=');
            const size_t nameAt = std::string(kDigestKey).size();
            if (equals == std::string::npos || equals <= nameAt)
                return std::nullopt;
            const std::string name = line.substr(nameAt, equals - nameAt);
            const std::string digest = AsciiLower(line.substr(equals + 1));
            if (name.find_first_of("=/\\") != std::string::npos || !IsDigest(digest) ||
                !release.sha256.emplace(name, digest).second) {
                return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!versionSeen)
        return std::nullopt;
    return release;
}

ReleaseCheck CheckRelease(const ReleaseFile& release, const std::string& announcedVersion,
                          const std::string& runningVersion, bool forced,
                          const std::string& packageName, const std::string& packageSha256) {
    if (release.version != announcedVersion)
        return ReleaseCheck::VersionMismatch;
    if (!forced && CompareVersions(release.version, runningVersion) != 1)
        return ReleaseCheck::NotNewer;
    const auto signed_ = release.sha256.find(packageName);
    if (signed_ == release.sha256.end())
        return ReleaseCheck::UnknownPackage;
    if (!packageSha256.empty() && AsciiLower(packageSha256) != signed_->second)
        return ReleaseCheck::DigestMismatch;
    return ReleaseCheck::Accepted;
}

}  // namespace corvandel
