#include "library/share/QVR_TrackableEmailViewController.h"

#include <cmath>

#include <QJsonValue>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFrame>
#include <QToolButton>

#include "app/QVRAppDelegate.h"
#include "controls/QVR_Toast.h"
#include "foundation/FontSubstitution.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "service/ServiceReply.h"
#include "service/ZERI_APIBinding.h"
#include "strings/StringTables.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

constexpr int kMargin = 20;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 25;
constexpr int kTopInset = 6;
constexpr int kHelpButtonSize = 25;
constexpr int kHelpButtonOffset = 31;
constexpr int kLabelWidth = 70;
constexpr int kRowHeight = 24;
constexpr int kRowSpacing = 8;
constexpr int kErrorCodeRecipientOrSenderMissing = 98;

int integerValue(const QJsonValue& value)
{
    return value.isString() ? value.toString().trimmed().toInt() : value.toInt();
}

QFont explanationFont()
{
    return FontSubstitution::fontForPostScriptName(QStringLiteral("HelveticaNeue-Medium"), 18);
}

// The explanation laid out at the width of the help box's text.
class ExplanationText : public QWidget {
public:
    explicit ExplanationText(QWidget* parent)
        : QWidget(parent)
    {
        m_document.setDocumentMargin(0);
        m_document.setDefaultFont(explanationFont());
        m_document.setPlainText(UFM::TRACKABLE_EMAIL_EXPLANATION());
        m_document.setTextWidth(QVR_TrackableEmailHelpView::kTextWidth);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    // The text's bounding size at the box's width.
    QSize boundingSize() const
    {
        return QSize(int(std::ceil(m_document.idealWidth())), int(std::ceil(m_document.size().height())));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_document.drawContents(&painter);
    }

private:
    QTextDocument m_document;
};

class HelpBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(QPen(Qt::black, 1.0));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};

} // namespace

// The composer's view: lays its controls out at every size, the help button pinned to the top right.
class TrackableEmailView : public QWidget {
public:
    explicit TrackableEmailView(QVR_TrackableEmailViewController* controller)
        : m_controller(controller)
    {
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (m_controller)
            m_controller->layoutView();
    }

    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        // The user comes to type the recipients: the keyboard is there at once.
        if (m_controller && m_controller->m_recipientsTextField)
            m_controller->m_recipientsTextField->setFocus(Qt::OtherFocusReason);
    }

    // The composer is a sheet over what shows it: Tab and Shift+Tab walk round its own controls, never on to the
    // controls it covers.
    bool focusNextPrevChild(bool next) override
    {
        QWidget* from = focusWidget();
        if (!from || !isAncestorOf(from))
            from = this;
        QWidget* candidate = from;
        do {
            candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
            if (candidate != this && isAncestorOf(candidate) && !candidate->focusProxy() && candidate->isVisible() &&
                candidate->isEnabled() && (candidate->focusPolicy() & Qt::TabFocus) == Qt::TabFocus) {
                candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                return true;
            }
        } while (candidate && candidate != from);
        return true;
    }

    // What the fields leave: Return in a one-line field sends, Escape cancels. No key goes on to the view that
    // shows the composer (a player would take Return or Escape as its own).
    void keyPressEvent(QKeyEvent* event) override
    {
        event->accept();
        if (!m_controller || event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))
            return;
        switch (event->key()) {
        case Qt::Key_Escape:
            // Escape takes the help away first; the composer and what it holds stay.
            if (m_controller->m_helpView)
                m_controller->m_helpView->dismiss();
            else
                m_controller->cancelBtnPressed();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (qobject_cast<QLineEdit*>(focusWidget()))
                m_controller->sendBtnPressed();
            break;
        default:
            break;
        }
    }

private:
    QPointer<QVR_TrackableEmailViewController> m_controller;
};

QVR_TrackableEmailHelpView::QVR_TrackableEmailHelpView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("QVR_TrackableEmailHelpView"));
    m_box = new HelpBox(this);
    m_box->setObjectName(QStringLiteral("helpBox"));
    auto* text = new ExplanationText(m_box);
    const QSize bounding = text->boundingSize();
    text->setGeometry(QRect(QPoint(kBoxPadding, kBoxPadding), bounding));
    m_box->resize(bounding + QSize(2 * kBoxPadding, 2 * kBoxPadding));
    m_box->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QVR_TrackableEmailHelpView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, qRound(0.3 * 255)));
}

