#pragma once

#include <functional>

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QMenu;
class QVR_StretchableBorderView;
class QVR_ToolbarButton;

// A font size field with a menu of the usual sizes. Each edit of the field is read at once: a whole number from 1
// to 500 becomes the size and is reported; anything else puts the last size back. Up and Down step the size by one
// within that range.
class QVRSizePicker : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumSize = 1;
    static constexpr int kMaximumSize = 500;
    static constexpr QSize kPickerSize{60, 50};
    static constexpr QSize kArrowSize{16, 22};
    static constexpr QRgb kDockedBorderColor = 0x515151;

    explicit QVRSizePicker(QWidget* parent = nullptr);

    // Shows `size` without calling back; 0 shows a blank field (no single size, as for a mixed selection).
    void setCurrentSize(int size);
    int currentSize() const { return m_size; }
    static bool isAllowableSizeValue(int size) { return size >= kMinimumSize && size <= kMaximumSize; }

    // Docked pickers have a flat field with a 1-point dark border; floating ones sit on the floating panel border.
    void setDocked(bool docked);
    bool isDocked() const { return m_docked; }

    QLineEdit* field() const { return m_field; }
    QVR_ToolbarButton* arrowButton() const { return m_arrow; }
    QMenu* menu() const { return m_menu; }

    std::function<void(int)> onSizeChanged;
    // Runs when editing in the field ends (Return, or the field lost the keyboard).
    std::function<void()> onEditingEnded;
    // Whether the size comes from the keyboard in the field (typed, or stepped with Up and Down).
    bool isBeingTyped() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textEdited(const QString& text);
    void choose(int size);
    void showSize();
    void layoutViews();

    QLineEdit* m_field = nullptr;
    QVR_ToolbarButton* m_arrow = nullptr;
    QMenu* m_menu = nullptr;
    QPointer<QVR_StretchableBorderView> m_floatingBorder;
    int m_size = 0;
    bool m_docked = true;
};
