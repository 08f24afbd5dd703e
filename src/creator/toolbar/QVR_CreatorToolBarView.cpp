#include "creator/toolbar/QVR_CreatorToolBarView.h"

#include <cmath>

#include <QApplication>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/ComboBoxView.h"
#include "controls/MouseEventShieldWindow.h"
#include "controls/PanelFocusReturn.h"
#include "controls/UniversalPopover.h"
#include "creator/CreatorLogging.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/toolbar/CreatorToolbarPanels.h"
#include "creator/toolbar/QVR_ToolbarButton.h"
#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"
#include "creator/window/CreatorContentAddition.h"
#include "creator/window/CreatorPublishing.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "creator/window/WindowSizeLock.h"
#include "foundation/Tessutils.h"
#include "platform/UserDefaults.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString QVR_CreatorToolBarView::kAutoLaunchedGuideCountKey =
    QStringLiteral("kNumberOfTimesAutoLauncedGuideUserDefaultsKey");

namespace {
constexpr int kCheckMarkDelayMs = 600;
constexpr int kGuideAutoLaunchDelayMs = 1000;
constexpr int kLinkFieldWidth = 260;
constexpr int kLinkFieldMinimumWidth = 120;
constexpr int kGuideRightInset = 20;
constexpr int kGuideBelowToolbar = 40;

// The window's busy spinner: a turning arc, animated only while shown.
class ToolbarSpinner : public QWidget {
public:
    explicit ToolbarSpinner(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(16, 16);
        m_timer.setInterval(80);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor::fromRgbF(0.85f, 0.85f, 0.85f), 2));
        painter.drawArc(QRectF(rect()).adjusted(2, 2, -2, -2), -m_angle * 16, 270 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

// The document's title: as wide as the whole title while there is room, shortened with an ellipsis (the whole
// title then in its tool tip) when the toolbar is narrower.
class TitleButton : public QPushButton {
public:
    static constexpr int kPadding = 12;
    static constexpr int kMinimumWidth = 48;

    explicit TitleButton(QWidget* parent)
        : QPushButton(parent)
    {
        setMinimumWidth(kMinimumWidth);
        // Bold through the widget's own font, not a style sheet: the widths below are then measured in the face
        // the title is drawn in.
        QFont bold = font();
        bold.setBold(true);
        setFont(bold);
    }
    void setFullTitle(const QString& title)
    {
        m_full = title;
        updateGeometry();
        fit();
    }
    QSize sizeHint() const override
    {
        QSize size = QPushButton::sizeHint();
        size.setWidth(std::max(kMinimumWidth, textWidth(m_full) + kPadding));
        return size;
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QPushButton::resizeEvent(event);
        fit();
    }
    void paintEvent(QPaintEvent* event) override
    {
        QPushButton::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(this);
            QVR_ToolbarButton::paintFocusRing(painter, rect());
        }
    }
    void changeEvent(QEvent* event) override
    {
        QPushButton::changeEvent(event);
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            fit();
    }

private:
    // The width the title takes as drawn, rounded up: fractional advances add up over a long title.
    int textWidth(const QString& text) const { return int(std::ceil(QFontMetricsF(font()).horizontalAdvance(text))); }
    void fit()
    {
        // Not laid out yet: the whole title.
        const QString shown = !(testAttribute(Qt::WA_Resized) || isVisible()) || textWidth(m_full) <= width() - kPadding
                                  ? m_full
                                  : QFontMetricsF(font()).elidedText(m_full, Qt::ElideRight, width() - kPadding);
        // An "&" in a title is a character, not the mark of a shortcut letter.
        const QString literal = QString(shown).replace(QLatin1Char('&'), QLatin1String("&&"));
        if (text() != literal)
            setText(literal);
        setToolTip(shown == m_full ? QString() : m_full);
    }

    QString m_full;
};

// The share link's place: as wide as the link wants, narrower only when the toolbar runs short.
class LinkHolder : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {kLinkFieldWidth, 22}; }
};
} // namespace

