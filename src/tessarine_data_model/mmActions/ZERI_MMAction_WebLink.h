#pragma once

#include <QUrl>

#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

// Opens a web address. E-mail links are web links to a "mailto:" URL; embedded-flow links are web links whose
// URL contains "flowLink://".
class ZERI_MMAction_WebLink : public ZERI_MMAction {
public:
    static std::shared_ptr<ZERI_MMAction_WebLink> create(const QUrl& weblink);

    int type() const override { return WebLink; }
    QString actionTypeText() const override { return QStringLiteral("MMActionTypeWebLink"); }

    QUrl weblink() const { return m_weblink; }
    void setWeblink(const QUrl& weblink);

protected:
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    QUrl m_weblink;
};
