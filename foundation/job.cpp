#include "foundation/job.h"

#include <mutex>

namespace corvandel {

struct JobContext::State {
    JobDelivery delivery;
    std::atomic<bool> stopping{false};
    std::atomic<bool> returned{false};
    // Read and cleared on the owner's thread only, where the posted work runs.
    std::atomic<bool> owned{true};
    std::mutex interruptLock;
    std::function<void()> interrupt;
};

bool JobContext::Stopping() const {
    return state_->stopping;
}

bool JobContext::Post(std::function<void()> result) const {
    if (!state_->owned)
        return false;
    return state_->delivery([state = state_, result = std::move(result)] {
        if (state->owned)
            result();
    });
}

void JobContext::SetInterrupt(std::function<void()> interrupt) const {
    const std::lock_guard guard(state_->interruptLock);
    state_->interrupt = std::move(interrupt);
}

Job::Job(JobDelivery delivery, std::function<void(JobContext&)> work,
         std::function<void(bool failed)> finished)
    : state_(std::make_shared<JobContext::State>()) {
    state_->delivery = std::move(delivery);
    thread_ = std::thread(
        [state = state_, work = std::move(work), finished = std::move(finished)]() mutable {
            JobContext context(state);
            bool failed = false;
            try {
                work(context);
            } catch (...) {
                failed = true;
            }
            context.SetInterrupt({});
            state->returned = true;
            if (finished)
                context.Post([finished = std::move(finished), failed] { finished(failed); });
        });
}

Job::~Job() {
    RequestStop();
    state_->owned = false;
    if (thread_.joinable())
        thread_.join();
}

void Job::RequestStop() {
    state_->stopping = true;
    const std::lock_guard guard(state_->interruptLock);
    if (state_->interrupt)
        state_->interrupt();
}

bool Job::Returned() const {
    return state_->returned;
}

bool Job::AwaitReturn(std::chrono::steady_clock::time_point deadline) const {
    while (!state_->returned) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace corvandel
