#include "foundation/system_library_win.h"

#include <string>

namespace corvandel {

FARPROC SystemLibraryFunction(const wchar_t* library, const char* name) {
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const FARPROC function = module != nullptr ? GetProcAddress(module, name) : nullptr;
    if (function == nullptr) {
        std::wstring text = L"Corvandel: ";
        text += library;
        text += L" ";
        for (const char* c = name; *c != '\0'; ++c)
            text += static_cast<wchar_t>(*c);
        FatalAppExitW(0, text.c_str());
    }
    return function;
}

}  // namespace corvandel
