#include "library/lists/QVRTessarineTileGridItemView.h"

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLocale>
#include <QMenu>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

#include "app/QVRAnalytics.h"
#include "app/ViewerWindowHandle.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "library/lists/QVRMyTessarinesViewController.h"
#include "library/lists/TilePreviews.h"
#include "library/lists/TilePublishing.h"
#include "platform/AlertPresenter.h"
#include "platform/UserDefaults.h"
#include "service/DocumentServerOperations.h"
#include "service/OpenRequestUi.h"
#include "service/OpenFailureNotice.h"
#include "service/QVROpenRequest.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

constexpr int kLabelMargin = 10;

QString pendingDeletionsKey()
{
    return QString::fromLatin1(DocumentServerOperations::kPendingDeletionsKey);
}

void setPendingDeletion(const QString& apiID, bool pending)
{
    UserDefaults& defaults = UserDefaults::standard();
    QStringList ids = defaults.value(pendingDeletionsKey()).toStringList();
    if (pending == ids.contains(apiID))
        return;
    if (pending)
        ids.append(apiID);
    else
        ids.removeAll(apiID);
    defaults.setValue(pendingDeletionsKey(), ids);
}

// A service reply that confirms a deletion: no "error", or the service no longer knowing the document.
bool deletionConfirmed(const QString& reply)
{
    const ServiceReply::Outcome outcome = ServiceReply::parse(reply).outcome;
    return outcome == ServiceReply::Outcome::Success || outcome == ServiceReply::Outcome::NotFound;
}

// Colours and fonts go through palettes: a style sheet per widget would cost every tile a parse and a polish
// when the grid is first shown.
void setColors(QWidget* widget, const QColor& text, const QColor& background = QColor())
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Text, text);
    if (background.isValid()) {
        palette.setColor(QPalette::Window, background);
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(palette);
}

void setPixelFont(QWidget* widget, int pixels, bool bold = false)
{
    QFont font = widget->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    widget->setFont(font);
}

QToolButton* makeBarButton(QWidget* parent, const QString& text)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    setColors(button, QColor(0x55, 0x55, 0x55));
    setPixelFont(button, 11);
    return button;
}

