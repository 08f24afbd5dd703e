#include "support/fakeservice/FakeWebService.h"

#include <algorithm>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMimeDatabase>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUrlQuery>

namespace {

using Context = FakeWebService::Context;

QString nowText()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

FakeHttpReply needsSignIn()
{
    return FakeHttpReply::serviceError(QStringLiteral("0"), QStringLiteral("A valid auth token is required"));
}

FakeHttpReply notFound(const QString& what)
{
    return FakeHttpReply::serviceError(QStringLiteral("404"), what + QStringLiteral(" not found"));
}

FakeHttpReply ok(const QJsonObject& response)
{
    return FakeHttpReply::json(response);
}

QJsonValue parsedJson(const QString& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (document.isObject())
        return document.object();
    if (document.isArray())
        return document.array();
    return QJsonValue();
}

FakeWebService::Document* documentBy(FakeWebService::State& state, const QString& key, const QString& value)
{
    for (auto& document : state.documents) {
        if (document.deleted)
            continue;
        if ((key == QLatin1String("id") && document.id == value) ||
            (key == QLatin1String("string_id") && document.stringID == value) ||
            (key == QLatin1String("alias") && !document.alias.isEmpty() && document.alias == value))
            return &document;
    }
    return nullptr;
}

QJsonObject signInReply(const FakeWebService::User& user)
{
    return QJsonObject{
        {QStringLiteral("response"),
         QJsonObject{{QStringLiteral("auth"), QJsonObject{{QStringLiteral("token"), user.token},
                                                          {QStringLiteral("user"), FakeWebService::userRecord(user)}}},
                     {QStringLiteral("cookie_auth"),
                      QJsonObject{{QStringLiteral("auth_token"), QStringLiteral("COOKIE-") + user.token}}}}}};
}

// Reading a document: the published copy for everyone allowed to see it, the draft for its owner.
FakeHttpReply answerDocument(const Context& c, FakeWebService::Document* document)
{
    if (!document)
        return notFound(QStringLiteral("Document"));
    const bool isOwner = c.user && c.user->username == document->owner;
    if (!isOwner && !document->published) {
        if (!c.user)
            return FakeHttpReply::serviceError(QStringLiteral("400"), QStringLiteral("Sign in to open this document"));
        return FakeHttpReply::serviceError(QStringLiteral("700"), QStringLiteral("No permission"));
    }
    QJsonObject record = FakeWebService::documentRecord(*document, c.state, c.baseUrl);
    if (!isOwner && !document->password.isEmpty() &&
        c.request.field(QStringLiteral("password")) != document->password) {
        return ok(
            QJsonObject{{QStringLiteral("tessarine"), QJsonObject{{QStringLiteral("needs_password"), true},
                                                                  {QStringLiteral("string_id"), document->stringID}}}});
    }
    record.insert(QStringLiteral("needs_password"), false);
    record.insert(QStringLiteral("user_id"), c.user ? c.user->username : QString());
    if (document->published)
        record.insert(QStringLiteral("document_json_published"), parsedJson(document->publishedJson));
    if (isOwner)
        record.insert(QStringLiteral("document_json"), parsedJson(document->documentJson));
    return ok(QJsonObject{{QStringLiteral("tessarine"), record}});
}

void applyDocumentFields(const FakeHttpRequest& request, FakeWebService::Document& document)
{
    const auto has = [&](const char* key) { return request.fields.contains(QString::fromLatin1(key)); };
    const auto field = [&](const char* key) { return request.field(QString::fromLatin1(key)); };
    if (has("document_json"))
        document.documentJson = field("document_json");
    if (has("published")) {
        document.published = field("published") == QLatin1String("1");
        if (document.published)
            document.publishedJson = document.documentJson;
    }
    if (has("title"))
        document.title = field("title");
    if (has("description"))
        document.description = field("description");
    if (has("privacy"))
        document.privacy = field("privacy");
    // A password sent empty removes the document's password; one left out keeps it.
    if (has("password"))
        document.password = field("password");
    if (has("alias"))
        document.alias = field("alias");
    if (has("categories")) {
        document.categories.clear();
        for (const QJsonValue& value : parsedJson(field("categories")).toArray())
            document.categories.append(value.toString());
    }
    document.updated = nowText();
}

} // namespace

FakeWebService::FakeWebService()
{
    installDefaultHandlers();
}

FakeWebService::~FakeWebService() = default;

bool FakeWebService::start(quint16 port)
{
    if (!m_server)
        m_server = std::make_unique<FakeHttpServer>([this](const FakeHttpRequest& request) { return handle(request); });
    return m_server->start(port);
}

