// Reading a 100-slide deck with 100 pictures (every slide and object, pictures extracted into a new
// folder) against the floor: inflating every part with libzip and parsing every XML part with
// libxml2. Prints both times and their ratio (the reader should stay within twice the floor).

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <libxml/parser.h>
#include <zip.h>

#include "pptx/reader/qvd_opc.h"

namespace {

const char kNs[] = R"(xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" )"
                   R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" )"
                   R"(xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main")";

std::string rel(const std::string& id, const std::string& type, const std::string& target)
{
    return "<Relationship Id=\"" + id +
           "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type + "\" Target=\"" +
           target + "\"/>";
}

std::string rels(const std::string& body)
{
    return R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)" +
           body + "</Relationships>";
}

std::string tree(const std::string& root, const std::string& children, const std::string& tail = {})
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><p:" + root + " " + kNs + "><p:cSld><p:spTree>" + children +
           "</p:spTree></p:cSld>" + tail + "</p:" + root + ">";
}

std::string shape(const std::string& ph, const std::string& xfrm, const std::string& paragraphs)
{
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"s\"/><p:cNvSpPr/><p:nvPr>" + ph + "</p:nvPr></p:nvSpPr><p:spPr>" +
           xfrm + "</p:spPr><p:txBody><a:bodyPr/><a:lstStyle/>" + paragraphs + "</p:txBody></p:sp>";
}

const std::string kXfrm = R"(<a:xfrm><a:off x="457200" y="1600200"/><a:ext cx="8229600" cy="4525963"/></a:xfrm>)";

std::string levelStyles()
{
    std::string s;
    for (int level = 1; level <= 9; ++level)
        s +=
            "<a:lvl" + std::to_string(level) + "pPr marL=\"" + std::to_string(342900 * level) +
            "\"><a:spcBef><a:spcPct val=\"20000\"/></a:spcBef><a:buFont typeface=\"Arial\"/><a:buChar char=\"•\"/>"
            "<a:defRPr sz=\"" +
            std::to_string(3200 - 200 * level) +
            "\"><a:solidFill><a:schemeClr val=\"tx1\"/></a:solidFill><a:latin typeface=\"+mn-lt\"/></a:defRPr></a:lvl" +
            std::to_string(level) + "pPr>";
    return s;
}

// The benchmark deck: 100 slides, each with a title, a body of 8 paragraphs in 3 levels and a picture
// of its own (8 KiB of noise, stored as PNG), on two layouts of one master.
std::map<std::string, std::string> makeDeck()
{
    std::map<std::string, std::string> parts;
    std::string overrides, ids, mainRels = rel("rId1", "slideMaster", "slideMasters/slideMaster1.xml");
    std::mt19937 random(42);
    for (int n = 1; n <= 100; ++n) {
        const std::string s = std::to_string(n);
        overrides += "<Override PartName=\"/ppt/slides/slide" + s +
                     ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument.presentationml.slide+xml\"/>";
        ids += "<p:sldId id=\"" + std::to_string(255 + n) + "\" r:id=\"rId" + std::to_string(n + 1) + "\"/>";
        mainRels += rel("rId" + std::to_string(n + 1), "slide", "slides/slide" + s + ".xml");
        std::string body;
        for (int p = 0; p < 8; ++p)
            body += "<a:p><a:pPr lvl=\"" + std::to_string(p % 3) +
                    "\"/><a:r><a:rPr lang=\"en-US\" dirty=\"0\"/><a:t>Point " + std::to_string(p) + " of slide " + s +
                    " with some words</a:t></a:r><a:r><a:rPr lang=\"en-US\" b=\"1\"/>"
                    "<a:t> and more</a:t></a:r></a:p>";
        parts["ppt/slides/slide" + s + ".xml"] = tree(
            "sld", shape("<p:ph type=\"title\"/>", "",
                         "<a:p><a:r><a:rPr lang=\"en-US\"/><a:t>Slide " + s + "</a:t></a:r></a:p>") +
                       shape("<p:ph idx=\"1\"/>", "", body) +
                       "<p:pic><p:nvPicPr><p:cNvPr id=\"4\" name=\"p\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill>"
                       "<a:blip r:embed=\"rId2\"/></p:blipFill><p:spPr>" +
                       kXfrm + "</p:spPr></p:pic>");
        parts["ppt/slides/_rels/slide" + s + ".xml.rels"] =
            rels(rel("rId1", "slideLayout", "../slideLayouts/slideLayout" + std::to_string(1 + n % 2) + ".xml") +
                 rel("rId2", "image", "../media/image" + s + ".png"));
        std::string noise(8192, '\0');
        for (char& c : noise)
            c = char(random());
        parts["ppt/media/image" + s + ".png"] = noise;
    }
    parts["[Content_Types].xml"] =
        R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/><Default Extension="png" ContentType="image/png"/>)"
        R"(<Override PartName="/ppt/presentation.xml" ContentType="application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"/>)" +
        overrides + "</Types>";
    parts["_rels/.rels"] = rels(rel("rId1", "officeDocument", "ppt/presentation.xml"));
    parts["ppt/presentation.xml"] = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><p:presentation ") + kNs +
                                    "><p:sldIdLst>" + ids +
                                    "</p:sldIdLst><p:sldSz cx=\"9144000\" cy=\"6858000\"/></p:presentation>";
    parts["ppt/_rels/presentation.xml.rels"] = rels(mainRels);
    for (int l = 1; l <= 2; ++l) {
        const std::string name = "ppt/slideLayouts/slideLayout" + std::to_string(l) + ".xml";
        parts[name] =
            tree("sldLayout", shape("<p:ph type=\"title\"/>", "", "") + shape("<p:ph idx=\"1\"/>", kXfrm, ""));
        parts["ppt/slideLayouts/_rels/slideLayout" + std::to_string(l) + ".xml.rels"] =
            rels(rel("rId1", "slideMaster", "../slideMasters/slideMaster1.xml"));
    }
    parts["ppt/slideMasters/slideMaster1.xml"] = tree(
        "sldMaster", shape("<p:ph type=\"title\"/>", kXfrm, "") + shape("<p:ph type=\"body\" idx=\"1\"/>", kXfrm, ""),
        "<p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\"/><p:txStyles><p:titleStyle>" + levelStyles() +
            "</p:titleStyle><p:bodyStyle>" + levelStyles() + "</p:bodyStyle><p:otherStyle>" + levelStyles() +
            "</p:otherStyle></p:txStyles>");
    parts["ppt/slideMasters/_rels/slideMaster1.xml.rels"] = rels(rel("rId1", "theme", "../theme/theme1.xml"));
    parts["ppt/theme/theme1.xml"] =
        R"(<?xml version="1.0" encoding="UTF-8"?><a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main">)"
        R"(<a:themeElements><a:clrScheme name="t"><a:dk1><a:sysClr val="windowText" lastClr="000000"/></a:dk1>)"
        R"(</a:clrScheme><a:fontScheme name="f"><a:majorFont><a:latin typeface="Calibri"/></a:majorFont>)"
        R"(<a:minorFont><a:latin typeface="Calibri"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>)";
    return parts;
}

