#include "tessarine_data_model/ZERI_AppDataModelCenter.h"

#include <charconv>
#include <cmath>

#include <QLocale>

namespace {

QString hexByte(int value)
{
    static const char digits[] = "0123456789ABCDEF";
    const QChar pair[2] = {QLatin1Char(digits[(value >> 4) & 0xF]), QLatin1Char(digits[value & 0xF])};
    return QString(pair, 2);
}

// The digits after an optional "#" or "0x"/"0X" prefix; empty when any character is not a hex digit.
std::optional<QList<int>> hexBytes(const QString& text)
{
    QStringView digits = QStringView(text).trimmed();
    if (digits.startsWith(u'#'))
        digits = digits.mid(1);
    else if (digits.startsWith(u"0x", Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.size() % 2 != 0)
        return std::nullopt;
    auto nibble = [](QChar c) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9')
            return int(u - u'0');
        if (u >= u'a' && u <= u'f')
            return int(u - u'a' + 10);
        if (u >= u'A' && u <= u'F')
            return int(u - u'A' + 10);
        return -1;
    };
    QList<int> bytes;
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = nibble(digits[i]);
        const int low = nibble(digits[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(high * 16 + low);
    }
    return bytes;
}

} // namespace

QString ZERI_AppDataModelCenter::rgbaHexStringFromColor(const QColor& color)
{
    if (!color.isValid())
        return QStringLiteral("00000000");
    const QColor rgb = color.toRgb();
    return hexByte(rgb.red()) + hexByte(rgb.green()) + hexByte(rgb.blue()) + hexByte(rgb.alpha());
}

QString ZERI_AppDataModelCenter::rgbHexStringFromColor(const QColor& color)
{
    if (!color.isValid())
        return QStringLiteral("000000");
    const QColor rgb = color.toRgb();
    return hexByte(rgb.red()) + hexByte(rgb.green()) + hexByte(rgb.blue());
}

std::optional<QColor> ZERI_AppDataModelCenter::colorFromRGBAHexString(const QString& text)
{
    const auto bytes = hexBytes(text);
    if (!bytes || (bytes->size() != 3 && bytes->size() != 4))
        return std::nullopt;
    return QColor((*bytes)[0], (*bytes)[1], (*bytes)[2], bytes->size() == 4 ? (*bytes)[3] : 255);
}

std::optional<QColor> ZERI_AppDataModelCenter::colorFromRGBHexString(const QString& text)
{
    const auto bytes = hexBytes(text);
    if (!bytes || bytes->size() != 3)
        return std::nullopt;
    return QColor((*bytes)[0], (*bytes)[1], (*bytes)[2]);
}

QString ZERI_AppDataModelCenter::oneDecimalText(double value)
{
    // Past this "%.1f" would write hundreds of digits, longer than any number text the reader takes (and than any
    // measure means); such a value is written in the shortest form that reads back to it ("1e+300"). Below it the
    // text is the one every reader of these files knows.
    if (!std::isfinite(value) || std::fabs(value) >= kLargestPlainValue)
        return std::isfinite(value) ? QString::number(value, 'g', QLocale::FloatingPointShortest)
                                    : QStringLiteral("0.0");
    // "%.1f" prints -0.04 as "-0.0"; write plain zero so equal frames give equal bytes.
    QString text = QString::number(value, 'f', 1);
    if (text == QLatin1String("-0.0"))
        text = QStringLiteral("0.0");
    return text;
}

QJsonObject ZERI_AppDataModelCenter::jsonFromRect(const QRectF& rect)
{
    return QJsonObject{{QStringLiteral("x"), oneDecimalText(rect.x())},
                       {QStringLiteral("y"), oneDecimalText(rect.y())},
                       {QStringLiteral("width"), oneDecimalText(rect.width())},
                       {QStringLiteral("height"), oneDecimalText(rect.height())}};
}

QJsonObject ZERI_AppDataModelCenter::jsonFromSize(const QSizeF& size)
{
    return QJsonObject{{QStringLiteral("width"), oneDecimalText(size.width())},
                       {QStringLiteral("height"), oneDecimalText(size.height())}};
}

std::optional<double> ZERI_AppDataModelCenter::numberFromJson(const QJsonValue& value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
    }
    if (!value.isString())
        return std::nullopt;
    // Documents hold thousands of these texts; parse them without QString::toDouble's temporary byte array.
    const QString text = value.toString();
    const QStringView trimmed = QStringView(text).trimmed();
    char buffer[64];
    if (trimmed.isEmpty() || trimmed.size() >= qsizetype(sizeof buffer))
        return std::nullopt;
    qsizetype length = 0;
    for (const QChar c : trimmed) {
        if (c.unicode() > 0x7F)
            return std::nullopt;
        buffer[length++] = char(c.unicode());
    }
    const char* begin = buffer;
    if (*begin == '+') // from_chars takes no plus sign
        ++begin;
    double number = 0;
    const auto [end, error] = std::from_chars(begin, buffer + length, number);
    if (error != std::errc() || end != buffer + length || !std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<QRectF> ZERI_AppDataModelCenter::rectFromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto x = numberFromJson(object.value(QLatin1String("x")));
    const auto y = numberFromJson(object.value(QLatin1String("y")));
    const auto width = numberFromJson(object.value(QLatin1String("width")));
    const auto height = numberFromJson(object.value(QLatin1String("height")));
    if (!x || !y || !width || !height)
        return std::nullopt;
    return QRectF(*x, *y, *width, *height);
}

std::optional<QSizeF> ZERI_AppDataModelCenter::sizeFromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const auto width = numberFromJson(object.value(QLatin1String("width")));
    const auto height = numberFromJson(object.value(QLatin1String("height")));
    if (!width || !height)
        return std::nullopt;
    return QSizeF(*width, *height);
}
