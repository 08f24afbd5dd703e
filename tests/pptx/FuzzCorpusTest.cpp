#include <gtest/gtest.h>

#include <filesystem>

#include "pptx/TestDeck.h"
#include "pptx/fuzz/FuzzTargets.h"

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
