#include "viewer/QVRPresentationNotesViewController.h"

#include <cmath>

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QVariantAnimation>
#include <QVBoxLayout>

#include "app/QVRAnalytics.h"
#include "controls/GrooveCachingScrollBar.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "elements/images/UNIImage.h"
#include "foundation/BlockTimer.h"
#include "foundation/FontSubstitution.h"
#include "foundation/Tessutils.h"
#include "platform/UserDefaults.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/QVRPresentationNotesView.h"
#include "viewer/QVRScreenLinkThumbnailBar.h"
#include "viewer/QVRViewerViewController.h"
#include "viewer/ViewerLogging.h"
#include "viewer/QVR_PresenterNotesThumbnailHoldingView.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

const QString QVRPresentationNotesViewController::kFontSizeKey = QStringLiteral("presenterNotesFontSizeKey");
const QString QVRPresentationNotesViewController::kUseTotalTimeKey =
    QStringLiteral("presenterNotesShouldUseTotalTimeInsteadOfTimeOnScreenKey");
const QString QVRPresentationNotesViewController::kPauseImageName = QStringLiteral("offblack-pause-btn");
const QString QVRPresentationNotesViewController::kPlayImageName = QStringLiteral("offblack-play-btn");

namespace {

const QString kNotesFontName = QStringLiteral("HelveticaNeue");
constexpr double kScreenAspect = 748.0 / 1024.0;
constexpr int kCurrentPreviewWidth = 260;
constexpr int kNextPreviewWidth = 180;
constexpr int kCurrentBorder = 4;
constexpr int kNextBorder = 1;

std::function<qint64()>& clockFunction()
{
    static std::function<qint64()> clock;
    return clock;
}

QColor white(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level));
}

