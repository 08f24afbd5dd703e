#include "creator/window/CreatorPublishing.h"

namespace {
std::shared_ptr<CreatorPublishing>& registeredPublishing()
{
    static std::shared_ptr<CreatorPublishing> publishing;
    return publishing;
}
} // namespace

void CreatorPublishing::registerPublishing(std::shared_ptr<CreatorPublishing> publishing)
{
    registeredPublishing() = std::move(publishing);
}

std::shared_ptr<CreatorPublishing> CreatorPublishing::shared()
{
    return registeredPublishing();
}
