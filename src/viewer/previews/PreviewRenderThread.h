#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/HandOffQueue.h"

class QThread;

// The threads that load and draw screen previews for every generator.
//
// Requests wait on the main thread, ordered by what the user sees: the screens shown as current first, then the
// screens whose previews were painted most recently (those in view now), then the rest in the order they were
// asked for. A screen scrolled out of view keeps the time it was last painted, so the screens painted after it go
// first. The main thread hands a task to a worker only when one is free, so the order is decided as late as
// possible; the tasks travel to the workers through one HandOffQueue. Two requests for the same screen never run
// at once.
//
// The workers are made on first use (as many as the cores leave free beside the main thread, at most four) and
// stopped when the application object goes away; tasks not yet started are dropped then. A task may wait for the
// main thread; the main thread never waits for a task.
class PreviewRenderThread {
public:
    static PreviewRenderThread& shared();

    // Any thread. A task for no screen in particular, run in turn with the requests of unseen screens.
    void async(std::function<void()> task);
    // Any thread. A task for the screen `key` (compared only, never followed).
    void request(const void* key, std::function<void()> task);

    // Main thread. A preview of the screen was painted: it is in view now.
    void noteInSight(const void* key);
    // Main thread. A view shows the screen as the current one (counted: every view that set it clears it).
    void setCurrent(const void* key, bool current);

    // True on one of the workers.
    bool isCurrent() const;
    int workerCount() const { return int(m_threads.size()); }
    // Tasks queued and not yet finished (the running ones included).
    int pendingTaskCount();

    // Test hook: called on the main thread with a task's key as the task is handed to a worker.
    static void setDispatchProbeForTesting(std::function<void(const void* key)> probe);

private:
    struct Waiting {
        const void* key = nullptr;
        std::function<void()> task;
    };

    explicit PreviewRenderThread(int workers);
    void enqueue(const void* key, std::function<void()> task);
    void dispatch();
    void taskEnded(const void* key);
    std::uint64_t rankOf(const void* key) const;
    bool stopAndWait();
    void taskFinishedOnWorker();

    HandOffQueue m_queue;
    std::vector<QThread*> m_threads;

    // Main thread only.
    std::deque<Waiting> m_waiting;
    std::unordered_set<const void*> m_runningKeys;
    std::unordered_map<const void*, std::uint64_t> m_lastSeen;
    std::unordered_map<const void*, int> m_current;
    std::uint64_t m_sightCounter = 0;
    int m_running = 0;
    bool m_stopped = false;

    std::mutex m_countMutex;
    int m_pending = 0; // queued and not yet finished or dropped
};
