#pragma once

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QPointer>

#include "controls/NavigationController.h"
#include "controls/NavigationControllerFriendlyViewController.h"

class QTimer;

class AddYouTubeVideoDelegate {
public:
    virtual ~AddYouTubeVideoDelegate() = default;
    // The link field's text as typed.
    virtual void addYoutubeVideoViewControllerSelectionCompletedWithVideoURL(const QString& url) = 0;
    virtual void addVimeoVideoViewControllerSelectionCompletedWithVideoURL(const QString& url) = 0;
};

// The dialog in which a web video link is typed or pasted: it recognises the site's video id as the text changes,
// asks the site for the preview picture to confirm the video, shows the picture (or a placeholder), colours the
// text black or red and enables Insert only for a confirmed video. Only the answer for the latest text counts, and
// the site is asked once the typing pauses (kLookupPauseMs), not at every key. Return in the field is Insert.
// Its views come from the interface file "QVR_AddStreamingVideoViewController".
class QVR_AddStreamingVideoViewController : public NavigationControllerFriendlyViewController {
    Q_OBJECT
public:
    static const QString kNibName; // "QVR_AddStreamingVideoViewController"
    static constexpr int kLookupPauseMs = 350;

    explicit QVR_AddStreamingVideoViewController(QObject* parent = nullptr);

    // Not owned.
    AddYouTubeVideoDelegate* delegate() const { return m_delegate; }
    void setDelegate(AddYouTubeVideoDelegate* delegate) { m_delegate = delegate; }

    QString source() const { return m_source; }
    bool validVideoURLEntered() const { return m_validVideoURLEntered; }
    QLabel* titleLabel() const { return m_titleLabel; }
    QLineEdit* urlFeild() const { return m_urlFeild; }
    QPushButton* insertButton() const { return m_insertButton; }
    QLabel* imageView() const { return m_imageView; }
    // Says that the video site could not be reached; hidden otherwise.
    QLabel* reachNotice() const { return m_reachNotice; }
    // The picture the image view shows.
    QImage shownImage() const { return m_shownImage; }
    bool showsPlaceholder() const { return m_showsPlaceholder; }

    void controlTextDidChange();
    void validateYouTubeURL();
    void handleVideoValidation(bool valid, const QByteArray& imageData, bool siteAnswered = true);
    void insertButtonPressed();

    static QImage defaultPlaceholderImage();

protected:
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void awakeFromNib();
    void showImage(const QImage& image, bool placeholder);
    // Asks the site about the video id of the latest text.
    void lookUpPendingVideo();

    AddYouTubeVideoDelegate* m_delegate = nullptr;
    QString m_source;
    bool m_validVideoURLEntered = false;
    quint64 m_request = 0;
    QString m_pendingVideoId;
    QTimer* m_lookupTimer = nullptr;
    QImage m_shownImage;
    bool m_showsPlaceholder = false;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLineEdit> m_urlFeild;
    QPointer<QPushButton> m_insertButton;
    QPointer<QLabel> m_imageView;
    QPointer<QLabel> m_reachNotice;
};
