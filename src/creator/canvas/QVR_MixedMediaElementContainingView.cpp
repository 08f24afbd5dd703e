#include "creator/canvas/QVR_MixedMediaElementContainingView.h"

#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMenu>
#include <QGraphicsView>
#include <QPainter>
#include <QTimer>

#include "app/QVRAnalytics.h"
#include "app/QVRAppDelegate.h"
#include "app/QVRURLSchemeHandler.h"
#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "app/QVRWindowManager.h"
#include "app/QVRWindowManagerManagedWindow.h"
#include "elements/images/UNIImage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "elements/text/QVR_AttributedTextView.h"
#include "elements/views/QVR_AttributedTextMixedMediaElementView.h"
#include "elements/views/QVR_MixedMediaElementGenerator.h"
#include "elements/views/QVR_VirtualMixedMediaElementView.h"
#include "foundation/Tessutils.h"
#include "platform/NotificationCenter.h"
#include "platform/widgets/LinkOpener.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MMObject_Video.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

const QString QVR_MixedMediaElementContainingView::kScreenLinkPressedNotification = QStringLiteral("SCREENLINKPRESSED");
const QString QVR_MixedMediaElementContainingView::kScreenLinkIDKey = QStringLiteral("SCREEN_LINK_ID_KEY");
const QString QVR_MixedMediaElementContainingView::kScreenLinkTransitionTypeKey =
    QStringLiteral("SCREEN_LINK_TRANSITION_TYPE_KEY");
const QString QVR_MixedMediaElementContainingView::kFlowEmbedLinkPressedNotification =
    QStringLiteral("FLOWEMBEDLINKPRESSED");
const QString QVR_MixedMediaElementContainingView::kFlowEmbedLinkActionKey =
    QStringLiteral("FLOWEMBEDLINK_WEBACTIONMMOBJ");
const QString QVR_MixedMediaElementContainingView::kGalleryLinkPressedNotification =
    QStringLiteral("GALLERY_LINK_PRESSED");
const QString QVR_MixedMediaElementContainingView::kGalleryLinkKey = QStringLiteral("GALLERY_LINK_KEY");
const QString QVR_MixedMediaElementContainingView::kYoutubeVideoPressedNotification =
    QStringLiteral("VIDEO_LINK_PRESSED_YOUTUBE");
const QString QVR_MixedMediaElementContainingView::kYoutubeVideoKey = QStringLiteral("VIDEO_LINK_KEY_YOUTUBE");
const QString QVR_MixedMediaElementContainingView::kLocalVideoPressedNotification =
    QStringLiteral("VIDEO_LINK_PRESSED_LOCAL");
const QString QVR_MixedMediaElementContainingView::kLocalVideoKey = QStringLiteral("VIDEO_LINK_KEY_LOCAL");
const QString QVR_MixedMediaElementContainingView::kPDFPressedNotification = QStringLiteral("PDF_LINK_PRESSED");
const QString QVR_MixedMediaElementContainingView::kPDFKey = QStringLiteral("PDF_LINK_KEY");
const QString QVR_MixedMediaElementContainingView::kAudioPressedNotification = QStringLiteral("AUDIO_LINK_PRESSED");
const QString QVR_MixedMediaElementContainingView::kAudioKey = QStringLiteral("AUDIO_LINK_KEY");

