#pragma once

#include <QList>
#include <QUrl>

// Opens addresses outside the application: web pages in the default browser, "mailto:" links in the mail
// program. The desktop's own handler is the default; tests install a RecordingLinkOpener so that nothing is
// ever opened for real. Main thread only.
class LinkOpener {
public:
    virtual ~LinkOpener();

    // False when the desktop could not open the address.
    virtual bool openUrl(const QUrl& url) = 0;

    // The installed opener; the desktop's handler while none is installed.
    static LinkOpener& shared();
    // Does not take ownership; nullptr restores the desktop's handler.
    static void setShared(LinkOpener* opener);
    // Whether an opener is installed (otherwise shared() is the desktop handler made on first use).
    static bool isRegistered();
};

// Hands the address to the desktop (QDesktopServices). A "mailto:" address is refused when the desktop names no
// program for e-mail (its "xdg-mime" asked, for at most two seconds).
class DesktopLinkOpener : public LinkOpener {
public:
    static constexpr int kMailProgramQueryMs = 2000;

    bool openUrl(const QUrl& url) override;
    static bool desktopHasMailProgram();
};

// Records every address it is asked to open and opens none. Answers `result`.
class RecordingLinkOpener : public LinkOpener {
public:
    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        return result;
    }

    QList<QUrl> opened;
    bool result = true;
};

// Installs a recording opener for the lifetime of the scope and restores the previous one after it.
class ScopedRecordingLinkOpener : public RecordingLinkOpener {
public:
    ScopedRecordingLinkOpener();
    ~ScopedRecordingLinkOpener() override;
    ScopedRecordingLinkOpener(const ScopedRecordingLinkOpener&) = delete;
    ScopedRecordingLinkOpener& operator=(const ScopedRecordingLinkOpener&) = delete;

private:
    LinkOpener* m_previous;
};
