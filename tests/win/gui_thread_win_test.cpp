// Work posted from worker threads runs on the thread that owns the window, in the order each
// worker posted it, and nothing is run for a window that is gone.

#include "foundation/gui_thread_win.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ui/window_proc_win.h"

namespace corvandel {
namespace {

class Receiver {
  public:
    Receiver() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &RoutedWindowProc<Receiver>;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CorvandelGuiThreadTest";
        RegisterClassW(&wc);
        CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                        wc.hInstance, this);
    }
    ~Receiver() { DestroyWindow(hwnd_); }
    HWND hwnd_ = nullptr;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
};

TEST(GuiThreadTest, WorkFromWorkersRunsOnTheWindowsThreadInOrder) {
    Receiver receiver;
    ASSERT_NE(receiver.hwnd_, nullptr);
    const DWORD gui = GetCurrentThreadId();
    std::vector<int> seen;
    bool otherThread = false;
    std::vector<std::thread> workers;
    for (int worker = 0; worker < 3; ++worker) {
        workers.emplace_back([&, worker] {
            for (int i = 0; i < 50; ++i) {
                GuiThread::Post(receiver.hwnd_, [&, worker, i] {
                    otherThread = otherThread || GetCurrentThreadId() != gui;
                    seen.push_back(worker * 1000 + i);
                });
            }
        });
    }
    for (auto& worker : workers)
        worker.join();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);

    EXPECT_FALSE(otherThread);
    ASSERT_EQ(seen.size(), 150u);
    std::vector<int> last(3, -1);
    for (int value : seen) {
        EXPECT_GT(value % 1000, last[value / 1000]) << "out of order: " << value;
        last[value / 1000] = value % 1000;
    }

    bool ran = false;
    EXPECT_FALSE(GuiThread::Post(nullptr, [&] { ran = true; }));
    HWND gone = nullptr;
    {
        Receiver closed;
        gone = closed.hwnd_;
    }
    EXPECT_FALSE(GuiThread::Post(gone, [&] { ran = true; }));
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_FALSE(ran);
}

// A job's results come through the window's messages on its own thread; a job let go in the
// middle of its work delivers nothing more, however much it had posted.
TEST(GuiThreadTest, JobsReportThroughTheWindowsMessages) {
    Receiver receiver;
    ASSERT_NE(receiver.hwnd_, nullptr);
    const DWORD gui = GetCurrentThreadId();
    std::vector<int> seen;
    bool done = false;
    bool otherThread = false;
    Job job(
        GuiThread::To(receiver.hwnd_),
        [&](JobContext& context) {
            for (int i = 0; i < 200; ++i)
                context.Post([&, i] {
                    otherThread = otherThread || GetCurrentThreadId() != gui;
                    seen.push_back(i);
                });
        },
        [&](bool failed) { done = !failed; });
    MSG msg;
    while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    EXPECT_FALSE(otherThread);
    ASSERT_EQ(seen.size(), 200u);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(seen[i], i);

    int late = 0;
    {
        Job stopped(GuiThread::To(receiver.hwnd_), [&](JobContext& context) {
            while (!context.Stopping()) {
                context.Post([&] { ++late; });
                Sleep(1);
            }
        });
        Sleep(20);
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(late, 0);
}

}  // namespace
}  // namespace corvandel
