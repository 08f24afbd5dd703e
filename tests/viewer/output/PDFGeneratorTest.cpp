#include <cstdlib>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPdfSelection>
#include <QProcess>

#include <gtest/gtest.h>

#include "OutputTestSupport.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"
#include "viewer/output/ViewerOutput.h"

using namespace outputtest;

namespace {

class PDFGeneratorTest : public ::testing::Test {
protected:
    previewtest::ScopedPreviewEnvironment environment;
    QTemporaryDir folder;

    QString out(const QString& name = QStringLiteral("out.pdf")) const { return QDir(folder.path()).filePath(name); }

    // Runs one export of `document` and waits for its completion.
    std::unique_ptr<RecordingDelegate> exportDocument(const std::shared_ptr<ZERI_TessarineModel>& document,
                                                      const QString& path, bool gallery = true)
    {
        auto delegate = std::make_unique<RecordingDelegate>();
        auto generator = QVRPDFGenerator::create();
        generator->setShouldDrawGalleryImages(gallery);
        generator->setDelegate(delegate.get());
        generator->generatePDFForTessarineModel(document, path);
        EXPECT_TRUE(delegate->waitForCompletion());
        return delegate;
    }
};

TEST_F(PDFGeneratorTest, ScreensBecomeVectorPagesMatchingTheModelDrawingReportedInOrder)
{
    auto document = makeDocument(20, folder.path());
    auto delegate = std::make_unique<RecordingDelegate>();
    auto generator = QVRPDFGenerator::create();
    generator->setDelegate(delegate.get());
    generator->generatePDFForTessarineModel(document, out());
    // The export draws the copy taken when it started.
    const auto fifth = document->firstFlowmodel()->screenModels()[4];
    const QImage before = ModelDrawing::renderScreen(*fifth);
    fifth->setBackgroundColor(Qt::black);
    ASSERT_TRUE(delegate->waitForCompletion());

    EXPECT_TRUE(delegate->error.isNull()) << delegate->error.message.toStdString();
    EXPECT_FALSE(delegate->offMainThread);
    EXPECT_FALSE(delegate->reportAfterCompletion);
    QStringList expected;
    for (int i = 1; i <= 20; ++i)
        expected << QStringLiteral("%1 of 20").arg(i);
    EXPECT_EQ(delegate->reports, expected);
    EXPECT_FALSE(generator->currentlyGeneratingPDF());

    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(out()), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 20);
    for (int page = 0; page < 20; ++page)
        EXPECT_EQ(pdf.pagePointSize(page), QSizeF(1024, 748)) << page;
    EXPECT_TRUE(pdf.getAllText(2).text().contains(QStringLiteral("Screen 3")));

    for (int page : {0, 4, 19}) {
        const QImage expectedImage =
            page == 4 ? before : ModelDrawing::renderScreen(*document->firstFlowmodel()->screenModels()[size_t(page)]);
        const QImage rendered = pdf.render(page, QSize(1024, 748)).convertToFormat(expectedImage.format());
        EXPECT_LT(previewtest::meanDifference(rendered, expectedImage), 3.0) << "page " << page + 1;
    }
}

TEST_F(PDFGeneratorTest, GalleryImagesFollowTheirScreenAtTheirOwnSize)
{
    auto document = makeDocument(20, folder.path());
    auto second = document->firstFlowmodel()->screenModels()[1];
    const QStringList files = addGallery(*second, folder.path(), {QSize(800, 600), QSize(640, 480), QSize(1200, 900)});

    auto withGallery = exportDocument(document, out());
    EXPECT_EQ(withGallery->reports.size(), 23);
    EXPECT_EQ(withGallery->reports.last(), QStringLiteral("23 of 23"));
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(out()), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 23);
    EXPECT_EQ(pdf.pagePointSize(1), QSizeF(1024, 748));
    EXPECT_EQ(pdf.pagePointSize(2), QSizeF(800, 600));
    EXPECT_EQ(pdf.pagePointSize(3), QSizeF(640, 480));
    EXPECT_EQ(pdf.pagePointSize(4), QSizeF(1200, 900));
    EXPECT_TRUE(pdf.getAllText(5).text().contains(QStringLiteral("Screen 3")));
    pdf.close();

    auto without = exportDocument(document, out(QStringLiteral("plain.pdf")), false);
    QPdfDocument plain;
    ASSERT_EQ(plain.load(out(QStringLiteral("plain.pdf"))), QPdfDocument::Error::None);
    EXPECT_EQ(plain.pageCount(), 20);

    // A lost image is left out, still reported, and counted.
    QFile::remove(files[1]);
    auto lost = exportDocument(document, out(QStringLiteral("lost.pdf")));
    EXPECT_TRUE(lost->error.isNull());
    EXPECT_EQ(lost->reports.size(), 23);
    EXPECT_EQ(lost->leftOut, 1);
    QPdfDocument fewer;
    ASSERT_EQ(fewer.load(out(QStringLiteral("lost.pdf"))), QPdfDocument::Error::None);
    EXPECT_EQ(fewer.pageCount(), 22);
}

