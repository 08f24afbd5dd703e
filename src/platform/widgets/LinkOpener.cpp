#include "platform/widgets/LinkOpener.h"

#include <QDesktopServices>

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
    return url.isValid() && QDesktopServices::openUrl(url);
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
