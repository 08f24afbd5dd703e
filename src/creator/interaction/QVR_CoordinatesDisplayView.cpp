#include "creator/interaction/QVR_CoordinatesDisplayView.h"

#include <QFontMetrics>
#include <QPainter>

#include "creator/canvas/QVR_MixedMediaElementContainingView.h"
#include "creator/interaction/QVR_SelectedItemView.h"
#include "foundation/FontSubstitution.h"
#include "foundation/Tessutils.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_MixedMediaObjectProxy.h"

namespace {

QFont labelFont()
{
    return FontSubstitution::fontForPostScriptName(QStringLiteral("Helvetica-Bold"), 12.0);
}

QRectF frameOf(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    return object && object->object() ? (*object)->frame() : QRectF();
}

} // namespace

QVR_CoordinatesDisplayView::QVR_CoordinatesDisplayView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    redrawLayerContents();
}

QString QVR_CoordinatesDisplayView::attStringForFloatValue(float value, const QString& prepend)
{
    return prepend + QString::asprintf("%.0f", double(value));
}

void QVR_CoordinatesDisplayView::setMmObj(const std::shared_ptr<ZERI_MixedMediaObjectProxy>& object)
{
    if (object == m_object)
        return;
    releaseCurrentObject();
    m_object = object;
    if (m_object) {
        m_updateObserver = m_object->updateNotifier().addObservationBlock(
            [this](const void*, const QSet<QString>&) { redrawLayerContents(); }, QStringLiteral("frame"));
    }
    redrawLayerContents();
}

void QVR_CoordinatesDisplayView::releaseCurrentObject()
{
    m_updateObserver.reset();
    m_object.reset();
}

void QVR_CoordinatesDisplayView::setSelectedItem(const QVR_SelectedItemView* selection)
{
    std::shared_ptr<ZERI_MixedMediaObjectProxy> leftmost, topmost;
    if (selection) {
        for (auto* view : selection->selectedViews()) {
            const auto object = view->mixedMediaObject();
            if (!object || !object->object())
                continue;
            if (!leftmost || (*object)->frame().x() < frameOf(leftmost).x())
                leftmost = object;
            if (!topmost || (*object)->frame().y() < frameOf(topmost).y())
                topmost = object;
        }
    }
    m_secondary = topmost;
    setMmObj(leftmost);
    redrawLayerContents();
}

void QVR_CoordinatesDisplayView::redrawLayerContents()
{
    m_labels.clear();
    const QRectF frame = frameOf(m_object);
    const QRectF secondary = m_secondary ? frameOf(m_secondary) : frame;
    std::vector<QString> texts;
    if (m_displayCoordinates & X)
        texts.push_back(attStringForFloatValue(float(frame.x()), QStringLiteral("x:")));
    if (m_displayCoordinates & Y)
        texts.push_back(attStringForFloatValue(float(secondary.y()), QStringLiteral("y:")));
    if (m_displayCoordinates & Width)
        texts.push_back(attStringForFloatValue(float(frame.width()), UFM::SAYS_WIDTH() + QLatin1Char(':')));
    if (m_displayCoordinates & Height)
        texts.push_back(attStringForFloatValue(float(frame.height()), UFM::SAYS_HEIGHT() + QLatin1Char(':')));

    const QFontMetrics metrics(labelFont());
    // Rows count from the bottom edge: positions are worked out upward first, then flipped.
    struct Placed {
        QString text;
        QSize size;
        int x, yUp;
    };
    std::vector<Placed> placed;
    const int rowHeight = texts.empty() ? 0 : metrics.height();
    int right = 0, top = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        const QSize size(metrics.horizontalAdvance(texts[i]), metrics.height());
        const int row = int(i / 2);
        const int x = i % 2 == 0 ? kMargin : placed[i - 1].x + placed[i - 1].size.width() + kMargin;
        const int yUp = row * (rowHeight + kMargin) + kMargin;
        placed.push_back({texts[i], size, x, yUp});
        right = std::max(right, x + size.width());
        top = std::max(top, yUp + size.height());
    }
    const QSize size = texts.empty() ? QSize(kMargin, kMargin) : QSize(right + kMargin, top + kMargin);
    for (const auto& label : placed)
        m_labels.push_back(
            {label.text, QRect(QPoint(label.x, size.height() - label.yUp - label.size.height()), label.size)});
    resize(size);
    update();
}

void QVR_CoordinatesDisplayView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Tessutils::tessarineBlue(), 1.0));
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4.0, 4.0);
    painter.setFont(labelFont());
    painter.setPen(Qt::white);
    for (const auto& label : m_labels)
        painter.drawText(label.rect, Qt::AlignLeft | Qt::AlignVCenter, label.text);
}
