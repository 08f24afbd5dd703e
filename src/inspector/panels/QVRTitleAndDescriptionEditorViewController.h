#pragma once

#include <memory>

#include <QWidget>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class ZERI_TessarineModel;

// The toolbar's small panel that names and describes a document: the title of its first flow and the description
// kept in its package's metadata. Done writes both and schedules a save; closing it any other way writes nothing.
// It records no undo step. Main thread only.
class QVRTitleAndDescriptionEditorViewController : public QWidget {
    Q_OBJECT
public:
    explicit QVRTitleAndDescriptionEditorViewController(QWidget* parent = nullptr);

    void setTessarineModel(const std::shared_ptr<ZERI_TessarineModel>& document);
    std::shared_ptr<ZERI_TessarineModel> tessarineModel() const { return m_document; }
    // An empty title shows the untitled text as a placeholder only, so Done keeps the title empty.
    void setCurrentTitle(const QString& title, const QString& description);

    QLineEdit* titleTextField() const { return m_titleField; }
    QPlainTextEdit* descriptionTextField() const { return m_descriptionField; }
    QPushButton* doneButton() const { return m_doneButton; }

    void doneButtonPressed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::shared_ptr<ZERI_TessarineModel> m_document;
    QLabel* m_nameLabel = nullptr;
    QLabel* m_descriptionLabel = nullptr;
    QLineEdit* m_titleField = nullptr;
    QPlainTextEdit* m_descriptionField = nullptr;
    QPushButton* m_doneButton = nullptr;
};