QVR_CreatorToolBarView::QVR_CreatorToolBarView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_viewButton = makeButton(UFM::SAYS_VIEW(), QStringLiteral("toolbar-view"));
    m_saveDraftButton = makeButton(UFM::SAVE_DRAFT_TEXT(), QStringLiteral("toolbar-save-draft"));
    m_postButton = makeButton(UFM::POST_TEXT(), QStringLiteral("toolbar-post"));
    m_shareButton = makeButton(UFM::SHARE_TEXT(), QStringLiteral("toolbar-share"));
    m_detailsButton = makeButton(UFM::DETAILS_TEXT(), QStringLiteral("toolbar-details"));
    m_insertButton = makeButton(UFM::SAYS_INSERT(), QStringLiteral("toolbar-insert"));
    m_addScreenButton = makeButton(UFM::ADD_SCREEN_TEXT(), QStringLiteral("toolbar-add-screen"));
    m_guideButton = makeButton(UFM::GUIDE_TEXT(), QStringLiteral("toolbar-guide"));
    m_sidebarMenuButton = makeButton(QString(), QStringLiteral("toolbar-side-menu"));
    // The captions read alike: the post button's too, which would otherwise read as dimmed as an unavailable one.
    for (QVR_ToolbarButton* button : {m_viewButton, m_saveDraftButton, m_postButton, m_shareButton, m_detailsButton,
                                      m_insertButton, m_addScreenButton, m_guideButton})
        button->setTextColor(QColor::fromRgbF(0.79f, 0.79f, 0.79f, 1.0f));

    auto* title = new TitleButton(this);
    title->setFullTitle(UFM::UNTITLED_TEXT());
    m_titleLabel = title;
    m_titleLabel->setFlat(true);
    // Reached with Tab (Space or Return opens its editor), never taking the focus from the canvas on a click.
    m_titleLabel->setFocusPolicy(Qt::TabFocus);
    m_titleLabel->setAutoDefault(true);
    m_titleLabel->setStyleSheet(QStringLiteral("QPushButton { color: rgb(235,235,235); border: none; }"));

    // The link is shown, selectable and copyable, never edited; the overlay covers it while there is none.
    // It gives up width to the buttons beside it in a narrow window rather than slide under them.
    auto* linkHolder = new LinkHolder(this);
    linkHolder->setObjectName(QStringLiteral("linkHolder"));
    linkHolder->setFixedHeight(22);
    linkHolder->setMinimumWidth(kLinkFieldMinimumWidth);
    linkHolder->setMaximumWidth(kLinkFieldWidth);
    linkHolder->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* linkLayout = new QGridLayout(linkHolder);
    linkLayout->setContentsMargins(0, 0, 0, 0);
    m_urlField = new QLineEdit(linkHolder);
    m_urlField->setReadOnly(true);
    m_urlField->setAlignment(Qt::AlignCenter);
    m_urlField->setMinimumWidth(0);
    linkLayout->addWidget(m_urlField, 0, 0);
    m_urlOverlayButton = new QPushButton(QStringLiteral("[%1]").arg(UFM::POST_TO_GET_URL()), linkHolder);
    m_urlOverlayButton->setFlat(true);
    m_urlOverlayButton->setFocusPolicy(Qt::NoFocus);
    m_urlOverlayButton->setMinimumWidth(0);
    m_urlOverlayButton->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    linkLayout->addWidget(m_urlOverlayButton, 0, 0);
    m_urlOverlayButton->setStyleSheet(QStringLiteral("QPushButton { color: rgb(120,120,120); border: none; }"));

    m_spinner = new ToolbarSpinner(this);
    m_spinner->hide();

    m_comboBox = new ComboBoxView(this);
    m_comboBox->setFixedSize(84, 22);
    m_comboBox->dropDownButton()->setIcon(QIcon(QStringLiteral(":/creator/toolbar/zoom-dropdown-arrow.svg")));
    m_comboBox->textFieldBackgroundImageView()->setStyleSheet(
        QStringLiteral("border-image: url(:/creator/toolbar/zoom-dropdown-bg.svg);"));
    m_comboBox->label()->setText(QString());
    m_zoomMenu = QVR_ZoomMenuGeneratorObject::zoomMenuWithSupportedZoomLevels(
        this, [this](QAction* item) { zoomMenuItemChosen(item); });
    for (QAction* item : m_zoomMenu->actions())
        item->setCheckable(!item->isSeparator());
    m_comboBox->setPopupMenu(m_zoomMenu);

    auto* center = new QVBoxLayout;
    center->setContentsMargins(0, 6, 0, 6);
    center->setSpacing(2);
    center->addWidget(m_titleLabel, 0, Qt::AlignHCenter);
    center->addWidget(linkHolder, 0, Qt::AlignHCenter);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(84, 0, 12, 0);
    row->setSpacing(4);
    for (QWidget* button : {m_viewButton, m_saveDraftButton, m_postButton, m_shareButton, m_detailsButton})
        row->addWidget(button);
    row->addStretch(1);
    row->addLayout(center);
    row->addStretch(1);
    row->addWidget(m_spinner, 0, Qt::AlignVCenter);
    row->addWidget(m_comboBox, 0, Qt::AlignVCenter);
    for (QWidget* button : {m_insertButton, m_addScreenButton, m_guideButton, m_sidebarMenuButton})
        row->addWidget(button);

    // Tab goes through the buttons and the title as they stand, left to right; the link is selected with the mouse and
    // the zoom box is reached by its arrow.
    m_urlField->setFocusPolicy(Qt::ClickFocus);
    for (QWidget* part : m_comboBox->findChildren<QWidget*>())
        part->setFocusPolicy(Qt::NoFocus);
    m_comboBox->setFocusPolicy(Qt::NoFocus);
    m_comboBox->dropDownButton()->setFocusPolicy(Qt::TabFocus);
    const QList<QWidget*> order{m_viewButton,
                                m_saveDraftButton,
                                m_postButton,
                                m_shareButton,
                                m_detailsButton,
                                m_titleLabel,
                                m_comboBox->dropDownButton(),
                                m_insertButton,
                                m_addScreenButton,
                                m_guideButton,
                                m_sidebarMenuButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_viewButton, &QAbstractButton::clicked, this, [this] { viewButtonPressed(); });
    connect(m_saveDraftButton, &QAbstractButton::clicked, this, [this] { saveDraftButtonPressed(); });
    connect(m_postButton, &QAbstractButton::clicked, this, [this] { postButtonPressed(m_postClickModifiers); });
    connect(m_shareButton, &QAbstractButton::clicked, this, [this] { shareButtonPressed(); });
    connect(m_insertButton, &QAbstractButton::clicked, this, [this] { insertButtonPressed(); });
    connect(m_addScreenButton, &QAbstractButton::clicked, this, [this] { addScreenButtonPressed(); });
    connect(m_guideButton, &QAbstractButton::clicked, this, [this] { guideButtonPressed(); });
    connect(m_sidebarMenuButton, &QAbstractButton::clicked, this, [this] { sideMenuButtonPressed(); });
    connect(m_titleLabel, &QPushButton::clicked, this, [this] { titleLabelPressed(); });
    connect(m_urlOverlayButton, &QPushButton::clicked, this, [this] { urlFieldOverlayButtonPressed(); });
    m_postButton->installEventFilter(this);
    // Any press outside the link field ends its focus.
    qApp->installEventFilter(this);

    m_zoomObservation = NotificationObservation(
        QVR_SingleScreenArtBoardView::kZoomLevelChangedNotification, nullptr, [this](const Notification& n) {
            QWidget* top = window();
            if (n.sender != top || !qobject_cast<QVR_CreatorWindow*>(top))
                return;
            const QVariant value = n.userInfo.value(QVR_SingleScreenArtBoardView::kZoomLevelChangedKey);
            if (!value.isValid())
                return;
            respondToZoomChange(value.toFloat());
        });

    // The add buttons wait while content is being added to the document.
    m_busyObservation = NotificationObservation(CreatorContentAddition::kBusyChangedNotification, nullptr,
                                                [this](const Notification&) { updateButtonStates(); });

    updateDisplayedShareUrl(QString());
    updateButtonStates();
}

