#pragma once

#include <utility>

#include <QList>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QVR_PrintView;

// The print dialog's extra tab: whether gallery images and the pages of PDF objects get pages of their own. A
// toggle changes the print view's page count at once.
class QVR_PrintAccessoryViewController : public QWidget {
    Q_OBJECT
public:
    explicit QVR_PrintAccessoryViewController(QWidget* parent = nullptr);

    QCheckBox* addGalleryImages() const { return m_addGalleryImages; }
    QCheckBox* addPDFImages() const { return m_addPDFImages; }
    // Not owned; the check boxes take the view's current options.
    void setPrintView(QVR_PrintView* view);

    bool addGallery() const;
    bool addPDF() const;
    // The print view's page count (0 without a view).
    int pageCount() const;

signals:
    // A toggle changed the number of pages.
    void pageCountChanged(int pages);

public:
    // (name, description) of each option, and the properties a preview would follow.
    static QList<std::pair<QString, QString>> localizedSummaryItems();
    static QStringList keyPathsForValuesAffectingPreview();

private:
    void addGalleryImagesChanged(QCheckBox* sender);
    void addPDFImagesChanged(QCheckBox* sender);

    QCheckBox* m_addGalleryImages;
    QCheckBox* m_addPDFImages;
    QVR_PrintView* m_printView = nullptr;
};
