#pragma once

#include <memory>
#include <vector>

#include <QKeyCombination>
#include <QPointer>

#include "controls/QVR_ModalViewWithCloseButton.h"
#include "controls/VazScrollViewAnimation.h"

class ContentSheddingScrollView;
class QAbstractAnimation;
class QLabel;
class QVR_AsynchronousRenderWebImageView;
class ZERI_MixedMediaObjectProxy;

// A gallery object's full-size images, one per page, over the whole player: translucent black controls with
// chevrons at both sides, and the arrow, Return and Escape keys. The right control (or key) on the last page and
// Return or Escape close the view through its closed-pressed block; a press while a page turn runs is ignored.
//
// Keys come from the view's own focus, or from its host (the viewer view controller) through handleKey. The view
// does not listen to the viewer's key notifications: those of other viewers, in other windows, are not its own.
//
// Pages are built the first time the view is shown; each holder shows its file once it is on disk, downloading
// it when it is missing. Main thread only.
class QVR_GalleryViewerView : public QVR_ModalViewWithCloseButton, public VazScrollViewAnimationDelegate {
    Q_OBJECT
public:
    static constexpr int kControlWidth = 40;

    // The object is held weakly: the view shows nothing for an object that is gone by the time it is shown.
    QVR_GalleryViewerView(const QRect& frame, const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                          QWidget* parent = nullptr);
    ~QVR_GalleryViewerView() override;

    std::shared_ptr<ZERI_MixedMediaObjectProxy> mixedMediaObject() const { return m_object.lock(); }

    // A key handed on by the host. True when the view acted on it (Return, Escape, Left, Right).
    bool handleKey(QKeyCombination key);
    void leftPressed();
    void rightPressed();

    // The page whose left edge is at or before the visible origin.
    int scrollViewPageNumber() const;
    int numScreens() const { return m_numScreens; }
    bool isAnimating() const { return m_isAnimating; }

    QWidget* leftControl() const { return m_leftControl; }
    QWidget* rightControl() const { return m_rightControl; }
    QLabel* leftChevron() const { return m_leftChevron; }
    QLabel* rightChevron() const { return m_rightChevron; }
    ContentSheddingScrollView* scrollView() const { return m_scrollView; }
    const std::vector<QVR_AsynchronousRenderWebImageView*>& viewsArray() const { return m_viewsArray; }

    // VazScrollViewAnimationDelegate
    bool animationShouldStart(QAbstractAnimation* animation) override;
    void animationDidEnd(QAbstractAnimation* animation) override;
    void animationDidStop(QAbstractAnimation* animation) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildPages();
    void layoutPages();
    void updateChevrons();

    std::weak_ptr<ZERI_MixedMediaObjectProxy> m_object;
    QWidget* m_leftControl = nullptr;
    QWidget* m_rightControl = nullptr;
    QLabel* m_leftChevron = nullptr;
    QLabel* m_rightChevron = nullptr;
    ContentSheddingScrollView* m_scrollView = nullptr;
    QWidget* m_documentView = nullptr;
    std::vector<QVR_AsynchronousRenderWebImageView*> m_viewsArray;
    int m_numScreens = 0;
    bool m_pagesBuilt = false;
    bool m_isAnimating = false;
    QPointer<QAbstractAnimation> m_currentAnimation;
    // The page shown, or being turned to while an animation runs; a resize keeps it in view.
    int m_page = 0;
};
