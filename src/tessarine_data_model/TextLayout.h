#pragma once

#include <memory>
#include <vector>

#include <QPointF>
#include <QRectF>

#include "tessarine_data_model/AttributedText.h"

class QPainter;
class QTextLayout;

// Settings of a whole text frame, the counterpart of a text frame's attributes dictionary.
struct TextFrameAttributes {
    // Each line's height is the font's line height times this; 0 or less: the font's own line height.
    double lineHeightMultiple = 0;
};

// An attributed text laid out in lines of one width, in points at 72 dpi (a 40-point font is 40 units tall), with
// no view: the model measures and draws its text objects with it. Paragraphs break at line feeds, carriage returns
// and paragraph separators; lines wrap at word boundaries (inside a word when it does not fit). A line break at the
// very end of the text adds no empty line.
//
// Fonts come from the document's PostScript names through the font substitution table; a run without a font takes
// the text object's default font and size. A layout may be built and drawn on any thread; one layout belongs to
// one thread.
class TextLayout {
public:
    TextLayout(const AttributedText& string, double width, const TextFrameAttributes& attributes = {});
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // The union of the lines' inked extents (alignment included) from y = 0 to the bottom of the last line;
    // the null rectangle for an empty text or a width that is not a positive number.
    QRectF usedRect() const { return m_usedRect; }
    // Draws the lines with their top-left corner at `origin`.
    void draw(QPainter* painter, const QPointF& origin) const;

private:
    std::vector<std::unique_ptr<QTextLayout>> m_paragraphs;
    QRectF m_usedRect;
};
