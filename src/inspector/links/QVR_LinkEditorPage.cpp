#include "inspector/links/QVR_LinkEditorPage.h"

#include <algorithm>

#include <QPushButton>

#include "controls/SheetLikePanelViewController.h"
#include "controls/ViewUtils.h"
#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "foundation/Tessutils.h"
#include "inspector/links/QVR_LinkTypeSelectionViewController.h"
#include "strings/UFM.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/UndoableAction.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

QVR_LinkEditorPage::QVR_LinkEditorPage(QObject* parent)
    : NavigationControllerFriendlyViewController(parent)
{
}

QVR_CreatorWindow* QVR_LinkEditorPage::creatorWindow() const
{
    return qobject_cast<QVR_CreatorWindow*>(m_hostWindow.data());
}

std::vector<QVR_LinkEditorPage::Proxy> QVR_LinkEditorPage::selectedObjects() const
{
    std::vector<Proxy> objects;
    QVR_CreatorWindow* window = creatorWindow();
    if (!window)
        return objects;
    for (QVR_MixedMediaElementContainingView* view : window->selectedItemView()->selectedViews())
        if (view && view->mixedMediaObject() && view->mixedMediaObject()->object())
            objects.push_back(view->mixedMediaObject());
    return objects;
}

namespace {
bool isLinkable(const QVR_LinkEditorPage::Proxy& object)
{
    return object && object->object() && (*object)->isLinkable();
}
} // namespace

QVR_LinkEditorPage::Proxy QVR_LinkEditorPage::firstSelectedObject() const
{
    const auto objects = selectedObjects();
    const auto found = std::find_if(objects.begin(), objects.end(), isLinkable);
    if (found != objects.end())
        return *found;
    return objects.empty() ? nullptr : objects.front();
}

QVR_LinkEditorPage::Proxy QVR_LinkEditorPage::lastSelectedObject() const
{
    const auto objects = selectedObjects();
    const auto found = std::find_if(objects.rbegin(), objects.rend(), isLinkable);
    if (found != objects.rend())
        return *found;
    return objects.empty() ? nullptr : objects.back();
}

std::shared_ptr<ZERI_FlowScreenModel> QVR_LinkEditorPage::liveScreenOf(const Proxy& object)
{
    if (!object || !object->object())
        return nullptr;
    auto screen = (*object)->parentFlowScreenModel();
    if (!screen || !screen->mixedMediaObjectWithID((*object)->internalID()))
        return nullptr;
    auto flow = screen->nearestParentItemOfClass<ZERI_FlowModel>();
    if (!flow || flow->indexOfFlowScreen(screen) < 0)
        return nullptr;
    return screen;
}

std::shared_ptr<ZERI_FlowModel> QVR_LinkEditorPage::liveFlowOf(const Proxy& object)
{
    const auto screen = liveScreenOf(object);
    return screen ? screen->nearestParentItemOfClass<ZERI_FlowModel>() : nullptr;
}

int QVR_LinkEditorPage::setActions(const std::vector<Proxy>& objects, const ActionMaker& make)
{
    std::shared_ptr<ZERI_FlowModel> flow;
    std::shared_ptr<ZERI_FlowScreenModel> screen;
    std::vector<Proxy> changing;
    for (const Proxy& object : objects) {
        if (!object || !object->object() || !(*object)->isLinkable())
            continue;
        const auto objectFlow = liveFlowOf(object);
        if (!objectFlow || (flow && objectFlow != flow))
            continue;
        if (!make && !(*object)->action())
            continue;
        if (!flow) {
            flow = objectFlow;
            screen = liveScreenOf(object);
        }
        changing.push_back(object);
    }
    if (!flow || changing.empty())
        return 0;
    flow->beginUndoableChangesPagingToScreen(screen);
    // The step is named after the link set, or, for a removal, the link removed.
    const auto undoName = [&] {
        const auto action = (*changing.front())->action();
        return std::dynamic_pointer_cast<ZERI_MMAction_ScreenLink>(action) ? UFM::UNDO_MANAGER_SET_SCREEN_LINK_TAG()
                                                                           : UFM::UNDO_MANAGER_SET_WEB_LINK_TAG();
    };
    const QString removedName = undoName();
    for (const Proxy& object : changing)
        (*object)->setAction(make ? make() : nullptr);
    if (const auto action = flow->currentUndoableAction())
        action->setActionDescription(make ? undoName() : removedName);
    flow->endUndoableChanges();
    return int(changing.size());
}

void QVR_LinkEditorPage::dismissPanel()
{
    if (QVR_CreatorWindow* window = creatorWindow())
        window->dismissDarkPanel();
}

void QVR_LinkEditorPage::returnToChooser()
{
    QVR_CreatorWindow* window = creatorWindow();
    if (!window)
        return;
    window->dismissDarkPanel();
    auto* chooser = new QVR_LinkTypeSelectionViewController;
    chooser->setHostWindow(window);
    window->presentDarkPanelWithRootViewController(chooser, true, true);
}

QPushButton* QVR_LinkEditorPage::makeChooserButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumSize(240, 44);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(0, 120, 194); color: white; border: none;"
                                         " border-radius: 2px; padding: 8px 16px; font-size: 15px; }"
                                         " QPushButton:pressed { background-color: rgb(0, 96, 155); }"
                                         " QPushButton:focus { border: 2px solid white; }"));
    // Return presses the button that has the keyboard, as Space does (the panel is no dialog that would do it).
    button->setAutoDefault(true);
    return button;
}

QPushButton* QVR_LinkEditorPage::makeTextButton(const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(247, 247, 247); color: %1;"
                                         " border: 1px solid rgb(158, 158, 158); border-radius: 4px;"
                                         " padding: 6px 18px; }"
                                         " QPushButton:disabled { color: rgb(160, 160, 160); }"
                                         " QPushButton:focus { border: 2px solid rgb(0, 120, 194); }")
                              .arg(Tessutils::tessarineBlackColor().name()));
    button->setAutoDefault(true);
    return button;
}

QLabel* QVR_LinkEditorPage::makeLabel(const QString& text, QWidget* parent, bool title)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(!title);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    if (title) {
        QFont font = label->font();
        font.setPixelSize(20);
        label->setFont(font);
    }
    return label;
}

QLabel* QVR_LinkEditorPage::makeProblemLabel(QWidget* parent)
{
    QLabel* label = makeLabel(QString(), parent);
    label->setObjectName(QStringLiteral("linkProblem"));
    label->setStyleSheet(QStringLiteral("color: #c0392b;"));
    label->hide();
    return label;
}

QWidget* QVR_LinkEditorPage::makePageView()
{
    auto* view = new QWidget;
    QColor color = SheetLikePanelViewController::panelColor();
    color.setAlphaF(1.0f);
    ViewUtils::setBackgroundColor(view, color);
    return view;
}
