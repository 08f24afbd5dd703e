#pragma once

#include "inspector/popovers/QVRMMObjToolbarPopoverBase.h"

// The popover of an audio object: only the dock and stacking-order buttons, the dock button first docked or not.
class QVRAudioMMObjToolbarPopoverController : public QVRMMObjToolbarPopoverBase {
    Q_OBJECT
public:
    explicit QVRAudioMMObjToolbarPopoverController(bool docked)
        : QVRMMObjToolbarPopoverBase(docked)
    {
    }

    void setupMMObjDefaultToolbarViews() override
    {
        QVRMMObjToolbarPopoverBase::setupMMObjDefaultToolbarViews();
        if (!m_dockButton || !m_forwardButton || !m_backButton)
            return;
        // The dock button leads in both looks.
        setToolbarViews({m_dockButton, m_forwardButton, m_backButton});
    }
};
