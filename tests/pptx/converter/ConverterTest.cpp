#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include "pptx/TestDeck.h"
#include "pptx/converter/ConverterTestSupport.h"
#include "pptx/reader/qvd_opc.h"
#include "storage/MixedMediaObjectStorage.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

std::string typeface(const std::string& name)
{
    return "<a:rPr lang=\"en\"><a:latin typeface=\"" + name + "\"/></a:rPr>";
}

std::string textAt(double x, double y, double w, double h, const std::string& paragraphs)
{
    return TestDeck::textShape("", TestDeck::xfrm(emu(x), emu(y), emu(w), emu(h)), paragraphs);
}

class Converter : public ::testing::Test {
protected:
    QString write(const TestDeck& deck, const QString& name = QStringLiteral("deck.pptx"))
    {
        const QString path = m_decks.filePath(name);
        EXPECT_TRUE(deck.writeTo(path.toStdString()));
        return path;
    }
    QString writeBytes(const QByteArray& bytes, const QString& name)
    {
        const QString path = m_decks.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // The import left no package and no temporary folder.
    void expectNothingLeft()
    {
        EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }));
        EXPECT_TRUE(m_folders.packageFolders().isEmpty())
            << m_folders.packageFolders().join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(m_folders.temporaryEntries().isEmpty())
            << m_folders.temporaryEntries().join(QLatin1Char(' ')).toStdString();
    }
    // A deck of `slides` slides, each with a text and a 64 x 48 picture.
    QString picturesDeck(int slides)
    {
        TestDeck deck = TestDeck::minimal(slides);
        deck.parts["ppt/media/p.png"] = pngBytes(64, 48).toStdString();
        for (int n = 1; n <= slides; ++n) {
            deck.addRelation("ppt/slides/slide" + std::to_string(n) + ".xml", "rId2", "image", "../media/p.png");
            deck.setSlideTree(n, textAt(10, 10, 200, 40, para(run("Slide " + std::to_string(n), typeface("Georgia")))) +
                                     picture("rId2", TestDeck::xfrm(emu(20), emu(60), emu(128), emu(96))));
        }
        return write(deck);
    }

    ConverterFolders m_folders;
    QTemporaryDir m_decks;
};

TEST_F(Converter, SlidesBecomeScreensOfANewOwnDocumentThatReloadsIdentically)
{
    TestDeck deck = TestDeck::minimal(3);
    deck.setSlideTree(
        1, textAt(10, 20, 300, 40, para(run("Hello", typeface("Georgia"))) + para(run("World", typeface("Georgia")))));
    std::string& first = deck.parts["ppt/slides/slide1.xml"];
    first.insert(first.find("<p:spTree>"),
                 R"(<p:bg><p:bgPr><a:solidFill><a:srgbClr val="ABCDEF"/></a:solidFill></p:bgPr></p:bg>)");
    deck.setSlideTree(3, textAt(0, 0, 100, 30, para(run("Last", typeface("Georgia")))));

    const ImportOutcome outcome = importDeck(write(deck));
    ASSERT_EQ(outcome.doneCount, 1);
    ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
    const auto& screens = outcome.document->firstFlowmodel()->screenModels();
    ASSERT_EQ(screens.size(), 3u);
    EXPECT_EQ(screens[0]->backgroundColor(), QColor(0xAB, 0xCD, 0xEF));
    EXPECT_TRUE(screens[1]->mixedMediaObjects().empty()) << "an empty slide gives an empty screen";
    const auto texts = textObjects(*outcome.document);
    ASSERT_EQ(texts[0].size(), 1u);
    EXPECT_EQ(texts[0][0]->attributedString().string(), QStringLiteral("Hello\nWorld"));
    EXPECT_EQ(texts[0][0]->frame(), QRectF(10, 20, 300, 40));
    EXPECT_EQ(texts[2][0]->attributedString().string(), QStringLiteral("Last"));
    EXPECT_TRUE(outcome.fontsAsked.isEmpty()) << "an offered typeface needs no question";

    // The package is an own document, and its draft reads back to the same bytes.
    const QString id = outcome.document->qvdID();
    ASSERT_EQ(m_folders.packageFolders(), QStringList{id});
    const QByteArray json = outcome.document->jsonData();
    ZERI_qvdFilePackage::resetForTesting();
    const auto package = ZERI_qvdFilePackage::packageForID(id);
    ASSERT_TRUE(package);
    EXPECT_EQ(package->metaData().packageType(), ZERI_qvdFilePackage::OwnDocument);
    ASSERT_TRUE(package->loadModel());
    EXPECT_EQ(package->model()->jsonData(), json);
    EXPECT_TRUE(m_folders.temporaryEntries().isEmpty()) << "the extracted pictures go when the import ends";

    // A deck without slides gives a document without screens.
    const ImportOutcome empty = importDeck(write(TestDeck::minimal(0), QStringLiteral("empty.pptx")));
    ASSERT_TRUE(empty.document) << empty.error.description().toStdString();
    EXPECT_TRUE(empty.document->firstFlowmodel()->screenModels().empty());
}

