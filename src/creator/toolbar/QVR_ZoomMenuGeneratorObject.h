#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

class QAction;
class QMenu;
class QWidget;

// The zoom levels offered by the editor's zoom menus (toolbar, art board, screen), and the one way their
// titles are written and read: a percentage in the user's locale, 1 to 3 significant digits ("150%" is 1.5).
class QVR_ZoomMenuGeneratorObject {
public:
    // "10%" … "200%", then the fit-to-screen title.
    static QStringList zoomLevelTitlesArray();
    static QString stringForFitToScreenTitle();

    // The shared formatter: level → title, title → level (nothing when the title is no percentage).
    static QString stringFromZoomLevel(double level);
    static std::optional<double> zoomLevelFromString(const QString& title);
    // The level a menu title stands for: −1 for fit to screen; nothing for a title that does not parse.
    static std::optional<double> zoomLevelForTitle(const QString& title);

    // A menu with one item per title, a separator before the fit item; each item calls `chosen` with itself.
    // The menu is a child of `parent` (may be null: the caller deletes it).
    static QMenu* zoomMenuWithSupportedZoomLevels(QWidget* parent, const std::function<void(QAction*)>& chosen);
};
