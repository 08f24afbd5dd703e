#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QTemporaryDir>

#include "app/QVRActionLog.h"
#include "app/QVRAppDelegate.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/widgets/LinkOpener.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ExternalWebSites.h"
#include "service/QVROpenRequest.h"
#include "service/ServiceWebSite.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace sharetest {

struct Notification {
    QString title;
    QString text;
};

// A fake service with "ann" signed in, an action log that keeps every event, a recording opener, a
// notification sink and fixed network roots; everything is put back afterwards.
class ScopedShareEnvironment {
public:
    ScopedShareEnvironment()
        : m_log(m_folder.filePath(QStringLiteral("actionlog.json")),
                [](const QByteArray&, std::function<void(bool)>) {})
    {
        QVRActionLog::setSharedForTesting(&m_log);
        m_started = service.start() && CorvikBlockAPIBinding::setAPIURL(service.baseUrl());
        CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
        CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
        const FakeWebService::User ann = service.addUser(QStringLiteral("ann"));
        Tessutils::setCorvikAuthToken(ann.token);
        Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{QStringLiteral("username"), QStringLiteral("ann")}}));
        QVRAppDelegate::setUserNotificationRecorderForTesting(
            [this](const QString& title, const QString&, const QString& text) {
                notifications.append({title, text});
            });
        ExternalWebSites::setRoot(ExternalWebSites::Site::Facebook, QUrl(QStringLiteral("https://fb.example")));
        ExternalWebSites::setRoot(ExternalWebSites::Site::Twitter, QUrl(QStringLiteral("https://tw.example")));
        ExternalWebSites::setRoot(ExternalWebSites::Site::LinkedIn, QUrl(QStringLiteral("https://li.example")));
        ExternalWebSites::setRoot(ExternalWebSites::Site::Gmail, QUrl(QStringLiteral("https://gm.example")));
        ExternalWebSites::setFacebookAppID(QStringLiteral("TEST-APP"));
        ServiceWebSite::setRoot(QUrl(QStringLiteral("https://maker.example")));
        m_previousShortHost = QVROpenRequest::shortLinkHost();
        QVROpenRequest::setShortLinkHost(QStringLiteral("short.example"));
        m_previousWebHost = ZERI_TessarineModel::publishWebHost();
        ZERI_TessarineModel::setPublishWebHost(QStringLiteral("pub.example"));
    }
    ~ScopedShareEnvironment()
    {
        ZERI_TessarineModel::setPublishWebHost(m_previousWebHost);
        QVROpenRequest::setShortLinkHost(m_previousShortHost);
        ServiceWebSite::setRoot(QUrl());
        ExternalWebSites::setFacebookAppID(QString());
        for (auto site : {ExternalWebSites::Site::Facebook, ExternalWebSites::Site::Twitter,
                          ExternalWebSites::Site::LinkedIn, ExternalWebSites::Site::Gmail})
            ExternalWebSites::setRoot(site, QUrl());
        QVRAppDelegate::setUserNotificationRecorderForTesting({});
        Tessutils::setCorvikUserDict(std::nullopt);
        Tessutils::setCorvikAuthToken(QString());
        QVRActionLog::setSharedForTesting(nullptr);
    }
    bool started() const { return m_started; }

    QList<QJsonObject> events(const QString& name) const
    {
        QList<QJsonObject> found;
        for (const QJsonValue& value : m_log.backlog()) {
            if (value.toObject().value(QStringLiteral("name")).toString() == name)
                found.append(value.toObject());
        }
        return found;
    }

    // "My Big Idea", published as "abc" (server id "42").
    static std::shared_ptr<ZERI_TessarineModel> publishedDocument(const QString& alias = QString())
    {
        auto document = ZERI_TessarineModel::create();
        document->firstFlowmodel()->setTitle(QStringLiteral("My Big Idea"));
        document->setStringID(QStringLiteral("abc"));
        document->setApiID(QStringLiteral("42"));
        document->setAlias(alias);
        return document;
    }

    FakeWebService service;
    ScopedRecordingLinkOpener opener;
    QList<Notification> notifications;

private:
    QTemporaryDir m_folder;
    QVRActionLog m_log;
    bool m_started = false;
    QString m_previousShortHost;
    QString m_previousWebHost;
};

} // namespace sharetest
