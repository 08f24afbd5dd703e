#include "library/themes/TessarineTheme.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUuid>

#include "foundation/ApplicationNetworkAccess.h"
#include "foundation/Tessutils.h"
#include "foundation/Utils.h"
#include "library/LibraryLogging.h"
#include "platform/AppPaths.h"
#include "platform/OwnFiles.h"
#include "platform/CheckedNumbers.h"
#include "platform/Json.h"
#include "platform/NotificationCenter.h"
#include "service/BlockRequester.h"
#include "service/ServiceReachability.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_WebDownloader.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_AppDataModelCenter.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction.h"

const QString TessarineTheme::kThemesDownloadedNotification = QStringLiteral("TessarineThemesDownloadedNotification");
const QString TessarineTheme::kBlankThemeID = QStringLiteral("10");

namespace {

const QString kDefaultBlankResource = QStringLiteral(":/library/NewBlankTemplate.txt");

struct RegistryState {
    TessarineTheme::Registry themes;
    std::shared_ptr<BlockRequester> listRequest;
    QString listNotice; // why the last list request gave no list, empty when it did
    QString errorText;
    QString blankResource = kDefaultBlankResource;
    // Bumped by a reset: a reply to a request made before it is dropped.
    int generation = 0;
};

RegistryState& state()
{
    static RegistryState s_state;
    return s_state;
}

// Marks a sample reply stopped for its size.
constexpr const char* kTooLargeProperty = "tessSampleTooLarge";

// The sample downloads' network manager goes with the application, before anything it could call back.
QNetworkAccessManager* sampleNetwork()
{
    static QPointer<QNetworkAccessManager> s_manager;
    if (!s_manager)
        s_manager = ApplicationNetworkAccess::newManager();
    return s_manager;
}

QString integerText(const QJsonValue& value)
{
    if (value.isDouble())
        return QString::number(CheckedNumbers::wholeNumber<qint64>(value.toDouble()).value_or(0));
    return value.isString() ? value.toString() : QStringLiteral("0");
}

int integerOfText(const SafeDictionary& dict, const QString& key)
{
    return dict.stringForKey(key).trimmed().toInt();
}

qint64 priorityValue(const QString& text)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

std::shared_ptr<TessarineTheme> registeredTheme(const QString& themeID)
{
    const auto found = state().themes.find(themeID);
    return found == state().themes.end() ? nullptr : found->second;
}

template <class Visit> void forEachObject(const std::shared_ptr<ZERI_TessarineModel>& model, Visit visit)
{
    if (!model)
        return;
    for (const auto& flow : model->flowModels())
        for (const auto& screen : flow->screenModels())
            for (const auto& proxy : screen->mixedMediaObjects())
                if (proxy && proxy->object())
                    visit(*proxy->object());
}

QJsonObject blankThemeDictionary()
{
    const QStringList background{"0x00000000", "0x000000ff", "0xffffffff", "0xf7931eff", "0xcac5afff", "0x5a4a42ff",
                                 "0xffe5baff", "0xc34b28ff", "0xfefefeff", "0xa2bb11ff", "0x11a2bbff", "0xeeee11ff",
                                 "0x11eeeeff", "0xee11eeff", "0x222222ff", "0x444444ff", "0x666666ff", "0x888888ff",
                                 "0xaaaaaaff", "0xccccccff", "0xeeeeeeff"};
    const QStringList text{"0x000000", "0xffffff", "0xf7931e", "0xcac5af", "0x5a4a42", "0xffe5ba",
                           "0xc34b28", "0xfefefe", "0xa2bb11", "0x11a2bb", "0xeeee11", "0x11eeee",
                           "0xee11ee", "0x648d93", "0x403636", "0x222222", "0x444444", "0x666666",
                           "0x888888", "0xaaaaaa", "0xcccccc", "0xeeeeee"};
    return QJsonObject{{"themeId", TessarineTheme::kBlankThemeID},
                       {"themeMinimumFontSize", "12"},
                       {"themeMaximumFontSize", "300"},
                       {"themePriority", "99999"},
                       {"themeNumSamplePages", 0},
                       {"themeBackgroundColors", QJsonArray::fromStringList(background)},
                       {"themeTextColors", QJsonArray::fromStringList(text)}};
}

} // namespace

