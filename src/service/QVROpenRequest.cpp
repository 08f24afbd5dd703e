#include "service/QVROpenRequest.h"

#include <QJsonDocument>
#include <QMetaObject>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include "foundation/Tessutils.h"
#include "platform/Json.h"
#include "service/DocumentServerOperations.h"
#include "service/OpenRequestUi.h"
#include "service/QVB_TessarinePrecacheHelper.h"
#include "service/ServiceLogging.h"
#include "service/SelfHeldObjects.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_FlowLink.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

namespace {

QString& shortLinkHostSetting()
{
    static QString host = QString::fromLatin1(QVROpenRequest::kDefaultShortLinkHost);
    return host;
}

bool isStringIDText(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]{1,128}$"));
    return pattern.match(text).hasMatch();
}

// A document text in a reply: an object, or the same as JSON text. Empty when absent or unreadable.
QJsonObject documentObject(const QJsonValue& value)
{
    if (value.isObject())
        return value.toObject();
    if (value.isString())
        return QJsonDocument::fromJson(value.toString().toUtf8()).object();
    return {};
}

// The service's time of its copy's last change; now when the reply does not say.
QDateTime serverUpdatedTime(const QJsonObject& record)
{
    const QDateTime updated = QDateTime::fromString(record.value(QStringLiteral("updated")).toString(), Qt::ISODate);
    return updated.isValid() ? updated : QDateTime::currentDateTimeUtc();
}

QString signedInUserName()
{
    return Tessutils::corvikUserDict().stringForKey(QStringLiteral("username"));
}

bool isOwnedBySignedInUser(const QJsonObject& record)
{
    const QString ownerName =
        record.value(QStringLiteral("owner")).toObject().value(QStringLiteral("username")).toString();
    return !ownerName.isEmpty() && ownerName == signedInUserName();
}

// The copy of a document stored here that a window may be showing, when one is loaded.
std::shared_ptr<ZERI_TessarineModel> loadedStoredModel(const QVROpenRequest::ParsedCue& cue)
{
    std::shared_ptr<ZERI_qvdFilePackage> package;
    if (cue.kind == QVROpenRequest::ParsedCue::Kind::StringID) {
        package = ZERI_qvdFilePackage::packageForStringID(cue.value);
    } else {
        for (const auto& candidate : ZERI_qvdFilePackage::allPackages()) {
            if (candidate->metaData().alias() == cue.value) {
                package = candidate;
                break;
            }
        }
    }
    if (!package)
        return nullptr;
    return package->publishedModel() ? package->publishedModel() : package->model();
}

// The string ids of the documents `model` embeds ("flowLink://stringID=…" links).
QStringList linkedStringIDs(const ZERI_TessarineModel& model)
{
    QStringList ids;
    const auto consider = [&](const QString& link) {
        // A flow-link action may also hold the bare string id.
        const auto id =
            Tessutils::isFlowLink(link) ? Tessutils::stringIDFromEmbedFlowLink(link) : std::optional<QString>(link);
        if (id && isStringIDText(*id) && *id != model.stringID() && !ids.contains(*id))
            ids.append(*id);
    };
    for (const auto& flow : model.flowModels()) {
        for (const auto& screen : flow->screenModels()) {
            for (const auto& proxy : screen->mixedMediaObjects()) {
                const auto action = proxy->object()->action();
                if (const auto web = std::dynamic_pointer_cast<ZERI_MMAction_WebLink>(action)) {
                    if (Tessutils::isFlowLink(web->weblinkText()))
                        consider(web->weblinkText());
                } else if (const auto flowLink = std::dynamic_pointer_cast<ZERI_MMAction_FlowLink>(action))
                    consider(flowLink->flowLink());
            }
        }
    }
    return ids;
}

// Writes what the service said about the document into its package's metadata, as a save's answer does, with the
// description it holds for the document: someone else's document reads as the service shows it, the user's own
// keeps a description written here. A record without one leaves the document's own.
void updateMetadata(ZERI_qvdFilePackage& package, const QJsonObject& record, const ZERI_TessarineModel& model)
{
    auto& metadata = package.metaData();
    const bool own = (metadata.packageType() & ZERI_qvdFilePackage::OwnDocument) != 0;
    const bool described = !record.value(QStringLiteral("description")).toString().isEmpty();
    DocumentServerOperations::applyDocumentRecord(package, record,
                                                  described && (!own || metadata.tessarineDescription().isEmpty()));
    const QString title = record.value(QStringLiteral("title")).toString();
    metadata.setTessarineName(title.isEmpty() ? model.title() : title);
    metadata.setHasPassword(record.value(QStringLiteral("has_password")).toBool());
    package.saveMetadata();
}

