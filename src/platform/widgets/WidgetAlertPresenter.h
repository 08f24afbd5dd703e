#pragma once

#include "platform/AlertPresenter.h"

class QMessageBox;

// Shows alerts as QMessageBox dialogs, titled with the application's name and never narrower than that title
// needs. The first button is the default; a button titled "Cancel" also answers the Escape key. Main thread only.
class WidgetAlertPresenter : public AlertPresenter {
public:
    AlertResponse runModal(const AlertRequest& request, QWidget* parent = nullptr) override;
    void show(const AlertRequest& request, QWidget* parent, std::function<void(const AlertResponse&)> done) override;

    // The dialog for a request, not yet shown; response() reads the answer once it has closed.
    static QMessageBox* makeBox(const AlertRequest& request, QWidget* parent);
    static AlertResponse response(const QMessageBox* box);

    // The room the window manager's title bar takes beside the title: its buttons and icon.
    static constexpr int kTitleBarButtonsWidth = 140;
    // How often a request's becomesMoot is asked while its box is up.
    static constexpr int kMootCheckIntervalMs = 250;
    // The width below which the box's title would not fit in its title bar.
    static int leastWidthForTitle(const QMessageBox* box);
};
