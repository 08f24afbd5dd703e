#include "tessarine_data_model/ZERI_FlowScreenModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QUuid>

#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/ScreenPreviewProvider.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenBackgroundModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString ZERI_FlowScreenModel::kPreviewScreenshotGetNotification =
    QStringLiteral("ZERI_FlowScreenModelPreviewScreenshotGetNotification");

namespace {
const QString kObjectsKey = QStringLiteral("mixedMediaObjects");
const QString kBackgroundKey = QStringLiteral("background");
const QString kBackgroundColorKey = QStringLiteral("backgroundColor");
const QString kPresenterNotesKey = QStringLiteral("presenterNotes");
const QString kSlideDurationKey = QStringLiteral("autoAdvanceSlideDuration");
const QString kTransitionTypeKey = QStringLiteral("autoAdvanceTransitionType");
const QString kPreviewKey = QStringLiteral("previewScreenShot");
const QString kPreviewTextlessKey = QStringLiteral("previewScreenShot_textless");
const QString kPreviewInvalidatedKey = QStringLiteral("previewScreenShotInvalidated");
const QString kPreviewInvalidatedProperty = QStringLiteral("previewInvalidated");
const QString kGettingPreviewKey = QStringLiteral("gettingScreenPreview");
const QSizeF kDefaultScreenSize(1024, 748);
} // namespace

ZERI_FlowScreenModel::ZERI_FlowScreenModel()
    : m_background(std::make_shared<ZERI_FlowScreenBackgroundModel>())
{
}

ZERI_FlowScreenModel::~ZERI_FlowScreenModel()
{
    if (m_previewProvider)
        m_previewProvider->cancelCurrentDraw();
}

std::shared_ptr<ZERI_FlowScreenModel> ZERI_FlowScreenModel::create()
{
    auto screen = std::make_shared<ZERI_FlowScreenModel>();
    screen->adopt(screen->m_background);
    screen->setInternalID(newUniqueID());
    screen->stampNewTimestamps();
    return screen;
}

std::shared_ptr<ZERI_FlowScreenModel> ZERI_FlowScreenModel::initWithDict(const QJsonObject& dict, Error* error)
{
    auto screen = std::make_shared<ZERI_FlowScreenModel>();
    screen->adopt(screen->m_background);
    ModelReadStatus status;
    screen->readFromReader(ModelJsonReader(dict, QString(), status), false);
    if (status.failed()) {
        setError(error, status.error());
        return nullptr;
    }
    return screen;
}

std::shared_ptr<ZERI_FlowScreenModel> ZERI_FlowScreenModel::copy(bool freshIdentifiers) const
{
    auto screen = initWithDict(jsonDictionary());
    if (screen && freshIdentifiers) {
        screen->setInternalID(newUniqueID());
        for (const auto& item : screen->getAllChildObjectsOfClass<TessarineDataModelItem>()) {
            if (!item->internalID().isEmpty())
                item->setInternalID(newUniqueID());
        }
    }
    return screen;
}

std::shared_ptr<ZERI_FlowScreenModel>
ZERI_FlowScreenModel::getScreenModelCopyAndHardLinkFiles(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                         const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!screen)
        return nullptr;
    auto copy = screen->copy(true);
    const QString folder = document ? document->documentAssetStoragePath() : QString();
    if (!copy || folder.isEmpty() || !QDir().mkpath(folder))
        return copy;
    const QString folderPath = QFileInfo(folder).absoluteFilePath();
    for (const auto& asset : copy->getAllContentAssets()) {
        const QFileInfo source(asset->localFilePath());
        if (!source.isFile() || source.absolutePath() == folderPath)
            continue;
        const QString suffix = source.suffix().isEmpty() ? QString() : QLatin1Char('.') + source.suffix();
        const QString target = QDir(folderPath).filePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + suffix);
        if (!AtomicFile::linkOrCopy(source.absoluteFilePath(), target))
            continue;
        asset->setExternalURL(QUrl::fromLocalFile(target));
    }
    return copy;
}

std::shared_ptr<ZERI_FlowScreenModel> ZERI_FlowScreenModel::drawingCopy() const
{
    auto screen = copy(false);
    if (!screen)
        return nullptr;
    const auto source = tessarineModel();
    auto document = source ? source->drawingShell() : ZERI_TessarineModel::create();
    document->setDontSave(true);
    auto flow = document->firstFlowmodel();
    if (!flow) {
        flow = ZERI_FlowModel::create();
        document->addFlowModel(flow);
    }
    if (const auto parentFlow = std::dynamic_pointer_cast<ZERI_FlowModel>(parent()))
        flow->setViewSize(parentFlow->viewSize());
    flow->addFlowScreen(screen);
    // The screen holds its flow and document only weakly: the returned pointer owns the document instead.
    return std::shared_ptr<ZERI_FlowScreenModel>(document, screen.get());
}