// The ring around the tile that has the keyboard: the brand blue, over everything the tile shows.
class TileFocusRing : public QWidget {
public:
    explicit TileFocusRing(QWidget* tile)
        : QWidget(tile)
    {
        setObjectName(QStringLiteral("tileFocusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(Tessutils::tessarineBlue(), 3);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    }
};

void placeFocusRing(QWidget* ring)
{
    ring->setGeometry(ring->parentWidget()->rect());
    ring->raise();
}

// A document without a title (new and imported ones) is called untitled rather than shown without a name.
QString shownTitle(const QString& title)
{
    return title.trimmed().isEmpty() ? UFM::UNTITLED_TEXT() : title;
}

} // namespace

// Resends the deletions the service has not confirmed yet (each refresh of the grid).
void resendPendingDeletions()
{
    const QStringList ids = UserDefaults::standard().value(pendingDeletionsKey()).toStringList();
    const QString token = Tessutils::corvikAuthToken();
    if (token.isEmpty())
        return;
    for (const QString& apiID : ids) {
        ZERI_APIBinding::tessarineUpdateWithAuthToken(token, apiID, {}, false, true, {}, {}, {}, QStringLiteral("0"),
                                                      {}, {}, {}, {}, [apiID](const QString& reply, const QString&) {
                                                          qCInfo(lcLibrary) << "delete result?" << reply.left(200);
                                                          if (deletionConfirmed(reply))
                                                              setPendingDeletion(apiID, false);
                                                      });
    }
}

QSize QVRTessarineTileGridItemViewTextField::sizeHint() const
{
    if (text().trimmed().isEmpty())
        return {0, 0};
    const int width = this->width() > 0 ? this->width() : QVRTessarineTileGridItemView::kWidth - 2 * kLabelMargin;
    return {width, heightForWidth(width)};
}

QStringList QVRTessarineTileGridItemViewTextField::shownLines() const
{
    const QRect area = contentsRect();
    const QString shown = text().trimmed();
    if (shown.isEmpty() || area.width() <= 0)
        return {};
    const QFontMetrics metrics(font());
    QTextLayout layout(shown, font());
    QTextOption option;
    option.setWrapMode(wordWrap() ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    layout.setTextOption(option);
    QList<std::pair<int, int>> ranges; // start, length
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        ranges.append({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    // Whole lines only; at least one, so a label never shows nothing of its text.
    const int fitting = std::max(1, (area.height() - metrics.height()) / metrics.lineSpacing() + 1);
    QStringList lines;
    for (int i = 0; i < ranges.size() && i < fitting; ++i) {
        const bool last = i == fitting - 1 && i < ranges.size() - 1;
        QString line = last ? shown.mid(ranges[i].first) : shown.mid(ranges[i].first, ranges[i].second);
        line = line.simplified();
        if (last) {
            // Always mark the cut, even where the cut line's words would fit.
            const QString ellipsis(QChar(0x2026));
            line = metrics.elidedText(line + ellipsis, Qt::ElideRight, area.width());
            if (!line.endsWith(ellipsis))
                line += ellipsis;
        }
        lines.append(line);
    }
    return lines;
}

void QVRTessarineTileGridItemViewTextField::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    const QFontMetrics metrics(font());
    int y = area.top();
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    for (const QString& line : shownLines()) {
        painter.drawText(QRect(area.left(), y, area.width(), metrics.height()), int(horizontal | Qt::AlignTop), line);
        y += metrics.lineSpacing();
    }
}

QVRTessarineTileGridItemView::QVRTessarineTileGridItemView(QWidget* parent)
    : QWidget(parent)
{
    m_imageView = new QVR_AsynchronousRenderWebImageView(this);
    m_imageView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_titleLabel = new QVRTessarineTileGridItemViewTextField(this);
    m_titleLabel->setWordWrap(true);
    setColors(m_titleLabel, QColor(0x33, 0x33, 0x33));
    setPixelFont(m_titleLabel, 14, true);
    m_titleLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_descriptionLabel = new QVRTessarineTileGridItemViewTextField(this);
    m_descriptionLabel->setWordWrap(true);
    setColors(m_descriptionLabel, QColor(0x77, 0x77, 0x77));
    setPixelFont(m_descriptionLabel, 12);
    m_descriptionLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_horizontalLine = new QWidget(this);
    setColors(m_horizontalLine, Qt::black, QColor(0xd3, 0xd3, 0xd3));
    m_publishedView = new QLabel(UFM::POSTED_TEXT(), this);
    setColors(m_publishedView, Qt::white, QColor(0x2B, 0x83, 0xC0));
    setPixelFont(m_publishedView, 10);
    static_cast<QLabel*>(m_publishedView)->setMargin(2);
    m_publishedView->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_playButton = makeBarButton(this, UFM::PLAY_TEXT());
    m_shareButton = makeBarButton(this, UFM::SHARE_TEXT());
    m_analyticsButton = makeBarButton(this, QString());
    m_analyticsButton->setIcon(QIcon(QStringLiteral(":/library/lists/analytics.svg")));
    connect(m_playButton, &QToolButton::clicked, this, [this] { playButtonPressed(); });
    connect(m_shareButton, &QToolButton::clicked, this, [this] { shareButtonPressed(); });
    connect(m_analyticsButton, &QToolButton::clicked, this, [this] { analyticsButtonPressed(); });
    m_spinner = new QProgressBar(this);
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->hide();
    m_mouseDownAlphaOverlay = new QWidget(this);
    m_mouseDownAlphaOverlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    setColors(m_mouseDownAlphaOverlay, Qt::black, QColor(77, 77, 77, 51));
    m_mouseDownAlphaOverlay->hide();
    m_focusRing = new TileFocusRing(this);
    // The grid gives the keyboard to one tile at a time; the others stay out of the Tab order.
    setFocusPolicy(Qt::NoFocus);
    setTakesTab(false);

    m_menu = new QMenu(this);
    m_menu->addAction(UFM::DELETE_TEXT(), this, [this] { deleteTessarine(); });
    m_menu->addAction(UFM::DUPLICATE_TEXT(), this, [this] { duplicateTessarine(); });
    const QString unpost = UFM::UNPOST_TEXT();
    m_unpublishItem = m_menu->addAction(unpost.left(1).toUpper() + unpost.mid(1), this, [this] { unpublish(); });
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        m_unpublishItem->setEnabled(m_filePackage && m_filePackage->publishedVersionExists() &&
                                    TilePublishing::shared().canUnpublish());
    });
    resize(intrinsicContentSize());
}

QVRTessarineTileGridItemView::~QVRTessarineTileGridItemView() = default;

void QVRTessarineTileGridItemView::setFilePackage(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    m_publishedObservation.reset();
    m_timestampObserver.reset();
    m_previewScreenshotObserver.reset();
    m_servicePictureObserver.reset();
    m_titleObserver.reset();
    m_filePackage = package;
    if (!package)
        return;
    ZERI_qvdFilePackageMetadata& metadata = package->metaData();
    // A loaded document's first flow has the title as the user last typed it; the stored name follows on save.
    QString title = metadata.tessarineName();
    if (package->model() && package->model()->firstFlowmodel())
        title = package->model()->firstFlowmodel()->title();
    m_titleLabel->setText(shownTitle(title));
    m_descriptionLabel->setText(metadata.tessarineDescription());
    showPicture();
    resizeToContent();
    publishedVersionUpdated();
    QPointer<QVRTessarineTileGridItemView> self(this);
    m_publishedObservation = NotificationObservation(ZERI_qvdFilePackage::publishedVersionUpdatedNotification,
                                                     package.get(), [self](const Notification&) {
                                                         if (self)
                                                             self->publishedVersionUpdated();
                                                     });
    m_timestampObserver = metadata.updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (!self)
                return;
            self->setToolTip(self->makeTooltipText());
            // A saved edit may have changed the first screen: the stamp has whole seconds and follows only some
            // edits, the draft's revision follows every written draft.
            TilePreviews::request(self->m_filePackage);
        },
        QStringList{QStringLiteral("updatedTimeStamp"), QStringLiteral("draftRevision")});
    m_previewScreenshotObserver = metadata.updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>& keys) {
            if (self)
                self->textsChanged(keys);
        },
        QStringList{QStringLiteral("previewScreenshotFilePath"), QStringLiteral("tessarineDescription"),
                    QStringLiteral("tessarineName")});
    observeFirstFlow();
    setToolTip(makeTooltipText());
    TilePreviews::request(package);
}

