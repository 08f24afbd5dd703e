#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

#include "elements/images/ImageUtils.h"
#include "platform/FreedMemory.h"
#include "support/QtPrinters.h"
#include "tessarine_data_model/DocumentFilePackage.h"
#include "tessarine_data_model/ModelDrawing.h"
#include "tessarine_data_model/ObjectPicture.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Shape.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

namespace {

const QColor kShapeColour(200, 30, 40);

std::shared_ptr<ZERI_MixedMediaObjectProxy> addShape(ZERI_FlowScreenModel& screen, int shapeType, QRectF frame,
                                                     int rotation = 0)
{
    auto proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Shape);
    auto shape = proxy->as<ZERI_MMObject_Shape>();
    shape->setShapeType(shapeType);
    shape->setColor(kShapeColour);
    shape->setFrame(frame);
    shape->setRotation(rotation);
    screen.addMixedMediaObject(proxy);
    return proxy;
}

std::shared_ptr<ZERI_MMObject_Text> addText(ZERI_FlowScreenModel& screen, const QString& string, QRectF frame)
{
    auto proxy = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Text);
    auto text = proxy->as<ZERI_MMObject_Text>();
    text->setText(string);
    text->setFrame(frame);
    screen.addMixedMediaObject(proxy);
    return text;
}

// The eight shape types, each 200 × 150, in two rows of four at 10-point margins.
QRectF shapeFrame(int shapeType)
{
    const int i = shapeType - 1;
    return QRectF(10 + (i % 4) * 250, 100 + (i / 4) * 300, 200, 150);
}

class FolderPackage : public DocumentFilePackage {
public:
    explicit FolderPackage(QString folder)
        : m_folder(std::move(folder))
    {
    }
    QString packageID() const override { return QStringLiteral("folder-package"); }
    QString assetStoragePath() const override { return m_folder; }
    QString publishedAssetStoragePath() const override { return m_folder + QStringLiteral("/published"); }

private:
    QString m_folder;
};

bool painted(const QImage& image, const QRectF& frame, double fx, double fy)
{
    return image.pixelColor(int(frame.x() + fx * frame.width()), int(frame.y() + fy * frame.height())) == kShapeColour;
}

bool blankOutside(const QImage& image, const QRect& frame, QRgb background)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!frame.contains(x, y) && image.pixel(x, y) != background)
                return false;
    return true;
}

int inkedPixels(const QImage& image, const QRect& area, QRgb background)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) != background;
    return count;
}

QString writePicture(const QTemporaryDir& dir, const QString& name, const QImage& image)
{
    const QString path = dir.filePath(name);
    EXPECT_TRUE(ImageUtils::writeImage(image, path));
    return path;
}

// The document as a JSON file "doc.json" in the folder, for render-screens.
QString writeDocument(const QTemporaryDir& dir, const ZERI_TessarineModel& document)
{
    const QString path = dir.filePath("doc.json");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document.jsonData());
    return path;
}

std::shared_ptr<ZERI_ContentAsset> assetForFile(const QString& path)
{
    auto asset = ZERI_ContentAsset::create();
    asset->setExternalURL(QUrl::fromLocalFile(path));
    return asset;
}

// Collects warnings of the model's logging category while it lives.
class WarningRecorder {
public:
    WarningRecorder()
    {
        messages().clear();
        m_previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& message) { messages() << message; });
    }
    ~WarningRecorder() { qInstallMessageHandler(m_previous); }
    static QStringList& messages()
    {
        static QStringList list;
        return list;
    }

private:
    QtMessageHandler m_previous;
};

} // namespace