struct Fixture {
    std::string folder;
    std::string deckPath;
    std::string outPath;

    Fixture()
    {
        char pattern[] = "/tmp/bench-pptx-XXXXXX";
        folder = mkdtemp(pattern);
        deckPath = folder + "/deck.pptx";
        outPath = folder + "/out";
        std::filesystem::create_directory(outPath);
        int error = 0;
        zip_t* archive = zip_open(deckPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        static const auto parts = makeDeck();
        for (const auto& [name, content] : parts)
            zip_file_add(archive, name.c_str(), zip_source_buffer(archive, content.data(), content.size(), 0), 0);
        zip_close(archive);
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_ReadWholeDeck(benchmark::State& state)
{
    qvd_opc_init();
    Fixture& f = fixture();
    std::size_t objects = 0;
    int round = 0;
    for (auto _ : state) {
        // Each import extracts into a new, empty folder, as the converter does.
        state.PauseTiming();
        const std::string out = f.outPath + "/" + std::to_string(round++);
        std::filesystem::create_directory(out);
        state.ResumeTiming();
        int error = 0;
        QVD_OPC_PRESENTATION_T* deck = qvd_opc_open(f.deckPath.c_str(), out.c_str(), &error);
        if (!deck) {
            state.SkipWithError("the reader failed");
            return;
        }
        for (QVD_OPC_SLIDE_T* slide = qvd_opc_slides(deck, &error); slide; slide = slide->next)
            for (QVD_OPC_SLIDE_OBJECT_T* o = qvd_opc_slide_objects(slide, &error); o; o = o->next)
                ++objects;
        qvd_opc_free(deck);
        state.PauseTiming();
        std::filesystem::remove_all(out);
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(objects);
}
BENCHMARK(BM_ReadWholeDeck)->Unit(benchmark::kMillisecond);

void BM_InflateAndParseFloor(benchmark::State& state)
{
    Fixture& f = fixture();
    std::size_t bytes = 0;
    for (auto _ : state) {
        int error = 0;
        zip_t* archive = zip_open(f.deckPath.c_str(), ZIP_RDONLY, &error);
        const zip_int64_t count = zip_get_num_entries(archive, 0);
        std::string content;
        char buffer[65536];
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_file_t* file = zip_fopen_index(archive, zip_uint64_t(i), 0);
            content.clear();
            zip_int64_t n;
            while ((n = zip_fread(file, buffer, sizeof buffer)) > 0)
                content.append(buffer, std::size_t(n));
            zip_fclose(file);
            bytes += content.size();
            const std::string name = zip_get_name(archive, zip_uint64_t(i), 0);
            if (name.ends_with(".xml") || name.ends_with(".rels"))
                xmlFreeDoc(xmlReadMemory(content.data(), int(content.size()), nullptr, nullptr, XML_PARSE_NONET));
        }
        zip_discard(archive);
    }
    benchmark::DoNotOptimize(bytes);
}
BENCHMARK(BM_InflateAndParseFloor)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration so the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                // With --benchmark_repetitions the fastest repetition counts: the machine's other
                // load only ever adds time.
                const double perIteration = run.real_accumulated_time / double(run.iterations);
                const auto [it, added] = times.try_emplace(run.run_name.function_name, perIteration);
                if (!added)
                    it->second = std::min(it->second, perIteration);
            }
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto reader = reporter.times.find("BM_ReadWholeDeck");
    const auto floor = reporter.times.find("BM_InflateAndParseFloor");
    if (reader != reporter.times.end() && floor != reporter.times.end() && floor->second > 0) {
        std::printf("reader %.2f ms, floor %.2f ms, ratio %.2f (target: at most 2)\n", reader->second * 1e3,
                    floor->second * 1e3, reader->second / floor->second);
    }
    benchmark::Shutdown();
    return 0;
}
