#include "library/themes/QVR_TemplateCollectionViewObject.h"

#include <QIcon>
#include <QKeyEvent>
#include <QToolButton>
#include <QUrl>

#include "controls/HoverAreaView.h"
#include "controls/QVR_AsynchronousRenderWebImageView.h"
#include "library/themes/QVR_TemplateChooserViewController.h"
#include "platform/AppPaths.h"
#include "storage/ZERI_WebDownloader.h"
#include "strings/UFM.h"

QVR_TemplateCollectionViewObject::QVR_TemplateCollectionViewObject(QObject* parent)
    : QObject(parent)
{
    m_cellView = new QWidget;
    m_cellView->setObjectName(QStringLiteral("templateTile"));
    m_cellView->setFixedSize(kCellWidth, kCellHeight);
    m_cellView->setFocusPolicy(Qt::StrongFocus);
    m_cellView->installEventFilter(this);
    m_imageView = new QVR_AsynchronousRenderWebImageView(QRect(0, 0, kCellWidth, kCellHeight), m_cellView);
    makeHoverView();
}

QVR_TemplateCollectionViewObject::~QVR_TemplateCollectionViewObject()
{
    delete m_cellView.data();
}

QVR_TemplateChooserViewController* QVR_TemplateCollectionViewObject::theChooserController() const
{
    return m_chooser;
}

void QVR_TemplateCollectionViewObject::setTheChooserController(QVR_TemplateChooserViewController* chooser)
{
    m_chooser = chooser;
}

void QVR_TemplateCollectionViewObject::makeHoverView()
{
    m_hoverView = new HoverAreaView(m_cellView);
    m_hoverView->setGeometry(0, 0, kCellWidth, kCellHeight);
    m_hoverView->setAttribute(Qt::WA_StyledBackground);
    const auto makeButton = [this](const QString& icon, const QString& title, const QString& name) {
        auto* button = new QToolButton(m_hoverView);
        button->setObjectName(name);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIcon(QIcon(icon));
        button->setIconSize(QSize(40, 40));
        button->setText(title);
        button->setStyleSheet(QStringLiteral("QToolButton { color: white; border: none; background: transparent; }"));
        button->resize(70, 70);
        // The keyboard previews and chooses on the tile itself (Space and Return).
        button->setFocusPolicy(Qt::NoFocus);
        button->hide();
        return button;
    };
    const int w = kCellWidth;
    const int h = kCellHeight;
    m_previewButton =
        makeButton(QStringLiteral(":/library/preview-icon.svg"), UFM::SAYS_PREVIEW(), QStringLiteral("previewButton"));
    // The buttons sit 45 points below the middle in bottom-up terms: their top is 25 points above it.
    m_previewButton->move(w / 2 - 80, h - (h / 2 - 45) - 70);
    m_chooseButton =
        makeButton(QStringLiteral(":/library/choose-icon.svg"), UFM::SAYS_CHOOSE(), QStringLiteral("chooseButton"));
    m_chooseButton->move(w / 2 + 10, h - (h / 2 - 45) - 70);
    connect(m_previewButton, &QToolButton::clicked, this, &QVR_TemplateCollectionViewObject::previewButtonPressed);
    connect(m_chooseButton, &QToolButton::clicked, this, &QVR_TemplateCollectionViewObject::chooseButtonPressed);

    m_hoverView->setOnMouseEnterBlock([this] { showHoverState(); });
    m_hoverView->setOnMouseExitBlock([this] { showHoverState(); });
}

bool QVR_TemplateCollectionViewObject::showsButtons() const
{
    return m_hoverView->isPointerInside() || (m_cellView && m_cellView->hasFocus());
}

void QVR_TemplateCollectionViewObject::showHoverState()
{
    const bool shown = showsButtons();
    if (!m_hoverImage.isNull())
        m_imageView->setImage(shown ? m_hoverImage : m_previewImage);
    m_previewButton->setVisible(shown);
    m_chooseButton->setVisible(shown);
    m_hoverView->setStyleSheet(shown ? QStringLiteral("background: rgba(0, 0, 0, 102);")
                                     : QStringLiteral("background: transparent;"));
}

bool QVR_TemplateCollectionViewObject::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_cellView && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        showHoverState();
    if (watched == m_cellView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
            chooseButtonPressed();
            return true;
        }
        if (key->key() == Qt::Key_Space && modifiers == Qt::NoModifier) {
            previewButtonPressed();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void QVR_TemplateCollectionViewObject::previewButtonPressed()
{
    if (m_chooser)
        m_chooser->startPreviewWithTemplateCollectionViewObject(this);
}

void QVR_TemplateCollectionViewObject::chooseButtonPressed()
{
    if (m_chooser)
        m_chooser->startOpenWithTemplateCollectionViewObject(this);
}

void QVR_TemplateCollectionViewObject::setPreviewURLString(const QString& urlString)
{
    if (urlString.isEmpty() || urlString == m_previewURLString)
        return;
    m_previewURLString = urlString;
    const QUrl url(urlString);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return;
    auto downloader =
        ZERI_WebDownloader::downloaderForUrl(url, AppPaths::temporary(), ZERI_WebDownloader::Kind::Picture);
    if (!downloader)
        return;
    m_imageView->setDownloader(downloader);
    downloader->downloadAndCache();
}

QImage QVR_TemplateCollectionViewObject::shownImage() const
{
    return showsButtons() && !m_hoverImage.isNull() ? m_hoverImage : m_previewImage;
}

void QVR_TemplateCollectionViewObject::setPreviewImage(const QImage& image)
{
    m_previewImage = image;
    m_imageView->setImage(image);
}
