#include "controls/ComboBoxView.h"

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>

#include "controls/ControlsArtwork.h"

namespace {

class FieldBackground : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(0, 0, 0, 60), 1.0));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    }
};

} // namespace

ComboBoxView::ComboBoxView(QWidget* parent)
    : QWidget(parent)
{
    m_background = new FieldBackground(this);
    m_background->setObjectName(QStringLiteral("textFieldBackgroundImageView"));
    m_background->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dropDownButton = new QToolButton(this);
    m_dropDownButton->setObjectName(QStringLiteral("dropDownButton"));
    m_dropDownButton->setAutoRaise(true);
    m_dropDownButton->setIcon(ControlsArtwork::icon(QStringLiteral("dropdown_arrow"), QSize(12, 12)));
    connect(m_dropDownButton, &QToolButton::clicked, this, &ComboBoxView::showPopupMenu);
    resize(sizeHint());
}

void ComboBoxView::setPopupMenu(QMenu* menu)
{
    m_popupMenu = menu;
}

void ComboBoxView::showPopupMenu()
{
    if (!m_popupMenu)
        return;
    m_popupMenu->setMinimumWidth(width());
    m_popupMenu->popup(mapToGlobal(QPoint(0, height())));
}

void ComboBoxView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_background->setGeometry(rect());
    const int button = height();
    m_dropDownButton->setGeometry(width() - button, 0, button, height());
    m_label->setGeometry(8, 0, std::max(0, width() - button - 8), height());
}

void ComboBoxView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        showPopupMenu();
}
