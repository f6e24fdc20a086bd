#pragma once
// Opening something with the rights of the user at the desktop rather than this program's.
// The program usually runs elevated; what an entry's values name (a web page) must not open
// with an administrator's token: the desktop's own shell opens it instead.

#include <string>

namespace corvandel {

// Opens the address through the desktop's shell (Explorer), which runs with the logged-on
// user's own token; a program that is not elevated opens it itself. False when neither could.
bool OpenAsDesktopUser(const std::wstring& address);

}  // namespace corvandel
