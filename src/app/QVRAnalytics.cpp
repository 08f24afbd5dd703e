#include "app/QVRAnalytics.h"

#include <QDateTime>
#include <QJsonObject>

#include "app/AppLogging.h"
#include "app/QVRActionLog.h"
#include "foundation/Tessutils.h"
#include "platform/MainThread.h"

QString QVRAnalytics::signedInUserName()
{
    if (Tessutils::corvikAuthToken().isEmpty())
        return {};
    return Tessutils::corvikUserDict().stringForKey(QStringLiteral("username"));
}

void QVRAnalytics::logEvent(const QString& name, const QVariantMap& parameters)
{
    logEventForDocumentID(name, parameters, QString());
}

void QVRAnalytics::logEventForDocumentID(const QString& name, const QVariantMap& parameters,
                                         const QString& documentServerID)
{
    if (!MainThread::isMainThread()) {
        MainThread::run(
            [name, parameters, documentServerID] { logEventForDocumentID(name, parameters, documentServerID); }, false);
        return;
    }
    if (name.isEmpty())
        return;
    QVariantMap allParameters = parameters;
    const QString user = signedInUserName();
    if (!user.isEmpty())
        allParameters.insert(QStringLiteral("username"), user);
    if (!documentServerID.isEmpty())
        allParameters.insert(QStringLiteral("tessarine_id"), documentServerID);

    QJsonObject record{
        {QStringLiteral("name"), name},
        {QStringLiteral("parameters"), QJsonObject::fromVariantMap(allParameters)},
        {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
    };
    if (!user.isEmpty())
        record.insert(QStringLiteral("user"), user);
    if (!documentServerID.isEmpty())
        record.insert(QStringLiteral("document_id"), documentServerID);
    qCDebug(lcApp) << "analytics event" << name;
    QVRActionLog::shared().append(record);
}
