#include "support/UserInput.h"

#include <QApplication>
#include <QBackingStore>
#include <QColor>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <qpa/qplatformbackingstore.h>

namespace UserInput {

void typeText(QWidget* target, const QString& text, int pauseMs)
{
    for (const QChar character : text) {
        QWidget* receiver = target ? target : QApplication::focusWidget();
        if (!receiver)
            return;
        if (character.unicode() < 0x80)
            QTest::keyClick(receiver, character.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, receiver, Qt::Key_unknown, QString(character), Qt::NoModifier);
        QTest::qWait(pauseMs);
    }
}

void pressKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers, int pauseMs)
{
    QWidget* receiver = target ? target : QApplication::focusWidget();
    if (receiver)
        QTest::keyClick(receiver, key, modifiers);
    QTest::qWait(pauseMs);
}

void letRepaintsHappen(int pauseMs)
{
    QCoreApplication::processEvents();
    QTest::qWait(pauseMs);
    QCoreApplication::processEvents();
}

QImage shownImage(const QWidget* widget)
{
    if (!widget)
        return {};
    QWidget* window = widget->window();
    QBackingStore* store = window->backingStore();
    if (!store || !store->handle())
        return {};
    const QImage whole = store->handle()->toImage();
    if (whole.isNull())
        return {};
    const qreal ratio = window->devicePixelRatioF();
    const QPoint origin = widget->mapTo(window, QPoint(0, 0));
    const QRect part(qRound(origin.x() * ratio), qRound(origin.y() * ratio), qRound(widget->width() * ratio),
                     qRound(widget->height() * ratio));
    QImage image = whole.copy(part.intersected(whole.rect()));
    image.setDevicePixelRatio(ratio);
    return image;
}

QColor shownColor(const QWidget* widget, QPoint point)
{
    const QImage image = shownImage(widget);
    if (image.isNull())
        return {};
    const qreal ratio = image.devicePixelRatio();
    const QPoint pixel(qRound(point.x() * ratio), qRound(point.y() * ratio));
    if (!image.rect().contains(pixel))
        return {};
    return image.pixelColor(pixel);
}

} // namespace UserInput
