#include "library/lists/QVRMyTessarinesViewController.h"

#include <algorithm>
#include <cstdlib>

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
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

constexpr int kGridTop = 20;
constexpr int kGridSideMargin = 20;
constexpr int kBackgroundY = -400;
const QColor kHintBlue(0x2B, 0x83, 0xC0);

// The arrow of the empty state: a curve from the hint text, bending left and up to the create-new tile.
QPixmap blueArrowPicture()
{
    const QSize size(96, 64);
    QPixmap picture(size * 2);
    picture.setDevicePixelRatio(2);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(kHintBlue, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    QPainterPath curve(QPointF(90, 56));
    curve.cubicTo(QPointF(60, 56), QPointF(24, 44), QPointF(12, 14));
    painter.drawPath(curve);
    painter.setBrush(kHintBlue);
    QPolygonF head;
    head << QPointF(6, 4) << QPointF(22, 14) << QPointF(6, 24);
    QTransform turn;
    turn.translate(12, 14);
    turn.rotate(-110);
    turn.translate(-12, -14);
    painter.drawPolygon(turn.map(head));
    return picture;
}

// The picture under the grid: soft light bands over the page colour, fading out towards the bottom.
QPixmap backgroundPicture()
{
    const QSize size(1400, 1000);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        QRadialGradient glow(QPointF(size.width() * (0.15 + 0.18 * i), 380 + 60 * (i % 2)), 360);
        glow.setColorAt(0, QColor(255, 255, 255, 70));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        painter.setBrush(glow);
        painter.drawEllipse(glow.center(), 360, 360);
    }
    QLinearGradient fade(0, 0, 0, size.height());
    fade.setColorAt(0, QColor(0, 0, 0, 255));
    fade.setColorAt(0.6, QColor(0, 0, 0, 255));
    fade.setColorAt(1, QColor(0, 0, 0, 0));
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.fillRect(image.rect(), fade);
    painter.end();
    return QPixmap::fromImage(image);
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
    // The keyboard stops on a tile, not on the page around them.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_holderView = new QVRMyTessarinesHolderView(this);
    m_holderView->setObjectName(QStringLiteral("myDocumentsHolder"));
    m_gridView = new DynamicRatioSectionedGridView(m_holderView);
    m_gridView->setDelegate(this);
    m_scrollArea->setWidget(m_holderView);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateVisibleTiles(); });
    m_bgImageView = new QLabel(m_holderView);
    m_bgImageView->setObjectName(QStringLiteral("bgImageView"));
    m_bgImageView->setPixmap(backgroundPicture());
    m_bgImageView->resize(m_bgImageView->pixmap().deviceIndependentSize().toSize());
    m_bgImageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_bgImageView->lower();
    m_blueTextFieldAboveArrow = new QLabel(UFM::NO_TESSARINES_CLICK_TO_CREATE_TEXT(), m_holderView);
    m_blueTextFieldAboveArrow->setStyleSheet(QStringLiteral("color: #2B83C0; font-size: 16px;"));
    m_blueTextFieldAboveArrow->setWordWrap(true);
    m_blueArrow = new QLabel(m_holderView);
    m_blueArrow->setObjectName(QStringLiteral("blueArrow"));
    m_blueArrow->setPixmap(blueArrowPicture());
    m_blueArrow->resize(m_blueArrow->pixmap().deviceIndependentSize().toSize());
    m_blueArrow->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The grid is laid out for the viewport's own width: the page's size arrives before the viewport's (at the
    // first show, and whenever a scroll bar comes or goes).
    m_scrollArea->viewport()->installEventFilter(this);
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
    m_focusChangedConnection = connect(qApp, &QApplication::focusChanged, this, [this] { markKeyboardTile(); });
    packageListChanged();
}

QVRMyTessarinesViewController::~QVRMyTessarinesViewController()
{
    m_listGottenObservation.reset();
    m_packagesChangedObservation.reset();
    // The tiles going with the page move the keyboard on: nothing here follows it any more.
    disconnect(m_focusChangedConnection);
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
    m_blueArrow->setVisible(m_packages.empty());
}

void QVRMyTessarinesViewController::redraw()
{
    // The tiles are made anew from their packages: what a tile shows of its package's state (its badge, its
    // texts, its size) is read again. The grid lets go of the old tiles after this turn, so a tile may ask.
    setupTiles();
}

