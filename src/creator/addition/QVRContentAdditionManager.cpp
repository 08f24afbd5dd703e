#include "creator/addition/QVRContentAdditionManager.h"

#include "creator/window/CreatorContentAddition.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QMimeDatabase>
#include <QSet>
#include <QTextDocument>

#include "app/QVRAnalytics.h"
#include "app/QVRWindowManager.h"
#include "creator/CreatorLogging.h"
#include "creator/addition/NewObjectPlacement.h"
#include "creator/addition/QVRContentAdditionProgressView.h"
#include "elements/views/QVRCompressionSelectionViewController.h"
#include "foundation/FontSubstitution.h"
#include "foundation/Tessutils.h"
#include "platform/AlertPresenter.h"
#include "platform/Json.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "storage/AssetFileReferences.h"
#include "storage/MediaPreviewImages.h"
#include "storage/ContentAssetStorage.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/QVRCustomDataDataItem.h"
#include "storage/QVRDataFromURLDataItem.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_ContentURLDownloaderDataProcessor.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Audio.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kMaxListedRefusals = 10;

// The font a new text object starts with, as a font of pasted text that names the same document font.
QFont defaultPastedTextFont()
{
    const FontFace face = FontSubstitution::faceForPostScriptName(ZERI_MMObject_Text::defaultFontName());
    QFont font;
    font.setFamilies({face.documentFamily});
    font.setWeight(face.weight);
    font.setItalic(face.italic);
    font.setPointSizeF(ZERI_MMObject_Text::defaultFontSize());
    return font;
}

QHash<const ZERI_TessarineModel*, QVRContentAdditionManager*>& runningAdditions()
{
    static QHash<const ZERI_TessarineModel*, QVRContentAdditionManager*> additions;
    return additions;
}

QSet<const ZERI_TessarineModel*>& otherAdditions()
{
    static QSet<const ZERI_TessarineModel*> additions;
    return additions;
}

QVRContentAdditionManager::PresetChooser& presetChooser()
{
    static QVRContentAdditionManager::PresetChooser chooser;
    return chooser;
}

int& stripDelay()
{
    static int delay = 500;
    return delay;
}

Error additionError(int code)
{
    return Error{QString::fromLatin1(QVRContentAdditionManager::errorDomain), code, {}};
}

// The data-item type of a local file by its extension; `pasteboardOrder` tests PDF and movies before pictures,
// as for pasted and dropped URLs; files picked in a chooser test pictures first.
int dataItemTypeForPath(const QString& path, bool pasteboardOrder)
{
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (!mime.isValid() || mime.isDefault())
        return QVRDataItem::Unknown;
    const auto conforms = [&mime](const QString& prefix) {
        if (mime.name().startsWith(prefix))
            return true;
        const QStringList parents = mime.allAncestors();
        return std::any_of(parents.begin(), parents.end(), [&](const QString& p) { return p.startsWith(prefix); });
    };
    const bool pdf = mime.inherits(QStringLiteral("application/pdf"));
    const bool movie = conforms(QStringLiteral("video/"));
    const bool image = conforms(QStringLiteral("image/"));
    const bool audio = conforms(QStringLiteral("audio/"));
    if (pasteboardOrder) {
        if (pdf)
            return QVRDataItem::PDF;
        if (movie)
            return QVRDataItem::Video;
        if (image)
            return QVRDataItem::Image;
    } else {
        if (image)
            return QVRDataItem::Image;
        if (movie)
            return QVRDataItem::Video;
        if (pdf)
            return QVRDataItem::PDF;
    }
    return audio ? QVRDataItem::Audio : QVRDataItem::Unknown;
}

QString analyticsTypeName(int type)
{
    switch (type) {
    case QVRDataItem::Image:
        return QStringLiteral("Image");
    case QVRDataItem::Video:
        return QStringLiteral("Video");
    case QVRDataItem::PDF:
        return QStringLiteral("PDF");
    case QVRDataItem::Audio:
        return QStringLiteral("Audio");
    default:
        return QStringLiteral("Unknown");
    }
}

bool isWebURL(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool isInsideFolder(const QString& canonicalPath, const QString& canonicalFolder)
{
    return !canonicalFolder.isEmpty() && canonicalPath.startsWith(canonicalFolder + QLatin1Char('/'));
}

} // namespace

struct QVRContentAdditionManager::PastedFile {
    std::shared_ptr<ZERI_ContentAsset> asset;
    QString sourcePath; // canonical, inside the copies folder
    QString newPath;    // the imported file in the document's folder
    qint64 bytes = 0;
};

struct QVRContentAdditionManager::Pasted {
    std::shared_ptr<ZERI_MixedMediaObjectProxy> object;
    std::vector<PastedFile> files;
};

struct QVRContentAdditionManager::Contents {
    bool fromPasteboard = false;
    bool isDragOperation = false;
    // Own objects: the raw data (checked and read on the main thread).
    QByteArray ownObjects;
    bool hasOwnObjects = false;
    QList<QUrl> urls;
    QImage image;
    QByteArray encodedImage; // image bytes in a format QImageReader reads, when no decoded image came
    QString html;
    QString plainText;
    // The clipboard's own data (a paste), not a drop's.
    bool fromClipboard = false;
    // Filled on the main thread before the workers run: the files of the copied objects to check.
    std::vector<std::shared_ptr<Pasted>> pasted;
};

struct QVRContentAdditionManager::Prepared {
    bool pastedFilesValid = true;
    std::vector<PendingItem> items;
    QList<Refusal> refusals;
    std::vector<qint64> pastedFileBytes;
    QByteArray imageData;
    int imageType = QVRDataItem::Unknown;
};

