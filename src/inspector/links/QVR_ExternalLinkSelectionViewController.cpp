#include "inspector/links/QVR_ExternalLinkSelectionViewController.h"

#include <QHBoxLayout>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "creator/CreatorLogging.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/mmActions/ZERI_MMAction_WebLink.h"

namespace {
const QString kMailto = QStringLiteral("mailto:");
} // namespace

std::optional<QString> QVR_ExternalLinkSelectionViewController::webLinkTextFromInput(const QString& input)
{
    QString text = input;
    // Without a scheme of its own the address is a web page's; a host followed by a port ("localhost:8080",
    // "127.0.0.1:37989/page.html") names no scheme either.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(?!\\d)"));
    if (!scheme.match(text).hasMatch())
        text = QStringLiteral("http://") + text;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty()) {
        qCInfo(lcCreator) << "we can't make a valid URL from this string!  go ahead and bail out";
        return std::nullopt;
    }
    return text;
}

std::optional<QString> QVR_ExternalLinkSelectionViewController::emailLinkTextFromInput(const QString& input)
{
    const QString text = input.startsWith(kMailto) ? input : kMailto + input;
    // An address needs text on both sides of an "@".
    const QString address = text.mid(kMailto.size());
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at <= 0 || at >= address.size() - 1)
        return std::nullopt;
    return text;
}

void QVR_ExternalLinkSelectionViewController::setupAsWebLink()
{
    m_inEmailMode = false;
    applyMode();
}

void QVR_ExternalLinkSelectionViewController::setupAsEmailLink()
{
    m_inEmailMode = true;
    applyMode();
}

void QVR_ExternalLinkSelectionViewController::applyMode()
{
    setTitle(m_inEmailMode ? UFM::SAYS_SET_EMAIL_LINK() : UFM::SAYS_SET_WEB_LINK());
    if (m_titleLabel)
        m_titleLabel->setText(title());
    if (m_subtitleLabel)
        m_subtitleLabel->setText(m_inEmailMode ? UFM::EMAIL_LINK_INSTRUCTIONS() : UFM::WEB_LINK_INSTRUCTIONS());
    if (m_urlField)
        m_urlField->setPlaceholderText(m_inEmailMode ? UFM::SAYS_ENTER_AN_EMAIL_ADDRESS_HERE()
                                                     : UFM::SAYS_ENTER_A_WEB_URL_HERE());
}

void QVR_ExternalLinkSelectionViewController::loadView()
{
    QWidget* view = makePageView();
    auto* column = new QVBoxLayout(view);
    column->setContentsMargins(40, 24, 40, 16);
    column->setSpacing(12);
    m_titleLabel = makeLabel(QString(), view, true);
    m_subtitleLabel = makeLabel(QString(), view);
    m_urlField = new QLineEdit(view);
    m_urlField->setMinimumWidth(420);
    m_urlField->setMinimumHeight(32);
    column->addStretch(1);
    column->addWidget(m_titleLabel);
    column->addWidget(m_subtitleLabel);
    column->addWidget(m_urlField, 0, Qt::AlignHCenter);
    m_problemLabel = makeLabel(QString(), view);
    m_problemLabel->setObjectName(QStringLiteral("linkProblem"));
    m_problemLabel->setStyleSheet(QStringLiteral("color: #c0392b;"));
    m_problemLabel->hide();
    column->addWidget(m_problemLabel);
    column->addStretch(2);
    auto* buttons = new QHBoxLayout;
    m_clearButton = makeTextButton(UFM::SAYS_CLEAR_LINK(), view);
    m_saveButton = makeTextButton(UFM::DONE_TEXT(), view);
    buttons->addWidget(m_clearButton);
    buttons->addStretch(1);
    buttons->addWidget(m_saveButton);
    column->addLayout(buttons);
    connect(m_saveButton, &QPushButton::clicked, this, [this] { saveButtonPressed(); });
    connect(m_clearButton, &QPushButton::clicked, this, [this] { clearButtonPressed(); });
    connect(m_urlField, &QLineEdit::returnPressed, this, [this] { saveButtonPressed(); });
    connect(m_urlField, &QLineEdit::textEdited, this, [this] {
        if (m_problemLabel)
            m_problemLabel->hide();
    });
    setView(view);
    applyMode();

    m_clearButton->hide();
    const Proxy object = lastSelectedObject();
    if (object && object->object() && (*object)->action()) {
        m_clearButton->show();
        if (auto web = std::dynamic_pointer_cast<ZERI_MMAction_WebLink>((*object)->action())) {
            m_storedText = web->weblinkText();
            m_urlField->setText(m_storedText);
        }
    }
    // The field takes the keyboard once the page shows.
    QPointer<QLineEdit> field = m_urlField;
    QTimer::singleShot(0, this, [field] {
        if (field)
            field->setFocus();
    });
}

bool QVR_ExternalLinkSelectionViewController::saveButtonPressed()
{
    if (!m_urlField)
        return false;
    // Any address with an "@" opens in the e-mail form, web addresses too: one left as it was is kept as it was,
    // never turned into a "mailto:" of itself.
    const QString input = m_urlField->text();
    const std::optional<QString> text = !m_storedText.isEmpty() && input == m_storedText ? std::optional(input)
                                        : m_inEmailMode                                  ? emailLinkTextFromInput(input)
                                                                                         : webLinkTextFromInput(input);
    if (!text) {
        // A link to "hello" would open a mail to nobody, or no page: the address is refused, and the page says why.
        if (m_problemLabel) {
            m_problemLabel->setText(
                m_inEmailMode
                    ? QStringLiteral("\u201C%1\u201D is not an e-mail address. An address has a name, an \u201C@\u201D "
                                     "and a domain, as in name@example.com.")
                          .arg(input.trimmed())
                    : QStringLiteral("\u201C%1\u201D is not a web address. An address names a site, as in "
                                     "www.example.com or http://example.com/page.html.")
                          .arg(input.trimmed()));
            m_problemLabel->show();
        }
        return false;
    }
    std::shared_ptr<ZERI_MMAction_WebLink> last;
    setActions(selectedObjects(), [&]() -> std::shared_ptr<ZERI_MMAction> {
        last = ZERI_MMAction_WebLink::createWithText(*text);
        return last;
    });
    if (last)
        qCDebug(lcCreator).noquote() << "Objects json =" << QJsonDocument(last->jsonDictionary()).toJson();
    dismissPanel();
    return true;
}

void QVR_ExternalLinkSelectionViewController::clearButtonPressed()
{
    setActions(selectedObjects(), nullptr);
    returnToChooser();
}
