#include <QCheckBox>
#include <QPageRanges>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QSpinBox>
#include <QPrinter>
#include <QPushButton>

#include <gtest/gtest.h>

#include "OutputTestSupport.h"
#include "platform/AlertPresenter.h"
#include "strings/UFM.h"
#include "support/TestPictures.h"
#include "support/fakeservice/FakeWebService.h"
#include "tessarine_data_model/FolderFilePackage.h"
#include "viewer/output/ViewerOutput.h"
#include "tessarine_data_model/ZERI_MMObject_PDF.h"
#include "viewer/output/QVR_PrintAccessoryViewController.h"
#include "viewer/output/QVR_PrintManager.h"
#include "viewer/output/QVR_PrintView.h"

using namespace outputtest;

namespace {

// Prints into a PDF file on US Letter without showing anything.
class PdfFilePresenter : public PrintDialogPresenter {
public:
    explicit PdfFilePresenter(QString path, std::function<void(QWidget*)> touchAccessory = {})
        : m_path(std::move(path))
        , m_touch(std::move(touchAccessory))
    {
    }
    void run(QPrinter& printer, QWidget*, QWidget* accessory, std::function<void(bool)> done) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setPageRanges(ranges);
        if (m_touch)
            m_touch(accessory);
        done(true);
    }
    int shown = 0;
    QPageRanges ranges; // as the dialog's page range leaves them

private:
    QString m_path;
    std::function<void(QWidget*)> m_touch;
};