// Whether the package stored here is the local copy of the server document a record describes: its string id
// matches, and so does its server id when both are known. A document's own id comes from its JSON, which anybody
// publishing a document writes: it alone never makes a package the local copy.
bool isLocalCopyOfRecord(ZERI_qvdFilePackage& package, const QString& stringID, const QJsonObject& record)
{
    const QString storedStringID = package.metaData().stringID();
    if (stringID.isEmpty() || storedStringID != stringID)
        return false;
    const QString apiID = package.metaData().apiID();
    const QString recordID = record.value(QStringLiteral("id")).toString();
    return apiID.isEmpty() || recordID.isEmpty() || apiID == recordID;
}

// A downloaded document whose id names no package of its own here (it is another document's, it cannot name a
// folder, or a folder of that name is already there, such as a package never finished) gets a fresh one;
// `companion` (its published copy) follows it.
void giveFreshIDWhenTaken(ZERI_TessarineModel& document, ZERI_TessarineModel* companion)
{
    const QString id = document.qvdID();
    if (ZERI_qvdFilePackage::isFreeForNewPackage(id))
        return;
    const QString fresh = Tessutils::generateUniversalID();
    qCInfo(lcService) << "the downloaded document" << document.stringID() << "gets the id" << fresh
                      << "- its own names another package or no folder";
    document.setInternalID(fresh);
    if (companion)
        companion->setInternalID(fresh);
}

// Forwards a precache manager's reports to a request.
class PrecacheForwarder : public QVBPrecacheManagerDelegate {
public:
    std::function<void(int done, int total)> onProgress;
    std::function<void()> onEnd;

    void precacheManagerStartedLoad(QVBPrecacheManager*) override {}
    void precacheManager(QVBPrecacheManager*, quint64, quint64, int done, int total) override
    {
        onProgress(done, total);
    }
    void precacheManagerDoneCaching(QVBPrecacheManager*) override { onEnd(); }
    void precacheManagerFailedTooManyTimes(QVBPrecacheManager*) override
    {
        // The document still opens: its views fetch a missing file again when they show it.
        qCWarning(lcService) << "precaching gave up; opening the document with some files still missing";
        onEnd();
    }
};

} // namespace

// The application is ending: nothing more is shown, opened or reported. Without its hold on itself the request
// goes with its last holder, cancelling the calls it still waits for; it would otherwise outlive the process's
// clean-up, held by itself.
void QVROpenRequest::abandonAtExit()
{
    if (m_finished)
        return;
    m_finished = true;
    m_done = nullptr;
    QObject::disconnect(m_windowWatch);
    if (m_precache)
        m_precache->setDelegate(nullptr);
    const auto keepAlive = std::move(m_keepAlive);
}

std::shared_ptr<QVROpenRequest> QVROpenRequest::request()
{
    return std::shared_ptr<QVROpenRequest>(new QVROpenRequest());
}

QVROpenRequest::~QVROpenRequest()
{
    if (m_requester)
        m_requester->cancel();
    for (const auto& requester : std::as_const(m_linkRequesters))
        requester->cancel();
}

QString QVROpenRequest::shortLinkHost()
{
    return shortLinkHostSetting();
}

void QVROpenRequest::setShortLinkHost(const QString& host)
{
    shortLinkHostSetting() = host;
}

QString QVROpenRequest::shortLinkBase()
{
    return QStringLiteral("http://") + shortLinkHost() + QLatin1Char('/');
}

