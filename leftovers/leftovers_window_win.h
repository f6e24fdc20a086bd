#pragma once
// The leftovers window: what removed programs left behind, grouped by kind, each item with the
// evidence that ties it to its program and a confidence; high-confidence items are ticked at
// first. "Удалить выбранное" moves the ticked items into a quarantine after a question;
// "Отмена" stops a search or closes the window at any step.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/handle_win.h"
#include "foundation/job.h"
#include "leftovers/leftover_rules.h"
#include "leftovers/quarantine_win.h"
#include "ui/component.h"
#include "ui/controls_win.h"
#include "ui/dpi_win.h"

namespace corvandel {

class LeftoversWindow {
  public:
    LeftoversWindow() = default;
    ~LeftoversWindow();
    LeftoversWindow(const LeftoversWindow&) = delete;
    LeftoversWindow& operator=(const LeftoversWindow&) = delete;

    // Builds the hidden window once; quarantineRoot is where clean-ups are kept.
    bool Create(HWND owner, std::string quarantineRoot);
    ComponentList& Components() { return components_; }
    HWND Handle() const { return hwnd_; }
    // Shows the window and searches for what the programs of these record files left behind.
    // Ignored while a removal runs.
    void Open(std::vector<std::string> recordFiles);
    // Called after a clean-up, when the backups page may have something new to list.
    void OnCleanedUp(std::function<void()> cleanedUp) { cleanedUp_ = std::move(cleanedUp); }
    void StopWork() { job_.reset(); }

  private:
    template <typename Window>
    friend LRESULT CALLBACK RoutedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyDpi(int dpi, const RECT* suggested);
    void Layout();
    std::string Text(const stored::TextOnly& text) const { return components_.Caption(text); }

    void Found(std::vector<Offer> offers, std::vector<std::string> unreadable);
    void RemoveChosen();
    void Removed(const CleanupOutcome& outcome);
    void Cancel();
    bool Checked(int row) const;
    void SetStatus(const std::string& text);

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    DpiScale scale_;
    ComponentList components_;
    ListView ListViewLeftovers;
    TextControl LabelLeftoversStatus;
    Button ButtonRemoveChosen;
    Button ButtonCancel;
    OwnedFont font_;

    std::string quarantineRoot_;
    std::vector<std::string> records_;  // the record files searched
    std::string programs_;              // their programs' names
    std::vector<Offer> offers_;         // one per list row
    bool busy_ = false;                 // searching
    bool removing_ = false;
    bool filling_ = false;  // rows are being added: their ticks are the program's
    std::function<void()> cleanedUp_;
    std::unique_ptr<Job> job_;  // last: stopped before what it reports to goes
};

}  // namespace corvandel
