#pragma once

#include <functional>

#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

#include "controls/ViewController.h"
#include "viewer/TrackedEmailComposer.h"

class QLabel;
class QLineEdit;
class QTextEdit;
class QToolButton;

// The dimmed overlay that explains tracked e-mail: a white, bordered box with the explanation, centred. A press
// anywhere removes it.
class QVR_TrackableEmailHelpView : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal kTextWidth = 300;
    static constexpr int kBoxPadding = 10;

    explicit QVR_TrackableEmailHelpView(QWidget* parent = nullptr);

    // The white box (text size plus 10 points each side).
    QWidget* box() const { return m_box; }
    // Takes the overlay away and gives the keyboard back to where it was when the overlay came.
    void dismiss();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // While it shows the overlay holds the keyboard: Escape, Return, Enter and Space take it away, Tab stays.
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class QVR_TrackableEmailViewController;
    QPointer<QWidget> m_focusBefore;
    QWidget* m_box = nullptr;
};

// Composes an e-mail that the web service sends as a tracked e-mail on the user's behalf, asking to be told
// when its links are opened. The message is rich text; on Send it is reduced to what text objects keep (plus
// its links), written as HTML, and the links that must not be tracked get the no-track mark. The mail goes
// only through the service. Send stays disabled from the click until the reply, so a mail is never sent twice.
// A reply that arrives after the composer was dismissed still posts the success notification (the mail went
// out); an error is then only logged. Main thread only.
class QVR_TrackableEmailViewController : public ViewController, public TrackedEmailComposer {
    Q_OBJECT
public:
    explicit QVR_TrackableEmailViewController(QObject* parent = nullptr);
    ~QVR_TrackableEmailViewController() override;

    static QSize preferredWindowSizeOfComposer() { return QSize(600, 700); }

    // TrackedEmailComposer
    QWidget* view() override { return ViewController::view(); }
    QSize preferredWindowSize() const override { return preferredWindowSizeOfComposer(); }
    void setPrepopulatedSender(const QString& sender) override { m_prepopulatedSender = sender; }
    void setPrepopulatedSubject(const QString& subject) override { m_prepopulatedSubject = subject; }
    void setPrepopulatedMessage(const QTextDocument& message) override;
    void setNoTrackURLStrings(const QStringList& urlStrings) override { m_noTrackURLStrings = urlStrings; }
    void setQvd_id(const QString& documentID) override { m_qvd_id = documentID; }
    void setOnCancelBlock(std::function<void()> block) override { m_onCancelBlock = std::move(block); }
    void setAfterSendBlock(std::function<void()> block) override { m_afterSendBlock = std::move(block); }

    void setPrepopulatedRecipients(const QString& recipients) { m_prepopulatedRecipients = recipients; }
    // The prepared message as HTML, inserted so that its links survive.
    void setPrepopulatedMessageHtml(const QString& html) { m_prepopulatedMessageHtml = html; }
    QStringList noTrackURLStrings() const { return m_noTrackURLStrings; }
    QString qvd_id() const { return m_qvd_id; }

    void sendBtnPressed();
    void cancelBtnPressed();
    void helpBtnPressed();

    // The HTML with the no-track mark: for each address U, every occurrence of U + '/"' (or U itself when it
    // already holds '/"'), compared without regard to case, is followed by ' class="notrack"'. The matched link
    // is kept as written. An empty list (or empty addresses) leaves the HTML unchanged.
    static QString htmlInjectedWithNoTrackForURLStrings(const QString& html, const QStringList& urlStrings);
    // What Send sends as the message: the text reduced to what text objects keep, its links, as HTML, marked.
    static QString messageHtml(const QTextDocument& message, const QStringList& noTrackURLStrings);

    QPushButton* sendBtn() const { return m_sendBtn; }
    QPushButton* cancelBtn() const { return m_cancelBtn; }
    QToolButton* helpBtn() const { return m_helpBtn; }
    QLineEdit* recipientsTextField() const { return m_recipientsTextField; }
    QLineEdit* senderTextField() const { return m_senderTextField; }
    QLineEdit* subjectTextField() const { return m_subjectTextField; }
    QTextEdit* messageTextView() const { return m_messageTextView; }
    QVR_TrackableEmailHelpView* helpView() const { return m_helpView; }

protected:
    void loadView() override;
    void viewDidLoad() override;

private:
    friend class TrackableEmailView;
    void layoutView();
    // Typing at the end of a link adds to the message, not to the link.
    void leaveLinkAtItsEnd();
    static void handleReply(const QPointer<QVR_TrackableEmailViewController>& composer, const QString& reply);
    void closeWindow();

    QString m_prepopulatedSender;
    QString m_prepopulatedRecipients;
    QString m_prepopulatedSubject;
    QString m_prepopulatedMessageHtml;
    QString m_qvd_id;
    QStringList m_noTrackURLStrings;
    std::function<void()> m_onCancelBlock;
    std::function<void()> m_afterSendBlock;
    bool m_sending = false;

    QPointer<QPushButton> m_sendBtn;
    QPushButton* m_cancelBtn = nullptr;
    QToolButton* m_helpBtn = nullptr;
    QLabel* m_toTextLabel = nullptr;
    QLabel* m_fromTextLabel = nullptr;
    QLabel* m_subjectTextLabel = nullptr;
    QLineEdit* m_recipientsTextField = nullptr;
    QLineEdit* m_senderTextField = nullptr;
    QLineEdit* m_subjectTextField = nullptr;
    QTextEdit* m_messageTextView = nullptr;
    QPointer<QVR_TrackableEmailHelpView> m_helpView;
};
