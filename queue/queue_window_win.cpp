#include "queue/queue_window_win.h"

#include <commctrl.h>

#include <algorithm>

#include "appearance/theme_win.h"
#include "foundation/win_text.h"
#include "ui/control_ids.h"
#include "ui/fonts_win.h"
#include "ui/modal_win.h"
#include "ui/stored_names.h"
#include "ui/window_proc_win.h"

namespace corvandel {

namespace {

namespace names = stored::queue_window;

// The client area at 96 DPI; the window keeps its size and scales with the DPI.
constexpr int kClientWidth = 520;
constexpr int kClientHeight = 360;
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_BORDER | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

constexpr ColumnDesign kColumns[] = {
    {"Программа", 290, 100, 0, false, LVCFMT_LEFT},
    {"Состояние", 190, 100, 0, false, LVCFMT_LEFT},
};

bool Final(QueueState state) {
    return state != QueueState::Waiting && state != QueueState::Running;
}

}  // namespace

QueueWindow::~QueueWindow() {
    queue_.reset();
}

bool QueueWindow::Create(HWND owner) {
    owner_ = owner;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterRoutedClass<QueueWindow>(stored::kQueueWindow.windowClass))
        return false;
    const std::string caption = "Деинсталляция выбранных";
    hwnd_ = CreateWindowExW(kExStyle, stored::kQueueWindow.windowClass, Widen(caption).c_str(),
                            kStyle, 0, 0, 0, 0, owner, nullptr, instance, this);
    if (hwnd_ == nullptr)
        return false;

