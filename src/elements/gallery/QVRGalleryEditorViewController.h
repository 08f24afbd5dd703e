#pragma once

#include <memory>
#include <vector>

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include "controls/NavigationController.h" // complete type for the page base class
#include "controls/NavigationControllerFriendlyViewController.h"
#include "elements/gallery/GalleryEditorDelegate.h"
#include "elements/gallery/QVRGalleryEditorCollectionView.h"

class GalleryEditorArrayController;
class QLabel;
class QProgressBar;
class QPushButton;
class QVRGalleryEditorView;
class ZERI_ContentAsset;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;

// The gallery editor: the images of a gallery in a grid, where the author adds images (chosen files, dropped
// files, dropped image elements), reorders and deletes them, then saves or cancels.
//
// Every edit goes to a working copy of the gallery (an independent object made from the gallery's dictionary,
// whose parent is the gallery's screen, so its assets have the document's asset folder). The document changes only
// when the delegate applies the working copy after Save.
//
// An added image puts its three assets (full-sized, low quality, thumbnail) and an empty caption into the working
// copy at once, at one index, so the four arrays and the grid stay parallel. Its file is checked, decoded and
// made into the two smaller PNGs (0.3 of its size) on a worker, and the three files are stored into the asset
// folder off the main thread; the editor is busy (Save disabled, spinner running) until the last store ends. An
// image that cannot be read, decoded or stored leaves the grid and the working copy again, and one alert per
// addition names the files that failed.
//
// Files: each file the editor stores is counted (AssetFileReferences) so that nothing deletes it while the editor
// runs. When the editing ends, once the delegate has returned, the stores still running are cancelled and every
// stored file that the document does not use is deleted. Late callbacks of workers and stores find the editor
// ended (or gone) and do nothing.
//
// Main thread only.
class QVRGalleryEditorViewController : public NavigationControllerFriendlyViewController,
                                       public GalleryEditorCollectionViewContentDelegate {
    Q_OBJECT
public:
    // The index that adds at the end (opening, Choose Images); a drop gives a real index, 0 being the front.
    static constexpr int kAppend = -1;

    // `gallery`: the gallery element to edit, or nullptr for a new gallery. `screen`: the screen the editor is
    // opened on; it becomes the working copy's parent when the gallery has none.
    explicit QVRGalleryEditorViewController(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery,
                                            const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                            QObject* parent = nullptr);
    ~QVRGalleryEditorViewController() override;

    // Gives `gallery` the working copy's images as one undoable change of its flow, whose user info names the
    // gallery's screen ("screenToPageTo"). Nothing (false, no undo step) when the images are unchanged, or when the
    // gallery is no longer on a screen of a flow.
    static bool applyEditedGallery(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& gallery,
                                   const std::shared_ptr<ZERI_MixedMediaObjectProxy>& workingCopy);

    // Not owned.
    void setDelegate(GalleryEditorDelegate* delegate) { m_delegate = delegate; }
    GalleryEditorDelegate* delegate() const { return m_delegate; }

    std::shared_ptr<ZERI_MixedMediaObjectProxy> mixedMediaObject() const { return m_mixedMediaObject; }
    std::shared_ptr<ZERI_MixedMediaObjectProxy> workingMixedMediaObject() const { return m_workingMixedMediaObject; }
    GalleryEditorArrayController* imagesArray() const { return m_arrayController; }
    int numberOfDataItemsBeingStored() const { return m_numberOfDataItemsBeingStored; }
    // Not busy, and at least one image: Save is possible.
    bool isReadyToSave() const;
    bool hasEnded() const;

    QLabel* titleLabel();
    QPushButton* chooseImagesButton();
    QPushButton* cancelButton();
    QPushButton* saveButton();
    QVRGalleryEditorCollectionView* collectionView();
    QProgressBar* spinner();

    void saveButtonPressed();
    void cancelButtonPressed();
    void choseImageButtonPressed();

    // Adds the original pictures of image elements (local files only) at `index`, in order.
    void galleryEditorCollectionViewWantsToAddImagesFromMixedMediaObjects(
        const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects, int index);
    // Adds the image files among `urls` at `index` (kAppend or past the end: at the end), in order: local files,
    // and pictures on the web (http or https, named as an image), which are fetched into the temporary folder
    // first; their tiles take their place at once.
    void galleryEditorCollectionViewWantsToAddImagesFromURLs(const QList<QUrl>& urls, int index);
    void galleryEditorWantsToDeleteObjectsAtIndexes(const QList<int>& indexes) override;
    void galleryEditorCollectionViewAcceptDrop(const QMimeData* data, int index, bool isMoveOfSelection) override;
    // Save is enabled and takes Return when ready; otherwise Choose Images takes it.
    void enableDoneButtonIfDoneProcessingDataItems();

    // Extensions (lower case, no dot) of the image files the editor takes.
    static QStringList supportedImageExtensions();
    // A local file (not a folder) whose extension names an image type the editor can read.
    static bool isImportableImageFile(const QString& path);
    // An http or https address whose file name has such an extension.
    static bool isImportableWebImage(const QUrl& url);

signals:
    // Busy count or content changed (tests and the spinner follow it).
    void stateChanged();

protected:
    void loadView() override;

private:
    struct Session;
    struct PendingImage;
    struct Batch;

    void fillFromGallery();
    void addImages(const QList<QUrl>& sources, int index);
    void prepareImage(const std::shared_ptr<PendingImage>& image);
    void webImageDownloadEnded(const std::shared_ptr<PendingImage>& image, bool onDisk);
    void imagePrepared(const std::shared_ptr<PendingImage>& image, const QByteArray& png, const QString& failure);
    void storeFinished(const std::shared_ptr<PendingImage>& image, const std::shared_ptr<ZERI_ContentAsset>& asset,
                       const QString& failure);
    void imageFinished(const std::shared_ptr<PendingImage>& image);
    void removeImageOf(const std::shared_ptr<PendingImage>& image);
    void discardStoredFilesOf(const std::shared_ptr<PendingImage>& image);
    void changeBusyCount(int delta);
    void endEditing(bool cancelled);
    void defaultButtonPressed();

    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_mixedMediaObject;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_workingMixedMediaObject;
    GalleryEditorDelegate* m_delegate = nullptr;
    GalleryEditorArrayController* m_arrayController = nullptr;
    int m_numberOfDataItemsBeingStored = 0;
    std::shared_ptr<Session> m_session;
    // Added pictures still being fetched from the web.
    std::vector<std::shared_ptr<PendingImage>> m_downloadingImages;

    QPointer<QVRGalleryEditorView> m_view;
    QPointer<QLabel> m_titleLabel;
    QPointer<QPushButton> m_chooseImagesButton;
    QPointer<QPushButton> m_cancelButton;
    QPointer<QPushButton> m_saveButton;
    QPointer<QVRGalleryEditorCollectionView> m_collectionView;
    QPointer<QProgressBar> m_spinner;
};
