#pragma once
// Functions of the system libraries that are not among the system's known libraries (HTTP,
// cryptography, version resources, themes, window composition), looked up in the system
// folder at their first call. Imported by the executable, they would be found by the loader's
// own search, which looks in the program's folder first and runs before any code of the
// program: a portable copy started from a download folder would load whatever library of that
// name lies beside it.

#include <windows.h>

namespace corvandel {

// The function of the library in the system folder. A system without it (none that the
// program runs on) ends the program with a message rather than a crash.
FARPROC SystemLibraryFunction(const wchar_t* library, const char* name);

}  // namespace corvandel

// CORVANDEL_SYSTEM_CALL(L"winhttp.dll", WinHttpOpen)(arguments...): the call, through the
// function found once in the system folder, with the declared signature.
#define CORVANDEL_SYSTEM_CALL(library, function)                                              \
    ([]() -> decltype(&::function) {                                                          \
        static const auto found = reinterpret_cast<decltype(&::function)>(                    \
            reinterpret_cast<void*>(::corvandel::SystemLibraryFunction(library, #function))); \
        return found;                                                                         \
    }())
