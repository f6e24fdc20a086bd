#include "update/updater_window_win.h"

#include <bcrypt.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <windowsx.h>

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "about/FileInfoUtils.h"
#include "appearance/theme_win.h"
#include "foundation/files_win.h"
#include "foundation/gui_thread_win.h"
#include "foundation/platform_win.h"
#include "foundation/registry_win.h"
#include "foundation/system_library_win.h"
#include "foundation/win_text.h"
#include "settings/languages_win.h"
#include "settings/settings_win.h"
#include "ui/control_ids.h"
#include "ui/fonts_win.h"
#include "ui/modal_win.h"
#include "ui/window_proc_win.h"
#include "update/apply_update.h"
#include "update/http_win.h"
#include "update/package_signature_win.h"
#include "update/release_file.h"
#include "update_key.h"

namespace corvandel {

namespace {

constexpr int kClientWidth = 434;
constexpr int kClientHeight = 191;
// The window paints under its group boxes, which draw only their frames.
constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_BORDER;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;

namespace names = stored::update_window;

std::string LocalVersion() {
    return GetFileVersion(ExecutablePath());
}

// Requests go through the user's proxy, read afresh for each check or download.
HttpOptions SystemHttpOptions() {
    Win32RegistryApi registry;
    HttpOptions options;
    options.proxy = GetSystemProxy(registry);
    return options;
}

// Asks the servers in turn for "version.txt"; the first one that answers 200 with a version
// gives it and the package beside it.
std::optional<std::pair<std::string, std::string>> FetchServerVersion(const UpdateServers& servers,
                                                                      bool portable,
                                                                      const JobContext& job) {
    HttpOptions options = SystemHttpOptions();
    options.job = &job;
    options.connectTimeoutMs = 3000;
    options.readTimeoutMs = 5000;
    options.deadlineMs = kVersionAnswerDeadlineMs;
    options.maxBody = kMaxVersionAnswer;
    for (const std::string& base : {servers.primary, servers.mirror}) {
        if (job.Stopping())
            break;
        const std::string folder = UpdateFolderUrl(base);
        try {
            const HttpResponse response = HttpGet(folder + "version.txt", options);
            if (response.status != 200)
                continue;
            if (const std::optional<std::string> version = VersionFromBody(response.body))
                return std::make_pair(*version, PackageUrl(folder, portable));
        } catch (const std::exception&) {
            // The next server is asked; which one failed and why is not reported.
        }
    }
    return std::nullopt;
}

// Fetches one small signed answer beside the packages: the release file or its signature.
std::optional<std::string> FetchSmall(const std::string& url, HttpOptions options) {
    options.maxBody = kMaxSignatureAnswer;
    options.deadlineMs = kVersionAnswerDeadlineMs;
    try {
        HttpResponse response = HttpGet(url, options);
        if (response.status == 200)
            return std::move(response.body);
    } catch (const std::exception&) {
        // Not there, as far as the update is concerned.
    }
    return std::nullopt;
}

// Downloads the signed release file from beside the package, and the package only when the
// release vouches for it: the version announced, higher than the running one unless forced,
// and in the end the package's very bytes. `progress` gets each new whole percent and answers
// whether to go on.
DownloadResult FetchPackage(const std::string& url, const std::string& announcedVersion,
                            const std::string& runningVersion, bool forced, const JobContext& job,
                            const std::function<void(int)>& progress) {
    HttpOptions options = SystemHttpOptions();
    options.job = &job;
    options.connectTimeoutMs = 10'000;
    options.readTimeoutMs = kDownloadIdleMs;
    DownloadResult result;
    const std::string folder = url.substr(0, url.rfind('/') + 1);
    const std::string packageName = GetFileNameFromUrl(url);
    const std::optional<std::string> text = FetchSmall(folder + GetReleaseFileName(), options);
    const std::optional<std::string> signature =
        text ? FetchSmall(folder + GetReleaseFileName() + ".sig", options) : std::nullopt;
    if (!text || !signature) {
        result.outcome = DownloadOutcome::NoSignature;
        return result;
    }
    std::optional<ReleaseFile> release;
    if (VerifyPackageSignature(*text, *signature, kUpdatePublicKey) == SignatureCheck::Valid)
        release = ParseReleaseFile(*text);
    // What the signed release does not vouch for is refused before a byte of it is fetched.
    if (!release || CheckRelease(*release, announcedVersion, runningVersion, forced, packageName,
                                 "") != ReleaseCheck::Accepted) {
        result.outcome = DownloadOutcome::BadSignature;
        return result;
    }
    int shown = -1;
    try {
        options.maxBody = kMaxPackageAnswer;
        HttpResponse package = HttpGet(url, options, [&](int64_t received, int64_t expected) {
            const std::optional<int> percent = ProgressPercent(received, expected);
            if (percent && *percent != shown) {
                shown = *percent;
                progress(*percent);
            }
            return !job.Stopping();
        });
        if (package.status != 200)
            return result;  // an error page is not a package
        const std::optional<std::string> digest = Sha256Hex(package.body);
        if (!digest || CheckRelease(*release, announcedVersion, runningVersion, forced, packageName,
                                    *digest) != ReleaseCheck::Accepted) {
            result.outcome = DownloadOutcome::BadSignature;
            return result;
        }
        result.package = std::move(package.body);
        result.outcome = DownloadOutcome::Verified;
    } catch (const std::exception&) {
        // A failed transfer, a refused answer or no memory for it: no package.
        return DownloadResult{};
    }
    return result;
}

// The script's bytes as the command processor reads them: in the console's code page when
// every character fits, otherwise in UTF-8 with a switch of the console to it.
std::string SystemFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH + 1);
    return length > 0 && length <= MAX_PATH ? Narrow(std::wstring(path, length)) : std::string();
}

