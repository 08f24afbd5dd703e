#pragma once

#include <string>

#include "pptx/reader/qvd_opc.h"

namespace pptx {

// Writes the deck as JSON: slide size, declared encoding, extracted pictures, and every slide with
// its objects, frames, paragraphs, runs and resolved styles. Picture paths inside the output folder
// are written relative to it, so two reads of one deck into different folders compare equal.
// Reads the slides and objects it needs; on a reader error returns false with *error set, and the
// deck has been released (as with qvd_opc_slides).
bool writeDeckJson(QVD_OPC_PRESENTATION_T* deck, std::string* json, int* error);

} // namespace pptx