QVRContentAdditionManager::QVRContentAdditionManager(QObject* parent)
    : QObject(parent)
{
    m_stripTimer.setSingleShot(true);
    connect(&m_stripTimer, &QTimer::timeout, this, [this] {
        if (m_adding && m_progressView)
            m_progressView->show();
    });
}

QVRContentAdditionManager::~QVRContentAdditionManager()
{
    if (m_adding) {
        // Going away with its owner, which is being taken apart: the addition is rolled back, but nobody is told
        // (the done block and the signal would reach a half-destroyed window or canvas).
        m_onDone = nullptr;
        blockSignals(true);
        m_cancelled = true;
        if (m_processing)
            MixedMediaObjectStorage::cancelSetupUsingDataItem(m_processing);
        if (m_importOperation)
            m_importOperation->cancel();
        finish(Cancelled);
    }
    if (qApp)
        qApp->removeEventFilter(this);
}

QStringList QVRContentAdditionManager::supportedPasteboardTypes()
{
    QStringList types{QStringLiteral("text/uri-list"), ZERI_MixedMediaObject::kPasteboardType,
                      QStringLiteral("application/x-qt-image")};
    for (const QByteArray& type : QImageReader::supportedMimeTypes()) {
        const QString name = QString::fromLatin1(type);
        if (!types.contains(name))
            types.append(name);
    }
    types.append(QStringLiteral("text/plain"));
    types.append(QStringLiteral("text/html"));
    return types;
}

bool QVRContentAdditionManager::canAddFromMimeData(const QMimeData* data)
{
    if (!data)
        return false;
    const QStringList formats = data->formats();
    const QStringList supported = supportedPasteboardTypes();
    return data->hasImage() ||
           std::any_of(formats.begin(), formats.end(), [&](const QString& f) { return supported.contains(f); });
}

bool QVRContentAdditionManager::isAddingToDocument(const ZERI_TessarineModel* document)
{
    return document && (runningAdditions().contains(document) || otherAdditions().contains(document));
}

bool QVRContentAdditionManager::beginOtherAddition(const ZERI_TessarineModel* document)
{
    if (!document || isAddingToDocument(document))
        return false;
    otherAdditions().insert(document);
    CreatorContentAddition::postBusyChanged(document);
    return true;
}

void QVRContentAdditionManager::endOtherAddition(const ZERI_TessarineModel* document)
{
    if (otherAdditions().remove(document))
        CreatorContentAddition::postBusyChanged(document);
}

void QVRContentAdditionManager::setPresetChooserForTesting(PresetChooser chooser)
{
    presetChooser() = std::move(chooser);
}

void QVRContentAdditionManager::setStripDelayForTesting(int milliseconds)
{
    stripDelay() = milliseconds < 0 ? 500 : milliseconds;
}

void QVRContentAdditionManager::addObjectsFromPasteboard(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                         ProgressBlock onProgress, DoneBlock onDone)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    addObjectsFromMimeData(clipboard ? clipboard->mimeData() : nullptr, screen, false, std::move(onProgress),
                           std::move(onDone));
}

std::shared_ptr<QVRContentAdditionManager::Contents> QVRContentAdditionManager::readMimeData(const QMimeData* data,
                                                                                             bool isDragOperation)
{
    auto contents = std::make_shared<Contents>();
    contents->fromPasteboard = true;
    contents->isDragOperation = isDragOperation;
    if (!data)
        return contents;
    const QClipboard* clipboard = QGuiApplication::clipboard();
    contents->fromClipboard = clipboard && clipboard->mimeData() == data;
    // One item, read the way it fits best: own objects, then files of this computer, then a picture (a picture
    // dragged from a web page also carries its address), then web addresses, then text. Nothing is read beyond
    // the item taken: a picture's bytes may be large.
    if (data->hasFormat(ZERI_MixedMediaObject::kPasteboardType)) {
        contents->hasOwnObjects = true;
        contents->ownObjects = data->data(ZERI_MixedMediaObject::kPasteboardType);
        return contents;
    }
    const QList<QUrl> urls = data->hasUrls() ? data->urls() : QList<QUrl>();
    const bool onlyLocalFiles =
        !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (onlyLocalFiles) {
        contents->urls = urls;
        return contents;
    }
    if (data->hasImage()) {
        contents->image = qvariant_cast<QImage>(data->imageData());
        return contents;
    }
    const QStringList formats = data->formats();
    for (const QByteArray& type : QImageReader::supportedMimeTypes()) {
        if (formats.contains(QString::fromLatin1(type))) {
            contents->encodedImage = data->data(QString::fromLatin1(type));
            if (!contents->encodedImage.isEmpty())
                return contents;
        }
    }
    if (!urls.isEmpty())
        contents->urls = urls;
    else if (data->hasHtml())
        contents->html = data->html();
    else if (data->hasText())
        contents->plainText = data->text();
    return contents;
}

void QVRContentAdditionManager::addObjectsFromMimeData(const QMimeData* data,
                                                       const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                       bool isDragOperation, ProgressBlock onProgress, DoneBlock onDone)
{
    start(readMimeData(data, isDragOperation), screen, std::move(onProgress), std::move(onDone));
}

void QVRContentAdditionManager::addObjectsFromFileURLs(const QList<QUrl>& urls,
                                                       const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                       ProgressBlock onProgress, DoneBlock onDone)
{
    auto contents = std::make_shared<Contents>();
    contents->urls = urls;
    start(std::move(contents), screen, std::move(onProgress), std::move(onDone));
}

