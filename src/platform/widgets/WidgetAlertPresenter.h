#pragma once

#include "platform/AlertPresenter.h"

class QMessageBox;

// Shows alerts as QMessageBox dialogs. The first button is the default; a button titled "Cancel" also answers
// the Escape key. Main thread only.
class WidgetAlertPresenter : public AlertPresenter {
public:
    AlertResponse runModal(const AlertRequest& request, QWidget* parent = nullptr) override;
    void show(const AlertRequest& request, QWidget* parent, std::function<void(const AlertResponse&)> done) override;

    // The dialog for a request, not yet shown; response() reads the answer once it has closed.
    static QMessageBox* makeBox(const AlertRequest& request, QWidget* parent);
    static AlertResponse response(const QMessageBox* box);
};
