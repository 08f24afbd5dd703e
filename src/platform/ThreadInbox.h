#pragma once

#include <memory>

#include "platform/HandOffQueue.h"

class QThread;

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
    struct Gate;
    std::shared_ptr<HandOffQueue> m_queue;
    std::unique_ptr<Receiver> m_receiver;
    std::shared_ptr<Gate> m_gate;
};