bool FakeWebService::startSocialSites(quint16 port)
{
    if (!m_socialServer)
        m_socialServer =
            std::make_unique<FakeHttpServer>([this](const FakeHttpRequest& request) { return handleSocial(request); });
    return m_socialServer->start(port);
}

QUrl FakeWebService::socialBaseUrl() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_socialServer ? m_socialServer->port() : 0);
    return url;
}

FakeHttpReply FakeWebService::handleSocial(const FakeHttpRequest& request)
{
    QMutexLocker lock(&m_mutex);
    if (m_recording)
        m_requests.append(request);
    FakeHttpReply reply = answerSocialPage(request);
    if (m_replyDelayMs > reply.delayMs)
        reply.delayMs = m_replyDelayMs;
    if (m_requestLogger)
        m_requestLogger(QStringLiteral("social %1 %2 -> %3")
                            .arg(QString::fromLatin1(request.verb), request.path)
                            .arg(reply.status));
    return reply;
}

FakeHttpReply FakeWebService::answerSocialPage(const FakeHttpRequest& request)
{
    if (request.verb != "GET")
        return FakeHttpReply::html(404, "Not Found");
    const QUrlQuery query(QString::fromUtf8(request.query));
    const auto value = [&](const char* name) {
        return query.queryItemValue(QString::fromLatin1(name), QUrl::FullyDecoded).toHtmlEscaped().toUtf8();
    };
    // The sign-in dialog and its landing page, as the service itself answers them.
    if (request.path == QLatin1String("/dialog/oauth") || request.path == QLatin1String("/connect/login_success.html"))
        return answerPage(request);
    // The networks' share pages: what would be posted, and (for the feed dialog) the way back.
    QByteArray network;
    QByteArray shared;
    if (request.path == QLatin1String("/dialog/feed")) {
        network = "the social network's feed";
        shared = value("link");
    } else if (request.path == QLatin1String("/intent/tweet")) {
        network = "the short-message network";
        shared = value("text");
    } else if (request.path == QLatin1String("/shareArticle")) {
        network = "the professional network";
        shared = value("url");
    } else if (request.path.startsWith(QLatin1String("/mail/"))) {
        network = "web mail";
        shared = value("body");
    } else {
        return FakeHttpReply::html(404, "Not Found");
    }
    QByteArray page = "<html><head><meta charset=\"utf-8\"><title>Share</title></head>"
                      "<body style=\"font-family: sans-serif; margin: 24px\"><h2>Share on " +
                      network + " (sample)</h2><p>" + shared + "</p>";
    const QByteArray back = value("redirect_uri");
    if (!back.isEmpty())
        page += "<p><a id=\"post\" href=\"" + back + "\">Post</a></p>";
    return FakeHttpReply::raw(200, "text/html; charset=utf-8", page + "</body></html>");
}

void FakeWebService::reset()
{
    {
        QMutexLocker lock(&m_mutex);
        m_state = State();
        m_handlers.clear();
        installDefaultHandlers();
        m_injections.clear();
        m_pages.clear();
        m_pageReplies.clear();
        m_requests.clear();
        m_recording = true;
        m_contentDelayMs = 0;
        m_replyDelayMs = 0;
        m_endlessDownloads = false;
        m_answersSocialSignIn = false;
        m_requestLogger = nullptr;
    }
    setReadThrottle(0, 1);
}

void FakeWebService::setReplyDelay(int milliseconds)
{
    QMutexLocker lock(&m_mutex);
    m_replyDelayMs = milliseconds;
}

void FakeWebService::setEndlessDownloads(bool endless)
{
    QMutexLocker lock(&m_mutex);
    m_endlessDownloads = endless;
}

void FakeWebService::setAnswersSocialSignIn(bool answers)
{
    QMutexLocker lock(&m_mutex);
    m_answersSocialSignIn = answers;
}

void FakeWebService::setRequestLogger(std::function<void(const QString&)> logger)
{
    QMutexLocker lock(&m_mutex);
    m_requestLogger = std::move(logger);
}

