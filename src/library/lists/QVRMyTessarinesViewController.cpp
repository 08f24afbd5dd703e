#include "library/lists/QVRMyTessarinesViewController.h"

#include <algorithm>

#include <QHash>
#include <QPaintEvent>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "library/lists/QVRTessarineTileGridItemView.h"
#include "service/DocumentServerOperations.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"

void resendPendingDeletions(); // QVRTessarineTileGridItemView.cpp

namespace {

constexpr int kShadowPad = 8;
constexpr double kShadowBlur = 3;
constexpr int kShadowYOffset = 1;

// The shadow under a tile of `size`: its rounded outline in black at alpha 0.8, one point lower, blurred with
// three box passes (close to a Gaussian of the blur radius); kShadowPad larger on each side than the tile.
QPixmap shadowForTileSize(const QSize& size)
{
    static QHash<QPair<int, int>, QPixmap> s_cache;
    const QPair<int, int> key(size.width(), size.height());
    if (const auto found = s_cache.constFind(key); found != s_cache.constEnd())
        return *found;
    const int w = size.width() + 2 * kShadowPad;
    const int h = size.height() + 2 * kShadowPad;
    QImage outline(w, h, QImage::Format_ARGB32_Premultiplied);
    outline.fill(Qt::transparent);
    {
        QPainter painter(&outline);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(QRectF(kShadowPad, kShadowPad + kShadowYOffset, size.width(), size.height()), 5, 5);
    }
    auto index = [w](int x, int y) { return size_t(y) * size_t(w) + size_t(x); };
    std::vector<int> alpha(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(outline.constScanLine(y));
        for (int x = 0; x < w; ++x)
            alpha[index(x, y)] = qAlpha(line[x]);
    }
    const int radius = std::max(1, int(kShadowBlur / 3.0 + 0.5));
    std::vector<int> buffer(alpha.size());
    auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w;
        const int length = horizontal ? w : h;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) { return horizontal ? index(i, l) : index(l, i); };
            int sum = 0;
            for (int i = 0; i <= radius && i < length; ++i)
                sum += alpha[at(i)];
            for (int i = 0; i < length; ++i) {
                buffer[at(i)] = sum / (2 * radius + 1);
                const int out = i - radius;
                const int in = i + radius + 1;
                sum += (in < length ? alpha[at(in)] : 0) - (out >= 0 ? alpha[at(out)] : 0);
            }
        }
        alpha.swap(buffer);
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    QImage shadow(w, h, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgba(0, 0, 0, alpha[index(x, y)] * 204 / 255);
    }
    if (s_cache.size() > 64)
        s_cache.clear();
    return *s_cache.insert(key, QPixmap::fromImage(shadow));
}

} // namespace

// The page under the grid: the background colour and the tiles' shadows, one cached picture per tile size
// (a graphics effect per tile would render every tile on show into a picture again at each scroll step).
class QVRMyTessarinesHolderView : public QWidget {
public:
    explicit QVRMyTessarinesHolderView(QVRMyTessarinesViewController* controller)
        : m_controller(controller)
    {
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(0xEA, 0xE8, 0xE2));
        const QWidget* grid = m_controller->gridView();
        for (QWidget* tile : m_controller->tileViews()) {
            if (!tile || tile->isHidden() || tile->parentWidget() != grid)
                continue;
            const QRect frame(grid->mapTo(this, tile->pos()), tile->size());
            const QRect padded = frame.adjusted(-kShadowPad, -kShadowPad, kShadowPad, kShadowPad);
            if (padded.intersects(event->rect()))
                painter.drawPixmap(padded.topLeft(), shadowForTileSize(tile->size()));
        }
    }

private:
    QVRMyTessarinesViewController* m_controller;
};

