#include "leftovers/leftovers_window_win.h"

#include <commctrl.h>

#include <algorithm>

#include "appearance/theme_win.h"
#include "foundation/error_text_win.h"
#include "foundation/gui_thread_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"
#include "leftovers/candidates_win.h"
#include "ui/control_ids.h"
#include "ui/fonts_win.h"
#include "ui/modal_win.h"
#include "ui/stored_names.h"
#include "ui/window_proc_win.h"

namespace corvandel {

namespace {

namespace names = stored::leftovers_window;

constexpr int kClientWidth = 760;
constexpr int kClientHeight = 420;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_BORDER | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kColumnCount = 5;
constexpr int kResultColumn = 4;

constexpr ColumnDesign kColumns[] = {
    {"Что осталось", 260, 80, 0, false, LVCFMT_LEFT},
    {"Вид", 90, 50, 0, false, LVCFMT_LEFT},
    {"Почему", 250, 80, 0, false, LVCFMT_LEFT},
    {"Уверенность", 80, 50, 0, false, LVCFMT_LEFT},
    {"Итог", 120, 50, 0, false, LVCFMT_LEFT},
};

// Services and tasks are shown for what they are, but stopping and unregistering them is the
// system's business.
bool Removable(LeftoverKind kind) {
    return kind != LeftoverKind::Service && kind != LeftoverKind::Task;
}

}  // namespace

LeftoversWindow::~LeftoversWindow() {
    job_.reset();
}

bool LeftoversWindow::Create(HWND owner, std::string quarantineRoot) {
    owner_ = owner;
    quarantineRoot_ = std::move(quarantineRoot);
    if (!RegisterRoutedClass<LeftoversWindow>(stored::kLeftoversWindow.windowClass))
        return false;
    const std::string caption = "Остатки удалённых программ";
    hwnd_ = CreateWindowExW(kExStyle, stored::kLeftoversWindow.windowClass, Widen(caption).c_str(),
                            kStyle, 0, 0, 0, 0, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr)
        return false;
    AddWindowComponent(components_, stored::kLeftoversWindow.form, hwnd_, caption);
    Component& list = ListViewLeftovers.Create(
        components_, names::kListViewLeftovers, hwnd_, kIdListViewLeftovers, WC_LISTVIEWW,
        WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL |
            LVS_NOSORTHEADER,
        0, nullptr);
    ListView_SetExtendedListViewStyle(ListViewLeftovers, LVS_EX_FULLROWSELECT |
                                                             LVS_EX_DOUBLEBUFFER |
                                                             LVS_EX_CHECKBOXES | LVS_EX_INFOTIP);
    ListViewLeftovers.CreateColumns(list, kColumns, kColumnCount, 0, WindowDpi(hwnd_));
    LabelLeftoversStatus.CreateCaptioned(components_, names::kLabelLeftoversStatus, hwnd_,
                                         kIdLabelLeftoversStatus, WC_STATICW, WS_VISIBLE, 0,
                                         nullptr, "");
    auto button = [&](Button& control, const stored::ComponentName& name, int id,
                      const char* text) {
        control.CreateCaptioned(components_, name, hwnd_, id, WC_BUTTONW,
                                WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, nullptr, text);
    };
    button(ButtonRemoveChosen, names::kButtonRemoveChosen, kIdButtonRemoveChosen,
           "Удалить выбранное");
    button(ButtonCancel, names::kButtonCancel, kIdButtonCancelLeftovers, "Отмена");
    components_.AddAll(names::kTextOnly);
    ApplyDpi(WindowDpi(hwnd_), nullptr);
    AppTheme::Instance().AddWindow(hwnd_);
    return true;
}

void LeftoversWindow::ApplyDpi(int dpi, const RECT* suggested) {
    scale_.dpi = dpi;
    OwnedFont font = DesignFont(scale_(11));
    for (const Control* control : std::initializer_list<const Control*>{
             &ListViewLeftovers, &LabelLeftoversStatus, &ButtonRemoveChosen, &ButtonCancel}) {
        control->SetFont(font.Get(), false);
    }
    font_ = std::move(font);
    for (int column = 0; column < kColumnCount; ++column)
        ListView_SetColumnWidth(ListViewLeftovers, column, scale_(kColumns[column].width));
    PlaceFixedWindow(hwnd_, suggested, SIZE{kClientWidth, kClientHeight}, kStyle, kExStyle, dpi);
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void LeftoversWindow::Layout() {
    MoveWindow(ListViewLeftovers, scale_(8), scale_(8), scale_(kClientWidth - 16), scale_(340),
               FALSE);
    MoveWindow(LabelLeftoversStatus, scale_(8), scale_(354), scale_(kClientWidth - 16), scale_(28),
               FALSE);
    constexpr int kButtonWidth = 150;
    int left = kClientWidth - 8 - 2 * kButtonWidth - 8;
    for (const Button* control : {&ButtonRemoveChosen, &ButtonCancel}) {
        MoveWindow(*control, scale_(left), scale_(388), scale_(kButtonWidth), scale_(24), FALSE);
        left += kButtonWidth + 8;
    }
}

void LeftoversWindow::SetStatus(const std::string& text) {
    SetWindowTextW(LabelLeftoversStatus, Widen(text).c_str());
}

void LeftoversWindow::Open(std::vector<std::string> recordFiles) {
    if (removing_) {
        ShowWindow(hwnd_, SW_SHOW);
        SetForegroundWindow(hwnd_);
        return;
    }
    job_.reset();
    records_ = std::move(recordFiles);
    offers_.clear();
    programs_.clear();
    ListView_DeleteAllItems(ListViewLeftovers);
    SetStatus(Text(names::kLangSearching));
    SetWindowTextW(ButtonCancel, Widen(components_.Caption(names::kButtonCancel)).c_str());
    EnableWindow(ButtonRemoveChosen, FALSE);
    busy_ = true;
    CenterOver(hwnd_, owner_);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(ButtonCancel);

    job_ = std::make_unique<Job>(GuiThread::To(hwnd_), [this, records = records_](JobContext& job) {
        Win32RegistryApi registry;
        const Win32SpecialFolders folders;
        std::vector<std::vector<Offer>> perProgram;
        std::vector<std::string> unreadable;
        std::string programs;
        for (const std::string& path : records) {
            if (job.Stopping())
                return;
            const auto record = ReadRecordFile(path);
            if (!record) {
                unreadable.push_back(path);
                continue;
            }
            programs += (programs.empty() ? "" : ", ") + record->displayName;
            const MachineFacts facts = ReadMachineFacts(*record, registry, folders);
            const auto candidates = FindCandidates(*record, registry, folders);
            perProgram.push_back(FindLeftovers(*record, candidates, facts));
        }
        std::vector<Offer> offers = MergeOffers(std::move(perProgram));
        job.Post([this, offers = std::move(offers), unreadable = std::move(unreadable),
                  programs = std::move(programs)]() mutable {
            programs_ = std::move(programs);
            Found(std::move(offers), std::move(unreadable));
        });
    });
}

void LeftoversWindow::Found(std::vector<Offer> offers, std::vector<std::string> unreadable) {
    busy_ = false;
    offers_ = std::move(offers);
    const stored::TextOnly kinds[] = {
        names::kLangFolder,      names::kLangFile,    names::kLangShortcut, names::kLangRunValue,
        names::kLangRegistryKey, names::kLangService, names::kLangTask};
    const stored::TextOnly reasons[] = {names::kLangInsideFolder,     names::kLangPointsInto,
                                        names::kLangRecordedFile,     names::kLangRecordedPointer,
                                        names::kLangNamedInPublisher, names::kLangProgramKey,
                                        names::kLangHostCommand};
    filling_ = true;
    for (size_t i = 0; i < offers_.size(); ++i) {
        const Offer& offer = offers_[i];
        const std::wstring caption = Widen(OfferedItemText(offer.candidate));
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(caption.c_str());
        const int row = static_cast<int>(
            SendMessageW(ListViewLeftovers, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        ListViewLeftovers.SetCell(row, 1, Text(kinds[static_cast<size_t>(offer.candidate.kind)]));
        ListViewLeftovers.SetCell(
            row, 2, Text(reasons[static_cast<size_t>(offer.evidence)]) + ": " + offer.cites);
        ListViewLeftovers.SetCell(
            row, 3,
            Text(offer.confidence == Confidence::High ? names::kLangHigh : names::kLangMedium));
        if (!Removable(offer.candidate.kind))
            ListViewLeftovers.SetCell(row, kResultColumn, Text(names::kLangNotHere));
        ListView_SetCheckState(ListViewLeftovers, row,
                               offer.preselected && Removable(offer.candidate.kind));
    }
    filling_ = false;
    std::string status = offers_.empty()
                             ? Text(names::kLangNothingFound)
                             : Text(names::kLangFound) + " " + std::to_string(offers_.size());
    for (const std::string& path : unreadable)
        status += "\r\n" + Text(names::kLangNoRecord) + " " + path;
    SetStatus(status);
    EnableWindow(ButtonRemoveChosen, !offers_.empty());
    SetFocus(offers_.empty() ? static_cast<HWND>(ButtonCancel)
                             : static_cast<HWND>(ListViewLeftovers));
}

bool LeftoversWindow::Checked(int row) const {
    return ListView_GetCheckState(ListViewLeftovers, row) != FALSE;
}

void LeftoversWindow::RemoveChosen() {
    if (busy_ || removing_)
        return;
    std::vector<Offer> chosen;
    for (size_t i = 0; i < offers_.size(); ++i) {
        if (Checked(static_cast<int>(i)) && Removable(offers_[i].candidate.kind))
            chosen.push_back(offers_[i]);
    }
    if (chosen.empty())
        return;
    const std::string question = Text(names::kLangConfirm) + "\r\n\r\n" + Text(names::kLangFound) +
                                 " " + std::to_string(chosen.size());
    if (MessageBoxW(hwnd_, Widen(question).c_str(),
                    Widen(components_.Caption(stored::kLeftoversWindow.form)).c_str(),
                    MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    removing_ = true;
    EnableWindow(ButtonRemoveChosen, FALSE);
    EnableWindow(ButtonCancel, FALSE);
    job_.reset();
    job_ = std::make_unique<Job>(
        GuiThread::To(hwnd_), [this, chosen = std::move(chosen), programs = programs_,
                               root = quarantineRoot_](JobContext& job) {
            Win32RegistryApi registry;
            CleanupOutcome outcome = RemoveIntoQuarantine(chosen, programs, root, registry);
            job.Post([this, outcome = std::move(outcome)] { Removed(outcome); });
        });
}

void LeftoversWindow::Removed(const CleanupOutcome& outcome) {
    removing_ = false;
    // The records go into the clean-up they led to: their programs are dealt with.
    if (!outcome.folder.empty()) {
        for (size_t i = 0; i < records_.size(); ++i) {
            const std::string name = records_[i].substr(records_[i].find_last_of('\\') + 1);
            MoveFileExW(Widen(records_[i]).c_str(), Widen(outcome.folder + name).c_str(), 0);
        }
    }
    size_t failed = 0;
    for (size_t i = 0; i < offers_.size(); ++i) {
        const int row = static_cast<int>(i);
        if (!Checked(row) || !Removable(offers_[i].candidate.kind))
            continue;
        const std::string item = OfferedItemText(offers_[i].candidate);
        std::string result = Text(names::kLangRemoved);
        for (const LeftInPlace& left : outcome.leftInPlace) {
            const bool inside = left.item == item || IsSameOrInside(left.item, item);
            if (inside) {
                result = Text(names::kLangNotRemoved) + " " +
                         (left.item == item ? "" : left.item + " — ") + SystemErrorText(left.error);
                ++failed;
                break;
            }
        }
        ListViewLeftovers.SetCell(row, kResultColumn, result);
    }
    std::string status = Text(names::kLangRemoved) + ": " + std::to_string(outcome.removed);
    if (failed > 0 || !outcome.leftInPlace.empty()) {
        status += "\r\n" + Text(names::kLangNotRemoved) + " ";
        for (size_t i = 0; i < outcome.leftInPlace.size() && i < 3; ++i)
            status += (i > 0 ? ", " : "") + outcome.leftInPlace[i].item;
    }
    SetStatus(status);
    SetWindowTextW(ButtonCancel, Widen(Text(names::kLangClose)).c_str());
    EnableWindow(ButtonCancel, TRUE);
    SetFocus(ButtonCancel);
    records_.clear();
    offers_.clear();  // the rows stay as the report of what happened
    if (cleanedUp_)
        cleanedUp_();
}

void LeftoversWindow::Cancel() {
    // A removal that has begun finishes and reports; a search stops.
    if (removing_)
        return;
    if (busy_) {
        job_.reset();
        busy_ = false;
    }
    ShowWindow(hwnd_, SW_HIDE);
}

LRESULT LeftoversWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (header.hwndFrom == ListViewLeftovers && header.code == LVN_ITEMCHANGING && !filling_) {
            // A service or a task is never ticked; a finished clean-up's rows stay as they are.
            const auto& change = *reinterpret_cast<NMLISTVIEW*>(lParam);
            if ((change.uChanged & LVIF_STATE) != 0 &&
                ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) != 0) {
                const size_t row = static_cast<size_t>(change.iItem);
                const bool refuse = busy_ || removing_ || row >= offers_.size() ||
                                    !Removable(offers_[row].candidate.kind);
                return refuse ? TRUE : FALSE;
            }
        }
    }
    if (const auto drawn = AppTheme::Instance().HandleMessage(hwnd_, message, wParam, lParam))
        return *drawn;
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kIdButtonRemoveChosen:
                    RemoveChosen();
                    return 0;
                case kIdButtonCancelLeftovers:
                case IDCANCEL:
                    Cancel();
                    return 0;
            }
            return 0;
        case WM_DPICHANGED:
            ApplyDpi(DpiOfMessage(wParam), &SuggestedRect(lParam));
            return 0;
        case WM_CLOSE:
            Cancel();
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace corvandel
