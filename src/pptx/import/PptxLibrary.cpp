#include "pptx/import/PptxLibrary.h"

#include "app/AppStartupHooks.h"
#include "pptx/converter/PptxImportRecord.h"
#include "pptx/import/PptxFontCatalogue.h"
#include "pptx/import/QVRPowerpointFontReplacementWindowController.h"
#include "pptx/import/QVRPowerpointOverviewWindowController.h"

void registerPptxLibrary()
{
    // An import whose process was killed left its document and its pictures: they go before any list shows them.
    PptxImportRecord::removeLeftovers();
    // Typefaces the font catalogue offers, family names included, need no question; the others are asked about
    // with the font replacement window.
    PptxFontCatalogue::registerWithConverter();
    QVRPowerpointFontReplacementWindowController::registerAsFontReplacementPrompt();
    AppStartupHooks::shared().menuCommands[QStringLiteral("importPowerpoint")] = [] {
        auto* window = new QVRPowerpointOverviewWindowController;
        window->show();
        window->raise();
        window->activateWindow();
    };
}
