#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDialog>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class UndoableAction;
class ZERI_FlowModel;
class ZERI_FlowScreenModel;

// Reads a duration the way the settings fields always have: the leading number of the text ("12.34s" is 12.34).
// None when the text does not start with a number; the caller treats 0 or less as "off".
std::optional<double> screenPropertiesLeadingDuration(const QString& text);

// The presentation settings sheet: auto-advance, its duration and transition, and looping for a flow; for one screen
// at a time an override of duration and transition, and presenter notes. Everything changed between setFlowModel()
// and Done is one undo step, "Screen Properties Change". Main thread only.
class QVR_ScreenPropertiesMenuViewController : public QWidget {
    Q_OBJECT
public:
    explicit QVR_ScreenPropertiesMenuViewController(QWidget* parent = nullptr);
    ~QVR_ScreenPropertiesMenuViewController() override;

    // Transition types by pop-up item: "Slide" 0, "Fade" 2, "Instant" 3.
    static int transitionTypeForItem(int item);
    static int itemForTransitionType(int type); // -1 for a type without an item

    std::shared_ptr<ZERI_FlowModel> flowModel() const { return m_flow; }
    void setFlowModel(const std::shared_ptr<ZERI_FlowModel>& flow);
    int screenNumber() const { return m_page; }
    void setScreenNumber(int page);
    std::shared_ptr<ZERI_FlowScreenModel> currentScreenModel() const;
    // Shows the model; writes nothing.
    void updateViews();
    // Called with the new page after paging, so the creator's thumbnail bar can select it.
    void setPageChangedBlock(std::function<void(int)> block) { m_pageChanged = std::move(block); }

    void doneButtonPressed();
    bool isDone() const { return m_done; }

    QPushButton* autoplayToggle() const { return m_autoplay; }
    QLineEdit* globalDurationField() const { return m_globalDuration; }
    QComboBox* globalTransitionPopUp() const { return m_globalTransition; }
    QPushButton* loopToggle() const { return m_loop; }
    QPushButton* overrideToggle() const { return m_override; }
    QLineEdit* screenDurationField() const { return m_screenDuration; }
    QComboBox* screenTransitionPopUp() const { return m_screenTransition; }
    QPlainTextEdit* presenterNotesView() const { return m_notes; }
    QLineEdit* currentPageField() const { return m_pageField; }
    QPushButton* previousPageButton() const { return m_previous; }
    QPushButton* nextPageButton() const { return m_next; }
    QPushButton* doneButton() const { return m_doneButton; }

signals:
    void finished();

private:
    bool pageValid() const;
    void commitGlobalDuration();
    void commitScreenDuration();
    void goToPage(int page);
    void autoplayToggled();
    void overrideToggled();
    void closeChange();

    std::shared_ptr<ZERI_FlowModel> m_flow;
    std::weak_ptr<UndoableAction> m_openAction;
    int m_page = -1;
    bool m_done = false;
    bool m_updating = false;
    std::function<void(int)> m_pageChanged;

    QPushButton* m_autoplay = nullptr;
    QLineEdit* m_globalDuration = nullptr;
    QComboBox* m_globalTransition = nullptr;
    QPushButton* m_loop = nullptr;
    QPushButton* m_override = nullptr;
    QLabel* m_screenDurationLabel = nullptr;
    QLineEdit* m_screenDuration = nullptr;
    QComboBox* m_screenTransition = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QLineEdit* m_pageField = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_doneButton = nullptr;
};

// The window-modal dialog holding the sheet, 20 points taller than it. Escape, reject() and the close button all
// take the Done path, so no change stays open.
class ScreenPropertiesSheet : public QDialog {
    Q_OBJECT
public:
    ScreenPropertiesSheet(QWidget* window, const std::shared_ptr<ZERI_FlowModel>& flow, int page);
    QVR_ScreenPropertiesMenuViewController* controller() const { return m_controller; }
    void reject() override;
    // Whether a sheet shows on `window`: its Undo and Redo must stay disabled meanwhile, since the sheet holds the
    // flow's open change.
    static bool isShownOn(const QWidget* window);

    // Opens the sheet (open(), deleted on close) on `window`.
    static ScreenPropertiesSheet* openOn(QWidget* window, const std::shared_ptr<ZERI_FlowModel>& flow, int page,
                                         std::function<void(int)> pageChanged = {});

private:
    QVR_ScreenPropertiesMenuViewController* m_controller = nullptr;
};
