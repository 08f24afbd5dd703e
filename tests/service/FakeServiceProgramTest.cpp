#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include "ServiceTestSupport.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ZERI_APIBinding.h"

namespace {

// The member at `path` (names of nested objects).
QJsonValue member(QJsonObject object, const QStringList& path)
{
    QJsonValue value;
    for (const QString& name : path) {
        value = object.value(name);
        object = value.toObject();
    }
    return value;
}

// The fake service program started in `folder` with `arguments`; its printed lines gathered until both addresses
// are known (empty when it did not start).
struct StartedProgram {
    QUrl root;
    QUrl social;
    QString printed;
};
StartedProgram startProgram(QProcess& program, const QString& folder, const QStringList& arguments)
{
    StartedProgram started;
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(TESS_FAKE_SERVICE_PROGRAM), arguments);
    if (!program.waitForStarted(5000))
        return started;
    static const QRegularExpression listening(QStringLiteral("listening on (http://127\\.0\\.0\\.1:[0-9]+)"));
    static const QRegularExpression social(QStringLiteral("social sites on (http://127\\.0\\.0\\.1:[0-9]+)"));
    waitUntil([&] {
        started.printed += QString::fromUtf8(program.readAllStandardOutput());
        if (const auto match = listening.match(started.printed); match.hasMatch())
            started.root = QUrl(match.captured(1));
        if (const auto match = social.match(started.printed); match.hasMatch())
            started.social = QUrl(match.captured(1));
        return (started.root.isValid() && started.social.isValid()) || program.state() == QProcess::NotRunning;
    });
    return started;
}

// GET `url`: the HTTP status and the body (status 0 when nothing answered).
std::pair<int, QByteArray> fetch(const QUrl& url)
{
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(url));
    waitUntil([&] { return reply->isFinished(); });
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->readAll();
    delete reply;
    return {status, body};
}

// Every "externalURL" of a document, at any depth.
void collectAddresses(const QJsonValue& value, QStringList* addresses)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == QLatin1String("externalURL") && it.value().isString())
                addresses->append(it.value().toString());
            else
                collectAddresses(it.value(), addresses);
        }
    } else if (value.isArray()) {
        for (const QJsonValue& item : value.toArray())
            collectAddresses(item, addresses);
    }
}

// The types of every object of a document.
QSet<int> objectTypes(const QJsonObject& document)
{
    QSet<int> types;
    for (const QJsonValue& flow : document.value("flows").toArray())
        for (const QJsonValue& screen : flow.toObject().value("screens").toArray())
            for (const QJsonValue& object : screen.toObject().value("mixedMediaObjects").toArray())
                types.insert(object.toObject().value("type").toVariant().toInt());
    return types;
}

bool writeJson(const QString& path, const QJsonDocument& document)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(document.toJson()) > 0;
}

