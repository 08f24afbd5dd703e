#include "controls/VerticallyCenteredTextFieldCell.h"

VerticallyCenteredTextFieldCell::VerticallyCenteredTextFieldCell(QWidget* parent)
    : VerticallyCenteredTextFieldCell(QString(), parent)
{
}

VerticallyCenteredTextFieldCell::VerticallyCenteredTextFieldCell(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void VerticallyCenteredTextFieldCell::setHorizontalAlignment(Qt::Alignment alignment)
{
    setAlignment((alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
}