// The bounding box of the page's non-white pixels, the page rendered over white.
QRect inkBox(const QImage& rendered)
{
    QImage page(rendered.size(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawImage(0, 0, rendered);
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, y);
            if (qRed(p) < 245 || qGreen(p) < 245 || qBlue(p) < 245)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

QString writeFourPagePdf(const QString& path)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QSizeF(400, 300), QPageSize::Point, {}, QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    for (int page = 0; page < 4; ++page) {
        if (page > 0)
            writer.newPage();
        painter.fillRect(QRectF(0, 0, 400, 300), QColor(10, 40 * page, 100));
    }
    painter.end();
    return path;
}

class PrintTest : public ::testing::Test {
protected:
    previewtest::ScopedPreviewEnvironment environment;
    QTemporaryDir folder;
    RecordingAlertPresenter alerts;

    PrintTest() { AlertPresenter::setShared(&alerts); }
    ~PrintTest() override
    {
        QVR_PrintManager::setDialogPresenter(nullptr);
        AlertPresenter::setShared(nullptr);
    }
    QString out(const QString& name = QStringLiteral("print.pdf")) const { return QDir(folder.path()).filePath(name); }

    // Three screens, gallery images of 800 × 600 and 600 × 800 on screen 2.
    std::shared_ptr<ZERI_TessarineModel> makeThreeScreens()
    {
        auto document = makeDocument(3, folder.path());
        addGallery(*document->firstFlowmodel()->screenModels()[1], folder.path(), {QSize(800, 600), QSize(600, 800)});
        return document;
    }

    std::optional<bool> print(const std::shared_ptr<ZERI_TessarineModel>& document,
                              std::function<void(QWidget*)> touchAccessory = {}, const QPageRanges& ranges = {})
    {
        auto presenter = std::make_unique<PdfFilePresenter>(out(), std::move(touchAccessory));
        presenter->ranges = ranges;
        QVR_PrintManager::setDialogPresenter(std::move(presenter));
        std::optional<bool> result;
        QVR_PrintManager::printModel(document, nullptr, [&](bool success) { result = success; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 20000));
        return result;
    }
};

TEST(PrintFitTest, FitsInsideTheBoxInSinglePrecision)
{
    EXPECT_EQ(QVR_PrintManager::sizeAdjustedToFitInsideSize({1024, 748}, {752.4, 581.4}),
              QRectF(0, 31, double(752.4f), 550));
    EXPECT_EQ(QVR_PrintManager::sizeAdjustedToFitInsideSize({1024, 748}, {752.4, 581.4}, true),
              QRectF(0, 15.5, double(752.4f), 550));
    // Taller than the box: full height, centred across.
    EXPECT_EQ(QVR_PrintManager::sizeAdjustedToFitInsideSize({600, 800}, {752.4, 550}, true),
              QRectF(169.5, 0, 413, 550));
    for (const QSizeF& zero : {QSizeF(0, 748), QSizeF(1024, 0), QSizeF(qInf(), 748), QSizeF(qQNaN(), 1)}) {
        EXPECT_EQ(QVR_PrintManager::sizeAdjustedToFitInsideSize(zero, {752.4, 581.4}), QRectF());
        EXPECT_EQ(QVR_PrintManager::sizeAdjustedToFitInsideSize({1024, 748}, zero), QRectF());
    }
    const QSizeF letter = QVR_PrintManager::fittedPageSize({1024, 748}, {792.9, 612});
    EXPECT_NEAR(letter.width(), 752.4, 1e-4);
    EXPECT_EQ(letter.height(), 550);
    EXPECT_EQ(QVR_PrintManager::fittedPageSize({1024, 748}, {qInf(), 612}), QSizeF());
}

TEST_F(PrintTest, PageSequenceFollowsTheOptions)
{
    auto document = makeThreeScreens();
    auto view = QVR_PrintView::printViewForModel(document);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->numPages(), 5);
    const auto& screens = view->tessarineScreenModels();
    using Screen = std::shared_ptr<ZERI_FlowScreenModel>;
    using Asset = std::shared_ptr<ZERI_ContentAsset>;
    EXPECT_EQ(std::get<Screen>(view->dataModelItemAtIndex(0)), screens[0]);
    EXPECT_EQ(std::get<Screen>(view->dataModelItemAtIndex(1)), screens[1]);
    const auto& images =
        screens[1]->getAllChildObjectsOfClass<QVB_GalleryAssetManager>().front()->fullsizedImageAssetsArray();
    EXPECT_EQ(std::get<Asset>(view->dataModelItemAtIndex(2)), images[0]);
    EXPECT_EQ(std::get<Asset>(view->dataModelItemAtIndex(3)), images[1]);
    EXPECT_EQ(std::get<Screen>(view->dataModelItemAtIndex(4)), screens[2]);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(view->dataModelItemAtIndex(5)));
    EXPECT_EQ(view->rectForPage(1).y(), 0);
    EXPECT_EQ(view->rectForPage(2).y(), 748);

    // The accessory's toggles change the count at once.
    QVR_PrintAccessoryViewController accessory;
    accessory.setPrintView(view.get());
    EXPECT_TRUE(accessory.addGallery());
    EXPECT_FALSE(accessory.addPDF());
    accessory.addGalleryImages()->setChecked(false);
    EXPECT_EQ(view->numPages(), 3);
    EXPECT_EQ(std::get<Screen>(view->dataModelItemAtIndex(2)), screens[2]);
    // No PDF objects: the PDF option adds no page, blank or other.
    accessory.addPDFImages()->setChecked(true);
    EXPECT_EQ(view->numPages(), 3);

    // A copy is printed: the document's later edits are not.
    document->firstFlowmodel()->screenModels()[0]->setBackgroundColor(Qt::black);
    EXPECT_NE(view->tessarineScreenModels()[0], document->firstFlowmodel()->screenModels()[0]);
}

