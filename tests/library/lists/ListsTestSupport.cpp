#include "ListsTestSupport.h"

#include <QDateTime>

#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "platform/UserDefaults.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/TessarineDateFormatter.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

// The lists window may make a web page as a tab is chosen by the keyboard; the web engine and the font library keep
// allocations for the life of the process that the leak checker of the sanitizer pass would report. They are not
// ours: told apart by their libraries.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore.so\nleak:libfontconfig.so\n";
}

namespace lists_test {

void ListsTest::SetUp()
{
    LibraryTest::SetUp();
    UserDefaults::setStoreFileForTesting(m_support.filePath(QStringLiteral("defaults.json")));
    OpenRequestUi::registerUi(m_windows);
}

void ListsTest::TearDown()
{
    OpenRequestUi::registerUi(nullptr);
    Tessutils::setCorvikAuthToken(QString());
    Tessutils::setCorvikUserDict(std::nullopt);
    UserDefaults::setStoreFileForTesting(QString());
    LibraryTest::TearDown();
}

std::shared_ptr<ZERI_qvdFilePackage> ListsTest::makePackage(const QString& title, const QString& description,
                                                            const QString& stamp, const QString& apiID)
{
    auto model = library_test::makeSample(1);
    model->firstFlowmodel()->setTitle(title);
    auto package = ZERI_qvdFilePackage::packageForNewModel(model);
    if (!package)
        return nullptr;
    auto& metadata = package->metaData();
    metadata.setTessarineName(title);
    metadata.setTessarineDescription(description);
    metadata.setUpdatedTimeStamp(stamp);
    metadata.setApiID(apiID);
    metadata.setPackageType(ZERI_qvdFilePackage::OwnDocument);
    package->saveMetadata();
    return package;
}

QString ListsTest::stampForSecondsAgo(int seconds)
{
    return TessarineDateFormatter::sharedFormatter().stringFromDate(QDateTime::currentDateTimeUtc().addSecs(-seconds));
}

void ListsTest::signIn(const QString& username)
{
    const auto user = m_service.addUser(username);
    Tessutils::setCorvikUserDict(SafeDictionary(QJsonObject{{"username", username}}));
    Tessutils::setCorvikAuthToken(user.token);
}

} // namespace lists_test
