#include "tessarine_data_model/ZERI_MixedMediaObject.h"

#include <cmath>

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>

#include "platform/Json.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/QVB_GalleryAssetManager.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Audio.h"
#include "tessarine_data_model/ZERI_MMObject_Gallery.h"
#include "tessarine_data_model/ZERI_MMObject_Image.h"
#include "tessarine_data_model/ZERI_MMObject_Link.h"
#include "tessarine_data_model/ZERI_MMObject_PDF.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

const QString ZERI_MixedMediaObject::kPasteboardType = QStringLiteral("com.tessarine.mixedMediaObjectPasteboardType");

namespace {
const QString kTypeKey = QStringLiteral("type");
const QString kFrameKey = QStringLiteral("frame");
const QString kZoomScaleKey = QStringLiteral("zoomScale");
const QString kZoomOffsetKey = QStringLiteral("zoomOffset");
const QString kRotationKey = QStringLiteral("rotation");
const QString kActionKey = QStringLiteral("action");
const QString kOriginalImageAssetKey = QStringLiteral("originalImageAsset");
const QString kCroppedImageAssetKey = QStringLiteral("croppedImageAsset");
const QString kRetinaCroppedImageAssetKey = QStringLiteral("retinaCroppedImageAsset");
const QString kVideoAssetKey = QStringLiteral("videoAsset");
const QString kPdfAssetKey = QStringLiteral("pdfAsset");
const QString kAudioAssetKey = QStringLiteral("audioAsset");
const QString kGalleryAssetManagerKey = QStringLiteral("galleryAssetManager");

bool isValidFrame(const QRectF& frame)
{
    return std::isfinite(frame.x()) && std::isfinite(frame.y()) && std::isfinite(frame.width()) &&
           std::isfinite(frame.height()) && frame.width() >= 0 && frame.height() >= 0;
}

} // namespace

ZERI_MixedMediaObject::~ZERI_MixedMediaObject() = default;

std::shared_ptr<ZERI_MixedMediaObject> ZERI_MixedMediaObject::makeObjectOfType(int type)
{
    switch (type) {
    case None:
        return std::make_shared<ZERI_MixedMediaObject>();
    case Video:
        return std::make_shared<ZERI_MMObject_Video>();
    case Image:
        return std::make_shared<ZERI_MMObject_Image>();
    case Gallery:
        return std::make_shared<ZERI_MMObject_Gallery>();
    case Text:
        return std::make_shared<ZERI_MMObject_Text>();
    case Link:
        return std::make_shared<ZERI_MMObject_Link>();
    case PDF:
        return std::make_shared<ZERI_MMObject_PDF>();
    case Shape:
        return std::make_shared<ZERI_MMObject_Shape>();
    case Audio:
        return std::make_shared<ZERI_MMObject_Audio>();
    default:
        return nullptr;
    }
}

bool ZERI_MixedMediaObject::isKnownType(int type)
{
    return type >= 0 && type <= 9 && type != 8;
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> ZERI_MixedMediaObject::objectWithType(int type)
{
    auto object = makeObjectOfType(type);
    if (!object)
        return nullptr;
    object->setInternalID(newUniqueID());
    return ZERI_MixedMediaObjectProxy::wrap(object);
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> ZERI_MixedMediaObject::initWithDict(const QJsonObject& dict, Error* error)
{
    ModelReadStatus status;
    const ModelJsonReader reader(dict, QString(), status);
    const int type = reader.integer(kTypeKey, None);
    auto object = makeObjectOfType(type);
    if (!object && !status.failed())
        status.fail(reader.pathOf(kTypeKey), QStringLiteral("unknown object type %1").arg(type));
    if (object)
        object->readFromReader(reader, false);
    if (status.failed()) {
        setError(error, status.error());
        return nullptr;
    }
    return ZERI_MixedMediaObjectProxy::wrap(object);
}

QRectF
ZERI_MixedMediaObject::rectContainingAllMMObjs(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects)
{
    QRectF united;
    bool first = true;
    for (const auto& object : objects) {
        if (!object)
            continue;
        const QRectF frame = (*object)->frame();
        // QRectF::united ignores empty rectangles; a line-thin frame must still count.
        if (first) {
            united = frame;
            first = false;
        } else {
            const double left = std::min(united.left(), frame.left());
            const double top = std::min(united.top(), frame.top());
            const double right = std::max(united.right(), frame.right());
            const double bottom = std::max(united.bottom(), frame.bottom());
            united = QRectF(left, top, right - left, bottom - top);
        }
    }
    return united;
}

void ZERI_MixedMediaObject::pasteboardCopyObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (!object)
        return;
    auto* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        qCWarning(lcTessarineDataModel) << "no clipboard to copy an object to";
        return;
    }
    auto* data = new QMimeData;
    data->setData(kPasteboardType, Json::write(QJsonArray{(*object)->jsonDictionary()}));
    clipboard->setMimeData(data);
}

