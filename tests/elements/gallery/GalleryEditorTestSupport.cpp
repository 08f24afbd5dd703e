#include "GalleryEditorTestSupport.h"

#include <atomic>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTest>
#include <QVBoxLayout>

#include "controls/NavigationController.h"
#include "controls/SheetLikePanelViewController.h"
#include "elements/gallery/QVRGalleryEditorViewController.h"
#include "platform/AppPaths.h"
#include "platform/WorkerThreads.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/UndoSnapshotFiles.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

GalleryTestDocument::GalleryTestDocument()
{
    AppPaths::setApplicationSupportForTesting(m_support.path());
    AppPaths::setTemporaryForTesting(m_temporary.path());
    ZERI_qvdFilePackage::resetForTesting();
    ZERI_qvdFilePackage::registerWithDocumentModel();
    FileChooser::setShared(&chooser);
    AlertPresenter::setShared(&alerts);
    document = ZERI_TessarineModel::create();
    flow = document->firstFlowmodel();
    screen = ZERI_FlowScreenModel::create();
    flow->addFlowScreen(screen);
    document->saveToFile();
}

GalleryTestDocument::~GalleryTestDocument()
{
    FileChooser::setShared(nullptr);
    AlertPresenter::setShared(nullptr);
    flow->undoManager().removeAllActions();
    document.reset();
    flow.reset();
    screen.reset();
    DocumentFilePackage::registerMaker(nullptr);
    UndoSnapshotFiles::registerHandler(nullptr);
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
    AppPaths::setTemporaryForTesting(QString());
}

QString GalleryTestDocument::assetsPath() const
{
    return document->documentAssetStoragePath();
}

QStringList GalleryTestDocument::assetFiles() const
{
    QStringList names = QDir(assetsPath()).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    return names;
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> GalleryTestDocument::addGallery(int count, int blankImage)
{
    auto gallery = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
    (*gallery)->setFrame(QRectF(20, 20, 400, 300));
    auto manager = (*gallery)->galleryAssetManager();
    for (int i = 0; i < count; ++i) {
        const QString full = QDir(assetsPath()).filePath(QStringLiteral("image%1.png").arg(i));
        const QString thumb = QDir(assetsPath()).filePath(QStringLiteral("thumb%1.png").arg(i));
        writePng(full, QSize(80, 60), QColor::fromHsv(i * 60 % 360, 200, 220));
        writePng(thumb, QSize(24, 18), QColor::fromHsv(i * 60 % 360, 200, 220));
        auto fullAsset = ZERI_ContentAsset::create();
        auto low = ZERI_ContentAsset::create();
        auto thumbnail = ZERI_ContentAsset::create();
        if (i != blankImage) {
            fullAsset->setExternalURL(QUrl::fromLocalFile(full));
            low->setExternalURL(QUrl::fromLocalFile(thumb));
            thumbnail->setExternalURL(QUrl::fromLocalFile(thumb));
        }
        manager->insertImageAsset(fullAsset, i);
        manager->insertLowQualityAsset(low, i);
        manager->insertThumbImageAsset(thumbnail, i);
        manager->setCaptionText(i, QStringLiteral("c%1").arg(i));
    }
    screen->addMixedMediaObject(gallery);
    document->saveToFile();
    return gallery;
}

void FakeGalleryDelegate::galleryEditorEndedEditing(bool cancelled,
                                                    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& workingCopy)
{
    ++calls;
    lastCancelled = cancelled;
    if (beforeApplying)
        beforeApplying();
    if (cancelled)
        return;
    if (gallery) {
        applied = QVRGalleryEditorViewController::applyEditedGallery(gallery, workingCopy);
        return;
    }
    auto flow = screen->nearestParentItemOfClass<ZERI_FlowModel>();
    flow->beginUndoableChanges();
    screen->addMixedMediaObject(workingCopy);
    flow->endUndoableChanges();
    applied = true;
}

HostedEditor::HostedEditor(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery,
                           const std::shared_ptr<ZERI_FlowScreenModel>& screen, GalleryEditorDelegate* delegate)
{
    panel = new SheetLikePanelViewController(&window);
    editor = new QVRGalleryEditorViewController(gallery, screen);
    editor->setDelegate(delegate);
    panel->navigationController()->setRootViewController(editor);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel->view());
    window.resize(760, 600);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qWarning("the editor window was not exposed");
}

HostedEditor::~HostedEditor()
{
    delete panel;
}

SharedWorkersBlocker::SharedWorkersBlocker()
    : m_gate(std::make_shared<QSemaphore>(0))
{
    WorkerThreads& workers = WorkerThreads::shared();
    m_threads = workers.threadCount();
    auto started = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < m_threads; ++i) {
        workers.post([gate = m_gate, started] {
            ++*started;
            gate->acquire();
        });
    }
    // Other work on those threads may wait for the main thread, so the main thread keeps turning meanwhile.
    if (!QTest::qWaitFor([&] { return started->load() == m_threads; }, 10000))
        qWarning("the shared worker threads could not be filled");
}

SharedWorkersBlocker::~SharedWorkersBlocker()
{
    release();
}

void SharedWorkersBlocker::release()
{
    if (m_released)
        return;
    m_released = true;
    m_gate->release(m_threads);
}

namespace {
bool writeImage(const QString& path, const QSize& size, const QColor& color, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path, format);
}
} // namespace

bool writePng(const QString& path, const QSize& size, const QColor& color)
{
    return writeImage(path, size, color, "PNG");
}

bool writeJpeg(const QString& path, const QSize& size, const QColor& color)
{
    return writeImage(path, size, color, "JPEG");
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool waitUntilIdle(QVRGalleryEditorViewController& editor, int timeoutMs)
{
    QPointer<QVRGalleryEditorViewController> guard(&editor);
    return QTest::qWaitFor([&] { return !guard || guard->numberOfDataItemsBeingStored() == 0; }, timeoutMs);
}

QStringList imageNames(const ZERI_MixedMediaObjectProxy& gallery)
{
    QStringList names;
    for (const auto& asset : gallery->galleryAssetManager()->fullsizedImageAssetsArray()) {
        const QString path = asset->externalURL().path();
        if (!asset->sourceFileName().isEmpty())
            names.append(asset->sourceFileName());
        else
            names.append(path.isEmpty() ? QStringLiteral("-") : QFileInfo(path).fileName());
    }
    return names;
}

QStringList captions(const ZERI_MixedMediaObjectProxy& gallery)
{
    return gallery->galleryAssetManager()->captionTextArray();
}

std::vector<size_t> arraySizes(const ZERI_MixedMediaObjectProxy& gallery)
{
    const auto manager = gallery->galleryAssetManager();
    return {manager->fullsizedImageAssetsArray().size(), manager->lowQualityImageAssetsArray().size(),
            manager->thumbnailImageAssetsArray().size(), size_t(manager->captionTextArray().size())};
}
