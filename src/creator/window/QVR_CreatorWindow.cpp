#include "creator/window/QVR_CreatorWindow.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QCloseEvent>
#include <QMenuBar>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "app/QVRMainMenu.h"
#include "app/QVRWindowManager.h"
#include "controls/MouseEventShieldWindow.h"
#include "creator/CreatorLogging.h"
#include "creator/addition/QVRContentAdditionManager.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_ArtBoardScrollView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "controls/UniversalPopover.h"
#include "creator/thumbnails/QVRThumbnailBar.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "creator/toolbar/QVR_CreatorToolBarView.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/CreatorInspectorInterfaces.h"
#include "creator/window/QVRTopOfWindowDockToolbarView.h"
#include "creator/window/WindowSizeLock.h"
#include "foundation/Tessutils.h"
#include "platform/UserDefaults.h"
#include "platform/WorkerThreads.h"
#include "service/QVROpenRequest.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString QVR_CreatorWindow::kScreenZoomLevelNotification = QStringLiteral("SCREEN_ZOOM_LEVEL_NOTIFICATION");
const QString QVR_CreatorWindow::kNewScreenInsertionNotification =
    QStringLiteral("NEW_SCREEN_MODEL_INSERTION_NOTIFICATION");
const QString QVR_CreatorWindow::kScreenZoomLevelScaleKey = QStringLiteral("SCREEN_ZOOM_LEVEL_NOTIFICATION_SCALE_KEY");

namespace {
constexpr int kZoomRestoreDelayMs = 100;
// Within this of its fit level a board counts as fitted.
constexpr double kFittedTolerance = 0.005;
constexpr int kCleanAfterOpeningDelayMs = 1000;
const QString kScreenToPageTo = QStringLiteral("screenToPageTo");
} // namespace