namespace {

// Above the element view; the selection indicator and hover outline of the editor go above these.
constexpr double kWatermarkZ = 1.0;
constexpr double kBadgeZ = 2.0;
constexpr double kSelectionIndicatorZ = 3.0;
constexpr double kSelectionIndicatorOpacity = 0.3;

QString orFallback(const QString& text, const QString& fallback)
{
    return text.isEmpty() ? fallback : text;
}

// Addresses the desktop may open for a document: web pages and e-mail. A document comes from anywhere, so
// local files, scripts and other programs' schemes are never handed on.
bool isOpenableWebAddress(const QUrl& url)
{
    if (!url.isValid() || url.isRelative())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

} // namespace

// A picture drawn at its own size in points (watermarks and badges).
class QVR_MixedMediaElementContainingView::ImageItem : public QGraphicsItem {
public:
    ImageItem(const UNIImage& image, QGraphicsItem* parent)
        : QGraphicsItem(parent)
        , m_image(image.CGImage())
        , m_size(image.size())
    {
        setAcceptedMouseButtons(Qt::NoButton);
    }
    QRectF boundingRect() const override { return QRectF(QPointF(0, 0), m_size); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(boundingRect(), m_image);
    }

private:
    QImage m_image;
    QSizeF m_size;
};

QVR_MixedMediaElementContainingView::QVR_MixedMediaElementContainingView(
    std::shared_ptr<ZERI_MixedMediaObjectProxy> object, QGraphicsItem* parent)
    : QGraphicsObject(parent)
{
    setFlag(ItemUsesExtendedStyleOption, false);
    // Only preview-only containers take clicks themselves (see setIsPreviewOnly).
    setAcceptedMouseButtons(Qt::NoButton);
    if (!object)
        object = ZERI_MixedMediaObject::objectFromDict(QJsonObject());
    if (object && object->object())
        m_size = (*object)->frame().size();

    m_selectionIndicator = new QGraphicsRectItem(QRectF(QPointF(0, 0), m_size), this);
    m_selectionIndicator->setPen(Qt::NoPen);
    m_selectionIndicator->setBrush(Qt::white);
    m_selectionIndicator->setOpacity(kSelectionIndicatorOpacity);
    m_selectionIndicator->setZValue(kSelectionIndicatorZ);
    m_selectionIndicator->setAcceptedMouseButtons(Qt::NoButton);
    m_selectionIndicator->setVisible(false);

    // Restartable single-shot timers; they die with the container, so nothing fires after it has gone.
    m_revealPopoverTimer = new QTimer(this);
    m_revealPopoverTimer->setSingleShot(true);
    m_revealPopoverTimer->setInterval(kRevealPopoverDelayMs);
    connect(m_revealPopoverTimer, &QTimer::timeout, this, &QVR_MixedMediaElementContainingView::revealPopover);
    m_showAfterMoveTimer = new QTimer(this);
    m_showAfterMoveTimer->setSingleShot(true);
    m_showAfterMoveTimer->setInterval(kShowPopoverAfterMoveDelayMs);
    connect(m_showAfterMoveTimer, &QTimer::timeout, this, &QVR_MixedMediaElementContainingView::showPopoverAfterMove);

    setMixedMediaObject(std::move(object));
}

QVR_MixedMediaElementContainingView::~QVR_MixedMediaElementContainingView()
{
    m_observer.reset();
    m_revealPopoverTimer->stop();
    m_showAfterMoveTimer->stop();
    dismissPopover(false);
}

void QVR_MixedMediaElementContainingView::setMixedMediaObject(std::shared_ptr<ZERI_MixedMediaObjectProxy> object)
{
    if (object == m_object || !object)
        return;
    m_observer.reset();
    m_object = std::move(object);
    observeObject();
    setMixedMediaElementView(QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(m_object));
    rebuildWatermark();
    dismissPopover(false);
    m_popover = QVRMMObjToolbarPopoverController::controllerForMixedMediaObject(m_object, false);
}

void QVR_MixedMediaElementContainingView::observeObject()
{
    QPointer<QVR_MixedMediaElementContainingView> self(this);
    m_observer = m_object->updateNotifier().addObservationBlock(
        [self](const void*, const QSet<QString>& keys) {
            if (!self)
                return;
            if (keys.contains(QStringLiteral("type")))
                self->typeChanged();
            if (keys.contains(QStringLiteral("frame")) || keys.contains(QStringLiteral("zoomOffset")) ||
                keys.contains(QStringLiteral("zoomScale")) || keys.contains(QStringLiteral("type"))) {
                if (QVR_CreatorSingleScreen* screen = self->parentScreen())
                    screen->appropriatelyResizeMmobjView(self);
                else if (self->m_object->object())
                    self->setFrame((*self->m_object)->frame());
            }
            if (keys.contains(QStringLiteral("action")))
                self->rebuildBadge();
        },
        QStringList{QStringLiteral("frame"), QStringLiteral("zoomOffset"), QStringLiteral("zoomScale"),
                    QStringLiteral("type"), QStringLiteral("action")});
}

void QVR_MixedMediaElementContainingView::typeChanged()
{
    setMixedMediaElementView(QVR_MixedMediaElementGenerator::mixedMediaElementFromMixedMediaObject(m_object));
    rebuildWatermark();
}

void QVR_MixedMediaElementContainingView::setMixedMediaElementView(QVR_VirtualMixedMediaElementView* view)
{
    if (view == m_elementView)
        return;
    delete m_elementView;
    m_elementView = view;
    if (m_elementView) {
        m_elementView->setParentItem(this);
        m_elementView->setZValue(0);
        m_elementView->setFrame(QRectF(QPointF(0, 0), m_size));
        m_elementView->setPreviewMode(m_previewOnly);
    }
    if (auto* text = textElementView()) {
        QPointer<QVR_MixedMediaElementContainingView> self(this);
        text->onTextDidChange = [self] {
            if (self)
                self->handleTextDidChange();
        };
    }
    rebuildBadge();
}

void QVR_MixedMediaElementContainingView::setFrame(const QRectF& frame)
{
    if (frame.topLeft() != pos())
        setPos(frame.topLeft());
    if (frame.size() != m_size) {
        prepareGeometryChange();
        m_size = frame.size();
        if (m_elementView)
            m_elementView->setFrame(QRectF(QPointF(0, 0), m_size));
        m_selectionIndicator->setRect(QRectF(QPointF(0, 0), m_size));
        // Whether the element is button-sized may have changed with its size.
        rebuildBadge();
        layoutDecorations();
    }
}

void QVR_MixedMediaElementContainingView::setIsPreviewOnly(bool previewOnly)
{
    if (m_elementView && m_elementView->isPreviewMode() != previewOnly)
        m_elementView->setPreviewMode(previewOnly);
    if (previewOnly == m_previewOnly)
        return;
    m_previewOnly = previewOnly;
    setAcceptedMouseButtons(previewOnly ? Qt::LeftButton : Qt::NoButton);
    updateDecorationVisibility();
}

QVR_CreatorSingleScreen* QVR_MixedMediaElementContainingView::parentScreen() const
{
    return qobject_cast<QVR_CreatorSingleScreen*>(parentObject());
}

QString QVR_MixedMediaElementContainingView::watermarkForMixedMediaObjectType(int type)
{
    switch (type) {
    case ZERI_MixedMediaObject::Video:
    case 8: // a streaming web video, as the insert menus name it
        return QStringLiteral("selectedItem_video_watermark");
    case ZERI_MixedMediaObject::Gallery:
        return QStringLiteral("selectedItem_gallery_watermark");
    case ZERI_MixedMediaObject::PDF:
        return QStringLiteral("selectedItem_pdf_watermark");
    default:
        return QString();
    }
}

QGraphicsItem* QVR_MixedMediaElementContainingView::watermarkView() const
{
    return m_watermark;
}

QGraphicsItem* QVR_MixedMediaElementContainingView::playImageView() const
{
    return m_badge;
}

bool QVR_MixedMediaElementContainingView::isFrameButtonSized() const
{
    const double objectWidth = m_object && m_object->object() ? (*m_object)->frame().width() : 0.0;
    // A frame without width has no scale to show it at: it counts as button-sized.
    if (!(objectWidth > 0.0) || !(m_size.width() > 0.0))
        return true;
    const double scale = m_size.width() / objectWidth;
    return m_size.width() * scale <= kButtonSizedLimit || m_size.height() * scale <= kButtonSizedLimit;
}

void QVR_MixedMediaElementContainingView::rebuildWatermark()
{
    delete m_watermark;
    m_watermark = nullptr;
    m_watermarkName = watermarkForMixedMediaObjectType(m_object && m_object->object() ? m_object->type() : 0);
    if (!m_watermarkName.isEmpty()) {
        const UNIImage image = UNIImage::imageNamed(m_watermarkName);
        if (!image.isNull()) {
            m_watermark = new ImageItem(image, this);
            m_watermark->setZValue(kWatermarkZ);
        }
    }
    layoutDecorations();
    updateDecorationVisibility();
}

void QVR_MixedMediaElementContainingView::rebuildBadge()
{
    QString name;
    const auto& object = m_object ? m_object->object() : nullptr;
    if (object) {
        const auto action = object->action();
        const bool galleryLink = action && action->type() == ZERI_MMAction::GalleryLink;
        const int type = object->type();
        const bool media = type == ZERI_MixedMediaObject::Video || type == ZERI_MixedMediaObject::PDF ||
                           type == ZERI_MixedMediaObject::Audio;
        if ((media || galleryLink) && !isFrameButtonSized()) {
            if (galleryLink)
                name = QStringLiteral("qvr_launchgallery_btn");
            else if (type == ZERI_MixedMediaObject::Video)
                name = QStringLiteral("qvr_playvideo_btn");
            else if (type == ZERI_MixedMediaObject::PDF)
                name = QStringLiteral("qvr_selectedItem_pdf");
            // Audio carries an empty badge: its own view shows the controls.
        }
    }
    if (name == m_badgeName && (m_badge != nullptr) == !name.isEmpty())
        return;
    delete m_badge;
    m_badge = nullptr;
    m_badgeName = name;
    if (!name.isEmpty()) {
        const UNIImage image = UNIImage::imageNamed(name);
        if (image.isNull()) {
            qCWarning(lcCreator) << "no badge image" << name;
        } else {
            m_badge = new ImageItem(image, this);
            m_badge->setZValue(kBadgeZ);
        }
    }
    layoutDecorations();
    updateDecorationVisibility();
}

void QVR_MixedMediaElementContainingView::layoutDecorations()
{
    if (m_watermark) {
        const QSizeF size = m_watermark->boundingRect().size();
        m_watermark->setPos(m_size.width() - size.width() - kWatermarkMargin,
                            m_size.height() - size.height() - kWatermarkMargin);
    }
    if (m_badge) {
        const QSizeF size = m_badge->boundingRect().size();
        m_badge->setPos((m_size.width() - size.width()) / 2.0, (m_size.height() - size.height()) / 2.0);
    }
}

void QVR_MixedMediaElementContainingView::updateDecorationVisibility()
{
    if (m_watermark)
        m_watermark->setVisible(!m_previewOnly);
    if (m_badge)
        m_badge->setVisible(m_previewOnly);
}

void QVR_MixedMediaElementContainingView::setNeedsDisplay()
{
    if (m_elementView)
        m_elementView->update();
}

bool QVR_MixedMediaElementContainingView::rotatable() const
{
    if (!m_object || !m_object->object())
        return true;
    const int type = m_object->type();
    return type != ZERI_MixedMediaObject::Text && type != ZERI_MixedMediaObject::Audio;
}

bool QVR_MixedMediaElementContainingView::resizePositionIsAvailable(int position) const
{
    if (m_object && m_object->object() && m_object->type() == ZERI_MixedMediaObject::Text)
        return position == 4 || position == 5;
    return true;
}

bool QVR_MixedMediaElementContainingView::disallowsMouseEvent(const QPointF& scenePoint) const
{
    // Only a text being edited keeps presses inside its text for itself; the text view marks itself with the
    // item flag of an editor that has the focus.
    if (!m_elementView || !m_object || !m_object->object() || m_object->type() != ZERI_MixedMediaObject::Text)
        return false;
    const QGraphicsItem* focused = scene() ? scene()->focusItem() : nullptr;
    if (!focused || (focused != m_elementView && !m_elementView->isAncestorOf(focused)))
        return false;
    return focused->contains(focused->mapFromScene(scenePoint));
}

void QVR_MixedMediaElementContainingView::willBeginTranslating()
{
    if (m_elementView)
        m_elementView->willBeginFrameChanges();
    if (m_selected) {
        dismissPopover(false);
        m_showAfterMoveTimer->stop();
    }
}

void QVR_MixedMediaElementContainingView::didEndTranslating()
{
    if (m_elementView)
        m_elementView->didEndFrameChanges();
    if (!m_multipleSelected)
        m_showAfterMoveTimer->start();
}

QVR_AttributedTextMixedMediaElementView* QVR_MixedMediaElementContainingView::textElementView() const
{
    if (!m_object || !m_object->object() || m_object->type() != ZERI_MixedMediaObject::Text)
        return nullptr;
    return qobject_cast<QVR_AttributedTextMixedMediaElementView*>(m_elementView);
}

bool QVR_MixedMediaElementContainingView::isSelectionIndicatorShown() const
{
    return m_selectionIndicator->isVisible();
}

void QVR_MixedMediaElementContainingView::onSelectedByInteractionModel()
{
    m_selected = true;
    m_selectionIndicator->setVisible(true);
}

void QVR_MixedMediaElementContainingView::interactionModelDidUpdateNumberOfSelectedItems(int count)
{
    const bool isText = m_object && m_object->object() && m_object->type() == ZERI_MixedMediaObject::Text;
    if (count == 1) {
        m_multipleSelected = false;
        if (isText && !textElementView())
            return;
        m_selectionIndicator->setVisible(false);
        showMyPopover();
    } else if (count >= 2) {
        m_multipleSelected = true;
        m_selectionIndicator->setVisible(true);
        m_showAfterMoveTimer->stop();
        m_revealPopoverTimer->stop();
        dismissPopover(false);
        if (auto* text = textElementView())
            text->setEditable(false);
    } else {
        m_multipleSelected = false;
    }
}

void QVR_MixedMediaElementContainingView::onDeselectedByInteractionModel()
{
    m_showAfterMoveTimer->stop();
    m_revealPopoverTimer->stop();
    dismissPopover(true);
    m_selectionIndicator->setVisible(false);
    const bool isText = m_object && m_object->object() && m_object->type() == ZERI_MixedMediaObject::Text;
    if (isText) {
        auto* text = textElementView();
        if (!text)
            return;
        text->setEditable(false);
        m_selected = false;
        m_multipleSelected = false;
        // May delete this container (the screen drops containers of removed objects).
        removeIfEmptyText();
        return;
    }
    m_selected = false;
    m_multipleSelected = false;
}

void QVR_MixedMediaElementContainingView::removeIfEmptyText()
{
    auto* text = textElementView();
    auto object = text ? text->textObject() : nullptr;
    if (!object || !object->attributedString().string().isEmpty())
        return;
    auto screen = object->nearestParentItemOfClass<ZERI_FlowScreenModel>();
    if (!screen)
        return;
    // Inside whatever change is open (the click that deselected it); no step of its own.
    const auto proxy = m_object;
    screen->removeMixedMediaObject(proxy);
}

void QVR_MixedMediaElementContainingView::onReceivedSecondClick(const QPointF& scenePoint)
{
    auto* text = textElementView();
    if (!text || m_previewOnly)
        return;
    text->setEditable(true);
    // Scene coordinates are y down like the text view's, so the point needs no flip.
    if (QVR_AttributedTextView* textView = text->textView())
        text->attemptToPlaceInsertionCursorAtPosition(textView->mapFromScene(scenePoint));
}

QMenu* QVR_MixedMediaElementContainingView::rightClickEditingMenu()
{
    if (m_menu)
        return m_menu.get();
    m_menu = std::make_unique<QMenu>(QStringLiteral("Element Menu"));
    QMenu* menu = m_menu.get();
    QPointer<QVR_MixedMediaElementContainingView> self(this);
    QVR_CreatorSingleScreen::addInsertMenuItemsToMenu(menu, [self](int kind) {
        if (self)
            self->insertMenuItemChosen(kind);
    });
    menu->addSeparator();
    const auto add = [menu, self](const QString& title, void (QVR_MixedMediaElementContainingView::*action)()) {
        QAction* item = menu->addAction(title);
        QObject::connect(item, &QAction::triggered, menu, [self, action] {
            if (self)
                (self.data()->*action)();
        });
        return item;
    };
    add(UFM::SAYS_CUT(), &QVR_MixedMediaElementContainingView::itemCut);
    add(UFM::SAYS_COPY(), &QVR_MixedMediaElementContainingView::itemCopy);
    m_pasteAction = add(UFM::SAYS_PASTE(), &QVR_MixedMediaElementContainingView::itemPaste);
    m_editGalleryAction = add(UFM::SAYS_EDIT_GALLERY(), &QVR_MixedMediaElementContainingView::editGallery);
    return menu;
}

void QVR_MixedMediaElementContainingView::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    if (m_previewOnly || !parentScreen() || parentScreen()->isPreviewOnly()) {
        event->ignore();
        return;
    }
    m_rightMouseDownLocation = event->scenePos();
    QMenu* menu = rightClickEditingMenu();
    QWidget* host = scene() && !scene()->views().isEmpty() ? scene()->views().front()->window() : nullptr;
    const bool inCreatorWindow =
        host && QVRWindowManager::sharedInstance().kindOfWindow(host) == QVRWindowManager::WindowKind::Creator;
    m_pasteAction->setEnabled(inCreatorWindow &&
                              QVRWindowManagerManagedWindow::callValidator(host, "canPaste").value_or(false));
    m_editGalleryAction->setEnabled(m_object && m_object->object() &&
                                    m_object->type() == ZERI_MixedMediaObject::Gallery);
    menu->popup(event->screenPos());
    event->accept();
}

