#pragma once
// Runs the administrators' command line (/list, /uninstall, /report, /leftovers, /cleanups,
// /restore, /?) without any window:
// output to the standard handles (a console, a pipe, a file) or to the /out file, the result
// as the exit code. Shared by Corvandel.exe and its console companion Corvandel.com.

#include <functional>
#include <string>
#include <vector>

namespace corvandel {

// What the program above the command line lends it.
struct CommandLineServices {
    // The captions of the list's visible columns, for the HTML report.
    std::vector<std::string> reportCaptions;
    // Called on the queue's thread just before an entry's uninstaller starts, with the entry's
    // root name and key path as the list holds them; the record it kept (empty for none).
    std::function<std::string(const std::string& rootName, const std::string& keyPath)>
        beforeUninstall;
    // Where this copy keeps its records and clean-ups (with separators); both empty, and the
    // refused folder named, when they are not to be used in this run.
    std::string recordFolder;
    std::string quarantineFolder;
    std::string refusedDataFolder;
};

// The arguments of the running process after the program's name, as UTF-8.
std::vector<std::string> ProcessArguments();

// Runs one command line; the process's exit code.
int RunCommandLine(const std::vector<std::string>& args, const CommandLineServices& services);

}  // namespace corvandel
