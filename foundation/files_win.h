#pragma once
// Whole-file reads and writes that never leave a half-written file, and folder creation.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace corvandel {

// what() is the system's text for the error, as FormatMessageW gives it.
class FileError : public std::runtime_error {
  public:
    FileError(const std::string& message, uint32_t code, const std::string& path)
        : std::runtime_error(message), code_(code), path_(path) {}
    uint32_t Code() const { return code_; }  // GetLastError()
    const std::string& Path() const { return path_; }

  private:
    uint32_t code_;
    std::string path_;
};

class FileReadError : public FileError {
  public:
    using FileError::FileError;
};

class FileWriteError : public FileError {
  public:
    using FileError::FileError;
};

// The whole file; nullopt when the file or its folder does not exist. Other failures (a
// denied or locked file) throw FileReadError.
std::optional<std::string> ReadWholeFile(const std::string& utf8Path);

// Writes a temporary file beside the target and moves it over the target, so a failure at any
// point leaves the previous content. Throws FileWriteError.
void WriteWholeFile(const std::string& utf8Path, const std::string& bytes);

// A new file, never an existing one, written whole or not at all. Throws FileWriteError.
void WriteNewFile(const std::string& utf8Path, const std::string& bytes);

// Creates the folder and every missing parent; failures are left for the write to report.
void CreateFolderTree(const std::string& folder);

// The path as the file functions take it, also past MAX_PATH ("\\?\" in front of a long one).
std::wstring ForFileCalls(const std::string& path);

}  // namespace corvandel
