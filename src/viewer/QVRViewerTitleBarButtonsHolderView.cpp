#include "viewer/QVRViewerTitleBarButtonsHolderView.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPixmap>
#include <QToolButton>

#include "elements/images/UNIImage.h"
#include "strings/UFM.h"

namespace {

constexpr int kButtonSize = 20;
constexpr int kSpacing = 5;

QIcon artworkIcon(const QString& name)
{
    const UNIImage image = UNIImage::imageNamed(name, 2.0);
    if (image.isNull())
        return QIcon();
    QPixmap pixmap = QPixmap::fromImage(image.CGImage());
    pixmap.setDevicePixelRatio(2.0);
    return QIcon(pixmap);
}

} // namespace

QVRViewerTitleBarButtonsHolderView::QVRViewerTitleBarButtonsHolderView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kSpacing, 0, kSpacing, 0);
    layout->setSpacing(kSpacing);
    layout->addStretch(1);

    // Left to right: full screen, play/pause, presenter notes, share, download.
    m_fullscreenButton = makeButton(QStringLiteral("viewer_fullscreen_icon"), UFM::EXPAND_TO_FULLSCREEN(),
                                    QStringLiteral("fullscreenButton"));
    m_playPauseButton =
        makeButton(QStringLiteral("viewer_play_icon"), UFM::AUTOPLAY_TEXT(), QStringLiteral("playPauseButton"));
    m_presenterNotesButton = makeButton(QStringLiteral("viewer_presenter_notes_icon"), UFM::DISPLAY_PRESENTER_NOTES(),
                                        QStringLiteral("togglePresenterNotes"));
    m_shareButton =
        makeButton(QStringLiteral("viewer_share_icon"), UFM::EXPLAIN_SHARE(), QStringLiteral("shareButton"));
    m_downloadButton = makeButton(QStringLiteral("viewer_download_icon"), UFM::SAVE_COPY_TO_MY_TESSARINES(),
                                  QStringLiteral("downloadButton"));
    for (QToolButton* button :
         {m_fullscreenButton, m_playPauseButton, m_presenterNotesButton, m_shareButton, m_downloadButton})
        layout->addWidget(button, 0, Qt::AlignVCenter);

    connect(m_downloadButton, &QToolButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->titleBarDownloadButtonPressed();
    });
    connect(m_shareButton, &QToolButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->titleBarShareButtonPressed();
    });
    connect(m_playPauseButton, &QToolButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->titleBarPlayPauseButtonPressed();
    });
    connect(m_presenterNotesButton, &QToolButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->titleBarTogglePresentationNotesButtonPressed();
    });
    connect(m_fullscreenButton, &QToolButton::clicked, this, [this] { toggleFullScreen(); });

    downloadButtonShouldHide(true);
    shareButtonShouldHide(true);
    playPauseButtonShouldHide(true);
    presenterNotesButtonShouldHide(true);
    setPlayPauseButtonPlaying(false);
}

QToolButton* QVRViewerTitleBarButtonsHolderView::makeButton(const QString& artwork, const QString& toolTip,
                                                            const QString& name)
{
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setIconSize(QSize(kButtonSize - 4, kButtonSize - 4));
    button->setIcon(artworkIcon(artwork));
    button->setToolTip(toolTip);
    return button;
}

void QVRViewerTitleBarButtonsHolderView::downloadButtonShouldHide(bool hide)
{
    m_downloadButton->setHidden(hide);
}

void QVRViewerTitleBarButtonsHolderView::shareButtonShouldHide(bool hide)
{
    m_shareButton->setHidden(hide);
}

void QVRViewerTitleBarButtonsHolderView::expandButtonShouldHide(bool hide)
{
    m_fullscreenButton->setHidden(hide);
}

void QVRViewerTitleBarButtonsHolderView::playPauseButtonShouldHide(bool hide)
{
    m_playPauseButton->setHidden(hide);
}

void QVRViewerTitleBarButtonsHolderView::presenterNotesButtonShouldHide(bool hide)
{
    m_presenterNotesButton->setHidden(hide);
}

void QVRViewerTitleBarButtonsHolderView::setPlayPauseButtonPlaying(bool playing)
{
    m_playing = playing;
    m_playPauseButton->setIcon(
        artworkIcon(playing ? QStringLiteral("viewer_pause_icon") : QStringLiteral("viewer_play_icon")));
    m_playPauseButton->setToolTip(playing ? UFM::PAUSE_TEXT() : UFM::AUTOPLAY_TEXT());
}

void QVRViewerTitleBarButtonsHolderView::toggleFullScreen()
{
    QWidget* top = window();
    if (!top)
        return;
    if (top->isFullScreen())
        top->showNormal();
    else
        top->showFullScreen();
}
