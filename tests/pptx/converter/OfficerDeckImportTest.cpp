#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "pptx/TestDeck.h"
#include "pptx/converter/ConverterTestSupport.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "tessarine_data_model/ZERI_ContentAsset.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_FlowScreenModel.h"
#include "tessarine_data_model/ZERI_MMObject_Text.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

// Decks written by others, fetched at test time by scripts/fetch-test-data-pptx.sh.
namespace {

QString decksDir()
{
    return qEnvironmentVariable("TESS_PPTX_DECKS_DIR");
}

#define REQUIRE_DECKS()                                                                                                \
    do {                                                                                                               \
        if (decksDir().isEmpty())                                                                                      \
            GTEST_SKIP() << "TESS_PPTX_DECKS_DIR is not set: run scripts/fetch-test-data-pptx.sh (test.sh does)";      \
    } while (false)

QString deck(const QString& name)
{
    return decksDir() + QLatin1Char('/') + name;
}

std::vector<xmlNodePtr> elements(xmlNodePtr parent, const char* name)
{
    std::vector<xmlNodePtr> found;
    for (xmlNodePtr n = parent ? parent->children : nullptr; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, BAD_CAST name) == 0)
            found.push_back(n);
    return found;
}

// An attribute without a namespace, or with one when `qualified` (r:id beside id).
std::string attribute(xmlNodePtr node, const char* name, bool qualified = false)
{
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        if (xmlStrcmp(a->name, BAD_CAST name) == 0 && (a->ns != nullptr) == qualified && a->children &&
            a->children->content)
            return reinterpret_cast<const char*>(a->children->content);
    }
    return {};
}

// Slides the presentation's slide list names that exist in the package, counted from the zip itself.
int listedExistingSlides(const QString& path)
{
    const auto entries = unzipEntries(readFileBytes(path.toStdString()));
    std::map<std::string, std::string> files(entries.begin(), entries.end());
    auto parse = [&](const std::string& name) {
        const std::string& xml = files[name];
        return xmlReadMemory(xml.data(), int(xml.size()), name.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOENT);
    };
    xmlDocPtr presentation = parse("ppt/presentation.xml");
    xmlDocPtr rels = parse("ppt/_rels/presentation.xml.rels");
    std::map<std::string, std::string> targets;
    if (rels) {
        for (xmlNodePtr r : elements(xmlDocGetRootElement(rels), "Relationship"))
            targets[attribute(r, "Id")] = attribute(r, "Target");
    }
    int count = 0;
    if (presentation) {
        for (xmlNodePtr list : elements(xmlDocGetRootElement(presentation), "sldIdLst")) {
            for (xmlNodePtr id : elements(list, "sldId")) {
                const std::string target = targets[attribute(id, "id", true)];
                if (target.empty())
                    continue;
                const QString part = target[0] == '/'
                                         ? QString::fromStdString(target.substr(1))
                                         : QDir::cleanPath(QStringLiteral("ppt/") + QString::fromStdString(target));
                count += files.count(part.toStdString()) ? 1 : 0;
            }
        }
    }
    xmlFreeDoc(presentation);
    xmlFreeDoc(rels);
    return count;
}

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QString& program, const QStringList& arguments, const QString& temporary)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temporary);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST(OfficerDeckImport, ExampleDeckBecomesItsScreensWithOneFontQuestion)
{
    REQUIRE_DECKS();
    ConverterFolders folders;
    const ImportOutcome outcome =
        importDeck(deck(QStringLiteral("example.pptx")), [](const QString&) { return QStringLiteral("Georgia"); });
    ASSERT_TRUE(outcome.document) << outcome.error.description().toStdString();
    EXPECT_EQ(outcome.fontsAsked, QStringList{QStringLiteral("Calibri")});
    const auto& screens = outcome.document->firstFlowmodel()->screenModels();
    ASSERT_EQ(screens.size(), 3u);

    const auto& first = screens[0]->mixedMediaObjects();
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(first[0]->as<ZERI_MMObject_Text>()->attributedString().string(), QStringLiteral("Title"));
    EXPECT_EQ(first[2]->as<ZERI_MMObject_Text>()->attributedString().string(), QStringLiteral("R logo"));
    const auto& image = first[3]->object();
    EXPECT_EQ(image->type(), ZERI_MixedMediaObject::Image);
    EXPECT_EQ(image->frame(), QRectF(487, 228, 424, 414));
    ASSERT_TRUE(image->zoomScale());
    EXPECT_NEAR(*image->zoomScale(), 424.0 / 210.0, 1e-3);
    QFile original(image->originalImageAsset()->localFilePath());
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    std::string media;
    for (const auto& [name, bytes] : unzipEntries(readFileBytes(deck(QStringLiteral("example.pptx")).toStdString())))
        if (name == "ppt/media/image1.png")
            media = bytes;
    EXPECT_EQ(original.readAll().toStdString(), media);

    const auto texts = textObjects(*outcome.document);
    ASSERT_EQ(texts[1].size(), 2u);
    const AttributedText body = texts[1][1]->attributedString();
    EXPECT_EQ(body.string(),
              QStringLiteral("    \u2022 This is \n        \u2013 an unordered\n            \u2022 list of "
                             "paragraphs\n    \u2022 This is an ordered\n    \u2022 list of paragraphs"));
    const QStringList lines = body.string().split(QLatin1Char('\n'));
    const std::vector<double> sizes = {32, 28, 24, 32, 32};
    qsizetype at = 0;
    for (int i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(body.attributesAtIndex(at + lines[i].size() - 1)->fontSize, sizes[size_t(i)]) << i;
        at += lines[i].size() + 1;
    }
    EXPECT_TRUE(screens[2]->mixedMediaObjects().empty());
    for (const auto& screen : texts)
        for (const auto& text : screen) {
            const AttributedText string = text->attributedString();
            for (const auto& run : string.runs())
                EXPECT_EQ(run.attributes.fontName, QStringLiteral("Georgia"));
        }
}

