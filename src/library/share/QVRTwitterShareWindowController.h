#pragma once

#include "library/share/ShareNetworkWindowController.h"

// The Twitter window of the share sheet: the network's share page for the document, titled "Twitter".
class QVRTwitterShareWindowController : public ShareNetworkWindowController {
    Q_OBJECT
public:
    explicit QVRTwitterShareWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel,
                                             QObject* parent = nullptr)
        : ShareNetworkWindowController(std::move(tessarineModel), ShareLinks::Channel::Twitter, parent)
    {
    }

protected:
    QString windowTitle() const override { return QStringLiteral("Twitter"); }
};
