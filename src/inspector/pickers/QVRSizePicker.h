#pragma once

#include <functional>

#include <QWidget>

class QLineEdit;
class QMenu;
class QToolButton;

// A font size field with a menu of the usual sizes. Typed sizes from 1 to 500 are reported; anything else puts
// the last size back. Up and Down step the size by one within that range.
class QVRSizePicker : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumSize = 1;
    static constexpr int kMaximumSize = 500;

    explicit QVRSizePicker(QWidget* parent = nullptr);

    // Shows `size` without calling back; 0 shows a blank field (no single size, as for a mixed selection).
    void setCurrentSize(int size);
    int currentSize() const { return m_size; }

    QLineEdit* field() const { return m_field; }
    QMenu* menu() const { return m_menu; }

    std::function<void(int)> onSizeChanged;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void commitText();
    void choose(int size);
    void showSize();

    QLineEdit* m_field = nullptr;
    QToolButton* m_arrow = nullptr;
    QMenu* m_menu = nullptr;
    int m_size = 0;
};
