#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "LibraryTestSupport.h"
#include "creator/TessarineThemeCatalogue.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLibrary.h"
#include "library/themes/TessarineTheme.h"
#include "platform/NotificationCenter.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

using namespace library_test;

namespace {

struct PostCount {
    int count = 0;
    NotificationObservation observation{TessarineTheme::kThemesDownloadedNotification, nullptr,
                                        [this](const Notification&) { ++count; }};
};

struct RecordingDelegate : TessarineThemeDownloadingDelegate {
    void themeDocumentDidFinishDownloading(TessarineTheme* theme) override
    {
        ++calls;
        last = theme;
        onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    }
    int calls = 0;
    TessarineTheme* last = nullptr;
    bool onMainThread = false;
};

QString listText(const QJsonArray& templates)
{
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"templates", templates}}).toJson(QJsonDocument::Compact));
}

class ThemeRegistry : public LibraryTest {};

} // namespace

TEST_F(ThemeRegistry, PrioritiesSortAsNumbersAndTheIconFallsBackToTheLargeOne)
{
    TessarineTheme::loadBlankTheme();
    const QJsonArray list{templateEntry("c", 5),
                          templateEntry("a", QJsonValue::Undefined, {}, "http://127.0.0.1:1/i.png"),
                          templateEntry("b", "2"), templateEntry("d", QJsonValue(true))};
    TessarineTheme::Registry themes;
    ASSERT_TRUE(TessarineTheme::parseAPIReturn(listText(list), "templates", themes));
    themes["10"] = TessarineTheme::tessarineThemeForID("10");
    const QStringList order = TessarineTheme::sortedTemplateKeysInPriorityOrderForDict(themes);
    EXPECT_EQ(order.indexOf("a") < order.indexOf("b"), true);
    EXPECT_EQ(order.mid(2), QStringList({"b", "c", "10"})) << order.join(",").toStdString();
    EXPECT_EQ(themes["c"]->priority(), "5");
    EXPECT_EQ(themes["a"]->priority(), "0");
    EXPECT_EQ(themes["d"]->priority(), "0") << "a priority that is not a number counts as none";
    EXPECT_EQ(themes["a"]->themeIconImageURLString(), "http://127.0.0.1:1/i.png");
    EXPECT_EQ(themes["a"]->availableTextColors(), QList<QColor>({QColor(0x11, 0x22, 0x33)}));
    const QStringList fonts = themes["a"]->availableFonts();
    EXPECT_FALSE(fonts.isEmpty());
    EXPECT_TRUE(std::is_sorted(fonts.begin(), fonts.end()));

    // The blank theme is built in code.
    const auto blank = TessarineTheme::tessarineThemeForID("10");
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->availableBackgroundColors().size(), 21);
    EXPECT_EQ(blank->availableBackgroundColors().front().alpha(), 0);
    EXPECT_EQ(blank->availableTextColors().size(), 22);
    EXPECT_EQ(TessarineTheme::minimumFontSizeForTheme("10"), 12);
    EXPECT_EQ(TessarineTheme::maximumFontSizeForTheme("10"), 300);
    EXPECT_EQ(TessarineTheme::minimumFontSizeForTheme("nope"), 0);

    // The editor reads fonts and colours through its catalogue, which the library fills.
    registerLibraryLibrary();
    const TessarineThemeCatalogue& catalogue = TessarineThemeCatalogue::shared();
    EXPECT_TRUE(catalogue.hasTheme("10"));
    // The pickers offer the theme's text colours: the blank theme's first is opaque, unlike its first background.
    EXPECT_EQ(catalogue.themeColors("10"), blank->availableTextColors());
    EXPECT_EQ(catalogue.themeColors("10").size(), 22);
    EXPECT_EQ(catalogue.themeColors("10").front().alpha(), 255);
    EXPECT_EQ(catalogue.themeFonts("10"), blank->availableFonts());
    EXPECT_FALSE(catalogue.themeFonts("10").isEmpty());
    EXPECT_TRUE(catalogue.themeFonts("nope").isEmpty());
}