QVR_CreatorToolBarView::~QVR_CreatorToolBarView()
{
    qApp->removeEventFilter(this);
    closeShield();
}

QVR_CreatorToolBarView* QVR_CreatorToolBarView::toolbarForWindow(QWidget* window)
{
    if (!qobject_cast<QVR_CreatorWindow*>(window))
        return nullptr;
    return window->findChild<QVR_CreatorToolBarView*>();
}

QVR_ToolbarButton* QVR_CreatorToolBarView::makeButton(const QString& title, const QString& icon)
{
    auto* button = new QVR_ToolbarButton(this);
    button->setIconImage(QIcon(QStringLiteral(":/creator/toolbar/%1.svg").arg(icon)), QSize(20, 20));
    button->setTitle(title);
    button->setFixedSize(title.isEmpty() ? 36 : std::max(50, button->labelFrame().width() + 4), 60);
    return button;
}

std::shared_ptr<ZERI_TessarineModel> QVR_CreatorToolBarView::document() const
{
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    return creator ? creator->currentModel() : nullptr;
}

void QVR_CreatorToolBarView::setTessarineTitle(const QString& title)
{
    static_cast<TitleButton*>(m_titleLabel)->setFullTitle(title.isEmpty() ? UFM::UNTITLED_TEXT() : title);
}