std::optional<QVROpenRequest::ParsedCue> QVROpenRequest::parseCue(const QString& input)
{
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (isStringIDText(text))
        return ParsedCue{ParsedCue::Kind::StringID, text};
    // The address field of the share window shows the address without its scheme.
    const QString withScheme = text.contains(QLatin1String("://")) ? text : QStringLiteral("https://") + text;
    const QUrl url(withScheme, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    // Host and port as the addresses of posted documents name them ("www.tessarine.com", "127.0.0.1:8740").
    const QString authority =
        url.port() == -1 ? url.host().toLower() : url.host().toLower() + u':' + QString::number(url.port());
    const QStringList segments = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);

    // A site of one's own may serve both forms: its posted addresses are those under "/s/".
    if ((scheme == QLatin1String("https") || scheme == ZERI_TessarineModel::publishWebScheme()) &&
        authority == ZERI_TessarineModel::publishWebHost().toLower() &&
        (segments.value(0) == QLatin1String("s") || authority != shortLinkHost().toLower())) {
        // "/s/<string id>[/<title>][/<channel>]"
        static const QStringList channels{"f", "t", "l", "g", "e"};
        if (segments.size() < 2 || segments.size() > 4 || segments[0] != QLatin1String("s") ||
            !isStringIDText(segments[1]))
            return std::nullopt;
        if (segments.size() == 4 && !channels.contains(segments[3]))
            return std::nullopt;
        return ParsedCue{ParsedCue::Kind::StringID, segments[1]};
    }
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        authority == shortLinkHost().toLower()) {
        if (segments.size() != 1 || !isStringIDText(segments[0]))
            return std::nullopt;
        return ParsedCue{ParsedCue::Kind::Alias, segments[0]};
    }
    return std::nullopt;
}

void QVROpenRequest::open(DoneBlock done)
{
    if (m_started)
        return;
    m_started = true;
    m_done = std::move(done);
    m_keepAlive = shared_from_this();
    SelfHeldObjects<QVROpenRequest, &QVROpenRequest::abandonAtExit>::note(m_keepAlive);

    if (std::holds_alternative<NewDocumentCue>(m_cue)) {
        const auto ui = OpenRequestUi::current();
        if (!ui) {
            fail(NoWindow, UFM::ERROR_DOWNLOADING_TESSARINE());
            return;
        }
        if (!ui->showTemplateChooser()) {
            fail(NoWindow, UFM::ERROR_DOWNLOADING_TESSARINE());
            return;
        }
        finish(Error());
    } else if (const auto* text = std::get_if<QString>(&m_cue)) {
        openString(*text);
    } else if (const auto* package = std::get_if<std::shared_ptr<ZERI_qvdFilePackage>>(&m_cue)) {
        openPackage(*package);
    } else if (const auto* model = std::get_if<std::shared_ptr<ZERI_TessarineModel>>(&m_cue)) {
        openModel(*model);
    }
}

void QVROpenRequest::cancel()
{
    if (!m_started) {
        // Cancelled before it was opened: it never starts, and there is no done block to tell.
        m_started = true;
        m_finished = true;
        return;
    }
    if (m_finished)
        return;
    finish(Error(QString::fromLatin1(kErrorDomain), Cancelled, QStringLiteral("The document was not opened.")));
}

bool QVROpenRequest::ensureWindow(const std::shared_ptr<ZERI_TessarineModel>& model,
                                  const std::shared_ptr<ZERI_TessarineModel>& shownModel)
{
    if (m_window)
        return true;
    const auto ui = OpenRequestUi::current();
    // A viewer or tablet window becomes the delegate, whatever was set; otherwise a delegate that was set
    // takes the document in place of a creator window.
    if (!(m_options & (ViewerWindow | TabletPreviewWindow)) && m_delegate) {
        m_window = m_delegate;
    } else if (ui) {
        if (m_options & ViewerWindow) {
            const auto& lookedFor = model ? model : shownModel;
            m_window = lookedFor ? ui->viewerWindowForModel(lookedFor) : nullptr;
            if (m_window) {
                // The viewer already showing the document takes it again, in front of the window asked from.
                ui->bringToFront(m_window);
            } else {
                m_window = ui->makeViewerWindowForModel(model);
                m_windowPrepared = true;
            }
        } else if (m_options & TabletPreviewWindow) {
            m_window = ui->makeiPadPreviewWindow();
            m_windowPrepared = true;
        } else {
            m_window = ui->creatorWindowForOpen();
            m_windowPrepared = true;
        }
    }
    if (!m_window) {
        m_windowPrepared = false;
        fail(NoWindow, UFM::ERROR_DOWNLOADING_TESSARINE());
        return false;
    }
    if (auto* object = dynamic_cast<QObject*>(m_window)) {
        m_windowIsQObject = true;
        m_windowGuard = object;
        // Closing the window ends the request at once: nothing may reach the window, or the panel shown in it,
        // once it is gone.
        const std::weak_ptr<QVROpenRequest> weak = weak_from_this();
        m_windowWatch = QObject::connect(object, &QObject::destroyed, [weak] {
            if (const auto self = weak.lock()) {
                self->m_window = nullptr;
                self->m_windowPrepared = false;
                self->cancel();
            }
        });
    }
    return true;
}

