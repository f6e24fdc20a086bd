#pragma once
// The backups page of the main window: the ".reg" files that deletions wrote, listed with
// size and date, restored into the registry views they came from, deleted one or all.

#include <string>
#include <vector>

#include "ui/controls_win.h"
#include "ui/page_host_win.h"

namespace corvandel {

class BackupsPage {
  public:
    BackupsPage(PageHost& host, ListView& list);
    // The backup folder (with its separator) and the Windows folder.
    void SetFolders(std::string backupFolder, std::string windowsFolder);

    // Lists the folder anew, with the page's buttons disabled meanwhile.
    void Update();
    // Lists the backups of folder (and of its sub-folders named *.reg); true when one was
    // listed. The top folder clears the list first.
    bool ListBackups(const std::string& folder);
    void Restore();
    void Delete();
    void DeleteAll();

  private:
    PageHost& host_;
    ListView& list_;
    std::string folder_;
    std::string windowsFolder_;
    std::vector<std::string> paths_;  // full path of each row, by the row's index
};

}  // namespace corvandel
