#include "creator/thumbnails/QVRNewScreenSelectionViewController.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "creator/CreatorLogging.h"
#include "creator/TessarineThemeCatalogue.h"
#include "creator/thumbnails/QVRThumbnailController.h"
#include "creator/thumbnails/QVRThumbnailObject.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "service/QVB_TessarinePrecacheHelper.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/previews/TessarineBackgroundedScreenPreview.h"

namespace {

const QString kInsertionNotification = QStringLiteral("NEW_SCREEN_MODEL_INSERTION_NOTIFICATION");
constexpr int kProgressSteps = 1000;
constexpr int kColumns = 2;

// One tile: the preview inset by the margin over a soft shadow, on white.
class NewScreenTile : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const int m = QVRNewScreenSelectionViewController::kTileMargin;
        const QRect preview = rect().adjusted(m, m, -m, -m);
        // Shadow: blur 2, black at 0.8, one point down.
        for (int spread = 2; spread >= 1; --spread)
            painter.fillRect(preview.translated(0, 1).adjusted(-spread, -spread, spread, spread),
                             QColor(0, 0, 0, int(0.8 * 255 / (spread + 2))));
        painter.fillRect(preview.translated(0, 1), QColor(0, 0, 0, int(0.8 * 255)));
    }
};

} // namespace

QVR_NewScreenSelectionButton::QVR_NewScreenSelectionButton(QVRThumbnailObject* object, QWidget* parent)
    : QPushButton(parent)
    , m_object(object)
{
    setFlat(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoDefault(true);
    setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; }"));
}

void QVR_NewScreenSelectionButton::paintEvent(QPaintEvent* event)
{
    QPushButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Tessutils::tessarineBlue(), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
}

QVRNewScreenSelectionViewController::QVRNewScreenSelectionViewController(const QString& templateId, QObject* parent)
    : ViewController(parent)
    , m_templateId(templateId)
    , m_thumbnailController(new QVRThumbnailController(this))
{
    m_precacheManager.setDelegate(this);
    connect(m_thumbnailController, &QVRThumbnailController::screensArrayChanged, this,
            &QVRNewScreenSelectionViewController::rebuildTiles);

    TessarineThemeCatalogue& catalogue = TessarineThemeCatalogue::shared();
    // No theme, or one the catalogue does not know: the blank theme's screens are offered.
    if (m_templateId.isEmpty() || !catalogue.hasTheme(m_templateId))
        m_templateId = TessarineThemeCatalogue::kBlankThemeID;
    const auto sample = catalogue.sampleDocument(m_templateId);
    if (sample && !sample->flowModels().empty()) {
        setFlowmodel(sample->flowModels().front());
        return;
    }
    m_waitingForDownload = true;
    catalogue.downloadSampleDocument(m_templateId, this, [this] { themeDocumentDidFinishDownloading(); });
}

QVRNewScreenSelectionViewController::~QVRNewScreenSelectionViewController()
{
    m_precacheManager.setDelegate(nullptr);
    m_precacheManager.resetEverything();
}

void QVRNewScreenSelectionViewController::loadView()
{
    auto* view = new QWidget;
    view->setAutoFillBackground(true);
    QPalette palette = view->palette();
    palette.setColor(QPalette::Window, Qt::white);
    view->setPalette(palette);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    m_progressBar = new QProgressBar(view);
    m_progressBar->setTextVisible(false);
    layout->addWidget(m_progressBar);
    m_scrollArea = new QScrollArea(view);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_grid = new QWidget;
    m_grid->setAutoFillBackground(true);
    m_grid->setPalette(palette);
    new QGridLayout(m_grid);
    m_scrollArea->setWidget(m_grid);
    layout->addWidget(m_scrollArea, 1);
    view->resize(2 * (kPreviewSize.width() + 2 * kTileMargin) + 40, 480);
    view->installEventFilter(this);
    setView(view);
    if (m_waitingForDownload) {
        m_progressBar->setRange(0, 0);
        m_progressBar->show();
    } else if (m_progressValue >= 0) {
        m_progressBar->setRange(0, kProgressSteps);
        m_progressBar->setValue(int(m_progressValue * kProgressSteps));
    } else {
        m_progressBar->hide();
    }
    rebuildTiles();
}

