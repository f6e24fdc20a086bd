#pragma once
// The language folder beside the executable: pruning its files at start, listing them for the
// menu, and translating the program's windows from the chosen one.

#include <string>
#include <vector>

#include "settings/language_files.h"
#include "settings/translation.h"
#include "ui/component.h"

namespace corvandel {

// A window of the program as the translation sees it.
struct LanguageWindow {
    ComponentList* components;
    WindowRole role;
};

// The executable's folder + "Language\".
std::string LanguageFolder();
// The "*.ini" entries of the language folder, in the order the file system gives them.
std::vector<std::string> LanguageFileNames();
// The file exists and can be opened for writing with no sharing: not read-only, not denied,
// not open elsewhere.
bool IsFileWritable(const std::string& path);
// "Corvandel.log" in the parent folder of the executable's folder; used only when it exists.
std::string MissingLogPath();

// Prunes every writable language file of entries that no window can use; failures are
// silent.
void PruneLanguageFiles(const std::vector<LanguageWindow>& windows);

// The language menu's items, the chosen language checked.
std::vector<LanguageItem> ListLanguages(const std::string& currentLanguage);

// Translates every window from the language's file; none chosen, a missing file or section
// leaves the windows as they are.
void ApplyLanguage(const std::vector<LanguageWindow>& windows, const std::string& language);

}  // namespace corvandel
