#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <QString>

class QThread;

// The one way work crosses from one thread to another. A poster pushes a closure under the queue's mutex and
// then wakes the receiver with a signal that carries nothing (a bare event, a condition variable); the receiver
// pops under the same mutex. Only that mutex orders the closure's making before its run, which is what a
// thread checker sees: the locking inside Qt's own event queue is invisible to it.
//
// Closures are popped in the order they were pushed, each at most once. Closing drops the closures not yet
// popped (destroyed on the closing thread, never under the lock) and refuses later pushes (the refused closure
// is destroyed on the pushing thread).
class HandOffQueue {
public:
    using Task = std::function<void()>;

    HandOffQueue() = default;
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

    // For receivers on an event loop: `wake` is called once for every push, with the queue's lock held (so it
    // must not call back into the queue), and the receiver pops one task per wake-up. One wake-up per task keeps
    // the tasks in step with the other events of that loop, nested loops included, as separately queued calls
    // would be. Closing clears it, so no wake-up reaches a receiver once its closing returned.
    void setWake(std::function<void()> wake);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_pushed;
    std::deque<Task> m_tasks;
    std::function<void()> m_wake;
    bool m_closed = false;
};

// Runs closures handed over from any thread on the event loop of one thread (by default the one that makes
// the inbox), woken by a data-free event. The inbox must be destroyed on that thread; destroying it drops what
// has not run, and closures handed over afterwards through queue() are dropped too.
class ThreadInbox {
public:
    explicit ThreadInbox(QThread* thread = nullptr);
    ~ThreadInbox();
    ThreadInbox(const ThreadInbox&) = delete;
    ThreadInbox& operator=(const ThreadInbox&) = delete;

    // Callable from any thread while the inbox lives. False when dropped.
    bool post(HandOffQueue::Task task) { return m_queue->push(std::move(task)); }
    // For posters that may outlive the inbox.
    std::shared_ptr<HandOffQueue> queue() const { return m_queue; }
    // True on the thread whose event loop runs the closures.
    bool isCurrent() const;

private:
    class Receiver;
    std::shared_ptr<HandOffQueue> m_queue;
    std::unique_ptr<Receiver> m_receiver;
};

// Threads of our own that run posted closures, woken through a condition variable. With one thread the
// closures run one at a time in posting order. Destruction drops the closures that have not started and waits
// for the running ones; it must not happen on one of the threads.
class WorkerThreads {
public:
    WorkerThreads(int count, QString name);
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // The process's threads for short background jobs (one per core), made on first use. Jobs still queued
    // when the process exits run before it ends, so a file being written is never cut short.
    static WorkerThreads& shared();

    bool post(HandOffQueue::Task task);
    // Blocks until every closure posted so far has run or been dropped.
    void waitForIdle();
    // Drops the closures not started yet and waits for the running ones.
    void stop();
    // Runs every closure posted so far, then ends the threads; later posts are dropped.
    void finish();
    // True on one of this set's threads.
    bool isCurrent() const;
    const QString& name() const { return m_name; }

private:
    void join();

    void taskEnded();

    QString m_name;
    HandOffQueue m_queue;
    std::vector<std::thread> m_threads;
    std::mutex m_idleMutex;
    std::condition_variable m_idle;
    std::size_t m_outstanding = 0; // posted and not yet run or dropped
};
