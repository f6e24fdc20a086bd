#pragma once
// The system's own text for an error code, as message boxes show it.

#include <cstdint>
#include <string>

namespace corvandel {

// FormatMessageW's text without its trailing line break; "System error N" when the system
// has none.
std::string SystemErrorText(uint32_t code);

}  // namespace corvandel
