#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "support/fakeservice/FakeHttp.h"

// A faithful stand-in for the web service, on 127.0.0.1, for the tests. It reads the signed multipart form
// (or the GET query) at "/2.0/services/api", checks "api_key" and "api_sig" with its own copy of the signing
// rule, answers each method from a small in-memory state, and records every request for assertions.
// Service errors are sent as the real service sends them: HTTP 200 with an "error" member.
//
// Extending it: `setHandler` adds or replaces the answer of a method; `injectReply` makes the next calls of a
// method answer something else (an error code, HTTP 500, a dropped connection, a slow or missing reply).
// docs/web-api.md describes what each method takes and answers.
//
// Threads: requests are answered on the server's own thread; every public function may be called from the
// test's thread at any time (one mutex guards the state, the handlers and the record).
class FakeWebService {
public:
    struct User {
        QString username;
        QString password;
        QString email;
        QString displayName;
        QString token;
        QString accountType = QStringLiteral("user");
        qint64 uploadMaxFileSize = 200 * 1024 * 1024;
        qint64 quotaMax = 2048000;
        qint64 quotaUsed = 0;
        QJsonObject enterpriseGroup = {}; // the group the user belongs to; none while empty
        QString avatarURL = {};           // "https://avatars.example.com/<user name>.png" while empty
    };
    struct Document {
        QString id;
        QString stringID;
        QString alias;
        QString owner; // user name
        QString title;
        QString description;
        QString privacy = QStringLiteral("public");
        QString password;
        QString documentJson;
        QString publishedJson;
        QStringList categories;
        bool published = false;
        bool deleted = false;
        bool requiresFork = false; // "tessarine.update" answers "607" while set
        QString updated;           // ISO 8601, UTC
        QString previewURL;        // where its picture is said to be; "<root>/previews/<id>.jpg" while empty
    };
    struct ContentItem {
        QString id;
        QString owner;
        QString fileName;
        QString contentType;
        QByteArray data;
    };
    struct State {
        QString apiKey = QStringLiteral("KEY123");
        QString apiPassword = QStringLiteral("s3cretPW");
        QMap<QString, User> users;         // by user name
        QMap<QString, Document> documents; // by id
        QMap<QString, ContentItem> contentItems;
        QJsonArray helpList;
        QJsonArray templates;
        QList<QMap<QString, QString>> sentEmails;
        QJsonArray loggedEvents;
        QStringList forbiddenAliasWords{QStringLiteral("admin")};
        int nextID = 1000;
    };
    struct Context {
        const FakeHttpRequest& request;
        State& state;
        QUrl baseUrl;
        const User* user; // the user of the request's "auth_token", or null
    };
    using Handler = std::function<FakeHttpReply(const Context&)>;

    static constexpr const char* kApiPath = "/2.0/services/api";

    FakeWebService();
    ~FakeWebService();
    FakeWebService(const FakeWebService&) = delete;
    FakeWebService& operator=(const FakeWebService&) = delete;

    // Listens on `port` of 127.0.0.1 (a free one when 0).
    bool start(quint16 port = 0);
    // "http://127.0.0.1:<port>", the root to give the client.
    QUrl baseUrl() const;
    // The social networks' sites, on a port of their own (a free one when 0): the sign-in dialog, and a small page
    // for each network's share address (the feed dialog's with a Post link back to its "redirect_uri"). Their
    // root must differ from the web site's, which the feed dialog returns to.
    bool startSocialSites(quint16 port = 0);
    QUrl socialBaseUrl() const;
    // Back to the state of a new service, still listening where it was: no users, documents, content, pages or
    // records; the default answers, no injected replies, delays or throttle.
    void reset();
    // An address on 127.0.0.1 where nothing listens: every request to it is refused (the service offline).
    static QUrl unreachableBaseUrl();

    void withState(const std::function<void(State&)>& change);
    State state() const;
    // Adds a user with the token "TOKEN-<username>" and returns it.
    User addUser(const QString& username, const QString& password = QStringLiteral("pw"));
    // Adds a document owned by `owner` and returns it (ids assigned when empty).
    Document addDocument(Document document);

    // Stores a content item owned by `owner` and returns the address it is served at (GET
    // "/content/<id>/<file name>"); an address whose id is unknown answers HTTP 404.
    QUrl addContent(const QString& id, const QByteArray& data, const QString& fileName = QStringLiteral("file.bin"),
                    const QString& owner = QString());
    QUrl contentURL(const QString& id, const QString& fileName = QStringLiteral("file.bin")) const;
    // Requests received for an address outside the API path (content downloads) with this path prefix.
    int contentRequestCount(const QString& pathPrefix = QStringLiteral("/content/")) const;
    // Content downloads are answered after `milliseconds` (0, the default: at once).
    void setContentDelay(int milliseconds);

