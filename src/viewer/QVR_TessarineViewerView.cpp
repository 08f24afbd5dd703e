#include "viewer/QVR_TessarineViewerView.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QTimer>

#include "app/QVRAnalytics.h"
#include "app/QVRTimedAnalytics.h"
#include "app/ViewerKeyNotifications.h"
#include "controls/ContentSheddingScrollView.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "foundation/BlockTimer.h"
#include "foundation/Tessutils.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/ViewerLogging.h"

const QString QVR_TessarineViewerView::kScreenViewedEvent = QStringLiteral("Screen Viewed");

namespace {

const QString kSwipeNotification = QStringLiteral("qvrLeapHandlingSwipeDetected");
const QString kCircleNotification = QStringLiteral("qvrLeapHandlingCounterClockwiseCircleRepeated");
constexpr qint64 kTransitionFlowToScreen = 1;
constexpr qint64 kTransitionNone = 3;

double g_transitionDurationForTesting = 0.0;

// A transition type read from a notification or a stored setting: a whole number, else a plain jump.
qint64 transitionTypeFromVariant(const QVariant& value)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    const bool numeric = ok && value.typeId() != QMetaType::QString && std::isfinite(number) &&
                         number == std::floor(number) && std::abs(number) < 1e9;
    return numeric ? static_cast<qint64>(number) : kTransitionNone;
}

} // namespace

void QVR_TessarineViewerView::setTransitionDurationForTesting(double seconds)
{
    g_transitionDurationForTesting = seconds;
}

double QVR_TessarineViewerView::transitionDuration()
{
    return g_transitionDurationForTesting > 0.0 ? g_transitionDurationForTesting : 1.0;
}

QVR_TessarineViewerView::QVR_TessarineViewerView(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_AcceptTouchEvents);

    m_swipeView = new ContentSheddingScrollView(rect(), this);
    m_swipeView->setFrameShape(QFrame::NoFrame);
    m_swipeView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_swipeView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_swipeView->setAllowScrollWheelScrolling(false);
    m_swipeView->setFocusPolicy(Qt::NoFocus);
    QPalette palette = m_swipeView->palette();
    palette.setColor(QPalette::Window, Qt::black);
    m_swipeView->setPalette(palette);
    m_swipeView->setAutoFillBackground(true);
    m_swipeView->viewport()->setPalette(palette);
    m_swipeView->viewport()->setAutoFillBackground(true);
    m_swipeView->setGeometry(rect());
    m_swipeView->setPage_Width(width());

    NotificationCenter& center = NotificationCenter::defaultCenter();
    m_observations.emplace_back(center,
                                center.addObserver(QVR_MixedMediaElementContainingView::kScreenLinkPressedNotification,
                                                   nullptr, [this](const Notification& n) { screenLinkPressed(n); }));
    m_observations.emplace_back(
        center, center.addObserver(kSwipeNotification, nullptr, [this](const Notification& n) { swipeDetected(n); }));
    m_observations.emplace_back(center, center.addObserver(kCircleNotification, nullptr, [this](const Notification& n) {
        circleGestureDetected(n);
    }));
}

QVR_TessarineViewerView::~QVR_TessarineViewerView()
{
    m_observations.clear();
    QVRTimedAnalytics::finishTimedEvent(kScreenViewedEvent);
    if (m_transitionView)
        m_transitionView->setDelegate(nullptr);
    qCDebug(lcViewer) << "VIEWER VIEW DEALLOC!";
    m_delegate = nullptr;
    m_autoAdvanceBlock = nullptr;
    delete m_nextScreenTimer;
    m_nextScreenTimer = nullptr;
}

void QVR_TessarineViewerView::setOriginalTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    m_originalTessarineModel = document;
}

int QVR_TessarineViewerView::numScreens() const
{
    return m_flowModel ? static_cast<int>(m_flowModel->screenModels().size()) : 0;
}

QRect QVR_TessarineViewerView::docViewRect() const
{
    return QRect(0, 0, numScreens() * width(), height());
}

std::shared_ptr<ZERI_FlowScreenModel> QVR_TessarineViewerView::currentlyDisplayedFlowScreen() const
{
    if (m_currentPage < 0 || m_currentPage >= numScreens())
        return nullptr;
    return m_flowModel->screenModels()[static_cast<size_t>(m_currentPage)];
}

void QVR_TessarineViewerView::setCurrentPage(int page)
{
    if (m_currentPage == page)
        return;
    m_currentPage = page;
    emit currentPageChanged(page);
}

