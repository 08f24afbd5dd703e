#include "viewer/ViewerDocumentActions.h"

#include <QPointer>
#include <QWidget>

#include "app/QVRAnalytics.h"
#include "app/QVRAppDelegate.h"
#include "controls/QVR_Toast.h"
#include "foundation/Tessutils.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLogging.h"
#include "viewer/ViewerSharing.h"

namespace {

constexpr int kOwnDocumentType = 1;

std::shared_ptr<ZERI_qvdFilePackage> packageOf(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    return document ? std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage()) : nullptr;
}

bool isOwnedBySignedInUser(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    const auto package = document ? document->filePackage() : nullptr;
    const QString user = QVRAnalytics::signedInUserName();
    return package && !user.isEmpty() && package->ownerUserName() == user;
}

bool isOwnEditableDocument(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    const auto package = packageOf(document);
    return package && (package->metaData().packageType() & kOwnDocumentType) != 0;
}

// The user's own: owned by the signed-in user, or made here and never saved to the service, so that it names no
// owner yet (the next sign-in makes it the signed-in user's). A document is the same document before and after
// its first save.
bool isOwnedByCurrentUser(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (isOwnedBySignedInUser(document))
        return true;
    const auto package = packageOf(document);
    return package && isOwnEditableDocument(document) && package->metaData().ownerUserName().isEmpty() &&
           package->metaData().owner().isEmpty();
}

} // namespace

namespace ViewerDocumentActions {

QVariantMap roleParameters(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (isOwnedBySignedInUser(document))
        return {{QStringLiteral("action_value"), QStringLiteral("isOwner")}};
    if (Tessutils::isUserAdmin())
        return {{QStringLiteral("action_value"), QStringLiteral("isAdmin")}};
    return {};
}

bool countsAsPublishedView(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!isOwnEditableDocument(document))
        return true;
    return packageOf(document)->publishedModel() == document;
}

void reportViewed(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!document)
        return;
    QVRAnalytics::logEvent(countsAsPublishedView(document) ? QStringLiteral("Tessarine Viewed")
                                                           : QStringLiteral("Tessarine Draft Viewed"),
                           roleParameters(document), document);
}

bool canRemix(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!packageOf(document))
        return false;
    return document->canRemix() || isOwnedByCurrentUser(document) || Tessutils::isUserAdmin();
}

bool canShare(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!document || !ViewerSharing::shared())
        return false;
    return !isOwnEditableDocument(document) || Tessutils::isUserAdmin();
}

void remix(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* toastView)
{
    if (!document)
        return;
    QVariantMap parameters = roleParameters(document);
    if (parameters.isEmpty())
        parameters.insert(QStringLiteral("action_value"), QStringLiteral("remix"));
    QVRAnalytics::logEvent(QStringLiteral("Tessarine Remix"), parameters, document);

    const auto package = packageOf(document);
    if (!package) {
        qCWarning(lcViewer) << "remix of a document without a package: nothing to copy";
        return;
    }
    const QString title = document->title();
    QPointer<QWidget> view(toastView);
    ZERI_qvdFilePackage::duplicatePackage(package, [title, view](std::shared_ptr<ZERI_qvdFilePackage> copy) {
        if (!copy) {
            qCWarning(lcViewer) << "the remixed copy could not be made";
            if (view)
                QVR_Toast::toast(UFM::ERROR_TEXT(), view);
            return;
        }
        // The copy is the user's own document, never posted: the posted copy of the original stays with it.
        copy->deletePublishedData();
        copy->metaData().setPackageType(kOwnDocumentType);
        copy->saveMetadata();
        QVRAppDelegate::postUserNotification(UFM::TESSARINE_COPIED_TEXT(), title,
                                             UFM::TESSARINE_COPIED_CAN_BE_FOUND_IN_MY_TESSARINES(), view);
    });
}

} // namespace ViewerDocumentActions
