#pragma once
// The settings file on disk: the system ANSI code page, whole-file reads and safe writes, and
// the place where the program keeps its options.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "settings/IniDocument.h"

namespace corvandel {

// CP_ACP through MultiByteToWideChar / WideCharToMultiByte; characters the code page lacks
// get the system's best-fit or '?' replacement.
class Win32AnsiCodePage : public AnsiCodePage {
  public:
    std::string ToUtf8(std::string_view ansi) const override;
    std::string FromUtf8(std::string_view utf8) const override;
};

// what() is the system's text for the error, as FormatMessageW gives it.
class SettingsFileError : public std::runtime_error {
  public:
    SettingsFileError(const std::string& message, uint32_t code, const std::string& path)
        : std::runtime_error(message), code_(code), path_(path) {}
    uint32_t Code() const { return code_; }  // GetLastError()
    const std::string& Path() const { return path_; }

  private:
    uint32_t code_;
    std::string path_;
};

class SettingsReadError : public SettingsFileError {
  public:
    using SettingsFileError::SettingsFileError;
};

class SettingsWriteError : public SettingsFileError {
  public:
    using SettingsFileError::SettingsFileError;
};

// The whole file; nullopt when the file or its folder does not exist. Other failures (a
// denied or locked file) throw SettingsReadError.
std::optional<std::string> ReadWholeFile(const std::string& utf8Path);

// Writes a temporary file beside the target and moves it over the target, so a failure at any
// point leaves the previous content. Throws SettingsWriteError.
void WriteWholeFile(const std::string& utf8Path, const std::string& bytes);

// Creates the folder and every missing parent; failures are left for the write to report.
void CreateFolderTree(const std::string& folder);

// The settings file of this executable; its folder is created when missing.
std::string PortablePath(bool portable);

// The system's code page and the user's locale, alive as long as the program.
const AnsiCodePage& SystemAnsiCodePage();
const Locale& SystemLocale();

// A missing file gives an empty document.
IniDocument LoadSettingsDocument(const std::string& path);
void SaveSettingsDocument(const IniDocument& document, const std::string& path);

}  // namespace corvandel
