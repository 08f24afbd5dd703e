#include "storage/PictureFetch.h"

#include <algorithm>

#include <QTimer>

#include "storage/StorageLogging.h"
#include "storage/UntrustedAddresses.h"
#include "storage/ZERI_WebDownloader.h"
#include "tessarine_data_model/ObjectPicture.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObject.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

struct PictureFetch::Transfer {
    Places places;
    size_t next = 0;
    std::shared_ptr<ZERI_WebDownloader> downloader;
    ObjectUpdateNotifierObserver observation;
    bool startedHere = false;
};

PictureFetch::Places PictureFetch::placesOf(const std::vector<std::shared_ptr<ZERI_ContentAsset>>& assets)
{
    Places places;
    for (const auto& asset : assets) {
        if (!asset)
            continue;
        const ZERI_ContentAsset::Location where = asset->location();
        if (where.onDisk)
            return {};
        if (UntrustedAddresses::isWebAddress(where.url) && !where.folder.isEmpty())
            places.push_back(where);
    }
    return places;
}

std::vector<PictureFetch::Places> PictureFetch::missingPicturesOf(const ZERI_FlowScreenModel& screen)
{
    std::vector<Places> wanted;
    for (const auto& proxy : screen.mixedMediaObjects()) {
        const auto object = proxy ? proxy->object() : nullptr;
        if (!object)
            continue;
        if (Places places = placesOf(ObjectPicture::missing(*object)); !places.empty())
            wanted.push_back(std::move(places));
    }
    return wanted;
}

std::shared_ptr<PictureFetch> PictureFetch::start(std::vector<Places> wanted, std::function<void(double)> onProgress,
                                                  std::function<void(const Result&)> onDone)
{
    std::shared_ptr<PictureFetch> fetch(new PictureFetch);
    wanted.erase(std::remove_if(wanted.begin(), wanted.end(), [](const Places& places) { return places.empty(); }),
                 wanted.end());
    std::reverse(wanted.begin(), wanted.end());
    fetch->m_total = wanted.size();
    fetch->m_waiting = std::move(wanted);
    fetch->m_onProgress = std::move(onProgress);
    fetch->m_onDone = std::move(onDone);
    // The end is reported on a later turn even when nothing is wanted, as for every other end.
    std::weak_ptr<PictureFetch> weak = fetch;
    QTimer::singleShot(0, [weak] {
        if (const auto self = weak.lock())
            self->startMore();
    });
    return fetch;
}

PictureFetch::~PictureFetch()
{
    for (const auto& transfer : m_running) {
        transfer->observation.reset();
        if (transfer->startedHere && transfer->downloader)
            transfer->downloader->cancel();
    }
}

void PictureFetch::startMore()
{
    if (m_ended)
        return;
    while (m_running.size() < size_t(kTransfersAtOnce) && !m_waiting.empty()) {
        auto transfer = std::make_shared<Transfer>();
        transfer->places = std::move(m_waiting.back());
        m_waiting.pop_back();
        m_running.push_back(transfer);
        tryNextPlace(transfer);
        if (m_ended)
            return;
    }
    if (m_running.empty() && m_waiting.empty())
        end(false);
}

void PictureFetch::tryNextPlace(const std::shared_ptr<Transfer>& transfer)
{
    transfer->observation.reset();
    transfer->downloader.reset();
    if (transfer->next >= transfer->places.size()) {
        finishTransfer(transfer, false);
        return;
    }
    const ZERI_ContentAsset::Location& place = transfer->places[transfer->next++];
    transfer->downloader = ZERI_WebDownloader::downloaderForUrl(place.url, place.folder);
    if (!transfer->downloader) {
        tryNextPlace(transfer);
        return;
    }
    if (transfer->downloader->fileExists()) {
        finishTransfer(transfer, true);
        return;
    }
    std::weak_ptr<PictureFetch> weakSelf = weak_from_this();
    std::weak_ptr<Transfer> weakTransfer = transfer;
    transfer->observation = transfer->downloader->updateNotifier().addObservationBlock(
        [weakSelf, weakTransfer](const void*, const QSet<QString>&) {
            const auto self = weakSelf.lock();
            const auto running = weakTransfer.lock();
            if (self && running)
                self->statusChanged(running);
        },
        QStringList{QStringLiteral("downloadStatus"), QStringLiteral("progress")});
    transfer->startedHere = transfer->downloader->downloadStatus() != ZERI_WebDownloader::Downloading;
    transfer->downloader->downloadAndCache();
    statusChanged(transfer);
}

void PictureFetch::statusChanged(const std::shared_ptr<Transfer>& transfer)
{
    if (m_ended || !transfer->downloader)
        return;
    switch (transfer->downloader->downloadStatus()) {
    case ZERI_WebDownloader::OnDisk:
        finishTransfer(transfer, true);
        break;
    case ZERI_WebDownloader::Failed:
        qCInfo(lcStorage) << "a picture did not come from" << transfer->downloader->url()
                          << transfer->downloader->downloadError().message;
        tryNextPlace(transfer);
        break;
    default:
        reportProgress();
        break;
    }
}

void PictureFetch::finishTransfer(const std::shared_ptr<Transfer>& transfer, bool arrived)
{
    transfer->observation.reset();
    transfer->downloader.reset();
    m_running.erase(std::remove(m_running.begin(), m_running.end(), transfer), m_running.end());
    ++(arrived ? m_result.arrived : m_result.failed);
    reportProgress();
    // The next transfers start on a turn of their own: this may run inside a downloader's report.
    std::weak_ptr<PictureFetch> weak = weak_from_this();
    QTimer::singleShot(0, [weak] {
        if (const auto self = weak.lock())
            self->startMore();
    });
}

void PictureFetch::reportProgress()
{
    if (!m_onProgress || m_total == 0 || m_ended)
        return;
    double done = m_result.arrived + m_result.failed;
    for (const auto& transfer : m_running) {
        if (transfer->downloader)
            done += std::clamp(transfer->downloader->progress(), 0.0, 1.0);
    }
    m_onProgress(std::clamp(done / double(m_total), 0.0, 1.0));
}

void PictureFetch::cancel()
{
    if (m_ended)
        return;
    m_result.failed += int(m_running.size() + m_waiting.size());
    for (const auto& transfer : m_running) {
        transfer->observation.reset();
        if (transfer->startedHere && transfer->downloader)
            transfer->downloader->cancel();
        transfer->downloader.reset();
    }
    m_running.clear();
    m_waiting.clear();
    end(true);
}

void PictureFetch::end(bool cancelled)
{
    if (m_ended)
        return;
    m_ended = true;
    m_result.cancelled = cancelled;
    // Kept alive through its own report: the holder may drop it there.
    const auto keep = shared_from_this();
    if (auto onDone = std::move(m_onDone))
        onDone(m_result);
}
