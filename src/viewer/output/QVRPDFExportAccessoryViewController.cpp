#include "viewer/output/QVRPDFExportAccessoryViewController.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "strings/StringTables.h"

QVRPDFExportAccessoryViewController::QVRPDFExportAccessoryViewController(QWidget* parent)
    : QWidget(parent)
    , m_includeGalleryImages(
          new QCheckBox(LocalizedStringWithEnglishFallback(QStringLiteral("INCLUDE_GALLERY_IMAGES_TEXT"),
                                                           QStringLiteral("Include Gallery Images")),
                        this))
{
    m_includeGalleryImages->setObjectName(QStringLiteral("includeGalleryImagesButton"));
    m_includeGalleryImages->setChecked(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_includeGalleryImages);
}
