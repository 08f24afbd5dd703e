#include "viewer/output/OutputPictures.h"

#include <QCoreApplication>
#include <QDialog>
#include <QPointer>
#include <QVBoxLayout>

#include "platform/AlertPresenter.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ObjectPicture.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRViewerDownloadViewController.h"
#include "viewer/ViewerLogging.h"

namespace {

std::vector<std::shared_ptr<ZERI_FlowScreenModel>> outputScreens(const ZERI_TessarineModel& document)
{
    const auto flow = document.firstFlowmodel();
    return flow ? flow->screenModels() : std::vector<std::shared_ptr<ZERI_FlowScreenModel>>();
}

// The question asked when some pictures could not be fetched; `proceed` runs when the user goes on.
void askAboutLackingPictures(QWidget* window, const QList<int>& screens, const QString& goOnButton,
                             std::function<void()> proceed)
{
    QStringList numbers;
    for (int screen : screens)
        numbers.append(QString::number(screen));
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = UFM::OUTPUT_LACKS_PICTURES_TEXT();
    request.informativeText = UFM::OUTPUT_SCREENS_LACK_PICTURES_TEXT().arg(numbers.join(QStringLiteral(", ")));
    request.buttons = {goOnButton, UFM::CANCEL_TEXT()};
    AlertPresenter::shared().show(request, window, [proceed = std::move(proceed)](const AlertResponse& response) {
        if (response.button == 0 && proceed)
            proceed();
    });
}

} // namespace

std::vector<PictureFetch::Places> OutputPictures::wanted(const ZERI_TessarineModel& document, bool galleryPages,
                                                         bool pdfPages)
{
    std::vector<PictureFetch::Places> wanted;
    for (const auto& screen : outputScreens(document)) {
        for (PictureFetch::Places& places : PictureFetch::missingPicturesOf(*screen))
            wanted.push_back(std::move(places));
        if (galleryPages) {
            for (const auto& gallery : screen->getAllChildObjectsOfClass<QVB_GalleryAssetManager>()) {
                for (const auto& asset : gallery->fullsizedImageAssetsArray()) {
                    if (PictureFetch::Places places = PictureFetch::placesOf({asset}); !places.empty())
                        wanted.push_back(std::move(places));
                }
            }
        }
        if (pdfPages) {
            for (const auto& object : screen->getAllChildObjectsOfClass<ZERI_MixedMediaObject>()) {
                if (object->type() != ZERI_MixedMediaObject::PDF)
                    continue;
                if (PictureFetch::Places places = PictureFetch::placesOf({object->pdfAsset()}); !places.empty())
                    wanted.push_back(std::move(places));
            }
        }
    }
    return wanted;
}

QList<int> OutputPictures::screensLackingPictures(const ZERI_TessarineModel& document)
{
    QList<int> screens;
    int number = 0;
    for (const auto& screen : outputScreens(document)) {
        ++number;
        if (ObjectPicture::screenLacksPictures(*screen))
            screens.append(number);
    }
    return screens;
}

void OutputPictures::fetchThen(QWidget* window, const std::shared_ptr<ZERI_TessarineModel>& document, bool galleryPages,
                               bool pdfPages, const QString& goOnButton, std::function<void()> proceed)
{
    if (!document) {
        if (proceed)
            proceed();
        return;
    }
    std::vector<PictureFetch::Places> files = wanted(*document, galleryPages, pdfPages);
    if (files.empty()) {
        // Nothing to fetch; pictures that no address can bring are still named before the output is made.
        if (const QList<int> lacking = screensLackingPictures(*document); !lacking.isEmpty())
            askAboutLackingPictures(window, lacking, goOnButton, std::move(proceed));
        else if (proceed)
            proceed();
        return;
    }
    qCInfo(lcViewer) << "fetching" << files.size() << "files before the output";
    // The download panel, modal to the window, for as long as the files come.
    QPointer<QDialog> dialog = new QDialog(window);
    dialog->setObjectName(QStringLiteral("OutputPicturesDownloadDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    auto* panel = new QVRViewerDownloadViewController(dialog);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel->view());
    panel->setInformation(document);
    QPointer<QWidget> owner(window);
    auto fetch = std::make_shared<std::shared_ptr<PictureFetch>>();
    *fetch = PictureFetch::start(
        std::move(files),
        [panel = QPointer<QVRViewerDownloadViewController>(panel)](double progress) {
            if (panel)
                panel->setProgress(progress);
        },
        [dialog, owner, hadWindow = window != nullptr, document, goOnButton, proceed,
         fetch](const PictureFetch::Result& result) {
            if (dialog)
                dialog->close();
            // Dropped on a later turn: this runs inside the fetch's own report.
            QMetaObject::invokeMethod(
                qApp, [fetch] { fetch->reset(); }, Qt::QueuedConnection);
            // Cancelled, or the window closed meanwhile: no output.
            if (result.cancelled || (hadWindow && !owner))
                return;
            const QList<int> lacking = screensLackingPictures(*document);
            if (!lacking.isEmpty())
                askAboutLackingPictures(owner, lacking, goOnButton, proceed);
            else if (proceed)
                proceed();
        });
    panel->setOnCloseButtonPressedBlock([fetch] {
        if (*fetch)
            (*fetch)->cancel();
    });
    // Closing the panel's window is Cancel too.
    QObject::connect(dialog, &QDialog::rejected, dialog, [fetch] {
        if (*fetch)
            (*fetch)->cancel();
    });
    dialog->show();
}
