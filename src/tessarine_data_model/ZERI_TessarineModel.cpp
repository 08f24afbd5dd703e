#include "tessarine_data_model/ZERI_TessarineModel.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QMutex>

#include "platform/Json.h"
#include "platform/WorkerThreads.h"
#include "platform/MainThread.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelJsonReader.h"
#include "tessarine_data_model/TessarineDataModelLogging.h"
#include "tessarine_data_model/VideoCompressionManager.h"
#include "tessarine_data_model/ZERI_FlowModel.h"

const QString ZERI_TessarineModel::kDocVersion = QStringLiteral("1.3");

namespace {
const QString kRootKey = QStringLiteral("tessarine");
constexpr qsizetype kBackgroundReleaseBytes = 256 * 1024;
const QString kDocVersionKey = QStringLiteral("docVersion");
const QString kStringIDKey = QStringLiteral("string_id");
const QString kAliasKey = QStringLiteral("alias");
const QString kApiIDKey = QStringLiteral("api_id");
const QString kDescriptionKey = QStringLiteral("description");
const QString kIsThemeKey = QStringLiteral("isThemeTessarine");
const QString kCategoriesKey = QStringLiteral("categories");
const QString kCanRemixKey = QStringLiteral("canRemix");
const QString kSideMenuOpenKey = QStringLiteral("sideMenuOpen");
const QString kFlowsKey = QStringLiteral("flows");

QMutex& hostMutex()
{
    static QMutex mutex;
    return mutex;
}

QString& webHost()
{
    static QString host = QStringLiteral("www.tessarine.com");
    return host;
}

QString& webScheme()
{
    static QString scheme = QStringLiteral("https");
    return scheme;
}

} // namespace

ZERI_TessarineModel::ZERI_TessarineModel()
    : m_docVersion(kDocVersion)
{
}

ZERI_TessarineModel::~ZERI_TessarineModel() = default;

std::shared_ptr<ZERI_TessarineModel> ZERI_TessarineModel::create()
{
    auto document = std::make_shared<ZERI_TessarineModel>();
    document->setInternalID(newUniqueID());
    document->stampNewTimestamps();
    document->addFlowModel(ZERI_FlowModel::create());
    return document;
}

std::shared_ptr<ZERI_TessarineModel> ZERI_TessarineModel::initWithDict(const QJsonObject& dict, Error* error)
{
    return initWithDict(dict, nullptr, error);
}

std::shared_ptr<ZERI_TessarineModel>
ZERI_TessarineModel::initWithDict(const QJsonObject& dict, const std::shared_ptr<DocumentFilePackage>& package,
                                  Error* error)
{
    ModelReadStatus status;
    if (!dict.value(kRootKey).isObject()) {
        status.fail(QString(), QStringLiteral("the document has no \"tessarine\" object"),
                    ModelJsonError::MissingDocument);
        setError(error, status.error());
        return nullptr;
    }
    auto document = std::make_shared<ZERI_TessarineModel>();
    document->readFromReader(ModelJsonReader(dict, QString(), status), false);
    if (status.failed()) {
        setError(error, status.error());
        return nullptr;
    }
    if (package) {
        document->m_package = package;
        document->setInternalID(package->packageID());
    }
    return document;
}

std::shared_ptr<ZERI_TessarineModel> ZERI_TessarineModel::initWithJsonData(const QByteArray& data, Error* error,
                                                                           const QString& sourceName)
{
    const QString source = sourceName.isEmpty() ? QStringLiteral("the document") : sourceName;
    // Documents are objects, which the parser takes directly; the platform reader (which also takes scalars)
    // is asked only to describe a fault.
    QJsonParseError parseError;
    QJsonDocument parsed = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        Error jsonError;
        Json::read(data, &jsonError);
        setError(error, Error(ModelJsonError::domain, ModelJsonError::NotJson,
                              QStringLiteral("%1 is not JSON: %2").arg(source, jsonError.message)));
        return nullptr;
    }
    if (!parsed.isObject()) {
        setError(error, Error(ModelJsonError::domain, ModelJsonError::MissingDocument,
                              QStringLiteral("%1 is not a JSON object").arg(source)));
        return nullptr;
    }
    Error readError;
    auto document = initWithDict(parsed.object(), &readError);
    if (!document) {
        readError.message = source + QStringLiteral(": ") + readError.message;
        setError(error, readError);
    }
    // Nothing in the model refers to the parsed tree. Tearing down a large one takes a few milliseconds that the
    // caller (the UI thread, opening a document) need not wait for.
    if (data.size() >= kBackgroundReleaseBytes)
        WorkerThreads::shared().post([tree = std::move(parsed)]() mutable { tree = QJsonDocument(); });
    return document;
}

