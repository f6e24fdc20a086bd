#pragma once

#include <string>

namespace corvandel {

// The main window's caption: "Corvandel", the file version, the bitness tag and, for a
// portable copy, " Portable". Without a version resource the version part stays empty.
inline std::string MainWindowCaption(const std::string& fileVersion, int bitness, bool portable) {
    std::string caption = "Corvandel " + fileVersion + " (" + std::to_string(bitness) + "-bit)";
    if (portable)
        caption += " Portable";
    return caption;
}

}  // namespace corvandel