QVRMyTessarinesViewController::QVRMyTessarinesViewController(QWidget* parent)
    : QWidget(parent)
{
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setStyleSheet(QStringLiteral("QScrollArea { background: #EAE8E2; }"));
    m_holderView = new QVRMyTessarinesHolderView(this);
    m_holderView->setObjectName(QStringLiteral("myDocumentsHolder"));
    m_gridView = new DynamicRatioSectionedGridView(m_holderView);
    m_gridView->setDelegate(this);
    m_scrollArea->setWidget(m_holderView);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateVisibleTiles(); });
    m_scrollArea->viewport()->installEventFilter(this);
    m_blueTextFieldAboveArrow = new QLabel(UFM::NO_TESSARINES_CLICK_TO_CREATE_TEXT(), m_holderView);
    m_blueTextFieldAboveArrow->setStyleSheet(QStringLiteral("color: #2B83C0; font-size: 16px;"));
    m_blueTextFieldAboveArrow->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scrollArea);

    m_listGottenObservation = NotificationObservation(ZERI_qvdFilePackage::tessarinesForTypeDownloadedNotification,
                                                      nullptr, [this](const Notification&) {
                                                          packageListChanged();
                                                          updateFinished();
                                                      });
    m_packagesChangedObservation = NotificationObservation(ZERI_qvdFilePackage::packagesChangedNotification, nullptr,
                                                           [this](const Notification&) { packageListChanged(); });
    packageListChanged();
}

QVRMyTessarinesViewController::~QVRMyTessarinesViewController()
{
    m_listGottenObservation.reset();
    m_packagesChangedObservation.reset();
    m_gridView->setDelegate(nullptr);
}

void QVRMyTessarinesViewController::update()
{
    if (m_updateInProgress)
        return;
    m_updateInProgress = true;
    resendPendingDeletions();
    DocumentServerOperations::downloadTessarinesForType(ZERI_qvdFilePackage::OwnDocument);
}

void QVRMyTessarinesViewController::updateFinished()
{
    m_updateInProgress = false;
    if (m_onUpdateFinished)
        m_onUpdateFinished();
}

void QVRMyTessarinesViewController::packageListChanged()
{
    setTessarinePackages(ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::OwnDocument));
}

void QVRMyTessarinesViewController::sortPackages(std::vector<std::shared_ptr<ZERI_qvdFilePackage>>& packages)
{
    struct Keyed {
        std::optional<QDateTime> date;
        QString id;
        std::shared_ptr<ZERI_qvdFilePackage> package;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(packages.size());
    for (auto& package : packages)
        keyed.push_back({ZERI_qvdFilePackageMetadata::dateFromStamp(package->metaData().updatedTimeStamp()),
                         package->packageID(), package});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.date.has_value() != b.date.has_value())
            return a.date.has_value();
        if (a.date && *a.date != *b.date)
            return *a.date > *b.date;
        if (!a.date)
            return a.id < b.id;
        return false;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        packages[i] = std::move(keyed[i].package);
}

void QVRMyTessarinesViewController::setTessarinePackages(std::vector<std::shared_ptr<ZERI_qvdFilePackage>> packages)
{
    sortPackages(packages);
    if (m_hasShownList && packages == m_packages)
        return;
    m_hasShownList = true;
    m_packages = std::move(packages);
    setupTiles();
    m_blueTextFieldAboveArrow->setVisible(m_packages.empty());
}

void QVRMyTessarinesViewController::redraw()
{
    // The same tiles are laid out again (their spinners and press state survive); only their sizes may differ.
    for (const QPointer<QWidget>& tile : m_tileViews)
        if (auto* document = qobject_cast<QVRTessarineTileGridItemView*>(tile.data()))
            document->resize(document->width(), int(document->intrinsicContentSize().height() *
                                                    double(document->width()) / QVRTessarineTileGridItemView::kWidth));
    layOutGrid();
}

