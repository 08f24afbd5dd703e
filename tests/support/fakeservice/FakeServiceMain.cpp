// fake-service: the tests' fake web service as a program of its own, for trying the application's service roads
// by hand. It answers every call the application makes, from memory, starting from what a folder holds.

#include <csignal>
#include <cstdio>
#include <optional>

#include <sys/socket.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QSocketNotifier>

#include "support/fakeservice/FakeWebService.h"

namespace {

int s_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(s_signalPipe[1], &byte, 1);
}

// Ends the event loop on SIGINT and SIGTERM, so the service closes its port before the process ends.
void quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(s_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

void print(const QString& line)
{
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

// "METHOD=VALUE" (METHOD "*" for every method) into its two halves; false when malformed.
bool splitRule(const QString& rule, QString* method, QString* value)
{
    const qsizetype equals = rule.lastIndexOf(QLatin1Char('='));
    if (equals <= 0 || equals == rule.size() - 1)
        return false;
    *method = rule.left(equals);
    if (*method == QLatin1String("*"))
        method->clear();
    *value = rule.mid(equals + 1);
    return true;
}

// One grey pixel: the picture of every user who has none of their own, served here rather than fetched elsewhere.
const QByteArray kAvatarPng = QByteArray::fromRawData(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x01\x00\x00\x00\x01\x08\x02"
    "\x00\x00\x00\x90\x77\x53\xde\x00\x00\x00\x0c\x49\x44\x41\x54\x78\x9c\x63\xd0\xeb\xee\x06\x00\x02\x2f"
    "\x01\x45\x48\xe9\xc6\xb4\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    69);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fake-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The tests' fake web service on 127.0.0.1, answering every call of the application from memory, with the\n"
        "social networks' sites on a port of their own.\n"
        "Prints the addresses and the environment to start the application with, then one line per request.\n"
        "Without a user in the folder (or --user), the user \"ann\" with the password \"pw\" is there.\n"
        "A complete sample folder (users, documents with every kind of media, guides, templates, pages) is\n"
        "tests/support/fakeservice/sample in the source tree:\n"
        "    fake-service --port 8765 --social-port 8766 tests/support/fakeservice/sample"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 QStringLiteral("What the service holds at start: users.json, documents/*.json, "
                                                "content/<id>/<file>, help.json, templates.json, pages/ (optional; "
                                                "\"{root}\" in its text files stands for the service's address)."),
                                 QStringLiteral("[folder]"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The port (a free one when 0 or absent)."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption socialPort(QStringLiteral("social-port"),
                                        QStringLiteral("The social sites' port (a free one when 0 or absent)."),
                                        QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption user(QStringLiteral("user"), QStringLiteral("Adds a user (may be repeated)."),
                                  QStringLiteral("name:password"));
    const QCommandLineOption apiKey(QStringLiteral("api-key"), QStringLiteral("The API key it accepts."),
                                    QStringLiteral("key"), QStringLiteral("KEY123"));
    const QCommandLineOption apiPassword(QStringLiteral("api-password"),
                                         QStringLiteral("The API password the calls are signed with."),
                                         QStringLiteral("password"), QStringLiteral("s3cretPW"));
    const QCommandLineOption slow(QStringLiteral("slow"), QStringLiteral("Every answer comes this late."),
                                  QStringLiteral("milliseconds"));
    const QCommandLineOption error(QStringLiteral("error"),
                                   QStringLiteral("The method (\"*\": every method) answers the service error "
                                                  "code, e.g. tessarine.update=607 (may be repeated)."),
                                   QStringLiteral("method=code"));
    const QCommandLineOption httpError(QStringLiteral("http-error"),
                                       QStringLiteral("The method (\"*\": every method) answers the HTTP status, "
                                                      "e.g. corvik.users.getDiskQuota=500 (may be repeated)."),
                                       QStringLiteral("method=status"));
    const QCommandLineOption endless(QStringLiteral("endless-downloads"),
                                     QStringLiteral("Content downloads and pages start and never end."));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("No line per request."));
    parser.addOptions({port, socialPort, user, apiKey, apiPassword, slow, error, httpError, endless, quiet});
    parser.process(app);

    const auto fail = [](const QString& message) {
        std::fprintf(stderr, "fake-service: %s\n", qPrintable(message));
        return 2;
    };

    const auto portNumber = [&](const QCommandLineOption& option) -> std::optional<quint16> {
        bool isNumber = false;
        const int number = parser.value(option).toInt(&isNumber);
        if (!isNumber || number < 0 || number > 65535)
            return std::nullopt;
        return quint16(number);
    };
    const std::optional<quint16> servicePort = portNumber(port);
    const std::optional<quint16> socialSitesPort = portNumber(socialPort);
    if (!servicePort || !socialSitesPort)
        return fail(QStringLiteral("--port and --social-port take a number from 0 to 65535"));

    FakeWebService service;
    service.setRecording(false); // a long run keeps no record of its requests
    service.withState([&](FakeWebService::State& state) {
        state.apiKey = parser.value(apiKey);
        state.apiPassword = parser.value(apiPassword);
    });
    // Listening first: the folder's files may name the service's address.
    if (!service.start(*servicePort))
        return fail(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(*servicePort));
    if (!service.startSocialSites(*socialSitesPort))
        return fail(QStringLiteral("cannot listen on 127.0.0.1:%1 for the social sites").arg(*socialSitesPort));
    if (!parser.positionalArguments().isEmpty()) {
        QString loadError;
        if (!service.loadFolder(parser.positionalArguments().constFirst(), &loadError))
            return fail(loadError);
    }
    for (const QString& given : parser.values(user)) {
        const qsizetype colon = given.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            return fail(QStringLiteral("--user takes name:password, not \"%1\"").arg(given));
        service.addUser(given.left(colon), given.mid(colon + 1));
    }
    if (service.state().users.isEmpty())
        service.addUser(QStringLiteral("ann"), QStringLiteral("pw"));

    for (const QString& rule : parser.values(error)) {
        QString method, code;
        if (!splitRule(rule, &method, &code))
            return fail(QStringLiteral("--error takes method=code, not \"%1\"").arg(rule));
        service.injectReply(method, FakeHttpReply::serviceError(code, QStringLiteral("Answered by --error")), -1);
    }
    for (const QString& rule : parser.values(httpError)) {
        QString method, status;
        bool numeric = false;
        if (!splitRule(rule, &method, &status) || status.toInt(&numeric) < 100 || !numeric)
            return fail(QStringLiteral("--http-error takes method=status, not \"%1\"").arg(rule));
        service.injectReply(
            method, FakeHttpReply::html(status.toInt(), "<html><body>Answered by --http-error</body></html>"), -1);
    }
    if (parser.isSet(slow))
        service.setReplyDelay(parser.value(slow).toInt());
    service.setEndlessDownloads(parser.isSet(endless));
    service.setAnswersSocialSignIn(true);
    if (!parser.isSet(quiet))
        service.setRequestLogger(print);

    quitOnSignals(app);
    for (const FakeWebService::User& known : service.state().users) {
        if (!known.avatarURL.isEmpty())
            continue;
        const QString id = QStringLiteral("avatar-") + known.username;
        const QUrl avatar = service.addContent(id, kAvatarPng, QStringLiteral("avatar.png"), known.username);
        service.withState([&](FakeWebService::State& state) {
            state.contentItems[id].contentType = QStringLiteral("image/png");
            state.users[known.username].avatarURL = avatar.toString();
        });
    }

    const QString root = service.baseUrl().toString();
    const QString social = service.socialBaseUrl().toString();
    const FakeWebService::State state = service.state();
    print(QStringLiteral("fake-service: listening on %1").arg(root));
    print(QStringLiteral("fake-service: social sites on %1").arg(social));
    for (const FakeWebService::User& known : state.users)
        print(QStringLiteral("fake-service: user %1 (%2)").arg(known.username, known.email));
    print(QStringLiteral("fake-service: %1 documents").arg(state.documents.size()));
    print(QStringLiteral("export TESS_API_URL=%1/ TESS_API_KEY=%2 TESS_API_PASSWORD=%3")
              .arg(root, state.apiKey, state.apiPassword));
    // The social sites differ from the web site: the feed dialog goes back to the web site's root when done.
    print(QStringLiteral("export TESS_WEB_SITE_URL=%1").arg(root));
    print(QStringLiteral("export TESS_FACEBOOK_URL=%1 TESS_TWITTER_URL=%1 TESS_LINKEDIN_URL=%1 TESS_GMAIL_URL=%1")
              .arg(social));
    return app.exec();
}
