#pragma once

#include <memory>

#include <QString>

// Where server copies of assets that nothing can reach any more are sent for deletion. The upload layer
// registers the persisted queue; until then deletions go nowhere (and nothing is lost: a server copy kept too
// long costs space, one deleted too early loses media). Main thread only.
class ContentItemDeletionQueue {
public:
    virtual ~ContentItemDeletionQueue() = default;
    // An empty id is ignored.
    virtual void enqueueDeleteForContentItem(const QString& contentID) = 0;

    // nullptr restores the inert default.
    static void registerQueue(std::shared_ptr<ContentItemDeletionQueue> queue);
    static bool isRegistered();
    static std::shared_ptr<ContentItemDeletionQueue> queue();
};