TEST_F(ThemeRegistry, BadListsAndEntriesAreSkippedWithoutHarm)
{
    TessarineTheme::Registry themes;
    EXPECT_FALSE(TessarineTheme::parseAPIReturn("<html>oops</html>", "templates", themes));
    EXPECT_FALSE(TessarineTheme::parseAPIReturn(R"({"templates":{"themeId":"x"}})", "templates", themes));
    EXPECT_FALSE(TessarineTheme::parseAPIReturn(R"({"templates":"none"})", "templates", themes));
    EXPECT_FALSE(TessarineTheme::parseAPIReturn(R"([1,2])", "templates", themes));
    EXPECT_TRUE(themes.empty());

    QJsonObject badColours = templateEntry("colours");
    badColours.insert("themeTextColors", QJsonArray{"zz", "0x010203", QJsonArray{}});
    badColours.insert("themeBackgroundColors", QJsonArray{"0x01020304", "nonsense"});
    const QJsonArray list{1, "text", QJsonValue::Null, templateEntry(""), badColours};
    EXPECT_TRUE(TessarineTheme::parseAPIReturn(listText(list), "templates", themes));
    ASSERT_EQ(themes.size(), 1u);
    EXPECT_EQ(themes["colours"]->availableTextColors(), QList<QColor>({QColor(1, 2, 3)}));
    EXPECT_EQ(themes["colours"]->availableBackgroundColors(), QList<QColor>({QColor(1, 2, 3, 4)}));

    EXPECT_FALSE(TessarineTheme::parseAPIReturn(R"({"error":{"localizedDescription":"Nope"}})", "templates", themes));
    EXPECT_EQ(TessarineTheme::themeRequestErrorString(), "Nope");
}

TEST_F(ThemeRegistry, AnUpdateWithoutABackgroundKeepsItAndTheDictionaryFormReadsBack)
{
    const auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl("http://127.0.0.1:1/bg.png"));
    QJsonObject entry = templateEntry("bg", 4);
    entry.insert("themeScreenBackgroundAsset", asset->jsonDictionary());
    entry.insert("themeMinimumFontSize", 14);
    entry.insert("themeMaximumFontSize", "96");
    entry.insert("themeNumSamplePages", "3");
    TessarineTheme::Registry themes;
    ASSERT_TRUE(TessarineTheme::parseAPIReturn(listText({entry}), "templates", themes));
    const auto theme = themes["bg"];
    ASSERT_TRUE(theme && theme->backgroundAsset());
    EXPECT_EQ(theme->backgroundAsset()->externalURL(), QUrl("http://127.0.0.1:1/bg.png"));
    const auto background = theme->backgroundAsset();

    // A later entry without the key updates the same theme and leaves its background alone.
    ASSERT_TRUE(TessarineTheme::parseAPIReturn(listText({templateEntry("bg", "1")}), "templates", themes));
    EXPECT_EQ(themes["bg"], theme);
    EXPECT_EQ(theme->priority(), "1");
    EXPECT_EQ(theme->backgroundAsset(), background);
    EXPECT_EQ(theme->minimumFontSize(), 0);

    // The dictionary form is read back into an equal theme.
    ASSERT_TRUE(TessarineTheme::parseAPIReturn(listText({entry}), "templates", themes));
    const QJsonObject dict = theme->jsonDictionary();
    EXPECT_EQ(dict.value("themeMinimumFontSize"), QJsonValue("14"));
    EXPECT_EQ(dict.value("themeMaximumFontSize"), QJsonValue("96"));
    EXPECT_EQ(dict.value("themeNumSamplePages"), QJsonValue(3));
    EXPECT_EQ(dict.value("themePriority"), QJsonValue("4"));
    TessarineTheme::Registry again;
    QJsonObject copy = dict;
    copy.insert("themeId", "bg2");
    ASSERT_TRUE(TessarineTheme::parseAPIReturn(listText({copy}), "templates", again));
    const auto reread = again["bg2"];
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->availableTextColors(), theme->availableTextColors());
    EXPECT_EQ(reread->availableBackgroundColors(), theme->availableBackgroundColors());
    EXPECT_EQ(reread->minimumFontSize(), 14);
    EXPECT_EQ(reread->maximumFontSize(), 96);
    EXPECT_EQ(reread->numSamplePages(), 3);
    EXPECT_EQ(reread->priority(), "4");
    ASSERT_TRUE(reread->backgroundAsset());
    EXPECT_EQ(reread->backgroundAsset()->externalURL(), background->externalURL());
}

