#pragma once
// The small interfaces through which the rules reach the machine. The program serves them
// with Win32 calls; unit tests with fixed, deterministic fakes.

#include <cstdint>
#include <string>

namespace corvandel {

// CSIDL numbers of the special folders the program uses.
constexpr int kCsidlAppData = 26;
constexpr int kCsidlWindows = 36;
constexpr int kCsidlSystem = 37;
constexpr int kCsidlProgramFiles = 38;

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    // True for an existing file, not a folder; links are followed.
    virtual bool FileExists(const std::string& path) const = 0;
};

class SpecialFolders {
  public:
    virtual ~SpecialFolders() = default;
    // The folder without a trailing separator; empty when the lookup fails.
    virtual std::string GetSpecialFolder(int csidl) const = 0;
};

struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class Locale {
  public:
    virtual ~Locale() = default;
    // The user's short date pattern ("dd.MM.yyyy"), as read when the program started.
    virtual std::string ShortDateFormat() const = 0;
    // FILETIME (UTC) to local broken-down time; false when the conversion fails.
    virtual bool FileTimeToLocal(uint64_t fileTime, DateTime& local) const = 0;
    virtual DateTime Now() const = 0;
    // Locale-aware upper case of UTF-16 text.
    virtual std::u16string ToUpper(std::u16string_view text) const = 0;
};

}  // namespace corvandel
