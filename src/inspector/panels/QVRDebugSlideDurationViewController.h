#pragma once

#include <functional>
#include <optional>

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

// A small editor of one auto-advance duration and transition, run modally by the creator window's commands.
// A duration of 0 or less, or text that is no number, reads as none. Main thread only.
class QVRDebugSlideDurationViewController : public QWidget {
    Q_OBJECT
public:
    enum Item { SlideInItem, FadeItem, NoneItem };

    explicit QVRDebugSlideDurationViewController(QWidget* parent = nullptr);

    void setSlideDuration(std::optional<double> seconds);
    std::optional<double> slideDuration() const;
    void clearSlideDuration() { setSlideDuration(std::nullopt); }
    // 3 selects "None", 2 "Fade", anything else "Slide In"; read back as 3, 2 or 0.
    void setSlideTransitionType(int type);
    int slideTransitionType() const;

    void setDoneButtonPressed(std::function<void()> block) { m_done = std::move(block); }
    void doneButtonPressed();

    QLineEdit* slideDurationField() const { return m_field; }
    QComboBox* slideTransitionStyleButton() const { return m_transition; }

private:
    QLineEdit* m_field = nullptr;
    QComboBox* m_transition = nullptr;
    QPushButton* m_doneButton = nullptr;
    std::function<void()> m_done;
};