TEST_F(Converter, ADarkMasterGivesBlackScreensUnderItsWhiteText)
{
    // As dark decks are written: the master's background refers to bg1, and the colour map sends bg1 to the
    // theme's dark colour and tx1 to its light one.
    TestDeck deck = TestDeck::minimal(2);
    std::string& theme = deck.parts["ppt/theme/theme1.xml"];
    theme.replace(theme.find("lastClr=\"111111\""), 16, "lastClr=\"000000\"");
    deck.masterClrMap = R"(<p:clrMap bg1="dk1" tx1="lt1" bg2="dk2" tx2="lt2" accent1="accent1"/>)";
    deck.rebuildMasterAndLayout();
    std::string& master = deck.parts["ppt/slideMasters/slideMaster1.xml"];
    master.insert(master.find("<p:spTree>"), R"(<p:bg><p:bgRef idx="1001"><a:schemeClr val="bg1"/></p:bgRef></p:bg>)");
    const std::string white = R"(<a:rPr lang="en"><a:solidFill><a:schemeClr val="tx1"/></a:solidFill>)"
                              R"(<a:latin typeface="Georgia"/></a:rPr>)";
    for (int n = 1; n <= 2; ++n)
        deck.setSlideTree(n, textAt(10, 10, 300, 40, para(run("Slide " + std::to_string(n), white))));

    const ImportOutcome outcome = importDeck(write(deck));
    ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
    const auto& screens = outcome.document->firstFlowmodel()->screenModels();
    ASSERT_EQ(screens.size(), 2u);
    const auto texts = textObjects(*outcome.document);
    for (std::size_t n = 0; n < screens.size(); ++n) {
        EXPECT_EQ(screens[n]->backgroundColor(), QColor(Qt::black)) << "screen " << n;
        ASSERT_EQ(texts[n].size(), 1u);
        const AttributedText text = texts[n][0]->attributedString();
        ASSERT_FALSE(text.string().isEmpty());
        EXPECT_EQ(text.attributesAtIndex(0)->foregroundColor, QColor(Qt::white));
        EXPECT_EQ(text.attributesAtIndex(0)->alignment, TextAttributes::Left) << "the rest of the import is unchanged";
        EXPECT_EQ(texts[n][0]->frame(), QRectF(10, 10, 300, 40));
    }
}

