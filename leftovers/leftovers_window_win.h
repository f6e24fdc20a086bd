#pragma once
// The leftovers window: what removed programs left behind, grouped by kind under a heading with
// each kind's count, each item with its size, the evidence that ties it to its program and a
// confidence; high-confidence items are ticked at first. A details box under the list (and the
// row's tip) shows the selected item whole; the status line keeps the count and size of what is
// ticked. "Удалить выбранное" moves the ticked items into a quarantine after a question;
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

    // Builds the hidden window once; quarantineRoot tells, when a clean-up is made, where
    // clean-ups are kept (asked then, not at start: finding it checks a folder).
    bool Create(HWND owner, std::function<std::string()> quarantineRoot);
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
    // Each column as wide as its widest text or caption, within its limits at this DPI.
    void FitColumns();
    std::string Text(const stored::TextOnly& text) const { return components_.Caption(text); }

    void Found(std::vector<Offer> offers, std::vector<std::string> unreadable);
    void RemoveChosen();
    void Removed(const CleanupOutcome& outcome);
    void Cancel();
    // The offer a row shows; none for a kind's heading row.
    const Offer* OfferAt(int row) const;
    bool Checked(int row) const;
    void SetStatus(const std::string& text);
    // The found count with the count and size of what is ticked, then what could not be read.
    void ShowChosen();
    // Everything about one row's item, as the details box and the row's tip show it.
    std::string DetailsOf(int row) const;
    void ShowDetails(int row);

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    DpiScale scale_;
    ComponentList components_;
    ListView ListViewLeftovers;
    Edit MemoLeftoversDetails;
    TextControl LabelLeftoversStatus;
    Button ButtonRemoveChosen;
    Button ButtonCancel;
    OwnedFont font_;
    OwnedFont boldFont_;  // the kinds' heading rows

    std::function<std::string()> quarantineRoot_;
    std::vector<std::string> records_;  // the record files searched
    std::string programs_;              // their programs' names
    std::vector<Offer> offers_;         // grouped by kind
    std::vector<int> rowOffers_;        // each list row's offer; -1 for a kind's heading row
    std::vector<std::string> results_;  // what became of each offer, once removed
    std::string unreadable_;            // the status lines of records that could not be read
    bool busy_ = false;                 // searching
    bool removing_ = false;
    bool finished_ = false;  // removed: the rows stay as the report of what happened
    bool filling_ = false;   // rows are being added: their ticks are the program's
    std::function<void()> cleanedUp_;
    std::unique_ptr<Job> job_;  // last: stopped before what it reports to goes
};

}  // namespace corvandel
