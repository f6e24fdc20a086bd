// The language menu of the main window: one item per language file, and what a choice does.

#include "about/about_window_win.h"
#include "app/main_window_win.h"
#include "foundation/win_text.h"
#include "leftovers/leftovers_window_win.h"
#include "queue/queue_window_win.h"
#include "settings/settings_win.h"
#include "ui/commands.h"
#include "update/updater_window_win.h"

namespace corvandel {

namespace {

// Menus take "&" as the mark of an access key; a file name shows as it is written.
std::wstring LiteralMenuText(const std::string& text) {
    std::wstring literal;
    for (const wchar_t c : Widen(text)) {
        literal += c;
        if (c == L'&')
            literal += L'&';
    }
    return literal;
}

}  // namespace

std::vector<LanguageWindow> MainWindow::LanguageWindows() {
    std::vector<LanguageWindow> windows{{&components_, WindowRole::Main}};
    if (about_)
        windows.push_back({&about_->Components(), WindowRole::Other});
    if (update_)
        windows.push_back({&update_->Components(), WindowRole::Update});
    if (queue_)
        windows.push_back({&queue_->Components(), WindowRole::Other});
    if (leftovers_)
        windows.push_back({&leftovers_->Components(), WindowRole::Other});
    return windows;
}

void MainWindow::LoadLanguage() {
    while (GetMenuItemCount(LanguageMenu) > 0)
        DeleteMenu(LanguageMenu, 0, MF_BYPOSITION);
    languageCaptions_.clear();
    for (const LanguageItem& item : ListLanguages(settings_.Values().language)) {
        const int id = kCmdLanguageFirst + static_cast<int>(languageCaptions_.size());
        if (id > kCmdLanguageLast)
            break;
        const std::string caption = LanguageItemCaption(item);
        languageCaptions_.push_back(caption);
        // The display name sits where menus show shortcuts, after the first tab.
        const std::wstring text =
            LiteralMenuText(item.base) + L"\t" + LiteralMenuText(item.display);
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_STATE;
        info.fType = MFT_STRING | MFT_RADIOCHECK;
        info.fState = item.checked ? MFS_CHECKED : MFS_UNCHECKED;
        info.wID = static_cast<UINT>(id);
        info.dwTypeData = const_cast<wchar_t*>(text.c_str());
        InsertMenuItemW(LanguageMenu, GetMenuItemCount(LanguageMenu), TRUE, &info);
    }
}

void MainWindow::LanguageItemClick(size_t index) {
    ReleaseGeneralMenuButton();
    if (index >= languageCaptions_.size())
        return;
    const std::string name = LanguageFromCaption(languageCaptions_[index]);
    const std::string previous = settings_.Values().language;
    settings_.Values().language = name;
    for (size_t i = 0; i < languageCaptions_.size(); ++i) {
        CheckMenuItem(LanguageMenu, kCmdLanguageFirst + static_cast<UINT>(i),
                      MF_BYCOMMAND | (i == index ? MF_CHECKED : MF_UNCHECKED));
    }
    // The choice is stored at once. A settings file that cannot be read is not replaced: the
    // user is told, and the windows stay as they are.
    try {
        settings_.Save(SettingsGroup::Language);
    } catch (const std::exception& e) {
        const std::string where = dynamic_cast<const FileError*>(&e)
                                      ? static_cast<const FileError&>(e).Path() + "\n\n"
                                      : std::string();
        MessageBoxW(hwnd_, Widen(where + e.what()).c_str(),
                    Widen(components_.Caption("LangError")).c_str(), MB_ICONERROR);
        settings_.Values().language = previous;
        LoadLanguage();
        return;
    }
    LoadLanguage();
    ApplyLanguage(LanguageWindows(), name);
    // Texts made from message items (the row count and the like) follow with a new list; a
    // scan under way writes them in the new language when it ends.
    RefreshListMenuClick();
}

}  // namespace corvandel
