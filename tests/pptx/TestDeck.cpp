#include "pptx/TestDeck.h"

#include <fstream>
#include <sstream>

#include <zip.h>

namespace {

const char kNs[] = R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
                   R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
                   R"(xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main")";

const char kRelsHead[] = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";

std::string relsName(const std::string& part)
{
    const std::size_t slash = part.rfind('/');
    if (slash == std::string::npos)
        return "_rels/" + part + ".rels";
    return part.substr(0, slash) + "/_rels/" + part.substr(slash + 1) + ".rels";
}

std::string tree(const std::string& root, const std::string& children, const std::string& tail = {})
{
    return std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><p:)") + root + " " + kNs +
           "><p:cSld><p:spTree><p:nvGrpSpPr/><p:grpSpPr/>" + children + "</p:spTree></p:cSld>" + tail + "</p:" + root +
           ">";
}

} // namespace

std::string TestDeck::relType(const std::string& kind)
{
    return "http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + kind;
}

std::string TestDeck::xfrm(long long x, long long y, long long cx, long long cy)
{
    std::ostringstream s;
    s << "<a:xfrm><a:off x=\"" << x << "\" y=\"" << y << "\"/><a:ext cx=\"" << cx << "\" cy=\"" << cy
      << "\"/></a:xfrm>";
    return s.str();
}

std::string TestDeck::textShape(const std::string& placeholder, const std::string& xfrm, const std::string& paragraphs,
                                const std::string& lstStyle)
{
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"s\"/><p:cNvSpPr/><p:nvPr>" + placeholder +
           "</p:nvPr></p:nvSpPr><p:spPr>" + xfrm + "</p:spPr><p:txBody><a:bodyPr/><a:lstStyle>" + lstStyle +
           "</a:lstStyle>" + paragraphs + "</p:txBody></p:sp>";
}

void TestDeck::addRelation(const std::string& part, const std::string& id, const std::string& type,
                           const std::string& target)
{
    std::string& rels = parts[relsName(part)];
    if (rels.empty())
        rels = std::string(kRelsHead) + "</Relationships>";
    const std::size_t end = rels.rfind("</Relationships>");
    rels.insert(end, "<Relationship Id=\"" + id + "\" Type=\"" + relType(type) + "\" Target=\"" + target + "\"/>");
}

void TestDeck::rebuildMasterAndLayout()
{
    parts["ppt/slideMasters/slideMaster1.xml"] =
        tree("sldMaster", masterTree, masterClrMap + "<p:txStyles>" + masterTxStyles + "</p:txStyles>");
    parts["ppt/slideLayouts/slideLayout1.xml"] = tree("sldLayout", layoutTree);
}

void TestDeck::setMasterTxStyles(const std::string& txStyles)
{
    masterTxStyles = txStyles;
    rebuildMasterAndLayout();
}

void TestDeck::setLayoutTree(const std::string& children)
{
    layoutTree = children;
    rebuildMasterAndLayout();
}

void TestDeck::setMasterTree(const std::string& children)
{
    masterTree = children;
    rebuildMasterAndLayout();
}

TestDeck TestDeck::minimal(int slideCount)
{
    TestDeck deck;
    std::string overrides;
    std::string ids;
    for (int n = 1; n <= slideCount; ++n) {
        const std::string name = "ppt/slides/slide" + std::to_string(n) + ".xml";
        overrides += "<Override PartName=\"/" + name +
                     "\" ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.slide+xml\"/>";
        ids += "<p:sldId id=\"" + std::to_string(255 + n) + "\" r:id=\"rId" + std::to_string(n + 1) + "\"/>";
        deck.parts[name] = tree("sld", "");
        deck.addRelation("ppt/presentation.xml", "rId" + std::to_string(n + 1), "slide",
                         "slides/slide" + std::to_string(n) + ".xml");
        deck.addRelation(name, "rId1", "slideLayout", "../slideLayouts/slideLayout1.xml");
    }
    deck.parts["[Content_Types].xml"] =
        R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/><Default Extension="png" ContentType="image/png"/>)"
        R"(<Override PartName="/ppt/presentation.xml" )"
        R"(ContentType="application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/>)" +
        overrides + "</Types>";
    deck.addRelation("", "rId1", "officeDocument", "ppt/presentation.xml");
    deck.parts["ppt/presentation.xml"] = std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)") +
                                         "<p:presentation " + kNs +
                                         "><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/>"
                                         "</p:sldMasterIdLst><p:sldIdLst>" +
                                         ids + "</p:sldIdLst><p:sldSz cx=\"9144000\" cy=\"6858000\"/></p:presentation>";
    deck.addRelation("ppt/presentation.xml", "rId1", "slideMaster", "slideMasters/slideMaster1.xml");
    deck.addRelation("ppt/slideMasters/slideMaster1.xml", "rId1", "slideLayout", "../slideLayouts/slideLayout1.xml");
    deck.addRelation("ppt/slideMasters/slideMaster1.xml", "rId2", "theme", "../theme/theme1.xml");
    deck.addRelation("ppt/slideLayouts/slideLayout1.xml", "rId1", "slideMaster", "../slideMasters/slideMaster1.xml");
    deck.parts["ppt/theme/theme1.xml"] =
        R"(<?xml version="1.0" encoding="UTF-8"?><a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">)"
        R"(<a:themeElements><a:clrScheme name="t"><a:dk1><a:sysClr val="windowText" lastClr="111111"/></a:dk1>)"
        R"(<a:lt1><a:sysClr val="window" lastClr="FFFFFF"/></a:lt1><a:dk2><a:srgbClr val="1F497D"/></a:dk2>)"
        R"(<a:accent1><a:srgbClr val="4F81BD"/></a:accent1></a:clrScheme>)"
        R"(<a:fontScheme name="f"><a:majorFont><a:latin typeface="Major Sans"/></a:majorFont>)"
        R"(<a:minorFont><a:latin typeface="Minor Serif"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>)";
    deck.rebuildMasterAndLayout();
    return deck;
}

void TestDeck::setSlideTree(int n, const std::string& children)
{
    parts["ppt/slides/slide" + std::to_string(n) + ".xml"] = tree("sld", children);
}

std::string TestDeck::zipBytes() const
{
    std::vector<std::pair<std::string, std::string>> entries(parts.begin(), parts.end());
    return zipEntries(entries);
}

bool TestDeck::writeTo(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = zipBytes();
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

std::string readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string zipEntries(const std::vector<std::pair<std::string, std::string>>& entries)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(target);
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    }
    zip_close(archive);
    std::string bytes;
    if (zip_source_open(target) == 0) {
        char buffer[65536];
        zip_int64_t n;
        while ((n = zip_source_read(target, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, std::size_t(n));
        zip_source_close(target);
    }
    zip_source_free(target);
    zip_error_fini(&error);
    return bytes;
}

std::vector<std::pair<std::string, std::string>> unzipEntries(const std::string& zipBytes)
{
    std::vector<std::pair<std::string, std::string>> entries;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(zipBytes.data(), zipBytes.size(), 0, &error);
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) {
        zip_source_free(source);
        return entries;
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        std::string content;
        char buffer[65536];
        zip_int64_t n;
        while (file && (n = zip_fread(file, buffer, sizeof buffer)) > 0)
            content.append(buffer, std::size_t(n));
        if (file)
            zip_fclose(file);
        entries.emplace_back(zip_get_name(archive, zip_uint64_t(i), 0), content);
    }
    zip_discard(archive);
    zip_error_fini(&error);
    return entries;
}
