#pragma once
// The language files beside the program: pruning entries that no window can use, the items of
// the language menu, and the log of texts a language file lacks.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/platform.h"
#include "settings/IniDocument.h"
#include "ui/component.h"

namespace corvandel {

// Removes from every section except "Language information" and "DestDir": entries whose key
// has no ".", names no window, or names no component of that window; earlier entries of a key
// written again; sections left empty. True when the document changed.
bool CleanLanguageDocument(IniDocument& document, const std::vector<const ComponentList*>& windows);

struct LanguageItem {
    std::string base;     // the file name without its extension: what the settings store
    std::string display;  // the file's LANGNAME, or the base name
    bool checked = false;
};

// The menu's items for the files of the language folder, sorted by name ignoring case.
// `displayName` gives a file's LANGNAME, or nothing when it has none or cannot be read.
std::vector<LanguageItem> LanguageItems(
    const std::vector<std::string>& fileNames, const std::string& currentLanguage,
    const Locale& locale,
    const std::function<std::optional<std::string>(const std::string& fileName)>& displayName);

// A menu item's caption: the base name on the left, the display name where shortcuts show.
std::string LanguageItemCaption(const LanguageItem& item);
// The language a caption names: the text before its first tab.
std::string LanguageFromCaption(const std::string& caption);

// The missing-translation log: read by byte-order mark (the ANSI code page otherwise) and
// written as UTF-16 LE with a mark, one line each, CR LF.
std::vector<std::string> ParseLogLines(const std::string& bytes, const AnsiCodePage& ansi);
std::string SerializeLogLines(const std::vector<std::string>& lines);

}  // namespace corvandel
