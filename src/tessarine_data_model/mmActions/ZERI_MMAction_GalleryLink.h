#pragma once

#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

// Opens the gallery of the object that carries it.
class ZERI_MMAction_GalleryLink : public ZERI_MMAction {
public:
    static std::shared_ptr<ZERI_MMAction_GalleryLink> create() { return std::make_shared<ZERI_MMAction_GalleryLink>(); }

    int type() const override { return GalleryLink; }
    QString actionTypeText() const override { return QStringLiteral("galleryLink"); }

protected:
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;
};