TEST_F(PrintTest, PrintsFittedCentredLandscapePages)
{
    auto document = makeThreeScreens();
    ASSERT_EQ(print(document), std::optional<bool>(true));
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(out()), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 5);
    for (int page = 0; page < 5; ++page) {
        EXPECT_NEAR(pdf.pagePointSize(page).width(), 792, 0.5);
        EXPECT_NEAR(pdf.pagePointSize(page).height(), 612, 0.5);
    }
    const QRect first = inkBox(pdf.render(0, QSize(792, 612)));
    EXPECT_NEAR(first.left(), 19.8, 1.0);
    EXPECT_NEAR(first.top(), 31, 1.0);
    EXPECT_NEAR(first.right() + 1, 772.2, 1.0);
    EXPECT_NEAR(first.bottom() + 1, 581, 1.0);
    const QRect fourth = inkBox(pdf.render(3, QSize(792, 612)));
    EXPECT_NEAR(fourth.left(), 189.3, 1.0);
    EXPECT_NEAR(fourth.top(), 31, 1.0);
    EXPECT_NEAR(fourth.right() + 1, 602.3, 1.0);
    EXPECT_NEAR(fourth.bottom() + 1, 581, 1.0);
    pdf.close();

    ASSERT_EQ(print(document,
                    [](QWidget* accessory) {
                        accessory->findChild<QCheckBox*>(QStringLiteral("addGalleryImages"))->setChecked(false);
                    }),
              std::optional<bool>(true));
    ASSERT_EQ(pdf.load(out()), QPdfDocument::Error::None);
    EXPECT_EQ(pdf.pageCount(), 3);
}

TEST_F(PrintTest, PrintsOnlyThePagesAskedForAndTheRangeFollowsTheOptions)
{
    auto document = makeThreeScreens();
    QPageRanges images;
    images.addRange(3, 4);
    ASSERT_EQ(print(document, {}, images), std::optional<bool>(true));
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(out()), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 2);
    // Screen 2's gallery images: the landscape one, then the portrait one.
    const QRect first = inkBox(pdf.render(0, QSize(792, 612)));
    const QRect second = inkBox(pdf.render(1, QSize(792, 612)));
    EXPECT_GT(first.width(), first.height());
    EXPECT_LT(second.width(), second.height());
    pdf.close();

    // Without gallery pages the document has three pages: a range past them prints nothing and reports failure.
    QPageRanges late;
    late.addRange(4, 5);
    EXPECT_EQ(print(
                  document,
                  [](QWidget* accessory) {
                      accessory->findChild<QCheckBox*>(QStringLiteral("addGalleryImages"))->setChecked(false);
                  },
                  late),
              std::optional<bool>(false));

    // The dialog's page range follows the accessory's options.
    auto view = QVR_PrintView::printViewForModel(document);
    QVR_PrintAccessoryViewController accessory;
    accessory.setPrintView(view.get());
    std::vector<int> counts;
    QObject::connect(&accessory, &QVR_PrintAccessoryViewController::pageCountChanged,
                     [&](int pages) { counts.push_back(pages); });
    accessory.addGalleryImages()->setChecked(false);
    accessory.addGalleryImages()->setChecked(true);
    EXPECT_EQ(counts, (std::vector<int>{3, 5}));
}

TEST_F(PrintTest, TheDialogOffersThePagesTheOptionsGive)
{
    auto document = makeThreeScreens();
    QWidget window;
    window.show();
    std::optional<bool> result;
    QVR_PrintManager::printModel(document, &window, [&](bool success) { result = success; });
    QPrintDialog* dialog = window.findChild<QPrintDialog*>();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->testOption(QAbstractPrintDialog::PrintPageRange));
    EXPECT_EQ(dialog->minPage(), 1);
    EXPECT_EQ(dialog->maxPage(), 5);
    // What the user can type into "Pages from … to …" follows the count at once, both ways.
    auto* from = dialog->findChild<QSpinBox*>(QStringLiteral("from"));
    auto* to = dialog->findChild<QSpinBox*>(QStringLiteral("to"));
    ASSERT_TRUE(from && to);
    EXPECT_EQ(to->maximum(), 5);
    auto* galleries = dialog->findChild<QCheckBox*>(QStringLiteral("addGalleryImages"));
    ASSERT_TRUE(galleries);
    galleries->setChecked(false);
    EXPECT_EQ(dialog->maxPage(), 3);
    EXPECT_EQ(from->maximum(), 3);
    EXPECT_EQ(to->maximum(), 3);
    galleries->setChecked(true);
    EXPECT_EQ(from->maximum(), 5);
    EXPECT_EQ(to->maximum(), 5);
    // A range that ended on the last page ends there again; one the user ended earlier stays.
    to->setValue(5);
    galleries->setChecked(false);
    EXPECT_EQ(to->value(), 3);
    galleries->setChecked(true);
    EXPECT_EQ(to->value(), 5);
    to->setValue(2);
    galleries->setChecked(false);
    galleries->setChecked(true);
    EXPECT_EQ(to->value(), 2);
    dialog->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    EXPECT_FALSE(*result);
}