QVR_CreatorWindow::QVR_CreatorWindow(QWidget* parent)
    : INAppStoreWindow(parent)
{
    setTitleBarHeight(kTitleBarHeight);
    setCenterFullScreenButton(false);
    setCenterTrafficLightButtons(false);
    setTitleBarDrawingBlock(QVRWindowManager::tessarineWindowTitleViewDrawingBlock());
    resize(1280, 800);

    m_sideMenu = CreatorInspectorFactories::makeSideMenu(this);
    m_positionPalette = CreatorInspectorFactories::makePositionPalette(this);
    m_dockedPopover = CreatorInspectorFactories::makeDockedPopover(this);
    m_positionPalette->setHidden(true);
    m_dockedPopover->setHidden(true);

    auto* content = new QHBoxLayout(contentView());
    content->setContentsMargins(0, 0, 0, 0);
    content->setSpacing(0);
    m_splitter = new QSplitter(Qt::Vertical, contentView());
    m_splitter->setChildrenCollapsible(true);
    m_canvas = new QVR_CreatorCanvasView(m_splitter);
    // Nothing is inserted while content is being added or a crop is under way.
    m_canvas->setIsAddingContentProvider(
        [this] { return isAddingContent() || CreatorCropState::isCropping(theArtBoard()); });
    m_contentAddition = new QVRContentAdditionManager(this);
    m_contentAddition->setHostView(m_canvas);
    m_canvas->setContentAdditionManager(m_contentAddition);
    // While content is added nothing stays selected.
    connect(m_contentAddition, &QVRContentAdditionManager::additionStarted, this, [this] {
        for (QVR_SingleScreenArtBoardView* board : m_artboards)
            if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(board))
                handler->deselectAll();
    });
    m_emptyCanvas = m_canvas->emptyPage();
    auto* thumbnailScroller = new QScrollArea(m_splitter);
    thumbnailScroller->setFrameShape(QFrame::NoFrame);
    thumbnailScroller->setWidgetResizable(false);
    thumbnailScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    thumbnailScroller->setBackgroundRole(QPalette::Dark);
    // The bar inside takes the keys; its scroller would be a Tab stop that shows nothing.
    thumbnailScroller->setFocusPolicy(Qt::NoFocus);
    m_thumbnailBar = new QVRThumbnailBar;
    thumbnailScroller->setWidget(m_thumbnailBar);
    // A long document's strip holds items only for the screens in reach of its view.
    m_thumbnailBar->setMakesItemsInViewOnly(true);
    thumbnailScroller->setFixedHeight(m_thumbnailBar->itemSize().height() +
                                      thumbnailScroller->horizontalScrollBar()->sizeHint().height());
    m_thumbnailController = new QVRThumbnailController(this);
    m_thumbnailController->setItemSetup([this](QVRThumbnailObject* object) {
        // A copy made from the strip's menu is shown, as one made from the Screen menu is.
        object->enableRightClicks([this] { return !isAddingContent(); },
                                  [this](const auto& copy) { pageToScreenWithScreenID(copy->internalID()); });
    });
    m_thumbnailController->setCollectionView(m_thumbnailBar);
    m_thumbnailController->addAddScreenItem();
    // Every board takes the canvas's size, shown or not, so zoom levels (fit) agree across them.
    m_canvas->installEventFilter(this);
    m_splitter->addWidget(m_canvas);
    m_splitter->addWidget(thumbnailScroller);
    // The canvas never collapses.
    m_splitter->setCollapsible(0, false);
    m_splitter->setStretchFactor(0, 1);
    m_sideBar = m_sideMenu->widget();
    m_sideBar->setParent(contentView());
    m_sideBar->setFixedWidth(0);
    m_topDockBar =
        new QVRTopOfWindowDockToolbarView(m_positionPalette->widget(), m_dockedPopover->widget(), contentView());
    // The strip takes its height from the canvas: a screen fitted to the canvas is fitted again, rather than
    // left with its top under the strip.
    m_topDockBar->installEventFilter(this);
    // The palette shows as the user last left it; the popover while popovers are docked.
    m_positionPalette->setHidden(!showXYPaletteOnLaunch());
    m_dockedPopover->setHidden(!Tessutils::isPopoverDocked());
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_topDockBar);
    column->addWidget(m_splitter, 1);
    content->addLayout(column, 1);
    content->addWidget(m_sideBar);
    // The application's menus, whose routed items act on this window.
    m_menuBar = QVRMainMenu::installMenuBar(this);
    // The dark panel and the loading view cover the content at every size.
    contentView()->installEventFilter(this);

    // The toolbar fills the title band and shows the window's title.
    auto* band = new QHBoxLayout(titleBarView());
    band->setContentsMargins(0, 0, 0, 0);
    m_toolBarView = new QVR_CreatorToolBarView(titleBarView());
    band->addWidget(m_toolBarView);
    // Never so narrow that the toolbar's buttons, its shortest title and the link run into each other.
    setMinimumSize(std::max(minimumWidth(), m_toolBarView->minimumSizeHint().width()),
                   std::max(minimumHeight(), kMinimumHeight));
    m_baseMinimumWidth = minimumWidth();
    // Nor so narrow that the strip's panels, beside the side menu, lie over each other.
    connect(m_topDockBar, &QVRTopOfWindowDockToolbarView::panelsChanged, this, &QVR_CreatorWindow::updateMinimumWidth);
    updateMinimumWidth();
    connect(this, &QWidget::windowTitleChanged, m_toolBarView, &QVR_CreatorToolBarView::setTessarineTitle);

    // The thumbnail selection decides which board the canvas shows.
    connect(m_thumbnailBar, &SingleRowCollectionView::currentIndexChanged, this, [this](int row) {
        if (row >= 0 && row < static_cast<int>(m_artboards.size()))
            m_canvas->setTheArtBoard(m_artboards[static_cast<std::size_t>(row)]);
    });

    NotificationCenter& center = NotificationCenter::defaultCenter();
    QPointer<QVR_CreatorWindow> self(this);
    m_observations.emplace_back(center, center.addObserver(ZERI_TessarineModel::forkCompletedNotification, nullptr,
                                                           [this](const Notification& n) { onForkComplete(n); }));
    m_observations.emplace_back(
        center, center.addObserver(TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification, nullptr,
                                   [this](const Notification& n) { onUndoPerformed(n); }));
    m_observations.emplace_back(
        center, center.addObserver(QString::fromLatin1(TessutilsKeys::kPopoverDockStatusChangedNotification), nullptr,
                                   [this](const Notification&) { popoverDockStatusChanged(); }));
    m_observations.emplace_back(
        center, center.addObserver(kNewScreenInsertionNotification, nullptr,
                                   [this](const Notification& n) { insertScreenNotificationReceived(n); }));
    // A level reported by one board goes to every board of the window on the next turn, without echoes.
    m_observations.emplace_back(
        center, center.addObserver(
                    QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification, this, [self](const Notification& n) {
                        const QVariant value = n.userInfo.value(QVR_SingleScreenArtBoardView::kZoomLevelChangedKey);
                        if (!value.isValid())
                            return;
                        const double level = value.toFloat();
                        QTimer::singleShot(0, self, [self, level] {
                            if (!self)
                                return;
                            for (QVR_SingleScreenArtBoardView* board : self->m_artboards)
                                board->setZoomLevelWithoutNotification(level);
                        });
                    }));
    // A level chosen in a zoom menu applies, animated, to every board.
    m_observations.emplace_back(center,
                                center.addObserver(kScreenZoomLevelNotification, this, [self](const Notification& n) {
                                    const QVariant value = n.userInfo.value(kScreenZoomLevelScaleKey);
                                    if (!value.isValid())
                                        return;
                                    const double level = value.toDouble();
                                    QTimer::singleShot(0, self, [self, level] {
                                        if (!self)
                                            return;
                                        for (QVR_SingleScreenArtBoardView* board : self->m_artboards)
                                            board->setZoomLevel(level, true);
                                    });
                                }));
}

