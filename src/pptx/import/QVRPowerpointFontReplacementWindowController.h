#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QTextEdit>

#include "inspector/pickers/QVRFontPicker_v2.h"

// The question asked about a typeface of a deck that the application does not offer: a window-modal dialog with
// a floating font picker over the import's font catalogue (PptxFontCatalogue), an example text in the picked font, and
// three answers: Choose (this font replaces the unsupported one), Pick replacements (no more questions in this import;
// the default font replaces the rest) and Cancel (the import stops). Closing the window is a Cancel.
class QVRPowerpointFontReplacementWindowController : public QDialog {
    Q_OBJECT
public:
    static constexpr double kFontPointSize = 16.0;

    explicit QVRPowerpointFontReplacementWindowController(QWidget* parent = nullptr);

    // Makes the import manager ask its font questions with this dialog.
    static void registerAsFontReplacementPrompt();

    void setUnsupportedFontName(const QString& name);
    QString unsupportedFontName() const { return m_unsupportedFontName; }
    // The PostScript name of the font the picker shows.
    QString userChosenFontName() const { return m_userChosenFontName; }
    bool pickReplacementsPressed() const { return m_pickReplacementsPressed; }
    bool cancelled() const { return m_cancelled; }

    QLabel* headerLabel() const { return m_headerLabel; }
    QTextEdit* exampleTextView() const { return m_exampleTextView; }
    QVRFontPicker_v2* fontPicker() const { return m_fontPicker; }
    QPushButton* chooseButton() const { return m_chooseButton; }
    QPushButton* pickReplacementsButton() const { return m_pickReplacementsButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    void chooseButtonPressed();
    void pickReplacementsButtonPressed();
    void cancelButtonPressed();

protected:
    void reject() override;

private:
    void createFontPicker();
    void setupHeaderText();
    void showFont(const QString& postScriptName);
    void dismiss();

    QString m_unsupportedFontName;
    QString m_userChosenFontName;
    bool m_pickReplacementsPressed = false;
    bool m_cancelled = false;
    bool m_dismissed = false;
    QPointer<QLabel> m_headerLabel;
    QPointer<QTextEdit> m_exampleTextView;
    QPointer<QWidget> m_fontPickerHolder;
    QPointer<QVRFontPicker_v2> m_fontPicker;
    QPointer<QPushButton> m_chooseButton;
    QPointer<QPushButton> m_pickReplacementsButton;
    QPointer<QPushButton> m_cancelButton;
};
