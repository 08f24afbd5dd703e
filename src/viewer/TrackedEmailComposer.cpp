#include "viewer/TrackedEmailComposer.h"

namespace {

TrackedEmailComposer::Factory& factory()
{
    static TrackedEmailComposer::Factory registered;
    return registered;
}

} // namespace

void TrackedEmailComposer::registerFactory(Factory newFactory)
{
    factory() = std::move(newFactory);
}

bool TrackedEmailComposer::isAvailable()
{
    return static_cast<bool>(factory());
}

std::unique_ptr<TrackedEmailComposer> TrackedEmailComposer::make()
{
    return factory() ? factory()() : nullptr;
}
