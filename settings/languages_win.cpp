#include "settings/languages_win.h"

#include <windows.h>

#include "foundation/files_win.h"
#include "foundation/handle_win.h"
#include "foundation/platform_win.h"
#include "foundation/win_text.h"
#include "settings/settings_win.h"

namespace corvandel {

namespace {

std::optional<IniDocument> ReadLanguageDocument(const std::string& path) {
    try {
        const std::optional<std::string> bytes = ReadWholeFile(path);
        if (!bytes)
            return std::nullopt;
        return IniDocument::Parse(*bytes, SystemAnsiCodePage(), SystemLocale());
    } catch (const FileError&) {
        return std::nullopt;
    }
}

std::vector<const ComponentList*> ComponentsOf(const std::vector<LanguageWindow>& windows) {
    std::vector<const ComponentList*> lists;
    for (const LanguageWindow& window : windows)
        lists.push_back(window.components);
    return lists;
}

}  // namespace

std::string LanguageFolder() {
    return ExecutableFolder() + "Language\\";
}

std::vector<std::string> LanguageFileNames() {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found{};
    const OwnedFind find(FindFirstFileW(Widen(LanguageFolder() + "*.ini").c_str(), &found));
    if (!find)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Narrow(name));
    } while (FindNextFileW(find.Get(), &found));
    return names;
}

bool IsFileWritable(const std::string& path) {
    const OwnedFile file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid();
}

std::string MissingLogPath() {
    std::string folder = ExecutableFolder();
    if (!folder.empty())
        folder.pop_back();
    const size_t separator = folder.find_last_of("\\/");
    // A program at the root of a drive has no parent folder: its own folder serves.
    const std::string parent =
        separator == std::string::npos ? folder + "\\" : folder.substr(0, separator + 1);
    return parent + kApplicationTitle + ".log";
}

void PruneLanguageFiles(const std::vector<LanguageWindow>& windows) {
    const std::vector<const ComponentList*> lists = ComponentsOf(windows);
    for (const std::string& name : LanguageFileNames()) {
        const std::string path = LanguageFolder() + name;
        if (!IsFileWritable(path))
            continue;
        std::optional<IniDocument> document = ReadLanguageDocument(path);
        if (!document || !CleanLanguageDocument(*document, lists))
            continue;
        // Checked again just before writing: the file may have been opened meanwhile.
        if (!IsFileWritable(path))
            continue;
        try {
            WriteWholeFile(path, document->Serialize());
        } catch (const FileError&) {
        }
    }
}

std::vector<LanguageItem> ListLanguages(const std::string& currentLanguage) {
    const std::string folder = LanguageFolder();
    return LanguageItems(
        LanguageFileNames(), currentLanguage, SystemLocale(),
        [&](const std::string& fileName) -> std::optional<std::string> {
            const std::optional<IniDocument> document = ReadLanguageDocument(folder + fileName);
            if (!document)
                return std::nullopt;
            const std::string name = document->ReadString("Language information", "LANGNAME", "");
            if (name.empty())
                return std::nullopt;
            return name;
        });
}

void ApplyLanguage(const std::vector<LanguageWindow>& windows, const std::string& language) {
    Translation translation(SystemLocale());
    for (const LanguageWindow& window : windows) {
        // The language file is read afresh for every window.
        const std::optional<IniDocument> document =
            ReadLanguageDocument(LanguageFolder() + language + ".ini");
        if (!document || !document->SectionExists(kApplicationTitle))
            continue;
        const std::string logPath = MissingLogPath();
        std::optional<std::string> log;
        try {
            log = ReadWholeFile(logPath);
        } catch (const FileError&) {
            log.reset();
        }
        translation.TranslateForm(
            *window.components, window.role, document->ReadSectionValues(kApplicationTitle),
            log ? ParseLogLines(*log, SystemAnsiCodePage()) : std::vector<std::string>());
        if (log && !translation.Missing().empty()) {
            try {
                WriteWholeFile(logPath, SerializeLogLines(translation.Missing()));
            } catch (const FileError&) {
            }
        }
    }
}

}  // namespace corvandel
