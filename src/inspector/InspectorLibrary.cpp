#include "inspector/InspectorLibrary.h"

#include "creator/window/CreatorInspectorInterfaces.h"
#include "inspector/sidemenu/QVR_ContextualMenuView.h"

namespace {
class SideMenu : public CreatorSideMenu {
public:
    explicit SideMenu(QWidget* window)
        : m_view(new QVR_ContextualMenuView(window))
    {
    }
    // The window takes the view into its layout and so owns it.
    QWidget* widget() override { return m_view; }
    int openWidth() const override { return QVR_ContextualMenuView::kOpenWidth; }

private:
    QVR_ContextualMenuView* m_view;
};
} // namespace

void registerInspectorLibrary()
{
    CreatorInspectorFactories::shared().sideMenu = [](QWidget* window) -> std::unique_ptr<CreatorSideMenu> {
        return std::make_unique<SideMenu>(window);
    };
}
