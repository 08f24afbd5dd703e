#include "pptx/reader/DeckState.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <set>
#include <unordered_map>
#include <string_view>

namespace pptx {

namespace {

constexpr char kRelOfficeDocument[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
constexpr char kRelSlide[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide";
constexpr char kRelSlideLayout[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slideLayout";
constexpr char kRelSlideMaster[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slideMaster";
constexpr char kRelTheme[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme";
constexpr char kRelImage[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
constexpr char kPresentationMainType[] =
    "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml";
constexpr char kMainPart[] = "ppt/presentation.xml";

// Decks come from strangers: every number is clamped to a range the converter can place on a screen.
constexpr std::int64_t kMaxPx = 1000000;
constexpr std::int32_t kMaxFontSize = 4000;
constexpr std::int32_t kMaxLevel = 9;
constexpr std::int32_t kMaxSpacing = 1000000;
// Real decks have a default level and nine outline levels per style list, a dozen colour-map entries
// and a dozen scheme colours; anything past these caps is ignored so lookups stay short.
constexpr int kMaxStyleLevels = 32;
constexpr int kMaxColors = 256;
// Lists longer than this get a hash index for lookups.
constexpr int kIndexedListLength = 16;

constexpr const char* kNumberingSchemes[] = {
    "alphaLcParenBoth",  "alphaUcParenBoth", "alphaLcParenR",         "alphaUcParenR",         "alphaLcPeriod",
    "alphaUcPeriod",     "arabicParenBoth",  "arabicParenR",          "arabicPeriod",          "arabicPlain",
    "romanLcParenBoth",  "romanUcParenBoth", "romanLcParenR",         "romanUcParenR",         "romanLcPeriod",
    "romanUcPeriod",     "circleNumDbPlain", "circleNumWdBlackPlain", "circleNumWdWhitePlain", "arabicDbPeriod",
    "arabicDbPlain",     "ea1ChsPeriod",     "ea1ChsPlain",           "ea1ChtPeriod",          "ea1ChtPlain",
    "ea1JpnChsDbPeriod", "ea1JpnKorPlain",   "ea1JpnKorPeriod",       "arabic1Minus",          "arabic2Minus",
    "hebrew2Minus",      "thaiAlphaPeriod",  "thaiAlphaParenR",       "thaiAlphaParenBoth",    "thaiNumPeriod",
    "thaiNumParenR",     "thaiNumParenBoth", "hindiAlphaPeriod",      "hindiNumPeriod",        "hindiNumParenR",
    "hindiAlpha1Period"};

// ---- XML access -------------------------------------------------------------------------------

// Elements are matched by local name; a prefix that was never declared leaves "p:sp" as the name,
// which still matches "sp".
std::string_view localName(const xmlChar* name)
{
    std::string_view text(reinterpret_cast<const char*>(name));
    const std::size_t colon = text.rfind(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

bool isElement(xmlNodePtr node, std::string_view name)
{
    return node->type == XML_ELEMENT_NODE && localName(node->name) == name;
}

xmlNodePtr child(xmlNodePtr node, std::string_view name)
{
    if (!node)
        return nullptr;
    for (xmlNodePtr c = node->children; c; c = c->next)
        if (isElement(c, name))
            return c;
    return nullptr;
}

xmlNodePtr firstElement(xmlNodePtr node)
{
    for (xmlNodePtr c = node ? node->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE)
            return c;
    return nullptr;
}

// First node, depth-first in document order, reached from `node` through elements named by `path`.
xmlNodePtr findPath(xmlNodePtr node, const std::string_view* path, std::size_t length)
{
    if (!node || length == 0)
        return node;
    for (xmlNodePtr c = node->children; c; c = c->next) {
        if (isElement(c, path[0]))
            if (xmlNodePtr found = findPath(c, path + 1, length - 1))
                return found;
    }
    return nullptr;
}

xmlNodePtr findPath(xmlNodePtr node, std::initializer_list<std::string_view> path)
{
    return findPath(node, path.begin(), path.size());
}

template <typename F> void forEachPath(xmlNodePtr node, const std::string_view* path, std::size_t length, F&& f)
{
    if (!node)
        return;
    if (length == 0) {
        f(node);
        return;
    }
    for (xmlNodePtr c = node->children; c; c = c->next)
        if (isElement(c, path[0]))
            forEachPath(c, path + 1, length - 1, f);
}

template <typename F> void forEachPath(xmlNodePtr node, std::initializer_list<std::string_view> path, F&& f)
{
    forEachPath(node, path.begin(), path.size(), f);
}

// Attribute by local name; `namespaced` asks for one that carries a namespace (r:id next to id).
bool attribute(xmlNodePtr node, std::string_view name, std::string* out, bool namespaced = false)
{
    if (!node || node->type != XML_ELEMENT_NODE)
        return false;
    for (xmlAttrPtr a = node->properties; a; a = a->next) {
        if (localName(a->name) != name || (namespaced && !a->ns))
            continue;
        xmlNodePtr text = a->children;
        if (text && !text->next && text->type == XML_TEXT_NODE && text->content) {
            out->assign(reinterpret_cast<const char*>(text->content));
        } else {
            xmlChar* value = xmlNodeListGetString(node->doc, a->children, 1);
            out->assign(value ? reinterpret_cast<const char*>(value) : "");
            xmlFree(value);
        }
        return true;
    }
    return false;
}

// Leading decimal integer with saturation at the 64-bit limits; anything unreadable is 0.
std::int64_t parseInteger(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value > (INT64_MAX - digit) / 10) {
            value = INT64_MAX;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::int64_t clamp64(std::int64_t v, std::int64_t lo, std::int64_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

std::int64_t emuAttribute(xmlNodePtr node, std::string_view name, std::int64_t lo = -kMaxPx)
{
    std::string text;
    if (!attribute(node, name, &text))
        return 0;
    return clamp64(parseInteger(text) / 9525, lo, kMaxPx);
}

// Where a group puts its members: their frames are in the group's own child space (its chOff and chExt),
// which the group maps onto its frame on the slide (off and ext). A group moved or resized after its members
// were placed keeps their old coordinates, so members are placed through every group around them.
struct GroupPlacement {
    double scaleX = 1, scaleY = 1, dx = 0, dy = 0;
    bool isIdentity() const { return scaleX == 1 && scaleY == 1 && dx == 0 && dy == 0; }
};

// ---- reading context ----------------------------------------------------------------------------

struct Reader {
    QVD_OPC_PRESENTATION_T* deck;
    DeckState& st;

    char* str(const std::string& text) { return st.arena.copy(text); }
    char* str(const char* text) { return text ? st.arena.copy(text, std::strlen(text)) : nullptr; }

    char* keptAttribute(xmlNodePtr node, std::string_view name, bool namespaced = false)
    {
        std::string text;
        return attribute(node, name, &text, namespaced) ? str(text) : nullptr;
    }

    QVD_OPC_RECT_T* rect(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h)
    {
        auto* r = st.arena.make<QVD_OPC_RECT_T>();
        *r = {x, y, w, h, deck};
        return r;
    }

    QVD_OPC_TEXT_STYLE_T* newStyle()
    {
        auto* s = st.arena.make<QVD_OPC_TEXT_STYLE_T>();
        s->alignment = QVD_OPC_ALIGN_LEFT;
        s->font_alignment = QVD_OPC_FONT_ALIGN_BASELINE;
        s->level = 1;
        s->numbering_start = 1;
        return s;
    }

    QVD_OPC_TEXT_SPACE_SIZE_T* spaceSize(std::int32_t value, std::int32_t unit)
    {
        auto* v = st.arena.make<QVD_OPC_TEXT_SPACE_SIZE_T>();
        *v = {value, 0, unit};
        return v;
    }

    // The parsed document of a part, read once per deck.
    xmlDocPtr document(const std::string& part)
    {
        if (const auto it = st.documents.find(part); it != st.documents.end())
            return it->second;
        OpcError error;
        xmlDocPtr doc = st.container->parseXml(part, &error);
        if (!doc) {
            std::fprintf(stderr, "pptx reader: %s\n", error.message.c_str());
            st.fail(QVD_OPC_ERR_PART, "We weren't able to open the " + part + " file.");
            return nullptr;
        }
        st.documents.emplace(part, doc);
        return doc;
    }

    std::string pictureFileName(const std::string& part)
    {
        const std::size_t slash = part.rfind('/');
        std::string base = slash == std::string::npos ? part : part.substr(slash + 1);
        const std::size_t dot = base.rfind('.');
        if (dot == std::string::npos)
            return base;
        std::string ext = base.substr(dot + 1);
        for (char& c : ext)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        if (ext == "jpg" || ext == "jpeg")
            ext = "jpg";
        else if (ext != "png" && ext != "gif")
            return base;
        return base.substr(0, dot + 1) + ext;
    }

    std::string inOutputFolder(const std::string& fileName)
    {
        return deck->output_folder ? std::string(deck->output_folder) + "/" + fileName : fileName;
    }

    // Where the picture of `part` is, or would be, in the output folder.
    char* picturePath(const std::string& part)
    {
        if (const auto it = st.pictureFiles.find(part); it != st.pictureFiles.end())
            return it->second;
        if (part.empty() || part.back() == '/')
            return nullptr;
        return str(inOutputFolder(pictureFileName(part)));
    }

    QVD_OPC_IMAGE_REL_T* imageRelations(const std::string& part)
    {
        QVD_OPC_IMAGE_REL_T *head = nullptr, *tail = nullptr;
        for (const OpcRelation& relation : st.container->relations(part)) {
            if (relation.external || relation.type != kRelImage)
                continue;
            auto* rel = st.arena.make<QVD_OPC_IMAGE_REL_T>();
            rel->rel_id = str(relation.id);
            rel->file_path = picturePath(relation.target);
            (tail ? tail->next : head) = rel;
            tail = rel;
        }
        return head;
    }

    char* pictureFor(QVD_OPC_IMAGE_REL_T* rels, const std::string& id)
    {
        int length = 0;
        for (QVD_OPC_IMAGE_REL_T* r = rels; r && length <= kIndexedListLength; r = r->next, ++length) {
            if (id == r->rel_id)
                return r->file_path;
        }
        if (length <= kIndexedListLength)
            return nullptr;
        auto [it, made] = st.pictureIndex.try_emplace(rels);
        if (made)
            for (QVD_OPC_IMAGE_REL_T* r = rels; r; r = r->next)
                it->second.try_emplace(r->rel_id, r->file_path);
        const auto found = it->second.find(id);
        return found == it->second.end() ? nullptr : found->second;
    }

    // ---- opening ----

    bool extractPictures()
    {
        for (const std::string& part : st.container->partNames()) {
            const std::size_t dot = part.rfind('.');
            if (dot == std::string::npos)
                continue;
            std::string ext = part.substr(dot + 1);
            for (char& c : ext)
                if (c >= 'A' && c <= 'Z')
                    c = char(c - 'A' + 'a');
            if (ext != "jpg" && ext != "jpeg" && ext != "png" && ext != "gif")
                continue;
            if (part.back() == '/')
                return st.fail(QVD_OPC_ERR_IMAGE_NAME, "image `" + part + "' does not look like a file");
            // Pictures with the same base name in different folders get distinct files, so each
            // relationship still finds its own picture.
            const std::string fileName = pictureFileName(part);
            std::string unique = fileName;
            const std::size_t fileDot = fileName.rfind('.');
            for (int n = 2; takenFileNames.count(unique); ++n)
                unique = fileName.substr(0, fileDot) + "-" + std::to_string(n) + fileName.substr(fileDot);
            takenFileNames.insert(unique);
            const std::string path = inOutputFolder(unique);
            char* kept = str(path);
            st.pictureFiles.emplace(part, kept);
            auto* extracted = st.arena.make<QVD_OPC_IMAGE_REL_T>();
            extracted->rel_id = str("");
            extracted->file_path = kept;
            (extractedTail ? extractedTail->next : deck->extracted_images) = extracted;
            extractedTail = extracted;
            if (deck->output_folder && !copyPicture(part, path))
                return false;
        }
        return true;
    }

    bool copyPicture(const std::string& part, const std::string& path)
    {
        // A fresh file rather than a truncated one: never writes through a planted link, and spares
        // ext4 the flush it forces when a file is truncated and rewritten.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return st.fail(QVD_OPC_ERR_IMAGE_WRITE, "We weren't able to open `" + path + "' for writing.");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0)
            return st.fail(QVD_OPC_ERR_IMAGE_WRITE, "We weren't able to open `" + path + "' for writing.");
        OpcError error;
        auto stream = st.container->openStream(part, &error);
        bool ok = stream != nullptr;
        char buffer[65536];
        while (ok) {
            const std::int64_t n = stream->read(buffer, sizeof buffer);
            if (n == 0)
                break;
            if (n < 0) {
                error.message = stream->errorMessage();
                ok = false;
                break;
            }
            for (std::int64_t done = 0; done < n;) {
                const ssize_t w = ::write(fd, buffer + done, std::size_t(n - done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    ::close(fd);
                    ::unlink(path.c_str());
                    return st.fail(QVD_OPC_ERR_IMAGE_WRITE, "We weren't able to open `" + path + "' for writing.");
                }
                done += w;
            }
        }
        if (::close(fd) != 0 && ok) {
            ::unlink(path.c_str());
            return st.fail(QVD_OPC_ERR_IMAGE_WRITE, "We weren't able to open `" + path + "' for writing.");
        }
        if (!ok) {
            ::unlink(path.c_str());
            std::fprintf(stderr, "pptx reader: %s: %s\n", part.c_str(), error.message.c_str());
            return st.fail(QVD_OPC_ERR_IMAGE_READ,
                           "We weren't able to open the opcContainerInputStream `" + part + "' for reading.");
        }
        return true;
    }

    bool open()
    {
        OpcContainer& c = *st.container;
        const OpcRelation* office = c.firstRelation("", kRelOfficeDocument);
        if (!office || office->external || !c.hasPart(office->target) ||
            c.contentType(office->target) != kPresentationMainType)
            return st.fail(QVD_OPC_ERR_NOT_PPTX, st.inputName + " is not a pptx presentation.");
        deck->main_part_name = str(kMainPart);
        if (!extractPictures())
            return false;
        xmlDocPtr doc = document(kMainPart);
        if (!doc)
            return false;
        if (doc->encoding)
            deck->xml_encoding = str(reinterpret_cast<const char*>(doc->encoding));
        xmlNodePtr size = child(xmlDocGetRootElement(doc), "sldSz");
        if (!size)
            return st.fail(QVD_OPC_ERR_SLIDE_SIZE, "We can't determine the rect for the presentation.");
        deck->slide_size = {0, 0, emuAttribute(size, "cx", 0), emuAttribute(size, "cy", 0), deck};
        return true;
    }

    // ---- themes, masters, layouts ----

    char* themeFont(QVD_OPC_THEME_T* theme, const std::string& typeface)
    {
        if (typeface.size() >= 3 && typeface[0] == '+' && typeface[1] == 'm') {
            if (typeface[2] == 'j')
                return theme ? theme->major_latin_typeface : nullptr;
            if (typeface[2] == 'n')
                return theme ? theme->minor_latin_typeface : nullptr;
        }
        return str(typeface);
    }

    static char* lookupColor(QVD_OPC_COLOR_T* list, const char* name)
    {
        for (; list; list = list->next)
            if (list->name && std::strcmp(list->name, name) == 0)
                return list->value;
        return nullptr;
    }

    char* schemeColor(QVD_OPC_SLIDE_MASTER_T* master, const std::string& name)
    {
        const char* mapped = lookupColor(master->color_map, name.c_str());
        return lookupColor(master->theme ? master->theme->color_scheme : nullptr, mapped ? mapped : name.c_str());
    }

    QVD_OPC_THEME_T* emptyTheme()
    {
        auto* theme = st.arena.make<QVD_OPC_THEME_T>();
        theme->deck = deck;
        return theme;
    }

    QVD_OPC_THEME_T* theme(const std::string& part)
    {
        if (const auto it = st.themesByPart.find(part); it != st.themesByPart.end())
            return it->second;
        xmlDocPtr doc = document(part);
        if (!doc)
            return nullptr;
        auto* theme = emptyTheme();
        theme->part_name = str(part);
        QVD_OPC_COLOR_T* tail = nullptr;
        int colors = 0;
        for (xmlNodePtr e = firstElement(child(xmlDocGetRootElement(doc), "themeElements")); e; e = e->next) {
            if (isElement(e, "fontScheme")) {
                for (xmlNodePtr f = e->children; f; f = f->next) {
                    const bool major = isElement(f, "majorFont");
                    if (!major && !isElement(f, "minorFont"))
                        continue;
                    for (xmlNodePtr l = f->children; l; l = l->next) {
                        std::string face;
                        if (isElement(l, "latin") && attribute(l, "typeface", &face))
                            (major ? theme->major_latin_typeface : theme->minor_latin_typeface) = str(face);
                    }
                }
            } else if (isElement(e, "clrScheme")) {
                for (xmlNodePtr c = e->children; c && colors < kMaxColors; c = c->next) {
                    if (c->type != XML_ELEMENT_NODE)
                        continue;
                    ++colors;
                    auto* color = st.arena.make<QVD_OPC_COLOR_T>();
                    color->name = str(std::string(localName(c->name)));
                    xmlNodePtr value = firstElement(c);
                    if (value && isElement(value, "sysClr"))
                        color->value = keptAttribute(value, "lastClr");
                    else if (value && isElement(value, "srgbClr"))
                        color->value = keptAttribute(value, "val");
                    (tail ? tail->next : theme->color_scheme) = color;
                    tail = color;
                }
            }
        }
        (st.themesTail ? st.themesTail->next : deck->themes) = theme;
        st.themesTail = theme;
        st.themesByPart.emplace(part, theme);
        return theme;
    }

    // A background colour: written as RGB, or a scheme colour resolved through the master's colour map and theme
    // as text colours are.
    char* backgroundColor(xmlNodePtr colorElement, QVD_OPC_SLIDE_MASTER_T* m)
    {
        std::string name;
        if (colorElement && isElement(colorElement, "srgbClr"))
            return keptAttribute(colorElement, "val");
        if (colorElement && isElement(colorElement, "schemeClr") && attribute(colorElement, "val", &name))
            return schemeColor(m, name);
        return nullptr;
    }

    // The background of a master, layout or slide: its own properties (a solid fill or a picture), or a reference
    // to the theme's background styles whose colour is given.
    QVD_OPC_BACKGROUND_T* background(xmlNodePtr root, QVD_OPC_SLIDE_MASTER_T* m, QVD_OPC_IMAGE_REL_T* rels,
                                     QVD_OPC_BACKGROUND_T* fallback)
    {
        xmlNodePtr properties = findPath(root, {"cSld", "bg", "bgPr"});
        char* color = backgroundColor(firstElement(findPath(properties, {"solidFill"})), m);
        if (!properties && !color) {
            // idx 0 and 1000 name no fill at all.
            xmlNodePtr reference = findPath(root, {"cSld", "bg", "bgRef"});
            std::string index;
            if (reference && !(attribute(reference, "idx", &index) && (index == "0" || index == "1000")))
                color = backgroundColor(firstElement(reference), m);
        }
        char* picture = nullptr;
        std::string embed;
        if (attribute(findPath(properties, {"blipFill", "blip"}), "embed", &embed))
            picture = pictureFor(rels, embed);
        if (!color && !picture)
            return fallback;
        auto* bg = st.arena.make<QVD_OPC_BACKGROUND_T>();
        bg->color = color ? color : (fallback ? fallback->color : nullptr);
        bg->picture = picture ? picture : (fallback ? fallback->picture : nullptr);
        return bg;
    }

    QVD_OPC_SLIDE_MASTER_T* emptyMaster()
    {
        if (!st.emptyMaster) {
            st.emptyMaster = st.arena.make<QVD_OPC_SLIDE_MASTER_T>();
            st.emptyMaster->deck = deck;
            st.emptyMaster->theme = emptyTheme();
        }
        return st.emptyMaster;
    }

    // The target of the last (or first) internal relationship of `type`, when that part exists.
    std::string relatedPart(const std::string& part, const char* type, bool last)
    {
        std::string target;
        for (const OpcRelation& relation : st.container->relations(part)) {
            if (relation.external || relation.type != type)
                continue;
            target = relation.target;
            if (!last)
                break;
        }
        if (!target.empty() && !st.container->hasPart(target)) {
            std::fprintf(stderr, "pptx reader: %s refers to the missing part %s\n", part.c_str(), target.c_str());
            return {};
        }
        return target;
    }

    QVD_OPC_SLIDE_MASTER_T* master(const std::string& part)
    {
        if (const auto it = st.mastersByPart.find(part); it != st.mastersByPart.end())
            return it->second;
        auto* m = st.arena.make<QVD_OPC_SLIDE_MASTER_T>();
        m->deck = deck;
        m->part_name = str(part);
        const std::string themePart = relatedPart(part, kRelTheme, false);
        m->theme = themePart.empty() ? emptyTheme() : theme(themePart);
        if (!m->theme)
            return nullptr;
        xmlDocPtr doc = document(part);
        if (!doc)
            return nullptr;
        xmlNodePtr root = xmlDocGetRootElement(doc);
        m->image_rels = imageRelations(part);
        if (xmlNodePtr map = child(root, "clrMap")) {
            QVD_OPC_COLOR_T* tail = nullptr;
            int count = 0;
            for (xmlAttrPtr a = map->properties; a && count++ < kMaxColors; a = a->next) {
                auto* color = st.arena.make<QVD_OPC_COLOR_T>();
                color->name = str(std::string(localName(a->name)));
                color->value = keptAttribute(map, color->name);
                (tail ? tail->next : m->color_map) = color;
                tail = color;
            }
        }
        // After the colour map, through which a scheme colour resolves.
        m->background = background(root, m, m->image_rels, nullptr);
        QVD_OPC_TEXT_STYLE_T* stylesTail = nullptr;
        for (xmlNodePtr e = firstElement(child(root, "txStyles")); e; e = e->next) {
            std::int32_t category = 0;
            if (isElement(e, "titleStyle"))
                category = QVD_OPC_CATEGORY_TITLE;
            else if (isElement(e, "bodyStyle"))
                category = QVD_OPC_CATEGORY_BODY;
            else if (isElement(e, "otherStyle"))
                category = QVD_OPC_CATEGORY_OTHER;
            else
                continue;
            QVD_OPC_TEXT_STYLE_T* list = styleList(e, category, nullptr, m, m->image_rels);
            if (!list)
                continue;
            (stylesTail ? stylesTail->next : m->text_styles) = list;
            for (stylesTail = list; stylesTail->next; stylesTail = stylesTail->next) {
            }
        }
        m->shapes = shapeList(root, m, m->image_rels, nullptr);
        (st.mastersTail ? st.mastersTail->next : deck->slide_masters) = m;
        st.mastersTail = m;
        st.mastersByPart.emplace(part, m);
        return st.failed() ? nullptr : m;
    }

    QVD_OPC_SLIDE_LAYOUT_T* emptyLayout()
    {
        if (!st.emptyLayout) {
            st.emptyLayout = st.arena.make<QVD_OPC_SLIDE_LAYOUT_T>();
            st.emptyLayout->deck = deck;
            st.emptyLayout->master = emptyMaster();
        }
        return st.emptyLayout;
    }

    QVD_OPC_SLIDE_LAYOUT_T* layout(const std::string& part)
    {
        if (const auto it = st.layoutsByPart.find(part); it != st.layoutsByPart.end())
            return it->second;
        auto* l = st.arena.make<QVD_OPC_SLIDE_LAYOUT_T>();
        l->deck = deck;
        l->part_name = str(part);
        const std::string masterPart = relatedPart(part, kRelSlideMaster, false);
        l->master = masterPart.empty() ? emptyMaster() : master(masterPart);
        if (!l->master)
            return nullptr;
        xmlDocPtr doc = document(part);
        if (!doc)
            return nullptr;
        xmlNodePtr root = xmlDocGetRootElement(doc);
        l->image_rels = imageRelations(part);
        l->background = background(root, l->master, l->image_rels, l->master->background);
        l->shapes = shapeList(root, l->master, l->image_rels, l->master->shapes);
        (st.layoutsTail ? st.layoutsTail->next : deck->slide_layouts) = l;
        st.layoutsTail = l;
        st.layoutsByPart.emplace(part, l);
        return st.failed() ? nullptr : l;
    }

    // The part's own shapes in document order, followed by `inherited`.
    QVD_OPC_SHAPE_T* shapeList(xmlNodePtr root, QVD_OPC_SLIDE_MASTER_T* m, QVD_OPC_IMAGE_REL_T* rels,
                               QVD_OPC_SHAPE_T* inherited)
    {
        QVD_OPC_SHAPE_T *head = nullptr, *tail = nullptr;
        forEachPath(root, {"cSld", "spTree", "sp"}, [&](xmlNodePtr sp) {
            QVD_OPC_SHAPE_T* s = shape(sp, m, rels, inherited);
            if (!s)
                return;
            (tail ? tail->next : head) = s;
            tail = s;
        });
        if (!tail)
            return inherited;
        tail->next = inherited;
        return head;
    }

    // ---- text styles ----

    static QVD_OPC_TEXT_STYLE_T* styleFor(QVD_OPC_TEXT_STYLE_T* list, std::int32_t level, std::int32_t category)
    {
        const std::int32_t wanted = category == 0 ? QVD_OPC_CATEGORY_OTHER : category;
        for (; list; list = list->next)
            if (list->level == level && (list->category == 0 || list->category == wanted))
                return list;
        return nullptr;
    }

    QVD_OPC_TEXT_STYLE_T* styleList(xmlNodePtr container, std::int32_t category, QVD_OPC_TEXT_STYLE_T* base,
                                    QVD_OPC_SLIDE_MASTER_T* m, QVD_OPC_IMAGE_REL_T* rels)
    {
        QVD_OPC_TEXT_STYLE_T *head = nullptr, *tail = nullptr;
        int levels = 0;
        for (xmlNodePtr e = container->children; e && levels < kMaxStyleLevels; e = e->next) {
            if (e->type != XML_ELEMENT_NODE)
                continue;
            ++levels;
            std::int32_t level = 0;
            const std::string_view name = localName(e->name);
            const std::size_t digit = name.find_first_of("0123456789");
            if (digit != std::string_view::npos) {
                for (std::size_t i = digit; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
                    level = std::min<std::int32_t>(level * 10 + (name[i] - '0'), 1000);
                level = std::min(level, kMaxLevel);
            }
            QVD_OPC_TEXT_STYLE_T* s = paragraphProperties(e, styleFor(base, level, category), m, rels);
            s->level = level;
            s->category = category;
            (tail ? tail->next : head) = s;
            tail = s;
        }
        if (!tail)
            return base;
        tail->next = base;
        return head;
    }

    QVD_OPC_TEXT_SPACE_SIZE_T* spacing(xmlNodePtr e)
    {
        std::string text;
        if (!e || !attribute(e, "val", &text))
            return nullptr;
        const std::string_view name = localName(e->name);
        const bool percent = name.size() >= 3 && name.substr(name.size() - 3) == "Pct";
        std::int64_t value = parseInteger(text);
        if (percent && !(text.size() && text.back() == '%'))
            value /= 1000;
        else if (!percent)
            value /= 100;
        return spaceSize(std::int32_t(clamp64(value, -kMaxSpacing, kMaxSpacing)),
                         percent ? QVD_OPC_UNIT_PERCENT : QVD_OPC_UNIT_POINTS);
    }

    void runProperties(xmlNodePtr e, QVD_OPC_TEXT_STYLE_T* s, QVD_OPC_SLIDE_MASTER_T* m)
    {
        std::string text;
        if (attribute(e, "sz", &text))
            s->size = std::int32_t(clamp64(parseInteger(text) / 100, 0, kMaxFontSize));
        if (attribute(findPath(e, {"solidFill", "schemeClr"}), "val", &text))
            s->color = schemeColor(m, text);
        if (attribute(child(e, "latin"), "typeface", &text))
            s->latin_typeface = themeFont(m->theme, text);
    }

    QVD_OPC_TEXT_SPACE_SIZE_T* textSizeInPoints(const QVD_OPC_TEXT_STYLE_T* s)
    {
        return spaceSize(s->size, QVD_OPC_UNIT_POINTS);
    }

    void inherit(QVD_OPC_TEXT_STYLE_T* s, const QVD_OPC_TEXT_STYLE_T* base)
    {
        if (base) {
            if (!s->line_spacing)
                s->line_spacing = base->line_spacing;
            if (!s->space_before)
                s->space_before = base->space_before;
            if (!s->space_after)
                s->space_after = base->space_after;
            if (!s->latin_typeface)
                s->latin_typeface = base->latin_typeface;
            if (!s->second_typeface)
                s->second_typeface = base->second_typeface;
            if (!s->color)
                s->color = base->color;
            if (!s->size)
                s->size = base->size;
            if (s->bullet_type == QVD_OPC_BULLET_UNSET) {
                s->bullet_type = base->bullet_type;
                if (!s->numbering_scheme) {
                    s->numbering_scheme = base->numbering_scheme;
                    s->numbering_start = base->numbering_start;
                }
                if (!s->bullet_character)
                    s->bullet_character = base->bullet_character;
                if (!s->bullet_picture)
                    s->bullet_picture = base->bullet_picture;
                if (!s->bullet_color) {
                    s->bullet_color = base->bullet_color;
                    s->bullet_color_follows_text = base->bullet_color_follows_text;
                }
                if (!s->bullet_font) {
                    s->bullet_font = base->bullet_font;
                    s->bullet_font_follows_text = base->bullet_font_follows_text;
                }
                if (!s->bullet_size) {
                    s->bullet_size = base->bullet_size;
                    s->bullet_size_follows_text = base->bullet_size_follows_text;
                }
            }
        }
        if (s->bullet_font_follows_text)
            s->bullet_font = s->latin_typeface ? s->latin_typeface : s->second_typeface;
        if (s->bullet_color_follows_text)
            s->bullet_color = s->color;
        if (s->bullet_size_follows_text)
            s->bullet_size = textSizeInPoints(s);
    }

    void bullets(xmlNodePtr e, QVD_OPC_TEXT_STYLE_T* s, const QVD_OPC_TEXT_STYLE_T* base, QVD_OPC_SLIDE_MASTER_T* m,
                 QVD_OPC_IMAGE_REL_T* rels)
    {
        if (child(e, "buNone")) {
            s->bullet_type = QVD_OPC_BULLET_NONE;
            return;
        }
        std::string text;
        if (xmlNodePtr c = child(e, "buChar")) {
            s->bullet_type = QVD_OPC_BULLET_CHARACTER;
            s->bullet_character = keptAttribute(c, "char");
        } else if (xmlNodePtr n = child(e, "buAutoNum")) {
            if (attribute(n, "type", &text)) {
                for (std::size_t i = 0; i < std::size(kNumberingSchemes); ++i) {
                    if (text == kNumberingSchemes[i]) {
                        s->bullet_type = QVD_OPC_BULLET_NUMBERING;
                        s->numbering_scheme = std::int32_t(i + 1);
                    }
                }
            }
        } else if (xmlNodePtr blip = child(child(e, "buBlip"), "blip")) {
            s->bullet_type = QVD_OPC_BULLET_PICTURE;
            s->bullet_picture = attribute(blip, "embed", &text) ? pictureFor(rels, text) : nullptr;
        }

        if (xmlNodePtr c = child(e, "buClr")) {
            xmlNodePtr value = firstElement(c);
            s->bullet_color = nullptr;
            if (value && (isElement(value, "srgbClr") || isElement(value, "sysClr")))
                s->bullet_color = keptAttribute(value, "val");
            else if (value && isElement(value, "schemeClr") && attribute(value, "val", &text))
                s->bullet_color = schemeColor(m, text);
        } else if (child(e, "buClrTx")) {
            s->bullet_color = s->color;
            s->bullet_color_follows_text = 1;
        }

        xmlNodePtr font = child(e, "buFont");
        if (font && attribute(font, "typeface", &text)) {
            s->bullet_font = themeFont(m->theme, text);
        } else if (child(e, "buFontTx")) {
            s->bullet_font = s->latin_typeface ? s->latin_typeface : s->second_typeface;
            s->bullet_font_follows_text = 1;
        }

        if (xmlNodePtr size = child(e, "buSzPct")) {
            s->bullet_size = spacing(size);
        } else if (xmlNodePtr points = child(e, "buSzPts")) {
            s->bullet_size = spacing(points);
        } else if (child(e, "buSzTx")) {
            s->bullet_size = textSizeInPoints(s);
            s->bullet_size_follows_text = 1;
        }

        if (!base)
            return;
        if (s->bullet_type == QVD_OPC_BULLET_UNSET) {
            s->bullet_type = base->bullet_type;
            if (base->bullet_type == QVD_OPC_BULLET_PICTURE)
                s->bullet_picture = base->bullet_picture;
            else if (base->bullet_type == QVD_OPC_BULLET_CHARACTER)
                s->bullet_character = base->bullet_character;
            else if (base->bullet_type == QVD_OPC_BULLET_NUMBERING) {
                s->numbering_scheme = base->numbering_scheme;
                s->numbering_start = base->numbering_start;
            }
        }
        if (!s->bullet_color) {
            s->bullet_color = base->bullet_color;
            s->bullet_color_follows_text = base->bullet_color_follows_text;
        }
        if (!s->bullet_font) {
            s->bullet_font = base->bullet_font;
            s->bullet_font_follows_text = base->bullet_font_follows_text;
        }
        if (!s->bullet_size) {
            s->bullet_size = base->bullet_size;
            s->bullet_size_follows_text = base->bullet_size_follows_text;
        }
    }

    QVD_OPC_TEXT_STYLE_T* paragraphProperties(xmlNodePtr e, const QVD_OPC_TEXT_STYLE_T* base, QVD_OPC_SLIDE_MASTER_T* m,
                                              QVD_OPC_IMAGE_REL_T* rels)
    {
        QVD_OPC_TEXT_STYLE_T* s = newStyle();
        s->line_spacing = spacing(firstElement(child(e, "lnSpc")));
        s->space_before = spacing(firstElement(child(e, "spcBef")));
        s->space_after = spacing(firstElement(child(e, "spcAft")));
        std::string text;
        if (attribute(e, "rtl", &text))
            s->right_to_left = text == "1";
        else if (base)
            s->right_to_left = base->right_to_left;
        if (attribute(e, "indent", &text))
            s->first_line_indent = emuAttribute(e, "indent");
        else if (base)
            s->first_line_indent = base->first_line_indent;
        if (attribute(e, "marL", &text))
            s->left_margin = emuAttribute(e, "marL");
        else if (base)
            s->left_margin = base->left_margin;
        if (attribute(e, "algn", &text)) {
            const char first = text.empty() ? '\0' : text[0];
            s->alignment = first == 'c'   ? QVD_OPC_ALIGN_CENTER
                           : first == 'd' ? QVD_OPC_ALIGN_DISTRIBUTED
                           : first == 'j' ? QVD_OPC_ALIGN_JUSTIFIED
                           : first == 'l' ? QVD_OPC_ALIGN_LEFT
                           : first == 'r' ? QVD_OPC_ALIGN_RIGHT
                                          : QVD_OPC_ALIGN_OTHER;
        } else if (base) {
            s->alignment = base->alignment;
        }
        if (attribute(e, "fontAlgn", &text)) {
            s->font_alignment = text == "auto"   ? QVD_OPC_FONT_ALIGN_AUTO
                                : text == "b"    ? QVD_OPC_FONT_ALIGN_BOTTOM
                                : text == "base" ? QVD_OPC_FONT_ALIGN_BASELINE
                                : text == "ctr"  ? QVD_OPC_FONT_ALIGN_CENTER
                                : text == "t"    ? QVD_OPC_FONT_ALIGN_TOP
                                                 : QVD_OPC_FONT_ALIGN_UNKNOWN;
        } else if (base) {
            s->font_alignment = base->font_alignment;
        }
        if (attribute(child(e, "buFont"), "typeface", &text))
            s->second_typeface = themeFont(m->theme, text);
        if (xmlNodePtr defaults = child(e, "defRPr"))
            runProperties(defaults, s, m);
        inherit(s, base);
        bullets(e, s, base, m, rels);
        return s;
    }

    // ---- shapes ----

    static bool sameText(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

    QVD_OPC_SHAPE_T* placeholder(QVD_OPC_SHAPE_T* list, std::int32_t kind, const char* index, const char* type)
    {
        int length = 0;
        for (QVD_OPC_SHAPE_T* s = list; s && length <= kIndexedListLength; s = s->next)
            ++length;
        if (length <= kIndexedListLength) {
            if (index)
                for (QVD_OPC_SHAPE_T* s = list; s; s = s->next)
                    if (sameText(s->placeholder_index, index) && (kind == 0 || s->placeholder_kind == kind))
                        return s;
            if (type)
                for (QVD_OPC_SHAPE_T* s = list; s; s = s->next)
                    if (sameText(s->placeholder_type, type))
                        return s;
            return nullptr;
        }
        auto [it, made] = st.placeholderIndex.try_emplace(list);
        DeckState::PlaceholderIndex& lookup = it->second;
        if (made) {
            for (QVD_OPC_SHAPE_T* s = list; s; s = s->next) {
                if (s->placeholder_index)
                    lookup.byIndex[s->placeholder_index].push_back(s);
                if (s->placeholder_type)
                    lookup.byType.try_emplace(s->placeholder_type, s);
            }
        }
        if (index)
            if (const auto found = lookup.byIndex.find(index); found != lookup.byIndex.end())
                for (QVD_OPC_SHAPE_T* s : found->second)
                    if (kind == 0 || s->placeholder_kind == kind)
                        return s;
        if (type)
            if (const auto found = lookup.byType.find(type); found != lookup.byType.end())
                return found->second;
        return nullptr;
    }

    QVD_OPC_RECT_T* frame(xmlNodePtr xfrm)
    {
        if (!xfrm)
            return nullptr;
        QVD_OPC_RECT_T* r = rect(0, 0, 0, 0);
        for (xmlNodePtr c = xfrm->children; c; c = c->next) {
            if (isElement(c, "off")) {
                r->x = emuAttribute(c, "x");
                r->y = emuAttribute(c, "y");
            } else if (isElement(c, "ext")) {
                r->width = emuAttribute(c, "cx", 0);
                r->height = emuAttribute(c, "cy", 0);
            }
        }
        return r;
    }

    static std::int32_t placeholderKind(const char* type)
    {
        if (!type)
            return QVD_OPC_PH_OTHER;
        const std::string_view t(type);
        if (t == "body" || t == "dt")
            return QVD_OPC_PH_BODY;
        if (t == "title" || t == "ctrTitle" || t == "subTitle")
            return QVD_OPC_PH_TITLE;
        return QVD_OPC_PH_OTHER;
    }

    // How much the program that saved the deck shrank a text box's text so that it fits the box ("shrink text on
    // overflow"): its text shows at that share of its sizes.
    static std::int32_t fontScale(xmlNodePtr normAutofit)
    {
        std::string text;
        if (!attribute(normAutofit, "fontScale", &text))
            return 100000;
        const std::int64_t scale = parseInteger(text);
        return scale > 0 ? std::int32_t(std::min<std::int64_t>(scale, 100000)) : 100000;
    }

    // A text shape; nullptr for a slide-number placeholder. `source` is the list its placeholder is
    // looked up in (none for a master's own shapes).
    QVD_OPC_SHAPE_T* shape(xmlNodePtr sp, QVD_OPC_SLIDE_MASTER_T* m, QVD_OPC_IMAGE_REL_T* rels, QVD_OPC_SHAPE_T* source)
    {
        xmlNodePtr ph = findPath(sp, {"nvSpPr", "nvPr", "ph"});
        char* type = keptAttribute(ph, "type");
        if (sameText(type, "sldNum"))
            return nullptr;
        auto* s = st.arena.make<QVD_OPC_SHAPE_T>();
        s->frame = frame(findPath(sp, {"spPr", "xfrm"}));
        s->placeholder_index = keptAttribute(ph, "idx");
        s->placeholder_type = type;
        s->placeholder_kind = placeholderKind(type);
        s->font_scale = fontScale(findPath(sp, {"txBody", "bodyPr", "normAutofit"}));
        QVD_OPC_TEXT_STYLE_T* base = m->text_styles;
        if (ph && source) {
            if (QVD_OPC_SHAPE_T* found = placeholder(source, s->placeholder_kind, s->placeholder_index, type)) {
                if (s->placeholder_kind == 0)
                    s->placeholder_kind = found->placeholder_kind;
                base = found->list_style;
                if (!s->frame)
                    s->frame = found->frame;
            }
        }
        xmlNodePtr listStyle = findPath(sp, {"txBody", "lstStyle"});
        s->list_style = listStyle ? styleList(listStyle, s->placeholder_kind, base, m, rels) : base;
        s->paragraphs = paragraphs(sp, s, m, rels);
        return s;
    }

    QVD_OPC_PARAGRAPH_T* paragraphs(xmlNodePtr sp, QVD_OPC_SHAPE_T* shape, QVD_OPC_SLIDE_MASTER_T* m,
                                    QVD_OPC_IMAGE_REL_T* rels)
    {
        QVD_OPC_PARAGRAPH_T *head = nullptr, *tail = nullptr;
        forEachPath(sp, {"txBody", "p"}, [&](xmlNodePtr p) {
            xmlNodePtr pPr = child(p, "pPr");
            std::int32_t level = 1;
            std::string text;
            if (attribute(pPr, "lvl", &text))
                level = std::int32_t(clamp64(parseInteger(text), 0, kMaxLevel - 1)) + 1;
            QVD_OPC_TEXT_STYLE_T* base = styleFor(shape->list_style, level, shape->placeholder_kind);
            QVD_OPC_TEXT_STYLE_T* style = base;
            if (pPr) {
                style = paragraphProperties(pPr, base, m, rels);
                style->level = level;
            }
            QVD_OPC_TEXT_RUN_T* runs = runList(p, style, m);
            if (!runs)
                return;
            auto* paragraph = st.arena.make<QVD_OPC_PARAGRAPH_T>();
            paragraph->runs = runs;
            paragraph->style = style;
            (tail ? tail->next : head) = paragraph;
            tail = paragraph;
        });
        return head;
    }

    QVD_OPC_TEXT_RUN_T* runList(xmlNodePtr p, QVD_OPC_TEXT_STYLE_T* paragraphStyle, QVD_OPC_SLIDE_MASTER_T* m)
    {
        QVD_OPC_TEXT_RUN_T *head = nullptr, *tail = nullptr;
        for (xmlNodePtr c = p->children; c; c = c->next) {
            QVD_OPC_TEXT_RUN_T* run = nullptr;
            if (isElement(c, "r")) {
                run = st.arena.make<QVD_OPC_TEXT_RUN_T>();
                run->style = paragraphStyle;
                if (xmlNodePtr rPr = child(c, "rPr")) {
                    QVD_OPC_TEXT_STYLE_T* s = newStyle();
                    runProperties(rPr, s, m);
                    inherit(s, paragraphStyle);
                    if (paragraphStyle) {
                        s->alignment = paragraphStyle->alignment;
                        s->font_alignment = paragraphStyle->font_alignment;
                        s->right_to_left = paragraphStyle->right_to_left;
                        s->first_line_indent = paragraphStyle->first_line_indent;
                        s->left_margin = paragraphStyle->left_margin;
                    }
                    run->style = s;
                }
                if (xmlNodePtr t = child(c, "t")) {
                    xmlChar* content = xmlNodeGetContent(t);
                    run->text = str(content ? reinterpret_cast<const char*>(content) : "");
                    xmlFree(content);
                }
            } else if (isElement(c, "br")) {
                run = st.arena.make<QVD_OPC_TEXT_RUN_T>();
                run->line_break = 1;
            }
            if (!run)
                continue;
            (tail ? tail->next : head) = run;
            tail = run;
        }
        return head;
    }

    // ---- slides ----

    bool slides()
    {
        xmlDocPtr main = document(kMainPart);
        if (!main)
            return false;
        QVD_OPC_SLIDE_T* tail = nullptr;
        std::unordered_map<std::string, const OpcRelation*> slideRelations;
        for (const OpcRelation& r : st.container->relations(kMainPart))
            if (r.type == kRelSlide && !r.external)
                slideRelations.try_emplace(r.id, &r);
        for (xmlNodePtr id = firstElement(child(xmlDocGetRootElement(main), "sldIdLst")); id; id = id->next) {
            std::string rid;
            if (!isElement(id, "sldId") || !attribute(id, "id", &rid, true))
                continue;
            const auto found = slideRelations.find(rid);
            const OpcRelation* relation = found == slideRelations.end() ? nullptr : found->second;
            if (!relation || !st.container->hasPart(relation->target)) {
                std::fprintf(stderr, "pptx reader: slide %s of %s is missing; skipped\n", rid.c_str(),
                             st.inputName.c_str());
                continue;
            }
            QVD_OPC_SLIDE_T* s = slide(relation->target);
            if (!s)
                return false;
            (tail ? tail->next : deck->slides) = s;
            tail = s;
        }
        return true;
    }

    QVD_OPC_SLIDE_T* slide(const std::string& part)
    {
        auto* s = st.arena.make<QVD_OPC_SLIDE_T>();
        s->deck = deck;
        s->part_name = str(part);
        s->image_rels = imageRelations(part);
        const std::string layoutPart = relatedPart(part, kRelSlideLayout, true);
        s->layout = layoutPart.empty() ? emptyLayout() : layout(layoutPart);
        if (!s->layout)
            return nullptr;
        xmlDocPtr doc = document(part);
        if (!doc)
            return nullptr;
        QVD_OPC_BACKGROUND_T* bg =
            background(xmlDocGetRootElement(doc), s->layout->master, s->image_rels, s->layout->background);
        if (bg) {
            s->background_color = bg->color;
            if (bg->picture) {
                auto* image = st.arena.make<QVD_OPC_IMAGE_OBJECT_T>();
                image->file_path = bg->picture;
                image->frame = rect(0, 0, deck->slide_size.width, deck->slide_size.height);
                s->background_picture = image;
            }
        }
        return s;
    }

    QVD_OPC_SLIDE_OBJECT_T* object(QVD_OPC_SLIDE_OBJECT_T*& tail, QVD_OPC_SLIDE_T* slide, std::int32_t kind,
                                   void* record)
    {
        auto* o = st.arena.make<QVD_OPC_SLIDE_OBJECT_T>();
        o->kind = kind;
        o->deck = deck;
        o->object = record;
        (tail ? tail->next : slide->objects) = o;
        tail = o;
        return o;
    }

    GroupPlacement innerPlacement(xmlNodePtr group, const GroupPlacement& outer)
    {
        xmlNodePtr xfrm = findPath(group, {"grpSpPr", "xfrm"});
        xmlNodePtr off = child(xfrm, "off"), ext = child(xfrm, "ext");
        xmlNodePtr chOff = child(xfrm, "chOff"), chExt = child(xfrm, "chExt");
        if (!off || !ext || !chOff || !chExt)
            return outer;
        const auto axis = [](double at, double size, double childAt, double childSize, double& scale, double& shift) {
            scale = childSize > 0 && size > 0 ? size / childSize : 1; // an empty group space keeps its sizes
            shift = at - childAt * scale;
        };
        double sx = 1, sy = 1, tx = 0, ty = 0;
        axis(double(emuAttribute(off, "x")), double(emuAttribute(ext, "cx", 0)), double(emuAttribute(chOff, "x")),
             double(emuAttribute(chExt, "cx", 0)), sx, tx);
        axis(double(emuAttribute(off, "y")), double(emuAttribute(ext, "cy", 0)), double(emuAttribute(chOff, "y")),
             double(emuAttribute(chExt, "cy", 0)), sy, ty);
        return {outer.scaleX * sx, outer.scaleY * sy, outer.scaleX * tx + outer.dx, outer.scaleY * ty + outer.dy};
    }

    // A member's frame on the slide; a new rectangle, since frames may be shared with the layout's placeholders.
    QVD_OPC_RECT_T* placed(QVD_OPC_RECT_T* frame, const GroupPlacement& place)
    {
        if (!frame || place.isIdentity())
            return frame;
        const auto px = [](double value) {
            // Nested groups may multiply their scales beyond any size: bounded as every other frame is.
            return std::isfinite(value) ? std::int64_t(std::llround(std::clamp(value, -double(kMaxPx), double(kMaxPx))))
                                        : std::int64_t(0);
        };
        return rect(px(frame->x * place.scaleX + place.dx), px(frame->y * place.scaleY + place.dy),
                    px(frame->width * place.scaleX), px(frame->height * place.scaleY));
    }

    // Groups nest as deep as the XML parser allows (its depth limit bounds this recursion).
    bool treeChildren(xmlNodePtr parent, QVD_OPC_SLIDE_T* slide, QVD_OPC_SLIDE_OBJECT_T*& tail,
                      const GroupPlacement& place = {})
    {
        QVD_OPC_SLIDE_LAYOUT_T* l = slide->layout;
        for (xmlNodePtr c = parent->children; c; c = c->next) {
            if (isElement(c, "sp")) {
                QVD_OPC_SHAPE_T* s = shape(c, l->master, slide->image_rels, l->shapes);
                if (s && s->paragraphs) {
                    s->frame = placed(s->frame, place);
                    object(tail, slide, QVD_OPC_OBJECT_TEXT, s);
                }
            } else if (isElement(c, "pic")) {
                auto* image = st.arena.make<QVD_OPC_IMAGE_OBJECT_T>();
                std::string embed;
                if (attribute(findPath(c, {"blipFill", "blip"}), "embed", &embed))
                    image->file_path = pictureFor(slide->image_rels, embed);
                image->frame = frame(findPath(c, {"spPr", "xfrm"}));
                xmlNodePtr ph = findPath(c, {"nvPicPr", "nvPr", "ph"});
                image->placeholder_index = keptAttribute(ph, "idx");
                image->placeholder_type = keptAttribute(ph, "type");
                if (!image->frame) {
                    if (QVD_OPC_SHAPE_T* found =
                            placeholder(l->shapes, 0, image->placeholder_index, image->placeholder_type))
                        image->frame = found->frame;
                }
                if (!image->frame) {
                    auto orNull = [](const char* s) { return std::string(s ? s : "(null)"); };
                    return st.fail(QVD_OPC_ERR_PICTURE_FRAME,
                                   "We coudn't determine a rect for ph_id: " + orNull(image->placeholder_index) +
                                       ", ph_type: " + orNull(image->placeholder_type) +
                                       ", on slide: " + slide->part_name + ".");
                }
                image->frame = placed(image->frame, place);
                object(tail, slide, QVD_OPC_OBJECT_PICTURE, image);
            } else if (isElement(c, "grpSp")) {
                if (!treeChildren(c, slide, tail, innerPlacement(c, place)))
                    return false;
            }
        }
        return true;
    }

    bool slideObjects(QVD_OPC_SLIDE_T* slide)
    {
        xmlDocPtr doc = document(slide->part_name);
        if (!doc)
            return false;
        QVD_OPC_SLIDE_OBJECT_T* tail = nullptr;
        if (slide->background_picture)
            object(tail, slide, QVD_OPC_OBJECT_PICTURE, slide->background_picture);
        bool ok = true;
        forEachPath(xmlDocGetRootElement(doc), {"cSld", "spTree"}, [&](xmlNodePtr tree) {
            if (ok)
                ok = treeChildren(tree, slide, tail);
        });
        return ok && !st.failed();
    }

    std::set<std::string> takenFileNames;
    QVD_OPC_IMAGE_REL_T* extractedTail = nullptr;
};

} // namespace

bool readPackage(QVD_OPC_PRESENTATION_T* deck)
{
    Reader reader{deck, *deck->state, {}, nullptr};
    return reader.open();
}

bool readSlides(QVD_OPC_PRESENTATION_T* deck)
{
    Reader reader{deck, *deck->state, {}, nullptr};
    return reader.slides() && !deck->state->failed();
}

bool readSlideObjects(QVD_OPC_SLIDE_T* slide)
{
    Reader reader{slide->deck, *slide->deck->state, {}, nullptr};
    return reader.slideObjects(slide);
}

} // namespace pptx
