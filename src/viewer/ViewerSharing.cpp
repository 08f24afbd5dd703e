#include "viewer/ViewerSharing.h"

#include "platform/NotificationCenter.h"

const QString ViewerSharing::kAvailabilityChangedNotification = QStringLiteral("ViewerSharingAvailabilityChanged");

namespace {

std::shared_ptr<ViewerSharing>& registered()
{
    static std::shared_ptr<ViewerSharing> s_sharing;
    return s_sharing;
}

} // namespace

void ViewerSharing::registerSharing(std::shared_ptr<ViewerSharing> sharing)
{
    registered() = std::move(sharing);
    NotificationCenter::defaultCenter().post(kAvailabilityChangedNotification);
}

std::shared_ptr<ViewerSharing> ViewerSharing::shared()
{
    return registered();
}
