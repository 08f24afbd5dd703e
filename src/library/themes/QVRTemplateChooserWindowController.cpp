#include "library/themes/QVRTemplateChooserWindowController.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "controls/FloatingWindowCloser.h"
#include "controls/INAppStoreWindow.h"
#include "foundation/FontSubstitution.h"
#include "library/themes/QVR_TemplateChooserCollectionView.h"
#include "library/themes/QVR_TemplateChooserViewController.h"
#include "library/themes/QVR_TemplatePreviewViewController.h"
#include "strings/UFM.h"

namespace {

QPointer<QVRTemplateChooserWindowController>& shared()
{
    static QPointer<QVRTemplateChooserWindowController> s_instance;
    return s_instance;
}

} // namespace

QVRTemplateChooserWindowController* QVRTemplateChooserWindowController::sharedInstance()
{
    if (!shared())
        shared() = new QVRTemplateChooserWindowController;
    return shared();
}

QVRTemplateChooserWindowController* QVRTemplateChooserWindowController::existingInstance()
{
    return shared();
}

QVRTemplateChooserWindowController::QVRTemplateChooserWindowController()
{
    m_window = new INAppStoreWindow;
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    // The controller goes with its window.
    setParent(m_window);
    m_chooser = new QVR_TemplateChooserViewController(this);
    windowDidLoad();
    connect(m_chooser, &QVR_TemplateChooserViewController::documentOpened, m_window, &QWidget::close);
}

QVRTemplateChooserWindowController::~QVRTemplateChooserWindowController()
{
    delete m_chooser.data();
}

void QVRTemplateChooserWindowController::windowDidLoad()
{
    m_window->setObjectName(QStringLiteral("templateChooserWindow"));
    m_window->setWindowTitle(UFM::TEMPLATE_CHOOSER_TEXT());
    m_window->setTitleBarHeight(38);
    QWidget* content = m_window->contentView();
    content->setAttribute(Qt::WA_StyledBackground);
    // The dark background is the content view's alone: alerts, buttons and fields inside keep their own look.
    content->setStyleSheet(QStringLiteral("#%1 { background: rgba(31, 33, 33, 255); }").arg(content->objectName()));
    m_window->setTitleBarDrawingBlock(
        [](QPainter* painter, bool, const QRectF& rect, Qt::Edge, const QPainterPath& clippingPath) {
            painter->save();
            painter->setClipPath(clippingPath);
            // Top-down coordinates: the gradient runs from the band's bottom (black) to its top, and the black line
            // lies along the bottom edge, next to the content.
            const QRectF band(rect.left(), rect.top(), rect.width(), rect.height() - 1);
            QLinearGradient gradient(band.bottomLeft(), band.topLeft());
            gradient.setColorAt(0, Qt::black);
            gradient.setColorAt(1, QColor::fromRgbF(0.15f, 0.16f, 0.17f, 1.0f));
            painter->fillRect(band, gradient);
            painter->setRenderHint(QPainter::Antialiasing, false);
            painter->setPen(QPen(Qt::black, 2));
            painter->drawLine(QPointF(rect.left(), rect.bottom()), QPointF(rect.right(), rect.bottom()));
            painter->setRenderHint(QPainter::Antialiasing, true);
            painter->setRenderHint(QPainter::TextAntialiasing, true);
            painter->setFont(FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue-Light"), 13));
            painter->setPen(Qt::white);
            painter->drawText(band, Qt::AlignCenter, UFM::TEMPLATE_CHOOSER_TEXT());
            painter->restore();
        });
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_chooser->view());
    // The band sits outside the content's layout: the window itself keeps room for the two columns of a page and
    // the paging buttons beside them.
    const QSize least = content->minimumSizeHint();
    m_window->setMinimumSize(least.width(), least.height() + int(std::ceil(m_window->titleBarHeight())));
    m_window->resize(900, 520);
    // Leaving without a template: Escape, Ctrl+W and a close button in the title band, also without a window
    // manager. Escape first leaves a template's preview, as its own close button does, or stops a template's loading.
    FloatingWindowCloser* closer = FloatingWindowCloser::install(m_window, UFM::SAYS_CLOSE());
    closer->useLightButton();
    closer->leaveEscapeToWindow();
    m_window->installEventFilter(this);
}

bool QVRTemplateChooserWindowController::eventFilter(QObject* watched, QEvent* event)
{
    // Escape that no control of the window took: a preview's player takes it itself. The event's type is looked at
    // first: a window being destroyed still sends events, and is no longer the window the pointer names.
    if (event->type() == QEvent::KeyPress && watched == m_window.data() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        if (QVR_TemplatePreviewViewController* preview = m_chooser ? m_chooser->previewVC() : nullptr)
            preview->closeButtonPressed();
        else if (m_chooser && m_chooser->isLoadingViewShown())
            m_chooser->loadingViewCancelButtonPressed(); // as the loading view's own Cancel, which has the keyboard
        else
            m_window->close();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void QVRTemplateChooserWindowController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (m_chooser && m_chooser->collectionView())
        m_chooser->collectionView()->focusFirstTileUnlessTaken();
}
