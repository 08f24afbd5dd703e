#include "storage/ZERI_ContentURLDownloaderDataProcessor.h"

#include "platform/MainThread.h"
#include "storage/QVRStreamingVideoDataItem.h"
#include "storage/ZERI_WebDownloader.h"

struct ZERI_ContentURLDownloaderDataProcessor::Job {
    std::shared_ptr<QVRDataProcessorDataItem> item;
    std::function<void(const Error&)> done;
    std::vector<Fetch> fetches;
    int pending = 0;
    Error error;
};

namespace {

bool isRemote(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

void ZERI_ContentURLDownloaderDataProcessor::processDataItem(const std::shared_ptr<QVRDataProcessorDataItem>& item,
                                                             std::function<void(const Error& error)> done)
{
    auto job = std::make_shared<Job>();
    job->item = item;
    job->done = std::move(done);
    const QString folder = QVRDataItem::externalDataItemFilesFolder();
    const auto streaming = std::dynamic_pointer_cast<QVRStreamingVideoDataItem>(item);
    // A streaming video's content stays on its site; only its thumbnail is fetched.
    if (item && !streaming && isRemote(item->contentUrl()))
        job->fetches.push_back({ZERI_WebDownloader::downloaderForUrl(item->contentUrl(), folder), {}, false});
    if (streaming && isRemote(streaming->thumbnailUrl()))
        job->fetches.push_back(
            {ZERI_WebDownloader::downloaderForUrl(streaming->thumbnailUrl(), folder, ZERI_WebDownloader::Kind::Picture),
             {},
             true});

    const auto finishOne = [this, weakJob = std::weak_ptr<Job>(job)](size_t index) {
        auto current = weakJob.lock();
        if (!current)
            return;
        Fetch& fetch = current->fetches[index];
        if (!fetch.downloader)
            return;
        const int status = fetch.downloader->downloadStatus();
        if (status != ZERI_WebDownloader::OnDisk && status != ZERI_WebDownloader::Failed)
            return;
        if (status == ZERI_WebDownloader::Failed && current->error.isNull())
            current->error = fetch.downloader->downloadError();
        if (status == ZERI_WebDownloader::OnDisk) {
            const QUrl local = QUrl::fromLocalFile(fetch.downloader->filepath());
            if (fetch.thumbnail)
                std::static_pointer_cast<QVRStreamingVideoDataItem>(current->item)->setThumbnailUrl(local);
            else
                current->item->setContentUrl(local);
        }
        fetch.observation.reset();
        fetch.downloader.reset();
        if (--current->pending == 0) {
            m_jobs.erase(std::remove(m_jobs.begin(), m_jobs.end(), current), m_jobs.end());
            if (current->done)
                current->done(current->error);
        }
    };

    job->pending = int(job->fetches.size());
    if (job->pending == 0) {
        MainThread::run(
            [done = job->done] {
                if (done)
                    done(Error());
            },
            false);
        return;
    }
    m_jobs.push_back(job);
    for (size_t i = 0; i < job->fetches.size(); ++i) {
        Fetch& fetch = job->fetches[i];
        fetch.observation = fetch.downloader->updateNotifier().addObservationBlock(
            [finishOne, i](const void*, const QSet<QString>&) { finishOne(i); }, QStringLiteral("downloadStatus"));
        if (fetch.downloader->fileExists()) {
            // Already fetched earlier: report on the next turn, as a download would.
            MainThread::run([finishOne, i] { finishOne(i); }, false);
        } else {
            fetch.downloader->downloadAndCache();
        }
    }
}

void ZERI_ContentURLDownloaderDataProcessor::cancelAll()
{
    const std::vector<std::shared_ptr<Job>> jobs = std::move(m_jobs);
    m_jobs.clear();
    for (const auto& job : jobs) {
        for (Fetch& fetch : job->fetches) {
            fetch.observation.reset();
            if (fetch.downloader)
                fetch.downloader->cancel(); // a no-op unless it is still downloading
            fetch.downloader.reset();
        }
    }
}
