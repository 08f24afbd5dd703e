#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include "creator/addition/QVRContentAdditionProgressView.h"
#include "platform/Error.h"
#include "storage/ContentAssetStorage.h"

class QMimeData;
class QWidget;
class QVRDataItem;
class VideoAssetCompressorPreset;
class ZERI_ContentURLDownloaderDataProcessor;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_MixedMediaObjectProxy;
class ZERI_TessarineModel;

// Turns what the user pastes, drops or picks into objects on one screen: the program's own copied objects,
// styled text, picture data, local files of pictures, movies, PDFs and sounds, and web addresses of such files
// (fetched through the shared downloader, within its size and idle bounds). The whole addition is one
// undo step on the screen's flow ("Add Media"); it is rolled back when nothing could be added, when it fails
// or when it is cancelled, and this addition's new files go with it.
//
// One addition runs per document at a time, whichever manager started it: a second one gets error 3 at once.
// File checks, picture encoding and file imports run on workers; the window keeps working meanwhile. After half a
// second a strip at the foot of the host view shows the progress with a cancel button (Escape cancels too).
//
// Outcome alerts (nothing usable, refused files) are shown here; callers show none. Main thread only.
class QVRContentAdditionManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* errorDomain = "com.tessarine.QVRContentAdditionManagerErrorDomain";
    // 1: nothing could be added; 2: cancelled; 3: another addition is running on the document.
    enum ErrorCode { NothingAdded = 1, Cancelled = 2, AlreadyAdding = 3 };

    using Objects = std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>;
    using ProgressBlock = std::function<void(double fraction)>;
    // The objects made from files, picture data and copied objects (not pasted text); none after an error.
    using DoneBlock = std::function<void(const Objects& added, const Error& error)>;
    using PresetBlock = std::function<void(const std::shared_ptr<VideoAssetCompressorPreset>& preset)>;
    using PresetChooser = std::function<void(QWidget* window, PresetBlock done)>;

    explicit QVRContentAdditionManager(QObject* parent = nullptr);
    // Cancels a running addition (its done block still runs).
    ~QVRContentAdditionManager() override;

    // The clipboard and drag formats an addition can use, in order of preference.
    static QStringList supportedPasteboardTypes();
    static bool canAddFromMimeData(const QMimeData* data);
    // True while an addition runs on the document.
    static bool isAddingToDocument(const ZERI_TessarineModel* document);
    // For additions made elsewhere (a new gallery, a web video): marks the document busy as a running addition
    // does. False (nothing marked) when something is already being added to it.
    static bool beginOtherAddition(const ZERI_TessarineModel* document);
    static void endOtherAddition(const ZERI_TessarineModel* document);

    // Everything is read from `data` during the call (a drop's data goes with its event). Picture data comes before
    // web addresses: a picture dragged from a web page carries both.
    void addObjectsFromMimeData(const QMimeData* data, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                bool isDragOperation, ProgressBlock onProgress, DoneBlock onDone);
    // After pasting its own objects, the clipboard is given fresh copies of the pasted ones, so that the next paste
    // lands 20 points further on rather than on top of this one.
    void addObjectsFromPasteboard(const std::shared_ptr<ZERI_FlowScreenModel>& screen, ProgressBlock onProgress,
                                  DoneBlock onDone);
    void addObjectsFromFileURLs(const QList<QUrl>& urls, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                ProgressBlock onProgress, DoneBlock onDone);
    void cancel();
    bool isAdding() const { return m_adding; }

    // Where the first object this manager ever places is centred; none by default.
    std::optional<QPointF> proposedItemCenter() const { return m_proposedItemCenter; }
    void setProposedItemCenter(std::optional<QPointF> center) { m_proposedItemCenter = center; }

    // The view whose foot shows the progress strip and whose window owns the chooser and the alerts.
    void setHostView(QWidget* view) { m_hostView = view; }
    QWidget* hostView() const { return m_hostView; }
    QVRContentAdditionProgressView* progressView() const { return m_progressView; }

    // Tests: the video preset chooser (default: the compression chooser) and the strip's delay (500 ms).
    static void setPresetChooserForTesting(PresetChooser chooser);
    static void setStripDelayForTesting(int milliseconds);

