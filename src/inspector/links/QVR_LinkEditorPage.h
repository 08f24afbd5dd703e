#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"

class QVR_CreatorWindow;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;
class ZERI_MMAction;
class ZERI_MixedMediaObjectProxy;

// What the pages of the link panel share: the creator window they edit in, its selection, and the one undo step
// a save or a clear makes. A page reads its window and selection when its view is made, so the window is set
// before the page is shown.
class QVR_LinkEditorPage : public NavigationControllerFriendlyViewController {
    Q_OBJECT
public:
    using Proxy = std::shared_ptr<ZERI_MixedMediaObjectProxy>;
    using ActionMaker = std::function<std::shared_ptr<ZERI_MMAction>()>;

    explicit QVR_LinkEditorPage(QObject* parent = nullptr);

    QWidget* hostWindow() const { return m_hostWindow; }
    void setHostWindow(QWidget* window) { m_hostWindow = window; }
    // The host window when it is a creator window.
    QVR_CreatorWindow* creatorWindow() const;

    // The objects of the window's selection frame, back to front; empty without a creator window.
    std::vector<Proxy> selectedObjects() const;
    // The first or last selected object that can carry a link, else the first or last selected one.
    Proxy firstSelectedObject() const;
    Proxy lastSelectedObject() const;

    // The object's screen and flow while the object is still on a screen of a flow; nullptr otherwise.
    static std::shared_ptr<ZERI_FlowScreenModel> liveScreenOf(const Proxy& object);
    static std::shared_ptr<ZERI_FlowModel> liveFlowOf(const Proxy& object);

    // Gives each linkable object still in the document a fresh action from `make` (nullptr clears), as one undo
    // step on the flow that pages back to the first such object's screen. Objects of another flow, unlinkable
    // ones and those whose action would not change are skipped. Returns how many objects changed.
    static int setActions(const std::vector<Proxy>& objects, const ActionMaker& make);

    // Dismisses the window's dark panel.
    void dismissPanel();
    // Dismisses the panel and shows a fresh link type chooser in its place.
    void returnToChooser();

    // Styled in the panel's way: the chooser's blue buttons, the editors' plain Done and Clear buttons.
    static QPushButton* makeChooserButton(const QString& text, QWidget* parent);
    static QPushButton* makeTextButton(const QString& text, QWidget* parent);
    // A page's view: opaque in the panel's colour, so that nothing under the panel is painted again with it.
    static QWidget* makePageView();
    // White text, centred; a title is larger.
    static QLabel* makeLabel(const QString& text, QWidget* parent, bool title = false);
    // Why an entry was refused: shown under the fields until the entry is edited again; hidden at first.
    static QLabel* makeProblemLabel(QWidget* parent);

private:
    QPointer<QWidget> m_hostWindow;
};