TEST_F(PrintTest, PdfObjectPagesFollowTheirScreenWhenAsked)
{
    auto document = makeThreeScreens();
    auto pdfObject = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    pdfObject->object()->setPdfAsset(fileAsset(writeFourPagePdf(out(QStringLiteral("four.pdf")))));
    pdfObject->object()->setFrame(QRectF(100, 100, 200, 150));
    document->firstFlowmodel()->screenModels()[2]->addMixedMediaObject(pdfObject);
    // A damaged one adds nothing.
    auto damaged = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::PDF);
    QFile broken(out(QStringLiteral("broken.pdf")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("%PDF-1.4 broken");
    broken.close();
    damaged->object()->setPdfAsset(fileAsset(broken.fileName()));
    document->firstFlowmodel()->screenModels()[0]->addMixedMediaObject(damaged);

    auto view = QVR_PrintView::printViewForModel(document);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->numPDFImages(), 4);
    EXPECT_FALSE(view->addPDFImages());

    ASSERT_EQ(print(document,
                    [](QWidget* accessory) {
                        accessory->findChild<QCheckBox*>(QStringLiteral("addPDFImages"))->setChecked(true);
                    }),
              std::optional<bool>(true));
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(out()), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 9);
    // Pages 6 to 9 hold the PDF's pages: none is blank.
    for (int page = 5; page < 9; ++page)
        EXPECT_FALSE(inkBox(pdf.render(page, QSize(396, 306))).isEmpty()) << page;
}

// Print as the window's command runs it, of a document whose second screen's picture has only its original, on the
// service (as the service's own documents carry it): the picture is fetched before the pages are drawn. With the
// service out of reach the user is told which screen lacks its picture: Cancel prints nothing, Print Anyway prints.
TEST_F(PrintTest, APictureNotOnThisComputerIsFetchedFirstOrItsScreenIsNamed)
{
    FakeWebService service;
    ASSERT_TRUE(service.start());
    const auto documentWithPictureAt = [&](const QUrl& address) {
        auto document = makeDocument(2, folder.path());
        auto package =
            std::make_shared<FolderFilePackage>(QStringLiteral("print-fetch"), out("assets"), out("published_assets"));
        EXPECT_TRUE(QDir().mkpath(package->assetStoragePath()) && QDir().mkpath(package->publishedAssetStoragePath()));
        document->setFilePackage(package);
        const auto picture = document->firstFlowmodel()->screenModels()[1]->mixedMediaObjects().back()->object();
        picture->setCroppedImageAsset(nullptr);
        auto original = ZERI_ContentAsset::create();
        original->setExternalURL(address);
        picture->setOriginalImageAsset(original);
        return std::make_pair(document, package);
    };
    const auto printed = [&](const std::shared_ptr<ZERI_TessarineModel>& document) {
        QFile::remove(out());
        QVR_PrintManager::setDialogPresenter(std::make_unique<PdfFilePresenter>(out()));
        ViewerOutput::printDocument(nullptr, document);
        QPdfDocument pdf;
        (void)QTest::qWaitFor([&] { return pdf.load(out()) == QPdfDocument::Error::None && pdf.pageCount() == 2; },
                              15000);
        return pdf.pageCount() == 2 ? pdf.render(1, QSize(792, 612)) : QImage();
    };
    const QColor orange(250, 140, 20);
    const QPointF middle = kPictureFrame.center();
    const auto [served, package] = documentWithPictureAt(
        service.addContent(QStringLiteral("SECOND"), pictureBytes(QSize(512, 374), orange, "PNG"), "second.png"));
    const QImage page = printed(served);
    ASSERT_FALSE(page.isNull());
    // The screen fills 752.4 × 550 of the page from (19.8, 31).
    const QColor shown = page.pixelColor(int(19.8 + middle.x() * 752.4 / 1024), int(31 + middle.y() * 550 / 748));
    EXPECT_LT(std::abs(shown.red() - 250) + std::abs(shown.green() - 140) + std::abs(shown.blue() - 20), 40)
        << shown.name().toStdString();
    EXPECT_TRUE(alerts.requests.empty());

    const auto offline =
        documentWithPictureAt(QUrl(FakeWebService::unreachableBaseUrl().toString() + QStringLiteral("/p.png"))).first;
    alerts.queueButton(1);
    QFile::remove(out());
    ViewerOutput::printDocument(nullptr, offline);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.requests.empty(); }, 15000));
    QTest::qWait(300);
    EXPECT_FALSE(QFileInfo::exists(out())) << "printed after Cancel";
    ASSERT_EQ(alerts.requests.size(), 1u);
    EXPECT_TRUE(alerts.requests.back().informativeText.contains(QStringLiteral("2")));
    EXPECT_EQ(alerts.requests.back().buttons.value(0), UFM::PRINT_ANYWAY_TEXT());
    alerts.queueButton(0);
    EXPECT_FALSE(printed(offline).isNull());
}

