// A bounded ring of slots that a producer fills ahead of its consumer, on a
// thread of its own: the concurrency of the line reader, knowing nothing of
// what the slots hold.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace korvel {

template <typename Slot, std::size_t kSlots = 3>
class ReadAhead {
    static_assert(kSlots >= 2, "the consumer holds one slot while the producer fills another");

  public:
    // `fill` fills one slot and tells whether more follow. The first slot is
    // filled on the caller's thread, so a source of one slot never starts the
    // thread; so is every slot if no thread can be started.
    explicit ReadAhead(std::function<bool(Slot&)> fill) : fill_(std::move(fill)) {}

    // Stops the producer, also when the consumer stops early.
    ~ReadAhead() { Stop(); }

    // Stops the producer and waits for it: no slot is filled after this
    // returns, and Next is not to be called again.
    void Stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        freed_.notify_one();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next filled slot, in order; the slot returned before it goes back
    // to the producer. Not to be called after the slot filled last.
    Slot& Next() {
        Slot& slot = slots_[taken_ % kSlots];
        if (taken_ == 0 || !thread_.joinable()) {
            const bool more = fill_(slot);
            if (taken_ == 0 && more) Start();
        } else {
            std::unique_lock lock(mutex_);
            ++released_;
            freed_.notify_one();
            filled_.wait(lock, [this] { return filledCount_ > taken_; });
        }
        ++taken_;
        return slot;
    }

  private:
    void Start() {
        filledCount_ = 1;
        try {
            thread_ = std::thread(&ReadAhead::Produce, this);
        } catch (const std::system_error&) {
            // Out of threads: the consumer fills the slots itself, just slower.
        }
    }

    void Produce() {
        for (std::uint64_t k = 1;; ++k) {
            {
                // Slot k is the slot of k - kSlots, which the consumer must be done with.
                std::unique_lock lock(mutex_);
                freed_.wait(lock, [&] { return stopping_ || k - released_ < kSlots; });
                if (stopping_) return;
            }
            const bool more = fill_(slots_[k % kSlots]);
            {
                std::lock_guard lock(mutex_);
                ++filledCount_;
            }
            filled_.notify_one();
            if (!more) return;
        }
    }

    std::function<bool(Slot&)> fill_;
    std::array<Slot, kSlots> slots_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable filled_;
    std::condition_variable freed_;
    std::uint64_t filledCount_ = 0;  // slots filled in all
    std::uint64_t released_ = 0;     // slots the consumer is done with
    std::uint64_t taken_ = 0;        // slots handed to the consumer
    bool stopping_ = false;
};

}  // namespace korvel