void QVRMyTessarinesViewController::setupTiles()
{
    QList<QPointer<QWidget>> previous = m_tileViews;
    // The keyboard stays with its document through the rebuild (or at its place when the document went).
    const QWidget* focus = window()->focusWidget();
    bool hadKeyboard = false;
    std::shared_ptr<ZERI_qvdFilePackage> keyboardPackage;
    if (QWidget* tile = keyboardTile()) {
        hadKeyboard = focus && (focus == tile || tile->isAncestorOf(focus));
        if (auto* item = qobject_cast<QVRTessarineTileGridItemView*>(tile))
            keyboardPackage = item->filePackage();
    }
    m_tileViews.clear();
    ++m_tileGeneration;
    auto* createNew = new QVRTessarineTileCreateNewGridItemView;
    m_tileViews.append(createNew);
    watchTile(createNew);
    appendTiles(kFirstTiles);
    int keyboardIndex = m_keyboardTile;
    if (keyboardPackage) {
        const auto found = std::find(m_packages.begin(), m_packages.end(), keyboardPackage);
        if (found != m_packages.end()) {
            keyboardIndex = int(found - m_packages.begin()) + 1;
            if (keyboardIndex >= m_tileViews.size())
                appendTiles(keyboardIndex + 1 - int(m_tileViews.size()));
        }
    }
    m_keyboardTile = -1;
    setKeyboardTile(std::min(keyboardIndex, int(m_tileViews.size()) - 1));
    layOutGrid();
    if (hadKeyboard && keyboardTile())
        keyboardTile()->setFocus(Qt::OtherFocusReason);
    // The grid deletes the views it no longer serves; tiles it never showed go here.
    for (const QPointer<QWidget>& old : previous)
        if (old && !old->parent())
            old->deleteLater();
    appendRemainingTilesLater();
}

void QVRMyTessarinesViewController::appendTiles(int count)
{
    const size_t end = std::min(m_packages.size(), size_t(m_tileViews.size() - 1) + size_t(count));
    for (size_t i = size_t(m_tileViews.size() - 1); i < end; ++i) {
        auto* tile = new QVRTessarineTileGridItemView;
        tile->setFilePackage(m_packages[i]);
        tile->setParentMyTessarinesViewController(this);
        m_tileViews.append(tile);
        watchTile(tile);
    }
}

void QVRMyTessarinesViewController::appendRemainingTilesLater()
{
    // A long list is built a screenful at a time, one batch per turn of the event loop: the first screenful
    // shows at once and the window answers meanwhile.
    if (size_t(m_tileViews.size() - 1) >= m_packages.size())
        return;
    QTimer::singleShot(0, this, [this, generation = m_tileGeneration] {
        if (generation != m_tileGeneration)
            return;
        appendTiles(kTilesPerTurn);
        layOutGrid();
        appendRemainingTilesLater();
    });
}

bool QVRMyTessarinesViewController::allTilesBuilt() const
{
    return size_t(m_tileViews.size() - 1) >= m_packages.size();
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

int QVRMyTessarinesViewController::fullSizeWidth()
{
    return kColumns * QVRTessarineTileGridItemView::kWidth + int((kColumns - 1) * kHorizontalSpacing) +
           2 * kGridSideMargin;
}

void QVRMyTessarinesViewController::layOutGrid()
{
    const int available = m_scrollArea->viewport()->width();
    const int gridWidth = std::max(200, std::min(available, fullSizeWidth()) - 2 * kGridSideMargin);
    m_gridView->resize(gridWidth, m_gridView->height());
    m_gridView->reloadViews();
    const int holderWidth = std::max(available, gridWidth + 2 * kGridSideMargin);
    const int x = (holderWidth - gridWidth) / 2;
    m_gridView->move(x, kGridTop);

    // The empty state: the arrow starts right of the create-new tile and the hint text follows it, as wide as
    // the page leaves room for and as tall as its wrapped text.
    const QRect createNew =
        m_tileViews.isEmpty() || !m_tileViews.first()
            ? QRect(x, kGridTop, gridWidth / kColumns, 0)
            : QRect(m_gridView->mapTo(m_holderView, m_tileViews.first()->pos()), m_tileViews.first()->size());
    const QPoint arrowAt(createNew.right() + 8, createNew.top() + 24);
    m_blueArrow->move(arrowAt);
    const int textX = arrowAt.x() + m_blueArrow->width() + 4;
    const int textWidth = std::max(120, std::min(320, holderWidth - textX - kGridSideMargin));
    const int textHeight = m_blueTextFieldAboveArrow->heightForWidth(textWidth);
    m_blueTextFieldAboveArrow->setGeometry(textX, arrowAt.y() + m_blueArrow->height() - textHeight / 2, textWidth,
                                           std::max(textHeight, m_blueTextFieldAboveArrow->sizeHint().height()));
    m_holderView->resize(holderWidth, std::max(m_gridView->height() + 2 * kGridTop,
                                               m_blueTextFieldAboveArrow->geometry().bottom() + kGridTop));
    m_bgImageView->move((holderWidth - m_bgImageView->width()) / 2, kBackgroundY);
    m_bgImageView->lower();
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
        // The tile that takes the keyboard stays shown: a hidden one would pass the keyboard on to another widget.
        tile->setVisible(area.intersects(frame) || tile == keyboardTile());
    }
}

QWidget* QVRMyTessarinesViewController::keyboardTile() const
{
    return m_keyboardTile >= 0 && m_keyboardTile < m_tileViews.size() ? m_tileViews[m_keyboardTile].data() : nullptr;
}

