#include "viewer/QVR_PDFViewerView.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QPdfDocument>
#include <QPdfPageRenderer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "app/ViewerKeyNotifications.h"
#include "controls/FittingPanelArea.h"
#include "controls/ViewUtils.h"
#include "foundation/FontSubstitution.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ContentAssetStorage.h"
#include "storage/ZERI_WebDownloader.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/TrackedEmailComposer.h"
#include "viewer/ViewerLogging.h"

namespace {

const QColor kGapColour(64, 64, 64);

QPixmap artwork(const QString& name, double devicePixelRatio)
{
    QSvgRenderer renderer(QStringLiteral(":/viewer/%1.svg").arg(name));
    if (!renderer.isValid())
        return {};
    const QSize points = renderer.defaultSize();
    QPixmap pixmap(points * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(points)));
    return pixmap;
}

QUrl pdfWebURL(const ZERI_ContentAsset& asset)
{
    if (const QUrl own = asset.webURL(); !own.isEmpty() || asset.corvikContentID().isEmpty())
        return own;
    return ZERI_AssetUploadManager::sharedInstance().webURLOf(asset);
}

} // namespace

// The column of pages inside the scroll area: lays them out at the viewport's width, draws the pictures it holds
// (a picture of another width, scaled, until the right one arrives; white before any) and asks the renderer for
// the pages around the visible area.
class QVR_PDFViewerView::PagesView : public QWidget {
public:
    PagesView(QVR_PDFViewerView* owner, QPdfDocument* document)
        : QWidget(nullptr)
        , m_owner(owner)
        , m_document(document)
    {
        m_renderer = new QPdfPageRenderer(this);
        m_renderer->setRenderMode(QPdfPageRenderer::RenderMode::MultiThreaded);
        m_renderer->setDocument(document);
        QObject::connect(document, &QPdfDocument::statusChanged, this, [this] { m_ratiosRead = false; });
        QObject::connect(m_renderer, &QPdfPageRenderer::pageRendered, this,
                         [this](int page, QSize size, const QImage& image, QPdfDocumentRenderOptions, quint64) {
                             takeImage(page, size, image);
                         });
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, kGapColour);
        setPalette(palette);
    }

    void relayout(int width)
    {
        m_width = std::max(1, width);
        m_rects = rectsAt(m_width);
        resize(m_width, std::max(1, m_rects.empty() ? 0 : m_rects.back().bottom() + 1));
        update();
    }

    // The height of the column of pages at `width`.
    int contentHeight(int width) const
    {
        const std::vector<QRect> rects = rectsAt(std::max(1, width));
        return rects.empty() ? 0 : rects.back().bottom() + 1;
    }

    int laidOutWidth() const { return m_rects.empty() ? -1 : m_width; }
    int pageCount() const { return int(m_rects.size()); }

    QRect pageRect(int index) const
    {
        return index >= 0 && index < int(m_rects.size()) ? m_rects[std::size_t(index)] : QRect();
    }
    int keptCount() const { return int(m_kept.size()); }
    bool hasCurrentImage(int index) const
    {
        const auto it = m_kept.find(index);
        return it != m_kept.end() && it->second.image.size() == targetSize(index);
    }

    // Asks for the pages in `visible` (content coordinates) and their neighbours that are not held at the
    // current size, and lets go of the least recently shown pictures beyond the limit.
    void requestAround(const QRect& visible)
    {
        if (m_rects.empty())
            return;
        int first = -1;
        int last = -1;
        for (int i = 0; i < int(m_rects.size()); ++i) {
            if (m_rects[std::size_t(i)].intersects(visible)) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
        if (first < 0)
            return;
        m_wanted.clear();
        const int from = std::max(0, first - 1);
        const int to = std::min(int(m_rects.size()) - 1, last + 2);
        // Visible pages first, then the ones ahead, then the one behind.
        std::vector<int> order;
        for (int i = first; i <= last; ++i)
            order.push_back(i);
        for (int i = last + 1; i <= to; ++i)
            order.push_back(i);
        if (from < first)
            order.push_back(from);
        for (int page : order) {
            m_wanted.insert(page);
            const QSize size = targetSize(page);
            if (hasCurrentImage(page))
                continue;
            const auto flight = m_inFlight.find(page);
            if (flight != m_inFlight.end() && flight->second == size)
                continue;
            m_inFlight[page] = size;
            m_renderer->requestPage(page, size);
        }
        evict();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (int i = 0; i < int(m_rects.size()); ++i) {
            const QRect rect = m_rects[std::size_t(i)];
            if (!rect.intersects(event->rect()))
                continue;
            // Pages are paper: what a page leaves unpainted renders transparent and shows white.
            painter.fillRect(rect, Qt::white);
            const auto it = m_kept.find(i);
            if (it == m_kept.end())
                continue;
            it->second.lastUse = ++m_useCounter;
            painter.drawImage(QRectF(rect), it->second.image);
        }
    }

private:
    struct Kept {
        QImage image;
        quint64 lastUse = 0;
    };

    std::vector<QRect> rectsAt(int width) const
    {
        std::vector<QRect> rects;
        int y = 0;
        for (const double ratio : pageRatios()) {
            const int height = std::max(1, int(std::lround(width * ratio)));
            if (!rects.empty())
                y += kPageGap;
            rects.push_back(QRect(0, y, width, height));
            y += height;
        }
        return rects;
    }

    // Each page's height over its width, read from the document once per load: every layout pass (each resize)
    // needs them, and each look-up takes the PDF library's lock, which a page being rendered holds.
    const std::vector<double>& pageRatios() const
    {
        if (!m_ratiosRead) {
            m_ratios.clear();
            const int count = m_document->status() == QPdfDocument::Status::Ready ? m_document->pageCount() : 0;
            for (int i = 0; i < count; ++i) {
                const QSizeF points = m_document->pagePointSize(i);
                m_ratios.push_back(points.width() > 0 ? points.height() / points.width() : 1.0);
            }
            m_ratiosRead = true;
        }
        return m_ratios;
    }

    QSize targetSize(int index) const
    {
        const double ratio = devicePixelRatioF();
        const QRect rect = pageRect(index);
        return QSize(int(std::lround(rect.width() * ratio)), int(std::lround(rect.height() * ratio)));
    }

    void takeImage(int page, const QSize& size, const QImage& image)
    {
        const auto flight = m_inFlight.find(page);
        if (flight != m_inFlight.end() && flight->second == size)
            m_inFlight.erase(flight);
        if (size != targetSize(page))
            return; // an earlier width's picture: the current one is on its way
        if (image.isNull()) {
            qCWarning(lcViewer) << "page" << page + 1 << "of the PDF could not be rendered";
            return;
        }
        QImage picture = image;
        picture.setDevicePixelRatio(1.0);
        m_kept[page] = Kept{picture, ++m_useCounter};
        evict();
        update(pageRect(page));
        emit m_owner->pageImageArrived(page);
    }

    void evict()
    {
        while (int(m_kept.size()) > kMaxKeptImages) {
            auto victim = m_kept.end();
            for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
                const bool wanted = m_wanted.count(it->first) > 0;
                if (victim == m_kept.end()) {
                    victim = it;
                    continue;
                }
                const bool victimWanted = m_wanted.count(victim->first) > 0;
                if ((victimWanted && !wanted) ||
                    (victimWanted == wanted && it->second.lastUse < victim->second.lastUse))
                    victim = it;
            }
            m_kept.erase(victim);
        }
    }

    QVR_PDFViewerView* m_owner;
    QPdfDocument* m_document;
    QPdfPageRenderer* m_renderer = nullptr;
    int m_width = 1;
    std::vector<QRect> m_rects;
    mutable std::vector<double> m_ratios;
    mutable bool m_ratiosRead = false;
    std::map<int, Kept> m_kept;
    std::map<int, QSize> m_inFlight;
    std::set<int> m_wanted;
    quint64 m_useCounter = 0;
};

