#pragma once

#include <memory>
#include <vector>

#include <QKeyCombination>
#include <QPointer>

#include "controls/ViewController.h"
#include "platform/NotificationCenter.h"
#include "viewer/QVR_GalleryViewerView.h"
#include "viewer/QVR_PDFViewerView.h"
#include "viewer/QVR_TessarineViewerView.h"

class QPushButton;
class ZERI_MixedMediaObjectProxy;

// The controller around the presentation player: it owns the player, the left and right page buttons and the
// modal views opened over the player (galleries and PDFs). Keys pressed in the player, or in a modal view it
// owns, arrive as "TessarineViewerViewKeyDownNotificationName" posts and page the player, open the front-most
// openable object of the screen or close the modal view.
//
// Link clicks count only when posted with the controller's window as sender. Main thread only.
class QVRViewerViewController : public ViewController, public TessarineViewerViewDelegate {
    Q_OBJECT
public:
    static const QString kDidChangePageNotification; // "QVOViewerDidChangePageNotification"

    explicit QVRViewerViewController(QObject* parent = nullptr);
    ~QVRViewerViewController() override;

    QVR_TessarineViewerView* viewerView();
    std::shared_ptr<ZERI_TessarineModel> tessarineModel();
    QPushButton* leftButton();
    QPushButton* rightButton();

    // Escape's first claim: the host pops an embedded flow when it can. Answers whether it did.
    void setEscapeHandler(std::function<bool()> handler) { m_escapeHandler = std::move(handler); }

    void navigationButtonPressed(QObject* sender);
    void openFirstOpenableObject();
    void openGalleryObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void playPDFWithPDFObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object);
    void dismissAnyModalView();
    void dismissGalleryView();
    void dismissPDFView();
    bool isModalViewShown() const;
    void updateArrows();

    QVR_GalleryViewerView* galleryViewerView() const { return m_galleryViewerView; }
    QVR_PDFViewerView* pdfViewerView() const { return m_pdfViewerView; }

    // TessarineViewerViewDelegate
    void tessarineViewerWillScrollToLastPage() override;
    void tessarineViewerWillScrollToFirstPage() override;
    void tessarineViewerWillScrollAwayFromLastPage() override;
    void tessarineViewerWillScrollAwayFromFirstPage() override;
    void tessarineViewerDidFinishAutoplay(QVR_TessarineViewerView* viewer) override;

signals:
    void currentPage(int page);
    void autoAdvancePaused(bool paused);
    void autoplayFinished();

protected:
    void loadView() override;

private:
    void globalKeyDown(const Notification& notification);
    void galleryPressed(const Notification& notification);
    void pdfLinkPressed(const Notification& notification);
    bool isFromOwnWindow(const Notification& notification);
    void placeModalView(QWidget* modal);
    void observeModalKeys(QWidget* modal);

    QPointer<QVR_TessarineViewerView> m_viewerView;
    QPointer<QPushButton> m_leftButton;
    QPointer<QPushButton> m_rightButton;
    QPointer<QVR_GalleryViewerView> m_galleryViewerView;
    QPointer<QVR_PDFViewerView> m_pdfViewerView;
    std::function<bool()> m_escapeHandler;
    std::vector<NotificationObservation> m_observations;
    NotificationObservation m_modalKeyObservation;
};
