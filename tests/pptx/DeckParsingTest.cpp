#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "pptx/ReaderTestSupport.h"
#include "pptx/TestDeck.h"
#include "pptx/reader/DeckJson.h"

namespace {

const char kBodyStyles[] =
    R"(<p:titleStyle><a:lvl1pPr algn="ctr"><a:buNone/><a:defRPr sz="4400"><a:solidFill><a:schemeClr val="tx1"/>)"
    R"(</a:solidFill><a:latin typeface="+mj-lt"/></a:defRPr></a:lvl1pPr></p:titleStyle>)"
    R"(<p:bodyStyle><a:lvl1pPr marL="342900" indent="-342900"><a:spcBef><a:spcPct val="20000"/></a:spcBef>)"
    R"(<a:buFont typeface="Arial"/><a:buChar char="•"/><a:defRPr sz="3200"><a:solidFill><a:schemeClr val="tx1"/>)"
    R"(</a:solidFill><a:latin typeface="+mn-lt"/></a:defRPr></a:lvl1pPr>)"
    R"(<a:lvl2pPr marL="742950"><a:buChar char="–"/><a:defRPr sz="2800"/></a:lvl2pPr></p:bodyStyle>)"
    R"(<p:otherStyle><a:defPPr><a:defRPr sz="1000"/></a:defPPr><a:lvl1pPr><a:defRPr sz="1800">)"
    R"(<a:latin typeface="Other Face"/></a:defRPr></a:lvl1pPr>)"
    R"(</p:otherStyle>)";

std::string run(const std::string& text, const std::string& rPr = "<a:rPr lang=\"en\"/>")
{
    return "<a:r>" + rPr + "<a:t>" + text + "</a:t></a:r>";
}

std::string para(const std::string& body, const std::string& pPr = {})
{
    return "<a:p>" + pPr + body + "</a:p>";
}

std::string ph(const std::string& attributes)
{
    return "<p:ph " + attributes + "/>";
}

std::string picture(const std::string& embed, const std::string& placeholder, const std::string& xfrm)
{
    return "<p:pic><p:nvPicPr><p:cNvPr id=\"9\" name=\"p\"/><p:cNvPicPr/><p:nvPr>" + placeholder +
           "</p:nvPr></p:nvPicPr><p:blipFill><a:blip r:embed=\"" + embed + "\"/></p:blipFill><p:spPr>" + xfrm +
           "</p:spPr></p:pic>";
}

// A deck whose master has title and body styles and a layout with title and body placeholders.
TestDeck styledDeck(int slides = 1)
{
    TestDeck deck = TestDeck::minimal(slides);
    deck.masterTxStyles = kBodyStyles;
    deck.masterTree =
        TestDeck::textShape(ph("type=\"title\""), TestDeck::xfrm(457200, 274638, 8229600, 1143000), "") +
        TestDeck::textShape(ph("type=\"body\" idx=\"1\""), TestDeck::xfrm(457200, 1600200, 8229600, 4525963), "") +
        TestDeck::textShape(ph("type=\"sldNum\" idx=\"4\""), TestDeck::xfrm(0, 0, 9525, 9525), "");
    deck.layoutTree = TestDeck::textShape(ph("type=\"title\""), "", "") + TestDeck::textShape(ph("idx=\"1\""), "", "") +
                      TestDeck::textShape(ph("idx=\"7\""), TestDeck::xfrm(95250, 190500, 952500, 476250), "");
    deck.rebuildMasterAndLayout();
    return deck;
}

class DeckParsing : public ::testing::Test {
protected:
    void SetUp() override
    {
        qvd_opc_init();
        ASSERT_TRUE(m_out.isValid());
    }

    // Opens the deck from memory into the test's output folder.
    QVD_OPC_PRESENTATION_T* open(const TestDeck& deck)
    {
        m_bytes = deck.zipBytes();
        int error = -1;
        QVD_OPC_PRESENTATION_T* p = qvd_opc_open_bytes(m_bytes.data(), m_bytes.size(), folder().c_str(), &error);
        EXPECT_EQ(error, 0);
        m_deck = std::make_unique<DeckHandle>(p);
        return p;
    }