TEST(ModelDrawing, EachShapeTypeFillsItsFrameTheRightWayUp)
{
    auto screen = ZERI_FlowScreenModel::create();
    for (int type = 1; type <= 8; ++type)
        addShape(*screen, type, shapeFrame(type));
    const QImage image = ModelDrawing::renderScreen(*screen);
    ASSERT_EQ(image.size(), QSize(1024, 748));

    const QRectF rectangle = shapeFrame(1), ellipse = shapeFrame(2), right = shapeFrame(3), isosceles = shapeFrame(4),
                 octagon = shapeFrame(5), arrow = shapeFrame(6), rounded = shapeFrame(7), diagonal = shapeFrame(8);
    EXPECT_TRUE(painted(image, rectangle, 0.01, 0.01) && painted(image, rectangle, 0.99, 0.99));
    EXPECT_TRUE(painted(image, ellipse, 0.5, 0.5) && !painted(image, ellipse, 0.03, 0.03));
    // Right angle at the bottom left.
    EXPECT_TRUE(painted(image, right, 0.03, 0.97) && painted(image, right, 0.03, 0.05));
    EXPECT_TRUE(painted(image, right, 0.95, 0.97) && !painted(image, right, 0.95, 0.05));
    // Apex at the top middle, base along the bottom.
    EXPECT_TRUE(painted(image, isosceles, 0.5, 0.03) && !painted(image, isosceles, 0.1, 0.1));
    EXPECT_TRUE(painted(image, isosceles, 0.03, 0.98) && painted(image, isosceles, 0.97, 0.98));
    // Touches all four sides, corners cut.
    for (auto [x, y] : {std::pair{0.5, 0.005}, {0.5, 0.995}, {0.005, 0.5}, {0.995, 0.5}})
        EXPECT_TRUE(painted(image, octagon, x, y)) << x << "," << y;
    EXPECT_FALSE(painted(image, octagon, 0.03, 0.03));
    EXPECT_FALSE(painted(image, octagon, 0.97, 0.97));
    // Points right: tip at the middle of the right side, shaft on the left.
    EXPECT_TRUE(painted(image, arrow, 0.98, 0.5) && !painted(image, arrow, 0.98, 0.1));
    EXPECT_TRUE(painted(image, arrow, 0.02, 0.5) && !painted(image, arrow, 0.02, 0.1));
    EXPECT_TRUE(painted(image, rounded, 0.5, 0.005) && !painted(image, rounded, 0.003, 0.003));
    // Points to the bottom right: the head fills that corner, the tail at the top left is thin and cut off.
    EXPECT_TRUE(painted(image, diagonal, 0.98, 0.98) && painted(image, diagonal, 0.98, 0.7));
    EXPECT_TRUE(painted(image, diagonal, 0.7, 0.98) && painted(image, diagonal, 0.5, 0.5));
    EXPECT_FALSE(painted(image, diagonal, 0.03, 0.3) || painted(image, diagonal, 0.02, 0.02));
    EXPECT_FALSE(painted(image, diagonal, 0.9, 0.1) || painted(image, diagonal, 0.1, 0.9));
}

TEST(ModelDrawing, QuarterTurnsTurnPolygonsClockwiseAndAShapeWithoutTypeDrawsNothing)
{
    auto screen = ZERI_FlowScreenModel::create();
    addShape(*screen, ZERI_MMObject_Shape::StandardArrow, QRectF(100, 100, 150, 150), 1);
    const QImage down = ModelDrawing::renderScreen(*screen);
    EXPECT_EQ(down.pixelColor(175, 247), kShapeColour); // tip at the bottom middle
    EXPECT_NE(down.pixelColor(247, 175), kShapeColour);

    auto blankScreen = ZERI_FlowScreenModel::create();
    auto none = addShape(*blankScreen, ZERI_MMObject_Shape::NoShape, QRectF(10, 10, 200, 150));
    QImage image = ModelDrawing::renderScreen(*blankScreen);
    {
        WarningRecorder recorder;
        QPainter painter(&image);
        none->as<ZERI_MMObject_Shape>()->drawIntoContext(&painter, QRectF(10, 10, 200, 150));
        EXPECT_TRUE(WarningRecorder::messages().join('\n').contains(
            QStringLiteral("drawIntoContext invoked for a shape with no shapeType!!!!")));
    }
    EXPECT_TRUE(blankOutside(image, QRect(), qRgb(255, 255, 255)));
}

