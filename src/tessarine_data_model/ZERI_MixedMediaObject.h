#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QRectF>
#include <QSizeF>

#include "tessarine_data_model/TessarineDataModelItem.h"

class QMimeData;
class QPainter;
class QVB_GalleryAssetManager;
class ZERI_ContentAsset;
class ZERI_MixedMediaObjectProxy;
class ZERI_MMAction;

// A placed object of a screen: frame, stacking (its index in the screen), rotation, image crop, media assets and
// an optional link action. Subclasses per type: 1 video, 2 image, 3 gallery, 4 text, 5 link, 6 PDF, 7 shape,
// 9 audio; this class itself is type 0 (none), an object still waiting for its content.
//
// Objects are handed out through a ZERI_MixedMediaObjectProxy, which can replace the object by one of another
// type in place; observers registered on updateNotifier() (the proxy's notifier) keep their registrations.
// Hold the proxy (weakly, past a call), never the object behind it.
//
// Geometry is in screen points, origin top left, y down; the screen is 1024 × 748 by default.
class ZERI_MixedMediaObject : public TessarineDataModelItem {
public:
    enum Type { None = 0, Video = 1, Image = 2, Gallery = 3, Text = 4, Link = 5, PDF = 6, Shape = 7, Audio = 9 };

    ZERI_MixedMediaObject() = default;
    ~ZERI_MixedMediaObject() override;

    // A new empty object of the type (new id), through its proxy; nullptr for a number outside the type table.
    static std::shared_ptr<ZERI_MixedMediaObjectProxy> objectWithType(int type);
    // An object from its dictionary, through its proxy; an empty dictionary gives an empty object of type 0.
    // nullptr (with `error`) for a value of the wrong kind or an unknown "type".
    static std::shared_ptr<ZERI_MixedMediaObjectProxy> initWithDict(const QJsonObject& dict, Error* error = nullptr);
    static std::shared_ptr<ZERI_MixedMediaObjectProxy> objectFromDict(const QJsonObject& dict, Error* error = nullptr)
    {
        return initWithDict(dict, error);
    }
    // An unwrapped object of the type, for the proxy and readers; nullptr outside the type table.
    static std::shared_ptr<ZERI_MixedMediaObject> makeObjectOfType(int type);
    static bool isKnownType(int type);

    // Smallest rectangle holding every object's frame; a null rectangle for none.
    static QRectF rectContainingAllMMObjs(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);

