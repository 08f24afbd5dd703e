#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>

#include "platform/Error.h"
#include "pptx/converter/QVRPowerPointConverter.h"

class QWidget;
class ZERI_TessarineModel;

// Imports PowerPoint decks chosen by the user: asks for a .pptx file, converts it (one import at a time: a new
// one cancels the running one), asks about fonts the application does not offer, reports failures and opens the
// new document in a creator window. Main thread only.
class QVRPowerpointImportManager : public QObject {
    Q_OBJECT
public:
    static constexpr const char* errorDomain = "com.quorvanta.QVRPowerpointImportManager";
    // The import ended without a document because the user (or a newer import) stopped it.
    enum ErrorCode { Cancelled = 1 };

    // Called once per import with the new document, or with an error: the converter's, or code 1 here for a
    // cancel (no file chosen, the font question cancelled, cancelCurrentImport, a newer import).
    using Completion = std::function<void(const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error)>;

    // What the user answered about one unsupported font.
    struct FontReplacementAnswer {
        bool cancelled = false;        // the whole import is to stop
        bool pickReplacements = false; // no more questions in this import: the default font for the rest
        QString chosenFontName;        // the PostScript name chosen for this font
    };
    using FontReplacementAnswerBlock = std::function<void(const FontReplacementAnswer& answer)>;
    // Shows the font replacement question, window-modal to `window` (may be null), and answers once.
    using FontReplacementPrompt =
        std::function<void(QWidget* window, const QString& fontName, FontReplacementAnswerBlock answer)>;

    static QVRPowerpointImportManager& shared();
    // The font replacement window registers itself here. Without a prompt every unsupported font takes the
    // default font without a question.
    static void setFontReplacementPrompt(FontReplacementPrompt prompt);

    // Asks for a .pptx file (window-modal to `window` when given) and imports the first file chosen.
    void importPowerpoint(QWidget* window, Completion completion);
    // Imports `path` as if it had been chosen.
    void importFile(const QString& path, QWidget* window, Completion completion);
    // Stops the running import; its completion runs with code 1.
    void cancelCurrentImport();
    QVRPowerPointConverter* pptConverter() const { return m_converter; }

    // Logs a failed import and tells the user, except for a cancel; `afterwards` runs once the alert has closed
    // (at once when none shows).
    static void handleError(const Error& error, QWidget* window = nullptr, std::function<void()> afterwards = {});
    static Error cancelledError();

signals:
    // The running import's progress, 0 to 1, never decreasing within one import.
    void importProgress(double fraction);

private:
    QVRPowerpointImportManager() = default;
    void conversionDone(const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error);
    void askAboutFont(const QPointer<QVRPowerPointConverter>& converter, const QString& fontName,
                      const std::function<void(const QString&)>& answer);
    void dropConverter();

    QPointer<QVRPowerPointConverter> m_converter;
    QPointer<QWidget> m_window;
    Completion m_completion;
    bool m_autoReplaceFonts = false;
};