    std::vector<QVD_OPC_SLIDE_OBJECT_T*> objectsOfSlide(const TestDeck& deck, int index = 0)
    {
        QVD_OPC_PRESENTATION_T* p = open(deck);
        if (!p)
            return {};
        int error = -1;
        auto slides = slideList(qvd_opc_slides(p, &error));
        EXPECT_EQ(error, 0);
        if (int(slides.size()) <= index)
            return {};
        auto objects = objectList(qvd_opc_slide_objects(slides[std::size_t(index)], &error));
        EXPECT_EQ(error, 0);
        return objects;
    }

    std::string folder() const { return m_out.path().toStdString(); }

    QTemporaryDir m_out;
    std::string m_bytes;
    std::unique_ptr<DeckHandle> m_deck;
};

TEST_F(DeckParsing, SlidesAreTheSlideListInItsOrderMatchedByVerbatimIds)
{
    TestDeck deck = TestDeck::minimal(4);
    // Listed: slide 3, slide 1, an id without relationship, slide 4 whose part is missing.
    // Slide 2 has a relationship but is not listed. Slide 1's relationship id is "rId02", which must
    // not be confused with "rId2".
    std::string& rels = deck.parts["ppt/_rels/presentation.xml.rels"];
    rels.replace(rels.find("Id=\"rId2\""), 9, "Id=\"rId02\"");
    rels.replace(rels.find("Id=\"rId3\""), 9, "Id=\"rId2\"");
    std::string& main = deck.parts["ppt/presentation.xml"];
    const std::size_t from = main.find("<p:sldIdLst>"), to = main.find("</p:sldIdLst>");
    main.replace(from, to - from,
                 R"(<p:sldIdLst><p:sldId id="1" r:id="rId4"/><p:sldId id="2" r:id="rId02"/>)"
                 R"(<p:sldId id="3" r:id="rId99"/><p:sldId id="4" r:id="rId5"/>)");
    deck.parts.erase("ppt/slides/slide4.xml");

    testing::internal::CaptureStderr();
    QVD_OPC_PRESENTATION_T* p = open(deck);
    ASSERT_TRUE(p);
    int error = -1;
    auto slides = slideList(qvd_opc_slides(p, &error));
    const std::string warnings = testing::internal::GetCapturedStderr();
    ASSERT_EQ(error, 0);
    ASSERT_EQ(slides.size(), 2u);
    EXPECT_STREQ(slides[0]->part_name, "ppt/slides/slide3.xml");
    EXPECT_STREQ(slides[1]->part_name, "ppt/slides/slide1.xml");
    EXPECT_NE(warnings.find("rId99"), std::string::npos);
    EXPECT_NE(warnings.find("rId5"), std::string::npos);

    // Built once: the same records on every call.
    EXPECT_EQ(qvd_opc_slides(p, &error), slides[0]);
    QVD_OPC_SLIDE_OBJECT_T* first = qvd_opc_slide_objects(slides[0], &error);
    EXPECT_EQ(qvd_opc_slide_objects(slides[0], &error), first);
    EXPECT_EQ(error, 0);
}

TEST_F(DeckParsing, TextStylesInheritFromMasterThroughLayoutToParagraphAndRun)
{
    TestDeck deck = styledDeck();
    deck.setSlideTree(
        1,
        TestDeck::textShape(ph("type=\"title\""), "", para(run("Title"))) +
            TestDeck::textShape(
                ph("idx=\"1\""), "",
                para(run("one")) + para(run("two"), "<a:pPr lvl=\"1\"/>") +
                    para(run("big", R"(<a:rPr sz="1000"><a:latin typeface="Arial"/></a:rPr>)") + "<a:br/>" +
                             run("next"),
                         R"(<a:pPr algn="r"><a:buAutoNum type="arabicPeriod"/></a:pPr>)") +
                    para("<a:endParaRPr/>") +
                    para(run("color", R"(<a:rPr><a:solidFill><a:schemeClr val="dk2"/></a:solidFill></a:rPr>)"))) +
            TestDeck::textShape(ph("type=\"dt\" idx=\"20\""), TestDeck::xfrm(0, 0, 95250, 95250), para(run("date"))) +
            TestDeck::textShape(ph("type=\"sldNum\" idx=\"4\""), "", para(run("7"))));
    auto objects = objectsOfSlide(deck);
    ASSERT_EQ(objects.size(), 3u) << "the slide-number placeholder gives no object";

    const QVD_OPC_SHAPE_T* title = shapeOf(objects[0]);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->placeholder_kind, QVD_OPC_PH_TITLE);
    EXPECT_EQ(frameOf(title->frame), (Frame{48, 28, 864, 120})) << "master frame through the layout";
    const QVD_OPC_TEXT_STYLE_T* ts = title->paragraphs->style;
    ASSERT_TRUE(ts);
    EXPECT_EQ(ts->size, 44);
    EXPECT_EQ(orEmpty(ts->latin_typeface), "Major Sans");
    EXPECT_EQ(ts->alignment, QVD_OPC_ALIGN_CENTER);
    EXPECT_EQ(ts->bullet_type, QVD_OPC_BULLET_NONE);