void QVR_TrackableEmailHelpView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize free = size() - m_box->size();
    m_box->move(free.width() / 2, free.height() / 2);
}

void QVR_TrackableEmailHelpView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    dismiss();
}

void QVR_TrackableEmailHelpView::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        dismiss();
        break;
    default:
        break;
    }
}

bool QVR_TrackableEmailHelpView::focusNextPrevChild(bool)
{
    return true;
}

void QVR_TrackableEmailHelpView::dismiss()
{
    if (isHidden())
        return;
    const QPointer<QWidget> before = m_focusBefore;
    hide();
    deleteLater();
    if (before)
        before->setFocus(Qt::OtherFocusReason);
}

QVR_TrackableEmailViewController::QVR_TrackableEmailViewController(QObject* parent)
    : ViewController(parent)
{
}

QVR_TrackableEmailViewController::~QVR_TrackableEmailViewController() = default;

void QVR_TrackableEmailViewController::setPrepopulatedMessage(const QTextDocument& message)
{
    m_prepopulatedMessageHtml = message.isEmpty() ? QString() : message.toHtml();
}

void QVR_TrackableEmailViewController::loadView()
{
    auto* view = new TrackableEmailView(this);
    view->setObjectName(QStringLiteral("QVR_TrackableEmailViewController"));
    view->resize(preferredWindowSize());

    m_sendBtn = new QPushButton(view);
    m_sendBtn->setObjectName(QStringLiteral("sendBtn"));
    m_cancelBtn = new QPushButton(view);
    m_cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    m_fromTextLabel = new QLabel(view);
    m_toTextLabel = new QLabel(view);
    m_subjectTextLabel = new QLabel(view);
    m_senderTextField = new QLineEdit(view);
    m_senderTextField->setObjectName(QStringLiteral("senderTextField"));
    m_recipientsTextField = new QLineEdit(view);
    m_recipientsTextField->setObjectName(QStringLiteral("recipientsTextField"));
    m_subjectTextField = new QLineEdit(view);
    m_subjectTextField->setObjectName(QStringLiteral("subjectTextField"));
    m_messageTextView = new QTextEdit(view);
    m_messageTextView->setObjectName(QStringLiteral("messageTextView"));
    m_messageTextView->setAcceptRichText(true);
    // Tab walks on to the buttons, as from the fields above; it types no tab into the message.
    m_messageTextView->setTabChangesFocus(true);
    m_helpBtn = new QToolButton(view);
    m_helpBtn->setObjectName(QStringLiteral("helpBtn"));
    m_helpBtn->setText(QStringLiteral("?"));
    // The round button draws its own border, so it draws the keyboard's ring too.
    m_helpBtn->setStyleSheet(QStringLiteral("QToolButton { border: 1px solid #a0a0a0; border-radius: 12px; "
                                            "background: white; font-weight: bold; } "
                                            "QToolButton:focus { border: 2px solid palette(highlight); }"));

    connect(m_messageTextView, &QTextEdit::cursorPositionChanged, this,
            &QVR_TrackableEmailViewController::leaveLinkAtItsEnd);
    connect(m_sendBtn, &QPushButton::clicked, this, &QVR_TrackableEmailViewController::sendBtnPressed);
    connect(m_cancelBtn, &QPushButton::clicked, this, &QVR_TrackableEmailViewController::cancelBtnPressed);
    connect(m_helpBtn, &QToolButton::clicked, this, &QVR_TrackableEmailViewController::helpBtnPressed);
    setView(view);
}

void QVR_TrackableEmailViewController::viewDidLoad()
{
    m_sendBtn->setText(UFM::SEND_TEXT());
    m_cancelBtn->setText(UFM::CANCEL_TEXT());
    m_toTextLabel->setText(UFM::TO_TEXT());
    m_fromTextLabel->setText(UFM::FROM_TEXT());
    m_subjectTextLabel->setText(UFM::SUBJECT_TEXT());
    if (!m_prepopulatedSender.isEmpty())
        m_senderTextField->setText(m_prepopulatedSender);
    if (!m_prepopulatedRecipients.isEmpty())
        m_recipientsTextField->setText(m_prepopulatedRecipients);
    if (!m_prepopulatedSubject.isEmpty())
        m_subjectTextField->setText(m_prepopulatedSubject);

    QTextDocument* document = m_messageTextView->document();
    document->setDocumentMargin(0);
    QTextFrameFormat inset = document->rootFrame()->frameFormat();
    inset.setLeftMargin(4);
    inset.setRightMargin(4);
    inset.setTopMargin(6);
    inset.setBottomMargin(6);
    document->rootFrame()->setFrameFormat(inset);
    if (!m_prepopulatedMessageHtml.isEmpty()) {
        QTextCursor cursor(document);
        cursor.movePosition(QTextCursor::End);
        cursor.insertHtml(m_prepopulatedMessageHtml);
    }
    layoutView();
}

