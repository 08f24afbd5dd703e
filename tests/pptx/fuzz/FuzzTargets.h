#pragma once

#include <cstddef>
#include <cstdint>

// What the libFuzzer harnesses run on each input; the corpus replay test runs the same functions.
// Each must return normally for any input: errors are results, never crashes or leaks.
namespace pptx::fuzz {

// The container alone: open, list, read every part's relationships, content type and XML.
void container(const std::uint8_t* data, std::size_t size);
// The whole reader over a deck held in memory (pictures are not written).
void reader(const std::uint8_t* data, std::size_t size);
// A real deck with one part replaced by the input; the first input byte chooses the part.
void partReplacement(const std::uint8_t* data, std::size_t size);

} // namespace pptx::fuzz
