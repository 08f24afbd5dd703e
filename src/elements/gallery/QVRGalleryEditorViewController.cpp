#include "elements/gallery/QVRGalleryEditorViewController.h"

#include <algorithm>
#include <cmath>

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QMimeData>
#include <QMimeDatabase>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QThread>
#include <QVBoxLayout>

#include "controls/SheetLikePanelViewController.h"
#include "controls/ViewUtils.h"
#include "elements/gallery/GalleryEditorArrayController.h"
#include "elements/gallery/GalleryLogging.h"
#include "elements/gallery/QVRGalleryEditorCollectionViewObject.h"
#include "elements/gallery/QVRGalleryEditorView.h"
#include "elements/images/ImageUtils.h"
#include "elements/images/UNIImage.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/AppPaths.h"
#include "platform/FileChooser.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/AssetFileReferences.h"
#include "storage/ContentAssetStorage.h"
#include "storage/QVRCustomDataDataItem.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "storage/ZERI_WebDownloader.h"
#include "strings/UFM.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr double kSmallImageScale = 0.3;

// Decoding and scaling of added images: a few at a time, beside the stores' own workers.
WorkerThreads& preparationQueue()
{
    static WorkerThreads threads(std::max(1, std::min(3, QThread::idealThreadCount() / 2)),
                                 QStringLiteral("gallery images"), WorkerThreads::AtApplicationEnd::Stop);
    return threads;
}

// A JPEG cut short still decodes, grey below the cut; its end marker is what tells. The marker must follow the
// last scan (entropy-coded data never holds it; an embedded thumbnail's comes before the main scans).
bool isTruncatedJpeg(const QByteArray& data)
{
    if (!data.startsWith("\xFF\xD8\xFF"))
        return false;
    const qsizetype lastScan = data.lastIndexOf(QByteArray("\xFF\xDA", 2));
    const qsizetype end = data.lastIndexOf(QByteArray("\xFF\xD9", 2));
    return end < 0 || end < lastScan;
}