void QVROpenRequest::openModel(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    if (!model) {
        fail(BadCue, UFM::ERROR_DOWNLOADING_TESSARINE());
        return;
    }
    m_model = model;
    // A document already open in a creator window is brought to the front there, never opened a second time.
    if (!(m_options & (ViewerWindow | TabletPreviewWindow)) && !m_delegate) {
        const auto ui = OpenRequestUi::current();
        if (QVROpenRequestDelegate* shown = ui ? ui->creatorWindowForModel(model) : nullptr) {
            ui->bringToFront(shown);
            finish(Error());
            return;
        }
    }
    if (!ensureWindow(model))
        return;
    m_pendingSteps = 1; // precaching
    if (!(m_options & SkipLinkedDocuments))
        fetchLinkedDocuments(model);
    precacheAndHandOver();
}

void QVROpenRequest::openPackage(const std::shared_ptr<ZERI_qvdFilePackage>& package)
{
    if (!package) {
        fail(BadCue, UFM::ERROR_DOWNLOADING_TESSARINE());
        return;
    }
    Error error;
    std::shared_ptr<ZERI_TessarineModel> model;
    if ((m_options & PublishedCopyOnly) && package->loadPublishedModel(&error))
        model = package->publishedModel();
    if (!model && !(m_options & PublishedCopyOnly) && package->loadModel(&error))
        model = package->model();
    if (!model) {
        qCWarning(lcService) << "cannot open package" << package->path() << error.message;
        fail((m_options & PublishedCopyOnly) ? NotPosted : BrokenDocument,
             (m_options & PublishedCopyOnly) ? UFM::TESSARINE_NOT_POSTED_TEXT() : UFM::ERROR_DOWNLOADING_TESSARINE());
        return;
    }
    openModel(model);
}

void QVROpenRequest::openString(const QString& text)
{
    m_parsed = parseCue(text);
    if (!m_parsed) {
        fail(BadCue, UFM::ERROR_DOWNLOADING_TESSARINE());
        return;
    }
    // Without bit 8 a document already stored here opens from its package.
    if (m_parsed->kind == ParsedCue::Kind::StringID && !(m_options & DownloadByStringID)) {
        if (const auto local = ZERI_qvdFilePackage::packageForStringID(m_parsed->value)) {
            openPackage(local);
            return;
        }
    }
    // A viewer already showing the copy stored here is used again rather than a second one made.
    if (!ensureWindow(nullptr, (m_options & ViewerWindow) ? loadedStoredModel(*m_parsed) : nullptr))
        return;
    if (const auto ui = OpenRequestUi::current()) {
        QObject* loading = ui->makeLoadingView(UFM::FETCHING_TESSARINE_TEXT());
        m_loadingView = loading;
        if (loading) {
            const std::weak_ptr<QVROpenRequest> weak = weak_from_this();
            ui->setLoadingViewCancelBlock(loading, [weak] {
                if (const auto self = weak.lock())
                    self->cancel();
            });
        }
        m_window->openRequesterWantsToDisplayLoadingView(loading);
    }
    download();
}

void QVROpenRequest::download()
{
    const std::weak_ptr<QVROpenRequest> weak = weak_from_this();
    const auto completion = [weak](const QString& reply, const QString&) {
        if (const auto self = weak.lock())
            self->onDownloadReply(reply);
    };
    if (m_parsed->kind == ParsedCue::Kind::Alias)
        m_requester = ZERI_APIBinding::getTessarineByAlias(m_parsed->value, completion);
    else
        m_requester = ZERI_APIBinding::getTessarineByStringId(m_parsed->value, Tessutils::corvikAuthToken(), QString(),
                                                              completion);
}

