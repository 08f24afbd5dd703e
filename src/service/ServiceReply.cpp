#include "service/ServiceReply.h"

#include <QJsonDocument>

#include "foundation/SafeDictionary.h"
#include "service/BlockRequester.h"
#include "service/ZERI_APIBinding.h"

Error ServiceReply::asError() const
{
    return ZERI_APIBinding::errorFromApiErrorDict(SafeDictionary(error));
}

ServiceReply ServiceReply::parse(const QString& text)
{
    ServiceReply reply;
    reply.json = QJsonDocument::fromJson(text.toUtf8()).object();
    if (!reply.json.contains(QStringLiteral("error"))) {
        reply.outcome = Outcome::Success;
        return reply;
    }
    reply.error = reply.json.value(QStringLiteral("error")).toObject();
    const QString domain = reply.error.value(QStringLiteral("domainCode")).toString();
    const QJsonValue codeValue = reply.error.value(QStringLiteral("errorCode"));
    const int code = codeValue.isString() ? codeValue.toString().toInt() : codeValue.toInt();
    if (domain == QLatin1String("QNetworkReplyError") ||
        (domain == QLatin1String("BlockRequesterError") && code == BlockRequester::NoServiceAddress))
        reply.outcome = Outcome::ConnectionFailure;
    else if (code == 404 && (domain.isEmpty() || domain == QLatin1String("BlockRequesterHTTPError")))
        reply.outcome = Outcome::NotFound;
    else
        reply.outcome = Outcome::Failure;
    return reply;
}
