#include "library/publish/SheetRunner.h"

#include <QDialog>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

namespace {
SheetRunner::Runner& installedRunner()
{
    static SheetRunner::Runner runner;
    return runner;
}
} // namespace

int SheetRunner::run(QDialog& sheet, QWidget* parent)
{
    if (const Runner& runner = installedRunner())
        return runner(sheet, parent);
    return runInteractively(sheet, parent);
}

void SheetRunner::setRunnerForTesting(Runner runner)
{
    installedRunner() = std::move(runner);
}

int SheetRunner::runInteractively(QDialog& sheet, QWidget* parent)
{
    QWidget* window = parent ? parent->window() : nullptr;
    if (window && sheet.parentWidget() != window)
        sheet.setParent(window, sheet.windowFlags() | Qt::Sheet | Qt::Dialog);
    sheet.setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    QEventLoop loop;
    int result = kCancelled;
    QPointer<QDialog> guard(&sheet);
    const auto connection = QObject::connect(&sheet, &QDialog::finished, &loop, [&](int code) {
        result = code;
        loop.quit();
    });
    sheet.show();
    loop.exec(QEventLoop::DialogExec);
    if (guard) {
        QObject::disconnect(connection);
        sheet.hide();
    }
    return result;
}
