#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace corvandel {

// Text columns of a program-list row, addressed by number everywhere in the program.
enum EntryColumn : int {
    kColPublisher = 0,
    kColVersion = 1,
    kColInstallDate = 2,
    kColInstallLocation = 3,
    kColUninstallString = 4,
    kColRootName = 5,
    kColKeyPath = 6,
    kColUrlInfoAbout = 7,
    kColIconSource = 8,
    kEntryColumnCount = 9,
};

// One row of the program list: the "DisplayName" caption, an image index and nine texts.
struct UninstallEntry {
    std::string caption;
    int imageIndex = 0;
    std::array<std::string, kEntryColumnCount> columns;
    // The "DisplayIcon" value as read (nothing when the entry has none): the icon source is
    // worked out from it after the list is shown.
    std::optional<std::string> displayIcon;
    // The row's place in the full list of the last scan; the list's rows keep it through
    // sorting and searching, so late results find their rows.
    uint32_t id = 0;
    // The uninstall command names a program file that is gone; known once the icons' job has
    // looked.
    bool uninstallerMissing = false;
    // The entry key's last write (FILETIME, UTC), which the date column shows; 0 when unknown.
    uint64_t writeTime = 0;

    bool operator==(const UninstallEntry&) const = default;
};

}  // namespace corvandel
