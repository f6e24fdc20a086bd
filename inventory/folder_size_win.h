#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace corvandel {

// Total size of the files below a folder. keepGoing runs after every entry (the window
// handles its messages there) and ends the walk when it returns false: the result is then
// empty. Directory links are counted as entries but not entered, so a link cycle cannot
// make the walk endless. A folder that cannot be listed contributes 0.
std::optional<int64_t> GetFolderSize(const std::string& folder,
                                     const std::function<bool()>& keepGoing);

}  // namespace corvandel