TessarineTheme::~TessarineTheme()
{
    if (m_sampleReply)
        m_sampleReply->abort();
}

std::shared_ptr<TessarineTheme> TessarineTheme::initWithDict(const SafeDictionary& dict)
{
    return initWithDict(dict, state().themes);
}

std::shared_ptr<TessarineTheme> TessarineTheme::initWithDict(const SafeDictionary& dict, Registry& registry)
{
    if (dict.stringForKey(QStringLiteral("themeId")).isEmpty()) {
        qCWarning(lcLibrary) << "a theme without an id is skipped";
        return nullptr;
    }
    std::shared_ptr<TessarineTheme> theme(new TessarineTheme);
    theme->setPropertiesFromDict(dict);
    registry[theme->m_themeID] = theme;
    return theme;
}

void TessarineTheme::setPropertiesFromDict(const SafeDictionary& dict)
{
    m_themeID = dict.stringForKey(QStringLiteral("themeId"));
    m_apiID = dict.stringForKey(QStringLiteral("id"));
    m_numSamplePages = integerOfText(dict, QStringLiteral("themeNumSamplePages"));

    m_availableFonts = Tessutils::allAvailableFonts();
    std::sort(m_availableFonts.begin(), m_availableFonts.end());

    m_availableBackgroundColors.clear();
    const SafeArray backgrounds = dict.safeArrayForKey(QStringLiteral("themeBackgroundColors")).value_or(SafeArray());
    for (qsizetype i = 0; i < backgrounds.count(); ++i) {
        if (const auto color = ZERI_AppDataModelCenter::colorFromRGBAHexString(backgrounds.stringAtIndex(i)))
            m_availableBackgroundColors.append(*color);
        else
            qCWarning(lcLibrary) << "theme" << m_themeID << "skips the background colour"
                                 << backgrounds.valueAtIndex(i);
    }
    m_availableTextColors.clear();
    const SafeArray texts = dict.safeArrayForKey(QStringLiteral("themeTextColors")).value_or(SafeArray());
    for (qsizetype i = 0; i < texts.count(); ++i) {
        if (const auto color = ZERI_AppDataModelCenter::colorFromRGBHexString(texts.stringAtIndex(i)))
            m_availableTextColors.append(*color);
        else
            qCWarning(lcLibrary) << "theme" << m_themeID << "skips the text colour" << texts.valueAtIndex(i);
    }

    if (dict.contains(QStringLiteral("themeScreenBackgroundAsset"))) {
        Error error;
        m_backgroundAsset = ZERI_ContentAsset::initWithDict(
            dict.valueForKey(QStringLiteral("themeScreenBackgroundAsset")).toObject(), &error);
        if (!m_backgroundAsset)
            qCWarning(lcLibrary).noquote() << "theme" << m_themeID << "has an unreadable background:" << error.message;
    }
    m_sampleJSONURLs = dict.valueForKey(QStringLiteral("themeSampleJSON")).toObject();
    m_themeAssets = dict.valueForKey(QStringLiteral("themeAssets")).toObject();

    const QJsonValue priority = dict.valueForKey(QStringLiteral("themePriority"));
    if (!priority.isString() && !priority.isDouble() && !priority.isUndefined() && !priority.isNull())
        qCWarning(lcLibrary) << "theme" << m_themeID << "has a priority that is not a number:" << priority;
    m_priority = integerText(priority);

    m_texturedBackgroundFilePath = dict.stringForKey(QStringLiteral("themeTexturedBackgroundFilePath"));
    m_minimumFontSize = integerOfText(dict, QStringLiteral("themeMinimumFontSize"));
    m_maximumFontSize = integerOfText(dict, QStringLiteral("themeMaximumFontSize"));

    const SafeDictionary icons = dict.safeDictionaryForKey(QStringLiteral("themeIconImage")).value_or(SafeDictionary());
    const auto iconURL = [&icons](const QString& key) {
        return icons.safeDictionaryForKey(key).value_or(SafeDictionary()).stringForKey(QStringLiteral("url"));
    };
    if (Utils::isRetina()) {
        m_themeIconImageURLString = iconURL(QStringLiteral("icon2x"));
    } else {
        m_themeIconImageURLString = iconURL(QStringLiteral("icon"));
        if (m_themeIconImageURLString.isEmpty())
            m_themeIconImageURLString = iconURL(QStringLiteral("icon2x"));
    }

    findAndSetThemeFilePackage();
}

