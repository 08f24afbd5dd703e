#include "platform/FileChooser.h"

#include <atomic>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/MainThread.h"
#include "platform/PlatformLogging.h"
#include "platform/UserDefaults.h"

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

QString FileChooser::startingFolder(const FileChooserRequest& request)
{
    if (!request.directory.isEmpty() && QFileInfo(request.directory).isDir())
        return QFileInfo(request.directory).absoluteFilePath();
    QStandardPaths::StandardLocation location = QStandardPaths::HomeLocation;
    switch (request.place) {
    case FileChooserRequest::Place::Home:
        break;
    case FileChooserRequest::Place::Documents:
        location = QStandardPaths::DocumentsLocation;
        break;
    case FileChooserRequest::Place::Pictures:
        location = QStandardPaths::PicturesLocation;
        break;
    case FileChooserRequest::Place::Movies:
        location = QStandardPaths::MoviesLocation;
        break;
    case FileChooserRequest::Place::Music:
        location = QStandardPaths::MusicLocation;
        break;
    }
    const QString place = QStandardPaths::writableLocation(location);
    if (!place.isEmpty() && QFileInfo(place).isDir())
        return place;
    return QDir::homePath();
}

QString FileChooser::rememberedFolder(const QString& key)
{
    const QString folder = UserDefaults::standard().string(key);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void FileChooser::rememberFolder(const QString& key, const FileChooserResponse& response)
{
    if (!response.accepted())
        return;
    UserDefaults::standard().setValue(key, QFileInfo(response.paths.first()).absolutePath());
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