TEST_F(Converter, PicturesAreCopiedZoomedAndCroppedAndThoseThatCannotBeSetUpAreLeftOut)
{
    TestDeck deck = TestDeck::minimal(1);
    const QByteArray wide = pngBytes(2000, 100);
    deck.parts["ppt/media/wide.png"] = wide.toStdString();
    deck.parts["ppt/media/garbage.png"] = "this is not a picture";
    deck.parts["ppt/media/chart.emf"] = "EMF bytes";
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/wide.png");
    deck.addRelation("ppt/slides/slide1.xml", "rId3", "image", "../media/garbage.png");
    deck.addRelation("ppt/slides/slide1.xml", "rId4", "image", "../media/chart.emf");
    deck.setSlideTree(1, picture("rId3", TestDeck::xfrm(0, 0, emu(100), emu(100))) +
                             picture("rId2", TestDeck::xfrm(emu(40), emu(50), emu(500), emu(25))) +
                             picture("rId4", TestDeck::xfrm(0, 0, emu(100), emu(100))) +
                             textAt(0, 0, 100, 20, para(run("caption", typeface("Georgia")))));

    const ImportOutcome outcome = importDeck(write(deck));
    ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
    const auto& objects = outcome.document->firstFlowmodel()->screenModels().at(0)->mixedMediaObjects();
    ASSERT_EQ(objects.size(), 2u) << "the garbage picture and the EMF are left out, the import goes on";
    const auto& image = objects[0]->object();
    EXPECT_EQ(image->type(), ZERI_MixedMediaObject::Image);
    EXPECT_EQ(image->frame(), QRectF(40, 50, 500, 25));
    ASSERT_TRUE(image->zoomScale());
    EXPECT_DOUBLE_EQ(*image->zoomScale(), 0.25);
    ASSERT_TRUE(image->originalImageAsset());
    QFile original(image->originalImageAsset()->localFilePath());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), wide) << "the original is the deck's picture, byte for byte";
    EXPECT_TRUE(original.fileName().startsWith(outcome.document->documentAssetStoragePath()));
    ASSERT_TRUE(image->croppedImageAsset());
    EXPECT_TRUE(QFileInfo(image->croppedImageAsset()->localFilePath()).isFile());
    EXPECT_EQ(objects[1]->type(), ZERI_MixedMediaObject::Text);

    // The saved draft holds no non-finite number.
    const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(outcome.document->filePackage());
    ASSERT_TRUE(package);
    QFile draft(package->draftFilePath());
    ASSERT_TRUE(draft.open(QIODevice::ReadOnly));
    const QByteArray text = draft.readAll().toLower();
    EXPECT_FALSE(text.contains("inf") || text.contains("nan")) << text.constData();
    EXPECT_FALSE(QJsonDocument::fromJson(text).isNull());
    // Only the files of the kept picture are in the assets: nothing of the pictures left out.
    QStringList kept = {QFileInfo(image->originalImageAsset()->localFilePath()).fileName(),
                        QFileInfo(image->croppedImageAsset()->localFilePath()).fileName()};
    if (image->retinaCroppedImageAsset())
        kept.append(QFileInfo(image->retinaCroppedImageAsset()->localFilePath()).fileName());
    kept.sort();
    EXPECT_EQ(QDir(package->assetsPath()).entryList(QDir::Files, QDir::Name), kept);
}

// One picture of the deck shown by many objects is stored once and cropped once per size it is shown at: each object's
// files are names of their own for the same bytes on disk (deleting one never takes another's).
TEST_F(Converter, APictureReferencedManyTimesIsStoredOnceAndCroppedOncePerSize)
{
    constexpr int kReferences = 40;
    TestDeck deck = TestDeck::minimal(2);
    const QByteArray large = pngBytes(1200, 900);
    deck.parts["ppt/media/shared.png"] = large.toStdString();
    std::string tree;
    for (int i = 0; i < kReferences / 2; ++i) {
        const int width = i % 2 == 0 ? 40 : 800;
        tree += picture("rId2", TestDeck::xfrm(emu(10 + i), emu(10), emu(width), emu(width * 3 / 4)));
    }
    for (int n = 1; n <= 2; ++n) {
        deck.addRelation("ppt/slides/slide" + std::to_string(n) + ".xml", "rId2", "image", "../media/shared.png");
        deck.setSlideTree(n, tree);
    }
    const int decodesBefore = ModelImageCache::decodesForTesting();
    const ImportOutcome outcome = importDeck(write(deck));
    ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
    EXPECT_EQ(ModelImageCache::decodesForTesting() - decodesBefore, 1) << "the crops of both sizes share one decoding";
    QSet<QString> names;
    QSet<quint64> originalInodes;
    std::map<double, QSet<quint64>> croppedInodesByWidth;
    const auto inode = [](const QString& path) {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
        return quint64(info.st_ino);
    };
    for (const auto& screen : outcome.document->firstFlowmodel()->screenModels()) {
        for (const auto& object : screen->mixedMediaObjects()) {
            const auto& model = *object->object();
            ASSERT_TRUE(model.originalImageAsset());
            ASSERT_TRUE(model.croppedImageAsset());
            ASSERT_TRUE(model.zoomScale());
            EXPECT_DOUBLE_EQ(*model.zoomScale(), model.frame().width() / 1200);
            const QString path = model.originalImageAsset()->localFilePath();
            names.insert(path);
            names.insert(model.croppedImageAsset()->localFilePath());
            originalInodes.insert(inode(path));
            EXPECT_EQ(QFileInfo(path).size(), large.size());
            croppedInodesByWidth[model.frame().width()].insert(inode(model.croppedImageAsset()->localFilePath()));
            EXPECT_EQ(model.retinaCroppedImageAsset() != nullptr, model.frame().width() == 40) << "zoom at most 0.5";
        }
    }
    EXPECT_EQ(names.size(), 2 * kReferences) << "each object has file names of its own";
    EXPECT_EQ(originalInodes.size(), 1) << "the picture's bytes are on disk once";
    ASSERT_EQ(croppedInodesByWidth.size(), 2u);
    for (const auto& [width, inodes] : croppedInodesByWidth)
        EXPECT_EQ(inodes.size(), 1) << "cropped once at width " << width;
}

