#pragma once
// The self-updater's rules: where the packages are, how versions compare, what the server's
// answer means, the user's proxy, and how far a download has come.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/registry.h"

namespace corvandel {

// The package names on the update servers, under a folder named after the program.
std::string GetUpdateName();
std::string GetSetupFileName();
std::string GetZipFileName();

// The two servers, tried in this order. Built in, unless the settings file's [Update]
// section names others ("Primary", "Mirror") for an organisation's own mirror.
struct UpdateServers {
    std::string primary;
    std::string mirror;
};
inline constexpr const char* kPrimaryServer = "http://update.corvandel.example/download/";
inline constexpr const char* kMirrorServer = "http://mirror.corvandel.example/download/";

// The folder of one server's files: the base, the program's name and "/".
std::string UpdateFolderUrl(const std::string& base);
// The package an installed copy (installer) or a portable copy (archive) downloads.
std::string PackageUrl(const std::string& folderUrl, bool portable);

// 1 when a is the higher version, -1 when lower, 0 when equal. Parts are separated by "."
// or blanks; a missing part or one that is not a number counts as 0.
int CompareVersions(const std::string& a, const std::string& b);

// The version a "version.txt" body names: the text without blanks and line breaks around it.
// Nothing for an empty answer, nor for one that cannot be a version: longer than four parts
// of five digits, or with a line break or other control character inside.
std::optional<std::string> VersionFromBody(const std::string& body);

// The most the program takes of each answer of an update server: a longer one is no answer.
inline constexpr int64_t kMaxVersionAnswer = 1024;
inline constexpr int64_t kMaxSignatureAnswer = 4096;
inline constexpr int64_t kMaxPackageAnswer = int64_t{256} << 20;
// Each server's answer to the version check ends after this long, however slowly it keeps
// coming; a download ends when no byte has come for this long.
inline constexpr int kVersionAnswerDeadlineMs = 10'000;
inline constexpr int kDownloadIdleMs = 30'000;

// The text after the last "/", or the whole text when that is empty.
std::string GetFileNameFromUrl(const std::string& url);

// The user's proxy from Internet Settings: used only when ProxyEnable is 1 and ProxyServer
// reads "host:port" (a port that is not a number means 8080).
struct SystemProxy {
    std::string server;
    int port = 0;
    bool enabled = false;
};
std::optional<SystemProxy> GetSystemProxy(RegistryApi& api);

// Download progress in whole percent of the announced size (halves to even); nothing when
// the size is too small or unknown to count in percent.
std::optional<int> ProgressPercent(int64_t received, int64_t expected);

}  // namespace corvandel
