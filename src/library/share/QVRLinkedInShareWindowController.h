#pragma once

#include "library/share/ShareNetworkWindowController.h"

// The LinkedIn window of the share sheet: the network's share page for the document, titled "LinkedIn".
class QVRLinkedInShareWindowController : public ShareNetworkWindowController {
    Q_OBJECT
public:
    explicit QVRLinkedInShareWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel,
                                              QObject* parent = nullptr)
        : ShareNetworkWindowController(std::move(tessarineModel), ShareLinks::Channel::LinkedIn, parent)
    {
    }

protected:
    QString windowTitle() const override { return QStringLiteral("LinkedIn"); }
};
