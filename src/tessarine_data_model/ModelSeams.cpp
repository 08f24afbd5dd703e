#include "tessarine_data_model/ScreenPreviewProvider.h"
#include "tessarine_data_model/VideoCompressionManager.h"

#include <QMutex>

#include "platform/MainThread.h"

namespace {

QMutex& factoryMutex()
{
    static QMutex mutex;
    return mutex;
}

VideoCompressionManager::Factory& compressionFactory()
{
    static VideoCompressionManager::Factory factory;
    return factory;
}

ScreenPreviewProvider::Factory& previewFactory()
{
    static ScreenPreviewProvider::Factory factory;
    return factory;
}

} // namespace

void VideoCompressionManager::registerFactory(Factory factory)
{
    QMutexLocker lock(&factoryMutex());
    compressionFactory() = std::move(factory);
}

std::shared_ptr<VideoCompressionManager>
VideoCompressionManager::makeForDocument(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    Factory factory;
    {
        QMutexLocker lock(&factoryMutex());
        factory = compressionFactory();
    }
    if (factory) {
        if (auto manager = factory(document))
            return manager;
    }
    return std::make_shared<InertVideoCompressionManager>();
}

void ScreenPreviewProvider::registerFactory(Factory factory)
{
    QMutexLocker lock(&factoryMutex());
    previewFactory() = std::move(factory);
}

std::unique_ptr<ScreenPreviewProvider> ScreenPreviewProvider::make()
{
    Factory factory;
    {
        QMutexLocker lock(&factoryMutex());
        factory = previewFactory();
    }
    if (factory) {
        if (auto provider = factory())
            return provider;
    }
    return std::make_unique<InertScreenPreviewProvider>();
}

void InertScreenPreviewProvider::generatePreviews(const std::shared_ptr<ZERI_FlowScreenModel>&,
                                                  std::function<void()> done)
{
    // Asynchronous like a real generator, so callers see the same order of events.
    MainThread::run(std::move(done), false);
}
