#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;
class ZERI_FlowModel;
class ZERI_MixedMediaObjectProxy;

// The inspector's parts that a creator window hosts. The inspector library registers its own; until then each
// window gets inert ones (an empty side menu 240 wide when open, panels that track nothing).
class CreatorSideMenu {
public:
    virtual ~CreatorSideMenu() = default;
    virtual QWidget* widget() = 0;
    // The width the side bar takes while the menu is open.
    virtual int openWidth() const = 0;
};

// The position and size palette and the docked object popover.
class CreatorObjectPanel {
public:
    virtual ~CreatorObjectPanel() = default;
    virtual QWidget* widget() = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual void
    setTrackedMixedMediaObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects) = 0;
};

struct CreatorInspectorFactories {
    std::function<std::unique_ptr<CreatorSideMenu>(QWidget* window)> sideMenu;
    std::function<std::unique_ptr<CreatorObjectPanel>(QWidget* window)> positionPalette;
    std::function<std::unique_ptr<CreatorObjectPanel>(QWidget* window)> dockedPopover;
    // Opens the screen properties sheet on `window` for `flow` at screen `page`; the sheet calls `pageChanged`
    // with the screen it pages to. Until one is registered the window's command does nothing.
    std::function<void(QWidget* window, const std::shared_ptr<ZERI_FlowModel>& flow, int page,
                       std::function<void(int)> pageChanged)>
        screenPropertiesSheet;
    // Whether the screen properties sheet shows on `window`: it holds the flow's open change, so Undo and Redo
    // wait for it to close. Unregistered: no sheet shows.
    std::function<bool(const QWidget* window)> screenPropertiesSheetShown;

    // An auto-advance duration (seconds, none: off) and transition type (0 slide in, 2 fade, 3 none).
    struct SlideDuration {
        std::optional<double> seconds;
        int transitionType = 0;
    };
    // Runs the duration editor modally over `window`, starting from `initial`, and answers what it holds when
    // its Done button closes it. Unregistered: the auto-advance commands stay disabled.
    std::function<SlideDuration(QWidget* window, const SlideDuration& initial)> slideDurationEditor;

    static CreatorInspectorFactories& shared();
    // The registered part, or the inert one.
    static std::unique_ptr<CreatorSideMenu> makeSideMenu(QWidget* window);
    static std::unique_ptr<CreatorObjectPanel> makePositionPalette(QWidget* window);
    static std::unique_ptr<CreatorObjectPanel> makeDockedPopover(QWidget* window);
};
