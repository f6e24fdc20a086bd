#include "foundation/error_text_win.h"

#include <windows.h>

#include "foundation/win_text.h"

namespace corvandel {

std::string SystemErrorText(uint32_t code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
    if (buffer != nullptr)
        LocalFree(buffer);
    // System messages end in CR LF, which would show as an empty line in a message box.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    if (text.empty())
        return "System error " + std::to_string(code);
    return Narrow(text);
}

}  // namespace corvandel
