#include "library/account/ZERI_AuthenticationHandler.h"

#include <algorithm>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUuid>

#include "app/QVRAnalytics.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "library/themes/TessarineTheme.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/OwnFiles.h"
#include "platform/WorkerThreads.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/DocumentServerOperations.h"
#include "service/QVBPrecacheManager.h"
#include "service/ZERI_AssetUploadManager.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

ZERI_AuthenticationHandler* s_handler = nullptr;
std::function<void()> s_afterSignIn;
std::function<void(const QString&)> s_plantCookies;
std::function<void()> s_clearCookies;

SafeDictionary parseReply(const QString& reply)
{
    const QJsonDocument document = QJsonDocument::fromJson(reply.toUtf8());
    return document.isObject() ? SafeDictionary(document.object()) : SafeDictionary();
}

Error replacedError()
{
    return Error(QString::fromLatin1(ZERI_AuthenticationHandler::kErrorDomain),
                 ZERI_AuthenticationHandler::kReplacedCode, QStringLiteral("A newer sign-in replaced this one."));
}

Error noTokenError()
{
    return Error(QString::fromLatin1(ZERI_AuthenticationHandler::kErrorDomain),
                 ZERI_AuthenticationHandler::kNoTokenCode, QStringLiteral("The service did not sign you in."));
}

void logErrorCode(const SafeDictionary& errorDict)
{
    qCInfo(lcLibrary).noquote() << "Error with code:" << errorDict.stringForKey(QStringLiteral("errorCode"));
}

// Answers `completion` with the reply's error when it holds one; true when it did.
bool answeredWithServiceError(const SafeDictionary& reply, const ZERI_AuthenticationHandler::Completion& completion)
{
    const auto errorDict = reply.safeDictionaryForKey(QStringLiteral("error"));
    if (!errorDict)
        return false;
    logErrorCode(*errorDict);
    if (completion)
        completion(ZERI_AuthenticationHandler::errorFromApiErrorDict(*errorDict));
    return true;
}

// One thread, so sign-outs end in the order they began; what is queued when the application ends still runs.
WorkerThreads& signOutThread()
{
    static WorkerThreads::Lasting thread(1, QStringLiteral("sign-out"));
    return thread.threads();
}

// A writer still busy for a document that was just closed (a picture drawn on a worker, say) may put a file in its
// folder while the folder is being deleted, which keeps the folder: it is deleted again, for a while, until it is
// gone. Once it is gone, such a writer finds no folder to write into.
constexpr int kFolderDeleteRetryMs = 3000;

void deleteEach(const QStringList& folders)
{
    for (const QString& folder : folders) {
        QElapsedTimer trying;
        trying.start();
        while (QFileInfo::exists(folder) && !QDir(folder).removeRecursively()) {
            if (trying.elapsed() > kFolderDeleteRetryMs) {
                qCWarning(lcLibrary).noquote() << "sign-out could not delete a document folder";
                break;
            }
            QThread::msleep(10);
        }
    }
}

// Deletes the folders on a few threads at once and returns when all are gone.
void deleteFolders(const QStringList& folders)
{
    const int count = std::clamp(QThread::idealThreadCount(), 1, 4);
    if (folders.size() < 2 * count) {
        deleteEach(folders);
        return;
    }
    std::vector<QStringList> shares(static_cast<std::size_t>(count));
    for (qsizetype i = 0; i < folders.size(); ++i)
        shares[static_cast<std::size_t>(i % count)].append(folders.at(i));
    WorkerThreads deleters(count, QStringLiteral("sign-out delete"));
    for (QStringList& share : shares)
        deleters.post([share = std::move(share)] { deleteEach(share); });
    deleters.finish();
}

