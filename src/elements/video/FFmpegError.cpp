#include "elements/video/FFmpegError.h"

#include <cstdarg>
#include <mutex>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include "elements/video/VideoLogging.h"

namespace {

void forwardLogLine(void* context, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_VERBOSE)
        return;
    const bool problem = level <= AV_LOG_ERROR;
    if (problem ? !lcVideo().isWarningEnabled() : !lcVideo().isDebugEnabled())
        return;
    char line[1024];
    int printPrefix = 1;
    av_log_format_line2(context, level, format, arguments, line, sizeof line, &printPrefix);
    const QString text = QString::fromUtf8(line).trimmed();
    if (text.isEmpty())
        return;
    if (problem)
        qCWarning(lcVideo).noquote() << text;
    else
        qCDebug(lcVideo).noquote() << text;
}

} // namespace

void installFFmpegLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(forwardLogLine); });
}

Error ffmpegError(int code, const QString& what)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return Error(QString::fromLatin1(kFFmpegErrorDomain), code,
                 QStringLiteral("%1: %2").arg(what, QString::fromUtf8(text)));
}