QByteArray ZERI_TessarineModel::jsonData() const
{
    return Json::write(jsonDictionary());
}

std::shared_ptr<ZERI_TessarineModel> ZERI_TessarineModel::readOnlyCopy() const
{
    auto copy = initWithDict(jsonDictionary());
    if (!copy)
        return nullptr;
    copy->m_dontSave = true;
    copy->m_isPublishPreview = m_isPublishPreview;
    copy->m_assetSourcePackage = m_package.expired() ? m_assetSourcePackage : m_package;
    return copy;
}

std::shared_ptr<ZERI_TessarineModel> ZERI_TessarineModel::drawingShell() const
{
    auto shell = create();
    shell->m_dontSave = true;
    shell->m_isThemeTessarine = m_isThemeTessarine;
    shell->m_isPublishPreview = m_isPublishPreview;
    shell->m_assetSourcePackage = m_package.expired() ? m_assetSourcePackage : m_package;
    return shell;
}

std::shared_ptr<ZERI_FlowModel> ZERI_TessarineModel::firstFlowmodel() const
{
    return m_flows.empty() ? nullptr : m_flows.front();
}

void ZERI_TessarineModel::addFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow)
{
    if (!flow || std::find(m_flows.begin(), m_flows.end(), flow) != m_flows.end())
        return;
    if (const auto oldDocument = std::dynamic_pointer_cast<ZERI_TessarineModel>(flow->parent()))
        oldDocument->removeFlowModel(flow);
    m_flows.push_back(flow);
    adopt(flow);
    didChange(QStringLiteral("flowModels"));
}

void ZERI_TessarineModel::removeFlowModel(const std::shared_ptr<ZERI_FlowModel>& flowToRemove)
{
    // A copy: the argument may refer to the very element erased below.
    const auto flow = flowToRemove;
    const auto it = std::find(m_flows.begin(), m_flows.end(), flow);
    if (it == m_flows.end())
        return;
    m_flows.erase(it);
    flow->setParent(nullptr);
    didChange(QStringLiteral("flowModels"));
}

QString ZERI_TessarineModel::title() const
{
    const auto flow = firstFlowmodel();
    return flow ? flow->title() : QString();
}

void ZERI_TessarineModel::setApiID(const QString& apiID)
{
    if (m_apiID == apiID)
        return;
    m_apiID = apiID;
    didChange(QStringLiteral("apiID"));
}

void ZERI_TessarineModel::setStringID(const QString& stringID)
{
    if (m_stringID == stringID)
        return;
    m_stringID = stringID;
    didChange(QStringLiteral("stringID"));
}

void ZERI_TessarineModel::setAlias(const QString& alias)
{
    if (m_alias == alias)
        return;
    m_alias = alias;
    didChange(QStringLiteral("alias"));
}

void ZERI_TessarineModel::setDescription(const QString& description)
{
    if (m_description == description)
        return;
    m_description = description;
    didChange(QStringLiteral("description"));
}

void ZERI_TessarineModel::setCanRemix(bool canRemix)
{
    if (m_canRemix == canRemix)
        return;
    m_canRemix = canRemix;
    didChange(QStringLiteral("canRemix"));
}

void ZERI_TessarineModel::setIsThemeTessarine(bool isTheme)
{
    if (m_isThemeTessarine == isTheme)
        return;
    m_isThemeTessarine = isTheme;
    didChange(QStringLiteral("isThemeTessarine"));
}

void ZERI_TessarineModel::setSideMenuOpen(bool open)
{
    if (m_sideMenuOpen == open)
        return;
    m_sideMenuOpen = open;
    didChange(QStringLiteral("sideMenuOpen"));
}

void ZERI_TessarineModel::setCategories(const QStringList& categories)
{
    if (m_categories == categories)
        return;
    m_categories = categories;
    didChange(QStringLiteral("categories"));
}

void ZERI_TessarineModel::setIsPublishPreview(bool preview)
{
    m_isPublishPreview = preview;
}

void ZERI_TessarineModel::setNeedsSaveToFile()
{
    if (m_dontSave || m_saveScheduled)
        return;
    m_saveScheduled = true;
    MainThread::runAfter(kSaveDelaySeconds, [weak = weak_from_this()] {
        const auto document = std::static_pointer_cast<ZERI_TessarineModel>(weak.lock());
        if (!document || !document->m_saveScheduled)
            return;
        Error error;
        if (document->saveToFile(&error, true) || document->m_dontSave)
            return;
        // A program without a package store (a tool, a test) simply keeps its documents in memory.
        if (error.code == DocumentFilePackage::NoPackageStore)
            qCDebug(lcTessarineDataModel) << "not saving document" << document->qvdID() << error.message;
        else
            qCWarning(lcTessarineDataModel) << "cannot save document" << document->qvdID() << error.message;
    });
}

