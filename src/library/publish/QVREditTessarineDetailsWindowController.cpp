#include "library/publish/QVREditTessarineDetailsWindowController.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "elements/images/UNIImage.h"
#include "foundation/SafeDictionary.h"
#include "foundation/Tessutils.h"
#include "library/LibraryLogging.h"
#include "library/publish/SheetRunner.h"
#include "platform/AlertPresenter.h"
#include "service/CorvikBlockAPIBinding.h"
#include "service/QVROpenRequest.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "storage/ZERI_qvdFilePackageMetadata.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

const QString QVREditTessarineDetailsWindowController::kPasswordBullets = QString(8, QChar(0x2022));

namespace {

const QString kPublic = QStringLiteral("public");
const QString kGroup = QStringLiteral("enterprise_private");
const QString kProtected = QStringLiteral("protected");
const QString kPrivate = QStringLiteral("private");

bool needsPassword(const std::optional<QString>& option)
{
    return option && (*option == kProtected || *option == kGroup);
}

void setAlpha(QWidget* widget, double alpha)
{
    if (alpha >= 1.0) {
        widget->setGraphicsEffect(nullptr);
        return;
    }
    auto* effect = new QGraphicsOpacityEffect(widget);
    effect->setOpacity(alpha);
    widget->setGraphicsEffect(effect);
}

// The message for an alias check's answer; empty when the alias is free.
QString aliasReplyMessage(const QString& reply)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(reply.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        qCInfo(lcLibrary) << "we got a different error: not JSON";
        return QStringLiteral("Unknown error.");
    }
    const SafeDictionary answer(document.object());
    const auto error = answer.safeDictionaryForKey(QStringLiteral("error"));
    if (!error && !answer.contains(QStringLiteral("error"))) {
        qCInfo(lcLibrary) << "Alias checked out";
        return {};
    }
    const QString code = error ? error->stringForKey(QStringLiteral("errorCode")) : QString();
    if (code == QStringLiteral("404")) {
        qCInfo(lcLibrary) << "we got a 404";
        return QStringLiteral("Network error");
    }
    if (code == QStringLiteral("701")) {
        qCInfo(lcLibrary) << "Link contains illegal characters.";
        QStringList characters;
        if (const auto illegal = error->safeArrayForKey(QStringLiteral("illegal_chars"))) {
            for (qsizetype i = 0; i < illegal->count(); ++i)
                characters.append(illegal->stringAtIndex(i));
        }
        return QStringLiteral("Alias contains illegal characters: ") + characters.join(QLatin1Char(' '));
    }
    if (code == QStringLiteral("98")) {
        qCInfo(lcLibrary) << "You must provide an Alias!";
        return QStringLiteral("Custom URL too short");
    }
    if (code == QStringLiteral("0")) {
        qCInfo(lcLibrary) << "You are not authorized to view this!";
        return QStringLiteral("Error authenticating");
    }
    if (code == QStringLiteral("700")) {
        qCInfo(lcLibrary) << "User cannot add an alias to a Flow. Likely a permissions thing";
        return QStringLiteral("You do not have permissions");
    }
    if (code == QStringLiteral("702")) {
        qCInfo(lcLibrary) << "alias contains a word that is not allowed";
        return QStringLiteral("Link contains a word that is not allowed.");
    }
    if (code == QStringLiteral("703")) {
        qCInfo(lcLibrary) << "alias is already taken";
        return QStringLiteral("Link already in use.");
    }
    qCInfo(lcLibrary) << "we got a different error:" << code;
    return QStringLiteral("Unknown error.");
}

} // namespace

