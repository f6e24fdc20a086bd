#pragma once
// Work handed from a worker thread to the thread that owns a window: the window runs it when
// it next handles its messages, so results reach the controls on the thread that made them.

#include <windows.h>

#include <functional>
#include <memory>

#include "foundation/job.h"

namespace corvandel {

class GuiThread {
  public:
    // The message that carries the work; the same number in every window of the process.
    static UINT Message() {
        static const UINT message = RegisterWindowMessageW(L"Corvandel.RunOnGuiThread");
        return message;
    }

    // From any thread. False when the window is gone; the work is then dropped unrun.
    static bool Post(HWND window, std::function<void()> work) {
        // A null window would post to this thread's own queue, where no window runs it.
        if (window == nullptr)
            return false;
        auto owned = std::make_unique<std::function<void()>>(std::move(work));
        if (!PostMessageW(window, Message(), 0, reinterpret_cast<LPARAM>(owned.get())))
            return false;
        owned.release();  // the receiving window frees it
        return true;
    }

    // How a job started on the window's thread hands its results to that window.
    static JobDelivery To(HWND window) {
        return [window](std::function<void()> work) { return Post(window, std::move(work)); };
    }

    // In a window procedure: runs the work a Post carried; true when the message was one.
    static bool Run(UINT message, LPARAM lParam) {
        if (message != Message() || lParam == 0)
            return false;
        const std::unique_ptr<std::function<void()>> work(
            reinterpret_cast<std::function<void()>*>(lParam));
        (*work)();
        return true;
    }
};

}  // namespace corvandel
