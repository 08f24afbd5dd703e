#pragma once

#include <QPointer>
#include <QWidget>

class QToolButton;

// What the title-bar buttons ask of their window. Play/pause and presenter notes are optional.
class QVRViewerTitleBarButtonsHolderViewDelegate {
public:
    virtual ~QVRViewerTitleBarButtonsHolderViewDelegate() = default;
    virtual void titleBarShareButtonPressed() = 0;
    virtual void titleBarDownloadButtonPressed() = 0;
    virtual void titleBarPlayPauseButtonPressed() {}
    virtual void titleBarTogglePresentationNotesButtonPressed() {}
};

// The buttons at the right end of a viewer's title band (and on the tablet preview's top bezel): download
// (remix), share, presenter notes, play/pause and full screen, right to left in that order. A hidden button takes
// no room. Full screen toggles the holder's own window. Everything but full screen starts hidden.
class QVRViewerTitleBarButtonsHolderView : public QWidget {
    Q_OBJECT
public:
    explicit QVRViewerTitleBarButtonsHolderView(QWidget* parent = nullptr);

    QVRViewerTitleBarButtonsHolderViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(QVRViewerTitleBarButtonsHolderViewDelegate* delegate) { m_delegate = delegate; }

    QToolButton* downloadButton() const { return m_downloadButton; }
    QToolButton* shareButton() const { return m_shareButton; }
    QToolButton* fullscreenButton() const { return m_fullscreenButton; }
    QToolButton* playPauseButton() const { return m_playPauseButton; }
    QToolButton* togglePresenterNotesButton() const { return m_presenterNotesButton; }

    void downloadButtonShouldHide(bool hide);
    void shareButtonShouldHide(bool hide);
    void expandButtonShouldHide(bool hide);
    void playPauseButtonShouldHide(bool hide);
    void presenterNotesButtonShouldHide(bool hide);

    // Playing shows the pause artwork and tool tip, else the play ones.
    void setPlayPauseButtonPlaying(bool playing);
    bool isPlayPauseButtonPlaying() const { return m_playing; }

private:
    QToolButton* makeButton(const QString& artwork, const QString& toolTip, const QString& name);
    void toggleFullScreen();

    QVRViewerTitleBarButtonsHolderViewDelegate* m_delegate = nullptr;
    QToolButton* m_downloadButton = nullptr;
    QToolButton* m_shareButton = nullptr;
    QToolButton* m_fullscreenButton = nullptr;
    QToolButton* m_playPauseButton = nullptr;
    QToolButton* m_presenterNotesButton = nullptr;
    bool m_playing = false;
};
