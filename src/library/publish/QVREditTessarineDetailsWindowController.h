#pragma once

#include <memory>
#include <optional>

#include <QDialog>
#include <QString>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QWidget;
class ZERI_TessarineModel;
class ZERI_qvdFilePackage;

// The first sheet of Publish: title, description, privacy option, password, remix and an optional short-link
// alias, checked with the service as it is typed. Next writes title, alias and description into the document
// and ends the sheet with kDone; Cancel ends it with kCancelled and leaves them as they were.
//
// Alias checks: each request carries a sequence number and only the answer to the latest one is shown, so a
// late answer to an older alias never changes the status of the one in the field.
//
// Lengths are counted in UTF-16 code units, as the service counts them. Main thread only.
class QVREditTessarineDetailsWindowController : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxAliasLength = 64;
    static const QString kPasswordBullets; // eight bullets

    explicit QVREditTessarineDetailsWindowController(std::shared_ptr<ZERI_TessarineModel> model,
                                                     QWidget* parent = nullptr);
    ~QVREditTessarineDetailsWindowController() override;

    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const { return m_model; }
    // The text of the selected option ("public", "enterprise_private", "protected", "private"); none when no
    // option is selected.
    std::optional<QString> selectedPrivacySetting() const;
    // None = keep the service's password, empty = no password, other text = the new password.
    std::optional<QString> passwordToSaveWith() const;
    void selectItemForPrivacySetting(const QString& option);
    static QString stringValueOfPrivacyPermissionNumber(int number);

    void onEditingDone();
    void onCancel();
    void onRadioItemSelected();
    void flowLinkButtonPressed();

    // Widgets, for the tests' scripted runner.
    QLineEdit* titleField() const { return m_titleField; }
    QPlainTextEdit* descriptionTextView() const { return m_descriptionTextView; }
    QLineEdit* aliasTextView() const { return m_aliasField; }
    QPushButton* aliasToClipboardButton() const { return m_copyButton; }
    QLineEdit* passwordEntryField() const { return m_passwordEntry; }
    QLineEdit* passwordReEntryField() const { return m_passwordReEntry; }
    QCheckBox* allowRemixCheckbox() const { return m_remixCheckbox; }
    QRadioButton* publicRadioButton() const { return m_publicRadio; }
    QRadioButton* groupRadioButton() const { return m_groupRadio; }
    QRadioButton* protectedRadioButton() const { return m_protectedRadio; }
    QRadioButton* privateRadioButton() const { return m_privateRadio; }
    QPushButton* nextButton() const { return m_nextButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* aliasURLErrorLabel() const { return m_aliasErrorLabel; }
    // Who may see the document with the selected privacy option (hidden while none is selected).
    QLabel* privacyDetailsLabel() const { return m_privacyDetailsLabel; }
    // "yes_box", "no_box" or empty: the image the status area shows.
    QString validURLImageName() const { return m_validImageName; }
    bool isCheckingAlias() const { return m_checking; }

protected:
    void reject() override;

private:
    void onRemixToggled(bool byUser);
    void onPasswordTextChanged();
    void showPrivacyDetails();
    void onAliasTextChanged();
    void onAliasReply(quint64 sequence, const QString& reply);
    void setStatusChecking();
    void setStatusAnswer(const QString& error);
    void setStatusCleared();
    void setValidImage(const QString& name);
    void setNextAndCopyEnabled(bool enabled);
    QString shortLinkFor(const QString& alias) const;
    QRadioButton* selectedRadio() const;
    std::shared_ptr<ZERI_qvdFilePackage> package() const;

    std::shared_ptr<ZERI_TessarineModel> m_model;
    bool m_lastRememberedUserSelectedRemixState = false;
    quint64 m_aliasSequence = 0; // the latest check; older answers are dropped
    bool m_checking = false;
    QString m_validImageName;

    QLabel* m_topHeaderLabel = nullptr;
    QLineEdit* m_titleField = nullptr;
    QPlainTextEdit* m_descriptionTextView = nullptr;
    QButtonGroup* m_privacyGroup = nullptr;
    QRadioButton* m_publicRadio = nullptr;
    QRadioButton* m_groupRadio = nullptr;
    QRadioButton* m_protectedRadio = nullptr;
    QRadioButton* m_privateRadio = nullptr;
    QCheckBox* m_remixCheckbox = nullptr;
    QWidget* m_passwordSection = nullptr;
    QLineEdit* m_passwordEntry = nullptr;
    QLineEdit* m_passwordReEntry = nullptr;
    QLineEdit* m_aliasField = nullptr;
    QPushButton* m_copyButton = nullptr;
    QLabel* m_validImage = nullptr;
    QLabel* m_privacyDetailsLabel = nullptr;
    QLabel* m_passwordHeader = nullptr;
    QProgressBar* m_aliasSpinner = nullptr;
    QLabel* m_aliasErrorLabel = nullptr;
    QPushButton* m_nextButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
