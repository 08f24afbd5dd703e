#include "tessarine_data_model/mmActions/ZERI_MMAction_FlowLink.h"

#include "tessarine_data_model/ModelJsonReader.h"

namespace {
const QString kFlowLinkKey = QStringLiteral("flowLink");
} // namespace

void ZERI_MMAction_FlowLink::setFlowLink(const QString& flowLink)
{
    if (m_flowLink == flowLink)
        return;
    m_flowLink = flowLink;
    didChange(QStringLiteral("flowLink"));
}

QJsonObject ZERI_MMAction_FlowLink::makeJsonDictionary() const
{
    QJsonObject dict;
    writeActionType(dict);
    dict.insert(kFlowLinkKey, m_flowLink);
    return dict;
}

void ZERI_MMAction_FlowLink::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    assign(m_flowLink, reader.string(kFlowLinkKey), QStringLiteral("flowLink"), changedKeys);
}
