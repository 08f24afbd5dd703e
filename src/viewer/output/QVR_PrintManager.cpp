#include "viewer/output/QVR_PrintManager.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QFileInfo>
#include <QLineEdit>
#include <QPageRanges>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>

#include "platform/AlertPresenter.h"
#include "platform/FileChooser.h"
#include "platform/MainThread.h"
#include "platform/WorkerThreads.h"
#include "strings/StringTables.h"
#include "viewer/ViewerLogging.h"
#include "viewer/output/QVR_PrintAccessoryViewController.h"
#include "viewer/output/QVR_PrintView.h"

namespace {

// The dialog reads its page range into its "from" and "to" boxes only as it shows: a count that changes while it
// is open reaches them here. A range that ended on the last page still does.
void followPageCount(QPrintDialog* dialog, int pages)
{
    const int before = dialog->maxPage();
    dialog->setMinMax(1, pages);
    for (const char* name : {"from", "to"}) {
        auto* box = dialog->findChild<QSpinBox*>(QLatin1String(name));
        if (!box)
            continue;
        const bool atTheEnd = box->value() == before;
        box->setRange(1, pages);
        if (atTheEnd && qstrcmp(name, "to") == 0)
            box->setValue(pages);
    }
}

// The user default keeping the folder the user last printed to a file in.
const char* const kLastPrintFolderKey = "qvr_lastPrintToFileDirectoryKey";

// Qt's dialog proposes a file in the process's working directory (or home): the proposal goes to the folder last
// printed to, or the user's documents, keeping its name.
void proposeFileFolder(QPrintDialog* dialog)
{
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
    if (!name || name->text().isEmpty())
        return;
    FileChooserRequest request;
    request.directory = FileChooser::rememberedFolder(QString::fromLatin1(kLastPrintFolderKey));
    request.place = FileChooserRequest::Place::Documents;
    // The proposal may be a folder alone ("…/"), which it stays.
    name->setText(FileChooser::startingFolder(request) + QLatin1Char('/') + QFileInfo(name->text()).fileName());
}

class QtPrintDialogPresenter : public PrintDialogPresenter {
public:
    void run(QPrinter& printer, QWidget* window, QWidget* accessory, std::function<void(bool)> done) override
    {
        auto* dialog = new QPrintDialog(&printer, window);
        dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        if (accessory)
            dialog->setOptionTabs({accessory});
        // The range the user may ask for follows the page count, which the accessory's options change.
        dialog->setOption(QAbstractPrintDialog::PrintPageRange, true);
        if (auto* options = qobject_cast<QVR_PrintAccessoryViewController*>(accessory)) {
            dialog->setMinMax(1, std::max(1, options->pageCount()));
            QObject::connect(options, &QVR_PrintAccessoryViewController::pageCountChanged, dialog,
                             [dialog](int pages) { followPageCount(dialog, std::max(1, pages)); });
        }
        QObject::connect(dialog, &QDialog::finished, dialog, [done, &printer](int result) {
            const bool accepted = result == QDialog::Accepted;
            if (accepted && printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
                FileChooser::rememberFolder(QString::fromLatin1(kLastPrintFolderKey), {{printer.outputFileName()}});
            done(accepted);
        });
        const bool fileNamed = !printer.outputFileName().isEmpty();
        dialog->open();
        if (!fileNamed)
            proposeFileFolder(dialog);
    }
};

std::unique_ptr<PrintDialogPresenter>& presenterSlot()
{
    static std::unique_ptr<PrintDialogPresenter> presenter;
    return presenter;
}

PrintDialogPresenter& presenter()
{
    if (!presenterSlot())
        presenterSlot() = std::make_unique<QtPrintDialogPresenter>();
    return *presenterSlot();
}

} // namespace

QVR_PrintManager& QVR_PrintManager::sharedManager()
{
    static QVR_PrintManager manager;
    return manager;
}

void QVR_PrintManager::setDialogPresenter(std::unique_ptr<PrintDialogPresenter> presenter)
{
    presenterSlot() = std::move(presenter);
}

QRectF QVR_PrintManager::sizeAdjustedToFitInsideSize(const QSizeF& size, const QSizeF& box, bool shouldCenter)
{
    const float w = float(size.width());
    const float h = float(size.height());
    const float boxW = float(box.width());
    const float boxH = float(box.height());
    for (float side : {w, h, boxW, boxH}) {
        if (!std::isfinite(side) || side <= 0.0f)
            return QRectF();
    }
    const float r = h / w;
    const float boxR = boxH / boxW;
    float x = 0, y = 0, width = 0, height = 0;
    if (r > boxR) {
        height = boxH;
        width = std::ceil(boxH / r);
        x = std::floor(boxW - width);
        if (shouldCenter)
            x /= 2.0f;
    } else {
        width = boxW;
        height = std::ceil(r * boxW);
        y = std::floor(boxH - height);
        if (shouldCenter)
            y /= 2.0f;
    }
    return QRectF(double(x), double(y), double(width), double(height));
}

QSizeF QVR_PrintManager::fittedPageSize(const QSizeF& screenSize, const QSizeF& paper)
{
    if (!std::isfinite(paper.width()) || !std::isfinite(paper.height()))
        return QSizeF();
    const QSizeF box(double(float(std::trunc(paper.width())) * 0.95f),
                     double(float(std::trunc(paper.height())) * 0.95f));
    return sizeAdjustedToFitInsideSize(screenSize, box).size();
}

bool QVR_PrintManager::paintPages(const QVR_PrintView& view, QPrinter& printer)
{
    const QSizeF paper = printer.paperRect(QPrinter::Point).size();
    const QSizeF page = view.pageSize();
    if (page.isEmpty() || paper.isEmpty())
        return false;
    // The pages asked for in the dialog, all when it names none.
    const QPageRanges ranges = printer.pageRanges();
    std::vector<int> pages;
    for (int n = 1; n <= view.numPages(); ++n) {
        if (ranges.isEmpty() || ranges.contains(n))
            pages.push_back(n);
    }
    if (pages.empty())
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The painter works in points, with the page centred on the paper.
    const double dotsPerPoint = printer.resolution() / 72.0;
    const QPointF origin((paper.width() - page.width()) / 2.0, (paper.height() - page.height()) / 2.0);
    for (int n : pages) {
        if (n != pages.front() && !printer.newPage())
            break;
        painter.save();
        painter.scale(dotsPerPoint, dotsPerPoint);
        painter.translate(origin);
        view.drawPage(&painter, view.rectForPage(n));
        painter.restore();
    }
    return painter.end();
}

void QVR_PrintManager::printModel(const std::shared_ptr<ZERI_TessarineModel>& document, QWidget* window,
                                  std::function<void(bool)> done)
{
    std::shared_ptr<QVR_PrintView> view = QVR_PrintView::printViewForModel(document);
    if (!view) {
        qCWarning(lcViewer) << "nothing to print: the document has no screens";
        AlertRequest request;
        request.style = AlertRequest::Style::Warning;
        request.messageText = LocalizedStringWithEnglishFallback(QStringLiteral("Nothing to print"));
        request.informativeText =
            LocalizedStringWithEnglishFallback(QStringLiteral("This document has no screens to print."));
        AlertPresenter::shared().show(request, window, [done](const AlertResponse&) {
            if (done)
                done(false);
        });
        return;
    }

    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageOrientation(QPageLayout::Landscape);
    printer->setFullPage(true);
    // The accessory belongs to the dialog once shown; it is deleted with the dialog, or here when never shown.
    auto* accessory = new QVR_PrintAccessoryViewController();
    accessory->setPrintView(view.get());
    QPointer<QVR_PrintAccessoryViewController> guard(accessory);
    presenter().run(*printer, window, accessory, [view, printer, guard, done](bool accepted) {
        if (guard && !guard->parent())
            delete guard.data();
        if (!accepted) {
            sharedManager().printOperationDidRun(false);
            if (done)
                done(false);
            return;
        }
        // The page size is measured on the paper the dialog left, landscape.
        view->setPageSize(fittedPageSize(view->modelScreenSize(), printer->paperRect(QPrinter::Point).size()));
        (void)WorkerThreads::shared().post([view, printer, done] {
            const bool success = paintPages(*view, *printer);
            MainThread::run(
                [view, printer, done, success] {
                    sharedManager().printOperationDidRun(success);
                    if (done)
                        done(success);
                },
                false);
        });
    });
}

void QVR_PrintManager::printOperationDidRun(bool success)
{
    qCInfo(lcViewer, "printOperationDidRun success:%s", success ? "YES" : "NO");
}
