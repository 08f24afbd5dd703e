#include "service/ServiceReachability.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include "service/BlockRequester.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ServiceLogging.h"
#include "strings/UFM.h"

namespace {

QNetworkAccessManager& network()
{
    static QNetworkAccessManager* s_manager = new QNetworkAccessManager;
    return *s_manager;
}

// Errors of the connection itself (below 100) and of a proxy (1xx): nothing reached the service.
bool neverReached(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && int(error) < 200;
}

} // namespace

void ServiceReachability::probe(QObject* context, std::function<void(bool reachable)> done)
{
    QPointer<QObject> guard(context);
    const QUrl url = CorvikBlockAPIBinding::apiURL();
    if (!url.isValid() || url.isEmpty()) {
        if (done)
            done(false);
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kProbeTimeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = network().head(request);
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, guard, context, done = std::move(done)] {
        reply->deleteLater();
        const bool reachable = !neverReached(reply->error());
        if (!reachable)
            qCInfo(lcService) << "the service cannot be reached:" << reply->errorString();
        if (done && (guard || !context))
            done(reachable);
    });
}

bool ServiceReachability::isUnreachableError(const Error& error)
{
    return error.domain == QLatin1String("QNetworkReplyError") ||
           (error.domain == QLatin1String("BlockRequesterError") && error.code == BlockRequester::NoServiceAddress);
}

QString ServiceReachability::unreachableText()
{
    return UFM::IT_LOOKS_LIKE_YOU_HAVE_NO_INTERNET() + QLatin1Char(' ') + UFM::CHECK_YOUR_CONNECTION_TEXT();
}
