#include "pptx/fuzz/FuzzTargets.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pptx/TestDeck.h"
#include "pptx/reader/OpcContainer.h"
#include "pptx/reader/qvd_opc.h"

namespace pptx::fuzz {

namespace {

#ifdef PPTX_FUZZ_QUIET
// Silences the reader's error lines while fuzzing (they would flood the log). Not used by the
// corpus replay, where a sanitizer report must stay visible.
struct QuietStderr {
    QuietStderr()
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
    }
    ~QuietStderr()
    {
        std::fflush(stderr);
        if (m_saved >= 0) {
            ::dup2(m_saved, 2);
            ::close(m_saved);
        }
    }
    int m_saved = -1;
};
#endif

void readAll(QVD_OPC_PRESENTATION_T* deck)
{
    int error = 0;
    QVD_OPC_SLIDE_T* slide = qvd_opc_slides(deck, &error);
    while (!error && slide) {
        qvd_opc_slide_objects(slide, &error);
        if (error)
            return; // the deck, and the slide with it, is gone
        slide = slide->next;
    }
    if (!error)
        qvd_opc_free(deck);
}

const char kNs[] = R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
                   R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
                   R"(xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main")";

std::string rel(const char* id, const char* type, const char* target)
{
    return std::string("<Relationship Id=\"") + id +
           "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type + "\" Target=\"" +
           target + "\"/>";
}

std::string rels(const std::string& body)
{
    return R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" + body +
           "</Relationships>";
}

// A complete small deck touching every reader path: theme, master styles, layout placeholders,
// a slide with text, a group and a picture.
std::vector<std::pair<std::string, std::string>> seedDeck()
{
    const std::string sp =
        R"(<p:sp><p:nvSpPr><p:cNvPr id="2" name="t"/><p:cNvSpPr/><p:nvPr><p:ph type="body" idx="1"/>)"
        R"(</p:nvPr></p:nvSpPr><p:spPr/><p:txBody><a:bodyPr/><a:lstStyle><a:lvl1pPr><a:buChar char="-"/>)"
        R"(</a:lvl1pPr></a:lstStyle><a:p><a:pPr lvl="1"><a:buAutoNum type="arabicPeriod"/></a:pPr>)"
        R"(<a:r><a:rPr sz="2400"><a:solidFill><a:schemeClr val="tx1"/></a:solidFill></a:rPr><a:t>x</a:t>)"
        R"(</a:r><a:br/></a:p></p:txBody></p:sp>)";
    const std::string pic =
        R"(<p:pic><p:nvPicPr><p:cNvPr id="3" name="p"/><p:cNvPicPr/><p:nvPr><p:ph idx="1"/></p:nvPr>)"
        R"(</p:nvPicPr><p:blipFill><a:blip r:embed="rId2"/></p:blipFill><p:spPr/></p:pic>)";
    auto tree = [&](const char* root, const std::string& children, const std::string& tail = {}) {
        return std::string("<p:") + root + " " + kNs +
               "><p:cSld><p:bg><p:bgPr><a:solidFill><a:srgbClr val=\"FFFFFF\"/>"
               "</a:solidFill></p:bgPr></p:bg><p:spTree>" +
               children + "</p:spTree></p:cSld>" + tail + "</p:" + root + ">";
    };
    return {
        {"[Content_Types].xml",
         R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="png" )"
         R"(ContentType="image/png"/><Override PartName="/ppt/presentation.xml" )"
         R"(ContentType="application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/></Types>)"},
        {"_rels/.rels", rels(rel("rId1", "officeDocument", "ppt/presentation.xml"))},
        {"ppt/presentation.xml", std::string("<p:presentation ") + kNs +
                                     R"(><p:sldIdLst><p:sldId id="256" r:id="rId2"/></p:sldIdLst>)"
                                     R"(<p:sldSz cx="9144000" cy="6858000"/></p:presentation>)"},
        {"ppt/_rels/presentation.xml.rels", rels(rel("rId2", "slide", "slides/slide1.xml"))},
        {"ppt/slides/slide1.xml", tree("sld", sp + "<p:grpSp>" + sp + pic + "</p:grpSp>")},
        {"ppt/slides/_rels/slide1.xml.rels", rels(rel("rId1", "slideLayout", "../slideLayouts/slideLayout1.xml") +
                                                  rel("rId2", "image", "../media/image1.png"))},
        {"ppt/slideLayouts/slideLayout1.xml",
         tree("sldLayout", R"(<p:sp><p:nvSpPr><p:nvPr><p:ph idx="1"/></p:nvPr></p:nvSpPr><p:spPr><a:xfrm>)"
                           R"(<a:off x="9525" y="9525"/><a:ext cx="95250" cy="95250"/></a:xfrm></p:spPr></p:sp>)")},
        {"ppt/slideLayouts/_rels/slideLayout1.xml.rels",
         rels(rel("rId1", "slideMaster", "../slideMasters/slideMaster1.xml"))},
        {"ppt/slideMasters/slideMaster1.xml",
         tree("sldMaster", sp,
              R"(<p:clrMap tx1="dk1"/><p:txStyles><p:bodyStyle><a:lvl1pPr marL="342900"><a:buFont typeface="+mj-lt"/>)"
              R"(<a:buClr><a:schemeClr val="accent1"/></a:buClr><a:buSzPct val="75%"/><a:buChar char="*"/>)"
              R"(<a:defRPr sz="3200"><a:latin typeface="+mn-lt"/></a:defRPr></a:lvl1pPr></p:bodyStyle></p:txStyles>)")},
        {"ppt/slideMasters/_rels/slideMaster1.xml.rels", rels(rel("rId1", "theme", "../theme/theme1.xml"))},
        {"ppt/theme/theme1.xml",
         R"(<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><a:themeElements><a:clrScheme>)"
         R"(<a:dk1><a:sysClr val="windowText" lastClr="000000"/></a:dk1><a:accent1><a:srgbClr val="4F81BD"/></a:accent1>)"
         R"(</a:clrScheme><a:fontScheme><a:majorFont><a:latin typeface="A"/></a:majorFont><a:minorFont>)"
         R"(<a:latin typeface="B"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>)"},
        {"ppt/media/image1.png", "\x89PNG"},
    };
}

} // namespace

void container(const std::uint8_t* data, std::size_t size)
{
    OpcError error;
    auto c = OpcContainer::openBytes(data, size, &error);
    if (!c)
        return;
    c->relations("");
    for (const std::string& part : c->partNames()) {
        c->contentType(part);
        c->relations(part);
        if (xmlDocPtr doc = c->parseXml(part, &error))
            xmlFreeDoc(doc);
    }
}

void reader(const std::uint8_t* data, std::size_t size)
{
#ifdef PPTX_FUZZ_QUIET
    QuietStderr quiet;
#endif
    qvd_opc_init();
    int error = 0;
    if (QVD_OPC_PRESENTATION_T* deck = qvd_opc_open_bytes(data, size, nullptr, &error))
        readAll(deck);
}

void partReplacement(const std::uint8_t* data, std::size_t size)
{
    static const auto seed = seedDeck();
    if (size == 0)
        return;
    auto entries = seed;
    entries[data[0] % entries.size()].second.assign(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string zip = zipEntries(entries);
    reader(reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size());
}

} // namespace pptx::fuzz
