#pragma once

#include <atomic>
#include <functional>
#include <memory>

// Runs a callback once at the end of the current event-loop turn, however many times it was requested during
// that turn. Used to fold many model changes into one update.
//
// The callback runs on the thread that created the coalescer (the main thread for the model), from that
// thread's event loop, including nested loops such as modal dialogs. request() may be called from any thread;
// the coalescer itself must be destroyed on its own thread, which cancels a pending callback.
class EndOfTurnCoalescer {
public:
    explicit EndOfTurnCoalescer(std::function<void()> callback);
    ~EndOfTurnCoalescer();
    EndOfTurnCoalescer(const EndOfTurnCoalescer&) = delete;
    EndOfTurnCoalescer& operator=(const EndOfTurnCoalescer&) = delete;

    void request();
    // Forgets a pending request; the callback does not run for it.
    void cancel();
    bool isPending() const { return m_pending.load(std::memory_order_acquire); }

private:
    class Receiver;
    friend class Receiver;
    void fire();

    std::function<void()> m_callback;
    std::atomic<bool> m_pending = false;
    std::unique_ptr<Receiver> m_receiver;
};
