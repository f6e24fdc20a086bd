#pragma once
// The list a clean-up keeps in its quarantine folder: every folder and file it moved there
// (where from, under which name, with which times and attributes), every registry key it
// deleted and every value it saved, so that "Восстановить" can put each back where it was.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvandel {

// A file's or folder's times (the system's 100 ns units) and attributes, as they were.
struct FileStamp {
    uint64_t created = 0;
    uint64_t accessed = 0;
    uint64_t written = 0;
    uint32_t attributes = 0;
    bool operator==(const FileStamp&) const = default;
};

struct MovedFolder {
    std::string origin;  // full path
    FileStamp stamp;
    bool operator==(const MovedFolder&) const = default;
};

struct MovedFile {
    std::string origin;  // full path
    std::string stored;  // its name inside the quarantine folder
    FileStamp stamp;
    // SHA-256 of its bytes as stored, lowercase hex: a restore puts back only what this program
    // stored. Empty in lists kept before files were hashed.
    std::string sha256;
    bool operator==(const MovedFile&) const = default;
};

// A registry value as it was: its key named as the 64-bit view names it, so that a key of the
// 32-bit view goes back under WOW6432Node.
struct SavedValue {
    std::string keyText;  // "HKEY_CURRENT_USER\Software\...", root name first
    std::string name;
    uint32_t type = 0;
    std::vector<unsigned char> data;
    bool operator==(const SavedValue&) const = default;
};

struct CleanupList {
    std::string programs;              // the names of the programs cleaned up, for the backups page
    std::vector<MovedFolder> folders;  // each before what it holds
    std::vector<MovedFile> files;
    std::vector<std::string> keys;   // each key deleted, before its sub-keys
    std::vector<SavedValue> values;  // the values of those keys and the single values removed
    bool operator==(const CleanupList&) const = default;
};

// The name a moved file gets in the quarantine folder: short and free of anything a program
// could put in a file name.
std::string StoredFileName(size_t index);

// The registry a clean-up takes, and so all a restore may write: a program's key under its
// publisher's (Software\<publisher>\<program> of the user or the machine, either view, and
// what lies in it), and single values of the Run and RunOnce keys.
bool IsCleanupKey(std::string_view keyText);
bool IsCleanupValueKey(std::string_view keyText);

std::string SerializeCleanup(const CleanupList& list);
// Nothing for any other text, or a list cut short or altered, or one that names a stored file
// outside the clean-up's store, a relative path, a malformed hash, or a key or value of
// another shape than a clean-up takes (a service, an image's debugger, another root): a
// clean-up is never restored in part from a list that cannot be trusted.
std::optional<CleanupList> ParseCleanup(std::string_view text);

}  // namespace corvandel
