#pragma once
// The release file: what the program decides an update on. The release script writes it
// beside "version.txt" and signs it with the update key; it names the version and, for each
// package, its name and SHA-256. A package is taken only when the signed file vouches for its
// version and its bytes, so a server (or whoever answers for it) can neither serve an older
// signed package as a newer one nor one package in place of another.
//
//   Corvandel release
//   version=1.2.0.0
//   sha256 Corvandel-setup.exe=<64 hex digits>
//   sha256 Corvandel.zip=<64 hex digits>

#include <map>
#include <optional>
#include <string>

namespace corvandel {

// The file's name on the server, beside "version.txt"; its signature has ".sig" added.
std::string GetReleaseFileName();

struct ReleaseFile {
    std::string version;
    std::map<std::string, std::string> sha256;  // package name -> digest, lower-case hex
};

// The release file's text for a version and its packages' digests (lower-case hex).
std::string WriteReleaseFile(const ReleaseFile& release);

// Reads the text strictly: the first line, one version, digests of 64 hex digits, nothing
// else, no name twice (line ends CR LF or LF). Nothing for any other text.
std::optional<ReleaseFile> ParseReleaseFile(const std::string& text);

enum class ReleaseCheck {
    Accepted,
    VersionMismatch,  // the signed version is not the one "version.txt" announced
    NotNewer,         // not higher than the running version, and no forced update asked for
    UnknownPackage,   // the signed file names no package of that name
    DigestMismatch,   // the package's bytes are not the signed ones
};

// Whether the signed release allows this package: its version equals the announced text, it
// is higher than the running version unless the user forces the update, and the package's
// name and SHA-256 (hex, any case) are the signed ones. Without a digest (empty) the package
// is judged before its download, on everything but its bytes.
ReleaseCheck CheckRelease(const ReleaseFile& release, const std::string& announcedVersion,
                          const std::string& runningVersion, bool forced,
                          const std::string& packageName, const std::string& packageSha256);

}  // namespace corvandel
