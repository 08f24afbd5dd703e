#include "platform/widgets/LinkOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace {
LinkOpener* s_installed = nullptr;
} // namespace

LinkOpener::~LinkOpener() = default;

LinkOpener& LinkOpener::shared()
{
    static DesktopLinkOpener desktop;
    return s_installed ? *s_installed : desktop;
}

void LinkOpener::setShared(LinkOpener* opener)
{
    s_installed = opener;
}

bool LinkOpener::isRegistered()
{
    return s_installed != nullptr;
}

bool DesktopLinkOpener::openUrl(const QUrl& url)
{
    if (!url.isValid())
        return false;
    // The desktop's opener starts whether or not a program takes the address: for e-mail, ask first.
    if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) == 0 && !desktopHasMailProgram())
        return false;
    return QDesktopServices::openUrl(url);
}

bool DesktopLinkOpener::desktopHasMailProgram()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (tool.isEmpty())
        return true; // nothing to ask: the opening itself tells
    QProcess query;
    query.start(tool, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("x-scheme-handler/mailto")});
    if (!query.waitForFinished(kMailProgramQueryMs)) {
        query.kill();
        query.waitForFinished();
        return true;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
           !query.readAllStandardOutput().trimmed().isEmpty();
}

ScopedRecordingLinkOpener::ScopedRecordingLinkOpener()
    : m_previous(s_installed)
{
    LinkOpener::setShared(this);
}

ScopedRecordingLinkOpener::~ScopedRecordingLinkOpener()
{
    LinkOpener::setShared(m_previous);
}