void QVRMyTessarinesViewController::setupTiles()
{
    QList<QPointer<QWidget>> previous = m_tileViews;
    m_tileViews.clear();
    auto* createNew = new QVRTessarineTileCreateNewGridItemView;
    m_tileViews.append(createNew);
    for (const auto& package : m_packages) {
        auto* tile = new QVRTessarineTileGridItemView;
        tile->setFilePackage(package);
        tile->setParentMyTessarinesViewController(this);
        m_tileViews.append(tile);
    }
    layOutGrid();
    // The grid deletes the views it no longer serves; tiles it never showed go here.
    for (const QPointer<QWidget>& old : previous)
        if (old && !old->parent())
            old->deleteLater();
}

QList<QWidget*> QVRMyTessarinesViewController::tileViews() const
{
    QList<QWidget*> views;
    for (const QPointer<QWidget>& tile : m_tileViews)
        views.append(tile.data());
    return views;
}

int QVRMyTessarinesViewController::gridViewNumItemsInSection(DynamicRatioSectionedGridView*, int)
{
    return int(m_tileViews.size());
}

QWidget* QVRMyTessarinesViewController::gridViewViewForSection(DynamicRatioSectionedGridView*, int, int index)
{
    return index >= 0 && index < m_tileViews.size() ? m_tileViews[index].data() : nullptr;
}

QSizeF QVRMyTessarinesViewController::gridViewDesiredSizeForViewInSection(DynamicRatioSectionedGridView*, int,
                                                                          int index)
{
    QWidget* view = gridViewViewForSection(nullptr, 0, index);
    if (!view)
        return {1, 1};
    if (auto* tile = qobject_cast<QVRTessarineTileGridItemView*>(view))
        return tile->intrinsicContentSize();
    return view->sizeHint();
}

void QVRMyTessarinesViewController::layOutGrid()
{
    const int available = m_scrollArea->viewport()->width();
    const int gridWidth = std::max(200, std::min(available - 40, kColumns * QVRTessarineTileGridItemView::kWidth +
                                                                     int((kColumns - 1) * kHorizontalSpacing)));
    m_gridView->resize(gridWidth, m_gridView->height());
    m_gridView->reloadViews();
    const int x = std::max(0, (available - gridWidth) / 2);
    m_gridView->move(x, 20);
    m_blueTextFieldAboveArrow->setGeometry(x + gridWidth / kColumns + 20, 40, 260, 80);
    m_holderView->resize(std::max(available, gridWidth), m_gridView->height() + 40);
    updateVisibleTiles();
    // The shadows of the tile sizes on show are made with the layout, not in the first paint.
    for (const QPointer<QWidget>& tile : m_tileViews)
        if (tile)
            shadowForTileSize(tile->size());
    m_holderView->update();
}

void QVRMyTessarinesViewController::updateVisibleTiles()
{
    // Only the tiles in sight (and a margin around them) are shown: showing a thousand tiles at once would
    // make the page's first appearance wait for all of them.
    const QWidget* viewport = m_scrollArea->viewport();
    const QRect visible(m_holderView->mapFrom(viewport, QPoint(0, 0)), viewport->size());
    const QRect area = visible.adjusted(0, -kPreparedMargin, 0, kPreparedMargin);
    for (const QPointer<QWidget>& tile : m_tileViews) {
        if (!tile || tile->parentWidget() != m_gridView)
            continue;
        const QRect frame(m_gridView->mapTo(m_holderView, tile->pos()), tile->size());
        tile->setVisible(area.intersects(frame));
    }
}

void QVRMyTessarinesViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutGrid();
}

bool QVRMyTessarinesViewController::eventFilter(QObject* watched, QEvent* event)
{
    // The grid follows the width it is shown in. The scroll area sizes its viewport after this page's own resize
    // (and, before the first show, only when it shows), so the page's resize alone would lay the first grid out
    // at the width the viewport had while hidden.
    if (m_scrollArea && watched == m_scrollArea->viewport() && event->type() == QEvent::Resize)
        layOutGrid();
    return QWidget::eventFilter(watched, event);
}
