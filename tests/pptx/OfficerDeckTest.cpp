#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "pptx/ReaderTestSupport.h"
#include "pptx/TestDeck.h"
#include "pptx/reader/DeckJson.h"
#include "support/TestEnvironment.h"

// Decks written by others, fetched at test time from Debian packages by
// scripts/fetch-test-data-pptx.sh (r-cran-officer's example and template decks, pandoc's reference
// deck, and officer's .docx/.xlsx packages that are no presentations).
namespace {

std::string decksDir()
{
    return qEnvironmentVariable("TESS_PPTX_DECKS_DIR").toStdString();
}

#define REQUIRE_DECKS()                                                                                                \
    do {                                                                                                               \
        if (decksDir().empty()) {                                                                                      \
            GTEST_SKIP() << "TESS_PPTX_DECKS_DIR is not set: run scripts/fetch-test-data-pptx.sh (test.sh does)";      \
        }                                                                                                              \
    } while (false)

std::string deck(const std::string& name)
{
    return decksDir() + "/" + name;
}

class OfficerDecks : public ::testing::Test {
protected:
    void SetUp() override
    {
        qvd_opc_init();
        m_cwd = currentDirectory();
    }
    void TearDown() override { EXPECT_EQ(currentDirectory(), m_cwd); }

    std::string folder() const { return m_out.path().toStdString(); }

    QTemporaryDir m_out;
    std::string m_cwd;
};

TEST_F(OfficerDecks, ExampleDeckReadsAsWorkedOutByHand)
{
    REQUIRE_DECKS();
    int error = -1;
    DeckHandle p(qvd_opc_open(deck("example.pptx").c_str(), folder().c_str(), &error));
    ASSERT_TRUE(p.get());
    EXPECT_EQ(p->slide_size.width, 960);
    EXPECT_EQ(p->slide_size.height, 720);
    EXPECT_STREQ(p->xml_encoding, "UTF-8");

    // Exactly the two pictures, byte for byte the zip entries.
    EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files, QDir::Name), (QStringList{"image1.png", "thumbnail.jpg"}));
    for (const auto& [name, content] : unzipEntries(readFileBytes(deck("example.pptx")))) {
        if (name == "ppt/media/image1.png") {
            EXPECT_EQ(readFileBytes(folder() + "/image1.png"), content);
        } else if (name == "docProps/thumbnail.jpeg") {
            EXPECT_EQ(readFileBytes(folder() + "/thumbnail.jpg"), content);
        }
    }

    auto slides = slideList(qvd_opc_slides(p.get(), &error));
    ASSERT_EQ(slides.size(), 3u);
    EXPECT_STREQ(slides[0]->part_name, "ppt/slides/slide1.xml");
    EXPECT_STREQ(slides[1]->part_name, "ppt/slides/slide2.xml");
    EXPECT_STREQ(slides[2]->part_name, "ppt/slides/slide3.xml");

    // Slide 1 (layout 5, "comparison"): frames are the layout's, or the master's where the layout has
    // none, EMU / 9525 truncated. Title: master (457200, 274638, 8229600, 1143000). Body idx 1:
    // layout (457200, 1535113, 4040188, 639762). "R logo", body idx 3: layout (4645025, 1535113,
    // 4041775, 639762). Picture, idx 4: layout (4645025, 2174875, 4041775, 3951288).
    auto objects = objectList(qvd_opc_slide_objects(slides[0], &error));
    ASSERT_EQ(objects.size(), 4u);
    const QVD_OPC_SHAPE_T* title = shapeOf(objects[0]);
    const QVD_OPC_SHAPE_T* body = shapeOf(objects[1]);
    const QVD_OPC_SHAPE_T* logo = shapeOf(objects[2]);
    const QVD_OPC_IMAGE_OBJECT_T* picture = imageOf(objects[3]);
    ASSERT_TRUE(title && body && logo && picture);
    EXPECT_EQ(title->placeholder_kind, QVD_OPC_PH_TITLE);
    EXPECT_EQ(frameOf(title->frame), (Frame{48, 28, 864, 120}));
    EXPECT_EQ(paragraphText(title->paragraphs), "Title");
    EXPECT_EQ(title->paragraphs->style->size, 44);
    EXPECT_EQ(orEmpty(title->paragraphs->style->latin_typeface), "Calibri") << "+mj-lt";
    EXPECT_EQ(orEmpty(title->paragraphs->style->color), "000000") << "tx1 -> dk1 -> lastClr";
    EXPECT_EQ(frameOf(body->frame), (Frame{48, 161, 424, 67}));
    EXPECT_EQ(paragraphList(body).size(), 4u);
    EXPECT_EQ(paragraphText(body->paragraphs), "A table ");
    EXPECT_EQ(frameOf(logo->frame), (Frame{487, 161, 424, 67}));
    EXPECT_EQ(paragraphText(logo->paragraphs), "R logo");
    EXPECT_EQ(frameOf(picture->frame), (Frame{487, 228, 424, 414}));
    EXPECT_EQ(orEmpty(picture->file_path), folder() + "/image1.png");
    EXPECT_EQ(orEmpty(picture->placeholder_index), "4");

    // Slide 2: the body's empty paragraph is dropped; levels and bullets come from the master's body
    // style (lvl1 "•" 32 pt, lvl2 "–" 28 pt, lvl3 "•" 24 pt); the last two paragraphs number.
    objects = objectList(qvd_opc_slide_objects(slides[1], &error));
    ASSERT_EQ(objects.size(), 2u);
    auto paragraphs = paragraphList(shapeOf(objects[1]));
    ASSERT_EQ(paragraphs.size(), 5u);
    const int levels[] = {1, 2, 3, 1, 1};
    const char* chars[] = {"•", "–", "•"};
    const int sizes[] = {32, 28, 24, 32, 32};
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const QVD_OPC_TEXT_STYLE_T* s = paragraphs[i]->style;
        ASSERT_TRUE(s);
        EXPECT_EQ(s->level, levels[i]);
        EXPECT_EQ(s->size, sizes[i]);
        if (i < 3) {
            EXPECT_EQ(s->bullet_type, QVD_OPC_BULLET_CHARACTER);
            EXPECT_EQ(orEmpty(s->bullet_character), chars[i]);
        } else {
            EXPECT_EQ(s->bullet_type, QVD_OPC_BULLET_NUMBERING);
            EXPECT_EQ(s->numbering_scheme, 9) << "arabicPeriod";
            EXPECT_EQ(orEmpty(s->bullet_font), "Calibri") << "+mj-lt";
        }
    }
    EXPECT_EQ(frameOf(shapeOf(objects[1])->frame), (Frame{48, 168, 864, 475}));

    EXPECT_EQ(qvd_opc_slide_objects(slides[2], &error), nullptr);
    EXPECT_EQ(error, 0);
}