// Worker side of adding one image: the PNG of the picture at 0.3 of its size (the low-quality and thumbnail
// files are both made at that size), or why the file cannot be added, in the words every way of adding a file
// uses (ContentAssetStorage::refusalReason).
QByteArray prepareSmallerPicture(const QString& path, qint64 limit, QString* failure)
{
    const auto refuse = [&](const Error& error) {
        qCWarning(lcGallery).noquote() << "cannot add" << path << "-" << error.message;
        *failure = ContentAssetStorage::refusalReason(error);
        return QByteArray();
    };
    const auto unreadable = [&](const QString& why) {
        return refuse(Error(ContentAssetStorage::errorDomain, ContentAssetStorage::ReadFailure, why));
    };
    const QFileInfo info(path);
    if (!info.isFile())
        return unreadable(QStringLiteral("not a readable file"));
    if (limit > 0 && info.size() > limit)
        return refuse(Error(ContentAssetStorage::errorDomain, ContentAssetStorage::TooLarge,
                            QStringLiteral("larger than the upload limit (%1 bytes)").arg(limit)));
    if (info.size() > ImageUtils::maximumFileSize)
        return unreadable(QStringLiteral("file too large"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QByteArray data = file.readAll();
    if (isTruncatedJpeg(data))
        return unreadable(QStringLiteral("the JPEG data is cut short"));
    // Refuses pictures without pixels and those too large to decode, as the canvas does; a large photo comes at
    // its reduced size.
    Error error;
    const UNIImage image = UNIImage::imageWithCGImage(ImageUtils::readImage(data, {}, path, false, &error));
    const QSize size = image.realSize();
    if (image.isNull() || size.isEmpty())
        return error.isNull() ? unreadable(QStringLiteral("no picture could be decoded")) : refuse(error);
    const QSize small(std::max(1, int(std::lround(size.width() * kSmallImageScale))),
                      std::max(1, int(std::lround(size.height() * kSmallImageScale))));
    const QByteArray png = UNIImagePNGRepresentation(image.resizedImage(small, UNIImage::InterpolationQuality::Low));
    if (png.isEmpty())
        return unreadable(QStringLiteral("the smaller pictures could not be made"));
    return png;
}

QString displayName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

std::shared_ptr<QVB_GalleryAssetManager> managerOf(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    return object ? (*object)->galleryAssetManager() : nullptr;
}

} // namespace

// State that outlives the editor for the callbacks of its workers and stores, and the files it stored.
struct QVRGalleryEditorViewController::Session {
    QVRGalleryEditorViewController* owner = nullptr;
    bool ended = false;
    bool finished = false;
    std::weak_ptr<ZERI_TessarineModel> document;
    QStringList storedFiles; // each counted once in AssetFileReferences
    std::vector<std::weak_ptr<ContentAssetStorage::Operation>> operations;

    // The one place a stored file is given up: deleted unless the document uses it, and its count released.
    void discardFile(const QString& path)
    {
        if (!storedFiles.removeOne(path))
            return;
        const auto current = document.lock();
        if (!current || !ContentAssetStorage::documentUsesFile(*current, path)) {
            std::weak_ptr<ZERI_TessarineModel> weakDocument = document;
            AssetFileReferences::deleteWhenUnreferenced(path, [weakDocument, path] {
                const auto stillOpen = weakDocument.lock();
                return stillOpen && ContentAssetStorage::documentUsesFile(*stillOpen, path);
            });
        }
        AssetFileReferences::releaseFile(path);
    }

    void finish()
    {
        ended = true;
        if (finished)
            return;
        finished = true;
        for (const auto& weakOperation : operations) {
            if (const auto operation = weakOperation.lock())
                operation->cancel();
        }
        operations.clear();
        const QStringList files = storedFiles;
        for (const QString& path : files)
            discardFile(path);
    }
};

// The images of one addition: their alert is one, once the last of them is done.
struct QVRGalleryEditorViewController::Batch {
    int imagesLeft = 0;
    QStringList failedNames;
};

struct QVRGalleryEditorViewController::PendingImage {
    QString path;
    QString name;    // in the alert when the image cannot be added
    QString failure; // why, in the alert beside the name
    // A picture on the web: its fetch into the temporary folder, until the file is there.
    std::shared_ptr<ZERI_WebDownloader> downloader;
    ObjectUpdateNotifierObserver downloadObservation;
    std::shared_ptr<ZERI_ContentAsset> fullsized;
    std::shared_ptr<ZERI_ContentAsset> lowQuality;
    std::shared_ptr<ZERI_ContentAsset> thumbnail;
    std::vector<std::shared_ptr<ContentAssetStorage::Operation>> operations;
    int storesLeft = 0;
    bool failed = false;
    std::shared_ptr<Batch> batch;
};

QVRGalleryEditorViewController::QVRGalleryEditorViewController(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
    QObject* parent)
    : NavigationControllerFriendlyViewController(parent)
    , m_mixedMediaObject(gallery)
    , m_arrayController(new GalleryEditorArrayController(this))
    , m_session(std::make_shared<Session>())
{
    m_session->owner = this;
    if (gallery) {
        Error error;
        m_workingMixedMediaObject = ZERI_MixedMediaObject::initWithDict((*gallery)->jsonDictionary(), &error);
        if (!m_workingMixedMediaObject)
            qCWarning(lcGallery) << "cannot copy the gallery to edit:" << error.message;
    }
    if (!m_workingMixedMediaObject)
        m_workingMixedMediaObject = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Gallery);
    std::shared_ptr<TessarineDataModelItem> workingParent = gallery ? (*gallery)->parent() : nullptr;
    if (!workingParent)
        workingParent = screen;
    (*m_workingMixedMediaObject)->setParent(workingParent);
    m_session->document = (*m_workingMixedMediaObject)->tessarineModel();
    fillFromGallery();
}

QVRGalleryEditorViewController::~QVRGalleryEditorViewController()
{
    // Gone without ending (its window closed): as a cancel. While the delegate runs, the ending does this itself.
    m_session->owner = nullptr;
    if (!m_session->ended)
        m_session->finish();
}

void QVRGalleryEditorViewController::fillFromGallery()
{
    const auto manager = managerOf(m_workingMixedMediaObject);
    const auto& fullsized = manager->fullsizedImageAssetsArray();
    const auto& lowQuality = manager->lowQualityImageAssetsArray();
    const auto& thumbnails = manager->thumbnailImageAssetsArray();
    for (size_t i = 0; i < fullsized.size(); ++i) {
        auto entry = std::make_shared<QVRGalleryEditorCollectionViewObject>();
        entry->setAssets(fullsized[i], i < lowQuality.size() ? lowQuality[i] : nullptr,
                         i < thumbnails.size() ? thumbnails[i] : nullptr);
        // An image without an address still gets its (blank) tile, so that tile k stays image k.
        const QUrl url = fullsized[i]->externalURL();
        if (!url.isEmpty()) {
            entry->setUrlString(url.toString());
            const auto downloader = ContentAssetStorage::downloader(*fullsized[i]);
            if (downloader && !downloader->fileExists())
                downloader->downloadAndCache();
        }
        m_arrayController->insertObject(entry, int(i));
    }
}