bool ZERI_TessarineModel::isSaveScheduled() const
{
    if (m_dontSave)
        return false;
    if (m_saveScheduled)
        return true;
    const auto package = m_package.lock();
    return package && package->isWritingDraft();
}

bool ZERI_TessarineModel::saveToFile(Error* error)
{
    return saveToFile(error, false);
}

bool ZERI_TessarineModel::saveToFile(Error* error, bool soon)
{
    m_saveScheduled = false;
    if (m_dontSave) {
        setError(error, Error(QStringLiteral("com.tessarine.filepackage"), DocumentFilePackage::SavingSwitchedOff,
                              QStringLiteral("saving is switched off for this document")));
        return false;
    }
    const auto self = std::static_pointer_cast<ZERI_TessarineModel>(weak_from_this().lock());
    auto package = m_package.lock();
    if (!package) {
        package = DocumentFilePackage::makeForDocument(self, error);
        if (!package)
            return false;
        setFilePackage(package);
    }
    return soon ? package->saveDocumentSoon(self, error) : package->saveDocument(self, error);
}

QString ZERI_TessarineModel::publishWebHost()
{
    QMutexLocker lock(&hostMutex());
    return webHost();
}

QString ZERI_TessarineModel::publishWebScheme()
{
    QMutexLocker lock(&hostMutex());
    return webScheme();
}

void ZERI_TessarineModel::setPublishWebHost(const QString& host, const QString& scheme)
{
    QMutexLocker lock(&hostMutex());
    webHost() = host;
    webScheme() = scheme;
}

std::optional<QString> ZERI_TessarineModel::publishURL() const
{
    if (m_stringID.isEmpty())
        return std::nullopt;
    return publishWebHost() + QStringLiteral("/s/") + m_stringID;
}

QString ZERI_TessarineModel::embedCode() const
{
    const auto url = publishURL();
    if (!url)
        return {};
    const auto flow = firstFlowmodel();
    const QSizeF size = flow ? flow->viewSize() : QSizeF(1024, 748);
    return QStringLiteral("<iframe src=\"%1://%2\" width=\"%3\" height=\"%4\" frameborder=\"0\" "
                          "allowfullscreen></iframe>")
        .arg(publishWebScheme(), url->toHtmlEscaped())
        .arg(qRound(size.width()))
        .arg(qRound(size.height()));
}

void ZERI_TessarineModel::setFilePackage(const std::shared_ptr<DocumentFilePackage>& package)
{
    m_package = package;
    if (package && !package->packageID().isEmpty())
        setInternalID(package->packageID());
}

QString ZERI_TessarineModel::documentAssetStoragePath() const
{
    auto package = m_package.lock();
    if (!package)
        package = m_assetSourcePackage.lock();
    if (!package)
        return {};
    return m_isPublishPreview ? package->publishedAssetStoragePath() : package->assetStoragePath();
}

QStringList ZERI_TessarineModel::documentAssetFolders() const
{
    auto package = m_package.lock();
    if (!package)
        package = m_assetSourcePackage.lock();
    if (!package)
        return {};
    QStringList folders{package->assetStoragePath(), package->publishedAssetStoragePath()};
    if (m_isPublishPreview)
        std::swap(folders[0], folders[1]);
    folders.removeAll(QString());
    folders.removeDuplicates();
    return folders;
}

std::shared_ptr<VideoCompressionManager> ZERI_TessarineModel::documentVideoCompressionManager()
{
    if (!m_videoCompressionManager)
        m_videoCompressionManager = VideoCompressionManager::makeForDocument(
            std::static_pointer_cast<ZERI_TessarineModel>(weak_from_this().lock()));
    return m_videoCompressionManager;
}

void ZERI_TessarineModel::appendChildItems(std::vector<std::shared_ptr<TessarineDataModelItem>>& children) const
{
    children.insert(children.end(), m_flows.begin(), m_flows.end());
}

QJsonObject ZERI_TessarineModel::makeJsonDictionary() const
{
    QJsonObject dict;
    writeInternalID(dict);
    writeTimestamps(dict);
    dict.insert(kDocVersionKey, kDocVersion);
    if (!m_stringID.isEmpty())
        dict.insert(kStringIDKey, m_stringID);
    if (!m_alias.isEmpty())
        dict.insert(kAliasKey, m_alias);
    if (!m_apiID.isEmpty())
        dict.insert(kApiIDKey, m_apiID);
    dict.insert(kDescriptionKey, m_description);
    dict.insert(kIsThemeKey, yesNo(m_isThemeTessarine));
    dict.insert(kCategoriesKey, QJsonArray::fromStringList(m_categories));
    dict.insert(kCanRemixKey, yesNo(m_canRemix));
    dict.insert(kSideMenuOpenKey, yesNo(m_sideMenuOpen));
    QJsonArray flows;
    for (const auto& flow : m_flows)
        flows.append(flow->jsonDictionary());
    dict.insert(kFlowsKey, flows);
    return QJsonObject{{kRootKey, dict}};
}