TEST_F(PDFGeneratorTest, OversizedAndUnreadableGalleryImages)
{
    EXPECT_EQ(QVRPDFGenerator::galleryPageSize(QSizeF(16000, 400)), QSizeF(14400, 360));
    EXPECT_EQ(QVRPDFGenerator::galleryPageSize(QSizeF(400, 20000)), QSizeF(288, 14400));
    EXPECT_EQ(QVRPDFGenerator::galleryPageSize(QSizeF(1200, 900)), QSizeF(1200, 900));

    auto document = makeDocument(1, folder.path());
    auto screen = document->firstFlowmodel()->screenModels()[0];
    addGallery(*screen, folder.path(), {QSize(16000, 400)});
    // A corrupt file in the same gallery.
    const QString corrupt = QDir(folder.path()).filePath(QStringLiteral("corrupt.png"));
    QFile file(corrupt);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n not really");
    file.close();
    screen->getAllChildObjectsOfClass<QVB_GalleryAssetManager>().front()->insertImageAsset(fileAsset(corrupt), 1);

    auto delegate = exportDocument(document, out());
    EXPECT_TRUE(delegate->error.isNull());
    EXPECT_EQ(delegate->leftOut, 1);
    QPdfDocument pdf;
    ASSERT_EQ(pdf.load(out()), QPdfDocument::Error::None);
    ASSERT_EQ(pdf.pageCount(), 2);
    EXPECT_EQ(pdf.pagePointSize(1), QSizeF(14400, 360));
}

TEST_F(PDFGeneratorTest, FailuresLeaveNoFileAndReplaceNothing)
{
    auto document = makeDocument(2, folder.path());

    // A missing folder, a path under a regular file, and a target that is no local file.
    for (const QString& target : {out(QStringLiteral("missing/out.pdf")), out(QStringLiteral("file/out.pdf")),
                                  QStringLiteral("https://example.invalid/out.pdf")}) {
        if (target.contains(QStringLiteral("/file/"))) {
            QFile regular(out(QStringLiteral("file")));
            ASSERT_TRUE(regular.open(QIODevice::WriteOnly));
        }
        auto delegate = exportDocument(document, target);
        EXPECT_EQ(delegate->error.domain, QStringLiteral("com.tessarine.QVRPDFGenerator")) << target.toStdString();
        EXPECT_EQ(delegate->error.code, 2) << target.toStdString();
        EXPECT_EQ(delegate->error.message, QStringLiteral("cannot write"));
        EXPECT_FALSE(QFileInfo::exists(target));
    }
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("file"), QStringLiteral("picture1.png"), QStringLiteral("picture2.png")}));

    // Nothing to export: no flows, or a first flow without screens.
    auto noFlows = ZERI_TessarineModel::create();
    while (!noFlows->flowModels().empty())
        noFlows->removeFlowModel(noFlows->flowModels().front());
    for (const auto& empty : {noFlows, ZERI_TessarineModel::create()}) {
        auto delegate = exportDocument(empty, out(QStringLiteral("empty.pdf")));
        EXPECT_EQ(delegate->error.code, 1);
        EXPECT_EQ(delegate->error.message, QStringLiteral("nothing to export"));
        EXPECT_TRUE(delegate->reports.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("empty.pdf"))));
    }

    // A write that fails at the end leaves the earlier file as it was.
    const QString existing = out(QStringLiteral("existing.pdf"));
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an earlier export");
    old.close();
    QVRPDFGenerator::setFailCommitForTesting(true);
    auto failed = exportDocument(document, existing);
    QVRPDFGenerator::setFailCommitForTesting(false);
    EXPECT_EQ(failed->error.code, 2);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("an earlier export"));
}

TEST_F(PDFGeneratorTest, ASecondRequestWhileWritingIsIgnored)
{
    auto document = makeDocument(3, folder.path());
    RecordingDelegate delegate;
    auto generator = QVRPDFGenerator::create();
    generator->setDelegate(&delegate);
    generator->generatePDFForTessarineModel(document, out());
    EXPECT_TRUE(generator->currentlyGeneratingPDF());
    generator->generatePDFForTessarineModel(document, out(QStringLiteral("second.pdf")));
    ASSERT_TRUE(delegate.waitForCompletion());
    QTest::qWait(50);
    EXPECT_EQ(delegate.completions, 1);
    EXPECT_EQ(delegate.reports.size(), 3);
    EXPECT_TRUE(QFileInfo::exists(out()));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("second.pdf"))));
}