    // Pasteboard: the object's dictionary under "com.tessarine.mixedMediaObjectPasteboardType" on the clipboard.
    static const QString kPasteboardType;
    static void pasteboardCopyObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    // Writes all the objects, in this order, in one clipboard change (nothing for none).
    static void pasteboardCopyObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects);
    // Copies, then removes the object from its screen.
    static void pasteboardCutObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    // The objects on the clipboard (new ids, no screen yet); empty when it holds none.
    static std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> pasteboardReadObjects();
    // The same read from any data in the pasteboard format, such as a drag's own data. Each copy knows the id
    // of the object it was copied from (idOfOriginalMMObj).
    static std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> readObjectsFromMimeData(const QMimeData* data);

    virtual int type() const { return None; }
    // For an object read from the clipboard: the id of the object it is a copy of; empty otherwise. Not saved.
    QString idOfOriginalMMObj() const { return m_idOfOriginalMMObj; }
    void setIdOfOriginalMMObj(const QString& internalID) { m_idOfOriginalMMObj = internalID; }
    std::shared_ptr<ZERI_MixedMediaObjectProxy> proxy() const { return m_proxy.lock(); }
    ObjectUpdateNotifier& updateNotifier() override;

    // An independent copy (same id unless `freshIdentifiers`, which also renews its assets' ids), unparented,
    // through a proxy of its own.
    std::shared_ptr<ZERI_MixedMediaObjectProxy> copy(bool freshIdentifiers) const;

    QRectF frame() const { return m_frame; }
    // Ignores an equal rectangle and one with non-finite numbers or a negative size.
    void setFrame(const QRectF& frame);
    // Model points per pixel of the original image; none for objects without an image.
    std::optional<double> zoomScale() const { return m_zoomScale; }
    void setZoomScale(std::optional<double> zoomScale);
    // The visible region's top-left corner measured from the zoomed image's top-left corner, in points.
    QSizeF zoomOffset() const { return m_zoomOffset; }
    void setZoomOffset(const QSizeF& zoomOffset);
    // Clockwise quarter turns; odd counts exchange width and height.
    int rotation() const { return m_rotation; }
    void setRotation(int rotation);

    std::shared_ptr<ZERI_MMAction> action() const { return m_action; }
    void setAction(const std::shared_ptr<ZERI_MMAction>& action);
    // Image, text and shape objects can carry a link action.
    bool isLinkable() const;
    virtual QString text() const { return {}; }

    std::shared_ptr<ZERI_ContentAsset> originalImageAsset() const { return m_originalImageAsset; }
    void setOriginalImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    std::shared_ptr<ZERI_ContentAsset> croppedImageAsset() const { return m_croppedImageAsset; }
    // Replaces the reference only; the old file's fate (and its server copy's) is the storage layer's.
    void setCroppedImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    std::shared_ptr<ZERI_ContentAsset> retinaCroppedImageAsset() const { return m_retinaCroppedImageAsset; }
    void setRetinaCroppedImageAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    std::shared_ptr<ZERI_ContentAsset> videoAsset() const { return m_videoAsset; }
    void setVideoAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    std::shared_ptr<ZERI_ContentAsset> pdfAsset() const { return m_pdfAsset; }
    void setPdfAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    std::shared_ptr<ZERI_ContentAsset> audioAsset() const { return m_audioAsset; }
    void setAudioAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    // The asset holding the object's media file: video, PDF or audio.
    std::shared_ptr<ZERI_ContentAsset> downloadableAsset() const;

    // Draws the object into `context`, whose coordinates are screen points times `scale`: its cropped picture
    // (the retina one above scale 1) over frame × scale, or, for an object with no picture, a 1-point grey
    // outline when `drawBordersForBlankObjects`. Text and shape objects draw their own way. Safe on any thread
    // while nobody edits the object. Pictures not decoded yet are decoded off the main thread, or on it with
    // `ignoreThreadSafety`; otherwise the main thread draws only pictures already decoded.
    virtual void drawOnContext(QPainter* context, double scale, const QSizeF& contextSize,
                               bool drawBordersForBlankObjects, bool ignoreThreadSafety) const;

    // Made empty on first use.
    std::shared_ptr<QVB_GalleryAssetManager> galleryAssetManager();
    std::shared_ptr<QVB_GalleryAssetManager> existingGalleryAssetManager() const { return m_galleryAssetManager; }
    void setGalleryAssetManager(const std::shared_ptr<QVB_GalleryAssetManager>& manager);

protected:
    void appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const override;
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;
    ObjectUpdateNotifier* existingUpdateNotifier() const override;

    // Type-specific members of the dictionary form.
    virtual void writeTypeProperties(QJsonObject&) const {}
    virtual void readTypeProperties(const ModelJsonReader&, ChangedKeys&) {}

    // A visible change: the parent screen's preview must be redrawn.
    void invalidateScreenPreview();

private:
    friend class ZERI_MixedMediaObjectProxy;
    void setAsset(std::shared_ptr<ZERI_ContentAsset>& member, const std::shared_ptr<ZERI_ContentAsset>& asset,
                  const QString& key);
    void readAsset(const ModelJsonReader& reader, const QString& key, std::shared_ptr<ZERI_ContentAsset>& member,
                   ChangedKeys& changedKeys);

    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_proxy;
    QString m_idOfOriginalMMObj;
    QRectF m_frame;
    std::optional<double> m_zoomScale;
    QSizeF m_zoomOffset{0, 0};
    int m_rotation = 0;
    std::shared_ptr<ZERI_MMAction> m_action;
    std::shared_ptr<ZERI_ContentAsset> m_originalImageAsset;
    std::shared_ptr<ZERI_ContentAsset> m_croppedImageAsset;
    std::shared_ptr<ZERI_ContentAsset> m_retinaCroppedImageAsset;
    std::shared_ptr<ZERI_ContentAsset> m_videoAsset;
    std::shared_ptr<ZERI_ContentAsset> m_pdfAsset;
    std::shared_ptr<ZERI_ContentAsset> m_audioAsset;
    std::shared_ptr<QVB_GalleryAssetManager> m_galleryAssetManager;
};