void QVR_MixedMediaElementContainingView::itemCopy()
{
    QVR_CreatorSingleScreen* parent = parentScreen();
    QVR_InteractableViewHandler* handler = parent ? parent->interactionHandler() : nullptr;
    if (!handler || !m_object || !m_object->object())
        return;
    // A selected element copies the whole selection, as the Edit menu does; another copies itself alone, its
    // files linked into the clipboard's copies as the selection's are.
    if (handler->isSelected(this))
        handler->copySelection();
    else
        handler->copySelection({m_object});
}

void QVR_MixedMediaElementContainingView::itemCut()
{
    QVR_CreatorSingleScreen* parent = parentScreen();
    QVR_InteractableViewHandler* handler = parent ? parent->interactionHandler() : nullptr;
    if (!handler || !m_object || !m_object->object())
        return;
    if (handler->isSelected(this))
        handler->cutSelection(0);
    else
        handler->cutObjects({m_object}); // may delete this container
}

void QVR_MixedMediaElementContainingView::itemPaste()
{
    if (QVR_CreatorSingleScreen* screen = parentScreen())
        screen->screenPaste();
}

void QVR_MixedMediaElementContainingView::editGallery()
{
    // Galleries are edited through the canvas view's gallery editor.
    const QList<QGraphicsView*> views = scene() ? scene()->views() : QList<QGraphicsView*>();
    for (QWidget* widget = views.isEmpty() ? nullptr : views.front(); widget; widget = widget->parentWidget()) {
        if (auto* canvas = qobject_cast<QVR_CreatorCanvasView*>(widget)) {
            canvas->editGalleryObject(m_object);
            return;
        }
    }
    qCWarning(lcCreator) << "no canvas view to edit the gallery in";
}

