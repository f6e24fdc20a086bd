#pragma once
// The queue window: the entries chosen for uninstalling in the order they will run, each with
// its state; the choice between quiet and interactive runs; overall progress; "Стоп", which
// lets the running uninstaller finish and starts no further one. It stays beside the main
// window, which can still be read while the queue runs.

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/handle_win.h"
#include "queue/uninstall_queue_win.h"
#include "ui/component.h"
#include "ui/controls_win.h"
#include "ui/dpi_win.h"

namespace corvandel {

// One entry the user chose, in the list's words.
struct QueueChoice {
    QueueItem item;
    bool ownEntry = false;  // the entry of this program itself: run last, after a question
};

class QueueWindow {
  public:
    QueueWindow() = default;
    ~QueueWindow();
    QueueWindow(const QueueWindow&) = delete;
    QueueWindow& operator=(const QueueWindow&) = delete;

    // Builds the hidden window once, owned by the main window.
    bool Create(HWND owner);
    ComponentList& Components() { return components_; }
    // True from "Начать" until the last entry has its state.
    bool Running() const { return queue_ != nullptr && running_; }
    // Shows the window with these entries, ready to start; while a queue runs it only shows the
    // window as it is.
    void Open(std::vector<QueueChoice> choices);
    // The entries the last queue removed.
    std::vector<QueueItem> RemovedItems() const;
    // Called once a queue has ended, after its last state is shown.
    void OnFinished(std::function<void()> finished) { finished_ = std::move(finished); }
    // Called off the window's thread before each uninstaller of a queue starts.
    void BeforeEachRun(std::function<void(const QueueItem&)> beforeRun) {
        beforeRun_ = std::move(beforeRun);
    }
    // The window is closing with the program: stop waiting for the running uninstaller.
    void StopWork() { queue_.reset(); }
    HWND Handle() const { return hwnd_; }

  private:
    template <typename Window>
    friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyDpi(int dpi, const RECT* suggested);
    void Layout();
    std::string Text(const stored::TextOnly& text) const { return components_.Caption(text); }
    std::string StateText(const QueueItemState& state) const;
    LRESULT DrawRow(NMLVCUSTOMDRAW& draw) const;

    void Start();
    void StateChanged(size_t row, const QueueItemState& state);
    void Finished();
    void ShowProgress();
    void EnableControls();

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    DpiScale scale_;
    ComponentList components_;
    ListView ListViewQueue;
    Button RadioQuiet;
    Button RadioQuietOnly;
    Button RadioInteractive;
    Control ProgressBarQueue;
    TextControl LabelQueueStatus;
    Button ButtonStart;
    Button ButtonStop;
    Button ButtonClose;
    OwnedFont font_;

    std::vector<QueueChoice> choices_;
    std::vector<QueueItemState> states_;
    std::vector<size_t> rows_;  // the list row of each queued entry, in queue order
    bool running_ = false;
    bool stopAsked_ = false;
    std::function<void()> finished_;
    std::function<void(const QueueItem&)> beforeRun_;
    std::unique_ptr<UninstallQueue> queue_;  // last: stopped before what it reports to goes
};

}  // namespace corvandel
