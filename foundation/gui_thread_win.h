#pragma once
// Work handed from a worker thread to the thread that owns a window: the window runs it when
// it next handles its messages, so results reach the controls on the thread that made them.

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

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

// Results for a window that does not exist yet: held in the order handed over until the window
// is named, then posted to it ahead of everything handed over after. Work that may start before
// its window (the first scan, while the windows are being made) reports through one of these.
class DeliveryToComingWindow : public std::enable_shared_from_this<DeliveryToComingWindow> {
  public:
    JobDelivery Delivery() {
        return [self = shared_from_this()](std::function<void()> work) {
            const std::lock_guard guard(self->lock_);
            if (self->window_ != nullptr)
                return GuiThread::Post(self->window_, std::move(work));
            self->held_.push_back(std::move(work));
            return true;
        };
    }

    // On the window's thread, once it exists.
    void HandTo(HWND window) {
        const std::lock_guard guard(lock_);
        for (auto& work : held_)
            GuiThread::Post(window, std::move(work));
        held_.clear();
        window_ = window;
    }

  private:
    std::mutex lock_;
    HWND window_ = nullptr;
    std::vector<std::function<void()>> held_;
};

}  // namespace corvandel
