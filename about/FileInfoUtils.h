#pragma once
// Strings and the version number from an executable's version resource. Every result is
// empty when nothing is found. No shared state: safe to call from any thread.

#include <string>

namespace corvandel {

std::string GetVersionInfoValue(const std::string& fileName, const std::string& name);
std::string GetLegalCopyright(const std::string& fileName);
std::string GetCompanyName(const std::string& fileName);
std::string GetFileVersion(const std::string& fileName);

}  // namespace corvandel