QVR_PDFViewerView::QVR_PDFViewerView(const QRect& frame, const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object,
                                     QWidget* parent)
    : QVR_ModalViewWithCloseButton(frame, parent)
    , m_object(object)
{
    setBackgroundColor(kGapColour);
    m_document = new QPdfDocument(this);
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setWidgetResizable(false);
    m_pagesView = new PagesView(this, m_document);
    m_scrollArea->setWidget(m_pagesView);
    m_scrollArea->setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(m_scrollArea);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        const QPoint origin(0, m_scrollArea->verticalScrollBar()->value());
        m_pagesView->requestAround(QRect(origin, m_scrollArea->viewport()->size()));
    });

    const auto asset = object && object->object() ? object->object()->pdfAsset() : nullptr;
    // The e-mail links to the PDF where the service serves it: a document posted from this computer keeps its
    // own copy of the file and has the service's address beside it.
    if (asset && !pdfWebURL(*asset).isEmpty() && TrackedEmailComposer::isAvailable()) {
        auto* button = new QPushButton(this);
        button->setFlat(true);
        // Tab reaches it from the pages (a click leaves the keyboard with the pages); Space or Return presses it.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(true);
        button->setObjectName(QStringLiteral("trackableEmailButton"));
        const QPixmap picture = artwork(QStringLiteral("trackable_email_square_btn"), devicePixelRatioF());
        button->setIcon(QIcon(picture));
        button->setIconSize(picture.deviceIndependentSize().toSize());
        button->setFixedSize(picture.deviceIndependentSize().toSize());
        button->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; }"
                                             "QPushButton:focus { border: 3px solid rgb(120, 190, 255); }"));
        button->setToolTip(QStringLiteral("Send Trackable Email"));
        connect(button, &QPushButton::clicked, this, &QVR_PDFViewerView::trackableEmail);
        m_emailButton = button;
    }
    layoutSubviews();

    if (!asset) {
        qCWarning(lcViewer) << "the PDF viewer was given an object without a PDF";
        return;
    }
    m_downloader = ContentAssetStorage::downloader(*asset);
    if (!m_downloader) {
        const QString local = asset->localFilePath();
        if (!local.isEmpty())
            loadDocument(local);
        else
            qCWarning(lcViewer) << "the PDF" << asset->internalID() << "has no file to show";
        return;
    }
    if (!m_downloader->fileExists()) {
        m_downloadObservation = m_downloader->updateNotifier().addObservationBlock(
            [this](const void*, const QSet<QString>&) { loadWhenOnDisk(); }, QStringLiteral("downloadStatus"));
        m_downloader->downloadAndCache();
    }
    loadWhenOnDisk();
}

