#pragma once

#include <QString>

#include "platform/Error.h"

// Errors of libavformat/libavcodec/libswscale/libswresample keep their own code (a negative AVERROR
// value) under this domain, so callers can tell them apart from the re-encoder's own errors.
inline constexpr char kFFmpegErrorDomain[] = "FFmpegErrorDomain";

// "<what>: <libav's text for code>".
Error ffmpegError(int code, const QString& what);

// Routes libav's own log lines into the "tess.elements.video" category (errors as warnings, the rest as
// debug lines) instead of standard error. Safe to call any number of times.
void installFFmpegLogging();