void QVROpenRequest::onDownloadReply(const QString& text)
{
    m_requester.reset();
    if (m_finished)
        return;
    const bool byAlias = m_parsed->kind == ParsedCue::Kind::Alias;
    const QString notFoundText =
        byAlias ? UFM::ERROR_DOWNLOADING_TESSARINE_ALIAS() : UFM::ERROR_DOWNLOADING_TESSARINE();
    const ServiceReply reply = ServiceReply::parse(text);
    const std::weak_ptr<QVROpenRequest> weak = weak_from_this();

    if (reply.outcome == ServiceReply::Outcome::ConnectionFailure) {
        // Offline: a copy stored here is better than nothing.
        if (!byAlias) {
            if (const auto local = ZERI_qvdFilePackage::packageForStringID(m_parsed->value)) {
                openPackage(local);
                return;
            }
        }
        const QString noInternet = UFM::IT_LOOKS_LIKE_YOU_HAVE_NO_INTERNET();
        fail(NoInternet, noInternet.isEmpty() ? notFoundText : noInternet);
        return;
    }
    if (reply.outcome != ServiceReply::Outcome::Success) {
        const QJsonValue code = reply.error.value(QStringLiteral("errorCode"));
        const QString codeText = code.isString() ? code.toString() : QString::number(code.toInt());
        const auto ui = OpenRequestUi::current();
        if (codeText == QLatin1String("400") && ui) {
            // The prompt's message, then its question on a line of its own.
            const QString prompt =
                UFM::YOU_NEED_A_FREE_ACCOUNT() + QLatin1Char('\n') + UFM::WOULD_YOU_LIKE_TO_MAKE_ACCOUNT();
            const bool shown = ui->showRegisterWall(prompt, [weak](bool signedIn) {
                const auto self = weak.lock();
                if (!self || self->m_finished)
                    return;
                if (signedIn)
                    self->download();
                else
                    self->fail(SignInRequired, UFM::YOU_NEED_A_FREE_ACCOUNT());
            });
            if (!shown)
                fail(NoWindow, UFM::YOU_NEED_A_FREE_ACCOUNT());
            return;
        }
        qCWarning(lcService) << "cannot open document" << m_parsed->value << reply.asError().message;
        // A document the user may not see (another's private one) is refused for good: the service's own words say
        // so. Otherwise the service knows the document but could not hand it over this time: asking again may well
        // work.
        const bool refused = codeText == QLatin1String("700");
        const bool worthRetrying =
            reply.outcome == ServiceReply::Outcome::Failure && codeText != QLatin1String("400") && !refused;
        // A string id the service does not know is named, so that a mistyped one shows as such.
        const QString unknownText = reply.outcome == ServiceReply::Outcome::NotFound && !byAlias
                                        ? UFM::TESSARINE_WITH_STRINGID_NOT_FOUND().arg(m_parsed->value)
                                        : notFoundText;
        const QString refusal = reply.asError().message;
        fail(codeText == QLatin1String("400") ? SignInRequired : NotFound,
             worthRetrying ? notFoundText + QLatin1Char(' ') + UFM::PLEASE_TRY_OPENING_THE_TESSARINE_AGAIN()
             : refused && !refusal.isEmpty() ? notFoundText + QLatin1Char('\n') + refusal
                                             : unknownText);
        return;
    }

    const QJsonObject record = reply.json.value(QStringLiteral("tessarine")).toObject();
    if (record.value(QStringLiteral("needs_password")).toBool()) {
        const auto ui = OpenRequestUi::current();
        if (!ui) {
            fail(NotFound, notFoundText);
            return;
        }
        const QString stringID = record.value(QStringLiteral("string_id")).toString(m_parsed->value);
        const QString promptID = stringID.isEmpty() ? m_parsed->value : stringID;
        const bool shown = ui->showPasswordPrompt(
            promptID,
            [weak](const QString& unlockedReply) {
                if (const auto self = weak.lock(); self && !self->m_finished) {
                    self->m_promptStringID.clear();
                    self->onDownloadReply(unlockedReply);
                }
            },
            [weak] {
                if (const auto self = weak.lock()) {
                    self->m_promptStringID.clear();
                    self->cancel();
                }
            });
        if (shown)
            m_promptStringID = promptID;
        else
            fail(NoWindow, notFoundText);
        return;
    }
    openFromDocumentRecord(record);
}