void fill(QWidget* widget, const QColor& colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

QIcon artwork(const QString& name)
{
    const UNIImage image = UNIImage::imageNamed(name);
    if (image.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(image.CGImage());
    pixmap.setDevicePixelRatio(image.size().width() > 0 ? image.realSize().width() / image.size().width() : 1.0);
    return QIcon(pixmap);
}

// A dark frame holding one screen preview at the screen's proportions, inside a border. It asks for its full width
// and gives way down to a third of it when the window is small; the preview and any overlay (its other children)
// keep to the frame.
class PreviewHolder final : public QWidget {
public:
    PreviewHolder(int previewWidth, int border, const QColor& borderColour)
        : m_previewWidth(previewWidth)
        , m_border(border)
        , m_borderColour(borderColour)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override { return frameSize(m_previewWidth); }
    QSize minimumSizeHint() const override { return frameSize(m_previewWidth / 3); }
    // The preview's rectangle: the widest one of the screen's proportions that fits inside the border.
    QRect previewRect() const
    {
        const QRect inside = rect().adjusted(m_border, m_border, -m_border, -m_border);
        if (inside.isEmpty())
            return {};
        int width = inside.width();
        int height = int(std::lround(width * kScreenAspect));
        if (height > inside.height()) {
            height = inside.height();
            width = int(std::lround(height / kScreenAspect));
        }
        return QRect(inside.topLeft(), QSize(width, height));
    }
    QRect frameRect() const { return previewRect().adjusted(-m_border, -m_border, m_border, m_border); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(frameRect(), m_borderColour);
        painter.fillRect(previewRect(), Qt::darkGray);
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        for (auto* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            child->setGeometry(qobject_cast<QPushButton*>(child) ? frameRect() : previewRect());
    }

private:
    QSize frameSize(int previewWidth) const
    {
        return QSize(previewWidth, int(std::lround(previewWidth * kScreenAspect))) + QSize(2 * m_border, 2 * m_border);
    }

    int m_previewWidth;
    int m_border;
    QColor m_borderColour;
};

// The countdown's bar: a fill from the left edge whose width is a fraction of the bar's, kept on resizes. A fill
// that grows (a new screen) is set at once; one that shrinks or stays glides to its new width.
class CountdownBar final : public QWidget {
public:
    static constexpr int kGlideMs = 250;

    CountdownBar()
        : fill(new QWidget(this))
    {
        ::fill(fill, Tessutils::tessarineBlue());
        fill->setAttribute(Qt::WA_TransparentForMouseEvents);
        glide.setDuration(kGlideMs);
        QObject::connect(&glide, &QVariantAnimation::valueChanged, fill, [this](const QVariant& value) {
            shown = value.toDouble();
            place();
        });
    }
    void setFraction(double value)
    {
        const bool gliding = glide.state() == QAbstractAnimation::Running;
        if (gliding ? glide.endValue().toDouble() == value : shown == value)
            return;
        glide.stop();
        if (value > shown) {
            shown = value;
            place();
            return;
        }
        glide.setStartValue(shown);
        glide.setEndValue(value);
        glide.start();
    }
    QWidget* fill;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        place();
    }

private:
    void place() { fill->setGeometry(0, 0, int(std::lround(width() * shown)), height()); }

    double shown = 1.0;
    QVariantAnimation glide;
};

} // namespace

QVRPresentationNotesViewController::QVRPresentationNotesViewController(QObject* parent)
    : ViewController(parent)
    , m_playPauseImageName(kPauseImageName)
    , m_thumbnailController(new QVRThumbnailController(this))
{
    m_pendingScreenTimer = new QTimer(this);
    // A timer rather than a posted call: posted calls run ahead of the player's pending repaint.
    m_pendingScreenTimer->setSingleShot(true);
    m_pendingScreenTimer->setInterval(0);
    connect(m_pendingScreenTimer, &QTimer::timeout, this, &QVRPresentationNotesViewController::showPendingScreen);
}

QVRPresentationNotesViewController::~QVRPresentationNotesViewController()
{
    delete m_screenTimer.data();
    delete m_continuousTimer.data();
    // The strip's items hand their previews back before the previews go, while the strip is still there.
    delete m_thumbnailController;
    m_thumbnailController = nullptr;
}

void QVRPresentationNotesViewController::setClockForTesting(std::function<qint64()> clock)
{
    clockFunction() = std::move(clock);
}

qint64 QVRPresentationNotesViewController::now()
{
    if (const auto& clock = clockFunction())
        return clock();
    static QElapsedTimer monotonic;
    if (!monotonic.isValid())
        monotonic.start();
    return monotonic.elapsed();
}

double QVRPresentationNotesViewController::secondsSince(qint64 date) const
{
    return double(now() - date) / 1000.0;
}

void QVRPresentationNotesViewController::loadView()
{
    auto* root = new QVRPresentationNotesView;
    m_view = root;
    fill(root, white(0.2));
    connect(root->swapDisplaysButton(), &QPushButton::clicked, this,
            &QVRPresentationNotesViewController::swapDisplaysButtonPressed);
    root->swapDisplaysButton()->setIcon(artwork(QStringLiteral("presenter-notes-swap-displays")));
    root->swapDisplaysButton()->setIconSize(QSize(28, 20));
    root->swapDisplaysButton()->setFlat(true);

    auto* rootLayout = new QVBoxLayout(root);
    rootLayout->setContentsMargins(12, 12, 12, 8);
    rootLayout->setSpacing(8);
    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    rootLayout->addLayout(top, 1);

    // Left: the shown and the next screen.
    auto* previews = new QWidget;
    fill(previews, white(0.72));
    auto* previewsLayout = new QVBoxLayout(previews);
    previewsLayout->setContentsMargins(8, 8, 8, 8);
    previewsLayout->setSpacing(4);
    m_currentLabel = new QLabel(UFM::CURRENT_TEXT());
    m_currentLabel->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; border-radius: 4px; "
                                                 "padding: 1px 6px 4px 6px; }")
                                      .arg(Tessutils::tessarineBlueForDarkDesigns().name()));
    previewsLayout->addWidget(m_currentLabel, 0, Qt::AlignLeft);
    m_currentHolder = new PreviewHolder(kCurrentPreviewWidth, kCurrentBorder, Tessutils::tessarineBlueForDarkDesigns());
    previewsLayout->addWidget(m_currentHolder, 0, Qt::AlignLeft);
    auto* nextRow = new QHBoxLayout;
    m_nextTextOverlayButton = new QPushButton(UFM::NEXT_TEXT());
    m_nextTextOverlayButton->setFocusPolicy(Qt::NoFocus);
    m_nextTextOverlayButton->setStyleSheet(
        QStringLiteral("QPushButton { background: white; color: black; border: none; border-radius: 4px; "
                       "padding: 1px 6px 4px 6px; }"));
    connect(m_nextTextOverlayButton, &QPushButton::clicked, this,
            &QVRPresentationNotesViewController::nextButtonPressed);
    nextRow->addWidget(m_nextTextOverlayButton);
    m_endLabel = new QLabel(UFM::END_TEXT());
    m_endLabel->setStyleSheet(QStringLiteral("QLabel { color: black; font-weight: bold; }"));
    m_endLabel->hide();
    nextRow->addWidget(m_endLabel);
    nextRow->addStretch(1);
    previewsLayout->addLayout(nextRow);
    m_nextHolder = new PreviewHolder(kNextPreviewWidth, kNextBorder, white(0.38));
    m_nextImageOverlayButton = new QPushButton(m_nextHolder);
    m_nextImageOverlayButton->setFlat(true);
    m_nextImageOverlayButton->setFocusPolicy(Qt::NoFocus);
    m_nextImageOverlayButton->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
    m_nextImageOverlayButton->setGeometry(m_nextHolder->rect());
    connect(m_nextImageOverlayButton, &QPushButton::clicked, this,
            &QVRPresentationNotesViewController::nextButtonPressed);
    previewsLayout->addWidget(m_nextHolder, 0, Qt::AlignLeft);
    previewsLayout->addStretch(1);
    previewsLayout->addWidget(root->swapDisplaysButton(), 0, Qt::AlignLeft);
    top->addWidget(previews, 0);

    // Right: the clock, the countdown, the text sizes and the notes.
    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    top->addLayout(right, 1);
    auto* timeHolder = new QWidget;
    fill(timeHolder, white(0.96));
    auto* timeLayout = new QHBoxLayout(timeHolder);
    timeLayout->setContentsMargins(10, 4, 10, 4);
    auto* clockColumn = new QVBoxLayout;
    m_timeFieldHeader = new QLabel(timeFieldHeaderString());
    m_timeFieldHeader->setStyleSheet(QStringLiteral("QLabel { color: #555555; }"));
    clockColumn->addWidget(m_timeFieldHeader);
    m_timeField = new QLabel(QStringLiteral("00:00"));
    m_timeField->setFont(FontSubstitution::fontForPostScriptName(kNotesFontName, 30));
    m_timeField->setStyleSheet(QStringLiteral("QLabel { color: black; }"));
    // Room for the longest reading from the start: a new reading every second then repaints the field alone,
    // where a label that could change its size would lay the whole window out again.
    m_timeField->setFixedSize(QFontMetrics(m_timeField->font()).size(Qt::TextSingleLine, QStringLiteral("00:00:00")) +
                              QSize(4, 2));
    clockColumn->addWidget(m_timeField);
    timeLayout->addLayout(clockColumn);
    m_timeToggleButton = new QPushButton(UFM::TIME_TEXT());
    m_timeToggleButton->setFocusPolicy(Qt::NoFocus);
    connect(m_timeToggleButton, &QPushButton::clicked, this,
            &QVRPresentationNotesViewController::timeToggleButtonPressed);
    timeLayout->addWidget(m_timeToggleButton);
    timeLayout->addStretch(1);
    const auto makeSizeButton = [this, timeLayout](const QString& name) {
        auto* button = new QPushButton;
        button->setFocusPolicy(Qt::NoFocus);
        button->setFlat(true);
        button->setIcon(artwork(name));
        button->setIconSize(QSize(24, 24));
        connect(button, &QPushButton::clicked, this, [this, button] { textSizeButtonPressed(button); });
        timeLayout->addWidget(button);
        return button;
    };
    m_bigTextButton = makeSizeButton(QStringLiteral("presenter-notes-text-big"));
    m_medTextButton = makeSizeButton(QStringLiteral("presenter-notes-text-medium"));
    m_smallTextButton = makeSizeButton(QStringLiteral("presenter-notes-text-small"));
    right->addWidget(timeHolder);

    auto* countdownRow = new QHBoxLayout;
    m_playPauseButton = new QPushButton;
    m_playPauseButton->setFocusPolicy(Qt::NoFocus);
    m_playPauseButton->setFlat(true);
    m_playPauseButton->setIconSize(QSize(22, 22));
    m_playPauseButton->setIcon(artwork(m_playPauseImageName));
    connect(m_playPauseButton, &QPushButton::clicked, this,
            &QVRPresentationNotesViewController::playPauseButtonPressed);
    countdownRow->addWidget(m_playPauseButton);
    auto* bar = new CountdownBar;
    m_countdownBarHolder = bar;
    m_progressBarFill = bar->fill;
    m_countdownBarHolder->setFixedHeight(kCountdownBarHeight);
    countdownRow->addWidget(m_countdownBarHolder, 1, Qt::AlignVCenter);
    right->addLayout(countdownRow);

    m_notesTextView = new QTextEdit;
    m_notesTextView->setReadOnly(true);
    // Keys belong to the view, which hands them to the viewer; the notes scroll with the wheel.
    m_notesTextView->setFocusPolicy(Qt::NoFocus);
    m_notesTextView->document()->setDocumentMargin(10);
    m_notesTextView->setStyleSheet(QStringLiteral("QTextEdit { background: white; color: black; }"));
    right->addWidget(m_notesTextView, 1);

    // Below: every screen of the flow.
    m_thumbnailBar = new QVRScreenLinkThumbnailBar;
    m_thumbnailBar->setShouldPassTouches(true);
    m_thumbnailBar->setThumbnailHoldingViewClass(
        [](const QRect& frame) { return new QVR_PresenterNotesThumbnailHoldingView(frame); });
    m_thumbnailScrollArea = new QScrollArea;
    // The strip scrolls to every new screen, an animation that repaints the scroll bar each frame.
    m_thumbnailScrollArea->setHorizontalScrollBar(new GrooveCachingScrollBar(Qt::Horizontal));
    m_thumbnailScrollArea->setWidget(m_thumbnailBar);
    m_thumbnailScrollArea->setWidgetResizable(false);
    m_thumbnailScrollArea->setFrameShape(QFrame::NoFrame);
    m_thumbnailScrollArea->setFocusPolicy(Qt::NoFocus);
    m_thumbnailScrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_thumbnailScrollArea->setFixedHeight(m_thumbnailBar->itemSize().height() +
                                          m_thumbnailScrollArea->horizontalScrollBar()->sizeHint().height());
    rootLayout->addWidget(m_thumbnailScrollArea);
    m_thumbnailController->setCollectionView(m_thumbnailBar);

    applyFontSize(savedPresenterNotesFontSize());
    setPlayPauseButtonHidden(m_playPauseButtonHidden);
    setView(root);

    QPointer<QVRPresentationNotesViewController> self(this);
    m_screenTimer = new BlockTimer(
        [self] {
            if (self)
                self->updateTimeField();
        },
        -1, kScreenTimerInterval, 0, this);
    m_continuousTimer = new BlockTimer(
        [self] {
            if (self)
                self->updateCountdownBarPercentage();
        },
        -1, kContinuousTimerInterval, 0, this);
}

