#pragma once
// The settings file on disk: the system ANSI code page, whole-file reads and safe writes, and
// the place where the program keeps its options.

#include <string>
#include <string_view>

#include "foundation/files_win.h"
#include "settings/IniDocument.h"

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

// The settings file of this executable; its folder is created when missing.
std::string PrepareSettingsFile(bool portable);

// The system's code page and the user's locale, alive as long as the program.
const AnsiCodePage& SystemAnsiCodePage();
const Locale& SystemLocale();

// A missing file gives an empty document.
IniDocument LoadSettingsDocument(const std::string& path);
void SaveSettingsDocument(const IniDocument& document, const std::string& path);

}  // namespace corvandel
