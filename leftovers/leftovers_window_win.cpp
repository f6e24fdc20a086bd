#include "leftovers/leftovers_window_win.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>

#include "appearance/theme_win.h"
#include "foundation/error_text_win.h"
#include "foundation/gui_thread_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/win_text.h"
#include "inventory/presentation.h"
#include "leftovers/candidates_win.h"
#include "ui/control_ids.h"
#include "ui/fonts_win.h"
#include "ui/modal_win.h"
#include "ui/stored_names.h"
#include "ui/window_proc_win.h"

namespace corvandel {

namespace {

namespace names = stored::leftovers_window;

constexpr int kClientWidth = 840;
constexpr int kClientHeight = 464;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_BORDER | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kColumnCount = 6;
constexpr int kResultColumn = 4;
constexpr int kSizeColumn = 5;

// The size column comes last among the sub-items, so that each column keeps its index in
// language files and for the tools that read the list, and is shown next to the item.
constexpr ColumnDesign kColumns[] = {
    {"Что осталось", 260, 160, 320, false, LVCFMT_LEFT},
    {"Вид", 90, 60, 160, false, LVCFMT_LEFT},
    {"Почему", 250, 100, 250, false, LVCFMT_LEFT},
    {"Уверенность", 80, 60, 140, false, LVCFMT_LEFT},
    {"Итог", 120, 60, 300, false, LVCFMT_LEFT},
    {"Размер", 70, 60, 110, false, LVCFMT_RIGHT},
};
constexpr int kColumnOrder[kColumnCount] = {0, kSizeColumn, 1, 2, 3, kResultColumn};
// Room the header keeps around a caption: its margins and the divider.
constexpr int kCaptionPadding = 16;

// Services and tasks are shown for what they are, but stopping and unregistering them is the
// system's business.
bool Removable(LeftoverKind kind) {
    return kind != LeftoverKind::Service && kind != LeftoverKind::Task;
}

// The kinds whose bytes the search counts; keys, values, services and tasks have none to show.
bool HasSize(LeftoverKind kind) {
    return kind == LeftoverKind::Folder || kind == LeftoverKind::File ||
           kind == LeftoverKind::Shortcut;
}

const stored::TextOnly& KindText(LeftoverKind kind) {
    static constexpr const stored::TextOnly* kKinds[] = {
        &names::kLangFolder,   &names::kLangFile,        &names::kLangShortcut,
        &names::kLangRunValue, &names::kLangRegistryKey, &names::kLangService,
        &names::kLangTask};
    return *kKinds[static_cast<size_t>(kind)];
}

const stored::TextOnly& ReasonText(Evidence evidence) {
    static constexpr const stored::TextOnly* kReasons[] = {
        &names::kLangInsideFolder,    &names::kLangPointsInto,       &names::kLangRecordedFile,
        &names::kLangRecordedPointer, &names::kLangNamedInPublisher, &names::kLangProgramKey,
        &names::kLangHostCommand};
    return *kReasons[static_cast<size_t>(evidence)];
}

// A multi-line edit asks for every key (DLGC_WANTALLKEYS), so IsDialogMessage would leave Tab
// and Escape to it and the focus could not leave the details box. Read-only, it has no use for
// them: Tab moves on and Escape closes, as from every other control of the window.
constexpr UINT_PTR kDetailsSubclass = 1;
LRESULT CALLBACK DetailsProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                             DWORD_PTR) {
    if (message == WM_GETDLGCODE)
        return DefSubclassProc(edit, message, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB);
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(edit, DetailsProc, kDetailsSubclass);
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

LeftoversWindow::~LeftoversWindow() {
    job_.reset();
}

bool LeftoversWindow::Create(HWND owner, std::function<std::string()> quarantineRoot) {
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
    ListView_SetColumnOrderArray(ListViewLeftovers, kColumnCount, kColumnOrder);
    // A kind's heading row is drawn bold in the list's own text colour.
    ListViewLeftovers.SetRowLook([this](size_t row) -> std::optional<ListView::RowLook> {
        if (row >= rowOffers_.size() || rowOffers_[row] >= 0)
            return std::nullopt;
        const AppTheme& theme = AppTheme::Instance();
        return ListView::RowLook{
            theme.Active() ? theme.Colors().listText : GetSysColor(COLOR_WINDOWTEXT),
            boldFont_.Get()};
    });
    // Created after the list and before the buttons: the tab order is list, details, buttons.
    MemoLeftoversDetails.Create(
        components_, names::kMemoLeftoversDetails, hwnd_, kIdMemoLeftoversDetails, WC_EDITW,
        WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
        WS_EX_CLIENTEDGE, nullptr);
    SetWindowSubclass(MemoLeftoversDetails, DetailsProc, kDetailsSubclass, 0);
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
             &ListViewLeftovers, &MemoLeftoversDetails, &LabelLeftoversStatus, &ButtonRemoveChosen,
             &ButtonCancel}) {
        control->SetFont(font.Get(), false);
    }
    font_ = std::move(font);
    boldFont_ = DesignFont(scale_(11), FW_BOLD);
    FitColumns();
    PlaceFixedWindow(hwnd_, suggested, SIZE{kClientWidth, kClientHeight}, kStyle, kExStyle, dpi);
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void LeftoversWindow::Layout() {
    MoveWindow(ListViewLeftovers, scale_(8), scale_(8), scale_(kClientWidth - 16), scale_(300),
               FALSE);
    MoveWindow(MemoLeftoversDetails, scale_(8), scale_(314), scale_(kClientWidth - 16), scale_(76),
               FALSE);
    MoveWindow(LabelLeftoversStatus, scale_(8), scale_(396), scale_(kClientWidth - 16), scale_(30),
               FALSE);
    constexpr int kButtonWidth = 150;
    int left = kClientWidth - 8 - 2 * kButtonWidth - 8;
    for (const Button* control : {&ButtonRemoveChosen, &ButtonCancel}) {
        MoveWindow(*control, scale_(left), scale_(432), scale_(kButtonWidth), scale_(24), FALSE);
        left += kButtonWidth + 8;
    }
}

void LeftoversWindow::FitColumns() {
    const Component* list = components_.Find(names::kListViewLeftovers);
    for (int column = 0; column < kColumnCount; ++column) {
        // LVSCW_AUTOSIZE measures the cells alone (an empty list's are nothing); the caption is
        // measured here rather than with LVSCW_AUTOSIZE_USEHEADER, which stretches the column
        // with the last index over the rest of the list wherever the order shows it.
        ListView_SetColumnWidth(ListViewLeftovers, column, LVSCW_AUTOSIZE);
        const std::wstring caption =
            Widen(list ? list->Text("Columns[" + std::to_string(column) + "].Caption") : "");
        const int width = std::max(
            ListView_GetColumnWidth(ListViewLeftovers, column),
            ListView_GetStringWidth(ListViewLeftovers, caption.c_str()) + scale_(kCaptionPadding));
        ListView_SetColumnWidth(
            ListViewLeftovers, column,
            std::clamp(width, scale_(kColumns[column].minimum), scale_(kColumns[column].maximum)));
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
    rowOffers_.clear();
    results_.clear();
    unreadable_.clear();
    programs_.clear();
    finished_ = false;
    ListView_DeleteAllItems(ListViewLeftovers);
    SetWindowTextW(MemoLeftoversDetails, L"");
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
            perProgram.push_back(SearchLeftovers(*record, registry, folders));
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
    results_.assign(offers_.size(), std::string());
    rowOffers_.clear();
    // A row a line: added at the end of the list, the row's index is the count so far.
    auto addRow = [this](const std::string& text, int offer) {
        const std::wstring caption = Widen(text);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(rowOffers_.size());
        item.pszText = const_cast<wchar_t*>(caption.c_str());
        rowOffers_.push_back(offer);
        return static_cast<int>(
            SendMessageW(ListViewLeftovers, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    };
    filling_ = true;
    for (size_t i = 0; i < offers_.size(); ++i) {
        const Offer& offer = offers_[i];
        const LeftoverKind kind = offer.candidate.kind;
        // The offers come grouped by kind: each kind's heading row goes before its first item.
        // Its state image 0 leaves it without a check box (LVS_EX_CHECKBOXES draws images 1 and
        // 2), and it is never ticked. List-view groups would do this, but Wine's list draws no
        // group headings.
        if (i == 0 || offers_[i - 1].candidate.kind != kind) {
            size_t count = 0;
            while (i + count < offers_.size() && offers_[i + count].candidate.kind == kind)
                ++count;
            const int heading =
                addRow(Text(KindText(kind)) + " (" + std::to_string(count) + ")", -1);
            ListView_SetItemState(ListViewLeftovers, heading, 0, LVIS_STATEIMAGEMASK);
        }
        const int row = addRow(OfferedItemText(offer.candidate), static_cast<int>(i));
        ListViewLeftovers.SetCell(row, 1, Text(KindText(kind)));
        ListViewLeftovers.SetCell(row, 2, Text(ReasonText(offer.evidence)) + ": " + offer.cites);
        ListViewLeftovers.SetCell(
            row, 3,
            Text(offer.confidence == Confidence::High ? names::kLangHigh : names::kLangMedium));
        if (!Removable(kind))
            ListViewLeftovers.SetCell(row, kResultColumn, Text(names::kLangNotHere));
        if (HasSize(kind)) {
            ListViewLeftovers.SetCell(row, kSizeColumn,
                                      FormatByteSize(static_cast<int64_t>(offer.candidate.bytes)));
        }
        ListView_SetCheckState(ListViewLeftovers, row, offer.preselected && Removable(kind));
    }
    filling_ = false;
    FitColumns();
    for (const std::string& path : unreadable)
        unreadable_ += "\r\n" + Text(names::kLangNoRecord) + " " + path;
    ShowChosen();
    EnableWindow(ButtonRemoveChosen, !offers_.empty());
    if (offers_.empty()) {
        SetFocus(ButtonCancel);
        return;
    }
    // The first item selected, so that its details show and the keys act on it at once.
    ListView_SetItemState(ListViewLeftovers, 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    SetFocus(ListViewLeftovers);
}

const Offer* LeftoversWindow::OfferAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rowOffers_.size() || rowOffers_[row] < 0)
        return nullptr;
    return &offers_[static_cast<size_t>(rowOffers_[row])];
}

void LeftoversWindow::ShowChosen() {
    if (offers_.empty()) {
        SetStatus(Text(names::kLangNothingFound) + unreadable_);
        return;
    }
    size_t chosen = 0;
    bool sized = false;
    uint64_t bytes = 0;
    for (int row = 0; row < static_cast<int>(rowOffers_.size()); ++row) {
        const Offer* offer = OfferAt(row);
        if (offer == nullptr || !Checked(row) || !Removable(offer->candidate.kind))
            continue;
        ++chosen;
        if (HasSize(offer->candidate.kind)) {
            sized = true;
            bytes += offer->candidate.bytes;
        }
    }
    SetStatus(Text(names::kLangFound) + " " + std::to_string(offers_.size()) + ". " +
              Text(names::kLangChosen) + " " + std::to_string(chosen) +
              (sized ? ", " + FormatByteSize(static_cast<int64_t>(bytes)) : "") + unreadable_);
}

std::string LeftoversWindow::DetailsOf(int row) const {
    const Offer* chosen = OfferAt(row);
    if (chosen == nullptr)
        return std::string();
    const Offer& offer = *chosen;
    const Candidate& item = offer.candidate;
    std::string text = OfferedItemText(item) + "\r\n" + Text(KindText(item.kind));
    if (HasSize(item.kind))
        text += ", " + FormatByteSize(static_cast<int64_t>(item.bytes));
    text += "\r\n" + Text(names::kLangWhy) + " " + Text(ReasonText(offer.evidence)) + ": " +
            offer.cites;
    if (!item.target.empty()) {
        const bool quoted = item.target.find(' ') != std::string::npos;
        text += "\r\n" + Text(names::kLangStarts) + " " + (quoted ? "\"" : "") + item.target +
                (quoted ? "\"" : "") + (item.arguments.empty() ? "" : " " + item.arguments);
    }
    if (!item.linkTarget.empty())
        text += "\r\n" + Text(names::kLangLinksTo) + " " + item.linkTarget;
    const std::string& result = results_[static_cast<size_t>(rowOffers_[row])];
    if (!result.empty())
        text += "\r\n" + Text(names::kLangOutcome) + " " + result;
    return text;
}

void LeftoversWindow::ShowDetails(int row) {
    SetWindowTextW(MemoLeftoversDetails, Widen(DetailsOf(row)).c_str());
}

bool LeftoversWindow::Checked(int row) const {
    return ListView_GetCheckState(ListViewLeftovers, row) != FALSE;
}

void LeftoversWindow::RemoveChosen() {
    if (busy_ || removing_ || finished_)
        return;
    std::vector<Offer> chosen;
    for (int row = 0; row < static_cast<int>(rowOffers_.size()); ++row) {
        const Offer* offer = OfferAt(row);
        if (offer != nullptr && Checked(row) && Removable(offer->candidate.kind))
            chosen.push_back(*offer);
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
                               root = quarantineRoot_()](JobContext& job) {
            Win32RegistryApi registry;
            CleanupOutcome outcome = RemoveIntoQuarantine(chosen, programs, root, registry);
            job.Post([this, outcome = std::move(outcome)] { Removed(outcome); });
        });
}

void LeftoversWindow::Removed(const CleanupOutcome& outcome) {
    removing_ = false;
    finished_ = true;
    // The records go into the clean-up they led to: their programs are dealt with.
    if (!outcome.folder.empty()) {
        for (size_t i = 0; i < records_.size(); ++i) {
            const std::string name = records_[i].substr(records_[i].find_last_of('\\') + 1);
            MoveFileExW(Widen(records_[i]).c_str(), Widen(outcome.folder + name).c_str(), 0);
        }
    }
    size_t failed = 0;
    for (int row = 0; row < static_cast<int>(rowOffers_.size()); ++row) {
        const Offer* offer = OfferAt(row);
        if (offer == nullptr || !Checked(row) || !Removable(offer->candidate.kind))
            continue;
        const std::string item = OfferedItemText(offer->candidate);
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
        results_[static_cast<size_t>(rowOffers_[row])] = result;
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
    FitColumns();
    ShowDetails(ListViewLeftovers.Selected());
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
    if (message == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->hwndFrom == ListViewLeftovers) {
        auto& header = *reinterpret_cast<NMHDR*>(lParam);
        if (const auto drawn = ListViewLeftovers.Reflect(header))
            return *drawn;
        const auto& change = *reinterpret_cast<NMLISTVIEW*>(lParam);
        const UINT changed = (header.code == LVN_ITEMCHANGING || header.code == LVN_ITEMCHANGED) &&
                                     (change.uChanged & LVIF_STATE) != 0
                                 ? change.uNewState ^ change.uOldState
                                 : 0;
        if (header.code == LVN_ITEMCHANGING && !filling_ && (changed & LVIS_STATEIMAGEMASK) != 0) {
            // A heading, a service or a task is never ticked; a finished clean-up's rows stay as
            // they are.
            const Offer* offer = OfferAt(change.iItem);
            const bool refuse = busy_ || removing_ || finished_ || offer == nullptr ||
                                !Removable(offer->candidate.kind);
            return refuse ? TRUE : FALSE;
        }
        if (header.code == LVN_ITEMCHANGED) {
            if ((changed & LVIS_STATEIMAGEMASK) != 0 && !filling_ && !finished_)
                ShowChosen();
            if ((changed & LVIS_SELECTED) != 0)
                ShowDetails(ListViewLeftovers.Selected());
            return 0;
        }
        if (header.code == LVN_GETINFOTIPW) {
            // The row's whole story, whatever its cells cut off.
            auto& tip = *reinterpret_cast<NMLVGETINFOTIPW*>(lParam);
            const std::wstring text = Widen(DetailsOf(tip.iItem));
            if (tip.pszText != nullptr && tip.cchTextMax > 0 && !text.empty())
                lstrcpynW(tip.pszText, text.c_str(), tip.cchTextMax);
            return 0;
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
