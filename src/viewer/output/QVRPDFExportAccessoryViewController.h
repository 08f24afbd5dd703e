#pragma once

#include <QWidget>

class QCheckBox;

// The export file chooser's extra control: whether gallery images get pages of their own (on at first).
class QVRPDFExportAccessoryViewController : public QWidget {
    Q_OBJECT
public:
    explicit QVRPDFExportAccessoryViewController(QWidget* parent = nullptr);
    QCheckBox* includeGalleryImagesButton() const { return m_includeGalleryImages; }

private:
    QCheckBox* m_includeGalleryImages;
};
