#pragma once

#include "library/share/ShareNetworkWindowController.h"

// The Gmail window of the share sheet: the network's share page for the document, titled "Gmail".
class QVRGmailShareWindowController : public ShareNetworkWindowController {
    Q_OBJECT
public:
    explicit QVRGmailShareWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel,
                                           QObject* parent = nullptr)
        : ShareNetworkWindowController(std::move(tessarineModel), ShareLinks::Channel::Gmail, parent)
    {
    }

protected:
    QString windowTitle() const override { return QStringLiteral("Gmail"); }
};