QVRViewerViewController* QVRPresentationNotesViewController::viewerViewController() const
{
    return m_viewerViewController;
}

void QVRPresentationNotesViewController::setViewerViewController(QVRViewerViewController* controller)
{
    m_viewerViewController = controller;
}

TessarineBackgroundedScreenPreview* QVRPresentationNotesViewController::currentPreview()
{
    showPendingScreen();
    return m_currentPreview;
}

TessarineBackgroundedScreenPreview* QVRPresentationNotesViewController::nextPreview()
{
    showPendingScreen();
    return m_nextPreview;
}

QVRPresentationNotesView* QVRPresentationNotesViewController::notesView()
{
    view();
    showPendingScreen();
    return m_view;
}

QTextEdit* QVRPresentationNotesViewController::notesTextView()
{
    view();
    showPendingScreen();
    return m_notesTextView;
}

QWidget* QVRPresentationNotesViewController::currentSlidePreviewHolder()
{
    view();
    showPendingScreen();
    return m_currentHolder;
}

QWidget* QVRPresentationNotesViewController::nextSlidePreviewHolder()
{
    view();
    showPendingScreen();
    return m_nextHolder;
}

QPushButton* QVRPresentationNotesViewController::nextSlideImageOverlayButton()
{
    view();
    return m_nextImageOverlayButton;
}

