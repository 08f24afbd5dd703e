#include "elements/video/SerialDispatchQueue.h"

#include <utility>

SerialDispatchQueue::SerialDispatchQueue(QString label)
    : m_worker(1, std::move(label))
{
}
