#include "inspector/panels/QVRTitleAndDescriptionEditorViewController.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/MouseEventShieldWindow.h"
#include "foundation/Tessutils.h"
#include "storage/ZERI_qvdFilePackage.h"
#include "strings/UFM.h"
#include "tessarine_data_model/ZERI_FlowModel.h"
#include "tessarine_data_model/ZERI_TessarineModel.h"

QVRTitleAndDescriptionEditorViewController::QVRTitleAndDescriptionEditorViewController(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    m_nameLabel = new QLabel(UFM::TITLE_TEXT(), this);
    m_titleField = new QLineEdit(this);
    m_titleField->setObjectName(QStringLiteral("title"));
    m_descriptionLabel = new QLabel(UFM::DESCRIPTION_TEXT(), this);
    m_descriptionField = new QPlainTextEdit(this);
    m_descriptionField->setObjectName(QStringLiteral("description"));
    m_descriptionField->setFixedHeight(80);
    m_descriptionField->setTabChangesFocus(true);
    m_doneButton = new QPushButton(UFM::DONE_TEXT(), this);
    // Reached by Tab, Done takes Return as well as Space.
    m_doneButton->setAutoDefault(true);
    layout->addWidget(m_nameLabel);
    layout->addWidget(m_titleField);
    layout->addWidget(m_descriptionLabel);
    layout->addWidget(m_descriptionField);
    layout->addWidget(m_doneButton, 0, Qt::AlignRight);
    setMinimumWidth(300);
    // The theme's black, not pure black, for every text of the panel.
    const QColor ink = Tessutils::tessarineBlackColor();
    for (QWidget* widget : {static_cast<QWidget*>(m_nameLabel), static_cast<QWidget*>(m_titleField),
                            static_cast<QWidget*>(m_descriptionLabel), static_cast<QWidget*>(m_descriptionField),
                            static_cast<QWidget*>(m_doneButton)}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, ink);
        palette.setColor(QPalette::Text, ink);
        palette.setColor(QPalette::ButtonText, ink);
        widget->setPalette(palette);
    }
    connect(m_doneButton, &QPushButton::clicked, this, &QVRTitleAndDescriptionEditorViewController::doneButtonPressed);
    // Return in the title is Done, as in a dialog: kept and closed.
    connect(m_titleField, &QLineEdit::returnPressed, this,
            &QVRTitleAndDescriptionEditorViewController::doneButtonPressed);
}

void QVRTitleAndDescriptionEditorViewController::setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document)
{
    if (document == m_document)
        return;
    m_document = document;
    QString title, description;
    if (document) {
        if (const auto flow = document->firstFlowmodel())
            title = flow->title();
        if (const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(document->filePackage()))
            description = package->metaData().tessarineDescription();
        else
            description = document->description();
    }
    setCurrentTitle(title, description);
}

void QVRTitleAndDescriptionEditorViewController::setCurrentTitle(const QString& title, const QString& description)
{
    // An untitled document shows the untitled text, as its hint and as the value Done keeps unless it is edited.
    const QString shown = title.isEmpty() ? UFM::UNTITLED_TEXT() : title;
    m_titleField->setPlaceholderText(shown);
    m_titleField->setText(shown);
    m_descriptionField->setPlainText(description);
}

void QVRTitleAndDescriptionEditorViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The title takes the keyboard as soon as the panel shows, selected whole: what is typed replaces it.
    QTimer::singleShot(0, m_titleField, [field = m_titleField] {
        field->activateWindow();
        field->setFocus(Qt::PopupFocusReason);
    });
    m_titleField->setFocus(Qt::PopupFocusReason);
    m_titleField->selectAll();
}

void QVRTitleAndDescriptionEditorViewController::doneButtonPressed()
{
    if (m_document) {
        if (const auto flow = m_document->firstFlowmodel())
            flow->setTitle(m_titleField->text());
        const QString description = m_descriptionField->toPlainText();
        if (const auto package = std::dynamic_pointer_cast<ZERI_qvdFilePackage>(m_document->filePackage()))
            package->metaData().setTessarineDescription(description);
        else
            m_document->setDescription(description);
        m_document->setNeedsSaveToFile();
    }
    // The toolbar's shield owns the panel; closing it takes the panel away.
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget())
        if (auto* closeView = qobject_cast<ShieldCloseOnClickView*>(ancestor)) {
            closeView->performClose();
            return;
        }
}