std::string EncodeUpdateScript(const std::string& folder, const std::string& exeName,
                               const std::string& zipName, const std::string& zipSha256) {
    const ScriptMachine machine{SystemFolder(), GetCurrentProcessId(), zipSha256};
    const UINT codePage = GetOEMCP();
    const std::string text = JoinScriptLines(
        PortableUpdateScript(folder, exeName, zipName, ScriptEncoding::ConsoleCodePage, machine));
    if (codePage == CP_UTF8)
        return text;
    const std::wstring wide = Widen(text);
    BOOL lost = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                         static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
    if (size > 0 && !lost) {
        std::string bytes(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                            static_cast<int>(wide.size()), bytes.data(), size, nullptr, nullptr);
        return bytes;
    }
    return JoinScriptLines(
        PortableUpdateScript(folder, exeName, zipName, ScriptEncoding::Utf8, machine));
}

std::string TempFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, path);
    std::string folder = Narrow(std::wstring(path, length));
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

// A folder in the temporary folder that did not exist before: "Corvandel-update-" and 16 random
// hex digits. Empty when none could be made.
std::string NewDownloadFolder() {
    for (int attempt = 0; attempt < 8; ++attempt) {
        unsigned char random[8] = {};
        if (!BCRYPT_SUCCESS(CORVANDEL_SYSTEM_CALL(L"bcrypt.dll", BCryptGenRandom)(
                nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            return std::string();
        }
        std::string name = "Corvandel-update-";
        static constexpr char kHex[] = "0123456789abcdef";
        for (const unsigned char byte : random) {
            name += kHex[byte >> 4];
            name += kHex[byte & 0xF];
        }
        const std::string folder = TempFolder() + name;
        if (CreateDirectoryW(Widen(folder).c_str(), nullptr))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
    return std::string();
}

// Writes the package into a new folder of its own and keeps it open: others may read it, but
// nobody can write, rename or delete it while it is held. Nothing when any step fails (what
// was written is removed again).
std::optional<HeldPackage> WriteHeldPackage(const std::string& name, const std::string& bytes) {
    const std::string folder = NewDownloadFolder();
    if (folder.empty())
        return std::nullopt;
    HeldPackage held{folder + "\\" + name, OwnedFile()};
    const std::wstring path = Widen(held.path);
    held.file = OwnedFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    bool ok = held.file.Valid();
    for (size_t at = 0; ok && at < bytes.size();) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
        DWORD written = 0;
        ok = WriteFile(held.file.Get(), bytes.data() + at, piece, &written, nullptr) &&
             written == piece;
        at += written;
    }
    ok = ok && FlushFileBuffers(held.file.Get());
    // The system starts a program only while no handle may write to it: the writing handle
    // goes, one that reads and refuses writers takes its place, and the bytes read back
    // through it must be the verified ones.
    ok = held.file.Reset() && ok;
    if (ok) {
        held.file = OwnedFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        std::vector<char> piece(1u << 20);
        size_t same = 0;
        DWORD read = 0;
        while (held.file &&
               ReadFile(held.file.Get(), piece.data(), static_cast<DWORD>(piece.size()), &read,
                        nullptr) &&
               read > 0 && read <= bytes.size() - same &&
               std::memcmp(piece.data(), bytes.data() + same, read) == 0) {
            same += read;
        }
        ok = held.file.Valid() && same == bytes.size() && read == 0;
    }
    if (!ok) {
        held.file.Reset();
        DeleteFileW(path.c_str());
        RemoveDirectoryW(Widen(folder).c_str());
        return std::nullopt;
    }
    return held;
}

// The Yes and No buttons of the next message box of this thread get the window's texts.
thread_local HHOOK renameHook = nullptr;
thread_local std::wstring yesText;
thread_local std::wstring noText;

LRESULT CALLBACK RenameButtons(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND box = reinterpret_cast<HWND>(wParam);
        SetDlgItemTextW(box, IDYES, yesText.c_str());
        SetDlgItemTextW(box, IDNO, noText.c_str());
        const HHOOK hook = renameHook;
        renameHook = nullptr;
        UnhookWindowsHookEx(hook);
        return 0;
    }
    return CallNextHookEx(renameHook, code, wParam, lParam);
}

}  // namespace