void QVRContentAdditionManager::start(std::shared_ptr<Contents> contents,
                                      const std::shared_ptr<ZERI_FlowScreenModel>& screen, ProgressBlock onProgress,
                                      DoneBlock onDone)
{
    const auto document = screen ? screen->tessarineModel() : nullptr;
    const auto flow = screen ? screen->undoResponder() : nullptr;
    if (m_adding || isAddingToDocument(document.get())) {
        if (onDone)
            onDone({}, additionError(AlreadyAdding));
        return;
    }
    if (!screen || !flow || !document) {
        qCWarning(lcCreator) << "content can only be added to a screen of a document";
        if (onDone)
            onDone({}, additionError(NothingAdded));
        return;
    }
    m_adding = true;
    m_cancelled = false;
    m_invalidPaste = false;
    m_changeOpen = false;
    ++m_generation;
    m_screen = screen;
    m_flow = flow;
    m_document = document;
    m_onProgress = std::move(onProgress);
    m_onDone = std::move(onDone);
    m_addedObjs.clear();
    m_addedTexts.clear();
    m_pasted.clear();
    m_pastedObjs.clear();
    m_clipboardObjects = contents->fromClipboard ? contents->ownObjects : QByteArray();
    m_items.clear();
    m_refusals.clear();
    m_totalBytes = 0;
    m_doneBytes = 0;
    m_reportedFraction = 0.0;
    runningAdditions().insert(document.get(), this);
    CreatorContentAddition::postBusyChanged(document);
    startStrip();
    emit additionStarted();

    // Copied objects are read here; their files are checked on a worker before anything changes.
    const QString copiesFolder = QFileInfo(MixedMediaObjectStorage::tempDirectoryForCopies()).canonicalFilePath();
    QStringList pastedPaths;
    if (contents->hasOwnObjects) {
        Error error;
        const auto value = Json::read(contents->ownObjects, &error);
        bool valid = value && value->isArray() && !value->toArray().isEmpty();
        if (valid) {
            for (const QJsonValue& entry : value->toArray()) {
                if (!entry.isObject() || !ZERI_MixedMediaObject::initWithDict(entry.toObject(), &error)) {
                    valid = false;
                    break;
                }
            }
        }
        QMimeData data;
        if (valid) {
            data.setData(ZERI_MixedMediaObject::kPasteboardType, contents->ownObjects);
            for (const auto& object : ZERI_MixedMediaObject::readObjectsFromMimeData(&data)) {
                auto pasted = std::make_shared<Pasted>();
                pasted->object = object;
                const auto video = object->as<ZERI_MMObject_Video>();
                for (const auto& asset : (*object)->getAllContentAssets()) {
                    if (video && video->isYoutubeVideo() && asset == video->videoAsset())
                        continue;
                    const QUrl url = asset->externalURL();
                    if (url.isEmpty() || isWebURL(url))
                        continue;
                    if (!url.isLocalFile()) {
                        valid = false;
                        break;
                    }
                    PastedFile file;
                    file.asset = asset;
                    file.sourcePath = url.toLocalFile();
                    pastedPaths.append(file.sourcePath);
                    pasted->files.push_back(file);
                }
                contents->pasted.push_back(pasted);
            }
        }
        if (!valid) {
            qCWarning(lcCreator) << "the pasted objects cannot be used" << error.message;
            m_invalidPaste = true;
            finish(NothingAdded);
            return;
        }
    }

    const qint64 limit = Tessutils::userMaxUploadSize();
    const QString tooLarge = UFM::CONTENT_NOT_ADDED_TOO_LARGE().arg(QLocale().formattedDataSize(limit));
    const QString unreadable = UFM::CONTENT_NOT_ADDED_UNREADABLE();
    const QString unsupported = UFM::CONTENT_NOT_ADDED_UNSUPPORTED_KIND();
    const QString empty = UFM::CONTENT_NOT_ADDED_EMPTY();
    const QString notAFile = UFM::CONTENT_NOT_ADDED_NOT_A_FILE();
    const bool pasteboardOrder = contents->fromPasteboard;
    const QList<QUrl> urls = contents->urls;
    const QImage image = contents->image;
    const QByteArray encodedImage = contents->encodedImage;
    QPointer<QVRContentAdditionManager> self(this);
    const quint64 generation = m_generation;
    m_waiting = Waiting::Checks;
    WorkerThreads::shared().post([=] {
        Prepared result;
        // Files of copied objects: each must still be in this process's copies folder (links resolved).
        for (const QString& path : pastedPaths) {
            const QFileInfo info(path);
            const QString canonical = info.canonicalFilePath();
            if (canonical.isEmpty() || !info.isFile() || !isInsideFolder(canonical, copiesFolder)) {
                result.pastedFilesValid = false;
                break;
            }
            result.pastedFileBytes.push_back(info.size());
        }
        for (const QUrl& url : urls) {
            const QString name = url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.toDisplayString();
            if (!url.isLocalFile()) {
                // A web address is fetched when its turn comes; its extension says what it is.
                const int type = UntrustedAddresses::isWebAddress(url) ? dataItemTypeForPath(url.path(), true)
                                                                       : QVRDataItem::Unknown;
                if (type == QVRDataItem::Unknown) {
                    result.refusals.append({name, UntrustedAddresses::isWebAddress(url) ? unsupported : notAFile});
                    continue;
                }
                auto item = std::make_shared<QVRDataFromURLDataItem>();
                item->setType(type);
                item->setContentUrl(url);
                result.items.push_back({item, name, 0, {}});
                continue;
            }
            const QString path = url.toLocalFile();
            const QFileInfo info(path);
            if (!info.exists() || info.isDir()) {
                result.refusals.append({name, info.isDir() ? notAFile : unreadable});
                continue;
            }
            const int type = dataItemTypeForPath(path, pasteboardOrder);
            if (type == QVRDataItem::Unknown) {
                result.refusals.append({name, unsupported});
                continue;
            }
            if (!info.isReadable()) {
                result.refusals.append({name, unreadable});
                continue;
            }
            if (info.size() == 0) {
                result.refusals.append({name, empty});
                continue;
            }
            if (limit > 0 && info.size() > limit) {
                result.refusals.append({name, tooLarge});
                continue;
            }
            // A movie with no picture is refused before a re-encoding size is asked for it.
            if (Error problem; type == QVRDataItem::Video && !MediaPreviewImages::isVideoWithPicture(path, &problem)) {
                result.refusals.append({name, ContentAssetStorage::refusalReason(problem)});
                continue;
            }
            auto item = std::make_shared<QVRDataFromURLDataItem>();
            item->setType(type);
            item->setContentUrl(url);
            result.items.push_back({item, name, info.size(), {}});
        }
        // Picture data: PNG when it has transparency, else JPEG.
        QImage picture = image;
        if (picture.isNull() && !encodedImage.isEmpty())
            picture.loadFromData(encodedImage);
        if (!picture.isNull()) {
            bool transparent = false;
            if (picture.hasAlphaChannel()) {
                const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
                for (int y = 0; y < argb.height() && !transparent; ++y) {
                    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
                    for (int x = 0; x < argb.width(); ++x) {
                        if (qAlpha(line[x]) != 255) {
                            transparent = true;
                            break;
                        }
                    }
                }
            }
            QBuffer buffer(&result.imageData);
            buffer.open(QIODevice::WriteOnly);
            if (transparent)
                picture.save(&buffer, "PNG");
            else
                picture.convertToFormat(QImage::Format_RGB32).save(&buffer, "JPEG", 70);
            result.imageType = QVRDataItem::Image;
        }
        MainThread::run(
            [self, generation, contents, result] {
                if (self && self->m_adding && self->m_generation == generation)
                    self->prepared(contents, result);
            },
            false);
    });
}