void TessarineTheme::findAndSetThemeFilePackage()
{
    for (const auto& package : ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::ThemeSample)) {
        if (package->metaData().themeTessarineThemeID() == m_themeID) {
            m_samplePackage = package;
            return;
        }
    }
}

void TessarineTheme::downloadDocument()
{
    downloadDocumentFromURL(m_sampleJSONURLs.value(QStringLiteral("url")));
}

void TessarineTheme::downloadDocumentFromURL(const QJsonValue& urlValue)
{
    std::weak_ptr<TessarineTheme> weakSelf = weak_from_this();
    // Whoever waits for the sample hears of the outcome, also when there was nothing to fetch.
    const auto tellDelegateLater = [weakSelf] {
        QTimer::singleShot(0, QCoreApplication::instance(), [weakSelf] {
            if (auto self = weakSelf.lock())
                self->tellDownloadFinished();
        });
    };
    if (!urlValue.isString()) {
        qCWarning(lcLibrary) << "invalid URL received for theme samples!";
        tellDelegateLater();
        return;
    }
    const QUrl url(urlValue.toString());
    if (urlValue.toString().isEmpty()) {
        tellDelegateLater();
        return;
    }
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        qCWarning(lcLibrary) << "invalid URL received for theme samples!" << urlValue.toString();
        tellDelegateLater();
        return;
    }
    if (m_sampleReply)
        return; // the fetch on its way answers this call too
    m_isLoadingDocumentJSON = true;
    QNetworkRequest request(url);
    // Each redirect is checked as downloads check theirs (web addresses only, never less safe, into the local
    // network only from itself); the bounds below hold for the whole reply, every hop included.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(ZERI_WebDownloader::kMaximumRedirects);
    // The bounds of every document from the service: an idle time-out and a size cap.
    request.setTransferTimeout(BlockRequester::transferTimeoutMs());
    QNetworkReply* reply = sampleNetwork()->get(request);
    m_sampleReply = reply;
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply, first = url](const QUrl& target) {
        const QUrl from = reply->url();
        if (ZERI_WebDownloader::mayRedirect(first, from, from.resolved(target))) {
            emit reply->redirectAllowed();
            return;
        }
        qCWarning(lcLibrary) << "the theme sample was redirected to an address that is not allowed; stopped";
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        const qint64 cap = BlockRequester::maxReplyBytes();
        if ((received > cap || total > cap) && !reply->property(kTooLargeProperty).toBool()) {
            qCWarning(lcLibrary) << "the theme sample is larger than" << cap << "bytes; stopped";
            reply->setProperty(kTooLargeProperty, true);
            reply->abort();
        }
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [weakSelf, reply] {
        reply->deleteLater();
        if (auto self = weakSelf.lock())
            self->sampleReplyFinished(reply);
    });
}

void TessarineTheme::sampleReplyFinished(QNetworkReply* reply)
{
    m_sampleReply.clear();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->property(kTooLargeProperty).toBool() || reply->error() != QNetworkReply::NoError || status >= 400)
        qCWarning(lcLibrary).noquote() << "error downloading theme document!" << reply->errorString();
    else
        storeSampleText(reply->readAll());
    m_isLoadingDocumentJSON = false;

    std::weak_ptr<TessarineTheme> weakSelf = weak_from_this();
    QTimer::singleShot(0, QCoreApplication::instance(), [weakSelf] {
        if (auto self = weakSelf.lock())
            self->tellDownloadFinished();
    });
}

void TessarineTheme::tellDownloadFinished()
{
    auto completions = std::move(m_completions);
    m_completions.clear();
    for (const auto& completion : completions)
        completion();
    if (m_delegate)
        m_delegate->themeDocumentDidFinishDownloading(this);
}

