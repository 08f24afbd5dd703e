#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

#include "tessarine_data_model/ModelJsonReader.h"

namespace {
const QString kWeblinkKey = QStringLiteral("weblink");
} // namespace

std::shared_ptr<ZERI_MMAction_WebLink> ZERI_MMAction_WebLink::create(const QUrl& weblink)
{
    return createWithText(weblink.toString(QUrl::FullyEncoded));
}

std::shared_ptr<ZERI_MMAction_WebLink> ZERI_MMAction_WebLink::createWithText(const QString& weblinkText)
{
    auto action = std::make_shared<ZERI_MMAction_WebLink>();
    action->m_weblinkText = weblinkText;
    return action;
}

void ZERI_MMAction_WebLink::setWeblink(const QUrl& weblink)
{
    setWeblinkText(weblink.toString(QUrl::FullyEncoded));
}

void ZERI_MMAction_WebLink::setWeblinkText(const QString& text)
{
    if (m_weblinkText == text)
        return;
    m_weblinkText = text;
    didChange(QStringLiteral("weblink"));
}

QJsonObject ZERI_MMAction_WebLink::makeJsonDictionary() const
{
    QJsonObject dict;
    writeActionType(dict);
    dict.insert(kWeblinkKey, m_weblinkText);
    return dict;
}

void ZERI_MMAction_WebLink::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    assign(m_weblinkText, reader.string(kWeblinkKey), QStringLiteral("weblink"), changedKeys);
}