TEST_F(ThemeRegistry, TwoLoadsSendOneRequestAndPostOnce)
{
    setTemplates({templateEntry("7", "3")});
    PostCount posts;
    TessarineTheme::loadThemesFromWeb();
    TessarineTheme::loadThemesFromWeb();
    EXPECT_TRUE(TessarineTheme::isLoadingThemes());
    ASSERT_TRUE(waitUntil([&] { return posts.count > 0; }));
    QTest::qWait(50);
    EXPECT_EQ(posts.count, 1);
    EXPECT_FALSE(TessarineTheme::isLoadingThemes());
    ASSERT_EQ(m_service.requestCount("tessarine.getTemplates"), 1);
    const auto request = *m_service.lastRequest("tessarine.getTemplates");
    EXPECT_EQ(request.field("auth_token"), "");
    EXPECT_TRUE(request.fields.contains("auth_token"));
    EXPECT_EQ(request.field("guid"), "0");
    EXPECT_EQ(request.field("platform"), "macosx");
    EXPECT_TRUE(TessarineTheme::tessarineThemeForID("7"));
    EXPECT_FALSE(Tessutils::cachedStandardTessarineThemeListString().isEmpty());
}

TEST_F(ThemeRegistry, ASignInWhileTheListIsOnItsWayGetsTheNewUsersListPosted)
{
    // The signed-in user's group adds a template of its own.
    const QString token = m_service.addUser(QStringLiteral("ann")).token;
    m_service.setHandler("tessarine.getTemplates", [](const FakeWebService::Context& c) {
        QJsonArray list{templateEntry("7", "3")};
        if (c.user)
            list.append(templateEntry("ann1", "4"));
        return FakeHttpReply::json(QJsonObject{{"templates", list}});
    });
    m_service.injectReply(
        "tessarine.getTemplates",
        FakeHttpReply::json(QJsonObject{{"templates", QJsonArray{templateEntry("7", "3")}}}).delayed(300));
    PostCount posts;
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount("tessarine.getTemplates") == 1; }));
    // Signing in asks for the list again, which is still on its way.
    Tessutils::setCorvikAuthToken(token);
    TessarineTheme::loadThemesFromWeb();

    ASSERT_TRUE(waitUntil([&] { return posts.count == 1; })) << "the new user's templates arrive";
    EXPECT_TRUE(TessarineTheme::tessarineThemeForID("ann1"));
    EXPECT_EQ(m_service.requestCount("tessarine.getTemplates"), 2);
    EXPECT_EQ(m_service.lastRequest("tessarine.getTemplates")->field("auth_token"), token);
    QTest::qWait(50);
    EXPECT_EQ(posts.count, 1);
    EXPECT_FALSE(TessarineTheme::isLoadingThemes());

    // Signed out while Ann's list is on its way: her list is not kept, and the views waiting hear all the same.
    const QString cached = Tessutils::cachedStandardTessarineThemeListString();
    m_service.injectReply(
        "tessarine.getTemplates",
        FakeHttpReply::json(QJsonObject{{"templates", QJsonArray{templateEntry("ann2", "5")}}}).delayed(300));
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return m_service.requestCount("tessarine.getTemplates") == 3; }));
    Tessutils::setCorvikAuthToken(QString());
    ASSERT_TRUE(waitUntil([&] { return posts.count == 2; }));
    EXPECT_FALSE(TessarineTheme::tessarineThemeForID("ann2"));
    EXPECT_EQ(Tessutils::cachedStandardTessarineThemeListString(), cached);
    QTest::qWait(50);
    EXPECT_EQ(m_service.requestCount("tessarine.getTemplates"), 3);
}

TEST_F(ThemeRegistry, ErrorAndMalformedRepliesFallBackToTheCachedList)
{
    setTemplates({templateEntry("7", "3"), templateEntry("8", "4")});
    PostCount posts;
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return posts.count == 1; }));
    const QString good = Tessutils::cachedStandardTessarineThemeListString();
    const auto seven = TessarineTheme::tessarineThemeForID("7");

    // A later list without "8" and with "7" changed: "8" stays, "7" is the same object, updated.
    QJsonObject changed = templateEntry("7", "9");
    setTemplates({changed});
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return posts.count == 2; }));
    EXPECT_EQ(TessarineTheme::tessarineThemeForID("7"), seven);
    EXPECT_EQ(seven->priority(), "9");
    EXPECT_TRUE(TessarineTheme::tessarineThemeForID("8"));
    const QString latest = Tessutils::cachedStandardTessarineThemeListString();
    EXPECT_NE(latest, good);

    // An error reply registers the cached list and still posts.
    TessarineTheme::resetForTesting();
    m_service.injectReply("tessarine.getTemplates", FakeHttpReply::serviceError("500", "down"));
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return posts.count == 3; }));
    EXPECT_TRUE(TessarineTheme::tessarineThemeForID("7"));
    EXPECT_EQ(Tessutils::cachedStandardTessarineThemeListString(), latest);

    // A page of HTML with status 200 is not a list: the cached text stays the last good one.
    m_service.injectReply("tessarine.getTemplates", FakeHttpReply::html(200, "<html>maintenance</html>"));
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return posts.count == 4; }));
    EXPECT_EQ(Tessutils::cachedStandardTessarineThemeListString(), latest);
    // A truncated body likewise.
    m_service.injectReply("tessarine.getTemplates",
                          FakeHttpReply::raw(200, "application/json", R"({"templates":[{"th)"));
    TessarineTheme::loadThemesFromWeb();
    ASSERT_TRUE(waitUntil([&] { return posts.count == 5; }));
    EXPECT_EQ(Tessutils::cachedStandardTessarineThemeListString(), latest);
}

