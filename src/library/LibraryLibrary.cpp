#include "library/LibraryLibrary.h"

#include <memory>

#include "library/share/QVR_TrackableEmailViewController.h"

void registerLibraryLibrary()
{
    // Sharing: the PDF viewer's tracked e-mail composer.
    TrackedEmailComposer::registerFactory(
        [] { return std::unique_ptr<TrackedEmailComposer>(new QVR_TrackableEmailViewController()); });
    // End of sharing.
}