// Moves the folders of a signed-out user's documents out of their places at once, into a hidden folder beside them
// that the package scan does not read, and returns where they now are (with whatever an earlier sign-out left there).
// A document of the next sign-in, synced under the same id while the deletion still runs, is then never what the
// deletion finds. A folder that cannot be moved is deleted where it is.
QStringList moveOutOfPlace(const QStringList& folders)
{
    const QString leaving = QDir(ZERI_qvdFilePackage::tessarinesFolder()).filePath(QStringLiteral(".signed-out"));
    if (folders.isEmpty() || !OwnFiles::makeFolder(leaving))
        return folders;
    QStringList moved;
    const QDir leavingDir(leaving);
    for (const QString& name :
         leavingDir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        moved.append(leavingDir.filePath(name));
    for (const QString& folder : folders) {
        const QString target = leavingDir.filePath(QFileInfo(folder).fileName() + QLatin1Char('-') +
                                                   QUuid::createUuid().toString(QUuid::Id128));
        moved.append(QDir().rename(folder, target) ? target : folder);
    }
    return moved;
}

void postLogout()
{
    NotificationCenter::defaultCenter().post(QString::fromLatin1(ZERI_AuthenticationHandler::kDidLogoutNotification));
}

} // namespace

ZERI_AuthenticationHandler* ZERI_AuthenticationHandler::authHandler()
{
    if (!s_handler)
        s_handler = new ZERI_AuthenticationHandler();
    return s_handler;
}

void ZERI_AuthenticationHandler::cleanup()
{
    delete s_handler;
    s_handler = nullptr;
}

ZERI_AuthenticationHandler::~ZERI_AuthenticationHandler()
{
    if (m_signInRequester)
        m_signInRequester->cancel();
    if (m_registerRequester)
        m_registerRequester->cancel();
}

void ZERI_AuthenticationHandler::setAfterSignInHook(std::function<void()> hook)
{
    s_afterSignIn = std::move(hook);
}

void ZERI_AuthenticationHandler::setSessionCookieHooks(std::function<void(const QString&)> plant,
                                                       std::function<void()> clear)
{
    s_plantCookies = std::move(plant);
    s_clearCookies = std::move(clear);
}

// The sign-in in flight is cancelled; its caller hears that it was replaced.
void ZERI_AuthenticationHandler::replaceSignIn()
{
    if (m_signInRequester) {
        m_signInRequester->cancel();
        m_signInRequester.reset();
    }
    if (Completion previous = std::exchange(m_signInCompletion, {}))
        previous(replacedError());
}

void ZERI_AuthenticationHandler::loginCorvikWithEmail(const QString& email, const QString& password,
                                                      Completion completion)
{
    replaceSignIn();
    m_signInCompletion = std::move(completion);
    m_signInRequester =
        CorvikBlockAPIBinding::authenticateUser(email, password, [this](const QString& reply, const QString&) {
            m_signInRequester.reset();
            handleSignInReply(reply, false, std::exchange(m_signInCompletion, {}));
        });
}

void ZERI_AuthenticationHandler::handleSignInReply(const QString& reply, bool afterRegistration, Completion completion)
{
    const SafeDictionary parsed = parseReply(reply);
    if (answeredWithServiceError(parsed, completion))
        return;
    if (!saveUserCredentials(parsed)) {
        if (completion)
            completion(noTokenError());
        return;
    }
    const QVariantMap method{{QStringLiteral("Method"), QStringLiteral("Corvik")}};
    if (afterRegistration) {
        NotificationCenter::defaultCenter().post(QString::fromLatin1(kDidLoginNotification));
        QVRAnalytics::logEvent(QStringLiteral("User Register"), method);
    } else {
        QVRAnalytics::logEvent(QStringLiteral("User Login"), method);
        NotificationCenter::defaultCenter().post(QString::fromLatin1(kDidLoginNotification));
    }
    if (completion)
        completion(std::nullopt);
}