// Whatever its pictures (left out, missing from the package, not pictures at all, each shown once, shared by many
// objects, more of them than run at once), every import ends with its document within a bound.
TEST_F(Converter, EveryImportEndsWhateverItsPictures)
{
    enum Broken { None, NotExtracted, MissingPart, NotAPicture };
    for (const int pictures : {1, 9}) {
        for (const int uses : {1, 6}) {
            for (const Broken broken : {None, NotExtracted, MissingPart, NotAPicture}) {
                SCOPED_TRACE(testing::Message() << pictures << " pictures, " << uses << " uses, broken " << broken);
                TestDeck deck = TestDeck::minimal(2);
                for (int k = 0; k < pictures; ++k)
                    deck.parts["ppt/media/p" + std::to_string(k) + ".png"] = pngBytes(64 + k, 48).toStdString();
                if (broken == NotExtracted)
                    deck.parts["ppt/media/b.emf"] = "EMF bytes";
                else if (broken == NotAPicture)
                    deck.parts["ppt/media/b.png"] = "this is not a picture";
                const std::string brokenTarget = broken == NotExtracted ? "../media/b.emf" : "../media/b.png";
                for (int n = 1; n <= 2; ++n) {
                    const std::string slide = "ppt/slides/slide" + std::to_string(n) + ".xml";
                    std::string tree;
                    for (int k = 0; k < pictures; ++k)
                        deck.addRelation(slide, "rId" + std::to_string(k + 2), "image",
                                         "../media/p" + std::to_string(k) + ".png");
                    deck.addRelation(slide, "rIdB", "image", brokenTarget);
                    // Interleaved: each picture's later uses come after the first uses of all the others.
                    for (int u = 0; u < uses; ++u) {
                        for (int k = 0; k < pictures; ++k)
                            tree += picture("rId" + std::to_string(k + 2),
                                            TestDeck::xfrm(emu(k), emu(u), emu(32 + u), emu(24)));
                        if (broken != None && u == 0)
                            tree += picture("rIdB", TestDeck::xfrm(0, 0, emu(20), emu(20)));
                    }
                    deck.setSlideTree(n, tree);
                }
                QElapsedTimer timer;
                timer.start();
                const ImportOutcome outcome = importDeck(write(deck), {});
                EXPECT_EQ(outcome.doneCount, 1);
                EXPECT_LT(timer.elapsed(), 15000);
                ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
                for (const auto& screen : outcome.document->firstFlowmodel()->screenModels()) {
                    EXPECT_EQ(screen->mixedMediaObjects().size(), size_t(pictures * uses)) << "the broken one goes";
                    for (const auto& object : screen->mixedMediaObjects())
                        EXPECT_TRUE(object->object()->croppedImageAsset());
                }
            }
        }
    }
}

