#include "pptx/reader/qvd_opc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <libxml/parser.h>

#include "pptx/reader/DeckState.h"

namespace pptx {

namespace {
constexpr std::size_t kBlockSize = 64 * 1024;
constexpr std::size_t kAlign = alignof(std::max_align_t);
constexpr std::size_t kPooledBlocks = 64;

// Blocks of released decks are kept for the next deck: freeing them would make the C allocator
// consolidate every small chunk the XML documents left behind, which costs more than the reading.
struct BlockPool {
    std::mutex mutex;
    std::vector<void*> blocks;
    ~BlockPool()
    {
        for (void* block : blocks)
            std::free(block);
    }
};

BlockPool& pool()
{
    static BlockPool instance;
    return instance;
}

void* takeBlock()
{
    {
        BlockPool& p = pool();
        std::lock_guard lock(p.mutex);
        if (!p.blocks.empty()) {
            void* block = p.blocks.back();
            p.blocks.pop_back();
            return block;
        }
    }
    void* block = std::malloc(kBlockSize);
    if (!block)
        throw std::bad_alloc();
    return block;
}

void returnBlock(void* block)
{
    {
        BlockPool& p = pool();
        std::lock_guard lock(p.mutex);
        if (p.blocks.size() < kPooledBlocks) {
            p.blocks.push_back(block);
            return;
        }
    }
    std::free(block);
}
} // namespace

DeckArena::~DeckArena()
{
    for (const auto& [block, pooled] : m_blocks) {
        if (pooled)
            returnBlock(block);
        else
            std::free(block);
    }
}

void* DeckArena::allocate(std::size_t size)
{
    size = (size + kAlign - 1) & ~(kAlign - 1);
    if (size > kBlockSize / 4) {
        void* block = std::calloc(1, size);
        if (!block)
            throw std::bad_alloc();
        m_blocks.emplace_back(block, false);
        return block;
    }
    if (size > m_left) {
        void* block = takeBlock();
        m_blocks.emplace_back(block, true);
        m_cursor = static_cast<char*>(block);
        m_left = kBlockSize;
    }
    void* result = m_cursor;
    std::memset(result, 0, size);
    m_cursor += size;
    m_left -= size;
    return result;
}

char* DeckArena::copy(const char* text, std::size_t length)
{
    char* result = static_cast<char*>(allocate(length + 1));
    std::memcpy(result, text, length);
    result[length] = '\0';
    return result;
}

DeckState::~DeckState()
{
    for (auto& [part, doc] : documents)
        xmlFreeDoc(doc);
}

bool DeckState::fail(int code, std::string message)
{
    if (!errorCode) {
        errorCode = code;
        errorMessage = std::move(message);
    }
    return false;
}

} // namespace pptx

namespace {

const char kOutOfMemory[] = "We weren't able to allocate memory.";

void report(int* error, int code, const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    if (error)
        *error = code;
}

// Releases the deck after an error and hands the code to the caller.
void failDeck(QVD_OPC_PRESENTATION_T* deck, int* error)
{
    report(error, deck->state->errorCode, deck->state->errorMessage);
    qvd_opc_free(deck);
}

QVD_OPC_PRESENTATION_T* newDeck(int* error)
{
    auto* deck = static_cast<QVD_OPC_PRESENTATION_T*>(std::calloc(1, sizeof(QVD_OPC_PRESENTATION_T)));
    QVD_OPC_DECK_STATE_T* state = deck ? new (std::nothrow) QVD_OPC_DECK_STATE_T : nullptr;
    if (!state) {
        std::free(deck);
        report(error, QVD_OPC_ERR_MEMORY, kOutOfMemory);
        return nullptr;
    }
    deck->state = state;
    deck->slide_size.deck = deck;
    return deck;
}

// Runs one reading step of the deck. Running out of memory becomes the reader's memory error; on any failure
// the deck is released (once) and *error set, and false comes back.
template <class Step> bool readStep(QVD_OPC_PRESENTATION_T* deck, int* error, Step step)
{
    bool ok = false;
    try {
        ok = step();
    } catch (const std::bad_alloc&) {
        deck->state->fail(QVD_OPC_ERR_MEMORY, kOutOfMemory);
    }
    if (!ok || deck->state->failed()) {
        failDeck(deck, error);
        return false;
    }
    return true;
}

QVD_OPC_PRESENTATION_T* finishOpen(QVD_OPC_PRESENTATION_T* deck, int* error)
{
    return readStep(deck, error, [deck] { return pptx::readPackage(deck); }) ? deck : nullptr;
}

bool setOutputFolder(QVD_OPC_PRESENTATION_T* deck, const char* folder)
{
    pptx::DeckState& st = *deck->state;
    struct stat info;
    if (::stat(folder, &info) != 0) {
        if (errno == ENOENT)
            return st.fail(QVD_OPC_ERR_OUTPUT_FOLDER, std::string("`") + folder + "' does not exist");
        return st.fail(QVD_OPC_ERR_OUTPUT_FOLDER, std::string("Unhandled error when changing directory to `") + folder +
                                                      "'. We got errno: " + std::to_string(errno));
    }
    const int problem = !S_ISDIR(info.st_mode) ? ENOTDIR : (::access(folder, W_OK | X_OK) != 0 ? errno : 0);
    if (problem)
        return st.fail(QVD_OPC_ERR_OUTPUT_FOLDER, std::string("Unhandled error when changing directory to `") + folder +
                                                      "'. We got errno: " + std::to_string(problem));
    char* resolved = ::realpath(folder, nullptr);
    if (!resolved)
        return st.fail(QVD_OPC_ERR_OUTPUT_FOLDER, std::string("Unhandled error when changing directory to `") + folder +
                                                      "'. We got errno: " + std::to_string(errno));
    deck->output_folder = st.arena.copy(resolved, std::strlen(resolved));
    std::free(resolved);
    return true;
}

} // namespace