void ZERI_MixedMediaObject::pasteboardCopyObjects(
    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects)
{
    QJsonArray entries;
    for (const auto& object : objects)
        if (object && object->object())
            entries.append((*object)->jsonDictionary());
    if (entries.isEmpty())
        return;
    auto* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        qCWarning(lcTessarineDataModel) << "no clipboard to copy objects to";
        return;
    }
    auto* data = new QMimeData;
    data->setData(kPasteboardType, Json::write(entries));
    clipboard->setMimeData(data);
}

void ZERI_MixedMediaObject::pasteboardCutObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (!object)
        return;
    pasteboardCopyObject(object);
    if (const auto screen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>((*object)->parent()))
        screen->removeMixedMediaObject(object);
}

std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> ZERI_MixedMediaObject::pasteboardReadObjects()
{
    const auto* clipboard = QGuiApplication::clipboard();
    return readObjectsFromMimeData(clipboard ? clipboard->mimeData() : nullptr);
}

std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>
ZERI_MixedMediaObject::readObjectsFromMimeData(const QMimeData* data)
{
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> objects;
    if (!data || !data->hasFormat(kPasteboardType))
        return objects;
    Error error;
    const auto value = Json::read(data->data(kPasteboardType), &error);
    if (!value || !value->isArray()) {
        qCWarning(lcTessarineDataModel) << "the pasteboard data holds no readable objects" << error.message;
        return objects;
    }
    for (const QJsonValue& entry : value->toArray()) {
        if (auto object = initWithDict(entry.toObject(), &error)) {
            auto copy = (*object)->copy(true);
            (*copy)->setIdOfOriginalMMObj((*object)->internalID());
            objects.push_back(copy);
        } else {
            qCWarning(lcTessarineDataModel) << "skipping an unreadable object in the pasteboard data" << error.message;
        }
    }
    return objects;
}

ObjectUpdateNotifier& ZERI_MixedMediaObject::updateNotifier()
{
    if (const auto proxy = m_proxy.lock())
        return proxy->updateNotifier();
    return TessarineDataModelItem::updateNotifier();
}

ObjectUpdateNotifier* ZERI_MixedMediaObject::existingUpdateNotifier() const
{
    if (const auto proxy = m_proxy.lock())
        return &proxy->updateNotifier();
    return TessarineDataModelItem::existingUpdateNotifier();
}

std::shared_ptr<ZERI_MixedMediaObjectProxy> ZERI_MixedMediaObject::copy(bool freshIdentifiers) const
{
    auto object = makeObjectOfType(type());
    ModelReadStatus status;
    object->readFromReader(ModelJsonReader(jsonDictionary(), QString(), status), false);
    if (freshIdentifiers) {
        object->setInternalID(newUniqueID());
        for (const auto& item : object->getAllChildObjectsOfClass<TessarineDataModelItem>()) {
            if (!item->internalID().isEmpty())
                item->setInternalID(newUniqueID());
        }
    }
    return ZERI_MixedMediaObjectProxy::wrap(object);
}

void ZERI_MixedMediaObject::invalidateScreenPreview()
{
    if (const auto screen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(parent()))
        screen->setPreviewInvalidated(true);
}

void ZERI_MixedMediaObject::setFrame(const QRectF& frame)
{
    if (frame == m_frame || !isValidFrame(frame))
        return;
    m_frame = frame;
    didChange(kFrameKey);
    invalidateScreenPreview();
}

void ZERI_MixedMediaObject::setZoomScale(std::optional<double> zoomScale)
{
    if (zoomScale && !std::isfinite(*zoomScale))
        return;
    if (zoomScale == m_zoomScale)
        return;
    m_zoomScale = zoomScale;
    didChange(kZoomScaleKey);
    invalidateScreenPreview();
}

