#include "pptx/reader/DeckJson.h"

#include <cstdio>
#include <cstring>

namespace pptx {

namespace {

class JsonWriter {
public:
    explicit JsonWriter(std::string* out, const char* folder)
        : m_out(*out)
        , m_folder(folder ? folder : "")
    {
    }

    void begin(char bracket)
    {
        separate();
        m_out += bracket;
        m_first = true;
        ++m_depth;
    }
    void end(char bracket)
    {
        --m_depth;
        if (!m_first)
            newline();
        m_out += bracket;
        m_first = false;
    }
    void key(const char* name)
    {
        separate();
        string(name);
        m_out += ": ";
        m_afterKey = true;
    }
    void value(const char* text)
    {
        separate();
        if (text)
            string(text);
        else
            m_out += "null";
    }
    void path(const char* text)
    {
        const std::size_t n = m_folder.size();
        if (text && n && std::strncmp(text, m_folder.c_str(), n) == 0 && text[n] == '/')
            value(text + n + 1);
        else
            value(text);
    }
    void value(long long number)
    {
        separate();
        m_out += std::to_string(number);
    }
    void boolean(bool b)
    {
        separate();
        m_out += b ? "true" : "false";
    }

private:
    void newline()
    {
        m_out += '\n';
        m_out.append(std::size_t(m_depth) * 2, ' ');
    }
    void separate()
    {
        if (m_afterKey) {
            m_afterKey = false;
            return;
        }
        if (m_depth == 0)
            return;
        if (!m_first)
            m_out += ',';
        newline();
        m_first = false;
    }
    void string(const char* text)
    {
        m_out += '"';
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
            switch (*p) {
            case '"':
                m_out += "\\\"";
                break;
            case '\\':
                m_out += "\\\\";
                break;
            case '\n':
                m_out += "\\n";
                break;
            case '\r':
                m_out += "\\r";
                break;
            case '\t':
                m_out += "\\t";
                break;
            default:
                if (*p < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", *p);
                    m_out += buffer;
                } else {
                    m_out += char(*p);
                }
            }
        }
        m_out += '"';
    }

