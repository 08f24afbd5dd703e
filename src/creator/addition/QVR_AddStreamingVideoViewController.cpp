#include "creator/addition/QVR_AddStreamingVideoViewController.h"

#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/NibRegistry.h"
#include "creator/CreatorLogging.h"
#include "elements/video/VimeoVideoPreviewHelperClass.h"
#include "elements/video/YouTubeVideoPreviewHelper.h"
#include "foundation/Tessutils.h"
#include "service/ServiceReachability.h"
#include "strings/UFM.h"

const QString QVR_AddStreamingVideoViewController::kNibName = QStringLiteral("QVR_AddStreamingVideoViewController");

namespace {

const QString kYouTube = QStringLiteral("youtube");
const QString kVimeo = QStringLiteral("vimeo");
constexpr QSize kPreviewSize{320, 240};
// The preview gives way when the panel is short (a small window), so Insert stays below it.
constexpr QSize kSmallestPreviewSize{160, 120};

void registerTheNib()
{
    if (NibRegistry::hasNib(QVR_AddStreamingVideoViewController::kNibName))
        return;
    NibRegistry::registerNib(QVR_AddStreamingVideoViewController::kNibName, [](QObject*) -> QList<QWidget*> {
        auto* view = new QWidget;
        auto* column = new QVBoxLayout(view);
        column->setContentsMargins(20, 16, 20, 16);
        column->setSpacing(10);
        auto* title = new QLabel(view);
        title->setObjectName(QStringLiteral("titleLabel"));
        column->addWidget(title);
        auto* field = new QLineEdit(view);
        field->setObjectName(QStringLiteral("urlFeild"));
        column->addWidget(field);
        auto* notice = new QLabel(view);
        notice->setObjectName(QStringLiteral("reachNotice"));
        notice->setWordWrap(true);
        notice->hide();
        column->addWidget(notice);
        auto* image = new QLabel(view);
        image->setObjectName(QStringLiteral("imageView"));
        // As wide as the column, the picture centred in it: a label aligned in the column would take the width of
        // the picture it shows, and never grow again.
        image->setMinimumSize(kSmallestPreviewSize);
        image->setMaximumHeight(kPreviewSize.height());
        image->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        image->setAlignment(Qt::AlignCenter);
        column->addWidget(image, 1);
        auto* insert = new QPushButton(view);
        insert->setObjectName(QStringLiteral("insertButton"));
        column->addWidget(insert, 0, Qt::AlignRight);
        // A small white dialog of its own size, centred in the page that shows it.
        view->resize(440, 380);
        view->setMaximumSize(440, 380);
        view->setAutoFillBackground(true);
        QPalette palette = view->palette();
        palette.setColor(QPalette::Window, Qt::white);
        view->setPalette(palette);
        return {view};
    });
}

} // namespace

QVR_AddStreamingVideoViewController::QVR_AddStreamingVideoViewController(QObject* parent)
    : NavigationControllerFriendlyViewController(parent)
{
}

QImage QVR_AddStreamingVideoViewController::defaultPlaceholderImage()
{
    static const QImage placeholder =
        QIcon(QStringLiteral(":/creator/addition/qvr_video_placeholder.svg")).pixmap(QSize(480, 360)).toImage();
    return placeholder;
}

void QVR_AddStreamingVideoViewController::loadView()
{
    registerTheNib();
    QWidget* view = NibRegistry::instantiate(kNibName, this).value(0);
    if (!view)
        view = new QWidget;
    m_titleLabel = view->findChild<QLabel*>(QStringLiteral("titleLabel"));
    m_urlFeild = view->findChild<QLineEdit*>(QStringLiteral("urlFeild"));
    m_insertButton = view->findChild<QPushButton*>(QStringLiteral("insertButton"));
    m_imageView = view->findChild<QLabel*>(QStringLiteral("imageView"));
    m_reachNotice = view->findChild<QLabel*>(QStringLiteral("reachNotice"));
    if (m_imageView)
        m_imageView->installEventFilter(this);
    view->installEventFilter(this);
    setView(view);
    awakeFromNib();
}

void QVR_AddStreamingVideoViewController::awakeFromNib()
{
    if (m_titleLabel)
        m_titleLabel->setText(QStringLiteral("YouTube / Vimeo"));
    if (m_insertButton) {
        m_insertButton->setText(UFM::SAYS_INSERT());
        m_insertButton->setEnabled(false);
        m_insertButton->setStyleSheet(QStringLiteral("QPushButton { border-radius: 4px; color: %1; padding: 4px 14px; "
                                                     "border: 1px solid #b0b0b0; background: white; }"
                                                     "QPushButton:disabled { color: #a0a0a0; }")
                                          .arg(Tessutils::tessarineBlackColor().name()));
        connect(m_insertButton, &QPushButton::clicked, this, &QVR_AddStreamingVideoViewController::insertButtonPressed);
    }
    if (m_urlFeild) {
        m_urlFeild->setPlaceholderText(UFM::SAYS_ENTER_THE_URL_OF_A_YOUTUBE_VIDEO());
        connect(m_urlFeild, &QLineEdit::textEdited, this, &QVR_AddStreamingVideoViewController::controlTextDidChange);
        // Return inserts a confirmed video, as the Insert button does.
        connect(m_urlFeild, &QLineEdit::returnPressed, this, [this] {
            if (m_insertButton && m_insertButton->isEnabled())
                insertButtonPressed();
        });
    }
    m_source = QString();
}

