// pptx-dump DECK [OUTDIR]: reads a .pptx deck with the slide-deck reader, extracts its pictures into
// OUTDIR (a new temporary folder when none is given) and prints the slides as JSON on standard output.
// Exits 0 on success, otherwise with the reader's error code; a temporary folder made for a deck that cannot be read
// is removed again.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "pptx/reader/DeckJson.h"
#include "pptx/reader/qvd_opc.h"

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs("usage: pptx-dump DECK [OUTDIR]\n", stdout);
        return 0;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s DECK [OUTDIR]\n", argv[0]);
        return 1;
    }
    std::string folder;
    if (argc == 3) {
        folder = argv[2];
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pptx-dump-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("pptx-dump: cannot make a temporary folder");
            return 1;
        }
        folder = pattern;
        std::fprintf(stderr, "pptx-dump: pictures in %s\n", folder.c_str());
    }
    const bool madeFolder = argc == 2;
    const auto failed = [&](int code) {
        if (madeFolder) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
        return code;
    };
    qvd_opc_init();
    int error = 0;
    QVD_OPC_PRESENTATION_T* deck = qvd_opc_open(argv[1], folder.c_str(), &error);
    if (!deck)
        return failed(error);
    std::string json;
    if (!pptx::writeDeckJson(deck, &json, &error))
        return failed(error);
    qvd_opc_free(deck);
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
