#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

#include "tessarine_data_model/ModelJsonReader.h"

namespace {
const QString kWeblinkKey = QStringLiteral("weblink");
} // namespace

std::shared_ptr<ZERI_MMAction_WebLink> ZERI_MMAction_WebLink::create(const QUrl& weblink)
{
    auto action = std::make_shared<ZERI_MMAction_WebLink>();
    action->m_weblink = weblink;
    return action;
}

void ZERI_MMAction_WebLink::setWeblink(const QUrl& weblink)
{
    if (m_weblink == weblink)
        return;
    m_weblink = weblink;
    didChange(QStringLiteral("weblink"));
}

QJsonObject ZERI_MMAction_WebLink::makeJsonDictionary() const
{
    QJsonObject dict;
    writeActionType(dict);
    dict.insert(kWeblinkKey, m_weblink.toString(QUrl::FullyEncoded));
    return dict;
}

void ZERI_MMAction_WebLink::readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys)
{
    const QString text = reader.string(kWeblinkKey);
    assign(m_weblink, text.isEmpty() ? QUrl() : QUrl(text, QUrl::TolerantMode), QStringLiteral("weblink"), changedKeys);
}