void QVR_CreatorToolBarView::updateDisplayedShareUrl(const QString& url)
{
    QString shown = url;
    shown.remove(QStringLiteral("https://"));
    shown.remove(QStringLiteral("http://"));
    m_urlField->setText(shown);
    m_urlField->setCursorPosition(0);
    m_urlOverlayButton->setEnabled(shown.isEmpty());
    m_urlOverlayButton->setVisible(shown.isEmpty());
}

void QVR_CreatorToolBarView::startProgressIndicator()
{
    ++m_progressCount;
    m_spinner->show();
}

void QVR_CreatorToolBarView::stopProgressIndicator()
{
    m_progressCount = std::max(0, m_progressCount - 1);
    if (m_progressCount == 0)
        m_spinner->hide();
}

void QVR_CreatorToolBarView::respondToZoomChange(double value)
{
    if (!std::isfinite(value))
        return;
    // A float level such as 0.1f reads a hair above 10 %; the small tolerance keeps it from rounding up to 11 %.
    const double level = std::ceil(value * 100.0 - 1e-4) / 100.0;
    m_comboBox->label()->setText(QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(level));
    for (QAction* item : m_zoomMenu->actions()) {
        if (item->isSeparator())
            continue;
        const std::optional<double> itemLevel = QVR_ZoomMenuGeneratorObject::zoomLevelFromString(item->text());
        item->setChecked(itemLevel && std::fabs(*itemLevel - level) < 0.0005);
    }
}

void QVR_CreatorToolBarView::zoomMenuItemChosen(QAction* item)
{
    if (!item)
        return;
    const std::optional<double> level = QVR_ZoomMenuGeneratorObject::zoomLevelForTitle(item->text());
    if (!level)
        return;
    QPointer<QAction> guarded(item);
    QTimer::singleShot(kCheckMarkDelayMs, this, [guarded] {
        if (guarded)
            guarded->setChecked(true);
    });
    NotificationCenter::defaultCenter().post(QVR_CreatorWindow::kScreenZoomLevelNotification, window(),
                                             {{QVR_CreatorWindow::kScreenZoomLevelScaleKey, *level}});
}

void QVR_CreatorToolBarView::updateButtonStates()
{
    const bool hasDocument = document() != nullptr;
    const bool canPublish = hasDocument && CreatorPublishing::shared();
    m_viewButton->setEnabled(hasDocument);
    m_saveDraftButton->setEnabled(canPublish);
    m_postButton->setEnabled(canPublish);
    m_shareButton->setEnabled(canPublish);
    m_sidebarMenuButton->setEnabled(hasDocument);
    // Details does nothing; insert opens the canvas's add menu. Both add buttons wait while content is added.
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    const bool busy = creator && creator->isAddingContent();
    m_detailsButton->setEnabled(false);
    // A greyed button hands the keyboard on to the next control that takes it (Guide), where the next key would
    // open something else: the add button takes it back once enabled again, unless it was moved on meanwhile.
    QWidget* focused = window()->focusWidget();
    const bool addEnabled = hasDocument && !busy;
    m_insertButton->setEnabled(addEnabled);
    m_addScreenButton->setEnabled(addEnabled);
    if (!addEnabled && (focused == m_insertButton || focused == m_addScreenButton)) {
        m_greyedWithKeyboard = focused;
        m_keyboardMovedTo = window()->focusWidget();
    } else if (addEnabled && m_greyedWithKeyboard) {
        if (m_greyedWithKeyboard->isVisible() && window()->focusWidget() == m_keyboardMovedTo)
            PanelFocusReturn::giveKeyboardTo(m_greyedWithKeyboard);
        m_greyedWithKeyboard.clear();
        m_keyboardMovedTo.clear();
    }
    m_guideButton->setEnabled(static_cast<bool>(CreatorToolbarPanels::shared().guide));
    m_titleLabel->setEnabled(hasDocument && CreatorToolbarPanels::shared().titleEditor);
}

