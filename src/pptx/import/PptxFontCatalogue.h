#pragma once

#include <QString>

class FontList;

// The typefaces an imported deck may keep: the document font list, and the font catalogue built from it at
// 16 points, whose families stand for their default faces. The import registers offeredTypeface with the
// converter; the font replacement window shows fontList. Main thread.
class PptxFontCatalogue {
public:
    static constexpr double kPointSize = 16.0;

    // Made on first use and kept.
    static const FontList& fontList();
    // The PostScript name a typeface named in a deck is drawn with when the application offers it: the name itself
    // when it is one of the document font list, the default face of a family of the catalogue, else empty.
    static QString offeredTypeface(const QString& name);
    // Makes the converter offer these typefaces.
    static void registerWithConverter();
};