UpdaterWindow::~UpdaterWindow() {
    if (taskbar_ != nullptr)
        taskbar_->Release();
}

UINT UpdaterWindow::TaskbarButtonCreated() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

bool UpdaterWindow::Create(SettingsStore& settings) {
    settings_ = &settings;
    portable_ = settings.Portable();
    // The taskbar button's progress is a COM object of the shell.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterRoutedClass<UpdaterWindow>(stored::kUpdateWindow.windowClass))
        return false;
    // A taskbar button of its own, where the download's progress shows: owned by the desktop.
    // It takes its size once its DPI is known.
    hwnd_ = CreateWindowExW(kExStyle, stored::kUpdateWindow.windowClass, L"Обновление", kStyle, 0,
                            0, 0, 0, GetDesktopWindow(), nullptr, instance, this);
    if (hwnd_ == nullptr)
        return false;
    // The controls are made without fonts: ApplyDpi gives them the fonts of the window's DPI.
    const HFONT font = nullptr;
    AddWindowComponent(components_, stored::kUpdateWindow.form, hwnd_, "Обновление");
    TabControlButtons.Create(components_, names::kTabControlButtons, hwnd_, 0, WC_STATICW,
                             WS_VISIBLE, 0, font);
    ButtonDownload.CreateCaptioned(components_, names::kButtonDownload, hwnd_, IDOK, WC_BUTTONW,
                                   WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, font, "Скачать");
    ButtonClose.CreateCaptioned(components_, names::kButtonClose, hwnd_, IDCANCEL, WC_BUTTONW,
                                WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, font, "Закрыть");
    GroupBoxOption.CreateCaptioned(components_, names::kGroupBoxOption, hwnd_, kIdGroupBoxOption,
                                   WC_BUTTONW, WS_VISIBLE | BS_GROUPBOX, 0, font, "Опции");
    const DWORD check = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
    CheckBoxQuickUpdate.CreateCaptioned(components_, names::kCheckBoxQuickUpdate, hwnd_,
                                        kIdCheckBoxQuickUpdate, WC_BUTTONW, check, 0, font,
                                        "Быстрое");
    CheckBoxForceUpdate.CreateCaptioned(components_, names::kCheckBoxForceUpdate, hwnd_,
                                        kIdCheckBoxForceUpdate, WC_BUTTONW, check, 0, font,
                                        "Принудительное");
    CheckBoxAutoCheck.CreateCaptioned(components_, names::kCheckBoxAutoCheck, hwnd_,
                                      kIdCheckBoxAutoCheck, WC_BUTTONW, check, 0, font,
                                      "Проверять при запуске");
    Button_SetCheck(CheckBoxQuickUpdate, BST_CHECKED);
    Button_SetCheck(CheckBoxAutoCheck, BST_CHECKED);
    ProgressBarUpdate.Create(components_, names::kProgressBarUpdate, hwnd_, kIdProgressBarUpdate,
                             PROGRESS_CLASSW, WS_VISIBLE, 0, font);
    SendMessageW(ProgressBarUpdate, PBM_SETRANGE32, 0, 100);
    GroupBox1.Create(components_, names::kGroupBox1, hwnd_, 0, WC_BUTTONW, WS_VISIBLE | BS_GROUPBOX,
                     0, font);
    LabelUpDate.CreateCaptioned(components_, names::kLabelUpDate, hwnd_, kIdLabelUpDate, WC_STATICW,
                                WS_VISIBLE | SS_CENTER, 0, font, "Проверка обновления...");
    LabelLocalTitle.CreateCaptioned(components_, names::kLabelLocalTitle, hwnd_, 0, WC_STATICW,
                                    WS_VISIBLE | SS_RIGHT, 0, font, "Версия на компьютере:");
    LabelLocalVersion.CreateCaptioned(components_, names::kLabelLocalVersion, hwnd_,
                                      kIdLabelLocalVersion, WC_STATICW, WS_VISIBLE, 0, font, "");
    LabelServerTitle.CreateCaptioned(components_, names::kLabelServerTitle, hwnd_, 0, WC_STATICW,
                                     WS_VISIBLE | SS_RIGHT, 0, font, "Версия на сервере:");
    LabelServerVersion.CreateCaptioned(components_, names::kLabelServerVersion, hwnd_,
                                       kIdLabelServerVersion, WC_STATICW, WS_VISIBLE, 0, font, "");
    // The message texts, read when a message is shown, and the names the language files
    // address without a control behind them.
    components_.AddAll(names::kTextOnly);
    ApplyDpi(WindowDpi(hwnd_), nullptr);
    AppTheme::Instance().AddWindow(hwnd_);
    LoadOptions();
    return true;
}

