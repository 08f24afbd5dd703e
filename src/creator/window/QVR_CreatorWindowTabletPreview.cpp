// The creator window's tablet preview command.

#include "app/QVRWindowManager.h"
#include "creator/canvas/QVR_CreatorCanvasView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "creator/window/QVR_CreatorWindow.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

bool QVR_CreatorWindow::canShowiPadPreview() const
{
    // Waits for the viewer library's tablet preview window.
    return QVRWindowManager::hasTabletPreviewWindowFactory() && m_currentModel && currentIndex() >= 0;
}

void QVR_CreatorWindow::performShowiPadPreview(uint)
{
    if (canShowiPadPreview())
        m_canvas->launchiPadPreviewMode();
}