bool QVRNewScreenSelectionViewController::isProgressBusy() const
{
    return m_waitingForDownload;
}

void QVRNewScreenSelectionViewController::themeDocumentDidFinishDownloading()
{
    m_waitingForDownload = false;
    const auto sample = TessarineThemeCatalogue::shared().sampleDocument(m_templateId);
    if (!sample || sample->flowModels().empty()) {
        qCWarning(lcCreator) << "the sample document of the theme" << m_templateId << "is still missing";
        stopProgress();
        return;
    }
    setFlowmodel(sample->flowModels().front());
}

void QVRNewScreenSelectionViewController::setFlowmodel(const std::shared_ptr<ZERI_FlowModel>& flow)
{
    if (!flow || flow == m_flowmodel)
        return;
    m_flowmodel = flow;
    QPointer<QVRNewScreenSelectionViewController> self(this);
    QVB_TessarinePrecacheHelper::preloadAssetsFromModel(flow->tessarineModel(), kPrecacheOptions, m_precacheManager,
                                                        [self] {
                                                            if (!self)
                                                                return;
                                                            self->stopProgress();
                                                            self->fillThumbnails();
                                                        });
}

std::shared_ptr<ZERI_FlowModel> QVRNewScreenSelectionViewController::blankThemeFlow() const
{
    const auto blank = TessarineThemeCatalogue::shared().sampleDocument(TessarineThemeCatalogue::kBlankThemeID);
    return blank && !blank->flowModels().empty() ? blank->flowModels().front() : nullptr;
}

void QVRNewScreenSelectionViewController::fillThumbnails()
{
    QList<TessarineBackgroundedScreenPreview*> previews;
    const QRect frame(QPoint(0, 0), kPreviewSize);
    if (m_flowmodel)
        for (const auto& screen : m_flowmodel->screenModels())
            previews.append(new TessarineBackgroundedScreenPreview(frame, screen));
    if (m_templateId != TessarineThemeCatalogue::kBlankThemeID)
        if (const auto blank = blankThemeFlow())
            for (const auto& screen : blank->screenModels())
                previews.append(new TessarineBackgroundedScreenPreview(frame, screen));
    m_thumbnailController->removeAllScreens();
    m_thumbnailController->setupWithBackgroundedScreenPreviews(previews);
}

void QVRNewScreenSelectionViewController::stopProgress()
{
    m_waitingForDownload = false;
    m_progressValue = -1;
    if (m_progressBar)
        m_progressBar->hide();
}

void QVRNewScreenSelectionViewController::rebuildTiles()
{
    if (!m_grid)
        return;
    auto* layout = static_cast<QGridLayout*>(m_grid->layout());
    // The tiles go; the previews are handed back to their objects first.
    for (QVRThumbnailObject* object : m_thumbnailController->screensArray())
        object->reclaimPreview();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_buttons.clear();
    const QList<QVRThumbnailObject*> objects = m_thumbnailController->screensArray();
    const QSize tileSize = kPreviewSize + QSize(2 * kTileMargin, 2 * kTileMargin);
    for (int i = 0; i < objects.size(); ++i) {
        auto* tile = new NewScreenTile(m_grid);
        tile->setFixedSize(tileSize);
        if (QWidget* preview = objects[i]->singleScreen()) {
            preview->setParent(tile);
            preview->setGeometry(kTileMargin, kTileMargin, kPreviewSize.width(), kPreviewSize.height());
            preview->show();
        }
        auto* button = new QVR_NewScreenSelectionButton(objects[i], tile);
        button->setGeometry(tile->rect());
        button->raise();
        connect(button, &QPushButton::clicked, this, [this, button] { screenSelectedWithObject(button->object()); });
        button->installEventFilter(this);
        m_buttons.append(button);
        layout->addWidget(tile, i / kColumns, i % kColumns);
    }
    // Tiles that arrive while the chooser shows (a theme's sample still downloading) take the keyboard then.
    if (view()->isVisible())
        focusFirstTile();
}