void QVRTessarineTileGridItemView::observeFirstFlow()
{
    m_titleObserver.reset();
    if (!m_filePackage || !m_filePackage->model())
        return;
    const auto flow = m_filePackage->model()->firstFlowmodel();
    if (!flow)
        return;
    QPointer<QVRTessarineTileGridItemView> self(this);
    m_titleObserver = flow->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>&) {
            if (self)
                self->titleChanged();
        },
        QStringLiteral("title"));
}

void QVRTessarineTileGridItemView::setParentMyTessarinesViewController(QVRMyTessarinesViewController* controller)
{
    m_parent = controller;
}

void QVRTessarineTileGridItemView::showPicture()
{
    const ZERI_qvdFilePackageMetadata& metadata = m_filePackage->metaData();
    const QString path = TilePreviews::pictureOnDisk(*m_filePackage);
    if (!path.isEmpty()) {
        m_imageView->setImagePath(path);
        return;
    }
    const QUrl url(metadata.previewScreenshotURLString());
    // A preview address is the service's: a local file is never shown (nor copied into the package) for it.
    if (!UntrustedAddresses::isWebAddress(url))
        return;
    auto downloader =
        ZERI_WebDownloader::downloaderForUrl(url, m_filePackage->assetsPath(), ZERI_WebDownloader::Kind::Picture);
    if (!downloader)
        return;
    m_imageView->setDownloader(downloader);
    // An error status, no answer or no network: the tile shows the document as drawn here instead.
    QPointer<QVRTessarineTileGridItemView> self(this);
    const std::weak_ptr<ZERI_WebDownloader> weakDownloader = downloader;
    const auto failedCheck = [self, weakDownloader] {
        const auto d = weakDownloader.lock();
        if (self && d && d->downloadStatus() == ZERI_WebDownloader::Failed && self->m_filePackage)
            TilePreviews::serviceFailed(self->m_filePackage);
    };
    m_servicePictureObserver = downloader->updateNotifier().addObservationBlock(
        [failedCheck](const void*, const QSet<QString>&) { failedCheck(); }, QStringLiteral("downloadStatus"));
    downloader->downloadAndCache();
    failedCheck();
}

