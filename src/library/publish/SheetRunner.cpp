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
    bool ended = false;
    QPointer<QDialog> guard(&sheet);
    const auto connection = QObject::connect(&sheet, &QDialog::finished, &loop, [&](int code) {
        result = code;
        ended = true;
        loop.quit();
    });
    // A sheet deleted while it runs (its window closing) ends the loop as cancelled.
    const auto destroyed = QObject::connect(&sheet, &QObject::destroyed, &loop, &QEventLoop::quit);
    sheet.show();
    if (!ended) // a sheet may end while it is being shown
        loop.exec(QEventLoop::DialogExec);
    if (guard) {
        QObject::disconnect(destroyed);
        QObject::disconnect(connection);
        sheet.hide();
    }
    return result;
}