TEST_F(ThemeRegistry, ASampleBecomesAThemePackageWithThemeTextsAndNoScreenLinks)
{
    const QUrl url = serveSample(makeSample(3, true), "sample7");
    auto theme = TessarineTheme::initWithDict(SafeDictionary(templateEntry("7", 1, url.toString())));
    ASSERT_TRUE(theme);
    EXPECT_FALSE(theme->tessarineSampleModel());
    RecordingDelegate delegate;
    theme->setDelegate(&delegate);
    theme->downloadDocument();
    EXPECT_TRUE(theme->isLoadingDocumentJSON());
    ASSERT_TRUE(waitUntil([&] { return delegate.calls > 0; }));
    QTest::qWait(50);
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_TRUE(delegate.onMainThread);
    EXPECT_EQ(delegate.last, theme.get());
    EXPECT_FALSE(theme->isLoadingDocumentJSON());

    const auto package = theme->themeSampleFilePackage();
    ASSERT_TRUE(package);
    EXPECT_EQ(package->metaData().packageType(), 64);
    EXPECT_EQ(package->metaData().themeTessarineThemeID(), "7");
    EXPECT_EQ(package->metaData().tessarineName(), UFM::UNTITLED_TEXT());
    EXPECT_TRUE(ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::OwnDocument).empty());

    const auto sample = theme->tessarineSampleModel();
    ASSERT_TRUE(sample);
    EXPECT_TRUE(sample->isThemeTessarine());
    int texts = 0, screenLinks = 0, webLinks = 0;
    for (const auto& screen : sample->firstFlowmodel()->screenModels()) {
        for (const auto& proxy : screen->mixedMediaObjects()) {
            if (auto text = std::dynamic_pointer_cast<ZERI_MMObject_Text>(proxy->object())) {
                ++texts;
                EXPECT_TRUE(text->isThemeText());
            }
            if (proxy->object()->action()) {
                screenLinks += proxy->object()->action()->type() == ZERI_MMAction::ScreenLink;
                webLinks += proxy->object()->action()->type() == ZERI_MMAction::WebLink;
            }
        }
    }
    EXPECT_EQ(texts, 3);
    EXPECT_EQ(screenLinks, 0);
    EXPECT_EQ(webLinks, 1);
    EXPECT_EQ(TessarineTheme::sampleModelForFlowThemeID("7"), sample);

    // A theme registered again in a later run finds its package.
    TessarineTheme::resetForTesting();
    auto again = TessarineTheme::initWithDict(SafeDictionary(templateEntry("7")));
    EXPECT_EQ(again->themeSampleFilePackage(), package);
}

TEST_F(ThemeRegistry, SamplesThatDoNotComeSaveNothingAndStillTellTheDelegate)
{
    const QJsonValue notText(42);
    const QList<QJsonValue> urls{m_service.contentURL("missing", "sample.json").toString(),
                                 m_service.addContent("notdoc", R"({"other":{}})", "sample.json").toString(),
                                 m_service.addContent("html", "<html></html>", "sample.json").toString(),
                                 notText,
                                 QString(),
                                 QString("ftp://127.0.0.1/x")};
    auto theme = TessarineTheme::initWithDict(SafeDictionary(templateEntry("9")));
    RecordingDelegate delegate;
    theme->setDelegate(&delegate);
    int expected = 0;
    for (const QJsonValue& url : urls) {
        theme->downloadDocumentFromURL(url);
        ++expected;
        ASSERT_TRUE(waitUntil([&] { return delegate.calls == expected; })) << url.toString().toStdString();
        EXPECT_FALSE(theme->isLoadingDocumentJSON());
    }
    EXPECT_FALSE(theme->themeSampleFilePackage());
    EXPECT_FALSE(theme->tessarineSampleModel());
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
}

