#pragma once

#include <QObject>
#include <QPointer>

#include "controls/INAppStoreWindow.h"
#include "library/themes/QVR_TemplateChooserViewController.h"

// The template chooser's window: one at a time, made on first use and deleted when closed (with its chooser,
// preview, loading view and precache manager); the next sharedInstance() builds a fresh one.
class QVRTemplateChooserWindowController : public QObject {
    Q_OBJECT
public:
    static QVRTemplateChooserWindowController* sharedInstance();
    // The shared instance if there is one, without making it.
    static QVRTemplateChooserWindowController* existingInstance();

    INAppStoreWindow* myWindow() const { return m_window; }
    QVR_TemplateChooserViewController* templateChooserViewController() const { return m_chooser; }

    // Shows the window in front and makes it key.
    void showWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVRTemplateChooserWindowController();
    ~QVRTemplateChooserWindowController() override;
    void windowDidLoad();

    QPointer<INAppStoreWindow> m_window;
    QPointer<QVR_TemplateChooserViewController> m_chooser;
};