void QVRTessarineTileGridItemView::textsChanged(const QSet<QString>& keys)
{
    if (!m_filePackage)
        return;
    ZERI_qvdFilePackageMetadata& metadata = m_filePackage->metaData();
    bool changed = false;
    if (keys.contains(QStringLiteral("previewScreenshotFilePath")) && !m_filePackage->previewPictureFile().isEmpty())
        m_imageView->setImagePath(m_filePackage->previewPictureFile());
    if (keys.contains(QStringLiteral("tessarineDescription")) &&
        metadata.tessarineDescription() != m_descriptionLabel->text()) {
        m_descriptionLabel->setText(metadata.tessarineDescription());
        changed = true;
    }
    if (keys.contains(QStringLiteral("tessarineName"))) {
        QString title = metadata.tessarineName();
        if (m_filePackage->model() && m_filePackage->model()->firstFlowmodel())
            title = m_filePackage->model()->firstFlowmodel()->title();
        title = shownTitle(title);
        if (title != m_titleLabel->text()) {
            m_titleLabel->setText(title);
            changed = true;
        }
    }
    if (changed) {
        resizeToContent();
        if (m_parent)
            m_parent->redraw();
    }
}

void QVRTessarineTileGridItemView::titleChanged()
{
    if (!m_filePackage || !m_filePackage->model() || !m_filePackage->model()->firstFlowmodel())
        return;
    const QString title = shownTitle(m_filePackage->model()->firstFlowmodel()->title());
    if (title == m_titleLabel->text())
        return;
    m_titleLabel->setText(title);
    resizeToContent();
    if (m_parent)
        m_parent->redraw();
}

QSize QVRTessarineTileGridItemView::intrinsicContentSize() const
{
    const int title = std::min(m_titleLabel->sizeHint().height(), kTitleHeightCap);
    const int description = std::min(m_descriptionLabel->sizeHint().height(), kDescriptionHeightCap);
    // Picture, a margin above and below the labels, the line and the button bar.
    const int starting = kPictureHeight + 2 * kLabelMargin + 1 + kBarHeight;
    return {kWidth, starting + title + description};
}

void QVRTessarineTileGridItemView::resizeToContent()
{
    const double scale = width() > 0 ? double(width()) / kWidth : 1.0;
    const QSize size = intrinsicContentSize();
    // The grid scales tiles to its column width; the ratio is what it reads.
    resize(int(size.width() * scale), int(size.height() * scale));
    relayout();
}

// The card: white with rounded corners.
static void paintCard(QWidget* widget)
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(widget->rect()), 5, 5);
}

void QVRTessarineTileGridItemView::paintEvent(QPaintEvent*)
{
    paintCard(this);
}

void QVRTessarineTileCreateNewGridItemView::paintEvent(QPaintEvent*)
{
    paintCard(this);
}