void QVRGalleryEditorViewController::loadView()
{
    auto* view = new QVRGalleryEditorView;
    m_view = view;
    view->resize(720, 520);
    // A page of the dark panel wherever it is shown, a sheet included: its white title reads on it.
    ViewUtils::setBackgroundColor(view, SheetLikePanelViewController::panelColor());
    view->setReturnHandler([this] { defaultButtonPressed(); });

    m_titleLabel = new QLabel(UFM::SAYS_EDIT_GALLERY(), view);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QFont titleFont = m_titleLabel->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    m_titleLabel->setFont(titleFont);
    QPalette titleColors = m_titleLabel->palette();
    titleColors.setColor(QPalette::WindowText, Qt::white);
    m_titleLabel->setPalette(titleColors);

    m_collectionView = new QVRGalleryEditorCollectionView(view);
    m_collectionView->setContentDelegate(this);
    m_collectionView->setArrayController(m_arrayController);

    auto makeButton = [view](const QString& title, const char* name) {
        auto* button = new QPushButton(title, view);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        // Dark text while the button works; a disabled button keeps the style's greyed text.
        QPalette colors = button->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            colors.setColor(group, QPalette::ButtonText, Tessutils::tessarineBlackColor());
        button->setPalette(colors);
        return button;
    };
    m_chooseImagesButton = makeButton(UFM::SAYS_CHOOSE_IMAGES(), "chooseImagesButton");
    m_cancelButton = makeButton(UFM::CANCEL_TEXT(), "cancelButton");
    m_saveButton = makeButton(UFM::DONE_TEXT(), "saveButton");
    connect(m_chooseImagesButton, &QPushButton::clicked, this,
            &QVRGalleryEditorViewController::choseImageButtonPressed);
    connect(m_cancelButton, &QPushButton::clicked, this, &QVRGalleryEditorViewController::cancelButtonPressed);
    connect(m_saveButton, &QPushButton::clicked, this, &QVRGalleryEditorViewController::saveButtonPressed);

    m_spinner = new QProgressBar(view);
    m_spinner->setObjectName(QStringLiteral("spinner"));
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedWidth(80);
    m_spinner->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_chooseImagesButton);
    buttons->addWidget(m_spinner);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_saveButton);

    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(m_titleLabel);
    layout->addWidget(m_collectionView, 1);
    layout->addLayout(buttons);

    setView(view);
    if (m_numberOfDataItemsBeingStored > 0)
        m_spinner->show();
    enableDoneButtonIfDoneProcessingDataItems();
}

QLabel* QVRGalleryEditorViewController::titleLabel()
{
    view();
    return m_titleLabel;
}

QPushButton* QVRGalleryEditorViewController::chooseImagesButton()
{
    view();
    return m_chooseImagesButton;
}

QPushButton* QVRGalleryEditorViewController::cancelButton()
{
    view();
    return m_cancelButton;
}

QPushButton* QVRGalleryEditorViewController::saveButton()
{
    view();
    return m_saveButton;
}

QVRGalleryEditorCollectionView* QVRGalleryEditorViewController::collectionView()
{
    view();
    return m_collectionView;
}

QProgressBar* QVRGalleryEditorViewController::spinner()
{
    view();
    return m_spinner;
}

bool QVRGalleryEditorViewController::isReadyToSave() const
{
    return m_numberOfDataItemsBeingStored < 1 && m_arrayController->count() > 0 && !m_session->ended;
}

bool QVRGalleryEditorViewController::hasEnded() const
{
    return m_session->ended;
}

void QVRGalleryEditorViewController::enableDoneButtonIfDoneProcessingDataItems()
{
    if (!m_saveButton || !m_chooseImagesButton)
        return;
    const bool ready = isReadyToSave();
    if (ready && m_spinner)
        m_spinner->hide();
    m_saveButton->setEnabled(ready);
    m_saveButton->setDefault(ready);
    m_chooseImagesButton->setDefault(!ready);
}

