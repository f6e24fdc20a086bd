#pragma once
// The administrators' command line as the program runs it: the command-line code with what
// the windows' side lends it (the report's column captions, the record kept before each
// uninstall).

#include <string>
#include <vector>

namespace corvandel {

// Runs the command line given by args (after the program's name); the exit code.
int RunAdministratorCommand(const std::vector<std::string>& args);

}  // namespace corvandel