QLabel* QVRPresentationNotesViewController::endLabel()
{
    view();
    return m_endLabel;
}

QLabel* QVRPresentationNotesViewController::timeField()
{
    view();
    return m_timeField;
}

QLabel* QVRPresentationNotesViewController::timeFieldHeader()
{
    view();
    return m_timeFieldHeader;
}

QPushButton* QVRPresentationNotesViewController::playPauseButton()
{
    view();
    return m_playPauseButton;
}

QPushButton* QVRPresentationNotesViewController::bigTextButton()
{
    view();
    return m_bigTextButton;
}

QPushButton* QVRPresentationNotesViewController::medTextButton()
{
    view();
    return m_medTextButton;
}

QPushButton* QVRPresentationNotesViewController::smallTextButton()
{
    view();
    return m_smallTextButton;
}

QPushButton* QVRPresentationNotesViewController::timeToggleButton()
{
    view();
    return m_timeToggleButton;
}

QWidget* QVRPresentationNotesViewController::countdownBarHolderView()
{
    view();
    return m_countdownBarHolder;
}

QWidget* QVRPresentationNotesViewController::progressBarFillView()
{
    view();
    return m_progressBarFill;
}

QVRScreenLinkThumbnailBar* QVRPresentationNotesViewController::thumbnailBar()
{
    view();
    showPendingScreen();
    return m_thumbnailBar;
}