void QVROpenRequest::openFromDocumentRecord(const QJsonObject& record)
{
    const QJsonObject published = documentObject(record.value(QStringLiteral("document_json_published")));
    const QJsonObject draft = documentObject(record.value(QStringLiteral("document_json")));
    // The draft is the owner's; somebody else opens it only with bit 1024 (should the service send it at all).
    // Bit 1 asks for the published copy even then.
    const bool useDraft = !(m_options & PublishedCopyOnly) && !draft.isEmpty() &&
                          (isOwnedBySignedInUser(record) || (m_options & DraftWithFullPrecache));
    const QJsonObject chosen = useDraft ? draft : published;
    if (chosen.isEmpty()) {
        fail(NotPosted, UFM::TESSARINE_NOT_POSTED_TEXT());
        return;
    }
    Error error;
    auto model = ZERI_TessarineModel::initWithDict(chosen, &error);
    std::shared_ptr<ZERI_TessarineModel> publishedModel;
    if (model && !published.isEmpty())
        publishedModel = useDraft ? ZERI_TessarineModel::initWithDict(published, &error) : model;
    if (!model || (!published.isEmpty() && !publishedModel)) {
        qCWarning(lcService) << "the document" << m_parsed->value << "cannot be read:" << error.message;
        fail(BrokenDocument, UFM::ERROR_DOWNLOADING_TESSARINE());
        return;
    }
    for (const auto& document : {model, publishedModel}) {
        if (!document)
            continue;
        UntrustedAddresses::refuseNonWebAssetAddresses(*document, m_parsed->value);
        const QString stringID = record.value(QStringLiteral("string_id")).toString();
        if (!stringID.isEmpty())
            document->setStringID(stringID);
        if (document->apiID().isEmpty())
            document->setApiID(record.value(QStringLiteral("id")).toString());
        if (record.contains(QStringLiteral("alias")))
            document->setAlias(record.value(QStringLiteral("alias")).toString());
    }

    const auto stored = storeDownloaded(record, model, publishedModel, &error);
    if (!stored) {
        qCWarning(lcService) << "cannot store the document" << m_parsed->value << error.message;
        fail(StorageFailed, UFM::ERROR_DOWNLOADING_TESSARINE());
        return;
    }
    openModel(stored);
}

std::shared_ptr<ZERI_TessarineModel>
QVROpenRequest::storeDownloaded(const QJsonObject& record, const std::shared_ptr<ZERI_TessarineModel>& downloaded,
                                const std::shared_ptr<ZERI_TessarineModel>& publishedModel, Error* error)
{
    const bool owned = isOwnedBySignedInUser(record);

    auto package = ZERI_qvdFilePackage::packageForID(downloaded->qvdID());
    if (package && !isLocalCopyOfRecord(*package, downloaded->stringID(), record))
        package.reset(); // another document of the same id, never written over
    if (!package && !downloaded->stringID().isEmpty())
        package = ZERI_qvdFilePackage::packageForStringID(downloaded->stringID());

    std::shared_ptr<ZERI_TessarineModel> result;
    if (!package) {
        giveFreshIDWhenTaken(*downloaded,
                             publishedModel && publishedModel != downloaded ? publishedModel.get() : nullptr);
        package = ZERI_qvdFilePackage::packageForNewModel(downloaded, error);
        if (!package)
            return nullptr;
        // Somebody else's document is kept for viewing, not listed among the user's own.
        if (!owned)
            package->metaData().setPackageType(0);
        result = downloaded;
    } else {
        // The local copy keeps the id it was given when first stored: a document found by its string id may still
        // carry a foreign id in its JSON (another document's), which must not reach the package or the windows.
        if (downloaded->qvdID() != package->packageID()) {
            downloaded->setInternalID(package->packageID());
            if (publishedModel && publishedModel != downloaded)
                publishedModel->setInternalID(package->packageID());
        }
        Error loadError;
        const bool hasDraft = package->loadModel(&loadError);
        const auto local = hasDraft ? package->model() : nullptr;
        const QDateTime serverUpdated =
            QDateTime::fromString(record.value(QStringLiteral("updated")).toString(), Qt::ISODate);
        const auto localUpdated = local ? local->updatedDate() : std::nullopt;
        // "Not older": the local draft was edited at or after the server copy's last change (an unknown date
        // on either side keeps the local draft, which is never thrown away unasked).
        const bool localNotOlder =
            local && (!serverUpdated.isValid() || !localUpdated || *localUpdated >= serverUpdated);
        if (local && (m_options & ReuseOwnLocalPackage) && owned && localNotOlder) {
            result = local;
        } else if (local && package->hasSomethingToSaveToCloud()) {
            // Edits not yet on the service are never replaced by the server copy.
            qCInfo(lcService) << "keeping the local draft of" << downloaded->stringID() << "with unsaved changes";
            result = local;
        } else {
            // A local draft that cannot be written back stays loaded: its edits are never dropped for the copy.
            if (local && !package->unloadModel(error))
                return nullptr;
            downloaded->setFilePackage(package);
            if (!ZERI_qvdFilePackage::saveModelToFile(downloaded, error))
                return nullptr;
            result = downloaded;
        }
    }
    if (result == downloaded) {
        // The draft now on disk is the service's copy: nothing of it is waiting to be saved there.
        package->noteDraftSavedToServer(serverUpdatedTime(record));
    }
    updateMetadata(*package, record, *downloaded);
    if (publishedModel) {
        if (!package->savePublishedModelFromJSON(publishedModel->jsonData(), error))
            return nullptr;
        // A viewer of the published copy plays the stored copy (its files come from the published folder).
        if ((m_options & PublishedCopyOnly) && package->loadPublishedModel(error))
            result = package->publishedModel();
    }
    return result;
}

