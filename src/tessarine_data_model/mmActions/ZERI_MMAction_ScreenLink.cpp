#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"

#include "tessarine_data_model/ModelJsonReader.h"

namespace {
const QString kScreenIDKey = QStringLiteral("screenID");
const QString kTransitionTypeKey = QStringLiteral("transitionType");
} // namespace

std::shared_ptr<ZERI_MMAction_ScreenLink> ZERI_MMAction_ScreenLink::create(const QString& screenID)
{
    auto action = std::make_shared<ZERI_MMAction_ScreenLink>();
    action->m_screenID = screenID;
    return action;
}

void ZERI_MMAction_ScreenLink::setScreenID(const QString& screenID)
{
    if (m_screenID == screenID)
        return;
    m_screenID = screenID;
    didChange(QStringLiteral("screenID"));
}

void ZERI_MMAction_ScreenLink::setTransitionType(int transitionType)
{
    if (m_transitionType == transitionType)
        return;
    m_transitionType = transitionType;
    didChange(QStringLiteral("transitionType"));
}

QJsonObject ZERI_MMAction_ScreenLink::makeJsonDictionary() const
{
    QJsonObject dict;
    writeActionType(dict);
    dict.insert(kScreenIDKey, m_screenID);
    dict.insert(kTransitionTypeKey, m_transitionType);
    return dict;
}

void ZERI_MMAction_ScreenLink::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    assign(m_screenID, reader.string(kScreenIDKey), QStringLiteral("screenID"), changedKeys);
    assign(m_transitionType, reader.integer(kTransitionTypeKey, Slide), QStringLiteral("transitionType"), changedKeys);
}
