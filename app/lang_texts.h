#pragma once
// Default texts of the main window's messages, as the user sees them before any translation.

namespace corvandel::lang {

inline constexpr const char* kLangAttention = "Внимание!";
inline constexpr const char* kLangTotal = "Всего: ";
inline constexpr const char* kLangLoadingData = "Загрузка данных: ";
inline constexpr const char* kLangDelete = "Удалить";
inline constexpr const char* kLangOnlyWindows =
    "Эта программа совместима только с Windows 10 и Windows 11.";
inline constexpr const char* kLangError = "Ошибка";
inline constexpr const char* kLangSize = "Размер: ";
inline constexpr const char* kLangElements = "Элементов:";

}  // namespace corvandel::lang
