#include "pptx/import/PptxLibrary.h"

#include <QApplication>

#include "app/AppStartupHooks.h"
#include "pptx/import/QVRPowerpointImportManager.h"

void registerPptxLibrary()
{
    AppStartupHooks::shared().menuCommands[QStringLiteral("importPowerpoint")] = [] {
        QVRPowerpointImportManager::shared().importPowerpoint(QApplication::activeWindow(), {});
    };
}
