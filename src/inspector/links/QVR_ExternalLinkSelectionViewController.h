#pragma once

#include <optional>

#include <QPointer>

#include "inspector/links/QVR_LinkEditorPage.h"

// Edits a link to a web address or an e-mail address, both kept as web links ("mailto:" for e-mail). The text
// is stored as typed, with "http://" or "mailto:" put in front where it lacks one; a text that makes no usable
// address is refused and the panel stays.
class QVR_ExternalLinkSelectionViewController : public QVR_LinkEditorPage {
    Q_OBJECT
public:
    using QVR_LinkEditorPage::QVR_LinkEditorPage;

    void setupAsWebLink();
    void setupAsEmailLink();
    bool inEmailMode() const { return m_inEmailMode; }

    // The link text a save stores for what was typed, or nothing when it is refused.
    static std::optional<QString> webLinkTextFromInput(const QString& text);
    static std::optional<QString> emailLinkTextFromInput(const QString& text);

    // Returns whether the link was stored (the panel then closes).
    bool saveButtonPressed();
    void clearButtonPressed();

    QLabel* titleLabel() const { return m_titleLabel; }
    // Says why an address was refused; hidden otherwise.
    QLabel* problemLabel() const { return m_problemLabel; }
    QLineEdit* urlField() const { return m_urlField; }
    QPushButton* saveButton() const { return m_saveButton; }
    QPushButton* clearLinkButton() const { return m_clearButton; }

protected:
    void loadView() override;

private:
    void applyMode();

    bool m_inEmailMode = false;
    // The address stored when the page opened: saved again unchanged, whatever the mode.
    QString m_storedText;
    QPointer<QLabel> m_titleLabel;
    QPointer<QLabel> m_subtitleLabel;
    QPointer<QLabel> m_problemLabel;
    QPointer<QLineEdit> m_urlField;
    QPointer<QPushButton> m_saveButton;
    QPointer<QPushButton> m_clearButton;
};