bool FakeWebService::loadFolder(const QString& folder, QString* error)
{
    // Absolute, so that every path found in it is named relative to the folder itself, whatever the working
    // directory.
    const QDir root(QFileInfo(folder).absoluteFilePath());
    if (!root.exists()) {
        *error = QStringLiteral("no folder %1").arg(folder);
        return false;
    }
    // "{root}" in a text file stands for the service's address (known once it listens).
    const QByteArray address = m_server ? baseUrl().toString().toUtf8() : QByteArray();
    const auto withAddress = [&](QByteArray text) {
        if (!address.isEmpty())
            text.replace(kRootPlaceholder, address);
        return text;
    };
    const auto isText = [](const QString& path) {
        static const QStringList kTextSuffixes{QStringLiteral("json"), QStringLiteral("html"), QStringLiteral("htm"),
                                               QStringLiteral("txt"),  QStringLiteral("css"),  QStringLiteral("js")};
        return kTextSuffixes.contains(QFileInfo(path).suffix().toLower());
    };
    const auto readJson = [&](const QString& path, QJsonValue* value) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(withAddress(file.readAll()), &parseError);
        if (document.isNull()) {
            *error = QStringLiteral("%1 is not JSON: %2").arg(path, parseError.errorString());
            return false;
        }
        *value = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
        return true;
    };

    QJsonValue value;
    if (root.exists(QStringLiteral("users.json"))) {
        if (!readJson(root.filePath(QStringLiteral("users.json")), &value))
            return false;
        for (const QJsonValue& entry : value.toArray()) {
            const QJsonObject fields = entry.toObject();
            const QString username = fields.value(QStringLiteral("username")).toString();
            if (username.isEmpty())
                continue;
            User user = addUser(username, fields.value(QStringLiteral("password")).toString());
            user.email = fields.value(QStringLiteral("email")).toString(user.email);
            user.displayName = fields.value(QStringLiteral("display_name")).toString(user.displayName);
            user.accountType = fields.value(QStringLiteral("account_type")).toString(user.accountType);
            user.quotaMax = fields.value(QStringLiteral("quota_max")).toInteger(user.quotaMax);
            user.quotaUsed = fields.value(QStringLiteral("quota_used")).toInteger(user.quotaUsed);
            withState([&](State& state) { state.users.insert(username, user); });
        }
    }

    const QDir documents(root.filePath(QStringLiteral("documents")));
    for (const QFileInfo& file : documents.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        if (!readJson(file.filePath(), &value))
            return false;
        const QJsonObject fields = value.toObject();
        const bool bare = !fields.contains(QStringLiteral("document"));
        const QJsonObject content = bare ? fields : fields.value(QStringLiteral("document")).toObject();
        Document document;
        if (!bare) {
            document.id = fields.value(QStringLiteral("id")).toVariant().toString();
            document.stringID = fields.value(QStringLiteral("string_id")).toString();
            document.alias = fields.value(QStringLiteral("alias")).toString();
            document.owner = fields.value(QStringLiteral("owner")).toString();
            document.title = fields.value(QStringLiteral("title")).toString();
            document.description = fields.value(QStringLiteral("description")).toString();
            document.privacy = fields.value(QStringLiteral("privacy")).toString(document.privacy);
            document.password = fields.value(QStringLiteral("password")).toString();
            for (const QJsonValue& category : fields.value(QStringLiteral("categories")).toArray())
                document.categories.append(category.toString());
        }
        document.published = bare || fields.value(QStringLiteral("published")).toBool(true);
        if (document.owner.isEmpty()) {
            const State current = state();
            document.owner = current.users.isEmpty() ? QString() : current.users.firstKey();
        }
        if (document.title.isEmpty())
            document.title = file.completeBaseName();
        document.documentJson = QString::fromUtf8(QJsonDocument(content).toJson(QJsonDocument::Compact));
        if (document.published)
            document.publishedJson = document.documentJson;
        addDocument(document);
    }
    // Ids the service gives later stay clear of the folder's own.
    withState([](State& state) {
        for (const Document& document : std::as_const(state.documents))
            state.nextID = std::max(state.nextID, document.id.toInt() + 1);
    });

    const QDir contents(root.filePath(QStringLiteral("content")));
    for (const QString& id : contents.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir item(contents.filePath(id));
        for (const QFileInfo& file : item.entryInfoList(QDir::Files, QDir::Name)) {
            QFile data(file.filePath());
            if (!data.open(QIODevice::ReadOnly)) {
                *error = QStringLiteral("cannot read %1: %2").arg(file.filePath(), data.errorString());
                return false;
            }
            addContent(id, isText(file.filePath()) ? withAddress(data.readAll()) : data.readAll(), file.fileName());
            withState([&](State& state) {
                state.contentItems[id].contentType = QMimeDatabase().mimeTypeForFile(file).name();
            });
        }
    }

    for (const char* list : {"help.json", "templates.json"}) {
        const QString name = QString::fromLatin1(list);
        if (!root.exists(name))
            continue;
        if (!readJson(root.filePath(name), &value))
            return false;
        withState([&](State& state) {
            (name == QLatin1String("help.json") ? state.helpList : state.templates) = value.toArray();
        });
    }

    const QDir pages(root.filePath(QStringLiteral("pages")));
    QDirIterator walk(pages.path(), QDir::Files, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        QFile page(path);
        if (!page.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, page.errorString());
            return false;
        }
        const QString pageAddress = QLatin1Char('/') + pages.relativeFilePath(path);
        const QByteArray type = QMimeDatabase().mimeTypeForFile(path).name().toUtf8();
        const QByteArray body = isText(path) ? withAddress(page.readAll()) : page.readAll();
        setPage(pageAddress, type, body);
        if (pageAddress.endsWith(QLatin1String(".html")))
            setPage(pageAddress.chopped(5), type, body);
    }
    return true;
}

