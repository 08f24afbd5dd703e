#include "inspector/TypedNumber.h"

#include <QLocale>

QString TypedNumber::withDotDecimal(const QString& text)
{
    const QString point = QLocale().decimalPoint();
    if (point == QStringLiteral("."))
        return text;
    QString dotted = text;
    dotted.replace(point, QStringLiteral("."));
    return dotted;
}

QString TypedNumber::wholePart(const QString& text)
{
    const QString point = QLocale().decimalPoint();
    qsizetype end = text.size();
    for (const QString& separator : {point, QStringLiteral("."), QStringLiteral(",")}) {
        const qsizetype at = separator.isEmpty() ? -1 : text.indexOf(separator);
        if (at >= 0)
            end = qMin(end, at);
    }
    return text.left(end);
}

QString TypedNumber::shown(double value, int decimals)
{
    // No grouping: "1.000,5" would read back as 1.
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}