void QVRPresentationNotesViewController::setPlayPauseButtonHidden(bool hidden)
{
    m_playPauseButtonHidden = hidden;
    if (!m_playPauseButton)
        return;
    m_playPauseButton->setVisible(!hidden);
    m_countdownBarHolder->setFixedHeight(hidden ? 0 : kCountdownBarHeight);
}

void QVRPresentationNotesViewController::setPlayPauseButtonPlaying(bool playing)
{
    m_playPauseImageName = playing ? kPauseImageName : kPlayImageName;
    if (m_playPauseButton)
        m_playPauseButton->setIcon(artwork(m_playPauseImageName));
    if (playing)
        resume();
    else
        pause();
}

void QVRPresentationNotesViewController::setCurrentScreen(const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    if (screen == m_currentScreen)
        return;
    view();
    m_currentScreen = screen;
    setFlowModel(screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr);
    watchPreviewDownload(screen, m_currentPreviewDownload);
    watchPreviewDownload(nextScreen(), m_nextPreviewDownload);
    m_screenPending = true;
    m_pendingScreenTimer->start();

    const qsizetype index = screen && m_flowModel ? m_flowModel->indexOfFlowScreen(screen) : -1;

    const qint64 start = now();
    if (!m_viewLoadedDate) {
        // The first screen's times start a second late, as the window takes its place.
        m_viewLoadedDate = start + 1000;
        m_screenStartedViewDate = start + 1000;
    } else {
        m_screenStartedViewDate = start;
    }
    if (!shouldUseTotalTime())
        m_timeField->setText(QStringLiteral("00:00"));

    std::optional<double> duration = screen ? screen->autoAdvanceSlideDuration() : std::nullopt;
    if (!duration && m_flowModel)
        duration = m_flowModel->autoAdvanceSlideDuration();
    m_totalSlideTime = duration && std::isfinite(*duration) && *duration > 0 ? *duration : 0.0;

    resetPauseTimer();
    if (m_isPaused)
        pause();
    setPercentAutoplayLeft(1.0);
    m_timerResetDate = m_screenStartedViewDate;

    const bool last = index >= 0 && index == qsizetype(m_flowModel->screenModels().size()) - 1;
    m_endLabel->setVisible(last);
}

void QVRPresentationNotesViewController::showPendingScreen()
{
    if (!m_screenPending)
        return;
    m_screenPending = false;
    m_pendingScreenTimer->stop();
    const auto& screen = m_currentScreen;
    showPreviews();
    // Setting even the same text lays the document out again and repaints the whole field.
    const QString notes = screen ? screen->presenterNotes() : QString();
    if (m_notesTextView->toPlainText() != notes)
        m_notesTextView->setPlainText(notes);
    const qsizetype index = screen && m_flowModel ? m_flowModel->indexOfFlowScreen(screen) : -1;
    m_thumbnailBar->setSelectionIndexes(index >= 0 ? QList<int>{int(index)} : QList<int>{});
}

void QVRPresentationNotesViewController::setFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow)
{
    if (flow == m_flowModel)
        return;
    view();
    m_flowModel = flow;
    m_thumbnailController->removeAllScreens();
    if (!flow)
        return;
    QList<TessarineBackgroundedScreenPreview*> previews;
    for (const auto& screen : flow->screenModels())
        previews.append(new TessarineBackgroundedScreenPreview(
            QRect(0, 0, kThumbnailPreviewWidth, kThumbnailPreviewHeight), screen, 1.0, true));
    m_thumbnailController->setupWithBackgroundedScreenPreviews(previews);
    m_thumbnailBar->thumbnailItemsReordered();
}