void ZERI_MixedMediaObject::setZoomOffset(const QSizeF& zoomOffset)
{
    if (zoomOffset == m_zoomOffset || !std::isfinite(zoomOffset.width()) || !std::isfinite(zoomOffset.height()))
        return;
    m_zoomOffset = zoomOffset;
    didChange(kZoomOffsetKey);
    invalidateScreenPreview();
}

void ZERI_MixedMediaObject::setRotation(int rotation)
{
    if (rotation == m_rotation)
        return;
    m_rotation = rotation;
    didChange(kRotationKey);
    invalidateScreenPreview();
}

void ZERI_MixedMediaObject::setAction(const std::shared_ptr<ZERI_MMAction>& action)
{
    if (action == m_action)
        return;
    if (m_action)
        m_action->setParent(nullptr);
    m_action = action;
    adopt(action);
    didChange(kActionKey);
}

bool ZERI_MixedMediaObject::isLinkable() const
{
    const int t = type();
    return t == Image || t == Text || t == Shape;
}

void ZERI_MixedMediaObject::setAsset(std::shared_ptr<ZERI_ContentAsset>& member,
                                     const std::shared_ptr<ZERI_ContentAsset>& asset, const QString& key)
{
    if (member == asset)
        return;
    if (member && member->parent().get() == this)
        member->setParent(nullptr);
    member = asset;
    adopt(asset);
    didChange(key);
    invalidateScreenPreview();
}

void ZERI_MixedMediaObject::setOriginalImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setAsset(m_originalImageAsset, asset, kOriginalImageAssetKey);
}

void ZERI_MixedMediaObject::setCroppedImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setAsset(m_croppedImageAsset, asset, kCroppedImageAssetKey);
}

void ZERI_MixedMediaObject::setRetinaCroppedImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setAsset(m_retinaCroppedImageAsset, asset, kRetinaCroppedImageAssetKey);
}

void ZERI_MixedMediaObject::setVideoAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setAsset(m_videoAsset, asset, kVideoAssetKey);
}

void ZERI_MixedMediaObject::setPdfAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setAsset(m_pdfAsset, asset, kPdfAssetKey);
}

void ZERI_MixedMediaObject::setAudioAsset(const std::shared_ptr<ZERI_ContentAsset>& asset)
{
    setAsset(m_audioAsset, asset, kAudioAssetKey);
}

std::shared_ptr<ZERI_ContentAsset> ZERI_MixedMediaObject::downloadableAsset() const
{
    if (m_videoAsset)
        return m_videoAsset;
    if (m_pdfAsset)
        return m_pdfAsset;
    return m_audioAsset;
}

std::shared_ptr<QVB_GalleryAssetManager> ZERI_MixedMediaObject::galleryAssetManager()
{
    if (!m_galleryAssetManager) {
        m_galleryAssetManager = std::make_shared<QVB_GalleryAssetManager>();
        adopt(m_galleryAssetManager);
        invalidateJsonDictionary();
    }
    return m_galleryAssetManager;
}

void ZERI_MixedMediaObject::setGalleryAssetManager(const std::shared_ptr<QVB_GalleryAssetManager>& manager)
{
    if (manager == m_galleryAssetManager)
        return;
    if (m_galleryAssetManager)
        m_galleryAssetManager->setParent(nullptr);
    m_galleryAssetManager = manager;
    adopt(manager);
    didChange(kGalleryAssetManagerKey);
    invalidateScreenPreview();
}

void ZERI_MixedMediaObject::appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const
{
    if (m_action)
        children.push_back(m_action);
    for (const auto* asset : {&m_originalImageAsset, &m_croppedImageAsset, &m_retinaCroppedImageAsset, &m_videoAsset,
                              &m_pdfAsset, &m_audioAsset}) {
        if (*asset)
            children.push_back(*asset);
    }
    if (m_galleryAssetManager)
        children.push_back(m_galleryAssetManager);
}