    const QVD_OPC_SHAPE_T* body = shapeOf(objects[1]);
    ASSERT_TRUE(body);
    EXPECT_EQ(body->placeholder_kind, QVD_OPC_PH_BODY) << "kind taken from the master's placeholder";
    EXPECT_EQ(frameOf(body->frame), (Frame{48, 168, 864, 475}));
    auto paragraphs = paragraphList(body);
    ASSERT_EQ(paragraphs.size(), 4u) << "a paragraph without runs is not kept";

    const QVD_OPC_TEXT_STYLE_T* s1 = paragraphs[0]->style;
    ASSERT_TRUE(s1);
    EXPECT_EQ(s1->level, 1);
    EXPECT_EQ(s1->bullet_type, QVD_OPC_BULLET_CHARACTER);
    EXPECT_EQ(orEmpty(s1->bullet_character), "•");
    EXPECT_EQ(orEmpty(s1->bullet_font), "Arial");
    EXPECT_EQ(s1->size, 32);
    EXPECT_EQ(orEmpty(s1->latin_typeface), "Minor Serif");
    EXPECT_EQ(orEmpty(s1->color), "111111") << "tx1 -> dk1 -> the theme's system colour";
    EXPECT_EQ(s1->left_margin, 36);
    EXPECT_EQ(s1->first_line_indent, -36);
    ASSERT_TRUE(s1->space_before);
    EXPECT_EQ(s1->space_before->value, 20);
    EXPECT_EQ(s1->space_before->unit, QVD_OPC_UNIT_PERCENT);

    const QVD_OPC_TEXT_STYLE_T* s2 = paragraphs[1]->style;
    EXPECT_EQ(s2->level, 2);
    EXPECT_EQ(orEmpty(s2->bullet_character), "–");
    EXPECT_EQ(s2->size, 28);
    EXPECT_EQ(s2->latin_typeface, nullptr) << "a master level does not inherit from another level";

    const QVD_OPC_PARAGRAPH_T* numbered = paragraphs[2];
    EXPECT_EQ(numbered->style->bullet_type, QVD_OPC_BULLET_NUMBERING);
    EXPECT_EQ(numbered->style->numbering_scheme, 9) << "arabicPeriod";
    EXPECT_EQ(numbered->style->alignment, QVD_OPC_ALIGN_RIGHT);
    EXPECT_EQ(paragraphText(numbered), "big\nnext");
    const QVD_OPC_TEXT_RUN_T* big = numbered->runs;
    EXPECT_EQ(big->style->size, 10);
    EXPECT_EQ(orEmpty(big->style->latin_typeface), "Arial");
    EXPECT_EQ(orEmpty(big->style->color), "111111") << "unset run colour comes from the paragraph";
    EXPECT_EQ(big->style->alignment, QVD_OPC_ALIGN_RIGHT);
    EXPECT_EQ(big->style->left_margin, 36);
    EXPECT_TRUE(big->next->line_break);
    EXPECT_EQ(big->next->text, nullptr);

