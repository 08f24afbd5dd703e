#include "pptx/import/QVRPowerpointImportManager.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>
#include <QWidget>

#include "app/QVRAnalytics.h"
#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "platform/MainThread.h"
#include "pptx/converter/QVRPowerPointConverter.h"
#include "service/QVROpenRequest.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

Q_LOGGING_CATEGORY(lcPptxManager, "tess.pptx.manager", QtWarningMsg)

namespace {

// The user default keeping the folder the user last chose in this chooser.
const char* const kLastImportFolderKey = "qvr_lastPowerpointImportDirectoryKey";

QVRPowerpointImportManager::FontReplacementPrompt& fontPrompt()
{
    static QVRPowerpointImportManager::FontReplacementPrompt prompt;
    return prompt;
}

QVariantMap fontParameter(const QString& fontName)
{
    return {{QStringLiteral("UnsupportedFont"), fontName}};
}

} // namespace

QVRPowerpointImportManager& QVRPowerpointImportManager::shared()
{
    static QVRPowerpointImportManager* manager = new QVRPowerpointImportManager();
    return *manager;
}

void QVRPowerpointImportManager::setFontReplacementPrompt(FontReplacementPrompt prompt)
{
    fontPrompt() = std::move(prompt);
}

Error QVRPowerpointImportManager::cancelledError()
{
    return Error(QString::fromLatin1(errorDomain), Cancelled, QStringLiteral("The PowerPoint import was cancelled"));
}

void QVRPowerpointImportManager::importPowerpoint(QWidget* window, Completion completion)
{
    Q_ASSERT(MainThread::isMainThread());
    FileChooserRequest request;
    request.mode = FileChooserRequest::Mode::OpenFiles;
    request.allowedExtensions = {QStringLiteral("pptx")};
    // The folder of the last deck chosen, or the user's documents.
    request.directory = FileChooser::rememberedFolder(QString::fromLatin1(kLastImportFolderKey));
    request.place = FileChooserRequest::Place::Documents;
    QPointer<QWidget> guardedWindow = window;
    FileChooser::shared().show(request, window, [this, guardedWindow, completion](const FileChooserResponse& response) {
        // Further chosen files are ignored.
        if (!response.accepted()) {
            if (completion)
                completion(nullptr, cancelledError());
            return;
        }
        FileChooser::rememberFolder(QString::fromLatin1(kLastImportFolderKey), response);
        importFile(response.paths.first(), guardedWindow, completion);
    });
}

void QVRPowerpointImportManager::importFile(const QString& path, QWidget* window, Completion completion)
{
    cancelCurrentImport();
    m_window = window;
    m_completion = std::move(completion);
    m_autoReplaceFonts = false;
    auto* converter = new QVRPowerPointConverter(this);
    m_converter = converter;
    converter->setInputFileURL(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    QPointer<QVRPowerPointConverter> guarded = converter;
    converter->setOnDone([this, guarded](const std::shared_ptr<ZERI_TessarineModel>& document, const Error& error,
                                         QVRPowerPointConverter* from) {
        if (!guarded || from != m_converter)
            return;
        conversionDone(document, error);
    });
    converter->setFontNeedsReplacing(
        [this, guarded](const QString& fontName, const QVRPowerPointConverter::FontAnswer& answer) {
            askAboutFont(guarded, fontName, answer);
        });
    converter->setOnProgress([this, guarded](double fraction) {
        if (guarded && guarded == m_converter)
            emit importProgress(fraction);
    });
    converter->startConverting();
}

void QVRPowerpointImportManager::cancelCurrentImport()
{
    if (!m_converter)
        return;
    m_converter->cancel();
    dropConverter();
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (completion)
        completion(nullptr, cancelledError());
}

void QVRPowerpointImportManager::dropConverter()
{
    if (m_converter)
        m_converter->deleteLater();
    m_converter = nullptr;
}

void QVRPowerpointImportManager::conversionDone(const std::shared_ptr<ZERI_TessarineModel>& document,
                                                const Error& error)
{
    dropConverter();
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    if (!error.isNull() || !document) {
        // The caller hears of the failure once the user has read the alert: an overview asking for another file
        // must not put its file dialog over the alert.
        handleError(error.isNull() ? Error(QVRPowerPointConverter::errorDomain, QVRPowerPointConverter::ReadFailed,
                                           QStringLiteral("The import gave no document"))
                                   : error,
                    m_window, [completion, document, error] {
                        if (completion)
                            completion(document, error);
                    });
        return;
    }
    auto request = QVROpenRequest::request();
    request->setOpenCue(OpenCue(document));
    request->open([](const Error& openError) {
        if (!openError.isNull())
            qCWarning(lcPptxManager).noquote() << "Error" << openError.description();
    });
    QVRAnalytics::logEvent(QStringLiteral("Imported powerpoint"));
    if (completion)
        completion(document, error);
}

void QVRPowerpointImportManager::askAboutFont(const QPointer<QVRPowerPointConverter>& converter,
                                              const QString& fontName,
                                              const std::function<void(const QString&)>& answer)
{
    if (!converter || converter != m_converter || m_autoReplaceFonts || !fontPrompt()) {
        answer(QString());
        return;
    }
    fontPrompt()(m_window, fontName, [this, converter, fontName, answer](const FontReplacementAnswer& reply) {
        if (!converter || converter != m_converter) {
            answer(QString());
            return;
        }
        if (reply.cancelled) {
            QVRAnalytics::logEvent(QStringLiteral("Cancelled pptx import at font replacement"),
                                   fontParameter(fontName));
            cancelCurrentImport();
            answer(QString());
            return;
        }
        m_autoReplaceFonts = reply.pickReplacements;
        if (!reply.pickReplacements) {
            QVRAnalytics::logEvent(QStringLiteral("Pptx font replacement chosen"), fontParameter(fontName));
            answer(reply.chosenFontName);
        } else {
            QVRAnalytics::logEvent(QStringLiteral("Pptx auto-choose fonts"), fontParameter(fontName));
            answer(QString());
        }
    });
}

void QVRPowerpointImportManager::handleError(const Error& error, QWidget* window, std::function<void()> afterwards)
{
    qCWarning(lcPptxManager).noquote() << "ppt import error:" << error.description();
    if (error.domain != QVRPowerPointConverter::errorDomain) {
        // The manager's own cancel: nothing to tell.
        if (afterwards)
            afterwards();
        return;
    }
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.messageText = UFM::PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_MESSAGE();
    if (error.code == QVRPowerPointConverter::NotAPresentation) {
        QVRAnalytics::logEvent(QStringLiteral("Powerpoint unsupported file"));
        alert.informativeText = UFM::PPT_IMPORT_ERROR_FORMAT_NOT_RECOGNIZED_INFORMATION();
    } else {
        // A damaged or vanished deck is told too, so the user never waits on an import that silently ended.
        alert.informativeText = UFM::PPT_IMPORT_ERROR_DAMAGED_INFORMATION();
    }
    AlertPresenter::shared().show(alert, window, [afterwards = std::move(afterwards)](const AlertResponse&) {
        if (afterwards)
            afterwards();
    });
}
