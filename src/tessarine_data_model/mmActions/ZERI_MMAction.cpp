#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_FlowLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_GalleryLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

const QString ZERI_MMAction::kActionTypeKey = QStringLiteral("action_type");

std::shared_ptr<ZERI_MMAction> ZERI_MMAction::actionFromReader(const ModelJsonReader& reader)
{
    const QString typeText = reader.string(kActionTypeKey);
    std::shared_ptr<ZERI_MMAction> action;
    if (typeText == QLatin1String("MMActionScreenLink"))
        action = std::make_shared<ZERI_MMAction_ScreenLink>();
    else if (typeText == QLatin1String("MMActionTypeWebLink"))
        action = std::make_shared<ZERI_MMAction_WebLink>();
    else if (typeText == QLatin1String("galleryLink"))
        action = std::make_shared<ZERI_MMAction_GalleryLink>();
    else if (typeText == QLatin1String("MMActionTypeFlowLink"))
        action = std::make_shared<ZERI_MMAction_FlowLink>();
    if (!action) {
        if (reader.ok())
            qCWarning(lcTessarineDataModel)
                << "ignoring a link action of unknown type" << typeText << "at" << reader.path();
        return nullptr;
    }
    action->readFromReader(reader, false);
    return action;
}

std::shared_ptr<ZERI_MMAction> ZERI_MMAction::initWithDict(const QJsonObject& dict, Error* error)
{
    ModelReadStatus status;
    auto action = actionFromReader(ModelJsonReader(dict, QString(), status));
    if (status.failed()) {
        setError(error, status.error());
        return nullptr;
    }
    return action;
}

std::shared_ptr<ZERI_MMAction> ZERI_MMAction::copy() const
{
    return initWithDict(jsonDictionary());
}

void ZERI_MMAction::writeActionType(QJsonObject& dict) const
{
    dict.insert(kActionTypeKey, actionTypeText());
}