void FakeWebService::setReadThrottle(qint64 bytesPerTick, int tickMs)
{
    if (m_server)
        m_server->setReadThrottle(bytesPerTick, tickMs);
}

QUrl FakeWebService::unreachableBaseUrl()
{
    QTcpServer closed;
    if (!closed.listen(QHostAddress::LocalHost, 0))
        return {};
    const quint16 port = closed.serverPort();
    closed.close();
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
}

QUrl FakeWebService::baseUrl() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server ? m_server->port() : 0);
    return url;
}

void FakeWebService::withState(const std::function<void(State&)>& change)
{
    QMutexLocker lock(&m_mutex);
    change(m_state);
}

FakeWebService::State FakeWebService::state() const
{
    QMutexLocker lock(&m_mutex);
    return m_state;
}

FakeWebService::User FakeWebService::addUser(const QString& username, const QString& password)
{
    User user;
    user.username = username;
    user.password = password;
    user.email = username + QStringLiteral("@example.com");
    user.displayName = username;
    user.token = QStringLiteral("TOKEN-") + username;
    withState([&](State& state) { state.users.insert(username, user); });
    return user;
}

FakeWebService::Document FakeWebService::addDocument(Document document)
{
    withState([&](State& state) {
        const int number = state.nextID++;
        if (document.id.isEmpty())
            document.id = QString::number(number);
        if (document.stringID.isEmpty())
            document.stringID = QStringLiteral("s%1").arg(number);
        if (document.updated.isEmpty())
            document.updated = nowText();
        state.documents.insert(document.id, document);
    });
    return document;
}

QUrl FakeWebService::addContent(const QString& id, const QByteArray& data, const QString& fileName,
                                const QString& owner)
{
    withState([&](State& state) {
        state.contentItems.insert(id,
                                  ContentItem{id, owner, fileName, QStringLiteral("application/octet-stream"), data});
    });
    return contentURL(id, fileName);
}

QUrl FakeWebService::contentURL(const QString& id, const QString& fileName) const
{
    return QUrl(baseUrl().toString() + QStringLiteral("/content/") + id + QLatin1Char('/') +
                QString::fromUtf8(QUrl::toPercentEncoding(fileName)));
}

int FakeWebService::contentRequestCount(const QString& pathPrefix) const
{
    QMutexLocker lock(&m_mutex);
    return int(std::count_if(m_requests.begin(), m_requests.end(), [&](const FakeHttpRequest& request) {
        return request.path != QLatin1String(kApiPath) && request.path.startsWith(pathPrefix);
    }));
}

void FakeWebService::setContentDelay(int milliseconds)
{
    QMutexLocker lock(&m_mutex);
    m_contentDelayMs = milliseconds;
}

void FakeWebService::setPage(const QString& path, const QByteArray& contentType, const QByteArray& body, int status)
{
    QMutexLocker lock(&m_mutex);
    m_pages.insert(path, Page{contentType, body, status});
}

void FakeWebService::setPageReply(const QString& path, const FakeHttpReply& reply)
{
    QMutexLocker lock(&m_mutex);
    m_pageReplies.insert(path, reply);
}

void FakeWebService::setHandler(const QString& method, Handler handler)
{
    QMutexLocker lock(&m_mutex);
    m_handlers.insert(method, std::move(handler));
}

void FakeWebService::injectReply(const QString& method, const FakeHttpReply& reply, int times)
{
    QMutexLocker lock(&m_mutex);
    m_injections.append({method, reply, times});
}

void FakeWebService::clearInjectedReplies()
{
    QMutexLocker lock(&m_mutex);
    m_injections.clear();
}

QList<FakeHttpRequest> FakeWebService::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int FakeWebService::requestCount(const QString& method) const
{
    QMutexLocker lock(&m_mutex);
    if (method.isEmpty())
        return int(m_requests.size());
    return int(std::count_if(m_requests.begin(), m_requests.end(),
                             [&](const FakeHttpRequest& request) { return request.method() == method; }));
}

std::optional<FakeHttpRequest> FakeWebService::lastRequest(const QString& method) const
{
    QMutexLocker lock(&m_mutex);
    for (auto it = m_requests.crbegin(); it != m_requests.crend(); ++it) {
        if (method.isEmpty() || it->method() == method)
            return *it;
    }
    return std::nullopt;
}

void FakeWebService::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
}

void FakeWebService::setRecording(bool recording)
{
    QMutexLocker lock(&m_mutex);
    m_recording = recording;
}

