#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "pptx/TestDeck.h"
#include "pptx/fuzz/FuzzTargets.h"
#include "pptx/reader/qvd_opc.h"

// Replays the regression corpus of malformed packages through every fuzzing harness. Any crash,
// sanitizer report or leak fails the suite (it runs in the ASan/UBSan/LSan pass too).
TEST(FuzzCorpus, EveryHarnessSurvivesTheRegressionCorpus)
{
    const std::filesystem::path folder = PPTX_FUZZ_CORPUS_DIR;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".py" || entry.path().extension() == ".md")
            continue;
        const std::string bytes = readFileBytes(entry.path().string());
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        SCOPED_TRACE(entry.path().filename().string());
        pptx::fuzz::container(data, bytes.size());
        pptx::fuzz::reader(data, bytes.size());
        pptx::fuzz::partReplacement(data, bytes.size());
        ++files;
    }
    EXPECT_GE(files, 8);
}

// The same corpus read from memory, whole: each malformed package ends in its error code and the
// valid ones read through (make_corpus.py says how each was made).
TEST(FuzzCorpus, MalformedPackagesEndInTheirErrorCodes)
{
    const std::pair<const char*, int> expected[] = {
        {"valid.pptx", 0},
        {"not_zip.pptx", QVD_OPC_ERR_NOT_PPTX},
        {"empty.pptx", QVD_OPC_ERR_NOT_PPTX},
        {"truncated.pptx", QVD_OPC_ERR_NOT_PPTX},
        {"docx_like.pptx", QVD_OPC_ERR_NOT_PPTX},
        {"duplicate_entries.pptx", QVD_OPC_ERR_NOT_PPTX},
        {"zip_bomb_declared.pptx", QVD_OPC_ERR_NOT_PPTX},
        {"zip_bomb_real.pptx", QVD_OPC_ERR_PART},
        {"doctype_entities.pptx", QVD_OPC_ERR_PART},
        {"nested_groups_300.pptx", QVD_OPC_ERR_PART},
        {"nested_groups_200.pptx", 0},
        {"huge_numbers.pptx", 0},
        {"long_names.pptx", 0},
        {"self_layout.pptx", 0},
        {"picture_without_frame.pptx", QVD_OPC_ERR_PICTURE_FRAME},
    };
    qvd_opc_init();
    for (const auto& [name, code] : expected) {
        const std::string bytes = readFileBytes(std::string(PPTX_FUZZ_CORPUS_DIR) + "/" + name);
        int error = -1;
        testing::internal::CaptureStderr();
        QVD_OPC_PRESENTATION_T* deck = qvd_opc_open_bytes(bytes.data(), bytes.size(), nullptr, &error);
        if (deck) {
            QVD_OPC_SLIDE_T* slide = qvd_opc_slides(deck, &error);
            while (!error && slide) {
                qvd_opc_slide_objects(slide, &error);
                if (!error)
                    slide = slide->next;
            }
            if (!error)
                qvd_opc_free(deck);
        }
        const std::string messages = testing::internal::GetCapturedStderr();
        EXPECT_EQ(error, code) << name << ": " << messages;
    }
}