extern "C" {

void qvd_opc_init(void)
{
    xmlInitParser();
}

QVD_OPC_PRESENTATION_T* qvd_opc_open(const char* input_path, const char* output_folder, int* error)
{
    if (error)
        *error = 0;
    QVD_OPC_PRESENTATION_T* deck = newDeck(error);
    if (!deck)
        return nullptr;
    pptx::DeckState& st = *deck->state;
    try {
        std::string input = input_path ? input_path : "";
        if (!input.empty() && input.front() != '/') {
            char* cwd = ::getcwd(nullptr, 0);
            if (cwd) {
                input = std::string(cwd) + "/" + input;
                std::free(cwd);
            }
        }
        st.inputName = input;
        struct stat info;
        if (input.empty() || ::stat(input.c_str(), &info) != 0) {
            const int err = input.empty() ? ENOENT : errno;
            if (err == ENOENT) {
                std::fprintf(stderr, "errno: %d\n", err);
                st.fail(QVD_OPC_ERR_INPUT, "`" + input + "' does not exist.");
            } else {
                st.fail(QVD_OPC_ERR_INPUT, "unknown error when checking existence of `" + input +
                                               "'. We got errno: " + std::to_string(err));
            }
        } else if (setOutputFolder(deck, output_folder ? output_folder : "")) {
            pptx::OpcError openError;
            st.container = pptx::OpcContainer::openFile(input, &openError);
            if (!st.container) {
                std::fprintf(stderr, "pptx reader: %s: %s\n", input.c_str(), openError.message.c_str());
                st.fail(QVD_OPC_ERR_NOT_PPTX, input + " is not a pptx presentation.");
            }
        }
    } catch (const std::bad_alloc&) {
        st.fail(QVD_OPC_ERR_MEMORY, kOutOfMemory);
    }
    if (st.failed()) {
        failDeck(deck, error);
        return nullptr;
    }
    return finishOpen(deck, error);
}

QVD_OPC_PRESENTATION_T* qvd_opc_open_bytes(const void* data, size_t size, const char* output_folder, int* error)
{
    if (error)
        *error = 0;
    QVD_OPC_PRESENTATION_T* deck = newDeck(error);
    if (!deck)
        return nullptr;
    pptx::DeckState& st = *deck->state;
    try {
        st.inputName = "(memory)";
        if (!output_folder || setOutputFolder(deck, output_folder)) {
            pptx::OpcError openError;
            st.container = pptx::OpcContainer::openBytes(data, size, &openError);
            if (!st.container) {
                std::fprintf(stderr, "pptx reader: %s: %s\n", st.inputName.c_str(), openError.message.c_str());
                st.fail(QVD_OPC_ERR_NOT_PPTX, st.inputName + " is not a pptx presentation.");
            }
        }
    } catch (const std::bad_alloc&) {
        st.fail(QVD_OPC_ERR_MEMORY, kOutOfMemory);
    }
    if (st.failed()) {
        failDeck(deck, error);
        return nullptr;
    }
    return finishOpen(deck, error);
}

QVD_OPC_SLIDE_T* qvd_opc_slides(QVD_OPC_PRESENTATION_T* deck, int* error)
{
    if (error)
        *error = 0;
    if (!deck)
        return nullptr;
    if (!deck->state->slidesRead) {
        if (!readStep(deck, error, [deck] { return pptx::readSlides(deck); }))
            return nullptr;
        deck->state->slidesRead = true;
    }
    return deck->slides;
}

QVD_OPC_SLIDE_OBJECT_T* qvd_opc_slide_objects(QVD_OPC_SLIDE_T* slide, int* error)
{
    if (error)
        *error = 0;
    if (!slide)
        return nullptr;
    if (!slide->objects_read) {
        QVD_OPC_PRESENTATION_T* deck = slide->deck;
        if (!readStep(deck, error, [slide] { return pptx::readSlideObjects(slide); }))
            return nullptr;
        slide->objects_read = 1;
    }
    return slide->objects;
}

void qvd_opc_free(QVD_OPC_PRESENTATION_T* deck)
{
    if (!deck)
        return;
    delete deck->state;
    std::free(deck);
}

} // extern "C"
