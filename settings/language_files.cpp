#include "settings/language_files.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "foundation/text.h"

namespace corvandel {

namespace {

// The names of a window and of its components, in ASCII lower case.
struct WindowNames {
    std::string window;
    std::unordered_set<std::string> components;
};

bool IsKeptSection(const std::string& section) {
    const std::string name = AsciiLower(section);
    return name == "language information" || name == "destdir";
}

// Whether a key names a window and, when it goes on past the component, one of its components.
bool NamesSomething(const std::string& key, const std::vector<WindowNames>& windows) {
    const size_t dot = key.find('.');
    const std::string window = AsciiLower(key.substr(0, dot));
    const std::string rest = key.substr(dot + 1);
    for (const WindowNames& names : windows) {
        if (names.window != window)
            continue;
        const size_t next = rest.find('.');
        return next == std::string::npos ||
               names.components.count(AsciiLower(rest.substr(0, next))) != 0;
    }
    return false;
}

}  // namespace

bool CleanLanguageDocument(IniDocument& document,
                           const std::vector<const ComponentList*>& windows) {
    std::vector<WindowNames> names;
    for (const ComponentList* window : windows) {
        if (window->Items().empty())
            continue;
        WindowNames entry{AsciiLower(window->Items().front()->Name()), {}};
        for (const auto& component : window->Items())
            entry.components.insert(AsciiLower(component->Name()));
        names.push_back(std::move(entry));
    }
    bool modified = false;
    for (const std::string& section : document.ReadSections()) {
        if (IsKeptSection(section))
            continue;
        const std::vector<std::string> keys = document.ReadSection(section);
        // Where each key (ignoring case) first appears: a later one is a repetition.
        std::unordered_map<std::string, size_t> first;
        for (size_t j = 0; j < keys.size(); ++j)
            first.emplace(AsciiLower(keys[j]), j);
        for (size_t j = keys.size(); j-- > 0;) {
            const std::string& key = keys[j];
            const bool repeated = first.at(AsciiLower(key)) < j;
            if (key.find('.') == std::string::npos || repeated || !NamesSomething(key, names)) {
                // Deleting by name removes the first entry of that name: of a key written
                // several times, the last one stays.
                document.DeleteKey(section, key);
                modified = true;
            }
        }
        if (document.ReadSection(section).empty()) {
            document.EraseSection(section);
            modified = true;
        }
    }
    return modified;
}

std::vector<LanguageItem> LanguageItems(
    const std::vector<std::string>& fileNames, const std::string& currentLanguage,
    const Locale& locale,
    const std::function<std::optional<std::string>(const std::string& fileName)>& displayName) {
    std::vector<std::pair<std::u16string, std::string>> sorted;
    for (const std::string& name : fileNames)
        sorted.emplace_back(locale.ToUpper(Utf8ToUtf16(name)), name);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<LanguageItem> items;
    for (const auto& [folded, name] : sorted) {
        LanguageItem item;
        const size_t dot = name.rfind('.');
        item.base = dot == std::string::npos ? name : name.substr(0, dot);
        item.display = displayName(name).value_or(item.base);
        item.checked = item.base == currentLanguage ||
                       AsciiLower(item.base) == AsciiLower(currentLanguage) ||
                       item.base + ".ini" == currentLanguage;
        items.push_back(std::move(item));
    }
    return items;
}

std::string LanguageItemCaption(const LanguageItem& item) {
    return item.base + "\t\t" + item.display;
}

std::string LanguageFromCaption(const std::string& caption) {
    return caption.substr(0, caption.find('\t'));
}

std::vector<std::string> ParseLogLines(const std::string& bytes, const AnsiCodePage& ansi) {
    const std::string text = DecodeTextFile(bytes, ansi);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++pos;
    }
    return lines;
}

std::string SerializeLogLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return std::string("\xFF\xFE") + Utf16Bytes(text, false);
}

}  // namespace corvandel
