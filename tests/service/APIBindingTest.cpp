#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "ServiceTestSupport.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/ZERI_APIBinding.h"
#include "support/QtPrinters.h"

namespace {

using Start = std::function<std::shared_ptr<BlockRequester>(BlockRequester::Completion)>;
using Fields = QMap<QString, QString>;

struct BindingCase {
    const char* name;
    QString method;
    QByteArray verb;
    Fields fields; // the method's own fields, exactly
    Start start;
    QStringList fileFields = {};
};

} // namespace

// Every binding listed in docs/web-api.md, with the exact field set the service must receive. The fields
// every call carries ("method", "format", "api_key", "api_sig", "app_version_num") are added here; nobody is
// signed in, so no "auth_token" is added on its own.
TEST_F(ServiceTest, EveryBindingSendsExactlyItsDocumentedFields)
{
    QTemporaryDir folder;
    const QString imagePath = folder.filePath("photo.jpg");
    {
        QFile file(imagePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("jpeg bytes");
    }
    const QString json = QStringLiteral(R"({"tessarine":{"docVersion":"1.3"}})");

    const QList<BindingCase> cases{
        {"authenticateUser",
         "corvik.auth.getTokenFromCredentials",
         "POST",
         {{"username", "ann"}, {"password", "pw"}},
         [](auto d) { return CorvikBlockAPIBinding::authenticateUser("ann", "pw", d); }},
        {"authTokenFromFacebookAccessToken",
         "corvik.users.facebookLogin",
         "POST",
         {{"fb_access_token", "FB1"}},
         [](auto d) { return CorvikBlockAPIBinding::authTokenFromFacebookAccessToken("FB1", d); }},
        {"authTokenFromFacebookAccessToken without a token",
         "corvik.users.facebookLogin",
         "POST",
         {},
         [](auto d) { return CorvikBlockAPIBinding::authTokenFromFacebookAccessToken(QString(), d); }},
        {"registerUserWithUsername, all fields",
         "corvik.users.register",
         "POST",
         {{"username", "u"},
          {"password", "p"},
          {"email", "e@x"},
          {"mobile_number", "555"},
          {"display_name", "U"},
          {"real_name", "Real U"}},
         [](auto d) {
             return CorvikBlockAPIBinding::registerUserWithUsername("u", "p", "e@x", "555", "U", "Real U", d);
         }},
        {"registerUserWithUsername, required fields",
         "corvik.users.register",
         "POST",
         {{"username", "u2"}, {"password", "p"}, {"email", "e@x"}},
         [](auto d) { return CorvikBlockAPIBinding::registerUserWithUsername("u2", "p", "e@x", {}, {}, {}, d); }},
        {"logoutWithUsername",
         "corvik.auth.trustedLogout",
         "POST",
         {{"username", "ann"}, {"auth_token", "T1"}},
         [](auto d) { return CorvikBlockAPIBinding::logoutWithUsername("ann", "T1", d); }},
        {"logoutWithUsername without a name",
         "corvik.auth.trustedLogout",
         "POST",
         {{"auth_token", "T1"}},
         [](auto d) { return CorvikBlockAPIBinding::logoutWithUsername(QString(), "T1", d); }},
        {"getUserWithUserName",
         "tessarine.getUser",
         "POST",
         {{"username", "ann"}, {"email", "a@x"}, {"auth_token", "T1"}},
         [](auto d) { return CorvikBlockAPIBinding::getUserWithUserName("ann", "a@x", "T1", d); }},
        {"getUserWithUserName, token only",
         "tessarine.getUser",
         "POST",
         {{"auth_token", "T1"}},
         [](auto d) { return CorvikBlockAPIBinding::getUserWithUserName({}, {}, "T1", d); }},
        {"checkForAlias",
         "tessarine.checkAlias",
         "POST",
         {{"alias", "my-talk"}, {"auth_token", "T1"}},
         [](auto d) { return CorvikBlockAPIBinding::checkForAlias("my-talk", "T1", d); }},
        {"getHelpTessarinesList",
         "tessarine.getHelpList",
         "POST",
         {{"language", "En"}},
         [](auto d) { return ZERI_APIBinding::getHelpTessarinesList("En", d); }},
        {"getTessarineByStringId",
         "tessarine.getByStringId",
         "GET",
         {{"string_id", "abc"}, {"auth_token", "T1"}, {"password", "p w"}},
         [](auto d) { return ZERI_APIBinding::getTessarineByStringId("abc", "T1", "p w", d); }},
        {"getTessarineByStringId, id only",
         "tessarine.getByStringId",
         "GET",
         {{"string_id", "abc"}},
         [](auto d) { return ZERI_APIBinding::getTessarineByStringId("abc", {}, {}, d); }},
        {"getTessarineById",
         "tessarine.getById",
         "POST",
         {{"id", "42"}, {"auth_token", "T1"}},
         [](auto d) { return ZERI_APIBinding::getTessarineById("42", "T1", d); }},
        {"getTessarineByAlias",
         "tessarine.getByAlias",
         "POST",
         {{"alias", "my-talk"}},
         [](auto d) { return ZERI_APIBinding::getTessarineByAlias("my-talk", d); }},
        {"getTessarineTemplateListWithGroupID",
         "tessarine.getTemplates",
         "POST",
         {{"auth_token", ""}, {"guid", "0"}, {"platform", "macosx"}},
         [](auto d) { return ZERI_APIBinding::getTessarineTemplateListWithGroupID("group-7", QString(), d); }},
        {"sendTrackableEmailWithAuthToken",
         "corvik.mailgun.send",
         "POST",
         {{"auth_token", "T1"},
          {"sender", "a@x"},
          {"recipient", "b@x"},
          {"tessarine_id", "42"},
          {"should_notify", "1"},
          {"subject", ""},
          {"message", "hello"}},
         [](auto d) {
             return ZERI_APIBinding::sendTrackableEmailWithAuthToken("T1", "a@x", "b@x", {}, "hello", "42", true, d);
         }},
        {"tessarineUpdateWithAuthToken, all fields",
         "tessarine.update",
         "POST",
         {{"auth_token", "T1"},
          {"id", "42"},
          {"document_json", json},
          {"published", "1"},
          {"deleted", "1"},
          {"title", "T"},
          {"description", "D"},
          {"categories", R"(["a","b"])"},
          {"privacy", "protected"},
          {"password", "pp"},
          {"parent_draft_file_id", "d1"},
          {"parent_published_file_id", "p1"},
          {"alias", "al"}},
         [json](auto d) {
             return ZERI_APIBinding::tessarineUpdateWithAuthToken("T1", "42", json, true, true, "T", "D", {"a", "b"},
                                                                  "protected", "pp", "d1", "p1", "al", d);
         }},
        {"tessarineUpdateWithAuthToken, a draft save",
         "tessarine.update",
         "POST",
         {{"auth_token", "T1"}, {"id", "42"}, {"document_json", json}},
         [json](auto d) {
             return ZERI_APIBinding::tessarineUpdateWithAuthToken("T1", "42", json, std::nullopt, false, {}, {}, {}, {},
                                                                  {}, {}, {}, {}, d);
         }},
        {"tessarineUpdateWithAuthToken, unpublish",
         "tessarine.update",
         "POST",
         {{"auth_token", "T1"}, {"id", "42"}, {"published", "0"}},
         [](auto d) {
             return ZERI_APIBinding::tessarineUpdateWithAuthToken("T1", "42", {}, false, false, {}, {}, {}, {}, {}, {},
                                                                  {}, {}, d);
         }},
        {"tessarineUpdateWithAuthToken, the password removed",
         "tessarine.update",
         "POST",
         {{"auth_token", "T1"}, {"id", "42"}, {"published", "1"}, {"privacy", "public"}, {"password", ""}},
         [](auto d) {
             return ZERI_APIBinding::tessarineUpdateWithAuthToken("T1", "42", {}, true, false, {}, {}, {}, "public",
                                                                  QString(), {}, {}, {}, d);
         }},
        {"tessarineForkWithAuthToken, the password removed",
         "tessarine.fork",
         "POST",
         {{"auth_token", "T1"}, {"id", "42"}, {"published", "1"}, {"password", ""}, {"overwrite", "1"}},
         [](auto d) {
             return ZERI_APIBinding::tessarineForkWithAuthToken("T1", "42", {}, true, {}, QString(), true, d);
         }},
        {"tessarineCreateWithAuthToken",
         "tessarine.create",
         "POST",
         {{"auth_token", "T1"}, {"document_json", json}, {"published", "1"}, {"title", "T"}, {"privacy", "public"}},
         [json](auto d) {
             return ZERI_APIBinding::tessarineCreateWithAuthToken("T1", json, true, "T", {}, {}, "public", {}, {}, d);
         }},
        {"tessarineForkWithAuthToken",
         "tessarine.fork",
         "POST",
         {{"auth_token", "T1"}, {"id", "42"}, {"document_json", json}, {"published", "0"}, {"overwrite", "0"}},
         [json](auto d) {
             return ZERI_APIBinding::tessarineForkWithAuthToken("T1", "42", json, false, {}, {}, false, d);
         }},
        {"userDiskQuota",
         "corvik.users.getDiskQuota",
         "POST",
         {{"auth_token", "T1"}},
         [](auto d) { return ZERI_APIBinding::userDiskQuota("T1", d); }},
        {"getUserTessarinesWithAuthToken",
         "tessarine.getUserTessarines",
         "POST",
         {{"auth_token", "T1"}},
         [](auto d) { return ZERI_APIBinding::getUserTessarinesWithAuthToken("T1", d); }},
        {"deleteContentItem",
         "corvik.channel.delete",
         "POST",
         {{"content_id", "c9"}, {"auth_token", "T1"}},
         [](auto d) { return ZERI_APIBinding::deleteContentItem("c9", "T1", d); }},
        {"addContentItems",
         "corvik.channel.add.multiple",
         "POST",
         {{"auth_token", "T1"}},
         [imagePath](auto d) {
             return ZERI_APIBinding::addContentItems({{{}, imagePath, {}, "image/jpeg"}}, "T1", d);
         },
         {"file0"}},
        {"logActions",
         "tessarine.log",
         "POST",
         {{"events", R"([{"name":"Publish"}])"}, {"auth_token", "T1"}},
         [](auto d) { return ZERI_APIBinding::logActions(R"([{"name":"Publish"}])", "T1", d); }},
    };

    const Fields common{{"method", QString()}, {"format", "json"}, {"api_key", "KEY123"}};
    for (const BindingCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_service.clearRequests();
        auto reply = callAndWait(c.start);
        ASSERT_EQ(m_service.requestCount(), 1);
        const FakeHttpRequest request = *m_service.lastRequest();
        EXPECT_EQ(request.verb, c.verb);
        EXPECT_EQ(request.path, QStringLiteral("/2.0/services/api"));
        EXPECT_EQ(reply->identifier, c.method);

        QSet<QString> expectedNames{"method", "format", "api_key", "api_sig", "app_version_num"};
        for (auto it = c.fields.begin(); it != c.fields.end(); ++it) {
            expectedNames.insert(it.key());
            EXPECT_EQ(request.field(it.key()), it.value()) << it.key().toStdString();
        }
        EXPECT_EQ(QSet<QString>(request.fieldOrder.begin(), request.fieldOrder.end()), expectedNames);
        EXPECT_EQ(request.fieldOrder.size(), expectedNames.size()) << "no field is sent twice";
        EXPECT_EQ(request.method(), c.method);
        for (auto it = common.begin(); it != common.end(); ++it) {
            if (!it.value().isEmpty()) {
                EXPECT_EQ(request.field(it.key()), it.value());
            }
        }
        EXPECT_EQ(QStringList(request.files.keys()), c.fileFields);
        // The service checked the signature and knew the method.
        const QString code = reply->error().value("errorCode").toString();
        EXPECT_NE(code, QStringLiteral("96")) << "signature refused";
        EXPECT_NE(code, QStringLiteral("112")) << "unknown method";
    }
}

TEST_F(ServiceTest, DocumentRoundTripThroughTheFakeService)
{
    const auto ann = m_service.addUser(QStringLiteral("ann"));
    const QString json = QStringLiteral(R"({"tessarine":{"docVersion":"1.3","flows":[]}})");

    auto created = callAndWait([&](auto d) {
        return ZERI_APIBinding::tessarineCreateWithAuthToken(ann.token, json, std::nullopt, "Talk", {}, {}, {}, {},
                                                             "my-talk", d);
    });
    const QJsonObject record = created->json()["tessarine"].toObject();
    ASSERT_FALSE(record["id"].toString().isEmpty()) << created->text.toStdString();
    EXPECT_FALSE(record["string_id"].toString().isEmpty());
    EXPECT_EQ(record["alias"].toString(), QStringLiteral("my-talk"));
    EXPECT_EQ(record["owner"].toObject()["username"].toString(), QStringLiteral("ann"));
    EXPECT_FALSE(record["updated"].toString().isEmpty());

    auto list = callAndWait([&](auto d) { return ZERI_APIBinding::getUserTessarinesWithAuthToken(ann.token, d); });
    EXPECT_EQ(list->json()["tessarines"].toArray().size(), 1);

    // The server copy changed elsewhere: the update is refused with "607" until the document is forked.
    m_service.withState([&](FakeWebService::State& s) { s.documents[record["id"].toString()].requiresFork = true; });
    auto conflict = callAndWait([&](auto d) {
        return ZERI_APIBinding::tessarineUpdateWithAuthToken(ann.token, record["id"].toString(), json, true, false, {},
                                                             {}, {}, {}, {}, {}, {}, {}, d);
    });
    EXPECT_EQ(conflict->error().value("errorCode").toString(), QStringLiteral("607"));
    auto fork = callAndWait([&](auto d) {
        return ZERI_APIBinding::tessarineForkWithAuthToken(ann.token, record["id"].toString(), json, true, {}, {}, true,
                                                           d);
    });
    EXPECT_NE(fork->json()["tessarine"].toObject()["id"].toString(), record["id"].toString())
        << fork->text.toStdString();

    // Without a token the documents list is refused as a service error.
    auto refused = callAndWait([](auto d) { return ZERI_APIBinding::getUserTessarinesWithAuthToken(QString(), d); });
    EXPECT_FALSE(refused->error().isEmpty());
}