bool QVR_AddStreamingVideoViewController::eventFilter(QObject* watched, QEvent* event)
{
    // The event's type first: a label being destroyed still sends events, and is no longer a label to compare.
    if (event->type() == QEvent::Resize && watched == m_imageView) {
        showImage(m_shownImage, m_showsPlaceholder);
    } else if (event->type() == QEvent::Show && watched == view()) {
        // The link is typed (or pasted) as soon as the dialog shows.
        QPointer<QLineEdit> field = m_urlFeild;
        QTimer::singleShot(0, this, [field] {
            if (field && field->isVisible())
                field->setFocus(Qt::PopupFocusReason);
        });
    }
    return NavigationControllerFriendlyViewController::eventFilter(watched, event);
}

void QVR_AddStreamingVideoViewController::controlTextDidChange()
{
    const QString text = m_urlFeild ? m_urlFeild->text() : QString();
    qCInfo(lcCreator).noquote() << QStringLiteral("Text in the text field: %1").arg(text);
    validateYouTubeURL();
}

void QVR_AddStreamingVideoViewController::validateYouTubeURL()
{
    const QString text = m_urlFeild ? m_urlFeild->text() : QString();
    // Every edit voids the answers still on their way.
    ++m_request;
    QString videoId = YouTubeVideoPreviewHelper::videoIdFromURLString(text);
    m_validVideoURLEntered = false;
    if (!videoId.isEmpty()) {
        qCInfo(lcCreator).noquote() << QStringLiteral("Youtube Video Id Candidate: %1").arg(videoId);
        if (videoId.size() == YouTubeVideoPreviewHelper::kVideoIdLength) {
            qCInfo(lcCreator).noquote() << "Valid URL entered!";
            m_validVideoURLEntered = true;
            m_source = kYouTube;
        }
    }
    if (!m_validVideoURLEntered) {
        videoId = VimeoVideoPreviewHelperClass::videoIdFromURLString(text);
        if (!videoId.isEmpty()) {
            m_validVideoURLEntered = true;
            m_source = kVimeo;
        }
    }
    if (!m_validVideoURLEntered) {
        m_pendingVideoId.clear();
        if (m_lookupTimer)
            m_lookupTimer->stop();
        handleVideoValidation(false, {});
        return;
    }
    // The insert button stays off until this text's video is confirmed.
    if (m_insertButton)
        m_insertButton->setEnabled(false);
    // The site is asked once the typing pauses: a link typed key by key is one question, not one per key.
    m_pendingVideoId = videoId;
    if (!m_lookupTimer) {
        m_lookupTimer = new QTimer(this);
        m_lookupTimer->setSingleShot(true);
        m_lookupTimer->setInterval(kLookupPauseMs);
        connect(m_lookupTimer, &QTimer::timeout, this, &QVR_AddStreamingVideoViewController::lookUpPendingVideo);
    }
    m_lookupTimer->start();
}

void QVR_AddStreamingVideoViewController::lookUpPendingVideo()
{
    if (!m_validVideoURLEntered || m_pendingVideoId.isEmpty())
        return;
    const quint64 request = m_request;
    QPointer<QVR_AddStreamingVideoViewController> self(this);
    const auto answer = [self, request](bool valid, const QByteArray& imageData, bool siteAnswered) {
        if (self && self->m_request == request)
            self->handleVideoValidation(valid, imageData, siteAnswered);
    };
    if (m_source == kYouTube)
        YouTubeVideoPreviewHelper::checkVideoId(m_pendingVideoId, answer);
    else
        VimeoVideoPreviewHelperClass::checkVideoId(m_pendingVideoId, answer);
}

void QVR_AddStreamingVideoViewController::handleVideoValidation(bool valid, const QByteArray& imageData,
                                                                bool siteAnswered)
{
    // Red alone would blame the link: without an answer from the site the dialog says why it cannot tell.
    if (m_reachNotice) {
        m_reachNotice->setText(siteAnswered ? QString() : ServiceReachability::unreachableText());
        m_reachNotice->setVisible(!siteAnswered);
    }
    if (m_insertButton)
        m_insertButton->setEnabled(valid);
    if (m_urlFeild) {
        QPalette palette = m_urlFeild->palette();
        palette.setColor(QPalette::Text, valid ? Tessutils::tessarineBlackColor() : QColor(Qt::red));
        m_urlFeild->setPalette(palette);
    }
    const QImage preview = valid ? QImage::fromData(imageData) : QImage();
    if (valid && !preview.isNull())
        showImage(preview, false);
    else
        showImage(defaultPlaceholderImage(), true);
}

void QVR_AddStreamingVideoViewController::showImage(const QImage& image, bool placeholder)
{
    m_shownImage = image;
    m_showsPlaceholder = placeholder;
    if (m_imageView && !image.isNull())
        m_imageView->setPixmap(
            QPixmap::fromImage(image.scaled(m_imageView->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void QVR_AddStreamingVideoViewController::insertButtonPressed()
{
    const QString text = m_urlFeild ? m_urlFeild->text() : QString();
    if (!m_delegate)
        return;
    if (m_source == kYouTube)
        m_delegate->addYoutubeVideoViewControllerSelectionCompletedWithVideoURL(text);
    else if (m_source == kVimeo)
        m_delegate->addVimeoVideoViewControllerSelectionCompletedWithVideoURL(text);
}