void QVR_TessarineViewerView::setFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow, qint32 startingAtPage)
{
    if (flow != m_flowModel) {
        m_flowModel = flow;
        auto* documentView = new QWidget;
        QPalette palette = documentView->palette();
        palette.setColor(QPalette::Window, Qt::black);
        documentView->setPalette(palette);
        documentView->setAutoFillBackground(true);
        documentView->setGeometry(docViewRect());
        m_singleScreens.clear();
        if (m_delegate) {
            m_delegate->tessarineViewerWillScrollToFirstPage();
            if (numScreens() == 1)
                m_delegate->tessarineViewerWillScrollToLastPage();
        }

        const std::shared_ptr<ZERI_FlowModel> sourceFlow =
            m_originalTessarineModel ? m_originalTessarineModel->firstFlowmodel() : nullptr;
        const int count = numScreens();
        for (int i = 0; i < count; ++i) {
            auto* board = new QVR_SingleScreenArtBoardView(documentView, true);
            // Boards build their scenes when first shown: only the pages near the one shown are.
            board->hide();
            board->setGeometry(i * width(), 0, width(), height());
            if (sourceFlow && static_cast<size_t>(i) < sourceFlow->screenModels().size())
                board->setOriginalScreenModel(sourceFlow->screenModels()[static_cast<size_t>(i)]);
            board->setScreenModel(m_flowModel->screenModels()[static_cast<size_t>(i)]);
            m_singleScreens.push_back(board);
            board->zoomFitToScreen(false);
        }
        m_documentView = documentView;
        m_swipeView->setDocumentView(documentView);
        m_currentPage = 0;
    }
    scrollToPage(startingAtPage, false);
}

void QVR_TessarineViewerView::placePages()
{
    if (m_documentView)
        m_documentView->setGeometry(docViewRect());
    for (size_t i = 0; i < m_singleScreens.size(); ++i) {
        m_singleScreens[i]->setGeometry(static_cast<int>(i) * width(), 0, width(), height());
        m_singleScreens[i]->zoomFitToScreen(false);
    }
}

void QVR_TessarineViewerView::revealPage(int page)
{
    if (page < 0 || page >= static_cast<int>(m_singleScreens.size()))
        return;
    if (m_singleScreens[static_cast<size_t>(page)]->isHidden())
        m_singleScreens[static_cast<size_t>(page)]->show();
}

void QVR_TessarineViewerView::revealPagesAround(int page)
{
    revealPage(page);
    // The neighbours a page turn reaches next are built once the page shown has been painted.
    QTimer::singleShot(0, this, [this, page] {
        revealPage(page - 1);
        revealPage(page + 1);
    });
}

void QVR_TessarineViewerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_swipeView->setGeometry(rect());
    m_swipeView->setPage_Width(width());
    placePages();
    // The scroll view takes its new size on its own resize; re-show the page once it has.
    QTimer::singleShot(0, this, [this] { scrollFromFrameChange(); });
}

void QVR_TessarineViewerView::scrollFromFrameChange()
{
    m_scrollingFromFrameChange = true;
    scrollToPage(m_currentPage, true);
    m_scrollingFromFrameChange = false;
}

void QVR_TessarineViewerView::scrollToPage(qint32 page, bool animated)
{
    const int count = numScreens();
    if (count == 0 || m_transitionView)
        return;
    const int oldPage = m_currentPage;
    const int target = std::clamp(page, 0, count - 1);
    revealPagesAround(target);
    bool animationStarted = false;
    if (animated && oldPage != page) {
        // Every page the scroll passes is seen.
        for (int i = std::min(oldPage, target); i <= std::max(oldPage, target); ++i)
            revealPage(i);
        animationStarted = VazScrollViewAnimation::animatedScrollToPoint(
                               QPointF(double(target) * width(), 0), m_swipeView, true, width(), 0, this) != nullptr;
    }
    if (!animationStarted)
        m_swipeView->scrollToPoint(QPoint(target * width(), 0));
    setCurrentPage(target);
    if (!m_scrollingFromFrameChange) {
        cleanupAutoAdvance();
        if (!animationStarted)
            startAutoAdvanceForCurrentScreen();
    }
    reportScrollToDelegate();
}

void QVR_TessarineViewerView::scrollToNextPage()
{
    if (m_isAnimating || m_transitionView)
        return;
    revealPage(m_currentPage + 1);
    VazScrollViewAnimation::animatedScrollToNextPageinScrollView(m_swipeView, width(), this);
}

void QVR_TessarineViewerView::scrollToPreviousPage()
{
    if (m_isAnimating || m_transitionView)
        return;
    revealPage(m_currentPage - 1);
    VazScrollViewAnimation::animatedScrollToPreviousPageinScrollView(m_swipeView, width(), this);
}