QVR_CreatorWindow::~QVR_CreatorWindow()
{
    finishClosing();
    delete m_selectedItemView.data();
    // The strip's previews go before the widgets that host them, each in one step.
    delete m_thumbnailController;
    m_thumbnailController = nullptr;
}

bool QVR_CreatorWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == contentView() && event->type() == QEvent::Resize) {
        if (m_darkPanel && m_darkPanel->isViewLoaded())
            m_darkPanel->view()->setGeometry(coveringRect());
        // The loading view covers the content at every size, its view staying in the middle.
        if (m_loadingViewHolder)
            m_loadingViewHolder->setGeometry(coveringRect());
    }
    if (watched == m_topDockBar && event->type() == QEvent::Resize &&
        static_cast<QResizeEvent*>(event)->oldSize().height() != m_topDockBar->height()) {
        // The canvas is resized after the strip: which boards were fitted is read from their size before it.
        std::vector<QPointer<QVR_SingleScreenArtBoardView>> fitted;
        for (QVR_SingleScreenArtBoardView* board : m_artboards)
            if (board && std::fabs(board->currentZoomLevel() - board->fitZoomLevel()) < kFittedTolerance)
                fitted.emplace_back(board);
        if (!fitted.empty())
            QTimer::singleShot(0, this, [fitted = std::move(fitted)] {
                for (const auto& board : fitted)
                    if (board)
                        board->setZoomLevel(QVR_SingleScreenArtBoardView::kFitToScreen, false, true);
            });
    }
    if (watched == m_canvas && event->type() == QEvent::Resize) {
        for (QVR_SingleScreenArtBoardView* board : m_artboards)
            if (board != m_canvas->currentWidget())
                board->setGeometry(m_canvas->rect());
    }
    return INAppStoreWindow::eventFilter(watched, event);
}

QVR_CreatorCanvasView* QVR_CreatorWindow::theCanvasView() const
{
    return m_canvas;
}

QVR_SingleScreenArtBoardView* QVR_CreatorWindow::theArtBoard() const
{
    return m_canvas->theArtBoard();
}

void QVR_CreatorWindow::giveKeyboardToCanvas()
{
    QVR_SingleScreenArtBoardView* board = theArtBoard();
    if (QWidget* view = board ? board->theScrollView() : nullptr)
        view->setFocus(Qt::OtherFocusReason);
}

bool QVR_CreatorWindow::canSaveDraft() const
{
    return m_canvas->canSaveDraft();
}

void QVR_CreatorWindow::performSaveDraft(uint)
{
    if (canSaveDraft())
        m_canvas->saveDraft();
}

bool QVR_CreatorWindow::canPublish() const
{
    return m_canvas->canPublish();
}

void QVR_CreatorWindow::performPublish(uint)
{
    if (canPublish())
        m_canvas->publish(false);
}

QVR_CreatorSingleScreen* QVR_CreatorWindow::currentlyDisplayedSingleScreen() const
{
    QVR_SingleScreenArtBoardView* board = theArtBoard();
    return board ? board->singleScreen() : nullptr;
}

int QVR_CreatorWindow::currentIndex() const
{
    const auto it = std::find(m_artboards.begin(), m_artboards.end(), theArtBoard());
    return it == m_artboards.end() ? -1 : static_cast<int>(it - m_artboards.begin());
}

void QVR_CreatorWindow::setCurrentIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(m_artboards.size()))
        return;
    m_thumbnailBar->setSelectionIndexes({index});
    m_canvas->setTheArtBoard(m_artboards[static_cast<std::size_t>(index)]);
}

