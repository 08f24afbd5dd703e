#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
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

} // namespace
