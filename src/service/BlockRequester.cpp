#include "service/BlockRequester.h"

#include <algorithm>
#include <utility>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QHttpMultiPart>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTimer>

#include "foundation/ApplicationNetworkAccess.h"
#include "foundation/Tessutils.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "service/SelfHeldObjects.h"
#include "service/ServiceLogging.h"

namespace {

const QString kHttpErrorDomain = QStringLiteral("BlockRequesterHTTPError");
const QString kRequesterErrorDomain = QStringLiteral("BlockRequesterError");
const QString kNetworkErrorDomain = QStringLiteral("QNetworkReplyError");

// Replies above this size are checked on a worker: parsing a document of several megabytes on the main
// thread would stall the user interface.
constexpr qsizetype kInlineReplyCheckBytes = 256 * 1024;

struct SharedConfiguration {
    QMutex mutex;
    BlockRequester::Configuration value;
};

SharedConfiguration& sharedConfiguration()
{
    static SharedConfiguration configuration;
    return configuration;
}

std::atomic<int> g_transferTimeoutMs{BlockRequester::kDefaultTransferTimeoutMs};
std::atomic<qint64> g_maxReplyBytes{BlockRequester::kDefaultMaxReplyBytes};

// Lives on the main thread and goes away as the application starts to go (see ApplicationNetworkAccess).
QNetworkAccessManager* networkManager()
{
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        manager = ApplicationNetworkAccess::newManager();
        // Redirects are followed only within the same scheme, host and port: the body carries the signature
        // and tokens, and must never be re-sent to another host or over plain http.
        manager->setRedirectPolicy(QNetworkRequest::SameOriginRedirectPolicy);
    }
    return manager;
}

// The service's own workers, so that long jobs other parts of the application put on the shared background threads
// (file copies, video work) never hold a request back. Made on the main thread; they end with the application, which
// waits for the running jobs and drops the others (their results would have nobody to go to).
WorkerThreads& workers()
{
    static WorkerThreads* workers = nullptr;
    if (!workers) {
        workers = new WorkerThreads(4, QStringLiteral("service worker"));
        QObject::connect(QCoreApplication::instance(), &QObject::destroyed,
                         [] { delete std::exchange(workers, nullptr); });
    }
    return *workers;
}

void runOnMainThread(std::function<void()> work)
{
    // No application object means the process is ending: nobody is left to receive the result.
    if (QCoreApplication::instance())
        MainThread::run(std::move(work), false);
}

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

QByteArray appVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QByteArrayLiteral(TESS_APP_VERSION) : version.toUtf8();
}

// Quotes and line breaks cannot appear inside a Content-Disposition value; they are percent-encoded as
// browsers do.
QByteArray dispositionValue(const QString& text)
{
    QByteArray value = text.toUtf8();
    value.replace('"', "%22");
    value.replace('\r', "%0D");
    value.replace('\n', "%0A");
    return value;
}

QByteArray percentEncoded(const QString& text)
{
    return QUrl::toPercentEncoding(text);
}

} // namespace

struct BlockRequester::PreparedRequest {
    // The multipart object belongs to the main thread once built; whoever drops it last may be a worker.
    struct DeleteLater {
        void operator()(QHttpMultiPart* multiPart) const { multiPart->deleteLater(); }
    };

    QUrl url;
    QByteArray contentType;
    QByteArray body;                                        // the whole body, when there are no files
    std::unique_ptr<QHttpMultiPart, DeleteLater> multiPart; // the body, when there are files
    Error error;                                            // set when the body could not be built
};

BlockRequester::BlockRequester(Verb verb, QString method, Completion completion)
    : m_verb(verb)
    , m_method(std::move(method))
    , m_completion(std::move(completion))
{
}

BlockRequester::~BlockRequester()
{
    if (m_reply)
        m_reply->deleteLater();
}

std::shared_ptr<BlockRequester> BlockRequester::post(const QString& method, const Parameters& parameters,
                                                     Completion completion, const QList<FilePart>& files,
                                                     UploadProgress progress)
{
    return start(Verb::Post, method, parameters, std::move(completion), files, std::move(progress));
}