// The stand-alone fake service: started on a free port with a folder, it says where it listens and answers the
// application's calls from what the folder holds.
TEST_F(ServiceTest, TheFakeServiceProgramStartsOnAFreePortAndAnswersASignIn)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(writeJson(
        folder.filePath("users.json"),
        QJsonDocument(QJsonArray{QJsonObject{
            {"username", "bo"}, {"password", "pw2"}, {"email", "bo@x.example"}, {"quota_max", 5 * 1048576}}})));
    ASSERT_TRUE(QDir(folder.path()).mkpath("documents"));
    ASSERT_TRUE(writeJson(folder.filePath("documents/talk.json"),
                          QJsonDocument(QJsonObject{{"tessarine", QJsonObject{{"docVersion", "1.3"}}}})));

    QProcess program;
    program.start(QStringLiteral(TESS_FAKE_SERVICE_PROGRAM), {folder.path(), "--port", "0", "--quiet"});
    ASSERT_TRUE(program.waitForStarted(5000)) << program.errorString().toStdString();
    QString printed;
    QUrl root;
    static const QRegularExpression listening(QStringLiteral("listening on (http://127\\.0\\.0\\.1:[0-9]+)"));
    ASSERT_TRUE(waitUntil([&] {
        printed += QString::fromUtf8(program.readAllStandardOutput());
        const auto match = listening.match(printed);
        if (match.hasMatch())
            root = QUrl(match.captured(1));
        return root.isValid() || program.state() == QProcess::NotRunning;
    }));
    ASSERT_TRUE(root.isValid()) << printed.toStdString() << program.readAllStandardError().toStdString();
    EXPECT_NE(root.port(), 0);
    EXPECT_TRUE(printed.contains("TESS_API_URL=" + root.toString() + "/")) << printed.toStdString();

    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(root));
    const auto signedIn =
        callAndWait([](auto done) { return CorvikBlockAPIBinding::authenticateUser("bo@x.example", "pw2", done); });
    EXPECT_EQ(member(signedIn->json(), {"response", "auth", "token"}).toString(), QStringLiteral("TOKEN-bo"))
        << signedIn->text.toStdString();
    const auto refused =
        callAndWait([](auto done) { return CorvikBlockAPIBinding::authenticateUser("bo", "wrong", done); });
    EXPECT_EQ(refused->error().value("errorCode").toString(), QStringLiteral("401"));
    const auto quota = callAndWait([](auto done) { return ZERI_APIBinding::userDiskQuota("TOKEN-bo", done); });
    EXPECT_EQ(member(quota->json(), {"disk_quota", "max"}).toString(), QString::number(5 * 1048576));
    // The folder's document, published, by its string id.
    const auto opened = callAndWait(
        [](auto done) { return ZERI_APIBinding::getTessarineByStringId("s1000", QString(), QString(), done); });
    EXPECT_EQ(member(opened->json(), {"tessarine", "title"}).toString(), QStringLiteral("talk"))
        << opened->text.toStdString();

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