std::shared_ptr<ZERI_FlowScreenModel> QVRPresentationNotesViewController::nextScreen() const
{
    if (!m_currentScreen)
        return nullptr;
    const auto flow = m_currentScreen->nearestParentItemOfClass<ZERI_FlowModel>();
    if (!flow)
        return nullptr;
    const qsizetype index = flow->indexOfFlowScreen(m_currentScreen);
    const auto& screens = flow->screenModels();
    if (index < 0 || index + 1 >= qsizetype(screens.size()))
        return nullptr;
    return screens[std::size_t(index + 1)];
}

TessarineBackgroundedScreenPreview*
QVRPresentationNotesViewController::makePreview(QWidget* holder, const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                TessarineBackgroundedScreenPreview* outgoing, bool reload)
{
    if (!screen) {
        delete outgoing;
        return nullptr;
    }
    if (outgoing && outgoing->screenModel() == screen && !reload)
        return outgoing;
    // The stored picture is decoded on a worker; once shown, a preview without one asks its screen for one. The
    // outgoing preview stays underneath until the new one's picture is in (or it is gone), so a page change never
    // shows an empty frame, and the main thread neither decodes nor draws a picture during auto-advance.
    auto* preview = new TessarineBackgroundedScreenPreview(
        static_cast<PreviewHolder*>(holder)->previewRect(), screen, true,
        TessarineBackgroundedScreenPreview::StoredPicture::DecodeInBackground, holder);
    preview->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (outgoing) {
        if (preview->isDecodingStoredPicture()) {
            connect(preview, &TessarineBackgroundedScreenPreview::storedPictureDecoded, outgoing,
                    &QObject::deleteLater);
            connect(preview, &QObject::destroyed, outgoing, &QObject::deleteLater);
        } else {
            delete outgoing;
        }
    }
    preview->show();
    return preview;
}

void QVRPresentationNotesViewController::watchPreviewDownload(const std::shared_ptr<ZERI_FlowScreenModel>& screen,
                                                              PreviewDownload& download)
{
    download.observer.reset();
    download.downloader.reset();
    const auto asset = screen ? screen->previewScreenShotAsset() : nullptr;
    const auto downloader = asset ? ContentAssetStorage::downloader(*asset) : nullptr;
    if (!downloader || downloader->fileExists())
        return;
    download.downloader = downloader;
    QPointer<QVRPresentationNotesViewController> self(this);
    download.observer = downloader->updateNotifier().addObservationBlock(
        [self](const void* sender, const QSet<QString>&) {
            qCDebug(lcViewer) << "downloadStatus changed? keyPath: downloadStatus  object:" << sender;
            if (self)
                self->showPreviews(true); // the file may be on disk now: read it again
        },
        QStringLiteral("downloadStatus"));
    downloader->downloadAndCache();
}

void QVRPresentationNotesViewController::showPreviews(bool reload)
{
    m_currentPreview = makePreview(m_currentHolder, m_currentScreen, m_currentPreview, reload);
    m_nextPreview = makePreview(m_nextHolder, nextScreen(), m_nextPreview, reload);
    m_nextImageOverlayButton->raise();
}

void QVRPresentationNotesViewController::pause()
{
    if (m_pauseDate)
        return;
    m_pauseDate = now();
    m_isPaused = true;
}

void QVRPresentationNotesViewController::resume()
{
    if (!m_isPaused)
        return;
    if (m_pauseDate)
        m_timePaused += secondsSince(*m_pauseDate);
    m_pauseDate.reset();
    m_isPaused = false;
}

void QVRPresentationNotesViewController::togglePaused()
{
    if (m_isPaused)
        resume();
    else
        pause();
    if (m_onPlayPauseButtonPressed)
        m_onPlayPauseButtonPressed();
}

void QVRPresentationNotesViewController::resetPauseTimer()
{
    m_timePaused = 0;
    m_pauseDate.reset();
}

