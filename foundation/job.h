#pragma once
// Background work. A job runs on a thread of its own and hands its results and progress to
// the thread that started it, which only receives them and draws. The job belongs to that
// owner: when the owner lets it go, the job is asked to stop and its thread is joined, so no
// thread outlives what it reports to, and nothing it posted runs after that.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace corvandel {

// Hands a function to the owner's thread, which runs it in the order handed; false when the
// owner takes nothing any more.
using JobDelivery = std::function<bool(std::function<void()>)>;

class JobContext {
  public:
    struct State;
    explicit JobContext(std::shared_ptr<State> state) : state_(std::move(state)) {}

    // True once the owner asked the job to stop; long work looks often and returns early.
    bool Stopping() const;
    // Runs result on the owner's thread after everything posted before it, unless the job is
    // gone by then. False when it could not be handed over.
    bool Post(std::function<void()> result) const;
    // Work that waits on something a stop cannot reach (a network answer, say) leaves here how
    // to break the wait off; a stop calls it, on the owner's thread. Cleared with {}.
    void SetInterrupt(std::function<void()> interrupt) const;

  private:
    std::shared_ptr<State> state_;
};

class Job {
  public:
    // Starts work at once. finished runs on the owner's thread after every result the work
    // posted; failed when the work ended with an exception.
    Job(JobDelivery delivery, std::function<void(JobContext&)> work,
        std::function<void(bool failed)> finished = {});
    // Asks the work to stop, drops what it has not delivered yet and waits for its thread.
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    void RequestStop();
    // True once the work has returned (its finished call may still be on the way).
    bool Returned() const;
    // Waits until the work has returned, at most until the deadline; true when it has.
    bool AwaitReturn(std::chrono::steady_clock::time_point deadline) const;

  private:
    std::shared_ptr<JobContext::State> state_;
    std::thread thread_;
};

}  // namespace corvandel
