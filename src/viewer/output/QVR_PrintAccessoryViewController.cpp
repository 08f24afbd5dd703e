#include "viewer/output/QVR_PrintAccessoryViewController.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "foundation/Tessutils.h"
#include "strings/StringTables.h"
#include "viewer/output/QVR_PrintView.h"

QVR_PrintAccessoryViewController::QVR_PrintAccessoryViewController(QWidget* parent)
    : QWidget(parent)
    , m_addGalleryImages(new QCheckBox(LocalizedStringWithEnglishFallback(QStringLiteral("INCLUDE_GALLERY_IMAGES_TEXT"),
                                                                          QStringLiteral("Include Gallery Images")),
                                       this))
    , m_addPDFImages(new QCheckBox(QStringLiteral("Add PDF Images Inline"), this))
{
    setWindowTitle(QStringLiteral("Tessarine"));
    m_addGalleryImages->setObjectName(QStringLiteral("addGalleryImages"));
    m_addPDFImages->setObjectName(QStringLiteral("addPDFImages"));
    for (QCheckBox* box : {m_addGalleryImages, m_addPDFImages}) {
        QPalette palette = box->palette();
        palette.setColor(QPalette::WindowText, Tessutils::tessarineBlackColor());
        palette.setColor(QPalette::ButtonText, Tessutils::tessarineBlackColor());
        box->setPalette(palette);
    }
    m_addGalleryImages->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_addGalleryImages);
    layout->addWidget(m_addPDFImages);
    layout->addStretch();
    connect(m_addGalleryImages, &QCheckBox::toggled, this, [this] { addGalleryImagesChanged(m_addGalleryImages); });
    connect(m_addPDFImages, &QCheckBox::toggled, this, [this] { addPDFImagesChanged(m_addPDFImages); });
}

void QVR_PrintAccessoryViewController::setPrintView(QVR_PrintView* view)
{
    m_printView = view;
    if (view) {
        m_addGalleryImages->setChecked(view->addGalleryImages());
        m_addPDFImages->setChecked(view->addPDFImages());
    }
}

bool QVR_PrintAccessoryViewController::addGallery() const
{
    return m_addGalleryImages->isChecked();
}

bool QVR_PrintAccessoryViewController::addPDF() const
{
    return m_addPDFImages->isChecked();
}

int QVR_PrintAccessoryViewController::pageCount() const
{
    return m_printView ? m_printView->numPages() : 0;
}

void QVR_PrintAccessoryViewController::addGalleryImagesChanged(QCheckBox* sender)
{
    if (sender != m_addGalleryImages || !m_printView)
        return;
    m_printView->setAddGalleryImages(sender->isChecked());
    emit pageCountChanged(pageCount());
}

void QVR_PrintAccessoryViewController::addPDFImagesChanged(QCheckBox* sender)
{
    if (sender != m_addPDFImages || !m_printView)
        return;
    m_printView->setAddPDFImages(sender->isChecked());
    emit pageCountChanged(pageCount());
}

QList<std::pair<QString, QString>> QVR_PrintAccessoryViewController::localizedSummaryItems()
{
    return {{QStringLiteral("addGalleryImages"), QStringLiteral("Add Gallery Images Inline")},
            {QStringLiteral("addPDFImages"), QStringLiteral("Add PDF Images Inline")}};
}

QStringList QVR_PrintAccessoryViewController::keyPathsForValuesAffectingPreview()
{
    return {QStringLiteral("addGallery"), QStringLiteral("addPDF")};
}