QString FakeWebService::expectedSignature(const QString& password, const QMap<QString, QString>& fields)
{
    QList<QByteArray> keys;
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        if (it.key() != QLatin1String("api_sig") && it.key() != QLatin1String("app_version_num"))
            keys.append(it.key().toUtf8());
    }
    std::sort(keys.begin(), keys.end());
    QByteArray text = password.toUtf8();
    for (const QByteArray& key : keys)
        text += key + fields.value(QString::fromUtf8(key)).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex());
}

QJsonObject FakeWebService::userRecord(const User& user)
{
    QJsonObject record{
        {QStringLiteral("username"), user.username},
        {QStringLiteral("display_name"), user.displayName},
        {QStringLiteral("email"), user.email},
        {QStringLiteral("account_type"), user.accountType},
        {QStringLiteral("upload_max_file_size"), QString::number(user.uploadMaxFileSize)},
        {QStringLiteral("cropped_avatar"),
         QJsonObject{{QStringLiteral("or"),
                      QJsonObject{{QStringLiteral("https"), !user.avatarURL.isEmpty()
                                                                ? user.avatarURL
                                                                : QStringLiteral("https://avatars.example.com/") +
                                                                      user.username + QStringLiteral(".png")}}}}},
    };
    if (!user.enterpriseGroup.isEmpty())
        record.insert(QStringLiteral("enterprise_group_membership"),
                      QJsonObject{{QStringLiteral("group"), user.enterpriseGroup}});
    return record;
}

QJsonObject FakeWebService::documentRecord(const Document& document, const State& state, const QUrl& baseUrl)
{
    const User owner = state.users.value(document.owner, User{document.owner, {}, {}, document.owner, {}});
    return QJsonObject{
        {QStringLiteral("id"), document.id},
        {QStringLiteral("string_id"), document.stringID},
        {QStringLiteral("alias"), document.alias},
        {QStringLiteral("title"), document.title},
        {QStringLiteral("description"), document.description},
        {QStringLiteral("privacy"), document.privacy},
        {QStringLiteral("has_password"), !document.password.isEmpty()},
        {QStringLiteral("published"), document.published},
        {QStringLiteral("categories"), QJsonArray::fromStringList(document.categories)},
        {QStringLiteral("owner"), userRecord(owner)},
        {QStringLiteral("updated"), document.updated},
        {QStringLiteral("first_preview_url"),
         !document.previewURL.isEmpty()
             ? document.previewURL
             : baseUrl.toString() + QStringLiteral("/previews/") + document.id + QStringLiteral(".jpg")},
    };
}

FakeHttpReply FakeWebService::handle(const FakeHttpRequest& request)
{
    QMutexLocker lock(&m_mutex);
    if (m_recording)
        m_requests.append(request);
    const bool api = request.path == QLatin1String(kApiPath);
    FakeHttpReply reply = api ? answer(request) : answerPage(request);
    if (m_replyDelayMs > reply.delayMs)
        reply.delayMs = m_replyDelayMs;
    if (m_requestLogger) {
        QString line =
            QStringLiteral("%1 %2").arg(QString::fromLatin1(request.verb), api ? request.method() : request.path);
        for (const User& user : std::as_const(m_state.users)) {
            if (api && !request.field(QStringLiteral("auth_token")).isEmpty() &&
                user.token == request.field(QStringLiteral("auth_token")))
                line += QStringLiteral(" (") + user.username + QLatin1Char(')');
        }
        m_requestLogger(line + QStringLiteral(" -> %1").arg(reply.status));
    }
    return reply;
}

FakeHttpReply FakeWebService::answerPage(const FakeHttpRequest& request)
{
    if (request.verb != "GET")
        return FakeHttpReply::html(404, "Not Found");
    // Endless: the answer starts as it would, and its body never ends.
    const auto endless = [this](const FakeHttpReply& reply) {
        if (!m_endlessDownloads || reply.status != 200)
            return reply;
        FakeHttpReply stalled = FakeHttpReply::stall(reply.body.left(16), reply.body.size() + 1);
        stalled.contentType = reply.contentType;
        return stalled;
    };
    if (m_pageReplies.contains(request.path))
        return m_pageReplies[request.path];
    if (m_pages.contains(request.path)) {
        const auto& page = m_pages[request.path];
        return endless(FakeHttpReply::raw(page.status, page.contentType, page.body));
    }
    if (m_answersSocialSignIn && request.path == QLatin1String("/dialog/oauth")) {
        const QString redirect = QUrlQuery(QString::fromUtf8(request.query))
                                     .queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded);
        if (!redirect.isEmpty()) {
            FakeHttpReply reply = FakeHttpReply::html(302, "Found");
            reply.extraHeaders.append({"Location", redirect.toUtf8() + "#access_token=social&expires_in=3600"});
            return reply;
        }
    }
    if (m_answersSocialSignIn && request.path == QLatin1String("/connect/login_success.html"))
        return FakeHttpReply::html(200, "<html><body></body></html>");
    if (request.path.startsWith(QLatin1String("/content/"))) {
        const QString id = request.path.section(QLatin1Char('/'), 2, 2);
        if (m_state.contentItems.contains(id)) {
            const ContentItem& item = m_state.contentItems[id];
            return endless(FakeHttpReply::raw(200, item.contentType.toUtf8(), item.data).delayed(m_contentDelayMs));
        }
    }
    return FakeHttpReply::html(404, "Not Found");
}

