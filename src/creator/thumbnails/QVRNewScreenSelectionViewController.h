#pragma once

#include <memory>

#include <QPointer>
#include <QProgressBar>
#include <QScrollArea>
#include <QPushButton>

#include "controls/ViewController.h"
#include "service/QVBPrecacheManager.h"

class QVRThumbnailController;
class QVRThumbnailObject;
class ZERI_FlowModel;

// A tile's button: a flat, title-less button over the tile standing for one thumbnail object. It takes the
// keyboard (Space, Return and Enter pick it) and shows a ring while it has it.
class QVR_NewScreenSelectionButton : public QPushButton {
    Q_OBJECT
public:
    explicit QVR_NewScreenSelectionButton(QVRThumbnailObject* object, QWidget* parent = nullptr);
    QVRThumbnailObject* object() const { return m_object; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<QVRThumbnailObject> m_object;
};

// The chooser of a new screen: a grid of the screens of a theme's sample document, then those of the blank theme
// ("10"), shown once the theme's assets are on disk. The first pick posts "NEW_SCREEN_MODEL_INSERTION_NOTIFICATION"
// (sender: this controller's view; "screenModel": the chosen screen as a ModelItemRef); later picks do nothing.
class QVRNewScreenSelectionViewController : public ViewController, public QVBPrecacheManagerDelegate {
    Q_OBJECT
public:
    static constexpr int kPrecacheOptions = 6;
    static constexpr QSize kPreviewSize{400, 300};
    static constexpr int kTileMargin = 6;

    explicit QVRNewScreenSelectionViewController(const QString& templateId, QObject* parent = nullptr);
    ~QVRNewScreenSelectionViewController() override;

    QString templateId() const { return m_templateId; }
    std::shared_ptr<ZERI_FlowModel> flowmodel() const { return m_flowmodel; }
    void setFlowmodel(const std::shared_ptr<ZERI_FlowModel>& flow);
    QVRThumbnailController* thumbnailController() const { return m_thumbnailController; }
    QVBPrecacheManager& precacheManagerInstance() { return m_precacheManager; }
    bool selectionHappened() const { return m_selectionHappened; }

    QList<QVR_NewScreenSelectionButton*> tileButtons() const;
    QProgressBar* progressBar() const { return m_progressBar; }
    // The determinate progress (0 to 1); −1 while busy without a measure, and once stopped.
    double progressValue() const { return m_progressValue; }
    bool isProgressBusy() const;

    void themeDocumentDidFinishDownloading();
    void screenSelectedWithObject(QVRThumbnailObject* object);

    // QVBPrecacheManagerDelegate
    void precacheManagerStartedLoad(QVBPrecacheManager* manager) override;
    void precacheManager(QVBPrecacheManager* manager, quint64 downloadedBytesSoFar, quint64 totalBytes,
                         int downloadedObjectsSoFar, int totalObjects) override;
    void precacheManagerDoneCaching(QVBPrecacheManager* manager) override;
    void precacheManagerFailedTooManyTimes(QVBPrecacheManager* manager) override;

protected:
    void loadView() override;
    // The arrows move the keyboard among the tiles, row by row; shown, the first tile takes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusFirstTile();
    std::shared_ptr<ZERI_FlowModel> blankThemeFlow() const;
    void fillThumbnails();
    void stopProgress();
    void rebuildTiles();

    QString m_templateId;
    std::shared_ptr<ZERI_FlowModel> m_flowmodel;
    QVRThumbnailController* m_thumbnailController = nullptr;
    QVBPrecacheManager m_precacheManager;
    QPointer<QProgressBar> m_progressBar;
    QPointer<QScrollArea> m_scrollArea;
    QPointer<QWidget> m_grid;
    QList<QPointer<QVR_NewScreenSelectionButton>> m_buttons;
    double m_progressValue = -1;
    bool m_selectionHappened = false;
    bool m_waitingForDownload = false;
};
