// The job model: results reach the owner in order and only while the job is owned; a stop
// reaches work that looks for it and work that waits; the owner never outlives the thread.

#include "foundation/job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <vector>

namespace corvandel {
namespace {

// The owner's thread, as the test thread: what the job hands over waits here until run.
class Inbox {
  public:
    JobDelivery Delivery() {
        return [this](std::function<void()> work) {
            const std::lock_guard guard(lock_);
            queue_.push_back(std::move(work));
            return true;
        };
    }
    void RunAll() {
        for (;;) {
            std::function<void()> work;
            {
                const std::lock_guard guard(lock_);
                if (queue_.empty())
                    return;
                work = std::move(queue_.front());
                queue_.pop_front();
            }
            work();
        }
    }

  private:
    std::mutex lock_;
    std::deque<std::function<void()>> queue_;
};

TEST(JobTest, ResultsArriveInOrderThenTheEndWithHowTheWorkEnded) {
    for (const bool throws : {false, true}) {
        Inbox inbox;
        std::vector<int> seen;
        std::vector<bool> ends;
        {
            Job job(
                inbox.Delivery(),
                [&](JobContext& context) {
                    for (int i = 0; i < 500; ++i)
                        context.Post([&seen, i] { seen.push_back(i); });
                    if (throws)
                        throw std::bad_alloc();
                },
                [&](bool failed) { ends.push_back(failed); });
            while (ends.empty())
                inbox.RunAll();
            EXPECT_TRUE(job.Returned());
        }
        ASSERT_EQ(seen.size(), 500u);
        for (int i = 0; i < 500; ++i)
            ASSERT_EQ(seen[i], i);
        EXPECT_EQ(ends, std::vector<bool>{throws});
    }
}

TEST(JobTest, LettingGoStopsTheWorkWaitsForItAndDropsWhatItPosted) {
    Inbox inbox;
    std::atomic<bool> started{false};
    std::atomic<bool> returned{false};
    std::atomic<bool> interrupted{false};
    int delivered = 0;
    bool ended = false;
    {
        Job job(
            inbox.Delivery(),
            [&](JobContext& context) {
                // A wait only the interrupt ends, as a network read would be.
                context.SetInterrupt([&] { interrupted = true; });
                context.Post([&] { ++delivered; });
                started = true;
                while (!interrupted || !context.Stopping())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                returned = true;
            },
            [&](bool) { ended = true; });
        while (!started)
            std::this_thread::yield();
    }
    // The destructor waited for the work's last step.
    EXPECT_TRUE(returned);
    inbox.RunAll();
    EXPECT_EQ(delivered, 0);
    EXPECT_FALSE(ended);
}

}  // namespace
}  // namespace corvandel
