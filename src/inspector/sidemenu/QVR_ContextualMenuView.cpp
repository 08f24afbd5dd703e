#include "inspector/sidemenu/QVR_ContextualMenuView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/canvas/QVR_CreatorSingleScreen.h"
#include "creator/canvas/QVR_SingleScreenArtBoardView.h"
#include "creator/interaction/QVR_InteractableViewHandler.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "inspector/sidemenu/QVR_SideMenuOutlets.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

const QString QVR_ContextualMenuView::kUpdateNotification = QStringLiteral("kSIDE_MENU_UPDATE_NOTIFICATION");

namespace {
const QString kScreenTab = QStringLiteral("Screen");
const QString kObjectTab = QStringLiteral("Object");
constexpr QRgb kUnselectedTabColor = 0xe6e6e6;
} // namespace

QVR_SideMenuTab::QVR_SideMenuTab(const QString& title, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(title);
    setCheckable(true);
    setAutoExclusive(true);
}

void QVR_SideMenuTab::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), isChecked() ? QColor(Qt::white) : QColor::fromRgb(kUnselectedTabColor));
    painter.setPen(QColor(0x33, 0x33, 0x33));
    painter.drawText(rect(), Qt::AlignCenter, text());
}

QVR_ContextualMenuView::QVR_ContextualMenuView(QWidget* window, QWidget* parent)
    : QWidget(parent)
    , m_window(window)
{
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);

    m_tabRow = new QWidget(this);
    m_tabLayout = new QHBoxLayout(m_tabRow);
    m_tabLayout->setContentsMargins(0, 0, 0, 0);
    m_tabLayout->setSpacing(0);
    auto* bodyHolder = new QWidget(this);
    m_bodies = new QStackedLayout(bodyHolder);
    auto* layout = new QVBoxLayout(this);
    // The right line is drawn in the last column.
    layout->setContentsMargins(0, 0, 1, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabRow);
    layout->addWidget(bodyHolder, 1);

    // Only posts for this menu or its window rebuild it; other windows' menus post their own.
    m_observations.emplace_back(kUpdateNotification, nullptr, [this](const Notification& notification) {
        if (notification.sender == this || (m_window && notification.sender == m_window.data()))
            rebuild();
    });
    m_observations.emplace_back(TessarineDataModelItem::kDidSetPropertiesFromUndoableActionNotification, nullptr,
                                [this](const Notification&) { scheduleUpdate(); });
}

QVR_ContextualMenuView::~QVR_ContextualMenuView()
{
    disconnect(m_selectionConnection);
}

QVR_CreatorWindow* QVR_ContextualMenuView::creatorWindow() const
{
    return qobject_cast<QVR_CreatorWindow*>(m_window.data());
}

void QVR_ContextualMenuView::followShownBoard()
{
    // The window makes its canvas after its side menu, so the canvas is found on first use.
    if (!m_canvasConnection) {
        if (QVR_CreatorWindow* creator = creatorWindow()) {
            if (auto* canvas = qobject_cast<QStackedWidget*>(creator->theCanvasView()))
                m_canvasConnection =
                    connect(canvas, &QStackedWidget::currentChanged, this, &QVR_ContextualMenuView::followShownBoard);
        }
    }
    disconnect(m_selectionConnection);
    if (QVR_CreatorWindow* creator = creatorWindow()) {
        if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(creator->theArtBoard()))
            m_selectionConnection = connect(handler, &QVR_InteractableViewHandler::selectionChanged, this,
                                            &QVR_ContextualMenuView::scheduleUpdate);
    }
    scheduleUpdate();
}

void QVR_ContextualMenuView::scheduleUpdate()
{
    if (m_updatePending)
        return;
    m_updatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_updatePending = false;
        NotificationCenter::defaultCenter().post(kUpdateNotification, this);
    });
}

void QVR_ContextualMenuView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const bool open = width() > 0;
    if (open && !m_wasOpen)
        followShownBoard();
    m_wasOpen = open;
}

void QVR_ContextualMenuView::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(0xb3, 0xb3, 0xb3));
    painter.drawLine(width() - 1, 0, width() - 1, height());
}

std::vector<QVR_ContextualMenuView::TabContent> QVR_ContextualMenuView::makeTabs()
{
    std::vector<TabContent> tabs;
    QVR_CreatorWindow* creator = creatorWindow();
    if (!creator)
        return tabs;
    std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>> selected;
    if (auto* handler = QVR_InteractableViewHandler::handlerForBoard(creator->theArtBoard()))
        selected = handler->currentlySelectedMixedMediaObjectArray();

    auto makeBody = [] {
        auto* body = new QWidget();
        auto* layout = new QVBoxLayout(body);
        layout->setContentsMargins(0, 0, 0, 0);
        return std::make_pair(body, layout);
    };

    if (!selected.empty()) {
        std::vector<ModelItemRef> shapes;
        for (const auto& proxy : selected) {
            if (const auto shape = proxy ? proxy->as<ZERI_MMObject_Shape>() : nullptr)
                shapes.push_back(shape);
        }
        auto [body, layout] = makeBody();
        if (!shapes.empty())
            layout->addWidget(new QVR_ColorOutlet(std::move(shapes), true, body));
        layout->addStretch(1);
        tabs.push_back({kObjectTab, body});
        return tabs;
    }

    QVR_CreatorSingleScreen* shown = creator->currentlyDisplayedSingleScreen();
    const auto screen = shown ? shown->flowScreenModel() : nullptr;
    if (!screen)
        return tabs;
    auto [body, layout] = makeBody();
    layout->addWidget(new QVR_ColorOutlet({ModelItemRef(screen)}, false, body));
    layout->addWidget(new QVR_BigTextOutlet(screen, body));
    layout->addStretch(1);
    tabs.push_back({kScreenTab, body});
    return tabs;
}

void QVR_ContextualMenuView::rebuild()
{
    for (QVR_SideMenuTab* tab : m_tabs)
        delete tab;
    m_tabs.clear();
    while (m_bodies->count() > 0) {
        QWidget* body = m_bodies->widget(0);
        m_bodies->removeWidget(body);
        delete body;
    }

    const std::vector<TabContent> contents = makeTabs();
    int chosen = 0;
    for (std::size_t index = 0; index < contents.size(); ++index) {
        auto* tab = new QVR_SideMenuTab(contents[index].type, m_tabRow);
        m_tabLayout->addWidget(tab, 1);
        m_bodies->addWidget(contents[index].body);
        const int row = static_cast<int>(index);
        connect(tab, &QAbstractButton::clicked, this, [this, row] { selectTab(row); });
        m_tabs.push_back(tab);
        if (contents[index].type == m_chosenTab)
            chosen = row;
    }
    // The tab chosen before the rebuild when there is one of its type, else the first.
    selectTab(chosen);
}

void QVR_ContextualMenuView::selectTab(int index)
{
    if (index < 0 || index >= static_cast<int>(m_tabs.size()))
        return;
    m_tabs[static_cast<std::size_t>(index)]->setChecked(true);
    m_bodies->setCurrentIndex(index);
    m_chosenTab = m_tabs[static_cast<std::size_t>(index)]->text();
    for (QVR_SideMenuTab* tab : m_tabs)
        tab->update();
}

QWidget* QVR_ContextualMenuView::currentBody() const
{
    return m_bodies->currentWidget();
}
