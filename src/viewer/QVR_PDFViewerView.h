#pragma once

#include <memory>

#include <QColor>
#include <QPointer>

#include "controls/QVR_ModalViewWithCloseButton.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class FittingPanelArea;
class QAbstractButton;
class QPdfDocument;
class QScrollArea;
class TrackedEmailComposer;
class ZERI_MixedMediaObjectProxy;
class ZERI_WebDownloader;

// A PDF object's document over the whole player, its pages stacked in one continuous column fitted to the width,
// page 1 at the top. Pages are rendered to pictures on worker threads at the shown width and pixel ratio; the
// pages in view and their neighbours are rendered ahead, and at most kMaxKeptImages pictures are kept. A file that
// is not on disk yet is downloaded and the document loads when it lands; a file that is no PDF shows nothing.
//
// The scroll area takes the scrolling keys; the keys it leaves (Escape, Return, …) are posted as the viewer's key
// notification with this view as sender, for the viewer view controller that hosts it; none is posted while the
// e-mail composer shows (its keys are its own).
//
// When a tracked e-mail composer is registered and the PDF has a web address (http or https), a button at the top
// left opens the composer over a dimmed document. Main thread only.
class QVR_PDFViewerView : public QVR_ModalViewWithCloseButton {
    Q_OBJECT
public:
    static constexpr int kMaxKeptImages = 12;
    static constexpr int kPageGap = 8;

    QVR_PDFViewerView(const QRect& frame, const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                      QWidget* parent = nullptr);
    ~QVR_PDFViewerView() override;

    std::shared_ptr<ZERI_MixedMediaObjectProxy> pdfObject() const { return m_object; }
    QPdfDocument* document() const { return m_document; }
    QScrollArea* scrollArea() const { return m_scrollArea; }
    // The e-mail button, or null when the view offers none.
    QAbstractButton* emailButton() const { return m_emailButton; }
    TrackedEmailComposer* emailVC() const { return m_emailVC.get(); }
    QWidget* blackEmailOverlayView() const { return m_blackEmailOverlayView; }
    static inline const QColor kComposerBorderColour = QColor(85, 85, 85);

    // Where page `index` lies in the scroll area's content, and how many page pictures are held.
    QRect pageRect(int index) const;
    int keptImageCount() const;
    // Whether the picture of page `index` at the current width is held.
    bool hasImageForPage(int index) const;

    // Opens the composer for the PDF's link (ignored while one is open).
    void trackableEmail();
    void dismissTrackableEmail();

signals:
    // The document finished loading, or failed to (then it has no pages).
    void documentLoaded();
    // A page picture at the current width arrived and was drawn.
    void pageImageArrived(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class PagesView;

    void loadWhenOnDisk();
    void loadDocument(const QString& path);
    void layoutSubviews();
    void layoutOverlays();

    std::shared_ptr<ZERI_MixedMediaObjectProxy> m_object;
    QPdfDocument* m_document = nullptr;
    QScrollArea* m_scrollArea = nullptr;
    PagesView* m_pagesView = nullptr;
    QAbstractButton* m_emailButton = nullptr;
    bool m_emailOpenedFromTheKeyboard = false;
    std::unique_ptr<TrackedEmailComposer> m_emailVC;
    QPointer<QWidget> m_blackEmailOverlayView;
    // Holds the composer: centred, and scrolled when the view is smaller than it.
    QPointer<FittingPanelArea> m_composerArea;
    std::shared_ptr<ZERI_WebDownloader> m_downloader;
    ObjectUpdateNotifierObserver m_downloadObservation;
    bool m_loaded = false;
};