void QVRContentAdditionManager::prepared(const std::shared_ptr<Contents>& contents, const Prepared& prepared)
{
    m_waiting = Waiting::Nothing;
    if (!prepared.pastedFilesValid) {
        qCWarning(lcCreator) << "the pasted objects name files outside the clipboard's copies; refused";
        m_invalidPaste = true;
        finish(NothingAdded);
        return;
    }
    m_refusals = prepared.refusals;
    std::size_t fileIndex = 0;
    for (const auto& pasted : contents->pasted) {
        for (auto& file : pasted->files) {
            file.bytes = fileIndex < prepared.pastedFileBytes.size() ? prepared.pastedFileBytes[fileIndex] : 0;
            ++fileIndex;
            m_totalBytes += file.bytes;
        }
        m_pasted.push_back(pasted);
    }
    for (const auto& item : prepared.items) {
        m_items.push_back(item);
        m_totalBytes += item.bytes;
    }
    if (!prepared.imageData.isEmpty()) {
        auto item = std::make_shared<QVRCustomDataDataItem>();
        item->setType(prepared.imageType);
        item->setCustomMainData(prepared.imageData);
        m_items.push_back({item, QString(), prepared.imageData.size(), {}});
        m_totalBytes += prepared.imageData.size();
    }

    // The change opens only now: a paste refused above leaves the undo stack as it was.
    m_flow->beginUndoableChangesPagingToScreen(m_screen);
    m_changeOpen = true;
    if (const auto action = m_flow->currentUndoableAction())
        action->setActionDescription(UFM::UNDO_MANAGER_ADD_MEDIA_TAG());

    if (!contents->html.isEmpty())
        addPastedAttributedStrings({contents->html}, true);
    else if (!contents->plainText.trimmed().isEmpty())
        addPastedAttributedStrings({contents->plainText}, false);

    if (contents->fromPasteboard && m_items.size() == 1) {
        QVRAnalytics::logEvent(contents->isDragOperation ? QStringLiteral("Dragged in Element")
                                                         : QStringLiteral("Pasted Element"),
                               {{QStringLiteral("Type"), analyticsTypeName(m_items.front().item->type())}}, m_document);
    }
    addNextPastedObject();
}

void QVRContentAdditionManager::addPastedAttributedStrings(const std::vector<QString>& texts, bool isHtml)
{
    const QSizeF screenSize = m_screen->screenSize();
    for (const QString& text : texts) {
        QTextDocument document;
        // What the pasted text does not say takes a new text object's font and size, not the toolkit's.
        document.setDefaultFont(defaultPastedTextFont());
        if (isHtml)
            document.setHtml(text);
        else
            document.setPlainText(text);
        auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
        auto textObject = object ? object->as<ZERI_MMObject_Text>() : nullptr;
        if (!textObject)
            continue;
        textObject->setAttributedString(ZERI_MMObject_Text::attributedStringWithUnsupportedAttributesRemoved(document));
        // Wider until the text fits the screen's height or the width runs out. The frame holds the whole text
        // inside the text view's container inset.
        const auto frameForWidth = [&textObject](double width) {
            const QRectF used = textObject->layoutManagerUsedRectForWidth(float(width));
            const double height =
                used.isNull() ? 0.0 : std::ceil(used.height()) + 2 * ZERI_MMObject_Text::textContainerInsetHeight();
            return QRectF(textObject->frame().topLeft(), QSizeF(width, height));
        };
        QRectF frame = frameForWidth(300);
        for (int guard = 0; guard < 1000; ++guard) {
            textObject->setFrame(frame);
            const QRectF next = frameForWidth(frame.width() + 50);
            if (!(next.height() > screenSize.height() && next.width() <= screenSize.width()))
                break;
            frame = next;
        }
        QRectF placed = textObject->frame();
        if (m_proposedItemCenter)
            placed.moveCenter(*m_proposedItemCenter);
        else
            placed.moveTopLeft(QPointF(10, 10));
        textObject->setFrame(NewObjectPlacement::placedFrame(placed, *m_screen, !m_proposedItemCenter));
        m_screen->addMixedMediaObject(object);
        m_addedTexts.push_back(object);
    }
    if (!texts.empty())
        m_screen->updateNotifier().sendUpdateNotificationsIfNeeded();
}

