#pragma once

#include <QUrl>

#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

// Opens a web address. E-mail links are web links to a "mailto:" URL; embedded-flow links are web links whose
// text is a "flowLink://stringID=…" link. The text is kept exactly as written: a flow link is no valid URL, and
// reading it through QUrl would lose it on the next save.
class ZERI_MMAction_WebLink : public ZERI_MMAction {
public:
    static std::shared_ptr<ZERI_MMAction_WebLink> create(const QUrl& weblink);
    static std::shared_ptr<ZERI_MMAction_WebLink> createWithText(const QString& weblinkText);

    int type() const override { return WebLink; }
    QString actionTypeText() const override { return QStringLiteral("MMActionTypeWebLink"); }

    QUrl weblink() const { return QUrl(m_weblinkText, QUrl::TolerantMode); }
    void setWeblink(const QUrl& weblink);
    QString weblinkText() const { return m_weblinkText; }
    void setWeblinkText(const QString& text);

protected:
    QJsonObject makeJsonDictionary() const override;
    void readProperties(const ModelJsonReader& reader, ChangedKeys& changedKeys) override;

private:
    QString m_weblinkText;
};
