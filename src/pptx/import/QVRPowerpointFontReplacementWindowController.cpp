#include "pptx/import/QVRPowerpointFontReplacementWindowController.h"

#include <memory>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "foundation/FontSubstitution.h"
#include "inspector/pickers/QVRFontPicker_v2.h"
#include "pptx/converter/QVRPowerPointConverter.h"
#include "pptx/import/PptxFontCatalogue.h"
#include "pptx/import/QVRPowerpointImportManager.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"

namespace {

const QString kExampleText = QStringLiteral("The quick brown fox jumps over the lazy dog. 0123456789");

} // namespace

QVRPowerpointFontReplacementWindowController::QVRPowerpointFontReplacementWindowController(QWidget* parent)
    : QDialog(parent)
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Unsupported Font"));

    m_headerLabel = new QLabel(this);
    QFont headerFont = m_headerLabel->font();
    headerFont.setBold(true);
    m_headerLabel->setFont(headerFont);
    m_headerLabel->setWordWrap(true);

    m_fontPickerHolder = new QWidget(this);
    m_exampleTextView = new QTextEdit(this);
    m_exampleTextView->setReadOnly(true);
    m_exampleTextView->setMinimumSize(360, 90);

    m_chooseButton = new QPushButton(QStringLiteral("Choose"), this);
    m_chooseButton->setDefault(true);
    m_pickReplacementsButton = new QPushButton(QStringLiteral("Pick Replacements"), this);
    m_cancelButton = new QPushButton(UFM::CANCEL_TEXT(), this);
    connect(m_chooseButton, &QPushButton::clicked, this, [this] { chooseButtonPressed(); });
    connect(m_pickReplacementsButton, &QPushButton::clicked, this, [this] { pickReplacementsButtonPressed(); });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { cancelButtonPressed(); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cancelButton);
    buttons->addStretch(1);
    buttons->addWidget(m_pickReplacementsButton);
    buttons->addWidget(m_chooseButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(12);
    layout->addWidget(m_headerLabel);
    layout->addWidget(m_fontPickerHolder);
    layout->addWidget(m_exampleTextView, 1);
    layout->addLayout(buttons);

    createFontPicker();
    setupHeaderText();
}

void QVRPowerpointFontReplacementWindowController::registerAsFontReplacementPrompt()
{
    QVRPowerpointImportManager::setFontReplacementPrompt(
        [](QWidget* window, const QString& fontName, QVRPowerpointImportManager::FontReplacementAnswerBlock answer) {
            auto* dialog = new QVRPowerpointFontReplacementWindowController(window);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->setUnsupportedFontName(fontName);
            // One answer, whichever way the dialog goes: a button, a close, or its window deleted under it (a
            // Cancel then, so the import never waits on a question nobody can answer).
            auto answered = std::make_shared<bool>(false);
            QObject::connect(dialog, &QDialog::finished, dialog, [dialog, answer, answered] {
                if (*answered)
                    return;
                *answered = true;
                QVRPowerpointImportManager::FontReplacementAnswer reply;
                reply.cancelled = dialog->cancelled();
                reply.pickReplacements = dialog->pickReplacementsPressed();
                reply.chosenFontName = dialog->userChosenFontName();
                answer(reply);
            });
            QObject::connect(dialog, &QObject::destroyed, [answer, answered] {
                if (*answered)
                    return;
                *answered = true;
                QVRPowerpointImportManager::FontReplacementAnswer reply;
                reply.cancelled = true;
                answer(reply);
            });
            // An import stopped some other way (a newer import) takes its question away with it.
            if (QVRPowerPointConverter* converter = QVRPowerpointImportManager::shared().pptConverter())
                QObject::connect(converter, &QObject::destroyed, dialog, &QDialog::close);
            dialog->open();
        });
}

void QVRPowerpointFontReplacementWindowController::createFontPicker()
{
    m_fontPicker = new QVRFontPicker_v2(m_fontPickerHolder);
    m_fontPicker->setDocked(false);
    m_fontPicker->setFontList(&PptxFontCatalogue::fontList());
    auto* holderLayout = new QHBoxLayout(m_fontPickerHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holderLayout->addWidget(m_fontPicker);
    holderLayout->addStretch(1);
    m_fontPicker->onFontChanged = [this](const QString& postScriptName) { showFont(postScriptName); };

    m_exampleTextView->setPlainText(kExampleText);
    const QString initial = ZERI_MMObject_Text::defaultFontName();
    if (const auto font = FontSubstitution::documentFont(initial, kFontPointSize))
        m_fontPicker->setSelectedFont(*font);
    showFont(initial);
}

void QVRPowerpointFontReplacementWindowController::showFont(const QString& postScriptName)
{
    m_userChosenFontName = postScriptName;
    m_exampleTextView->selectAll();
    m_exampleTextView->setCurrentFont(FontSubstitution::fontForPostScriptName(postScriptName, kFontPointSize));
    m_exampleTextView->moveCursor(QTextCursor::Start);
}

void QVRPowerpointFontReplacementWindowController::setUnsupportedFontName(const QString& name)
{
    m_unsupportedFontName = name;
    setupHeaderText();
}

void QVRPowerpointFontReplacementWindowController::setupHeaderText()
{
    m_headerLabel->setText(QStringLiteral("Unsupported font \"%1\" encountered").arg(m_unsupportedFontName));
}

void QVRPowerpointFontReplacementWindowController::chooseButtonPressed()
{
    dismiss();
}

void QVRPowerpointFontReplacementWindowController::pickReplacementsButtonPressed()
{
    m_pickReplacementsPressed = true;
    dismiss();
}

void QVRPowerpointFontReplacementWindowController::cancelButtonPressed()
{
    m_cancelled = true;
    dismiss();
}

void QVRPowerpointFontReplacementWindowController::reject()
{
    // Escape or the window's close button: the question is not answered, so the import stops.
    if (!m_dismissed)
        m_cancelled = true;
    dismiss();
}

void QVRPowerpointFontReplacementWindowController::dismiss()
{
    if (m_dismissed)
        return;
    m_dismissed = true;
    done(m_cancelled ? QDialog::Rejected : QDialog::Accepted);
}