int QVR_CreatorWindow::sideBarWidth() const
{
    return m_sideBar->maximumWidth();
}

bool QVR_CreatorWindow::isPerformingTessarineDownload() const
{
    return m_loadingViewHolder && !m_loadingViewHolder->children().isEmpty();
}

bool QVR_CreatorWindow::isOnlyWindowForTessarine() const
{
    const QList<QWidget*> windows = QVRWindowManager::sharedInstance().windows();
    return std::none_of(windows.begin(), windows.end(), [this](QWidget* window) {
        auto* other = qobject_cast<QVR_CreatorWindow*>(window);
        return other && other != this && !other->m_closed && other->m_currentModel == m_currentModel;
    });
}

bool QVR_CreatorWindow::cleanModelIfOnlyCreatorWindow()
{
    if (!m_currentModel || !isOnlyWindowForTessarine())
        return false;
    // The package's clean-up waits until the window is up: its list of what the document names is made on the
    // main thread, and the opening of a large document is stretch enough for it.
    if (const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(m_currentModel->filePackage()))
        QTimer::singleShot(kCleanAfterOpeningDelayMs, this, [package = std::weak_ptr<ZERI_qvdFilePackage>(package)] {
            if (const auto alive = package.lock())
                alive->cleanDirectoriesSoon();
        });
    if (const auto manager = m_currentModel->documentVideoCompressionManager())
        manager->cancelEverything();
    return true;
}

void QVR_CreatorWindow::setCurrentModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (document == m_currentModel)
        return;
    m_sideMenuObserver.reset();
    m_modelShareURLObserver.reset();
    m_publishedVersionObservation.reset();
    m_flowModelObserver.reset();
    m_currentModel = document;
    m_canvas->setDocument(document);
    QVRWindowManager::sharedInstance().setDocumentForWindow(this, document, document ? document->qvdID() : QString());
    applySideMenuState();
    m_toolBarView->updateButtonStates();
    updateToolbarShareURL();
    if (!document)
        return;
    QPointer<QVR_CreatorWindow> self(this);
    m_modelShareURLObserver = document->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (self)
                self->updateToolbarShareURL();
        },
        QStringLiteral("stringID"));
    // Publishing may write the published version after the document has its id.
    if (const auto package = document->filePackage())
        m_publishedVersionObservation = NotificationObservation(
            ZERI_qvdFilePackage::publishedVersionUpdatedNotification, package.get(), [self](const Notification&) {
                if (self)
                    self->updateToolbarShareURL();
            });
    m_sideMenuObserver = document->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (self)
                self->applySideMenuState();
        },
        QStringLiteral("sideMenuOpen"));
    if (const auto flow = document->firstFlowmodel()) {
        setWindowTitle(flow->title().isEmpty() ? UFM::UNTITLED_TEXT() : flow->title());
        m_flowModelObserver = flow->updateNotifier().addObservationBlock(
            [self](const void*, const QSet<QString>& keys) {
                if (!self || !self->m_currentModel)
                    return;
                if (keys.contains(QStringLiteral("screenModels")))
                    self->updateScrollViews();
                if (keys.contains(QStringLiteral("title"))) {
                    const QString title = self->m_currentModel->firstFlowmodel()->title();
                    self->setWindowTitle(title.isEmpty() ? UFM::UNTITLED_TEXT() : title);
                }
            },
            QStringList{QStringLiteral("screenModels"), QStringLiteral("title")});
    }
    QVRAnalytics::logEvent(QStringLiteral("Tessarine Creator Viewed"),
                           {{QStringLiteral("TessarineStringID"), document->stringID()}}, document);
    // The window's place and size are kept per document.
    const QByteArray geometry =
        UserDefaults::standard().value(document->qvdID() + QStringLiteral("creator")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
}

void QVR_CreatorWindow::updateToolbarShareURL()
{
    QString url;
    const auto package =
        m_currentModel ? std::dynamic_pointer_cast<ZERI_qvdFilePackage>(m_currentModel->filePackage()) : nullptr;
    if (package && package->publishedVersionExists()) {
        const QString alias = m_currentModel->alias();
        url = alias.isEmpty() ? m_currentModel->publishURL().value_or(QString())
                              : QVROpenRequest::shortLinkBase() + alias;
    }
    m_toolBarView->updateDisplayedShareUrl(url);
}