void UpdaterWindow::ApplyDpi(int dpi, const RECT* suggested) {
    scale_.dpi = dpi;
    // The controls take the new fonts before the old ones are deleted.
    OwnedFont font = DesignFont(scale_(12));
    OwnedFont boldFont = DesignFont(scale_(12), FW_BOLD);
    for (const Control* control : std::initializer_list<const Control*>{
             &TabControlButtons, &ButtonDownload, &ButtonClose, &GroupBoxOption,
             &CheckBoxQuickUpdate, &CheckBoxForceUpdate, &CheckBoxAutoCheck, &ProgressBarUpdate,
             &GroupBox1, &LabelLocalTitle, &LabelLocalVersion, &LabelServerTitle}) {
        control->SetFont(font.Get(), false);
    }
    LabelUpDate.SetFont(boldFont.Get(), false);
    LabelServerVersion.SetFont(boldFont.Get(), false);
    font_ = std::move(font);
    boldFont_ = std::move(boldFont);

    PlaceFixedWindow(hwnd_, suggested, SIZE{kClientWidth, kClientHeight}, kStyle, kExStyle, dpi);
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void UpdaterWindow::Layout() {
    // From the bottom up: the button bar, the options, the progress bar, the labels' box.
    const int bar = scale_(kClientHeight - 37);
    MoveWindow(TabControlButtons, 0, bar, scale_(kClientWidth), scale_(37), FALSE);
    MoveWindow(ButtonDownload, scale_(125), bar + scale_(6), scale_(95), scale_(25), FALSE);
    MoveWindow(ButtonClose, scale_(261), bar + scale_(6), scale_(95), scale_(25), FALSE);
    const int options = bar - scale_(40);
    MoveWindow(GroupBoxOption, 0, options, scale_(kClientWidth), scale_(40), FALSE);
    MoveWindow(CheckBoxQuickUpdate, scale_(13), options + scale_(17), scale_(100), scale_(17),
               FALSE);
    MoveWindow(CheckBoxForceUpdate, scale_(119), options + scale_(17), scale_(130), scale_(17),
               FALSE);
    MoveWindow(CheckBoxAutoCheck, scale_(261), options + scale_(17), scale_(170), scale_(17),
               FALSE);
    const int progress = options - scale_(21);
    MoveWindow(ProgressBarUpdate, 0, progress, scale_(kClientWidth), scale_(21), FALSE);
    MoveWindow(GroupBox1, 0, 0, scale_(kClientWidth), progress, FALSE);
    MoveWindow(LabelUpDate, scale_(2), scale_(17), scale_(kClientWidth - 4), scale_(15), FALSE);
    // The titles end where the versions begin; room to the left for longer translations.
    MoveWindow(LabelLocalTitle, scale_(20), scale_(38), scale_(200), scale_(15), FALSE);
    MoveWindow(LabelLocalVersion, scale_(226), scale_(38), scale_(200), scale_(15), FALSE);
    MoveWindow(LabelServerTitle, scale_(20), scale_(59), scale_(200), scale_(15), FALSE);
    MoveWindow(LabelServerVersion, scale_(226), scale_(59), scale_(200), scale_(15), FALSE);
}

void UpdaterWindow::SetLabel(const stored::ComponentName& name, const std::string& text) {
    components_.Find(name)->Set("Caption", text);
}

UpdateServers UpdaterWindow::Servers() const {
    // The settings file may name an organisation's own servers; the built-in ones otherwise.
    const Settings& settings = settings_->Values();
    return UpdateServers{settings.primaryServer.value_or(kPrimaryServer),
                         settings.mirrorServer.value_or(kMirrorServer)};
}

void UpdaterWindow::LoadOptions() {
    const bool autoCheck = settings_->Values().autoCheck;
    Button_SetCheck(CheckBoxAutoCheck, autoCheck ? BST_CHECKED : BST_UNCHECKED);
    if (autoCheck)
        CheckForUpdatesInBackground();
}

void UpdaterWindow::SaveOptions() {
    settings_->Values().autoCheck = Button_GetCheck(CheckBoxAutoCheck) == BST_CHECKED;
    try {
        settings_->Save(SettingsGroup::Updater);
    } catch (const SettingsReadError&) {
        // Not replaced; the main window has told the user at start.
    } catch (const std::exception& e) {
        if (!saveFailureShown_)
            MessageBoxW(hwnd_, Widen(e.what()).c_str(), L"Corvandel", MB_ICONERROR);
        saveFailureShown_ = true;
    }
}

bool UpdaterWindow::StopWork(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (Job* job : {backgroundCheck_.get(), check_.get(), download_.get()}) {
        if (job != nullptr)
            job->RequestStop();
    }
    bool ended = true;
    for (const Job* job : {backgroundCheck_.get(), check_.get(), download_.get()}) {
        if (job != nullptr && !job->AwaitReturn(deadline))
            ended = false;
    }
    return ended;
}

std::unique_ptr<Job> UpdaterWindow::StartVersionCheck(
    std::function<void(std::optional<std::pair<std::string, std::string>>)> done) {
    return std::make_unique<Job>(GuiThread::To(hwnd_), [servers = Servers(), portable = portable_,
                                                        done = std::move(done)](JobContext& job) {
        // A failure of any kind is a check that found nothing.
        std::optional<std::pair<std::string, std::string>> found;
        try {
            found = FetchServerVersion(servers, portable, job);
        } catch (...) {
            found.reset();
        }
        job.Post([done, found = std::move(found)] { done(found); });
    });
}

void UpdaterWindow::CheckForUpdatesInBackground() {
    // A start-up check that fails asks nothing.
    backgroundCheck_ = StartVersionCheck([this](auto found) {
        const bool available = found && CompareVersions(found->first, LocalVersion()) == 1;
        ShowUpdatePrompt(available, found ? found->first : "", found ? found->second : "");
    });
}

void UpdaterWindow::ShowUpdatePrompt(bool available, const std::string& version,
                                     const std::string& url) {
    BackgroundServerVersion = version;
    BackgroundDownloadUrl = url;
    if (!available || BackgroundDownloadUrl.empty())
        return;
    const std::string text = Text(names::kLangUpdateAvailable) + " " + BackgroundServerVersion +
                             "\r\n" + Text(names::kLangUpdateNow);
    yesText = Widen(Text(names::kLangYes));
    noText = Widen(Text(names::kLangNo));
    renameHook = SetWindowsHookExW(WH_CBT, RenameButtons, nullptr, GetCurrentThreadId());
    const HWND owner = FindWindowW(stored::kMainWindow.windowClass, nullptr);
    const int answer = MessageBoxW(owner, Widen(text).c_str(), L"Corvandel",
                                   MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON1);
    if (renameHook != nullptr) {
        UnhookWindowsHookEx(renameHook);
        renameHook = nullptr;
    }
    if (answer != IDYES)
        return;
    DownloadUrl = BackgroundDownloadUrl;
    CurrentServerVersion = BackgroundServerVersion;
    QuickStartPending = true;
    ShowModal(owner);
}

void UpdaterWindow::ShowModal(HWND owner) {
    owner_ = owner;
    CenterOnScreen(hwnd_);
    closed_ = false;
    if (owner_)
        EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    FormShow();
    RunModalLoop(hwnd_, closed_);
    if (!exitingForUpdate_)
        FormClose();
    if (owner_) {
        EnableWindow(owner_, TRUE);
        // On the way out for an update the owner is not woken to work again.
        if (!exitingForUpdate_)
            SetForegroundWindow(owner_);
    }
    ShowWindow(hwnd_, SW_HIDE);
}

void UpdaterWindow::FormShow() {
    SetLabel(names::kLabelUpDate, "");
    SetLabel(names::kLabelLocalVersion, LocalVersion());
    SetLabel(names::kLabelServerVersion, "");
    SetLabel(names::kLabelUpDate, Text(names::kLangCheckUpdate));
    Button_SetCheck(CheckBoxForceUpdate, BST_UNCHECKED);
    if (QuickStartPending) {
        QuickStartPending = false;
        QuickStartUpdate();
        return;
    }
    StartCheck();
}

void UpdaterWindow::FormClose() {
    SetLabel(names::kLabelUpDate, "");
    SetLabel(names::kLabelLocalVersion, "");
    SetLabel(names::kLabelServerVersion, "");
    SaveOptions();
}

void UpdaterWindow::StartCheck() {
    for (HWND control :
         {GroupBoxOption.Handle(), CheckBoxQuickUpdate.Handle(), CheckBoxForceUpdate.Handle(),
          CheckBoxAutoCheck.Handle(), ButtonDownload.Handle()})
        EnableWindow(control, FALSE);
    check_ = StartVersionCheck([this](auto found) { CheckDone(std::move(found)); });
}

void UpdaterWindow::CheckDone(std::optional<std::pair<std::string, std::string>> found) {
    const std::string local = LocalVersion();
    if (found) {
        CurrentServerVersion = found->first;
        DownloadUrl = found->second;
        CompareResult = CompareVersions(CurrentServerVersion, local);
        SetLabel(names::kLabelUpDate, CompareResult == 1
                                          ? Text(names::kLangUpdateAvailable) + " " + local +
                                                " ---> " + CurrentServerVersion
                                          : Text(names::kLangNoUpdate));
        SetLabel(names::kLabelServerVersion, CurrentServerVersion);
    } else {
        SetLabel(names::kLabelUpDate, Text(names::kLangFailedCheckUpdates));
        SetLabel(names::kLabelServerVersion, Text(names::kLangConnectionError));
        CompareResult = 0;
        DownloadUrl.clear();
        CurrentServerVersion.clear();
    }
    if (Button_GetCheck(CheckBoxForceUpdate) == BST_CHECKED || downloading_)
        return;
    SetLabel(names::kButtonDownload, Text(names::kLangDownload));
    for (HWND control : {GroupBoxOption.Handle(), CheckBoxQuickUpdate.Handle(),
                         CheckBoxForceUpdate.Handle(), CheckBoxAutoCheck.Handle()})
        EnableWindow(control, TRUE);
    EnableWindow(ButtonDownload, CompareResult == 1);
}

void UpdaterWindow::QuickStartUpdate() {
    DownloadUrl = BackgroundDownloadUrl;
    CurrentServerVersion = BackgroundServerVersion;
    SetLabel(names::kLabelUpDate, Text(names::kLangUpdateAvailable) + " " + LocalVersion() +
                                      " ---> " + CurrentServerVersion);
    // The download starts once the window has shown itself.
    GuiThread::Post(hwnd_, [this] { ButtonDownloadClick(); });
}

void UpdaterWindow::ButtonDownloadClick() {
    if (downloading_)
        CancelDownload();
    else if (!DownloadUrl.empty())
        StartDownload();
    else
        ShowIdle(Text(names::kLangNoDownload));  // a forced download after a failed check
}

void UpdaterWindow::ForceUpdateClick() {
    if (downloading_)
        return;
    // Ticked, the package of the last check may be downloaded whatever its version; unticked,
    // the button is as the check left it.
    const bool forced = Button_GetCheck(CheckBoxForceUpdate) == BST_CHECKED;
    SetLabel(names::kButtonDownload, Text(names::kLangDownload));
    EnableWindow(ButtonDownload, forced || CompareResult == 1);
}

void UpdaterWindow::StartDownload() {
    downloading_ = true;
    SetLabel(names::kButtonDownload, Text(names::kLangCancel));
    EnableWindow(ButtonDownload, TRUE);
    for (HWND control :
         {ButtonClose.Handle(), GroupBoxOption.Handle(), CheckBoxQuickUpdate.Handle(),
          CheckBoxForceUpdate.Handle(), CheckBoxAutoCheck.Handle()})
        EnableWindow(control, FALSE);
    SendMessageW(ProgressBarUpdate, PBM_SETPOS, 0, 0);
    ShowWindow(ProgressBarUpdate, SW_SHOW);
    SetTaskbarProgress(0);
    const bool forced = Button_GetCheck(CheckBoxForceUpdate) == BST_CHECKED;
    download_ = std::make_unique<Job>(
        GuiThread::To(hwnd_), [this, url = DownloadUrl, version = CurrentServerVersion,
                               running = LocalVersion(), forced](JobContext& job) {
            auto result = std::make_shared<DownloadResult>();
            try {
                *result = FetchPackage(url, version, running, forced, job, [&](int percent) {
                    job.Post([this, percent] { DownloadProgress(percent); });
                });
            } catch (...) {
                // Whatever went wrong on the way (no memory for a large answer among it), the
                // window shows a failed download rather than the program ending.
                *result = DownloadResult{};
            }
            job.Post([this, result] { DownloadDone(*result); });
        });
}

void UpdaterWindow::DownloadProgress(int percent) {
    SendMessageW(ProgressBarUpdate, PBM_SETPOS, percent, 0);
    SetTaskbarProgress(percent);
}

void UpdaterWindow::DownloadDone(const DownloadResult& result) {
    downloading_ = false;
    const std::string name = GetFileNameFromUrl(DownloadUrl);
    // Only a package that its signature shows to be ours is written. A refused one wrote
    // nothing, and a file of that name that was there before (an archive kept from an earlier
    // update) is not this download's to remove.
    if (result.outcome != DownloadOutcome::Verified) {
        ShowIdle(Text(result.outcome == DownloadOutcome::Failed        ? names::kLangNoDownload
                      : result.outcome == DownloadOutcome::NoSignature ? names::kLangNoSignature
                                                                       : names::kLangBadSignature));
        return;
    }
    if (!portable_) {
        // The installer goes into a new folder of this download's own and stays open, refusing
        // writers, until its process has started: what runs is what was verified.
        std::optional<HeldPackage> held = WriteHeldPackage(name, result.package);
        if (!held) {
            ShowIdle(Text(names::kLangNoDownload));
            return;
        }
        SetLabel(names::kLabelUpDate, Text(names::kLangDownloadComplet));
        StartInstaller(*held);
        ShowIdle(Text(names::kLangDownloadComplet));
        return;
    }
    // An archive with an entry that would land outside the program's folder is refused whole,
    // before anything of it is written.
    if (!ArchiveStaysInFolder(result.package)) {
        ShowIdle(Text(names::kLangNoDownload));
        return;
    }
    const std::string destination = ExecutableFolder() + name;
    try {
        WriteWholeFile(destination, result.package);
    } catch (const FileError&) {
        ShowIdle(Text(names::kLangNoDownload));
        return;
    }
    SetLabel(names::kLabelUpDate, Text(names::kLangDownloadComplet));
    if (Button_GetCheck(CheckBoxQuickUpdate) == BST_CHECKED)
        SimplePortableUpdate(destination, Sha256Hex(result.package).value_or(""), ExecutablePath());
    ShowIdle(Text(names::kLangDownloadComplet));
}

void UpdaterWindow::StartInstaller(const HeldPackage& installer) {
    const bool quick = Button_GetCheck(CheckBoxQuickUpdate) == BST_CHECKED;
    // The installer gets one of its own language names; nothing else of the settings.
    const std::wstring parameters =
        quick ? Widen(InstallerParameters(settings_->Values().language)) : std::wstring();
    const std::wstring path = Widen(installer.path);
    std::wstring command = L"\"" + path + L"\"" + (quick ? L" " + parameters : std::wstring());
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    bool started = CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.c_str(), &startup, &process) != FALSE;
    if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else if (constexpr DWORD kElevationRequired = 740; GetLastError() == kElevationRequired) {
        // A program that runs without elevation asks for it, for this very file.
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.hwnd = hwnd_;
        info.lpVerb = L"runas";
        info.lpFile = path.c_str();
        info.lpParameters = quick ? parameters.c_str() : nullptr;
        info.lpDirectory = folder.c_str();
        info.nShow = SW_SHOWNORMAL;
        started = ShellExecuteExW(&info) != FALSE;
    }
    if (quick && started) {
        // The installer replaces this program: the loops end once this action is over, and
        // no window saves its settings on the way out.
        exitingForUpdate_ = true;
        PostQuitMessage(0);
    }
}