void ZERI_FlowScreenModel::adoptObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const auto& real = object->object();
    if (const auto oldScreen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(real->parent());
        oldScreen && oldScreen.get() != this)
        oldScreen->removeMixedMediaObject(object);
    adopt(real);
}

void ZERI_FlowScreenModel::objectsChanged()
{
    didChange(kObjectsKey);
    setPreviewInvalidated(true);
}

void ZERI_FlowScreenModel::addMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    insertMixedMediaObject(object, qsizetype(m_objects.size()));
}

void ZERI_FlowScreenModel::insertMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                                  qsizetype index)
{
    if (!object || indexOfMixedMediaObject(object) >= 0)
        return;
    adoptObject(object);
    index = std::clamp<qsizetype>(index, 0, qsizetype(m_objects.size()));
    m_objects.insert(m_objects.begin() + index, object);
    objectsChanged();
}

void ZERI_FlowScreenModel::removeMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& objectToRemove)
{
    // A copy: the argument may refer to the very element erased below.
    const auto object = objectToRemove;
    const qsizetype index = indexOfMixedMediaObject(object);
    if (index < 0)
        return;
    if (const auto video = (*object)->videoAsset()) {
        if (const auto manager = videoCompressionManager())
            manager->cancelCompressionForContentAsset(video);
    }
    m_objects.erase(m_objects.begin() + index);
    (*object)->setParent(nullptr);
    objectsChanged();
}

qsizetype ZERI_FlowScreenModel::indexOfMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const
{
    const auto it = std::find(m_objects.begin(), m_objects.end(), object);
    return it == m_objects.end() ? -1 : qsizetype(it - m_objects.begin());
}

std::shared_ptr<ZERI_MixedMediaObjectProxy>
ZERI_FlowScreenModel::mixedMediaObjectWithID(const QString& internalID) const
{
    for (const auto& object : m_objects) {
        if ((*object)->internalID() == internalID)
            return object;
    }
    return nullptr;
}