void ZERI_AuthenticationHandler::registerCorvikUserWithUsername(const QString& username, const QString& password,
                                                                const QString& email, const QString& mobileNumber,
                                                                const QString& displayName, const QString& realName,
                                                                Completion completion)
{
    if (m_signInRequester || m_registerRequester) {
        qCInfo(lcLibrary) << "registration refused: another account request is in flight";
        if (completion)
            completion(Error(QString::fromLatin1(kErrorDomain), kBusyCode,
                             QStringLiteral("Another sign-in is in progress. Please try again in a moment.")));
        return;
    }
    m_registerRequester = CorvikBlockAPIBinding::registerUserWithUsername(
        username, password, email, mobileNumber, displayName, realName,
        [this, email, password, completion = std::move(completion)](const QString& reply, const QString&) mutable {
            m_registerRequester.reset();
            const SafeDictionary parsed = parseReply(reply);
            if (answeredWithServiceError(parsed, completion))
                return;
            replaceSignIn();
            m_signInCompletion = std::move(completion);
            m_signInRequester = CorvikBlockAPIBinding::authenticateUser(
                email, password, [this](const QString& signInReply, const QString&) {
                    m_signInRequester.reset();
                    handleSignInReply(signInReply, true, std::exchange(m_signInCompletion, {}));
                });
        });
}

void ZERI_AuthenticationHandler::loginUsingFacebookWithFBAccessToken(const QString& accessToken, Completion completion)
{
    qCInfo(lcLibrary) << "fbSessionDidBecomeActive";
    replaceSignIn();
    m_signInCompletion = std::move(completion);
    m_signInRequester = CorvikBlockAPIBinding::authTokenFromFacebookAccessToken(
        accessToken, [this](const QString& reply, const QString&) {
            m_signInRequester.reset();
            Completion done = std::exchange(m_signInCompletion, {});
            const SafeDictionary parsed = parseReply(reply);
            if (answeredWithServiceError(parsed, done))
                return;
            if (!saveUserCredentials(parsed)) {
                if (done)
                    done(noTokenError());
                return;
            }
            NotificationCenter::defaultCenter().post(QString::fromLatin1(kDidLoginNotification));
            const bool isNew = parsed.safeDictionaryForKey(QStringLiteral("response"))
                                   .value_or(SafeDictionary())
                                   .boolForKey(QStringLiteral("is_new_account"));
            QVRAnalytics::logEvent(isNew ? QStringLiteral("User Register") : QStringLiteral("User Login"),
                                   {{QStringLiteral("Method"), QStringLiteral("Facebook")}});
            if (done)
                done(std::nullopt);
        });
}

bool ZERI_AuthenticationHandler::saveUserCredentials(const SafeDictionary& reply)
{
    const SafeDictionary response = reply.safeDictionaryForKey(QStringLiteral("response")).value_or(SafeDictionary());
    const SafeDictionary auth = response.safeDictionaryForKey(QStringLiteral("auth")).value_or(SafeDictionary());
    // Only a text is a token: an object or a list would otherwise be stored as its description.
    const QString token = auth.valueForKey(QStringLiteral("token")).toString();
    if (token.isEmpty())
        return false;
    Tessutils::setCorvikAuthToken(token);
    const QString cookieToken = response.safeDictionaryForKey(QStringLiteral("cookie_auth"))
                                    .value_or(SafeDictionary())
                                    .valueForKey(QStringLiteral("auth_token"))
                                    .toString();
    if (!cookieToken.isEmpty())
        Tessutils::setCorvikCookieAuthToken(cookieToken);
    saveDataFromUserDict(auth.safeDictionaryForKey(QStringLiteral("user")));

    // Documents made while signed out become the signed-in user's.
    const QJsonObject owner = Tessutils::corvikUserDict().dictionary();
    for (const auto& package : ZERI_qvdFilePackage::packagesForType(1)) {
        if (package->metaData().ownerUserName().isEmpty() && package->metaData().owner().isEmpty()) {
            package->metaData().setOwner(owner);
            package->saveMetadata();
        }
    }
    if (s_afterSignIn)
        s_afterSignIn();
    return true;
}

