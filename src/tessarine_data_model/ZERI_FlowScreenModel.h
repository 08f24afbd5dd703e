#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QColor>
#include <QMutex>
#include <QSizeF>

#include "tessarine_data_model/TessarineDataModelItem.h"

class ScreenPreviewProvider;
class ZERI_ContentAsset;
class ZERI_FlowScreenBackgroundModel;
class ZERI_MixedMediaObjectProxy;

// One screen of a flow: a canvas of screenSize() points (the flow's view size, 1024 × 748 by default) with a
// background and its objects in stacking order, index 0 at the back. Its parent is its ZERI_FlowModel.
//
// previewInvalidated is set by visible changes made through setters (objects added, removed, moved, cropped,
// restyled; background colour), never while the screen is read from its dictionary. The preview assets may be
// set from any thread; they are kept under a lock of their own.
class ZERI_FlowScreenModel : public TessarineDataModelItem {
public:
    ZERI_FlowScreenModel();
    ~ZERI_FlowScreenModel() override;

    // A new empty screen with a new id.
    static std::shared_ptr<ZERI_FlowScreenModel> create();
    // nullptr (with `error`) when a value has the wrong kind; objects of unknown type are skipped and logged.
    static std::shared_ptr<ZERI_FlowScreenModel> initWithDict(const QJsonObject& dict, Error* error = nullptr);
    // An independent copy, unparented. With `freshIdentifiers` the screen, its objects and their assets get new ids.
    std::shared_ptr<ZERI_FlowScreenModel> copy(bool freshIdentifiers) const;
    // A copy with fresh identifiers for `document` (a screen chosen from another document, such as a theme's):
    // every local asset file outside the document's asset folder gets a name of its own there (a hard link, or a
    // copy where the file system cannot link), so the document never depends on another package's files. A file
    // that can be neither linked nor copied keeps its place (logged). Unparented; nullptr without a screen.
    static std::shared_ptr<ZERI_FlowScreenModel>
    getScreenModelCopyAndHardLinkFiles(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                       const std::shared_ptr<ZERI_TessarineModel>& document);
    // A copy to draw on another thread while this screen goes on being edited: the screen (same ids) in a
    // throw-away document that never saves, inside a flow of this screen's view size, with the document's theme
    // flag and asset folder. The returned pointer keeps that document alive. nullptr when the screen cannot be
    // copied. Main thread; release the copy on the main thread too.
    std::shared_ptr<ZERI_FlowScreenModel> drawingCopy() const;

    const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& mixedMediaObjects() const { return m_objects; }
    void addMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    // Index 0 is the back; an index beyond the count appends.
    void insertMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, qsizetype index);
    // Removes and unparents the object, cancelling a queued re-encoding of its video.
    void removeMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    qsizetype indexOfMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> mixedMediaObjectWithID(const QString& internalID) const;

    // True when an object in front of (behind) it in the stacking order overlaps its frame.
    bool mixedMediaObjectCanMoveForward(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const;
    bool mixedMediaObjectCanMoveBackward(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object) const;
    // Moves the object just above (below) the nearest overlapping object in front of (behind) it; nothing when
    // there is none.
    void placeObjectAboveNextObjectInFrontOfIt(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void placeObjectBelowNextObjectBehindIt(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);

    std::shared_ptr<ZERI_FlowScreenBackgroundModel> backgroundModel() const { return m_background; }
    // Invalid: none. Reported as "backgroundColor".
    QColor backgroundColor() const;
    void setBackgroundColor(const QColor& color);
    QColor observableColor() const { return backgroundColor(); }
    // The side menu's colour outlet: sets the background colour as one undoable change.
    void colorOutletEditedWithColor(const QColor& color);

    QSizeF screenSize() const;

    // Empty: none.
    QString presenterNotes() const { return m_presenterNotes; }
    void setPresenterNotes(const QString& notes);
    void bigTextFieldOutletTextEditedWithText(const QString& text) { setPresenterNotes(text); }
    // Seconds; none: the flow's setting.
    std::optional<double> autoAdvanceSlideDuration() const { return m_autoAdvanceSlideDuration; }
    void setAutoAdvanceSlideDuration(std::optional<double> seconds);
    // 0 slide, 1 flow, 2 fade, 3 none; none: the flow's setting.
    std::optional<int> autoAdvanceTransitionType() const { return m_autoAdvanceTransitionType; }
    void setAutoAdvanceTransitionType(std::optional<int> transitionType);

    bool previewInvalidated() const;
    void setPreviewInvalidated(bool invalidated);
    std::shared_ptr<ZERI_ContentAsset> previewScreenShotAsset() const;
    std::shared_ptr<ZERI_ContentAsset> previewScreenShotAsset_textless() const;
    // Any thread. Clears previewInvalidated; the change is reported on the main thread (waiting for it when
    // called from another thread).
    void setPreviewScreenShotAsset(const std::shared_ptr<ZERI_ContentAsset>& asset);
    void setPreviewScreenShotAsset_textless(const std::shared_ptr<ZERI_ContentAsset>& asset);

    // Asks the preview provider for new previews unless already fetching ("gettingScreenPreview"). When they
    // are ready, decodes both off the main thread and then, on the main thread, clears the flag and posts
    // "ZERI_FlowScreenModelPreviewScreenshotGetNotification" (object: the screen) with the QImages under
    // "PreviewScreenImageRef" and "PreviewScreenImageRef_textless" (absent when missing). Nothing when the screen
    // is gone by then.
    void getScreenPreviewImages();
    void cancelGetScreenPreviewImages();
    bool gettingScreenPreview() const { return m_gettingScreenPreview; }

    // Tab "Screen": "Color Picker" and "Big Text Field" outlets; other kinds: empty; other tabs: nothing.
    std::optional<QList<QVariantMap>> getSetupDictionaryArrayForOutletType(const QString& outletType,
                                                                           const QString& tabType) override;

    static const QString kPreviewScreenshotGetNotification;

protected:
    void appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const override;
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    void adoptObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void objectsChanged();
    // Tells the saving document's package that `old` is no longer one of the screen's previews.
    void letPreviewGo(const std::shared_ptr<ZERI_ContentAsset>& old, const std::shared_ptr<ZERI_ContentAsset>& by);
    void setPreviewAsset(std::shared_ptr<ZERI_ContentAsset>& member, const std::shared_ptr<ZERI_ContentAsset>& asset,
                         const QString& key, bool clearsInvalidated);
    void readPreviewAsset(const ModelJsonReader& reader, const QString& key, std::shared_ptr<ZERI_ContentAsset>& member,
                          ChangedKeys& changedKeys);

    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> m_objects;
    std::shared_ptr<ZERI_FlowScreenBackgroundModel> m_background;
    QString m_presenterNotes;
    std::optional<double> m_autoAdvanceSlideDuration;
    std::optional<int> m_autoAdvanceTransitionType;
    bool m_previewInvalidated = false;
    mutable QMutex m_previewLock;
    mutable QMutex m_previewTextlessLock;
    std::shared_ptr<ZERI_ContentAsset> m_previewAsset;
    std::shared_ptr<ZERI_ContentAsset> m_previewAssetTextless;
    bool m_gettingScreenPreview = false;
    std::unique_ptr<ScreenPreviewProvider> m_previewProvider;
};