    AddWindowComponent(components_, stored::kQueueWindow.form, hwnd_, caption);
    Component& list = ListViewQueue.Create(components_, names::kListViewQueue, hwnd_,
                                           kIdListViewQueue, WC_LISTVIEWW,
                                           WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT |
                                               LVS_SHOWSELALWAYS | LVS_SINGLESEL | LVS_NOSORTHEADER,
                                           0, nullptr);
    ListView_SetExtendedListViewStyle(ListViewQueue, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    ListViewQueue.CreateColumns(list, kColumns, 2, 0, WindowDpi(hwnd_));
    auto radio = [&](Button& button, const stored::ComponentName& name, int id, const char* text,
                     DWORD extra) {
        button.CreateCaptioned(components_, name, hwnd_, id, WC_BUTTONW,
                               WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON | extra, 0, nullptr,
                               text);
    };
    radio(RadioQuiet, names::kRadioQuiet, kIdRadioQuiet, "Тихо, где возможно, иначе с окнами",
          WS_GROUP);
    radio(RadioQuietOnly, names::kRadioQuietOnly, kIdRadioQuietOnly,
          "Только тихо, остальные пропустить", 0);
    radio(RadioInteractive, names::kRadioInteractive, kIdRadioInteractive,
          "С окнами деинсталляторов", 0);
    SendMessageW(RadioQuiet, BM_SETCHECK, BST_CHECKED, 0);
    ProgressBarQueue.Create(components_, names::kProgressBarQueue, hwnd_, kIdProgressBarQueue,
                            PROGRESS_CLASSW, WS_VISIBLE, 0, nullptr);
    LabelQueueStatus.CreateCaptioned(components_, names::kLabelQueueStatus, hwnd_,
                                     kIdLabelQueueStatus, WC_STATICW, WS_VISIBLE, 0, nullptr, "");
    auto button = [&](Button& control, const stored::ComponentName& name, int id,
                      const char* text) {
        control.CreateCaptioned(components_, name, hwnd_, id, WC_BUTTONW,
                                WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, nullptr, text);
    };
    button(ButtonStart, names::kButtonStart, kIdButtonStart, "Начать");
    button(ButtonStop, names::kButtonStop, kIdButtonStop, "Стоп");
    button(ButtonClose, names::kButtonClose, kIdButtonCloseQueue, "Закрыть");
    components_.AddAll(names::kTextOnly);
    ApplyDpi(WindowDpi(hwnd_), nullptr);
    AppTheme::Instance().AddWindow(hwnd_);
    return true;
}

void QueueWindow::ApplyDpi(int dpi, const RECT* suggested) {
    scale_.dpi = dpi;
    OwnedFont font = DesignFont(scale_(11));
    for (const Control* control : std::initializer_list<const Control*>{
             &ListViewQueue, &RadioQuiet, &RadioQuietOnly, &RadioInteractive, &LabelQueueStatus,
             &ButtonStart, &ButtonStop, &ButtonClose}) {
        control->SetFont(font.Get(), false);
    }
    font_ = std::move(font);
    for (int column = 0; column < 2; ++column)
        ListView_SetColumnWidth(ListViewQueue, column, scale_(kColumns[column].width));
    PlaceFixedWindow(hwnd_, suggested, SIZE{kClientWidth, kClientHeight}, kStyle, kExStyle, dpi);
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void QueueWindow::Layout() {
    const int width = scale_(kClientWidth - 16);
    MoveWindow(ListViewQueue, scale_(8), scale_(8), width, scale_(200), FALSE);
    int top = 216;
    for (const Button* radio : {&RadioQuiet, &RadioQuietOnly, &RadioInteractive}) {
        MoveWindow(*radio, scale_(8), scale_(top), width, scale_(18), FALSE);
        top += 20;
    }
    MoveWindow(ProgressBarQueue, scale_(8), scale_(280), width, scale_(14), FALSE);
    MoveWindow(LabelQueueStatus, scale_(8), scale_(298), width, scale_(28), FALSE);
    int left = kClientWidth - 8 - 3 * 100 - 2 * 8;
    for (const Button* button : {&ButtonStart, &ButtonStop, &ButtonClose}) {
        MoveWindow(*button, scale_(left), scale_(330), scale_(100), scale_(24), FALSE);
        left += 108;
    }
}

void QueueWindow::Open(std::vector<QueueChoice> choices) {
    if (!Running()) {
        queue_.reset();
        // This program's own entry runs last, whatever the order chosen.
        std::stable_partition(choices.begin(), choices.end(),
                              [](const QueueChoice& choice) { return !choice.ownEntry; });
        choices_ = std::move(choices);
        states_.assign(choices_.size(), QueueItemState{});
        stopAsked_ = false;
        ListView_DeleteAllItems(ListViewQueue);
        for (size_t i = 0; i < choices_.size(); ++i) {
            const std::wstring caption = Widen(choices_[i].item.caption);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.pszText = const_cast<wchar_t*>(caption.c_str());
            SendMessageW(ListViewQueue, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            ListViewQueue.SetCell(static_cast<int>(i), 1, StateText(states_[i]));
        }
        SendMessageW(ProgressBarQueue, PBM_SETRANGE32, 0, static_cast<LPARAM>(choices_.size()));
        SendMessageW(ProgressBarQueue, PBM_SETPOS, 0, 0);
        SetWindowTextW(LabelQueueStatus, L"");
        EnableControls();
        CenterOver(hwnd_, owner_);
    }
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(Running() ? static_cast<HWND>(ButtonStop) : static_cast<HWND>(ButtonStart));
}

void QueueWindow::EnableControls() {
    const bool ready = !running_ && queue_ == nullptr && !choices_.empty();
    for (const Button* radio : {&RadioQuiet, &RadioQuietOnly, &RadioInteractive})
        EnableWindow(*radio, ready);
    EnableWindow(ButtonStart, ready);
    EnableWindow(ButtonStop, running_ && !stopAsked_);
    EnableWindow(ButtonClose, !running_);
}

void QueueWindow::Start() {
    if (running_ || queue_ || choices_.empty())
        return;
    const QueueMode mode = SendMessageW(RadioQuietOnly, BM_GETCHECK, 0, 0) == BST_CHECKED
                               ? QueueMode::QuietOnly
                           : SendMessageW(RadioInteractive, BM_GETCHECK, 0, 0) == BST_CHECKED
                               ? QueueMode::Interactive
                               : QueueMode::QuietWherePossible;
    std::vector<QueueItem> items;
    rows_.clear();
    for (size_t i = 0; i < choices_.size(); ++i) {
        if (choices_[i].ownEntry) {
            const int answer =
                MessageBoxW(hwnd_, Widen(Text(names::kLangOwnLast)).c_str(),
                            Widen(components_.Caption(stored::kQueueWindow.form)).c_str(),
                            MB_ICONQUESTION | MB_YESNO);
            if (answer != IDYES) {
                states_[i].state = QueueState::Cancelled;
                ListViewQueue.SetCell(static_cast<int>(i), 1, StateText(states_[i]));
                continue;
            }
        }
        items.push_back(choices_[i].item);
        rows_.push_back(i);
    }
    running_ = true;
    UninstallQueue::Handlers handlers;
    handlers.changed = [this](size_t index, const QueueItemState& state) {
        if (index < rows_.size())
            StateChanged(rows_[index], state);
    };
    handlers.finished = [this] { Finished(); };
    handlers.beforeRun = beforeRun_;
    queue_ = std::make_unique<UninstallQueue>(hwnd_, std::move(items), mode, kUninstallTimeLimit,
                                              std::move(handlers));
    EnableControls();
    SetFocus(ButtonStop);
    ShowProgress();
}

void QueueWindow::StateChanged(size_t row, const QueueItemState& state) {
    if (row >= states_.size())
        return;
    states_[row] = state;
    ListViewQueue.SetCell(static_cast<int>(row), 1, StateText(state));
    if (state.state == QueueState::Running)
        ListView_EnsureVisible(ListViewQueue, static_cast<int>(row), FALSE);
    InvalidateRect(ListViewQueue, nullptr, FALSE);
    ShowProgress();
}

void QueueWindow::ShowProgress() {
    const auto done = static_cast<size_t>(std::count_if(
        states_.begin(), states_.end(), [](const QueueItemState& s) { return Final(s.state); }));
    SendMessageW(ProgressBarQueue, PBM_SETPOS, done, 0);
    std::string text = Text(names::kLangDone) + " " + std::to_string(done) + " " +
                       Text(names::kLangOf) + " " + std::to_string(states_.size());
    if (!running_ && std::any_of(states_.begin(), states_.end(),
                                 [](const QueueItemState& s) { return s.restartNeeded; })) {
        text += "\r\n" + Text(names::kLangRestart);
    }
    SetWindowTextW(LabelQueueStatus, Widen(text).c_str());
}

std::vector<QueueItem> QueueWindow::RemovedItems() const {
    std::vector<QueueItem> removed;
    for (size_t i = 0; i < states_.size() && i < choices_.size(); ++i) {
        if (states_[i].state == QueueState::Removed)
            removed.push_back(choices_[i].item);
    }
    return removed;
}

void QueueWindow::Finished() {
    running_ = false;
    EnableControls();
    ShowProgress();
    SetFocus(ButtonClose);
    if (finished_)
        finished_();
}

LRESULT QueueWindow::DrawRow(NMLVCUSTOMDRAW& draw) const {
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage != CDDS_ITEMPREPAINT)
        return CDRF_DODEFAULT;
    // The running entry stands out in the look's highlight, whether or not the list has the
    // focus; the list's own selection is not drawn.
    draw.nmcd.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
    const size_t row = draw.nmcd.dwItemSpec;
    if (row < states_.size() && states_[row].state == QueueState::Running) {
        const AppTheme& theme = AppTheme::Instance();
        draw.clrTextBk = theme.Active() ? theme.Colors().menuHot : GetSysColor(COLOR_HIGHLIGHT);
        draw.clrText =
            theme.Active() ? theme.Colors().menuHotText : GetSysColor(COLOR_HIGHLIGHTTEXT);
    }
    return CDRF_DODEFAULT;
}

std::string QueueWindow::StateText(const QueueItemState& state) const {
    switch (state.state) {
        case QueueState::Waiting:
            return Text(names::kLangWaiting);
        case QueueState::Running: {
            const bool quiet = state.reason != LaunchReason::Interactive;
            return Text(names::kLangRunning) +
                   (quiet ? " (" + Text(names::kLangQuietTag) + ")" : "");
        }
        case QueueState::Removed:
            return Text(names::kLangRemoved);
        case QueueState::StillListed:
            return Text(names::kLangStillListed);
        case QueueState::Failed:
            if (state.timedOut)
                return Text(names::kLangTimedOut);
            if (state.reason == LaunchReason::NoCommand)
                return Text(names::kLangNoCommand);
            if (state.reason == LaunchReason::AmbiguousPath)
                return Text(names::kLangAmbiguousPath);
            if (state.startError != 0)
                return Text(names::kLangNotStarted) + " " + std::to_string(state.startError);
            return Text(names::kLangFailedCode) + " " + std::to_string(state.exitCode);
        case QueueState::UninstallerMissing:
            return Text(names::kLangMissing);
        case QueueState::Skipped:
            return Text(names::kLangSkipped);
        case QueueState::Cancelled:
            return Text(names::kLangCancelled);
    }
    return std::string();
}

LRESULT QueueWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        auto& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
        if (draw.nmcd.hdr.hwndFrom == ListViewQueue && draw.nmcd.hdr.code == NM_CUSTOMDRAW)
            return DrawRow(draw);
    }
    if (const auto drawn = AppTheme::Instance().HandleMessage(hwnd_, message, wParam, lParam))
        return *drawn;
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kIdButtonStart:
                    Start();
                    return 0;
                case kIdButtonStop:
                    if (queue_ && running_) {
                        stopAsked_ = true;
                        queue_->StopAfterCurrent();
                        EnableControls();
                    }
                    return 0;
                case kIdButtonCloseQueue:
                case IDCANCEL:
                    ShowWindow(hwnd_, SW_HIDE);
                    return 0;
            }
            return 0;
        case WM_DPICHANGED:
            ApplyDpi(DpiOfMessage(wParam), &SuggestedRect(lParam));
            return 0;
        case WM_CLOSE:
            // While a queue runs the window only hides; choosing the command again shows it.
            ShowWindow(hwnd_, SW_HIDE);
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace corvandel
