#include "controls/SheetLikePanelViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/ControlsArtwork.h"
#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"
#include "controls/PanelFocusReturn.h"
#include "controls/ViewUtils.h"
#include "foundation/Tessutils.h"

SheetLikePanelViewController::SheetLikePanelViewController(QObject* parent)
    : ViewController(parent)
    , m_navigationController(new NavigationController(this))
{
    connect(m_navigationController, &NavigationController::topViewControllerChanged, this,
            &SheetLikePanelViewController::updateHeader);
}

QColor SheetLikePanelViewController::panelColor()
{
    QColor color = Tessutils::tessarineBlackColor();
    color.setAlphaF(0.95f);
    return color;
}

void SheetLikePanelViewController::loadView()
{
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("SheetLikePanelViewController"));
    panel->resize(360, 480);
    ViewUtils::setBackgroundColor(panel, panelColor());

    auto* header = new QWidget(panel);
    header->setFixedHeight(kHeaderHeight);
    // The page area lets the window show faintly through; the title band does not, so nothing behind it (the
    // docked palettes' numbers) reads through the title.
    ViewUtils::setBackgroundColor(header, Tessutils::tessarineBlackColor());
    m_backButton = new QToolButton(header);
    m_backButton->setObjectName(QStringLiteral("backButton"));
    m_backButton->setAutoRaise(true);
    m_backButton->setIcon(ControlsArtwork::icon(QStringLiteral("back_chevron"), QSize(16, 16)));
    m_backButton->setAccessibleName(tr("Back"));
    m_closeButton = new QToolButton(header);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setIcon(ControlsArtwork::icon(QStringLiteral("panel_close"), QSize(16, 16)));
    m_closeButton->setAccessibleName(tr("Close"));
    m_titleLabel = new QLabel(header);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QPalette palette = m_titleLabel->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_titleLabel->setPalette(palette);
    QFont font = m_titleLabel->font();
    font.setBold(true);
    m_titleLabel->setFont(font);

    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(8, 0, 8, 0);
    headerLayout->addWidget(m_backButton);
    headerLayout->addWidget(m_titleLabel, 1);
    headerLayout->addWidget(m_closeButton);

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(m_navigationController->view(), 1);

    connect(m_backButton, &QToolButton::clicked, this,
            [this] { m_navigationController->popViewControllerAnimated(true); });
    connect(m_closeButton, &QToolButton::clicked, this, [this] {
        if (m_delegate)
            m_delegate->sheetLikePanelCloseButtonPressed();
    });
    // Escape is the close button while the panel shows one, where the panel's owner asks for it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), panel);
    escape->setObjectName(QStringLiteral("closeOnEscape"));
    escape->setEnabled(m_closeEnabled && m_closesOnEscape);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_closeEnabled && m_closeButton && m_closeButton->isVisible())
            m_closeButton->click();
    });
    // Closed, the panel gives the keyboard back where it was before it opened.
    PanelFocusReturn::install(panel);
    setView(panel);
    updateHeader();
}

void SheetLikePanelViewController::setEnableCloseButton(bool enable)
{
    m_closeEnabled = enable;
    updateEscape();
    updateHeader();
}

void SheetLikePanelViewController::setClosesOnEscape(bool closes)
{
    m_closesOnEscape = closes;
    updateEscape();
}

void SheetLikePanelViewController::updateEscape()
{
    // Without a close button the panel leaves Escape to its page.
    if (!isViewLoaded())
        return;
    if (auto* escape = view()->findChild<QShortcut*>(QStringLiteral("closeOnEscape")))
        escape->setEnabled(m_closeEnabled && m_closesOnEscape);
}

void SheetLikePanelViewController::setEnableNavigationBackButton(bool enable)
{
    m_backEnabled = enable;
    updateHeader();
}

QToolButton* SheetLikePanelViewController::closeButton()
{
    view();
    return m_closeButton;
}

QToolButton* SheetLikePanelViewController::backButton()
{
    view();
    return m_backButton;
}

QLabel* SheetLikePanelViewController::titleLabel()
{
    view();
    return m_titleLabel;
}

void SheetLikePanelViewController::updateHeader()
{
    if (!m_closeButton)
        return;
    // Hidden buttons keep their room so the title stays centred.
    auto keepRoom = [](QWidget* w) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    };
    keepRoom(m_closeButton);
    keepRoom(m_backButton);
    m_closeButton->setVisible(m_closeEnabled);
    m_backButton->setVisible(m_backEnabled && m_navigationController->count() > 1);
    auto* top = m_navigationController->topViewController();
    m_titleLabel->setText(top ? top->title() : QString());
}