void QVRTessarineTileGridItemView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void QVRTessarineTileGridItemView::relayout()
{
    const int w = width();
    const int pictureHeight = int(w * double(kPictureHeight) / kWidth);
    m_imageView->setGeometry(0, 0, w, pictureHeight);
    int y = pictureHeight + kLabelMargin;
    const int labelWidth = std::max(0, w - 2 * kLabelMargin);
    const int title = std::min(m_titleLabel->sizeHint().height(), kTitleHeightCap);
    m_titleLabel->setGeometry(kLabelMargin, y, labelWidth, title);
    y += title;
    const int description = std::min(m_descriptionLabel->sizeHint().height(), kDescriptionHeightCap);
    m_descriptionLabel->setGeometry(kLabelMargin, y, labelWidth, description);
    const int barTop = height() - kBarHeight;
    m_horizontalLine->setGeometry(0, barTop - 1, w, 1);
    const int buttonWidth = w / 3;
    m_playButton->setGeometry(0, barTop, buttonWidth, kBarHeight);
    m_shareButton->setGeometry(buttonWidth, barTop, buttonWidth, kBarHeight);
    m_analyticsButton->setGeometry(2 * buttonWidth, barTop, w - 2 * buttonWidth, kBarHeight);
    m_publishedView->adjustSize();
    m_publishedView->move(w - m_publishedView->width() - 6, 6);
    m_spinner->setGeometry(w / 4, pictureHeight / 2 - 4, w / 2, 8);
    m_mouseDownAlphaOverlay->setGeometry(rect());
    m_mouseDownAlphaOverlay->raise();
    placeFocusRing(m_focusRing);
}

void QVRTessarineTileGridItemView::setTakesTab(bool takes)
{
    setFocusPolicy(takes ? Qt::TabFocus : Qt::NoFocus);
    for (QToolButton* button : {m_playButton, m_shareButton, m_analyticsButton})
        button->setFocusPolicy(takes ? Qt::TabFocus : Qt::NoFocus);
}

void QVRTessarineTileGridItemView::setKeyboardMarked(bool marked)
{
    m_focusRing->setVisible(marked);
}

bool QVRTessarineTileGridItemView::isKeyboardMarked() const
{
    return !m_focusRing->isHidden();
}

void QVRTessarineTileGridItemView::showContextMenuFromKeyboard()
{
    if (m_menu->isVisible())
        return;
    m_menu->popup(mapToGlobal(QPoint(width() / 2, height() / 3)));
}

void QVRTessarineTileGridItemView::publishedVersionUpdated()
{
    const bool published = m_filePackage && m_filePackage->publishedVersionDate().has_value();
    m_publishedView->setVisible(published);
    m_analyticsButton->setVisible(published);
    m_shareButton->setEnabled(TilePublishing::shared().canShare());
    setToolTip(makeTooltipText());
}

QString QVRTessarineTileGridItemView::tooltipDate(const QDateTime& date)
{
    return QLocale::c().toString(date, QStringLiteral("ddd MMM dd h:mm AP"));
}

QString QVRTessarineTileGridItemView::makeTooltipText()
{
    if (!m_filePackage)
        return {};
    ZERI_qvdFilePackageMetadata& metadata = m_filePackage->metaData();
    const QString stamp = metadata.updatedTimeStamp();
    QDateTime modified = QLocale::c().toDateTime(stamp, QStringLiteral("ddd MMM dd h:mm AP"));
    if (!modified.isValid())
        modified = ZERI_qvdFilePackageMetadata::dateFromStamp(stamp).value_or(QDateTime());
    QString text =
        QStringLiteral("%1: %2").arg(UFM::LAST_MODIFIED_TEXT(), modified.isValid() ? tooltipDate(modified) : QString());
    if (const auto posted = m_filePackage->publishedVersionDate()) {
        text += QStringLiteral("\n%1: %2").arg(UFM::LAST_POSTED_TEXT(), tooltipDate(*posted));
        text += QStringLiteral("\nID: %1").arg(metadata.stringID());
    }
    return text;
}