void UpdaterWindow::SimplePortableUpdate(const std::string& zipInAppDir,
                                         const std::string& zipSha256,
                                         const std::string& currentExePath) {
    const auto fileName = [](const std::string& path) {
        return path.substr(path.find_last_of('\\') + 1);
    };
    const std::string folder = currentExePath.substr(0, currentExePath.find_last_of('\\') + 1);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const std::string script = TempFolder() + UpdateScriptName(now.wHour, now.wMinute, now.wSecond);
    bool written = true;
    try {
        WriteWholeFile(script, EncodeUpdateScript(folder, fileName(currentExePath),
                                                  fileName(zipInAppDir), zipSha256));
    } catch (const FileError&) {
        // Reported below like a script that is not there; an older script of the same name
        // is not started in its place.
        written = false;
    }
    // The system's command processor by its full path, without AutoRun commands (/d), and not
    // through whatever the user's settings associate with ".bat". The outer quotes are the
    // processor's to remove; the inner ones keep the script's path whole.
    const std::wstring processor = Widen(SystemFolder() + "\\cmd.exe");
    std::wstring command = L"cmd.exe /d /c \"\"" + Widen(script) + L"\"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (written && CreateProcessW(processor.c_str(), command.data(), nullptr, nullptr, FALSE,
                                  CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        ExitProcess(0);
    }
    // The program stays open, and says so.
    MessageBoxW(nullptr, L"Failed to create update script!", L"Corvandel", MB_OK);
}