TEST_F(ThemeRegistry, TheBlankSampleHasAnEmptyFirstScreenAndIsReusedWithinARun)
{
    TessarineTheme::loadBlankTheme();
    const auto blank = TessarineTheme::sampleModelForFlowThemeID("10");
    ASSERT_TRUE(blank);
    const auto flow = blank->firstFlowmodel();
    ASSERT_EQ(flow->screenModels().size(), 6u) << "an empty screen before the five layouts";
    EXPECT_TRUE(flow->screenModels().front()->mixedMediaObjects().empty());
    EXPECT_EQ(flow->themeID(), "10");
    EXPECT_TRUE(blank->isThemeTessarine());
    for (const auto& screen : flow->screenModels()) {
        for (const auto& proxy : screen->mixedMediaObjects()) {
            if (auto text = std::dynamic_pointer_cast<ZERI_MMObject_Text>(proxy->object())) {
                EXPECT_TRUE(text->isThemeText());
            }
        }
    }
    const auto package = TessarineTheme::tessarineThemeForID("10")->themeSampleFilePackage();
    ASSERT_TRUE(package);
    EXPECT_EQ(package->metaData().packageType(), 64);
    EXPECT_EQ(package->metaData().themeTessarineThemeID(), "10");
    EXPECT_EQ(TessarineTheme::sampleModelForFlowThemeID("10"), blank);

    QFile workingCopy(TessarineTheme::blankTemplateFolder() + "NewBlankTemplate.txt");
    ASSERT_TRUE(workingCopy.open(QIODevice::ReadOnly));
    EXPECT_FALSE(workingCopy.readAll().contains("BLANKTEMPLATE/"));
    workingCopy.close();

    TessarineTheme::deletePrecachedBlankTheme();
    EXPECT_FALSE(QDir(TessarineTheme::blankTemplateFolder()).exists());
    TessarineTheme::deletePrecachedBlankTheme();

    // The next run builds into the same package.
    TessarineTheme::resetForTesting();
    TessarineTheme::loadBlankTheme();
    const auto rebuilt = TessarineTheme::sampleModelForFlowThemeID("10");
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->filePackage(), package);
    EXPECT_EQ(ZERI_qvdFilePackage::packagesForType(64).size(), 1u);
}

// The blank template's folder is the application's own: a link in its place (to a folder of the user's) is removed
// as a link at the start, and never emptied through; a link in place of its working copy is set aside.
TEST_F(ThemeRegistry, TheBlankTemplateFolderIsNeverEmptiedOrWrittenThroughALink)
{
    QTemporaryDir elsewhere;
    QFile precious(elsewhere.filePath("precious.txt"));
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
    precious.write("the user's");
    precious.close();
    const QString folder = QDir::cleanPath(TessarineTheme::blankTemplateFolder());
    QDir().mkpath(QFileInfo(folder).path());
    QDir(folder).removeRecursively();
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder));
    TessarineTheme::deletePrecachedBlankTheme();
    EXPECT_TRUE(QFile::exists(elsewhere.filePath("precious.txt")));
    EXPECT_FALSE(QFileInfo(folder).isSymLink());

    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::link(elsewhere.filePath("precious.txt"), folder + "/NewBlankTemplate.txt"));
    TessarineTheme::loadBlankTheme();
    ASSERT_TRUE(TessarineTheme::sampleModelForFlowThemeID("10"));
    ASSERT_TRUE(precious.open(QIODevice::ReadOnly));
    EXPECT_EQ(precious.readAll(), "the user's");
    EXPECT_FALSE(QFileInfo(folder + "/NewBlankTemplate.txt").isSymLink());
}

TEST_F(ThemeRegistry, TheBlankTemplateIsPreparedAndAMissingOneGivesNoSample)
{
    const QString fixture = R"({"a":{"externalURL":"BLANKTEMPLATE/pic.png","isBakedAsset":"no"},)"
                            R"("b":{"isThemeText":"NO"},"c":"BLANKTEMPLATE/BLANKTEMPLATE/x","d":"isBakedAsset:no"})";
    EXPECT_EQ(TessarineTheme::preparedBlankTemplateText(fixture),
              R"({"a":{"externalURL":"pic.png","isBakedAsset":"YES"},)"
              R"("b":{"isThemeText":"YES"},"c":"x","d":"isBakedAsset:no"})");

    TessarineTheme::setBlankTemplateResourceForTesting(m_support.filePath("absent.txt"));
    TessarineTheme::loadBlankTheme();
    EXPECT_FALSE(TessarineTheme::sampleModelForFlowThemeID("10"));
    EXPECT_TRUE(ZERI_qvdFilePackage::allPackages().empty());
}