// A deck larger than the screen, in the sizes the common programs save (widescreen in inches and in full-HD pixels,
// A4, another program's default, a custom banner, portrait), is scaled uniformly into the 1024 x 748 screen and
// centred: frames, font sizes and the pictures' zoom alike. Decks that fit keep their geometry.
TEST_F(Converter, SlidesLargerThanTheScreenAreFittedIntoItUniformlyAndCentred)
{
    const QSizeF screen(1024, 748);
    for (const auto& [cx, cy] : std::vector<std::pair<long long, long long>>{{12192000, 6858000},
                                                                             {18288000, 10287000},
                                                                             {9906000, 6858000},
                                                                             {10080000, 5670000},
                                                                             {19050000, 4762500},
                                                                             {6858000, 9144000},
                                                                             {9144000, 6858000},
                                                                             {9144000, 5143500}}) {
        const QSizeF slide(double(cx / 9525), double(cy / 9525));
        SCOPED_TRACE(testing::Message() << slide.width() << " x " << slide.height());
        TestDeck deck = TestDeck::minimal(1);
        std::string& main = deck.parts["ppt/presentation.xml"];
        main.replace(main.find("cx=\"9144000\" cy=\"6858000\""), 25,
                     "cx=\"" + std::to_string(cx) + "\" cy=\"" + std::to_string(cy) + "\"");
        deck.parts["ppt/media/p.png"] = pngBytes(200, 100).toStdString();
        deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/p.png");
        const double corner = std::floor(slide.width() / 4);
        deck.setSlideTree(1, picture("rId2", TestDeck::xfrm(0, 0, cx, cy)) +
                                 textAt(slide.width() - corner, slide.height() - 40, corner, 40,
                                        para(run("corner", "<a:rPr lang=\"en\" sz=\"2000\"/>"))));
        const ImportOutcome outcome = importDeck(write(deck));
        ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
        const auto& objects = outcome.document->firstFlowmodel()->screenModels().at(0)->mixedMediaObjects();
        ASSERT_EQ(objects.size(), 2u);
        const QRectF whole = objects[0]->object()->frame();
        const QRectF text = objects[1]->object()->frame();
        const double scale = whole.width() / slide.width();
        if (slide.width() <= screen.width() && slide.height() <= screen.height()) {
            EXPECT_EQ(whole, QRectF(QPointF(0, 0), slide)) << "a deck that fits stays as it is";
        } else {
            EXPECT_NEAR(whole.height() / slide.height(), scale, 1e-9) << "scaled uniformly";
            EXPECT_TRUE(qFuzzyCompare(whole.width(), screen.width()) || qFuzzyCompare(whole.height(), screen.height()))
                << "as large as the screen allows";
            EXPECT_NEAR(whole.left(), screen.width() - whole.right(), 1e-6) << "centred";
            EXPECT_NEAR(whole.top(), screen.height() - whole.bottom(), 1e-6) << "centred";
        }
        EXPECT_TRUE(QRectF(QPointF(0, 0), screen).adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(text));
        EXPECT_NEAR(text.width(), corner * scale, 1e-6);
        EXPECT_NEAR(text.right() - whole.left(), slide.width() * scale, 1e-6) << "it keeps its place on the slide";
        ASSERT_TRUE(objects[0]->object()->zoomScale());
        EXPECT_NEAR(*objects[0]->object()->zoomScale(), whole.width() / 200, 1e-9);
        const auto attributes = textObjects(*outcome.document)[0][0]->attributedString().attributesAtIndex(0);
        ASSERT_TRUE(attributes);
        EXPECT_NEAR(attributes->fontSize, 20 * scale, 0.005);
    }
}

TEST_F(Converter, TextTheProgramShrankToFitItsBoxKeepsThatShareOfItsSize)
{
    TestDeck deck = TestDeck::minimal(1);
    const std::string sized = para(run("text", "<a:rPr lang=\"en\" sz=\"4000\"/>"));
    std::string shrunk = textAt(10, 10, 200, 40, sized);
    shrunk.replace(shrunk.find("<a:bodyPr/>"), 11,
                   "<a:bodyPr><a:normAutofit fontScale=\"47500\" lnSpcReduction=\"20000\"/></a:bodyPr>");
    std::string asSet = textAt(10, 100, 200, 40, sized);
    asSet.replace(asSet.find("<a:bodyPr/>"), 11, "<a:bodyPr><a:normAutofit/></a:bodyPr>");
    deck.setSlideTree(1, shrunk + asSet);
    const ImportOutcome outcome = importDeck(write(deck));
    ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
    const auto texts = textObjects(*outcome.document)[0];
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_NEAR(texts[0]->attributedString().attributesAtIndex(0)->fontSize, 19, 0.005);
    EXPECT_NEAR(texts[1]->attributedString().attributesAtIndex(0)->fontSize, 40, 0.005);
}

