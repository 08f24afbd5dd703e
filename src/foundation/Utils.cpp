#include "foundation/Utils.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>

#include <cmath>

#include "platform/MainThread.h"

void Utils::performBlock(std::function<void()> block, double seconds)
{
    if (!block)
        return;
    MainThread::runAfter(seconds < 0 ? 0.0 : seconds, std::move(block));
}

void Utils::runBlockOnMainThread(std::function<void()> block, bool waitUntilDone)
{
    if (!block)
        return;
    MainThread::run(std::move(block), waitUntilDone);
}

quint32 Utils::randomBetween(quint32 low, quint32 high)
{
    // The range is empty when the bounds are equal; answering `low` keeps callers that pass a
    // degenerate range (an empty list's bounds) from dividing by zero.
    if (high <= low)
        return low;
    return QRandomGenerator::global()->bounded(low, high);
}

float Utils::roundDownF(float value, int factor)
{
    if (factor < 1)
        return value;
    return std::floor(value * static_cast<float>(factor)) / static_cast<float>(factor);
}

QColor Utils::colorFromHex(quint32 rgb)
{
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

QColor Utils::randomColor()
{
    return colorFromHex(QRandomGenerator::global()->bounded(0x1000000u));
}

QRectF Utils::convertRectConvertedFromIOSSpacedCGRect(const QRectF& rect, const QSizeF& parentViewSize)
{
    return QRectF(rect.x(), parentViewSize.height() - (rect.y() + rect.height()), rect.width(), rect.height());
}

namespace {

// Decodes %XX escapes as UTF-8; a "%" that does not start a valid escape is kept as it stands.
QString percentDecoded(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    QByteArray decoded;
    decoded.reserve(bytes.size());
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes.at(i) == '%' && i + 2 < bytes.size() && hexValue(bytes.at(i + 1)) >= 0 &&
            hexValue(bytes.at(i + 2)) >= 0) {
            decoded.append(static_cast<char>(hexValue(bytes.at(i + 1)) * 16 + hexValue(bytes.at(i + 2))));
            i += 2;
        } else {
            decoded.append(bytes.at(i));
        }
    }
    return QString::fromUtf8(decoded);
}

} // namespace

QMap<QString, QString> Utils::dictionaryFromURLQueryString(const QString& query)
{
    QMap<QString, QString> result;
    const QStringList pieces = query.split(QLatin1Char('&'));
    for (const QString& piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char('='));
        if (parts.size() != 2)
            continue;
        result.insert(percentDecoded(parts.at(0)), percentDecoded(parts.at(1)));
    }
    return result;
}

QString Utils::appName()
{
    return QCoreApplication::applicationName();
}

QString Utils::appVersionBundleString()
{
    return QCoreApplication::applicationVersion();
}

bool Utils::isRetina()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->devicePixelRatio() > 1.0;
}
