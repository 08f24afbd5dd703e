#pragma once

#include <memory>

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include "app/ViewerWindowHandle.h"
#include "platform/NotificationCenter.h"
#include "service/QVROpenRequest.h"
#include "viewer/QVRViewerTitleBarButtonsHolderView.h"

class QScreen;
class QSvgRenderer;
class QVRViewerViewController;
class ZERI_TessarineModel;

// Plays a copy of a document in the tablet preview: its player, the download (remix) and share buttons on the
// device's top bezel, and the analytics of the view. The copy is made from the document's dictionary form and
// never saved, so edits to the source never reach it and no package is made for it.
class QVRiPadPreviewWindowController : public QObject, public QVRViewerTitleBarButtonsHolderViewDelegate {
    Q_OBJECT
public:
    explicit QVRiPadPreviewWindowController(QWidget* window);
    ~QVRiPadPreviewWindowController() override;

    QVRViewerViewController* tessarineViewerViewController() const { return m_viewerViewController; }
    QVRViewerTitleBarButtonsHolderView* titleBarButtonsHolderView() const { return m_titleBarButtons; }
    // The source document, and the copy that plays.
    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const { return m_originalTessarineModel; }
    std::shared_ptr<ZERI_TessarineModel> shallowCopy() const { return m_shallowCopy; }

    // Plays a fresh copy of `document` from its first screen.
    void setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document);

    // QVRViewerTitleBarButtonsHolderViewDelegate
    void titleBarShareButtonPressed() override;
    void titleBarDownloadButtonPressed() override;

private:
    QWidget* m_window;
    QVRViewerViewController* m_viewerViewController;
    QVRViewerTitleBarButtonsHolderView* m_titleBarButtons;
    std::shared_ptr<ZERI_TessarineModel> m_originalTessarineModel;
    std::shared_ptr<ZERI_TessarineModel> m_shallowCopy;
    NotificationObservation m_sharingObservation;
};

// The tablet-size preview: a frameless, translucent window drawing a tablet around a 1024 × 748 player. Dragging
// the bezel moves the window; its top never rises above the available area of its screen. On a screen smaller than
// the device the whole device shrinks to the available area, the player scaling its screens with it.
class QVRiPadPreviewWindow : public QWidget, public QVROpenRequestDelegate, public ViewerWindowHandle {
    Q_OBJECT
public:
    static constexpr int kBezel = 80;
    static constexpr int kScreenWidth = 1024;
    static constexpr int kScreenHeight = 748;

    explicit QVRiPadPreviewWindow(QWidget* parent = nullptr);
    ~QVRiPadPreviewWindow() override;

    QVRiPadPreviewWindowController* windowController() const { return m_controller.get(); }

    // QVROpenRequestDelegate
    void openRequesterWantsToDisplayLoadingView(QObject* view) override;
    void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) override;

    // ViewerWindowHandle
    void scrollToPage(int page, bool animated) override;

    // Where a drag to `origin` puts the window: its top no higher than the available top of its screen.
    QPoint clampedOrigin(const QPoint& origin) const;
    // The device's size on `available`: whole, or shrunk to fit it keeping its shape.
    static double fittingScale(const QSize& available);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Sizes the device at `scale` and lays out the player, the bezel's buttons and the window's shape.
    void layOutAtScale(double scale);
    // Fitted to `screen` by the rule every window keeps, then centred on it.
    void fitToScreen(QScreen* screen);
    void placeCloseButton();

    std::unique_ptr<QVRiPadPreviewWindowController> m_controller;
    std::unique_ptr<QSvgRenderer> m_deviceArtwork;
    QPointF m_initialLocation;
    double m_scale = 0.0;
    bool m_placed = false;
};
