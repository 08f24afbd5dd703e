#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QColor>
#include <QPointer>
#include <QSemaphore>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include "elements/gallery/GalleryEditorDelegate.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"

class QVRGalleryEditorViewController;
class SheetLikePanelViewController;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;
class ZERI_TessarineModel;
class ZERI_qvdFilePackage;

// A saved document with one screen in a package of its own, under private Application Support and temporary
// folders, with the recording file chooser and alert presenter registered.
class GalleryTestDocument {
public:
    GalleryTestDocument();
    ~GalleryTestDocument();

    QString assetsPath() const;
    // Names of the files in the asset folder.
    QStringList assetFiles() const;
    // A folder outside the document for files the author picks.
    QString pickedFolder() const { return m_picked.path(); }

    // A gallery of `count` images on the screen: each has a full-sized PNG, low-quality and thumbnail assets
    // pointing at a small PNG, and the caption "c<k>". The assets of `blankImage` have no address.
    std::shared_ptr<ZERI_MixedMediaObjectProxy> addGallery(int count, int blankImage = -1);

    std::shared_ptr<ZERI_TessarineModel> document;
    std::shared_ptr<ZERI_FlowModel> flow;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    RecordingFileChooser chooser;
    RecordingAlertPresenter alerts;

private:
    QTemporaryDir m_support;
    QTemporaryDir m_temporary;
    QTemporaryDir m_picked;
};

// The canvas's part: applies an edited gallery, or adds a new one to the screen in a step of its own.
class FakeGalleryDelegate : public GalleryEditorDelegate {
public:
    void galleryEditorEndedEditing(bool cancelled,
                                   const std::shared_ptr<ZERI_MixedMediaObjectProxy>& workingCopy) override;

    std::shared_ptr<ZERI_MixedMediaObjectProxy> gallery; // the gallery being edited, or none for a new one
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    std::function<void()> beforeApplying; // the canvas dismisses its panel first
    int calls = 0;
    bool lastCancelled = false;
    bool applied = false;
};

// An editor shown in the dark panel in a plain window, as the canvas shows it.
struct HostedEditor {
    HostedEditor(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery,
                 const std::shared_ptr<ZERI_FlowScreenModel>& screen, GalleryEditorDelegate* delegate);
    ~HostedEditor();

    QWidget window;
    SheetLikePanelViewController* panel = nullptr;
    QPointer<QVRGalleryEditorViewController> editor;
};

// Holds every one of the shared worker threads (where stores run) until released.
class SharedWorkersBlocker {
public:
    SharedWorkersBlocker();
    ~SharedWorkersBlocker();
    void release();

private:
    std::shared_ptr<QSemaphore> m_gate;
    int m_threads = 0;
    bool m_released = false;
};

bool writePng(const QString& path, const QSize& size, const QColor& color);
bool writeJpeg(const QString& path, const QSize& size, const QColor& color);
QByteArray fileBytes(const QString& path);
// Waits until the editor stores nothing and every tile it adds is settled.
bool waitUntilIdle(QVRGalleryEditorViewController& editor, int timeoutMs = 10000);
// The gallery's images, in order, named by the file they were added from, else by their full-sized file ("-"
// without one).
QStringList imageNames(const ZERI_MixedMediaObjectProxy& gallery);
QStringList captions(const ZERI_MixedMediaObjectProxy& gallery);
// Sizes of the arrays full-sized, low quality, thumbnail, captions.
std::vector<size_t> arraySizes(const ZERI_MixedMediaObjectProxy& gallery);
