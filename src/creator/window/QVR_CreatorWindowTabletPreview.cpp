// The creator window's tablet preview command.

#include <QApplication>
#include <QPointer>

#include "app/QVRWindowManager.h"
#include "app/ViewerWindowHandle.h"
#include "creator/CreatorLogging.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "service/QVROpenRequest.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

bool QVR_CreatorWindow::canShowiPadPreview() const
{
    // Waits for the viewer library's tablet preview window.
    return QVRWindowManager::hasTabletPreviewWindowFactory() && m_currentModel && currentIndex() >= 0;
}

void QVR_CreatorWindow::performShowiPadPreview(uint)
{
    const auto document = m_currentModel;
    if (!canShowiPadPreview())
        return;
    const int page = currentIndex();
    auto request = QVROpenRequest::request();
    request->setOpenCue(document);
    request->setOptions(QVROpenRequest::TabletPreviewWindow);
    request->open([document, page](const Error& error) {
        if (!error.isNull()) {
            qCWarning(lcCreator) << "the tablet preview did not open:" << error.message;
            return;
        }
        // Play starts at the screen being edited, in the preview that now shows the document.
        QVRWindowManager& manager = QVRWindowManager::sharedInstance();
        ViewerWindowHandle* handle = nullptr;
        QWidget* active = QApplication::activeWindow();
        if (active && manager.kindOfWindow(active) == QVRWindowManager::WindowKind::TabletPreview &&
            manager.documentForWindow(active) == document)
            handle = dynamic_cast<ViewerWindowHandle*>(active);
        // Where activation lags (or is not offered), the newest preview of the document.
        const QList<QWidget*> windows = manager.windows();
        for (auto it = windows.rbegin(); it != windows.rend() && !handle; ++it) {
            QWidget* window = *it;
            if (manager.kindOfWindow(window) == QVRWindowManager::WindowKind::TabletPreview &&
                manager.documentForWindow(window) == document) {
                handle = dynamic_cast<ViewerWindowHandle*>(window);
            }
        }
        if (handle)
            handle->scrollToPage(page, false);
    });
}