void QVR_CreatorWindow::applySideMenuState()
{
    // Open: the side menu's own width; closed (or no document): none.
    const bool open = m_currentModel && m_currentModel->sideMenuOpen();
    m_sideBar->setFixedWidth(open ? m_sideMenu->openWidth() : 0);
    updateMinimumWidth();
}

void QVR_CreatorWindow::updateMinimumWidth()
{
    // A window held at its size keeps it; the lock gives back the minimum it found.
    if (WindowSizeLock::lockCount(this) > 0 || !m_topDockBar || !m_sideBar)
        return;
    setMinimumWidth(std::max(m_baseMinimumWidth, m_topDockBar->widthNeeded() + m_sideBar->maximumWidth()));
}

void QVR_CreatorWindow::launchTessarineWithTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (!document || document->flowModels().empty())
        return;
    setCurrentModel(document);
    cleanModelIfOnlyCreatorWindow();
    if (const auto manager = document->documentVideoCompressionManager())
        manager->resumeCompressionForAssetsOfDataModelItem(document);
    m_canvas->setTheArtBoard(nullptr);
    for (QVR_SingleScreenArtBoardView* board : m_artboards) {
        m_canvas->removeWidget(board);
        board->deleteLater();
    }
    m_artboards.clear();
    m_thumbnailController->showScreens({});
    setupScreensFromFlowModelToScrollViews(document->firstFlowmodel());
    // A window without a keyboard place yet would give it to its first button when it shows.
    if (!focusWidget())
        giveKeyboardToCanvas();
}

void QVR_CreatorWindow::reloadCurrentlyLoadedModel()
{
    const auto document = m_currentModel;
    launchTessarineWithTessarineModel(document);
}

void QVR_CreatorWindow::setupScreensFromFlowModelToScrollViews(const std::shared_ptr<ZERI_FlowModel>& flow)
{
    if (!flow)
        return;
    const double rememberedLevel =
        m_artboards.empty() ? QVR_SingleScreenArtBoardView::kFitToScreen : m_artboards.front()->currentZoomLevel();
    const auto& screens = flow->screenModels();

    const QList<QVRThumbnailObject*> shownThumbnails = m_thumbnailController->screensArray();
    const bool unchanged = shownThumbnails.size() == static_cast<qsizetype>(screens.size()) &&
                           std::equal(screens.begin(), screens.end(), shownThumbnails.begin(),
                                      [](const auto& screen, QVRThumbnailObject* thumbnail) {
                                          return thumbnail->screenModel() == screen;
                                      });
    if (unchanged)
        return;

    // Thumbnails: kept for screens that stay, made for new ones.
    m_thumbnailController->showScreens(screens);

    // Boards: kept for screens that stay, made for new ones; the rest go.
    std::vector<QVR_SingleScreenArtBoardView*> old = std::move(m_artboards);
    m_artboards.clear();
    for (const auto& screen : screens) {
        QVR_SingleScreenArtBoardView* board = nullptr;
        const auto kept = std::find_if(old.begin(), old.end(), [&](QVR_SingleScreenArtBoardView* candidate) {
            return candidate && candidate->screenModel() == screen;
        });
        if (kept != old.end()) {
            board = *kept;
            *kept = nullptr;
        } else {
            board = new QVR_SingleScreenArtBoardView(m_canvas);
            m_canvas->addWidget(board);
            board->setGeometry(m_canvas->rect());
            board->setScreenModel(screen);
            // Only a board that gets a view (shown, or asked for it) needs what handles the view's events.
            board->whenScrollViewIsMade([this](QVR_SingleScreenArtBoardView* made) {
                auto* handler = new QVR_InteractableViewHandler(made); // owned by the board
                handler->setCommandsBlocked([this] { return commandsBlocked(); });
            });
        }
        m_artboards.push_back(board);
    }
    // Every board takes the remembered level a moment later, in one turn of the event loop.
    std::vector<QPointer<QVR_SingleScreenArtBoardView>> boards(m_artboards.begin(), m_artboards.end());
    QTimer::singleShot(kZoomRestoreDelayMs, this, [boards = std::move(boards), rememberedLevel] {
        for (const QPointer<QVR_SingleScreenArtBoardView>& board : boards)
            if (board)
                board->setZoomLevel(rememberedLevel, true);
    });
    QWidget* shown = m_canvas->currentWidget();
    for (QVR_SingleScreenArtBoardView* board : old) {
        if (!board)
            continue;
        if (board == shown)
            m_canvas->setTheArtBoard(nullptr);
        m_canvas->removeWidget(board);
        board->deleteLater();
    }
    if (!theArtBoard() && !m_artboards.empty())
        m_canvas->setTheArtBoard(m_artboards.front());
    if (m_thumbnailBar->currentIndex() < 0 && !m_artboards.empty())
        m_thumbnailBar->setSelectionIndexes({0});
}

