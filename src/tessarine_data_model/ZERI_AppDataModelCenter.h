#pragma once

#include <optional>

#include <QColor>
#include <QJsonObject>
#include <QJsonValue>
#include <QRectF>
#include <QSizeF>
#include <QString>

// Text forms of colours and geometry used by the document JSON.
//
// Colours: upper-case hexadecimal, red green blue [alpha], no prefix ("1F70A8FF"); read with or without
// "#" or "0x", in either case. A missing colour (an invalid QColor) is written "00000000".
// Rectangles and sizes: objects whose values are texts with one decimal ("%.1f"); read from numbers or
// numeric texts. Whatever the writer writes for a value the reader took reads back to the same value.
class ZERI_AppDataModelCenter {
public:
    static QString rgbaHexStringFromColor(const QColor& color);
    static QString rgbHexStringFromColor(const QColor& color);
    // Six digits give an opaque colour, eight digits carry alpha. Anything else (empty, bad digits, wrong
    // length) gives nullopt.
    static std::optional<QColor> colorFromRGBAHexString(const QString& text);
    static std::optional<QColor> colorFromRGBHexString(const QString& text);

    // "%.1f", except for a magnitude of kLargestPlainValue or more, written in its shortest exact form ("1e+300"),
    // so that the text always reads back (numberFromJson takes texts of fewer than 64 characters). A value that
    // is not finite is written as zero.
    static constexpr double kLargestPlainValue = 1e15;
    static QString oneDecimalText(double value);
    static QJsonObject jsonFromRect(const QRectF& rect);
    static QJsonObject jsonFromSize(const QSizeF& size);
    // nullopt when the value is not an object, a member is missing or not a finite number (or numeric text).
    static std::optional<QRectF> rectFromJson(const QJsonValue& value);
    static std::optional<QSizeF> sizeFromJson(const QJsonValue& value);
    // A finite number, or a text that reads wholly as one (blanks around it allowed).
    static std::optional<double> numberFromJson(const QJsonValue& value);
};
