#include "app/AppStartupHooks.h"

AppStartupHooks& AppStartupHooks::shared()
{
    static AppStartupHooks s_hooks;
    return s_hooks;
}

void AppStartupHooks::resetForTesting()
{
    shared() = AppStartupHooks();
}
