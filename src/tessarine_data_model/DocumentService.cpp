#include "tessarine_data_model/DocumentService.h"

#include <QMutex>

#include "platform/MainThread.h"

namespace {

QMutex& serviceMutex()
{
    static QMutex mutex;
    return mutex;
}

std::shared_ptr<DocumentService>& registeredService()
{
    static std::shared_ptr<DocumentService> service;
    return service;
}

const QString kNoServiceMessage = QStringLiteral("No web service is available to save the document.");

} // namespace

void DocumentService::registerService(std::shared_ptr<DocumentService> service)
{
    QMutexLocker lock(&serviceMutex());
    registeredService() = std::move(service);
}

bool DocumentService::isRegistered()
{
    QMutexLocker lock(&serviceMutex());
    return registeredService() != nullptr;
}

std::shared_ptr<DocumentService> DocumentService::service()
{
    {
        QMutexLocker lock(&serviceMutex());
        if (registeredService())
            return registeredService();
    }
    return std::make_shared<InertDocumentService>();
}

void InertDocumentService::saveToServer(const std::shared_ptr<ZERI_TessarineModel>&, int, const std::optional<QString>&,
                                        const std::optional<QString>&, const QString&, SaveCompletion onDone, bool)
{
    if (!onDone)
        return;
    SafeDictionary error;
    error.setObject(QString::fromLatin1(kNoServiceErrorCode), QStringLiteral("errorCode"));
    error.setObject(kNoServiceMessage, QStringLiteral("errorMessage"));
    MainThread::run([onDone = std::move(onDone), error] { onDone(error); }, false);
}

void InertDocumentService::forkOnServer(const std::shared_ptr<ZERI_TessarineModel>&, int, const std::optional<QString>&,
                                        const std::optional<QString>&, bool, ForkCompletion onDone, bool)
{
    if (!onDone)
        return;
    MainThread::run(
        [onDone = std::move(onDone)] {
            onDone(Error(QString::fromLatin1(kForkErrorDomain), NoService, kNoServiceMessage));
        },
        false);
}
