#pragma once
// The settings file on disk: the system ANSI code page, whole-file reads and safe writes, and
// the place where the program keeps its options.

#include <string>
#include <string_view>

#include "foundation/files_win.h"
#include "settings/IniDocument.h"
#include "settings/settings.h"

namespace corvandel {

// CP_ACP through MultiByteToWideChar / WideCharToMultiByte; characters the code page lacks
// get the system's best-fit or '?' replacement.
class Win32AnsiCodePage : public AnsiCodePage {
  public:
    std::string ToUtf8(std::string_view ansi) const override;
    std::string FromUtf8(std::string_view utf8) const override;
};

// The settings file's read and write failures are those of any file.
using SettingsFileError = FileError;
using SettingsReadError = FileReadError;
using SettingsWriteError = FileWriteError;

// The system's code page and the user's locale, alive as long as the program.
const AnsiCodePage& SystemAnsiCodePage();
const Locale& SystemLocale();

// A missing file gives an empty document.
IniDocument LoadSettingsDocument(const std::string& path);
void SaveSettingsDocument(const IniDocument& document, const std::string& path);

// A "portable.ini" beside the executable marks a portable copy.
bool IsPortableCopy();

// The settings of this copy of the program: read once at start, held for every window, and
// written back a group at a time.
class SettingsStore {
  public:
    // A portable copy keeps its file beside the executable, any other in the user's profile.
    explicit SettingsStore(bool portable);

    // Reads the file. One that cannot be read leaves the defaults, and says why.
    void Load();
    bool Unreadable() const { return !readError_.empty(); }
    // The file and the reason it could not be read, for the user.
    const std::string& ReadError() const { return readError_; }

    bool Portable() const { return portable_; }
    Settings& Values() { return values_; }
    const Settings& Values() const { return values_; }

    // Writes one group of the values over the file as it is now: the other groups' entries and
    // anything else in the file stay. A file that cannot be read throws SettingsReadError and is
    // left alone, unless replaceUnreadable. The folder is made when missing.
    void Save(SettingsGroup group, bool replaceUnreadable = false) const;

  private:
    bool portable_;
    std::string path_;
    Settings values_;
    std::string readError_;
};

}  // namespace corvandel