void UpdaterWindow::CancelDownload() {
    downloading_ = false;
    download_.reset();  // stopped at once; what it still had to report is dropped
    // Nothing of a download is written before it is complete and verified: nothing to remove.
    ShowIdle(Text(names::kLangNoDownload));
}

void UpdaterWindow::ShowIdle(const std::string& status) {
    SetLabel(names::kButtonDownload, Text(names::kLangDownload));
    for (HWND control :
         {ButtonDownload.Handle(), ButtonClose.Handle(), GroupBoxOption.Handle(),
          CheckBoxQuickUpdate.Handle(), CheckBoxForceUpdate.Handle(), CheckBoxAutoCheck.Handle()})
        EnableWindow(control, TRUE);
    SendMessageW(ProgressBarUpdate, PBM_SETPOS, 0, 0);
    ShowWindow(ProgressBarUpdate, SW_HIDE);
    SetLabel(names::kLabelUpDate, status);
    SetTaskbarProgress(-1);
}

void UpdaterWindow::SetTaskbarProgress(int percent) {
    if (taskbar_ == nullptr)
        return;
    if (percent < 0) {
        taskbar_->SetProgressState(hwnd_, TBPF_NOPROGRESS);
        return;
    }
    taskbar_->SetProgressState(hwnd_, TBPF_NORMAL);
    taskbar_->SetProgressValue(hwnd_, static_cast<ULONGLONG>(percent), 100);
}

