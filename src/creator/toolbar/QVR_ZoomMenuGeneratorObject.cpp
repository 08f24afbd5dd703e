#include "creator/toolbar/QVR_ZoomMenuGeneratorObject.h"

#include <cmath>

#include <QLocale>
#include <QMenu>

#include "strings/UFM.h"

QStringList QVR_ZoomMenuGeneratorObject::zoomLevelTitlesArray()
{
    QStringList titles;
    for (const double level : {0.1, 0.25, 0.5, 0.75, 1.0, 1.5, 2.0})
        titles << stringFromZoomLevel(level);
    titles << stringForFitToScreenTitle();
    return titles;
}

QString QVR_ZoomMenuGeneratorObject::stringForFitToScreenTitle()
{
    return UFM::SAYS_FIT_TO_SCREEN();
}

QString QVR_ZoomMenuGeneratorObject::stringFromZoomLevel(double level)
{
    const QLocale locale;
    double percent = level * 100.0;
    if (!std::isfinite(percent))
        return QString();
    // At most three significant digits, and no fraction digits beyond them (1000% keeps its four).
    int decimals = 0;
    if (percent != 0.0) {
        const int integerDigits = static_cast<int>(std::floor(std::log10(std::fabs(percent)))) + 1;
        decimals = std::max(0, 3 - integerDigits);
        const double unit = std::pow(10.0, integerDigits - 3);
        percent = std::round(percent / unit) * unit;
    }
    QString number = locale.toString(percent, 'f', decimals);
    if (decimals > 0) {
        // Trailing zeros are not significant digits: "150%", not "150.0%"; "33.3%" stays.
        const QString point = locale.decimalPoint();
        while (number.endsWith(locale.zeroDigit()))
            number.chop(locale.zeroDigit().size());
        if (number.endsWith(point))
            number.chop(point.size());
    }
    return number + locale.percent();
}

std::optional<double> QVR_ZoomMenuGeneratorObject::zoomLevelFromString(const QString& title)
{
    const QLocale locale;
    QString text = title.trimmed();
    if (!text.endsWith(locale.percent()))
        return std::nullopt;
    text.chop(locale.percent().size());
    bool ok = false;
    const double percent = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(percent))
        return std::nullopt;
    return percent / 100.0;
}

std::optional<double> QVR_ZoomMenuGeneratorObject::zoomLevelForTitle(const QString& title)
{
    if (title == stringForFitToScreenTitle())
        return -1.0;
    return zoomLevelFromString(title);
}

QMenu* QVR_ZoomMenuGeneratorObject::zoomMenuWithSupportedZoomLevels(QWidget* parent,
                                                                    const std::function<void(QAction*)>& chosen)
{
    auto* menu = new QMenu(UFM::SAYS_ZOOM(), parent);
    const QString fit = stringForFitToScreenTitle();
    for (const QString& title : zoomLevelTitlesArray()) {
        if (title == fit)
            menu->addSeparator();
        QAction* action = menu->addAction(title);
        QObject::connect(action, &QAction::triggered, menu, [action, chosen] {
            if (chosen)
                chosen(action);
        });
    }
    return menu;
}
