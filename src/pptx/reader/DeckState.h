#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <libxml/tree.h>

#include "pptx/reader/OpcContainer.h"
#include "pptx/reader/qvd_opc.h"

namespace pptx {

// Bump allocator that owns every record and string of one deck. Memory comes back all at once when
// the arena goes away (its blocks go to a small pool shared by all decks, guarded by a mutex); nothing is released
// piecemeal, so records may point freely into one another. An exhausted allocator throws std::bad_alloc, which the
// entry points turn into the out-of-memory code.
class DeckArena {
public:
    DeckArena() = default;
    ~DeckArena();
    DeckArena(const DeckArena&) = delete;
    DeckArena& operator=(const DeckArena&) = delete;

    void* allocate(std::size_t size);
    template <typename T> T* make()
    {
        return static_cast<T*>(allocate(sizeof(T))); // zero-filled: every record is plain C
    }
    char* copy(const char* text, std::size_t length);
    char* copy(const std::string& text) { return copy(text.data(), text.size()); }

private:
    std::vector<std::pair<void*, bool>> m_blocks; // block, taken from the shared pool
    char* m_cursor = nullptr;
    std::size_t m_left = 0;
};

// Private state behind QVD_OPC_PRESENTATION_T::state: the container, the parsed documents, the
// extracted pictures and the first error met while reading.
struct DeckState {
    ~DeckState();

    DeckArena arena;
    std::unique_ptr<OpcContainer> container;
    std::string inputName; // for messages
    std::map<std::string, xmlDocPtr> documents;
    std::map<std::string, char*> pictureFiles; // part name -> extracted file path
    // Lookups by name, so a deck with very many parts, relationships or placeholders cannot make
    // reading quadratic.
    std::unordered_map<std::string, QVD_OPC_THEME_T*> themesByPart;
    std::unordered_map<std::string, QVD_OPC_SLIDE_MASTER_T*> mastersByPart;
    std::unordered_map<std::string, QVD_OPC_SLIDE_LAYOUT_T*> layoutsByPart;
    std::unordered_map<const QVD_OPC_IMAGE_REL_T*, std::unordered_map<std::string, char*>> pictureIndex;
    struct PlaceholderIndex {
        std::unordered_map<std::string, std::vector<QVD_OPC_SHAPE_T*>> byIndex;
        std::unordered_map<std::string, QVD_OPC_SHAPE_T*> byType;
    };
    std::unordered_map<const QVD_OPC_SHAPE_T*, PlaceholderIndex> placeholderIndex;
    QVD_OPC_THEME_T* themesTail = nullptr;
    QVD_OPC_SLIDE_MASTER_T* mastersTail = nullptr;
    QVD_OPC_SLIDE_LAYOUT_T* layoutsTail = nullptr;
    QVD_OPC_SLIDE_MASTER_T* emptyMaster = nullptr;
    QVD_OPC_SLIDE_LAYOUT_T* emptyLayout = nullptr;
    bool slidesRead = false;

    int errorCode = 0;
    std::string errorMessage;

    // Records the first error; later ones are consequences of it. Always returns false.
    bool fail(int code, std::string message);
    bool failed() const { return errorCode != 0; }
};

// The reading steps behind the entry points; each records its error in the deck's state.
bool readPackage(QVD_OPC_PRESENTATION_T* deck);
bool readSlides(QVD_OPC_PRESENTATION_T* deck);
bool readSlideObjects(QVD_OPC_SLIDE_T* slide);

} // namespace pptx

// The deck's private state, named in the C header so the deck can point to it.
struct QVD_OPC_DECK_STATE_T : pptx::DeckState {};