bool QVR_TessarineViewerView::animationShouldStart(QAbstractAnimation* animation)
{
    m_isAnimating = true;
    m_currentAnimation = animation;
    return true;
}

void QVR_TessarineViewerView::animationDidEnd(QAbstractAnimation*)
{
    m_currentAnimation = nullptr;
    m_isAnimating = false;
    setCurrentPage(m_swipeView->pageNumber());
    revealPagesAround(m_currentPage);
    reportScrollToDelegate();
    startAutoAdvanceForCurrentScreen();
}

void QVR_TessarineViewerView::animationDidStop(QAbstractAnimation*)
{
    m_isAnimating = false;
    m_currentAnimation = nullptr;
}

void QVR_TessarineViewerView::reportScrollToDelegate()
{
    const int count = numScreens();
    if (m_currentPage >= 0 && m_currentPage < count && m_currentPage != m_lastPageRecordedToAnalytics) {
        m_lastPageRecordedToAnalytics = m_currentPage;
        logScreenViewed(m_currentPage);
    }
    if (!m_delegate)
        return;
    if (m_currentPage != 0)
        m_delegate->tessarineViewerWillScrollAwayFromFirstPage();
    else
        m_delegate->tessarineViewerWillScrollToFirstPage();
    if (m_currentPage < count - 1)
        m_delegate->tessarineViewerWillScrollAwayFromLastPage();
    else
        m_delegate->tessarineViewerWillScrollToLastPage();
}

void QVR_TessarineViewerView::logScreenViewed(int page)
{
    const auto played = m_flowModel->screenModels()[static_cast<size_t>(page)];
    const auto parentFlow = std::dynamic_pointer_cast<ZERI_FlowModel>(played->parent());
    if (!parentFlow || !m_originalTessarineModel)
        return;
    const qsizetype index = parentFlow->indexOfFlowScreen(played);
    const auto sourceFlow = m_originalTessarineModel->firstFlowmodel();
    if (index < 0 || !sourceFlow || static_cast<size_t>(index) >= sourceFlow->screenModels().size())
        return;
    const auto source = sourceFlow->screenModels()[static_cast<size_t>(index)];
    const auto document = source->tessarineModel();

    QVariantMap parameters{{QStringLiteral("ScreenID"), source->internalID()}};
    const auto package = document ? document->filePackage() : nullptr;
    const QString user = QVRAnalytics::signedInUserName();
    if (package && !user.isEmpty() && package->ownerUserName() == user)
        parameters.insert(QStringLiteral("action_value"), QStringLiteral("isOwner"));
    else if (Tessutils::isUserAdmin())
        parameters.insert(QStringLiteral("action_value"), QStringLiteral("isAdmin"));
    QVRTimedAnalytics::logTimedEvent(kScreenViewedEvent, source->internalID(), parameters, document);
}

void QVR_TessarineViewerView::scrollToPageNumber(qint32 page, qint64 transitionType)
{
    if (transitionType < 0 || transitionType > 3)
        transitionType = kTransitionNone;
    if (transitionType == kTransitionNone || transitionType == kTransitionFlowToScreen) {
        // A later request voids a transition whose pictures are still being read.
        if (!m_transitionView)
            ++m_transitionRequest;
    }
    if (transitionType == kTransitionNone) {
        scrollToPage(page, false);
        return;
    }
    if (transitionType == kTransitionFlowToScreen) {
        scrollToPage(page, true);
        return;
    }

    // Only the latest request acts: a running transition ends now and a picture read still under way is void.
    transithonHandlerFinishedTransitioning();
    const quint64 request = ++m_transitionRequest;
    const qint64 direction =
        m_currentPage >= page ? QVR_TransitionHandlerView::kBackward : QVR_TransitionHandlerView::kForward;
    const int count = numScreens();
    if (m_currentPage < 0 || m_currentPage >= count || page < 0 || page >= count) {
        qCWarning(lcViewer) << "QVR_TEssarineViewerView did something very wrong.";
        return;
    }
    QSize size = this->size();
    if (!m_singleScreens.empty()) {
        const QSizeF display = m_singleScreens.front()->tessarineScreenDisplaySize();
        if (display.width() >= 1.0 && display.height() >= 1.0)
            size = display.toSize().boundedTo(this->size());
    }
    const auto fromAsset = m_flowModel->screenModels()[static_cast<size_t>(m_currentPage)]->previewScreenShotAsset();
    const auto toAsset = m_flowModel->screenModels()[static_cast<size_t>(page)]->previewScreenShotAsset();

    QPointer<QVR_TessarineViewerView> guard(this);
    (void)WorkerThreads::shared().post(
        [guard, request, page, transitionType, direction, size, fromAsset, toAsset]() mutable {
            // Only what is on disk: a picture still to be downloaded gives an empty one at once.
            const QImage from = fromAsset ? fromAsset->getImageIgnoreThreadSafety(true) : QImage();
            const QImage to = toAsset ? toAsset->getImageIgnoreThreadSafety(true) : QImage();
            // The model's objects are released on the main thread, with the hand-over.
            MainThread::run(
                [guard, request, page, transitionType, direction, size, from, to, fromAsset = std::move(fromAsset),
                 toAsset = std::move(toAsset)] {
                    (void)fromAsset;
                    (void)toAsset;
                    QVR_TessarineViewerView* self = guard.data();
                    if (!self || request != self->m_transitionRequest || self->m_transitionView)
                        return;
                    // A screen whose preview picture is not on disk (yet) moves as the player draws it, rather
                    // than as an empty picture that would show no transition at all.
                    const QImage shownFrom = from.isNull() ? self->pagePicture(self->m_currentPage, size) : from;
                    self->scrollToPage(page, false);
                    const QImage shownTo = to.isNull() ? self->pagePicture(page, size) : to;
                    auto* view = new QVR_TransitionHandlerView(QRect(QPoint(0, 0), size), transitionType, direction,
                                                               shownFrom, shownTo, transitionDuration(), true, self);
                    view->setDelegate(self);
                    self->m_transitionView = view;
                    view->move((self->width() - size.width()) / 2, (self->height() - size.height()) / 2);
                    view->raise();
                    view->show();
                },
                false);
        });
}

