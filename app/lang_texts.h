#pragma once
// Default texts of the main window's messages. They live as captions of hidden menu items,
// translated with the window and read at the moment a message is shown.

#include <array>
#include <utility>

namespace corvandel::lang {

inline constexpr std::array<std::pair<const char*, const char*>, 9> kMessageTexts{{
    {"LangAttention", "Внимание!"},
    {"LangTotal", "Всего: "},
    {"LangLoadingData", "Загрузка данных: "},
    {"LangDelete", "Удалить"},
    {"LangOnlyWindows", "Эта программа совместима только с Windows 10 и Windows 11."},
    {"LangError", "Ошибка"},
    {"LangSize", "Размер: "},
    {"LangElements", "Элементов:"},
    {"LangNoBackup", "Резервная копия не сохранена, запись не удалена."},
}};

}  // namespace corvandel::lang
