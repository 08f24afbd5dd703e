#include "launch/ApplicationLaunch.h"

#include "app/QVRAppDelegate.h"
#include "platform/FreedMemory.h"

std::unique_ptr<QVRAppDelegate> ApplicationLaunch::start(Registrations registrations)
{
    FreedMemory::returnLargeBlocksAtOnce();
    registrations();
    auto delegate = std::make_unique<QVRAppDelegate>();
    delegate->applicationDidFinishLaunching();
    return delegate;
}

int ApplicationLaunch::main(int argc, char** argv, Registrations registrations)
{
    return QVRAppDelegate::applicationMain(argc, argv, [registrations] { return start(registrations); });
}