    // A static page answered to GET `path` (the web site's pages), with `status`.
    void setPage(const QString& path, const QByteArray& contentType, const QByteArray& body, int status = 200);
    // Any reply (a stalled or endless download, say) answered to GET `path`.
    void setPageReply(const QString& path, const FakeHttpReply& reply);

    // Every answer (API calls, pages, content) comes `milliseconds` late (0, the default: at once).
    void setReplyDelay(int milliseconds);
    // Content downloads and pages start and never end: the head and a first few bytes, then silence.
    void setEndlessDownloads(bool endless);
    // The social site's sign-in dialog ("/dialog/oauth") answers at once by sending the browser on to its
    // "redirect_uri" with an access token, as when the person has allowed the application before.
    void setAnswersSocialSignIn(bool answers);

    // Adds what `folder` holds; false with `error` set when a file in it cannot be read. Every part is optional:
    //   users.json             [{"username", "password", "email", "display_name", "account_type", "quota_max",
    //                            "quota_used"}] (byte counts)
    //   documents/*.json       {"id", "string_id", "alias", "owner", "title", "description", "privacy",
    //                           "password", "published", "categories", "document": {document JSON}}, or a bare
    //                           document JSON (then published, owned by the first user, titled after the file)
    //   content/<id>/<name>    served at "/content/<id>/<name>", as an uploaded asset is
    //   help.json, templates.json   the guides list and the template list (arrays)
    //   pages/<path>           served at "/<path>"; a page "x.html" also at "/x" (the catalog, the library, previews)
    // In its text files (JSON, HTML, ...) "{root}" stands for baseUrl(): start the service first. The sample folder
    // tests/support/fakeservice/sample holds every part.
    bool loadFolder(const QString& folder, QString* error);
    static constexpr const char* kRootPlaceholder = "{root}";
    // Called on the server's thread with one line per request received (method or path, and the user).
    void setRequestLogger(std::function<void(const QString& line)> logger);

    void setHandler(const QString& method, Handler handler);
    // The next `times` calls of `method` (any method when empty; -1 = until cleared) get `reply`.
    void injectReply(const QString& method, const FakeHttpReply& reply, int times = 1);
    void clearInjectedReplies();

    QList<FakeHttpRequest> requests() const;
    int requestCount(const QString& method = {}) const;
    std::optional<FakeHttpRequest> lastRequest(const QString& method = {}) const;
    void clearRequests();
    // Benchmarks turn recording off so large bodies are not kept.
    void setRecording(bool recording);
    // Request bodies are read slowly (see FakeHttpServer::setReadThrottle); call after start().
    void setReadThrottle(qint64 bytesPerTick, int tickMs);

    // The signing rule, written independently of the client so that a fault in one is not mirrored.
    static QString expectedSignature(const QString& password, const QMap<QString, QString>& fields);
    // The document record that create, update, fork and the documents list answer.
    static QJsonObject documentRecord(const Document& document, const State& state, const QUrl& baseUrl);
    static QJsonObject userRecord(const User& user);

private:
    FakeHttpReply handle(const FakeHttpRequest& request);
    FakeHttpReply answer(const FakeHttpRequest& request);
    FakeHttpReply answerPage(const FakeHttpRequest& request);
    FakeHttpReply handleSocial(const FakeHttpRequest& request);
    FakeHttpReply answerSocialPage(const FakeHttpRequest& request);
    void installDefaultHandlers();

    struct Injection {
        QString method;
        FakeHttpReply reply;
        int remaining;
    };

    mutable QMutex m_mutex;
    State m_state;
    QMap<QString, Handler> m_handlers;
    QList<Injection> m_injections;
    struct Page {
        QByteArray contentType;
        QByteArray body;
        int status = 200;
    };
    QMap<QString, Page> m_pages;
    QMap<QString, FakeHttpReply> m_pageReplies;
    QList<FakeHttpRequest> m_requests;
    bool m_recording = true;
    int m_contentDelayMs = 0;
    int m_replyDelayMs = 0;
    bool m_endlessDownloads = false;
    bool m_answersSocialSignIn = false;
    std::function<void(const QString&)> m_requestLogger;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<FakeHttpServer> m_socialServer;
};
