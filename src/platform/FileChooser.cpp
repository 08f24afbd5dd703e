#include "platform/FileChooser.h"

#include <atomic>

#include "platform/MainThread.h"
#include "platform/PlatformLogging.h"

namespace {

class LoggingFileChooser : public FileChooser {
public:
    FileChooserResponse runModal(const FileChooserRequest& request, QWidget*) override
    {
        log(request);
        return {};
    }

    void show(const FileChooserRequest& request, QWidget*,
              std::function<void(const FileChooserResponse&)> done) override
    {
        log(request);
        if (done)
            MainThread::run([done] { done({}); }, false);
    }

private:
    static void log(const FileChooserRequest& request)
    {
        qCWarning(lcPlatform) << "no file chooser registered; answering cancelled:" << request.title;
    }
};

std::atomic<FileChooser*> g_shared = nullptr;

} // namespace

FileChooser::~FileChooser()
{
    FileChooser* self = this;
    g_shared.compare_exchange_strong(self, nullptr);
}

FileChooser& FileChooser::shared()
{
    static LoggingFileChooser fallback;
    FileChooser* chooser = g_shared.load();
    return chooser ? *chooser : fallback;
}

void FileChooser::setShared(FileChooser* chooser)
{
    g_shared.store(chooser);
}

bool FileChooser::isRegistered()
{
    return g_shared.load() != nullptr;
}

FileChooserResponse RecordingFileChooser::next(const FileChooserRequest& request)
{
    requests.push_back(request);
    FileChooserResponse response = defaultResponse;
    if (!m_responses.empty()) {
        response = std::move(m_responses.front());
        m_responses.pop_front();
    }
    return response;
}

FileChooserResponse RecordingFileChooser::runModal(const FileChooserRequest& request, QWidget*)
{
    return next(request);
}

void RecordingFileChooser::show(const FileChooserRequest& request, QWidget*,
                                std::function<void(const FileChooserResponse&)> done)
{
    const FileChooserResponse response = next(request);
    if (done)
        MainThread::run([done, response] { done(response); }, false);
}