QVR_PDFViewerView::~QVR_PDFViewerView()
{
    m_downloadObservation.reset();
    // The composer owns its view; the dimming view is a child of this one.
    m_emailVC.reset();
}

void QVR_PDFViewerView::loadWhenOnDisk()
{
    if (m_loaded || !m_downloader)
        return;
    if (m_downloader->downloadStatus() == ZERI_WebDownloader::Failed) {
        qCWarning(lcViewer) << "the PDF could not be downloaded:" << m_downloader->downloadError().message;
        m_downloadObservation.reset();
        return;
    }
    if (m_downloader->downloadStatus() != ZERI_WebDownloader::OnDisk && !m_downloader->fileExists())
        return;
    m_downloadObservation.reset();
    loadDocument(m_downloader->filepath());
}

void QVR_PDFViewerView::loadDocument(const QString& path)
{
    m_loaded = true;
    const QPdfDocument::Error error = m_document->load(path);
    if (error != QPdfDocument::Error::None || m_document->pageCount() == 0)
        qCWarning(lcViewer) << "the PDF" << path << "cannot be shown (error" << int(error) << ", "
                            << m_document->pageCount() << "pages)";
    layoutSubviews();
    m_scrollArea->verticalScrollBar()->setValue(0);
    emit documentLoaded();
}

