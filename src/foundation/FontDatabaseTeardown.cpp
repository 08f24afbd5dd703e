#include "foundation/FontDatabaseTeardown.h"

#include <fontconfig/fontconfig.h>

namespace {

// Since 2.14 FcConfigSetCurrent takes a reference of its own and frees the configuration it replaces; earlier
// versions took over the caller's reference, so there the teardown is left as Qt does it.
constexpr int kFirstCountingVersion = 21400;

} // namespace

FontDatabaseTeardown::~FontDatabaseTeardown()
{
    if (FcGetVersion() < kFirstCountingVersion)
        return;
    FcConfig* empty = FcConfigCreate();
    if (!empty)
        return;
    FcConfigSetCurrent(empty);
    FcConfigDestroy(empty); // the current configuration's reference is the one left, freed at teardown
}
