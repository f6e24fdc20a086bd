// Starts Corvandel.exe and reads what a user would see: the window caption, the status bar,
// every row and column of the program list, message boxes. Commands come as arguments and
// run in order; results are printed as tab-separated UTF-8 lines. Controls and menu commands
// are named by their component names (ListViewUninstall, DeleteKeyUninstallMenu).
//
//   launch <exe>                 start a copy of the program (it becomes the current one)
//   attach [ms]                  take the copy that is already running (from an earlier call),
//                                or that shows its window within ms
//   use <n>                      make the n-th launched copy (from 1) the current one
//   wait-window [ms]             wait until the current copy shows its main window
//   wait-status <panel> <prefix> [ms]   wait until a status-bar panel starts with prefix
//   wait-status-not <panel> <prefix> [ms]   wait until it no longer does
//   caption | status | rows      print the main window's caption, panels or list rows
//   images                       print each row's caption and image-list index
//   latency <ms>                 for that long, time how soon the main window answers a
//                                message, over and over; print the median and the worst
//   message-box [ms] [yes|no]    wait for a message box, print title and text, then press
//                                OK, or Yes or No
//   message-box-buttons [ms]     wait for a message box and print its buttons' texts
//   save-dialog <path> [ms]      wait for a file-save dialog, type the path and press Save
//   select-name <caption>        select the first row of the program list with this caption
//   list-rows <control> <n>      print n columns of every row of another list view
//   select-in <control> <row>    select a row alone in another list view
//   command <name>               send the main window the command of a menu item
//   language <n>                 send the main window the command of the n-th language item
//   key <control> <vk> [shift|ctrl|alt]   press a key in a control of the main window
//   text <control>               print a control's text (the console, the search box)
//   set-text <control> <text>    replace a control's text, as typing would
//   click <control>              press a button of the main window
//   column-click <n>             click the n-th header of the program list
//   select <row>                 select a row of the program list alone, as a click does
//   height <control>             print a control's height
//   rect <control>               print a control's place and size in the main window
//   columns <control> <n>        print the width and alignment of a list's first n columns
//   column-captions <control> <n>   print the titles of a list's first n columns
//   cue <control>                print an edit box's cue text
//   wait-rows <control> <n> [ms] wait until a list has n rows
//   wait-rows-over <control> <n> [ms]   wait until a list has more than n rows
//   type-timed <control> <text>  type the text one character at a time; print, for each,
//                                the milliseconds until the program list is drawn again
//   row-height <control>         print the height of a list's first row
//   client-size <w> <h>          give the main window's client area that size, at the top left
//   window                       print the main window's state and outer size
//   about                        print the About window's version line and copyright
//   about-texts                  print the About window's caption, every label and its button
//   about-close                  press the About window's button
//   dialog-layout about|update   print the About or update window's client size, each
//                                control's place and size, and the size the text of each
//                                button and check box needs
//   dpi-changed about|update <from> <to>   tell the window it is now on a monitor of DPI
//                                to, as the system does, suggesting its client area scaled by
//                                to/from in the same frame; wait until it takes that size
//   maximize                     maximize the main window
//   popup                        print whether a popup menu of the program is open
//   wait-popup [ms]              wait until a popup menu of the program is open, then print it
//   escape                       press Escape in the open popup menu
//   menu-key <vk>                press a key in the open popup menu
//   list-colors <control>        print a list's background and text colours as r,g,b
//   update                       wait for the update window; print its caption, status,
//                                versions, download button text and whether the download
//                                button, the options and the close button are enabled,
//                                whether the progress bar shows and the start-up option
//   wait-update-label <prefix> [ms]   wait until its status starts with prefix; print every
//                                position the progress bar took meanwhile
//   wait-update-progress <above> [ms]  wait until its progress bar shows a position above
//                                that one; print it as "position"
//   update-download | update-close   press its download or close button
//   update-option quick|force|auto on|off   tick or untick an option, shown or not
//   click-foreign <title> <text> [ms]   click the button with that text in another program's
//                                window whose title starts with title (an installer's)
//   wait-foreign <title> <text> [ms]    wait until such a button shows, without clicking it
//   popup-rect                   print the screen place and size of each open popup menu
//   screen-rect <control|window> print a control's (or the main window's client area's)
//                                place and size on the screen
//   setting-change               broadcast the system's light/dark switch to every window
//   close                        close the main window
//   wait-exit [ms]               wait until the current copy ends and print its exit code
//   windows                      print how many visible top-level windows the copy has
//   sleep <ms>
//   mark | elapsed               remember the time (a launch remembers when the copy was
//                                started); print the milliseconds since then
//   run <out> <err> <command line>   run a command line with standard output and error going
//                                to the files out and err, wait for it (at most 5 minutes) and
//                                print its exit code in full
//   deny-read <HKLM|HKCU\path>     in the 64-bit view, let nobody read that key any more
//   lock <path>                  open a file for this driver alone until it ends
//   touch <path>                 create an empty file (a sign for a script that waits)
//   shortcut <link> <target>     make a shell link
//   kill                         end the current copy at once, as a crash would
//   wait-leftovers <text> [ms]   wait until the leftovers window's status begins with the
//                                text; print its rows (tick first), each kind's heading row
//                                (the rows without a check box) as "heading", and the status
//   leftover-check <row> <0|1>   clear or tick a row of the leftovers window; rows are
//                                counted without the headings, here and below
//   leftover-details <row>       select a row of the leftovers window alone, as a click does,
//                                and print the details box under the list, a field a line
//   leftover-tab <n>             give the leftovers list the focus, press Tab n times and
//                                print the control that has the focus after each
//   leftover-click <name>        ButtonRemoveChosen or ButtonCancel of the leftovers window

#include <windows.h>

#include <commctrl.h>

#include <sddl.h>
#include <shlobj.h>
#include <algorithm>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/text.h"
#include "ui/commands.h"
#include "ui/control_ids.h"
#include "ui/stored_names.h"

