#include <gtest/gtest.h>

#include "pptx/TestDeck.h"
#include "pptx/reader/OpcContainer.h"

using pptx::OpcContainer;
using pptx::OpcError;

namespace {

std::unique_ptr<OpcContainer> open(const std::string& bytes, OpcError* error)
{
    return OpcContainer::openBytes(bytes.data(), bytes.size(), error);
}

const char kTypes[] = R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
                      R"(<Default Extension="XML" ContentType="application/xml"/>)"
                      R"(<Override PartName="/PPT/Main.xml" ContentType="main"/></Types>)";

TEST(OpcContainer, ListsPartsInByteOrderWithTheirContentTypes)
{
    const std::string zip = zipEntries({{"ppt/b.xml", "<b/>"},
                                        {"[Content_Types].xml", kTypes},
                                        {"ppt/_rels/b.xml.rels", "<Relationships/>"},
                                        {"ppt/Main.xml", "<m/>"},
                                        {"ppt/a.bin", "x"},
                                        {"ppt/sub/", ""}});
    OpcError error;
    auto c = open(zip, &error);
    ASSERT_TRUE(c) << error.message;
    EXPECT_EQ(c->partNames(), (std::vector<std::string>{"ppt/Main.xml", "ppt/a.bin", "ppt/b.xml"}));
    EXPECT_EQ(c->contentType("ppt/Main.xml"), "main") << "override names compare case-insensitively";
    EXPECT_EQ(c->contentType("ppt/b.xml"), "application/xml");
    EXPECT_EQ(c->contentType("ppt/a.bin"), "");
}

TEST(OpcContainer, RelationshipsAreOrderedByIdNumberAndResolvedAgainstTheSourceFolder)
{
    const std::string rels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId10" Type="t" Target="../media/image%201.png"/>)"
        R"(<Relationship Id="rId2" Type="t" Target="/ppt/slides/slide2.xml"/>)"
        R"(<Relationship Id="rIdSpecial" Type="u" Target="./x/../y.xml"/>)"
        R"(<Relationship Id="rId3" Type="t" Target="../../../etc/passwd"/>)"
        R"(<Relationship Id="rId1" Type="link" Target="https://example.org/a" TargetMode="External"/></Relationships>)";
    const std::string zip = zipEntries({{"[Content_Types].xml", kTypes}, {"ppt/slides/_rels/slide1.xml.rels", rels}});
    OpcError error;
    auto c = open(zip, &error);
    ASSERT_TRUE(c);
    const auto& list = c->relations("ppt/slides/slide1.xml");
    ASSERT_EQ(list.size(), 4u) << "a target outside the package is dropped";
    EXPECT_EQ(list[0].id, "rId1");
    EXPECT_TRUE(list[0].external);
    EXPECT_EQ(list[0].target, "https://example.org/a");
    EXPECT_EQ(list[1].id, "rId2");
    EXPECT_EQ(list[1].target, "ppt/slides/slide2.xml");
    EXPECT_EQ(list[2].id, "rId10");
    EXPECT_EQ(list[2].target, "ppt/media/image 1.png");
    EXPECT_EQ(list[3].target, "ppt/slides/y.xml");
    EXPECT_EQ(c->firstRelation("ppt/slides/slide1.xml", "t"), &list[1]);
    EXPECT_EQ(c->firstRelation("ppt/slides/slide1.xml", "none"), nullptr);
    EXPECT_TRUE(c->relations("ppt/other.xml").empty());
}

TEST(OpcContainer, RefusesDuplicateEntriesAndNonZipInput)
{
    std::string zip = zipEntries({{"[Content_Types].xml", kTypes}, {"dup1.xml", "<a/>"}, {"dup2.xml", "<b/>"}});
    for (std::size_t at = zip.find("dup2.xml"); at != std::string::npos; at = zip.find("dup2.xml"))
        zip.replace(at, 8, "dup1.xml");
    OpcError error;
    EXPECT_FALSE(open(zip, &error));
    EXPECT_EQ(error.kind, OpcError::NotAPackage);
    EXPECT_FALSE(open("PK\x03\x04 not really", &error));
    EXPECT_FALSE(open("", &error));
}

TEST(OpcContainer, PartsAreReadWithinTheirCapsAndCorruptionIsAnError)
{
    const std::string big(300000, 'z');
    std::string zip = zipEntries({{"[Content_Types].xml", kTypes}, {"big.bin", big}});
    OpcError error;
    auto c = open(zip, &error);
    ASSERT_TRUE(c);
    std::string out;
    EXPECT_TRUE(c->readPart("big.bin", &out, &error, big.size()));
    EXPECT_EQ(out, big);
    EXPECT_FALSE(c->readPart("big.bin", &out, &error, 1000));
    EXPECT_EQ(error.kind, OpcError::TooLarge);
    EXPECT_FALSE(c->readPart("missing.bin", &out, &error));
    EXPECT_EQ(error.kind, OpcError::NoSuchPart);

    // Flip bytes inside the deflated data: the stream reports an error, never a short clean end.
    const std::size_t data = zip.find("big.bin") + 7;
    for (std::size_t i = data + 2; i < data + 40; ++i)
        zip[i] = char(zip[i] ^ 0x33);
    auto damaged = open(zip, &error);
    ASSERT_TRUE(damaged);
    auto stream = damaged->openStream("big.bin", &error);
    ASSERT_TRUE(stream);
    char buffer[4096];
    std::int64_t n = 0;
    while ((n = stream->read(buffer, sizeof buffer)) > 0) {
    }
    EXPECT_EQ(n, -1);
}

TEST(OpcContainer, XmlWithADocumentTypeIsRefused)
{
    std::string message;
    const std::string laughs =
        R"(<?xml version="1.0"?><!DOCTYPE r [<!ENTITY a "aaaa"><!ENTITY b "&a;&a;&a;">]><r>&b;</r>)";
    EXPECT_EQ(pptx::parseXmlSafely(laughs.data(), laughs.size(), &message), nullptr);
    EXPECT_NE(message.find("document type"), std::string::npos);
    const std::string plain = "<r>&amp;</r>";
    xmlDocPtr doc = pptx::parseXmlSafely(plain.data(), plain.size(), &message);
    EXPECT_NE(doc, nullptr);
    xmlFreeDoc(doc);
}

} // namespace
