#pragma once

#include <functional>

#include "platform/Error.h"

class QWidget;

namespace OpenFailureNotice {

// Tells the user why a document asked for (from an address, a catalog or library page, a link, a tile) did not
// open: the open request's own words, in an alert over `window` (none: over no window). An open the user cancelled,
// or whose sign-in the user turned down, says nothing more. Returns at once; `then` runs once the alert is
// answered, or at once when none is shown.
void tell(const Error& error, QWidget* window = nullptr, std::function<void()> then = {});

} // namespace OpenFailureNotice