namespace {

// The window classes the program registers.
const wchar_t* const kMainClass = corvandel::stored::kMainWindow.windowClass;
const wchar_t* const kAboutClass = corvandel::stored::kAboutWindow.windowClass;
const wchar_t* const kUpdateClass = corvandel::stored::kUpdateWindow.windowClass;
const wchar_t* const kQueueClass = corvandel::stored::kQueueWindow.windowClass;
const wchar_t* const kLeftoversClass = corvandel::stored::kLeftoversWindow.windowClass;

struct Program {
    PROCESS_INFORMATION info{};
};

std::vector<Program> programs;
size_t current = 0;
ULONGLONG marked = 0;  // what elapsed counts from

std::string Narrow(const std::wstring& text) {
    return corvandel::Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::wstring Widen(const std::string& text) {
    const std::u16string units = corvandel::Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

void Print(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += '\t';
        line += fields[i];
    }
    line += '\n';
    fwrite(line.data(), 1, line.size(), stdout);
    fflush(stdout);
}

[[noreturn]] void Fail(const std::string& message) {
    throw std::runtime_error(message);
}

// A key that denies reading to everyone, as a key with broken permissions does.
void DenyRead(const std::string& name) {
    const size_t slash = name.find('\\');
    const std::string rootName = name.substr(0, slash);
    const HKEY root = rootName == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    if (slash == std::string::npos ||
        RegOpenKeyExW(root, Widen(name.substr(slash + 1)).c_str(), 0, WRITE_DAC | KEY_WOW64_64KEY,
                      &key) != ERROR_SUCCESS) {
        Fail("cannot open " + name);
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorW(
                        L"D:(D;;KR;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr) &&
                    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
    if (descriptor)
        LocalFree(descriptor);
    RegCloseKey(key);
    if (!ok)
        Fail("cannot change the permissions of " + name);
}

Program& Current() {
    if (current >= programs.size())
        Fail("no program launched");
    return programs[current];
}

struct FindData {
    DWORD pid;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
    auto* data = reinterpret_cast<FindData*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != data->pid || !IsWindowVisible(hwnd))
        return TRUE;
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (data->className == nullptr || wcscmp(name, data->className) == 0) {
        data->found.push_back(hwnd);
    }
    return TRUE;
}

BOOL CALLBACK CollectAnyWindow(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopWindows(const wchar_t* className) {
    FindData data{Current().info.dwProcessId, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

template <typename Check>
bool WaitFor(DWORD timeoutMs, Check check) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (true) {
        if (check())
            return true;
        if (GetTickCount64() > end)
            return false;
        Sleep(50);
    }
}

HWND MainWindow() {
    const auto windows = TopWindows(kMainClass);
    if (windows.empty())
        Fail("the main window is not shown");
    return windows.front();
}

// Memory in the program's process for the structures that list and status messages fill.
class RemoteBuffer {
  public:
    RemoteBuffer(HANDLE process, size_t size) : process_(process), size_(size) {
        address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
        if (!address_)
            Fail("VirtualAllocEx failed");
    }
    ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    void* Address() const { return address_; }
    void Write(const void* data, size_t size, size_t offset = 0) {
        SIZE_T written = 0;
        WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &written);
    }
    void Read(void* data, size_t size, size_t offset = 0) {
        SIZE_T read = 0;
        ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &read);
    }

  private:
    HANDLE process_;
    size_t size_;
    void* address_ = nullptr;
};

constexpr size_t kTextChars = 4096;

std::string StatusText(HWND status, int panel) {
    RemoteBuffer buffer(Current().info.hProcess, kTextChars * sizeof(wchar_t));
    const LRESULT result = SendMessageW(status, SB_GETTEXTLENGTHW, panel, 0);
    const size_t length = LOWORD(result) < kTextChars ? LOWORD(result) : kTextChars - 1;
    std::wstring text(kTextChars, L'\0');
    SendMessageW(status, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(buffer.Address()));
    buffer.Read(text.data(), kTextChars * sizeof(wchar_t));
    text.resize(length);
    return Narrow(text);
}

HWND Control(int id) {
    const HWND control = GetDlgItem(MainWindow(), id);
    if (!control)
        Fail("control " + std::to_string(id) + " not found");
    return control;
}

// A control of the main window by its component name.
HWND Control(const std::string& name) {
    const int id = ControlByName(name);
    if (id == 0)
        Fail("no control is named " + name);
    return Control(id);
}

const std::string& Arg(const std::vector<std::string>& args, size_t index) {
    if (index >= args.size())
        Fail("missing argument after " + args[index - 1]);
    return args[index];
}

std::vector<std::vector<std::string>> ListRows(HWND list, int columns) {
    const size_t itemOffset = 0;
    const size_t textOffset = sizeof(LVITEMW);
    RemoteBuffer buffer(Current().info.hProcess, textOffset + kTextChars * sizeof(wchar_t));
    const auto remoteText =
        reinterpret_cast<wchar_t*>(static_cast<char*>(buffer.Address()) + textOffset);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::vector<std::string>> rows;
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> fields;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = remoteText;
            item.cchTextMax = kTextChars;
            buffer.Write(&item, sizeof item, itemOffset);
            const int length = static_cast<int>(SendMessageW(
                list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buffer.Address())));
            std::wstring text(kTextChars, L'\0');
            buffer.Read(text.data(), kTextChars * sizeof(wchar_t), textOffset);
            text.resize(length);
            fields.push_back(Narrow(text));
        }
        rows.push_back(std::move(fields));
    }
    return rows;
}

// WM_GETTEXT, not GetWindowText: for a window of another process GetWindowText returns the
// stored caption only, while an edit control keeps its text itself.
std::string WindowText(HWND hwnd) {
    std::wstring text(kTextChars * 16, L'\0');
    DWORD_PTR length = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_NORMAL, 10000, &length);
    text.resize(length);
    return Narrow(text);
}

// The first message box of the program, once one is shown.
HWND WaitForMessageBox(DWORD timeoutMs) {
    HWND box = nullptr;
    if (!WaitFor(timeoutMs, [&] {
            const auto boxes = TopWindows(L"#32770");
            box = boxes.empty() ? nullptr : boxes.front();
            return box != nullptr;
        })) {
        Fail("no message box appeared");
    }
    return box;
}

BOOL CALLBACK CollectStatic(HWND hwnd, LPARAM lParam) {
    wchar_t name[32] = {};
    GetClassNameW(hwnd, name, 32);
    if (_wcsicmp(name, L"Static") == 0)
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lParam) {
    // Direct children only: a control's own parts (a list's header) are the control's.
    if (GetParent(hwnd) == GetAncestor(hwnd, GA_ROOT))
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    return TRUE;
}

// The list row of the leftovers window's n-th item: the kinds' heading rows, which have no
// check box (state image 0), are not counted.
WPARAM LeftoverRow(HWND list, DWORD item) {
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        if (SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) == 0)
            continue;
        if (item-- == 0)
            return static_cast<WPARAM>(row);
    }
    Fail("the leftovers window has no such row");
}

// The shown About or update window of the current copy, once it shows.
HWND ShownDialog(const std::string& which) {
    const wchar_t* className = which == "about"       ? kAboutClass
                               : which == "update"    ? kUpdateClass
                               : which == "queue"     ? kQueueClass
                               : which == "leftovers" ? kLeftoversClass
                                                      : nullptr;
    if (className == nullptr)
        Fail("no window is named " + which);
    HWND window = nullptr;
    WaitFor(10000, [&] {
        const auto shown = TopWindows(className);
        window = shown.empty() ? nullptr : shown.front();
        return window != nullptr;
    });
    if (window == nullptr)
        Fail("the " + which + " window is not shown");
    return window;
}

