#pragma once

#include <memory>

#include "tessarine_data_model/TessarineDataModelItem.h"

// A link action carried by a mixed-media object (its parent): followed when the object is clicked in play
// mode. The subclass is chosen by the dictionary's "action_type" text.
class ZERI_MMAction : public TessarineDataModelItem {
public:
    enum Type { WebLink = 1, ScreenLink = 2, FlowLink = 3, GalleryLink = 4 };

    virtual int type() const = 0;
    virtual QString actionTypeText() const = 0;

    // The action named by "action_type". nullptr for a missing or unknown "action_type" (logged, no error)
    // and for a value of the wrong kind (with `error`).
    static std::shared_ptr<ZERI_MMAction> initWithDict(const QJsonObject& dict, Error* error = nullptr);
    // As initWithDict inside a larger read: faults go to the reader's status.
    static std::shared_ptr<ZERI_MMAction> actionFromReader(const ModelJsonReader& reader);
    // An independent copy with no parent.
    std::shared_ptr<ZERI_MMAction> copy() const;

    static const QString kActionTypeKey;

protected:
    ZERI_MMAction() = default;
    void writeActionType(QJsonObject& dict) const;
};
