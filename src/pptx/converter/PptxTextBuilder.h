#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "pptx/converter/PptxDeckContent.h"
#include "tessarine_data_model/AttributedText.h"

// The text of one text shape as the model's attributed text: paragraphs joined by newlines, list paragraphs
// indented by four blanks per level and led by their bullet, every piece in its run's font, size and colour, left
// aligned.
namespace PptxTextBuilder {

// Size given to text whose style sets none.
constexpr double kDefaultFontSize = 12.0;

// `fontFor` gives the PostScript name to use for a style (the run's, else its paragraph's; none for unstyled text).
// `declaredUtf8`: the deck declares its encoding as exactly "UTF-8"; only then are bullet characters used as they
// stand, otherwise every bullet is shown as "•". Every font size, the default one too, is multiplied by `sizeScale`.
AttributedText attributedText(const std::vector<PptxParagraph>& paragraphs, bool declaredUtf8,
                              const std::function<QString(const std::optional<PptxTextStyle>&)>& fontFor,
                              double sizeScale = 1.0);

} // namespace PptxTextBuilder
