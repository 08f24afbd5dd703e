#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

class QMimeData;
class QWidget;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;
class ZERI_TessarineModel;

// Turning clipboard or drag contents into objects on a screen: the content addition registers itself here.
// Until it does, shared() is null: the window's paste stays disabled, objects dropped on a thumbnail are refused
// with a log line, and no document counts as busy. Main thread only.
class CreatorContentAddition {
public:
    // Called once on the main thread with the objects that joined the screen (none after a failure or a cancel).
    using Done = std::function<void(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& added)>;

    virtual ~CreatorContentAddition() = default;

    // The clipboard formats an addition reads, in order of preference.
    virtual QStringList supportedPasteboardTypes() const = 0;
    // Adds what `data` holds to `screen` as one undo step, cancelled when it fails; `data` is read during the
    // call. The addition shows every outcome alert over `window`.
    virtual void addObjectsFromMimeData(const QMimeData* data, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                        bool isDragOperation, QWidget* window, Done done) = 0;
    // Whether an addition runs on the document. The addition calls postBusyChanged when one starts and ends.
    virtual bool isAddingContent(const std::shared_ptr<ZERI_TessarineModel>& document) const = 0;

    // Posted (sender: the document) when an addition on it starts or ends; the toolbars follow it.
    static const QString kBusyChangedNotification; // "CreatorContentAdditionBusyChanged"
    static void postBusyChanged(const std::shared_ptr<ZERI_TessarineModel>& document);
    static void postBusyChanged(const ZERI_TessarineModel* document);

    // Replaces the registered addition (null unregisters).
    static void registerAddition(std::shared_ptr<CreatorContentAddition> addition);
    static std::shared_ptr<CreatorContentAddition> shared();
};

// Whether the shown board of a creator window is cropping an image: undo and redo wait for the crop to end. The
// crop mode registers its query; until then nothing crops.
struct CreatorCropState {
    static void setQuery(std::function<bool(const QWidget* board)> query);
    static bool isCropping(const QWidget* board);
};