    std::string& m_out;
    std::string m_folder;
    int m_depth = 0;
    bool m_first = true;
    bool m_afterKey = false;
};

void writeRect(JsonWriter& w, const char* name, const QVD_OPC_RECT_T* r)
{
    w.key(name);
    if (!r) {
        w.value(static_cast<const char*>(nullptr));
        return;
    }
    w.begin('{');
    w.key("x");
    w.value(static_cast<long long>(r->x));
    w.key("y");
    w.value(static_cast<long long>(r->y));
    w.key("width");
    w.value(static_cast<long long>(r->width));
    w.key("height");
    w.value(static_cast<long long>(r->height));
    w.end('}');
}

void writeSpace(JsonWriter& w, const char* name, const QVD_OPC_TEXT_SPACE_SIZE_T* v)
{
    w.key(name);
    if (!v || v->unset) {
        w.value(static_cast<const char*>(nullptr));
        return;
    }
    w.begin('{');
    w.key("value");
    w.value(static_cast<long long>(v->value));
    w.key("unit");
    w.value(v->unit == QVD_OPC_UNIT_PERCENT ? "percent" : "points");
    w.end('}');
}

void writeStyle(JsonWriter& w, const QVD_OPC_TEXT_STYLE_T* s)
{
    w.key("style");
    if (!s) {
        w.value(static_cast<const char*>(nullptr));
        return;
    }
    w.begin('{');
    w.key("latinTypeface");
    w.value(s->latin_typeface);
    w.key("secondTypeface");
    w.value(s->second_typeface);
    w.key("color");
    w.value(s->color);
    w.key("alignment");
    w.value(static_cast<long long>(s->alignment));
    w.key("fontAlignment");
    w.value(static_cast<long long>(s->font_alignment));
    w.key("category");
    w.value(static_cast<long long>(s->category));
    w.key("rightToLeft");
    w.boolean(s->right_to_left);
    w.key("level");
    w.value(static_cast<long long>(s->level));
    w.key("size");
    w.value(static_cast<long long>(s->size));
    w.key("firstLineIndent");
    w.value(static_cast<long long>(s->first_line_indent));
    w.key("leftMargin");
    w.value(static_cast<long long>(s->left_margin));
    writeSpace(w, "lineSpacing", s->line_spacing);
    writeSpace(w, "spaceBefore", s->space_before);
    writeSpace(w, "spaceAfter", s->space_after);
    w.key("bulletType");
    w.value(static_cast<long long>(s->bullet_type));
    w.key("numberingScheme");
    w.value(static_cast<long long>(s->numbering_scheme));
    w.key("numberingStart");
    w.value(static_cast<long long>(s->numbering_start));
    w.key("bulletCharacter");
    w.value(s->bullet_character);
    w.key("bulletPicture");
    w.path(s->bullet_picture);
    w.key("bulletColor");
    w.value(s->bullet_color);
    w.key("bulletColorFollowsText");
    w.boolean(s->bullet_color_follows_text);
    w.key("bulletFont");
    w.value(s->bullet_font);
    w.key("bulletFontFollowsText");
    w.boolean(s->bullet_font_follows_text);
    writeSpace(w, "bulletSize", s->bullet_size);
    w.key("bulletSizeFollowsText");
    w.boolean(s->bullet_size_follows_text);
    w.end('}');
}

void writeShape(JsonWriter& w, const QVD_OPC_SHAPE_T* shape)
{
    w.key("placeholderKind");
    w.value(static_cast<long long>(shape->placeholder_kind));
    w.key("placeholderIndex");
    w.value(shape->placeholder_index);
    w.key("placeholderType");
    w.value(shape->placeholder_type);
    writeRect(w, "frame", shape->frame);
    w.key("paragraphs");
    w.begin('[');
    for (const QVD_OPC_PARAGRAPH_T* p = shape->paragraphs; p; p = p->next) {
        w.begin('{');
        writeStyle(w, p->style);
        w.key("runs");
        w.begin('[');
        for (const QVD_OPC_TEXT_RUN_T* r = p->runs; r; r = r->next) {
            w.begin('{');
            if (r->line_break) {
                w.key("lineBreak");
                w.boolean(true);
            } else {
                w.key("text");
                w.value(r->text);
                writeStyle(w, r->style);
            }
            w.end('}');
        }
        w.end(']');
        w.end('}');
    }
    w.end(']');
}

void writeImage(JsonWriter& w, const QVD_OPC_IMAGE_OBJECT_T* image)
{
    w.key("placeholderIndex");
    w.value(image->placeholder_index);
    w.key("placeholderType");
    w.value(image->placeholder_type);
    w.key("file");
    w.path(image->file_path);
    writeRect(w, "frame", image->frame);
}

} // namespace

bool writeDeckJson(QVD_OPC_PRESENTATION_T* deck, std::string* json, int* error)
{
    json->clear();
    JsonWriter w(json, deck->output_folder);
    QVD_OPC_SLIDE_T* slides = qvd_opc_slides(deck, error);
    if (*error)
        return false;
    w.begin('{');
    w.key("encoding");
    w.value(deck->xml_encoding);
    w.key("slideSize");
    w.begin('{');
    w.key("width");
    w.value(static_cast<long long>(deck->slide_size.width));
    w.key("height");
    w.value(static_cast<long long>(deck->slide_size.height));
    w.end('}');
    w.key("pictures");
    w.begin('[');
    for (const QVD_OPC_IMAGE_REL_T* image = deck->extracted_images; image; image = image->next)
        w.path(image->file_path);
    w.end(']');
    w.key("slides");
    w.begin('[');
    for (QVD_OPC_SLIDE_T* slide = slides; slide; slide = slide->next) {
        QVD_OPC_SLIDE_OBJECT_T* objects = qvd_opc_slide_objects(slide, error);
        if (*error)
            return false;
        w.begin('{');
        w.key("part");
        w.value(slide->part_name);
        w.key("layout");
        w.value(slide->layout ? slide->layout->part_name : nullptr);
        w.key("backgroundColor");
        w.value(slide->background_color);
        w.key("objects");
        w.begin('[');
        for (const QVD_OPC_SLIDE_OBJECT_T* o = objects; o; o = o->next) {
            w.begin('{');
            w.key("kind");
            if (o->kind == QVD_OPC_OBJECT_PICTURE) {
                w.value("picture");
                writeImage(w, static_cast<const QVD_OPC_IMAGE_OBJECT_T*>(o->object));
            } else {
                w.value("text");
                writeShape(w, static_cast<const QVD_OPC_SHAPE_T*>(o->object));
            }
            w.end('}');
        }
        w.end(']');
        w.end('}');
    }
    w.end(']');
    w.end('}');
    *json += '\n';
    return true;
}

} // namespace pptx
