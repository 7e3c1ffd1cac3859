#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

// The stages of the copies' search that read many files at once (digests,
// tags, comparisons) run while the calling thread reports how far they got.
namespace zentrio {

using DupeProgress = std::function<bool(const char* stage, std::size_t done, std::size_t total)>;

// `work` on another thread while the calling thread tells `progress`
// how far it got, ten times a second; `stop` is set when it says so.
template <typename Work>
void withProgress(Work work, const std::atomic<std::size_t>& done, std::size_t total, const char* stage,
    const DupeProgress& progress, std::atomic<bool>& stop)
{
    if (!progress) {
        work();
        return;
    }
    std::promise<void> finished;
    std::future<void> ended = finished.get_future();
    std::jthread worker([&] {
        work();
        finished.set_value();
    });
    while (ended.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (!stop.load() && !progress(stage, done.load(), total))
            stop = true;
    }
}

} // namespace zentrio
