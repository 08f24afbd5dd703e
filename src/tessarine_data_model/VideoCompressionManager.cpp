#include "tessarine_data_model/VideoCompressionManager.h"

#include <QMutex>

namespace {

// Factories may be registered from any thread (usually once, at start).
QMutex& factoryMutex()
{
    static QMutex mutex;
    return mutex;
}

VideoCompressionManager::Factory& registeredFactory()
{
    static VideoCompressionManager::Factory factory;
    return factory;
}

} // namespace

void VideoCompressionManager::registerFactory(Factory factory)
{
    QMutexLocker lock(&factoryMutex());
    registeredFactory() = std::move(factory);
}

bool VideoCompressionManager::isRegistered()
{
    QMutexLocker lock(&factoryMutex());
    return bool(registeredFactory());
}

std::shared_ptr<VideoCompressionManager>
VideoCompressionManager::makeForDocument(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    Factory factory;
    {
        QMutexLocker lock(&factoryMutex());
        factory = registeredFactory();
    }
    if (factory) {
        if (auto manager = factory(document))
            return manager;
    }
    return std::make_shared<InertVideoCompressionManager>();
}
