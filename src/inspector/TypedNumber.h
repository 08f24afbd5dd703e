#pragma once

#include <QString>

// Numbers as users type them into the inspector's fields: with the decimal separator of their locale (a comma in
// much of Europe) as well as a dot. What is stored and saved keeps the dot.
class TypedNumber {
public:
    // The text with the default locale's decimal separator written as a dot, so a dot-decimal reader takes it.
    static QString withDotDecimal(const QString& text);
    // The text up to its first decimal separator (the locale's, a dot or a comma), for fields of whole numbers:
    // "12,5" and "12.5" name 12.
    static QString wholePart(const QString& text);
    // The value shown in a field, with `decimals` places and the default locale's separator.
    static QString shown(double value, int decimals);
};
