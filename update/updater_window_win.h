#pragma once
// The update window: the local and the server's version, the check's result, the download
// with its progress and cancel, and three options. The check and the download run on worker
// threads that hand every change of the window to its own thread.

#include <windows.h>

#include <shobjidl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/handle_win.h"
#include "foundation/job.h"
#include "settings/settings_win.h"
#include "ui/component.h"
#include "ui/control_ids.h"
#include "ui/controls_win.h"
#include "ui/dpi_win.h"
#include "update/update_rules.h"

namespace corvandel {

// How a download ended: only a verified package is written and applied. NoSignature: no
// signed release file beside the package; BadSignature: the release file's signature does not
// verify, or the release does not vouch for this package (its version, its bytes).
enum class DownloadOutcome { Failed, NoSignature, BadSignature, Verified };
struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Failed;
    std::string package;
};

// An installer this download wrote, in a folder of its own, held open against writers.
struct HeldPackage {
    std::string path;
    OwnedFile file;
};

class UpdaterWindow {
  public:
    UpdaterWindow() = default;
    ~UpdaterWindow();
    UpdaterWindow(const UpdaterWindow&) = delete;
    UpdaterWindow& operator=(const UpdaterWindow&) = delete;

    // FormCreate: builds the window and reads its option; with the option ticked, the
    // start-up check begins.
    bool Create(SettingsStore& settings);
    // Asks the checks and the download to stop; true when they all ended within the limit.
    bool StopWork(std::chrono::milliseconds limit);
    // FormShow, then the window's own message loop until it is closed (FormClose).
    void ShowModal(HWND owner);
    ComponentList& Components() { return components_; }
    // True once an installer was started to replace the program: it ends without saving.
    bool ExitingForUpdate() const { return exitingForUpdate_; }

  private:
    template <typename Window>
    friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Fonts for the DPI, given to the controls; then the window takes the suggested rectangle
    // (WM_DPICHANGED) or, without one, the design's size, and is laid out.
    void ApplyDpi(int dpi, const RECT* suggested);
    void Layout();
    std::string Text(const stored::TextOnly& text) const { return components_.Caption(text); }
    void SetLabel(const stored::ComponentName& name, const std::string& text);

    void LoadOptions();
    void SaveOptions();
    UpdateServers Servers() const;
    // Asks the servers for their version off this thread; done gets the answer here.
    std::unique_ptr<Job> StartVersionCheck(
        std::function<void(std::optional<std::pair<std::string, std::string>>)> done);
    void CheckForUpdatesInBackground();
    void ShowUpdatePrompt(bool available, const std::string& version, const std::string& url);
    void FormShow();
    void FormClose();
    void StartCheck();
    void CheckDone(std::optional<std::pair<std::string, std::string>> found);
    void QuickStartUpdate();

    void ButtonDownloadClick();
    void ForceUpdateClick();
    void StartDownload();
    void CancelDownload();
    void DownloadProgress(int percent);
    void DownloadDone(const DownloadResult& result);
    void StartInstaller(const HeldPackage& installer);
    // Writes and starts the script that replaces a portable copy's files from the archive,
    // and ends the program; returns only when the script could not be written.
    void SimplePortableUpdate(const std::string& zipInAppDir, const std::string& zipSha256,
                              const std::string& currentExePath);
    void ShowIdle(const std::string& status);
    void SetTaskbarProgress(int percent);

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    SettingsStore* settings_ = nullptr;
    bool portable_ = false;
    bool closed_ = true;
    DpiScale scale_;
    ComponentList components_;
    Control TabControlButtons;
    Button ButtonDownload;
    Button ButtonClose;
    TextControl GroupBoxOption;
    Button CheckBoxQuickUpdate;
    Button CheckBoxForceUpdate;
    Button CheckBoxAutoCheck;
    Control ProgressBarUpdate;
    Control GroupBox1;
    TextControl LabelUpDate;
    TextControl LabelLocalTitle;
    TextControl LabelLocalVersion;
    TextControl LabelServerTitle;
    TextControl LabelServerVersion;
    OwnedFont font_;
    OwnedFont boldFont_;
    ITaskbarList3* taskbar_ = nullptr;
    static UINT TaskbarButtonCreated();

    // What the last check found, and what the start-up check found.
    std::string DownloadUrl;
    std::string CurrentServerVersion;
    int CompareResult = 0;
    std::string BackgroundServerVersion;
    std::string BackgroundDownloadUrl;
    bool QuickStartPending = false;

    bool downloading_ = false;
    bool exitingForUpdate_ = false;
    // A settings file that cannot be written is reported at the first close only.
    bool saveFailureShown_ = false;

    // Last, so that they are stopped and joined before anything they report to goes.
    std::unique_ptr<Job> backgroundCheck_;
    std::unique_ptr<Job> check_;
    std::unique_ptr<Job> download_;
};

}  // namespace corvandel
