#include "LibraryTestSupport.h"

#include <QJsonDocument>
#include <QTest>

#include "foundation/Tessutils.h"
#include "library/themes/TessarineTheme.h"
#include "platform/AppPaths.h"
#include "platform/Json.h"
#include "service/BlockRequester.h"
#include "service/CorvikBlockAPIBinding.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_ScreenLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

namespace library_test {

bool waitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    return QTest::qWaitFor(predicate, timeoutMs);
}

std::shared_ptr<ZERI_TessarineModel> makeSample(int screens, bool withLinks, const QList<QUrl>& assetURLs)
{
    auto model = ZERI_TessarineModel::create();
    auto flow = model->firstFlowmodel();
    for (int i = 0; i < screens; ++i) {
        auto screen = ZERI_FlowScreenModel::create();
        flow->addFlowScreen(screen);
        auto text = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
        text->object()->setFrame(QRectF(10, 10, 300, 60));
        screen->addMixedMediaObject(text);
    }
    if (withLinks && screens > 1) {
        auto first = flow->screenModels()[0];
        auto link = std::make_shared<ZERI_MMAction_ScreenLink>();
        link->setScreenID(flow->screenModels()[1]->internalID());
        first->mixedMediaObjects()[0]->object()->setAction(link);
        auto shape = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
        shape->object()->setFrame(QRectF(400, 10, 100, 100));
        auto web = std::make_shared<ZERI_MMAction_WebLink>();
        web->setWeblink(QUrl(QStringLiteral("https://example.com/")));
        shape->object()->setAction(web);
        first->addMixedMediaObject(shape);
    }
    for (const QUrl& url : assetURLs) {
        auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
        image->object()->setFrame(QRectF(0, 100, 200, 100));
        auto asset = ZERI_ContentAsset::create();
        asset->setExternalURL(url);
        image->object()->setOriginalImageAsset(asset);
        flow->screenModels()[0]->addMixedMediaObject(image);
    }
    return model;
}

QJsonObject templateEntry(const QString& themeID, const QJsonValue& priority, const QString& sampleURL,
                          const QString& iconURL)
{
    QJsonObject entry{
        {"themeId", themeID},
        {"id", "api-" + themeID},
        {"themeTextColors", QJsonArray{"0x112233"}},
        {"themeBackgroundColors", QJsonArray{"0x445566ff"}},
        {"themeIconImage", QJsonObject{{"icon", QJsonObject{{"url", ""}}}, {"icon2x", QJsonObject{{"url", iconURL}}}}}};
    if (!priority.isUndefined())
        entry.insert("themePriority", priority);
    if (!sampleURL.isEmpty())
        entry.insert("themeSampleJSON", QJsonObject{{"url", sampleURL}});
    return entry;
}

void LibraryTest::SetUp()
{
    ASSERT_TRUE(m_service.start());
    ASSERT_TRUE(CorvikBlockAPIBinding::setAPIURL(m_service.baseUrl()));
    CorvikBlockAPIBinding::setAPIKey(QStringLiteral("KEY123"));
    CorvikBlockAPIBinding::setAPIPassword(QStringLiteral("s3cretPW"));
    Tessutils::setCorvikAuthToken(QString());
    Tessutils::setCachedStandardTessarineThemeListString(QString());
    ASSERT_TRUE(m_support.isValid());
    AppPaths::setApplicationSupportForTesting(m_support.path());
    ZERI_qvdFilePackage::resetForTesting();
    ZERI_qvdFilePackage::registerWithDocumentModel();
    TessarineTheme::resetForTesting();
    AlertPresenter::setShared(&m_alerts);
    m_log = std::make_unique<QVRActionLog>(m_support.filePath(QStringLiteral("actionlog.json")),
                                           [](const QByteArray&, std::function<void(bool)>) {});
    QVRActionLog::setSharedForTesting(m_log.get());
}

void LibraryTest::TearDown()
{
    TessarineTheme::resetForTesting();
    QVRActionLog::setSharedForTesting(nullptr);
    AlertPresenter::setShared(nullptr);
    ZERI_qvdFilePackage::resetForTesting();
    AppPaths::setApplicationSupportForTesting(QString());
    Tessutils::setCachedStandardTessarineThemeListString(QString());
}

QUrl LibraryTest::serveSample(const std::shared_ptr<ZERI_TessarineModel>& document, const QString& id)
{
    return m_service.addContent(id, document->jsonData(), QStringLiteral("sample.json"));
}

void LibraryTest::setTemplates(const QJsonArray& templates)
{
    m_service.withState([&](FakeWebService::State& state) { state.templates = templates; });
}

QStringList LibraryTest::events() const
{
    QStringList names;
    for (const auto& event : m_log->backlog()) {
        const QJsonObject object = event.toObject();
        names.append(object.value("name").toString() + " " +
                     QString::fromUtf8(Json::write(object.value("parameters").toObject())));
    }
    return names;
}

} // namespace library_test
