#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <utility>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "platform/Error.h"

class QNetworkReply;
class QTimer;

// One call of the web API. A request is built from the method name and its parameters, signed, and sent
// as a multipart/form-data POST (or, for the few methods that need it, a GET with the same fields in the
// query) to the service's "/2.0/services/api" path.
//
// Threads: start requests and cancel them on the main thread. The body (UTF-8 conversion, signature,
// multipart assembly) is built on one of the service's worker threads, and large replies are checked there
// too, so a document of many megabytes never stalls the user interface; the completion always runs on the
// main thread, exactly once, unless the request was cancelled, in which case it never runs.
//
// Replies: the completion receives the reply text and the method name. Whatever goes wrong, the reply text
// is a JSON object, and a failure is always an object with an "error" member:
//  - a connection failure (refused, dropped, timed out) gives {"error": {"localizedDescription",
//    "localizedRecoverySuggestion", "localizedRecoveryOptions", "domainCode", "errorType": "connectionError",
//    "errorCode"}} with domain "QNetworkReplyError" and the QNetworkReply::NetworkError value as code;
//  - an HTTP status outside 2xx gives that same form with domain "BlockRequesterHTTPError" and the status as
//    code, unless the body is a JSON object carrying an "error" member (a service error), which is passed on
//    unchanged;
//  - a reply without an HTTP status gives domain "BlockRequesterError" code 1;
//  - an empty reply, one that is not a JSON object, or one whose "error" member is not an object gives
//    domain "BlockRequesterError" code 2, a reply over the size cap code 3, and a request made before the
//    service address is configured code 4.
// A request that exchanges no bytes for the transfer timeout (60 s by default) fails with
// QNetworkReply::TimeoutError.
//
// Upload progress: a POST may be given a progress handler, called on the main thread with the bytes of the
// request body sent so far and the body's size. Reports come at most every kUploadProgressIntervalMs, plus
// the final one (sent == total) whenever the whole body went out; the bytes sent never decrease, also when
// the network layer sends the body again (a redirect, a connection reopened). No report follows the
// completion or a cancel.
//
// The requester keeps itself alive until its reply has been delivered, so a caller that does not need to
// cancel may drop the returned pointer.
class BlockRequester : public std::enable_shared_from_this<BlockRequester> {
public:
    using Completion = std::function<void(const QString& reply, const QString& identifier)>;
    using UploadProgress = std::function<void(qint64 bytesSent, qint64 bytesTotal)>;
    // Ordered form fields; the order is kept in the body, the signature sorts by key.
    using Parameters = QList<std::pair<QString, QString>>;

    // A file sent as a form part of its own. It is opened when the body is built (a file that cannot be read
    // fails the call before anything is sent), streamed from disk while the request is sent, and never takes
    // part in the signature.
    struct FilePart {
        QString fieldName;
        QString filePath;
        QString fileName; // the name the service sees; the file's own name when empty
        QString contentType = QStringLiteral("application/octet-stream");
    };

    // Set once at start-up (see CorvikBlockAPIBinding). `apiURL` is the service root; requests go to
    // its "/2.0/services/api" path.
    struct Configuration {
        QUrl apiURL;
        QString apiKey;
        QString apiPassword;
    };

    enum class Verb { Post, Get };

    static constexpr const char* kApiPath = "/2.0/services/api";
    static constexpr int kDefaultTransferTimeoutMs = 60 * 1000;
    static constexpr qint64 kDefaultMaxReplyBytes = 64 * 1024 * 1024;
    static constexpr int kUploadProgressIntervalMs = 50;

    // Error codes of the domain "BlockRequesterError".
    enum ErrorCode {
        NoHeaderFields = 1,
        UnreadableReply = 2,
        ReplyTooLarge = 3,
        NoServiceAddress = 4,
        UnreadableFile = 5,
    };

    static std::shared_ptr<BlockRequester> post(const QString& method, const Parameters& parameters,
                                                Completion completion, const QList<FilePart>& files = {},
                                                UploadProgress progress = {});
    static std::shared_ptr<BlockRequester> get(const QString& method, const Parameters& parameters,
                                               Completion completion);

    // The completion will never run and the connection is dropped. Safe to call at any time, also twice or
    // from inside another request's completion.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    // The method name, handed to the completion as its second argument.
    const QString& identifier() const { return m_method; }

    // Service address, key and password used by every later request. A URL that is not https is refused
    // unless it points at this machine (the tests' loopback service), so tokens and signatures never travel
    // in clear to another host.
    static bool setAPIURL(const QUrl& url, Error* error = nullptr);
    static void setAPIKey(const QString& key);
    static void setAPIPassword(const QString& password);
    static Configuration configuration();

    // Lower-case hexadecimal MD5 of the password followed by each field's key and value, the fields sorted
    // byte-wise by their UTF-8 key, with no separators.
    static QString apiSignature(const QString& password, const Parameters& signedFields);

    // The text the completion receives for a reply of that status and body (see the class comment).
    static QString replyTextForResponse(int httpStatus, const QByteArray& body);
    // {"error": {...}} as the completion receives it for a failure of the given domain and code.
    static QString connectionErrorJson(const QString& domain, int code, const QString& description);

    static void setTransferTimeoutMsForTesting(int milliseconds);
    static void setMaxReplyBytesForTesting(qint64 bytes);
    // The bounds in force (the defaults unless a test set others), for other fetches of service documents.
    static int transferTimeoutMs();
    static qint64 maxReplyBytes();

    ~BlockRequester();
    BlockRequester(const BlockRequester&) = delete;
    BlockRequester& operator=(const BlockRequester&) = delete;

private:
    struct PreparedRequest;

    BlockRequester(Verb verb, QString method, Completion completion);
    static std::shared_ptr<BlockRequester> start(Verb verb, const QString& method, const Parameters& parameters,
                                                 Completion completion, const QList<FilePart>& files,
                                                 UploadProgress progress);
    void send(const std::shared_ptr<PreparedRequest>& prepared);
    void onFinished();
    void restartIdleTimer();
    void onUploadProgress(qint64 sent, qint64 total);
    void deliver(const QString& text);
    void deliverLater(const QString& text);
    void fail(const QString& domain, int code, const QString& description);
    // Sets m_keepAlive and notes the requester, so that the application's end can let go of it.
    static void holdSelf(const std::shared_ptr<BlockRequester>& requester);
    void letGoAtExit();

    const Verb m_verb;
    const QString m_method;
    Completion m_completion;
    UploadProgress m_uploadProgress;
    qint64 m_reportedBytesSent = 0;
    QElapsedTimer m_sinceProgressReport; // invalid until the first report
    std::atomic<bool> m_cancelled{false};
    QPointer<QNetworkReply> m_reply;
    QPointer<QTimer> m_idleTimer;
    QUrl m_safeUrl; // the address without its query, for messages and logs
    bool m_timedOut = false;
    bool m_tooLarge = false;
    bool m_delivered = false;
    // Holds the requester while a worker owns the only other reference (a weak one); see holdSelf().
    std::shared_ptr<BlockRequester> m_keepAlive;
};
