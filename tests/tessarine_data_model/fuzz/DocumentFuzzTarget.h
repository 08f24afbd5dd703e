#pragma once

#include <cstddef>
#include <cstdint>

// What the document libFuzzer harness runs on each input; the corpus replay test runs the same function.
// It must return normally for any input: a malformed document is an error, never a crash, a leak or a hang.
namespace tessfuzz {

// The document JSON reader, then every screen of the document drawn as render-screens draws it, then the round
// trip: the document written, read back and written again. False when the second text differs from the first (or
// the written document cannot be read).
bool readAndDrawDocument(const std::uint8_t* data, std::size_t size);

} // namespace tessfuzz