void QVRGalleryEditorViewController::defaultButtonPressed()
{
    if (m_session->ended)
        return;
    if (isReadyToSave())
        saveButtonPressed();
    else
        choseImageButtonPressed();
}

void QVRGalleryEditorViewController::changeBusyCount(int delta)
{
    m_numberOfDataItemsBeingStored += delta;
    if (delta > 0 && m_spinner)
        m_spinner->show();
    enableDoneButtonIfDoneProcessingDataItems();
    emit stateChanged();
}

void QVRGalleryEditorViewController::saveButtonPressed()
{
    if (!isReadyToSave())
        return;
    endEditing(false);
}

void QVRGalleryEditorViewController::cancelButtonPressed()
{
    endEditing(true);
}

void QVRGalleryEditorViewController::endEditing(bool cancelled)
{
    if (m_session->ended)
        return;
    // Everything the ending needs is held here: the delegate may delete the editor before it returns.
    const auto session = m_session;
    const auto workingCopy = m_workingMixedMediaObject;
    GalleryEditorDelegate* delegate = m_delegate;
    session->ended = true;
    if (m_saveButton) {
        m_saveButton->setEnabled(false);
        m_chooseImagesButton->setEnabled(false);
        m_cancelButton->setEnabled(false);
    }
    if (delegate)
        delegate->galleryEditorEndedEditing(cancelled, workingCopy);
    session->finish();
}

void QVRGalleryEditorViewController::choseImageButtonPressed()
{
    if (m_session->ended)
        return;
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::OpenFiles;
    request.title = UFM::SAYS_CHOOSE_IMAGES();
    request.allowedExtensions = supportedImageExtensions();
    request.place = FileChooserRequest::Place::Pictures;
    const QUrl last = Tessutils::lastOpenedDirectoryURL();
    if (last.isLocalFile())
        request.directory = last.toLocalFile();
    QPointer<QVRGalleryEditorViewController> self(this);
    FileChooser::shared().show(request, m_view, [self](const FileChooserResponse& response) {
        if (!self || self->m_session->ended || !response.accepted())
            return;
        Tessutils::setLastOpenedDirectoryURL(QUrl::fromLocalFile(QFileInfo(response.paths.first()).absolutePath()));
        QList<QUrl> urls;
        for (const QString& path : response.paths)
            urls.append(QUrl::fromLocalFile(path));
        self->galleryEditorCollectionViewWantsToAddImagesFromURLs(urls, kAppend);
    });
}

QStringList QVRGalleryEditorViewController::supportedImageExtensions()
{
    static const QStringList extensions = [] {
        QStringList list;
        for (const QByteArray& format : QImageReader::supportedImageFormats()) {
            const QString extension = QString::fromLatin1(format).toLower();
            if (extension != QLatin1String("pdf") && !list.contains(extension))
                list.append(extension);
        }
        return list;
    }();
    return extensions;
}

bool QVRGalleryEditorViewController::isImportableWebImage(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return false;
    const QString name = url.fileName();
    return !name.isEmpty() && supportedImageExtensions().contains(QFileInfo(name).suffix().toLower());
}

bool QVRGalleryEditorViewController::isImportableImageFile(const QString& path)
{
    const QFileInfo info(path);
    if (!supportedImageExtensions().contains(info.suffix().toLower()))
        return false;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    if (type.inherits(QStringLiteral("application/pdf")) || type.name().startsWith(QLatin1String("video/")))
        return false;
    return info.isFile();
}

void QVRGalleryEditorViewController::galleryEditorCollectionViewWantsToAddImagesFromURLs(const QList<QUrl>& urls,
                                                                                         int index)
{
    QList<QUrl> sources;
    for (const QUrl& url : urls) {
        if ((url.isLocalFile() && isImportableImageFile(url.toLocalFile())) || isImportableWebImage(url))
            sources.append(url);
    }
    addImages(sources, index);
}

void QVRGalleryEditorViewController::galleryEditorCollectionViewWantsToAddImagesFromMixedMediaObjects(
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects, int index)
{
    QList<QUrl> urls;
    for (const auto& object : objects) {
        const auto original = object ? (*object)->originalImageAsset() : nullptr;
        if (original && !original->externalURL().isEmpty())
            urls.append(original->externalURL());
    }
    galleryEditorCollectionViewWantsToAddImagesFromURLs(urls, index);
}

