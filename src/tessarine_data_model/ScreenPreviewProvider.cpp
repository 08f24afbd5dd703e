#include "tessarine_data_model/ScreenPreviewProvider.h"

#include <QMutex>

#include "platform/MainThread.h"

namespace {

QMutex& factoryMutex()
{
    static QMutex mutex;
    return mutex;
}

ScreenPreviewProvider::Factory& registeredFactory()
{
    static ScreenPreviewProvider::Factory factory;
    return factory;
}

} // namespace

void ScreenPreviewProvider::registerFactory(Factory factory)
{
    QMutexLocker lock(&factoryMutex());
    registeredFactory() = std::move(factory);
}

bool ScreenPreviewProvider::isRegistered()
{
    QMutexLocker lock(&factoryMutex());
    return bool(registeredFactory());
}

std::unique_ptr<ScreenPreviewProvider> ScreenPreviewProvider::make()
{
    Factory factory;
    {
        QMutexLocker lock(&factoryMutex());
        factory = registeredFactory();
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