TEST_F(PDFGeneratorTest, ThePlainExportFunctionCompletesWithTheError)
{
    auto document = makeDocument(2, folder.path());
    std::optional<Error> written;
    ViewerOutput::exportDocumentToPDF(document, out(), false, [&](const Error& error) { written = error; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 20000));
    EXPECT_TRUE(written->isNull());
    EXPECT_TRUE(QFileInfo::exists(out()));

    std::optional<Error> missing;
    ViewerOutput::exportDocumentToPDF(document, out(QStringLiteral("missing/out.pdf")), false,
                                      [&](const Error& error) { missing = error; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return missing.has_value(); }, 20000));
    EXPECT_EQ(missing->code, 2);
}

TEST_F(PDFGeneratorTest, TheCommandLineWritesWhatTheExportWrites)
{
    auto document = makeDocument(20, folder.path());
    addGallery(*document->firstFlowmodel()->screenModels()[1], folder.path(), {QSize(800, 600), QSize(640, 480)});
    const QString documentPath = out(QStringLiteral("doc.json"));
    QFile json(documentPath);
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(document->jsonData());
    json.close();
    exportDocument(document, out(QStringLiteral("export.pdf")));

    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/render-screens");
    QProcess run;
    run.start(tool, {QStringLiteral("--pdf"), documentPath, out(QStringLiteral("tool.pdf"))});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    QPdfDocument fromExport;
    QPdfDocument fromTool;
    ASSERT_EQ(fromExport.load(out(QStringLiteral("export.pdf"))), QPdfDocument::Error::None);
    ASSERT_EQ(fromTool.load(out(QStringLiteral("tool.pdf"))), QPdfDocument::Error::None);
    ASSERT_EQ(fromTool.pageCount(), 22);
    ASSERT_EQ(fromTool.pageCount(), fromExport.pageCount());
    for (int page = 0; page < fromTool.pageCount(); ++page)
        EXPECT_EQ(fromTool.pagePointSize(page), fromExport.pagePointSize(page)) << page;

    QProcess missing;
    missing.start(tool, {QStringLiteral("--pdf"), documentPath, out(QStringLiteral("missing/tool.pdf"))});
    ASSERT_TRUE(missing.waitForFinished(60000));
    EXPECT_NE(missing.exitCode(), 0);
    EXPECT_TRUE(missing.readAllStandardError().contains("cannot write"));
    EXPECT_FALSE(QFileInfo::exists(out(QStringLiteral("missing"))));
}

// A package of a document that came from the service: its picture is named by its web address and stored in the
// assets folder under the name the content asset's rule gives, as the downloader stores it. The written page
// shows it.
TEST_F(PDFGeneratorTest, TheCommandLineDrawsPicturesStoredUnderTheirWebAddresses)
{
    ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("package/assets")));
    const QString assets = out(QStringLiteral("package/assets"));
    const QUrl cropped(QStringLiteral("https://media.example/pictures/cropped.jpg"));
    const QUrl original(QStringLiteral("https://media.example/pictures/picture.png"));
    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(qRgb(20, 160, 90));
    ASSERT_TRUE(picture.save(ZERI_ContentAsset::fileForUrlInFolder(cropped, assets)));
    ASSERT_TRUE(picture.save(ZERI_ContentAsset::fileForUrlInFolder(original, assets)));
    auto document = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    (*image)->setFrame(QRectF(200, 200, 320, 200));
    auto croppedAsset = ZERI_ContentAsset::create();
    croppedAsset->setExternalURL(cropped);
    (*image)->setCroppedImageAsset(croppedAsset);
    auto originalAsset = ZERI_ContentAsset::create();
    originalAsset->setExternalURL(original);
    (*image)->setOriginalImageAsset(originalAsset);
    screen->addMixedMediaObject(image);
    document->firstFlowmodel()->addFlowScreen(screen);
    QFile file(out(QStringLiteral("package/docfile.qvd")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document->jsonData());
    file.close();

    QProcess run;
    run.start(QCoreApplication::applicationDirPath() + QStringLiteral("/render-screens"),
              {QStringLiteral("--pdf"), out(QStringLiteral("package")), out(QStringLiteral("tool.pdf"))});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    QPdfDocument written;
    ASSERT_EQ(written.load(out(QStringLiteral("tool.pdf"))), QPdfDocument::Error::None);
    ASSERT_EQ(written.pageCount(), 1);
    const QSizeF page = written.pagePointSize(0);
    const QImage drawn = written.render(0, page.toSize());
    ASSERT_FALSE(drawn.isNull());
    const QColor middle = drawn.pixelColor(int(360 * page.width() / 1024), int(300 * page.height() / 748));
    EXPECT_LT(std::abs(middle.red() - 20) + std::abs(middle.green() - 160) + std::abs(middle.blue() - 90), 30)
        << middle.name().toStdString();
}

} // namespace