void QVRNewScreenSelectionViewController::focusFirstTile()
{
    QPointer<QVR_NewScreenSelectionButton> first = m_buttons.value(0);
    // Once the popover holding the view has taken the keyboard.
    QTimer::singleShot(0, this, [first] {
        if (!first || !first->isVisible())
            return;
        // A tile the keyboard already moved to keeps it.
        if (qobject_cast<QVR_NewScreenSelectionButton*>(first->window()->focusWidget()))
            return;
        first->activateWindow();
        first->setFocus(Qt::PopupFocusReason);
    });
}

bool QVRNewScreenSelectionViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view() && event->type() == QEvent::Show) {
        focusFirstTile();
    } else if (event->type() == QEvent::KeyPress) {
        const int at = m_buttons.indexOf(qobject_cast<QVR_NewScreenSelectionButton*>(watched));
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int step = key == Qt::Key_Right  ? 1
                         : key == Qt::Key_Left ? -1
                         : key == Qt::Key_Down ? kColumns
                         : key == Qt::Key_Up   ? -kColumns
                                               : 0;
        if (at >= 0 && step != 0) {
            const int next = at + step;
            if (next >= 0 && next < m_buttons.size() && m_buttons[next]) {
                m_buttons[next]->setFocus(Qt::TabFocusReason);
                if (m_scrollArea)
                    m_scrollArea->ensureWidgetVisible(m_buttons[next]->parentWidget(), 0, 0);
            }
            return true;
        }
    }
    return ViewController::eventFilter(watched, event);
}

QList<QVR_NewScreenSelectionButton*> QVRNewScreenSelectionViewController::tileButtons() const
{
    QList<QVR_NewScreenSelectionButton*> buttons;
    for (const auto& button : m_buttons)
        if (button)
            buttons.append(button);
    return buttons;
}

void QVRNewScreenSelectionViewController::screenSelectedWithObject(QVRThumbnailObject* object)
{
    const int position = object ? int(m_thumbnailController->screensArray().indexOf(object)) : -1;
    // A pick of something not in the grid is no pick.
    if (position < 0 || m_selectionHappened)
        return;
    m_selectionHappened = true;
    auto source = m_flowmodel;
    qsizetype index = position;
    if (!source || index >= qsizetype(source->screenModels().size())) {
        index -= source ? qsizetype(source->screenModels().size()) : 0;
        source = m_templateId != TessarineThemeCatalogue::kBlankThemeID ? blankThemeFlow() : nullptr;
    }
    if (!source || index < 0 || index >= qsizetype(source->screenModels().size()))
        return;
    const ModelItemRef screen = source->screenModels()[std::size_t(index)];
    NotificationCenter::defaultCenter().post(kInsertionNotification, view(),
                                             {{QStringLiteral("screenModel"), QVariant::fromValue(screen)}});
}

void QVRNewScreenSelectionViewController::precacheManagerStartedLoad(QVBPrecacheManager*)
{
    m_waitingForDownload = false;
    m_progressValue = 0.0;
    if (m_progressBar) {
        m_progressBar->setRange(0, kProgressSteps);
        m_progressBar->setValue(0);
        m_progressBar->show();
    }
}

void QVRNewScreenSelectionViewController::precacheManager(QVBPrecacheManager*, quint64, quint64,
                                                          int downloadedObjectsSoFar, int totalObjects)
{
    if (totalObjects <= 0)
        return;
    m_progressValue = double(downloadedObjectsSoFar) / double(totalObjects);
    qCInfo(lcCreator).noquote() << QString::asprintf("Progress =  %f", m_progressValue);
    if (m_progressBar)
        m_progressBar->setValue(int(m_progressValue * kProgressSteps));
}

void QVRNewScreenSelectionViewController::precacheManagerDoneCaching(QVBPrecacheManager*)
{
    stopProgress();
    fillThumbnails();
}

void QVRNewScreenSelectionViewController::precacheManagerFailedTooManyTimes(QVBPrecacheManager*)
{
    stopProgress();
}