void QVRGalleryEditorViewController::galleryEditorCollectionViewAcceptDrop(const QMimeData* data, int index,
                                                                           bool isMoveOfSelection)
{
    if (m_session->ended || !data)
        return;
    const int count = m_arrayController->count();
    index = std::clamp(index, 0, count);
    if (isMoveOfSelection) {
        const QList<int> rows = m_collectionView ? m_collectionView->selectedRows() : QList<int>();
        if (rows.isEmpty())
            return;
        const int below = int(std::count_if(rows.begin(), rows.end(), [index](int row) { return row < index; }));
        const int target = std::clamp(index - below, 0, count - int(rows.size()));
        QList<qsizetype> indexes;
        for (const int row : rows)
            indexes.append(row);
        managerOf(m_workingMixedMediaObject)->moveAssetsFromIndexes(indexes, target);
        m_arrayController->moveObjectsAtRows(rows, target);
        emit stateChanged();
        return;
    }
    // The drag's own data, never the clipboard: image elements first, then files, all from the drop index on.
    qCInfo(lcGallery).noquote() << QStringLiteral("Dragged in thingy with available drag types:\n%1")
                                       .arg(data->formats().join(QLatin1Char('\n')));
    QList<QUrl> urls;
    QStringList read;
    for (const auto& object : ZERI_MixedMediaObject::readObjectsFromMimeData(data)) {
        const auto original = (*object)->originalImageAsset();
        read.append(QStringLiteral("<image element %1>").arg((*object)->internalID()));
        if (original && !original->externalURL().isEmpty())
            urls.append(original->externalURL());
    }
    if (data->hasUrls()) {
        urls.append(data->urls());
        for (const QUrl& url : data->urls())
            read.append(url.toString());
    }
    qCInfo(lcGallery).noquote() << QStringLiteral("Got urls for thingies:\n%1").arg(read.join(QLatin1Char('\n')));
    galleryEditorCollectionViewWantsToAddImagesFromURLs(urls, index);
}

void QVRGalleryEditorViewController::addImages(const QList<QUrl>& sources, int index)
{
    if (sources.isEmpty() || m_session->ended)
        return;
    const auto manager = managerOf(m_workingMixedMediaObject);
    int position = (index < 0 || index > m_arrayController->count()) ? m_arrayController->count() : index;
    auto batch = std::make_shared<Batch>();
    std::vector<std::shared_ptr<PendingImage>> ready;
    for (const QUrl& source : sources) {
        auto image = std::make_shared<PendingImage>();
        image->batch = batch;
        image->fullsized = ZERI_ContentAsset::create();
        image->lowQuality = ZERI_ContentAsset::create();
        image->thumbnail = ZERI_ContentAsset::create();
        // The three records and the caption go in together, at one index, so the arrays stay parallel.
        manager->insertImageAsset(image->fullsized, position);
        manager->insertLowQualityAsset(image->lowQuality, position);
        manager->insertThumbImageAsset(image->thumbnail, position);

        auto entry = std::make_shared<QVRGalleryEditorCollectionViewObject>();
        entry->setUrlString(source.toString());
        entry->setAssets(image->fullsized, image->lowQuality, image->thumbnail);
        if (source.isLocalFile()) {
            image->path = source.toLocalFile();
            image->name = displayName(image->path);
            entry->setSourcePath(image->path);
            ready.push_back(image);
        } else {
            image->name = source.fileName();
            image->downloader = ZERI_WebDownloader::downloaderForUrl(source, AppPaths::temporary());
            if (image->downloader)
                image->path = image->downloader->filepath();
            if (image->downloader && image->downloader->fileExists()) {
                entry->setSourcePath(image->path);
                ready.push_back(image);
            } else {
                m_downloadingImages.push_back(image);
            }
        }
        m_arrayController->insertObject(entry, position);
        ++position;
        ++batch->imagesLeft;
    }
    changeBusyCount(int(sources.size()));
    for (const auto& image : ready)
        prepareImage(image);
    // Fetches start once every tile is in place: one that fails at once then finds its tile.
    const std::vector<std::shared_ptr<PendingImage>> downloading = m_downloadingImages;
    std::weak_ptr<Session> weakSession = m_session;
    for (const auto& image : downloading) {
        if (image->batch != batch)
            continue;
        if (!image->downloader) {
            webImageDownloadEnded(image, false);
            continue;
        }
        std::weak_ptr<PendingImage> weakImage = image;
        image->downloadObservation = image->downloader->updateNotifier().addObservationBlock(
            [weakSession, weakImage](const void* sender, const QSet<QString>&) {
                const auto session = weakSession.lock();
                const auto pending = weakImage.lock();
                if (!session || session->ended || !session->owner || !pending)
                    return;
                const int status = static_cast<const ZERI_WebDownloader*>(sender)->downloadStatus();
                if (status == ZERI_WebDownloader::OnDisk || status == ZERI_WebDownloader::Failed)
                    session->owner->webImageDownloadEnded(pending, status == ZERI_WebDownloader::OnDisk);
            },
            QStringLiteral("downloadStatus"));
        image->downloader->downloadAndCache();
    }
}