TEST(OfficerDeckImport, CommandLineToolImportsEveryDeckAndRefusesOtherPackages)
{
    REQUIRE_DECKS();
    QTemporaryDir scratch;
    const QString temporary = scratch.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(temporary));
    const QString out = scratch.filePath(QStringLiteral("out"));
    const QStringList decks =
        QDir(decksDir())
            .entryList({QStringLiteral("*.pptx"), QStringLiteral("*.docx"), QStringLiteral("*.xlsx")}, QDir::Files,
                       QDir::Name);
    ASSERT_GE(decks.size(), 5);
    for (const QString& name : decks) {
        SCOPED_TRACE(name.toStdString());
        const bool existed = QFileInfo::exists(out);
        const QStringList before = QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const ToolRun run = runTool(QStringLiteral(PPTX_IMPORT_PATH), {deck(name), out}, temporary);
        if (!name.endsWith(QLatin1String(".pptx"))) {
            EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
            EXPECT_TRUE(run.out.isEmpty());
            EXPECT_EQ(QFileInfo::exists(out), existed) << "OUTDIR is left as it was";
            EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
            continue;
        }
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const QString packagePath = run.out.trimmed();
        ASSERT_TRUE(QFileInfo(packagePath).isDir());
        EXPECT_EQ(QFileInfo(packagePath).absolutePath(), QDir(out).absolutePath());

        // The package reloads to the same bytes and is the user's own document.
        {
            ConverterFolders folders;
            ZERI_qvdFilePackage::setPackagesFolder(out);
            const auto package = ZERI_qvdFilePackage::packageForID(QFileInfo(packagePath).fileName());
            ASSERT_TRUE(package);
            EXPECT_EQ(package->metaData().packageType(), ZERI_qvdFilePackage::OwnDocument);
            ASSERT_TRUE(package->loadModel());
            QFile draft(package->draftFilePath());
            ASSERT_TRUE(draft.open(QIODevice::ReadOnly));
            EXPECT_EQ(package->model()->jsonData(), draft.readAll());
        }

        const QString pictures = scratch.filePath(QStringLiteral("png-") + name);
        const ToolRun render = runTool(QStringLiteral(RENDER_SCREENS_PATH), {packagePath, pictures}, temporary);
        EXPECT_EQ(render.exitCode, 0) << render.err.toStdString();
        EXPECT_EQ(QDir(pictures).entryList({QStringLiteral("*.png")}, QDir::Files).size(),
                  listedExistingSlides(deck(name)));
    }
    EXPECT_TRUE(QDir(temporary).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        << "no temporary folder remains";
}