void QVR_PDFViewerView::layoutSubviews()
{
    const QScrollBar* bar = m_scrollArea->verticalScrollBar();
    m_scrollArea->setGeometry(rect());
    // Fitted to the width the scroll bar leaves; the same width keeps the same layout and scroll position. The
    // width comes from the scroll area's own size: its viewport is only laid out once the area has been shown,
    // and a document loaded before that would otherwise be fitted to the viewport's initial size.
    const QSize available = m_scrollArea->maximumViewportSize();
    int width = available.width();
    if (m_pagesView->contentHeight(width) > available.height())
        width -= bar->sizeHint().width();
    if (m_pagesView->laidOutWidth() != width || m_pagesView->pageCount() != m_document->pageCount()) {
        const double fraction = bar->maximum() > 0 ? double(bar->value()) / double(bar->maximum()) : 0.0;
        m_pagesView->relayout(width);
        // The scroll area shows or hides its scroll bar from a queued call: let it do so now, so that the
        // viewport has the width the pages were laid out for.
        QCoreApplication::sendPostedEvents(m_scrollArea, QEvent::MetaCall);
        m_scrollArea->verticalScrollBar()->setValue(int(std::lround(fraction * bar->maximum())));
    }
    m_pagesView->requestAround(
        QRect(QPoint(0, m_scrollArea->verticalScrollBar()->value()), m_scrollArea->viewport()->size()));
    layoutOverlays();
}

void QVR_PDFViewerView::layoutOverlays()
{
    if (m_emailButton)
        m_emailButton->move(0, 0);
    if (m_blackEmailOverlayView)
        m_blackEmailOverlayView->setGeometry(rect());
    if (m_emailVC && m_emailVC->view() && m_composerArea) {
        m_emailVC->view()->resize(m_emailVC->preferredWindowSize());
        m_composerArea->placeWithin(rect());
    }
}

void QVR_PDFViewerView::resizeEvent(QResizeEvent* event)
{
    QVR_ModalViewWithCloseButton::resizeEvent(event);
    layoutSubviews();
}

void QVR_PDFViewerView::showEvent(QShowEvent* event)
{
    QVR_ModalViewWithCloseButton::showEvent(event);
    layoutSubviews();
}

QRect QVR_PDFViewerView::pageRect(int index) const
{
    return m_pagesView->pageRect(index);
}

int QVR_PDFViewerView::keptImageCount() const
{
    return m_pagesView->keptCount();
}

bool QVR_PDFViewerView::hasImageForPage(int index) const
{
    return m_pagesView->hasCurrentImage(index);
}

void QVR_PDFViewerView::keyPressEvent(QKeyEvent* event)
{
    // While the e-mail composer shows, the keys are its own: only its Cancel or Send takes it away, and the
    // player never sees Return or Escape typed into it.
    if (m_emailVC) {
        event->accept();
        return;
    }
    // Keys reach here when the scroll area left them: they are the viewer's.
    NotificationCenter::defaultCenter().post(
        TessarineViewerViewKeyDownNotificationName, this,
        {{TessarineViewerViewKeyDownNotificationUserDictKey, QVariant::fromValue(event->keyCombination())}});
    event->accept();
}