void TessarineTheme::addDownloadCompletion(std::function<void()> completion)
{
    if (completion)
        m_completions.push_back(std::move(completion));
}

void TessarineTheme::storeSampleText(const QByteArray& data)
{
    QString text = QString::fromUtf8(data);
    text.replace(QStringLiteral("\"isThemeTessarine\":\"NO\""), QStringLiteral("\"isThemeTessarine\":\"YES\""));
    text.replace(QStringLiteral("\"isThemeText\":\"NO\""), QStringLiteral("\"isThemeText\":\"YES\""));
    const auto dict = Json::readObject(text.toUtf8());
    if (!dict) {
        qCWarning(lcLibrary) << "malformed JSON returned!  this usually happens when the document json is at a dead "
                                "link.";
        return;
    }
    auto package = themeSampleFilePackage();
    Error error;
    std::shared_ptr<ZERI_TessarineModel> model;
    if (package) {
        package->unloadModel();
        model = ZERI_TessarineModel::initWithDict(*dict, package, &error);
    } else {
        model = ZERI_TessarineModel::initWithDict(*dict, &error);
        // The sample gets an id of its own: a package of the service's id may already hold another document.
        if (model)
            model->setInternalID(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    }
    if (!model) {
        qCWarning(lcLibrary).noquote() << "the theme sample" << m_themeID << "is not a document:" << error.message;
        return;
    }
    UntrustedAddresses::refuseNonWebAssetAddresses(*model, QStringLiteral("the theme sample ") + m_themeID);
    // A theme document before its first save: its new package is a sample package (type 64) from the start.
    model->setIsThemeTessarine(true);
    setTextObjectsWithBooleanFlag(model);
    if (auto flow = model->firstFlowmodel())
        flow->setTitle(UFM::UNTITLED_TEXT());
    if (!model->saveToFile(&error)) {
        qCWarning(lcLibrary).noquote() << "cannot save the theme sample" << m_themeID << error.message;
        return;
    }
    auto saved = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage());
    if (!saved)
        return;
    saved->metaData().setPackageType(saved->metaData().packageType() | ZERI_qvdFilePackage::ThemeSample);
    saved->metaData().setThemeTessarineThemeID(m_themeID);
    saved->metaData().setTessarineName(UFM::UNTITLED_TEXT());
    saved->saveMetadata();
    findAndSetThemeFilePackage();
}

std::shared_ptr<ZERI_TessarineModel> TessarineTheme::tessarineSampleModel()
{
    if (m_sampleModel)
        return m_sampleModel;
    if (m_themeID == kBlankThemeID)
        return buildBlankSample();
    auto package = themeSampleFilePackage();
    if (!package)
        return nullptr;
    if (!package->model()) {
        Error error;
        if (!package->loadModel(&error)) {
            qCWarning(lcLibrary).noquote() << "cannot load the sample of theme" << m_themeID << error.message;
            return nullptr;
        }
    }
    m_sampleModel = package->model();
    setTextObjectsWithBooleanFlag(m_sampleModel);
    removeScreenLinkObjects(m_sampleModel);
    return m_sampleModel;
}

