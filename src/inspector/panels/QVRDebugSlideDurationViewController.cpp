#include "inspector/panels/QVRDebugSlideDurationViewController.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include "inspector/panels/QVR_ScreenPropertiesMenuViewController.h"

QVRDebugSlideDurationViewController::QVRDebugSlideDurationViewController(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QFormLayout(this);
    m_field = new QLineEdit(this);
    m_transition = new QComboBox(this);
    m_transition->addItems({tr("Slide In"), tr("Fade"), tr("None")});
    m_doneButton = new QPushButton(tr("Done"), this);
    layout->addRow(tr("Duration"), m_field);
    layout->addRow(tr("Transition"), m_transition);
    layout->addRow(QString(), m_doneButton);
    connect(m_doneButton, &QPushButton::clicked, this, &QVRDebugSlideDurationViewController::doneButtonPressed);
}

void QVRDebugSlideDurationViewController::setSlideDuration(std::optional<double> seconds)
{
    // In the user's decimals: the field reads them back.
    m_field->setText(seconds ? QString::asprintf("%g", *seconds).replace(QLatin1Char('.'), QLocale().decimalPoint())
                             : QString());
}

std::optional<double> QVRDebugSlideDurationViewController::slideDuration() const
{
    const auto value = screenPropertiesLeadingDuration(m_field->text());
    if (!value || *value <= 0)
        return std::nullopt;
    return value;
}

void QVRDebugSlideDurationViewController::setSlideTransitionType(int type)
{
    m_transition->setCurrentIndex(type == 3 ? NoneItem : type == 2 ? FadeItem : SlideInItem);
}

int QVRDebugSlideDurationViewController::slideTransitionType() const
{
    switch (m_transition->currentIndex()) {
    case FadeItem:
        return 2;
    case NoneItem:
        return 3;
    default:
        return 0;
    }
}

void QVRDebugSlideDurationViewController::doneButtonPressed()
{
    if (m_done)
        m_done();
}
