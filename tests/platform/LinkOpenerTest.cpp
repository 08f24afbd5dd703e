#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/widgets/LinkOpener.h"

namespace {

// A stand-in for the desktop's "xdg-mime" first on the search path, answering `handler` for every query.
class FakeXdgMime {
public:
    explicit FakeXdgMime(const QByteArray& handler)
        : m_path(qgetenv("PATH"))
    {
        QFile script(m_folder.filePath(QStringLiteral("xdg-mime")));
        if (script.open(QIODevice::WriteOnly))
            script.write("#!/bin/sh\n" + (handler.isEmpty() ? QByteArray() : "echo " + handler + "\n"));
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", m_folder.path().toLocal8Bit() + ':' + m_path);
    }
    ~FakeXdgMime() { qputenv("PATH", m_path); }

private:
    QTemporaryDir m_folder;
    QByteArray m_path;
};

} // namespace

TEST(DesktopLinkOpener, AnEmailAddressIsRefusedWhenTheDesktopNamesNoMailProgram)
{
    {
        FakeXdgMime none("");
        EXPECT_FALSE(DesktopLinkOpener::desktopHasMailProgram());
        DesktopLinkOpener opener;
        EXPECT_FALSE(opener.openUrl(QUrl(QStringLiteral("mailto:?subject=Hello"))));
    }
    FakeXdgMime mailer("mailer.desktop");
    EXPECT_TRUE(DesktopLinkOpener::desktopHasMailProgram());
}