void QVROpenRequest::fetchLinkedDocuments(const std::shared_ptr<ZERI_TessarineModel>& model)
{
    const std::weak_ptr<QVROpenRequest> weak = weak_from_this();
    for (const QString& stringID : linkedStringIDs(*model)) {
        if (ZERI_qvdFilePackage::packageForStringID(stringID))
            continue;
        ++m_pendingSteps;
        m_linkRequesters.append(ZERI_APIBinding::getTessarineByStringId(
            stringID, Tessutils::corvikAuthToken(), QString(), [weak, stringID](const QString& text, const QString&) {
                const auto self = weak.lock();
                if (!self || self->m_finished)
                    return;
                const ServiceReply reply = ServiceReply::parse(text);
                const QJsonObject record = reply.json.value(QStringLiteral("tessarine")).toObject();
                const QJsonObject published = documentObject(record.value(QStringLiteral("document_json_published")));
                Error error;
                auto linked = published.isEmpty() ? nullptr : ZERI_TessarineModel::initWithDict(published, &error);
                if (linked) {
                    linked->setStringID(stringID);
                    UntrustedAddresses::refuseNonWebAssetAddresses(*linked, stringID);
                    auto package = ZERI_qvdFilePackage::packageForID(linked->qvdID());
                    if (package && !isLocalCopyOfRecord(*package, stringID, record))
                        package.reset();
                    if (!package) {
                        giveFreshIDWhenTaken(*linked, nullptr);
                        package = ZERI_qvdFilePackage::packageForNewModel(linked, &error);
                    }
                    if (package) {
                        package->metaData().setPackageType(package->metaData().packageType() &
                                                           ~ZERI_qvdFilePackage::OwnDocument);
                        updateMetadata(*package, record, *linked);
                        if (!package->savePublishedModelFromJSON(linked->jsonData(), &error))
                            package.reset();
                    }
                    if (!package)
                        linked.reset();
                }
                if (!linked)
                    qCWarning(lcService).noquote()
                        << UFM::NESTCEPTION_WITH_ID_NOT_FOUND() << stringID << reply.asError().message << error.message;
                if (--self->m_pendingSteps == 0)
                    self->handOver();
            }));
    }
}

int QVROpenRequest::precacheOptions() const
{
    using Helper = QVB_TessarinePrecacheHelper;
    // A viewer plays every screen, so it wants every picture and medium; an editor fetches the first screen and
    // lets the rest arrive on demand, unless asked for everything (with the sources that cropping needs).
    if (m_options & (ViewerWindow | TabletPreviewWindow))
        return Helper::AllImages | Helper::MediaAndGalleries;
    if (m_options & (PrecacheAllImagesAndMedia | DraftWithFullPrecache))
        return Helper::AllImagesAndSources | Helper::MediaAndGalleries;
    return Helper::FirstScreenImages;
}