TEST_F(Converter, EachUnsupportedFontIsAskedAboutOnceAndItsAnswerIsFinal)
{
    TestDeck deck = TestDeck::minimal(2);
    deck.setSlideTree(1, textAt(0, 0, 100, 20, para(run("a", typeface("Calibri")) + run("b", typeface("Georgia")))) +
                             textAt(0, 30, 100, 20, para(run("c", typeface("Wingbats")))));
    deck.setSlideTree(2, textAt(0, 0, 100, 20, para(run("d", typeface("Calibri")))));

    // Answers arrive later, as from a dialog; the unlisted answer is kept, the empty one means the default font.
    QStringList asked;
    auto converter = std::make_unique<QVRPowerPointConverter>();
    converter->setInputFileURL(QUrl::fromLocalFile(write(deck)));
    std::shared_ptr<ZERI_TessarineModel> document;
    int done = 0;
    converter->setOnDone([&](const std::shared_ptr<ZERI_TessarineModel>& d, const Error&, QVRPowerPointConverter*) {
        document = d;
        ++done;
    });
    converter->setFontNeedsReplacing([&](const QString& name, QVRPowerPointConverter::FontAnswer answer) {
        asked.append(name);
        QTimer::singleShot(5, [name, answer] {
            answer(name == QLatin1String("Calibri") ? QStringLiteral("NotInTheList") : QString());
            answer(QStringLiteral("SecondAnswerIgnored"));
        });
    });
    converter->startConverting();
    ASSERT_TRUE(processEventsUntil([&] { return done > 0; }));
    EXPECT_EQ(done, 1);
    ASSERT_TRUE(document);
    EXPECT_EQ(asked, (QStringList{QStringLiteral("Calibri"), QStringLiteral("Wingbats")}));

    const auto texts = textObjects(*document);
    const auto fontAt = [](const std::shared_ptr<ZERI_MMObject_Text>& text, qsizetype index) {
        return text->attributedString().attributesAtIndex(index)->fontName;
    };
    EXPECT_EQ(fontAt(texts[0][0], 0), QStringLiteral("NotInTheList"));
    EXPECT_EQ(fontAt(texts[0][0], 1), QStringLiteral("Georgia"));
    EXPECT_EQ(fontAt(texts[0][1], 0), ZERI_MMObject_Text::defaultFontName());
    EXPECT_EQ(fontAt(texts[1][0], 0), QStringLiteral("NotInTheList"));

    // Headless, without a question, every unsupported font becomes the default font.
    auto quiet = std::make_unique<QVRPowerPointConverter>();
    quiet->setInputFileURL(QUrl::fromLocalFile(m_decks.filePath(QStringLiteral("deck.pptx"))));
    std::shared_ptr<ZERI_TessarineModel> second;
    quiet->setOnDone(
        [&](const std::shared_ptr<ZERI_TessarineModel>& d, const Error&, QVRPowerPointConverter*) { second = d; });
    quiet->startConverting();
    ASSERT_TRUE(processEventsUntil([&] { return second != nullptr; }));
    EXPECT_EQ(fontAt(textObjects(*second)[0][0], 0), ZERI_MMObject_Text::defaultFontName());
}