void QVRContentAdditionManager::addNextPastedObject()
{
    if (m_cancelled) {
        finish(Cancelled);
        return;
    }
    if (m_pasted.empty()) {
        startAddingDataItems();
        return;
    }
    const auto pasted = m_pasted.front();
    m_pasted.pop_front();
    const QString folder = m_screen->assetStoragePath();
    auto operation = std::make_shared<ContentAssetStorage::Operation>();
    m_importOperation = operation;
    // The sources are held while they are read, so that clearing the copies folder meanwhile waits for us.
    QStringList sources;
    std::vector<std::pair<QString, QString>> jobs; // source, extension
    for (const auto& file : pasted->files) {
        AssetFileReferences::retainFile(file.sourcePath);
        sources.append(file.sourcePath);
        jobs.emplace_back(file.sourcePath, QFileInfo(file.sourcePath).suffix());
    }
    const qint64 bytesBefore = m_doneBytes;
    std::vector<qint64> sizes;
    for (const auto& file : pasted->files)
        sizes.push_back(file.bytes);
    QPointer<QVRContentAdditionManager> self(this);
    const quint64 generation = m_generation;
    m_waiting = Waiting::PastedImport;
    WorkerThreads::shared().post([=] {
        QStringList imported;
        Error error;
        qint64 offset = bytesBefore;
        for (std::size_t i = 0; i < jobs.size() && error.isNull(); ++i) {
            const qint64 size = sizes[i];
            const qint64 base = offset;
            const auto progress = [self, generation, base, size](double fraction) {
                if (self && self->m_adding && self->m_generation == generation)
                    self->reportProgress(double(base) + fraction * double(size));
            };
            const QString path = ContentAssetStorage::importIntoFolder(jobs[i].first, {}, folder, jobs[i].second, 0,
                                                                       operation.get(), progress, &error);
            if (!path.isEmpty())
                imported.append(path);
            offset += size;
        }
        MainThread::run(
            [self, generation, pasted, sources, imported, error] {
                AssetFileReferences::releaseFiles(sources);
                const bool current = self && self->m_adding && self->m_generation == generation;
                if (!current || !error.isNull() || self->m_cancelled) {
                    // Nothing of a refused or abandoned object stays behind.
                    for (const QString& path : imported) {
                        AssetFileReferences::releaseFile(path);
                        QFile::remove(path);
                    }
                }
                if (!current)
                    return;
                self->m_waiting = Waiting::Nothing;
                self->m_importOperation = nullptr;
                qint64 bytes = 0;
                for (const auto& file : pasted->files)
                    bytes += file.bytes;
                self->m_doneBytes += bytes;
                if (self->m_cancelled) {
                    self->finish(Cancelled);
                    return;
                }
                if (!error.isNull()) {
                    qCWarning(lcCreator) << "a pasted object's file could not be imported:" << error.message;
                    const QString name =
                        pasted->files.empty() ? QString() : QFileInfo(pasted->files.front().sourcePath).fileName();
                    self->m_refusals.append({name, ContentAssetStorage::refusalReason(error)});
                } else {
                    for (std::size_t i = 0; i < pasted->files.size() && i < std::size_t(imported.size()); ++i) {
                        pasted->files[i].newPath = imported[int(i)];
                        pasted->files[i].asset->setExternalURL(QUrl::fromLocalFile(imported[int(i)]));
                    }
                    self->m_screen->addMixedMediaObject(pasted->object);
                    self->offsetPastedObjectIfNeeded(pasted->object);
                    // The asset names each new file now; the import's own hold can go.
                    for (const QString& path : imported)
                        AssetFileReferences::releaseFile(path);
                    self->m_addedObjs.push_back(pasted->object);
                    self->m_pastedObjs.push_back(pasted->object);
                    self->m_screen->updateNotifier().sendUpdateNotificationsIfNeeded();
                }
                self->reportProgress(double(self->m_doneBytes));
                self->addNextPastedObject();
            },
            false);
    });
}

void QVRContentAdditionManager::offsetPastedObjectIfNeeded(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const QString original = (*object)->idOfOriginalMMObj();
    if (original.isEmpty())
        return;
    bool fromThisScreen = false;
    for (const auto& other : m_screen->mixedMediaObjects()) {
        if (other != object && (*other)->internalID() == original)
            fromThisScreen = true;
    }
    if (!fromThisScreen)
        return;
    const auto first = m_document->firstFlowmodel();
    const QSizeF view = first ? first->viewSize() : m_screen->screenSize();
    QRectF frame = (*object)->frame();
    const double x = frame.x() + 20;
    const double y = frame.y() + 20;
    if (x <= view.width() - 20)
        frame.moveLeft(x);
    if (y <= view.height() - 20)
        frame.moveTop(y);
    (*object)->setFrame(frame);
}