std::shared_ptr<BlockRequester> BlockRequester::get(const QString& method, const Parameters& parameters,
                                                    Completion completion)
{
    return start(Verb::Get, method, parameters, std::move(completion), {}, {});
}

std::shared_ptr<BlockRequester> BlockRequester::start(Verb verb, const QString& method, const Parameters& parameters,
                                                      Completion completion, const QList<FilePart>& files,
                                                      UploadProgress progress)
{
    std::shared_ptr<BlockRequester> requester(new BlockRequester(verb, method, std::move(completion)));
    requester->m_uploadProgress = std::move(progress);
    const Configuration configuration = BlockRequester::configuration();
    if (!configuration.apiURL.isValid()) {
        qCWarning(lcService) << "web API call" << method << "made before the service address was set";
        requester->fail(kRequesterErrorDomain, NoServiceAddress, QStringLiteral("The web service address is not set."));
        return requester;
    }

    QUrl url = configuration.apiURL;
    url.setPath(url.path().chopped(url.path().endsWith(QLatin1Char('/')) ? 1 : 0) + QLatin1String(kApiPath));
    requester->m_safeUrl = url;

    Parameters signedFields;
    signedFields.reserve(parameters.size() + 3);
    signedFields.append({QStringLiteral("method"), method});
    signedFields.append({QStringLiteral("format"), QStringLiteral("json")});
    bool passesAuthToken = false;
    for (const auto& field : parameters) {
        if (field.first == QLatin1String("method") || field.first == QLatin1String("format"))
            continue; // always sent by the requester itself, once
        passesAuthToken = passesAuthToken || field.first == QLatin1String("auth_token");
        signedFields.append(field);
    }
    signedFields.append({QStringLiteral("api_key"), configuration.apiKey});

    // Sent but never signed: the version, and the signed-in user's token when the method does not pass one.
    Parameters unsignedFields{{QStringLiteral("app_version_num"), QString::fromUtf8(appVersion())}};
    if (!passesAuthToken) {
        const QString token = Tessutils::corvikAuthToken();
        if (!token.isEmpty())
            unsignedFields.append({QStringLiteral("auth_token"), token});
    }

    const QString password = configuration.apiPassword;
    // The worker holds only a weak reference, so a cancelled request is dropped without being built.
    holdSelf(requester);
    std::weak_ptr<BlockRequester> weak = requester;
    workers().post([weak, verb, url, password, signedFields, unsignedFields, files]() {
        {
            auto alive = weak.lock();
            if (!alive || alive->isCancelled())
                return;
        }
        auto prepared = std::make_shared<PreparedRequest>();
        prepared->url = url;
        const QString signature = apiSignature(password, signedFields);
        Parameters allFields = signedFields;
        allFields.append({QStringLiteral("api_sig"), signature});
        allFields.append(unsignedFields);

        if (verb == Verb::Get) {
            QByteArray query;
            for (const auto& [key, value] : allFields) {
                if (!query.isEmpty())
                    query += '&';
                query += percentEncoded(key) + '=' + percentEncoded(value);
            }
            prepared->url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
        } else {
            QByteArray boundary = "TessarineFormBoundary";
            for (int i = 0; i < 4; ++i)
                boundary += QByteArray::number(QRandomGenerator::global()->generate(), 16);
            prepared->contentType = "multipart/form-data; boundary=" + boundary;
            const auto textPartHeader = [&boundary](const QString& key) {
                return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + dispositionValue(key) +
                       "\"\r\n\r\n";
            };
            if (files.isEmpty()) {
                // One contiguous body: the network layer sends it without another copy.
                QByteArray& body = prepared->body;
                qsizetype expected = 64;
                for (const auto& field : allFields)
                    expected += field.first.size() + field.second.size() * 3 + boundary.size() + 64;
                body.reserve(expected);
                for (const auto& [key, value] : allFields) {
                    body += textPartHeader(key);
                    body += value.toUtf8();
                    body += "\r\n";
                }
                body += "--" + boundary + "--\r\n";
            } else {
                // Files are streamed from disk while the request is sent, never held in memory whole.
                auto* multiPart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
                multiPart->setBoundary(boundary);
                for (const auto& [key, value] : allFields) {
                    QHttpPart part;
                    part.setRawHeader("Content-Disposition", "form-data; name=\"" + dispositionValue(key) + '"');
                    part.setBody(value.toUtf8());
                    multiPart->append(part);
                }
                for (const FilePart& filePart : files) {
                    auto* file = new QFile(filePart.filePath, multiPart);
                    if (!file->open(QIODevice::ReadOnly)) {
                        prepared->error =
                            Error(kRequesterErrorDomain, UnreadableFile,
                                  QStringLiteral("Cannot read %1: %2").arg(filePart.filePath, file->errorString()));
                        break;
                    }
                    const QString fileName =
                        filePart.fileName.isEmpty() ? QFileInfo(filePart.filePath).fileName() : filePart.fileName;
                    QHttpPart part;
                    part.setRawHeader("Content-Disposition", "form-data; name=\"" +
                                                                 dispositionValue(filePart.fieldName) +
                                                                 "\"; filename=\"" + dispositionValue(fileName) + '"');
                    part.setRawHeader("Content-Type", filePart.contentType.toLatin1());
                    part.setBodyDevice(file);
                    multiPart->append(part);
                }
                multiPart->moveToThread(QCoreApplication::instance()->thread());
                prepared->multiPart.reset(multiPart);
            }
        }

        runOnMainThread([weak, prepared]() {
            if (auto alive = weak.lock())
                alive->send(prepared);
        });
    });
    return requester;
}

