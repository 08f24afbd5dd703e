#include "creator/window/CreatorInspectorInterfaces.h"

#include <QPointer>
#include <QWidget>

namespace {

class InertSideMenu : public CreatorSideMenu {
public:
    InertSideMenu()
        : m_widget(new QWidget)
    {
    }
    ~InertSideMenu() override { delete m_widget; }
    QWidget* widget() override { return m_widget; }
    int openWidth() const override { return 240; }

private:
    QPointer<QWidget> m_widget;
};

class InertObjectPanel : public CreatorObjectPanel {
public:
    InertObjectPanel()
        : m_widget(new QWidget)
    {
    }
    ~InertObjectPanel() override { delete m_widget; }
    QWidget* widget() override { return m_widget; }
    void setHidden(bool hidden) override
    {
        if (m_widget)
            m_widget->setHidden(hidden);
    }
    void setTrackedMixedMediaObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>&) override {}

private:
    QPointer<QWidget> m_widget;
};

} // namespace

CreatorInspectorFactories& CreatorInspectorFactories::shared()
{
    static CreatorInspectorFactories factories;
    return factories;
}

std::unique_ptr<CreatorSideMenu> CreatorInspectorFactories::makeSideMenu(QWidget* window)
{
    if (shared().sideMenu)
        if (auto menu = shared().sideMenu(window))
            return menu;
    return std::make_unique<InertSideMenu>();
}

std::unique_ptr<CreatorObjectPanel> CreatorInspectorFactories::makePositionPalette(QWidget* window)
{
    if (shared().positionPalette)
        if (auto panel = shared().positionPalette(window))
            return panel;
    return std::make_unique<InertObjectPanel>();
}

std::unique_ptr<CreatorObjectPanel> CreatorInspectorFactories::makeDockedPopover(QWidget* window)
{
    if (shared().dockedPopover)
        if (auto panel = shared().dockedPopover(window))
            return panel;
    return std::make_unique<InertObjectPanel>();
}