void QVRGalleryEditorViewController::webImageDownloadEnded(const std::shared_ptr<PendingImage>& image, bool onDisk)
{
    const auto found = std::find(m_downloadingImages.begin(), m_downloadingImages.end(), image);
    if (found == m_downloadingImages.end())
        return;
    m_downloadingImages.erase(found);
    image->downloadObservation.reset();
    if (!onDisk) {
        imagePrepared(image, {}, QStringLiteral("the picture could not be fetched"));
        return;
    }
    const int row = m_arrayController->rowOfFullsizedAsset(image->fullsized.get());
    if (row >= 0)
        m_arrayController->setSourcePathOfEntry(m_arrayController->objectAt(row), image->path);
    prepareImage(image);
}

void QVRGalleryEditorViewController::prepareImage(const std::shared_ptr<PendingImage>& image)
{
    const qint64 limit = Tessutils::userMaxUploadSize();
    std::weak_ptr<Session> weakSession = m_session;
    const QString path = image->path;
    preparationQueue().post([weakSession, image, path, limit] {
        QString failure;
        const QByteArray png = prepareSmallerPicture(path, limit, &failure);
        MainThread::run(
            [weakSession, image, png, failure] {
                const auto session = weakSession.lock();
                if (session && !session->ended && session->owner)
                    session->owner->imagePrepared(image, png, failure);
            },
            false);
    });
}

void QVRGalleryEditorViewController::imagePrepared(const std::shared_ptr<PendingImage>& image, const QByteArray& png,
                                                   const QString& failure)
{
    const bool stillShown = m_arrayController->rowOfFullsizedAsset(image->fullsized.get()) >= 0;
    const QString folder = (*m_workingMixedMediaObject)->assetStoragePath();
    if (!failure.isEmpty() || folder.isEmpty()) {
        if (failure.isEmpty())
            qCWarning(lcGallery).noquote() << "cannot add" << image->path << "- the document has no asset folder";
        image->failed = stillShown;
        image->failure = failure.isEmpty() ? QStringLiteral("the document has no folder for its pictures") : failure;
        imageFinished(image);
        changeBusyCount(-1);
        return;
    }
    if (!stillShown) {
        // Deleted from the grid while it was being read: nothing to store.
        imageFinished(image);
        changeBusyCount(-1);
        return;
    }
    std::weak_ptr<Session> weakSession = m_session;
    auto store = [&](const std::shared_ptr<ZERI_ContentAsset>& asset, const std::shared_ptr<QVRDataItem>& item) {
        item->setType(QVRDataItem::Image);
        auto operation =
            ContentAssetStorage::storeDataItem(asset, item, folder, [weakSession, image, asset](const Error& error) {
                const auto session = weakSession.lock();
                if (!session || session->ended || !session->owner)
                    return;
                session->owner->storeFinished(image, asset, error.isNull() ? QString() : error.message);
            });
        image->operations.push_back(operation);
        m_session->operations.push_back(operation);
    };
    image->storesLeft = 3;
    auto fullsized = std::make_shared<QVRDataFromURLDataItem>();
    fullsized->setContentUrl(QUrl::fromLocalFile(image->path));
    auto lowQuality = std::make_shared<QVRCustomDataDataItem>();
    lowQuality->setCustomMainData(png);
    auto thumbnail = std::make_shared<QVRCustomDataDataItem>();
    thumbnail->setCustomMainData(png);
    store(image->fullsized, fullsized);
    store(image->lowQuality, lowQuality);
    store(image->thumbnail, thumbnail);
    changeBusyCount(3 - 1);
}