void QVR_TrackableEmailViewController::layoutView()
{
    if (!m_sendBtn)
        return;
    const int width = ViewController::view()->width();
    const int height = ViewController::view()->height();
    m_cancelBtn->setGeometry(kMargin, kTopInset, kButtonWidth, kButtonHeight);
    m_sendBtn->setGeometry(width - kMargin - kButtonWidth, kTopInset, kButtonWidth, kButtonHeight);
    m_helpBtn->setGeometry(m_sendBtn->x() - kHelpButtonOffset, kTopInset, kHelpButtonSize, kHelpButtonSize);
    int y = kTopInset + kButtonHeight + 14;
    const std::pair<QLabel*, QLineEdit*> rows[] = {{m_fromTextLabel, m_senderTextField},
                                                   {m_toTextLabel, m_recipientsTextField},
                                                   {m_subjectTextLabel, m_subjectTextField}};
    for (const auto& [label, field] : rows) {
        label->setGeometry(kMargin, y, kLabelWidth, kRowHeight);
        field->setGeometry(kMargin + kLabelWidth + 6, y, std::max(0, width - 2 * kMargin - kLabelWidth - 6),
                           kRowHeight);
        y += kRowHeight + kRowSpacing;
    }
    m_messageTextView->setGeometry(kMargin, y, std::max(0, width - 2 * kMargin), std::max(0, height - y - kMargin));
    if (m_helpView)
        m_helpView->setGeometry(0, 0, width, height);
}

QString QVR_TrackableEmailViewController::htmlInjectedWithNoTrackForURLStrings(const QString& html,
                                                                               const QStringList& urlStrings)
{
    static const QString kSlashQuote = QStringLiteral("/\"");
    static const QString kMark = QStringLiteral(" class=\"notrack\"");
    QString result = html;
    for (const QString& urlString : urlStrings) {
        if (urlString.isEmpty())
            continue;
        const QString target = urlString.contains(kSlashQuote) ? urlString : urlString + kSlashQuote;
        QString marked;
        marked.reserve(result.size() + 64);
        qsizetype from = 0;
        for (qsizetype found = result.indexOf(target, 0, Qt::CaseInsensitive); found >= 0;
             found = result.indexOf(target, from, Qt::CaseInsensitive)) {
            // The link stays as written; only the mark is added after it.
            marked += QStringView(result).mid(from, found + target.size() - from);
            marked += kMark;
            from = found + target.size();
        }
        if (from == 0)
            continue;
        marked += QStringView(result).mid(from);
        result = std::move(marked);
    }
    return result;
}

QString QVR_TrackableEmailViewController::messageHtml(const QTextDocument& message,
                                                      const QStringList& noTrackURLStrings)
{
    std::vector<ZERI_MMObject_Text::TextLink> links;
    const AttributedText text = ZERI_MMObject_Text::attributedStringWithUnsupportedAttributesRemoved(message, &links);
    return htmlInjectedWithNoTrackForURLStrings(ZERI_MMObject_Text::htmlSerializeAttributedString(text, links),
                                                noTrackURLStrings);
}

void QVR_TrackableEmailViewController::sendBtnPressed()
{
    if (m_sending || !m_sendBtn)
        return;
    m_sending = true;
    m_sendBtn->setEnabled(false);
    const QString message = messageHtml(*m_messageTextView->document(), m_noTrackURLStrings);
    const QPointer<QVR_TrackableEmailViewController> guard(this);
    ZERI_APIBinding::sendTrackableEmailWithAuthToken(
        Tessutils::corvikAuthToken(), m_senderTextField->text(), m_recipientsTextField->text(),
        m_subjectTextField->text(), message, m_qvd_id, true,
        [guard](const QString& reply, const QString&) { handleReply(guard, reply); });
}

