#pragma once

#include <QJsonObject>
#include <QWidget>

class QLabel;
class QVR_AsynchronousRenderWebImageView;

// One guide in the guide list: its first-screen picture, title and description, and a thin separator.
class QVRGuideTableCellView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 84;

    explicit QVRGuideTableCellView(QWidget* parent = nullptr);

    // Shows a guide record; the picture is fetched into the temporary folder only when the record names one.
    void setRecord(const QJsonObject& record);

    QLabel* titleTextField() const { return m_titleTextField; }
    QLabel* textField() const { return m_textField; }
    QVR_AsynchronousRenderWebImageView* previewImageView() const { return m_previewImageView; }
    QWidget* separatorView() const { return m_separatorView; }

private:
    QLabel* m_titleTextField = nullptr;
    QLabel* m_textField = nullptr;
    QVR_AsynchronousRenderWebImageView* m_previewImageView = nullptr;
    QWidget* m_separatorView = nullptr;
};