void QVR_CreatorToolBarView::viewButtonPressed()
{
    qCInfo(lcCreator) << "Play button pressed.";
    if (auto* creator = qobject_cast<QVR_CreatorWindow*>(window()); creator && document())
        creator->theCanvasView()->launchViewMode();
}

void QVR_CreatorToolBarView::insertButtonPressed()
{
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    if (!creator || !document() || creator->isAddingContent() || !creator->currentlyDisplayedSingleScreen())
        return;
    // The menu opens below the toolbar, its arrow pointing up at the button.
    creator->theCanvasView()->beginAddElementsToCurrentScreenFromRect(popoverAnchorForButton(m_insertButton),
                                                                      UniversalPopover::ArrowPositionTop);
}

void QVR_CreatorToolBarView::addScreenButtonPressed()
{
    auto* creator = qobject_cast<QVR_CreatorWindow*>(window());
    if (!creator || !document() || creator->isAddingContent())
        return;
    creator->theCanvasView()->beginAddNewScreenSelection(popoverAnchorForButton(m_addScreenButton),
                                                         UniversalPopover::ArrowPositionBottom);
}

void QVR_CreatorToolBarView::saveDraftButtonPressed()
{
    const auto publishing = CreatorPublishing::shared();
    if (const auto doc = document(); doc && publishing)
        publishing->saveDraft(doc, window());
}

void QVR_CreatorToolBarView::postButtonPressed(Qt::KeyboardModifiers modifiers)
{
    const auto publishing = CreatorPublishing::shared();
    const auto doc = document();
    if (!doc || !publishing)
        return;
    if (!(modifiers & Qt::AltModifier) || !Tessutils::isUserAdmin()) {
        publishing->publish(doc, window(), false);
        return;
    }
    auto* alert = new QMessageBox(window());
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(QStringLiteral("WARNING!"));
    alert->setInformativeText(QStringLiteral(
        "You have chosen to ADMIN POST this Tessarine! This will remove ALL of your full sized image assets. You "
        "can choose to cancel this before it's too late."));
    QPushButton* keepGoing = alert->addButton(QStringLiteral("Keep Going!"), QMessageBox::AcceptRole);
    QPushButton* cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    QPointer<QVR_CreatorToolBarView> self(this);
    connect(alert, &QMessageBox::buttonClicked, this, [self, keepGoing](QAbstractButton* clicked) {
        if (self)
            self->doAdminPost(clicked == keepGoing ? 0 : 1);
    });
    alert->open();
}

void QVR_CreatorToolBarView::doAdminPost(int button)
{
    const auto publishing = CreatorPublishing::shared();
    if (button != 0 || !publishing)
        return;
    if (const auto doc = document())
        publishing->publish(doc, window(), true);
}

void QVR_CreatorToolBarView::shareButtonPressed()
{
    const auto publishing = CreatorPublishing::shared();
    const auto doc = document();
    if (!doc || !publishing)
        return;
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(doc->filePackage());
    if (package && package->hasSomethingToPost())
        publishing->publish(doc, window(), false);
    else
        publishing->share(doc, window());
}

void QVR_CreatorToolBarView::urlFieldOverlayButtonPressed()
{
    const auto publishing = CreatorPublishing::shared();
    if (const auto doc = document(); doc && publishing)
        publishing->publish(doc, window(), false);
}

void QVR_CreatorToolBarView::sideMenuButtonPressed()
{
    if (const auto doc = document())
        doc->setSideMenuOpen(!doc->sideMenuOpen());
}

bool QVR_CreatorToolBarView::openShield(const std::function<QWidget*(QWidget* closeView)>& make)
{
    QWidget* top = window();
    if (!top || top == this)
        return false;
    // Only one panel at a time: the open one closes first and gives back the window's limits.
    closeShield();
    MouseEventShieldWindow* shield = MouseEventShieldWindow::sheildWindowForWindow(top);
    QWidget* panel = make(shield->closeOnClickView());
    if (!panel) {
        shield->deleteLater();
        return false;
    }
    m_shield = shield;
    m_panel = panel;
    m_sizeLock = std::make_shared<WindowSizeLock>(top);
    QPointer<QVR_CreatorToolBarView> self(this);
    QPointer<MouseEventShieldWindow> guardedShield(shield);
    shield->setOnCloseBlock([self, guardedShield] {
        if (self && self->m_shield == guardedShield) {
            self->closeShield();
        } else if (guardedShield) {
            guardedShield->close();
            guardedShield->deleteLater();
        }
    });
    panel->show();
    shield->show();
    shield->raise();
    return true;
}