QVREditTessarineDetailsWindowController::QVREditTessarineDetailsWindowController(
    std::shared_ptr<ZERI_TessarineModel> model, QWidget* parent)
    : QDialog(parent)
    , m_model(std::move(model))
{
    const QColor black = Tessutils::tessarineBlackColor();
    m_topHeaderLabel = new QLabel(UFM::SHARE_YOUR_TESSARINE_TEXT(), this);
    QFont headline = m_topHeaderLabel->font();
    headline.setBold(true);
    headline.setPointSizeF(headline.pointSizeF() * 1.3);
    m_topHeaderLabel->setFont(headline);
    setWindowTitle(UFM::SHARE_YOUR_TESSARINE_TEXT());

    m_titleField = new QLineEdit(this);
    m_titleField->setPlaceholderText(UFM::TITLE_YOUR_TESSARINE_TEXT());
    m_descriptionTextView = new QPlainTextEdit(this);
    m_descriptionTextView->setFixedHeight(72);
    // Tab walks on to the privacy choices, as from every other field here; it types no tab into the text.
    m_descriptionTextView->setTabChangesFocus(true);

    m_publicRadio = new QRadioButton(UFM::PUBLIC_EVERYONE_TEXT(), this);
    m_groupRadio = new QRadioButton(UFM::GROUP_ONLY_TEXT(), this);
    m_protectedRadio = new QRadioButton(UFM::RESTRICTED_TEXT(), this);
    m_privateRadio = new QRadioButton(UFM::PRIVATE_TEXT(), this);
    m_privacyGroup = new QButtonGroup(this);
    m_privacyGroup->setExclusive(true);
    m_privacyGroup->addButton(m_publicRadio);
    m_privacyGroup->addButton(m_protectedRadio);
    m_privacyGroup->addButton(m_privateRadio);
    const bool hasGroup = Tessutils::userEnterpriseGroup().has_value();
    if (hasGroup)
        m_privacyGroup->addButton(m_groupRadio);
    else
        m_groupRadio->hide();
    m_remixCheckbox = new QCheckBox(UFM::ALLOW_REMIX_TEXT(), this);
    // Who may see the document with the chosen option, in a line under the options.
    m_privacyDetailsLabel = new QLabel(this);
    m_privacyDetailsLabel->setWordWrap(true);
    m_privacyDetailsLabel->setStyleSheet(QStringLiteral("QLabel { color: #666666; }"));

    m_passwordSection = new QWidget(this);
    m_passwordHeader = new QLabel(UFM::PASSWORD_PROTECTED_TEXT(), m_passwordSection);
    m_passwordEntry = new QLineEdit(m_passwordSection);
    m_passwordEntry->setEchoMode(QLineEdit::Password);
    m_passwordEntry->setPlaceholderText(UFM::OPTIONAL_PASSWORD_TEXT());
    m_passwordReEntry = new QLineEdit(m_passwordSection);
    m_passwordReEntry->setEchoMode(QLineEdit::Password);
    m_passwordReEntry->setPlaceholderText(UFM::VERIFY_PASSWORD_TEXT());
    // The placeholder goes once something is typed; the name stays for assistive tools.
    m_passwordReEntry->setAccessibleName(UFM::CONFIRM_PASSWORD_TEXT());
    auto* passwordLayout = new QVBoxLayout(m_passwordSection);
    passwordLayout->setContentsMargins(6, 6, 6, 6);
    passwordLayout->addWidget(m_passwordHeader);
    passwordLayout->addWidget(m_passwordEntry);
    passwordLayout->addWidget(m_passwordReEntry);
    if (hasGroup) {
        m_passwordSection->setObjectName(QStringLiteral("passwordSection"));
        m_passwordSection->setStyleSheet(QStringLiteral("#passwordSection { border: 1px solid rgba(171, 171, 171, 128);"
                                                        " background: rgba(196, 196, 196, 128); }"));
    }

    m_aliasField = new QLineEdit(this);
    m_copyButton = new QPushButton(this);
    m_validImage = new QLabel(this);
    m_validImage->setFixedSize(20, 20);
    m_aliasSpinner = new QProgressBar(this);
    m_aliasSpinner->setRange(0, 0);
    m_aliasSpinner->setFixedWidth(30);
    m_aliasSpinner->setTextVisible(false);
    m_aliasErrorLabel = new QLabel(this);
    m_aliasErrorLabel->setWordWrap(true);

    m_nextButton = new QPushButton(UFM::NEXT_TEXT(), this);
    m_nextButton->setDefault(true);
    m_cancelButton = new QPushButton(UFM::CANCEL_TEXT(), this);
    for (QWidget* widget : {static_cast<QWidget*>(m_cancelButton), static_cast<QWidget*>(m_nextButton),
                            static_cast<QWidget*>(m_remixCheckbox), static_cast<QWidget*>(m_titleField),
                            static_cast<QWidget*>(m_descriptionTextView), static_cast<QWidget*>(m_passwordReEntry)}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::ButtonText, black);
        palette.setColor(QPalette::Text, black);
        widget->setPalette(palette);
    }

    // The options, their line and the remix choice form one group, named for assistive tools as the privacy
    // settings of the document.
    auto* privacyOptions = new QWidget(this);
    privacyOptions->setAccessibleName(UFM::PRIVACY_SETTINGS_TEXT());
    auto* privacyBox = new QVBoxLayout(privacyOptions);
    privacyBox->setContentsMargins(0, 0, 0, 0);
    privacyBox->addWidget(m_publicRadio);
    privacyBox->addWidget(m_groupRadio);
    privacyBox->addWidget(m_protectedRadio);
    privacyBox->addWidget(m_privateRadio);
    privacyBox->addWidget(m_privacyDetailsLabel);
    privacyBox->addWidget(m_remixCheckbox);
    auto* aliasRow = new QHBoxLayout;
    aliasRow->addWidget(m_aliasField, 1);
    aliasRow->addWidget(m_aliasSpinner);
    aliasRow->addWidget(m_validImage);
    auto* form = new QFormLayout;
    form->addRow(UFM::TITLE_TEXT(), m_titleField);
    form->addRow(UFM::DESCRIPTION_TEXT(), m_descriptionTextView);
    form->addRow(UFM::PRIVACY_TEXT(), privacyOptions);
    form->addRow(QString(), m_passwordSection);
    // The field of the document's own short link says what it is for; the copy button under it shows the link.
    auto* aliasLabel = new QLabel(UFM::SHORT_LINK_TEXT(), this);
    aliasLabel->setBuddy(m_aliasField);
    form->addRow(aliasLabel, aliasRow);
    form->addRow(QString(), m_aliasErrorLabel);
    form->addRow(QString(), m_copyButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_nextButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_topHeaderLabel);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(480);

    const auto filePackage = package();
    const QString title = m_model ? m_model->title() : QString();
    if (!title.isEmpty() && title != UFM::UNTITLED_TEXT())
        m_titleField->setText(title);
    if (filePackage && !filePackage->metaData().tessarineDescription().isEmpty())
        m_descriptionTextView->setPlainText(filePackage->metaData().tessarineDescription());
    else if (m_model && !m_model->description().isEmpty())
        m_descriptionTextView->setPlainText(m_model->description());
    const QString alias = m_model ? m_model->alias() : QString();
    m_aliasField->setText(alias);
    m_copyButton->setText(alias.isEmpty() ? shortLinkFor(QString()) + QStringLiteral("…") : shortLinkFor(alias));
    setStatusCleared();

    m_remixCheckbox->setChecked(m_model && m_model->canRemix());
    m_lastRememberedUserSelectedRemixState = m_remixCheckbox->isChecked();

    std::optional<QString> privacy = filePackage ? filePackage->metaData().privacySetting() : std::nullopt;
    if (!privacy || privacy->isEmpty())
        privacy = hasGroup ? kGroup : kPublic;
    selectItemForPrivacySetting(*privacy);

    connect(m_privacyGroup, &QButtonGroup::buttonClicked, this, [this] { onRadioItemSelected(); });
    connect(m_remixCheckbox, &QCheckBox::clicked, this, [this] { onRemixToggled(true); });
    connect(m_passwordEntry, &QLineEdit::textEdited, this, [this] { onPasswordTextChanged(); });
    connect(m_passwordReEntry, &QLineEdit::textEdited, this, [this] { onPasswordTextChanged(); });
    // Only the password fields drop the stored password's bullets: editing the title or the description keeps
    // the password as it is.
    connect(m_aliasField, &QLineEdit::textChanged, this, [this] { onAliasTextChanged(); });
    connect(m_copyButton, &QPushButton::clicked, this, [this] { flowLinkButtonPressed(); });
    connect(m_nextButton, &QPushButton::clicked, this, [this] { onEditingDone(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { onCancel(); });
}

QVREditTessarineDetailsWindowController::~QVREditTessarineDetailsWindowController() = default;

std::shared_ptr<ZERI_qvdFilePackage> QVREditTessarineDetailsWindowController::package() const
{
    return m_model ? std::dynamic_pointer_cast<ZERI_qvdFilePackage>(m_model->filePackage()) : nullptr;
}

QString QVREditTessarineDetailsWindowController::shortLinkFor(const QString& alias) const
{
    return QVROpenRequest::shortLinkBase() + alias;
}

QString QVREditTessarineDetailsWindowController::stringValueOfPrivacyPermissionNumber(int number)
{
    switch (number) {
    case 1:
        return kPublic;
    case 2:
        return kProtected;
    case 3:
        return kPrivate;
    default:
        return kGroup;
    }
}

QRadioButton* QVREditTessarineDetailsWindowController::selectedRadio() const
{
    return qobject_cast<QRadioButton*>(m_privacyGroup->checkedButton());
}

std::optional<QString> QVREditTessarineDetailsWindowController::selectedPrivacySetting() const
{
    const QRadioButton* radio = selectedRadio();
    if (radio == m_publicRadio)
        return kPublic;
    if (radio == m_groupRadio)
        return kGroup;
    if (radio == m_protectedRadio)
        return kProtected;
    if (radio == m_privateRadio)
        return kPrivate;
    return std::nullopt;
}

void QVREditTessarineDetailsWindowController::selectItemForPrivacySetting(const QString& option)
{
    QRadioButton* radio = nullptr;
    if (option == kPublic)
        radio = m_publicRadio;
    else if (option == kGroup && m_privacyGroup->buttons().contains(m_groupRadio))
        radio = m_groupRadio;
    else if (option == kProtected)
        radio = m_protectedRadio;
    else if (option == kPrivate)
        radio = m_privateRadio;
    if (radio) {
        radio->setChecked(true);
    } else if (QAbstractButton* checked = m_privacyGroup->checkedButton()) {
        m_privacyGroup->setExclusive(false);
        checked->setChecked(false);
        m_privacyGroup->setExclusive(true);
    }
    onRadioItemSelected();
}

void QVREditTessarineDetailsWindowController::onRadioItemSelected()
{
    m_nextButton->setEnabled(true);
    const auto option = selectedPrivacySetting();
    m_passwordHeader->setEnabled(needsPassword(option));
    if (needsPassword(option)) {
        m_passwordEntry->setEnabled(true);
        m_passwordReEntry->setEnabled(true);
        const auto filePackage = package();
        if (filePackage && filePackage->metaData().hasPassword()) {
            m_passwordEntry->setText(kPasswordBullets);
            m_passwordReEntry->setText(kPasswordBullets);
        }
    } else {
        m_passwordEntry->clear();
        m_passwordReEntry->clear();
        m_passwordEntry->setEnabled(false);
        m_passwordReEntry->setEnabled(false);
    }
    if (option == kGroup) {
        m_remixCheckbox->setChecked(true);
        m_remixCheckbox->setEnabled(false);
    } else if (option == kPrivate) {
        m_remixCheckbox->setChecked(false);
        m_remixCheckbox->setEnabled(false);
    } else {
        m_remixCheckbox->setEnabled(true);
        m_remixCheckbox->setChecked(m_lastRememberedUserSelectedRemixState);
    }
    onRemixToggled(false);
    showPrivacyDetails();
    // Tab enters the options at the chosen one, whether the user or the stored setting chose it; the arrows then
    // move the choice.
    const QAbstractButton* chosen = m_privacyGroup->checkedButton();
    for (QAbstractButton* radio : m_privacyGroup->buttons())
        radio->setFocusPolicy(!chosen || radio == chosen ? Qt::StrongFocus : Qt::ClickFocus);
}

void QVREditTessarineDetailsWindowController::showPrivacyDetails()
{
    const auto option = selectedPrivacySetting();
    const bool withPassword = !m_passwordEntry->text().isEmpty() || !m_passwordReEntry->text().isEmpty();
    QString details;
    if (option == kPublic)
        details = UFM::PUBLIC_DETAILS_TEXT();
    else if (option == kGroup)
        details = withPassword ? UFM::PASSWORD_PROTECTED_FOR_NONGROUP_USERS_TEXT() : UFM::GROUP_DETAILS_TEXT();
    else if (option == kPrivate)
        details = UFM::PRIVATE_DETAILS_TEXT();
    else if (option == kProtected)
        details = withPassword ? UFM::PASSWORD_PROTECTED_DETAILS_TEXT() : UFM::RESTRICTED_DETAILS_TEXT();
    m_privacyDetailsLabel->setText(details);
    m_privacyDetailsLabel->setVisible(!details.isEmpty());
}

void QVREditTessarineDetailsWindowController::onRemixToggled(bool byUser)
{
    if (m_model)
        m_model->setCanRemix(m_remixCheckbox->isChecked());
    if (byUser)
        m_lastRememberedUserSelectedRemixState = m_remixCheckbox->isChecked();
}

void QVREditTessarineDetailsWindowController::onPasswordTextChanged()
{
    // Typing into a field that shows the stored password's bullets leaves only what was typed.
    for (QLineEdit* field : {m_passwordEntry, m_passwordReEntry}) {
        QString text = field->text();
        if (text.contains(QChar(0x2022))) {
            text.remove(QChar(0x2022));
            field->setText(text);
        }
    }
    showPrivacyDetails();
}

std::optional<QString> QVREditTessarineDetailsWindowController::passwordToSaveWith() const
{
    const QString entry = m_passwordEntry->text();
    const QString reEntry = m_passwordReEntry->text();
    if (needsPassword(selectedPrivacySetting()) && !entry.isEmpty() && !reEntry.isEmpty()) {
        if (reEntry == kPasswordBullets)
            return std::nullopt;
        return reEntry;
    }
    if (!reEntry.isEmpty())
        return QString();
    const auto filePackage = package();
    if (filePackage && filePackage->metaData().hasPassword())
        return QString();
    return std::nullopt;
}

void QVREditTessarineDetailsWindowController::onAliasTextChanged()
{
    ++m_aliasSequence; // any answer still on its way is for an older text
    const QString alias = m_aliasField->text();
    if (alias.isEmpty()) {
        m_copyButton->setText(shortLinkFor(QString()) + QStringLiteral("…"));
        setStatusCleared();
        return;
    }
    setStatusChecking();
    setValidImage(QString());
    m_copyButton->setText(shortLinkFor(alias));
    if (m_model && alias == m_model->alias()) {
        setStatusCleared();
        return;
    }
    if (alias.size() > kMaxAliasLength) { // UTF-16 code units
        setStatusAnswer(QStringLiteral("Limited to 64 characters, you must delete %1 characters")
                            .arg(alias.size() - kMaxAliasLength));
        return;
    }
    qCInfo(lcLibrary) << "checking alias…";
    const quint64 sequence = m_aliasSequence;
    QPointer<QVREditTessarineDetailsWindowController> self(this);
    CorvikBlockAPIBinding::checkForAlias(alias, Tessutils::corvikAuthToken(),
                                         [self, sequence](const QString& reply, const QString&) {
                                             if (self)
                                                 self->onAliasReply(sequence, reply);
                                         });
}

void QVREditTessarineDetailsWindowController::onAliasReply(quint64 sequence, const QString& reply)
{
    if (sequence != m_aliasSequence)
        return;
    setStatusAnswer(aliasReplyMessage(reply));
}

void QVREditTessarineDetailsWindowController::setNextAndCopyEnabled(bool enabled)
{
    m_nextButton->setEnabled(enabled);
    m_copyButton->setEnabled(enabled);
    setAlpha(m_nextButton, enabled ? 1.0 : 0.5);
    setAlpha(m_copyButton, enabled ? 1.0 : 0.5);
}

void QVREditTessarineDetailsWindowController::setValidImage(const QString& name)
{
    m_validImageName = name;
    const QImage image = name.isEmpty() ? QImage() : UNIImage::imageNamed(name).CGImage();
    if (image.isNull())
        m_validImage->clear();
    else
        m_validImage->setPixmap(
            QPixmap::fromImage(image.scaled(20, 20, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void QVREditTessarineDetailsWindowController::setStatusChecking()
{
    m_checking = true;
    setNextAndCopyEnabled(false);
    m_aliasSpinner->show();
    m_validImage->show();
    setValidImage(QString());
    m_aliasErrorLabel->clear();
}

void QVREditTessarineDetailsWindowController::setStatusAnswer(const QString& error)
{
    m_checking = false;
    m_aliasSpinner->hide();
    m_validImage->show();
    m_aliasErrorLabel->setText(error);
    setValidImage(error.isEmpty() ? QStringLiteral("yes_box") : QStringLiteral("no_box"));
    setNextAndCopyEnabled(error.isEmpty());
}

void QVREditTessarineDetailsWindowController::setStatusCleared()
{
    m_checking = false;
    setNextAndCopyEnabled(true);
    m_aliasSpinner->hide();
    m_validImage->hide();
    setValidImage(QString());
    m_aliasErrorLabel->clear();
}

void QVREditTessarineDetailsWindowController::flowLinkButtonPressed()
{
    // The link the button shows, so what is pasted opens the document.
    const QString alias = m_aliasField->text();
    if (alias.isEmpty())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(shortLinkFor(alias));
}

void QVREditTessarineDetailsWindowController::onEditingDone()
{
    if (m_passwordEntry->text() != m_passwordReEntry->text()) {
        AlertRequest request;
        request.style = AlertRequest::Style::Warning;
        request.messageText = UFM::PASSWORD_FIELDS_DONT_MATCH_TEXT();
        AlertPresenter::shared().runModal(request, this);
        return;
    }
    if (m_model) {
        if (const auto flow = m_model->firstFlowmodel())
            flow->setTitle(m_titleField->text());
        m_model->setAlias(m_aliasField->text());
        m_model->setDescription(m_descriptionTextView->toPlainText());
    }
    done(SheetRunner::kDone);
}

void QVREditTessarineDetailsWindowController::onCancel()
{
    done(SheetRunner::kCancelled);
}

void QVREditTessarineDetailsWindowController::reject()
{
    onCancel();
}
