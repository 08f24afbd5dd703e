#include "library/lists/QVRMyTessarinesViewController.h"

#include <algorithm>

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "library/lists/QVRTessarineTileGridItemView.h"
#include "service/DocumentServerOperations.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"

void resendPendingDeletions(); // QVRTessarineTileGridItemView.cpp

namespace {

QGraphicsDropShadowEffect* makeShadow(QObject* parent)
{
    auto* shadow = new QGraphicsDropShadowEffect(parent);
    shadow->setOffset(0, 1);
    shadow->setBlurRadius(3);
    shadow->setColor(QColor(0, 0, 0, 204));
    return shadow;
}

} // namespace

QVRMyTessarinesViewController::QVRMyTessarinesViewController(QWidget* parent)
    : QWidget(parent)
{
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(false);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setStyleSheet(QStringLiteral("QScrollArea, #myDocumentsHolder { background: #EAE8E2; }"));
    m_holderView = new QWidget;
    m_holderView->setObjectName(QStringLiteral("myDocumentsHolder"));
    m_gridView = new DynamicRatioSectionedGridView(m_holderView);
    m_gridView->setDelegate(this);
    m_scrollArea->setWidget(m_holderView);
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
    createNew->setGraphicsEffect(makeShadow(createNew));
    m_tileViews.append(createNew);
    for (const auto& package : m_packages) {
        auto* tile = new QVRTessarineTileGridItemView;
        tile->setGraphicsEffect(makeShadow(tile));
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
}

void QVRMyTessarinesViewController::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutGrid();
}
