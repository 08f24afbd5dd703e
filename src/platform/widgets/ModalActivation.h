#pragma once

class QWidget;

// A window-modal dialog keeps the keyboard: when the window it blocks is activated (a click on it, a window
// manager that does not hand the focus on to the dialog), the dialog is raised and activated again, so that what
// the user types next reaches it. Lasts as long as the dialog.
namespace ModalActivation {

void keepOnDialog(QWidget* dialog);

} // namespace ModalActivation