void ZERI_AuthenticationHandler::saveDataFromUserDict(const std::optional<SafeDictionary>& userDict)
{
    const SafeDictionary record = userDict.value_or(SafeDictionary());
    const QString displayName = record.stringForKey(QStringLiteral("display_name"));
    Tessutils::setCorvikUserDict(userDict);
    if (userDict)
        Tessutils::setCorvikDisplayName(displayName);
    Tessutils::setUserMaxUploadSize(record.stringForKey(QStringLiteral("upload_max_file_size")).toLongLong());
    std::optional<SafeDictionary> group;
    if (auto membership = record.safeDictionaryForKey(QStringLiteral("enterprise_group_membership")))
        group = membership->safeDictionaryForKey(QStringLiteral("group"));
    Tessutils::setUserEnterpriseGroupWithDict(group);
    TessarineTheme::loadThemesFromWeb();
}

Error ZERI_AuthenticationHandler::errorFromApiErrorDict(const SafeDictionary& errorDict)
{
    QString domain = errorDict.stringForKey(QStringLiteral("domainCode"));
    if (domain.isEmpty())
        domain = QString::fromLatin1(kServiceErrorDomain);
    QString message = errorDict.stringForKey(QStringLiteral("errorMessage"));
    if (message.isEmpty())
        message = errorDict.stringForKey(QStringLiteral("localizedDescription"));
    return Error(domain, static_cast<int>(errorDict.integerForKey(QStringLiteral("errorCode"))), message);
}

bool ZERI_AuthenticationHandler::accountTypeIsTemporary()
{
    return Tessutils::corvikUserDict().boolForKey(QStringLiteral("account_type_is_temporary"));
}

void ZERI_AuthenticationHandler::logout()
{
    ZERI_AssetUploadManager::sharedInstance().cancelUploadsAndClearQueue();
    ZERI_AssetUploadManager::sharedInstance().forgetUploadResults();
    DocumentServerOperations::cancelDownloadTessarinesForType();
    QVBPrecacheManager::sharedInstance().resetEverything();
    // The documents leave the list now; their folders are deleted off the main thread.
    QStringList folders;
    for (const auto& package : ZERI_qvdFilePackage::allPackages())
        folders.append(package->forgetPackage());
    folders = moveOutOfPlace(folders);
    const QString token = Tessutils::corvikAuthToken();
    if (!token.isEmpty()) {
        CorvikBlockAPIBinding::logoutWithUsername(QString(), token, [](const QString& reply, const QString&) {
            const bool ok = parseReply(reply).contains(QStringLiteral("response"));
            qCInfo(lcLibrary) << "response to log out" << (ok ? "ok" : "error");
        });
    }
    Tessutils::setCorvikAuthToken(QString());
    Tessutils::setCorvikCookieAuthToken(QString());
    Tessutils::setCorvikDisplayName(QString());
    Tessutils::setCorvikAvatarPositionString(QStringLiteral(""));
    Tessutils::setUserEnterpriseGroup(std::nullopt);
    Tessutils::setCorvikUserDict(std::nullopt);
    Tessutils::setCachedStandardTessarineThemeListString(QStringLiteral(""));
    // The web views must not keep the session of the user who left.
    if (s_clearCookies)
        s_clearCookies();
    // The notification follows once every folder is gone.
    const bool queued = signOutThread().post([folders] {
        deleteFolders(folders);
        MainThread::run(postLogout, false);
    });
    if (!queued) {
        deleteFolders(folders);
        postLogout();
    }
}

void ZERI_AuthenticationHandler::waitForSignOutsForTesting()
{
    signOutThread().waitForIdle();
    QCoreApplication::sendPostedEvents();
}

void ZERI_AuthenticationHandler::setOSXCookieTokenForThisSession()
{
    if (s_plantCookies)
        s_plantCookies(Tessutils::corvikAuthToken());
}