void QVRContentAdditionManager::startAddingDataItems()
{
    const bool hasVideo = std::any_of(m_items.begin(), m_items.end(),
                                      [](const PendingItem& item) { return item.item->type() == QVRDataItem::Video; });
    if (!hasVideo) {
        m_mmobjNextX = m_mmobjNextY = 10.0;
        addNextObject();
        return;
    }
    QPointer<QVRContentAdditionManager> self(this);
    const quint64 generation = m_generation;
    m_waiting = Waiting::Chooser;
    PresetBlock answer = [self, generation](const std::shared_ptr<VideoAssetCompressorPreset>& preset) {
        if (!self || !self->m_adding || self->m_generation != generation)
            return;
        self->m_waiting = Waiting::Nothing;
        self->m_videoCompressionPreset = preset;
        self->m_mmobjNextX = self->m_mmobjNextY = 10.0;
        self->addNextObject();
    };
    if (presetChooser())
        presetChooser()(chooserWindow(), std::move(answer));
    else
        QVRCompressionSelectionViewController::choosePreset(chooserWindow(), std::move(answer));
}

void QVRContentAdditionManager::addNextObject()
{
    if (m_cancelled) {
        finish(Cancelled);
        return;
    }
    if (m_items.empty()) {
        // Nothing at all came in: the addition failed.
        if (m_addedObjs.empty() && m_addedTexts.empty())
            finish(NothingAdded);
        else
            copyPastedObjectsToClipboardThenFinish();
        return;
    }
    const PendingItem pending = m_items.front();
    m_items.pop_front();
    const auto urlItem = std::dynamic_pointer_cast<QVRDataFromURLDataItem>(pending.item);
    if (urlItem && !urlItem->contentUrl().isLocalFile()) {
        fetchThenAdd(pending);
        return;
    }
    addObject(pending);
}

void QVRContentAdditionManager::fetchThenAdd(const PendingItem& pending)
{
    const auto item = std::static_pointer_cast<QVRDataFromURLDataItem>(pending.item);
    // The shared downloader fetches it into the temporary folder (within its size and idle bounds); the item then
    // names that file and is added like a dropped file.
    auto download = std::make_shared<ZERI_ContentURLDownloaderDataProcessor>();
    m_download = download;
    m_waiting = Waiting::Download;
    QPointer<QVRContentAdditionManager> self(this);
    const quint64 generation = m_generation;
    const QUrl address = item->contentUrl();
    download->processDataItem(item, [self, generation, pending, item, address](const Error& error) {
        if (!self || !self->m_adding || self->m_generation != generation)
            return;
        self->m_waiting = Waiting::Nothing;
        self->m_download = nullptr;
        if (self->m_cancelled) {
            self->finish(Cancelled);
            return;
        }
        if (!error.isNull() || !item->contentUrl().isLocalFile()) {
            qCWarning(lcCreator) << "content could not be fetched:" << pending.name << error.message;
            self->m_refusals.append({pending.name, ContentAssetStorage::refusalReason(error)});
            self->addNextObject();
            return;
        }
        PendingItem fetched = pending;
        fetched.webAddress = address;
        fetched.bytes = QFileInfo(item->contentFilePath()).size();
        self->m_totalBytes += fetched.bytes;
        self->addObject(fetched);
    });
}

void QVRContentAdditionManager::addObject(const PendingItem& pending)
{
    int type = ZERI_MixedMediaObject::Image;
    QSizeF size(400, 300);
    switch (pending.item->type()) {
    case QVRDataItem::Video:
        type = ZERI_MixedMediaObject::Video;
        if (auto processor = std::dynamic_pointer_cast<QVRDataProcessorDataItem>(pending.item))
            processor->setVideoCompressionPreset(m_videoCompressionPreset);
        break;
    case QVRDataItem::PDF:
        type = ZERI_MixedMediaObject::PDF;
        break;
    case QVRDataItem::Audio:
        type = ZERI_MixedMediaObject::Audio;
        size = ZERI_MMObject_Audio::defaultSize();
        break;
    default:
        break;
    }
    auto object = ZERI_MixedMediaObject::objectWithType(type);
    (*object)->setFrame(QRectF(QPointF(m_mmobjNextX, m_mmobjNextY), size));
    m_screen->addMixedMediaObject(object);
    m_processing = object;
    m_waiting = Waiting::SetUp;
    const qint64 base = m_doneBytes;
    const qint64 bytes = pending.bytes;
    QPointer<QVRContentAdditionManager> self(this);
    const quint64 generation = m_generation;
    MixedMediaObjectStorage::setupUsingDataItem(
        object, pending.item,
        [self, generation, object, pending](const Error& error) {
            if (self && self->m_adding && self->m_generation == generation)
                self->objectSetUpFinished(object, pending, error);
        },
        [self, generation, base, bytes](double fraction) {
            if (self && self->m_adding && self->m_generation == generation)
                self->reportProgress(double(base) + std::clamp(fraction, 0.0, 1.0) * double(bytes));
        });
}

void QVRContentAdditionManager::objectSetUpFinished(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                    const PendingItem& item, const Error& error)
{
    m_processing = nullptr;
    m_waiting = Waiting::Nothing;
    if (!error.isNull()) {
        MixedMediaObjectStorage::removeAllAssets(object);
        m_screen->removeMixedMediaObject(object);
        m_doneBytes += item.bytes;
        if (m_cancelled) {
            finish(Cancelled);
            return;
        }
        qCWarning(lcCreator) << "content could not be added:" << item.name << error.message;
        m_refusals.append({item.name, ContentAssetStorage::refusalReason(error)});
        reportProgress(double(m_doneBytes));
        addNextObject();
        return;
    }
    placeObject(object, item);
}

