#include "platform/widgets/WidgetFileChooser.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QPointer>

#include "platform/widgets/ModalActivation.h"

namespace {

const char* const kCheckBoxName = "tessFileChooserCheckBox";

} // namespace

QString WidgetFileChooser::nameFilter(const QStringList& extensions)
{
    QStringList patterns;
    for (QString extension : extensions) {
        while (extension.startsWith(QLatin1Char('.')))
            extension.remove(0, 1);
        if (extension.isEmpty())
            continue;
        // The dialog matches patterns with case on Linux; files from other systems often carry upper-case names.
        patterns << QStringLiteral("*.") + extension.toLower() << QStringLiteral("*.") + extension.toUpper();
    }
    patterns.removeDuplicates();
    if (patterns.isEmpty())
        return {};
    return QObject::tr("Files (%1)").arg(patterns.join(QLatin1Char(' ')));
}

QFileDialog* WidgetFileChooser::makeDialog(const FileChooserRequest& request, QWidget* parent)
{
    auto* dialog = new QFileDialog(parent, request.title, FileChooser::startingFolder(request));
    ModalActivation::keepOnDialog(dialog);
    // Qt's own dialog everywhere: the same dialog on every desktop, and one that accessibility tools and the
    // application's tests can drive like any other window.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    switch (request.mode) {
    case FileChooserRequest::Mode::OpenFile:
        dialog->setFileMode(QFileDialog::ExistingFile);
        break;
    case FileChooserRequest::Mode::OpenFiles:
        dialog->setFileMode(QFileDialog::ExistingFiles);
        break;
    case FileChooserRequest::Mode::OpenFolder:
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        break;
    case FileChooserRequest::Mode::Save:
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        if (!request.allowedExtensions.isEmpty())
            dialog->setDefaultSuffix(request.allowedExtensions.first());
        if (!request.proposedName.isEmpty())
            dialog->selectFile(request.proposedName);
        break;
    }
    const QString filter = nameFilter(request.allowedExtensions);
    if (!filter.isEmpty() && request.mode != FileChooserRequest::Mode::OpenFolder)
        dialog->setNameFilter(filter);

    if (!request.checkBoxTitle.isEmpty()) {
        auto* checkBox = new QCheckBox(request.checkBoxTitle, dialog);
        checkBox->setObjectName(QLatin1String(kCheckBoxName));
        checkBox->setChecked(request.checkBoxChecked);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog->layout()))
            grid->addWidget(checkBox, grid->rowCount(), 0, 1, grid->columnCount());
    }
    return dialog;
}

FileChooserResponse WidgetFileChooser::response(const QFileDialog* dialog, int result)
{
    FileChooserResponse response;
    if (const auto* checkBox = dialog->findChild<QCheckBox*>(QLatin1String(kCheckBoxName)))
        response.checkBoxChecked = checkBox->isChecked();
    if (result == QDialog::Accepted)
        response.paths = dialog->selectedFiles();
    return response;
}

FileChooserResponse WidgetFileChooser::runModal(const FileChooserRequest& request, QWidget* parent)
{
    QPointer<QFileDialog> dialog = makeDialog(request, parent);
    const int result = dialog->exec();
    if (!dialog)
        return {};
    const FileChooserResponse answer = response(dialog, result);
    delete dialog;
    return answer;
}

void WidgetFileChooser::show(const FileChooserRequest& request, QWidget* parent,
                             std::function<void(const FileChooserResponse&)> done)
{
    QFileDialog* dialog = makeDialog(request, parent);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done](int result) {
        if (done)
            done(response(dialog, result));
    });
    dialog->open();
}