QImage QVR_TessarineViewerView::pagePicture(qint32 page, const QSize& size) const
{
    if (page < 0 || page >= qint32(m_singleScreens.size()))
        return {};
    // The board shows its screen centred.
    QWidget* board = m_singleScreens[size_t(page)];
    const QRect screen(QPoint((board->width() - size.width()) / 2, (board->height() - size.height()) / 2), size);
    return board->grab(screen).toImage();
}

void QVR_TessarineViewerView::endTransitionView()
{
    if (!m_transitionView)
        return;
    QVR_TransitionHandlerView* view = m_transitionView;
    m_transitionView = nullptr;
    view->setDelegate(nullptr);
    view->hide();
    view->deleteLater();
}

void QVR_TessarineViewerView::transithonHandlerFinishedTransitioning()
{
    startAutoAdvanceForCurrentScreen();
    endTransitionView();
}

void QVR_TessarineViewerView::setAutoAdvanceEnabled(bool enabled)
{
    if (enabled == m_autoAdvanceEnabled)
        return;
    m_autoAdvanceEnabled = enabled;
    if (enabled && !m_autoAdvancePaused)
        startAutoAdvanceForCurrentScreen();
    else
        cleanupAutoAdvance();
}

void QVR_TessarineViewerView::setAutoAdvancePaused(bool paused)
{
    const bool changed = paused != m_autoAdvancePaused;
    m_autoAdvancePaused = paused;
    if (paused) {
        if (m_nextScreenTimer)
            m_nextScreenTimer->pause();
    } else {
        if (m_nextScreenTimer)
            m_nextScreenTimer->resume();
        if (m_shouldAdvanceToNextSlideAfterUnpause && m_autoAdvanceBlock) {
            const auto advance = m_autoAdvanceBlock;
            advance();
        }
    }
    if (changed)
        emit autoAdvancePausedChanged(paused);
}

void QVR_TessarineViewerView::cleanupAutoAdvance()
{
    if (m_nextScreenTimer) {
        m_nextScreenTimer->stop();
        m_nextScreenTimer->deleteLater();
        m_nextScreenTimer = nullptr;
    }
    m_shouldAdvanceToNextSlideAfterUnpause = false;
    m_autoAdvanceBlock = nullptr;
}

