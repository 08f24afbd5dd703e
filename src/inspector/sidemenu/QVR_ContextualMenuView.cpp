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
const QString kColorPickerOutlet = QStringLiteral("Color Picker");
const QString kBigTextOutlet = QStringLiteral("Big Text Field");
const QString kObjectKey = QStringLiteral("kQVR_CONTEXTUAL_MENU_OBJECT_KEY");
const QString kColorPropertyKey = QStringLiteral("kQVR_CONTEXTUAL_MENU_COLOR_PROPERTY_KEY");
const QString kAlphaPropertyKey = QStringLiteral("kQVR_CONTEXTUAL_MENU_ALPHA_PROPERTY_KEY");
const QString kBigTextPropertyKey = QStringLiteral("kQVR_CONTEXTUAL_MENU_BIG_TEXT_PROPERTY_KEY");
constexpr QRgb kUnselectedTabColor = 0xe6e6e6;
} // namespace

QVR_SideMenuTab::QVR_SideMenuTab(const QString& title, QWidget* parent)
    : QAbstractButton(parent)
{
    setText(title);
    setCheckable(true);
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
        // Posted for the window, the menu's source, as every rebuild request is.
        NotificationCenter::defaultCenter().post(kUpdateNotification,
                                                 m_window ? static_cast<const void*>(m_window.data()) : this);
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
    painter.fillRect(QRect(width() - 1, 0, 1, height()), QColor::fromRgbF(0.4f, 0.4f, 0.4f));
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
    QVR_CreatorSingleScreen* shown = creator->currentlyDisplayedSingleScreen();
    const auto screen = shown ? shown->flowScreenModel() : nullptr;

    for (const QString& tabType : tabTypes()) {
        QWidget* body = nullptr;
        QVBoxLayout* layout = nullptr;
        for (const QString& outletType : outletTypes()) {
            const auto answer = setupDictionaries(outletType, tabType, selected, screen);
            QWidget* outlet = answer ? makeOutlet(outletType, *answer) : nullptr;
            if (!outlet)
                continue;
            if (!body) {
                body = new QWidget();
                layout = new QVBoxLayout(body);
                layout->setContentsMargins(0, 0, 0, 0);
            }
            outlet->setParent(body);
            layout->addWidget(outlet);
        }
        if (!body)
            continue;
        layout->addStretch(1);
        tabs.push_back({tabType, body});
    }
    return tabs;
}

const QStringList& QVR_ContextualMenuView::tabTypes()
{
    static const QStringList types{QStringLiteral("Tessarine"), kScreenTab, kObjectTab};
    return types;
}

const QStringList& QVR_ContextualMenuView::outletTypes()
{
    static const QStringList types{kColorPickerOutlet,
                                   QStringLiteral("Time Editor"),
                                   QStringLiteral("Arbitrary Floating Point Editor"),
                                   QStringLiteral("Percent Slider"),
                                   kBigTextOutlet,
                                   QStringLiteral("File Chooser With File Title"),
                                   QStringLiteral("Radio Button"),
                                   QStringLiteral("Radio Button Array With Title"),
                                   QStringLiteral("Position And Size Editor"),
                                   QStringLiteral("Rotation By 90s"),
                                   QStringLiteral("MMObj Link Editor"),
                                   QStringLiteral("Text Alignment Editor"),
                                   QStringLiteral("Font Picker")};
    return types;
}

std::optional<QList<QVariantMap>>
QVR_ContextualMenuView::setupDictionaries(const QString& outletType, const QString& tabType,
                                          const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& selected,
                                          const std::shared_ptr<ZERI_FlowScreenModel>& screen)
{
    // With a selection: every selected object's answer, joined; none as soon as one has none.
    if (!selected.empty()) {
        QList<QVariantMap> joined;
        for (const auto& proxy : selected) {
            const auto answer = proxy && proxy->object()
                                    ? proxy->object()->getSetupDictionaryArrayForOutletType(outletType, tabType)
                                    : std::nullopt;
            if (!answer || answer->isEmpty())
                return std::nullopt;
            joined += *answer;
        }
        return joined;
    }
    if (screen && tabType != kObjectTab)
        return screen->getSetupDictionaryArrayForOutletType(outletType, tabType);
    return std::nullopt;
}

QWidget* QVR_ContextualMenuView::makeOutlet(const QString& outletType, const QList<QVariantMap>& dictionaries)
{
    // Dictionaries whose object is gone or whose property this menu cannot read are skipped.
    if (outletType == kColorPickerOutlet) {
        std::vector<ModelItemRef> objects;
        bool showsAlpha = true;
        for (const QVariantMap& dictionary : dictionaries) {
            const auto item = dictionary.value(kObjectKey).value<ModelItemRef>().lock();
            const bool readable = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(item) ||
                                  std::dynamic_pointer_cast<ZERI_MMObject_Shape>(item);
            if (!readable || dictionary.value(kColorPropertyKey).toString() != QLatin1String("observableColor"))
                continue;
            objects.push_back(item);
            if (dictionary.contains(kAlphaPropertyKey) && !dictionary.value(kAlphaPropertyKey).toBool())
                showsAlpha = false;
        }
        return objects.empty() ? nullptr : new QVR_ColorOutlet(std::move(objects), showsAlpha);
    }
    if (outletType == kBigTextOutlet) {
        for (const QVariantMap& dictionary : dictionaries) {
            const auto screen = std::dynamic_pointer_cast<ZERI_FlowScreenModel>(
                dictionary.value(kObjectKey).value<ModelItemRef>().lock());
            if (screen && dictionary.value(kBigTextPropertyKey).toString() == QLatin1String("presenterNotes"))
                return new QVR_BigTextOutlet(screen);
        }
    }
    // The other kinds have no view.
    return nullptr;
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
    for (std::size_t index = 0; index < contents.size(); ++index) {
        auto* tab = new QVR_SideMenuTab(contents[index].type, m_tabRow);
        m_tabLayout->addWidget(tab, 1);
        m_bodies->addWidget(contents[index].body);
        const int row = static_cast<int>(index);
        connect(tab, &QAbstractButton::clicked, this, [this, row] { selectTab(row); });
        m_tabs.push_back(tab);
    }
    // Only a press selects a tab: after a rebuild none is, and the body made last shows (bodies are never drawn
    // over one another).
    m_chosenTab.clear();
    if (m_bodies->count() > 0)
        m_bodies->setCurrentIndex(m_bodies->count() - 1);
}

void QVR_ContextualMenuView::selectTab(int index)
{
    if (index < 0 || index >= static_cast<int>(m_tabs.size()))
        return;
    for (std::size_t other = 0; other < m_tabs.size(); ++other)
        m_tabs[other]->setChecked(static_cast<int>(other) == index);
    m_bodies->setCurrentIndex(index);
    m_chosenTab = m_tabs[static_cast<std::size_t>(index)]->text();
}

QWidget* QVR_ContextualMenuView::currentBody() const
{
    return m_bodies->currentWidget();
}