TEST_F(Converter, DecksThatCannotBeReadFailWithTheirCodeAndLeaveNothingBehind)
{
    // A missing file is reported at once.
    QVRPowerPointConverter missing;
    missing.setInputFileURL(QUrl::fromLocalFile(m_decks.filePath(QStringLiteral("gone.pptx"))));
    Error error;
    missing.setOnDone([&](const std::shared_ptr<ZERI_TessarineModel>& d, const Error& e, QVRPowerPointConverter* c) {
        EXPECT_FALSE(d);
        EXPECT_EQ(c, &missing);
        error = e;
    });
    missing.startConverting();
    EXPECT_EQ(error.domain, QVRPowerPointConverter::errorDomain);
    EXPECT_EQ(error.code, QVRPowerPointConverter::InputMissing);

    // Not a zip, a package that is no presentation, and a slide the reader refuses only once it is read.
    TestDeck brokenSlide = TestDeck::minimal(2);
    brokenSlide.parts["ppt/slides/slide2.xml"] = "<p:sld";
    struct Case {
        QString path;
        int code;
    };
    const std::vector<Case> cases = {
        {writeBytes("plain text, not a zip", QStringLiteral("text.pptx")), QVRPowerPointConverter::NotAPresentation},
        {write(brokenSlide, QStringLiteral("slide.pptx")), QVRPowerPointConverter::ReadFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const ImportOutcome outcome = importDeck(c.path);
        EXPECT_EQ(outcome.doneCount, 1);
        EXPECT_FALSE(outcome.document);
        EXPECT_EQ(outcome.error.domain, QVRPowerPointConverter::errorDomain);
        EXPECT_EQ(outcome.error.code, c.code) << outcome.error.message.toStdString();
        EXPECT_FALSE(outcome.error.message.isEmpty());
        expectNothingLeft();
    }

    // Every deck of the reader's regression corpus: refused ones fail with the reader's mapped code, nothing left.
    const QDir corpus(QStringLiteral(PPTX_FUZZ_CORPUS_DIR));
    const QStringList decks = corpus.entryList({QStringLiteral("*.pptx")}, QDir::Files);
    ASSERT_FALSE(decks.isEmpty());
    for (const QString& name : decks) {
        SCOPED_TRACE(name.toStdString());
        int readerError = 0;
        QTemporaryDir scratch;
        QVD_OPC_PRESENTATION_T* p = qvd_opc_open(QFile::encodeName(corpus.filePath(name)).constData(),
                                                 QFile::encodeName(scratch.path()), &readerError);
        for (QVD_OPC_SLIDE_T* s = p ? qvd_opc_slides(p, &readerError) : nullptr; s && !readerError; s = s->next)
            qvd_opc_slide_objects(s, &readerError);
        if (!readerError)
            qvd_opc_free(p);

        const ImportOutcome outcome = importDeck(corpus.filePath(name));
        EXPECT_EQ(outcome.doneCount, 1);
        if (readerError) {
            EXPECT_FALSE(outcome.document);
            EXPECT_EQ(outcome.error.code, readerError == QVD_OPC_ERR_NOT_PPTX ? QVRPowerPointConverter::NotAPresentation
                                                                              : QVRPowerPointConverter::ReadFailed);
            expectNothingLeft();
        } else {
            ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
            const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(outcome.document->filePackage());
            ASSERT_TRUE(package);
            EXPECT_TRUE(package->deletePackage());
        }
    }
}

TEST_F(Converter, ProgressRisesToOneBeforeTheWholeDocumentIsListedAndHandedOver)
{
    const QString path = picturesDeck(30);
    std::vector<double> seen;
    int done = 0;
    std::vector<double> atDone;
    QVRPowerPointConverter converter;
    converter.setInputFileURL(QUrl::fromLocalFile(path));
    // The documents list shows the document only once it is whole.
    const auto listed = [] { return ZERI_qvdFilePackage::packagesForType(ZERI_qvdFilePackage::OwnDocument).size(); };
    const size_t listedBefore = listed();
    size_t listedWhileBuilding = 0;
    converter.setOnProgress([&](double f) {
        seen.push_back(f);
        listedWhileBuilding = std::max(listedWhileBuilding, listed() - listedBefore);
    });
    converter.setOnDone([&](const std::shared_ptr<ZERI_TessarineModel>& d, const Error& e, QVRPowerPointConverter*) {
        ++done;
        atDone = seen;
        EXPECT_TRUE(d) << e.description().toStdString();
        if (d) {
            EXPECT_EQ(d->firstFlowmodel()->screenModels().size(), 30u);
            EXPECT_EQ(listed(), listedBefore + 1);
        }
    });
    converter.startConverting();
    ASSERT_TRUE(processEventsUntil([&] { return done > 0; }));
    ASSERT_FALSE(atDone.empty());
    EXPECT_DOUBLE_EQ(atDone.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.size(), 30u) << "reading and building both report";
    for (double f : seen)
        EXPECT_TRUE(f > 0 && f <= 1.0);
    EXPECT_EQ(listedWhileBuilding, 0u);
}

// However many sizes a picture is shown at, only a few crops run at once (each decodes the picture), and a cancel
// ends the import as soon as those few have ended.
TEST_F(Converter, OnlyAFewCropsRunAtOnceAndACancelWaitsForThoseAlone)
{
    constexpr int kSizes = 40;
    TestDeck deck = TestDeck::minimal(1);
    deck.parts["ppt/media/big.png"] = pngBytes(1200, 1000).toStdString();
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/big.png");
    std::string tree;
    for (int i = 0; i < kSizes; ++i)
        tree += picture("rId2", TestDeck::xfrm(0, 0, emu(40 + i), emu(30)));
    deck.setSlideTree(1, tree);
    // Pictures written by the import: the original once, and each crop's regular and retina picture.
    const auto picturesWritten = [this] {
        QSet<quint64> inodes;
        for (QDirIterator it(m_folders.packagesFolder(), {QStringLiteral("*.png"), QStringLiteral("*.jpg")},
                             QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            struct stat info {};
            if (::stat(QFile::encodeName(it.next()).constData(), &info) == 0)
                inodes.insert(quint64(info.st_ino));
        }
        return int(inodes.size());
    };
    struct HeldCrops {
        HeldCrops() { MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(true); }
        ~HeldCrops() { MixedMediaObjectStorage::setCroppedImageResultsHeldForTesting(false); }
    };
    auto held = std::make_unique<HeldCrops>();

    QVRPowerPointConverter converter;
    int done = 0;
    converter.setInputFileURL(QUrl::fromLocalFile(write(deck)));
    converter.setOnDone([&](const auto&, const Error&, QVRPowerPointConverter*) { ++done; });
    converter.startConverting();
    // While their results wait, the crops that ran have written their files: the few that run at once.
    ASSERT_TRUE(processEventsUntil([&] { return picturesWritten() > 1; }));
    processEventsUntil([&] { return picturesWritten() > 1 + 2 * 6; }, 3000);
    EXPECT_LE(picturesWritten(), 1 + 2 * 4);

    QElapsedTimer timer;
    timer.start();
    converter.cancel();
    held.reset();
    EXPECT_TRUE(processEventsUntil([] { return QVRPowerPointConverter::unfinishedImportCount() == 0; }, 500));
    EXPECT_LT(timer.elapsed(), 500);
    expectNothingLeft();
    EXPECT_EQ(done, 0);
}

TEST_F(Converter, ACancelAtAnyStageEndsWithoutCompletionPackageOrTemporaryFolder)
{
    const QString path = picturesDeck(30);
    enum Stage { WhileReading, AtFontQuestion, WhileBuilding, ConverterDeleted };
    for (Stage stage : {WhileReading, AtFontQuestion, WhileBuilding, ConverterDeleted}) {
        SCOPED_TRACE(int(stage));
        auto converter = std::make_unique<QVRPowerPointConverter>();
        converter->setInputFileURL(QUrl::fromLocalFile(
            stage == AtFontQuestion
                ? write(
                      [] {
                          TestDeck deck = TestDeck::minimal(1);
                          deck.setSlideTree(
                              1, TestDeck::textShape("", "",
                                                     para(run("x", "<a:rPr><a:latin typeface=\"Calibri\"/></a:rPr>"))));
                          return deck;
                      }(),
                      QStringLiteral("font.pptx"))
                : path));
        int done = 0;
        QVRPowerPointConverter::FontAnswer lateAnswer;
        bool asked = false;
        converter->setOnDone([&](const auto&, const Error&, QVRPowerPointConverter*) { ++done; });
        converter->setFontNeedsReplacing([&](const QString&, QVRPowerPointConverter::FontAnswer answer) {
            asked = true;
            lateAnswer = std::move(answer);
        });
        bool cancelledInBuild = false;
        QVRPowerPointConverter* raw = converter.get();
        converter->setOnProgress([&](double f) {
            // The 5th screen: pictures of the earlier ones are in the package already.
            if (stage == WhileBuilding && f > 0.6 && !cancelledInBuild) {
                cancelledInBuild = true;
                raw->cancel();
            }
        });
        converter->startConverting();
        const QString temporary = converter->temporaryFolder();
        EXPECT_FALSE(temporary.isEmpty());
        switch (stage) {
        case WhileReading:
            converter->cancel();
            break;
        case AtFontQuestion:
            ASSERT_TRUE(processEventsUntil([&] { return asked; }));
            converter->cancel();
            break;
        case WhileBuilding:
            ASSERT_TRUE(processEventsUntil([&] { return cancelledInBuild; }));
            break;
        case ConverterDeleted:
            ASSERT_TRUE(processEventsUntil([&] { return !m_folders.packageFolders().isEmpty(); }));
            converter.reset();
            break;
        }
        expectNothingLeft();
        if (lateAnswer)
            lateAnswer(QStringLiteral("Georgia"));
        QCoreApplication::processEvents();
        EXPECT_EQ(done, 0);
        EXPECT_TRUE(m_folders.packageFolders().isEmpty());
    }
}

} // namespace