bool ZERI_FlowScreenModel::mixedMediaObjectCanMoveForward(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const
{
    const qsizetype index = indexOfMixedMediaObject(object);
    if (index < 0)
        return false;
    const QRectF frame = (*object)->frame();
    for (qsizetype i = index + 1; i < qsizetype(m_objects.size()); ++i) {
        if ((*m_objects[i])->frame().intersects(frame))
            return true;
    }
    return false;
}

bool ZERI_FlowScreenModel::mixedMediaObjectCanMoveBackward(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const
{
    const qsizetype index = indexOfMixedMediaObject(object);
    if (index < 0)
        return false;
    const QRectF frame = (*object)->frame();
    for (qsizetype i = index - 1; i >= 0; --i) {
        if ((*m_objects[i])->frame().intersects(frame))
            return true;
    }
    return false;
}

void ZERI_FlowScreenModel::placeObjectAboveNextObjectInFrontOfIt(
    const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const qsizetype index = indexOfMixedMediaObject(object);
    if (index < 0)
        return;
    const QRectF frame = (*object)->frame();
    for (qsizetype i = index + 1; i < qsizetype(m_objects.size()); ++i) {
        if ((*m_objects[i])->frame().intersects(frame)) {
            // After taking the object out, the overlapping one sits at i − 1; the object goes right above it.
            m_objects.erase(m_objects.begin() + index);
            m_objects.insert(m_objects.begin() + i, object);
            objectsChanged();
            return;
        }
    }
}

void ZERI_FlowScreenModel::placeObjectBelowNextObjectBehindIt(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    const qsizetype index = indexOfMixedMediaObject(object);
    if (index < 0)
        return;
    const QRectF frame = (*object)->frame();
    for (qsizetype i = index - 1; i >= 0; --i) {
        if ((*m_objects[i])->frame().intersects(frame)) {
            m_objects.erase(m_objects.begin() + index);
            m_objects.insert(m_objects.begin() + i, object);
            objectsChanged();
            return;
        }
    }
}

QColor ZERI_FlowScreenModel::backgroundColor() const
{
    return m_background->color();
}

void ZERI_FlowScreenModel::setBackgroundColor(const QColor& color)
{
    if (m_background->color() == color)
        return;
    m_background->setColor(color);
    didChange(kBackgroundColorKey);
    setPreviewInvalidated(true);
}

void ZERI_FlowScreenModel::colorOutletEditedWithColor(const QColor& color)
{
    beginUndoableChanges();
    setBackgroundColor(color);
    endUndoableChanges();
}

QSizeF ZERI_FlowScreenModel::screenSize() const
{
    if (const auto flow = std::dynamic_pointer_cast<ZERI_FlowModel>(parent()))
        return flow->viewSize();
    return kDefaultScreenSize;
}

void ZERI_FlowScreenModel::setPresenterNotes(const QString& notes)
{
    if (m_presenterNotes == notes)
        return;
    m_presenterNotes = notes;
    didChange(kPresenterNotesKey);
}

void ZERI_FlowScreenModel::setAutoAdvanceSlideDuration(std::optional<double> seconds)
{
    if (m_autoAdvanceSlideDuration == seconds)
        return;
    m_autoAdvanceSlideDuration = seconds;
    didChange(kSlideDurationKey);
}

void ZERI_FlowScreenModel::setAutoAdvanceTransitionType(std::optional<int> transitionType)
{
    if (m_autoAdvanceTransitionType == transitionType)
        return;
    m_autoAdvanceTransitionType = transitionType;
    didChange(kTransitionTypeKey);
}

bool ZERI_FlowScreenModel::previewInvalidated() const
{
    return m_previewInvalidated;
}

void ZERI_FlowScreenModel::setPreviewInvalidated(bool invalidated)
{
    if (m_previewInvalidated == invalidated)
        return;
    m_previewInvalidated = invalidated;
    didChange(kPreviewInvalidatedProperty);
}

std::shared_ptr<ZERI_ContentAsset> ZERI_FlowScreenModel::previewScreenShotAsset() const
{
    QMutexLocker lock(&m_previewLock);
    return m_previewAsset;
}

std::shared_ptr<ZERI_ContentAsset> ZERI_FlowScreenModel::previewScreenShotAsset_textless() const
{
    QMutexLocker lock(&m_previewTextlessLock);
    return m_previewAssetTextless;
}

void ZERI_FlowScreenModel::setPreviewAsset(std::shared_ptr<ZERI_ContentAsset>& member,
                                           const std::shared_ptr<ZERI_ContentAsset>& asset, const QString& key,
                                           bool clearsInvalidated)
{
    // The tree (parents, caches, observers) belongs to the main thread; a generator thread waits for it.
    if (!MainThread::isMainThread()) {
        MainThread::run(
            [self = weak_from_this(), &member, asset, key, clearsInvalidated] {
                if (const auto screen = std::static_pointer_cast<ZERI_FlowScreenModel>(self.lock()))
                    screen->setPreviewAsset(member, asset, key, clearsInvalidated);
            },
            true);
        return;
    }
    if (clearsInvalidated)
        setPreviewInvalidated(false);
    QMutex& lock = &member == &m_previewAsset ? m_previewLock : m_previewTextlessLock;
    std::shared_ptr<ZERI_ContentAsset> old;
    {
        QMutexLocker locker(&lock);
        old = member;
    }
    letPreviewGo(old, asset);
    {
        QMutexLocker locker(&lock);
        if (member == asset) {
            invalidateJsonDictionary();
            return;
        }
        if (member && member->parent().get() == this)
            member->setParent(nullptr);
        member = asset;
    }
    adopt(asset);
    didChange(key);
}

void ZERI_FlowScreenModel::letPreviewGo(const std::shared_ptr<ZERI_ContentAsset>& old,
                                        const std::shared_ptr<ZERI_ContentAsset>& by)
{
    if (!old || old == by || old->parent().get() != this || (by && by->externalURL() == old->externalURL()))
        return;
    const auto document = tessarineModel();
    if (!document || document->dontSave())
        return;
    if (const auto package = document->filePackage())
        package->screenPreviewReplaced(*old);
}

void ZERI_FlowScreenModel::setPreviewScreenShotAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setPreviewAsset(m_previewAsset, asset, kPreviewKey, true);
}

void ZERI_FlowScreenModel::setPreviewScreenShotAsset_textless(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setPreviewAsset(m_previewAssetTextless, asset, kPreviewTextlessKey, false);
}

void ZERI_FlowScreenModel::getScreenPreviewImages()
{
    if (m_gettingScreenPreview)
        return;
    m_gettingScreenPreview = true;
    updateNotifier().reportChange(kGettingPreviewKey);
    if (!m_previewProvider)
        m_previewProvider = ScreenPreviewProvider::make();
    const auto self = std::static_pointer_cast<ZERI_FlowScreenModel>(weak_from_this().lock());
    if (!self)
        return;
    const std::weak_ptr<ZERI_FlowScreenModel> weakSelf = self;
    m_previewProvider->generatePreviews(self, [weakSelf] {
        const auto screen = weakSelf.lock();
        if (!screen)
            return;
        const auto normal = screen->previewScreenShotAsset();
        const auto textless = screen->previewScreenShotAsset_textless();
        WorkerThreads::shared().post([weakSelf, normal, textless] {
            const QImage normalImage = normal ? normal->getImageIgnoreThreadSafety(true) : QImage();
            const QImage textlessImage = textless ? textless->getImageIgnoreThreadSafety(true) : QImage();
            MainThread::run(
                [weakSelf, normalImage, textlessImage]() mutable {
                    const auto alive = weakSelf.lock();
                    if (alive) {
                        alive->m_gettingScreenPreview = false;
                        alive->updateNotifier().reportChange(kGettingPreviewKey);
                        QVariantMap userInfo;
                        if (!normalImage.isNull())
                            userInfo.insert(QStringLiteral("PreviewScreenImageRef"), normalImage);
                        if (!textlessImage.isNull())
                            userInfo.insert(QStringLiteral("PreviewScreenImageRef_textless"), textlessImage);
                        NotificationCenter::defaultCenter().post(kPreviewScreenshotGetNotification, alive.get(),
                                                                 userInfo);
                    }
                    // The views keep pictures of their own size: the whole screen's pictures (megabytes of pages to
                    // hand back to the system) are let go on a worker.
                    WorkerThreads::shared().post(
                        [normal = std::move(normalImage), textless = std::move(textlessImage)]() mutable {
                            normal = QImage();
                            textless = QImage();
                        });
                },
                false);
        });
    });
}

void ZERI_FlowScreenModel::cancelGetScreenPreviewImages()
{
    if (m_previewProvider)
        m_previewProvider->cancelCurrentDraw();
}

std::optional<QList<QVariantMap>> ZERI_FlowScreenModel::getSetupDictionaryArrayForOutletType(const QString& outletType,
                                                                                             const QString& tabType)
{
    if (tabType != QLatin1String("Screen"))
        return std::nullopt;
    const QVariant self = QVariant::fromValue(ModelItemRef(weak_from_this()));
    if (outletType == QLatin1String("Color Picker"))
        return QList<QVariantMap>{
            {{QStringLiteral("kQVR_CONTEXTUAL_MENU_OBJECT_KEY"), self},
             {QStringLiteral("kQVR_CONTEXTUAL_MENU_COLOR_PROPERTY_KEY"), QStringLiteral("observableColor")},
             {QStringLiteral("kQVR_CONTEXTUAL_MENU_ALPHA_PROPERTY_KEY"), false}}};
    if (outletType == QLatin1String("Big Text Field"))
        return QList<QVariantMap>{
            {{QStringLiteral("kQVR_CONTEXTUAL_MENU_OBJECT_KEY"), self},
             {QStringLiteral("kQVR_CONTEXTUAL_MENU_BIG_TEXT_PROPERTY_KEY"), QStringLiteral("presenterNotes")}}};
    return QList<QVariantMap>();
}

void ZERI_FlowScreenModel::appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const
{
    children.push_back(m_background);
    for (const auto& object : m_objects)
        children.push_back(object->object());
    if (const auto asset = previewScreenShotAsset())
        children.push_back(asset);
    if (const auto asset = previewScreenShotAsset_textless())
        children.push_back(asset);
}

QJsonObject ZERI_FlowScreenModel::makeJsonDictionary() const
{
    QJsonObject dict;
    writeInternalID(dict);
    writeTimestamps(dict);
    QJsonArray objects;
    for (const auto& object : m_objects)
        objects.append((*object)->jsonDictionary());
    dict.insert(kObjectsKey, objects);
    dict.insert(kBackgroundKey, m_background->jsonDictionary());
    if (!m_presenterNotes.isEmpty())
        dict.insert(kPresenterNotesKey, m_presenterNotes);
    if (m_autoAdvanceSlideDuration)
        dict.insert(kSlideDurationKey, *m_autoAdvanceSlideDuration);
    if (m_autoAdvanceTransitionType)
        dict.insert(kTransitionTypeKey, *m_autoAdvanceTransitionType);
    if (const auto asset = previewScreenShotAsset())
        dict.insert(kPreviewKey, asset->jsonDictionary());
    if (const auto asset = previewScreenShotAsset_textless())
        dict.insert(kPreviewTextlessKey, asset->jsonDictionary());
    dict.insert(kPreviewInvalidatedKey, yesNo(m_previewInvalidated));
    return dict;
}

void ZERI_FlowScreenModel::readPreviewAsset(const ModelJsonReader& reader, const QString& key,
                                            std::shared_ptr<ZERI_ContentAsset>& member, ChangedKeys& changedKeys)
{
    QMutex& lock = &member == &m_previewAsset ? m_previewLock : m_previewTextlessLock;
    const auto dict = reader.object(key);
    std::shared_ptr<ZERI_ContentAsset> replacement;
    {
        QMutexLocker locker(&lock);
        if (!dict && !member)
            return;
        if (dict && member && member->jsonDictionary() == *dict)
            return;
    }
    if (dict) {
        replacement = std::make_shared<ZERI_ContentAsset>();
        replacement->readFromReader(ModelJsonReader(*dict, reader, key), false);
        adopt(replacement);
    }
    std::shared_ptr<ZERI_ContentAsset> old;
    {
        QMutexLocker locker(&lock);
        old = member;
    }
    letPreviewGo(old, replacement);
    QMutexLocker locker(&lock);
    if (member && member->parent().get() == this)
        member->setParent(nullptr);
    member = replacement;
    changedKeys.insert(key);
}

void ZERI_FlowScreenModel::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    readInternalID(reader, changedKeys);
    readTimestamps(reader, changedKeys);

    // Objects: those whose id is already on the screen are updated in place (their proxies, and so every
    // observer and selection, survive an undo); others are made. Unknown types are skipped with a warning.
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
    QHash<QString, std::shared_ptr<ZERI_MixedMediaObjectProxy>> existing;
    for (const auto& object : m_objects)
        existing.insert((*object)->internalID(), object);
    const QJsonArray entries = reader.array(kObjectsKey).value_or(QJsonArray());
    objects.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size() && reader.ok(); ++i) {
        if (!entries[i].isObject()) {
            reader.status().fail(reader.pathOf(kObjectsKey, i), QStringLiteral("expected an object"));
            break;
        }
        const ModelJsonReader objectReader(entries[i].toObject(), reader, kObjectsKey, i);
        const int type = objectReader.integer(QStringLiteral("type"), ZERI_MixedMediaObject::None);
        if (!objectReader.ok())
            break;
        if (!ZERI_MixedMediaObject::isKnownType(type)) {
            qCWarning(lcTessarineDataModel)
                << "skipping an object of unknown type" << type << "at" << reader.pathOf(kObjectsKey, i);
            continue;
        }
        // Only an update of a screen that has objects can reuse one; a fresh read skips the lookup.
        const QString id = existing.isEmpty() ? QString() : objectReader.string(QStringLiteral("id"));
        std::shared_ptr<ZERI_MixedMediaObjectProxy> proxy = id.isEmpty() ? nullptr : existing.take(id);
        if (proxy) {
            if (proxy->type() != type) {
                proxy->replaceObject(ZERI_MixedMediaObject::makeObjectOfType(type));
                adopt(proxy->object());
            }
            proxy->object()->readFromReader(objectReader, true);
        } else {
            auto object = ZERI_MixedMediaObject::makeObjectOfType(type);
            adopt(object);
            object->readFromReader(objectReader, false);
            proxy = ZERI_MixedMediaObjectProxy::wrap(object);
        }
        objects.push_back(std::move(proxy));
    }
    if (objects != m_objects) {
        for (const auto& removed : existing)
            (*removed)->setParent(nullptr);
        m_objects = std::move(objects);
        changedKeys.insert(kObjectsKey);
    }

    const auto backgroundDict = reader.object(kBackgroundKey).value_or(QJsonObject());
    const QColor oldColor = m_background->color();
    m_background->readFromReader(ModelJsonReader(backgroundDict, reader, kBackgroundKey), changedKeys.isRecording());
    if (m_background->color() != oldColor)
        changedKeys.insert(kBackgroundColorKey);

    assign(m_presenterNotes, reader.string(kPresenterNotesKey), kPresenterNotesKey, changedKeys);
    assign(m_autoAdvanceSlideDuration, reader.optionalMeasure(kSlideDurationKey), kSlideDurationKey, changedKeys);
    assign(m_autoAdvanceTransitionType, reader.optionalInteger(kTransitionTypeKey), kTransitionTypeKey, changedKeys);
    readPreviewAsset(reader, kPreviewKey, m_previewAsset, changedKeys);
    readPreviewAsset(reader, kPreviewTextlessKey, m_previewAssetTextless, changedKeys);
    assign(m_previewInvalidated, reader.boolean(kPreviewInvalidatedKey), kPreviewInvalidatedProperty, changedKeys);
}
