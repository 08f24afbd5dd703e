#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include "platform/Error.h"

class QVR_AVPlayerVideoPlayingView;

// Clips made once per test process with the ffmpeg tool, in a folder that lives as long as the process.
namespace PlayerClips {

// Empty when the tools are missing or the clip could not be made.
QString clip320x240WithTone(); // 2 s, 440 Hz tone
QString clip640x360();         // 2 s, no sound
QString clip6Seconds();        // 6 s, 320 × 240, tone
QString soundOnly();           // 2 s AAC in .m4a
QString textFileNamedMp4();    // not media at all
QString subtitlesOnly();       // a Matroska file whose only stream is subtitles
QString folder();              // an existing folder

} // namespace PlayerClips

// What a player view reported through its two blocks.
struct PlayerReports {
    int ready = 0;
    std::vector<std::optional<Error>> errors;
    bool pictureShownWithoutFrame = false;

    // Installs the blocks on `view` (the ready block does not start playback).
    void attach(QVR_AVPlayerVideoPlayingView* view);
};

// Distinct colours over a grid of points around the middle of `image`.
int distinctCentreColours(const QImage& image);
