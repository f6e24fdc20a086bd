#pragma once
// Decisions taken before and around removing a program: how its uninstaller is started,
// where its key backup goes, and the texts written for the registry editor, the HTML view
// and the backup list. Nothing here touches the machine except through the interfaces.

#include <functional>
#include <string>
#include <vector>

#include "foundation/platform.h"
#include "foundation/system_view.h"

namespace corvandel {

struct RestoreLaunch {
    std::string file;
    std::string parameters;
    bool hidden = false;
};

// How a backup file is imported so that every key comes back into the view its key line
// names. The registry editor does that for a program of the system's own word size. A
// 32-bit program on 64-bit Windows starts the 64-bit import tool through the Sysnative
// alias instead: the editor it would start may be the 32-bit one (Wine's is), which puts
// 64-bit keys under WOW6432Node.
RestoreLaunch PlanRestore(const std::string& backupPath, const SystemView& view);

// A file name (without extension) made from a display name: it never names a folder, a
// device or a path outside the backup folder. Never empty.
std::string SafeBackupFileName(const std::string& caption);

// folderWithSeparator + baseName + ".reg", or the first " (n).reg" variant, n >= 2, that does
// not exist yet.
std::string FreeBackupPath(const std::string& folderWithSeparator, const std::string& baseName,
                           const std::function<bool(const std::string&)>& exists);

// The key path the registry editor remembers as its last position.
std::string RegistryEditorKey(const std::string& root, const std::string& path);

// The program list as an HTML table; every row is the caption followed by the text columns.
// UTF-8 with CR LF line ends.
std::string HtmlReport(const std::string& listName, const std::vector<std::string>& columnCaptions,
                       const std::vector<std::vector<std::string>>& rows);

// "dd.mm.yy hh" + timeSeparator + "mm", as the backup list shows a backup's time.
std::string BackupDateText(const DateTime& t, const std::string& timeSeparator);

}  // namespace corvandel
