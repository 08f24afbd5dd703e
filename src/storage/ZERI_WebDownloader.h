#pragma once

#include <array>
#include <memory>

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "platform/Error.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class QFile;
class SafeFolder;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Fetches one URL into one folder and keeps track of whether the file is there. There is at most one live
// downloader per (URL, folder) pair, so views, precaching and asset code that ask for the same file share one
// transfer; the registry does not keep a downloader alive, its holders do (and a running download holds itself
// until it ends).
//
// File name: a URL that already points at a file inside the folder keeps that file (a local asset's downloader
// is simply its file); any other URL is cached as the hex SHA-1 of its full text plus the URL's extension, so two
// remote files that are both called "image.png" never share a cache file. The rule is the content asset's
// (ZERI_ContentAsset::fileForUrlInFolder), by which the drawing of documents finds the files again.
//
// Landing: bytes go to a hidden temporary file beside the target, which is renamed over the target only when the
// transfer completed; a failed or cancelled download leaves nothing at filepath(). The temporary file is locked
// (flock) while its download runs, so a piece a crashed process left behind is told apart from a running download
// (see isStalePartFile).
//
// Bounds, whatever the status: a download longer than maximumDownloadSize() (2 GiB: what the service accepts for
// one file) fails with TooLarge as soon as its length is announced or reached; one on which no byte arrives for
// idleTimeoutMs(), or fewer than minimumBytesPerWindow() arrive in any rateWindowMs() (a trickle), fails with
// TimedOut; an answer with an HTTP status of 400 or more fails with HTTPError as soon as its header arrives, its
// body read no further than a short error text. The network layer holds at most kReadBufferSize bytes not yet
// read. Every early end aborts the reply, so its connection closes at once, and the temporary file is removed.
//
// Pictures shown beside documents (My Documents' tile previews, the download panel's avatar and preview, the
// guides' previews, the template chooser's icons) are fetched as Kind::Picture: under a cap sized for a picture
// (kMaximumPictureSize) and at most kMaximumPicturesAtOnce at once, the others waiting their turn in order (their
// state is "downloading" meanwhile), so a list of many documents never opens a connection for each.
//
// Redirects are followed here, not by the network layer, so that every hop is a request of its own with all the
// bounds above (the size counted over the whole download, the rate window going on): at most kMaximumRedirects,
// each to an address mayRedirect() allows; any other fails with BadURL before the next request. The body of a
// redirect answer is never read. A folder inside the packages folder is prepared by PackageFileGuard first (a download
// into a folder that leads out of its package fails with FileWriteError before any request).
//
// An address whose download failed lately is asked again only after a growing pause, and not at all once its tries
// are used up (FailedAddresses): downloadAndCache() then waits (the state is "downloading") or fails at once with
// the remembered error, whoever asks.
//
// Threads: main thread only. State changes happen, and are reported through updateNotifier() under the keys
// "downloadStatus" and "progress", on the main thread.
class ZERI_WebDownloader : public std::enable_shared_from_this<ZERI_WebDownloader> {
public:
    enum DownloadStatus { Idle = 1, Downloading = 2, OnDisk = 3, Failed = 4 };

    static constexpr const char* errorDomain = "ZERI_WebDownloaderError";
    // 1: the server answered with an HTTP status of 400 or more ("httpStatus" in userInfo); 2: the network or the
    // source failed; 3: the file could not be written; 4: the URL cannot be fetched (empty, unsupported scheme, a
    // redirect refused or one too many).
    // 5: the file is larger than the size cap; 6: nothing arrived for the idle timeout, or only a trickle.
    enum ErrorCode { HTTPError = 1, NetworkError = 2, FileWriteError = 3, BadURL = 4, TooLarge = 5, TimedOut = 6 };