void QVR_CreatorWindow::updateScrollViews()
{
    if (!m_currentModel)
        return;
    qCInfo(lcCreator) << "Screen Models has changed.";
    const int oldIndex = currentIndex();
    QVR_SingleScreenArtBoardView* shownBoard = theArtBoard();
    const auto shownScreen = shownBoard ? shownBoard->screenModel() : nullptr;
    setupScreensFromFlowModelToScrollViews(m_currentModel->firstFlowmodel());
    const int count = static_cast<int>(m_artboards.size());
    if (count == 0) {
        // No screens: no board shows.
        m_canvas->setTheArtBoard(nullptr);
        m_thumbnailBar->setSelectionIndexes({});
        return;
    }
    int index = oldIndex;
    for (int i = count - 1; i >= 0; --i) {
        if (shownScreen && m_artboards[static_cast<std::size_t>(i)]->screenModel() == shownScreen) {
            index = i;
            break;
        }
    }
    index = std::clamp(index, 0, count - 1);
    setCurrentIndex(index);
}

void QVR_CreatorWindow::pageToScreenWithScreenID(const QString& screenID)
{
    if (screenID.isEmpty())
        return;
    for (std::size_t i = 0; i < m_artboards.size(); ++i) {
        const auto screen = m_artboards[i]->screenModel();
        if (screen && screen->internalID() == screenID) {
            setCurrentIndex(static_cast<int>(i));
            return;
        }
    }
}

QWidget* QVR_CreatorWindow::widgetOfThisWindow(const void* object) const
{
    if (!object)
        return nullptr;
    QList<QWidget*> candidates{const_cast<QVR_CreatorWindow*>(this)};
    candidates += findChildren<QWidget*>();
    for (QWidget* topLevel : QApplication::topLevelWidgets()) {
        for (QWidget* owner = topLevel->parentWidget(); owner; owner = owner->parentWidget()) {
            if (owner == this) {
                candidates << topLevel << topLevel->findChildren<QWidget*>();
                break;
            }
        }
    }
    for (QWidget* candidate : candidates)
        if (static_cast<const void*>(candidate) == object)
            return candidate;
    return nullptr;
}

void QVR_CreatorWindow::insertScreenNotificationReceived(const Notification& notification)
{
    QWidget* sender = widgetOfThisWindow(notification.sender);
    if (!sender || !m_currentModel)
        return;
    // A chooser shown over a shield window closes with it.
    if (auto* shield = qobject_cast<MouseEventShieldWindow*>(sender->window()))
        shield->closeOnClickView()->performClose();
    const auto chosen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(
        notification.userInfo.value(QStringLiteral("screenModel")).value<ModelItemRef>().lock());
    const auto flow = m_currentModel->firstFlowmodel();
    if (!chosen || !flow)
        return;
    const int screens = static_cast<int>(flow->screenModels().size());
    const int index = screens == 0 ? 0 : currentIndex() + 1;
    if (index < 0 || index > screens)
        return;
    const auto copy = ZERI_FlowScreenModel::getScreenModelCopyAndHardLinkFiles(chosen, m_currentModel);
    if (!copy)
        return;

    flow->beginUndoableChanges();
    QVR_SingleScreenArtBoardView* shown = theArtBoard();
    if (const auto displayed = shown ? shown->screenModel() : nullptr;
        displayed && !displayed->internalID().isEmpty() && flow->currentUndoableAction())
        flow->currentUndoableAction()->setUserInfo({{kScreenToPageTo, displayed->internalID()}});
    flow->insertFlowScreen(copy, index);
    flow->endUndoableChanges();
    flow->updateNotifier().sendUpdateNotificationsIfNeeded();
    setCurrentIndex(index);
    dismissAddScreenPopover();

    // A flow without a theme (none or empty) names the kind of screen instead.
    const QString theme = flow->themeID();
    const QString type =
        !theme.isEmpty()
            ? theme
            : QStringLiteral("Non-Theme:%1")
                  .arg(copy->mixedMediaObjects().empty() ? QStringLiteral("Blank") : QStringLiteral("Preformatted"));
    QVRAnalytics::logEvent(QStringLiteral("Added Screen"),
                           {{QStringLiteral("Type"), type}, {QStringLiteral("ScreenID"), copy->internalID()}},
                           m_currentModel);
}

