#include "pptx/fuzz/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    pptx::fuzz::container(data, size);
    return 0;
}