// The client area's size, then for each control "rect" with its place and size in the
// client area and, for buttons and check boxes, "needs" with the size their text and box
// take in the control's font (BCM_GETIDEALSIZE): text cut off shows as a need larger than
// the control.
void PrintDialogLayout(const std::string& which) {
    const HWND window = ShownDialog(which);
    RECT client{};
    GetClientRect(window, &client);
    Print({which, "client", std::to_string(client.right), std::to_string(client.bottom)});
    std::vector<HWND> controls;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&controls));
    RemoteBuffer buffer(Current().info.hProcess, sizeof(SIZE));
    for (size_t i = 0; i < controls.size(); ++i) {
        wchar_t className[32] = {};
        GetClassNameW(controls[i], className, 32);
        const LONG type = GetWindowLongW(controls[i], GWL_STYLE) & BS_TYPEMASK;
        const bool button = _wcsicmp(className, L"Button") == 0;
        const bool checkBox = button && type == BS_AUTOCHECKBOX;
        const bool pushButton = button && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
        const std::string name = (checkBox     ? std::string("CheckBox")
                                  : pushButton ? std::string("Button")
                                               : Narrow(className)) +
                                 "#" + std::to_string(i);
        RECT rect{};
        GetWindowRect(controls[i], &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        Print({which, "rect", name, std::to_string(rect.left), std::to_string(rect.top),
               std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top)});
        if (!checkBox && !pushButton)
            continue;
        SIZE needed{};
        buffer.Write(&needed, sizeof needed);
        SendMessageW(controls[i], BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(buffer.Address()));
        buffer.Read(&needed, sizeof needed);
        Print({which, "needs", name, std::to_string(needed.cx), std::to_string(needed.cy),
               std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top)});
    }
}

// What the system sends a per-monitor-aware window that moved to a monitor of another scale:
// the new DPI, and a rectangle in the program's memory where the window should go.
void SendDpiChanged(const std::string& which, int from, int to) {
    const HWND window = ShownDialog(which);
    RECT outer{};
    RECT client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int width = MulDiv(client.right, to, from);
    const int height = MulDiv(client.bottom, to, from);
    RECT suggested{outer.left, outer.top,
                   outer.left + width + (outer.right - outer.left) - client.right,
                   outer.top + height + (outer.bottom - outer.top) - client.bottom};
    RemoteBuffer buffer(Current().info.hProcess, sizeof(RECT));
    buffer.Write(&suggested, sizeof suggested);
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_DPICHANGED, MAKEWPARAM(to, to),
                        reinterpret_cast<LPARAM>(buffer.Address()), SMTO_NORMAL, 10000, &result);
    if (!WaitFor(5000, [&] {
            GetClientRect(window, &client);
            return client.right == width && client.bottom == height;
        })) {
        Fail("the " + which + " window did not take the suggested size: " +
             std::to_string(client.right) + " x " + std::to_string(client.bottom) + " for " +
             std::to_string(width) + " x " + std::to_string(height));
    }
}

DWORD Number(const std::vector<std::string>& args, size_t index, DWORD fallback) {
    return index < args.size() ? static_cast<DWORD>(std::strtoul(args[index].c_str(), nullptr, 10))
                               : fallback;
}