    EXPECT_EQ(orEmpty(paragraphs[3]->runs->style->color), "1F497D") << "an unmapped name is looked up as written";

    const QVD_OPC_SHAPE_T* date = shapeOf(objects[2]);
    ASSERT_TRUE(date);
    EXPECT_EQ(date->placeholder_kind, QVD_OPC_PH_BODY);
    EXPECT_EQ(date->paragraphs->style->size, 32) << "a date placeholder takes the body styles";
}

TEST_F(DeckParsing, SpacingValuesAndBulletSizesConvertTheirUnits)
{
    TestDeck deck = styledDeck();
    deck.setSlideTree(
        1, TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525, 9525),
                               para(run("a"), R"(<a:pPr><a:lnSpc><a:spcPct val="150000"/></a:lnSpc>)"
                                              R"(<a:spcAft><a:spcPts val="1800"/></a:spcAft>)"
                                              R"(<a:buSzPct val="75%"/></a:pPr>)") +
                                   para(run("b"), R"(<a:pPr><a:buSzPts val="1200"/><a:buFontTx/></a:pPr>)")));
    auto objects = objectsOfSlide(deck);
    ASSERT_EQ(objects.size(), 1u);
    auto paragraphs = paragraphList(shapeOf(objects[0]));
    ASSERT_EQ(paragraphs.size(), 2u);
    const QVD_OPC_TEXT_STYLE_T* a = paragraphs[0]->style;
    ASSERT_TRUE(a->line_spacing && a->space_after && a->bullet_size);
    EXPECT_EQ(a->line_spacing->value, 150);
    EXPECT_EQ(a->line_spacing->unit, QVD_OPC_UNIT_PERCENT);
    EXPECT_EQ(a->space_after->value, 18);
    EXPECT_EQ(a->space_after->unit, QVD_OPC_UNIT_POINTS);
    EXPECT_EQ(a->bullet_size->value, 75);
    EXPECT_EQ(a->bullet_size->unit, QVD_OPC_UNIT_PERCENT);
    const QVD_OPC_TEXT_STYLE_T* b = paragraphs[1]->style;
    EXPECT_EQ(b->bullet_size->value, 12);
    EXPECT_EQ(b->bullet_size->unit, QVD_OPC_UNIT_POINTS);
    EXPECT_TRUE(b->bullet_font_follows_text);
    EXPECT_EQ(orEmpty(b->bullet_font), "Other Face") << "a shape without placeholder uses the other style";
}

