#include "tessarine_data_model/DocumentFilePackage.h"

#include <QMutex>

namespace {

QMutex& makerMutex()
{
    static QMutex mutex;
    return mutex;
}

DocumentFilePackage::Maker& registeredMaker()
{
    static DocumentFilePackage::Maker maker;
    return maker;
}

} // namespace

bool DocumentFilePackage::saveDocument(const std::shared_ptr<ZERI_TessarineModel>&, Error* error)
{
    setError(error, Error(QStringLiteral("com.tessarine.filepackage"), CannotSave,
                          QStringLiteral("this package cannot save documents")));
    return false;
}

void DocumentFilePackage::registerMaker(Maker maker)
{
    QMutexLocker lock(&makerMutex());
    registeredMaker() = std::move(maker);
}

bool DocumentFilePackage::isRegistered()
{
    QMutexLocker lock(&makerMutex());
    return bool(registeredMaker());
}

std::shared_ptr<DocumentFilePackage>
DocumentFilePackage::makeForDocument(const std::shared_ptr<ZERI_TessarineModel>& document, Error* error)
{
    Maker maker;
    {
        QMutexLocker lock(&makerMutex());
        maker = registeredMaker();
    }
    if (!maker) {
        setError(error, Error(QStringLiteral("com.tessarine.filepackage"), NoPackageStore,
                              QStringLiteral("no package store is available to save the document")));
        return nullptr;
    }
    return maker(document, error);
}
