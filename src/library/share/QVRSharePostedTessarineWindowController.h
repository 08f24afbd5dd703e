#pragma once

#include <memory>

#include <QDialog>
#include <QLineEdit>
#include <QPointer>

#include "library/share/ShareLinks.h"
#include "library/share/ShareNetworkWindowController.h"

class QLabel;
class QPushButton;
class ZERI_TessarineModel;

// A read-only field whose whole text is selected when it is clicked, for copying.
class PostShareWindowTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit PostShareWindowTextField(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The share sheet of a published document: its address and embed code for copying, and five ways to pass the
// link on. Each network button opens the network's share page in a small window of its own, application-modal
// until it closes; the e-mail button hands a "mailto:" address to the mail program, or says that there is none.
// The sheet stays open. Done
// accepts the dialogue. Without a published address the fields are empty and the five buttons disabled.
// Main thread only.
class QVRSharePostedTessarineWindowController : public QDialog {
    Q_OBJECT
public:
    explicit QVRSharePostedTessarineWindowController(std::shared_ptr<ZERI_TessarineModel> tessarineModel,
                                                     QWidget* parent = nullptr);
    ~QVRSharePostedTessarineWindowController() override;

    // Shows the sheet window-modally over `parent`'s window; it deletes itself when closed.
    static QVRSharePostedTessarineWindowController*
    showForDocument(const std::shared_ptr<ZERI_TessarineModel>& tessarineModel, QWidget* parent, bool justPosted);

    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const { return m_tessarineModel; }
    bool justPosted() const { return m_justPosted; }
    // The title reads that the document has just been posted (else an invitation to share it).
    void setJustPosted(bool justPosted);

    QLabel* titleLabel() const { return m_titleLabel; }
    PostShareWindowTextField* copyAddressField() const { return m_copyAddressField; }
    PostShareWindowTextField* copyEmbedCodeField() const { return m_copyEmbedCodeField; }
    QPushButton* doneButton() const { return m_doneButton; }
    QPushButton* shareButton(ShareLinks::Channel channel) const;
    // The network window open over the sheet; none when it has closed.
    ShareNetworkWindowController* networkWindow() const { return m_networkWindow; }

    void facebookButtonPressed() { share(ShareLinks::Channel::Facebook); }
    void twitterButtonPressed() { share(ShareLinks::Channel::Twitter); }
    void linkedInButtonPressed() { share(ShareLinks::Channel::LinkedIn); }
    void gmailButtonPressed() { share(ShareLinks::Channel::Gmail); }
    void emailButtonPressed() { share(ShareLinks::Channel::Email); }
    void doneButtonPressed() { accept(); }

private:
    void share(ShareLinks::Channel channel);
    void openNetworkWindow(ShareLinks::Channel channel);

    std::shared_ptr<ZERI_TessarineModel> m_tessarineModel;
    bool m_justPosted = false;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_copyAddressHeaderLabel = nullptr;
    PostShareWindowTextField* m_copyAddressField = nullptr;
    QLabel* m_copyEmbedCodeHeaderLabel = nullptr;
    PostShareWindowTextField* m_copyEmbedCodeField = nullptr;
    QPushButton* m_doneButton = nullptr;
    QPushButton* m_channelButtons[5] = {};
    QPointer<ShareNetworkWindowController> m_networkWindow;
};