TEST_F(DeckParsing, GroupMembersComeInDocumentOrderAfterTheBackgroundPicture)
{
    TestDeck deck = styledDeck();
    deck.parts["ppt/media/bg.png"] = "background";
    deck.parts["ppt/media/p.png"] = "picture";
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/p.png");
    deck.addRelation("ppt/slideMasters/slideMaster1.xml", "rId3", "image", "../media/bg.png");
    std::string& master = deck.parts["ppt/slideMasters/slideMaster1.xml"];
    master.insert(master.find("<p:spTree>"), R"(<p:bg><p:bgPr><a:solidFill><a:srgbClr val="102030"/></a:solidFill>)"
                                             R"(<a:blipFill><a:blip r:embed="rId3"/></a:blipFill></p:bgPr></p:bg>)");
    const std::string shapeA = TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525, 9525), para(run("A")));
    const std::string shapeB = TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525, 9525), para(run("B")));
    const std::string shapeC = TestDeck::textShape("", TestDeck::xfrm(0, 0, 9525, 9525), para(run("C")));
    deck.setSlideTree(1, "<p:grpSp><p:nvGrpSpPr/><p:grpSpPr/>" + shapeA +
                             picture("rId2", "", TestDeck::xfrm(95250, 95250, 190500, 190500)) + "<p:grpSp>" + shapeB +
                             "</p:grpSp></p:grpSp>" + shapeC + "<p:graphicFrame/><p:cxnSp/>");
    std::string& slide = deck.parts["ppt/slides/slide1.xml"];
    slide.insert(slide.find("<p:spTree>"),
                 R"(<p:bg><p:bgPr><a:solidFill><a:srgbClr val="ABCDEF"/></a:solidFill></p:bgPr></p:bg>)");

    auto objects = objectsOfSlide(deck);
    ASSERT_EQ(objects.size(), 5u);
    const QVD_OPC_IMAGE_OBJECT_T* background = imageOf(objects[0]);
    ASSERT_TRUE(background);
    EXPECT_EQ(orEmpty(background->file_path), folder() + "/bg.png") << "the slide's colour keeps the master's picture";
    EXPECT_EQ(frameOf(background->frame), (Frame{0, 0, 960, 720}));
    EXPECT_STREQ(m_deck->get()->slides->background_color, "ABCDEF");
    EXPECT_EQ(paragraphText(shapeOf(objects[1])->paragraphs), "A");
    const QVD_OPC_IMAGE_OBJECT_T* pic = imageOf(objects[2]);
    ASSERT_TRUE(pic);
    EXPECT_EQ(orEmpty(pic->file_path), folder() + "/p.png");
    EXPECT_EQ(frameOf(pic->frame), (Frame{10, 10, 20, 20}));
    EXPECT_EQ(paragraphText(shapeOf(objects[3])->paragraphs), "B");
    EXPECT_EQ(paragraphText(shapeOf(objects[4])->paragraphs), "C");
    EXPECT_EQ(readFileBytes(folder() + "/p.png"), "picture");
}

TEST_F(DeckParsing, MovedAndResizedGroupsPlaceTheirMembersOnTheSlide)
{
    TestDeck deck = styledDeck();
    deck.parts["ppt/media/p.png"] = "picture";
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/p.png");
    // In pixels (9525 EMU): a group of child space 100 x 50 at 0,0 shown at 100,100 in 200 x 100 (twice the size),
    // holding a group moved 10 px from where its members were placed.
    const auto group = [](int x, int y, int cx, int cy, int chx, int chy, int chcx, int chcy) {
        const auto emu = [](int px) { return std::to_string(px * 9525); };
        return "<p:grpSp><p:nvGrpSpPr/><p:grpSpPr><a:xfrm><a:off x=\"" + emu(x) + "\" y=\"" + emu(y) +
               "\"/><a:ext cx=\"" + emu(cx) + "\" cy=\"" + emu(cy) + "\"/><a:chOff x=\"" + emu(chx) + "\" y=\"" +
               emu(chy) + "\"/><a:chExt cx=\"" + emu(chcx) + "\" cy=\"" + emu(chcy) + "\"/></a:xfrm></p:grpSpPr>";
    };
    deck.setSlideTree(1, group(100, 100, 200, 100, 0, 0, 100, 50) +
                             picture("rId2", "", TestDeck::xfrm(50 * 9525, 0, 50 * 9525, 50 * 9525)) +
                             group(10, 10, 20, 20, 0, 0, 20, 20) +
                             TestDeck::textShape("", TestDeck::xfrm(0, 0, 10 * 9525, 10 * 9525), para(run("A"))) +
                             "</p:grpSp></p:grpSp>" +
                             TestDeck::textShape("", TestDeck::xfrm(0, 0, 10 * 9525, 10 * 9525), para(run("B"))));
    auto objects = objectsOfSlide(deck);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(frameOf(imageOf(objects[0])->frame), (Frame{200, 100, 100, 100}));
    EXPECT_EQ(frameOf(shapeOf(objects[1])->frame), (Frame{120, 120, 20, 20}));
    EXPECT_EQ(frameOf(shapeOf(objects[2])->frame), (Frame{0, 0, 10, 10})) << "outside any group, as it stands";
}