void BlockRequester::send(const std::shared_ptr<PreparedRequest>& prepared)
{
    std::shared_ptr<BlockRequester> self = std::move(m_keepAlive);
    if (isCancelled())
        return;
    if (!prepared->error.isNull()) {
        fail(prepared->error.domain, prepared->error.code, prepared->error.message);
        return;
    }

    QNetworkRequest request(prepared->url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Qt reports upload progress at most every 100 ms by default; the requester does its own pacing, so the
    // handler sees the body's progress as finely as its interval allows.
    if (m_uploadProgress)
        request.setAttribute(QNetworkRequest::EmitAllUploadProgressSignalsAttribute, true);
    QNetworkAccessManager* manager = networkManager();
    if (m_verb == Verb::Post && prepared->multiPart) {
        QHttpMultiPart* multiPart = prepared->multiPart.release();
        m_reply = manager->post(request, multiPart);
        multiPart->setParent(m_reply); // it must outlive the upload
    } else if (m_verb == Verb::Post) {
        request.setHeader(QNetworkRequest::ContentTypeHeader, prepared->contentType);
        m_reply = manager->post(request, prepared->body);
    } else {
        m_reply = manager->get(request);
    }
    qCDebug(lcService) << "sending" << m_method << "to" << m_safeUrl.toString() << prepared->body.size() << "bytes";

    QNetworkReply* reply = m_reply;
    m_idleTimer = new QTimer(reply);
    m_idleTimer->setSingleShot(true);
    QObject::connect(m_idleTimer, &QTimer::timeout, reply, [this, reply]() {
        m_timedOut = true;
        reply->abort();
    });
    restartIdleTimer();

    // The connections hold the requester until the reply is deleted.
    QObject::connect(reply, &QNetworkReply::uploadProgress, reply, [self](qint64 sent, qint64 total) {
        self->restartIdleTimer();
        self->onUploadProgress(sent, total);
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [self, reply](qint64 received, qint64 total) {
        self->restartIdleTimer();
        const qint64 cap = g_maxReplyBytes.load();
        if (!self->m_tooLarge && (received > cap || total > cap)) {
            self->m_tooLarge = true;
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [self]() { self->onFinished(); });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [self](const QList<QSslError>& errors) {
        // Verification stays on: the reply fails with the TLS error, which reaches the caller.
        qCWarning(lcService) << "TLS verification failed for" << self->m_safeUrl.toString() << errors.size()
                             << "errors; the request is refused";
    });
}

void BlockRequester::restartIdleTimer()
{
    if (m_idleTimer)
        m_idleTimer->start(g_transferTimeoutMs.load());
}

void BlockRequester::onUploadProgress(qint64 sent, qint64 total)
{
    if (!m_uploadProgress || isCancelled() || total <= 0)
        return;
    sent = std::clamp<qint64>(sent, 0, total);
    // A body sent again starts from zero; its progress is reported once it passes what was reported.
    if (sent <= m_reportedBytesSent)
        return;
    const bool whole = sent == total;
    if (!whole && m_sinceProgressReport.isValid() && m_sinceProgressReport.elapsed() < kUploadProgressIntervalMs)
        return;
    m_reportedBytesSent = sent;
    m_sinceProgressReport.start();
    // A copy: the handler may cancel this request, which drops the member.
    const UploadProgress handler = m_uploadProgress;
    handler(sent, total);
}

void BlockRequester::onFinished()
{
    m_uploadProgress = nullptr;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    if (m_idleTimer)
        m_idleTimer->stop();
    if (isCancelled())
        return;

    if (m_timedOut) {
        fail(kNetworkErrorDomain, QNetworkReply::TimeoutError,
             QStringLiteral("The web service did not answer within %1 s.").arg(g_transferTimeoutMs.load() / 1000.0));
        return;
    }
    if (m_tooLarge) {
        fail(kRequesterErrorDomain, ReplyTooLarge, QStringLiteral("The web service's reply is too large."));
        return;
    }

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        if (reply->error() != QNetworkReply::NoError) {
            // Qt names the whole address in its messages; the query of a GET holds tokens and passwords.
            QString description = reply->errorString();
            const QUrl full = reply->request().url();
            for (const QString& form : {full.toString(), full.toString(QUrl::FullyEncoded), full.toDisplayString()})
                description.replace(form, m_safeUrl.toString());
            fail(kNetworkErrorDomain, int(reply->error()), description);
        } else {
            fail(kRequesterErrorDomain, NoHeaderFields,
                 QStringLiteral("The requested content is currently unavailable."));
        }
        return;
    }

    const int httpStatus = status.toInt();
    const QByteArray body = reply->readAll();
    if (httpStatus < 200 || httpStatus >= 300)
        qCWarning(lcService) << "web API call" << m_method << "answered with HTTP status" << httpStatus;
    if (body.size() <= kInlineReplyCheckBytes) {
        deliver(replyTextForResponse(httpStatus, body));
        return;
    }
    std::weak_ptr<BlockRequester> weak = weak_from_this();
    holdSelf(shared_from_this());
    workers().post([weak, httpStatus, body]() {
        const QString text = replyTextForResponse(httpStatus, body);
        runOnMainThread([weak, text]() {
            if (auto alive = weak.lock()) {
                alive->m_keepAlive.reset();
                alive->deliver(text);
            }
        });
    });
}

void BlockRequester::deliver(const QString& text)
{
    if (isCancelled() || m_delivered)
        return;
    m_delivered = true;
    m_uploadProgress = nullptr;
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(text, m_method);
}

void BlockRequester::fail(const QString& domain, int code, const QString& description)
{
    qCWarning(lcService).noquote() << "web API call" << m_method << "failed:" << domain << code << description;
    const QString text = connectionErrorJson(domain, code, description);
    // Failures are delivered like replies: later, on the main thread, never from inside the call.
    std::shared_ptr<BlockRequester> self = shared_from_this();
    runOnMainThread([self, text]() { self->deliver(text); });
}

void BlockRequester::holdSelf(const std::shared_ptr<BlockRequester>& requester)
{
    requester->m_keepAlive = requester;
    SelfHeldObjects<BlockRequester, &BlockRequester::letGoAtExit>::note(requester);
}

// The application is ending: the main thread will never take the next step of a requester holding itself. It lets
// go, its completion never called.
void BlockRequester::letGoAtExit()
{
    m_completion = nullptr;
    m_uploadProgress = nullptr;
    m_keepAlive.reset();
}

void BlockRequester::cancel()
{
    if (m_cancelled.exchange(true))
        return;
    m_completion = nullptr;
    m_uploadProgress = nullptr;
    m_keepAlive.reset();
    if (QNetworkReply* reply = m_reply)
        reply->abort();
}

bool BlockRequester::setAPIURL(const QUrl& url, Error* error)
{
    const QString scheme = url.scheme().toLower();
    const bool acceptable =
        url.isValid() && !url.host().isEmpty() &&
        (scheme == QLatin1String("https") || (scheme == QLatin1String("http") && isLoopbackHost(url.host())));
    if (!acceptable) {
        setError(error, Error(kRequesterErrorDomain, NoServiceAddress,
                              QStringLiteral("The web service address must be an https address: %1")
                                  .arg(url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery))));
        return false;
    }
    QMutexLocker lock(&sharedConfiguration().mutex);
    sharedConfiguration().value.apiURL = url.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment);
    return true;
}

