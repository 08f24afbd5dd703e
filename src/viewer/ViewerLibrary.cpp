#include "viewer/ViewerLibrary.h"

void registerViewerLibrary()
{
    // Nothing to fill yet: the gallery and PDF viewers are made by the viewer view controller itself, and the
    // tracked e-mail composer is the sharing library's to register (before or after this); until it does, the
    // PDF viewer offers no e-mail button.
}