void QVR_TessarineViewerView::startAutoAdvanceForCurrentScreen()
{
    if (!m_autoAdvanceEnabled || m_autoAdvanceBlock)
        return;
    cleanupAutoAdvance();
    const auto screen = currentlyDisplayedFlowScreen();
    if (!screen)
        return;
    qCDebug(lcViewer) << "Setting up timer";
    const std::optional<double> duration = screen->autoAdvanceSlideDuration() ? screen->autoAdvanceSlideDuration()
                                                                              : m_flowModel->autoAdvanceSlideDuration();
    const std::optional<int> storedType = screen->autoAdvanceTransitionType() && screen->autoAdvanceSlideDuration()
                                              ? screen->autoAdvanceTransitionType()
                                              : m_flowModel->autoAdvanceTransitionType();
    const qint64 type = storedType.value_or(0);
    if (!duration)
        return;
    if (!std::isfinite(*duration) || *duration < 0.0) {
        qCWarning(lcViewer) << "Ignoring an auto-advance duration of" << *duration << "seconds";
        return;
    }

    QPointer<QVR_TessarineViewerView> guard(this);
    m_autoAdvanceBlock = [guard, type] {
        QVR_TessarineViewerView* self = guard.data();
        if (!self)
            return;
        self->m_autoAdvanceBlock = nullptr;
        int target = self->m_currentPage + 1;
        if (target >= self->numScreens()) {
            if (!self->m_flowModel->autoAdvanceLoops()) {
                if (self->m_delegate)
                    self->m_delegate->tessarineViewerDidFinishAutoplay(self);
                return;
            }
            target = 0;
        }
        self->scrollToPageNumber(target, type);
        self->m_shouldAdvanceToNextSlideAfterUnpause = false;
    };
    m_nextScreenTimer = new BlockTimer(
        [guard] {
            QVR_TessarineViewerView* self = guard.data();
            if (!self)
                return;
            if (self->m_autoAdvancePaused) {
                self->m_shouldAdvanceToNextSlideAfterUnpause = true;
            } else if (self->m_autoAdvanceBlock) {
                const auto advance = self->m_autoAdvanceBlock;
                advance();
            }
        },
        1, *duration, 0.0, this);
    if (m_autoAdvancePaused)
        m_nextScreenTimer->pause();
}

bool QVR_TessarineViewerView::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        const auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() == Qt::SwipeNativeGesture) {
            qCDebug(lcViewer) << "what up?";
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void QVR_TessarineViewerView::keyPressEvent(QKeyEvent* event)
{
    NotificationCenter::defaultCenter().post(
        TessarineViewerViewKeyDownNotificationName, this,
        {{TessarineViewerViewKeyDownNotificationUserDictKey, QVariant::fromValue(event->keyCombination())}});
    event->accept();
}

void QVR_TessarineViewerView::screenLinkPressed(const Notification& notification)
{
    // Links count only when clicked in this player's window: another window on the same document pages itself.
    if (notification.sender != static_cast<const void*>(window()))
        return;
    const QVariant idValue = notification.userInfo.value(QVR_MixedMediaElementContainingView::kScreenLinkIDKey);
    const QString targetID = idValue.typeId() == QMetaType::QString ? idValue.toString() : QString();
    int found = -1;
    if (!targetID.isEmpty() && m_flowModel) {
        const QJsonArray screens = m_flowModel->jsonDictionary().value(QStringLiteral("screens")).toArray();
        for (qsizetype i = 0; i < screens.size(); ++i) {
            if (screens.at(i).toObject().value(QStringLiteral("id")).toString() == targetID) {
                found = static_cast<int>(i);
                break;
            }
        }
    }
    if (found < 0) {
        qCWarning(lcViewer) << "the screen linked to was not found.";
        return;
    }
    const QVariant typeValue =
        notification.userInfo.value(QVR_MixedMediaElementContainingView::kScreenLinkTransitionTypeKey);
    scrollToPageNumber(found, transitionTypeFromVariant(typeValue));
}

void QVR_TessarineViewerView::swipeDetected(const Notification& notification)
{
    qCDebug(lcViewer) << "swipeDetected!" << notification.sender;
    bool ok = false;
    const int direction = notification.userInfo.value(QStringLiteral("swipeDirection")).toInt(&ok);
    if (!ok || (m_delegate && !m_delegate->tessarineViewerMayPageBySwipe(this)))
        return;
    if (direction == 0)
        scrollToNextPage();
    else if (direction == 1)
        scrollToPreviousPage();
}

void QVR_TessarineViewerView::circleGestureDetected(const Notification& notification)
{
    qCDebug(lcViewer) << "circleDetected!" << notification.sender;
    QWidget* ownWindow = window();
    const QVariantMap& info = notification.userInfo;
    if (info.contains(QStringLiteral("window")) || info.contains(QStringLiteral("circleNumber"))) {
        bool ok = false;
        const qint64 number = info.value(QStringLiteral("circleNumber")).toLongLong(&ok);
        QObject* named = info.value(QStringLiteral("window")).value<QObject*>();
        if (!ok || named != ownWindow || m_firedCircleNumbers.contains(number))
            return;
        m_firedCircleNumbers.insert(number);
        ownWindow->close();
        return;
    }
    if (notification.sender == m_lastFiredCircleGesture)
        return;
    m_lastFiredCircleGesture = notification.sender;
    ownWindow->close();
}
