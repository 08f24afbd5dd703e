#pragma once

#include <functional>
#include <mutex>

class SerialDispatchQueue;

// Counts outstanding pieces of work; once the count returns to zero the registered notification runs
// on its queue (at once when the count is already zero at registration). Used once per run.
class DispatchGroup {
public:
    void enter();
    void leave();
    void notify(SerialDispatchQueue* queue, std::function<void()> task);

private:
    std::mutex m_mutex;
    int m_count = 0;
    SerialDispatchQueue* m_queue = nullptr;
    std::function<void()> m_task;
};
