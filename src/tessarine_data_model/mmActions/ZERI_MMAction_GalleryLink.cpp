#include "tessarine_data_model/mmActions/ZERI_MMAction_GalleryLink.h"

#include "tessarine_data_model/ModelJsonReader.h"

QJsonObject ZERI_MMAction_GalleryLink::makeJsonDictionary() const
{
    QJsonObject dict;
    writeActionType(dict);
    return dict;
}

void ZERI_MMAction_GalleryLink::readProperties(const ModelJsonReader&, ChangedKeys&) {}