std::shared_ptr<ZERI_TessarineModel> TessarineTheme::buildBlankSample()
{
    const QString folder = blankTemplateFolder();
    if (!OwnFiles::makeFolder(folder)) {
        qCWarning(lcLibrary) << "cannot make the blank template folder" << folder;
        return nullptr;
    }
    const QString workingCopy = QDir(folder).filePath(QStringLiteral("NewBlankTemplate.txt"));
    OwnFiles::setAsideLink(workingCopy); // read and written only as the application's own file
    if (!QFile::exists(workingCopy)) {
        QFile resource(state().blankResource);
        if (!resource.open(QIODevice::ReadOnly)) {
            qCWarning(lcLibrary) << "the blank template" << state().blankResource << "is missing";
            return nullptr;
        }
        if (!OwnFiles::write(workingCopy, preparedBlankTemplateText(QString::fromUtf8(resource.readAll())).toUtf8())) {
            qCWarning(lcLibrary) << "cannot write the blank template" << workingCopy;
            return nullptr;
        }
    }
    QFile file(workingCopy);
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (text.isEmpty()) {
        qCWarning(lcLibrary) << "the blank template" << workingCopy << "is empty";
        return nullptr;
    }
    const auto dict = Json::readObject(text);
    auto package = themeSampleFilePackage();
    Error error;
    std::shared_ptr<ZERI_TessarineModel> model;
    if (dict && package) {
        package->unloadModel();
        model = ZERI_TessarineModel::initWithDict(*dict, package, &error);
    } else if (dict) {
        model = ZERI_TessarineModel::initWithDict(*dict, &error);
        if (model)
            model->setInternalID(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    }
    if (!model) {
        qCWarning(lcLibrary).noquote() << "the blank template is not a document" << error.message;
        return nullptr;
    }
    if (!model->firstFlowmodel())
        model->addFlowModel(ZERI_FlowModel::create());
    auto flow = model->firstFlowmodel();
    flow->insertFlowScreen(ZERI_FlowScreenModel::create(), 0);
    flow->setThemeID(kBlankThemeID);
    model->setIsThemeTessarine(true);
    if (!model->saveToFile(&error)) {
        qCWarning(lcLibrary).noquote() << "cannot save the blank sample" << error.message;
        return nullptr;
    }
    if (auto saved = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(model->filePackage())) {
        saved->metaData().setPackageType(saved->metaData().packageType() | ZERI_qvdFilePackage::ThemeSample);
        saved->metaData().setThemeTessarineThemeID(kBlankThemeID);
        saved->saveMetadata();
    }
    findAndSetThemeFilePackage();
    m_sampleModel = model;
    return model;
}

QJsonObject TessarineTheme::jsonDictionary() const
{
    QJsonObject dict;
    dict.insert("themeId", m_themeID);
    dict.insert("id", m_apiID);
    dict.insert("themeFonts", QJsonArray::fromStringList(m_availableFonts));
    QJsonArray backgrounds;
    for (const QColor& color : m_availableBackgroundColors)
        backgrounds.append(ZERI_AppDataModelCenter::rgbaHexStringFromColor(color));
    dict.insert("themeBackgroundColors", backgrounds);
    QJsonArray texts;
    for (const QColor& color : m_availableTextColors)
        texts.append(ZERI_AppDataModelCenter::rgbHexStringFromColor(color));
    dict.insert("themeTextColors", texts);
    dict.insert("themeAssets", m_themeAssets);
    if (m_backgroundAsset)
        dict.insert("themeScreenBackgroundAsset", m_backgroundAsset->jsonDictionary());
    dict.insert("themeSampleJSON", m_sampleJSONURLs);
    dict.insert("themePriority", m_priority);
    dict.insert("themeTexturedBackgroundFilePath", m_texturedBackgroundFilePath);
    dict.insert("themeNumSamplePages", m_numSamplePages);
    dict.insert("themeMinimumFontSize", QString::number(m_minimumFontSize));
    dict.insert("themeMaximumFontSize", QString::number(m_maximumFontSize));
    return dict;
}

QString TessarineTheme::description() const
{
    return QString::fromUtf8(Json::write(jsonDictionary()));
}

// Class side.

void TessarineTheme::loadDefaultThemes()
{
    loadBlankTheme();
    loadThemesFromWeb();
}

void TessarineTheme::loadBlankTheme()
{
    const SafeDictionary dict(blankThemeDictionary());
    if (auto theme = registeredTheme(kBlankThemeID))
        theme->setPropertiesFromDict(dict);
    else
        initWithDict(dict);
}

void TessarineTheme::loadThemesFromWeb()
{
    if (isLoadingThemes())
        return;
    const QString groups = QString::fromUtf8(Json::write(QJsonArray{QStringLiteral("0"), QStringLiteral("-1")}));
    const QString token = Tessutils::corvikAuthToken();
    state().listRequest = ZERI_APIBinding::getTessarineTemplateListWithGroupID(
        groups, token, [generation = state().generation, token](const QString& text, const QString&) {
            if (generation != state().generation)
                return;
            state().errorText.clear();
            state().listRequest.reset();
            // The list of a user who has signed out since (their group's templates) is not kept. A sign-in that
            // came meanwhile found this request in flight and asked for nothing, so the new user's list is asked
            // for here (its reply posts); after a sign-out the registry stays as it is and the waiting views hear
            // of it.
            if (Tessutils::corvikAuthToken() != token) {
                if (!Tessutils::corvikAuthToken().isEmpty())
                    loadThemesFromWeb();
                else
                    NotificationCenter::defaultCenter().post(kThemesDownloadedNotification);
                return;
            }
            // Only a well-formed list replaces the cached one; anything else (an error, a page of HTML, a
            // truncated body) falls back to the last good list.
            const auto reply = Json::readObject(text.toUtf8());
            const bool isList = reply && !reply->contains(QStringLiteral("error")) &&
                                reply->value(QStringLiteral("templates")).isArray();
            if (isList)
                state().listNotice.clear();
            else if (ServiceReply::parse(text).outcome == ServiceReply::Outcome::ConnectionFailure)
                state().listNotice = ServiceReachability::unreachableText();
            else
                state().listNotice = UFM::ERROR_RETRIEVING_THEMES_TEXT();
            QString chosen = text;
            if (isList) {
                Tessutils::setCachedStandardTessarineThemeListString(text);
            } else {
                qCWarning(lcLibrary) << "the template list reply is not a list; using the cached one";
                const QString cached = Tessutils::cachedStandardTessarineThemeListString();
                if (!cached.isEmpty())
                    chosen = cached;
            }
            parseAPIReturn(chosen, QStringLiteral("templates"), state().themes);
            NotificationCenter::defaultCenter().post(kThemesDownloadedNotification);
        });
}

QString TessarineTheme::themeListNotice()
{
    return state().listNotice;
}

bool TessarineTheme::isLoadingThemes()
{
    return state().listRequest != nullptr;
}

QString TessarineTheme::themeRequestErrorString()
{
    return state().errorText;
}

bool TessarineTheme::parseAPIReturn(const QString& text, const QString& mainKey, Registry& registry)
{
    state().errorText.clear();
    Error error;
    const auto reply = Json::readObject(text.toUtf8(), &error);
    if (!reply) {
        qCWarning(lcLibrary).noquote() << "the template list is not a JSON object:" << error.message;
        return false;
    }
    const SafeDictionary dict(*reply);
    if (const auto errorDict = dict.safeDictionaryForKey(QStringLiteral("error"))) {
        state().errorText = errorDict->stringForKey(QStringLiteral("localizedDescription"));
        return false;
    }
    const QJsonValue list = dict.valueForKey(mainKey);
    if (!list.isArray()) {
        qCWarning(lcLibrary) << "the template list has no" << mainKey << "array";
        return false;
    }
    for (const QJsonValue& element : list.toArray()) {
        if (!element.isObject()) {
            qCWarning(lcLibrary) << "a template that is not an object is skipped:" << element;
            continue;
        }
        const SafeDictionary themeDict(element.toObject());
        const QString themeID = themeDict.stringForKey(QStringLiteral("themeId"));
        if (themeID.isEmpty()) {
            qCWarning(lcLibrary) << "a template without an id is skipped";
            continue;
        }
        const auto found = registry.find(themeID);
        if (found != registry.end() && found->second)
            found->second->setPropertiesFromDict(themeDict);
        else
            initWithDict(themeDict, registry);
    }
    return true;
}

std::shared_ptr<TessarineTheme> TessarineTheme::tessarineThemeForID(const QString& themeID)
{
    return registeredTheme(themeID);
}

TessarineTheme::Registry TessarineTheme::allTessarineTemplates()
{
    return state().themes;
}

QStringList TessarineTheme::allTessarineTemplateKeysInPriorityOrder()
{
    return sortedTemplateKeysInPriorityOrderForDict(state().themes);
}

QStringList TessarineTheme::sortedTemplateKeysInPriorityOrderForDict(const Registry& registry)
{
    QStringList keys;
    for (const auto& [key, theme] : registry)
        keys.append(key);
    std::stable_sort(keys.begin(), keys.end(), [&registry](const QString& a, const QString& b) {
        const auto priority = [&registry](const QString& key) {
            const auto& theme = registry.at(key);
            return theme ? priorityValue(theme->priority()) : 0;
        };
        return priority(a) < priority(b);
    });
    return keys;
}

std::shared_ptr<ZERI_TessarineModel> TessarineTheme::sampleModelForFlowThemeID(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->tessarineSampleModel() : nullptr;
}

QStringList TessarineTheme::availableFontNamesForFlowThemeID(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->availableFonts() : QStringList();
}

QList<QColor> TessarineTheme::availableTextColorsForFlowThemeID(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->availableTextColors() : QList<QColor>();
}

QList<QColor> TessarineTheme::availableBackgroundColorsForFlowThemeID(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->availableBackgroundColors() : QList<QColor>();
}

int TessarineTheme::minimumFontSizeForTheme(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->minimumFontSize() : 0;
}

int TessarineTheme::maximumFontSizeForTheme(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->maximumFontSize() : 0;
}

QString TessarineTheme::priorityForTheme(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->priority() : QString();
}

std::shared_ptr<ZERI_ContentAsset> TessarineTheme::backgroundAssetForFlowThemeID(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->backgroundAsset() : nullptr;
}

QString TessarineTheme::filepathForTexturedBackgroundForThemeID(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->texturedBackgroundFilePath() : QString();
}

QStringList TessarineTheme::themeAssetKeysForFlowThemeID(const QString& themeID)
{
    const auto theme = registeredTheme(themeID);
    return theme ? theme->themeAssets().keys() : QStringList();
}

QStringList TessarineTheme::themeAssetsForFlowThemeID(const QString& themeID, const QString& assetKey)
{
    const auto theme = registeredTheme(themeID);
    if (!theme)
        return {};
    QStringList paths;
    for (const QJsonValue& path : theme->themeAssets().value(assetKey).toArray())
        if (path.isString())
            paths.append(path.toString());
    return paths;
}

QStringList TessarineTheme::allThemeAssetFilepathsForFlowThemeID(const QString& themeID)
{
    QStringList paths;
    for (const QString& key : themeAssetKeysForFlowThemeID(themeID))
        paths += themeAssetsForFlowThemeID(themeID, key);
    return paths;
}

void TessarineTheme::removeScreenLinkObjects(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    forEachObject(model, [](ZERI_MixedMediaObject& object) {
        if (object.action() && object.action()->type() == ZERI_MMAction::ScreenLink)
            object.setAction(nullptr);
    });
}

void TessarineTheme::setTextObjectsWithBooleanFlag(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    forEachObject(model, [](ZERI_MixedMediaObject& object) {
        if (auto* text = dynamic_cast<ZERI_MMObject_Text*>(&object))
            text->setIsThemeText(true);
    });
}

QString TessarineTheme::blankTemplateFolder()
{
    return AppPaths::applicationSupport() + QStringLiteral("/Tessarine/BlankTemplateAssets/");
}

void TessarineTheme::deletePrecachedBlankTheme()
{
    // Removed as the application's own folder: a link in its place goes as a link, what it leads to stays.
    const QString folder = QDir::cleanPath(blankTemplateFolder());
    if (!OwnFiles::remove(folder))
        qCWarning(lcLibrary) << "cannot remove" << folder;
}

QString TessarineTheme::preparedBlankTemplateText(const QString& resourceText)
{
    QString text = resourceText;
    text.remove(QStringLiteral("BLANKTEMPLATE/"));
    text.replace(QStringLiteral("isBakedAsset\":\"no"), QStringLiteral("isBakedAsset\":\"YES"));
    text.replace(QStringLiteral("isThemeText\":\"NO"), QStringLiteral("isThemeText\":\"YES"));
    return text;
}

void TessarineTheme::setBlankTemplateResourceForTesting(const QString& path)
{
    state().blankResource = path.isEmpty() ? kDefaultBlankResource : path;
}

void TessarineTheme::resetForTesting()
{
    state().themes.clear();
    state().listRequest.reset();
    state().errorText.clear();
    state().listNotice.clear();
    state().blankResource = kDefaultBlankResource;
    ++state().generation;
}