void QVROpenRequest::precacheAndHandOver()
{
    m_precache = std::make_unique<QVBPrecacheManager>();
    auto forwarder = std::make_unique<PrecacheForwarder>();
    forwarder->onProgress = [this](int done, int total) {
        if (total <= 0 || m_finished)
            return;
        const double progress = std::min(double(done) / double(total), 1.0);
        qCDebug(lcService, "Progress on precaching: %f", progress);
        if (m_panel)
            m_panel->updateProgress(progress);
    };
    forwarder->onEnd = [this] {
        if (m_finished)
            return;
        if (--m_pendingSteps == 0)
            handOver();
    };
    m_precache->setDelegate(forwarder.get());
    m_precacheDelegate = std::move(forwarder);

    bool allOnDisk = false;
    QVB_TessarinePrecacheHelper::preloadAssetsFromModel(m_model, precacheOptions(), *m_precache,
                                                        [&allOnDisk] { allOnDisk = true; });
    if (allOnDisk) {
        if (--m_pendingSteps == 0)
            handOver();
        return;
    }
    const auto ui = OpenRequestUi::current();
    m_panel = ui ? ui->makeDownloadPanel() : nullptr;
    if (m_panel) {
        m_panel->setInformation(m_model);
        const std::weak_ptr<QVROpenRequest> weak = weak_from_this();
        m_panel->setCloseBlock([weak] {
            if (const auto self = weak.lock())
                self->cancel();
        });
        // The panel takes the place of the plain loading view.
        dropLoadingView();
        m_window->openRequesterWantsToDisplayLoadingView(m_panel->view());
    }
}

void QVROpenRequest::handOver()
{
    if (m_finished)
        return;
    dropPanel();
    dropLoadingView();
    if (m_windowIsQObject && !m_windowGuard) {
        // The window was closed while the document loaded.
        m_window = nullptr;
        cancel();
        return;
    }
    m_windowPrepared = false; // it has its document now
    m_window->openRequesterHasFinishedLoadingModel(m_model);
    finish(Error());
}

void QVROpenRequest::dropPanel()
{
    if (!m_panel)
        return;
    m_panel->removeView();
    // The panel's own close button may be what ends the request: it is destroyed once that handler returned.
    QTimer::singleShot(0, [panel = std::shared_ptr<ViewerDownloadPanel>(std::move(m_panel))] {});
}

void QVROpenRequest::dropLoadingView()
{
    const QPointer<QObject> view = std::exchange(m_loadingView, nullptr);
    if (!view)
        return;
    // Hidden at once, so nothing covers the window from here on; its own Cancel button may be what ends the
    // request, so it is deleted once that handler returned.
    if (view->metaObject()->indexOfMethod("hide()") >= 0)
        QMetaObject::invokeMethod(view, "hide", Qt::DirectConnection);
    view->deleteLater();
}

void QVROpenRequest::releaseWindow()
{
    if (m_window && m_windowPrepared && (!m_windowIsQObject || m_windowGuard)) {
        if (const auto ui = OpenRequestUi::current())
            ui->closeWindowBeingPrepared(m_window);
    }
    m_window = nullptr;
    m_windowPrepared = false;
}

void QVROpenRequest::fail(int code, const QString& message)
{
    finish(Error(QString::fromLatin1(kErrorDomain), code, message));
}

void QVROpenRequest::finish(const Error& error)
{
    if (m_finished)
        return;
    m_finished = true;
    QObject::disconnect(m_windowWatch);
    if (m_requester) {
        m_requester->cancel();
        m_requester.reset();
    }
    for (const auto& requester : std::as_const(m_linkRequesters))
        requester->cancel();
    m_linkRequesters.clear();
    if (m_precache) {
        m_precache->setDelegate(nullptr);
        m_precache->resetEverything();
    }
    dropPanel();
    dropLoadingView();
    // A password prompt still asking belongs to this open: it goes with it.
    if (const QString prompt = std::exchange(m_promptStringID, QString()); !prompt.isEmpty()) {
        if (const auto ui = OpenRequestUi::current())
            ui->closePasswordPrompt(prompt);
    }
    if (!error.isNull())
        releaseWindow();
    // The request may go away with its last holder once the block ran.
    const auto keepAlive = std::move(m_keepAlive);
    if (auto done = std::move(m_done))
        done(error);
}