LRESULT UpdaterWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (GuiThread::Run(message, lParam))
        return 0;
    if (const auto drawn = AppTheme::Instance().HandleMessage(hwnd_, message, wParam, lParam))
        return *drawn;
    if (message == TaskbarButtonCreated() && taskbar_ == nullptr) {
        void* list = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ITaskbarList3, &list))) {
            taskbar_ = static_cast<ITaskbarList3*>(list);
            if (FAILED(taskbar_->HrInit())) {
                taskbar_->Release();
                taskbar_ = nullptr;
            }
        }
        return 0;
    }
    switch (message) {
        case WM_SETCURSOR: {
            // The buttons and options show the hand.
            const HWND control = reinterpret_cast<HWND>(wParam);
            for (const HWND clickable :
                 {ButtonDownload.Handle(), ButtonClose.Handle(), CheckBoxQuickUpdate.Handle(),
                  CheckBoxForceUpdate.Handle(), CheckBoxAutoCheck.Handle()}) {
                if (control == clickable) {
                    SetCursor(LoadCursorW(nullptr, IDC_HAND));
                    return TRUE;
                }
            }
            break;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                // Enter answers IDOK whatever the button's state: it acts only as the button.
                if (IsWindowEnabled(ButtonDownload))
                    ButtonDownloadClick();
                return 0;
            }
            if (LOWORD(wParam) == kIdCheckBoxForceUpdate && HIWORD(wParam) == BN_CLICKED) {
                ForceUpdateClick();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                // ButtonCloseClick; Escape does the same, but not while a download runs.
                if (!downloading_)
                    closed_ = true;
                return 0;
            }
            return 0;
        case WM_DPICHANGED:
            // Another monitor or another scale: fonts and layout anew, in the place the system
            // suggests.
            ApplyDpi(DpiOfMessage(wParam), &SuggestedRect(lParam));
            return 0;
        case WM_CLOSE:
            // Closing the frame during a download stops the download first.
            if (downloading_)
                CancelDownload();
            closed_ = true;
            return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace corvandel
