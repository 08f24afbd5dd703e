#pragma once

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QColor>
#include <QString>

class QGraphicsObject;
class ZERI_MixedMediaObjectProxy;

// What the canvas asks of the inspector library, which links after it. Each seam is inert until the inspector
// registers it (registerInspectorLibrary()): without a colour picker the canvas changes no colour, without a
// popover factory an element shows no popover. Main thread only.

// The colour panel the canvas opens to pick one colour (the screen's background).
class CreatorColorPicker {
public:
    // A theme colour: its name ("#RRGGBBAA") and the colour.
    using ThemeColor = std::pair<QString, QColor>;

    virtual ~CreatorColorPicker() = default;
    virtual void setInitialColor(const QColor& color) = 0;
    // The named colours offered beside the free picker, titled "Template Colors".
    virtual void setThemeColorList(const std::vector<ThemeColor>& colors) = 0;
    virtual void setShowsAlphaPicker(bool shows) = 0;
    virtual void setPanelShouldDismissOnResignKey(bool dismiss) = 0;
    // Runs once per colour the user picks.
    virtual void setOnColorPicked(std::function<void(const QColor&)> onPicked) = 0;
    virtual void presentColorPanel() = 0;

    // A new picker from the registered factory, or nullptr while none is registered.
    static std::unique_ptr<CreatorColorPicker> colorPicker();
    using Factory = std::function<std::unique_ptr<CreatorColorPicker>()>;
    // Installs the factory (an empty one: inert again).
    static void registerColorPickerFactory(Factory factory);
};

// The toolbar popover of one element, shown over its container while it is the only selection.
class QVRMMObjToolbarPopoverController {
public:
    virtual ~QVRMMObjToolbarPopoverController() = default;
    virtual void showPopoverOverView(QGraphicsObject* view) = 0;
    virtual void setPopoverHidden(bool hidden) = 0;
    virtual void dismissPopover(bool animated) = 0;

    // The popover for the object, or nullptr while no factory is registered.
    static std::unique_ptr<QVRMMObjToolbarPopoverController>
    controllerForMixedMediaObject(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, bool docked);
    using Factory = std::function<std::unique_ptr<QVRMMObjToolbarPopoverController>(
        const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object, bool docked)>;
    static void registerPopoverFactory(Factory factory);
};