void QVR_MixedMediaElementContainingView::showMyPopover()
{
    if (m_popover && !m_previewOnly)
        m_popover->showPopoverOverView(this);
}

void QVR_MixedMediaElementContainingView::showPopoverAfterMove()
{
    if (m_selected && !m_multipleSelected)
        showMyPopover();
}

void QVR_MixedMediaElementContainingView::revealPopover()
{
    if (m_popover)
        m_popover->setPopoverHidden(false);
}

void QVR_MixedMediaElementContainingView::handleTextDidChange()
{
    if (m_popover)
        m_popover->setPopoverHidden(true);
    m_revealPopoverTimer->start(); // restarts a pending reveal
}

void QVR_MixedMediaElementContainingView::dismissPopover(bool animated)
{
    if (m_popover)
        m_popover->dismissPopover(animated);
}

void QVR_MixedMediaElementContainingView::paint(QPainter*, const QStyleOptionGraphicsItem*, QWidget*) {}

void QVR_MixedMediaElementContainingView::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    m_pressedInside = m_previewOnly && event->button() == Qt::LeftButton;
    if (m_pressedInside)
        event->accept();
    else
        event->ignore();
}

void QVR_MixedMediaElementContainingView::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    const bool pressed = m_pressedInside;
    m_pressedInside = false;
    if (!pressed || !m_previewOnly || event->button() != Qt::LeftButton)
        return;
    if (!boundingRect().contains(event->pos()))
        return;
    handlePreviewClick();
}