TEST_F(DeckParsing, PictureWithoutFrameTakesItsLayoutPlaceholderFrame)
{
    TestDeck deck = styledDeck();
    deck.parts["ppt/media/p.png"] = "picture";
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/p.png");
    deck.setSlideTree(1, picture("rId2", ph("idx=\"7\""), "") + picture("rId404", ph("type=\"body\""), ""));
    auto objects = objectsOfSlide(deck);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(frameOf(imageOf(objects[0])->frame), (Frame{10, 20, 100, 50}));
    EXPECT_EQ(orEmpty(imageOf(objects[0])->placeholder_index), "7");
    EXPECT_EQ(frameOf(imageOf(objects[1])->frame), (Frame{48, 168, 864, 475})) << "found by type in the master";
    EXPECT_EQ(imageOf(objects[1])->file_path, nullptr) << "an unknown relationship gives no path";
}

TEST_F(DeckParsing, PicturesWithTheSameNameInDifferentFoldersStayDistinct)
{
    TestDeck deck = TestDeck::minimal();
    deck.parts["ppt/media/a.png"] = "first";
    deck.parts["ppt/media2/a.png"] = "second";
    deck.parts["ppt/media/Photo.JPEG"] = "jpeg";
    deck.parts["ppt/media/chart.emf"] = "metafile";
    deck.addRelation("ppt/slides/slide1.xml", "rId2", "image", "../media/a.png");
    deck.addRelation("ppt/slides/slide1.xml", "rId3", "image", "/ppt/media2/a.png");
    deck.addRelation("ppt/slides/slide1.xml", "rId4", "image", "../media/Photo.JPEG");
    deck.addRelation("ppt/slides/slide1.xml", "rId5", "image", "../media/chart.emf");
    const std::string frame = TestDeck::xfrm(0, 0, 9525, 9525);
    deck.setSlideTree(1, picture("rId2", "", frame) + picture("rId3", "", frame) + picture("rId4", "", frame) +
                             picture("rId5", "", frame));
    auto objects = objectsOfSlide(deck);
    ASSERT_EQ(objects.size(), 4u);
    const std::string first = orEmpty(imageOf(objects[0])->file_path);
    const std::string second = orEmpty(imageOf(objects[1])->file_path);
    EXPECT_NE(first, second);
    EXPECT_EQ(readFileBytes(first), "first");
    EXPECT_EQ(readFileBytes(second), "second");
    EXPECT_EQ(orEmpty(imageOf(objects[2])->file_path), folder() + "/Photo.jpg");
    EXPECT_EQ(readFileBytes(folder() + "/Photo.jpg"), "jpeg");
    EXPECT_EQ(orEmpty(imageOf(objects[3])->file_path), folder() + "/chart.emf") << "not copied out";
    EXPECT_TRUE(readFileBytes(folder() + "/chart.emf").empty());
}

TEST_F(DeckParsing, NumbersFromTheDeckAreSaturatedAndClamped)
{
    TestDeck deck = styledDeck();
    deck.setSlideTree(1,
                      TestDeck::textShape("",
                                          R"(<a:xfrm><a:off x="99999999999999999999999999" y="-99999999999999999999"/>)"
                                          R"(<a:ext cx="-5" cy="junk"/></a:xfrm>)",
                                          para(run("x", R"(<a:rPr sz="99999999999999"/>)"),
                                               R"(<a:pPr lvl="2147483647" marL="-9223372036854775808">)"
                                               R"(<a:lnSpc><a:spcPct val="99999999999999999"/></a:lnSpc></a:pPr>)")));
    auto objects = objectsOfSlide(deck);
    ASSERT_EQ(objects.size(), 1u);
    const QVD_OPC_SHAPE_T* shape = shapeOf(objects[0]);
    EXPECT_EQ(frameOf(shape->frame), (Frame{1000000, -1000000, 0, 0}));
    const QVD_OPC_TEXT_STYLE_T* s = shape->paragraphs->style;
    EXPECT_EQ(s->level, 9);
    EXPECT_EQ(s->left_margin, -1000000);
    EXPECT_EQ(s->line_spacing->value, 1000000);
    EXPECT_EQ(shape->paragraphs->runs->style->size, 4000);
}