// The pictures come with the download panel over the window: its Cancel ends the fetch, and nothing is printed.
TEST_F(PrintTest, CancelInTheDownloadPanelPrintsNothing)
{
    FakeWebService service;
    ASSERT_TRUE(service.start());
    service.setEndlessDownloads(true);
    auto document = makeDocument(1, folder.path());
    auto package =
        std::make_shared<FolderFilePackage>(QStringLiteral("print-cancel"), out("assets"), out("published_assets"));
    ASSERT_TRUE(QDir().mkpath(package->assetStoragePath()));
    document->setFilePackage(package);
    const auto picture = document->firstFlowmodel()->screenModels()[0]->mixedMediaObjects().back()->object();
    picture->setCroppedImageAsset(nullptr);
    auto original = ZERI_ContentAsset::create();
    original->setExternalURL(service.addContent(QStringLiteral("SLOW"), pictureBytes(QSize(64, 48), Qt::red, "PNG"),
                                                QStringLiteral("slow.png")));
    picture->setOriginalImageAsset(original);
    auto presenter = std::make_unique<PdfFilePresenter>(out());
    QVR_PrintManager::setDialogPresenter(std::move(presenter));
    QWidget window;
    window.show();
    ViewerOutput::printDocument(&window, document);
    QDialog* panel = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            panel = window.findChild<QDialog*>(QStringLiteral("OutputPicturesDownloadDialog"));
            return panel && panel->isVisible();
        },
        5000));
    auto* cancel = panel->findChild<QPushButton*>();
    ASSERT_TRUE(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !window.findChild<QDialog*>(QStringLiteral("OutputPicturesDownloadDialog")); }, 5000));
    QTest::qWait(300);
    EXPECT_FALSE(QFileInfo::exists(out()));
    EXPECT_TRUE(alerts.requests.empty());
}

TEST_F(PrintTest, NothingToPrintStartsNoJobAndSaysSo)
{
    auto presenter = std::make_unique<PdfFilePresenter>(out());
    QVR_PrintManager::setDialogPresenter(std::move(presenter));
    std::optional<bool> result;
    QVR_PrintManager::printModel(ZERI_TessarineModel::create(), nullptr, [&](bool success) { result = success; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5000));
    EXPECT_FALSE(*result);
    EXPECT_EQ(alerts.requests.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(out()));
    EXPECT_FALSE(QVR_PrintView::printViewForModel(ZERI_TessarineModel::create()));
}

} // namespace