TEST_F(OfficerDecks, WordAndSpreadsheetPackagesAreNoPresentations)
{
    REQUIRE_DECKS();
    for (const char* name : {"example.docx", "template.xlsx"}) {
        int error = -1;
        testing::internal::CaptureStderr();
        EXPECT_EQ(qvd_opc_open(deck(name).c_str(), folder().c_str(), &error), nullptr);
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_EQ(error, QVD_OPC_ERR_NOT_PPTX) << name;
        EXPECT_EQ(message, deck(name) + " is not a pptx presentation.\n");
    }
}

std::string jsonOfFile(const std::string& input, const std::string& folder)
{
    int error = -1;
    QVD_OPC_PRESENTATION_T* p = qvd_opc_open(input.c_str(), folder.c_str(), &error);
    std::string json;
    if (!p || !pptx::writeDeckJson(p, &json, &error))
        return "error " + std::to_string(error);
    qvd_opc_free(p);
    return json;
}

TEST_F(OfficerDecks, FormattedCopyOfTheExampleGivesIdenticalRecords)
{
    REQUIRE_DECKS();
    auto entries = unzipEntries(readFileBytes(deck("example.pptx")));
    int reformatted = 0;
    for (auto& [name, content] : entries) {
        if (!name.ends_with(".xml") && !name.ends_with(".rels"))
            continue;
        // What xmllint --format writes: the same tree, indented.
        xmlDocPtr doc = xmlReadMemory(content.data(), int(content.size()), nullptr, nullptr, XML_PARSE_NONET);
        ASSERT_TRUE(doc) << name;
        xmlChar* text = nullptr;
        int size = 0;
        xmlDocDumpFormatMemoryEnc(doc, &text, &size, "UTF-8", 1);
        content.assign(reinterpret_cast<const char*>(text), std::size_t(size));
        xmlFree(text);
        xmlFreeDoc(doc);
        ++reformatted;
    }
    ASSERT_GT(reformatted, 20);
    QTemporaryDir work, otherOut;
    const std::string copy = work.filePath("formatted.pptx").toStdString();
    {
        std::ofstream out(copy, std::ios::binary);
        const std::string bytes = zipEntries(entries);
        out.write(bytes.data(), std::streamsize(bytes.size()));
    }
    const std::string expected = jsonOfFile(deck("example.pptx"), folder());
    ASSERT_EQ(expected.rfind("error", 0), std::string::npos) << expected;
    EXPECT_EQ(jsonOfFile(copy, otherOut.path().toStdString()), expected);
}

// pptx-dump prints the records the golden file holds, and exits with the reader's code.
TEST_F(OfficerDecks, DumpToolMatchesTheGoldenFileAndReadsEveryFetchedDeck)
{
    REQUIRE_DECKS();
    QProcess dump;
    dump.start(PPTX_DUMP_PATH, {QString::fromStdString(deck("example.pptx")), m_out.path()});
    ASSERT_TRUE(dump.waitForFinished(30000));
    EXPECT_EQ(dump.exitCode(), 0);
    const QString dataDir =
        TestEnvironment::dataDir().isEmpty() ? QStringLiteral(PPTX_TEST_DATA_DIR) : TestEnvironment::dataDir();
    const QString golden = dataDir + "/example.json";
    const std::string expected = readFileBytes(golden.toStdString());
    ASSERT_FALSE(expected.empty()) << golden.toStdString();
    EXPECT_TRUE(dump.readAllStandardOutput().toStdString() == expected)
        << "to refresh after a deliberate change: bin/pptx-dump example.pptx OUTDIR > tests/pptx/data/example.json";

    for (const auto& entry : std::filesystem::directory_iterator(decksDir())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".pptx" && entry.path().extension() != ".docx")
            continue;
        QTemporaryDir out;
        dump.start(PPTX_DUMP_PATH, {QString::fromStdString(entry.path().string()), out.path()});
        ASSERT_TRUE(dump.waitForFinished(30000));
        EXPECT_EQ(dump.exitCode(), name.ends_with(".docx") ? QVD_OPC_ERR_NOT_PPTX : 0)
            << name << ": " << dump.readAllStandardError().toStdString();
    }
}

} // namespace
