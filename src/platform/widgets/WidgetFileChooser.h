#pragma once

#include "platform/FileChooser.h"

class QFileDialog;

// Asks through QFileDialog. A request with a check box uses Qt's own dialog, which can hold the extra widget.
// Main thread only.
class WidgetFileChooser : public FileChooser {
public:
    FileChooserResponse runModal(const FileChooserRequest& request, QWidget* parent = nullptr) override;
    void show(const FileChooserRequest& request, QWidget* parent,
              std::function<void(const FileChooserResponse&)> done) override;

    // The dialog for a request, not yet shown; response() reads the answer once it has closed.
    static QFileDialog* makeDialog(const FileChooserRequest& request, QWidget* parent);
    static FileChooserResponse response(const QFileDialog* dialog, int result);
    // "Files (*.png *.PNG *.jpg *.JPG)" for {"png", "jpg"}; empty for no extensions.
    static QString nameFilter(const QStringList& extensions);
};
