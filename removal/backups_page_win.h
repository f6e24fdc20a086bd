#pragma once
// The backups page of the main window: the ".reg" files that deletions wrote, listed with
// size and date, restored into the registry views they came from, deleted one or all.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/controls_win.h"
#include "ui/page_host_win.h"

namespace corvandel {

// A row the page lists after the ".reg" files, for what other parts of the program keep
// beside them; its commands go back to whoever listed it.
struct OtherBackup {
    std::string caption;
    std::string path;  // a file or a folder, for its icon and its identity
    int64_t size = 0;
    uint64_t written = 0;  // the system's 100 ns units, UTC
    int kind = 0;          // the lister's own
};

enum class BackupAction { Restore, Delete, FindLeftovers };

struct OtherBackups {
    std::function<std::vector<OtherBackup>()> list;
    // True when the page should list its rows anew.
    std::function<bool(const OtherBackup&, BackupAction)> act;
};

class BackupsPage {
  public:
    BackupsPage(PageHost& host, ListView& list);
    // The backup folder, with its separator.
    void SetFolder(std::string backupFolder);

    // Lists the folder anew, with the page's buttons disabled meanwhile.
    void Update();
    // Lists the backups of folder (and of its sub-folders named *.reg); true when one was
    // listed. The top folder clears the list first.
    bool ListBackups(const std::string& folder);
    void SetOtherBackups(OtherBackups others) { others_ = std::move(others); }
    // Asked before a backup is imported with an administrator's rights from a folder standard
    // users can change (the file's name proves nothing); true to go on.
    void SetUntrustedRestoreQuestion(std::function<bool(const std::string& folder)> ask) {
        askUntrusted_ = std::move(ask);
    }
    void Restore();
    void Delete();
    // Deletes the ".reg" files; other rows stay.
    void DeleteAll();
    // "Найти остатки" on a row that has them to find.
    void FindLeftovers();

  private:
    PageHost& host_;
    ListView& list_;
    std::string folder_;
    std::vector<std::string> paths_;  // full path of each row, by the row's index
    OtherBackups others_;
    std::function<bool(const std::string& folder)> askUntrusted_;
    std::vector<OtherBackup> otherRows_;  // by the row's index less the ".reg" rows

    void AddRow(const std::string& caption, const std::string& path, int64_t size,
                const FILETIME& written, LPARAM param);
    // The selected row's other backup, when it is one.
    const OtherBackup* SelectedOther() const;
    void Act(BackupAction action);
    void ListOthers();
};

}  // namespace corvandel
