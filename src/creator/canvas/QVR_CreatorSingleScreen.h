#pragma once

#include <memory>

#include <QColor>
#include <QGraphicsObject>
#include <QRectF>

#include "tessarine_data_model/ObjectUpdateNotifier.h"

class ZERI_FlowScreenModel;

// One screen on an art board's scene: the 1024 × 748 screen at the scene's origin in its background colour
// (white when it has none) with its shadow, the light surround, and a mask that dims everything outside the
// screen (also the parts of elements that stick out of it). Preview-only screens only display: their mask is
// dark and opaque.
//
// The item covers the area its art board shows (setVisibleArea), so the surround and the mask always fill the
// view whatever the zoom. Element containers are its children, stacked between the screen (z 0) and the mask
// (z 10,000); the element container code fills buildMixedMediaObjectViews and appropriatelyResizeAllMmobjViews.
//
// Main thread only.
class QVR_CreatorSingleScreen : public QGraphicsObject {
    Q_OBJECT
public:
    static constexpr double kMaskZValue = 10000.0;

    QVR_CreatorSingleScreen(std::shared_ptr<ZERI_FlowScreenModel> screen, bool previewMode,
                            QGraphicsItem* parent = nullptr);
    ~QVR_CreatorSingleScreen() override;

    std::shared_ptr<ZERI_FlowScreenModel> flowScreenModel() const { return m_screen; }
    void setFlowScreenModel(std::shared_ptr<ZERI_FlowScreenModel> screen);
    // The screen named in analytics when the displayed one is a copy; the displayed screen when unset.
    std::shared_ptr<ZERI_FlowScreenModel> originalFlowScreenModel() const { return m_originalScreen.lock(); }
    void setOriginalFlowScreenModel(const std::shared_ptr<ZERI_FlowScreenModel>& screen) { m_originalScreen = screen; }
    std::shared_ptr<ZERI_FlowScreenModel> modelToUseForAnalytics() const;

    bool isPreviewOnly() const { return m_previewOnly; }
    // The screen in scene units (points, top-left origin).
    QRectF screenRect() const;
    QColor screenColor() const { return m_screenColor; }
    // The scene area the art board shows; the surround and the mask cover it.
    void setVisibleArea(const QRectF& area);
    QRectF visibleArea() const { return m_visibleArea; }
    // The dimming outside the screen as one even-odd path over the visible area.
    QPainterPath maskPath() const;
    QColor maskColor() const;

    // Keeps one element view per object of the screen; the art board calls the resize step after every
    // magnification change.
    virtual void buildMixedMediaObjectViews();
    virtual void appropriatelyResizeAllMmobjViews();

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    class Mask;

    void updateScreenColor();

    std::shared_ptr<ZERI_FlowScreenModel> m_screen;
    std::weak_ptr<ZERI_FlowScreenModel> m_originalScreen;
    bool m_previewOnly = false;
    QColor m_screenColor = Qt::white;
    QRectF m_visibleArea;
    Mask* m_mask = nullptr;
    ObjectUpdateNotifierObserver m_colorObserver;
    ObjectUpdateNotifierObserver m_objectsObserver;
};