QJsonObject ZERI_MixedMediaObject::makeJsonDictionary() const
{
    QJsonObject dict;
    writeInternalID(dict);
    dict.insert(kTypeKey, type());
    dict.insert(kFrameKey, ZERI_AppDataModelCenter::jsonFromRect(m_frame));
    // Full precision: one decimal would turn a zoom of 0.0123 into 0 and lose the crop.
    if (m_zoomScale)
        dict.insert(kZoomScaleKey, *m_zoomScale);
    dict.insert(kZoomOffsetKey, ZERI_AppDataModelCenter::jsonFromSize(m_zoomOffset));
    dict.insert(kRotationKey, m_rotation);
    if (m_action)
        dict.insert(kActionKey, m_action->jsonDictionary());
    const std::pair<const QString*, const std::shared_ptr<ZERI_ContentAsset>*> assets[] = {
        {&kOriginalImageAssetKey, &m_originalImageAsset},
        {&kCroppedImageAssetKey, &m_croppedImageAsset},
        {&kRetinaCroppedImageAssetKey, &m_retinaCroppedImageAsset},
        {&kVideoAssetKey, &m_videoAsset},
        {&kPdfAssetKey, &m_pdfAsset},
        {&kAudioAssetKey, &m_audioAsset}};
    for (const auto& [key, asset] : assets) {
        if (*asset)
            dict.insert(*key, (*asset)->jsonDictionary());
    }
    if (m_galleryAssetManager)
        dict.insert(kGalleryAssetManagerKey, m_galleryAssetManager->jsonDictionary());
    writeTypeProperties(dict);
    return dict;
}

void ZERI_MixedMediaObject::readAsset(const ModelJsonReader& reader, const QString& key,
                                      std::shared_ptr<ZERI_ContentAsset>& member, ChangedKeys& changedKeys)
{
    const auto dict = reader.object(key);
    if (!dict) {
        if (member) {
            member->setParent(nullptr);
            member.reset();
            changedKeys.insert(key);
        }
        return;
    }
    // The same record read back keeps its object, so holders of the asset stay valid across an undo.
    if (member && member->jsonDictionary() == *dict)
        return;
    auto asset = std::make_shared<ZERI_ContentAsset>();
    asset->readFromReader(ModelJsonReader(*dict, reader, key), false);
    if (member)
        member->setParent(nullptr);
    member = asset;
    adopt(asset);
    changedKeys.insert(key);
}

void ZERI_MixedMediaObject::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    readInternalID(reader, changedKeys);
    assign(m_frame, reader.rect(kFrameKey), kFrameKey, changedKeys);
    assign(m_zoomScale, reader.optionalMeasure(kZoomScaleKey), kZoomScaleKey, changedKeys);
    assign(m_zoomOffset, reader.size(kZoomOffsetKey, QSizeF(0, 0)), kZoomOffsetKey, changedKeys);
    assign(m_rotation, reader.integer(kRotationKey), kRotationKey, changedKeys);

    if (const auto actionDict = reader.object(kActionKey)) {
        if (!m_action || m_action->jsonDictionary() != *actionDict) {
            auto action = ZERI_MMAction::actionFromReader(ModelJsonReader(*actionDict, reader, kActionKey));
            if (m_action)
                m_action->setParent(nullptr);
            m_action = action;
            adopt(action);
            changedKeys.insert(kActionKey);
        }
    } else if (m_action) {
        m_action->setParent(nullptr);
        m_action.reset();
        changedKeys.insert(kActionKey);
    }

    readAsset(reader, kOriginalImageAssetKey, m_originalImageAsset, changedKeys);
    readAsset(reader, kCroppedImageAssetKey, m_croppedImageAsset, changedKeys);
    readAsset(reader, kRetinaCroppedImageAssetKey, m_retinaCroppedImageAsset, changedKeys);
    readAsset(reader, kVideoAssetKey, m_videoAsset, changedKeys);
    readAsset(reader, kPdfAssetKey, m_pdfAsset, changedKeys);
    readAsset(reader, kAudioAssetKey, m_audioAsset, changedKeys);

    if (const auto managerDict = reader.object(kGalleryAssetManagerKey)) {
        if (!m_galleryAssetManager) {
            m_galleryAssetManager = std::make_shared<QVB_GalleryAssetManager>();
            adopt(m_galleryAssetManager);
        }
        const bool wasSame = m_galleryAssetManager->jsonDictionary() == *managerDict;
        if (!wasSame) {
            m_galleryAssetManager->readFromReader(ModelJsonReader(*managerDict, reader, kGalleryAssetManagerKey),
                                                  changedKeys.isRecording());
            changedKeys.insert(kGalleryAssetManagerKey);
        }
    } else if (m_galleryAssetManager) {
        m_galleryAssetManager->setParent(nullptr);
        m_galleryAssetManager.reset();
        changedKeys.insert(kGalleryAssetManagerKey);
    }
    readTypeProperties(reader, changedKeys);
}