void QVRContentAdditionManager::placeObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                            const PendingItem& item)
{
    ZERI_MixedMediaObject& model = *object->object();
    if (auto urlItem = std::dynamic_pointer_cast<QVRDataProcessorDataItem>(item.item)) {
        // A fetched file keeps the name it had on the web.
        const QString name =
            QFileInfo((item.webAddress.isEmpty() ? urlItem->contentUrl() : item.webAddress).path()).fileName();
        std::shared_ptr<ZERI_ContentAsset> media;
        if (object->type() == ZERI_MixedMediaObject::Video)
            media = model.videoAsset();
        else if (object->type() == ZERI_MixedMediaObject::PDF)
            media = model.pdfAsset();
        else if (object->type() == ZERI_MixedMediaObject::Audio)
            media = model.audioAsset();
        if (media)
            media->setSourceFileName(name);
    }
    QSizeF size = MixedMediaObjectStorage::originalImageSize(model);
    if (!(size.width() > 0) || !(size.height() > 0))
        size = object->type() == ZERI_MixedMediaObject::Audio ? QSizeF(300, 300) : QSizeF(100, 100);
    const double w = size.width();
    const double h = size.height();
    if (!m_firstItemPlaced && m_proposedItemCenter) {
        m_mmobjNextX = m_proposedItemCenter->x() - w / 2;
        m_mmobjNextY = m_proposedItemCenter->y() - h / 2;
    }
    m_firstItemPlaced = true;
    const auto first = m_document->firstFlowmodel();
    const QSizeF view = first ? first->viewSize() : m_screen->screenSize();
    const double vw = view.width();
    const double vh = view.height();
    QRectF r(m_mmobjNextX, m_mmobjNextY, w, h);
    double zoom = 1.0;
    if (vw > 0 && r.width() > vw) {
        zoom = vw / w;
        const QPointF c = r.center();
        r = QRectF(c.x() - vw / 2, c.y() - h * zoom / 2, vw, h * zoom);
    }
    if (vh > 0 && r.height() > vh) {
        const QPointF c = r.center();
        const double width = r.width() * vh / r.height();
        r = QRectF(c.x() - width / 2, c.y() - vh / 2, width, vh);
        zoom = vh / h;
    }
    if (!m_proposedItemCenter)
        r.moveTopLeft(QPointF(m_mmobjNextX, m_mmobjNextY));
    // Fitted to the screen and put back at the cascade's spot, it would run past the screen's far edge: it stays
    // inside, and, where no spot was asked for, clear of what it would hide.
    r = NewObjectPlacement::placedFrame(r, *m_screen, !m_proposedItemCenter, {object});
    model.setFrame(r);
    object->updateNotifier().sendUpdateNotificationsIfNeeded();
    model.setZoomScale(zoom);
    // A stored video waits in the document's queue for the size chosen for this addition.
    if (object->type() == ZERI_MixedMediaObject::Video && m_videoCompressionPreset) {
        if (const auto video = model.videoAsset(); video && video->videoCompressionManager())
            video->videoCompressionManager()->enqueueCompressionForContentAsset(video, m_videoCompressionPreset);
    }
    // The pictures are set before the next item starts.
    QPointer<QVRContentAdditionManager> self(this);
    const quint64 generation = m_generation;
    m_waiting = Waiting::Pictures;
    const bool started = MixedMediaObjectStorage::makeAndSetCroppedImageAssetFromOriginalImageAsset(
        object, [self, generation, object, item](const Error&) {
            if (self && self->m_adding && self->m_generation == generation) {
                self->m_waiting = Waiting::Nothing;
                self->objectPlaced(object, item);
            }
        });
    if (!started) {
        m_waiting = Waiting::Nothing;
        objectPlaced(object, item);
    }
}

void QVRContentAdditionManager::objectPlaced(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                             const PendingItem& item)
{
    m_mmobjNextX += 20;
    m_mmobjNextY += 20;
    m_addedObjs.push_back(object);
    m_doneBytes += item.bytes;
    reportProgress(double(m_doneBytes));
    m_screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    addNextObject();
}

void QVRContentAdditionManager::reportProgress(double bytesDone)
{
    const double fraction = m_totalBytes > 0 ? std::clamp(bytesDone / double(m_totalBytes), 0.0, 1.0) : 0.0;
    if (fraction <= m_reportedFraction)
        return;
    m_reportedFraction = fraction;
    if (m_progressView)
        m_progressView->setProgress(fraction);
    if (m_onProgress) {
        const auto block = m_onProgress;
        block(fraction);
    }
}

void QVRContentAdditionManager::cancel()
{
    if (!m_adding || m_cancelled)
        return;
    m_cancelled = true;
    if (m_importOperation)
        m_importOperation->cancel();
    if (m_download) {
        m_download->cancelAll();
        m_download = nullptr;
        finish(Cancelled);
        return;
    }
    if (m_processing) {
        // The set-up leaves no file behind when cancelled; its late answer is dropped.
        MixedMediaObjectStorage::cancelSetupUsingDataItem(m_processing);
        MixedMediaObjectStorage::removeAllAssets(m_processing);
        m_screen->removeMixedMediaObject(m_processing);
        m_processing = nullptr;
        finish(Cancelled);
        return;
    }
    // A pasted object's import and a picture end first (nothing of theirs stays); checks and the chooser are
    // simply left behind.
    if (m_waiting == Waiting::Checks || m_waiting == Waiting::Chooser || m_waiting == Waiting::Nothing)
        finish(Cancelled);
}