FakeHttpReply FakeWebService::answer(const FakeHttpRequest& request)
{
    const QString method = request.method();
    for (qsizetype i = 0; i < m_injections.size(); ++i) {
        Injection& injection = m_injections[i];
        if (!injection.method.isEmpty() && injection.method != method)
            continue;
        const FakeHttpReply reply = injection.reply;
        if (injection.remaining > 0 && --injection.remaining == 0)
            m_injections.removeAt(i);
        return reply;
    }

    if (request.verb == "POST" && (!request.isMultipart() || request.malformedBody))
        return FakeHttpReply::html(400, "Bad Request: expected a multipart/form-data body");
    if (request.field(QStringLiteral("format")) != QLatin1String("json"))
        return FakeHttpReply::serviceError(QStringLiteral("111"), QStringLiteral("Unsupported format"));
    if (request.field(QStringLiteral("api_key")) != m_state.apiKey)
        return FakeHttpReply::serviceError(QStringLiteral("100"), QStringLiteral("Invalid API key"));
    // An "auth_token" that the method passes is signed; one the client adds for the signed-in user is not.
    // The service cannot tell the two apart, so it accepts either form.
    const QString signature = request.field(QStringLiteral("api_sig"));
    QMap<QString, QString> withoutToken = request.fields;
    withoutToken.remove(QStringLiteral("auth_token"));
    if (signature != expectedSignature(m_state.apiPassword, request.fields) &&
        signature != expectedSignature(m_state.apiPassword, withoutToken))
        return FakeHttpReply::serviceError(QStringLiteral("96"), QStringLiteral("Invalid signature"));

    const auto handler = m_handlers.constFind(method);
    if (handler == m_handlers.constEnd())
        return FakeHttpReply::serviceError(QStringLiteral("112"),
                                           QStringLiteral("Method \"%1\" not found").arg(method));

    const User* user = nullptr;
    const QString token = request.field(QStringLiteral("auth_token"));
    for (const User& candidate : std::as_const(m_state.users)) {
        if (!token.isEmpty() && candidate.token == token)
            user = &candidate;
    }
    return (*handler)(Context{request, m_state, baseUrl(), user});
}