    static constexpr qint64 kMaximumDownloadSize = qint64(2) * 1024 * 1024 * 1024; // 2 GiB
    static constexpr int kIdleTimeoutMs = 60 * 1000;
    // What the network layer may hold of a reply before the downloader reads it, and how much of an error reply's
    // body is read (for the log) before its connection is closed.
    static constexpr qint64 kReadBufferSize = 1024 * 1024;
    static constexpr qint64 kErrorTextBytes = 512;
    // A trickle ends the download: fewer than this many bytes in a window of this length.
    static constexpr int kRateWindowMs = 30 * 1000;
    static constexpr qint64 kMinimumBytesPerWindow = 16 * 1024;
    static constexpr int kMaximumRedirects = 8;
    static constexpr qint64 kMaximumPictureSize = 64 * 1024 * 1024;
    static constexpr int kMaximumPicturesAtOnce = 4;
    enum class Kind { Media, Picture };
    // The bounds in force: the constants above unless a test set others (0 restores them).
    static qint64 maximumDownloadSize();
    static int idleTimeoutMs();
    static int rateWindowMs();
    static qint64 minimumBytesPerWindow();
    static void setBoundsForTesting(qint64 maximumSize, int idleTimeoutMs);
    static void setRateBoundForTesting(int windowMs, qint64 minimumBytes);
    static void setPictureBoundsForTesting(qint64 maximumSize, int atOnce);
    // Whether a download that began at `first` may follow a redirect from `from` to `to`: only to http or https
    // with a host, never from https to http; to another host or port (an upgrade from http to https on the same
    // host keeps the port) only when neither the first address nor the target is on a local host (a loopback,
    // private or link-local address, or a name of the machine itself), so a web address cannot lead the
    // application to services of the machine or its network.
    static bool mayRedirect(const QUrl& first, const QUrl& from, const QUrl& to);
    // Whether `path` is the hidden temporary file of a download ("." + name + "." + anything + ".part") that no
    // download of any process is writing any more: package cleaning removes these.
    static bool isStalePartFile(const QString& path);
    // Makes the hidden piece named `part` (as above) in `folder`, new for writing, locked before it carries that
    // name, so that a cleaning of its folder meanwhile never takes it for a stale piece. The descriptor holds the
    // lock until it is closed; -1 when the piece cannot be made (errno says why). Any thread.
    static int createLockedPiece(const SafeFolder& folder, const QString& part);

    // The downloader of `url` into `directory`. A picture asked for while no transfer runs makes the downloader a
    // picture's (its cap and its turn), whoever asked first.
    static std::shared_ptr<ZERI_WebDownloader> downloaderForUrl(const QUrl& url, const QString& directory,
                                                                Kind kind = Kind::Media);

    ~ZERI_WebDownloader();
    ZERI_WebDownloader(const ZERI_WebDownloader&) = delete;
    ZERI_WebDownloader& operator=(const ZERI_WebDownloader&) = delete;

    QUrl url() const { return m_url; }
    QString directory() const { return m_directory; }
    QString filepath() const { return m_filepath; }
    QString filename() const;

    DownloadStatus downloadStatus() const { return m_status; }
    // Starts the download unless one is running. A file already in place is not fetched again.
    void downloadAndCache();
    // Stops a running download; the state goes back to idle and no file is left. A download whose last bytes
    // have arrived and that is being written to disk is not stopped.
    void cancel();
    // True when the file is at filepath(); then the state becomes "on disk" without a report.
    bool fileExists();
    // Bytes of the file on disk; 0 while it is not there.
    qint64 fileSize() const;
    // Seconds the last completed or failed transfer took.
    double downloadTime() const { return m_downloadTime; }
    Error downloadError() const { return m_error; }
    // Whether a download that failed with `error` may succeed when tried again: a network failure, a time-out, a
    // server that is busy or failing for now (HTTP 408, 429, 5xx). A refused size or address, a file that cannot
    // be written, or a missing file (other 4xx) fails again.
    static bool isPassingFailure(const Error& error);
    // 0 … 1 while downloading (0 while the size is unknown), 1 once on disk.
    double progress() const { return m_progress; }

