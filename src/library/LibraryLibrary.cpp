#include "library/LibraryLibrary.h"

#include <memory>

#include "app/AppStartupHooks.h"
#include "creator/TessarineThemeCatalogue.h"
#include "library/themes/LibraryThemeCatalogue.h"
#include "library/themes/QVRTemplateChooserWindowController.h"
#include "library/themes/TessarineTheme.h"

namespace {

// Themes, templates and guides: the editor's theme catalogue, the theme loading at start-up, the template chooser
// of new-document requests and the guide panel.
void registerThemes()
{
    TessarineThemeCatalogue::setShared(std::make_unique<LibraryThemeCatalogue>());
    AppStartupHooks& hooks = AppStartupHooks::shared();
    hooks.loadDefaultThemes = [] { TessarineTheme::loadDefaultThemes(); };
    hooks.deletePrecachedBlankTheme = [] { TessarineTheme::deletePrecachedBlankTheme(); };
    hooks.showTemplateChooser = [] { QVRTemplateChooserWindowController::sharedInstance()->showWindow(); };
}

} // namespace

void registerLibraryLibrary()
{
    registerThemes();
}
