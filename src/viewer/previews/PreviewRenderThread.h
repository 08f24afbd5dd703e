#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
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
// at once. Screens are known by their weak references, so a screen made where a gone one lay is a stranger.
//
// The workers are made on first use (as many as the cores leave free beside the main thread, at most four) and
// stopped when the application object goes away; tasks not yet started are dropped then. A task may wait for the
// main thread; the main thread never waits for a task.
class PreviewRenderThread {
public:
    static PreviewRenderThread& shared();
    // Makes, on the main thread, what Qt makes lazily and unguarded the first time text is drawn, so that threads
    // started afterwards can draw text. Called before any thread that draws screens starts.
    static void prepareThreadsToDrawText();

    // Any thread. A task for no screen in particular, run in turn with the requests of unseen screens.
    void async(std::function<void()> task);
    using Key = std::weak_ptr<const void>;

    // Any thread. A task for the screen `key` (compared only, never followed).
    void request(Key key, std::function<void()> task);

    // Main thread. A preview of the screen was painted: it is in view now.
    void noteInSight(const Key& key);
    // Main thread. A view shows the screen as the current one (counted: every view that set it clears it).
    void setCurrent(const Key& key, bool current);

    // True on one of the workers.
    bool isCurrent() const;
    int workerCount() const { return int(m_threads.size()); }
    // Tasks queued and not yet finished (the running ones included).
    int pendingTaskCount();

    // Test hook: called on the main thread with a task's screen (null for none) as the task is handed to a worker.
    static void setDispatchProbeForTesting(std::function<void(const void* key)> probe);

private:
    struct Waiting {
        Key key;
        bool hasKey = false;
        std::function<void()> task;
    };

    explicit PreviewRenderThread(int workers);
    void enqueue(Waiting waiting);
    void dispatch();
    void taskEnded(std::uint64_t ticket);
    std::uint64_t rankOf(const Waiting& waiting) const;
    bool stopAndWait();
    void taskFinishedOnWorker();

    HandOffQueue m_queue;
    std::vector<QThread*> m_threads;

    // Main thread only.
    std::deque<Waiting> m_waiting;
    std::set<Key, std::owner_less<Key>> m_runningKeys;
    std::map<Key, std::uint64_t, std::owner_less<Key>> m_lastSeen;
    std::map<Key, int, std::owner_less<Key>> m_current;
    std::map<std::uint64_t, std::optional<Key>> m_running; // by ticket: the tasks handed to workers
    std::uint64_t m_tickets = 0;
    std::uint64_t m_sightCounter = 0;
    bool m_stopped = false;

    std::mutex m_countMutex;
    int m_pending = 0; // queued and not yet finished or dropped

    PreviewRenderThread* m_retiredBefore = nullptr; // once stopped: the one retired before this one
};
