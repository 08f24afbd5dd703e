#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <variant>

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "platform/Error.h"
#include "service/QVBPrecacheManager.h"

class BlockRequester;
class QVROpenRequest;
class ViewerDownloadPanel;
class ZERI_TessarineModel;
class ZERI_qvdFilePackage;

// A window that receives the document an open request loads.
class QVROpenRequestDelegate {
public:
    virtual ~QVROpenRequestDelegate() = default;
    // Show `view` (a loading view or the download panel's view) while the document is fetched.
    virtual void openRequesterWantsToDisplayLoadingView(QObject* view) = 0;
    virtual void openRequesterHasFinishedLoadingModel(const std::shared_ptr<ZERI_TessarineModel>& model) = 0;
};

// What an open request opens: nothing (a new document: the template chooser), a string id or share address,
// a local package, or a document already in memory.
struct NewDocumentCue {};
using OpenCue =
    std::variant<NewDocumentCue, QString, std::shared_ptr<ZERI_qvdFilePackage>, std::shared_ptr<ZERI_TessarineModel>>;

// Every way of opening a document goes through one request: it finds or fetches the document, keeps it in a
// local package, fetches its files ahead of time, fetches the documents it embeds, and hands it to a creator,
// viewer or tablet-preview window (OpenRequestUi).
//
// Road of a string id: the window is made first (a viewer already showing the copy stored here is taken
// instead) and shows a loading view; the service is asked for the document ("tessarine.getByStringId", or
// "tessarine.getByAlias" for a short link); a document behind a password goes through the password prompt, one
// that needs an account through the sign-in wall (and is asked for again after a sign-in); the reply's document
// text becomes a document model (the draft only for its owner, or anybody with bit 1024), stored in the package
// of its id (made when there is none, and never written over while its draft holds changes not yet on the
// service); its files are fetched (with the download panel while some are missing); then the window gets it.
//
// Share addresses: "https://" + the service's web host + "/s/" + string id, optionally followed by "/" and the
// URL-friendly title and by a channel suffix ("/f", "/t", "/l", "/g", "/e"); the scheme may be left out. Or the
// short-link base ("http://" + shortLinkHost() + "/") followed by an alias. A bare string id is letters, digits,
// "-" and "_". Anything else ends the request with ERROR_DOWNLOADING_TESSARINE.
//
// Ending: the done block runs exactly once, on the main thread, with a null error or one of kErrorDomain
// (message from UFM); after it nothing else of the request runs. A window the request made and never gave a
// document is closed; a window that goes away first ends the request as cancelled. The loading view and the
// download panel the request showed are taken away, whichever way it ends, and their Cancel buttons cancel it.
// The request keeps itself alive until it ends.
class QVROpenRequest : public std::enable_shared_from_this<QVROpenRequest> {
public:
    enum Option {
        PublishedCopyOnly = 1,
        DownloadByStringID = 8,
        ReuseOwnLocalPackage = 16,
        PrecacheAllImagesAndMedia = 32,
        ViewerWindow = 128,
        TabletPreviewWindow = 512,
        DraftWithFullPrecache = 1024,
        SkipLinkedDocuments = 2048,
    };

    static constexpr const char* kErrorDomain = "com.tessarine.QVRTessarineOpenRequestError";
    enum ErrorCode {
        BadCue = 1,         // a malformed string id or address, or nothing to open
        NotFound = 2,       // the service does not know the document, or refused it
        BrokenDocument = 3, // the document's text could not be read
        NoInternet = 4,     // the service could not be reached
        NotPosted = 5,      // the document has no published copy to show
        SignInRequired = 6, // the service needs an account and the user did not sign in
        NoWindow = 7,       // no window could be had for the document
        Cancelled = 8,
        StorageFailed = 9, // the local package could not be written
    };
    using DoneBlock = std::function<void(const Error& error)>;

    static std::shared_ptr<QVROpenRequest> request();

    void setOpenCue(const OpenCue& cue) { m_cue = cue; }
    void setOptions(int options) { m_options = options; }
    int options() const { return m_options; }
    // Without a viewer or tablet bit, a delegate set here receives the document instead of a creator window;
    // with one of them the window is the delegate. Not retained.
    void setDelegate(QVROpenRequestDelegate* delegate) { m_delegate = delegate; }

    void open(DoneBlock done = {});
    void cancel();
    bool isFinished() const { return m_finished; }

    // What a string cue names: a string id or an alias, or neither (nullopt).
    struct ParsedCue {
        enum class Kind { StringID, Alias } kind;
        QString value;
    };
    static std::optional<ParsedCue> parseCue(const QString& text);

    // Host of the short-link service; kDefaultShortLinkHost unless set.
    static constexpr const char* kDefaultShortLinkHost = "tssr.in";
    static QString shortLinkHost();
    static void setShortLinkHost(const QString& host);
    // "http://" + host + "/".
    static QString shortLinkBase();

    ~QVROpenRequest();

private:
    QVROpenRequest() = default;

    // Called at the application's end on a request still running.
    void abandonAtExit();

    void openModel(const std::shared_ptr<ZERI_TessarineModel>& model);
    void openPackage(const std::shared_ptr<ZERI_qvdFilePackage>& package);
    void openString(const QString& text);
    void download();
    void onDownloadReply(const QString& reply);
    void openFromDocumentRecord(const QJsonObject& record);
    std::shared_ptr<ZERI_TessarineModel> storeDownloaded(const QJsonObject& record,
                                                         const std::shared_ptr<ZERI_TessarineModel>& downloaded,
                                                         const std::shared_ptr<ZERI_TessarineModel>& publishedModel,
                                                         Error* error);
    void fetchLinkedDocuments(const std::shared_ptr<ZERI_TessarineModel>& model);
    void precacheAndHandOver();
    void handOver();
    // `shownModel`: a copy of the document, not yet downloaded, that an open viewer may be showing.
    bool ensureWindow(const std::shared_ptr<ZERI_TessarineModel>& model,
                      const std::shared_ptr<ZERI_TessarineModel>& shownModel = nullptr);
    int precacheOptions() const;
    void finish(const Error& error);
    void fail(int code, const QString& message);
    void releaseWindow();
    void dropPanel();
    void dropLoadingView();

    OpenCue m_cue;
    int m_options = 0;
    QVROpenRequestDelegate* m_delegate = nullptr;
    DoneBlock m_done;
    bool m_started = false;
    bool m_finished = false;

    // The window that will receive the document, and whether this request made it (then it is closed when the
    // request fails).
    QVROpenRequestDelegate* m_window = nullptr;
    QPointer<QObject> m_windowGuard;
    bool m_windowIsQObject = false;
    bool m_windowPrepared = false;
    QMetaObject::Connection m_windowWatch;

    std::optional<ParsedCue> m_parsed;
    std::shared_ptr<BlockRequester> m_requester;
    QList<std::shared_ptr<BlockRequester>> m_linkRequesters;
    std::shared_ptr<ZERI_TessarineModel> m_model;
    std::unique_ptr<QVBPrecacheManager> m_precache;
    std::unique_ptr<ViewerDownloadPanel> m_panel;
    // The loading view shown while the document is fetched; it goes when the panel or the document replaces it,
    // or when the request ends.
    QPointer<QObject> m_loadingView;
    // The string id of the password prompt shown and not yet answered; empty when none.
    QString m_promptStringID;
    std::unique_ptr<QVBPrecacheManagerDelegate> m_precacheDelegate;
    int m_pendingSteps = 0; // precaching and linked documents still running
    std::shared_ptr<QVROpenRequest> m_keepAlive;
};