    ObjectUpdateNotifier& updateNotifier() { return m_notifier; }

    // The cache file name rule (see the class comment): ZERI_ContentAsset::fileForUrlInFolder.
    static QString cacheFilePathForUrl(const QUrl& url, const QString& directory);
    // The manager every downloader uses, made on first use; tests may replace it (nullptr restores it).
    static QNetworkAccessManager* networkAccessManager();
    static void setNetworkAccessManagerForTesting(QNetworkAccessManager* manager);
    // Number of requests started since the process began, for tests that check sharing.
    static int requestsStartedForTesting();

    // At the application's end (and in tests): transfers still running are given up, their connections closed, so
    // no downloader keeps itself alive.
    static void abandonRunningDownloads();

private:
    void abandonAtExit();
    ZERI_WebDownloader(const QUrl& url, const QString& directory);
    void setStatus(DownloadStatus status);
    // Sends the request of one hop (the first address or a redirect's) with every bound.
    void request(const QUrl& url);
    // An answer that redirects: the next hop is requested, or the download fails when the address is refused.
    void followRedirect(int httpStatus);
    void checkRate();
    void setProgress(double progress);
    // Stops the transfer without hearing from it again: the reply is aborted (its connection closed), then let go.
    void abandonReply();
    // Ends the transfer as soon as its header tells it cannot give the file (an error status, an announced length
    // past the cap). True when the transfer has ended (or had already).
    bool endOnHeader();
    void failTooLarge();
    void onReadyRead();
    void onFinished();
    void didLand(bool landed);
    // Ends the download with `error`; a failure of a request sent is remembered (FailedAddresses). Logged as a
    // warning unless it only repeats a remembered failure.
    void fail(Error error, bool log = true);
    // Starts the transfer now, or once a failed address's pause is over, or fails at once when its tries are used
    // up (FailedAddresses).
    void askWhenAllowed();
    // The transfer: the folder, the hidden piece, the first request.
    void begin();
    // begin() now, or for a picture once fewer than the pictures' bound run; endTurn() lets the next one begin.
    void beginInTurn();
    void endTurn();
    static void startWaitingPictures();
    qint64 sizeCap() const;
    void discardTemporaryFile();

    const QUrl m_url;
    const QString m_directory;
    const QString m_filepath;
    DownloadStatus m_status = Idle;
    bool m_picture = false;
    bool m_holdsPictureTurn = false;
    bool m_waitingForTurn = false;
    double m_progress = 0;
    double m_downloadTime = 0;
    Error m_error;
    ObjectUpdateNotifier m_notifier{static_cast<const void*>(this)};
    QPointer<QNetworkReply> m_reply;
    // The address of the hop under way, and how many redirects led there.
    QUrl m_hopUrl;
    int m_redirects = 0;
    qint64 m_hopBytesRead = 0;
    std::unique_ptr<QTimer> m_rateTimer;
    // Runs while a failed address's pause goes on before the request.
    std::unique_ptr<QTimer> m_delay;
    // A request of this attempt was sent: its end is the address's success or failure.
    bool m_requested = false;
    qint64 m_sizeAtWindowStart = 0;
    std::array<QMetaObject::Connection, 3> m_replyConnections;
    // The folder the file lands in, held open while the download runs, and the hidden piece's name in it.
    std::shared_ptr<SafeFolder> m_folder;
    QString m_partName;
    std::unique_ptr<QFile> m_partFile;
    // The completed temporary file, kept open (and so locked) while a worker makes it durable and renames it.
    std::unique_ptr<QFile> m_landingFile;
    QElapsedTimer m_timer;
    bool m_landing = false;
    // Holds the downloader while its transfer runs, so a dropped holder does not cut the download short.
    std::shared_ptr<ZERI_WebDownloader> m_selfWhileRunning;
};