void FakeWebService::installDefaultHandlers()
{
    auto& h = m_handlers;

    h.insert(QStringLiteral("corvik.auth.getTokenFromCredentials"), [](const Context& c) {
        const QString username = c.request.field(QStringLiteral("username"));
        for (const User& user : std::as_const(c.state.users)) {
            if ((user.username == username || user.email == username) &&
                user.password == c.request.field(QStringLiteral("password")))
                return ok(signInReply(user));
        }
        return FakeHttpReply::serviceError(QStringLiteral("401"), QStringLiteral("Invalid user name or password"));
    });

    h.insert(QStringLiteral("corvik.users.facebookLogin"), [](const Context& c) {
        const QString accessToken = c.request.field(QStringLiteral("fb_access_token"));
        if (accessToken.isEmpty())
            return FakeHttpReply::serviceError(QStringLiteral("401"), QStringLiteral("Missing Facebook token"));
        const QString username = QStringLiteral("fb-") + accessToken;
        const bool isNew = !c.state.users.contains(username);
        if (isNew) {
            User user;
            user.username = username;
            user.displayName = username;
            user.token = QStringLiteral("TOKEN-") + username;
            c.state.users.insert(username, user);
        }
        QJsonObject reply = signInReply(c.state.users.value(username));
        QJsonObject response = reply.value(QStringLiteral("response")).toObject();
        response.insert(QStringLiteral("is_new_account"), isNew);
        reply.insert(QStringLiteral("response"), response);
        return ok(reply);
    });

    h.insert(QStringLiteral("corvik.users.register"), [](const Context& c) {
        const QString username = c.request.field(QStringLiteral("username"));
        if (username.isEmpty() || c.request.field(QStringLiteral("password")).isEmpty())
            return FakeHttpReply::serviceError(QStringLiteral("422"),
                                               QStringLiteral("User name and password required"));
        if (c.state.users.contains(username))
            return FakeHttpReply::serviceError(QStringLiteral("409"), QStringLiteral("User name taken"));
        User user;
        user.username = username;
        user.password = c.request.field(QStringLiteral("password"));
        user.email = c.request.field(QStringLiteral("email"));
        user.displayName = c.request.fields.value(QStringLiteral("display_name"), username);
        user.token = QStringLiteral("TOKEN-") + username;
        c.state.users.insert(username, user);
        return ok(QJsonObject{{QStringLiteral("response"), QJsonObject{{QStringLiteral("user"), userRecord(user)}}}});
    });

    h.insert(QStringLiteral("corvik.auth.trustedLogout"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        c.state.users[c.user->username].token =
            QStringLiteral("TOKEN-") + c.user->username + QStringLiteral("-renewed");
        return ok(QJsonObject{{QStringLiteral("response"), QJsonObject{{QStringLiteral("logged_out"), true}}}});
    });

    h.insert(QStringLiteral("tessarine.getUser"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        return ok(QJsonObject{{QStringLiteral("user"), userRecord(*c.user)}});
    });

    h.insert(QStringLiteral("tessarine.checkAlias"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        const QString alias = c.request.field(QStringLiteral("alias"));
        if (alias.size() < 3)
            return FakeHttpReply::serviceError(QStringLiteral("98"), QStringLiteral("Alias too short"));
        QJsonArray illegal;
        static const QRegularExpression allowed(QStringLiteral("[a-z0-9_-]"));
        for (const QChar ch : alias) {
            if (!allowed.match(QString(ch)).hasMatch() && !illegal.contains(QString(ch)))
                illegal.append(QString(ch));
        }
        if (!illegal.isEmpty())
            return FakeHttpReply::serviceError(QStringLiteral("701"), QStringLiteral("Illegal characters"),
                                               QJsonObject{{QStringLiteral("illegal_chars"), illegal}});
        for (const QString& word : std::as_const(c.state.forbiddenAliasWords)) {
            if (alias.contains(word))
                return FakeHttpReply::serviceError(QStringLiteral("702"), QStringLiteral("Forbidden word"));
        }
        const Document* holder = documentBy(c.state, QStringLiteral("alias"), alias);
        if (holder && holder->owner != c.user->username)
            return FakeHttpReply::serviceError(QStringLiteral("703"), QStringLiteral("Alias in use"));
        return ok(QJsonObject{{QStringLiteral("alias"), alias}, {QStringLiteral("available"), true}});
    });

    h.insert(QStringLiteral("tessarine.getHelpList"), [](const Context& c) {
        return ok(
            QJsonObject{{QStringLiteral("help_list"), QJsonObject{{QStringLiteral("tessarine"), c.state.helpList}}}});
    });

    h.insert(QStringLiteral("tessarine.getByStringId"), [](const Context& c) {
        return answerDocument(
            c, documentBy(c.state, QStringLiteral("string_id"), c.request.field(QStringLiteral("string_id"))));
    });
    h.insert(QStringLiteral("tessarine.getByAlias"), [](const Context& c) {
        return answerDocument(c,
                              documentBy(c.state, QStringLiteral("alias"), c.request.field(QStringLiteral("alias"))));
    });
    h.insert(QStringLiteral("tessarine.getById"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        return answerDocument(c, documentBy(c.state, QStringLiteral("id"), c.request.field(QStringLiteral("id"))));
    });

    h.insert(QStringLiteral("tessarine.getTemplates"), [](const Context& c) {
        return ok(QJsonObject{{QStringLiteral("templates"), c.state.templates}});
    });

    h.insert(QStringLiteral("corvik.mailgun.send"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        if (c.request.field(QStringLiteral("sender")).isEmpty() ||
            c.request.field(QStringLiteral("recipient")).isEmpty())
            return FakeHttpReply::serviceError(QStringLiteral("98"), QStringLiteral("Sender and recipient required"));
        c.state.sentEmails.append(c.request.fields);
        return ok(QJsonObject{{QStringLiteral("response"), QJsonObject{{QStringLiteral("sent"), true}}}});
    });

    h.insert(QStringLiteral("tessarine.create"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        Document document;
        const int number = c.state.nextID++;
        document.id = QString::number(number);
        document.stringID = QStringLiteral("s%1").arg(number);
        document.owner = c.user->username;
        applyDocumentFields(c.request, document);
        c.state.documents.insert(document.id, document);
        return ok(QJsonObject{{QStringLiteral("tessarine"), documentRecord(document, c.state, c.baseUrl)}});
    });

    h.insert(QStringLiteral("tessarine.update"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        Document* document = documentBy(c.state, QStringLiteral("id"), c.request.field(QStringLiteral("id")));
        if (!document)
            return notFound(QStringLiteral("Document"));
        if (document->owner != c.user->username)
            return FakeHttpReply::serviceError(QStringLiteral("700"), QStringLiteral("No permission"));
        if (document->requiresFork)
            return FakeHttpReply::serviceError(QStringLiteral("607"),
                                               QStringLiteral("The document changed on the server"));
        applyDocumentFields(c.request, *document);
        if (c.request.field(QStringLiteral("deleted")) == QLatin1String("1"))
            document->deleted = true;
        return ok(QJsonObject{{QStringLiteral("tessarine"), documentRecord(*document, c.state, c.baseUrl)}});
    });

    h.insert(QStringLiteral("tessarine.fork"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        Document* original = documentBy(c.state, QStringLiteral("id"), c.request.field(QStringLiteral("id")));
        if (!original)
            return notFound(QStringLiteral("Document"));
        Document fork = *original;
        const int number = c.state.nextID++;
        fork.id = QString::number(number);
        fork.stringID = QStringLiteral("s%1").arg(number);
        fork.alias.clear();
        fork.owner = c.user->username;
        fork.requiresFork = false;
        applyDocumentFields(c.request, fork);
        if (c.request.field(QStringLiteral("overwrite")) == QLatin1String("1"))
            original->deleted = true;
        c.state.documents.insert(fork.id, fork);
        return ok(QJsonObject{{QStringLiteral("tessarine"), documentRecord(fork, c.state, c.baseUrl)}});
    });

    h.insert(QStringLiteral("corvik.users.getDiskQuota"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        return ok(QJsonObject{
            {QStringLiteral("disk_quota"), QJsonObject{{QStringLiteral("max"), QString::number(c.user->quotaMax)},
                                                       {QStringLiteral("used"), QString::number(c.user->quotaUsed)}}}});
    });

    h.insert(QStringLiteral("tessarine.getUserTessarines"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        QJsonArray list;
        for (const Document& document : std::as_const(c.state.documents)) {
            if (!document.deleted && document.owner == c.user->username)
                list.append(documentRecord(document, c.state, c.baseUrl));
        }
        return ok(QJsonObject{{QStringLiteral("tessarines"), list}});
    });

    h.insert(QStringLiteral("corvik.channel.delete"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        const QString id = c.request.field(QStringLiteral("content_id"));
        if (!c.state.contentItems.contains(id) || c.state.contentItems.value(id).owner != c.user->username)
            return FakeHttpReply::html(404, "Not Found"); // a permanent failure the deletion queue must drop
        c.state.users[c.user->username].quotaUsed -= c.state.contentItems.value(id).data.size();
        c.state.contentItems.remove(id);
        return ok(QJsonObject{{QStringLiteral("response"), QJsonObject{{QStringLiteral("deleted"), id}}}});
    });

    h.insert(QStringLiteral("corvik.channel.add.multiple"), [](const Context& c) {
        if (!c.user)
            return needsSignIn();
        if (c.request.files.isEmpty())
            return FakeHttpReply::serviceError(QStringLiteral("422"), QStringLiteral("No files"));
        QJsonArray items;
        for (auto it = c.request.files.begin(); it != c.request.files.end(); ++it) {
            ContentItem item;
            item.id = QStringLiteral("c%1").arg(c.state.nextID++);
            item.owner = c.user->username;
            item.fileName = it->fileName;
            item.contentType = it->contentType;
            item.data = it->data;
            c.state.contentItems.insert(item.id, item);
            c.state.users[c.user->username].quotaUsed += item.data.size();
            items.append(QJsonObject{
                {QStringLiteral("field"), it.key()},
                {QStringLiteral("content_id"), item.id},
                {QStringLiteral("url"), c.baseUrl.toString() + QStringLiteral("/content/") + item.id +
                                            QLatin1Char('/') +
                                            QString::fromUtf8(QUrl::toPercentEncoding(item.fileName))},
                {QStringLiteral("file_name"), item.fileName},
                {QStringLiteral("size"), QString::number(item.data.size())},
            });
        }
        return ok(QJsonObject{{QStringLiteral("content_items"), items}});
    });

    h.insert(QStringLiteral("tessarine.log"), [](const Context& c) {
        const QJsonValue events = parsedJson(c.request.field(QStringLiteral("events")));
        if (!events.isArray())
            return FakeHttpReply::serviceError(QStringLiteral("422"),
                                               QStringLiteral("\"events\" must be a JSON array"));
        for (const QJsonValue& event : events.toArray())
            c.state.loggedEvents.append(event);
        return ok(QJsonObject{
            {QStringLiteral("response"), QJsonObject{{QStringLiteral("logged"), qsizetype(events.toArray().size())}}}});
    });
}