std::shared_ptr<ZERI_FlowModel> QVR_CreatorWindow::thumbnailBarFlow() const
{
    return m_currentModel ? m_currentModel->firstFlowmodel() : nullptr;
}

bool QVR_CreatorWindow::hasChildWindows() const
{
    const QList<QWidget*> topLevels = QApplication::topLevelWidgets();
    return std::any_of(topLevels.begin(), topLevels.end(), [this](QWidget* topLevel) {
        if (topLevel == this || !topLevel->isVisible())
            return false;
        for (QWidget* owner = topLevel->parentWidget(); owner; owner = owner->parentWidget())
            if (owner == this)
                return true;
        return false;
    });
}

void QVR_CreatorWindow::beginAddNewScreenSelection(const QRect& rect, int popoverPosition)
{
    if (thumbnailBarFlow())
        m_canvas->beginAddNewScreenSelection(rect, popoverPosition);
}

void QVR_CreatorWindow::dismissAddScreenPopover()
{
    m_canvas->dismissAddScreenPopover();
}

UniversalPopover* QVR_CreatorWindow::addScreenPopover() const
{
    return m_canvas->addScreenPopover();
}

bool QVR_CreatorWindow::isAddingContent() const
{
    if (QVRContentAdditionManager::isAddingToDocument(m_currentModel.get()))
        return true;
    const auto addition = CreatorContentAddition::shared();
    return addition && m_currentModel && addition->isAddingContent(m_currentModel);
}

void QVR_CreatorWindow::addObjectsFromClipboardToScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                        std::function<void()> done)
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!screen || isAddingContent() || !clipboard) {
        qCWarning(lcCreator) << "objects cannot be added to the screen" << (screen ? screen->internalID() : QString());
        if (done)
            done();
        return;
    }
    // The canvas's drag-out put the objects on the clipboard; the addition owns the undo step and the alerts.
    if (const auto addition = CreatorContentAddition::shared()) {
        addition->addObjectsFromMimeData(
            clipboard->mimeData(), screen, true, this,
            [done = std::move(done)](const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>&) {
                if (done)
                    done();
            });
        return;
    }
    m_toolBarView->startProgressIndicator();
    QPointer<QVR_CreatorWindow> self(this);
    m_contentAddition->addObjectsFromMimeData(clipboard->mimeData(), screen, true, {},
                                              [self, done](const auto&, const Error&) {
                                                  if (self)
                                                      self->m_toolBarView->stopProgressIndicator();
                                                  if (done)
                                                      done();
                                              });
}

bool QVR_CreatorWindow::addDroppedContentToScreen(const QMimeData* mime,
                                                  const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    if (!mime || !screen || isAddingContent() || !QVRContentAdditionManager::canAddFromMimeData(mime))
        return false;
    m_toolBarView->startProgressIndicator();
    QPointer<QVR_CreatorWindow> self(this);
    std::weak_ptr<ZERI_FlowScreenModel> weakScreen = screen;
    m_contentAddition->addObjectsFromMimeData(
        mime, screen, true, {}, [self, weakScreen](const QVRContentAdditionManager::Objects& added, const Error&) {
            if (!self)
                return;
            self->m_toolBarView->stopProgressIndicator();
            const auto target = weakScreen.lock();
            if (!target)
                return;
            target->updateNotifier().sendUpdateNotificationsIfNeeded();
            QVR_CreatorSingleScreen* shown = self->currentlyDisplayedSingleScreen();
            if (shown && shown->flowScreenModel() == target && !added.empty())
                shown->setSelectionsForMixedMediaObjects(added);
        });
    return true;
}

void QVR_CreatorWindow::onUndoPerformed(const Notification& notification)
{
    if (!m_currentModel || !notification.sender)
        return;
    // Only steps of this window's document: the document itself, one of its flows or one of their screens.
    bool ours = notification.sender == m_currentModel.get();
    for (const auto& flow : m_currentModel->flowModels()) {
        ours = ours || notification.sender == flow.get();
        for (const auto& screen : flow->screenModels())
            ours = ours || notification.sender == screen.get();
    }
    if (!ours)
        return;
    const auto action = notification.userInfo.value(QStringLiteral("undoableAction")).value<UndoableActionRef>();
    if (!action)
        return;
    // A flow's screens are rebuilt first, so the page lands on the restored screen.
    if (const auto flow = m_currentModel->firstFlowmodel())
        flow->updateNotifier().sendUpdateNotificationsIfNeeded();
    pageToScreenWithScreenID(action->userInfo().value(kScreenToPageTo).toString());
}