signals:
    void additionStarted();
    void additionEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Refusal {
        QString name;
        QString reason;
    };
    struct PendingItem {
        std::shared_ptr<QVRDataItem> item;
        QString name;
        qint64 bytes = 0;
        QUrl webAddress; // where a fetched item came from
    };
    struct PastedFile; // one asset file of a copied object
    struct Pasted;     // one copied object and its files
    struct Contents;   // what was read from the clipboard or drop, or the chosen files
    struct Prepared;   // the workers' answer: checked files, encoded picture

    static std::shared_ptr<Contents> readMimeData(const QMimeData* data, bool isDragOperation);
    void start(std::shared_ptr<Contents> contents, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
               ProgressBlock onProgress, DoneBlock onDone);
    void prepared(const std::shared_ptr<Contents>& contents, const Prepared& prepared);
    void addPastedAttributedStrings(const std::vector<QString>& htmlOrText, bool isHtml);
    void addNextPastedObject();
    void startAddingDataItems();
    void addNextObject();
    void fetchThenAdd(const PendingItem& pending);
    void addObject(const PendingItem& pending);
    void copyPastedObjectsToClipboardThenFinish();
    void objectSetUpFinished(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, const PendingItem& item,
                             const Error& error);
    void placeObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, const PendingItem& item);
    void objectPlaced(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, const PendingItem& item);
    void offsetPastedObjectIfNeeded(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void reportProgress(double bytesDone);
    void finish(int errorCode);
    void showOutcomeAlert(int errorCode, bool invalidPaste);
    QWidget* chooserWindow() const;
    void startStrip();
    void stopStrip();

    // Per addition.
    bool m_adding = false;
    bool m_cancelled = false;
    bool m_changeOpen = false;
    bool m_invalidPaste = false;
    // What the addition waits for: a cancel ends it at once while files are checked or fetched, the chooser is up
    // or an object is set up; an import of pasted files, a picture or the clipboard's new copies is let finish
    // first.
    enum class Waiting { Nothing, Checks, Chooser, PastedImport, Download, SetUp, Pictures, Copies };
    Waiting m_waiting = Waiting::Nothing;
    quint64 m_generation = 0;
    std::shared_ptr<ZERI_FlowScreenModel> m_screen;
    std::shared_ptr<ZERI_FlowModel> m_flow;
    std::shared_ptr<ZERI_TessarineModel> m_document;
    ProgressBlock m_onProgress;
    DoneBlock m_onDone;
    Objects m_addedObjs;
    Objects m_addedTexts;
    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_processing;
    std::shared_ptr<ZERI_ContentURLDownloaderDataProcessor> m_download;
    // Copied objects read from the clipboard (empty for a drop), and the ones of them pasted so far.
    QByteArray m_clipboardObjects;
    Objects m_pastedObjs;
    std::deque<std::shared_ptr<Pasted>> m_pasted;
    std::deque<PendingItem> m_items;
    QList<Refusal> m_refusals;
    std::shared_ptr<VideoAssetCompressorPreset> m_videoCompressionPreset;
    double m_mmobjNextX = 10.0;
    double m_mmobjNextY = 10.0;
    qint64 m_totalBytes = 0;
    qint64 m_doneBytes = 0;
    double m_reportedFraction = 0.0;
    std::shared_ptr<ContentAssetStorage::Operation> m_importOperation;

    // Per manager.
    bool m_firstItemPlaced = false;
    std::optional<QPointF> m_proposedItemCenter;
    QPointer<QWidget> m_hostView;
    QPointer<QVRContentAdditionProgressView> m_progressView;
    QTimer m_stripTimer;
};
