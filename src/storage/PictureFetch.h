#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "tessarine_data_model/ZERI_ContentAsset.h"

class ZERI_FlowScreenModel;
class ZERI_WebDownloader;

// Fetches the files drawings lack, each from the first of its places that gives it: an object's cropped picture,
// else its original (ObjectPicture::missing), a gallery's picture, a PDF. Several files come at once; progress and
// the end are reported on the main thread, the end exactly once (at once when nothing is wanted). Cancel stops the
// transfers this fetch started (one another holder started goes on) and ends it. Main thread only.
class PictureFetch : public std::enable_shared_from_this<PictureFetch> {
public:
    // One file wanted: where it may come from, in the order to try (ZERI_ContentAsset::location of each asset).
    using Places = std::vector<ZERI_ContentAsset::Location>;
    struct Result {
        int arrived = 0; // files that were fetched
        int failed = 0;  // files none of whose places gave them
        bool cancelled = false;
    };
    static constexpr int kTransfersAtOnce = 4;

    // The places of each of `assets` as one file (alternatives in order); files already on disk are left out.
    static Places placesOf(const std::vector<std::shared_ptr<ZERI_ContentAsset>>& assets);
    // Every picture the objects of `screen` lack (ObjectPicture::missing), one entry per object.
    static std::vector<Places> missingPicturesOf(const ZERI_FlowScreenModel& screen);

    static std::shared_ptr<PictureFetch> start(std::vector<Places> wanted, std::function<void(double)> onProgress,
                                               std::function<void(const Result&)> onDone);
    void cancel();
    bool isRunning() const { return !m_ended; }

    ~PictureFetch();
    PictureFetch(const PictureFetch&) = delete;
    PictureFetch& operator=(const PictureFetch&) = delete;

private:
    PictureFetch() = default;
    struct Transfer;
    void startMore();
    void tryNextPlace(const std::shared_ptr<Transfer>& transfer);
    void statusChanged(const std::shared_ptr<Transfer>& transfer);
    void finishTransfer(const std::shared_ptr<Transfer>& transfer, bool arrived);
    void reportProgress();
    void end(bool cancelled);

    std::vector<Places> m_waiting; // taken from the back
    std::vector<std::shared_ptr<Transfer>> m_running;
    size_t m_total = 0;
    Result m_result;
    bool m_ended = false;
    std::function<void(double)> m_onProgress;
    std::function<void(const Result&)> m_onDone;
};
