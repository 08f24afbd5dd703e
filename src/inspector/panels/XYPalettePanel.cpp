#include "inspector/panels/XYPalettePanel.h"

#include <QPointer>

#include "inspector/panels/QVRXYPaletteView.h"

namespace {

class XYPalettePanel : public CreatorObjectPanel {
public:
    XYPalettePanel()
        : m_view(new QVRXYPaletteView)
    {
    }
    // The dock may have taken the palette as its child and deleted it already.
    ~XYPalettePanel() override { delete m_view; }
    QWidget* widget() override { return m_view; }
    void setHidden(bool hidden) override
    {
        if (m_view)
            m_view->setHidden(hidden);
    }
    void setTrackedMixedMediaObjects(const std::vector<std::shared_ptr<ZERI_MixedMediaObjectProxy>>& objects) override
    {
        if (m_view)
            m_view->setTrackedMixedMediaObjects(objects);
    }

private:
    QPointer<QVRXYPaletteView> m_view;
};

} // namespace

std::unique_ptr<CreatorObjectPanel> makeXYPalettePanel(QWidget*)
{
    return std::make_unique<XYPalettePanel>();
}
