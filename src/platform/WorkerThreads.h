#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <QObject>
#include <QString>

#include "platform/HandOffQueue.h"

// Threads of our own that run posted closures, woken through their queue; they give way to the main thread (see
// lowerCurrentThreadPriority). With one thread the closures run one at a time in posting order. Destruction drops
// the closures that have not started and waits for the running ones; it must not happen on one of the threads.
class WorkerThreads {
public:
    enum class AtApplicationEnd { Finish, Stop };

    WorkerThreads(int count, QString name);
    // Threads that end with the running application; see endWithApplication().
    WorkerThreads(int count, QString name, AtApplicationEnd atEnd);
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Threads held by a function-local static for the rest of the process; see below.
    class Lasting;

    // The process's threads for short background jobs (one per core), made on first use. Jobs still queued
    // when the application object goes run then, so a file being written is never cut short.
    static WorkerThreads& shared();

    // For threads that live as long as the process: they end as the running application object goes, while
    // the libraries their jobs use are all still there, rather than among the process's last destructors.
    // Finish runs the jobs queued by then first, Stop drops them; the main thread's inbox is closed first, so
    // a job waiting for the main thread goes on. Without an application they end when destroyed.
    void endWithApplication(AtApplicationEnd how);

    bool post(HandOffQueue::Task task);
    // Blocks until no posted closure is waiting or running (each has run or been dropped).
    void waitForIdle();
    // Drops the closures not started yet and waits for the running ones.
    void stop();
    // Runs every closure posted so far, then ends the threads; later posts are dropped.
    void finish();
    // True on one of this set's threads.
    bool isCurrent() const;
    const QString& name() const { return m_name; }
    int threadCount() const { return int(m_threads.size()); }

private:
    void join();

    void taskEnded();
    void endNow(AtApplicationEnd how);

    QString m_name;
    HandOffQueue m_queue;
    std::vector<std::thread> m_threads;
    std::mutex m_idleMutex;
    std::condition_variable m_idle;
    std::size_t m_outstanding = 0; // posted and not yet run or dropped
    QMetaObject::Connection m_applicationEnd;
};

// Threads made on first use by a function-local static and kept for the rest of the process. The jobs queued when
// the application object goes still run then (or, without an application, when the process ends).
class WorkerThreads::Lasting {
public:
    Lasting(int count, QString name)
        : m_threads(count, std::move(name), AtApplicationEnd::Finish)
    {
    }
    ~Lasting() { m_threads.finish(); }
    Lasting(const Lasting&) = delete;
    Lasting& operator=(const Lasting&) = delete;

    WorkerThreads& threads() { return m_threads; }

private:
    WorkerThreads m_threads;
};

// Lets the calling thread give way to the main thread: on Linux (where Qt's thread priorities change nothing for
// ordinary threads) it becomes a batch thread, which never takes the processor from another thread on waking (its
// turn comes at the scheduler's tick). Its share of the processor is left as it was: a worker with a higher
// nice value waits long for a processor on a busy machine, and the main thread then waits as long for the locks
// the worker holds meanwhile (the memory allocator's, an event queue's).
void lowerCurrentThreadPriority();
// True when the calling thread runs as lowerCurrentThreadPriority() leaves it.
bool currentThreadGivesWay();
