#pragma once
// Deterministic stand-ins for the file system, special folders and the user's locale.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/platform.h"
#include "foundation/text.h"

namespace corvandel::testing {

// File names compare without regard to ASCII case, as on Windows.
class FakeFileSystem : public FileSystem {
  public:
    void AddFile(const std::string& path) { files_.insert(AsciiLower(path)); }
    bool FileExists(const std::string& path) const override {
        asked.push_back(path);
        return files_.count(AsciiLower(path)) != 0;
    }
    mutable std::vector<std::string> asked;  // every path asked about, in order

  private:
    std::set<std::string> files_;
};

// A 32-bit program on 64-bit Windows.
class FakeSpecialFolders : public SpecialFolders {
  public:
    std::map<int, std::string> folders{
        {kCsidlProgramFiles, "C:\\Program Files (x86)"},
        {kCsidlAppData, "C:\\Users\\Tester\\AppData\\Roaming"},
        {kCsidlSystem, "C:\\Windows\\system32"},
        {kCsidlWindows, "C:\\Windows"},
    };
    std::string GetSpecialFolder(int csidl) const override {
        const auto it = folders.find(csidl);
        return it == folders.end() ? std::string() : it->second;
    }
};

// A Russian user in UTC+3 with the short date "dd.MM.yyyy".
class FakeLocale : public Locale {
  public:
    DateTime now{2026, 12, 9, 10, 0, 0, 0};
    std::string ShortDateFormat() const override { return "dd.MM.yyyy"; }
    bool FileTimeToLocal(uint64_t fileTime, DateTime& local) const override;
    DateTime Now() const override { return now; }
    std::u16string ToUpper(std::u16string_view text) const override {
        std::u16string out(text);
        for (char16_t& c : out) {
            if ((c >= u'a' && c <= u'z') || (c >= 0x430 && c <= 0x44F))
                c -= 0x20;
            if (c == 0x451)
                c = 0x401;  // ё
        }
        return out;
    }
};

// FILETIME of a UTC moment, for seeding key times.
uint64_t FileTimeOf(int year, int month, int day, int hour = 0, int minute = 0);

}  // namespace corvandel::testing