void QVRContentAdditionManager::finish(int errorCode)
{
    if (!m_adding)
        return;
    ++m_generation;
    stopStrip();
    const Error error = errorCode ? additionError(errorCode) : Error();
    Objects added = m_addedObjs;
    const auto screen = m_screen;
    const auto flow = m_flow;
    const auto document = m_document;
    if (errorCode) {
        // Rolled back first: this addition's new files go, pictures and re-encodings included.
        for (const auto& object : m_addedObjs)
            MixedMediaObjectStorage::removeAllAssets(object);
        if (m_changeOpen && flow)
            flow->cancelUndoableChanges();
        added.clear();
    } else if (m_changeOpen && flow) {
        flow->endUndoableChanges();
    }
    if (screen)
        screen->updateNotifier().sendUpdateNotificationsIfNeeded();
    if (!errorCode && document) {
        Error saveError;
        if (!document->saveToFile(&saveError) && !saveError.isNull())
            qCWarning(lcCreator) << "the document could not be saved after adding content:" << saveError.message;
    }
    if (m_download) {
        m_download->cancelAll();
        m_download = nullptr;
    }
    m_pastedObjs.clear();
    m_clipboardObjects.clear();
    const bool invalidPaste = m_invalidPaste;
    const bool showAlert = errorCode == NothingAdded || (!errorCode && !m_refusals.isEmpty());
    const DoneBlock done = std::move(m_onDone);
    runningAdditions().remove(document.get());
    CreatorContentAddition::postBusyChanged(document);
    m_adding = false;
    m_cancelled = false;
    m_changeOpen = false;
    m_waiting = Waiting::Nothing;
    m_processing = nullptr;
    m_importOperation = nullptr;
    m_onDone = nullptr;
    m_onProgress = nullptr;
    m_screen = nullptr;
    m_flow = nullptr;
    m_document = nullptr;
    m_videoCompressionPreset = nullptr;
    m_addedObjs.clear();
    m_addedTexts.clear();
    m_pasted.clear();
    m_items.clear();
    if (showAlert)
        showOutcomeAlert(errorCode, invalidPaste);
    m_refusals.clear();
    emit additionEnded();
    if (done)
        done(added, error);
}

void QVRContentAdditionManager::copyPastedObjectsToClipboardThenFinish()
{
    if (m_pastedObjs.empty() || m_clipboardObjects.isEmpty()) {
        finish(0);
        return;
    }
    // The clipboard gets copies of the objects just pasted, so the next paste lands beside these, not on them.
    // The addition lasts until they are written: a paste meanwhile would still read the old ones.
    const Objects objects = std::exchange(m_pastedObjs, {});
    const QByteArray pastedData = m_clipboardObjects;
    QPointer<QVRContentAdditionManager> self(this);
    const quint64 generation = m_generation;
    m_waiting = Waiting::Copies;
    MixedMediaObjectStorage::getCopiesForTempDirectory(objects, [self, generation, pastedData](const Objects& copies) {
        if (!self || !self->m_adding || self->m_generation != generation)
            return;
        self->m_waiting = Waiting::Nothing;
        if (self->m_cancelled) {
            self->finish(Cancelled);
            return;
        }
        const QClipboard* clipboard = QGuiApplication::clipboard();
        const QMimeData* now = clipboard ? clipboard->mimeData() : nullptr;
        // Something copied meanwhile keeps the clipboard.
        if (now && now->data(ZERI_MixedMediaObject::kPasteboardType) == pastedData)
            ZERI_MixedMediaObject::pasteboardCopyObjects(copies);
        self->finish(0);
    });
}

void QVRContentAdditionManager::showOutcomeAlert(int errorCode, bool invalidPaste)
{
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    if (m_refusals.isEmpty() || invalidPaste) {
        request.messageText = UFM::ERROR_PASTING_TEXT();
        request.informativeText = UFM::INVALID_PASTED_DATA_TEXT();
    } else {
        request.messageText = UFM::CONTENT_NOT_ADDED_TEXT();
        QStringList lines;
        for (const Refusal& refusal : m_refusals) {
            if (lines.size() == kMaxListedRefusals)
                break;
            lines.append(refusal.name.isEmpty() ? refusal.reason
                                                : refusal.name + QStringLiteral(": ") + refusal.reason);
        }
        request.informativeText = lines.join(QLatin1Char('\n'));
    }
    Q_UNUSED(errorCode)
    AlertPresenter::shared().show(request, chooserWindow(), {});
}

QWidget* QVRContentAdditionManager::chooserWindow() const
{
    if (m_hostView)
        return m_hostView->window();
    if (m_document) {
        if (QWidget* window = QVRWindowManager::sharedInstance().creatorWindowForModel(m_document))
            return window;
    }
    return QApplication::activeWindow();
}

void QVRContentAdditionManager::startStrip()
{
    if (m_hostView) {
        if (!m_progressView) {
            m_progressView = new QVRContentAdditionProgressView(m_hostView);
            connect(m_progressView, &QVRContentAdditionProgressView::cancelRequested, this,
                    &QVRContentAdditionManager::cancel);
        }
        m_progressView->hide();
        m_stripTimer.start(stripDelay());
    }
    if (qApp)
        qApp->installEventFilter(this);
}

void QVRContentAdditionManager::stopStrip()
{
    m_stripTimer.stop();
    if (m_progressView) {
        m_progressView->hide();
        m_progressView->deleteLater();
        m_progressView = nullptr;
    }
    if (qApp)
        qApp->removeEventFilter(this);
}

bool QVRContentAdditionManager::eventFilter(QObject* watched, QEvent* event)
{
    // Escape in the window being added to cancels the addition, whoever has the focus there.
    if (m_adding && m_hostView && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() == Qt::Key_Escape && widget && widget->window() == m_hostView->window()) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                cancel();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
