#include "elements/views/ElementsLibrary.h"

#include "app/AppStartupHooks.h"
#include "elements/video/QVBVideoCompressionManager.h"

void registerElementsLibrary()
{
    QVBVideoCompressionManager::registerWithDocumentModel();
    AppStartupHooks& hooks = AppStartupHooks::shared();
    hooks.isCompressingVideo = [] { return QVBVideoCompressionManager::anyManagerIsCompressing(); };
    hooks.cancelVideoCompression = [] { QVBVideoCompressionManager::cancelEverythingEverywhere(); };
}
