#include "settings/settings_win.h"

#include <windows.h>

#include "about/FileInfoUtils.h"
#include "foundation/files_win.h"
#include "foundation/platform_win.h"
#include "foundation/win_text.h"
#include "settings/settings.h"

namespace corvandel {

namespace {

// The conversion calls count in int; larger text goes through in pieces of this size.
constexpr size_t kConversionChunk = size_t{1} << 24;

}  // namespace

std::string Win32AnsiCodePage::ToUtf8(std::string_view ansi) const {
    std::wstring wide;
    while (!ansi.empty()) {
        size_t take = ansi.size();
        if (take > kConversionChunk) {
            // A byte below 0x40 is never part of a double-byte character, so the cut after it
            // splits no character; in the UTF-8 code page it is ASCII.
            take = kConversionChunk;
            while (take > 0 && static_cast<unsigned char>(ansi[take - 1]) >= 0x40)
                --take;
            if (take == 0)
                take = kConversionChunk;
        }
        const int size = static_cast<int>(take);
        const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
        const size_t start = wide.size();
        wide.resize(start + static_cast<size_t>(units));
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data() + start, units);
        ansi.remove_prefix(take);
    }
    return Narrow(wide);
}

std::string Win32AnsiCodePage::FromUtf8(std::string_view utf8) const {
    const std::wstring wide = Widen(utf8);
    std::wstring_view rest(wide);
    std::string ansi;
    while (!rest.empty()) {
        size_t take = rest.size();
        if (take > kConversionChunk) {
            take = kConversionChunk;
            if (rest[take - 1] >= 0xD800 && rest[take - 1] <= 0xDBFF)
                --take;  // keep a surrogate pair together
        }
        const int size = static_cast<int>(take);
        // No flags: characters the code page lacks get the system's best fit, else '?'.
        const int bytes =
            WideCharToMultiByte(CP_ACP, 0, rest.data(), size, nullptr, 0, nullptr, nullptr);
        const size_t start = ansi.size();
        ansi.resize(start + static_cast<size_t>(bytes));
        WideCharToMultiByte(CP_ACP, 0, rest.data(), size, ansi.data() + start, bytes, nullptr,
                            nullptr);
        rest.remove_prefix(take);
    }
    return ansi;
}

const AnsiCodePage& SystemAnsiCodePage() {
    static const Win32AnsiCodePage codePage;
    return codePage;
}

const Locale& SystemLocale() {
    static const Win32Locale locale;
    return locale;
}

IniDocument LoadSettingsDocument(const std::string& path) {
    return IniDocument::Parse(ReadWholeFile(path).value_or(std::string()), SystemAnsiCodePage(),
                              SystemLocale());
}

void SaveSettingsDocument(const IniDocument& document, const std::string& path) {
    WriteWholeFile(path, document.Serialize());
}

bool IsPortableCopy() {
    return Win32FileSystem().FileExists(ExecutableFolder() + "portable.ini");
}

SettingsStore::SettingsStore(bool portable)
    : portable_(portable),
      path_(SettingsFilePath(portable, ExecutableFolder(), GetSpecialFolder(kCsidlAppData),
                             GetCompanyName(ExecutablePath()))) {}

void SettingsStore::Load() {
    try {
        values_ = ReadSettings(LoadSettingsDocument(path_));
        readError_.clear();
    } catch (const SettingsReadError& e) {
        values_ = Settings{};
        readError_ = e.Path() + "\n\n" + e.what();
    }
}

void SettingsStore::Save(SettingsGroup group, bool replaceUnreadable) const {
    IniDocument document(SystemAnsiCodePage(), SystemLocale());
    try {
        document = LoadSettingsDocument(path_);
    } catch (const SettingsReadError&) {
        if (!replaceUnreadable)
            throw;
    }
    WriteSettings(values_, group, document);
    CreateFolderTree(path_.substr(0, path_.find_last_of('\\')));
    SaveSettingsDocument(document, path_);
}

}  // namespace corvandel
