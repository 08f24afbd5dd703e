#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <fstream>

#include "pptx/ReaderTestSupport.h"
#include "pptx/TestDeck.h"

namespace {

struct Outcome {
    int error = -1;
    std::string stderrText;
};

class DeckErrors : public ::testing::Test {
protected:
    void SetUp() override
    {
        qvd_opc_init();
        ASSERT_TRUE(m_dir.isValid());
        m_cwd = currentDirectory();
    }
    // Every call leaves the working directory where it was.
    void TearDown() override { EXPECT_EQ(currentDirectory(), m_cwd); }

    std::string path(const std::string& name) const
    {
        return m_dir.filePath(QString::fromStdString(name)).toStdString();
    }

    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

    // Opens and reads every slide and object; the deck is released either by an error or here.
    Outcome readAll(const std::string& input, const std::string& output)
    {
        Outcome outcome;
        testing::internal::CaptureStderr();
        QVD_OPC_PRESENTATION_T* deck = qvd_opc_open(input.c_str(), output.c_str(), &outcome.error);
        if (deck) {
            QVD_OPC_SLIDE_T* slide = qvd_opc_slides(deck, &outcome.error);
            while (!outcome.error && slide) {
                qvd_opc_slide_objects(slide, &outcome.error);
                if (!outcome.error) // after an error the slide went with the deck
                    slide = slide->next;
            }
            if (!outcome.error)
                qvd_opc_free(deck);
        }
        outcome.stderrText = testing::internal::GetCapturedStderr();
        return outcome;
    }

    Outcome readDeck(const TestDeck& deck) { return readAll(write("deck.pptx", deck.zipBytes()), output()); }

    std::string output() const { return m_out.path().toStdString(); }

