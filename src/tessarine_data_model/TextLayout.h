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
    // The same after an edit of the text `previous` laid out: its paragraphs that did not change (same text, styles,
    // width and line height) are taken over and only moved, so a keystroke lays out the edited paragraph alone.
    // `previous` is left without lines.
    TextLayout(const AttributedText& string, double width, const TextFrameAttributes& attributes,
               TextLayout&& previous);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // The union of the lines' inked extents (alignment included) from y = 0 to the bottom of the last line;
    // the null rectangle for an empty text or a width that is not a positive number.
    QRectF usedRect() const { return m_usedRect; }
    // The height of one line of `postScriptName` at `pointSize`, as this layout sets it (multiple 1).
    static double lineHeightForFont(const QString& postScriptName, double pointSize);
    // Draws the lines with their top-left corner at `origin`; with a valid `clip` (in the painter's coordinates)
    // only the paragraphs that reach into it.
    void draw(QPainter* painter, const QPointF& origin, const QRectF& clip = QRectF()) const;

    // Hit testing and caret movement for editing, in layout coordinates (origin at the first line's top-left).
    // Indexes are UTF-16 positions in the laid-out text, 0 to its length; out-of-range indexes are clamped.
    qsizetype textLength() const { return m_text.size(); }
    // The insertion index nearest to `point`; above the first line the first line, below the last the last.
    qsizetype indexAt(const QPointF& point) const;
    // A one-unit-wide rectangle of the caret's line at the index.
    QRectF caretRect(qsizetype index) const;
    // The highlighted areas of a range, one per line it touches.
    std::vector<QRectF> selectionRects(TextRange range) const;
    // Steps by grapheme (a paragraph break is one step), by word (to the next word's start or the previous
    // one's), to the ends of the visual line, and to the nearest index on the line above or below.
    qsizetype nextCursorPosition(qsizetype index) const;
    qsizetype previousCursorPosition(qsizetype index) const;
    qsizetype nextWordPosition(qsizetype index) const;
    qsizetype previousWordPosition(qsizetype index) const;
    qsizetype lineStart(qsizetype index) const;
    qsizetype lineEnd(qsizetype index) const;
    qsizetype lineAbove(qsizetype index) const;
    qsizetype lineBelow(qsizetype index) const;
    // The lines of the paragraph holding the index, full width, and its characters (without its break).
    QRectF paragraphRect(qsizetype index) const;
    TextRange paragraphRange(qsizetype index) const;
    // The word (or run of spaces or punctuation) around the index.
    TextRange wordRangeAt(qsizetype index) const;

private:
    struct LinePlace {
        int paragraph = -1;
        int line = -1;
    };
    void build(const AttributedText& string, double width, const TextFrameAttributes& attributes, TextLayout* previous);
    LinePlace placeOf(qsizetype index) const;
    qsizetype indexOnLine(const LinePlace& place, double x) const;
    double caretX(qsizetype index) const;

    std::vector<std::unique_ptr<QTextLayout>> m_paragraphs;
    std::vector<qsizetype> m_starts; // text index of each paragraph's first character
    QString m_text;
    double m_width = 0;
    double m_multiple = 0;
    double m_bottom = 0;
    double m_emptyLineHeight = 0;
    QRectF m_usedRect;
};
