#pragma once

#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

// Opens another flow or presentation. The editor writes such links as web links; this form is read and kept so
// that documents carrying it survive a round trip.
class ZERI_MMAction_FlowLink : public ZERI_MMAction {
public:
    int type() const override { return FlowLink; }
    QString actionTypeText() const override { return QStringLiteral("MMActionTypeFlowLink"); }

    QString flowLink() const { return m_flowLink; }
    void setFlowLink(const QString& flowLink);

protected:
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    QString m_flowLink;
};