void QVRGalleryEditorViewController::storeFinished(const std::shared_ptr<PendingImage>& image,
                                                   const std::shared_ptr<ZERI_ContentAsset>& asset,
                                                   const QString& failure)
{
    --image->storesLeft;
    const QString path = asset->localFilePath();
    if (failure.isEmpty() && !path.isEmpty()) {
        AssetFileReferences::retainFile(path);
        m_session->storedFiles.append(path);
    } else if (!image->failed) {
        qCWarning(lcGallery).noquote() << "cannot store" << image->path << "-" << failure;
        image->failed = true;
        image->failure = QStringLiteral("it could not be copied into the document");
        // The image is lost anyway: its other stores need not finish.
        for (const auto& operation : image->operations)
            operation->cancel();
    }
    if (image->storesLeft == 0) {
        if (m_arrayController->rowOfFullsizedAsset(image->fullsized.get()) < 0) {
            // Deleted from the grid meanwhile: its files are of no use.
            image->failed = false;
            discardStoredFilesOf(image);
        }
        imageFinished(image);
    }
    changeBusyCount(-1);
}

void QVRGalleryEditorViewController::imageFinished(const std::shared_ptr<PendingImage>& image)
{
    if (image->failed) {
        removeImageOf(image);
        discardStoredFilesOf(image);
        // Each picture with the reason it could not be added: "photo.jpg: the JPEG data is cut short".
        image->batch->failedNames.append(
            image->failure.isEmpty() ? image->name : image->name + QStringLiteral(": ") + image->failure);
    }
    if (--image->batch->imagesLeft > 0 || image->batch->failedNames.isEmpty())
        return;
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = UFM::ERROR_TEXT();
    alert.informativeText = image->batch->failedNames.join(QLatin1Char('\n'));
    AlertPresenter::shared().show(alert, m_view, [](const AlertResponse&) {});
}

void QVRGalleryEditorViewController::removeImageOf(const std::shared_ptr<PendingImage>& image)
{
    const int row = m_arrayController->rowOfFullsizedAsset(image->fullsized.get());
    if (row < 0)
        return;
    managerOf(m_workingMixedMediaObject)->removeAssetAtIndex(row);
    m_arrayController->removeObjectsAtRows({row});
    emit stateChanged();
}

void QVRGalleryEditorViewController::discardStoredFilesOf(const std::shared_ptr<PendingImage>& image)
{
    for (const auto& asset : {image->fullsized, image->lowQuality, image->thumbnail}) {
        const QString path = asset->localFilePath();
        if (!path.isEmpty())
            m_session->discardFile(path);
    }
}

void QVRGalleryEditorViewController::galleryEditorWantsToDeleteObjectsAtIndexes(const QList<int>& indexes)
{
    if (m_session->ended)
        return;
    QList<int> rows = indexes;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const auto manager = managerOf(m_workingMixedMediaObject);
    for (const int row : rows) {
        if (row >= 0 && row < m_arrayController->count())
            manager->removeAssetAtIndex(row);
    }
    m_arrayController->removeObjectsAtRows(rows);
    enableDoneButtonIfDoneProcessingDataItems();
    emit stateChanged();
}

bool QVRGalleryEditorViewController::applyEditedGallery(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery,
                                                        const std::shared_ptr<ZERI_MixedMediaObjectProxy>& workingCopy)
{
    if (!gallery || !workingCopy || gallery == workingCopy)
        return false;
    const auto screen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>((*gallery)->parent());
    const auto flow = screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
    if (!flow || screen->indexOfMixedMediaObject(gallery) < 0 || flow->indexOfFlowScreen(screen) < 0) {
        qCWarning(lcGallery) << "the edited gallery is no longer on a screen; nothing applied";
        return false;
    }
    const auto edited = (*workingCopy)->galleryAssetManager();
    const auto current = (*gallery)->existingGalleryAssetManager();
    const QJsonObject currentForm =
        current ? current->jsonDictionary() : std::make_shared<QVB_GalleryAssetManager>()->jsonDictionary();
    if (edited->jsonDictionary() == currentForm)
        return false;
    flow->beginUndoableChangesPagingToScreen(screen);
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_CHANGES_TO_GALLERY_TAG());
    (*gallery)->setGalleryAssetManager(edited);
    flow->endUndoableChanges();
    return true;
}
