#pragma once

#include <memory>
#include <vector>

#include "storage/QVRDataProcessorDataItem.h"
#include "tessarine_data_model/ObjectUpdateNotifier.h"

class ZERI_WebDownloader;

// Fetches a data item's remote content (and a streaming video's thumbnail) into the temporary folder's
// "externalDataItemFiles" and points the item at the local files, so the item can then be imported like a file.
// Local URLs are left as they are. Main thread only.
class ZERI_ContentURLDownloaderDataProcessor : public QVRDataProcessor {
public:
    void processDataItem(const std::shared_ptr<QVRDataProcessorDataItem>& item,
                         std::function<void(const Error& error)> done) override;
    // Stops this processor's fetches; their done blocks are not called and no partial file stays.
    void cancelAll();

private:
    struct Fetch {
        std::shared_ptr<ZERI_WebDownloader> downloader;
        ObjectUpdateNotifierObserver observation;
        bool thumbnail = false;
    };
    struct Job;
    std::vector<std::shared_ptr<Job>> m_jobs;
};