TEST(ModelDrawing, ObjectsDrawTheirCroppedPictureOrABorderWhenBlank)
{
    QTemporaryDir dir;
    QImage picture(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            picture.setPixel(x, y, qRgb(x * 2, y * 3, 90));
    auto screen = ZERI_FlowScreenModel::create();
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    image->object()->setFrame(QRectF(50, 40, 120, 80));
    image->object()->setCroppedImageAsset(assetForFile(writePicture(dir, "cropped.png", picture)));
    screen->addMixedMediaObject(image);
    auto blank = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    blank->object()->setFrame(QRectF(300, 300, 100, 100));
    screen->addMixedMediaObject(blank);

    const QImage plain = ModelDrawing::renderScreen(*screen);
    EXPECT_EQ(plain.copy(50, 40, 120, 80).convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_EQ(plain.pixel(300, 350), qRgb(255, 255, 255));

    const QImage bordered = ModelDrawing::renderScreen(*screen, 1.0, /*drawBordersForBlankObjects=*/true);
    EXPECT_EQ(bordered.pixel(300, 350), qRgb(128, 128, 128));
    EXPECT_EQ(bordered.pixel(350, 350), qRgb(255, 255, 255));

    // A picture file that is no picture: the object counts as blank, and the file is reported once, not at every
    // drawing.
    auto broken = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    broken->object()->setFrame(QRectF(600, 300, 100, 100));
    QFile junk(dir.filePath("junk.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("\x89PNG but nothing more");
    junk.close();
    broken->object()->setCroppedImageAsset(assetForFile(junk.fileName()));
    screen->addMixedMediaObject(broken);
    {
        WarningRecorder recorder;
        EXPECT_EQ(ModelDrawing::renderScreen(*screen, 1.0, true).pixel(600, 350), qRgb(128, 128, 128));
        ModelDrawing::renderScreen(*screen, 1.0, true);
        EXPECT_EQ(WarningRecorder::messages().filter(QStringLiteral("junk.png")).size(), 1);
    }

    // Twice the size: the same picture scaled into the doubled frame.
    const QImage doubled = ModelDrawing::renderScreen(*screen, 2.0);
    ASSERT_EQ(doubled.size(), QSize(2048, 1496));
    const QColor expected = picture.pixelColor(60, 40);
    const QColor drawn = doubled.pixelColor(100 + 2 * 60 + 1, 80 + 2 * 40 + 1);
    EXPECT_NEAR(drawn.red(), expected.red(), 3);
    EXPECT_NEAR(drawn.green(), expected.green(), 3);
    EXPECT_EQ(drawn.blue(), expected.blue());
}

// Every shape of picture the service and this computer leave, in every folder of the package: the drawing finds the
// file the canvas finds (the cropped picture, else the original, in the asset folder or the published one, by its
// local name or its web name) and draws it; one not on disk yet counts as lacking.
TEST(ModelDrawing, EveryPictureIsDrawnFromWhereverThePackageHoldsIt)
{
    QTemporaryDir dir;
    const QString assets = dir.filePath("assets");
    auto package = std::make_shared<FolderPackage>(assets);
    ASSERT_TRUE(QDir().mkpath(package->publishedAssetStoragePath()));
    auto document = ZERI_TessarineModel::create();
    document->setFilePackage(package);
    auto screen = ZERI_FlowScreenModel::create();
    document->firstFlowmodel()->addFlowScreen(screen);
    enum Assets { CroppedAndOriginal, OriginalOnly, CroppedOnly };
    enum Where { InAssets, InPublished, ByLocalNameInPublished, NotDownloaded };
    struct Case {
        Assets assets;
        Where where;
        QColor colour;
        std::shared_ptr<ZERI_MixedMediaObjectProxy> object;
    };
    std::vector<Case> cases;
    int index = 0;
    for (Assets kind : {CroppedAndOriginal, OriginalOnly, CroppedOnly}) {
        for (Where where : {InAssets, InPublished, ByLocalNameInPublished, NotDownloaded}) {
            const QColor colour = QColor::fromHsv(index * 29 % 360, 200, 200);
            const QRectF frame(20 + (index % 6) * 160, 20 + (index / 6) * 160, 120, 90);
            auto object = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
            object->object()->setFrame(frame);
            const auto assetOf = [&](const QString& name, const QSize& pixels) {
                QImage picture(pixels, QImage::Format_RGB32);
                picture.fill(colour);
                const QString folder = where == InAssets ? assets : package->publishedAssetStoragePath();
                auto asset = ZERI_ContentAsset::create();
                QString file;
                if (where == ByLocalNameInPublished) {
                    asset->setExternalURL(QUrl::fromLocalFile(QStringLiteral("/another/computer/assets/") + name));
                    file = QDir(folder).filePath(name);
                } else {
                    const QUrl address(QStringLiteral("https://media.example/%1/%2").arg(index).arg(name));
                    asset->setExternalURL(address);
                    file = ZERI_ContentAsset::fileForUrlInFolder(address, folder);
                }
                if (where != NotDownloaded) {
                    EXPECT_TRUE(ImageUtils::writeImage(picture, file));
                }
                return asset;
            };
            if (kind != OriginalOnly)
                object->object()->setCroppedImageAsset(
                    assetOf(QStringLiteral("cropped%1.png").arg(index), QSize(120, 90)));
            if (kind != CroppedOnly)
                object->object()->setOriginalImageAsset(
                    assetOf(QStringLiteral("original%1.png").arg(index), QSize(240, 180)));
            screen->addMixedMediaObject(object);
            cases.push_back({kind, where, colour, object});
            ++index;
        }
    }
    const QImage drawn = ModelDrawing::renderScreen(*screen);
    for (const Case& c : cases) {
        const QPoint middle = (*c.object)->frame().center().toPoint();
        const bool lacking = c.where == NotDownloaded;
        EXPECT_EQ(drawn.pixel(middle) == c.colour.rgb(), !lacking) << int(c.assets) << " in " << int(c.where);
        EXPECT_EQ(ObjectPicture::lacksPicture(*c.object->object()), lacking) << int(c.assets) << " in " << int(c.where);
        EXPECT_EQ(ObjectPicture::missing(*c.object->object()).size(),
                  lacking ? (c.assets == CroppedAndOriginal ? 2u : 1u) : 0u);
    }
    EXPECT_TRUE(ObjectPicture::screenLacksPictures(*screen));
}

TEST(ModelDrawing, TheMainThreadDrawsOnlyPicturesAlreadyDecodedUnlessTold)
{
    QTemporaryDir dir;
    QImage picture(20, 20, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 255));
    auto object = ZERI_MixedMediaObject::makeObjectOfType(ZERI_MixedMediaObject::Image);
    object->setFrame(QRectF(0, 0, 20, 20));
    object->setCroppedImageAsset(assetForFile(writePicture(dir, "main.png", picture)));
    ModelImageCache::clear();
    auto draw = [&](bool ignoreThreadSafety) {
        QImage canvas = ImageUtils::createCGBitmapContextWithWidth(20, 20);
        QPainter painter(&canvas);
        object->drawOnContext(&painter, 1.0, QSizeF(20, 20), false, ignoreThreadSafety);
        painter.end();
        return canvas.pixel(10, 10);
    };
    EXPECT_EQ(draw(false), 0u);
    EXPECT_EQ(draw(true), qRgb(0, 0, 255));
    EXPECT_EQ(draw(false), qRgb(0, 0, 255));
}

// Decoded pictures are kept within the cache's bytes, and within a quarter of them while the system is short of
// memory: the pictures used longest ago go first.
TEST(ModelDrawing, DecodedPicturesStayWithinTheirBytesAndGiveBackWhileMemoryIsShort)
{
    QTemporaryDir dir;
    constexpr int kSide = 2048; // 16 MB decoded
    constexpr qint64 kBytes = qint64(kSide) * kSide * 4;
    QStringList files;
    for (int i = 0; i < 6; ++i) {
        QImage picture(kSide, kSide, QImage::Format_RGB32);
        picture.fill(qRgb(20 * i, 0, 255));
        files.append(writePicture(dir, QStringLiteral("big%1.png").arg(i), picture));
    }
    const auto cached = [&] {
        int count = 0;
        for (const QString& file : files)
            count += ModelImageCache::imageForFile(file, false).isNull() ? 0 : 1;
        return count;
    };
    ModelImageCache::clear();
    for (const QString& file : files)
        ASSERT_FALSE(ModelImageCache::imageForFile(file, true).isNull());
    EXPECT_EQ(cached(), 6) << "six pictures fit in " << ModelImageCache::capacityBytes << " bytes";

    FreedMemory::setScarceForTesting(1);
    ModelImageCache::clear();
    for (const QString& file : files)
        ASSERT_FALSE(ModelImageCache::imageForFile(file, true).isNull());
    EXPECT_EQ(cached(), int(ModelImageCache::capacityBytes / 4 / kBytes));
    EXPECT_FALSE(ModelImageCache::imageForFile(files.last(), false).isNull()) << "the latest picture stays";
    EXPECT_TRUE(ModelImageCache::imageForFile(files.first(), false).isNull()) << "the oldest picture goes";
    FreedMemory::setScarceForTesting(-1);
    ModelImageCache::clear();
}

TEST(ModelDrawing, TextDrawsInsideItsFrameOnlyOrExactlyItsCroppedPicture)
{
    auto screen = ZERI_FlowScreenModel::create();
    const QString longText = QStringLiteral("A text much longer than its frame can hold, so that lines run past the "
                                            "bottom edge of the object and must be clipped away by the drawing.");
    auto text = addText(*screen, longText, QRectF(100, 100, 300, 120));
    const QImage image = ModelDrawing::renderScreen(*screen);
    EXPECT_GT(inkedPixels(image, QRect(100, 100, 300, 120), qRgb(255, 255, 255)), 500);
    EXPECT_TRUE(blankOutside(image, QRect(100, 100, 300, 120), qRgb(255, 255, 255)));
    // The text starts inside the container inset: nothing in the 5-point margin on the left.
    EXPECT_EQ(inkedPixels(image, QRect(100, 100, 4, 120), qRgb(255, 255, 255)), 0);

    // An empty text object shows as a blank placeholder when asked.
    auto empty = addText(*screen, QString(), QRectF(500, 500, 100, 100));
    EXPECT_EQ(ModelDrawing::renderScreen(*screen).pixel(500, 550), qRgb(255, 255, 255));
    EXPECT_EQ(ModelDrawing::renderScreen(*screen, 1.0, true).pixel(500, 550), qRgb(128, 128, 128));
    screen->removeMixedMediaObject(empty->proxy());

    // Only the text objects go when text is left out.
    EXPECT_EQ(inkedPixels(ModelDrawing::renderScreen(*screen, 1.0, false, /*drawTextObjects=*/false),
                          QRect(0, 0, 1024, 748), qRgb(255, 255, 255)),
              0);

    QTemporaryDir dir;
    QImage picture(300, 120, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 10));
    picture.setPixel(7, 9, qRgb(1, 2, 3));
    const QString file = writePicture(dir, "text.png", picture);
    text->setCroppedImageAsset(assetForFile(file));
    const QImage withPicture = ModelDrawing::renderScreen(*screen);
    EXPECT_EQ(withPicture.copy(100, 100, 300, 120).convertToFormat(QImage::Format_RGB32), picture);
    EXPECT_TRUE(blankOutside(withPicture, QRect(100, 100, 300, 120), qRgb(255, 255, 255)));
    // Read for the drawing, not kept: a text's picture is made anew at each edit.
    EXPECT_TRUE(ModelImageCache::imageForFile(file, false).isNull());
}

TEST(ModelDrawing, TextIsLaidOutAtSeventyTwoDotsPerInch)
{
    // A capital H of the default 40-point font is about 0.7 em tall: 28 points, so 28 pixels at scale 1.
    auto screen = ZERI_FlowScreenModel::create();
    addText(*screen, QStringLiteral("H"), QRectF(0, 0, 200, 100));
    const QImage image = ModelDrawing::renderScreen(*screen);
    int top = -1, bottom = -1;
    for (int y = 0; y < 100; ++y)
        if (inkedPixels(image, QRect(0, y, 200, 1), qRgb(255, 255, 255)) > 0) {
            top = top < 0 ? y : top;
            bottom = y;
        }
    ASSERT_GE(top, 8); // below the 8-point inset
    EXPECT_NEAR(bottom - top + 1, 28, 4);
}

TEST(ModelDrawing, TextMeasurementsAndPaddings)
{
    auto object = std::static_pointer_cast<ZERI_MMObject_Text>(
        ZERI_MixedMediaObject::makeObjectOfType(ZERI_MixedMediaObject::Text));
    object->setFrame(QRectF(30, 40, 400, 100));
    EXPECT_EQ(object->layoutManagerUsedRectForWidth(400), QRectF());
    EXPECT_EQ(object->suggestedFrameConstrainedToWidth(300), QRectF(30, 40, 300, 0));

    object->setText(QStringLiteral("One line"));
    const QRectF one = object->layoutManagerUsedRectForWidth(400);
    EXPECT_GT(one.width(), 1);
    EXPECT_LE(one.right(), 390);
    EXPECT_GT(one.height(), 40);
    object->setText(QStringLiteral("One line\nand another"));
    const QRectF two = object->layoutManagerUsedRectForWidth(400);
    EXPECT_GT(two.height(), one.height() * 1.5);
    // A trailing line break opens no line of its own.
    object->setText(QStringLiteral("One line\n"));
    EXPECT_EQ(object->layoutManagerUsedRectForWidth(400).height(), one.height());

    // Narrower means more lines; the suggested frame keeps the object's origin and the given width.
    object->setText(QStringLiteral("several words that wrap onto more lines when the width shrinks"));
    const QRectF wide = object->suggestedFrameConstrainedToWidth(1000);
    const QRectF narrow = object->suggestedFrameConstrainedToWidth(150);
    EXPECT_EQ(narrow.topLeft(), QPointF(30, 40));
    EXPECT_EQ(narrow.width(), 150);
    EXPECT_GT(narrow.height(), 2 * wide.height());
    EXPECT_GT(object->suggestedFrameConstrainedToWidth(1000, TextFrameAttributes{2.0}).height(), 1.9 * wide.height());

    EXPECT_EQ(object->layoutManagerUsedRectForWidth(0), QRectF());
    EXPECT_EQ(object->layoutManagerUsedRectForWidth(NAN), QRectF());
    EXPECT_EQ(object->suggestedFrameConstrainedToWidth(NAN).size(), QSizeF(0, 0));

    const std::pair<double, std::pair<double, double>> paddings[] = {{12, {12, 4}}, {14, {10, 6}}, {20, {8, 8}}};
    for (const auto& [size, expected] : paddings) {
        object->setAttributedString(AttributedText(QStringLiteral("x"), TextAttributes{"Helvetica", size, {}, 0}));
        EXPECT_EQ(object->textViewXPadding(), expected.first) << size;
        EXPECT_EQ(object->textViewYPadding(), expected.second) << size;
    }
}

TEST(ModelDrawing, HtmlFormAndPastedTextFilter)
{
    AttributedText string(QStringLiteral("Fish & <chips>\nSecond"),
                          TextAttributes{QStringLiteral("HelveticaNeue-Bold"), 18, QColor(255, 0, 0), 2});
    string.setAttributes(TextAttributes{QStringLiteral("Georgia"), 12, {}, 0}, TextRange{15, 6});
    const QString html = ZERI_MMObject_Text::htmlSerializeAttributedString(string);
    EXPECT_TRUE(html.contains(QStringLiteral("Fish &amp; &lt;chips&gt;")));
    EXPECT_TRUE(html.contains(QStringLiteral("text-align:center")));
    EXPECT_TRUE(html.contains(QStringLiteral("font-size:18pt")));
    EXPECT_TRUE(html.contains(QStringLiteral("color:#ff0000")));
    EXPECT_TRUE(html.contains(QStringLiteral("font-weight:700")));
    EXPECT_EQ(html.count(QStringLiteral("<p ")), 2);
    QTextDocument reread;
    reread.setHtml(html);
    EXPECT_EQ(reread.toPlainText(), string.string());

    QTextDocument pasted;
    pasted.setHtml(QStringLiteral("<p align=\"right\"><a href=\"https://example.org\"><b style=\"font-size:20pt; "
                                  "color:#00ff00; background:#000000\">Bold</b></a> <u>plain</u><img src=\"x.png\">"
                                  "</p><p>next</p>"));
    const AttributedText cleaned = ZERI_MMObject_Text::attributedStringWithUnsupportedAttributesRemoved(pasted);
    EXPECT_EQ(cleaned.string(), QStringLiteral("Bold plain\nnext"));
    const TextAttributes bold = cleaned.attributesAtIndex(0).value();
    EXPECT_TRUE(bold.fontName.endsWith(QStringLiteral("-Bold")));
    EXPECT_EQ(bold.fontSize, 20);
    EXPECT_EQ(bold.foregroundColor, QColor(0, 255, 0));
    EXPECT_EQ(bold.alignment, TextAttributes::Right);
    EXPECT_EQ(cleaned.attributesAtIndex(12)->alignment, TextAttributes::Natural);
}

TEST(RenderScreensTool, WritesOnePngPerScreenOfADocumentFile)
{
    QTemporaryDir dir;
    auto document = ZERI_TessarineModel::create();
    auto flow = document->firstFlowmodel();
    ASSERT_TRUE(flow);
    auto shapes = ZERI_FlowScreenModel::create();
    for (int type = 1; type <= 8; ++type)
        addShape(*shapes, type, shapeFrame(type));
    flow->addFlowScreen(shapes);
    auto texts = ZERI_FlowScreenModel::create();
    addText(*texts, QStringLiteral("Hello"), QRectF(10, 10, 400, 100));
    flow->addFlowScreen(texts);
    const QString documentPath = writeDocument(dir, *document);

    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + "/render-screens", {documentPath, dir.filePath("out")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QImage first(dir.filePath("out/flow1-screen001.png"));
    ASSERT_EQ(first.size(), QSize(1024, 748));
    EXPECT_EQ(first.convertToFormat(QImage::Format_RGB32),
              ModelDrawing::renderScreen(*shapes).convertToFormat(QImage::Format_RGB32));
    EXPECT_TRUE(QFile::exists(dir.filePath("out/flow1-screen002.png")));

    QProcess bad;
    bad.start(QCoreApplication::applicationDirPath() + "/render-screens", {dir.filePath("missing.json"), dir.path()});
    ASSERT_TRUE(bad.waitForFinished(60000));
    EXPECT_EQ(bad.exitCode(), 1);
}

TEST(RenderScreensTool, TheFileHoldsExactlyTheDrawnPixels)
{
    // Rotated edges, a translucent fill over other shapes and text: every pixel as drawn, alpha included.
    QTemporaryDir dir;
    auto document = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    for (int type = 1; type <= 8; ++type)
        addShape(*screen, type, shapeFrame(type), type * 17);
    addShape(*screen, ZERI_MMObject_Shape::Rectangle, QRectF(300, 20, 500, 700))
        ->as<ZERI_MMObject_Shape>()
        ->setColor(QColor(10, 200, 90, 100));
    addText(*screen, QStringLiteral("Text over shapes"), QRectF(40, 300, 900, 120));
    document->firstFlowmodel()->addFlowScreen(screen);
    const QString documentPath = writeDocument(dir, *document);

    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + "/render-screens", {documentPath, dir.filePath("out")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QImage written = QImage(dir.filePath("out/flow1-screen001.png")).convertToFormat(QImage::Format_ARGB32);
    const QImage drawn = ModelDrawing::renderScreen(*screen).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(written.size(), drawn.size());
    int blended = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        const auto* expected = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        const auto* actual = reinterpret_cast<const QRgb*>(written.constScanLine(y));
        for (int x = 0; x < drawn.width(); ++x) {
            ASSERT_EQ(actual[x], expected[x]) << "at " << x << ", " << y;
            blended += qGreen(expected[x]) > 100 && qRed(expected[x]) > 100 && qRed(expected[x]) < 200;
        }
    }
    EXPECT_GT(blended, 1000) << "the translucent fill is drawn over the shapes";
}

TEST(RenderScreensTool, ATextOfOneWordOfTwoMillionCharactersIsDrawnWithoutHanging)
{
    QTemporaryDir dir;
    auto document = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    addText(*screen, QString(2000000, QLatin1Char('W')), QRectF(100, 100, 600, 400));
    document->firstFlowmodel()->addFlowScreen(screen);
    const QString documentPath = writeDocument(dir, *document);

    // Laid out a line at a time from the word's start, it took minutes; in one pass, about a second.
    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + "/render-screens", {documentPath, dir.filePath("out")});
    ASSERT_TRUE(tool.waitForFinished(90000)) << "render-screens still running after 90 s";
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QImage drawn(dir.filePath("out/flow1-screen001.png"));
    ASSERT_FALSE(drawn.isNull());
    EXPECT_GT(inkedPixels(drawn, QRect(100, 100, 600, 400), drawn.pixel(5, 5)), 1000);
    EXPECT_EQ(inkedPixels(drawn, QRect(0, 510, 1024, 238), drawn.pixel(5, 5)), 0) << "nothing below the frame";
}

TEST(RenderScreensTool, APackageFolderFindsItsPicturesInItsAssetsFolder)
{
    // The document names its picture by a path from another machine; the package's assets folder holds the file.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("package/assets"));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(qRgb(250, 120, 0));
    writePicture(dir, "package/assets/picture.png", picture);
    auto document = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    image->object()->setFrame(QRectF(100, 100, 64, 48));
    image->object()->setCroppedImageAsset(assetForFile(QStringLiteral("/elsewhere/assets/picture.png")));
    screen->addMixedMediaObject(image);
    document->firstFlowmodel()->addFlowScreen(screen);
    QFile file(dir.filePath("package/docfile.qvd"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document->jsonData());
    file.close();

    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + "/render-screens",
               {dir.filePath("package"), dir.filePath("out")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QImage drawn(dir.filePath("out/flow1-screen001.png"));
    ASSERT_EQ(drawn.size(), QSize(1024, 748));
    EXPECT_EQ(drawn.pixel(130, 120), qRgb(250, 120, 0));
}

// A document that came from the service names its pictures by their web addresses; the downloader stored each in
// the package's assets folder under the name the content asset's rule gives. The tool draws them from there.
TEST(RenderScreensTool, APackageFolderFindsPicturesStoredUnderTheirWebAddresses)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("package/assets"));
    const QString assets = dir.filePath("package/assets");
    const QUrl cropped(QStringLiteral("https://media.example/pictures/cropped.png"));
    const QUrl original(QStringLiteral("https://media.example/pictures/picture.png?size=full"));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(qRgb(20, 160, 90));
    ASSERT_TRUE(ImageUtils::writeImage(picture, ZERI_ContentAsset::fileForUrlInFolder(cropped, assets)));
    ASSERT_TRUE(ImageUtils::writeImage(picture, ZERI_ContentAsset::fileForUrlInFolder(original, assets)));
    EXPECT_FALSE(QFileInfo::exists(QDir(assets).filePath("cropped.png"))) << "not stored by its own name";
    auto document = ZERI_TessarineModel::create();
    auto screen = ZERI_FlowScreenModel::create();
    auto image = ZERI_MixedMediaObject::objectWithType(ZERI_MixedMediaObject::Image);
    image->object()->setFrame(QRectF(100, 100, 64, 48));
    auto croppedAsset = ZERI_ContentAsset::create();
    croppedAsset->setExternalURL(cropped);
    image->object()->setCroppedImageAsset(croppedAsset);
    auto originalAsset = ZERI_ContentAsset::create();
    originalAsset->setExternalURL(original);
    image->object()->setOriginalImageAsset(originalAsset);
    screen->addMixedMediaObject(image);
    document->firstFlowmodel()->addFlowScreen(screen);
    QFile file(dir.filePath("package/docfile.qvd"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(document->jsonData());
    file.close();

    QProcess tool;
    tool.start(QCoreApplication::applicationDirPath() + "/render-screens",
               {dir.filePath("package"), dir.filePath("out")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QImage drawn(dir.filePath("out/flow1-screen001.png"));
    ASSERT_EQ(drawn.size(), QSize(1024, 748));
    EXPECT_EQ(drawn.pixel(130, 120), qRgb(20, 160, 90));
}

TEST(ModelDrawing, AStopCheckEndsTheWalkBeforeTheNextObject)
{
    auto screen = ZERI_FlowScreenModel::create();
    addShape(*screen, 1, QRectF(10, 10, 100, 100));
    addShape(*screen, 1, QRectF(300, 10, 100, 100));
    QImage picture = ImageUtils::createCGBitmapContextWithWidth(1024, 748);
    int asked = 0;
    {
        QPainter painter(&picture);
        ModelDrawing::drawScreen(&painter, *screen, 1.0, false, true, true, [&asked] { return ++asked > 1; });
    }
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(picture.pixelColor(60, 60), kShapeColour);
    EXPECT_EQ(picture.pixelColor(350, 60), QColor(Qt::white));
}

TEST(ModelDrawing, ADrawingCopyKeepsIdsSizeThemeAndAssetFolderAndNeverSaves)
{
    auto package = std::make_shared<FolderPackage>(QStringLiteral("/some/assets"));
    auto document = ZERI_TessarineModel::create();
    document->setFilePackage(package);
    document->setIsThemeTessarine(true);
    document->firstFlowmodel()->setViewSize(QSizeF(800, 600));
    auto screen = ZERI_FlowScreenModel::create();
    document->firstFlowmodel()->addFlowScreen(screen);
    const auto shape = addShape(*screen, 1, QRectF(10, 10, 100, 100));

    auto copy = screen->drawingCopy();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy, screen);
    EXPECT_EQ(copy->internalID(), screen->internalID());
    ASSERT_EQ(copy->mixedMediaObjects().size(), 1u);
    EXPECT_EQ(copy->mixedMediaObjects().front()->object()->internalID(), shape->object()->internalID());
    EXPECT_EQ(copy->screenSize(), QSizeF(800, 600));
    const auto copyDocument = copy->tessarineModel();
    ASSERT_TRUE(copyDocument);
    EXPECT_NE(copyDocument, document);
    EXPECT_TRUE(copyDocument->isThemeTessarine());
    EXPECT_TRUE(copyDocument->dontSave());
    EXPECT_EQ(copy->assetStoragePath(), QStringLiteral("/some/assets"));
    // Editing the original leaves the copy as it was.
    shape->object()->setFrame(QRectF(500, 10, 100, 100));
    EXPECT_EQ(copy->mixedMediaObjects().front()->object()->frame(), QRectF(10, 10, 100, 100));

    // A screen outside a flow is copied at the standard size.
    auto loose = ZERI_FlowScreenModel::create();
    EXPECT_EQ(loose->drawingCopy()->screenSize(), QSizeF(1024, 748));
}