void QVR_CreatorToolBarView::closeShield()
{
    QPointer<MouseEventShieldWindow> shield = m_shield;
    m_shield = nullptr;
    m_panel = nullptr;
    if (m_sizeLock) {
        m_sizeLock->release();
        m_sizeLock.reset();
    }
    if (shield) {
        shield->close();
        shield->deleteLater();
    }
}

void QVR_CreatorToolBarView::guideButtonPressed()
{
    const auto makeGuide = CreatorToolbarPanels::shared().guide;
    if (!makeGuide)
        return;
    const int top = height() + kGuideBelowToolbar;
    const bool opened = openShield([&](QWidget* closeView) -> QWidget* {
        QWidget* guide = makeGuide(closeView);
        if (!guide)
            return nullptr;
        guide->adjustSize();
        guide->move(closeView->width() - kGuideRightInset - guide->width(), top);
        return guide;
    });
    // The guide sits beside the work (it also opens by itself): a click elsewhere closes it and still does what
    // it was aimed at, and the wheel keeps zooming the canvas.
    if (opened && m_shield)
        m_shield->setPassesEventsThrough(true);
}

void QVR_CreatorToolBarView::titleLabelPressed()
{
    const auto makeEditor = CreatorToolbarPanels::shared().titleEditor;
    const auto doc = document();
    if (!makeEditor || !doc)
        return;
    openShield([&](QWidget* closeView) -> QWidget* {
        const QRectF anchor(closeView->mapFrom(window(), m_titleLabel->mapTo(window(), QPoint(0, 0))),
                            m_titleLabel->size());
        QWidget* editor = makeEditor(closeView, doc);
        if (!editor)
            return nullptr;
        editor->adjustSize();
        // In a light popover below the title, its arrow pointing up at it.
        auto* popover = new UniversalPopover(0, QColor::fromRgbF(0.95f, 0.95f, 0.95f), editor);
        popover->presentPopoverInView(closeView, UniversalPopover::ArrowPositionTop, anchor, true);
        return popover;
    });
}

QRect QVR_CreatorToolBarView::popoverAnchorForButton(const QWidget* button) const
{
    if (!button)
        return {};
    const QRect inToolbar(button->mapTo(this, QPoint(0, 0)).x(), 0, button->width(), height());
    return QRect(mapTo(window(), inToolbar.topLeft()), inToolbar.size());
}

int QVR_CreatorToolBarView::numberOfTimesAutoLaunchedGuide()
{
    return static_cast<int>(UserDefaults::standard().integer(kAutoLaunchedGuideCountKey));
}

void QVR_CreatorToolBarView::incrementNumberOfTimesAutoLaunchedGuide()
{
    UserDefaults::standard().setValue(kAutoLaunchedGuideCountKey, numberOfTimesAutoLaunchedGuide() + 1);
}

bool QVR_CreatorToolBarView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_postButton)
            m_postClickModifiers = static_cast<QMouseEvent*>(event)->modifiers();
        if (m_urlField->hasFocus() && watched != m_urlField && watched->isWidgetType())
            m_urlField->clearFocus();
    } else if (watched == m_postButton && event->type() == QEvent::MouseButtonRelease) {
        m_postClickModifiers = static_cast<QMouseEvent*>(event)->modifiers();
    }
    return QWidget::eventFilter(watched, event);
}

void QVR_CreatorToolBarView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateButtonStates();
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // The guide opens by itself in the first two creator windows ever shown.
    if (!qobject_cast<QVR_CreatorWindow*>(window()) || !CreatorToolbarPanels::shared().guide)
        return;
    if (numberOfTimesAutoLaunchedGuide() > 1)
        return;
    const auto launch = [this] {
        if (numberOfTimesAutoLaunchedGuide() > 1)
            return;
        incrementNumberOfTimesAutoLaunchedGuide();
        QTimer::singleShot(kGuideAutoLaunchDelayMs, this, [this] { guideButtonPressed(); });
    };
    // A guide with nothing to show (no service) would only cover the new window's canvas.
    if (const auto available = CreatorToolbarPanels::shared().guideAvailable) {
        QPointer<QVR_CreatorToolBarView> self(this);
        available(this, [self, launch](bool yes) {
            if (self && yes)
                launch();
        });
        return;
    }
    launch();
}
