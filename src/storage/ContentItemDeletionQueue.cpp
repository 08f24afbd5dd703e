#include "storage/ContentItemDeletionQueue.h"

namespace {

class InertDeletionQueue : public ContentItemDeletionQueue {
public:
    void enqueueDeleteForContentItem(const QString&) override {}
};

std::shared_ptr<ContentItemDeletionQueue>& registered()
{
    static std::shared_ptr<ContentItemDeletionQueue> queue;
    return queue;
}

} // namespace

void ContentItemDeletionQueue::registerQueue(std::shared_ptr<ContentItemDeletionQueue> queue)
{
    registered() = std::move(queue);
}

bool ContentItemDeletionQueue::isRegistered()
{
    return registered() != nullptr;
}

std::shared_ptr<ContentItemDeletionQueue> ContentItemDeletionQueue::queue()
{
    static const auto inert = std::make_shared<InertDeletionQueue>();
    return registered() ? registered() : inert;
}
