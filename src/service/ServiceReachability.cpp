#include "service/ServiceReachability.h"

#include <memory>

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

int& probeTimeoutMs()
{
    static int s_timeout = ServiceReachability::kProbeTimeoutMs;
    return s_timeout;
}

// Errors of the connection itself (below 100) and of a proxy (1xx): nothing reached the service. A question that
// was sent and then ran out of time did reach it: the service is there, only slow.
bool neverReached(QNetworkReply::NetworkError error, bool questionSent)
{
    const bool timedOut = error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError;
    if (timedOut && questionSent)
        return false;
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
    request.setTransferTimeout(probeTimeoutMs());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = network().head(request);
    const auto sent = std::make_shared<bool>(false);
    QObject::connect(reply, &QNetworkReply::requestSent, reply, [sent] { *sent = true; });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, sent, guard, context, done = std::move(done)] {
        reply->deleteLater();
        const bool reachable = !neverReached(reply->error(), *sent);
        if (reachable && reply->error() != QNetworkReply::NoError && int(reply->error()) < 200)
            qCInfo(lcService) << "the service is slow to answer; it counts as reachable";
        if (!reachable)
            qCInfo(lcService) << "the service cannot be reached:" << reply->errorString();
        if (done && (guard || !context))
            done(reachable);
    });
}

void ServiceReachability::setProbeTimeoutMsForTesting(int milliseconds)
{
    probeTimeoutMs() = milliseconds > 0 ? milliseconds : kProbeTimeoutMs;
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
