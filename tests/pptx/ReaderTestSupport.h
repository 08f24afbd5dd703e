#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <unistd.h>

#include "pptx/reader/qvd_opc.h"

// Frees the deck it holds unless a reader error already released it (then call forget()).
class DeckHandle {
public:
    explicit DeckHandle(QVD_OPC_PRESENTATION_T* deck = nullptr)
        : m_deck(deck)
    {
    }
    ~DeckHandle() { qvd_opc_free(m_deck); }
    DeckHandle(const DeckHandle&) = delete;
    DeckHandle& operator=(const DeckHandle&) = delete;
    QVD_OPC_PRESENTATION_T* get() const { return m_deck; }
    QVD_OPC_PRESENTATION_T* operator->() const { return m_deck; }
    void forget() { m_deck = nullptr; }

private:
    QVD_OPC_PRESENTATION_T* m_deck;
};

inline std::vector<QVD_OPC_SLIDE_T*> slideList(QVD_OPC_SLIDE_T* first)
{
    std::vector<QVD_OPC_SLIDE_T*> slides;
    for (; first; first = first->next)
        slides.push_back(first);
    return slides;
}

inline std::vector<QVD_OPC_SLIDE_OBJECT_T*> objectList(QVD_OPC_SLIDE_OBJECT_T* first)
{
    std::vector<QVD_OPC_SLIDE_OBJECT_T*> objects;
    for (; first; first = first->next)
        objects.push_back(first);
    return objects;
}

inline std::vector<QVD_OPC_PARAGRAPH_T*> paragraphList(const QVD_OPC_SHAPE_T* shape)
{
    std::vector<QVD_OPC_PARAGRAPH_T*> paragraphs;
    for (QVD_OPC_PARAGRAPH_T* p = shape->paragraphs; p; p = p->next)
        paragraphs.push_back(p);
    return paragraphs;
}

// The paragraph's text with line breaks as "\n".
inline std::string paragraphText(const QVD_OPC_PARAGRAPH_T* p)
{
    std::string text;
    for (const QVD_OPC_TEXT_RUN_T* r = p->runs; r; r = r->next)
        text += r->line_break ? std::string("\n") : std::string(r->text ? r->text : "");
    return text;
}

inline const QVD_OPC_SHAPE_T* shapeOf(const QVD_OPC_SLIDE_OBJECT_T* o)
{
    return o->kind == QVD_OPC_OBJECT_TEXT ? static_cast<const QVD_OPC_SHAPE_T*>(o->object) : nullptr;
}

inline const QVD_OPC_IMAGE_OBJECT_T* imageOf(const QVD_OPC_SLIDE_OBJECT_T* o)
{
    return o->kind == QVD_OPC_OBJECT_PICTURE ? static_cast<const QVD_OPC_IMAGE_OBJECT_T*>(o->object) : nullptr;
}

inline std::string orEmpty(const char* s)
{
    return s ? s : "";
}

inline std::string currentDirectory()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

// Frames compare as (x, y, width, height).
struct Frame {
    long long x, y, w, h;
    bool operator==(const Frame&) const = default;
};
inline Frame frameOf(const QVD_OPC_RECT_T* r)
{
    return r ? Frame{r->x, r->y, r->width, r->height} : Frame{-1, -1, -1, -1};
}
inline void PrintTo(const Frame& f, std::ostream* os)
{
    *os << "(" << f.x << ", " << f.y << ", " << f.w << ", " << f.h << ")";
}
