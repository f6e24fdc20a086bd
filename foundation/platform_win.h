#pragma once
// Win32 implementations of the platform interfaces.

#include <map>
#include <string>

#include "foundation/platform.h"
#include "foundation/system_view.h"

namespace corvandel {

// SHGetFolderPathW(no window, csidl, no token, SHGFP_TYPE_CURRENT); empty on failure.
std::string GetSpecialFolder(int csidl);

// The running executable's full path and its folder with a trailing separator.
std::string ExecutablePath();
std::string ExecutableFolder();

// True on 64-bit Windows, where the registry has two views of the machine's software.
bool WindowsIs64Bit();

// How this process must name the system's own folders (see system_view.h): read from the
// system, never from the environment.
SystemView ReadSystemView();

// The machine's own System32 as this process reaches it (Sysnative for a 32-bit process on
// 64-bit Windows), without a trailing separator.
std::string NativeSystemFolder();

class Win32FileSystem : public FileSystem {
  public:
    bool FileExists(const std::string& path) const override;
};

// Each folder is asked of the system once: a scan asks for the same few folders for every
// entry, and each answer costs a registry read.
class Win32SpecialFolders : public SpecialFolders {
  public:
    std::string GetSpecialFolder(int csidl) const override;

  private:
    mutable std::map<int, std::string> known_;
};

class Win32Locale : public Locale {
  public:
    Win32Locale();  // reads the user's short date format once
    std::string ShortDateFormat() const override { return shortDate_; }
    bool FileTimeToLocal(uint64_t fileTime, DateTime& local) const override;
    DateTime Now() const override;
    std::u16string ToUpper(std::u16string_view text) const override;

  private:
    std::string shortDate_;
};

}  // namespace corvandel
