#pragma once

#include <QPointer>

#include "inspector/links/QVR_LinkEditorPage.h"

// Edits a link that opens another published document: its string id (typed, or cut from a pasted short link)
// and an optional 1-based screen number. The link is kept as a web link in the application's flow-link form.
class QVR_FlowEmbedLinkSelectionViewController : public QVR_LinkEditorPage {
    Q_OBJECT
public:
    using QVR_LinkEditorPage::QVR_LinkEditorPage;

    // The string id in `text`: the id after "/s/" of a short link, or the whole text, in lower case; empty unless
    // it is made of letters and digits only.
    static QString cleanedStringID(const QString& text);
    // The integer at the start of `text`, or −1 when there is none (or it does not fit in 32 bits).
    static int leadingInteger(const QString& text);

    void updateViews();
    void setTextFieldsFromMixedMediaObject(const Proxy& object);
    Proxy mixedMediaObject() const { return firstSelectedObject(); }
    QString getStringIDValueFromStringIDTextField() const;
    int getIndexValueFromScreenIDTextField() const;
    void stringIDTextFieldChanged();
    void screenIDTextFieldChanged();

    // Returns whether the panel was closed; an empty string id keeps it open and changes nothing.
    bool saveLinkButtonPressed();
    void clearLinkButtonPressed();

    QLineEdit* stringIDTextField() const { return m_stringIDField; }
    QLineEdit* screenIDTextField() const { return m_screenIDField; }
    QPushButton* saveLinkButton() const { return m_saveButton; }
    QPushButton* clearLinkButton() const { return m_clearButton; }
    QLabel* problemLabel() const { return m_problemLabel; }

protected:
    void loadView() override;

private:
    QPointer<QLineEdit> m_stringIDField;
    QPointer<QLineEdit> m_screenIDField;
    QPointer<QPushButton> m_saveButton;
    QPointer<QPushButton> m_clearButton;
    QPointer<QLabel> m_problemLabel;
};