const void* QVR_MixedMediaElementContainingView::notificationSender() const
{
    const QList<QGraphicsView*> views = scene() ? scene()->views() : QList<QGraphicsView*>();
    return views.isEmpty() ? nullptr : static_cast<const void*>(views.front()->window());
}

void QVR_MixedMediaElementContainingView::handlePreviewClick()
{
    if (!m_object || !m_object->object())
        return;
    // Keeps the object alive through notifications whose observers may edit the screen.
    const auto proxy = m_object;
    const auto object = proxy->object();
    const auto screen = object->nearestParentItemOfClass<ZERI_FlowScreenModel>();
    const QString screenID = screen ? screen->internalID() : QString();
    const auto document = object->tessarineModel();
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const void* sender = notificationSender();
    const QVariant objectRef = QVariant::fromValue(MixedMediaObjectRef(proxy));

    if (const auto action = object->action()) {
        switch (action->type()) {
        case ZERI_MMAction::ScreenLink: {
            const auto link = std::static_pointer_cast<ZERI_MMAction_ScreenLink>(action);
            QVRAnalytics::logEvent(QStringLiteral("Screen Link Tapped"),
                                   {{QStringLiteral("ScreenID"), screenID},
                                    {QStringLiteral("action_value"),
                                     orFallback(link->screenID(), QStringLiteral("Could not find screen ID"))}},
                                   document);
            center.post(kScreenLinkPressedNotification, sender,
                        {{kScreenLinkIDKey, link->screenID()}, {kScreenLinkTransitionTypeKey, link->transitionType()}});
            return;
        }
        case ZERI_MMAction::WebLink: {
            const auto link = std::static_pointer_cast<ZERI_MMAction_WebLink>(action);
            const QString text = link->weblinkText();
            const QVariantMap parameters{{QStringLiteral("URL"), link->weblink().toString(QUrl::FullyEncoded)},
                                         {QStringLiteral("ScreenID"), screenID}};
            if (Tessutils::isFlowLink(text)) {
                center.post(kFlowEmbedLinkPressedNotification, sender,
                            {{kFlowEmbedLinkActionKey, QVariant::fromValue(ModelItemRef(action))}});
                QVRAnalytics::logEvent(QStringLiteral("Nestception Link Pressed"), parameters, document);
                return;
            }
            openWebLink(text);
            QVRAnalytics::logEvent(QStringLiteral("Web Link Tapped"), parameters, document);
            return;
        }
        case ZERI_MMAction::GalleryLink:
            QVRAnalytics::logEvent(QStringLiteral("View Gallery"),
                                   {{QStringLiteral("Preview Image ID"),
                                     orFallback(object->internalID(), QStringLiteral("Preview Not Found"))}},
                                   document);
            center.post(kGalleryLinkPressedNotification, sender, {{kGalleryLinkKey, objectRef}});
            return;
        default:
            return;
        }
    }

    switch (object->type()) {
    case ZERI_MixedMediaObject::Video: {
        const auto video = proxy->as<ZERI_MMObject_Video>();
        const auto asset = object->videoAsset();
        const QString external = asset ? asset->externalURL().toString(QUrl::FullyEncoded) : QString();
        QString kind = QStringLiteral("local");
        if (video && video->isYoutubeVideo()) {
            kind = external.toLower().contains(QLatin1String("vimeo")) ? QStringLiteral("vimeo")
                                                                       : QStringLiteral("youtube");
            center.post(kYoutubeVideoPressedNotification, sender, {{kYoutubeVideoKey, external}});
        } else {
            center.post(kLocalVideoPressedNotification, sender, {{kLocalVideoKey, objectRef}});
        }
        QVRAnalytics::logEvent(QStringLiteral("View Video"),
                               {{QStringLiteral("type"), kind},
                                {QStringLiteral("Asset ID"), asset ? asset->corvikContentID() : QString()},
                                {QStringLiteral("Screen ID"), screenID}},
                               document);
        return;
    }
    case ZERI_MixedMediaObject::PDF: {
        const auto asset = object->pdfAsset();
        QVRAnalytics::logEvent(QStringLiteral("View PDF"),
                               {{QStringLiteral("Asset ID"), asset ? asset->corvikContentID() : QString()},
                                {QStringLiteral("Screen ID"), screenID}},
                               document);
        center.post(kPDFPressedNotification, sender, {{kPDFKey, objectRef}});
        return;
    }
    case ZERI_MixedMediaObject::Audio: {
        const auto asset = object->audioAsset();
        QVRAnalytics::logEvent(QStringLiteral("Play Audio"),
                               {{QStringLiteral("Asset ID"),
                                 orFallback(asset ? asset->internalID() : QString(), QStringLiteral("Not Found"))}},
                               document);
        center.post(kAudioPressedNotification, sender, {{kAudioKey, objectRef}});
        return;
    }
    default:
        return;
    }
}

void QVR_MixedMediaElementContainingView::openWebLink(const QString& text)
{
    // The application's own links start with one of its schemes; one merely mentioned inside another address
    // (a redirect parameter, say) is no link of ours.
    if (QVRURLSchemeHandler::hasOwnScheme(text)) {
        QVRAppDelegate::handleURLEvent(text);
        return;
    }
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!isOpenableWebAddress(url)) {
        qCWarning(lcCreator).noquote() << "not opening a link that is no web or e-mail address:" << text.left(200);
        return;
    }
    if (!LinkOpener::shared().openUrl(url))
        qCWarning(lcCreator).noquote() << "the desktop could not open" << url.toString();
}