void QVR_PDFViewerView::trackableEmail()
{
    qCInfo(lcViewer, "trackableEmailDebug. Is PDFViewer fullscreen? %s", window()->isFullScreen() ? "YES" : "NO");
    if (m_emailVC)
        return;
    const auto object = m_object ? m_object->object() : nullptr;
    const auto asset = object ? object->pdfAsset() : nullptr;
    const QUrl pdfLink = asset ? pdfWebURL(*asset) : QUrl();
    if (pdfLink.isEmpty())
        return;
    m_emailOpenedFromTheKeyboard = m_emailButton && m_emailButton->hasFocus();
    m_emailVC = TrackedEmailComposer::make();
    if (!m_emailVC)
        return;
    const QPointer<QVR_PDFViewerView> guard(this);
    const auto dismiss = [guard] {
        if (guard)
            guard->dismissTrackableEmail();
    };
    m_emailVC->setOnCancelBlock(dismiss);
    m_emailVC->setAfterSendBlock(dismiss);

    const SafeDictionary user = Tessutils::corvikUserDict();
    const QString email = user.stringForKey(QStringLiteral("email"));
    const QString displayName = user.stringForKey(QStringLiteral("display_name"));
    const auto document = object->tessarineModel();
    m_emailVC->setPrepopulatedSender(email);
    m_emailVC->setPrepopulatedSubject(QStringLiteral("PDF ") + UFM::FROM_TEXT().toLower() +
                                      QStringLiteral(" Flow: \"") + (document ? document->title() : QString()) +
                                      QStringLiteral("\""));
    QString fileName = asset->sourceFileName();
    if (fileName.isEmpty())
        fileName = QStringLiteral("untitled.pdf");
    QTextDocument message;
    message.setHtml(Tessutils::trackableEmail_editablePDFEmailHTMLStringWithSender(
        displayName.isEmpty() ? email : displayName, pdfLink.toString(QUrl::FullyEncoded), fileName));
    QTextCursor all(&message);
    all.select(QTextCursor::Document);
    QTextCharFormat format;
    format.setFont(FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue-Medium"), 16),
                   QTextCharFormat::FontPropertiesAll);
    all.mergeCharFormat(format);
    m_emailVC->setPrepopulatedMessage(message);
    m_emailVC->setNoTrackURLStrings(Tessutils::trackableEmail_standardNoTrackURLStrings());
    // The service knows the document by its server id; the local id means nothing to it.
    m_emailVC->setQvd_id(document ? document->apiID() : QString());

    auto* dimming = new QWidget(this);
    ViewUtils::setBackgroundColor(dimming, QColor(0, 0, 0, 128));
    m_blackEmailOverlayView = dimming;
    addSubview(dimming);
    if (QWidget* composer = m_emailVC->view()) {
        ViewUtils::setBackgroundColor(composer, Qt::white);
        ViewUtils::drawBorderAroundView(composer, kComposerBorderColour, 1.0);
        composer->resize(m_emailVC->preferredWindowSize());
        m_composerArea = new FittingPanelArea(composer, nullptr);
        addSubview(m_composerArea);
    }
    layoutOverlays();
}

void QVR_PDFViewerView::dismissTrackableEmail()
{
    if (m_blackEmailOverlayView) {
        m_blackEmailOverlayView->hide();
        m_blackEmailOverlayView->deleteLater();
        m_blackEmailOverlayView = nullptr;
    }
    if (!m_emailVC)
        return;
    if (QWidget* composer = m_emailVC->view()) {
        composer->hide();
        // Only the composer's from now on: it deletes its view itself.
        if (m_composerArea)
            m_composerArea->releasePanel();
        composer->setParent(nullptr);
    }
    if (m_composerArea) {
        m_composerArea->hide();
        m_composerArea->deleteLater();
        m_composerArea = nullptr;
    }
    // The composer's own button may be what called: it goes once that handler returned.
    QTimer::singleShot(0, [composer = std::shared_ptr<TrackedEmailComposer>(std::move(m_emailVC))] {});
    // The keyboard goes back to the button that opened the composer from the keyboard, otherwise to the pages.
    if (m_emailButton && m_emailOpenedFromTheKeyboard)
        m_emailButton->setFocus(Qt::OtherFocusReason);
    else
        m_scrollArea->setFocus();
}