// The sample folder shipped with the source, given by a relative path as the README's set-up does: its pages are
// served at the web site's own addresses, its documents hold every kind of media whose files are all there, the
// guides and templates lists have entries whose files come, and the social sites answer on a root of their own,
// whose feed dialog leads back to the web site.
TEST_F(ServiceTest, TheSampleFolderByARelativePathServesEverythingItHolds)
{
    QProcess program;
    const QString sources = QStringLiteral(TESS_FAKE_SERVICE_SAMPLE_PARENT);
    const StartedProgram started =
        startProgram(program, sources, {"sample", "--port", "0", "--social-port", "0", "--quiet"});
    ASSERT_TRUE(started.root.isValid() && started.social.isValid())
        << started.printed.toStdString() << program.readAllStandardError().toStdString();
    EXPECT_NE(started.root, started.social) << "the feed dialog returns to the web site's root";
    EXPECT_TRUE(started.printed.contains("TESS_WEB_SITE_URL=" + started.root.toString()));
    EXPECT_TRUE(started.printed.contains("TESS_FACEBOOK_URL=" + started.social.toString()));
    const QString root = started.root.toString();

    // Pages at the site's addresses, naming the site itself.
    for (const char* path : {"/catalog", "/user/library", "/user/settings", "/forgot_password", "/previews/1001.jpg",
                             "/user/analytics/s1001/user"}) {
        const auto [status, body] = fetch(QUrl(root + QString::fromLatin1(path)));
        EXPECT_EQ(status, 200) << path;
        EXPECT_FALSE(body.contains("{root}")) << path;
    }
    EXPECT_TRUE(fetch(QUrl(root + "/catalog")).second.contains((root + "/previews/1001.jpg").toUtf8()));

    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(started.root));
    const auto signedIn =
        callAndWait([](auto done) { return CorvikBlockAPIBinding::authenticateUser("ann@example.com", "pw", done); });
    EXPECT_EQ(member(signedIn->json(), {"response", "auth", "token"}).toString(), QStringLiteral("TOKEN-ann"));

    // The media tour holds every kind of object, and every file it names is served.
    const auto tour = callAndWait(
        [](auto done) { return ZERI_APIBinding::getTessarineByStringId("s1001", QString(), QString(), done); });
    const QJsonObject published = member(tour->json(), {"tessarine", "document_json_published"}).toObject();
    const QJsonObject document = published.value("tessarine").toObject();
    EXPECT_EQ(objectTypes(document), QSet<int>({1, 2, 3, 4, 6, 7, 9})) << tour->text.left(400).toStdString();
    QStringList addresses;
    collectAddresses(published, &addresses);
    EXPECT_GE(addresses.size(), 8);
    for (const QString& address : addresses) {
        EXPECT_TRUE(address.startsWith(root)) << address.toStdString();
        EXPECT_EQ(fetch(QUrl(address)).first, 200) << address.toStdString();
    }

    // The import window's sample: a document made from a deck, with the pictures it names.
    const auto importSample = callAndWait([](auto done) {
        return ZERI_APIBinding::getTessarineByStringId("powerpoint-import-sample", QString(), QString(), done);
    });
    const QJsonObject importSampleJson =
        member(importSample->json(), {"tessarine", "document_json_published"}).toObject();
    EXPECT_EQ(objectTypes(importSampleJson.value("tessarine").toObject()), QSet<int>({2, 4}))
        << importSample->text.left(400).toStdString();
    QStringList importSampleFiles;
    collectAddresses(importSampleJson, &importSampleFiles);
    EXPECT_FALSE(importSampleFiles.isEmpty());
    for (const QString& address : importSampleFiles)
        EXPECT_EQ(fetch(QUrl(address)).first, 200) << address.toStdString();

    // Guides and templates, with the files they name.
    const auto guides = callAndWait([](auto done) { return ZERI_APIBinding::getHelpTessarinesList("En", done); });
    const QJsonArray guideList = member(guides->json(), {"help_list", "tessarine"}).toArray();
    ASSERT_EQ(guideList.size(), 2) << guides->text.toStdString();
    for (const QJsonValue& guide : guideList) {
        const QString stringID = guide.toObject().value("string_id").toString();
        const auto opened = callAndWait(
            [&](auto done) { return ZERI_APIBinding::getTessarineByStringId(stringID, QString(), QString(), done); });
        EXPECT_FALSE(member(opened->json(), {"tessarine", "document_json_published"}).toObject().isEmpty())
            << stringID.toStdString();
        const QString preview =
            member(guide.toObject(), {"document_json_published_metadata", "first_preview_url"}).toString();
        EXPECT_EQ(fetch(QUrl(preview)).first, 200) << preview.toStdString();
    }
    const auto templates = callAndWait(
        [](auto done) { return ZERI_APIBinding::getTessarineTemplateListWithGroupID(QString(), QString(), done); });
    const QJsonArray templateList = member(templates->json(), {"templates"}).toArray();
    ASSERT_EQ(templateList.size(), 2) << templates->text.toStdString();
    for (const QJsonValue& entry : templateList) {
        for (const QStringList& path : {QStringList{"themeSampleJSON", "url"}, {"themeIconImage", "icon2x", "url"}}) {
            const QString address = member(entry.toObject(), path).toString();
            const auto [status, body] = fetch(QUrl(address));
            EXPECT_EQ(status, 200) << address.toStdString();
            EXPECT_FALSE(body.contains("{root}")) << address.toStdString();
        }
    }

    // The social sites: the feed dialog leads back to the web site; the other networks' pages answer.
    const auto [feedStatus, feed] = fetch(QUrl(started.social.toString() +
                                               "/dialog/feed?app_id=1&link=http%3A%2F%2Fshort.example%2Fs1001"
                                               "&redirect_uri=" +
                                               QString::fromUtf8(QUrl::toPercentEncoding(root))));
    EXPECT_EQ(feedStatus, 200);
    EXPECT_TRUE(feed.contains("http://short.example/s1001"));
    EXPECT_TRUE(feed.contains(("href=\"" + root + "\"").toUtf8())) << feed.toStdString();
    for (const char* path : {"/intent/tweet?text=Hi", "/shareArticle?url=x", "/mail/u/0/?view=cm&body=x"})
        EXPECT_EQ(fetch(QUrl(started.social.toString() + QString::fromLatin1(path))).first, 200) << path;

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(5000));
}

// --help names the sample folder.
TEST(FakeServiceProgram, ItsHelpNamesTheSampleFolder)
{
    QProcess program;
    program.start(QStringLiteral(TESS_FAKE_SERVICE_PROGRAM), {"--help"});
    ASSERT_TRUE(program.waitForFinished(10000));
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(help.contains("tests/support/fakeservice/sample")) << help.toStdString();
    EXPECT_TRUE(help.contains("--social-port"));
}

} // namespace