void ZERI_TessarineModel::readProperties(const ModelJsonReader& outer, ChangedKeys& changedKeys)
{
    const auto root = outer.object(kRootKey);
    if (!root) {
        if (outer.ok())
            outer.status().fail(outer.pathOf(kRootKey), QStringLiteral("the document has no \"tessarine\" object"),
                                ModelJsonError::MissingDocument);
        return;
    }
    const ModelJsonReader reader(*root, outer, kRootKey);
    readInternalID(reader, changedKeys);
    readTimestamps(reader, changedKeys);
    m_docVersion = reader.string(kDocVersionKey, kDocVersion);
    assign(m_stringID, reader.string(kStringIDKey), QStringLiteral("stringID"), changedKeys);
    assign(m_alias, reader.string(kAliasKey), kAliasKey, changedKeys);
    assign(m_apiID, reader.string(kApiIDKey), QStringLiteral("apiID"), changedKeys);
    assign(m_description, reader.string(kDescriptionKey), kDescriptionKey, changedKeys);
    assign(m_isThemeTessarine, reader.boolean(kIsThemeKey), kIsThemeKey, changedKeys);
    assign(m_categories, reader.stringArray(kCategoriesKey), kCategoriesKey, changedKeys);
    assign(m_canRemix, reader.boolean(kCanRemixKey), kCanRemixKey, changedKeys);
    assign(m_sideMenuOpen, reader.boolean(kSideMenuOpenKey), kSideMenuOpenKey, changedKeys);

    QHash<QString, std::shared_ptr<ZERI_FlowModel>> existing;
    for (const auto& flow : m_flows)
        existing.insert(flow->internalID(), flow);
    std::vector<std::shared_ptr<ZERI_FlowModel>> flows;
    const QJsonArray entries = reader.array(kFlowsKey).value_or(QJsonArray());
    for (qsizetype i = 0; i < entries.size() && reader.ok(); ++i) {
        if (!entries[i].isObject()) {
            reader.status().fail(reader.pathOf(kFlowsKey, i), QStringLiteral("expected an object"));
            break;
        }
        const QJsonObject dict = entries[i].toObject();
        const QString id = dict.value(QLatin1String("id")).toString();
        std::shared_ptr<ZERI_FlowModel> flow = id.isEmpty() ? nullptr : existing.take(id);
        const bool reused = flow != nullptr;
        if (!flow) {
            flow = std::make_shared<ZERI_FlowModel>();
            flow->setParent(shared_from_this());
        }
        flow->readFromReader(ModelJsonReader(dict, reader, kFlowsKey, i), reused);
        flows.push_back(std::move(flow));
    }
    if (flows != m_flows) {
        for (const auto& removed : existing)
            removed->setParent(nullptr);
        m_flows = std::move(flows);
        changedKeys.insert(QStringLiteral("flowModels"));
    }
}

const QString ZERI_TessarineModel::forkCompletedNotification =
    QStringLiteral("ZERI_TessarineModelForkCompletedNotification");

void ZERI_TessarineModel::saveToServer(int publishState, DocumentService::SaveCompletion onDone)
{
    saveToServer(publishState, std::nullopt, std::nullopt, QString(), std::move(onDone), false);
}

void ZERI_TessarineModel::saveToServer(int publishState, const std::optional<QString>& privacyOption,
                                       const std::optional<QString>& password, const QString& alias,
                                       DocumentService::SaveCompletion onDone, bool record)
{
    const auto self = std::static_pointer_cast<ZERI_TessarineModel>(shared_from_this());
    DocumentService::service()->saveToServer(self, publishState, privacyOption, password, alias, std::move(onDone),
                                             record);
}

void ZERI_TessarineModel::forkOnServer(int publishState, const std::optional<QString>& privacyOption,
                                       const std::optional<QString>& password, bool overwrite,
                                       DocumentService::ForkCompletion onDone, bool record)
{
    const auto self = std::static_pointer_cast<ZERI_TessarineModel>(shared_from_this());
    DocumentService::service()->forkOnServer(self, publishState, privacyOption, password, overwrite, std::move(onDone),
                                             record);
}