TEST_F(DeckParsing, SchemeBackgroundsResolveThroughTheColourMapAndThemeLikeTextColours)
{
    // A dark master: bg1 is mapped to dk1 and tx1 to lt1, and its background is a reference to bg1.
    TestDeck deck = TestDeck::minimal(4);
    deck.masterClrMap = R"(<p:clrMap bg1="dk1" tx1="lt1" bg2="dk2" tx2="lt2" accent1="accent1"/>)";
    deck.rebuildMasterAndLayout();
    std::string& master = deck.parts["ppt/slideMasters/slideMaster1.xml"];
    master.insert(master.find("<p:spTree>"), R"(<p:bg><p:bgRef idx="1001"><a:schemeClr val="bg1"/></p:bgRef></p:bg>)");
    const auto setBackground = [&](int n, const std::string& bg) {
        std::string& slide = deck.parts["ppt/slides/slide" + std::to_string(n) + ".xml"];
        slide.insert(slide.find("<p:spTree>"), "<p:bg>" + bg + "</p:bg>");
    };
    // 1 keeps the master's; 2 fills with a mapped scheme colour; 3 refers with an RGB colour; 4 refers to no
    // fill, and a scheme name the theme lacks gives no colour: both keep the master's.
    setBackground(2, R"(<p:bgPr><a:solidFill><a:schemeClr val="tx1"><a:lumMod val="50000"/></a:schemeClr>)"
                     R"(</a:solidFill><a:effectLst/></p:bgPr>)");
    setBackground(3, R"(<p:bgRef idx="1002"><a:srgbClr val="123456"/></p:bgRef>)");
    setBackground(4, R"(<p:bgRef idx="0"><a:schemeClr val="accent1"/></p:bgRef>)");

    QVD_OPC_PRESENTATION_T* p = open(deck);
    ASSERT_TRUE(p);
    int error = -1;
    const auto slides = slideList(qvd_opc_slides(p, &error));
    ASSERT_EQ(error, 0);
    ASSERT_EQ(slides.size(), 4u);
    EXPECT_STREQ(slides[0]->background_color, "111111") << "the master's bg1, mapped to the theme's dk1";
    EXPECT_STREQ(slides[1]->background_color, "FFFFFF");
    EXPECT_STREQ(slides[2]->background_color, "123456");
    EXPECT_STREQ(slides[3]->background_color, "111111");
    EXPECT_FALSE(slides[0]->background_picture);

    // Without a mapping the name is looked up as written; a name the theme lacks gives no background.
    TestDeck plain = TestDeck::minimal(2);
    std::string& plainMaster = plain.parts["ppt/slideMasters/slideMaster1.xml"];
    plainMaster.insert(plainMaster.find("<p:spTree>"),
                       R"(<p:bg><p:bgPr><a:solidFill><a:schemeClr val="accent1"/></a:solidFill></p:bgPr></p:bg>)");
    std::string& second = plain.parts["ppt/slides/slide2.xml"];
    second.insert(second.find("<p:spTree>"),
                  R"(<p:bg><p:bgPr><a:solidFill><a:schemeClr val="accent6"/></a:solidFill></p:bgPr></p:bg>)");
    QVD_OPC_PRESENTATION_T* q = open(plain);
    ASSERT_TRUE(q);
    const auto plainSlides = slideList(qvd_opc_slides(q, &error));
    ASSERT_EQ(plainSlides.size(), 2u);
    EXPECT_STREQ(plainSlides[0]->background_color, "4F81BD");
    EXPECT_STREQ(plainSlides[1]->background_color, "4F81BD") << "an unknown scheme colour keeps the fallback";
}