// Each command takes its own arguments; the number of arguments each one consumes.
size_t RunCommand(const std::vector<std::string>& args, size_t at) {
    const std::string& command = args[at];
    auto optional = [&](size_t offset, DWORD fallback) -> std::pair<DWORD, size_t> {
        const size_t index = at + offset;
        if (index < args.size() && !args[index].empty() &&
            isdigit(static_cast<unsigned char>(args[index][0]))) {
            return {Number(args, index, fallback), 1};
        }
        return {fallback, 0};
    };

    if (command == "launch") {
        if (at + 1 >= args.size())
            Fail("launch needs a path");
        std::wstring commandLine = L"\"" + Widen(args[at + 1]) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        Program program;
        // The program starts in its own folder, as from a shortcut.
        std::wstring folder = Widen(args[at + 1]);
        folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
        // A loaded machine's Wine now and then refuses a start that works a moment later;
        // a few tries tell that apart from a program that cannot start at all.
        DWORD error = 0;
        for (int attempt = 0; attempt < 5; ++attempt) {
            marked = GetTickCount64();
            if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder.empty() ? nullptr : folder.c_str(), &startup,
                               &program.info)) {
                error = 0;
                break;
            }
            error = GetLastError();
            Sleep(1000);
        }
        if (error != 0)
            Fail("cannot start " + args[at + 1] + " (error " + std::to_string(error) + ")");
        programs.push_back(program);
        current = programs.size() - 1;
        return 2;
    }
    if (command == "attach") {
        // A copy that is running, or that starts within the given time.
        const auto [timeout, used] = optional(1, 0);
        HWND main = nullptr;
        WaitFor(timeout, [&] {
            main = FindWindowW(kMainClass, nullptr);
            return main != nullptr && IsWindowVisible(main);
        });
        if (!main)
            Fail("no running copy to attach to");
        Program program;
        GetWindowThreadProcessId(main, &program.info.dwProcessId);
        program.info.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, program.info.dwProcessId);
        if (!program.info.hProcess)
            Fail("cannot open the running copy");
        programs.push_back(program);
        current = programs.size() - 1;
        return 1 + used;
    }
    if (command == "click-foreign" || command == "wait-foreign") {
        // Clicks the button with the given text in a window of another program (an installer,
        // say) whose title starts with the given text; "&" marks in the button's text are
        // ignored.
        const std::wstring title = Widen(Arg(args, at + 1));
        const std::wstring text = Widen(Arg(args, at + 2));
        const auto [timeout, used] = optional(3, 30000);
        HWND button = nullptr;
        WaitFor(timeout, [&] {
            std::vector<HWND> windows;
            EnumWindows(CollectAnyWindow, reinterpret_cast<LPARAM>(&windows));
            for (HWND window : windows) {
                if (!IsWindowVisible(window) || Widen(WindowText(window)).rfind(title, 0) != 0)
                    continue;
                for (HWND child = FindWindowExW(window, nullptr, L"Button", nullptr); child;
                     child = FindWindowExW(window, child, L"Button", nullptr)) {
                    std::wstring caption = Widen(WindowText(child));
                    caption.erase(std::remove(caption.begin(), caption.end(), L'&'), caption.end());
                    if (caption == text && IsWindowVisible(child) && IsWindowEnabled(child))
                        button = child;
                }
            }
            return button != nullptr;
        });
        if (!button)
            Fail("no button " + Arg(args, at + 2) + " in a window " + Arg(args, at + 1));
        if (command == "click-foreign")
            PostMessageW(button, BM_CLICK, 0, 0);
        return 3 + used;
    }
    if (command == "use") {
        current = Number(args, at + 1, 1) - 1;
        return 2;
    }
    if (command == "wait-window") {
        const auto [timeout, used] = optional(1, 30000);
        if (!WaitFor(timeout, [] { return !TopWindows(kMainClass).empty(); })) {
            Fail("the main window did not appear");
        }
        return 1 + used;
    }
    if (command == "wait-status" || command == "wait-status-not") {
        const bool starts = command == "wait-status";
        if (at + 2 >= args.size())
            Fail(command + " needs a panel and a prefix");
        const int panel = static_cast<int>(Number(args, at + 1, 0));
        const std::string prefix = args[at + 2];
        const auto [timeout, used] = optional(3, 60000);
        std::string last;
        const bool ok = WaitFor(timeout, [&] {
            const auto windows = TopWindows(kMainClass);
            if (windows.empty())
                return false;
            const HWND status = GetDlgItem(windows.front(), kIdStatusBarUninstall);
            last = status ? StatusText(status, panel) : std::string();
            return (last.rfind(prefix, 0) == 0) == starts;
        });
        if (!ok)
            Fail("status panel " + std::to_string(panel) + " reads \"" + last + "\"");
        return 3 + used;
    }
    if (command == "caption") {
        Print({"caption", WindowText(MainWindow())});
        return 1;
    }
    if (command == "status") {
        const HWND status = Control(kIdStatusBarUninstall);
        Print({"status", StatusText(status, 0), StatusText(status, 1)});
        return 1;
    }
    if (command == "rows") {
        for (auto& fields : ListRows(Control(kIdListViewUninstall), kListColumns)) {
            fields.insert(fields.begin(), "row");
            Print(fields);
        }
        return 1;
    }
    if (command == "latency") {
        const HWND window = MainWindow();
        const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(Number(args, at + 1, 0));
        std::vector<double> waits;
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        while (GetTickCount64() < until) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            QueryPerformanceCounter(&end);
            waits.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                            static_cast<double>(frequency.QuadPart));
            Sleep(5);
        }
        std::sort(waits.begin(), waits.end());
        char text[64];
        std::snprintf(text, sizeof text, "%.1f\t%.1f",
                      waits.empty() ? 0.0 : waits[waits.size() / 2],
                      waits.empty() ? 0.0 : waits.back());
        Print({"latency", text});
        return 2;
    }
    if (command == "images") {
        const HWND list = Control(kIdListViewUninstall);
        const auto captions = ListRows(list, 1);
        RemoteBuffer buffer(Current().info.hProcess, sizeof(LVITEMW));
        for (size_t row = 0; row < captions.size(); ++row) {
            LVITEMW item{};
            item.mask = LVIF_IMAGE;
            item.iItem = static_cast<int>(row);
            buffer.Write(&item, sizeof item);
            SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.Address()));
            buffer.Read(&item, sizeof item);
            Print({"image", captions[row][0], std::to_string(item.iImage)});
        }
        return 1;
    }
    if (command == "message-box-buttons") {
        // The buttons of a message box, left as it is.
        const auto [timeout, used] = optional(1, 30000);
        const HWND box = WaitForMessageBox(timeout);
        std::vector<std::string> line{"buttons"};
        for (const int id : {IDOK, IDYES, IDNO, IDCANCEL}) {
            if (const HWND button = GetDlgItem(box, id))
                line.push_back(WindowText(button));
        }
        Print(line);
        return 1 + used;
    }
    if (command == "message-box") {
        const auto [timeout, used] = optional(1, 30000);
        const HWND box = WaitForMessageBox(timeout);
        std::vector<HWND> statics;
        EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&statics));
        std::string text;
        for (HWND child : statics) {
            const std::string part = WindowText(child);
            if (part.size() > text.size())
                text = part;
        }
        Print({"message-box", WindowText(box), text});
        size_t consumed = 1 + used;
        int button = IDOK;
        if (at + consumed < args.size() &&
            (args[at + consumed] == "yes" || args[at + consumed] == "no")) {
            button = args[at + consumed] == "yes" ? IDYES : IDNO;
            ++consumed;
        }
        PostMessageW(box, WM_COMMAND, button, 0);
        // Gone before the next step, which may wait for another box.
        WaitFor(5000, [box] { return !IsWindow(box) || !IsWindowVisible(box); });
        return consumed;
    }
    if (command == "command") {
        const int id = corvandel::CommandByName(Arg(args, at + 1));
        if (id == 0)
            Fail("no menu command is named " + args[at + 1]);
        PostMessageW(MainWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return 2;
    }
    if (command == "language") {
        const int id = corvandel::kCmdLanguageFirst + static_cast<int>(Number(args, at + 1, 0));
        PostMessageW(MainWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
        return 2;
    }
    if (command == "key") {
        // Modifiers are pressed for the whole process through the input queue, the way a
        // user's keyboard does it, so accelerators and GetKeyState see them.
        const HWND control = Control(Arg(args, at + 1));
        const WORD vk = static_cast<WORD>(Number(args, at + 2, 0));
        WORD modifier = 0;
        size_t used = 3;
        if (at + 3 < args.size()) {
            const std::string& name = args[at + 3];
            modifier = name == "shift"  ? VK_SHIFT
                       : name == "ctrl" ? VK_CONTROL
                       : name == "alt"  ? VK_MENU
                                        : 0;
            if (modifier)
                used = 4;
        }
        // Sharing the program's input state lets this process give its control the focus.
        const DWORD target = GetWindowThreadProcessId(control, nullptr);
        AttachThreadInput(GetCurrentThreadId(), target, TRUE);
        SetForegroundWindow(MainWindow());
        SetFocus(control);
        AttachThreadInput(GetCurrentThreadId(), target, FALSE);
        Sleep(200);
        std::vector<INPUT> inputs;
        auto press = [&](WORD key, bool up) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = key;
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        };
        if (modifier)
            press(modifier, false);
        press(vk, false);
        press(vk, true);
        if (modifier)
            press(modifier, true);
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        return used;
    }
    if (command == "text") {
        Print({"text", WindowText(Control(Arg(args, at + 1)))});
        return 2;
    }
    if (command == "set-text") {
        if (at + 2 >= args.size())
            Fail("set-text needs a control and a text");
        const std::wstring text = Widen(args[at + 2]);
        SendMessageW(Control(Arg(args, at + 1)), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(text.c_str()));
        return 3;
    }
    if (command == "type-timed") {
        if (at + 2 >= args.size())
            Fail("type-timed needs a control and a text");
        const HWND control = Control(Arg(args, at + 1));
        const HWND list = Control(kIdListViewUninstall);
        for (const wchar_t character : Widen(args[at + 2])) {
            LARGE_INTEGER frequency, start, end;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            // Sent, so it returns once the program has handled the key; the list is then
            // made to draw what changed before the clock stops.
            SendMessageW(control, WM_CHAR, character, 1);
            RedrawWindow(list, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            SendMessageW(list, WM_NULL, 0, 0);
            QueryPerformanceCounter(&end);
            const double ms = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                              static_cast<double>(frequency.QuadPart);
            char text[32];
            std::snprintf(text, sizeof text, "%.2f", ms);
            Print({"key", text});
        }
        return 3;
    }
    if (command == "click") {
        PostMessageW(Control(Arg(args, at + 1)), BM_CLICK, 0, 0);
        return 2;
    }
    if (command == "column-click") {
        const HWND list = Control(kIdListViewUninstall);
        const HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        const int column = static_cast<int>(Number(args, at + 1, 0));
        // The middle of the header item, away from the dividers that start a resize.
        int x = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)) / 2;
        for (int i = 0; i < column; ++i) {
            x += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
        }
        const LPARAM point = MAKELPARAM(x, 4);
        SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, point);
        SendMessageW(header, WM_LBUTTONUP, 0, point);
        return 2;
    }
    if (command == "save-dialog") {
        if (at + 1 >= args.size())
            Fail("save-dialog needs a path");
        const auto [timeout, used] = optional(2, 30000);
        HWND dialog = nullptr;
        if (!WaitFor(timeout, [&] {
                const auto dialogs = TopWindows(L"#32770");
                dialog = dialogs.empty() ? nullptr : dialogs.front();
                return dialog != nullptr;
            })) {
            Fail("no save dialog appeared");
        }
        Sleep(500);  // the dialog fills its controls after it shows
        const std::wstring path = Widen(args[at + 1]);
        bool typed = false;
        for (int id : {0x47C, 0x480}) {  // the file-name combo box, or the plain edit box
            if (const HWND box = GetDlgItem(dialog, id)) {
                SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
                typed = true;
                break;
            }
        }
        if (!typed)
            Fail("the save dialog has no file-name box");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        if (!WaitFor(10000, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) {
            Fail("the save dialog did not close");
        }
        return 2 + used;
    }
    if (command == "select-name") {
        if (at + 1 >= args.size())
            Fail("select-name needs a caption");
        const HWND list = Control(kIdListViewUninstall);
        const auto rows = ListRows(list, 1);
        for (size_t row = 0; row < rows.size(); ++row) {
            if (rows[row][0] != args[at + 1])
                continue;
            RemoteBuffer buffer(Current().info.hProcess, sizeof(LVITEMW));
            LVITEMW item{};
            item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            item.state = LVIS_SELECTED | LVIS_FOCUSED;
            buffer.Write(&item, sizeof item);
            SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(buffer.Address()));
            return 2;
        }
        Fail("no row " + args[at + 1]);
    }
    if (command == "select-none") {
        // Takes the selection off every row of the program list.
        RemoteBuffer buffer(Current().info.hProcess, sizeof(LVITEMW));
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        buffer.Write(&item, sizeof item);
        SendMessageW(Control(kIdListViewUninstall), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(buffer.Address()));
        return 1;
    }
    if (command == "queue-rows") {
        for (auto& fields : ListRows(GetDlgItem(ShownDialog("queue"), kIdListViewQueue), 2)) {
            fields.insert(fields.begin(), "queue-row");
            Print(fields);
        }
        return 1;
    }
    if (command == "queue-click") {
        // A button of the queue window by its component name: RadioQuiet, RadioQuietOnly,
        // RadioInteractive, ButtonStart, ButtonStop or ButtonClose.
        const std::string& name = Arg(args, at + 1);
        namespace q = corvandel::stored::queue_window;
        const int id = name == q::kRadioQuiet.name         ? kIdRadioQuiet
                       : name == q::kRadioQuietOnly.name   ? kIdRadioQuietOnly
                       : name == q::kRadioInteractive.name ? kIdRadioInteractive
                       : name == q::kButtonStart.name      ? kIdButtonStart
                       : name == q::kButtonStop.name       ? kIdButtonStop
                       : name == q::kButtonClose.name      ? kIdButtonCloseQueue
                                                           : 0;
        if (id == 0)
            Fail("no queue button is named " + name);
        const HWND button = GetDlgItem(ShownDialog("queue"), id);
        if (!WaitFor(10000, [button] { return IsWindowEnabled(button) != FALSE; }))
            Fail(name + " stays disabled");
        SendMessageW(button, BM_CLICK, 0, 0);
        return 2;
    }
    if (command == "wait-queue-state") {
        // Until the given row of the queue shows a state beginning with the text.
        const int row = static_cast<int>(Number(args, at + 1, 0));
        const std::string prefix = Arg(args, at + 2);
        const auto [timeout, used] = optional(3, 60000);
        std::string last;
        if (!WaitFor(timeout, [&] {
                const auto rows = ListRows(GetDlgItem(ShownDialog("queue"), kIdListViewQueue), 2);
                last = row < static_cast<int>(rows.size()) ? rows[row][1] : std::string();
                return last.rfind(prefix, 0) == 0;
            })) {
            Fail("queue row " + std::to_string(row) + " reads \"" + last + "\"");
        }
        return 3 + used;
    }
    if (command == "wait-queue-done") {
        // Until a started queue has ended: nothing can start again and the window can close.
        const auto [timeout, used] = optional(1, 120000);
        const HWND window = ShownDialog("queue");
        if (!WaitFor(timeout, [window] {
                return !IsWindowEnabled(GetDlgItem(window, kIdButtonStart)) &&
                       IsWindowEnabled(GetDlgItem(window, kIdButtonCloseQueue));
            })) {
            Fail("the queue did not end");
        }
        return 1 + used;
    }
    if (command == "wait-leftovers") {
        // Until the leftovers window's status line begins with the text (a search or a removal
        // has ended); then its rows, each with its tick, and the status line.
        const std::string prefix = Arg(args, at + 1);
        const auto [timeout, used] = optional(2, 60000);
        const HWND window = ShownDialog("leftovers");
        const HWND status = GetDlgItem(window, kIdLabelLeftoversStatus);
        std::string last;
        if (!WaitFor(timeout, [&] {
                last = WindowText(status);
                return last.rfind(prefix, 0) == 0;
            })) {
            Fail("the leftovers window says \"" + last + "\"");
        }
        const HWND list = GetDlgItem(window, kIdListViewLeftovers);
        const auto rows = ListRows(list, 5);
        for (size_t row = 0; row < rows.size(); ++row) {
            const auto state = SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
            if (state == 0) {
                Print({"heading", rows[row][0]});
                continue;
            }
            std::vector<std::string> fields{"leftover", (state >> 12) == 2 ? "1" : "0"};
            fields.insert(fields.end(), rows[row].begin(), rows[row].end());
            Print(fields);
        }
        Print({"leftover-status", last});
        return 2 + used;
    }
    if (command == "leftover-check") {
        // Ticks (1) or clears (0) a row's box as a click on it would.
        const HWND list = GetDlgItem(ShownDialog("leftovers"), kIdListViewLeftovers);
        RemoteBuffer buffer(Current().info.hProcess, sizeof(LVITEMW));
        LVITEMW item{};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(Number(args, at + 2, 0) != 0 ? 2 : 1);
        buffer.Write(&item, sizeof item);
        SendMessageW(list, LVM_SETITEMSTATE, LeftoverRow(list, Number(args, at + 1, 0)),
                     reinterpret_cast<LPARAM>(buffer.Address()));
        return 3;
    }
    if (command == "leftover-tab") {
        namespace l = corvandel::stored::leftovers_window;
        const HWND window = ShownDialog("leftovers");
        const HWND list = GetDlgItem(window, kIdListViewLeftovers);
        const DWORD target = GetWindowThreadProcessId(window, nullptr);
        AttachThreadInput(GetCurrentThreadId(), target, TRUE);
        SetForegroundWindow(window);
        SetFocus(list);
        AttachThreadInput(GetCurrentThreadId(), target, FALSE);
        auto focused = [target] {
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            GetGUIThreadInfo(target, &info);
            return info.hwndFocus;
        };
        std::vector<std::string> fields{"focus"};
        for (DWORD presses = Number(args, at + 1, 1); presses > 0; --presses) {
            const HWND before = focused();
            INPUT inputs[2] = {};
            for (INPUT& input : inputs) {
                input.type = INPUT_KEYBOARD;
                input.ki.wVk = VK_TAB;
            }
            inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
            SendInput(2, inputs, sizeof(INPUT));
            WaitFor(2000, [&] { return focused() != before; });
            const int id = GetDlgCtrlID(focused());
            fields.push_back(id == kIdListViewLeftovers       ? l::kListViewLeftovers.name
                             : id == kIdMemoLeftoversDetails  ? l::kMemoLeftoversDetails.name
                             : id == kIdButtonRemoveChosen    ? l::kButtonRemoveChosen.name
                             : id == kIdButtonCancelLeftovers ? l::kButtonCancel.name
                                                              : std::to_string(id));
        }
        Print(fields);
        return 2;
    }
    if (command == "leftover-details") {
        const HWND window = ShownDialog("leftovers");
        const HWND list = GetDlgItem(window, kIdListViewLeftovers);
        // The row alone, as a click selects it.
        RemoteBuffer buffer(Current().info.hProcess, sizeof(LVITEMW));
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        buffer.Write(&item, sizeof item);
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(buffer.Address()));
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        buffer.Write(&item, sizeof item);
        SendMessageW(list, LVM_SETITEMSTATE, LeftoverRow(list, Number(args, at + 1, 0)),
                     reinterpret_cast<LPARAM>(buffer.Address()));
        std::vector<std::string> fields{"details"};
        const std::string text = WindowText(GetDlgItem(window, kIdMemoLeftoversDetails));
        for (size_t begin = 0; begin <= text.size();) {
            const size_t end = std::min(text.find("\r\n", begin), text.size());
            fields.push_back(text.substr(begin, end - begin));
            begin = end + 2;
        }
        Print(fields);
        return 2;
    }
    if (command == "leftover-click") {
        const std::string& name = Arg(args, at + 1);
        namespace l = corvandel::stored::leftovers_window;
        const int id = name == l::kButtonRemoveChosen.name ? kIdButtonRemoveChosen
                       : name == l::kButtonCancel.name     ? kIdButtonCancelLeftovers
                                                           : 0;
        if (id == 0)
            Fail("no leftovers button is named " + name);
        const HWND button = GetDlgItem(ShownDialog("leftovers"), id);
        if (!WaitFor(10000, [button] { return IsWindowEnabled(button) != FALSE; }))
            Fail(name + " stays disabled");
        PostMessageW(button, BM_CLICK, 0, 0);
        return 2;
    }
    if (command == "queue-status") {
        Print({"queue-status", WindowText(GetDlgItem(ShownDialog("queue"), kIdLabelQueueStatus))});
        return 1;
    }
    if (command == "list-rows") {
        const HWND list = Control(Arg(args, at + 1));
        for (auto& fields : ListRows(list, static_cast<int>(Number(args, at + 2, 1)))) {
            fields.insert(fields.begin(), "list-row");
            Print(fields);
        }
        return 3;
    }
    if (command == "select" || command == "select-in") {
        const bool other = command == "select-in";
        const HWND list = other ? Control(Arg(args, at + 1)) : Control(kIdListViewUninstall);
        if (other)
            ++at;
        // The row alone, as a click selects it: the list takes several.
        RemoteBuffer buffer(Current().info.hProcess, sizeof(LVITEMW));
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        buffer.Write(&item, sizeof item);
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(buffer.Address()));
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        buffer.Write(&item, sizeof item);
        SendMessageW(list, LVM_SETITEMSTATE, Number(args, at + 1, 0),
                     reinterpret_cast<LPARAM>(buffer.Address()));
        return other ? 3 : 2;
    }
    if (command == "wait-rows" || command == "wait-rows-over") {
        const bool exact = command == "wait-rows";
        const HWND list = Control(Arg(args, at + 1));
        const LRESULT wanted = static_cast<LRESULT>(Number(args, at + 2, 0));
        const auto [timeout, used] = optional(3, 20000);
        LRESULT count = 0;
        if (!WaitFor(timeout, [&] {
                count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
                return exact ? count == wanted : count > wanted;
            })) {
            Fail(args[at + 1] + " has " + std::to_string(count) + " rows");
        }
        return 3 + used;
    }
    if (command == "columns") {
        const HWND list = Control(Arg(args, at + 1));
        const int count = static_cast<int>(Number(args, at + 2, 1));
        RemoteBuffer buffer(Current().info.hProcess, sizeof(LVCOLUMNW));
        for (int column = 0; column < count; ++column) {
            LVCOLUMNW lvc{};
            lvc.mask = LVCF_FMT | LVCF_WIDTH;
            buffer.Write(&lvc, sizeof lvc);
            SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(buffer.Address()));
            buffer.Read(&lvc, sizeof lvc);
            const int format = lvc.fmt & LVCFMT_JUSTIFYMASK;
            Print({"column", std::to_string(column), std::to_string(lvc.cx),
                   format == LVCFMT_RIGHT    ? "right"
                   : format == LVCFMT_CENTER ? "center"
                                             : "left"});
        }
        return 3;
    }
    if (command == "column-captions") {
        const HWND list = Control(Arg(args, at + 1));
        const int count = static_cast<int>(Number(args, at + 2, 1));
        RemoteBuffer buffer(Current().info.hProcess,
                            sizeof(LVCOLUMNW) + kTextChars * sizeof(wchar_t));
        const auto remoteText =
            reinterpret_cast<wchar_t*>(static_cast<char*>(buffer.Address()) + sizeof(LVCOLUMNW));
        for (int column = 0; column < count; ++column) {
            LVCOLUMNW lvc{};
            lvc.mask = LVCF_TEXT;
            lvc.pszText = remoteText;
            lvc.cchTextMax = kTextChars;
            buffer.Write(&lvc, sizeof lvc);
            SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(buffer.Address()));
            std::wstring text(kTextChars, L'\0');
            buffer.Read(text.data(), kTextChars * sizeof(wchar_t), sizeof(LVCOLUMNW));
            text.resize(wcsnlen(text.c_str(), kTextChars));
            Print({"column-caption", std::to_string(column), Narrow(text)});
        }
        return 3;
    }
    if (command == "cue") {
        const HWND edit = Control(Arg(args, at + 1));
        RemoteBuffer buffer(Current().info.hProcess, kTextChars * sizeof(wchar_t));
        SendMessageW(edit, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(buffer.Address()), kTextChars);
        std::wstring text(kTextChars, L'\0');
        buffer.Read(text.data(), kTextChars * sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), kTextChars));
        Print({"cue", Narrow(text)});
        return 2;
    }
    if (command == "menu-key") {
        // A key for the open menu, which takes the keyboard while it is shown.
        const WORD vk = static_cast<WORD>(Number(args, at + 1, 0));
        INPUT inputs[2]{};
        inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
        inputs[0].ki.wVk = inputs[1].ki.wVk = vk;
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, inputs, sizeof(INPUT));
        Sleep(300);
        return 2;
    }
    if (command == "screen-rect") {
        // On the screen, as screenshots see it.
        const std::string& name = Arg(args, at + 1);
        const HWND window = name == "window" ? MainWindow() : Control(name);
        RECT rect{};
        if (name == "window")
            GetClientRect(window, &rect),
                MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        else
            GetWindowRect(window, &rect);
        Print({"screen-rect", name, std::to_string(rect.left), std::to_string(rect.top),
               std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top)});
        return 2;
    }
    if (command == "list-colors") {
        const HWND list = Control(Arg(args, at + 1));
        const auto rgb = [](COLORREF color) {
            return std::to_string(GetRValue(color)) + "," + std::to_string(GetGValue(color)) + "," +
                   std::to_string(GetBValue(color));
        };
        Print({"list-colors", rgb(static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0))),
               rgb(static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0)))});
        return 2;
    }
    if (command == "update-option") {
        // Ticks or unticks an option of the update window, shown or not, as a click would.
        // The window exists hidden from the start, but its options take their first state
        // only after it is made: once the main window shows, every window is complete.
        HWND window = nullptr;
        WaitFor(20000, [&] {
            window = FindWindowW(kUpdateClass, nullptr);  // hidden ones too
            return window != nullptr &&
                   (IsWindowVisible(window) || !TopWindows(kMainClass).empty());
        });
        if (window == nullptr)
            Fail("there is no update window");
        const std::string name = Arg(args, at + 1);
        const int id = name == "quick"   ? kIdCheckBoxQuickUpdate
                       : name == "force" ? kIdCheckBoxForceUpdate
                       : name == "auto"  ? kIdCheckBoxAutoCheck
                                         : 0;
        if (id == 0)
            Fail("no update option " + name);
        const HWND box = GetDlgItem(window, id);
        SendMessageW(box, BM_SETCHECK, Arg(args, at + 2) == "on" ? BST_CHECKED : BST_UNCHECKED, 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
        return 3;
    }
    if (command == "update" || command == "wait-update-label" || command == "update-download" ||
        command == "update-close" || command == "wait-update-progress") {
        HWND window = nullptr;
        WaitFor(10000, [&] {
            const auto shown = TopWindows(kUpdateClass);
            window = shown.empty() ? nullptr : shown.front();
            return window != nullptr && IsWindowVisible(window);
        });
        if (window == nullptr || !IsWindowVisible(window))
            Fail("the update window is not shown");
        const auto item = [window](int id) { return GetDlgItem(window, id); };
        if (command == "update-download" || command == "update-close") {
            PostMessageW(window, WM_COMMAND, command == "update-download" ? IDOK : IDCANCEL, 0);
            return 1;
        }
        if (command == "wait-update-progress") {
            const int above = std::stoi(Arg(args, at + 1));
            const auto [timeout, used] = optional(2, 30000);
            int position = 0;
            const bool ok = WaitFor(timeout, [&] {
                position =
                    static_cast<int>(SendMessageW(item(kIdProgressBarUpdate), PBM_GETPOS, 0, 0));
                return IsWindowVisible(item(kIdProgressBarUpdate)) && position > above;
            });
            if (!ok)
                Fail("the progress bar stayed at " + std::to_string(position));
            Print({"position", std::to_string(position)});
            return 2 + used;
        }
        if (command == "wait-update-label") {
            // Meanwhile, every position the progress bar takes.
            const std::string prefix = Arg(args, at + 1);
            const auto [timeout, used] = optional(2, 30000);
            std::vector<int> seen;
            const bool ok = WaitFor(timeout, [&] {
                const int position =
                    static_cast<int>(SendMessageW(item(kIdProgressBarUpdate), PBM_GETPOS, 0, 0));
                if (IsWindowVisible(item(kIdProgressBarUpdate)) &&
                    (seen.empty() || seen.back() != position))
                    seen.push_back(position);
                return WindowText(item(kIdLabelUpDate)).rfind(prefix, 0) == 0;
            });
            if (!ok)
                Fail("the update window's status did not become " + prefix + ": " +
                     WindowText(item(kIdLabelUpDate)));
            std::string positions;
            for (const int position : seen)
                positions += (positions.empty() ? "" : ",") + std::to_string(position);
            Print({"progress", positions});
            return 2 + used;
        }
        const auto enabled = [](HWND control) { return IsWindowEnabled(control) ? "on" : "off"; };
        Print({"update", WindowText(window), WindowText(item(kIdLabelUpDate)),
               WindowText(item(kIdLabelLocalVersion)), WindowText(item(kIdLabelServerVersion)),
               WindowText(item(IDOK)), enabled(item(IDOK)), enabled(item(kIdGroupBoxOption)),
               enabled(item(IDCANCEL)),
               IsWindowVisible(item(kIdProgressBarUpdate)) ? "bar" : "no-bar",
               SendMessageW(item(kIdCheckBoxAutoCheck), BM_GETCHECK, 0, 0) == BST_CHECKED
                   ? "auto"
                   : "no-auto"});
        return 1;
    }
    if (command == "popup-rect") {
        const auto menus = TopWindows(L"#32768");
        if (menus.empty())
            Fail("no popup menu is open");
        for (const HWND menu : menus) {
            RECT rect{};
            GetWindowRect(menu, &rect);
            Print({"popup-rect", std::to_string(rect.left), std::to_string(rect.top),
                   std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top)});
        }
        return 1;
    }
    if (command == "setting-change") {
        // What the system sends every window when the user switches between light and dark.
        DWORD_PTR result = 0;
        SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                            reinterpret_cast<LPARAM>(L"ImmersiveColorSet"), SMTO_ABORTIFHUNG, 5000,
                            &result);
        return 1;
    }
    if (command == "rect") {
        // Relative to the main window's client area.
        const HWND control = Control(Arg(args, at + 1));
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, MainWindow(), reinterpret_cast<POINT*>(&rect), 2);
        Print({"rect", args[at + 1], std::to_string(rect.left), std::to_string(rect.top),
               std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top),
               IsWindowVisible(control) ? "visible" : "hidden"});
        return 2;
    }
    if (command == "client-size") {
        // The frame stays as the window has it; only the client area gets the size. The
        // window moves to the screen's top left corner, so all of it shows.
        const HWND main = MainWindow();
        RECT outer{};
        RECT client{};
        GetWindowRect(main, &outer);
        GetClientRect(main, &client);
        const int width = static_cast<int>(Number(args, at + 1, 0));
        const int height = static_cast<int>(Number(args, at + 2, 0));
        SetWindowPos(main, nullptr, 0, 0, width + (outer.right - outer.left) - client.right,
                     height + (outer.bottom - outer.top) - client.bottom,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (!WaitFor(5000, [&] {
                GetClientRect(main, &client);
                return client.right == width && client.bottom == height;
            })) {
            Fail("the client area did not take the size");
        }
        return 3;
    }
    if (command == "row-height") {
        const HWND list = Control(Arg(args, at + 1));
        RemoteBuffer buffer(Current().info.hProcess, sizeof(RECT));
        RECT rect{};
        rect.left = LVIR_BOUNDS;
        buffer.Write(&rect, sizeof rect);
        SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(buffer.Address()));
        buffer.Read(&rect, sizeof rect);
        Print({"row-height", std::to_string(rect.bottom - rect.top)});
        return 2;
    }
    if (command == "height") {
        RECT rect{};
        const HWND control = Control(Arg(args, at + 1));
        GetWindowRect(control, &rect);
        Print({"height", std::to_string(IsWindowVisible(control) ? rect.bottom - rect.top : 0)});
        return 2;
    }
    if (command == "window") {
        const HWND main = MainWindow();
        RECT rect{};
        GetWindowRect(main, &rect);
        Print({"window", IsZoomed(main) ? "maximized" : "normal",
               std::to_string(rect.right - rect.left), std::to_string(rect.bottom - rect.top)});
        return 1;
    }
    if (command == "about" || command == "about-close" || command == "about-texts") {
        // The window may still be on its way after the command that opens it.
        WaitFor(10000, [] {
            const auto shown = TopWindows(kAboutClass);
            return !shown.empty() && IsWindowVisible(shown.front());
        });
        const auto windows = TopWindows(kAboutClass);
        if (windows.empty())
            Fail("the About window is not shown");
        if (command == "about-close") {
            PostMessageW(windows.front(), WM_COMMAND, IDOK, 0);
            return 1;
        }
        std::vector<HWND> statics;
        EnumChildWindows(windows.front(), CollectStatic, reinterpret_cast<LPARAM>(&statics));
        if (statics.size() < 2)
            Fail("the About window has no labels");
        if (command == "about-texts") {
            // The caption, every label, then the button.
            std::vector<std::string> texts{"about-texts", WindowText(windows.front())};
            for (HWND label : statics)
                texts.push_back(WindowText(label));
            texts.push_back(WindowText(GetDlgItem(windows.front(), IDOK)));
            Print(texts);
            return 1;
        }
        Print({"about", WindowText(statics[0]), WindowText(statics[1])});
        return 1;
    }
    if (command == "dialog-layout") {
        PrintDialogLayout(Arg(args, at + 1));
        return 2;
    }
    if (command == "dpi-changed") {
        SendDpiChanged(Arg(args, at + 1), static_cast<int>(Number(args, at + 2, 96)),
                       static_cast<int>(Number(args, at + 3, 96)));
        return 4;
    }
    if (command == "maximize") {
        // Wine may hand the window's state back to the X server's view a moment later: the
        // step is done once the window stays maximized for half a second.
        const HWND main = MainWindow();
        bool stays = false;
        for (int attempt = 0; attempt < 5 && !stays; ++attempt) {
            PostMessageW(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
            stays = WaitFor(10000, [main] { return IsZoomed(main) != FALSE; }) &&
                    !WaitFor(500, [main] { return IsZoomed(main) == FALSE; });
        }
        if (!stays)
            Fail("the main window did not stay maximized");
        return 1;
    }
    if (command == "wait-popup") {
        const auto [timeout, used] = optional(1, 10000);
        WaitFor(timeout, [] { return !TopWindows(L"#32768").empty(); });
        Print({"popup", TopWindows(L"#32768").empty() ? "closed" : "open"});
        return 1 + used;
    }
    if (command == "popup") {
        Print({"popup", TopWindows(L"#32768").empty() ? "closed" : "open"});
        return 1;
    }
    if (command == "escape") {
        for (HWND menu : TopWindows(L"#32768")) {
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0);
        }
        return 1;
    }
    if (command == "close") {
        PostMessageW(MainWindow(), WM_CLOSE, 0, 0);
        return 1;
    }
    if (command == "wait-exit") {
        const auto [timeout, used] = optional(1, 30000);
        if (WaitForSingleObject(Current().info.hProcess, timeout) != WAIT_OBJECT_0) {
            Fail("the program did not end");
        }
        DWORD code = 0;
        GetExitCodeProcess(Current().info.hProcess, &code);
        Print({"exit", std::to_string(code)});
        return 1 + used;
    }
    if (command == "mark") {
        marked = GetTickCount64();
        return 1;
    }
    if (command == "elapsed") {
        Print({"elapsed", std::to_string(GetTickCount64() - marked)});
        return 1;
    }
    if (command == "windows") {
        Print({"windows", std::to_string(TopWindows(nullptr).size())});
        return 1;
    }
    if (command == "run") {
        if (at + 3 >= args.size())
            Fail("run needs an output file, an error file and a command line");
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        auto create = [&](const std::string& path) {
            const HANDLE file =
                CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file == INVALID_HANDLE_VALUE)
                Fail("cannot create " + path);
            return file;
        };
        const HANDLE out = create(args[at + 1]);
        const HANDLE err = create(args[at + 2]);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        std::wstring commandLine = Widen(args[at + 3]);
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &startup, &process);
        CloseHandle(out);
        CloseHandle(err);
        if (!started)
            Fail("cannot start " + args[at + 3]);
        DWORD code = 0;
        if (WaitForSingleObject(process.hProcess, 300000) != WAIT_OBJECT_0)
            Fail("the command did not end: " + args[at + 3]);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        Print({"exit", std::to_string(code)});
        return 4;
    }
    if (command == "sleep") {
        Sleep(Number(args, at + 1, 1000));
        return 2;
    }
    if (command == "deny-read") {
        if (at + 1 >= args.size())
            Fail("deny-read needs a key");
        DenyRead(args[at + 1]);
        return 2;
    }
    if (command == "lock") {
        if (at + 1 >= args.size())
            Fail("lock needs a path");
        // Kept open, sharing nothing, until the driver ends.
        const HANDLE file = CreateFileW(Widen(args[at + 1]).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            Fail("cannot lock " + args[at + 1]);
        return 2;
    }
    if (command == "shortcut") {
        // A shell link at the first path that starts the second.
        if (at + 2 >= args.size())
            Fail("shortcut needs a link and a target");
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IShellLinkW* link = nullptr;
        IPersistFile* file = nullptr;
        const bool made =
            SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkW, reinterpret_cast<void**>(&link))) &&
            SUCCEEDED(link->SetPath(Widen(args[at + 2]).c_str())) &&
            SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Save(Widen(args[at + 1]).c_str(), TRUE));
        if (file)
            file->Release();
        if (link)
            link->Release();
        if (!made)
            Fail("cannot make the shortcut " + args[at + 1]);
        return 3;
    }
    if (command == "kill") {
        // The program ends at once, as in a crash: nothing of its own runs.
        TerminateProcess(Current().info.hProcess, 1);
        WaitForSingleObject(Current().info.hProcess, 10000);
        return 1;
    }
    if (command == "touch") {
        if (at + 1 >= args.size())
            Fail("touch needs a path");
        const HANDLE file = CreateFileW(Widen(args[at + 1]).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            Fail("cannot create " + args[at + 1]);
        CloseHandle(file);
        return 2;
    }
    Fail("unknown command " + command);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Lines end in "\n" alone so that the tests compare them as Unix text.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Narrow(argv[i]));
    try {
        for (size_t at = 0; at < args.size();)
            at += RunCommand(args, at);
    } catch (const std::exception& e) {
        Print({"error", e.what()});
        fprintf(stderr, "error\t%s\n", e.what());
        return 1;
    }
    return 0;
}