    QTemporaryDir m_dir;
    QTemporaryDir m_out;
    std::string m_cwd;
};

TEST_F(DeckErrors, MissingInputAndMissingOutputFolderAreReported)
{
    Outcome missingInput = readAll(path("nothing.pptx"), output());
    EXPECT_EQ(missingInput.error, QVD_OPC_ERR_INPUT);
    EXPECT_EQ(missingInput.stderrText,
              "errno: " + std::to_string(ENOENT) + "\n`" + path("nothing.pptx") + "' does not exist.\n");

    const std::string deck = write("deck.pptx", TestDeck::minimal().zipBytes());
    Outcome missingOutput = readAll(deck, path("no-folder"));
    EXPECT_EQ(missingOutput.error, QVD_OPC_ERR_OUTPUT_FOLDER);
    EXPECT_EQ(missingOutput.stderrText, "`" + path("no-folder") + "' does not exist\n");

    EXPECT_EQ(readAll(deck, deck).error, QVD_OPC_ERR_OUTPUT_FOLDER) << "a file is no output folder";
    EXPECT_EQ(readAll(deck, output()).error, 0);
}

TEST_F(DeckErrors, RelativeInputIsTakenAgainstTheWorkingDirectoryOfTheCall)
{
    write("deck.pptx", TestDeck::minimal().zipBytes());
    ASSERT_EQ(chdir(m_dir.path().toLocal8Bit().constData()), 0);
    Outcome outcome = readAll("deck.pptx", output());
    EXPECT_EQ(currentDirectory(), m_dir.path().toStdString());
    ASSERT_EQ(chdir(m_cwd.c_str()), 0);
    EXPECT_EQ(outcome.error, 0) << outcome.stderrText;
}

TEST_F(DeckErrors, FilesThatAreNoPresentationPackageGiveCodeTwo)
{
    const std::string zip = TestDeck::minimal().zipBytes();
    EXPECT_EQ(readAll(write("empty.pptx", ""), output()).error, QVD_OPC_ERR_NOT_PPTX);
    EXPECT_EQ(readAll(write("text.pptx", "just some text, no zip"), output()).error, QVD_OPC_ERR_NOT_PPTX);
    Outcome truncated = readAll(write("cut.pptx", zip.substr(0, zip.size() / 2)), output());
    EXPECT_EQ(truncated.error, QVD_OPC_ERR_NOT_PPTX);
    EXPECT_NE(truncated.stderrText.find("is not a pptx presentation."), std::string::npos);

    TestDeck wrongType = TestDeck::minimal();
    std::string& types = wrongType.parts["[Content_Types].xml"];
    types.replace(types.find("presentationml.presentation.main+xml"), 36, "wordprocessingml.document.main+xml");
    EXPECT_EQ(readDeck(wrongType).error, QVD_OPC_ERR_NOT_PPTX);

    TestDeck noContentTypes = TestDeck::minimal();
    noContentTypes.parts.erase("[Content_Types].xml");
    EXPECT_EQ(readDeck(noContentTypes).error, QVD_OPC_ERR_NOT_PPTX);

    TestDeck outside = TestDeck::minimal();
    outside.parts["_rels/.rels"] =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship )"
        R"(Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" )"
        R"(Target="../../ppt/presentation.xml"/></Relationships>)";
    EXPECT_EQ(readDeck(outside).error, QVD_OPC_ERR_NOT_PPTX);

    // pptx-dump says so with the code, and leaves no folder of its own behind.
    QTemporaryDir temporary;
    QProcess dump;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), temporary.path());
    dump.setProcessEnvironment(environment);
    dump.start(QStringLiteral(PPTX_DUMP_PATH), {QString::fromStdString(write("text.pptx", "no zip"))});
    ASSERT_TRUE(dump.waitForFinished(30000));
    EXPECT_EQ(dump.exitCode(), QVD_OPC_ERR_NOT_PPTX);
    EXPECT_TRUE(QDir(temporary.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(DeckErrors, CorruptEntryIsAnErrorNotAnEmptyPart)
{
    TestDeck deck = TestDeck::minimal();
    deck.parts["ppt/media/p.png"] = std::string(4000, 'x') + "end of picture";
    std::string zip = deck.zipBytes();
    // Damage the compressed picture data (the run of 'x' deflates to a few bytes near its name).
    const std::size_t name = zip.find("ppt/media/p.png");
    ASSERT_NE(name, std::string::npos);
    for (std::size_t i = name + 15; i < name + 25; ++i)
        zip[i] = char(zip[i] ^ 0x5A);
    Outcome outcome = readAll(write("bad.pptx", zip), output());
    EXPECT_NE(outcome.error, 0);
}

TEST_F(DeckErrors, MainPartProblemsGiveTheirCodes)
{
    TestDeck noSize = TestDeck::minimal();
    std::string& main = noSize.parts["ppt/presentation.xml"];
    main.erase(main.find("<p:sldSz"), main.find("</p:presentation>") - main.find("<p:sldSz"));
    Outcome outcome = readDeck(noSize);
    EXPECT_EQ(outcome.error, QVD_OPC_ERR_SLIDE_SIZE);
    EXPECT_EQ(outcome.stderrText, "We can't determine the rect for the presentation.\n");

    TestDeck broken = TestDeck::minimal();
    broken.parts["ppt/presentation.xml"] = "<p:presentation><unclosed>";
    outcome = readDeck(broken);
    EXPECT_EQ(outcome.error, QVD_OPC_ERR_PART);
    EXPECT_NE(outcome.stderrText.find("We weren't able to open the ppt/presentation.xml file."), std::string::npos);
}

TEST_F(DeckErrors, LazyErrorsComeBackFromTheCallThatMeetsThem)
{
    TestDeck deck = TestDeck::minimal(2);
    deck.parts["ppt/slides/slide2.xml"] = "<p:sld><p:cSld>"; // malformed
    const std::string input = write("deck.pptx", deck.zipBytes());
    int error = -1;
    QVD_OPC_PRESENTATION_T* p = qvd_opc_open(input.c_str(), output().c_str(), &error);
    ASSERT_TRUE(p);
    ASSERT_EQ(error, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(qvd_opc_slides(p, &error), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(error, QVD_OPC_ERR_PART);
    // The deck is gone now; LeakSanitizer checks that it was released, AddressSanitizer that it is
    // released only once.
}

TEST_F(DeckErrors, HostileXmlIsRefusedWithoutExpansion)
{
    TestDeck doctype = TestDeck::minimal();
    doctype.parts["ppt/slides/slide1.xml"] =
        R"(<?xml version="1.0"?><!DOCTYPE p:sld [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">)"
        R"(<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;"><!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">]>)"
        R"(<p:sld xmlns:p="p"><p:cSld><p:spTree><p:sp><p:txBody><a:p xmlns:a="a"><a:r><a:t>&d;&d;&d;</a:t>)"
        R"(</a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>)";
    EXPECT_EQ(readDeck(doctype).error, QVD_OPC_ERR_PART);

    TestDeck external = TestDeck::minimal();
    external.parts["ppt/slides/slide1.xml"] =
        R"(<?xml version="1.0"?><!DOCTYPE p:sld SYSTEM "http://127.0.0.1:9/x.dtd"><p:sld xmlns:p="p"/>)";
    EXPECT_EQ(readDeck(external).error, QVD_OPC_ERR_PART);

    std::string nested;
    for (int i = 0; i < 300; ++i)
        nested += "<p:grpSp>";
    for (int i = 0; i < 300; ++i)
        nested += "</p:grpSp>";
    TestDeck deep = TestDeck::minimal();
    deep.setSlideTree(1, nested);
    EXPECT_EQ(readDeck(deep).error, QVD_OPC_ERR_PART) << "deeper than the parser's limit";

    std::string shallower;
    for (int i = 0; i < 200; ++i)
        shallower += "<p:grpSp>";
    shallower += TestDeck::textShape("", TestDeck::xfrm(0, 0, 1, 1), "<a:p><a:r><a:t>deep</a:t></a:r></a:p>");
    for (int i = 0; i < 200; ++i)
        shallower += "</p:grpSp>";
    TestDeck nestedOk = TestDeck::minimal();
    nestedOk.setSlideTree(1, shallower);
    EXPECT_EQ(readDeck(nestedOk).error, 0);
}

} // namespace