bool QVRTessarineTileGridItemView::isOpening() const
{
    return !m_spinner->isHidden();
}

void QVRTessarineTileGridItemView::setSpinnerShown(bool shown)
{
    m_spinner->setVisible(shown);
}

void QVRTessarineTileGridItemView::openTessarine()
{
    if (!m_filePackage || isOpening())
        return;
    setSpinnerShown(true);
    QPointer<QVRTessarineTileGridItemView> self(this);
    const auto package = m_filePackage;
    DocumentServerOperations::loadModelWithBackupAPIID(
        package, package->metaData().apiID(),
        [self, package](std::shared_ptr<ZERI_TessarineModel> model, const Error& error) {
            if (!model) {
                // Nothing to open: the spinner must not stay up for good, and the user is told.
                if (self) {
                    self->setSpinnerShown(false);
                    self->tellCannotOpen(error);
                }
                return;
            }
            if (self)
                self->observeFirstFlow();
            auto request = QVROpenRequest::request();
            request->setOpenCue(package);
            request->setOptions(QVROpenRequest::DownloadByStringID | QVROpenRequest::ReuseOwnLocalPackage |
                                QVROpenRequest::PrecacheAllImagesAndMedia);
            request->open([self](const Error& openError) {
                if (self)
                    self->setSpinnerShown(false);
                OpenFailureNotice::tell(openError, self ? self->window() : nullptr);
            });
        });
}

void QVRTessarineTileGridItemView::tellCannotOpen(const Error& error)
{
    qCWarning(lcLibrary).noquote() << "Error opening Tessarine. Error:" << error.description();
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = UFM::ERROR_OPENING_TESSARINE();
    request.buttons = {UFM::OK_TEXT()};
    AlertPresenter::shared().show(request, window(), {});
}

void QVRTessarineTileGridItemView::playButtonPressed()
{
    if (!m_filePackage)
        return;
    const auto package = m_filePackage;
    QPointer<QVRTessarineTileGridItemView> self(this);
    DocumentServerOperations::loadModelWithBackupAPIID(
        package, package->metaData().apiID(),
        [self, package](std::shared_ptr<ZERI_TessarineModel> model, const Error& loadError) {
            if (!model) {
                if (self)
                    self->tellCannotOpen(loadError);
                return;
            }
            auto request = QVROpenRequest::request();
            request->setOpenCue(package);
            request->setOptions(QVROpenRequest::ViewerWindow);
            request->open([package](const Error& error) {
                if (!error.isNull() || !package->model())
                    return;
                // The viewer showing the document: the open request's windows find it as the window manager does.
                const auto ui = OpenRequestUi::current();
                QVROpenRequestDelegate* window = ui ? ui->viewerWindowForModel(package->model()) : nullptr;
                if (auto* viewer = dynamic_cast<ViewerWindowHandle*>(window))
                    viewer->showPresentationNotesIfAble();
            });
        });
}

void QVRTessarineTileGridItemView::shareButtonPressed()
{
    if (!m_filePackage)
        return;
    if (!m_filePackage->model())
        m_filePackage->loadModel();
    const auto model = m_filePackage->model();
    if (!model) {
        // Downloaded first, then shared; only once, so a document that cannot be had does not loop.
        if (m_shareRetried)
            return;
        m_shareRetried = true;
        QPointer<QVRTessarineTileGridItemView> self(this);
        DocumentServerOperations::loadModelWithBackupAPIID(
            m_filePackage, m_filePackage->metaData().apiID(),
            [self](std::shared_ptr<ZERI_TessarineModel> loaded, const Error&) {
                if (self && loaded)
                    self->shareButtonPressed();
                if (self)
                    self->m_shareRetried = false;
            });
        return;
    }
    if (m_filePackage->hasSomethingToPost())
        TilePublishing::shared().postTessarineModel(model, window());
    else
        TilePublishing::shared().shareTessarineModel(model, window());
}