void QVR_CreatorWindow::onForkComplete(const Notification& notification)
{
    // Only the window showing the forked document relaunches, with the copy that kept the server's version.
    if (!m_currentModel || notification.sender != m_currentModel.get())
        return;
    if (notification.userInfo.value(QStringLiteral("overwrite")).toBool())
        return;
    const auto oldModel = std::dynamic_pointer_cast<ZERI_TessarineModel>(
        notification.userInfo.value(QStringLiteral("oldModel")).value<ModelItemRef>().lock());
    if (oldModel)
        launchTessarineWithTessarineModel(oldModel);
}

void QVR_CreatorWindow::openRequesterWantsToDisplayLoadingView(QObject* view)
{
    delete m_loadingViewHolder;
    auto* holder = new QWidget(contentView());
    holder->setGeometry(coveringRect());
    holder->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    // A view that says how large it is stays that size in the middle; one that does not (the download panel,
    // which centres its card itself) covers the holder.
    if (auto* widget = qobject_cast<QWidget*>(view))
        layout->addWidget(widget, 0, widget->sizeHint().isValid() ? Qt::AlignCenter : Qt::Alignment());
    else if (view)
        view->setParent(holder);
    holder->show();
    holder->raise();
    m_loadingViewHolder = holder;
    // The toolbar ignores the mouse until the document is in.
    m_toolBarView->setEnabled(false);
}

void QVR_CreatorWindow::openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    delete m_loadingViewHolder;
    m_toolBarView->setEnabled(!isDisplayingSheet());
    launchTessarineWithTessarineModel(model);
    // The loading view took no keyboard, and the greyed toolbar none either: the canvas takes it now, as in a
    // window opened with its document in (a toolbar button holding it would take a Space meant for the canvas).
    if (!isDisplayingSheet())
        giveKeyboardToCanvas();
}

void QVR_CreatorWindow::closeEvent(QCloseEvent* event)
{
    INAppStoreWindow::closeEvent(event);
    if (!event->isAccepted())
        return;
    finishClosing();
    // Taking apart the window of a large document (a board and a thumbnail per screen) is work of its own: it
    // waits for the next turn of the event loop, so closing and freeing are two short stretches, not one long one.
    if (testAttribute(Qt::WA_DeleteOnClose)) {
        setAttribute(Qt::WA_DeleteOnClose, false);
        QTimer::singleShot(0, this, &QObject::deleteLater);
    }
}

void QVR_CreatorWindow::finishClosing()
{
    if (m_closed)
        return;
    m_closed = true;
    // Closing the window ends its addition (rolled back, nothing left behind).
    m_contentAddition->cancel();
    m_observations.clear();
    m_sideMenuObserver.reset();
    m_flowModelObserver.reset();
    if (!m_currentModel)
        return;
    const auto document = std::exchange(m_currentModel, nullptr);
    UserDefaults::standard().setValue(document->qvdID() + QStringLiteral("creator"), saveGeometry());
    // Checked with the document still set, so other windows on it count.
    m_currentModel = document;
    const bool onlyWindow = isOnlyWindowForTessarine();
    m_currentModel = nullptr;
    if (!onlyWindow)
        return;
    // No other window shows the document's pictures any more; thousands of them are freed on a worker.
    if (auto removal = ModelImageCache::removalOfAssetsOf(*document); !WorkerThreads::shared().post(removal))
        removal();
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage());
    if (const auto manager = document->documentVideoCompressionManager())
        manager->cancelEverything();
    if (package) {
        // The draft is written off the main thread (a large document's text takes longer than a frame to make and
        // to write); the window goes meanwhile.
        package->unloadModelSoon(
            [document, weakPackage = std::weak_ptr<ZERI_qvdFilePackage>(package)](bool unloaded, const Error& error) {
                if (!unloaded) {
                    qCWarning(lcCreator) << "the document could not be unloaded:" << error.message;
                    return;
                }
                // Detached, the document's undo steps can bring nothing back into the package: they let go of the
                // files they held, and what the saved draft does not name leaves the folder. One clean-up, once
                // nothing holds more than the draft names.
                for (const auto& flow : document->flowModels())
                    flow->undoManager().removeAllActions();
                if (const auto closed = weakPackage.lock())
                    closed->cleanDirectoriesSoon();
            });
    }
}
