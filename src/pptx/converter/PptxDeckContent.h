#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include <QRectF>
#include <QSizeF>
#include <QString>

// What the converter needs of a slide deck, copied out of the reader's records into plain values, so that the deck
// itself never leaves the worker that read it.

struct PptxTextStyle {
    QString latinTypeface;  // empty: none
    QString secondTypeface; // empty: none
    QString color;          // "RRGGBB", empty: none
    int size = 0;           // whole points, 0 = unset
    int level = 0;          // 1-based outline level
    int bulletType = 0;     // the reader's bullet kinds: 2 picture, 3 character, 4 numbering
    QString bulletCharacter;
    friend bool operator==(const PptxTextStyle&, const PptxTextStyle&) = default;
};

struct PptxTextRun {
    QString text;
    bool lineBreak = false;
    std::optional<PptxTextStyle> style;
};

struct PptxParagraph {
    std::optional<PptxTextStyle> style;
    std::vector<PptxTextRun> runs;
};

struct PptxSlideObject {
    enum Kind { Picture = 1, Text = 2 };
    Kind kind = Text;
    std::optional<QRectF> frame; // pixels taken as points; none when the deck gives no frame
    QString picturePath;         // the extracted picture; empty when the reader did not extract it
    std::vector<PptxParagraph> paragraphs;
    double fontScale = 1.0; // the share of its sizes a text box's text shows at, shrunk to fit its box
};

struct PptxSlide {
    QString backgroundColor; // "RRGGBB", empty: none
    std::vector<PptxSlideObject> objects;
};

struct PptxDeckContent {
    bool declaredUtf8 = false; // the main part declares exactly "UTF-8"
    QSizeF slideSize;          // pixels taken as points
    std::vector<PptxSlide> slides;
    // Font sizes are multiplied by this when the text is built (the frames are scaled already).
    double textScale = 1.0;

    // A deck whose slides are larger than `screen` in either direction is scaled uniformly to fit it and centred:
    // every frame, and the text by textScale (a picture's zoom follows its frame). A deck that fits stays as it is.
    void fitInto(const QSizeF& screen);
};

namespace PptxDeckReading {

// The reader's error code and its line, when reading failed.
struct Failure {
    int readerCode = 0;
    QString message;
};

// Opens the deck at `deckPath`, extracting its pictures into the existing folder `pictureFolder`, copies every slide
// and object, and frees the deck. `cancelled` is checked between slides (nullopt content, no failure, when it is set).
// `onSlideRead` is told (slides read, slide count) after each slide. Runs on any one thread.
std::optional<PptxDeckContent> read(const QString& deckPath, const QString& pictureFolder,
                                    const std::atomic<bool>& cancelled,
                                    const std::function<void(int, int)>& onSlideRead, Failure* failure);

} // namespace PptxDeckReading