TEST_F(DeckParsing, SlideWithoutLayoutAndLayoutWithoutMasterReadAsEmpty)
{
    TestDeck deck = styledDeck(2);
    deck.parts.erase("ppt/slides/_rels/slide1.xml.rels");
    deck.parts.erase("ppt/slideLayouts/_rels/slideLayout1.xml.rels");
    const std::string body =
        TestDeck::textShape(ph("idx=\"1\""), TestDeck::xfrm(9525, 9525, 9525, 9525), para(run("plain")));
    deck.setSlideTree(1, body);
    deck.setSlideTree(2, body + picture("rId9", ph("idx=\"1\""), ""));
    QVD_OPC_PRESENTATION_T* p = open(deck);
    ASSERT_TRUE(p);
    int error = -1;
    auto slides = slideList(qvd_opc_slides(p, &error));
    ASSERT_EQ(slides.size(), 2u);
    auto objects = objectList(qvd_opc_slide_objects(slides[0], &error));
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(shapeOf(objects[0])->paragraphs->style, nullptr) << "no master: unstyled";
    EXPECT_EQ(paragraphText(shapeOf(objects[0])->paragraphs), "plain");
    // The second slide's layout has no master: its placeholder frame is the layout's (none here), and
    // the picture's missing frame is an error that releases the deck.
    testing::internal::CaptureStderr();
    EXPECT_EQ(qvd_opc_slide_objects(slides[1], &error), nullptr);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(error, QVD_OPC_ERR_PICTURE_FRAME);
    EXPECT_NE(message.find("We coudn't determine a rect for ph_id: 1, ph_type: (null), on slide: "
                           "ppt/slides/slide2.xml."),
              std::string::npos)
        << message;
    m_deck->forget();
}

// Every XML part of `zip` re-indented the way xmllint --format does it.
std::string prettyPrinted(const std::string& zip)
{
    auto entries = unzipEntries(zip);
    for (auto& [name, content] : entries) {
        if (!(name.size() > 4 && (name.ends_with(".xml") || name.ends_with(".rels"))))
            continue;
        xmlDocPtr doc = xmlReadMemory(content.data(), int(content.size()), nullptr, nullptr, XML_PARSE_NONET);
        if (!doc)
            continue;
        xmlChar* text = nullptr;
        int size = 0;
        xmlDocDumpFormatMemoryEnc(doc, &text, &size, "UTF-8", 1);
        content.assign(reinterpret_cast<const char*>(text), std::size_t(size));
        xmlFree(text);
        xmlFreeDoc(doc);
    }
    return zipEntries(entries);
}

std::string jsonOf(const std::string& zip, const std::string& folder)
{
    int error = -1;
    QVD_OPC_PRESENTATION_T* deck = qvd_opc_open_bytes(zip.data(), zip.size(), folder.c_str(), &error);
    if (!deck)
        return "error " + std::to_string(error);
    std::string json;
    if (!pptx::writeDeckJson(deck, &json, &error))
        return "error " + std::to_string(error);
    qvd_opc_free(deck);
    return json;
}

TEST_F(DeckParsing, PrettyPrintedDeckReadsLikeTheCompactOne)
{
    TestDeck deck = styledDeck();
    deck.setSlideTree(1, TestDeck::textShape(ph("type=\"title\""), "", para(run("Title"))) +
                             TestDeck::textShape(ph("idx=\"1\""), "",
                                                 para(run("one") + run(" ") + run("two"), "<a:pPr lvl=\"1\"/>")));
    const std::string compact = deck.zipBytes();
    const std::string pretty = prettyPrinted(compact);
    ASSERT_NE(compact, pretty);
    QTemporaryDir other;
    const std::string expected = jsonOf(compact, folder());
    EXPECT_EQ(expected.find("error"), std::string::npos) << expected;
    EXPECT_EQ(jsonOf(pretty, other.path().toStdString()), expected);
    EXPECT_NE(expected.find("\"text\": \" \""), std::string::npos) << "a blank run keeps its text";
}

} // namespace
