#include "controls/QVR_Toast.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {

const char* const kToastName = "tess_toast";
int g_durationForTesting = 0;

class ToastLabel : public QLabel {
public:
    ToastLabel(const QString& text, QWidget* view)
        : QLabel(text, view)
    {
        setObjectName(QLatin1String(kToastName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setWordWrap(true);
        setAlignment(Qt::AlignCenter);
        setContentsMargins(16, 10, 16, 10);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Qt::white);
        setPalette(p);
        view->installEventFilter(this);
        place();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        {
            QPainter painter(this);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, 200));
            painter.drawRoundedRect(QRectF(rect()), 8, 8);
        }
        QLabel::paintEvent(event);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            place();
        return false;
    }

private:
    // Centred near the bottom, at most 80 % of the view's width.
    void place()
    {
        QWidget* view = parentWidget();
        const int maxWidth = std::max(120, view->width() * 4 / 5);
        setMaximumWidth(maxWidth);
        const QSize hint = sizeHint().boundedTo(QSize(maxWidth, view->height()));
        const int height = heightForWidth(hint.width()) > 0 ? heightForWidth(hint.width()) : hint.height();
        setGeometry((view->width() - hint.width()) / 2, std::max(0, view->height() - height - 40), hint.width(),
                    height);
    }
};

} // namespace

QWidget* QVR_Toast::toast(const QString& text, QWidget* view)
{
    if (!view)
        return nullptr;
    if (QWidget* previous = currentToast(view)) {
        previous->setObjectName(QString());
        previous->hide();
        previous->deleteLater();
    }
    auto* label = new ToastLabel(text, view);
    label->show();
    label->raise();
    QTimer::singleShot(g_durationForTesting > 0 ? g_durationForTesting : kDurationMilliseconds, label, [label] {
        label->hide();
        label->deleteLater();
    });
    return label;
}

QWidget* QVR_Toast::currentToast(const QWidget* view)
{
    return view ? view->findChild<QWidget*>(QLatin1String(kToastName), Qt::FindDirectChildrenOnly) : nullptr;
}

void QVR_Toast::setDurationForTesting(int milliseconds)
{
    g_durationForTesting = milliseconds;
}
