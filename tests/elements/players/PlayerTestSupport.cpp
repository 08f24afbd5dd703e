#include "PlayerTestSupport.h"

#include <set>

#include <QDir>
#include <QFile>

#include "MediaTestClips.h"
#include "elements/players/QVR_AVPlayerVideoPlayingView.h"
#include "elements/players/VideoPlayerLayer.h"

namespace PlayerClips {

namespace {

QTemporaryDir& clipFolder()
{
    static QTemporaryDir dir;
    return dir;
}

QString madeOnce(const QString& name, const std::function<bool(const QString&)>& make)
{
    static std::map<QString, QString> made;
    const auto found = made.find(name);
    if (found != made.end())
        return found->second;
    const QString path = clipFolder().filePath(name);
    const QString result = MediaTestClips::toolsAvailable() && make(path) ? path : QString();
    made[name] = result;
    return result;
}

} // namespace

QString clip320x240WithTone()
{
    return madeOnce(QStringLiteral("tone320.mp4"),
                    [](const QString& path) { return MediaTestClips::makeVideo(path, 320, 240, 2, 44100); });
}

QString clip640x360()
{
    return madeOnce(QStringLiteral("wide640.mp4"),
                    [](const QString& path) { return MediaTestClips::makeVideo(path, 640, 360, 2, 0); });
}

QString clip6Seconds()
{
    return madeOnce(QStringLiteral("six.mp4"),
                    [](const QString& path) { return MediaTestClips::makeVideo(path, 320, 240, 6, 44100); });
}

QString soundOnly()
{
    return madeOnce(QStringLiteral("tone.m4a"), [](const QString& path) {
        return MediaTestClips::make(
            path, {"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=2", "-c:a", "aac"});
    });
}

QString textFileNamedMp4()
{
    return madeOnce(QStringLiteral("x.mp4"), [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("This is a note, not a video.\n") > 0;
    });
}

QString subtitlesOnly()
{
    return madeOnce(QStringLiteral("words.mkv"), [](const QString& path) {
        const QString srt = clipFolder().filePath(QStringLiteral("words.srt"));
        QFile file(srt);
        if (!file.open(QIODevice::WriteOnly) || file.write("1\n00:00:00,000 --> 00:00:01,500\nHello\n\n") <= 0)
            return false;
        file.close();
        return MediaTestClips::make(path, {"-i", srt, "-c:s", "srt"});
    });
}

QString folder()
{
    return madeOnce(QStringLiteral("a-folder.mp4"), [](const QString& path) { return QDir().mkpath(path); });
}

} // namespace PlayerClips

void PlayerReports::attach(QVR_AVPlayerVideoPlayingView* view)
{
    view->setOnVideoReady([this](QVR_AVPlayerVideoPlayingView* readyView) {
        ++this->ready;
        if (readyView->isShowingPicture() && !readyView->playerLayer()->hasFrame())
            pictureShownWithoutFrame = true;
    });
    view->setOnError([this](const std::optional<Error>& error) { errors.push_back(error); });
}

int distinctCentreColours(const QImage& image)
{
    std::set<QRgb> colours;
    const QPoint centre = image.rect().center();
    for (int dy = -40; dy <= 40; dy += 8)
        for (int dx = -40; dx <= 40; dx += 8)
            colours.insert(image.pixel(centre + QPoint(dx, dy)));
    return int(colours.size());
}