void QVRMyTessarinesViewController::watchTile(QWidget* tile)
{
    tile->installEventFilter(this);
}

static void setTileTakesTab(QWidget* tile, bool takes)
{
    if (auto* item = qobject_cast<QVRTessarineTileGridItemView*>(tile))
        item->setTakesTab(takes);
    else if (tile)
        tile->setFocusPolicy(takes ? Qt::TabFocus : Qt::NoFocus);
}

static void setTileMarked(QWidget* tile, bool marked)
{
    if (auto* item = qobject_cast<QVRTessarineTileGridItemView*>(tile))
        item->setKeyboardMarked(marked);
    else if (auto* createNew = qobject_cast<QVRTessarineTileCreateNewGridItemView*>(tile))
        createNew->setKeyboardMarked(marked);
}

void QVRMyTessarinesViewController::setKeyboardTile(int index)
{
    if (index == m_keyboardTile || index < 0 || index >= m_tileViews.size())
        return;
    setTileTakesTab(keyboardTile(), false);
    m_keyboardTile = index;
    setTileTakesTab(keyboardTile(), true);
}

bool QVRMyTessarinesViewController::handleTileKey(QWidget* tile, const QKeyEvent* key)
{
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        if (auto* item = qobject_cast<QVRTessarineTileGridItemView*>(tile))
            item->openTessarine();
        else if (auto* createNew = qobject_cast<QVRTessarineTileCreateNewGridItemView*>(tile))
            createNew->createTessarine();
        return true;
    }
    if ((key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        auto* item = qobject_cast<QVRTessarineTileGridItemView*>(tile);
        if (item)
            item->showContextMenuFromKeyboard();
        return item != nullptr;
    }
    return modifiers == Qt::NoModifier && moveKeyboard(tile, key->key());
}

bool QVRMyTessarinesViewController::moveKeyboard(QWidget* from, int key)
{
    const int index = int(m_tileViews.indexOf(QPointer<QWidget>(from)));
    if (index < 0)
        return false;
    int to = -1;
    switch (key) {
    case Qt::Key_Left:
        to = index - 1;
        break;
    case Qt::Key_Right:
        to = index + 1;
        break;
    case Qt::Key_Home:
        to = 0;
        break;
    case Qt::Key_End:
        to = int(m_tileViews.size()) - 1;
        break;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // The nearest tile above or below in the same column (the columns fill unevenly).
        const QRect frame = from->geometry();
        int nearest = -1;
        for (int i = 0; i < m_tileViews.size(); ++i) {
            const QWidget* tile = m_tileViews[i];
            if (i == index || !tile || tile->parentWidget() != m_gridView)
                continue;
            const QRect other = tile->geometry();
            if (other.center().x() < frame.left() || other.center().x() > frame.right())
                continue;
            const int distance = key == Qt::Key_Down ? other.top() - frame.top() : frame.top() - other.top();
            if (distance > 0 &&
                (nearest < 0 || distance < std::abs(m_tileViews[nearest]->geometry().top() - frame.top())))
                nearest = i;
        }
        to = nearest;
        break;
    }
    default:
        return false;
    }
    // At an edge the key does nothing (the page does not scroll under the keyboard either).
    if (to < 0 || to >= m_tileViews.size() || !m_tileViews[to] || to == index)
        return true;
    QWidget* tile = m_tileViews[to];
    setKeyboardTile(to);
    updateVisibleTiles();
    tile->setFocus(Qt::OtherFocusReason);
    m_scrollArea->ensureWidgetVisible(tile, 0, kGridTop);
    return true;
}

void QVRMyTessarinesViewController::markKeyboardTile()
{
    QWidget* marked = nullptr;
    for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        if (widget->parentWidget() == m_gridView) {
            marked = widget;
            break;
        }
    }
    if (marked == m_markedTile)
        return;
    setTileMarked(m_markedTile, false);
    setTileMarked(marked, true);
    m_markedTile = marked;
}

bool QVRMyTessarinesViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::FocusIn) {
        auto* tile = qobject_cast<QWidget*>(watched);
        const int index = tile && tile->parentWidget() == m_gridView ? int(m_tileViews.indexOf(tile)) : -1;
        if (index >= 0 && event->type() == QEvent::FocusIn) {
            setKeyboardTile(index);
            m_scrollArea->ensureWidgetVisible(tile, 0, kGridTop);
        } else if (index >= 0 && tile->hasFocus() && handleTileKey(tile, static_cast<QKeyEvent*>(event))) {
            return true;
        }
    }
    if (watched == m_scrollArea->viewport() && event->type() == QEvent::Resize) {
        if (static_cast<QResizeEvent*>(event)->oldSize().width() != m_scrollArea->viewport()->width())
            layOutGrid();
        else
            updateVisibleTiles();
    }
    return QWidget::eventFilter(watched, event);
}
