#pragma once

#include <functional>
#include <memory>

#include <QRectF>
#include <QSizeF>
#include <QString>

class QPrinter;
class QWidget;
class QVR_PrintView;
class ZERI_TessarineModel;

// Asks how a print job is to go: shows the print dialog for `printer`, with `accessory` as an extra tab, modal
// to `window`, and calls `done` on the main thread with whether the user chose to print. The application shows
// Qt's print dialog; tests set the printer up and accept at once.
class PrintDialogPresenter {
public:
    virtual ~PrintDialogPresenter() = default;
    virtual void run(QPrinter& printer, QWidget* window, QWidget* accessory,
                     std::function<void(bool accepted)> done) = 0;
};

// Prints documents: a landscape job of one page per screen of the first flow, fitted into 95 % of the paper and
// centred, each screen followed by the pages its options add. The pages are painted on a worker after the dialog.
class QVR_PrintManager {
public:
    static QVR_PrintManager& sharedManager();

    // Main thread. A document without screens starts no job and tells the user. `done` (optional) runs on the
    // main thread when the job ends, with whether pages were printed.
    static void printModel(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window,
                           std::function<void(bool success)> done = {});

    // The rectangle of `size` scaled to fit inside `box`, at the box's top or left unless centred, in single
    // precision; the zero rectangle when a side is zero or not finite.
    static QRectF sizeAdjustedToFitInsideSize(const QSizeF& size, const QSizeF& box, bool shouldCenter = false);

    // Paints the pages of `view` that the printer's page ranges name (every page when they name none) on
    // `printer`, its page size already set; any thread. False when nothing could be painted.
    static bool paintPages(const QVR_PrintView& view, QPrinter& printer);

    // The printer's paper, in points, and the page fitted into it.
    static QSizeF fittedPageSize(const QSizeF& screenSize, const QSizeF& paper);

    // nullptr restores Qt's dialog.
    static void setDialogPresenter(std::unique_ptr<PrintDialogPresenter> presenter);

    void printOperationDidRun(bool success);

private:
    QVR_PrintManager() = default;
};