void BlockRequester::setAPIKey(const QString& key)
{
    QMutexLocker lock(&sharedConfiguration().mutex);
    sharedConfiguration().value.apiKey = key;
}

void BlockRequester::setAPIPassword(const QString& password)
{
    QMutexLocker lock(&sharedConfiguration().mutex);
    sharedConfiguration().value.apiPassword = password;
}

BlockRequester::Configuration BlockRequester::configuration()
{
    QMutexLocker lock(&sharedConfiguration().mutex);
    return sharedConfiguration().value;
}

QString BlockRequester::apiSignature(const QString& password, const Parameters& signedFields)
{
    QList<std::pair<QByteArray, const QString*>> sorted;
    sorted.reserve(signedFields.size());
    for (const auto& field : signedFields)
        sorted.append({field.first.toUtf8(), &field.second});
    // Byte-wise on the UTF-8 key; equal keys keep their order so the result never depends on the sort.
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(password.toUtf8());
    for (const auto& [key, value] : sorted) {
        hash.addData(key);
        hash.addData(value->toUtf8());
    }
    return QString::fromLatin1(hash.result().toHex());
}

QString BlockRequester::replyTextForResponse(int httpStatus, const QByteArray& body)
{
    const bool success = httpStatus >= 200 && httpStatus < 300;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    const bool isObject = parseError.error == QJsonParseError::NoError && document.isObject();
    const QJsonValue errorMember = isObject ? document.object().value(QLatin1String("error")) : QJsonValue();
    const bool carriesError =
        !errorMember.isUndefined() && !errorMember.isNull() && !(errorMember.isBool() && !errorMember.toBool());

    if (isObject && carriesError && errorMember.isObject())
        return QString::fromUtf8(body);
    if (!success) {
        return connectionErrorJson(kHttpErrorDomain, httpStatus,
                                   QStringLiteral("The web service answered with HTTP status %1.").arg(httpStatus));
    }
    if (!isObject || carriesError) {
        return connectionErrorJson(kRequesterErrorDomain, UnreadableReply,
                                   QStringLiteral("The web service's reply could not be read."));
    }
    return QString::fromUtf8(body);
}

QString BlockRequester::connectionErrorJson(const QString& domain, int code, const QString& description)
{
    const QJsonObject error{
        {QStringLiteral("localizedDescription"), description},
        {QStringLiteral("localizedRecoverySuggestion"), QString()},
        {QStringLiteral("localizedRecoveryOptions"), QJsonArray()},
        {QStringLiteral("domainCode"), domain},
        {QStringLiteral("errorType"), QStringLiteral("connectionError")},
        {QStringLiteral("errorCode"), QString::number(code)},
    };
    return QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("error"), error}}).toJson(QJsonDocument::Compact));
}

int BlockRequester::transferTimeoutMs()
{
    return g_transferTimeoutMs.load();
}

qint64 BlockRequester::maxReplyBytes()
{
    return g_maxReplyBytes.load();
}

void BlockRequester::setTransferTimeoutMsForTesting(int milliseconds)
{
    g_transferTimeoutMs = milliseconds > 0 ? milliseconds : kDefaultTransferTimeoutMs;
}

void BlockRequester::setMaxReplyBytesForTesting(qint64 bytes)
{
    g_maxReplyBytes = bytes > 0 ? bytes : kDefaultMaxReplyBytes;
}