void QVR_TrackableEmailViewController::handleReply(const QPointer<QVR_TrackableEmailViewController>& composer,
                                                   const QString& reply)
{
    const ServiceReply parsed = ServiceReply::parse(reply);
    // A composer whose view is gone is as good as gone.
    const bool shown = composer && composer->isViewLoaded() && composer->m_sendBtn;
    if (parsed.outcome == ServiceReply::Outcome::Success) {
        // The notice shows in the nearest view around the composer that still shows once the block has run: the
        // panel holding the composer may go with it.
        QList<QPointer<QWidget>> around;
        if (shown) {
            for (QWidget* up = composer->ViewController::view()->parentWidget(); up; up = up->parentWidget())
                around.append(up);
        }
        if (shown) {
            composer->m_sending = false;
            composer->m_sendBtn->setEnabled(true);
            // The block may let the composer go: nothing of it is touched afterwards.
            if (composer->m_afterSendBlock) {
                const auto block = composer->m_afterSendBlock;
                block();
            } else {
                composer->closeWindow();
            }
        }
        QWidget* host = nullptr;
        for (const QPointer<QWidget>& candidate : std::as_const(around)) {
            if (candidate && candidate->isVisible()) {
                host = candidate;
                break;
            }
        }
        QVRAppDelegate::postUserNotification(UFM::SUCCESS_TEXT(), UFM::EMAIL_SENT_TEXT(), host);
        return;
    }

    QString message = AsSentence(UFM::ERROR_SENDING_MAIL());
    if (integerValue(parsed.error.value(QStringLiteral("errorCode"))) == kErrorCodeRecipientOrSenderMissing)
        message += u' ' + AsSentence(UFM::RECIPIENT_OR_SENDER_MISSING());
    if (!shown) {
        qCWarning(lcLibrary) << "a tracked e-mail sent after its composer closed failed:" << message
                             << parsed.error.value(QStringLiteral("errorMessage")).toString();
        return;
    }
    composer->m_sending = false;
    composer->m_sendBtn->setEnabled(true);
    QVR_Toast::toast(message, composer->ViewController::view());
}

void QVR_TrackableEmailViewController::cancelBtnPressed()
{
    if (m_onCancelBlock) {
        const auto block = m_onCancelBlock;
        block();
        return;
    }
    closeWindow();
}

void QVR_TrackableEmailViewController::closeWindow()
{
    if (!isViewLoaded())
        return;
    if (QWidget* window = ViewController::view()->window())
        window->close();
}

void QVR_TrackableEmailViewController::leaveLinkAtItsEnd()
{
    const QTextCursor cursor = m_messageTextView->textCursor();
    QTextCharFormat format = cursor.charFormat(); // what typing here inserts: the format of the text before
    if (cursor.hasSelection() || !format.isAnchor())
        return;
    if (!cursor.atBlockEnd()) {
        QTextCursor next(cursor);
        next.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        const QTextCharFormat after = next.charFormat();
        if (after.isAnchor() && after.anchorHref() == format.anchorHref())
            return; // inside the link: what is typed belongs to it
    }
    // The face and size stay; the link, its underline and its colour do not.
    format.setAnchor(false);
    format.setAnchorHref(QString());
    format.setAnchorNames({});
    format.setFontUnderline(false);
    format.setUnderlineStyle(QTextCharFormat::NoUnderline);
    format.clearForeground();
    m_messageTextView->setCurrentCharFormat(format);
}

void QVR_TrackableEmailViewController::helpBtnPressed()
{
    // The button shows above the overlay: a second press takes the help away.
    if (m_helpView) {
        m_helpView->dismiss();
        return;
    }
    QWidget* view = ViewController::view();
    m_helpView = new QVR_TrackableEmailHelpView(view);
    m_helpView->m_focusBefore = view->focusWidget();
    m_helpView->setFocusPolicy(Qt::StrongFocus);
    m_helpView->setGeometry(0, 0, view->width(), view->height());
    // Just above the message view: what lies above it (the help button) stays above the overlay.
    QWidget* above = nullptr;
    const QObjectList siblings = view->children();
    for (qsizetype i = siblings.indexOf(m_messageTextView) + 1; i > 0 && i < siblings.size() && !above; ++i) {
        auto* sibling = qobject_cast<QWidget*>(siblings.at(i));
        if (sibling && sibling != m_helpView && !sibling->isWindow())
            above = sibling;
    }
    if (above)
        m_helpView->stackUnder(above);
    else
        m_helpView->raise();
    m_helpView->show();
    m_helpView->setFocus(Qt::OtherFocusReason);
}