void QVRTessarineTileGridItemView::analyticsButtonPressed()
{
    if (!m_filePackage)
        return;
    const QString stringID = m_filePackage->metaData().stringID();
    const void* sender = this;
    QTimer::singleShot(100, this, [stringID, sender] {
        NotificationCenter::defaultCenter().post(QStringLiteral("showAnalyticsForATessarine"), sender,
                                                 {{QStringLiteral("tessarineStringId"), stringID}});
    });
}

void QVRTessarineTileGridItemView::deleteTessarine()
{
    AlertRequest request;
    request.style = AlertRequest::Style::Warning;
    request.messageText = UFM::DELETE_TEXT();
    request.informativeText = UFM::DELETION_WILL_UNPUBLISH_AND_REMOVE_FROM_DEVICE();
    request.buttons = {UFM::DELETE_TEXT(), UFM::CANCEL_TEXT()};
    QPointer<QVRTessarineTileGridItemView> self(this);
    AlertPresenter::shared().show(request, window(), [self](const AlertResponse& response) {
        if (self && response.button == 0)
            self->actuallyDeleteTessarine();
    });
}

void QVRTessarineTileGridItemView::actuallyDeleteTessarine()
{
    if (!m_filePackage)
        return;
    const auto package = m_filePackage;
    ZERI_qvdFilePackageMetadata& metadata = package->metaData();
    QVariantMap parameters;
    if (metadata.packageType() & ZERI_qvdFilePackage::OwnDocument)
        parameters.insert(QStringLiteral("action_value"), QStringLiteral("isOwner"));
    else if (Tessutils::isUserAdmin())
        parameters.insert(QStringLiteral("action_value"), QStringLiteral("isAdmin"));
    // The server id comes from the metadata, so that a document never loaded here is deleted on the service too.
    const QString apiID = metadata.apiID();
    QVRAnalytics::logEventForDocumentID(QStringLiteral("Deleted Tessarine"), parameters, apiID);
    if (!apiID.isEmpty()) {
        setPendingDeletion(apiID, true);
        ZERI_APIBinding::tessarineUpdateWithAuthToken(Tessutils::corvikAuthToken(), apiID, {}, false, true, {}, {}, {},
                                                      QStringLiteral("0"), {}, {}, {}, {},
                                                      [apiID](const QString& reply, const QString&) {
                                                          qCInfo(lcLibrary) << "delete result?" << reply.left(200);
                                                          if (deletionConfirmed(reply))
                                                              setPendingDeletion(apiID, false);
                                                      });
    }
    Error error;
    if (!package->deletePackage(&error))
        qCWarning(lcLibrary) << "could not delete the document's folder:" << error.message;
}

void QVRTessarineTileGridItemView::duplicateTessarine()
{
    if (!m_filePackage)
        return;
    const auto package = m_filePackage;
    QVariantMap parameters{{QStringLiteral("userID"), QVRAnalytics::signedInUserName()}};
    if (package->ownedByCurrentUser())
        parameters.insert(QStringLiteral("action_value"), QStringLiteral("isOwner"));
    else if (Tessutils::isUserAdmin())
        parameters.insert(QStringLiteral("action_value"), QStringLiteral("isAdmin"));
    QVRAnalytics::logEventForDocumentID(QStringLiteral("Duplicated Tessarine:"), parameters,
                                        package->metaData().apiID());
    auto duplicate = [package] {
        ZERI_qvdFilePackage::duplicatePackage(package, [](std::shared_ptr<ZERI_qvdFilePackage> copy) {
            if (!copy)
                return;
            copy->deletePublishedData();
            copy->metaData().setPackageType(ZERI_qvdFilePackage::OwnDocument);
            copy->saveMetadata();
            ZERI_qvdFilePackage::schedulePackagesChangedNotification();
        });
    };
    // A document only on the service is fetched first: the copy is made from the local draft.
    if (package->model() || package->loadModel()) {
        duplicate();
        return;
    }
    DocumentServerOperations::loadModelWithBackupAPIID(
        package, package->metaData().apiID(), [duplicate](std::shared_ptr<ZERI_TessarineModel> model, const Error&) {
            if (model)
                duplicate();
        });
}