void QVRPresentationNotesViewController::updateCountdownBarPercentage()
{
    if (m_isPaused)
        return;
    double fraction = 1.0;
    if (m_totalSlideTime > 0 && m_timerResetDate) {
        const float left = float(m_totalSlideTime) - (float(secondsSince(*m_timerResetDate)) - float(m_timePaused));
        fraction = double(std::max(left, 0.0f)) / m_totalSlideTime;
    }
    setPercentAutoplayLeft(fraction);
}

void QVRPresentationNotesViewController::setPercentAutoplayLeft(double fraction)
{
    // The first screen's countdown starts a second ahead: the fraction would exceed 1 until then.
    const double held = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 1.0;
    m_lastPercent = held;
    if (m_countdownBarHolder)
        static_cast<CountdownBar*>(m_countdownBarHolder)->setFraction(held);
}

void QVRPresentationNotesViewController::updateTimeField()
{
    if (!m_currentScreen || !m_timeField)
        return;
    const std::optional<qint64> since = shouldUseTotalTime() ? m_viewLoadedDate : m_screenStartedViewDate;
    if (!since)
        return;
    const double seconds = std::trunc(secondsSince(*since));
    m_timeField->setText(timeFieldString(qint64(seconds)));
}

QString QVRPresentationNotesViewController::timeFieldHeaderString() const
{
    return shouldUseTotalTime() ? UFM::TOTAL_TIME_TEXT() : UFM::TIME_ON_SCREEN_TEXT();
}

QString QVRPresentationNotesViewController::timeFieldString(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    if (seconds >= 3600)
        return QString::asprintf("%d:%02d:%02d", int(seconds / 3600), int(seconds % 3600 / 60), int(seconds % 60));
    return QString::asprintf("%02d:%02d", int(seconds / 60), int(seconds % 60));
}

double QVRPresentationNotesViewController::savedPresenterNotesFontSize()
{
    bool ok = false;
    const double size = UserDefaults::standard().value(kFontSizeKey).toDouble(&ok);
    if (!ok || !std::isfinite(size) || size <= 0 || size > kLargestFontSize)
        return kDefaultFontSize;
    return size;
}

void QVRPresentationNotesViewController::savePresenterNotesFontSize(double size)
{
    UserDefaults::standard().setValue(kFontSizeKey, size);
}

bool QVRPresentationNotesViewController::shouldUseTotalTime()
{
    return UserDefaults::standard().boolValue(kUseTotalTimeKey);
}

void QVRPresentationNotesViewController::setShouldUseTotalTime(bool useTotalTime)
{
    UserDefaults::standard().setValue(kUseTotalTimeKey, useTotalTime);
}

void QVRPresentationNotesViewController::applyFontSize(double size)
{
    if (m_notesTextView)
        m_notesTextView->setFont(FontSubstitution::fontForPostScriptName(kNotesFontName, size));
}

void QVRPresentationNotesViewController::toggleFullscreen()
{
    if (m_viewerViewController)
        m_viewerViewController->togglePresenterViewFullscreen();
}

void QVRPresentationNotesViewController::nextButtonPressed()
{
    if (const auto next = nextScreen())
        setCurrentScreen(next);
}

void QVRPresentationNotesViewController::playPauseButtonPressed()
{
    if (m_onPlayPauseButtonPressed)
        m_onPlayPauseButtonPressed();
}

void QVRPresentationNotesViewController::textSizeButtonPressed(QObject* sender)
{
    double size = kMediumFontSize;
    if (sender && sender == m_bigTextButton)
        size = kBigFontSize;
    else if (sender && sender == m_smallTextButton)
        size = kSmallFontSize;
    applyFontSize(size);
    savePresenterNotesFontSize(size);
}

void QVRPresentationNotesViewController::timeToggleButtonPressed()
{
    const bool toTotal = !shouldUseTotalTime();
    QVRAnalytics::logEvent(
        QStringLiteral("Presenter Time Toggled"),
        {{QStringLiteral("DidSwitchToTotalTime"), toTotal ? QStringLiteral("YES") : QStringLiteral("NO")}},
        m_currentScreen ? m_currentScreen->tessarineModel() : nullptr);
    setShouldUseTotalTime(toTotal);
    if (m_timeFieldHeader)
        m_timeFieldHeader->setText(timeFieldHeaderString());
    updateTimeField();
}

void QVRPresentationNotesViewController::swapDisplaysButtonPressed()
{
    if (m_viewerViewController)
        m_viewerViewController->swapPresenterNotesDisplays();
}
