#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include <semaphore.h>

// The one way work crosses from one thread to another. A poster pushes a closure under the queue's mutex and
// then wakes the receiver with a signal that carries nothing (a bare event, a semaphore); the receiver pops under
// the same mutex. Only that mutex orders the closure's making before its run, which is what a
// thread checker sees: the locking inside Qt's own event queue is invisible to it. ThreadInbox (a thread's event
// loop) and WorkerThreads (threads of our own) are its receivers.
//
// Closures are popped in the order they were pushed, each at most once. Closing drops the closures not yet
// popped (destroyed on the closing thread, never under the lock) and refuses later pushes (the refused closure
// is destroyed on the pushing thread).
class HandOffQueue {
public:
    using Task = std::function<void()>;

    HandOffQueue();
    ~HandOffQueue();
    HandOffQueue(const HandOffQueue&) = delete;
    HandOffQueue& operator=(const HandOffQueue&) = delete;

    // False when the queue is closed (or `task` is empty); the task was not queued.
    bool push(Task task);

    // Receiver side. tryPop returns an empty task when nothing is queued; waitPop blocks until a task is
    // queued or the queue is closed (then returns an empty task once the queue is empty, see finish()).
    Task tryPop();
    Task waitPop();

    // Drops what is queued and refuses later pushes; returns how many closures it dropped.
    std::size_t close();
    // Refuses later pushes but leaves what is queued to be popped; waitPop returns empty once it is all gone.
    void finish();
    bool isClosed() const;
    std::size_t size() const;

    // For receivers on an event loop: the wake-up is made in two steps for every push. `prepare` runs with the
    // queue's lock held (so it must not call back into the queue) and makes what the wake-up carries; the closure
    // it returns delivers it after the lock is released, so that a pusher never holds the lock over a system call
    // (waking a thread) and the receiver, popping, never waits for a pusher that was stopped in one. The receiver
    // pops one task per wake-up, which keeps the tasks in step with the other events of that loop, nested loops
    // included, as separately queued calls would be. Closing clears `prepare`; a delivery already made may still
    // arrive after closing returned, so the receiver keeps it harmless (see ThreadInbox).
    using Deliver = std::function<void()>;
    void setWake(std::function<Deliver()> prepare);

private:
    // Wakes `count` of the threads asleep in waitPop.
    void wakeSleepers(int count);

    mutable std::mutex m_mutex;
    // A waitPop with nothing to pop sleeps on the semaphore, counted in m_sleepers; each push wakes one of those
    // counted. Posting a semaphore never waits, where signalling a condition variable may wait for the threads
    // woken before to have run (a busy machine leaves them waiting for a processor), holding up the poster.
    sem_t m_wakeUps;
    int m_sleepers = 0;
    std::deque<Task> m_tasks;
    std::function<Deliver()> m_wake;
    bool m_closed = false;
};