void QVRTessarineTileGridItemView::unpublish()
{
    if (!m_filePackage || !m_filePackage->publishedVersionExists())
        return;
    QPointer<QVRTessarineTileGridItemView> self(this);
    TilePublishing::shared().unpublish(m_filePackage, window(), [self](bool unposted) {
        if (!unposted) {
            qCInfo(lcLibrary) << "was cancelled";
            return;
        }
        if (self && self->m_parent)
            self->m_parent->redraw();
    });
}

void QVRTessarineTileGridItemView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        m_menu->popup(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_mouseDownAlphaOverlay->show();
}

void QVRTessarineTileGridItemView::mouseReleaseEvent(QMouseEvent* event)
{
    m_mouseDownAlphaOverlay->hide();
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    if (rect().contains(event->position().toPoint()))
        openTessarine();
}

void QVRTessarineTileGridItemView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard)
        showContextMenuFromKeyboard();
    else
        m_menu->popup(event->globalPos());
}

QVRTessarineTileCreateNewGridItemView::QVRTessarineTileCreateNewGridItemView(QWidget* parent)
    : QWidget(parent)
{
    m_createNewLabelHolder = new QWidget(this);
    setColors(m_createNewLabelHolder, Qt::black, QColor(235, 232, 232));
    m_createNewLabel = new QLabel(UFM::CREATE_A_TESSARINE_TEXT(), this);
    m_createNewLabel->setAlignment(Qt::AlignCenter);
    m_createNewLabel->setWordWrap(true);
    setColors(m_createNewLabel, QColor(0x2B, 0x83, 0xC0));
    setPixelFont(m_createNewLabel, 16);
    m_mouseDownAlphaOverlay = new QWidget(this);
    setColors(m_mouseDownAlphaOverlay, Qt::black, QColor(0, 0, 0, 77));
    m_mouseDownAlphaOverlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_mouseDownAlphaOverlay->hide();
    m_focusRing = new TileFocusRing(this);
    setFocusPolicy(Qt::NoFocus);
    resize(sizeHint());
}

void QVRTessarineTileCreateNewGridItemView::setKeyboardMarked(bool marked)
{
    m_focusRing->setVisible(marked);
}

bool QVRTessarineTileCreateNewGridItemView::isKeyboardMarked() const
{
    return !m_focusRing->isHidden();
}

QSize QVRTessarineTileCreateNewGridItemView::sizeHint() const
{
    return {QVRTessarineTileGridItemView::kWidth,
            QVRTessarineTileGridItemView::kPictureHeight + QVRTessarineTileGridItemView::kBarHeight + 20};
}

void QVRTessarineTileCreateNewGridItemView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_createNewLabelHolder->setGeometry(rect().adjusted(8, 8, -8, -8));
    m_createNewLabel->setGeometry(rect().adjusted(16, 16, -16, -16));
    m_mouseDownAlphaOverlay->setGeometry(rect());
    placeFocusRing(m_focusRing);
}

void QVRTessarineTileCreateNewGridItemView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_mouseDownAlphaOverlay->show();
}

void QVRTessarineTileCreateNewGridItemView::mouseReleaseEvent(QMouseEvent* event)
{
    m_mouseDownAlphaOverlay->hide();
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    createTessarine();
}

void QVRTessarineTileCreateNewGridItemView::createTessarine()
{
    auto request = QVROpenRequest::request();
    request->setOpenCue(NewDocumentCue{});
    request->open();
    QVRAnalytics::logEvent(QStringLiteral("Create Tessarine Pressed"));
}
